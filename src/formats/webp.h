// WebP pictures through libwebp: lossy and lossless, with alpha; an animation's frames, as
// its demuxer composes them on the canvas, are the file's images.
#pragma once

#include "formats/reader_graphic.h"

namespace vumo {

class TWebPGraphic : public TReader<TWebPGraphic, "TWebPGraphic", &gesWebP> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
