#include "shell/splitter.h"

#include <QMouseEvent>

namespace vumo {

TSplitter::TSplitter(QWidget* parent) : QWidget(parent) { setCursor(Qt::SplitHCursor); }

void TSplitter::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !control_) return QWidget::mousePressEvent(event);
  dragging_ = true;
  grabX_ = event->globalPosition().toPoint().x();
  startWidth_ = control_->width();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !control_) return QWidget::mouseMoveEvent(event);
  int width = startWidth_ + event->globalPosition().toPoint().x() - grabX_;
  // Leave room for the control and for whatever fills the rest of the row.
  if (QWidget* row = parentWidget()) width = std::min(width, row->width() - this->width() - minSize_);
  width = std::max(width, minSize_);
  if (width != control_->width()) {
    control_->setFixedWidth(width);
    emit Moved();
  }
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

}  // namespace vumo
