#include "formats/portable_map.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

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
  AllocateImageToOverwrite(width, height, format);

  const bool scaled = !bitmap && maximum != 255;
  std::unique_ptr<TSampleScale> scale;
  if (scaled || text) scale = std::make_unique<TSampleScale>(maximum);
  std::vector<std::uint8_t> wide(kind >= 5 && sampleBytes == 2 ? width * samples * 2 : 0);
  // Text rows can still end early once the bitmap is made; a refused load leaves the
  // reader empty, as every other reader's does.
  TEmptyOnFailure guard(*this);
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
          if (samples == 3) SwapRedBlue24(line, line, width);
        } else if (samples == 3 && !scaled) {
          if (LargeRows())
            SwapRedBlue24Uncached(source->View(count), line, width);
          else
            SwapRedBlue24(source->View(count), line, width);
        } else if (!scaled) {
          CopyRowTo(static_cast<int>(r), source->View(count), count);
        } else {
          source->Bytes(line, count);
          if (scaled) {
            const std::uint8_t* table = scale->Table();
            for (std::size_t i = 0; i < count; ++i) line[i] = table[line[i]];
          }
          if (samples == 3) SwapRedBlue24(line, line, width);
        }
        break;
      }
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  EndProgress();
}

}  // namespace vumo
