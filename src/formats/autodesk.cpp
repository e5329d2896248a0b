#include "formats/autodesk.h"

#include <algorithm>

#include "pixels/byte_order.h"
#include "formats/messages.h"
#include "pixels/image_limits.h"

namespace vumo {
namespace {

constexpr std::uint16_t kAutodeskMagic = 0x9119;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kPaletteSize = 256 * 3;

}  // namespace

bool TAutodeskGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) {
    return LittleEndian16(header) == kAutodeskMagic && header[10] == 8 && header[11] == 0;
  });
}

bool TAutodeskGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::uint8_t* header = ReadHeaderBytes(Stream, kHeaderSize);
  if (!header || LittleEndian16(header) != kAutodeskMagic) return false;
  SetIndexedProperties(ImageProperties, LittleEndian16(header + 2), LittleEndian16(header + 4), 8, ctNone);
  return true;
}

void TAutodeskGraphic::LoadFromStream(TStream& Stream) {
  BeginLoad(Stream);
  if (!ReadImageProperties(Stream, 0)) RaiseInvalidImage();
  StartProgress(gesTransfering);

  const std::uint8_t* header = HeaderBytes();
  // Rows of any other depth would be read as bytes and show noise.
  if (header[10] != 8) RaiseInvalidColorFormat();
  const std::uint32_t width = ImageProperties.Width, height = ImageProperties.Height;
  if (width == 0 || height == 0) RaiseInvalidImage();
  CheckImageSize(width, height, pf8bit);
  const std::int64_t needed = static_cast<std::int64_t>(kHeaderSize + kPaletteSize + std::uint64_t{width} * height);
  if (Stream.Size() - BasePosition < needed) RaiseStreamReadError();

  std::uint8_t raw[kPaletteSize];
  Stream.ReadBuffer(raw, sizeof raw);
  TLogPalette palette(256);
  for (std::size_t i = 0; i < 256; ++i) {
    // Six-bit components; larger values lose their top bits as the original shift did.
    palette[i].peRed = static_cast<std::uint8_t>(raw[3 * i] << 2);
    palette[i].peGreen = static_cast<std::uint8_t>(raw[3 * i + 1] << 2);
    palette[i].peBlue = static_cast<std::uint8_t>(raw[3 * i + 2] << 2);
  }
  SetPalette(palette);
  AllocateImage(width, height, pf8bit);

  for (std::uint32_t row = 0; row < height; ++row) {
    Stream.Read(ScanLine(static_cast<int>(row)), width);
    RowProgress(row, height);
  }
  EndProgress();
}

}  // namespace vumo
