// ASTC textures as Arm's tools write them (.astc): a 16-byte header, then one 2-D image of
// 16-byte blocks of 4 x 4 to 12 x 12 pixels, decoded by the LDR profile.
#pragma once

#include <cstdint>

#include "formats/texture_graphic.h"

namespace vumo {

class TASTCGraphic : public TTextureGraphic {
  VUMO_READER_CLASS(TASTCGraphic)

 protected:
  const char* FormatName() const override;

 private:
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
};

}  // namespace vumo
