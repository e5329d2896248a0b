// Photoshop documents: the flattened composite image stored after the layers, in the
// bitmap, grey, duotone, indexed, RGB, multichannel, CMYK and Lab modes, raw or PackBits.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPSDGraphic : public TReader<TPSDGraphic, "TPSDGraphic", &gesPSD> {
  // CanLoad: true when more than a header's worth of bytes remain, the signature reads "8BPS" in
  // any letter case and the version is 1. The position is restored.
  // ReadImageProperties: reads the header, passes over the colour mode data, the image resources and the layer
  // section by their lengths and reads the compression code; false for another signature.
  // LoadFromStream: large-document files (version 2) are refused with the invalid-format message.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
