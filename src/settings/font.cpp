#include "settings/font.h"

#include <QGuiApplication>

#include <cmath>
#include <cstdlib>

namespace vumo {

TFont::TFont(QObject* parent) : TPersistent(parent) {}

int TFont::Size() const { return -settings::MulDiv(height_, 72, PixelsPerInch); }

void TFont::SetSize(int value) { height_ = -settings::MulDiv(value, PixelsPerInch, 72); }

void TFont::Assign(const TFont& other) {
  charset_ = other.charset_;
  color_ = other.color_;
  height_ = other.height_;
  name_ = other.name_;
  pitch_ = other.pitch_;
  style_ = other.style_;
}

void TFont::AssignQFont(const QFont& font) {
  name_ = font.family();
  if (font.pointSizeF() > 0) {
    height_ = -static_cast<int>(std::lround(font.pointSizeF() * PixelsPerInch / 72.0));
  } else if (font.pixelSize() > 0) {
    height_ = -font.pixelSize();
  }
  if (font.resolveMask() & QFont::FixedPitchResolved) {
    pitch_ = font.fixedPitch() ? fpFixed : fpVariable;
  } else {
    pitch_ = fpDefault;
  }
  TFontStyles style;
  if (font.weight() >= QFont::DemiBold) style |= fsBold;
  if (font.italic()) style |= fsItalic;
  if (font.underline()) style |= fsUnderline;
  if (font.strikeOut()) style |= fsStrikeOut;
  style_ = style;
}

QFont TFont::ToQFont() const {
  QFont font;
  font.setFamily(name_);
  // Point sizes let Qt scale for the screen; the pixel height is taken at 96 pixels per inch.
  int pixels = std::abs(height_);
  if (pixels > 0) font.setPointSizeF(std::min(pixels, 4096) * 72.0 / PixelsPerInch);
  if (pitch_ == fpFixed) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
  } else if (pitch_ == fpVariable) {
    font.setFixedPitch(false);
  }
  font.setWeight(style_.testFlag(fsBold) ? QFont::Bold : QFont::Normal);
  font.setItalic(style_.testFlag(fsItalic));
  font.setUnderline(style_.testFlag(fsUnderline));
  font.setStrikeOut(style_.testFlag(fsStrikeOut));
  return font;
}

namespace settings {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long product = static_cast<long long>(a) * b;
  long long quotient = product / c;
  long long remainder = product % c;
  if (std::llabs(remainder) * 2 >= std::llabs(static_cast<long long>(c))) {
    quotient += ((product < 0) != (c < 0)) ? -1 : 1;
  }
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}

namespace {

QPalette::ColorRole SystemColorRole(int index) {
  switch (index) {
    case 2: case 13: case 27: case 29: return QPalette::Highlight;   // captions, selection
    case 5: return QPalette::Base;                                    // window background
    case 6: case 21: return QPalette::Shadow;
    case 7: case 8: case 19: return QPalette::WindowText;
    case 9: case 14: return QPalette::HighlightedText;
    case 12: case 16: return QPalette::Dark;
    case 15: case 0: return QPalette::Button;                        // button face, scroll bar
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;
    case 22: return QPalette::Midlight;
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    case 26: return QPalette::Link;
    default: return QPalette::Window;                                 // desktop, menu, borders
  }
}

}  // namespace

QColor ColorToQColor(TColor color, const QPalette& palette) {
  if (color == clNone) return QColor(Qt::transparent);
  if (color == clDefault) return QColor();
  quint32 bits = static_cast<quint32>(color);
  if (bits & 0x80000000u) {
    int index = static_cast<int>(bits & 0xFF);
    if (index == 17) return palette.color(QPalette::Disabled, QPalette::WindowText);  // grey text
    return palette.color(QPalette::Active, SystemColorRole(index));
  }
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

QColor ColorToQColor(TColor color) {
  return ColorToQColor(color, qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                  ? QGuiApplication::palette()
                                  : QPalette());
}

TColor QColorToColor(const QColor& color) {
  if (!color.isValid()) return clDefault;
  if (color.alpha() == 0) return clNone;
  QColor rgb = color.toRgb();
  return static_cast<TColor>(static_cast<quint32>(rgb.red()) | (static_cast<quint32>(rgb.green()) << 8) |
                             (static_cast<quint32>(rgb.blue()) << 16));
}

}  // namespace settings
}  // namespace vumo
