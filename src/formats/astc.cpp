#include "formats/astc.h"

#include <algorithm>
#include <string>

#include "formats/messages.h"
#include "pixels/byte_order.h"

namespace vumo {
namespace {

constexpr std::uint32_t kMagic = 0x5CA1AB13;
constexpr std::uint8_t kIdentifier[4] = {0x13, 0xAB, 0xA1, 0x5C};  // kMagic, little-endian
constexpr std::size_t kHeaderSize = 16;

std::uint32_t LittleEndian24(const std::uint8_t* p) {
  return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

}  // namespace

bool TASTCGraphic::CanLoad(TStream& Stream) {
  return TestHeader(Stream, kHeaderSize, [](const std::uint8_t* header) { return LittleEndian32(header) == kMagic; });
}

bool TASTCGraphic::ReadImageProperties(TStream& Stream, unsigned ImageIndex) {
  TReaderGraphic::ReadImageProperties(Stream, ImageIndex);
  const std::int64_t start = Stream.Position();
  const std::uint8_t* h = ReadHeaderBytes(Stream, kHeaderSize);
  if (!h || LittleEndian32(h) != kMagic) return false;
  const std::uint8_t blockWidth = h[4], blockHeight = h[5], blockDepth = h[6];
  const std::uint32_t width = LittleEndian24(h + 7), height = LittleEndian24(h + 10), depth = LittleEndian24(h + 13);
  // Volumes are the full profile's, beyond the LDR profile decoded here.
  if (blockDepth > 1 || depth > 1) RaiseUnsupported(gesASTCVolume);
  if (blockDepth == 0 || depth == 0) RaiseInvalidImage();
  // The file does not say whether its texels are sRGB-encoded or linear; they are decoded as
  // linear, as astcenc's own -dl decodes them.
  const TBlockKind kind(TBlockFormat::ASTC, blockWidth, blockHeight);
  if (!BlockFootprintValid(kind)) RaiseInvalidImage();
  TLayout layout;
  layout.Width = width;
  layout.Height = height;
  const std::string name = "ASTC " + std::to_string(blockWidth) + "x" + std::to_string(blockHeight);
  layout.Pixels = BlockLayout(kind, name.c_str(), true);
  SetLayout(std::move(layout));
  Stream.SetPosition(start + static_cast<std::int64_t>(kHeaderSize));
  imageCount_ = CountWholeImages(static_cast<std::uint64_t>(std::max<std::int64_t>(Stream.Size() - start, 0)));
  FillImageProperties(ImageIndex);
  return true;
}

bool TASTCGraphic::PlaceSurface(TSurface& surface, std::uint64_t available) const {
  surface.Offset = kHeaderSize;
  return available >= kHeaderSize && surface.Bytes <= available - kHeaderSize;
}

std::span<const std::uint8_t> TASTCGraphic::Identifier() const { return kIdentifier; }

}  // namespace vumo
