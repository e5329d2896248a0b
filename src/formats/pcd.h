// Kodak Photo-CD image packs: the 768 x 512 base image, stored as full-size luma with
// chroma at half size in both directions, in Kodak's Photo YCC.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPCDGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TPCDGraphic)

 public:
  TPCDGraphic() = default;

  // True when more than the three header sectors remain and the stream starts with the
  // overview mark "PCD_OPA" or has "PCD" at byte 2048. The position is restored.
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  // Reads the three header sectors; false without either mark. ImageIndex is the
  // resolution: 192 x 128 pixels times 2 to the index (at most 5), turned for rotation
  // codes 1 and 3.
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

  // Loads the base image; a stream without either mark leaves the bitmap empty, a file too
  // short for the base image raises the stream's read error.
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
