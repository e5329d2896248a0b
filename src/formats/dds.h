// DirectDraw surfaces (.dds): GPU textures, block-compressed or not, with their mip levels,
// array layers, cube faces and volume slices as the file's images.
#pragma once

#include <cstdint>
#include <string>

#include "formats/texture_graphic.h"

namespace vumo {

class TDDSGraphic : public TTextureReader<TDDSGraphic, "TDDSGraphic", &gesDDS> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

 private:
  std::uint32_t dataOffset_ = 0;

  std::span<const std::uint8_t> Identifier() const override;
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
  TPixelLayout LegacyPixels(const std::uint8_t* header) const;
  TPixelLayout DXGIPixels(std::uint32_t format) const;
};

}  // namespace vumo
