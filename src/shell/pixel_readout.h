// What the picture stores at one pixel, and the texts the status bar shows of it.
#pragma once

#include <QPoint>
#include <QString>
#include <array>
#include <optional>

#include "formats/graphic.h"

namespace vumo {

struct TPixelValue {
  QPoint Position;
  // The colour as stored, 0..255 a channel; alpha 255 where the picture has none.
  std::uint8_t Red = 0, Green = 0, Blue = 0, Alpha = 255;
  // The palette index of an indexed picture.
  std::optional<int> Index;
  // The linear float samples of a high-dynamic-range picture (R, G, B, A).
  std::optional<std::array<float, 4>> Floats;
};

// The stored value at `position`; nothing outside the picture or for a picture that is not
// pixels (a metafile).
std::optional<TPixelValue> ReadPixel(const TGraphic& graphic, QPoint position);

// "#RRGGBBAA", what the clipboard gets.
QString HexText(const TPixelValue& value);
// "12, 7   R 255  G 128  B 0  A 255   #FF8000FF   index 3", or with floats for float pictures.
QString PixelText(const TPixelValue& value);
// "256 × 256, 24 bpp": the picture's size and the bits a pixel its file stores.
QString PictureSizeText(const TGraphic& graphic);

}  // namespace vumo
