#include "formats/pkm.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {
namespace {

// "PKM ", the version ("10" for ETC1, "20" for ETC2 and EAC), then big-endian 16-bit numbers:
// the texture format, the width and height padded to whole blocks, and the picture's own.
constexpr std::size_t kHeaderSize = 16;

struct TPKMFormat {
  TBlockFormat Format;
  const char* Name;
  bool Alpha;
};

// The format codes of version 20; 2 is an early RGBA layout no writer kept.
constexpr std::uint16_t kFormatCount = 9;
constexpr TPKMFormat kFormats[kFormatCount] = {
    {TBlockFormat::ETC1, "ETC1", false},
    {TBlockFormat::ETC2RGB, "ETC2 RGB", false},
    {TBlockFormat::ETC2RGBA, "", true},
    {TBlockFormat::ETC2RGBA, "ETC2 RGBA", true},
    {TBlockFormat::ETC2RGBA1, "ETC2 RGB punch-through", true},
    {TBlockFormat::EACR11, "EAC R11", false},
    {TBlockFormat::EACRG11, "EAC RG11", false},
    {TBlockFormat::EACR11S, "EAC R11 signed", false},
    {TBlockFormat::EACRG11S, "EAC RG11 signed", false},
};

constexpr std::uint8_t kIdentifier[4] = {'P', 'K', 'M', ' '};

bool IsPKM(const std::uint8_t* h) {
  return std::memcmp(h, kIdentifier, 4) == 0 && (std::memcmp(h + 4, "10", 2) == 0 || std::memcmp(h + 4, "20", 2) == 0);
}

std::uint32_t PadToBlock(std::uint32_t side) { return (side + 3) & ~3u; }

}  // namespace

bool TPKMGraphic::CanLoad(TStream& Stream) { return TestHeader(Stream, kHeaderSize, IsPKM); }

bool TPKMGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t start = Stream.Position();
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h || !IsPKM(h)) return false;
  const bool version1 = h[4] == '1';
  const std::uint16_t code = BigEndian16(h + 6);
  // Version 10 files hold ETC1 alone; their format field is 0 (etc1tool's "no mipmaps").
  if (code >= kFormatCount || code == 2 || (version1 && code != 0))
    RaiseUnsupported(FormatMessage(gesPKMFormat, std::to_string(code).c_str()).c_str());
  const std::uint32_t paddedWidth = BigEndian16(h + 8), paddedHeight = BigEndian16(h + 10);
  TLayout layout;
  layout.Width = BigEndian16(h + 12);
  layout.Height = BigEndian16(h + 14);
  if (layout.Width == 0 || layout.Height == 0 || paddedWidth != PadToBlock(layout.Width) ||
      paddedHeight != PadToBlock(layout.Height))
    RaiseInvalidImage();
  const TPKMFormat& f = kFormats[code];
  layout.Pixels = BlockLayout(f.Format, f.Name, f.Alpha);
  SetLayout(std::move(layout));

  const std::uint64_t available = static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0));
  imageCount_ = CountWholeImages(available);
  FillImageProperties(ImageIndex);
  return true;
}

bool TPKMGraphic::PlaceSurface(TSurface& surface, std::uint64_t available) const {
  surface.Offset = kHeaderSize;
  return surface.Offset + surface.Bytes <= available;
}

std::span<const std::uint8_t> TPKMGraphic::Identifier() const { return kIdentifier; }

}  // namespace vumo
