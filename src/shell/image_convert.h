// The one place where a core bitmap becomes something Qt can paint.
#pragma once

#include <QImage>

#include "formats/bitmap.h"

namespace vumo {

// 1-, 8-, 15-, 24- and 32-bit rows are wrapped in place (the QImage points at the bitmap's
// memory, so the bitmap must outlive it and stay unchanged); 4-bit and 16-bit (565) rows are
// converted into a new image. A 32-bit bitmap is opaque unless it says its fourth byte is
// alpha. An empty bitmap gives a null image.
QImage BitmapToQImage(const TBitmap& bitmap);

// The image a display draws for a graphic: its bitmap, with the transparent colour keyed out
// when the graphic is transparent (which always copies), or a metafile drawn at its own size
// on a transparent background. Null when there is nothing to draw.
QImage GraphicToQImage(const TGraphic& graphic);

// A 16 x 16 tile of 8-pixel squares for the checkerboard behind see-through pixels: `corner`
// at its top-left and bottom-right, `other` beside them.
QImage CheckerTile(QRgb corner, QRgb other);

}  // namespace vumo
