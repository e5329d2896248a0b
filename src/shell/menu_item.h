// A menu command whose check mark changes only when a handler sets it.
#pragma once

#include <QAction>

namespace vumo {

class TMenuItem : public QAction {
  Q_OBJECT
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)

 public:
  // `checkable` items show their check mark in a menu.
  TMenuItem(const QString& name, const QString& caption, bool checkable, QObject* parent);

  bool Checked() const { return checked_; }
  void SetChecked(bool value);

 signals:
  // Raised when the item is chosen or its shortcut pressed; Checked still holds the old mark.
  void Click();

 private:
  bool checked_ = false;
};

}  // namespace vumo
