#include "formats/jpeg_image.h"

#include "formats/messages.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "pixels/image_limits.h"

namespace vumo {

namespace {

// A progressive file needs a dozen scans; thousands only make a hostile file slow.
constexpr int kMaxScans = 1000;
// libjpeg's own working memory (coefficient buffers of progressive files), on top of the bitmap.
constexpr long kMaxDecoderMemory = static_cast<long>(2 * kMaxBitmapBytes);
// Compressed data past this cannot belong to a picture within the limits.
constexpr std::uint64_t kMaxJpegBytes = 2 * kMaxBitmapBytes;

// libjpeg reports errors through error_exit, which must not return: it jumps back to the
// decoder, which turns the captured message into an exception. Nothing is printed.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  char warning[JMSG_LENGTH_MAX];
  int warnings;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace output
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (err->warnings++ == 0) (*cinfo->err->format_message)(cinfo, err->warning);
}

void OutputMessage(j_common_ptr) {}

// Hands libjpeg the file: in one piece when it is in memory, else a block at a time from
// the stream. Past its end libjpeg sees an end-of-image marker, so data that stops early
// decodes as far as it goes.
struct SourceManager {
  jpeg_source_mgr pub;
  bool ranOut;  // the data ended and libjpeg was given the end marker
  TStream* stream;  // null when the whole file was handed over at once
  std::uint64_t left;  // bytes the stream may still give
  JOCTET* block;
  std::size_t blockSize;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
constexpr std::size_t kReadBlock = std::size_t{1} << 16;

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (src->stream && src->left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(src->left, src->blockSize));
    const std::size_t got = src->stream->Read(src->block, want);
    src->left = got == want ? src->left - got : 0;
    if (got > 0) {
      src->pub.next_input_byte = src->block;
      src->pub.bytes_in_buffer = got;
      return TRUE;
    }
  }
  src->ranOut = true;
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  jpeg_source_mgr* pub = cinfo->src;
  if (static_cast<unsigned long>(count) > pub->bytes_in_buffer) {
    // Skipping past the block: the stream moves on by the rest, or the next read reaches
    // the end marker.
    const std::uint64_t rest = static_cast<std::uint64_t>(count) - pub->bytes_in_buffer;
    pub->next_input_byte += pub->bytes_in_buffer;
    pub->bytes_in_buffer = 0;
    if (src->stream) {
      const std::uint64_t skipped = std::min(rest, src->left);
      src->stream->Seek(static_cast<std::int64_t>(skipped), TSeekOrigin::soCurrent);
      src->left -= skipped;
    }
    return;
  }
  pub->next_input_byte += count;
  pub->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void LimitScans(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    ERREXIT(cinfo, JERR_NOT_COMPILED);  // any error ends it; the message is replaced below
}

std::uint8_t Scale255(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// Everything a jump back from libjpeg passes over lives here, outside the frames it skips.
struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  SourceManager src;
  jpeg_progress_mgr progress;
  TBitmap decoded;
  std::vector<std::uint8_t> cmyk;
  std::vector<JOCTET> block;
  bool gray = false;
  bool cmykData = false;
  bool invertedCmyk = false;
  const TGraphic* owner = nullptr;  // whose size check the header meets

  DecodeState() {
    std::memset(&cinfo, 0, sizeof cinfo);
    err.warnings = 0;
    err.message[0] = err.warning[0] = '\0';
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
  }
  ~DecodeState() { jpeg_destroy_decompress(&cinfo); }
  DecodeState(const DecodeState&) = delete;
  DecodeState& operator=(const DecodeState&) = delete;
};

void SetGreyPalette(TBitmap& bitmap) {
  TLogPalette palette(256);
  for (unsigned i = 0; i < 256; ++i) palette[i] = TPaletteEntry{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
  bitmap.SetPalette(palette);
}

void ConvertCmykRow(const std::uint8_t* cmyk, std::uint8_t* bgr, std::size_t width, bool inverted) {
  for (std::size_t x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = Scale255(y, k);
    bgr[1] = Scale255(m, k);
    bgr[2] = Scale255(c, k);
  }
}

// Runs inside the jump's reach: its own locals are plain values only. Takes the data from
// memory, or `size` bytes from `stream` when it is given.
void Decode(DecodeState& s, const std::uint8_t* data, std::size_t size, TStream* stream) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  jpeg_create_decompress(&cinfo);
  s.src.pub.init_source = InitSource;
  s.src.pub.fill_input_buffer = FillInputBuffer;
  s.src.pub.skip_input_data = SkipInputData;
  s.src.pub.resync_to_restart = jpeg_resync_to_restart;
  s.src.pub.term_source = TermSource;
  s.src.pub.next_input_byte = stream ? nullptr : data;
  s.src.pub.bytes_in_buffer = stream ? 0 : size;
  s.src.ranOut = false;
  s.src.stream = stream;
  s.src.left = stream ? size : 0;
  s.src.block = s.block.data();
  s.src.blockSize = s.block.size();
  cinfo.src = &s.src.pub;
  s.progress.progress_monitor = LimitScans;
  cinfo.progress = &s.progress;
  cinfo.mem->max_memory_to_use = kMaxDecoderMemory;

  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) throw EInvalidGraphic(kJpegNoImage);
  if (!ImageSizeAllowed(cinfo.image_width, cinfo.image_height, 24))
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, cinfo.image_width, cinfo.image_height));
  if (s.owner) s.owner->CheckPlausibleSize(cinfo.image_width, cinfo.image_height, size);
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo.out_color_space = JCS_GRAYSCALE;
      s.gray = true;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      s.cmykData = true;
      // Photoshop stores CMYK inverted and says so with its Adobe marker.
      s.invertedCmyk = cinfo.saw_Adobe_marker;
      break;
    default: cinfo.out_color_space = JCS_EXT_BGR; break;
  }
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != (s.gray ? 1 : s.cmykData ? 4 : 3))
    throw EInvalidGraphic(FormatMessage(kJpegError, "Unexpected colour layout."));

  s.decoded.SetPixelFormat(s.gray ? pf8bit : pf24bit);
  // Every row is decoded or filled grey below, so the memory need not start blank.
  s.decoded.SetSizeToOverwrite(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  if (s.gray) SetGreyPalette(s.decoded);
  if (s.cmykData) s.cmyk.resize(static_cast<std::size_t>(cinfo.output_width) * 4);
  // Once a single-scan file's data has run out, only the rows of the block rows already
  // begun hold anything of the picture; the rest would decode to the same flat grey at great
  // cost for a large image whose file is short, so it is filled directly.
  const bool singleScan = !jpeg_has_multiple_scans(&cinfo);
  JDIMENSION rowsAfterEnd = 2 * static_cast<JDIMENSION>(cinfo.max_v_samp_factor) * DCTSIZE;
  while (cinfo.output_scanline < cinfo.output_height) {
    if (singleScan && s.src.ranOut && rowsAfterEnd-- == 0) break;
    std::uint8_t* row = s.decoded.ScanLine(static_cast<int>(cinfo.output_scanline));
    JSAMPROW target = s.cmykData ? s.cmyk.data() : row;
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) break;
    if (s.cmykData) ConvertCmykRow(s.cmyk.data(), row, cinfo.output_width, s.invertedCmyk);
  }
  for (JDIMENSION y = cinfo.output_scanline; y < cinfo.output_height; ++y)
    std::memset(s.decoded.ScanLine(static_cast<int>(y)), 128, s.decoded.BytesPerScanline());
  // The rest of the file (trailing markers) is not needed; the state releases libjpeg's memory.
}

