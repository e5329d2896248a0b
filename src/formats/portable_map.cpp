#include "formats/portable_map.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TPPMGraphic, TReaderGraphic::ClassInfo())

namespace {

// Larger numbers are kept at this value: no header or sample of the format is bigger.
constexpr std::uint32_t kNumberCeiling = 0x7FFFFFFF;
constexpr std::uint32_t kLargestMaximum = 65535;

// Every short read of the format has this message (the picture name "PPM", whatever the kind).
[[noreturn]] void RaiseShortRead() { TReaderGraphic::RaiseNamed(gesStreamReadError, gesPPM); }

// The characters and raw rows of the file.
class TAnyMapSource {
 public:
  explicit TAnyMapSource(TStream& stream) : bytes_(stream) {}

  // The next character, or -1 at the end of the stream.
  int Next() { return bytes_.Next(); }

  int Get() {
    const int c = Next();
    if (c < 0) RaiseShortRead();
    return c;
  }

  // Skips to the first digit ("#" comments run to the end of their line), then reads the
  // digits; the character after the last digit is consumed. The end of the stream ends a
  // number that has begun.
  std::uint32_t Number() {
    int c = FirstDigit();
    std::uint32_t value = 0;
    while (c >= '0' && c <= '9') {
      value = value > (kNumberCeiling - 9) / 10 ? kNumberCeiling : value * 10 + static_cast<std::uint32_t>(c - '0');
      c = Next();
    }
    return value;
  }

  // One digit of a text bitmap: netpbm lets them run together without separators.
  int Digit() { return FirstDigit() - '0'; }

  void Bytes(std::uint8_t* target, std::size_t count) { std::memcpy(target, View(count), count); }

  // The next `count` bytes, in place where the byte source has them so.
  const std::uint8_t* View(std::size_t count) {
    const std::uint8_t* bytes = bytes_.Take(count);
    if (!bytes) RaiseShortRead();
    return bytes;
  }

  std::uint64_t Remaining() { return bytes_.Remaining(); }

 private:
  int FirstDigit() {
    int c = Get();
    while (c < '0' || c > '9') {
      if (c == '#')
        while (c != '\n' && c != '\r') c = Get();
      c = Get();
    }
    return c;
  }

  TByteSource bytes_;
};

struct TAnyMapHeader {
  int Kind = 0;  // the digit after "P"
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint32_t Maximum = 1;
};

// False unless the data starts with "P". The numbers follow the magic with any separators,
// also on the magic's own line, as netpbm writes and reads them.
bool ReadHeader(TAnyMapSource& source, TAnyMapHeader& header) {
  if (source.Next() != 'P') return false;
  const int digit = source.Get();
  if (digit < '0' || digit > '9') TReaderGraphic::RaiseNamed(gesInvalidImage, gesPortableMap);
  header.Kind = digit - '0';
  if (header.Kind < 1 || header.Kind > 6) return true;
  header.Width = source.Number();
  header.Height = source.Number();
  if (header.Kind != 1 && header.Kind != 4) header.Maximum = source.Number();
  return true;
}

// Sample values scaled from 0..Maximum to 0..255 with the colour manager's truncating rule;
// values above the maximum are taken as the maximum.
class TSampleScale {
 public:
  explicit TSampleScale(std::uint32_t maximum) : table_(std::size_t{kLargestMaximum} + 1, 255) {
    for (std::uint32_t v = 0; v < maximum; ++v) table_[v] = static_cast<std::uint8_t>(v * 255u / maximum);
  }
  std::uint8_t operator()(std::uint32_t v) const { return table_[std::min(v, kLargestMaximum)]; }
  const std::uint8_t* Table() const { return table_.data(); }

 private:
  std::vector<std::uint8_t> table_;
};

void SwapRedBlue(std::uint8_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, pixels += 3) std::swap(pixels[0], pixels[2]);
}

