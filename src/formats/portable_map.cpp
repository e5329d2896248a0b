#include "formats/portable_map.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/byte_source.h"
#include "formats/messages.h"
#include "pixels/byte_order.h"
#include "pixels/float_pixels.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

namespace vumo {

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

  // The next word (after separators and comments), and the character after it consumed.
  std::string Word() {
    int c = Get();
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '#') {
      if (c == '#')
        while (c != '\n' && c != '\r') c = Get();
      c = Get();
    }
    std::string word;
    while (c >= 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n' && word.size() < 64) {
      word.push_back(static_cast<char>(c));
      c = Next();
    }
    return word;
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

// The kinds beyond the digits: arbitrary maps are 7; the float maps take these.
enum TFloatKind : int { fkFloatRGB = 10, fkFloatGrey, fkHalfRGB, fkHalfGrey };

bool IsFloatKind(int kind) { return kind >= fkFloatRGB && kind <= fkHalfGrey; }

using TAnyMapHeader = TPPMGraphic::THeader;

// Arbitrary maps name each number; the header ends at ENDHDR, on a line of its own.
void ReadArbitraryHeader(TAnyMapSource& source, TAnyMapHeader& header) {
  header.Maximum = 0;
  for (int words = 0; words < 256; ++words) {
    const std::string key = source.Word();
    if (key == "ENDHDR") return;
    if (key == "WIDTH")
      header.Width = source.Number();
    else if (key == "HEIGHT")
      header.Height = source.Number();
    else if (key == "DEPTH")
      header.Depth = source.Number();
    else if (key == "MAXVAL")
      header.Maximum = source.Number();
    else if (key == "TUPLTYPE")
      header.TupleType = source.Word();
    else if (key.empty())
      break;
  }
  TReaderGraphic::RaiseNamed(gesInvalidImage, gesPortableMap);
}

// False unless the data starts with "P". The numbers follow the magic with any separators,
// also on the magic's own line, as netpbm writes and reads them.
bool ReadHeader(TAnyMapSource& source, TAnyMapHeader& header) {
  if (source.Next() != 'P') return false;
  const int digit = source.Get();
  static constexpr char kFloatLetters[] = "FfHh";
  if (const char* letter = digit > 0 ? std::strchr(kFloatLetters, digit) : nullptr) {
    header.Kind = fkFloatRGB + static_cast<int>(letter - kFloatLetters);
    header.Width = source.Number();
    header.Height = source.Number();
    const std::string scale = source.Word();
    header.LittleEndian = !scale.empty() && scale[0] == '-';
    return true;
  }
  if (digit < '0' || digit > '9') TReaderGraphic::RaiseNamed(gesInvalidImage, gesPortableMap);
  header.Kind = digit - '0';
  if (header.Kind == 7) {
    ReadArbitraryHeader(source, header);
    return true;
  }
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
  return TestHeader(Stream, 10, [](const std::uint8_t* b) {
    return b[0] == 'P' && ((b[1] >= '1' && b[1] <= '7') || b[1] == 'F' || b[1] == 'f' || b[1] == 'H' || b[1] == 'h');
  });
}

bool TPPMGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  if (!ParseHeaderInto<TAnyMapSource>(Stream, header_, ReadHeader)) return false;
  const TAnyMapHeader& h = header_;
  TImageProperties& p = ImageProperties;
  p.Compression = ctNone;
  switch (h.Kind) {
    case 7:
      p.ColorScheme = h.Depth >= 3 ? (h.Depth == 4 ? csRGBA : csRGB) : (h.Depth == 2 ? csGrayAlpha : csGray);
      p.BitsPerSample = h.Maximum > 255 ? 16 : 8;
      p.SamplesPerPixel = static_cast<std::uint8_t>(std::min<std::uint32_t>(h.Depth, 255));
      break;
    case fkFloatRGB:
    case fkFloatGrey:
    case fkHalfRGB:
    case fkHalfGrey:
      p.ColorScheme = h.Kind == fkFloatRGB || h.Kind == fkHalfRGB ? csRGB : csGray;
      p.BitsPerSample = h.Kind <= fkFloatGrey ? 32 : 16;
      p.SamplesPerPixel = p.ColorScheme == csRGB ? 3 : 1;
      if (!h.LittleEndian) p.Options |= ioBigEndian;
      break;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: {
      // Bitmaps, grey maps and pixel maps, as text (P1 to P3) or as bytes (P4 to P6).
      struct TLayout {
        TColorScheme Scheme;
        std::uint8_t Bits, Samples;
      };
      static constexpr TLayout kLayouts[3] = {{csIndexed, 1, 1}, {csIndexed, 8, 1}, {csRGB, 8, 3}};
      const TLayout& layout = kLayouts[(h.Kind - 1) % 3];
      p.ColorScheme = layout.Scheme;
      p.BitsPerSample = layout.Bits;
      p.SamplesPerPixel = layout.Samples;
      break;
    }
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
  const int kind = header_.Kind;
  const std::uint32_t maximum = header_.Maximum;
  if (p.Width == 0 || p.Height == 0) RaiseInvalidImage();
  if (kind == 7) return LoadArbitraryMap(Stream);
  if (IsFloatKind(kind)) return LoadFloatMap(Stream);
  if (kind < 1 || kind > 6) RaiseInvalidImage();
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

void TPPMGraphic::LoadArbitraryMap(TStream& Stream) {
  const std::uint32_t maximum = header_.Maximum, depth = header_.Depth;
  if (maximum == 0 || maximum > kLargestMaximum) RaiseInvalidImage();
  if (depth == 0 || depth > 4) RaiseInvalidColorFormat();
  // The tuple type says whether the last sample is alpha; without one, the depth does.
  const std::string& type = header_.TupleType;
  const bool alpha = type.size() > 6 ? type.compare(type.size() - 6, 6, "_ALPHA") == 0 : depth == 2 || depth == 4;
  const unsigned colours = depth - (alpha ? 1 : 0);
  if (colours != 1 && colours != 3) RaiseInvalidColorFormat();
  const std::size_t width = ImageProperties.Width, height = ImageProperties.Height;
  const TPixelFormat format = alpha ? pf32bit : colours == 3 ? pf24bit : pf8bit;
  CheckImageSize(width, height, format);
  const std::size_t sampleBytes = maximum > 255 ? 2 : 1;
  const std::size_t count = width * depth;
  TAnyMapSource source(Stream);
  const auto needed = CheckedMul(count * sampleBytes, height);
  if (!needed || *needed > source.Remaining()) RaiseShortRead();

  if (format == pf8bit) {
    ColorManager.SetTargetColorScheme(csIndexed);
    ColorManager.SetTargetSamplesPerPixel(1);
    ColorManager.SetTargetBitsPerSample(8);
    SetPalette(ColorManager.CreateGrayPalette(false));
  }
  AllocateImageToOverwrite(width, height, format);
  TEmptyOnFailure guard(*this);
  if (alpha) SetAlphaChannel(true);
  SetFormatDescription("PAM " + (type.empty() ? std::string("depth ") + std::to_string(depth) : type) +
                       (sampleBytes == 2 ? ", 16-bit" : ""));
  const TSampleScale scale(maximum);
  std::vector<std::uint8_t> samples(count);
  const int bytesPerPixel = BitsPerPixelOf(format) / 8;
  for (std::size_t r = 0; r < height; ++r) {
    const std::uint8_t* in = source.View(count * sampleBytes);
    if (sampleBytes == 2)
      for (std::size_t i = 0; i < count; ++i) samples[i] = scale(BigEndian16(in + 2 * i));
    else
      for (std::size_t i = 0; i < count; ++i) samples[i] = scale(in[i]);
    std::uint8_t* line = ScanLine(static_cast<int>(r));
    for (std::size_t x = 0; x < width; ++x, line += bytesPerPixel) {
      const std::uint8_t* s = &samples[x * depth];
      if (format == pf8bit) {
        line[0] = s[0];
        continue;
      }
      // Grey with alpha spreads its grey over the three colours.
      const std::uint8_t red = s[0], green = colours == 3 ? s[1] : s[0], blue = colours == 3 ? s[2] : s[0];
      line[0] = blue, line[1] = green, line[2] = red;
      if (alpha) line[3] = s[colours];
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  EndProgress();
}

void TPPMGraphic::LoadFloatMap(TStream& Stream) {
  const int kind = header_.Kind;
  const bool rgb = kind == fkFloatRGB || kind == fkHalfRGB, half = kind == fkHalfRGB || kind == fkHalfGrey;
  const std::size_t width = ImageProperties.Width, height = ImageProperties.Height;
  const std::size_t samples = rgb ? 3 : 1, sampleBytes = half ? 2 : 4;
  CheckImageSize(width, height, pf32bit);
  TAnyMapSource source(Stream);
  const auto needed = CheckedMul(width * samples * sampleBytes, height);
  if (!needed || *needed > source.Remaining()) RaiseShortRead();
  std::shared_ptr<TFloatPixels> floats = NewFloatPixels(static_cast<int>(width), static_cast<int>(height));
  const bool little = header_.LittleEndian;
  // Rows are stored from the bottom up.
  for (std::size_t r = 0; r < height; ++r) {
    const std::uint8_t* in = source.View(width * samples * sampleBytes);
    float* out = floats->Row(static_cast<int>(height - 1 - r));
    for (std::size_t x = 0; x < width; ++x, out += 4) {
      for (std::size_t c = 0; c < samples; ++c, in += sampleBytes) {
        if (half) {
          out[c] = HalfToFloat(static_cast<std::uint16_t>(little ? LittleEndian16(in) : BigEndian16(in)));
        } else {
          const std::uint32_t bits = little ? LittleEndian32(in) : BigEndian32(in);
          std::memcpy(&out[c], &bits, 4);
        }
      }
      if (!rgb) out[1] = out[2] = out[0];
      out[3] = 1.0f;
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  AllocateImageToOverwrite(width, height, pf32bit);
  TEmptyOnFailure guard(*this);
  SetFloatPixels(std::move(floats));
  SetFormatDescription(std::string(half ? "PFM half float" : "PFM float") + (rgb ? " RGB" : " grey"));
  EndProgress();
}

}  // namespace vumo
