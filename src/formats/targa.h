// Truevision Targa files: uncompressed and run-length coded, colour-mapped, grey and true colour.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TTargaGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TTargaGraphic)

 public:
  TTargaGraphic() = default;

  // True when more than a header's worth of bytes remain and the header's type, colour-map
  // and pixel-size fields hold values this reader knows. The position is restored.
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  // Reads the 18-byte header at the stream's position; a shorter stream raises the stream's
  // read error. Always true otherwise.
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