#if defined(__x86_64__) || defined(__i386__)
// Four pixels a step through one byte shuffle; each step reads and writes 16 bytes, of which
// the last four are passed through unchanged, so it also works in place. Returns the pixels done.
__attribute__((target("ssse3"))) std::size_t CopyRGBToBGRShuffled(const std::uint8_t* source, std::uint8_t* target,
                                                                  std::size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  std::size_t i = 0;
  for (; i + 6 <= count; i += 4, source += 12, target += 12)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source)), order));
  return i;
}

// Eight pixels a step: two shuffled halves, the second stored over the first's last four bytes.
__attribute__((target("avx2"))) std::size_t CopyRGBToBGRShuffled8(const std::uint8_t* source, std::uint8_t* target,
                                                                  std::size_t count) {
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15,  //
                                         2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  std::size_t i = 0;
  for (; i + 10 <= count; i += 8, source += 24, target += 24) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 12));
    const __m256i v = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 12), _mm256_extracti128_si256(v, 1));
  }
  return i;
}
#endif

// Red, green, blue triples to blue, green, red.
void CopyRGBToBGR(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
  std::size_t i = 0;
#if defined(__x86_64__) || defined(__i386__)
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  static const bool shuffle8 = __builtin_cpu_supports("avx2");
  if (shuffle8) {
    i = CopyRGBToBGRShuffled8(source, target, count);
    source += 3 * i;
    target += 3 * i;
  }
  if (shuffle) {
    const std::size_t done = CopyRGBToBGRShuffled(source, target, count - i);
    i += done;
    source += 3 * done;
    target += 3 * done;
  }
#endif
  // Elsewhere four pixels at a time move as three words.
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 4 <= count; i += 4, source += 12, target += 12) {
      std::uint32_t w0, w1, w2;
      std::memcpy(&w0, source, 4);
      std::memcpy(&w1, source + 4, 4);
      std::memcpy(&w2, source + 8, 4);
      const std::uint32_t t0 = ((w0 >> 16) & 0xFFu) | (w0 & 0xFF00u) | ((w0 & 0xFFu) << 16) | ((w1 & 0xFF00u) << 16);
      const std::uint32_t t1 = (w1 & 0xFFu) | ((w0 >> 24) << 8) | ((w2 & 0xFFu) << 16) | (w1 & 0xFF000000u);
      const std::uint32_t t2 = ((w1 >> 16) & 0xFFu) | ((w2 >> 24) << 8) | (w2 & 0xFF0000u) | ((w2 & 0xFF00u) << 16);
      std::memcpy(target, &t0, 4);
      std::memcpy(target + 4, &t1, 4);
      std::memcpy(target + 8, &t2, 4);
    }
  }
  for (; i < count; ++i, source += 3, target += 3) {
    const std::uint8_t red = source[0];
    target[0] = source[2];
    target[1] = source[1];
    target[2] = red;
  }
}

}  // namespace

bool TPPMGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, 10, [](const std::uint8_t* b) { return b[0] == 'P' && b[1] >= '1' && b[1] <= '6'; });
}

const char* TPPMGraphic::FormatName() const { return gesPortableMap; }

bool TPPMGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  TAnyMapHeader h;
  {
    TAnyMapSource source(Stream);
    if (!ReadHeader(source, h)) return false;
  }
  kind_ = h.Kind;
  maximum_ = h.Maximum;
  TImageProperties& p = ImageProperties;
  p.Compression = ctNone;
  switch (h.Kind) {
    case 1:
    case 4:
      p.ColorScheme = csIndexed;
      p.BitsPerSample = 1;
      p.SamplesPerPixel = 1;
      break;
    case 2:
    case 5:
      p.ColorScheme = csIndexed;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 1;
      break;
    case 3:
    case 6:
      p.ColorScheme = csRGB;
      p.BitsPerSample = 8;
      p.SamplesPerPixel = 3;
      break;
    default: return true;
  }
  p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
  p.Width = h.Width;
  p.Height = h.Height;
  return true;
}

void TPPMGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  StartProgress(gesTransfering);
  const TImageProperties& p = ImageProperties;
  const int kind = kind_;
  const std::uint32_t maximum = maximum_;
  if (kind < 1 || kind > 6 || p.Width == 0 || p.Height == 0) RaiseInvalidImage();
  if (maximum == 0 || maximum > kLargestMaximum) RaiseInvalidImage();
  auto source = std::make_unique<TAnyMapSource>(Stream);

  const bool bitmap = kind == 1 || kind == 4, gray = kind == 2 || kind == 5, text = kind <= 3;
  const std::size_t width = p.Width, height = p.Height;
  const unsigned samples = kind == 3 || kind == 6 ? 3 : 1;
  const TPixelFormat format = bitmap ? pf1bit : gray ? pf8bit : pf24bit;
  CheckImageSize(width, height, format);
  // Refuse before allocating when the file cannot hold the pixels: a raw row takes its full
  // size, a text sample at least one character.
  const std::size_t sampleBytes = maximum > 255 ? 2 : 1;
  const std::size_t rowBytes = bitmap ? (width + 7) / 8 : width * samples * sampleBytes;
  const auto needed = CheckedMul(text ? width * samples : rowBytes, height);
  if (!needed || *needed > source->Remaining()) RaiseShortRead();

  SetPixelFormat(format);
  ColorManager.SetTargetColorScheme(csIndexed);
  ColorManager.SetTargetSamplesPerPixel(1);
  if (bitmap) {
    ColorManager.SetTargetBitsPerSample(1);
    SetPalette(ColorManager.CreateGrayPalette(true));
  } else if (gray) {
    ColorManager.SetTargetBitsPerSample(8);
    SetPalette(ColorManager.CreateGrayPalette(false));
  }
  AllocateImage(width, height, format);

  const bool scaled = !bitmap && maximum != 255;
  std::unique_ptr<TSampleScale> scale;
  if (scaled || text) scale = std::make_unique<TSampleScale>(maximum);
  std::vector<std::uint8_t> wide(kind >= 5 && sampleBytes == 2 ? width * samples * 2 : 0);
  // Text rows can still end early once the bitmap is made; a refused load leaves the
  // reader empty, as every other reader's does.
  struct TEmptyOnFailure {
    TPPMGraphic& graphic;
    bool done = false;
    ~TEmptyOnFailure() {
      if (!done) graphic.ReleaseImage();
    }
  } guard{*this};
  for (std::size_t r = 0; r < height; ++r) {
    std::uint8_t* line = ScanLine(static_cast<int>(r));
    switch (kind) {
      case 1: {
        std::uint8_t byte = 0;
        std::size_t x = 0;
        for (; x < width; ++x) {
          byte = static_cast<std::uint8_t>((byte << 1) | (source->Digit() & 1));
          if (x % 8 == 7) {
            line[x / 8] = byte;
            byte = 0;
          }
        }
        if (x % 8 != 0) line[x / 8] = static_cast<std::uint8_t>(byte << (8 - x % 8));
        break;
      }
      case 2:
        for (std::size_t x = 0; x < width; ++x) line[x] = (*scale)(source->Number());
        break;
      case 3:
        for (std::size_t x = 0; x < width; ++x, line += 3) {
          const std::uint8_t red = (*scale)(source->Number());
          const std::uint8_t green = (*scale)(source->Number());
          line[0] = (*scale)(source->Number());
          line[1] = green;
          line[2] = red;
        }
        break;
      case 4: source->Bytes(line, rowBytes); break;
      default: {
        const std::size_t count = width * samples;
        if (sampleBytes == 2) {
          source->Bytes(wide.data(), wide.size());
          for (std::size_t i = 0; i < count; ++i) line[i] = (*scale)(BigEndian16(&wide[2 * i]));
          if (samples == 3) SwapRedBlue(line, width);
        } else if (samples == 3 && !scaled) {
          CopyRGBToBGR(source->View(count), line, width);
        } else {
          source->Bytes(line, count);
          if (scaled) {
            const std::uint8_t* table = scale->Table();
            for (std::size_t i = 0; i < count; ++i) line[i] = table[line[i]];
          }
          if (samples == 3) SwapRedBlue(line, width);
        }
        break;
      }
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  guard.done = true;
  EndProgress();
}

}  // namespace vumo
