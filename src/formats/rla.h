// Alias/Wavefront RLA images: run-length coded channels per scanline, found through an
// offset table.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TRLAGraphic : public TReader<TRLAGraphic, "TRLAGraphic"> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
