#include "formats/targa.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/byte_source.h"
#include "formats/header_fields.h"
#include "formats/messages.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"

namespace vumo {

namespace {

constexpr std::size_t kHeaderSize = 18;

struct TTargaHeader {
  std::uint8_t IdLength = 0;
  std::uint8_t ColorMapType = 0;
  std::uint8_t ImageType = 0;
  std::uint16_t ColorMapOrigin = 0;
  std::uint16_t ColorMapLength = 0;
  std::uint8_t ColorMapEntrySize = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t PixelSize = 0;
  std::uint8_t Descriptor = 0;

  bool TopDown() const { return (Descriptor & 0x20) != 0; }
  bool GrayType() const { return ImageType == 3 || ImageType == 11; }
  bool RawType() const { return ImageType >= 1 && ImageType <= 3; }
  bool RunLengthType() const { return ImageType >= 9 && ImageType <= 11; }
  // Grey with an alpha byte: two bytes a pixel, grey first. GIMP and Pillow write these.
  // Bit 4: the first pixel of a row in the file is its rightmost one.
  bool RightToLeft() const { return (Descriptor & 0x10) != 0; }
  bool GrayAlpha() const { return GrayType() && PixelSize == 16; }
  std::size_t BytesPerPixel() const { return (PixelSize + 7u) / 8u; }
  std::size_t BytesPerMapEntry() const { return (ColorMapEntrySize + 7u) / 8u; }
};

TTargaHeader ParseHeader(const std::uint8_t* b) {
  TTargaHeader h;
  // The picture's origin on a screen (four bytes after the map) means nothing here.
  TLittleEndianFields(b, kHeaderSize) >> h.IdLength >> h.ColorMapType >> h.ImageType >> h.ColorMapOrigin >>
      h.ColorMapLength >> h.ColorMapEntrySize >> Reserved(4) >> h.Width >> h.Height >> h.PixelSize >> h.Descriptor;
  return h;
}

TLogPalette PaletteFrom16BitEntries(const std::uint8_t* map, std::size_t count) {
  TLogPalette palette(std::min<std::size_t>(count, 256));
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const unsigned w = LittleEndian16(map + 2 * i);
    palette[i].peRed = static_cast<std::uint8_t>((w & 0x7C00u) >> 7);
    palette[i].peGreen = static_cast<std::uint8_t>((w & 0x03E0u) >> 2);
    palette[i].peBlue = static_cast<std::uint8_t>((w & 0x001Fu) << 3);
  }
  return palette;
}

// The map's entry i belongs to pixel value origin + i: a map that starts past entry 0 (as
// some writers store only the colours in use) moves up, and the values below it show black.
TLogPalette AtOrigin(TLogPalette map, std::size_t origin) {
  if (origin == 0) return map;
  TLogPalette palette(std::min<std::size_t>(origin + map.size(), 256));
  for (std::size_t i = 0; origin + i < palette.size(); ++i) palette[origin + i] = map[i];
  return palette;
}

// Whether the packets from `begin` to `end` (where a decode stopped) give `width` pixels: a
// row may end exactly at the end of the file, but not short of its pixels.
bool PacketsCoverRow(const std::uint8_t* begin, const std::uint8_t* end, std::size_t width, std::size_t pixelBytes) {
  std::size_t covered = 0;
  for (const std::uint8_t* p = begin; p < end && covered < width;) {
    const std::size_t count = (*p & 0x7Fu) + 1;
    const bool run = (*p++ & 0x80u) != 0;
    const std::size_t bytes = run ? pixelBytes : count * pixelBytes;
    if (bytes > static_cast<std::size_t>(end - p)) {
      if (!run) covered += static_cast<std::size_t>(end - p) / pixelBytes;
      break;
    }
    covered += count;
    p += bytes;
  }
  return covered >= width;
}

void GrayAlphaToBGRA(const std::uint8_t* source, std::uint8_t* target, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, source += 2, target += 4) {
    target[0] = target[1] = target[2] = source[0];
    target[3] = source[1];
  }
}

