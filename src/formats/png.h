// Portable Network Graphics: every colour type and depth, Adam7 interlacing, the five row
// filters, CRC-checked chunks, and the gAMA, bKGD and tRNS chunks.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPNGGraphic : public TReader<TPNGGraphic, "TPNGGraphic", &gesPNG> {
  // CanLoad: true when more than 8 bytes remain and they are the PNG signature. The position
  // is restored.
  // ReadImageProperties: reads the signature and the IHDR chunk (CRC checked), then looks for
  // a gAMA chunk up to IEND for FileGamma. False for another signature, a first chunk that is
  // not IHDR, or a zero width or height.
  // LoadFromStream: palette images whose tRNS makes an entry transparent, and grey images with
  // alpha, load into a 32-bit bitmap with alpha. A file that ends early keeps the rows decoded
  // so far.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
