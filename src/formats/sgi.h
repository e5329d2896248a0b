// Silicon Graphics images: verbatim or run-length coded planes, bottom row first.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TSGIGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TSGIGraphic)

 public:
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
