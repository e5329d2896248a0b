// Autodesk Animator cels and pictures: a 256-colour palette and raw 8-bit rows.
#pragma once

#include <string>

#include "formats/reader_graphic.h"

namespace vumo {

class TAutodeskGraphic : public TReader<TAutodeskGraphic, "TAutodeskGraphic", &gesAutodesk> {
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;
};

}  // namespace vumo
