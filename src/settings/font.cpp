#include "settings/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vumo {

TFont::TFont(QObject* parent) : TPersistent(parent) {}

int TFont::Size() const { return -settings::MulDiv(height_, 72, PixelsPerInch); }

void TFont::SetHeight(int value) {
  if (value == 0) {
    height_ = 0;
    return;
  }
  const long long pixels = std::clamp(std::llabs(static_cast<long long>(value)), static_cast<long long>(kMinPixels),
                                      static_cast<long long>(kMaxPixels));
  height_ = static_cast<int>(value < 0 ? -pixels : pixels);
}

void TFont::SetSize(int value) {
  // Clamped before the conversion, so no size overflows on its way to a height.
  const int points = std::clamp(value, -72, 72);
  SetHeight(-settings::MulDiv(points, PixelsPerInch, 72));
}

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

}  // namespace settings
}  // namespace vumo
