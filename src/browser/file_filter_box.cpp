#include "browser/file_filter_box.h"

#include "browser/file_list_view.h"

#include <QKeyEvent>

namespace vumo {

TFileFilterBox::TFileFilterBox(QWidget* parent) : QLineEdit(parent) {
  setPlaceholderText(QStringLiteral("Filter"));
  setClearButtonEnabled(true);
  delay_.setSingleShot(true);
  delay_.setInterval(120);
  connect(this, &QLineEdit::textChanged, this, [this] { delay_.start(); });
  connect(&delay_, &QTimer::timeout, this, [this] { Apply(); });
}

void TFileFilterBox::SetFileList(TFileListView* list) {
  list_ = list;
  if (list_ != nullptr) setText(list_->NameFilter());
}

void TFileFilterBox::Apply() {
  if (list_ != nullptr) list_->SetNameFilter(text());
}

void TFileFilterBox::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier) {
    switch (event->key()) {
      case Qt::Key_Escape:
        if (text().isEmpty()) break;
        clear();
        // Clearing shows everything at once: nothing more will be typed.
        delay_.stop();
        Apply();
        event->accept();
        return;
      case Qt::Key_Down:
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (list_ != nullptr) {
          delay_.stop();
          Apply();
          list_->setFocus(Qt::TabFocusReason);
          event->accept();
          return;
        }
        break;
      default: break;
    }
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace vumo
