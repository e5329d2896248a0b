#include "formats/pcx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "pixels/byte_order.h"
#include "formats/byte_source.h"
#include "formats/header_fields.h"
#include "formats/messages.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"

namespace vumo {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTrailerSize = 769;
constexpr std::uint8_t kTrailerMark = 12;
// Screen captures of Word 5.x carry 205 instead of ZSoft's 10.
constexpr std::uint8_t kMakerZSoft = 10;
constexpr std::uint8_t kMakerScreenCapture = 205;

struct TPCXHeader {
  std::uint8_t Manufacturer = 0, Version = 0, Encoding = 0, BitsPerPixel = 0;
  std::uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  std::uint16_t HRes = 0, VRes = 0;
  std::uint8_t ColorMap[48] = {};
  std::uint8_t Planes = 0;
  std::uint16_t BytesPerLine = 0;
  std::uint16_t PaletteInfo = 0;
};

TPCXHeader ParseHeader(const std::uint8_t* b) {
  TPCXHeader h;
  TLittleEndianFields(b, kHeaderSize) >> h.Manufacturer >> h.Version >> h.Encoding >> h.BitsPerPixel >> h.XMin >> h.YMin >>
      h.XMax >> h.YMax >> h.HRes >> h.VRes >> h.ColorMap >> Reserved(1) >> h.Planes >> h.BytesPerLine >> h.PaletteInfo;
  return h;
}

// The platform's standard 16-colour palette: the eight dark and eight bright colours.
TLogPalette StandardPalette16() {
  static const std::uint8_t kColors[16][3] = {
      {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
      {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  TLogPalette palette(16);
  for (std::size_t i = 0; i < 16; ++i) {
    palette[i].peRed = kColors[i][0];
    palette[i].peGreen = kColors[i][1];
    palette[i].peBlue = kColors[i][2];
  }
  return palette;
}

// For each plane byte, the four output bytes (two 4-bit pixels each, first pixel high) with
// bit 0 set in every nibble whose pixel has its bit set in that byte.
struct TPlaneSpread {
  std::uint8_t Bytes[256][4];
  TPlaneSpread() {
    for (int v = 0; v < 256; ++v)
      for (int k = 0; k < 8; ++k) {
        if (k == 0) std::memset(Bytes[v], 0, 4);
        if (v & (0x80 >> k)) Bytes[v][k / 2] |= static_cast<std::uint8_t>(k % 2 == 0 ? 0x10 : 0x01);
      }
  }
};

// Merges two to four 1-bit planes into 4-bit pixels; plane k gives bit k of each pixel, and
// the bits of planes a file does not have stay clear.
void MergeBitPlanes(const std::uint8_t* row, std::size_t bytesPerLine, unsigned planes, std::uint8_t* target,
                    std::size_t width) {
  static const TPlaneSpread spread;
  static const std::uint8_t kNoBits[4] = {};
  const std::size_t outBytes = (width * 4 + 7) / 8;
  std::size_t written = 0;
  for (std::size_t i = 0; written < outBytes; ++i) {
    const std::uint8_t* s[4];
    for (unsigned k = 0; k < 4; ++k) s[k] = k < planes ? spread.Bytes[row[k * bytesPerLine + i]] : kNoBits;
    std::uint8_t group[4];
    for (int k = 0; k < 4; ++k)
      group[k] = static_cast<std::uint8_t>(s[0][k] | (s[1][k] << 1) | (s[2][k] << 2) | (s[3][k] << 3));
    const std::size_t n = std::min<std::size_t>(4, outBytes - written);
    std::memcpy(target + written, group, n);
    written += n;
  }
}

}  // namespace

bool TPCXGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* bytes) {
    const TPCXHeader h = ParseHeader(bytes);
    // The loader takes screen captures too, so the test does as well.
    return (h.Manufacturer == kMakerZSoft || h.Manufacturer == kMakerScreenCapture) &&
           (h.Version == 0 || h.Version == 2 || h.Version == 3 || h.Version == 5) && h.Encoding <= 1;
  });
}

