#include "shell/view_status_bar.h"

#include <QFontDatabase>
#include <QHBoxLayout>

namespace vumo {

TViewStatusBar::TViewStatusBar(QWidget* parent)
    : QWidget(parent), pixel_(new QLabel(this)), picture_(new QLabel(this)), view_(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 1, 4, 1);
  layout->setSpacing(12);
  // Figures that change under a moving mouse keep their places in a fixed-width font.
  pixel_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  pixel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(pixel_, 1);
  layout->addWidget(picture_);
  layout->addWidget(view_);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TViewStatusBar::SetPixel(const QString& text) { pixel_->setText(text); }
void TViewStatusBar::SetPicture(const QString& text) { picture_->setText(text); }
void TViewStatusBar::SetView(const QString& text) { view_->setText(text); }

}  // namespace vumo
