// Kodak Photo-CD image packs: the 768 x 512 base image, stored as full-size luma with
// chroma at half size in both directions, in Kodak's Photo YCC.
//
// CanLoad: more than the three header sectors remain and the stream starts with the overview
// mark "PCD_OPA" or has "PCD" at byte 2048. ReadImageProperties: false without either mark;
// ImageIndex is the resolution, 192 x 128 pixels times 2 to the index (at most 5), turned for
// rotation codes 1 and 3. LoadFromStream: the base image; a stream without either mark leaves
// the bitmap empty, a file too short for the base image raises the stream's read error.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPCDGraphic : public TReader<TPCDGraphic, "TPCDGraphic"> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
