#include "formats/png.h"

#include <libdeflate.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"
#include "pixels/lz77_decoder.h"
#include "pixels/row_kernels.h"

namespace vumo {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, then the IHDR chunk: length, type, 13 bytes of data, CRC.
constexpr std::size_t kHeadBytes = 8 + 8 + 13 + 4;
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;

// Chunk types compared without regard to letter case: bit 5 of every byte cleared.
constexpr std::uint32_t TypeKey(const std::uint8_t* t) {
  return (std::uint32_t{t[0]} << 24 | std::uint32_t{t[1]} << 16 | std::uint32_t{t[2]} << 8 | t[3]) & 0xDFDFDFDFu;
}
constexpr std::uint32_t TypeKey(const char (&s)[5]) {
  const std::uint8_t t[4] = {static_cast<std::uint8_t>(s[0]), static_cast<std::uint8_t>(s[1]),
                             static_cast<std::uint8_t>(s[2]), static_cast<std::uint8_t>(s[3])};
  return TypeKey(t);
}
constexpr std::uint32_t kIHDR = TypeKey("IHDR"), kPLTE = TypeKey("PLTE"), kIDAT = TypeKey("IDAT"),
                        kIEND = TypeKey("IEND"), kGAMA = TypeKey("gAMA"), kBKGD = TypeKey("bKGD"),
                        kTRNS = TypeKey("tRNS");

bool Critical(const std::uint8_t* type) { return (type[0] & 0x20) == 0; }

// The chunk's CRC over its type and data, compared with the one stored after the data.
bool CrcMatches(const std::uint8_t* type, const std::uint8_t* data, std::size_t length) {
  std::uint32_t crc = libdeflate_crc32(0, type, 4);
  crc = libdeflate_crc32(crc, data, length);
  return crc == BigEndian32(data + length);
}

struct TPass {
  std::uint32_t startRow, startColumn, rowStep, columnStep;
  std::uint8_t mask;
};
constexpr TPass kWhole{0, 0, 1, 1, 0xFF};
constexpr TPass kAdam7[7] = {{0, 0, 8, 8, 0x80}, {0, 4, 8, 8, 0x08}, {4, 0, 8, 4, 0x88}, {0, 2, 4, 4, 0x22},
                             {2, 0, 4, 2, 0xAA}, {0, 1, 2, 2, 0x55}, {1, 0, 2, 1, 0xFF}};

// One pass's share of the image: its pixels across, its rows and the bytes of one row.
struct TPassSize {
  TPass pass;
  std::size_t columns = 0, rows = 0, rowBytes = 0;
};

// How a decoded row reaches the bitmap.
enum class TRowPath {
  kColorManager,  // the colour manager converts it
  kPaletteAlpha,  // palette indices through a table of 32-bit colours with alpha
  kGrayAlpha,     // grey and alpha spread to 32-bit colours with alpha
  kColorKey,      // grey or RGB with a tRNS colour: 32-bit colours, alpha 0 where the key matches
};

// The inflated image, in a mapping each thread keeps from one load to the next: touching
// tens of megabytes of fresh memory costs a page fault and a cleared page every few
// kilobytes, a good part of the whole decode. Between loads its pages are handed back to the
// kernel lazily (MADV_FREE), so memory pressure reclaims them while a next load that comes
// first finds them still mapped.
class TRawBuffer {
 public:
  explicit TRawBuffer(std::size_t size) : cache_(Cache()) {
    if (cache_.size < size) {
      cache_.Release();
      void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p == MAP_FAILED) throw std::bad_alloc();
      madvise(p, size, MADV_HUGEPAGE);  // a hint; without transparent huge pages it changes nothing
      cache_.data = static_cast<std::uint8_t*>(p);
      cache_.size = size;
    }
  }
  ~TRawBuffer() { madvise(cache_.data, cache_.size, MADV_FREE); }
  TRawBuffer(const TRawBuffer&) = delete;
  TRawBuffer& operator=(const TRawBuffer&) = delete;
  std::uint8_t* get() const { return cache_.data; }

