// ZSoft Paintbrush files: palette images of 1, 2, 4 and 8 bits, 16 colours in four bit
// planes, and true colour in three (or four) byte planes; raw or run-length coded.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPCXGraphic : public TReader<TPCXGraphic, "TPCXGraphic", &gesPCX> {
  // CanLoad: true when more than a header's worth of bytes remain and the header's maker, version and
  // encoding are ones this reader knows. The position is restored.
  // ReadImageProperties: reads the 128-byte header; false when the maker byte is not a PCX one.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
