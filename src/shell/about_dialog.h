// The picture dialog: a component that holds a picture and shows it in a small fixed window.
#pragma once

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <memory>

#include "formats/picture.h"

namespace vumo {

class TProPanel;
class TImageViewForm;

// Base of the dialog components: language, sound and help context, and a font.
class TProCommonDialog : public QObject {
  Q_OBJECT

 public:
  enum TDialogLanguage {
    dlEnglish, dlRussian, dlUkranian, dlFrench, dlPortuguese, dlSpanish, dlGerman, dlDanish,
    dlItalian, dlSwedish, dlDutch, dlPolish, dlHungarian, dlTurkish, dlSlovak, dlKorean
  };
  Q_ENUM(TDialogLanguage)
  enum TSoundType { stNoSound, stStandart, stAsterisk, stExclamation, stSystemHand, stQuestion, stDefault };
  Q_ENUM(TSoundType)

 private:
  Q_PROPERTY(TDialogLanguage Language READ Language WRITE SetLanguage)
  Q_PROPERTY(TSoundType SoundType READ SoundType WRITE SetSoundType)
  Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
  Q_PROPERTY(QFont Font READ Font WRITE SetFont)

 public:
  explicit TProCommonDialog(QObject* owner = nullptr);

  TDialogLanguage Language() const { return language_; }
  void SetLanguage(TDialogLanguage value) { language_ = value; }
  TSoundType SoundType() const { return soundType_; }
  void SetSoundType(TSoundType value) { soundType_ = value; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }
  QFont Font() const { return font_; }
  void SetFont(const QFont& value) { font_ = value; }

 protected:
  void PlaySound() const;

 private:
  TDialogLanguage language_ = dlEnglish;
  TSoundType soundType_ = stNoSound;
  int helpContext_ = 0;
  QFont font_;
};

class TProImageViewDialog : public TProCommonDialog {
  Q_OBJECT

 public:
  enum TBorderStyle { bsNone, bsSingle };
  Q_ENUM(TBorderStyle)

 private:
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Modal READ Modal WRITE SetModal)

 public:
  explicit TProImageViewDialog(QObject* owner = nullptr);
  ~TProImageViewDialog() override;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value) { borderStyle_ = value; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value) { caption_ = value; }
  bool Modal() const { return modal_; }
  void SetModal(bool value) { modal_ = value; }
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture& value) { picture_->Assign(value); }

  // Opens the window: modally (returning when it is closed) or not (returning at once).
  void Execute();
  // The open window, if any.
  TImageViewForm* Form() const { return form_; }

 private:
  friend class TImageViewForm;

  TBorderStyle borderStyle_ = bsNone;
  QString caption_;
  bool modal_ = true;
  std::unique_ptr<TPicture> picture_;
  TImageViewForm* form_ = nullptr;
};

// The framework's plain image control: the picture at its natural size from the top-left.
class TImage : public QWidget {
  Q_OBJECT

 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;

  TPicture* Picture() const { return picture_.get(); }
  TNotifyEvent OnPictureChange;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<TPicture> picture_;
  QImage image_;
  bool imageStale_ = true;
};

// A plain dialog window, the base of the dialog components' windows.
class TCommonDialogForm : public QDialog {
  Q_OBJECT

 public:
  explicit TCommonDialogForm(QWidget* parent = nullptr) : QDialog(parent) {}
};

class TImageViewForm : public TCommonDialogForm {
  Q_OBJECT

 public:
  explicit TImageViewForm(TProImageViewDialog* dialog);
  ~TImageViewForm() override;

  TProPanel* Panel = nullptr;
  TImage* Image = nullptr;

  void FormClose(QObject* Sender);
  void FormDestroy(QObject* Sender);
  void PictureChanged(QObject* Sender);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class TProImageViewDialog;
  void CenterOnScreen();

  TProImageViewDialog* dialog_ = nullptr;
};

}  // namespace vumo
