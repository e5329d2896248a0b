// The busy cursor over the whole application while an object of this class lives, for the
// commands that walk folders or files on the GUI thread.
#pragma once

#include <QApplication>

namespace vumo {

class TWaitCursor {
 public:
  // Without a QApplication (a QCoreApplication in tools and tests) there is no cursor to set.
  TWaitCursor() : active_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (active_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (active_) QApplication::restoreOverrideCursor();
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  bool active_;
};

}  // namespace vumo
