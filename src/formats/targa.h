// Truevision Targa files: uncompressed and run-length coded, colour-mapped, grey and true colour.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TTargaGraphic : public TReader<TTargaGraphic, "TTargaGraphic"> {
  // CanLoad: true when more than a header's worth of bytes remain and the header's type, colour-map
  // and pixel-size fields hold values this reader knows. The position is restored.
  // ReadImageProperties: reads the 18-byte header at the stream's position; a shorter stream raises the stream's
  // read error. Always true otherwise.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