void ReversePixels(std::uint8_t* row, std::size_t count, std::size_t pixelBytes) {
  if (count < 2) return;
  std::uint8_t* left = row;
  std::uint8_t* right = row + (count - 1) * pixelBytes;
  std::uint8_t swap[4];
  for (; left < right; left += pixelBytes, right -= pixelBytes) {
    std::memcpy(swap, left, pixelBytes);
    std::memcpy(left, right, pixelBytes);
    std::memcpy(right, swap, pixelBytes);
  }
}

}  // namespace

bool TTargaGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* bytes) {
    const TTargaHeader h = ParseHeader(bytes);
    const std::uint8_t type = h.ImageType;
    const bool typeKnown = type <= 3 || (type >= 9 && type <= 11);
    const std::uint8_t entry = h.ColorMapEntrySize;
    const std::uint8_t pixel = h.PixelSize;
    return typeKnown && h.ColorMapType <= 1 && (entry == 15 || entry == 16 || entry == 24 || entry == 32) &&
           (pixel == 8 || pixel == 15 || pixel == 16 || pixel == 24 || pixel == 32);
  });
}

bool TTargaGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* bytes = ReadHeaderBytes(Stream, kHeaderSize);
  if (!bytes) RaiseReadError();
  const TTargaHeader h = ParseHeader(bytes);
  TImageProperties& p = ImageProperties;
  p.Width = h.Width;
  p.Height = h.Height;
  p.BitsPerSample = 8;
  switch (h.PixelSize) {
    case 8:
      p.ColorScheme = h.GrayType() ? csGray : csIndexed;
      p.SamplesPerPixel = 1;
      break;
    case 15:
    case 16:
      if (h.GrayAlpha()) {
        p.ColorScheme = csGrayAlpha;
        p.SamplesPerPixel = 2;
      } else {
        p.ColorScheme = csRGB;
        p.BitsPerSample = 5;
        p.SamplesPerPixel = 3;
      }
      break;
    case 24:
      p.ColorScheme = csRGB;
      p.SamplesPerPixel = 3;
      break;
    case 32:
      p.ColorScheme = csRGBA;
      p.SamplesPerPixel = 4;
      break;
    default:
      p.ColorScheme = csUnknown;
      p.SamplesPerPixel = 0;
      break;
  }
  p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
  p.Compression = h.RunLengthType() ? ctRLE : ctNone;
  return true;
}

void TTargaGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  ReadImageProperties(Stream, 0);
  StartProgress(gesPreparing);

  const TTargaHeader h = ParseHeader(HeaderBytes());
  Stream.Seek(h.IdLength, TSeekOrigin::soCurrent);

  const TImageProperties& p = ImageProperties;
  const bool grayAlpha = p.ColorScheme == csGrayAlpha;
  TColorSetup colors;
  colors.SourceScheme = p.ColorScheme;
  colors.SourceBits = p.BitsPerSample;
  colors.SourceSamples = p.SamplesPerPixel;
  // Grey with alpha is widened to 32-bit pixels so that the alpha byte is kept as in 32-bit files.
  colors.TargetScheme = grayAlpha ? csBGRA : csBGR;
  colors.TargetBits = p.BitsPerSample;
  colors.TargetSamples = grayAlpha ? 4 : p.SamplesPerPixel;
  // Rows are decoded straight into the bitmap: only its pixel format and the palettes come
  // from the colour manager.
  ColorManager.Configure(colors);
  ApplyTargetPixelFormat();

  if (h.ColorMapType == 1 || h.GrayType()) {
    const std::size_t mapBytes = std::size_t{h.ColorMapLength} * h.BytesPerMapEntry();
    if (h.ColorMapType == 1 && mapBytes > static_cast<std::size_t>(Stream.Remaining())) RaiseReadError();
    if (h.GrayType()) {
      SetPalette(ColorManager.CreateGrayPalette(false));
      if (h.ColorMapType == 1) Stream.Seek(static_cast<std::int64_t>(mapBytes), TSeekOrigin::soCurrent);
    } else {
      std::vector<std::uint8_t> map(mapBytes);
      Stream.ReadBuffer(map.data(), map.size());
      const void* const data[1] = {map.data()};
      switch (h.ColorMapEntrySize) {
        case 15:
        case 16: SetPalette(AtOrigin(PaletteFrom16BitEntries(map.data(), h.ColorMapLength), h.ColorMapOrigin)); break;
        case 24:
          SetPalette(AtOrigin(ColorManager.CreateColorPalette(data, pfInterlaced8Triple, h.ColorMapLength, true),
                              h.ColorMapOrigin));
          break;
        case 32:
          SetPalette(AtOrigin(ColorManager.CreateColorPalette(data, pfInterlaced8Quad, h.ColorMapLength, true),
                              h.ColorMapOrigin));
          break;
        default: break;  // an entry size nobody writes: the map is passed over
      }
    }
  }

  // Refuse before allocating when the rest of the file cannot hold the rows the header
  // declares: raw rows take their full size, run-length rows at least one packet per 128 pixels.
  const std::size_t width = h.Width, height = h.Height, pixelBytes = h.BytesPerPixel();
  const std::size_t rowBytes = width * pixelBytes;
  if (h.RawType() || h.RunLengthType()) {
    const std::size_t rowMinimum = h.RawType() ? rowBytes : (width + 127) / 128 * (1 + pixelBytes);
    const auto needed = CheckedMul(rowMinimum, height);
    if (!needed || *needed > static_cast<std::size_t>(Stream.Remaining())) RaiseReadError();
  }

  // Raw rows are read whole into every scanline; other types may leave rows as they are.
  if (h.RawType())
    AllocateImageToOverwrite(h.Width, h.Height, PixelFormat());
  else
    AllocateImage(h.Width, h.Height, PixelFormat());
  TEmptyOnFailure guard(*this);
  EndProgress();
  StartProgress(gesTransfering);

  // Rows are counted for progress whatever the image type; only the known types carry data.
  const bool hasData = !Empty() && (h.RawType() || h.RunLengthType());
  std::vector<std::uint8_t> row(hasData && grayAlpha ? rowBytes : 0);
  std::unique_ptr<TTargaRLEDecoder> decoder;
  // Each run-length row sees up to twice its size ahead, and the position then moves just
  // past what the decoder used.
  std::unique_ptr<TByteSource> source;
  const std::size_t window = 2 * rowBytes;
  if (hasData && h.RunLengthType()) {
    decoder = std::make_unique<TTargaRLEDecoder>(h.PixelSize);
    source = std::make_unique<TByteSource>(Stream);
    decoder->DecodeInit();
  }
  for (std::size_t r = 0; r < height; ++r) {
    if (hasData) {
      std::uint8_t* scanline = ScanLine(static_cast<int>(h.TopDown() ? r : height - 1 - r));
      std::uint8_t* dest = grayAlpha ? row.data() : scanline;
      if (decoder) {
        const std::span<const std::uint8_t> data = source->Peek(window);
        const std::uint8_t* packed = data.data();
        decoder->Decode(packed, dest, static_cast<std::int32_t>(data.size()), static_cast<std::int32_t>(width));
        // Near the end of the file the row may have run out of packets: a file cut short.
        if (data.size() < window && !PacketsCoverRow(data.data(), packed, width, pixelBytes)) RaiseReadError();
        source->Consume(static_cast<std::size_t>(packed - data.data()));
      } else {
        Stream.ReadBuffer(dest, rowBytes);
      }
      // Files with their origin on the right would otherwise show mirrored.
      if (h.RightToLeft()) ReversePixels(dest, width, pixelBytes);
      if (grayAlpha) GrayAlphaToBGRA(row.data(), scanline, width);
    }
    RowProgress(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(height));
  }
  if (decoder) {
    decoder->DecodeEnd();
    source->Sync();
  }
  EndProgress();
}

}  // namespace vumo
