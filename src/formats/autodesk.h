// Autodesk Animator cels and pictures: a 256-colour palette and raw 8-bit rows.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TAutodeskGraphic : public TReaderGraphic {
  VUMO_READER_CLASS(TAutodeskGraphic)

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
