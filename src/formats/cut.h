// Dr. Halo CUT pictures: run-length coded 8-bit rows without a signature, coloured by the
// ".pal" file of the same name when there is one.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TCUTGraphic : public TGraphicOf<TCUTGraphic, TReaderGraphic, "TCUTGraphic"> {
 public:
  // CUT files carry no signature to test.
  static bool CanLoad(TStream&) { return false; }
  static bool CanLoad(const std::string&) { return false; }

  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  // Notes the companion palette file, then loads the file.
  void LoadFromFile(const std::string& FileName) override;
  // Uses the palette file noted by LoadFromFile; a stream alone gets the grey ramp.
  void LoadFromStream(TStream& Stream) override;
  // Loads the picture with the palette read from PaletteStream (null: the grey ramp).
  void LoadWithPalette(TStream& Stream, TStream* PaletteStream);

  // The palette a Dr. Halo palette file describes; empty when the file has no usable header.
  static TLogPalette ReadHaloPalette(TStream& PaletteStream);

  const std::string& PaletteFileName() const { return paletteFileName_; }

 private:
  std::string paletteFileName_;
};

}  // namespace vumo