 private:
  struct TCache {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    void Release() {
      if (data) munmap(data, size);
      data = nullptr;
      size = 0;
    }
    ~TCache() { Release(); }
  };
  static TCache& Cache() {
    static thread_local TCache cache;
    return cache;
  }
  TCache& cache_;
};

std::uint8_t Scale16(const std::uint8_t* p) { return static_cast<std::uint8_t>(MulDiv16(BigEndian16(p), 255, 65535)); }

// The index at pixel i of a row of packed indices of `depth` bits.
unsigned PackedIndex(const std::uint8_t* row, std::size_t i, unsigned depth) {
  if (depth == 8) return row[i];
  const std::size_t bit = i * depth;
  return (row[bit >> 3] >> (8 - depth - (bit & 7))) & ((1u << depth) - 1);
}

[[noreturn]] void Fail(const char* message) { TReaderGraphic::RaiseNamed(message, gesPNG); }

// The image header's fields as the load works from them.
struct TPngHeader {
  std::size_t width = 0, height = 0;
  unsigned depth = 0, colorType = 0, compression = 0, bitsPerPixel = 0;
  bool interlaced = false;
  // The filters' unit: a pixel's bytes, at least one.
  std::size_t PixelBytes() const { return std::max(1u, bitsPerPixel / 8); }
};

TPngHeader ReadHeader(const std::uint8_t* ihdr, const TImageProperties& p) {
  TPngHeader h;
  h.width = p.Width;
  h.height = p.Height;
  h.depth = ihdr[8];
  h.colorType = ihdr[9];
  h.compression = ihdr[10];
  h.bitsPerPixel = p.BitsPerPixel;
  h.interlaced = p.Interlaced;
  return h;
}

// The bit depths each colour type allows, bit d set for depth d: grey (0) 1 to 16, palette
// indices (3) 1 to 8, RGB (2), grey with alpha (4) and RGBA (6) 8 or 16. Types 1 and 5 do
// not exist. Checked before anything is allocated.
constexpr std::uint32_t kIndexDepths = 1u << 1 | 1u << 2 | 1u << 4 | 1u << 8, kSampleDepths = 1u << 8 | 1u << 16;
constexpr std::uint32_t kDepthsOfColorType[7] = {kIndexDepths | 1u << 16, 0, kSampleDepths, kIndexDepths,
                                                 kSampleDepths, 0, kSampleDepths};

constexpr bool DepthFitsColorType(unsigned depth, unsigned colorType) {
  return colorType < 7 && depth < 32 && (kDepthsOfColorType[colorType] >> depth & 1) != 0;
}

// Where each pass's rows lie in the inflated data: a filter byte before every row.
struct TPassLayout {
  std::vector<TPassSize> passes;
  std::size_t rawSize = 0, widestRow = 0;

  explicit TPassLayout(const TPngHeader& h) {
    for (const TPass& pass : h.interlaced ? std::span<const TPass>(kAdam7) : std::span<const TPass>(&kWhole, 1)) {
      if (pass.startColumn >= h.width || pass.startRow >= h.height) continue;
      TPassSize s{pass};
      s.columns = (h.width - pass.startColumn + pass.columnStep - 1) / pass.columnStep;
      s.rows = (h.height - pass.startRow + pass.rowStep - 1) / pass.rowStep;
      s.rowBytes = (s.columns * h.bitsPerPixel + 7) / 8;
      rawSize += (s.rowBytes + 1) * s.rows;  // within the limits checked before: no overflow
      widestRow = std::max(widestRow, s.rowBytes);
      passes.push_back(s);
    }
  }
  // Stored deflate blocks carry at most 5 bytes for every 65535 of data, and zlib's header
  // and checksum 6: anything past this cannot belong to the image.
  std::size_t CompressedLimit() const { return rawSize + (rawSize / 65535 + 1) * 5 + 6 + 4096; }
};

