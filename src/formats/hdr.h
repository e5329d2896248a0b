// Radiance pictures: linear light as shared-exponent RGBE (or CIE XYZE) pixels, each
// scanline stored flat, with the old in-line repeat pixels, or run-length coded a component
// at a time; the resolution line says in which of the eight orientations rows are stored.
#pragma once

#include <cstdint>
#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class THDRGraphic : public TReader<THDRGraphic, "THDRGraphic", &gesHDR> {
  // CanLoad: true when the file starts with "#?RADIANCE" or "#?RGBE". The position is restored.
  // ReadImageProperties: reads the text header and the resolution line; false unless the
  // file starts with "#?".
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

  // What the header says beyond the image properties.
  struct THeader {
    bool Xyz = false;                // FORMAT=32-bit_rle_xyze
    bool FormatKnown = true;         // no FORMAT line, or one of the two above
    double Exposure = 1.0;           // the product of the EXPOSURE lines
    bool Columns = false;            // scanlines run down the picture's columns (+X or -X first)
    bool MirrorX = false;            // a scanline or the scanline order runs right to left
    bool MirrorY = false;            // ... bottom to top
    std::uint32_t Scanlines = 0;     // how many scanlines, and their length
    std::uint32_t ScanlineLength = 0;
  };

 private:
  THeader header_;
};

}  // namespace vumo
