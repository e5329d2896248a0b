#include "formats/metafile.h"

#include "formats/messages.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TMetafile, TGraphic::ClassInfo())

void TMetafile::LoadFromStream(TStream&) {
  throw EInvalidGraphic(kMetafileNotShown);
}

void TMetafile::Assign(const TGraphic& Source) {
  if (!dynamic_cast<const TMetafile*>(&Source)) TGraphic::Assign(Source);
  Changed();
}

}  // namespace vumo
