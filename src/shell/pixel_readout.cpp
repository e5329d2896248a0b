#include "shell/pixel_readout.h"

#include "formats/bitmap.h"
#include "formats/bitmap_export.h"
#include "formats/reader_graphic.h"

namespace vumo {
namespace {

QString FloatText(float v) { return QString::number(static_cast<double>(v), 'g', 5); }

}  // namespace

std::optional<TPixelValue> ReadPixel(const TGraphic& graphic, QPoint position) {
  const TBitmap* bitmap = graphic.DrawBitmap();
  if (!bitmap || position.x() < 0 || position.y() < 0 || position.x() >= bitmap->Width() ||
      position.y() >= bitmap->Height())
    return std::nullopt;
  TPixelValue value;
  value.Position = position;
  const std::uint8_t* row = bitmap->ScanLine(position.y());
  const int x = position.x();
  const TPixelFormat format = bitmap->PixelFormat();
  if (format < pf1bit || format > pf32bit) return std::nullopt;
  if (const int index = PaletteIndexAt(*bitmap, row, x); index >= 0) value.Index = index;
  std::uint8_t rgba[4];
  PixelToRgba8(*bitmap, row, x, rgba);
  value.Red = rgba[0];
  value.Green = rgba[1];
  value.Blue = rgba[2];
  if (format == pf32bit && bitmap->AlphaChannel()) value.Alpha = rgba[3];
  if (const TFloatPixels* floats = bitmap->FloatPixels()) {
    const float* p = floats->Row(position.y()) + 4 * static_cast<std::size_t>(x);
    value.Floats = std::array<float, 4>{p[0], p[1], p[2], p[3]};
  }
  return value;
}

QString HexText(const TPixelValue& value) {
  return QStringLiteral("#%1%2%3%4")
      .arg(value.Red, 2, 16, QLatin1Char('0'))
      .arg(value.Green, 2, 16, QLatin1Char('0'))
      .arg(value.Blue, 2, 16, QLatin1Char('0'))
      .arg(value.Alpha, 2, 16, QLatin1Char('0'))
      .toUpper();
}

QString PixelText(const TPixelValue& value) {
  QString text = QStringLiteral("%1, %2   ").arg(value.Position.x()).arg(value.Position.y());
  if (value.Floats) {
    const auto& f = *value.Floats;
    text += QStringLiteral("R %1  G %2  B %3  A %4   ")
                .arg(FloatText(f[0]), FloatText(f[1]), FloatText(f[2]), FloatText(f[3]));
  } else {
    text += QStringLiteral("R %1  G %2  B %3  A %4   ").arg(value.Red).arg(value.Green).arg(value.Blue).arg(value.Alpha);
  }
  text += HexText(value);
  if (value.Index) text += QStringLiteral("   index %1").arg(*value.Index);
  return text;
}

QString PictureSizeText(const TGraphic& graphic) {
  QString text = QStringLiteral("%1 \u00D7 %2").arg(graphic.Width()).arg(graphic.Height());
  int bits = 0;
  if (const auto* reader = dynamic_cast<const TReaderGraphic*>(&graphic)) bits = reader->ImageProperties.BitsPerPixel;
  if (bits == 0)
    if (const TBitmap* bitmap = graphic.DrawBitmap()) bits = BitsPerPixelOf(bitmap->PixelFormat());
  if (bits > 0) text += QStringLiteral(", %1 bpp").arg(bits);
  return text;
}

}  // namespace vumo
