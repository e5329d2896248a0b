#include "shell/image_convert.h"

#include <QList>

#include "formats/metafile.h"
#include "settings/colors.h"
#include "shell/qpainter_canvas.h"

namespace vumo {
namespace {

// Indices past the palette draw black, as the platform draws them.
QList<QRgb> ColorTable(const TBitmap& bitmap, int entries) {
  QList<QRgb> table(entries, qRgb(0, 0, 0));
  const TLogPalette& palette = bitmap.Palette();
  const int used = std::min<int>(entries, static_cast<int>(palette.size()));
  for (int i = 0; i < used; ++i) table[i] = qRgb(palette[i].peRed, palette[i].peGreen, palette[i].peBlue);
  return table;
}

// Wraps the bitmap's rows without copying. The non-const constructor is used on purpose:
// a QImage over const data copies itself on the first metadata change (the colour table).
QImage Wrap(const TBitmap& bitmap, QImage::Format format) {
  auto* bits = const_cast<std::uint8_t*>(bitmap.ScanLine(0));
  return QImage(bits, bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.BytesPerScanline()), format);
}

QImage Expand4Bit(const TBitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_Indexed8);
  if (image.isNull()) return image;
  image.setColorTable(ColorTable(bitmap, 16));
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* s = bitmap.ScanLine(y);
    uchar* d = image.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) d[x] = (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4);
  }
  return image;
}

QImage Expand565(const TBitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* s = bitmap.ScanLine(y);
    auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) {
      const unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
      const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      d[x] = qRgb(static_cast<int>((r << 3) | (r >> 2)), static_cast<int>((g << 2) | (g >> 4)),
                  static_cast<int>((b << 3) | (b >> 2)));
    }
  }
  return image;
}

// The colour a transparent bitmap leaves out: its fixed transparent colour, or else the
// colour of its bottom-left pixel.
QRgb TransparentKey(const TBitmap& bitmap, const QImage& image) {
  if (bitmap.TransparentMode() == tmFixed && bitmap.TransparentColor() != clDefault &&
      bitmap.TransparentColor() != clNone)
    return ColorToQColor(bitmap.TransparentColor()).rgb();
  return image.pixel(0, image.height() - 1);
}

}  // namespace

QImage BitmapToQImage(const TBitmap& bitmap) {
  if (bitmap.Empty()) return {};
  switch (bitmap.PixelFormat()) {
    case pf1bit: {
      QImage image = Wrap(bitmap, QImage::Format_Mono);
      image.setColorTable(ColorTable(bitmap, 2));
      return image;
    }
    case pf4bit: return Expand4Bit(bitmap);
    case pf8bit: {
      QImage image = Wrap(bitmap, QImage::Format_Indexed8);
      image.setColorTable(ColorTable(bitmap, 256));
      return image;
    }
    case pf15bit: return Wrap(bitmap, QImage::Format_RGB555);
    case pf16bit: return Expand565(bitmap);
    case pf24bit: return Wrap(bitmap, QImage::Format_BGR888);
    case pf32bit:
      return Wrap(bitmap, bitmap.AlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    default: return {};
  }
}

QImage GraphicToQImage(const TGraphic& graphic) {
  if (auto* metafile = dynamic_cast<const TMetafile*>(&graphic))
    return RenderMetafile(*metafile, metafile->Width(), metafile->Height());
  const TBitmap* bitmap = graphic.DrawBitmap();
  if (!bitmap) return {};
  QImage image = BitmapToQImage(*bitmap);
  if (image.isNull() || !graphic.Transparent()) return image;
  const QRgb key = TransparentKey(*bitmap, image) & 0x00FFFFFFu;
  QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < keyed.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x)
      if ((row[x] & 0x00FFFFFFu) == key) row[x] = 0;
  }
  return keyed;
}

QImage CheckerTile(QRgb corner, QRgb other) {
  QImage tile(16, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) tile.setPixel(x, y, ((x < 8) != (y < 8)) ? other : corner);
  return tile;
}

}  // namespace vumo