// Every chunk up to IEND: the ancillary ones we use, the image data gathered in one piece.
struct TPngChunks {
  std::vector<std::uint8_t> idat;
  std::uint8_t palette[256 * 3] = {};
  std::size_t paletteCount = 0;
  std::uint8_t paletteAlpha[256];
  bool hasTransparent = false;
  std::uint8_t transparentBytes[6] = {};
  float gamma = 0;
  bool sawImageData = false, endedEarly = false;

  TPngChunks(TStream& stream, unsigned colorType, std::size_t compressedLimit)
      : colorType_(colorType), compressedLimit_(compressedLimit) {
    std::memset(paletteAlpha, 255, sizeof paletteAlpha);
    TByteSource source(stream);
    while (ReadChunk(source)) {
    }
  }

 private:
  // False once the chunks end: at IEND, or where the file ends first.
  bool ReadChunk(TByteSource& source) {
    const std::uint8_t* header = source.Take(8);
    if (!header) return EndEarly();
    const std::uint32_t length = BigEndian32(header);
    std::uint8_t typeBytes[4];
    std::memcpy(typeBytes, header + 4, 4);
    const std::uint32_t type = TypeKey(typeBytes);
    if (length > kMaxChunkLength) Fail(gesInvalidImage);
    const bool complete = std::uint64_t{length} + 4 <= source.Remaining();
    if (type == kIDAT && !imageDataDone_) return TakeImageData(source, typeBytes, length, complete);
    if (sawImageData) imageDataDone_ = true;
    if (type == kIEND) {
      endedEarly = !complete;  // an end chunk without its checksum is a file cut short too
      return false;
    }
    const bool known = type == kPLTE || type == kGAMA || type == kBKGD || type == kTRNS || type == kIDAT;
    if (!known) {
      if (type == kIHDR) Fail(gesInvalidImage);  // a second header
      if (Critical(typeBytes)) Fail(gesUnknownCriticalChunk);
    }
    if (!complete) return EndEarly();
    if (!known || type == kIDAT) {  // skipped unchecked; image data after the image is ignored
      source.Consume(std::size_t{length} + 4);
      return true;
    }
    const std::uint8_t* data = source.Take(std::size_t{length} + 4);
    if (!CrcMatches(typeBytes, data, length)) Fail(gesInvalidCRC);
    if (type == kPLTE && (length % 3 != 0 || length > 256 * 3 || length == 0)) Fail(gesInvalidPalette);
    // bKGD is read for its checksum only: every pixel is written or the load fails, so the
    // background it names would never show.
    if (imageDataDone_) return true;  // read after the image and not used
    if (type == kPLTE) TakePalette(data, length);
    if (type == kGAMA) TakeGamma(data, length);
    if (type == kTRNS) TakeTransparency(data, length);
    return true;
  }

  bool EndEarly() {
    endedEarly = true;
    return false;
  }

  bool TakeImageData(TByteSource& source, const std::uint8_t* typeBytes, std::uint32_t length, bool complete) {
    sawImageData = true;
    std::size_t taken = length;
    const std::uint8_t* data = nullptr;
    if (complete) {
      data = source.Take(std::size_t{length} + 4);
      if (!CrcMatches(typeBytes, data, length)) Fail(gesInvalidCRC);
    } else {
      // The file ends inside the chunk: what is there is taken unchecked.
      taken = std::min<std::uint64_t>(length, source.Remaining());
      data = source.Peek(taken).data();
    }
    const std::size_t room = compressedLimit_ - std::min(compressedLimit_, idat.size());
    idat.insert(idat.end(), data, data + std::min(taken, room));
    return complete || EndEarly();
  }

  void TakePalette(const std::uint8_t* data, std::uint32_t length) {
    paletteCount = length / 3;
    std::memcpy(palette, data, length);
  }

