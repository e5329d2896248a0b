// Portable any-maps: bitmaps, grey maps and pixel maps, as text (P1 to P3) or raw (P4 to P6).
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPPMGraphic : public TReaderGraphic {
  // CanLoad: true when more than 10 bytes remain, the first is "P" and the second a digit 1 to 6.
  // The position is restored.
  // ReadImageProperties: reads the magic and the header numbers; false unless the file starts with "P". A kind
  // outside P1 to P6 gives true with no size.
  VUMO_READER_CLASS(TPPMGraphic)

 protected:
  const char* FormatName() const override;

 private:
  // What the header said beyond the image properties: the digit after "P" and the largest sample.
  int kind_ = 0;
  std::uint32_t maximum_ = 1;
};

}  // namespace vumo
