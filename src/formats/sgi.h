// Silicon Graphics images: verbatim or run-length coded planes, bottom row first.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TSGIGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TSGIGraphic)

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
