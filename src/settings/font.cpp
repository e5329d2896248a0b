#include "settings/font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vumo {

TFont::TFont(QObject* parent) : TPersistent(parent) {}

int TFont::Size() const { return -settings::MulDiv(values_.height, 72, PixelsPerInch); }

void TFont::SetHeight(int value) {
  if (value == 0) {
    values_.height = 0;
    return;
  }
  const long long pixels = std::clamp(std::llabs(static_cast<long long>(value)), static_cast<long long>(kMinPixels),
                                      static_cast<long long>(kMaxPixels));
  values_.height = static_cast<int>(value < 0 ? -pixels : pixels);
}

void TFont::SetSize(int value) {
  // Clamped before the conversion, so no size overflows on its way to a height.
  const int points = std::clamp(value, -72, 72);
  SetHeight(-settings::MulDiv(points, PixelsPerInch, 72));
}

void TFont::Assign(const TFont& other) { values_ = other.values_; }

void TFont::AssignQFont(const QFont& font) {
  values_.name = font.family();
  if (font.pointSizeF() > 0) {
    values_.height = -static_cast<int>(std::lround(font.pointSizeF() * PixelsPerInch / 72.0));
  } else if (font.pixelSize() > 0) {
    values_.height = -font.pixelSize();
  }
  if (font.resolveMask() & QFont::FixedPitchResolved) {
    values_.pitch = font.fixedPitch() ? fpFixed : fpVariable;
  } else {
    values_.pitch = fpDefault;
  }
  TFontStyles style;
  if (font.weight() >= QFont::DemiBold) style |= fsBold;
  if (font.italic()) style |= fsItalic;
  if (font.underline()) style |= fsUnderline;
  if (font.strikeOut()) style |= fsStrikeOut;
  values_.style = style;
}

QFont TFont::ToQFont() const {
  QFont font;
  font.setFamily(values_.name);
  // Point sizes let Qt scale for the screen; the pixel height is taken at 96 pixels per inch.
  int pixels = std::abs(values_.height);
  if (pixels > 0) font.setPointSizeF(std::min(pixels, 4096) * 72.0 / PixelsPerInch);
  if (values_.pitch == fpFixed) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::Monospace);
  } else if (values_.pitch == fpVariable) {
    font.setFixedPitch(false);
  }
  font.setWeight(values_.style.testFlag(fsBold) ? QFont::Bold : QFont::Normal);
  font.setItalic(values_.style.testFlag(fsItalic));
  font.setUnderline(values_.style.testFlag(fsUnderline));
  font.setStrikeOut(values_.style.testFlag(fsStrikeOut));
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
