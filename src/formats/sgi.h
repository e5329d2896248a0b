// Silicon Graphics images: verbatim or run-length coded planes, bottom row first.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TSGIGraphic : public TReader<TSGIGraphic, "TSGIGraphic", &gesSGI> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
