#include "shell/about_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "shell/image_convert.h"
#include "shell/panel.h"

namespace vumo {
namespace {

constexpr const char* kImageViewCaption = "Image View";

}  // namespace

TProCommonDialog::TProCommonDialog(QObject* owner) : QObject(owner) {}

void TProCommonDialog::PlaySound() const {
  // The desktop has one alert sound; every kind of sound but none plays it.
  if (soundType_ != stNoSound) QApplication::beep();
}

TProImageViewDialog::TProImageViewDialog(QObject* owner)
    : TProCommonDialog(owner), picture_(std::make_unique<TPicture>()) {}

TProImageViewDialog::~TProImageViewDialog() {
  // An open window would otherwise reach back into this component when it closes.
  if (form_) {
    form_->dialog_ = nullptr;
    delete form_;
  }
}

void TProImageViewDialog::Execute() {
  if (form_) {
    form_->show();
    form_->raise();
    form_->activateWindow();
    form_->setFocus();
    return;
  }
  QPointer<TImageViewForm> form = new TImageViewForm(this);
  try {
    // Only English captions exist; every language shows the English one.
    if (!caption_.isEmpty()) form->setWindowTitle(caption_);
    if (borderStyle_ == bsSingle) {
      form->Panel->SetBevelOuter(TPanel::bvLowered);
      form->Panel->SetBevelCtl3D(true);
    }
    form->Image->Picture()->Assign(*picture_);
    PlaySound();
    if (modal_) {
      form->exec();
      delete form.data();  // exec may already have freed it
    } else {
      form->show();
    }
  } catch (...) {
    delete form.data();
    throw;
  }
}

TImage::TImage(QWidget* parent) : QWidget(parent), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](void*) {
    image_ = QImage();  // it may point into the graphic that was just replaced
    imageStale_ = true;
    update();
    if (OnPictureChange) OnPictureChange(this);
  };
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::paintEvent(QPaintEvent*) {
  if (imageStale_) {
    const TGraphic* graphic = picture_->Graphic();
    image_ = graphic ? GraphicToQImage(*graphic) : QImage();
    imageStale_ = false;
  }
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

TImageViewForm::TImageViewForm(TProImageViewDialog* dialog) : TCommonDialogForm(nullptr), dialog_(dialog) {
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromLatin1(kImageViewCaption));

  Panel = new TProPanel(this);
  Panel->setObjectName(QStringLiteral("Panel"));
  Panel->SetBevelOuter(TPanel::bvNone);
  auto* formLayout = new QVBoxLayout(this);
  formLayout->setContentsMargins(0, 0, 0, 0);
  formLayout->setSizeConstraint(QLayout::SetNoConstraint);
  formLayout->addWidget(Panel);

  Image = new TImage(Panel);
  Image->setObjectName(QStringLiteral("Image"));
  auto* panelLayout = new QVBoxLayout(Panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(Image);
  Image->OnPictureChange = [this](void*) { PictureChanged(Image); };

  if (dialog_) dialog_->form_ = this;
  CenterOnScreen();
}

TImageViewForm::~TImageViewForm() {
  Image->OnPictureChange = nullptr;
  FormDestroy(this);
}

void TImageViewForm::FormClose(QObject*) { setAttribute(Qt::WA_DeleteOnClose); }

void TImageViewForm::FormDestroy(QObject*) {
  if (dialog_) dialog_->form_ = nullptr;
  dialog_ = nullptr;
}

void TImageViewForm::PictureChanged(QObject*) {
  int width = Image->Picture()->Width();
  int height = Image->Picture()->Height();
  if (Panel->BevelCtl3D()) {
    width += 4;
    height += 4;
  }
  setFixedSize(width, height);
  CenterOnScreen();
}

void TImageViewForm::closeEvent(QCloseEvent* event) {
  FormClose(this);
  TCommonDialogForm::closeEvent(event);
}

void TImageViewForm::CenterOnScreen() {
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  move(area.center().x() - width() / 2, area.center().y() - height() / 2);
}

}  // namespace vumo
