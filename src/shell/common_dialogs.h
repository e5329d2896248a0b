// The window's font and colour dialogs: components that keep their value between runs of
// the platform's dialog.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "settings/colors.h"

namespace vumo {

class TFontDialog : public QObject {
  Q_OBJECT
  Q_PROPERTY(QFont Font READ Font WRITE SetFont)
  Q_PROPERTY(int MinFontSize READ MinFontSize WRITE SetMinFontSize)
  Q_PROPERTY(int MaxFontSize READ MaxFontSize WRITE SetMaxFontSize)

 public:
  explicit TFontDialog(QWidget* owner);

  QFont Font() const { return font_; }
  void SetFont(const QFont& value) { font_ = value; }
  int MinFontSize() const { return minFontSize_; }
  void SetMinFontSize(int value) { minFontSize_ = value; }
  int MaxFontSize() const { return maxFontSize_; }
  void SetMaxFontSize(int value) { maxFontSize_ = value; }

  // Runs the dialog; on acceptance Font holds the choice. Returns whether it was accepted.
  bool Execute();

 private:
  QPointer<QWidget> owner_;
  QFont font_;
  int minFontSize_ = 0;  // 0: no limit
  int maxFontSize_ = 0;
};

class TColorDialog : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Color READ Color WRITE SetColor)

 public:
  explicit TColorDialog(QWidget* owner);

  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  // Runs the dialog; on acceptance Color holds the chosen plain colour.
  bool Execute();

 private:
  QPointer<QWidget> owner_;
  TColor color_ = clBlack;
};

}  // namespace vumo
