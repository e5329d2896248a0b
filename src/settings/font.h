// The framework's colour values and font object, as the settings file keeps them.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QString>

#include "settings/colors.h"

namespace vumo {

namespace settings {
inline constexpr TColor kWindowTextColor = clWindowText;
inline constexpr TColor kButtonFaceColor = clBtnFace;
inline constexpr int kDefaultCharset = 1;
}  // namespace settings

// A value object whose published properties are stored as a group under one key prefix
// (a font, for instance), as opposed to a component, which is stored by name.
class TPersistent : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
};

class TFont : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(TFontPitch Pitch READ Pitch WRITE SetPitch)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(TFontStyles Style READ Style WRITE SetStyle)

 public:
  enum TFontPitch { fpDefault, fpVariable, fpFixed };
  Q_ENUM(TFontPitch)
  enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
  Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
  Q_FLAG(TFontStyles)

  // Heights in pixels are taken at this many pixels per inch.
  static constexpr int PixelsPerInch = 96;
  static constexpr int kMinPixels = 8;
  static constexpr int kMaxPixels = 96;

  explicit TFont(QObject* parent = nullptr);

  int Charset() const { return values_.charset; }
  void SetCharset(int value) { values_.charset = value & 0xFF; }
  int Color() const { return values_.color; }
  void SetColor(int value) { values_.color = value; }
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return values_.height; }
  // Heights and sizes from a settings file are kept to what a person can read: 6 to 72
  // points (8 to 96 pixels); 0 keeps its meaning of the default height.
  void SetHeight(int value);
  QString Name() const { return values_.name; }
  void SetName(const QString& value) { values_.name = value; }
  TFontPitch Pitch() const { return values_.pitch; }
  void SetPitch(TFontPitch value) { values_.pitch = value; }
  int Size() const;
  void SetSize(int value);
  TFontStyles Style() const { return values_.style; }
  void SetStyle(TFontStyles value) { values_.style = value; }

  void Assign(const TFont& other);
  // Name, height, pitch and style from a Qt font; the charset and colour stay.
  void AssignQFont(const QFont& font);
  QFont ToQFont() const;

 private:
  // Everything a font is, apart from its place among the objects: what Assign copies.
  struct TValues {
    int charset = settings::kDefaultCharset;
    int color = settings::kWindowTextColor;
    int height = -11;
    QString name = QStringLiteral("MS Sans Serif");
    TFontPitch pitch = fpDefault;
    TFontStyles style;
  };
  TValues values_;
};

namespace settings {

// The classic MulDiv: a * b / c rounded half away from zero, in 64 bits.
int MulDiv(int a, int b, int c);

}  // namespace settings
}  // namespace vumo

Q_DECLARE_OPERATORS_FOR_FLAGS(vumo::TFont::TFontStyles)
