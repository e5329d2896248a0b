#include "shell/scroll_box.h"

#include <QChildEvent>
#include <QPainter>
#include <QScrollBar>

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

bool IsAligned(const QWidget* child) {
  const QVariant align = child->property("Align");
  return align.isValid() && align.toInt() != 0;
}

}  // namespace

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent) {
  auto* client = new TScrollBoxClient(this);
  setWidgetResizable(false);
  setWidget(client);
  client->setAutoFillBackground(false);  // setWidget turned it on; the client paints itself
  client->installEventFilter(this);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
  int right = 0, bottom = 0;
  for (QObject* object : client->children()) {
    auto* child = qobject_cast<QWidget*>(object);
    if (!child || child->isHidden() || IsAligned(child)) continue;
    right = std::max(right, child->geometry().right() + 1);
    bottom = std::max(bottom, child->geometry().bottom() + 1);
  }
  const QSize visible = viewport()->size();
  client->resize(std::max(right, visible.width()), std::max(bottom, visible.height()));
  realigning_ = false;
}

bool TScrollBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget()) {
    if (event->type() == QEvent::ChildAdded) {
      auto* child = static_cast<QChildEvent*>(event)->child();
      if (child->isWidgetType()) child->installEventFilter(this);
    } else if (event->type() == QEvent::LayoutRequest) {
      Realign();
    } else if (event->type() == QEvent::ChildRemoved) {
      static_cast<QChildEvent*>(event)->child()->removeEventFilter(this);
      Realign();
    }
  } else if (watched->isWidgetType() && watched->parent() == widget()) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::DynamicPropertyChange: Realign(); break;
      default: break;
    }
  }
  return QScrollArea::eventFilter(watched, event);
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
