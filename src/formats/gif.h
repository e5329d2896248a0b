// GIF pictures, 87a and 89a: palette frames compressed with LZW, interlaced or not, each
// with its own or the global colour table and an optional transparent index. An animation's
// frames are the file's images; each is the canvas as it stands after that frame, composed
// with the disposal each earlier frame asked for.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/reader_graphic.h"

namespace vumo {

class TGIFGraphic : public TReader<TGIFGraphic, "TGIFGraphic", &gesGIF> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

  // The delay of the shown frame before the next, in hundredths of a second (0: none given).
  unsigned FrameDelay() const { return frameDelay_; }

 private:
  unsigned frameDelay_ = 0;
};

}  // namespace vumo
