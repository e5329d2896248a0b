// The Quite OK Image format: 8-bit RGB or RGBA pixels coded as runs, differences from the
// previous pixel and references into a table of 64 recently seen colours.
#pragma once

#include "formats/reader_graphic.h"

namespace vumo {

class TQOIGraphic : public TReader<TQOIGraphic, "TQOIGraphic", &gesQOI> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
