#include "formats/portable_map.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "formats/messages.h"
#include "pixels/image_limits.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TPPMGraphic, TReaderGraphic::ClassInfo())

namespace {

constexpr std::size_t kReadAhead = 4096;
// Larger numbers are kept at this value: no header or sample of the format is bigger.
constexpr std::uint32_t kNumberCeiling = 0x7FFFFFFF;
constexpr std::uint32_t kLargestMaximum = 65535;

[[noreturn]] void RaiseReadError() { throw EInvalidGraphic(FormatMessage(gesStreamReadError, gesPPM)); }
[[noreturn]] void RaiseInvalidImage() { throw EInvalidGraphic(FormatMessage(gesInvalidImage, gesPortableMap)); }

// The characters of the file through a read-ahead buffer; raw pixel rows bypass it.
class TAnyMapSource {
 public:
  explicit TAnyMapSource(TStream& stream) : stream_(stream), memory_(dynamic_cast<TMemoryStream*>(&stream)) {}

  // The next character, or -1 at the end of the stream.
  int Next() {
    if (begin_ == end_ && !Refill()) return -1;
    return buffer_[begin_++];
  }

  int Get() {
    const int c = Next();
    if (c < 0) RaiseReadError();
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

  void Bytes(std::uint8_t* target, std::size_t count) {
    const std::size_t buffered = std::min(count, end_ - begin_);
    std::memcpy(target, buffer_ + begin_, buffered);
    begin_ += buffered;
    if (buffered < count && stream_.Read(target + buffered, count - buffered) != count - buffered) RaiseReadError();
  }

  // The next `count` bytes: in place when the buffer is used up and the stream is in memory,
  // otherwise copied into `scratch` (at least `count` bytes).
  const std::uint8_t* View(std::size_t count, std::uint8_t* scratch) {
    if (begin_ == end_ && memory_) {
      const std::int64_t at = memory_->Position();
      if (static_cast<std::uint64_t>(memory_->Size() - at) < count) RaiseReadError();
      memory_->Seek(static_cast<std::int64_t>(count), TSeekOrigin::soCurrent);
      return memory_->Memory() + at;
    }
    Bytes(scratch, count);
    return scratch;
  }

  // What is left to read, buffered or not.
  std::uint64_t Remaining() { return (end_ - begin_) + static_cast<std::uint64_t>(stream_.Remaining()); }

 private:
  bool Refill() {
    begin_ = 0;
    end_ = stream_.Read(buffer_, kReadAhead);
    return end_ > 0;
  }

  int FirstDigit() {
    int c = Get();
    while (c < '0' || c > '9') {
      if (c == '#')
        while (c != '\n' && c != '\r') c = Get();
      c = Get();
    }
    return c;
  }

  TStream& stream_;
  TMemoryStream* memory_;
  std::uint8_t buffer_[kReadAhead];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
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
  if (digit < '0' || digit > '9') RaiseInvalidImage();
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
  const std::int64_t start = Stream.Position();
  if (Stream.Remaining() <= 10) return false;
  std::uint8_t b[2] = {};
  const bool result = Stream.Read(b, 2) == 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6';
  Stream.SetPosition(start);
  return result;
}

bool TPPMGraphic::CanLoad(const std::string& FileName) {
  return CanLoadFile(FileName, static_cast<bool (*)(TStream&)>(&TPPMGraphic::CanLoad));
}

bool TPPMGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  TAnyMapSource source(Stream);
  TAnyMapHeader h;
  if (!ReadHeader(source, h)) return false;
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
  Stream.SetPosition(BasePosition);
  StartProgress(gesTransfering);
  auto source = std::make_unique<TAnyMapSource>(Stream);
  TAnyMapHeader h;
  ReadHeader(*source, h);
  if (h.Kind < 1 || h.Kind > 6 || h.Width == 0 || h.Height == 0) RaiseInvalidImage();
  if (h.Maximum == 0 || h.Maximum > kLargestMaximum) RaiseInvalidImage();

  const int kind = h.Kind;
  const bool bitmap = kind == 1 || kind == 4, gray = kind == 2 || kind == 5, text = kind <= 3;
  const std::size_t width = h.Width, height = h.Height;
  const unsigned samples = kind == 3 || kind == 6 ? 3 : 1;
  const TPixelFormat format = bitmap ? pf1bit : gray ? pf8bit : pf24bit;
  if (!ImageSizeAllowed(width, height, static_cast<std::uint64_t>(BitsPerPixelOf(format))))
    throw EInvalidGraphic(FormatMessage(kImageTooLarge, h.Width, h.Height));
  // Refuse before allocating when the file cannot hold the pixels: a raw row takes its full
  // size, a text sample at least one character.
  const std::size_t sampleBytes = h.Maximum > 255 ? 2 : 1;
  const std::size_t rowBytes = bitmap ? (width + 7) / 8 : width * samples * sampleBytes;
  if ((text ? width * samples : rowBytes) * height > source->Remaining()) RaiseReadError();

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
  SetSize(static_cast<int>(width), static_cast<int>(height));

  const bool scaled = !bitmap && h.Maximum != 255;
  std::unique_ptr<TSampleScale> scale;
  if (scaled || text) scale = std::make_unique<TSampleScale>(h.Maximum);
  std::vector<std::uint8_t> wide(kind >= 5 && sampleBytes == 2 ? width * samples * 2 : 0);
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
          for (std::size_t i = 0; i < count; ++i) line[i] = (*scale)((wide[2 * i] << 8) | wide[2 * i + 1]);
          if (samples == 3) SwapRedBlue(line, width);
        } else if (samples == 3 && !scaled) {
          CopyRGBToBGR(source->View(count, line), line, width);
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
  EndProgress();
}

}  // namespace vumo
