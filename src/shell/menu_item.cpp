#include "shell/menu_item.h"

#include <QSignalBlocker>

namespace vumo {

TMenuItem::TMenuItem(const QString& name, const QString& caption, bool checkable, QObject* parent)
    : QAction(caption, parent) {
  setObjectName(name);
  setCheckable(checkable);
  connect(this, &QAction::triggered, this, [this] {
    // Qt flips a checkable action before it reports the trigger; the handlers own the marks.
    if (isCheckable() && isChecked() != checked_) {
      const QSignalBlocker blocker(this);
      setChecked(checked_);
    }
    emit Click();
  });
}

void TMenuItem::SetChecked(bool value) {
  checked_ = value;
  if (isCheckable()) {
    const QSignalBlocker blocker(this);
    setChecked(value);
  }
}

}  // namespace vumo
