#include "shell/pixel_readout.h"

#include "formats/bitmap.h"
#include "formats/reader_graphic.h"

namespace vumo {
namespace {

std::uint8_t Expand5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
std::uint8_t Expand6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

void SetFromPalette(TPixelValue& value, const TBitmap& bitmap, int index) {
  value.Index = index;
  const TLogPalette& palette = bitmap.Palette();
  if (index < static_cast<int>(palette.size())) {
    value.Red = palette[static_cast<std::size_t>(index)].peRed;
    value.Green = palette[static_cast<std::size_t>(index)].peGreen;
    value.Blue = palette[static_cast<std::size_t>(index)].peBlue;
  }
}

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
  switch (bitmap->PixelFormat()) {
    case pf1bit: SetFromPalette(value, *bitmap, (row[x >> 3] >> (7 - (x & 7))) & 1); break;
    case pf4bit: SetFromPalette(value, *bitmap, (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)); break;
    case pf8bit: SetFromPalette(value, *bitmap, row[x]); break;
    case pf15bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      value.Red = Expand5((v >> 10) & 31);
      value.Green = Expand5((v >> 5) & 31);
      value.Blue = Expand5(v & 31);
      break;
    }
    case pf16bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      value.Red = Expand5((v >> 11) & 31);
      value.Green = Expand6((v >> 5) & 63);
      value.Blue = Expand5(v & 31);
      break;
    }
    case pf24bit:
      value.Blue = row[3 * x];
      value.Green = row[3 * x + 1];
      value.Red = row[3 * x + 2];
      break;
    case pf32bit:
      value.Blue = row[4 * x];
      value.Green = row[4 * x + 1];
      value.Red = row[4 * x + 2];
      if (bitmap->AlphaChannel()) value.Alpha = row[4 * x + 3];
      break;
    default: return std::nullopt;
  }
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