  void TakeGamma(const std::uint8_t* data, std::uint32_t length) {
    if (length >= 4 && BigEndian32(data) != 0) gamma = static_cast<float>(BigEndian32(data) / 100000.0);
  }

  void TakeTransparency(const std::uint8_t* data, std::uint32_t length) {
    if (colorType_ == 3) {
      // Each entry's alpha, in palette order; entries past the chunk stay opaque.
      if (length > paletteCount) Fail(gesInvalidPalette);
      std::memcpy(paletteAlpha, data, length);
    } else if ((colorType_ == 0 && length >= 2) || (colorType_ == 2 && length >= 6)) {
      hasTransparent = true;
      std::memcpy(transparentBytes, data, colorType_ == 0 ? 2 : 6);
    }
  }

  unsigned colorType_;
  std::size_t compressedLimit_;
  bool imageDataDone_ = false;
};

// How the decoded samples become the bitmap's pixels.
struct TPngColors {
  TRowPath path = TRowPath::kColorManager;
  // The gamma table for 8-bit values: the palette's colours and the grey ramp go through it
  // whatever the depth of the indices, which the colour manager's own table follows.
  std::array<std::uint8_t, 256> gamma8{};
  bool gammaUsed = false;
  std::array<std::uint32_t, 256> paletteLut{};  // blue, green, red, alpha, for the alpha path
  TLogPalette logPalette;
  std::uint8_t Corrected(std::uint8_t v) const { return gammaUsed ? gamma8[v] : v; }
};

TRowPath ChooseRowPath(const TPngHeader& h, const TPngChunks& c) {
  const bool paletteAlphaUsed = h.colorType == 3 && std::any_of(c.paletteAlpha, c.paletteAlpha + c.paletteCount,
                                                                [](std::uint8_t a) { return a != 255; });
  return paletteAlphaUsed     ? TRowPath::kPaletteAlpha
         : h.colorType == 4   ? TRowPath::kGrayAlpha
         : c.hasTransparent   ? TRowPath::kColorKey
                              : TRowPath::kColorManager;
}

TColorSetup ColorSetupFor(const TPngHeader& h, TRowPath path, TConversionOptions gammaOption) {
  TColorSetup colors;
  colors.SourceOptions = kBigEndianSamples;
  colors.TargetOptions = gammaOption;
  colors.SourceBits = static_cast<std::uint8_t>(h.depth);
  switch (h.colorType) {
    case 0:
      colors.SourceScheme = colors.TargetScheme = csGray;
      colors.SourceSamples = colors.TargetSamples = 1;
      colors.TargetBits = static_cast<std::uint8_t>(h.depth == 2 ? 4 : h.depth == 16 ? 8 : h.depth);
      break;
    case 3:
      colors.SourceScheme = colors.TargetScheme = csIndexed;
      colors.SourceSamples = colors.TargetSamples = 1;
      if (path == TRowPath::kPaletteAlpha) colors.SourceBits = 8;  // only the palette's colours are wanted
      colors.TargetBits = static_cast<std::uint8_t>(colors.SourceBits == 2 ? 4 : colors.SourceBits);
      break;
    case 2:
      colors.SourceScheme = csRGB;
      colors.TargetScheme = csBGR;
      colors.SourceSamples = colors.TargetSamples = 3;
      colors.TargetBits = 8;
      break;
    case 4:  // only the grey ramp's gamma is wanted from the colour manager
      colors.SourceScheme = colors.TargetScheme = csGray;
      colors.SourceSamples = colors.TargetSamples = 1;
      colors.SourceBits = colors.TargetBits = 8;
      break;
    default:
      colors.SourceScheme = csRGBA;
      colors.TargetScheme = csBGRA;
      colors.SourceSamples = colors.TargetSamples = 4;
      colors.TargetBits = 8;
      break;
  }
  return colors;
}