// False when libjpeg raised an error; its message is in s.err.message.
bool DecodeGuarded(DecodeState& s, const std::uint8_t* data, std::size_t size, TStream* stream) {
  if (setjmp(s.err.jump)) return false;
  Decode(s, data, size, stream);
  return true;
}

}  // namespace

void TJPEGImage::Load(const std::uint8_t* data, std::size_t size, TStream* stream) {
  DecodeState s;
  s.owner = this;
  if (stream) s.block.resize(std::min<std::size_t>(size, kReadBlock));
  if (!DecodeGuarded(s, data, size, stream)) {
    if (s.cinfo.global_state != 0 && s.cinfo.input_scan_number > kMaxScans)
      throw EInvalidGraphic(FormatMessage(kJpegError, "The file has too many scans."));
    throw EInvalidGraphic(FormatMessage(kJpegError, s.err.message));
  }
  warning_ = s.err.warnings ? s.err.warning : "";
  grayscale_ = s.gray;
  bitmap_.TakeImage(s.decoded);
  Changed();
}

// A file cut short in its compressed data, or with recoverable damage there, gives the
// part that decodes (the rest grey) and keeps libjpeg's warning in Warning(); a file cut
// short before its image data, or with damage libjpeg cannot get past, raises EInvalidGraphic.
void TJPEGImage::LoadFromMemory(const std::uint8_t* data, std::size_t size) { Load(data, size, nullptr); }

// A stream in memory is decoded in place; any other is read a block at a time.
void TJPEGImage::LoadFromStream(TStream& Stream) {
  std::uint64_t size = static_cast<std::uint64_t>(Stream.Remaining());
  if (size > kMaxJpegBytes) size = kMaxJpegBytes;
  if (const std::uint8_t* memory = Stream.Memory()) {
    const std::int64_t position = Stream.Position();
    Stream.Seek(static_cast<std::int64_t>(size), TSeekOrigin::soCurrent);
    Load(memory + position, static_cast<std::size_t>(size), nullptr);
    return;
  }
  Load(nullptr, static_cast<std::size_t>(size), &Stream);
}

void TJPEGImage::Assign(const TGraphic& Source) {
  const TBitmap* bitmap = Source.DrawBitmap();
  if (bitmap) bitmap_ = *bitmap; else bitmap_.ReleaseImage();
  AssignDescription(Source);
  if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&Source)) {
    grayscale_ = jpeg->grayscale_;
    warning_ = jpeg->warning_;
  } else {
    warning_.clear();
  }
  Changed();
}

}  // namespace vumo
