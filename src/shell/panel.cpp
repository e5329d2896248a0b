#include "shell/panel.h"

#include <algorithm>

#include <QPainter>

namespace vumo {

void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width,
             TBevelSides sides) {
  for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
    const int left = rect.left(), top = rect.top(), right = rect.right(), bottom = rect.bottom();
    // Left and top first: the far ends of each side belong to the bottom-right colour.
    if (sides & sdLeft) painter.fillRect(QRect(left, top, 1, rect.height()), topLeft);
    if (sides & sdTop) painter.fillRect(QRect(left, top, rect.width(), 1), topLeft);
    if (sides & sdRight) painter.fillRect(QRect(right, top, 1, rect.height()), bottomRight);
    if (sides & sdBottom) painter.fillRect(QRect(left, bottom, rect.width(), 1), bottomRight);
    if (sides & sdLeft) rect.setLeft(left + 1);
    if (sides & sdTop) rect.setTop(top + 1);
    if (sides & sdRight) rect.setRight(right - 1);
    if (sides & sdBottom) rect.setBottom(bottom - 1);
  }
}

TPanel::TPanel(QWidget* parent) : QWidget(parent) { AdjustClientRect(); }

void TPanel::SetColor(TColor value) { Change(color_, value); }

void TPanel::SetWidth(int value) {
  // A width from a settings file can be anything; a panel as wide as its window would leave
  // no room beside it and push the window past the screen.
  constexpr int kRoomBeside = 120;  // the splitter, the picture and its status line
  int widest = QWIDGETSIZE_MAX;
  if (const QWidget* parent = parentWidget()) widest = std::max(0, parent->width() - kRoomBeside);
  setFixedWidth(std::clamp(value, 0, widest));
}
void TPanel::SetHeight(int value) { setFixedHeight(std::max(0, value)); }

void TPanel::SetBevelOuter(TPanelBevel value) { Change(bevelOuter_, value, true); }
void TPanel::SetBevelInner(TPanelBevel value) { Change(bevelInner_, value, true); }
void TPanel::SetBevelWidth(int value) { Change(bevelWidth_, std::max(1, value), true); }
void TPanel::SetBorderWidth(int value) { Change(borderWidth_, std::max(0, value), true); }
void TPanel::SetBorderStyle(TBorderStyle value) { Change(borderStyle_, value, true); }
void TPanel::SetCaption(const QString& value) { Change(caption_, value); }
void TPanel::SetAlignment(Qt::Alignment value) { Change(alignment_, value); }

int TPanel::FrameWidth() const {
  return (borderStyle_ == bsSingle ? 1 : 0) + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + borderWidth_ +
         (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

void TPanel::AdjustClientRect() {
  const int frame = FrameWidth();
  setContentsMargins(frame, frame, frame, frame);
}

void TPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

void TPanel::Paint(QPainter& painter) {
  QRect rect = this->rect();
  if (borderStyle_ == bsSingle) Frame3D(painter, rect, ColorToQColor(clWindowFrame), ColorToQColor(clWindowFrame), 1);
  auto bevel = [&](TPanelBevel kind) {
    if (kind == bvNone) return;
    const bool lowered = kind == bvLowered;
    Frame3D(painter, rect, ColorToQColor(lowered ? clBtnShadow : clBtnHighlight),
            ColorToQColor(lowered ? clBtnHighlight : clBtnShadow), bevelWidth_);
  };
  bevel(bevelOuter_);
  Frame3D(painter, rect, ColorToQColor(color_), ColorToQColor(color_), borderWidth_);
  bevel(bevelInner_);
  painter.fillRect(rect, ColorToQColor(color_));
  if (!caption_.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect, static_cast<int>(alignment_ | Qt::AlignVCenter) | Qt::TextSingleLine, caption_);
  }
}

TProCustomPanel::TProCustomPanel(QWidget* parent) : TPanel(parent) {}

void TProCustomPanel::SetBevelCtl3D(bool value) {
  if (bevelCtl3D_ == value) return;
  bevelCtl3D_ = value;
  TPanel::SetBevelWidth(value ? 2 : 1);
  update();
}

void TProCustomPanel::SetBevelWidth(int value) { TPanel::SetBevelWidth(bevelCtl3D_ ? 2 : value); }

void TProCustomPanel::AdjustClientRect() {
  // While the three-dimensional look is on, the bevel is always two pixels wide.
  if (bevelCtl3D_ && BevelWidth() != 2) TPanel::SetBevelWidth(2);
  TPanel::AdjustClientRect();
}

void TProCustomPanel::SetBevelSides(TBevelSides value) { Change(bevelSides_, value & kAllBevelSides); }
void TProCustomPanel::SetBorderColor(TColor value) { Change(borderColor_, value); }
void TProCustomPanel::SetVerticalAlignment(TVerticalAlignment value) { Change(verticalAlignment_, value); }

void TProCustomPanel::PaintBevel(QPainter& painter, QRect& rect, TPanelBevel bevel) {
  if (bevel == bvNone) return;
  TColor topLeft, bottomRight, innerTopLeft, innerBottomRight;
  if (bevel == bvLowered) {
    topLeft = clBtnShadow;
    bottomRight = clBtnHighlight;
    innerTopLeft = clBtnText;
    innerBottomRight = cl3DLight;
  } else {
    topLeft = clBtnHighlight;
    bottomRight = bevelCtl3D_ ? clBtnText : clBtnShadow;
    innerTopLeft = cl3DLight;
    innerBottomRight = clBtnShadow;
  }
  if (!bevelCtl3D_) {
    Frame3D(painter, rect, ColorToQColor(topLeft), ColorToQColor(bottomRight), BevelWidth(), bevelSides_);
  } else {
    Frame3D(painter, rect, ColorToQColor(topLeft), ColorToQColor(bottomRight), 1, bevelSides_);
    Frame3D(painter, rect, ColorToQColor(innerTopLeft), ColorToQColor(innerBottomRight), 1, bevelSides_);
  }
}

void TProCustomPanel::Paint(QPainter& painter) {
  QRect rect = this->rect();
  // With the three-dimensional look a single border is a flat line, not a sunken edge.
  if (BorderStyle() == bsSingle)
    Frame3D(painter, rect, ColorToQColor(clWindowFrame), ColorToQColor(clWindowFrame), 1);
  PaintBevel(painter, rect, BevelOuter());
  Frame3D(painter, rect, ColorToQColor(borderColor_), ColorToQColor(borderColor_), BorderWidth(), bevelSides_);
  PaintBevel(painter, rect, BevelInner());
  if (rect.width() <= 0 || rect.height() <= 0) return;
  painter.fillRect(rect, ColorToQColor(Color()));
  if (Caption().isEmpty()) return;
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  const int flags = static_cast<int>(Alignment() & Qt::AlignHorizontal_Mask) | Qt::TextWordWrap | Qt::TextExpandTabs;
  QRect textRect = rect;
  if (verticalAlignment_ != vaTop) {
    const QRect needed = painter.boundingRect(rect, flags, Caption());
    const int free = rect.height() - needed.height();
    textRect.translate(0, verticalAlignment_ == vaCenter ? free / 2 : free);
  }
  painter.drawText(textRect, flags, Caption());
}

void TProCustomPanel::enterEvent(QEnterEvent* event) {
  TPanel::enterEvent(event);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TProCustomPanel::leaveEvent(QEvent* event) {
  TPanel::leaveEvent(event);
  if (OnMouseLeave) OnMouseLeave(this);
}

}  // namespace vumo
