#include "formats/metafile.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TMetafile, TGraphic::ClassInfo())

void TMetafile::LoadFromStream(TStream&) {
  throw EInvalidGraphic("Cannot load image. Windows metafiles cannot be shown yet.");
}

void TMetafile::Assign(const TGraphic& Source) {
  if (!dynamic_cast<const TMetafile*>(&Source)) TGraphic::Assign(Source);
  Changed();
}

}  // namespace vumo
