#include "shell/scroll_box.h"

#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>
#include <utility>

namespace vumo {
namespace {

// The client paints the box's colour itself, so a system colour is looked up at paint time.
class TScrollBoxClient : public QWidget {
 public:
  TScrollBoxClient(TScrollBox* box) : box_(box) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), ColorToQColor(box_->Color()));
  }

 private:
  TScrollBox* box_;
};

}  // namespace

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent) {
  auto* client = new TScrollBoxClient(this);
  setWidgetResizable(false);
  setWidget(client);
  client->setAutoFillBackground(false);  // setWidget turned it on; the client paints itself
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

TScrolledContent::~TScrolledContent() {
  if (host_) host_->content_ = nullptr;
}

bool TScrolledContent::RealignInHost() {
  if (!host_) return false;
  host_->Realign();
  return true;
}

// The client and the content go with the scroll area's own destruction, after this box's
// part of the object is gone: the content must not reach back into it then.
TScrollBox::~TScrollBox() {
  if (content_) content_->host_ = nullptr;
}

void TScrollBox::SetContent(TScrolledContent* content) {
  TScrolledContent* old = std::exchange(content_, content);
  if (old && old != content) {
    old->host_ = nullptr;
    old->HostChanged();
  }
  if (content_) {
    content_->host_ = this;
    content_->HostChanged();
  }
  Realign();
}

void TScrollBox::SetColor(TColor value) {
  if (color_ == value) return;
  color_ = value;
  viewport()->update();
  widget()->update();
}

void TScrollBox::Realign() {
  QWidget* client = widget();
  if (!client || realigning_) return;
  realigning_ = true;
  // Two rounds: content that makes a scroll bar appear shrinks the visible area, and
  // aligned content must then follow the smaller area.
  for (int round = 0; round < 2; ++round) {
    const QSize visible = viewport()->size();
    QRect bounds;
    QWidget* widget = content_ ? content_->ContentWidget() : nullptr;
    if (widget && !widget->isHidden()) bounds = content_->ContentBounds(QRect(QPoint(0, 0), visible));
    const int right = bounds.isEmpty() ? 0 : bounds.right() + 1;
    const int bottom = bounds.isEmpty() ? 0 : bounds.bottom() + 1;
    client->resize(std::max(right, visible.width()), std::max(bottom, visible.height()));
    if (widget && !bounds.isEmpty() && widget->geometry() != bounds) widget->setGeometry(bounds);
    if (viewport()->size() == visible) break;
  }
  realigning_ = false;
}

void TScrollBox::ScrollClientPointTo(QPointF clientPoint, QPointF viewportPoint) {
  horizontalScrollBar()->setValue(static_cast<int>(std::lround(clientPoint.x() - viewportPoint.x())));
  verticalScrollBar()->setValue(static_cast<int>(std::lround(clientPoint.y() - viewportPoint.y())));
}

bool TScrollBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Resize) Realign();
  return QScrollArea::viewportEvent(event);
}

void TScrollBox::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), ColorToQColor(color_));
}

}  // namespace vumo