// The palette, or the grey ramp with black first. Two-bit indices land on the 4-bit
// bitmap's entries 0, 5, 10 and 15.
void BuildPalettes(TPngColors& colors, const TPngHeader& h, const TPngChunks& c, unsigned grayLevels) {
  if (h.colorType == 3 && c.paletteCount > 0) {
    const unsigned spread = colors.path == TRowPath::kColorManager && h.depth == 2 ? 5 : 1;
    colors.logPalette.assign(spread == 5 ? 16 : c.paletteCount, TPaletteEntry{});
    for (std::size_t i = 0; i < c.paletteCount; ++i) {
      const std::uint8_t r = colors.Corrected(c.palette[3 * i]), g = colors.Corrected(c.palette[3 * i + 1]),
                         b = colors.Corrected(c.palette[3 * i + 2]);
      if (i * spread < colors.logPalette.size()) colors.logPalette[i * spread] = TPaletteEntry{r, g, b, 0};
      const std::uint8_t bgra[4] = {b, g, r, c.paletteAlpha[i]};
      std::memcpy(&colors.paletteLut[i], bgra, 4);
    }
  } else if (h.colorType == 0) {
    colors.logPalette.assign(grayLevels, TPaletteEntry{});
    for (unsigned i = 0; i < grayLevels; ++i) {
      const std::uint8_t v = colors.Corrected(static_cast<std::uint8_t>(i * 255 / (grayLevels - 1)));
      colors.logPalette[i] = TPaletteEntry{v, v, v, 0};
    }
  }
}

// The row path, the colour manager set up for it (gamma included) and the palettes.
TPngColors SetUpColors(TColorManager& manager, const TPngHeader& h, const TPngChunks& c) {
  TPngColors colors;
  colors.path = ChooseRowPath(h, c);
  colors.gammaUsed = c.gamma > 0;
  if (colors.gammaUsed) {
    manager.Setup(TColorSetup{csGray, 8, 1, 0, csGray, 8, 1, cvApplyGamma});
    manager.SetGamma(c.gamma, 2.2f);
    std::memcpy(colors.gamma8.data(), manager.GammaTable(), 256);
  }
  manager.Setup(ColorSetupFor(h, colors.path, colors.gammaUsed ? cvApplyGamma : 0));
  if (colors.gammaUsed) manager.SetGamma(c.gamma, 2.2f);
  BuildPalettes(colors, h, c, 1u << manager.TargetBitsPerSample());
  return colors;
}

// Puts the rows of every pass where they belong in the bitmap, along the row path.
class TPngRowWriter {
 public:
  TPngRowWriter(TBitmap& bitmap, TColorManager& manager, const TPngHeader& h, const TPngColors& colors,
                const TPngChunks& chunks)
      : bitmap_(bitmap), manager_(manager), colors_(colors), width_(h.width), depth_(h.depth),
        colorType_(h.colorType), paletteCount_(chunks.paletteCount),
        // The colour key is compared on the stored samples, before scaling and gamma, so a 16-bit
        // key leaves its neighbours opaque even where they reduce to the same 8-bit colour.
        key_{BigEndian16(chunks.transparentBytes), BigEndian16(chunks.transparentBytes + 2),
             BigEndian16(chunks.transparentBytes + 4)},
        // Indices past the palette have no colour: the file is broken.
        checkIndices_(h.colorType == 3 && chunks.paletteCount < (1u << h.depth)) {}

  void Write(const TPassSize& s, std::size_t y, const std::uint8_t* row) const {
    if (checkIndices_) {
      for (std::size_t i = 0; i < s.columns; ++i)
        if (PackedIndex(row, i, depth_) >= paletteCount_) Fail(gesInvalidPalette);
    }
    std::uint8_t* line = bitmap_.ScanLine(static_cast<int>(y));
    switch (colors_.path) {
      case TRowPath::kColorManager: {
        const void* const sources[1] = {row};
        manager_.ConvertRow(std::span<const void* const>(sources, 1), s.rowBytes, line, bitmap_.BytesPerScanline(),
                            static_cast<std::uint32_t>(width_), s.pass.mask);
        break;
      }
      case TRowPath::kPaletteAlpha: WritePaletteAlpha(s, row, line + 4 * s.pass.startColumn); break;
      case TRowPath::kColorKey: WriteColorKey(s, row, line + 4 * s.pass.startColumn); break;
      case TRowPath::kGrayAlpha: WriteGrayAlpha(s, row, line + 4 * s.pass.startColumn); break;
    }
  }

