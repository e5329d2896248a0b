// Autodesk Animator cels and pictures: a 256-colour palette and raw 8-bit rows.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TAutodeskGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TAutodeskGraphic)

 public:
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
