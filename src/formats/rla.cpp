#include "formats/rla.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "pixels/byte_order.h"
#include "formats/messages.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

constexpr std::size_t kHeaderSize = 740;
constexpr std::size_t kGammaOffset = 28, kGammaSize = 16;
constexpr std::size_t kChannelSpaceOffset = 580, kChannelSpaceSize = 32;
constexpr std::size_t kBitsOffset = 658;

std::int16_t BigEndianSigned16(const std::uint8_t* p) { return static_cast<std::int16_t>(BigEndian16(p)); }

// A fixed text field: up to its first zero byte, lower case, surrounding blanks dropped.
std::string FieldText(const std::uint8_t* field, std::size_t size) {
  std::size_t length = 0;
  while (length < size && field[length] != 0) ++length;
  std::string text(reinterpret_cast<const char*>(field), length);
  for (char& ch : text)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  const auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  return text.substr(first);
}

// The gamma text counts only when it is a usable number; anything else means no gamma.
float ParseGamma(const std::uint8_t* field) {
  const std::string text = FieldText(field, kGammaSize);
  float value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0)
    return 1.0f;
  return value;
}

std::uint64_t StreamBytesFrom(TStream& stream, std::int64_t base) {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(stream.Size() - base, 0));
}

// A 16-bit channel is run-length coded as two byte planes, all the high bytes of the row
// and then all the low bytes (as Wavefront's writers and every tool after them lay it
// out), so its samples are rebuilt as big-endian words in place.
void InterleaveBytePlanes(std::uint8_t* row, std::uint8_t* scratch, std::uint32_t width) {
  const std::uint8_t* high = row;
  const std::uint8_t* low = row + width;
  for (std::uint32_t x = 0; x < width; ++x) {
    scratch[2 * x] = high[x];
    scratch[2 * x + 1] = low[x];
  }
  std::memcpy(row, scratch, 2 * std::size_t{width});
}

}  // namespace

bool TRLAGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) {
    const std::string space = FieldText(header + kChannelSpaceOffset, kChannelSpaceSize);
    return BigEndian16(header + 26) == 0xFFFE && (space == "rgb" || space == "xyz");
  });
}

bool TRLAGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* header = ReadHeaderBytes(Stream, kHeaderSize);
  if (!header) return false;
  TImageProperties& p = ImageProperties;
  p.Options = ioBigEndian;
  const unsigned colourChannels = header[21];
  const bool matte = BigEndian16(header + 22) == 1;
  p.SamplesPerPixel = static_cast<std::uint8_t>(colourChannels + (matte ? 1 : 0));
  p.BitsPerSample = header[kBitsOffset + 1];
  p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);

  const std::string space = FieldText(header + kChannelSpaceOffset, kChannelSpaceSize);
  if (space == "xyz") return false;
  // Only three colour channels of whole bytes are laid out as this reader converts them;
  // anything else stays unknown and meets the colour manager's refusal.
  if (space == "rgb" && colourChannels == 3 && (p.BitsPerSample == 8 || p.BitsPerSample == 16))
    p.ColorScheme = matte ? csRGBA : csRGB;
  p.FileGamma = ParseGamma(header + kGammaOffset);

  const int left = BigEndianSigned16(header), right = BigEndianSigned16(header + 2);
  const int bottom = BigEndianSigned16(header + 4), top = BigEndianSigned16(header + 6);
  if (right < left) return false;
  p.Width = static_cast<std::uint32_t>(right - left + 1);
  p.Height = static_cast<std::uint32_t>(std::abs(bottom - top) + 1);
  p.BottomUp = bottom < top;
  p.Compression = ctRLE;
  return true;
}

void TRLAGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) return;
  TImageProperties& p = ImageProperties;
  StartProgress(gesTransfering);

  TColorSetup colors;
  colors.SourceScheme = p.ColorScheme;
  colors.SourceBits = p.BitsPerSample;
  colors.SourceSamples = p.SamplesPerPixel;
  colors.SourceOptions = p.BitsPerSample > 8 ? kBigEndianSamples : 0;
  colors.TargetScheme = p.ColorScheme == csRGBA ? csBGRA : csBGR;
  colors.TargetBits = std::min<std::uint8_t>(p.BitsPerSample, 8);
  colors.TargetSamples = p.SamplesPerPixel;
  // A reader loaded before keeps its colour manager's gamma table; a file without gamma
  // simply does not ask for it.
  if (p.FileGamma != 1.0f) {
    ColorManager.SetGamma(p.FileGamma, 2.2f);
    colors.TargetOptions = cvApplyGamma;
    p.Options |= ioUseGamma;
  }
  // A layout without a converter is refused before the picture is allocated.
  ColorManager.Setup(colors);
  const unsigned channels = p.ColorScheme == csRGBA ? 4 : 3;

  const std::uint32_t width = p.Width, height = p.Height;
  CheckImageSize(width, height, ColorManager.TargetPixelFormat());
  const std::uint64_t available = StreamBytesFrom(Stream, BasePosition);
  if (kHeaderSize + 4 * std::uint64_t{height} > available) throw EReadError(kStreamReadError);
  std::vector<std::uint8_t> table(4 * std::size_t{height});
  Stream.SetPosition(BasePosition + static_cast<std::int64_t>(kHeaderSize));
  Stream.ReadBuffer(table.data(), table.size());

  AllocateImage(width, height);
  TEmptyOnFailure guard(*this);

  const std::size_t bytesPerSample = p.BitsPerSample > 8 ? 2 : 1;
  const std::size_t rowBytes = std::size_t{width} * bytesPerSample;
  // The longest a sound channel record can be: a two-byte run for every byte.
  const std::size_t maxPacked = 2 * rowBytes;
  std::vector<std::uint8_t> packed(maxPacked);
  std::vector<std::uint8_t> planes(rowBytes * channels);
  std::vector<std::uint8_t> interleaved(bytesPerSample == 2 ? rowBytes : 0);
  const void* sources[4] = {};
  for (unsigned c = 0; c < channels; ++c) sources[c] = planes.data() + c * rowBytes;
  TRLADecoder decoder;
  decoder.DecodeInit();

  for (std::uint32_t line = 0; line < height; ++line) {
    std::fill(planes.begin(), planes.end(), std::uint8_t{0});
    // A scanline whose offset or records run past the end belongs to a file cut short.
    std::uint64_t position = BigEndian32(&table[4 * std::size_t{line}]);
    for (unsigned c = 0; c < channels; ++c) {
      if (position + 2 > available) RaiseReadError();
      std::uint8_t lengthBytes[2];
      Stream.SetPosition(BasePosition + static_cast<std::int64_t>(position));
      if (Stream.Read(lengthBytes, 2) != 2) RaiseReadError();
      const std::uint16_t length = BigEndian16(lengthBytes);
      position += 2;
      if (length > available - position) RaiseReadError();
      const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length, maxPacked));
      const std::size_t got = Stream.Read(packed.data(), want);
      if (got < want) RaiseReadError();
      const std::uint8_t* source = packed.data();
      std::uint8_t* dest = planes.data() + c * rowBytes;
      decoder.Decode(source, dest, static_cast<std::int32_t>(got), static_cast<std::int32_t>(rowBytes));
      if (bytesPerSample == 2) InterleaveBytePlanes(dest, interleaved.data(), width);
      position += length;
    }
    const std::uint32_t target = p.BottomUp ? height - 1 - line : line;
    ConvertRowTo(static_cast<int>(target), std::span<const void* const>(sources, channels), rowBytes);
    RowProgress(line, height);
  }
  decoder.DecodeEnd();
  EndProgress();
}

}  // namespace vumo
