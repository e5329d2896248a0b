// Reading Windows bitmap files into TBitmap.
#include "formats/bitmap.h"

namespace vumo {

void TBitmap::LoadFromStream(TStream&) { throw EInvalidGraphic("Bitmap reading is not built yet."); }

}  // namespace vumo