 private:
  // The grey level or colour of a stored grey or RGB sample as the bitmap shows it.
  std::uint8_t Level(unsigned value) const {
    const std::uint8_t v = depth_ == 16 ? static_cast<std::uint8_t>(MulDiv16(value, 255, 65535))
                                        : static_cast<std::uint8_t>(value * 255 / ((1u << depth_) - 1));
    return colors_.Corrected(v);
  }

  void WritePaletteAlpha(const TPassSize& s, const std::uint8_t* row, std::uint8_t* out) const {
    const std::size_t step = 4 * s.pass.columnStep;
    for (std::size_t i = 0; i < s.columns; ++i, out += step)
      std::memcpy(out, &colors_.paletteLut[PackedIndex(row, i, depth_)], 4);
  }

  void WriteColorKey(const TPassSize& s, const std::uint8_t* row, std::uint8_t* out) const {
    const std::size_t step = 4 * s.pass.columnStep;
    if (colorType_ == 0) {
      for (std::size_t i = 0; i < s.columns; ++i, out += step) {
        const unsigned v = depth_ == 16 ? BigEndian16(row + 2 * i) : PackedIndex(row, i, depth_);
        out[0] = out[1] = out[2] = Level(v);
        out[3] = v == key_[0] ? 0 : 255;
      }
      return;
    }
    const std::size_t size = depth_ / 8;
    for (std::size_t i = 0; i < s.columns; ++i, out += step, row += 3 * size) {
      const unsigned r = size == 2 ? BigEndian16(row) : row[0];
      const unsigned g = size == 2 ? BigEndian16(row + 2) : row[1];
      const unsigned b = size == 2 ? BigEndian16(row + 4) : row[2];
      out[0] = Level(b);
      out[1] = Level(g);
      out[2] = Level(r);
      out[3] = r == key_[0] && g == key_[1] && b == key_[2] ? 0 : 255;
    }
  }

  void WriteGrayAlpha(const TPassSize& s, const std::uint8_t* row, std::uint8_t* out) const {
    const std::size_t step = 4 * s.pass.columnStep;
    const std::size_t size = depth_ / 8;
    for (std::size_t i = 0; i < s.columns; ++i, out += step, row += 2 * size) {
      out[0] = out[1] = out[2] = colors_.Corrected(size == 2 ? Scale16(row) : row[0]);
      out[3] = size == 2 ? Scale16(row + 2) : row[1];
    }
  }

  TBitmap& bitmap_;
  TColorManager& manager_;
  const TPngColors& colors_;
  std::size_t width_;
  unsigned depth_, colorType_;
  std::size_t paletteCount_;
  unsigned key_[3];
  bool checkIndices_;
};

// The whole stream at hand and sound: one inflate into the exact size, filters undone in
// place. Data too short to possibly hold the image goes the streaming way at once, and so
// does a large picture (beyond 4096 x 4096 RGBA at 16 bits), whose inflated copy would
// double what the load costs. False when the rows are to be inflated one by one instead.
template <typename Emit>
bool InflateWhole(const std::vector<std::uint8_t>& idat, const TPassLayout& layout, std::size_t pixelBytes, Emit& emit) {
  constexpr std::size_t kLargestWholeInflate = std::size_t{160} << 20;
  if (idat.size() < layout.rawSize / 1032 || layout.rawSize > kLargestWholeInflate) return false;
  const std::vector<std::uint8_t> zeros(layout.widestRow, 0);
  TRawBuffer raw(layout.rawSize);
  if (!InflateComplete(idat, std::span<std::uint8_t>(raw.get(), layout.rawSize))) return false;
  std::uint8_t* at = raw.get();
  for (const TPassSize& s : layout.passes) {
    const std::uint8_t* prior = zeros.data();
    for (std::size_t r = 0; r < s.rows; ++r, at += s.rowBytes + 1) {
      UnfilterPngRow(at[0], at + 1, prior, s.rowBytes, pixelBytes);
      emit(s, r, at + 1);
      prior = at + 1;
    }
  }
  return true;
}

