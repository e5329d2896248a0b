// Truevision Targa files: uncompressed and run-length coded, colour-mapped, grey and true colour.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TTargaGraphic : public TReaderGraphic {
  // CanLoad: true when more than a header's worth of bytes remain and the header's type, colour-map
  // and pixel-size fields hold values this reader knows. The position is restored.
  // ReadImageProperties: reads the 18-byte header at the stream's position; a shorter stream raises the stream's
  // read error. Always true otherwise.
  VUMO_READER_CLASS(TTargaGraphic)
};

}  // namespace vumo
