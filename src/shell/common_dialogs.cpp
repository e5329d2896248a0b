#include "shell/common_dialogs.h"

#include <QColorDialog>
#include <QFontDialog>

namespace vumo {

TFontDialog::TFontDialog(QWidget* owner) : QObject(owner), owner_(owner) {}

bool TFontDialog::Execute() {
  QFontDialog dialog(font_, owner_);
  if (dialog.exec() != QDialog::Accepted) return false;
  QFont chosen = dialog.selectedFont();
  if (minFontSize_ > 0 && chosen.pointSize() > 0 && chosen.pointSize() < minFontSize_) chosen.setPointSize(minFontSize_);
  if (maxFontSize_ > 0 && chosen.pointSize() > maxFontSize_) chosen.setPointSize(maxFontSize_);
  font_ = chosen;
  return true;
}

TColorDialog::TColorDialog(QWidget* owner) : QObject(owner), owner_(owner) {}

bool TColorDialog::Execute() {
  QColorDialog dialog(ColorToQColor(color_), owner_);
  if (dialog.exec() != QDialog::Accepted) return false;
  color_ = QColorToColor(dialog.selectedColor());
  return true;
}

}  // namespace vumo