// One filtered row of `need` bytes out of the image data, or the fault that stops it.
void InflateRow(TLZ77Decoder& decoder, const std::uint8_t*& in, const std::uint8_t* inEnd, std::uint8_t* row,
                std::size_t need) {
  std::uint8_t* out = row;
  while (out < row + need && in < inEnd) {
    if (decoder.ZLibResult() == 1) Fail(gesExtraCompressedData);
    const std::uint8_t* inBefore = in;
    std::uint8_t* outBefore = out;
    decoder.Decode(in, out, static_cast<std::int32_t>(std::min<std::size_t>(inEnd - in, INT32_MAX)),
                   static_cast<std::int32_t>(row + need - out));
    const int result = decoder.ZLibResult();
    if (result != 0 && result != 1) Fail(gesCompression);
    // The stream ends before the image does.
    if (result == 1 && out < row + need) Fail(gesExtraCompressedData);
    if (in == inBefore && out == outBefore) break;
  }
  if (out < row + need) throw EReadError(kStreamReadError);  // the data ends before the image
}

// Damaged, short or overlong: row by row, so that each fault gets its own error. Every
// row is written or the load fails, so nothing needs the background beneath.
template <typename Emit>
void InflateByRows(const std::vector<std::uint8_t>& idat, const TPassLayout& layout, std::size_t pixelBytes, Emit& emit) {
  TLZ77Decoder decoder(kFlushPartial, false);
  decoder.DecodeInit();
  const std::uint8_t* in = idat.data();
  std::vector<std::uint8_t> current(layout.widestRow + 1), prior(layout.widestRow + 1);
  for (const TPassSize& s : layout.passes) {
    std::fill(prior.begin(), prior.end(), 0);
    for (std::size_t r = 0; r < s.rows; ++r) {
      InflateRow(decoder, in, idat.data() + idat.size(), current.data(), s.rowBytes + 1);
      UnfilterPngRow(current[0], current.data() + 1, prior.data() + 1, s.rowBytes, pixelBytes);
      emit(s, r, current.data() + 1);
      std::swap(current, prior);
    }
  }
  decoder.DecodeEnd();
}

}  // namespace

bool TPNGGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, 8, [](const std::uint8_t* bytes) { return std::memcmp(bytes, kSignature, 8) == 0; });
}

