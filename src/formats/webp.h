// WebP pictures through libwebp: lossy and lossless, with alpha; an animation's frames, as
// its demuxer composes them on the canvas, are the file's images.
#pragma once

#include "formats/reader_graphic.h"

namespace vumo {

class TWebPGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TWebPGraphic)

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
