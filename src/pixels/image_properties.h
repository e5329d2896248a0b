// What a file header says about its image: shared by the readers, the colour manager and
// the decoders. The enumerations keep their stored values.
#pragma once

#include <cstdint>
#include <vector>

namespace vumo {

// Grouped by family, one family a line.
enum TColorScheme : std::uint8_t {
  csUnknown = 0,
  csIndexed = 1, csGray = 2, csGrayAlpha = 3,
  csRGB = 4, csRGBA = 5, csBGR = 6, csBGRA = 7,
  csCMY = 8, csCMYK = 9,
  csCIELab = 10, csYCbCr = 11, csPhotoYCC = 12,
};

enum TCompressionType : std::uint8_t {
  ctUnknown = 0, ctNone = 1,
  ctRLE = 2, ctPackedBits = 3, ctLZW = 4,
  ctFax3 = 5, ctFaxRLE = 6, ctFax4 = 7, ctFaxRLEW = 8,
  ctLZ77 = 9,
  ctJPEG = 10, ctOJPEG = 11,
  ctThunderscan = 12, ctNext = 13,
  ctIT8CTPAD = 14, ctIT8LW = 15, ctIT8MP = 16, ctIT8BL = 17,
  ctPixarFilm = 18, ctPixarLog = 19,
  ctDCS = 20, ctJBIG = 21, ctPCDHuffmann = 22,
};

// TImageOptions: a one-byte set.
using TImageOptions = std::uint8_t;
inline constexpr TImageOptions ioTiled = 1;
inline constexpr TImageOptions ioBigEndian = 2;
inline constexpr TImageOptions ioMinIsWhite = 4;
inline constexpr TImageOptions ioReversed = 8;
inline constexpr TImageOptions ioUseGamma = 16;

using TCardinalArray = std::vector<std::uint32_t>;
using TByteArray = std::vector<std::uint8_t>;

struct TImageProperties {
  std::uint32_t Version = 0;
  TImageOptions Options = 0;
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  TColorScheme ColorScheme = csUnknown;
  std::uint8_t BitsPerSample = 0;
  std::uint8_t SamplesPerPixel = 0;
  std::uint8_t BitsPerPixel = 0;
  TCompressionType Compression = ctUnknown;
  float FileGamma = 0.0f;
  float XResolution = 0.0f;
  float YResolution = 0.0f;
  bool Interlaced = false;
  bool HasAlpha = false;
  std::uint32_t FirstIFD = 0;
  std::uint32_t PlanarConfig = 0;
  std::uint32_t CurrentRow = 0;
  std::uint32_t TileWidth = 0;
  std::uint32_t TileLength = 0;
  std::uint32_t BytesPerLine = 0;
  TCardinalArray RowsPerStrip;
  TByteArray YCbCrSubSampling;
  TByteArray JPEGTables;
  std::uint32_t JPEGColorMode = 0;
  std::uint32_t JPEGTablesMode = 0;
  std::uint32_t CurrentStrip = 0;
  std::uint32_t StripCount = 0;
  std::uint32_t PredictorMode = 0;
  bool Overview = false;
  std::uint8_t Rotate = 0;
  std::uint16_t ImageCount = 0;
  bool BottomUp = false;
  std::uint8_t ChannelCount = 0;
  std::uint8_t FilterMode = 0;
};

// The properties of a picture of palette indices, one 8-bit sample a pixel as the file's
// indices are unpacked (`bitsPerPixel` says how many bits the file gives each).
inline void SetIndexedProperties(TImageProperties& p, std::uint32_t width, std::uint32_t height,
                                 std::uint8_t bitsPerPixel, TCompressionType compression) {
  p.Width = width;
  p.Height = height;
  p.ColorScheme = csIndexed;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerPixel = bitsPerPixel;
  p.Compression = compression;
}

const char* ColorSchemeName(TColorScheme scheme);
const char* CompressionName(TCompressionType compression);

}  // namespace vumo
