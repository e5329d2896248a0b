// The main window's view tools: the commands of the image view, the status line under it,
// the caption and stepping through a file's images.
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "browser/file_names.h"
#include "shell/application.h"
#include "shell/compare_view.h"
#include "shell/main_window.h"
#include "shell/pixel_readout.h"

namespace vumo {
namespace {

QString FormatOf(const QString& path) {
  const std::string extension = FileExtensionOf(EncodeFileName(path).toStdString());
  for (const auto& entry : TPicture::FileFormats().Entries())
    if (entry.Extension == extension) return QString::fromStdString(entry.Description);
  return {};
}

}  // namespace

TMenuItem* TForm1::AddCommand(QMenu* menu, const char* name, const char* caption, QList<QKeySequence> keys,
                              std::function<void()> run, bool checkable) {
  auto* item = new TMenuItem(QString::fromLatin1(name), QString::fromUtf8(caption), checkable, this);
  menu->addAction(item);
  if (!keys.isEmpty()) {
    item->setShortcuts(keys);
    // In the popup and on the window, so the keys answer wherever the focus is.
    item->setShortcutContext(Qt::WindowShortcut);
    addAction(item);
  }
  connect(item, &TMenuItem::Click, this, [run = std::move(run)] { RunGuarded(run); });
  return item;
}

void TForm1::CreateViewCommands() {
  using State = TViewState;
  ImageMenu->addSeparator();
  ZoomMenu = ImageMenu->addMenu(QStringLiteral("Zoom"));
  ZoomMenu->setObjectName(QStringLiteral("ZoomMenu"));
  AddCommand(ZoomMenu, "ZoomInMenu", "Zoom In", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
             [this] { ViewImage->ZoomStep(1); });
  AddCommand(ZoomMenu, "ZoomOutMenu", "Zoom Out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { ViewImage->ZoomStep(-1); });
  AddCommand(ZoomMenu, "ZoomActualMenu", "Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { ViewImage->SetZoom(1.0); });
  AddCommand(ZoomMenu, "ZoomFitMenu", "Zoom to Fit", {QKeySequence(Qt::CTRL | Qt::Key_9)}, [this] { ViewImage->ZoomToFit(); });

  HalfOffsetMenu = AddCommand(ImageMenu, "HalfOffsetMenu", "Half Offset", {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O)},
                              [this] { ViewImage->SetHalfOffset(!ViewImage->HalfOffset()); }, true);
  marks_.emplace_back(HalfOffsetMenu, [this] { return ViewImage->HalfOffset(); });

  ChannelMenu = ImageMenu->addMenu(QStringLiteral("Channel"));
  ChannelMenu->setObjectName(QStringLiteral("ChannelMenu"));
  // A channel chosen again goes back to the full colour, so one key looks and returns.
  AddChoices<State::TChannel>(
      ChannelMenu,
      {{"ChannelColorMenu", "Colour", Qt::ALT | Qt::Key_C, State::vcColor},
       {"ChannelOpaqueMenu", "Colour Without Alpha", Qt::ALT | Qt::Key_O, State::vcColorOpaque},
       {"ChannelRedMenu", "Red", Qt::ALT | Qt::Key_R, State::vcRed},
       {"ChannelGreenMenu", "Green", Qt::ALT | Qt::Key_G, State::vcGreen},
       {"ChannelBlueMenu", "Blue", Qt::ALT | Qt::Key_B, State::vcBlue},
       {"ChannelAlphaMenu", "Alpha", Qt::ALT | Qt::Key_A, State::vcAlpha},
       {"ChannelNormalMenu", "Normal Map", Qt::ALT | Qt::Key_N, State::vcNormal}},
      [this](State::TChannel channel) {
        ViewImage->SetChannel(ViewImage->Channel() == channel ? State::vcColor : channel);
      },
      [this](State::TChannel channel) { return ViewImage->Channel() == channel; });

  TransparencyMenu = ImageMenu->addMenu(QStringLiteral("Transparency"));
  TransparencyMenu->setObjectName(QStringLiteral("TransparencyMenu"));
  AddChoices<State::TAlphaBackground>(
      TransparencyMenu,
      {{"CheckerMenu", "Checkerboard", 0, State::abChecker},
       {"WindowColorMenu", "Window Colour", 0, State::abWindow},
       {"BlackMenu", "Black", 0, State::abBlack},
       {"WhiteMenu", "White", 0, State::abWhite},
       {"CustomColorMenu", "Colour ...", 0, State::abCustom}},
      [this](State::TAlphaBackground background) {
        if (background == State::abCustom) {
          const QColor chosen = QColorDialog::getColor(ColorToQColor(ViewImage->AlphaColor()), this);
          if (!chosen.isValid()) return;
          ViewImage->SetAlphaColor(QColorToColor(chosen));
        }
        ViewImage->SetAlphaBackground(background);
      },
      [this](State::TAlphaBackground background) { return ViewImage->AlphaBackground() == background; });

  ImagesMenu = ImageMenu->addMenu(QStringLiteral("Image"));
  ImagesMenu->setObjectName(QStringLiteral("ImagesMenu"));
  AddCommand(ImagesMenu, "PreviousImageMenu", "Previous Image", {QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
             [this] { StepImage(-1); });
  AddCommand(ImagesMenu, "NextImageMenu", "Next Image", {QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
             [this] { StepImage(1); });
  SheetMenu = AddCommand(ImagesMenu, "SheetMenu", "Sheet", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                         [this] { ToggleSheet(); }, true);
  marks_.emplace_back(SheetMenu, [this] { return SheetShown(); });

  ExposureMenu = ImageMenu->addMenu(QStringLiteral("Exposure"));
  ExposureMenu->setObjectName(QStringLiteral("ExposureMenu"));
  AddCommand(ExposureMenu, "BrighterMenu", "Brighter", {QKeySequence(Qt::ALT | Qt::Key_Plus), QKeySequence(Qt::ALT | Qt::Key_Equal)},
             [this] { ViewImage->SetExposure(ViewImage->Exposure() + 0.5); });
  AddCommand(ExposureMenu, "DarkerMenu", "Darker", {QKeySequence(Qt::ALT | Qt::Key_Minus)},
             [this] { ViewImage->SetExposure(ViewImage->Exposure() - 0.5); });
  AddCommand(ExposureMenu, "ResetExposureMenu", "Reset Exposure", {QKeySequence(Qt::ALT | Qt::Key_0)},
             [this] { ViewImage->SetExposure(0.0); });

  CopyPixelMenu = AddCommand(ImageMenu, "CopyPixelMenu", "Copy Pixel Value", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
                             [this] { CopyPixelValue(); });
  // The popup's copy takes the pixel the mouse was on when the popup opened.
  connect(ImageMenu, &QMenu::aboutToShow, this, [this] { popupPixel_ = ViewImage->HoveredPixel(); });
  connect(ImageMenu, &QMenu::aboutToHide, this, [this] { QMetaObject::invokeMethod(this, [this] { popupPixel_.reset(); }, Qt::QueuedConnection); });

  connect(loader_, &TPictureLoader::Finished, this,
          [this](const std::shared_ptr<TPictureLoader::TResult>& result) { PictureLoaded(result); });
  connect(ViewImage, &TProImage::ViewChanged, this, [this] { ViewChanged(); });
  connect(shownWatcher_, &TShownFileWatcher::Changed, this, [this] { ReloadShownFile(); });
  connect(shownWatcher_, &TShownFileWatcher::NoteChanged, this, [this] { ViewChanged(); });
  connect(ViewImage, &TProImage::HoverChanged, this, [this] { HoverChanged(); });
  connect(ViewImage, &TProImage::ImageStepRequested, this, [this](int direction) { RunGuarded([&] { StepImage(direction); }); });
  ViewChanged();
}

bool TForm1::ConfirmTooLargeForFile(const std::exception& error) {
  // A decompression bomb, or a real picture packed tighter than any we know: the user
  // decides, before anything large is allocated. No keeps the picture shown.
  const QString text = QString::fromUtf8(error.what()) + QStringLiteral("\n\nOpen it anyway?");
  return QMessageBox::question(this, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TForm1::LoadPicture(const QString& path, unsigned imageIndex) {
  loader_->Cancel();
  TPicture& picture = *ViewImage->Picture();
  const std::string fileName = EncodeFileName(path).toStdString();
  try {
    picture.LoadFromFile(fileName, imageIndex);
  } catch (const EPictureTooLargeForFile& error) {
    if (!ConfirmTooLargeForFile(error)) return;
    picture.RefuseTooLargeForFile = false;
    try {
      picture.LoadFromFile(fileName, imageIndex);
    } catch (...) {
      picture.RefuseTooLargeForFile = true;
      throw;
    }
    picture.RefuseTooLargeForFile = true;
  }
  if (path != shownFile_)
    ViewImage->SetChannel(normalChoice_.ForNewFile(ViewImage->Channel(), picture.Graphic()->NormalLayout()));
  sheetOf_.reset();
  shownFile_ = path;
  shownWatcher_->Watch(shownFile_);
  ViewChanged();
}

void TForm1::LoadPictureInBackground(const QString& path, unsigned imageIndex) {
  const TPictureLoader::TRequest* current = loader_->Current();
  if (current && current->path == path && current->imageIndex == imageIndex) return;  // a second click
  loader_->Start({path, imageIndex, true});
  ViewChanged();
}

void TForm1::PictureLoaded(const std::shared_ptr<TPictureLoader::TResult>& result) {
  if (result->error && result->request.reload) {
    shownWatcher_->ReloadFailed(result->error);
    return;
  }
  if (result->error) {
    try {
      std::rethrow_exception(result->error);
    } catch (const EPictureTooLargeForFile& error) {
      if (ConfirmTooLargeForFile(error)) {
        TPictureLoader::TRequest again = result->request;
        again.refuseTooLargeForFile = false;
        loader_->Start(again);
      }
    } catch (const std::exception& error) {
      ShowException(error);
    }
    ViewChanged();
    return;
  }
  ViewImage->Picture()->TakeGraphic(*result->picture);
  if (result->request.path != shownFile_)
    if (const TGraphic* graphic = ViewImage->Picture()->Graphic())
      ViewImage->SetChannel(normalChoice_.ForNewFile(ViewImage->Channel(), graphic->NormalLayout()));
  sheetOf_.reset();
  shownFile_ = result->request.path;
  shownWatcher_->Watch(shownFile_);
  ViewChanged();
}

void TForm1::ReloadShownFile() {
  // A load the user asked for replaces the picture anyway.
  if (loader_->Current() || shownFile_.isEmpty()) return;
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  loader_->Start({shownFile_, graphic ? graphic->Images().Index : 0u, true, true});
}

void TForm1::StepImage(int direction) {
  // Compared files step together, so both panes show the same level, layer, face or page.
  if (Comparing()) {
    if (!CompareView->StepImage(direction)) QApplication::beep();
    return;
  }
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  if (!graphic || shownFile_.isEmpty()) return;
  const TImageSet images = sheetOf_ ? *sheetOf_ : graphic->Images();
  const long next = static_cast<long>(images.Index) + direction;
  if (images.Count <= 1 || next < 0 || next >= static_cast<long>(images.Count)) {
    QApplication::beep();
    return;
  }
  LoadPicture(shownFile_, static_cast<unsigned>(next));
}

void TForm1::CopyPixelValue() {
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  const std::optional<QPoint> pixel = popupPixel_ ? popupPixel_ : ViewImage->HoveredPixel();
  if (!graphic || !pixel) return;
  if (const std::optional<TPixelValue> value = ReadPixel(*graphic, *pixel))
    QApplication::clipboard()->setText(HexText(*value));
}

void TForm1::HoverChanged() {
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  const std::optional<QPoint> pixel = ViewImage->HoveredPixel();
  std::optional<TPixelValue> value;
  if (graphic && pixel) value = ReadPixel(*graphic, *pixel);
  QString text = value ? PixelText(*value) : QString();
  if (value && ViewImage->Channel() == TViewState::vcNormal) {
    const QString normal = NormalText(*value, graphic->NormalLayout());
    if (!normal.isEmpty()) text += QStringLiteral("   ") + normal;
  }
  StatusBar->SetPixel(text);
}

void TForm1::ViewChanged() {
  const TGraphic* graphic = ViewImage->Picture()->Graphic();
  const bool shown = graphic && !graphic->Empty();
  const QString zoom = ZoomText(ViewImage->Zoomable() ? ViewImage->Zoom() : 1.0);
  QString title = QString::fromLatin1(kApplicationTitle);
  if (shown && !shownFile_.isEmpty()) {
    title = QFileInfo(shownFile_).fileName() + QStringLiteral(" \u2014 %1 \u00D7 %2").arg(graphic->Width()).arg(graphic->Height());
    if (ViewImage->Zoomable() && ViewImage->Zoom() != 1.0) title += QStringLiteral(" \u2014 ") + zoom;
    title += QStringLiteral(" \u2014 ") + QString::fromLatin1(kApplicationTitle);
  }
  if (windowTitle() != title) setWindowTitle(title);

  QString picture, view;
  if (shown) {
    picture = PictureSizeText(*graphic);
    const QString format = !graphic->FormatDescription().empty() ? QString::fromStdString(graphic->FormatDescription())
                           : shownFile_.isEmpty()                ? QString()
                                                                 : FormatOf(shownFile_);
    if (!format.isEmpty()) picture += QStringLiteral(", ") + format;
    QStringList parts;
    if (ViewImage->Zoomable()) parts << zoom;
    const TNormalLayout& normals = graphic->NormalLayout();
    parts << (ViewImage->Channel() == TViewState::vcNormal && normals.TwoChannels() ? NormalLayoutText(normals)
                                                                                    : ChannelText(ViewImage->Channel()));
    if (!graphic->Images().Caption.empty()) parts << QString::fromStdString(graphic->Images().Caption);
    if (ViewImage->DrawingIncomplete()) parts << QStringLiteral("drawing incomplete");
    if (ViewImage->HasExposure())
      parts << QStringLiteral("exposure %1%2").arg(ViewImage->Exposure() >= 0 ? "+" : "").arg(ViewImage->Exposure(), 0, 'f', 1);
    view = parts.join(QStringLiteral("   "));
  }
  if (const QString& note = shownWatcher_->Note(); !note.isEmpty())
    view = view.isEmpty() ? note : view + QStringLiteral("   ") + note;
  // A reload says nothing while it runs, so a picture saved again does not make the line blink.
  if (const TPictureLoader::TRequest* loading = loader_->Current(); loading && !loading->reload) {
    const QString text = QStringLiteral("loading %1\u2026").arg(QFileInfo(loading->path).fileName());
    view = view.isEmpty() ? text : view + QStringLiteral("   ") + text;
  }
  StatusBar->SetPicture(picture);
  StatusBar->SetView(view);
  for (auto& [item, checked] : marks_) item->SetChecked(checked());
  // The normal-map channel is offered only for pictures that keep X and Y.
  if (auto* normalItem = findChild<TMenuItem*>(QStringLiteral("ChannelNormalMenu"))) {
    const bool offered = shown && graphic->NormalLayout().TwoChannels();
    normalItem->setVisible(offered);
    normalItem->setEnabled(offered);
  }
  HoverChanged();
  if (Comparing()) CompareChanged();
}

void TForm1::ResetView() {
  ViewImage->SetZoom(1.0);
  ViewImage->SetHalfOffset(false);
  ViewImage->SetChannel(TViewState::vcColor);
  ViewImage->SetAlphaBackground(TViewState::abChecker);
  ViewImage->SetExposure(0.0);
}

}  // namespace vumo
