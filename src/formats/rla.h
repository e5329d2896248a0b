// Alias/Wavefront RLA images: run-length coded channels per scanline, found through an
// offset table.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TRLAGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TRLAGraphic)

 public:
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