bool TPCXGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* bytes = ReadHeaderBytes(Stream, kHeaderSize);
  if (!bytes) RaiseReadError();
  const TPCXHeader h = ParseHeader(bytes);
  if (h.Manufacturer != kMakerZSoft && h.Manufacturer != kMakerScreenCapture) return false;
  TImageProperties& p = ImageProperties;
  p.Version = h.Version;
  // A reversed range would wrap; it is refused by the loader.
  p.Width = static_cast<std::uint32_t>(h.XMax) - h.XMin + 1;
  p.Height = static_cast<std::uint32_t>(h.YMax) - h.YMin + 1;
  p.XResolution = h.HRes;
  p.YResolution = h.VRes;
  p.BitsPerSample = h.BitsPerPixel;
  p.SamplesPerPixel = h.Planes;
  p.BitsPerPixel = static_cast<std::uint8_t>(h.Planes * h.BitsPerPixel);
  p.ColorScheme = h.Planes * h.BitsPerPixel > 8 ? csRGB : csIndexed;
  p.Compression = h.Encoding == 1 ? ctRLE : ctNone;
  return true;
}

void TPCXGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) return;
  StartProgress(gesPreparing);
  const TPCXHeader h = ParseHeader(HeaderBytes());
  const TImageProperties& p = ImageProperties;

  if (h.XMax < h.XMin || h.YMax < h.YMin) Raise(gesInvalidImage, gesPCXOrSCR);
  const unsigned planes = h.Planes, bits = h.BitsPerPixel;
  // EGA pictures of 4 and 8 colours come as two or three bit planes, 16 colours as four.
  const bool bitPlanes = bits == 1 && planes >= 2 && planes <= 4;
  const bool trueColor = planes == 3 && bits == 8;
  // Four byte planes are red, green, blue and alpha (GIMP, ImageMagick and Pillow write them).
  const bool withAlpha = planes == 4 && bits == 8;
  const bool singlePlane = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
  if (!bitPlanes && !trueColor && !withAlpha && !singlePlane) RaiseInvalidColorFormat();

  const std::size_t width = p.Width, height = p.Height, bytesPerLine = h.BytesPerLine;
  // A plane line shorter than its pixels would make rows read into their neighbours.
  if (bytesPerLine < *RowBytes(width, bits)) Raise(gesInvalidImage, gesPCXOrSCR);
  const std::size_t rowStride = planes * bytesPerLine;

  TColorSetup colors;
  colors.SourceScheme = withAlpha ? csRGBA : p.ColorScheme;
  colors.SourceBits = p.BitsPerSample;
  colors.SourceSamples = p.SamplesPerPixel;
  colors.TargetScheme = p.ColorScheme == csIndexed ? csIndexed : withAlpha ? csBGRA : csBGR;
  colors.TargetBits = p.BitsPerPixel == 2 ? 4 : p.BitsPerSample;
  colors.TargetSamples = p.SamplesPerPixel;
  if (!bitPlanes) ColorManager.Setup(colors);
  const TPixelFormat format = bitPlanes ? pf4bit : ColorManager.TargetPixelFormat();
  if (format == pfCustom) RaiseInvalidColorFormat();
  CheckImageSize(width, height, format);
  SetPixelFormat(format);

  // Version 3 declares that the file carries no palette, so a trailer does not give one.
  const bool standardPalette = h.Version == 3 && p.BitsPerPixel > 1;
  const std::int64_t dataStart = Stream.Position();
  const std::int64_t streamEnd = Stream.Size();
  std::size_t dataSize = static_cast<std::size_t>(std::max<std::int64_t>(streamEnd - dataStart, 0));
  bool trailer = false;
  if (format == pf8bit && dataSize >= kTrailerSize) {
    Stream.SetPosition(streamEnd - static_cast<std::int64_t>(kTrailerSize));
    std::uint8_t mark = 0;
    Stream.ReadBuffer(&mark, 1);
    trailer = mark == kTrailerMark;
    if (trailer) {
      if (!standardPalette) {
        std::uint8_t colors[768];
        Stream.ReadBuffer(colors, sizeof colors);
        const void* const data[1] = {colors};
        SetPalette(ColorManager.CreateColorPalette(data, pfInterlaced8Triple, 256, false));
      }
      // Only a trailer that is there is taken off the pixel data; a file without one keeps its last bytes.
      dataSize -= kTrailerSize;
    }
    Stream.SetPosition(dataStart);
  }
  if (format != pf24bit && format != pf32bit && (standardPalette || !trailer)) {
    const unsigned bitmapBits = static_cast<unsigned>(BitsPerPixelOf(format));
    if (standardPalette) {
      SetPalette(StandardPalette16());
    } else if (bitmapBits == 1) {
      SetPalette(ColorManager.CreateGrayPalette(false));
    } else if (bitmapBits == 4) {
      if (h.PaletteInfo == 2) {
        SetPalette(ColorManager.CreateGrayPalette(false));
      } else {
        const void* const data[1] = {h.ColorMap};
        SetPalette(ColorManager.CreateColorPalette(data, pfInterlaced8Triple, 16, false));
      }
    } else if (h.PaletteInfo == 2) {
      SetPalette(ColorManager.CreateGrayPalette(false));
    }
  }

  const auto total = CheckedMul(rowStride, height);
  if (!total || *total > kMaxBitmapBytes) RaiseTooLarge(width, height);
  const bool runLength = p.Compression == ctRLE;
  // A run-length pair yields at most 63 bytes: a file too short for that cannot hold the image.
  if (runLength && (dataSize / 2) * 63 + dataSize % 2 < *total) throw EReadError(kStreamReadError);

  // Every row is written whole, or the load fails.
  SetSizeToOverwrite(static_cast<int>(width), static_cast<int>(height));
  TEmptyOnFailure guard(*this);

  // Rows come one at a time: decoded into a row buffer, or in place from the byte source
  // when they are raw.
  TByteSource bytes(Stream);
  std::vector<std::uint8_t> buffer;
  TPCXRLEDecoder decoder;
  // Enough for any row of sound data: a literal byte yields one byte, a run at least one.
  const std::size_t window = std::max<std::size_t>(2 * rowStride + 2, std::size_t{1} << 16);
  std::uint64_t left = dataSize;
  if (runLength) {
    if (left > static_cast<std::uint64_t>(INT32_MAX)) left = INT32_MAX;
    buffer.resize(rowStride);
    decoder.DecodeInit();
  }
  const std::size_t available = runLength ? *total : std::min(dataSize, *total);
  EndProgress();
  StartProgress(gesTransfering);

  for (std::size_t r = 0; r < height; ++r) {
    const std::size_t offset = r * rowStride;
    const std::uint8_t* row = nullptr;
    if (runLength) {
      std::size_t written = 0;
      for (;;) {
        // Also with no data left: a run from the row before may still reach into this one.
        const auto data = bytes.Peek(static_cast<std::size_t>(std::min<std::uint64_t>(left, window)));
        const std::uint8_t* in = data.data();
        written += decoder.DecodePart(in, in + data.size(), buffer.data() + written, rowStride - written);
        const std::size_t used = static_cast<std::size_t>(in - data.data());
        bytes.Consume(used);
        left -= used;
        // Nothing used and the row not full: the data has ended (perhaps in a run's count byte).
        if (written == rowStride || used == 0) break;
      }
      // The data ends before the row does: the file is cut short, whatever came before.
      if (written < rowStride) RaiseReadError();
      row = buffer.data();
    } else {
      if (offset + rowStride > available) RaiseReadError();
      row = bytes.Take(rowStride);
      if (!row) RaiseReadError();
    }
    if (row) {
      std::uint8_t* scanline = ScanLine(static_cast<int>(r));
      if (bitPlanes) {
        MergeBitPlanes(row, bytesPerLine, planes, scanline, width);
      } else if (trueColor || withAlpha) {
        const void* const planesOfRow[4] = {row, row + bytesPerLine, row + 2 * bytesPerLine, row + 3 * bytesPerLine};
        ConvertRowTo(static_cast<int>(r), std::span<const void* const>(planesOfRow, planes), bytesPerLine);
      } else {
        ConvertRowTo(static_cast<int>(r), row, rowStride);
      }
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  // A palette trailer that begins just after the rows (some writers leave a few bytes
  // of padding between) but is not whole: the file was cut in its colours, and the picture
  // would show in the wrong ones.
  if (format == pf8bit && !trailer && !standardPalette) {
    constexpr std::size_t kPadding = 64;
    const std::span<const std::uint8_t> rest = bytes.Peek(kTrailerSize + kPadding);
    const auto mark = std::find(rest.begin(), rest.begin() + std::min(rest.size(), kPadding), kTrailerMark);
    if (mark != rest.begin() + std::min(rest.size(), kPadding) && static_cast<std::size_t>(rest.end() - mark) < kTrailerSize)
      RaiseReadError();
  }
  EndProgress();
}

}  // namespace vumo
