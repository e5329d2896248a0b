#include "shell/normal_view.h"

#include <bit>

#include "pixels/normal_maps.h"

namespace vumo {
namespace {

// The byte of a 32-bit QImage pixel (0xAARRGGBB as a value) that holds a channel.
unsigned ByteOf(TNormalLayout::TSlot slot) {
  const unsigned shift = slot == TNormalLayout::nsRed     ? 16
                         : slot == TNormalLayout::nsGreen ? 8
                         : slot == TNormalLayout::nsBlue  ? 0
                                                          : 24;
  return std::endian::native == std::endian::little ? shift / 8 : 3 - shift / 8;
}

QChar Letter(TNormalLayout::TSlot slot) {
  switch (slot) {
    case TNormalLayout::nsRed: return u'R';
    case TNormalLayout::nsGreen: return u'G';
    case TNormalLayout::nsBlue: return u'B';
    case TNormalLayout::nsAlpha: return u'A';
    case TNormalLayout::nsNone: break;
  }
  return u'?';
}

std::uint8_t Stored(const TPixelValue& value, TNormalLayout::TSlot slot) {
  switch (slot) {
    case TNormalLayout::nsRed: return value.Red;
    case TNormalLayout::nsGreen: return value.Green;
    case TNormalLayout::nsBlue: return value.Blue;
    default: return value.Alpha;
  }
}

// Two decimals, with no "-0.00" for values that round to zero.
QString Component(float v) {
  QString text = QString::number(static_cast<double>(v), 'f', 2);
  return text == QStringLiteral("-0.00") ? QStringLiteral("0.00") : text;
}

}  // namespace

QImage NormalMapImage(const QImage& source, const TNormalLayout& layout) {
  if (!layout.TwoChannels() || source.isNull()) return {};
  // Straight alpha: DXT5nm keeps X there, which premultiplying would mix into the colours.
  const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  QImage out(argb.size(), QImage::Format_RGB32);
  if (out.isNull()) return out;
  const TNormalChannels channels{static_cast<std::uint8_t>(ByteOf(layout.X)),
                                 static_cast<std::uint8_t>(ByteOf(layout.Y))};
  for (int y = 0; y < argb.height(); ++y)
    NormalRow(argb.constScanLine(y), out.scanLine(y), static_cast<std::size_t>(argb.width()), channels,
              ByteOf(TNormalLayout::nsRed), ByteOf(TNormalLayout::nsGreen), ByteOf(TNormalLayout::nsBlue));
  return out;
}

QString NormalLayoutText(const TNormalLayout& layout) {
  if (!layout.TwoChannels()) return {};
  QString text = QStringLiteral("Normal map: X in %1, Y in %2, Z rebuilt").arg(Letter(layout.X)).arg(Letter(layout.Y));
  if (layout.Signed) text += QStringLiteral(", signed");
  return text;
}

QString NormalText(const TPixelValue& value, const TNormalLayout& layout) {
  if (!layout.TwoChannels()) return {};
  const TNormal n =
      RebuildNormal(UnsignedByteToUnit(Stored(value, layout.X)), UnsignedByteToUnit(Stored(value, layout.Y)));
  return QStringLiteral("n = (%1, %2, %3)").arg(Component(n.X), Component(n.Y), Component(n.Z));
}

TViewState::TChannel TNormalChannelChoice::ForNewFile(TViewState::TChannel current, const TNormalLayout& layout) {
  if (current != TViewState::vcNormal) before_ = current;
  if (layout.SaysNormals && layout.TwoChannels()) return TViewState::vcNormal;
  return current == TViewState::vcNormal ? before_ : current;
}

}  // namespace vumo
