#include "formats/png.h"

#include <libdeflate.h>
#include <sys/mman.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Undoes one row's filter in place against the row above (zeros for a pass's first row).
template <std::size_t Bpp>
void UnfilterRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  switch (type) {
    case 1:
      for (std::size_t i = Bpp; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < Bpp && i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
      for (std::size_t i = Bpp; i < n; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + ((unsigned{row[i - Bpp]} + prior[i]) >> 1));
      break;
    case 4: {
      for (std::size_t i = 0; i < Bpp && i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      // Pixel by pixel, so that the compiler keeps a, c of each byte lane in registers.
      std::size_t i = Bpp;
      for (; i + Bpp <= n; i += Bpp) {
        for (std::size_t k = 0; k < Bpp; ++k) {
          const int a = row[i + k - Bpp], b = prior[i + k], c = prior[i + k - Bpp];
          const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
          const int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          row[i + k] = static_cast<std::uint8_t>(row[i + k] + predictor);
        }
      }
      break;
    }
    default:  // 0, and an unknown type, leave the row as it is
      break;
  }
}

#if defined(__SSE2__)
// Filters of 3- and 4-byte pixels a pixel at a time in 16-bit lanes: the reconstructed pixel
// to the left is the only dependency from one step to the next.
template <std::size_t Bpp>
inline __m128i LoadPixel(const std::uint8_t* p) {
  // Composed in a register: a 3-byte copy through memory would stall the load after it.
  std::uint32_t v = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
  if constexpr (Bpp == 4) v |= std::uint32_t{p[3]} << 24;
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <std::size_t Bpp>
inline void StorePixel(std::uint8_t* p, __m128i v) {
  const auto packed = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  p[0] = static_cast<std::uint8_t>(packed);
  p[1] = static_cast<std::uint8_t>(packed >> 8);
  p[2] = static_cast<std::uint8_t>(packed >> 16);
  if constexpr (Bpp == 4) p[3] = static_cast<std::uint8_t>(packed >> 24);
}

inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

template <std::size_t Bpp>
bool UnfilterWide(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n) {
  if (type != 1 && type != 3 && type != 4) return false;
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  // Whole pixels only; the last pixel is stored through a byte copy.
  for (std::size_t i = 0; i + Bpp <= n; i += Bpp) {
    const __m128i x = LoadPixel<Bpp>(row + i);
    __m128i out;
    if (type == 1) {
      out = _mm_add_epi16(x, a);
    } else if (type == 3) {
      const __m128i b = LoadPixel<Bpp>(prior + i);
      out = _mm_add_epi16(x, _mm_srli_epi16(_mm_add_epi16(a, b), 1));
    } else {
      const __m128i b = LoadPixel<Bpp>(prior + i);
      const __m128i pb = _mm_sub_epi16(b, c), pa_ = _mm_sub_epi16(a, c);
      // pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|; ties go to a, then b.
      const __m128i da = Abs16(pb), db = Abs16(pa_), dc = Abs16(_mm_add_epi16(pb, pa_));
      const __m128i smallest = _mm_min_epi16(_mm_min_epi16(da, db), dc);
      const __m128i useA = _mm_cmpeq_epi16(da, smallest);
      const __m128i useB = _mm_andnot_si128(useA, _mm_cmpeq_epi16(db, smallest));
      __m128i predictor = _mm_or_si128(_mm_and_si128(useA, a), _mm_and_si128(useB, b));
      predictor = _mm_or_si128(predictor, _mm_andnot_si128(_mm_or_si128(useA, useB), c));
      out = _mm_add_epi16(x, predictor);
      c = b;
    }
    a = _mm_and_si128(out, low);
    StorePixel<Bpp>(row + i, a);
  }
  return true;
}
#endif

void Unfilter(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
#if defined(__SSE2__)
  if (bpp == 3 && UnfilterWide<3>(type, row, prior, n)) return;
  if (bpp == 4 && UnfilterWide<4>(type, row, prior, n)) return;
#endif
  switch (bpp) {
    case 1:
      UnfilterRow<1>(type, row, prior, n);
      break;
    case 2:
      UnfilterRow<2>(type, row, prior, n);
      break;
    case 3:
      UnfilterRow<3>(type, row, prior, n);
      break;
    case 4:
      UnfilterRow<4>(type, row, prior, n);
      break;
    case 6:
      UnfilterRow<6>(type, row, prior, n);
      break;
    default:
      UnfilterRow<8>(type, row, prior, n);
      break;
  }
}

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

}  // namespace

const char* TPNGGraphic::FormatName() const { return gesPNG; }

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
    const std::uint8_t* ihdr = HeaderBytes() + 16;
    const unsigned depth = ihdr[8], colorType = ihdr[9];
    if (ihdr[10] != 0) RaiseUnsupported(gesCompressionScheme);
    bool depthAccepted = false;
    switch (colorType) {
      case 0:
        depthAccepted = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
      case 3:
        depthAccepted = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
      case 2:
      case 4:
      case 6:
        depthAccepted = depth == 8 || depth == 16;
        break;
      default:
        break;
    }
    if (!depthAccepted) RaiseInvalidColorFormat();
    const TImageProperties& p = ImageProperties;
    const std::size_t width = p.Width, height = p.Height;
    CheckImageSize(width, height);

    // Where each pass's rows lie in the inflated data: a filter byte before every row.
    const unsigned bitsPerPixel = p.BitsPerPixel;
    const std::size_t bpp = std::max(1u, bitsPerPixel / 8);
    std::vector<TPassSize> passes;
    std::size_t rawSize = 0, widestRow = 0;
    for (const TPass& pass : p.Interlaced ? std::span<const TPass>(kAdam7) : std::span<const TPass>(&kWhole, 1)) {
      if (pass.startColumn >= width || pass.startRow >= height) continue;
      TPassSize s{pass};
      s.columns = (width - pass.startColumn + pass.columnStep - 1) / pass.columnStep;
      s.rows = (height - pass.startRow + pass.rowStep - 1) / pass.rowStep;
      s.rowBytes = (s.columns * bitsPerPixel + 7) / 8;
      rawSize += (s.rowBytes + 1) * s.rows;  // within the limits checked above: no overflow
      widestRow = std::max(widestRow, s.rowBytes);
      passes.push_back(s);
    }
    // Stored deflate blocks carry at most 5 bytes for every 65535 of data, and zlib's header
    // and checksum 6: anything past this cannot belong to the image.
    const std::size_t compressedLimit = rawSize + (rawSize / 65535 + 1) * 5 + 6 + 4096;

    // Every chunk up to IEND: the ancillary ones we use, the image data gathered in one piece.
    TByteSource source(Stream);
    std::vector<std::uint8_t> idat;
    std::uint8_t palette[256 * 3] = {};
    std::size_t paletteCount = 0;
    std::uint8_t paletteAlpha[256];
    std::memset(paletteAlpha, 255, sizeof paletteAlpha);
    bool hasTransparent = false;
    std::uint8_t transparentBytes[6] = {};
    float gamma = 0;
    bool sawImageData = false, imageDataDone = false, endedEarly = false;
    for (;;) {
      const std::uint8_t* header = source.Take(8);
      if (!header) {
        endedEarly = true;
        break;
      }
      const std::uint32_t length = BigEndian32(header);
      std::uint8_t typeBytes[4];
      std::memcpy(typeBytes, header + 4, 4);
      const std::uint32_t type = TypeKey(typeBytes);
      if (length > kMaxChunkLength) RaiseInvalidImage();
      const bool complete = std::uint64_t{length} + 4 <= source.Remaining();
      if (type == kIDAT && !imageDataDone) {
        sawImageData = true;
        std::size_t taken = length;
        const std::uint8_t* data = nullptr;
        if (complete) {
          data = source.Take(std::size_t{length} + 4);
          if (!CrcMatches(typeBytes, data, length)) Raise(gesInvalidCRC);
        } else {
          // The file ends inside the chunk: what is there is taken unchecked.
          taken = std::min<std::uint64_t>(length, source.Remaining());
          data = source.Peek(taken).data();
        }
        const std::size_t room = compressedLimit - std::min(compressedLimit, idat.size());
        idat.insert(idat.end(), data, data + std::min(taken, room));
        if (!complete) {
          endedEarly = true;
          break;
        }
        continue;
      }
      if (sawImageData) imageDataDone = true;
      if (type == kIEND) {
        endedEarly = !complete;  // an end chunk without its checksum is a file cut short too
        break;
      }
      const bool known = type == kPLTE || type == kGAMA || type == kBKGD || type == kTRNS || type == kIDAT;
      if (!known) {
        if (type == kIHDR) RaiseInvalidImage();  // a second header
        if (Critical(typeBytes)) Raise(gesUnknownCriticalChunk);
      }
      if (!complete) {
        endedEarly = true;
        break;
      }
      if (!known || type == kIDAT) {  // skipped unchecked; image data after the image is ignored
        source.Consume(std::size_t{length} + 4);
        continue;
      }
      const std::uint8_t* data = source.Take(std::size_t{length} + 4);
      if (!CrcMatches(typeBytes, data, length)) Raise(gesInvalidCRC);
      if (type == kPLTE && (length % 3 != 0 || length > 256 * 3 || length == 0)) Raise(gesInvalidPalette);
      // bKGD is read for its checksum only: every pixel is written or the load fails, so the
      // background it names would never show.
      if (imageDataDone) continue;  // read after the image and not used
      if (type == kPLTE) {
        paletteCount = length / 3;
        std::memcpy(palette, data, length);
      } else if (type == kGAMA) {
        if (length >= 4 && BigEndian32(data) != 0) gamma = static_cast<float>(BigEndian32(data) / 100000.0);
      } else if (type == kTRNS) {
        if (colorType == 3) {
          // Each entry's alpha, in palette order; entries past the chunk stay opaque.
          if (length > paletteCount) Raise(gesInvalidPalette);
          std::memcpy(paletteAlpha, data, length);
        } else if ((colorType == 0 && length >= 2) || (colorType == 2 && length >= 6)) {
          hasTransparent = true;
          std::memcpy(transparentBytes, data, colorType == 0 ? 2 : 6);
        }
      }
    }
    // A stream that ends before IEND is cut short, however much of the image it holds: the
    // partly decoded picture is not shown as if it were whole.
    if (endedEarly) RaiseReadError();
    if (!sawImageData) RaiseInvalidImage();

    // Colours.
    const bool paletteAlphaUsed = colorType == 3 && std::any_of(paletteAlpha, paletteAlpha + paletteCount,
                                                                [](std::uint8_t a) { return a != 255; });
    const TRowPath path = paletteAlphaUsed ? TRowPath::kPaletteAlpha
                          : colorType == 4 ? TRowPath::kGrayAlpha
                          : hasTransparent ? TRowPath::kColorKey
                                           : TRowPath::kColorManager;
    const TConversionOptions gammaOption = gamma > 0 ? cvApplyGamma : 0;
    if (gamma > 0) ImageProperties.Options |= ioUseGamma;
    TColorSetup colors;
    colors.SourceOptions = kBigEndianSamples;
    colors.TargetOptions = gammaOption;
    colors.SourceBits = static_cast<std::uint8_t>(depth);
    switch (colorType) {
      case 0:
        colors.SourceScheme = colors.TargetScheme = csGray;
        colors.SourceSamples = colors.TargetSamples = 1;
        colors.TargetBits = static_cast<std::uint8_t>(depth == 2 ? 4 : depth == 16 ? 8 : depth);
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
    // The gamma table for 8-bit values: the palette's colours and the grey ramp go through it
    // whatever the depth of the indices, which the colour manager's own table follows.
    std::array<std::uint8_t, 256> gamma8{};
    if (gamma > 0) {
      ColorManager.Setup(TColorSetup{csGray, 8, 1, 0, csGray, 8, 1, cvApplyGamma});
      ColorManager.SetGamma(gamma, 2.2f);
      std::memcpy(gamma8.data(), ColorManager.GammaTable(), 256);
    }
    ColorManager.Setup(colors);
    if (gamma > 0) ColorManager.SetGamma(gamma, 2.2f);
    const std::uint8_t* gammaTable = gamma > 0 ? gamma8.data() : nullptr;
    auto corrected = [&](std::uint8_t v) { return gammaTable ? gammaTable[v] : v; };

    // The palette, or the grey ramp with black first. Two-bit indices land on the 4-bit
    // bitmap's entries 0, 5, 10 and 15.
    std::array<std::uint32_t, 256> paletteLut{};  // blue, green, red, alpha, for the alpha path
    TLogPalette logPalette;
    if (colorType == 3 && paletteCount > 0) {
      const unsigned spread = path == TRowPath::kColorManager && depth == 2 ? 5 : 1;
      logPalette.assign(spread == 5 ? 16 : paletteCount, TPaletteEntry{});
      for (std::size_t i = 0; i < paletteCount; ++i) {
        const std::uint8_t r = corrected(palette[3 * i]), g = corrected(palette[3 * i + 1]),
                           b = corrected(palette[3 * i + 2]);
        if (i * spread < logPalette.size()) logPalette[i * spread] = TPaletteEntry{r, g, b, 0};
        const std::uint8_t bgra[4] = {b, g, r, paletteAlpha[i]};
        std::memcpy(&paletteLut[i], bgra, 4);
      }
    } else if (colorType == 0) {
      const unsigned count = 1u << ColorManager.TargetBitsPerSample();
      logPalette.assign(count, TPaletteEntry{});
      for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t v = corrected(static_cast<std::uint8_t>(i * 255 / (count - 1)));
        logPalette[i] = TPaletteEntry{v, v, v, 0};
      }
    }

    if (path == TRowPath::kColorManager) {
      AllocateImage(width, height);
      if (!logPalette.empty()) SetPalette(logPalette);
    } else {
      AllocateImage(width, height, pf32bit);
    }
    if (colorType == 4 || colorType == 6 || path != TRowPath::kColorManager) SetAlphaChannel(true);
    EndProgress();
    StartProgress(gesTransfering);

    // The grey level or colour of a stored grey or RGB sample as the bitmap shows it.
    auto sampleLevel = [&](unsigned value) -> std::uint8_t {
      const std::uint8_t v = depth == 16 ? static_cast<std::uint8_t>(MulDiv16(value, 255, 65535))
                                         : static_cast<std::uint8_t>(value * 255 / ((1u << depth) - 1));
      return gammaTable ? gammaTable[v] : v;
    };
    // The colour key is compared on the stored samples, before scaling and gamma, so a 16-bit
    // key leaves its neighbours opaque even where they reduce to the same 8-bit colour.
    const unsigned key[3] = {BigEndian16(transparentBytes), BigEndian16(transparentBytes + 2),
                             BigEndian16(transparentBytes + 4)};

    // Indices past the palette have no colour: the file is broken.
    const bool checkIndices = colorType == 3 && paletteCount < (1u << depth);
    auto emitRow = [&](const TPassSize& s, std::size_t y, const std::uint8_t* row) {
      if (checkIndices) {
        for (std::size_t i = 0; i < s.columns; ++i)
          if (PackedIndex(row, i, depth) >= paletteCount) Raise(gesInvalidPalette);
      }
      const int line = static_cast<int>(y);
      switch (path) {
        case TRowPath::kColorManager:
          if (s.pass.mask == 0xFF) {
            ConvertRowTo(line, row, s.rowBytes);
          } else {
            const void* const sources[1] = {row};
            ColorManager.ConvertRow(std::span<const void* const>(sources, 1), s.rowBytes, ScanLine(line),
                                    BytesPerScanline(), static_cast<std::uint32_t>(width), s.pass.mask);
          }
          break;
        case TRowPath::kPaletteAlpha: {
          std::uint8_t* out = ScanLine(line) + 4 * s.pass.startColumn;
          const std::size_t step = 4 * s.pass.columnStep;
          for (std::size_t i = 0; i < s.columns; ++i, out += step)
            std::memcpy(out, &paletteLut[PackedIndex(row, i, depth)], 4);
          break;
        }
        case TRowPath::kColorKey: {
          std::uint8_t* out = ScanLine(line) + 4 * s.pass.startColumn;
          const std::size_t step = 4 * s.pass.columnStep;
          if (colorType == 0) {
            for (std::size_t i = 0; i < s.columns; ++i, out += step) {
              const unsigned v = depth == 16 ? BigEndian16(row + 2 * i) : PackedIndex(row, i, depth);
              out[0] = out[1] = out[2] = sampleLevel(v);
              out[3] = v == key[0] ? 0 : 255;
            }
          } else {
            const std::size_t size = depth / 8;
            for (std::size_t i = 0; i < s.columns; ++i, out += step, row += 3 * size) {
              const unsigned r = size == 2 ? BigEndian16(row) : row[0];
              const unsigned g = size == 2 ? BigEndian16(row + 2) : row[1];
              const unsigned b = size == 2 ? BigEndian16(row + 4) : row[2];
              out[0] = sampleLevel(b);
              out[1] = sampleLevel(g);
              out[2] = sampleLevel(r);
              out[3] = r == key[0] && g == key[1] && b == key[2] ? 0 : 255;
            }
          }
          break;
        }
        case TRowPath::kGrayAlpha: {
          std::uint8_t* out = ScanLine(line) + 4 * s.pass.startColumn;
          const std::size_t step = 4 * s.pass.columnStep;
          const std::size_t size = depth / 8;
          for (std::size_t i = 0; i < s.columns; ++i, out += step, row += 2 * size) {
            std::uint8_t g = size == 2 ? Scale16(row) : row[0];
            if (gammaTable) g = gammaTable[g];
            out[0] = out[1] = out[2] = g;
            out[3] = size == 2 ? Scale16(row + 2) : row[1];
          }
          break;
        }
      }
      // Interlaced images report progress during the last pass only.
      if (!p.Interlaced || s.pass.startRow == 1)
        RowProgress(static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(height));
    };

    // The whole stream at hand and sound: one inflate into the exact size, filters undone in
    // place. Data too short to possibly hold the image goes the streaming way at once, and so
    // does a large picture (beyond 4096 x 4096 RGBA at 16 bits), whose inflated copy would
    // double what the load costs.
    const std::vector<std::uint8_t> zeros(widestRow, 0);
    bool done = false;
    constexpr std::size_t kLargestWholeInflate = std::size_t{160} << 20;
    if (idat.size() >= rawSize / 1032 && rawSize <= kLargestWholeInflate) {
      TRawBuffer raw(rawSize);
      if (InflateComplete(idat, std::span<std::uint8_t>(raw.get(), rawSize))) {
        std::uint8_t* at = raw.get();
        for (const TPassSize& s : passes) {
          const std::uint8_t* prior = zeros.data();
          for (std::size_t r = 0; r < s.rows; ++r, at += s.rowBytes + 1) {
            Unfilter(at[0], at + 1, prior, s.rowBytes, bpp);
            emitRow(s, s.pass.startRow + r * s.pass.rowStep, at + 1);
            prior = at + 1;
          }
        }
        done = true;
      }
    }
    if (!done) {
      // Damaged, short or overlong: row by row, so that each fault gets its own error. Every
      // row is written or the load fails, so nothing needs the background beneath.
      TLZ77Decoder decoder(kFlushPartial, false);
      decoder.DecodeInit();
      const std::uint8_t* in = idat.data();
      const std::uint8_t* const inEnd = idat.data() + idat.size();
      std::vector<std::uint8_t> current(widestRow + 1), prior(widestRow + 1);
      for (const TPassSize& s : passes) {
        std::fill(prior.begin(), prior.end(), 0);
        for (std::size_t r = 0; r < s.rows; ++r) {
          const std::size_t need = s.rowBytes + 1;
          std::uint8_t* out = current.data();
          while (out < current.data() + need && in < inEnd) {
            if (decoder.ZLibResult() == 1) Raise(gesExtraCompressedData);
            const std::uint8_t* inBefore = in;
            std::uint8_t* outBefore = out;
            decoder.Decode(in, out, static_cast<std::int32_t>(std::min<std::size_t>(inEnd - in, INT32_MAX)),
                           static_cast<std::int32_t>(current.data() + need - out));
            const int result = decoder.ZLibResult();
            if (result != 0 && result != 1) Raise(gesCompression);
            // The stream ends before the image does.
            if (result == 1 && out < current.data() + need) Raise(gesExtraCompressedData);
            if (in == inBefore && out == outBefore) break;
          }
          if (out < current.data() + need) RaiseReadError();  // the data ends before the image
          Unfilter(current[0], current.data() + 1, prior.data() + 1, s.rowBytes, bpp);
          emitRow(s, s.pass.startRow + r * s.pass.rowStep, current.data() + 1);
          std::swap(current, prior);
        }
      }
      decoder.DecodeEnd();
    }
    EndProgress();
  } catch (...) {
    ReleaseImage();
    throw;
  }
}

}  // namespace vumo
