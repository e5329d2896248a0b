// ASTC textures as Arm's tools write them (.astc): a 16-byte header, then one 2-D image of
// 16-byte blocks of 4 x 4 to 12 x 12 pixels, decoded by the LDR profile.
#pragma once

#include <cstdint>

#include "formats/texture_graphic.h"

namespace vumo {

class TASTCGraphic : public TTextureReader<TASTCGraphic, "TASTCGraphic", &gesASTC> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

 private:
  std::span<const std::uint8_t> Identifier() const override;
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
};

}  // namespace vumo