bool TPNGGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* head = ReadHeaderBytes(Stream, kHeadBytes);
  if (!head || std::memcmp(head, kSignature, 8) != 0) return false;
  if (BigEndian32(head + 8) != 13 || TypeKey(head + 12) != kIHDR) return false;
  const std::uint8_t* ihdr = head + 16;
  if (!CrcMatches(head + 12, ihdr, 13)) Raise(gesInvalidCRC);
  TImageProperties& p = ImageProperties;
  p.Options = ioBigEndian;
  p.Width = BigEndian32(ihdr);
  p.Height = BigEndian32(ihdr + 4);
  if (p.Width == 0 || p.Height == 0) return false;
  p.BitsPerSample = ihdr[8];
  p.Compression = ihdr[10] == 0 ? ctLZ77 : ctUnknown;
  p.FilterMode = ihdr[11];
  p.Interlaced = ihdr[12] != 0;
  // Colour types 0, 2, 3, 4 and 6: the scheme and the samples a pixel has.
  static const struct {
    TColorScheme scheme;
    std::uint8_t samples;
  } kColorTypes[7] = {{csGray, 1},      {csUnknown, 1},   {csRGB, 3}, {csIndexed, 1},
                      {csGrayAlpha, 2}, {csUnknown, 1}, {csRGBA, 4}};
  const auto& type = kColorTypes[ihdr[9] < 7 ? ihdr[9] : 1];
  p.ColorScheme = type.scheme;
  p.SamplesPerPixel = type.samples;
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  p.HasAlpha = p.ColorScheme == csGrayAlpha || p.ColorScheme == csRGBA;

  // The file's gamma, from a gAMA chunk anywhere before IEND; the other chunks are passed by.
  std::uint8_t chunk[8];
  while (Stream.Read(chunk, 8) == 8) {
    const std::uint32_t length = BigEndian32(chunk);
    const std::uint32_t type = TypeKey(chunk + 4);
    if (length > kMaxChunkLength || type == kIEND || length + std::int64_t{4} > Stream.Remaining()) break;
    if (type == kGAMA) {
      std::vector<std::uint8_t> data(length + 4);
      Stream.ReadBuffer(data.data(), data.size());
      if (!CrcMatches(chunk + 4, data.data(), length)) Raise(gesInvalidCRC);
      if (length >= 4 && BigEndian32(data.data()) != 0)
        p.FileGamma = static_cast<float>(BigEndian32(data.data()) / 100000.0);
      break;
    }
    Stream.Seek(std::int64_t{length} + 4, TSeekOrigin::soCurrent);
  }
  return true;
}

void TPNGGraphic::LoadFromStream(TStream& Stream) {
  // A refused load leaves the reader empty, whatever it had drawn.
  try {
    BeginLoad(Stream);
    if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
    Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeadBytes));
    StartProgress(gesPreparing);
    const TPngHeader h = ReadHeader(HeaderBytes() + 16, ImageProperties);
    if (h.compression != 0) RaiseUnsupported(gesCompressionScheme);
    if (!DepthFitsColorType(h.depth, h.colorType)) RaiseInvalidColorFormat();
    CheckImageSize(h.width, h.height);
    const TPassLayout layout(h);
    const TPngChunks chunks(Stream, h.colorType, layout.CompressedLimit());
    // A stream that ends before IEND is cut short, however much of the image it holds: the
    // partly decoded picture is not shown as if it were whole.
    if (chunks.endedEarly) RaiseReadError();
    if (!chunks.sawImageData) RaiseInvalidImage();

    if (chunks.gamma > 0) ImageProperties.Options |= ioUseGamma;
    const TPngColors colors = SetUpColors(ColorManager, h, chunks);
    if (colors.path == TRowPath::kColorManager) {
      AllocateImage(h.width, h.height);
      if (!colors.logPalette.empty()) SetPalette(colors.logPalette);
    } else {
      AllocateImage(h.width, h.height, pf32bit);
    }
    if (h.colorType == 4 || h.colorType == 6 || colors.path != TRowPath::kColorManager) SetAlphaChannel(true);
    EndProgress();
    StartProgress(gesTransfering);

    const TPngRowWriter writer(*this, ColorManager, h, colors, chunks);
    auto emit = [&](const TPassSize& s, std::size_t r, const std::uint8_t* row) {
      const std::size_t y = s.pass.startRow + r * s.pass.rowStep;
      writer.Write(s, y, row);
      // Interlaced images report progress during the last pass only.
      if (!h.interlaced || s.pass.startRow == 1)
        RowProgress(static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(h.height));
    };
    if (!InflateWhole(chunks.idat, layout, h.PixelBytes(), emit))
      InflateByRows(chunks.idat, layout, h.PixelBytes(), emit);
    EndProgress();
  } catch (...) {
    ReleaseImage();
    throw;
  }
}

}  // namespace vumo
