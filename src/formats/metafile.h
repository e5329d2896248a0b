// Windows metafiles (.wmf, .emf).
#pragma once

#include "formats/bitmap.h"

namespace vumo {

class TMetafile : public TGraphic {
  VUMO_GRAPHIC_CLASS(TMetafile)

 public:
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  // Drawing metafiles is not built yet: loading raises a clear error.
  void LoadFromStream(TStream& Stream) override;
  void Assign(const TGraphic& Source) override;
  const TBitmap* DrawBitmap() const override { return nullptr; }
};

}  // namespace vumo
