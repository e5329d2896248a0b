// The Quite OK Image format: 8-bit RGB or RGBA pixels coded as runs, differences from the
// previous pixel and references into a table of 64 recently seen colours.
#pragma once

#include "formats/reader_graphic.h"

namespace vumo {

class TQOIGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TQOIGraphic)

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
