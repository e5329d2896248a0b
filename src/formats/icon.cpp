#include "formats/icon.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TIcon, TGraphic::ClassInfo())

void TIcon::LoadFromStream(TStream&) { throw EInvalidGraphic("Icon reading is not built yet."); }

void TIcon::Assign(const TGraphic& Source) {
  const TBitmap* bitmap = Source.DrawBitmap();
  if (bitmap) bitmap_ = *bitmap; else bitmap_.ReleaseImage();
  Changed();
}

}  // namespace vumo
