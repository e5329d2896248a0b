// Ericsson's PKM files (.pkm): one ETC1, ETC2 or EAC texture behind a 16-byte header, as
// etc1tool and etcpack write them.
#pragma once

#include "formats/texture_graphic.h"

namespace vumo {

class TPKMGraphic : public TTextureReader<TPKMGraphic, "TPKMGraphic", &gesPKM> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

 private:
  std::span<const std::uint8_t> Identifier() const override;
  bool PlaceSurface(TSurface& surface, std::uint64_t available) const override;
};

}  // namespace vumo
