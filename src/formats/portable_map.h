// Portable any-maps: bitmaps, grey maps and pixel maps, as text (P1 to P3) or raw (P4 to P6);
// arbitrary maps (P7) of one to four samples with or without alpha; and float maps (PF, Pf,
// and their half-float kin PH, Ph) of linear light, shown through an exposure.
#pragma once

#include <cstdint>
#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TPPMGraphic : public TReader<TPPMGraphic, "TPPMGraphic", &gesPortableMap> {
  // CanLoad: true when more than 10 bytes remain, the first is "P" and the second a digit 1 to 6.
  // The position is restored.
  // ReadImageProperties: reads the magic and the header numbers; false unless the file starts with "P". A kind
  // outside P1 to P6 gives true with no size.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

  // What the header says: the kind (the digit after "P", or one of the float kinds), the
  // size and the largest sample; for arbitrary maps the samples a pixel has and what they
  // are; for float maps the byte order (a negative scale says little-endian).
  struct THeader {
    int Kind = 0;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Maximum = 1;
    std::uint32_t Depth = 0;
    std::string TupleType;
    bool LittleEndian = false;
  };

 private:
  void LoadArbitraryMap(TStream& Stream);
  void LoadFloatMap(TStream& Stream);

  THeader header_;
};

}  // namespace vumo
