// Alias/Wavefront RLA images: run-length coded channels per scanline, found through an
// offset table.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TRLAGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TRLAGraphic)
};

}  // namespace vumo
