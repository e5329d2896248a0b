// Portable Network Graphics: every colour type and depth, Adam7 interlacing, the five row
// filters, CRC-checked chunks, and the gAMA, bKGD and tRNS chunks.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPNGGraphic : public TReaderGraphic {
  VUMO_GRAPHIC_CLASS(TPNGGraphic)

 public:
  TPNGGraphic() = default;

  // True when more than 8 bytes remain and they are the PNG signature. The position is restored.
  static bool CanLoad(TStream& Stream);
  static bool CanLoad(const std::string& FileName);

  // Reads the signature and the IHDR chunk (CRC checked), then looks for a gAMA chunk up to
  // IEND for FileGamma. False for another signature, a first chunk that is not IHDR, or a
  // zero width or height.
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;

  // Palette images whose tRNS makes an entry transparent, and grey images with alpha, load
  // into a 32-bit bitmap with alpha. A file that ends early keeps the rows decoded so far.
  void LoadFromStream(TStream& Stream) override;

 protected:
  const char* FormatName() const override;
};

}  // namespace vumo
