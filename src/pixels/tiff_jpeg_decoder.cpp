#include "pixels/tiff_jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "pixels/image_limits.h"
#include "pixels/messages.h"

namespace vumo {

namespace {

// libjpeg's fatal errors must not return: error_exit jumps back into the decoder, which
// turns the library's message code into an exception. Warnings and trace output are dropped.
struct TErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<TErrorManager*>(cinfo->err)->jump, 1); }
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessageNothing(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void ResetErrorManager(j_common_ptr) {}

// Hands libjpeg one block of bytes; past its end it sees an end-of-image marker, so a strip
// that stops early decodes as far as it goes.
struct TSourceManager {
  jpeg_source_mgr pub;
  const std::uint8_t* data;
  std::size_t size;
  bool ranOut;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<TSourceManager*>(cinfo->src);
  src->pub.next_input_byte = src->data;
  src->pub.bytes_in_buffer = src->size;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<TSourceManager*>(cinfo->src);
  src->ranOut = true;
  src->pub.next_input_byte = kEndOfImage;
  src->pub.bytes_in_buffer = 2;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = reinterpret_cast<TSourceManager*>(cinfo->src);
  if (static_cast<std::size_t>(count) > src->pub.bytes_in_buffer) {
    FillInputBuffer(cinfo);
  } else {
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

void TermSource(j_decompress_ptr) {}

void Point(TSourceManager& src, const std::uint8_t* data, std::size_t size) {
  src.data = data;
  src.size = size;
  src.ranOut = false;
  src.pub.next_input_byte = data;
  src.pub.bytes_in_buffer = size;
}

// What a strip's decode ended with; only plain values cross the longjmp.
enum TStripResult { srDone, srLibraryError, srStripSize, srComponentCount, srPrecision, srSamplingFactors, srFractional, srColorSpace };

}  // namespace

struct TTIFFJPEGDecoder::TState {
  jpeg_decompress_struct cinfo{};
  TErrorManager err{};
  TSourceManager src{};
  bool created = false;
};

TTIFFJPEGDecoder::TTIFFJPEGDecoder(TImageProperties& Properties) : properties_(Properties) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder() { DecodeEnd(); }

void TTIFFJPEGDecoder::DecodeInit() {
  DecodeEnd();
  state_ = std::make_unique<TState>();
  TState& s = *state_;
  s.cinfo.err = jpeg_std_error(&s.err.pub);
  s.err.pub.error_exit = ErrorExit;
  s.err.pub.emit_message = EmitMessage;
  s.err.pub.output_message = OutputMessage;
  s.err.pub.format_message = FormatMessageNothing;
  s.err.pub.reset_error_mgr = ResetErrorManager;
  s.src.pub.init_source = InitSource;
  s.src.pub.fill_input_buffer = FillInputBuffer;
  s.src.pub.skip_input_data = SkipInputData;
  s.src.pub.resync_to_restart = jpeg_resync_to_restart;
  s.src.pub.term_source = TermSource;
  warning_.clear();
  const TByteArray& tables = properties_.JPEGTables;
  int code = 0;
  bool tablesOnly = true;
  if (setjmp(s.err.jump)) {
    code = s.err.pub.msg_code;
  } else {
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.src = &s.src.pub;
    // A picture within the limits needs no more than this for libjpeg's own buffers.
    s.cinfo.mem->max_memory_to_use = static_cast<long>(kMaxBitmapBytes);
    if (!tables.empty()) {
      Point(s.src, tables.data(), tables.size());
      tablesOnly = jpeg_read_header(&s.cinfo, FALSE) == JPEG_HEADER_TABLES_ONLY;
    }
  }
  if (code != 0 || !tablesOnly) {
    DecodeEnd();
    throw EGraphicCompression(kJPEGBogusTables);
  }
}

void TTIFFJPEGDecoder::DecodeEnd() {
  if (state_ && state_->created) jpeg_destroy_decompress(&state_->cinfo);
  state_.reset();
}

void TTIFFJPEGDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                              std::int32_t UnpackedSize) {
  if (!state_) DecodeInit();
  TState& s = *state_;
  j_decompress_ptr cinfo = &s.cinfo;
  const TImageProperties& p = properties_;
  const std::size_t bytesPerRow = p.BytesPerLine;
  const std::size_t room = UnpackedSize > 0 ? static_cast<std::size_t>(UnpackedSize) : 0;
  const unsigned hSub = p.YCbCrSubSampling.size() >= 2 ? p.YCbCrSubSampling[0] : 1;
  const unsigned vSub = p.YCbCrSubSampling.size() >= 2 ? p.YCbCrSubSampling[1] : 1;
  const std::uint32_t rowsLeft = p.Height > p.CurrentRow ? p.Height - p.CurrentRow : 0;
  const std::uint32_t expectedHeight =
      std::min<std::uint32_t>(rowsLeft, p.RowsPerStrip.empty() ? p.Height : p.RowsPerStrip[0]);
  const unsigned components = p.PlanarConfig == 2 ? 1 : p.SamplesPerPixel;

  volatile TStripResult result = srDone;
  if (setjmp(s.err.jump)) {
    result = srLibraryError;
  } else {
    jpeg_abort_decompress(cinfo);
    Point(s.src, PackedSize > 0 ? Source : nullptr, PackedSize > 0 ? static_cast<std::size_t>(PackedSize) : 0);
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->image_width != p.Width || cinfo->image_height != expectedHeight) {
      result = srStripSize;
    } else if (cinfo->num_components != static_cast<int>(components)) {
      result = srComponentCount;
    } else if (cinfo->data_precision != p.BitsPerSample) {
      result = srPrecision;
    } else {
      for (int c = 0; c < cinfo->num_components; ++c) {
        const bool first = c == 0 && p.PlanarConfig != 2;
        const int h = first ? static_cast<int>(hSub) : 1, v = first ? static_cast<int>(vSub) : 1;
        if (cinfo->comp_info[c].h_samp_factor != h || cinfo->comp_info[c].v_samp_factor != v) result = srSamplingFactors;
      }
    }
    if (result == srDone) {
      // The TIFF tags, not the JPEG markers, say what the components hold.
      switch (components) {
        case 1: cinfo->jpeg_color_space = cinfo->out_color_space = JCS_GRAYSCALE; break;
        case 3:
          cinfo->jpeg_color_space = p.ColorScheme == csYCbCr ? JCS_YCbCr : JCS_RGB;
          cinfo->out_color_space = JCS_RGB;
          break;
        case 4: cinfo->jpeg_color_space = cinfo->out_color_space = JCS_CMYK; break;
        default: result = srComponentCount; break;
      }
    }
    if (result == srDone) {
      cinfo->raw_data_out = FALSE;
      jpeg_start_decompress(cinfo);
      if (bytesPerRow == 0 || room % bytesPerRow != 0) {
        result = srFractional;
      } else if (std::size_t{cinfo->output_width} * static_cast<std::size_t>(cinfo->output_components) != bytesPerRow) {
        result = srColorSpace;
      } else {
        std::uint8_t* row = Dest;
        for (std::size_t r = room / bytesPerRow; r > 0 && cinfo->output_scanline < cinfo->output_height; --r) {
          JSAMPROW rows[1] = {row};
          if (jpeg_read_scanlines(cinfo, rows, 1) != 1) break;
          row += bytesPerRow;
        }
      }
    }
  }
  const int code = s.err.pub.msg_code;
  if (s.src.ranOut) warning_ = kJPEGUnexpectedEnd;
  // Back to the start state, keeping the tables, whatever happened.
  if (setjmp(s.err.jump) == 0) jpeg_abort_decompress(cinfo);
  switch (result) {
    case srDone: return;
    case srLibraryError: throw EGraphicCompression(FormatMessage(kJPEGErrorCode, code));
    case srStripSize: throw EGraphicCompression(kJPEGStripSize);
    case srComponentCount:
    case srColorSpace: throw EGraphicCompression(kJPEGComponentCount);
    case srPrecision: throw EGraphicCompression(kJPEGPrecision);
    case srSamplingFactors: throw EGraphicCompression(kJPEGSamplingFactors);
    case srFractional: throw EGraphicCompression(kJPEGFractionalScanline);
  }
}

}  // namespace vumo
