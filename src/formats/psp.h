// Paint Shop Pro images (versions 3 and later): the image attributes, the colour palette and
// the first raster layer of the layer bank, in uncompressed, run-length or deflate channels.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPSPGraphic : public TReader<TPSPGraphic, "TPSPGraphic", &gesPSP> {
  // CanLoad: true when more than 36 bytes remain, the signature reads "Paint Shop Pro Image
  // File" in any letter case and the major version is 3 or more. The position is restored.
  // ReadImageProperties: reads the file header and the image attributes of the first block.
  // LoadFromStream: the layer's own rectangle places its channels in the image; a fourth
  // channel of a 24-bit layer is its alpha. A file without a raster layer loads blank.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
