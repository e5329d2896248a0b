// The scroll box: a client area in the framework's colour that scrolls when a child that is
// not aligned reaches past it; aligned children follow its visible area.
#pragma once

#include <QScrollArea>

#include "settings/colors.h"

namespace vumo {

class TScrollBox : public QScrollArea {
  Q_OBJECT
  Q_PROPERTY(int Color READ Color WRITE SetColor)

 public:
  explicit TScrollBox(QWidget* parent = nullptr);

  // The parent for the box's children.
  QWidget* Client() const { return widget(); }

  TColor Color() const { return color_; }
  void SetColor(TColor value);

  // Sizes the client to cover both the visible area and every child that is not aligned.
  void Realign();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TColor color_ = clBtnFace;
  bool realigning_ = false;
};

}  // namespace vumo
