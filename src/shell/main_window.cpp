#include "shell/main_window.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>
#include <filesystem>

#include "browser/file_names.h"
#include "browser/list_attach.h"
#include "formats/jpeg_image.h"
#include "settings/form_storage.h"
#include "shell/application.h"

// Resources of a static library must be pulled in by name, outside any namespace.
static void InitVumoResources() { Q_INIT_RESOURCE(vumo); }

namespace vumo {
namespace {

constexpr int kDesignLeft = 218;
constexpr int kDesignTop = 149;
constexpr int kDesignWidth = 600;
constexpr int kDesignHeight = 400;
constexpr int kBrowserWidth = 240;
constexpr int kTreeHeight = 240;

QFont DesignFont() {
  // "MS Sans Serif" is rarely installed; fontconfig then picks the desktop's sans font.
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);  // height -11 at 96 pixels per inch: 8 points
  return font;
}

// Shows a popup menu for context-menu requests on the widgets it watches.
class TPopupLink : public QObject {
 public:
  TPopupLink(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ContextMenu) return false;
    menu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    event->accept();
    return true;
  }

 private:
  QMenu* menu_;
};

// Regular files only (links followed): a click on a folder, a drive or a device does nothing,
// and nothing waits on a pipe that merely looks like a picture.
bool IsExistingFile(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(EncodeFileName(path).toStdString()), error);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  InitVumoResources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  setWindowIcon(QIcon(QStringLiteral(":/vumo.png")));
  setFont(DesignFont());
  move(kDesignLeft, kDesignTop);
  SetOuterSize(kDesignWidth, kDesignHeight);
  designClientSize_ = size();
  loader_ = new TPictureLoader(this);
  shownWatcher_ = new TShownFileWatcher(this);

  CreateComponents();
  CreateMenus();
  CreateViewCommands();
  CreateCompareCommands();
  layout()->activate();  // the start-up handler reads the list's laid-out height

  // The stored settings come back at the first show, before FormShow runs, and are saved
  // when the window closes; the window's own code never calls the storage.
  FormStorage1 = TFormStorage::Attach(
      this, QStringLiteral("Vumo.ini"), QStringLiteral("User"),
      {QStringLiteral("BrowseFiles.Directory"), QStringLiteral("PanelLeft.Width"), QStringLiteral("BrowseDrives.Font"),
       QStringLiteral("BrowseFiles.Font"), QStringLiteral("FontBrowse.Font"), QStringLiteral("FolderMenu.Checked"),
       QStringLiteral("AllFiles.Checked"), QStringLiteral("BrowseFiles.Mask"), QStringLiteral("BrowseFiles.ShowFolders"),
       QStringLiteral("ViewImage.Align"), QStringLiteral("ViewImage.AutoSize"), QStringLiteral("ViewImage.Stretch"),
       QStringLiteral("ViewImage.Tiled"), QStringLiteral("TileMenu.Checked"), QStringLiteral("NormMenu.Checked"),
       QStringLiteral("StretchMenu.Checked"), QStringLiteral("ScrollBox.Color"), QStringLiteral("ViewImage.Zoom"),
       QStringLiteral("ViewImage.HalfOffset"), QStringLiteral("ViewImage.Channel"),
       QStringLiteral("ViewImage.AlphaBackground"), QStringLiteral("ViewImage.AlphaColor"),
       QStringLiteral("ViewImage.Exposure"), QStringLiteral("BrowseFiles.OptionalColumns"),
       QStringLiteral("BrowseFiles.ColWidth_Dimensions"), QStringLiteral("BrowseFiles.ColWidth_PixelFormat"),
       QStringLiteral("BrowseFiles.ColWidth_Images"), QStringLiteral("BrowseFiles.ColWidth_Alpha")});
  FormStorage1->setObjectName(QStringLiteral("FormStorage1"));

  FormCreate(this);
}

TForm1::~TForm1() = default;

namespace {

// A panel without a bevel, as the window's spacers and holders are.
TPanel* NewFlatPanel(QWidget* parent, const char* name) {
  auto* panel = new TPanel(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->SetBevelOuter(TPanel::bvNone);
  return panel;
}

}  // namespace

void TForm1::CreateComponents() {
  PanelTop = NewFlatPanel(this, "PanelTop");
  PanelTop->SetHeight(2);
  PanelLeft = NewFlatPanel(this, "PanelLeft");
  PanelLeft->SetWidth(kBrowserWidth);

  BrowseDrives = new TDirTreeCombo(PanelLeft);
  BrowseDrives->setObjectName(QStringLiteral("BrowseDrives"));
  BrowseDrives->setFixedHeight(21);
  BrowseDrives->setCursor(Qt::ArrowCursor);
  BrowseDrives->SetTreeHeight(kTreeHeight);
  BrowseDrives->SetLanguage(TFileListView::lnEnglish);
  BrowseDrives->SetGlyph(QIcon(QStringLiteral(":/dropdown.png")));

  PanelDiv = NewFlatPanel(PanelLeft, "PanelDiv");
  PanelDiv->SetHeight(2);

  BrowseFiles = new TFileListView(PanelLeft);
  BrowseFiles->setObjectName(QStringLiteral("BrowseFiles"));
  if (BrowseFiles->Directory() != QLatin1String("Drives")) BrowseFiles->SetDirectory(QStringLiteral("Drives"));
  BrowseFiles->SetMask(QString::fromLatin1(kAllFilesMask));
  BrowseFiles->SetShowFolders(false);
  BrowseFiles->SetViewStyle(TFileListView::vsList);
  BrowseFiles->SetShowColumnHeaders(false);
  BrowseFiles->SetColWidth_Name(150);
  BrowseFiles->SetColWidth_Size(0);
  BrowseFiles->SetColWidth_Type(0);
  BrowseFiles->SetColWidth_Mod(0);
  BrowseFiles->SetColWidth_Attr(0);
  BrowseFiles->SetMultiSelect(false);
  BrowseFiles->SetReadOnly(true);
  BrowseFiles->SetDblClickToOpen(false);
  BrowseFiles->SetPopUpMenuEnabled(false);
  BrowseFiles->SetFileType(TFileListView::TFileType(TFileListView::ftReadOnly) | TFileListView::ftHidden |
                           TFileListView::ftSystem | TFileListView::ftArchive);
  BrowseFiles->SetParentDirCaption(QStringLiteral(" Parent"));
  BrowseFiles->SetTimeFormat(TFileListView::tfShortFormat);
  BrowseFiles->SetLanguage(TFileListView::lnEnglish);
  BrowseFiles->SetDirTreeCombo(BrowseDrives);
  BrowseDrives->SetFileList(BrowseFiles);

  SplitterV = new TSplitter(this);
  SplitterV->setObjectName(QStringLiteral("SplitterV"));
  SplitterV->setFixedWidth(2);
  SplitterV->SetControl(PanelLeft);

  ScrollBox = new TScrollBox(this);
  ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
  ScrollBox->SetColor(clBtnFace);

  ViewImage = new TProImage(ScrollBox->Client());
  ViewImage->setObjectName(QStringLiteral("ViewImage"));
  ViewImage->SetAlign(TProImage::alClient);
  ViewImage->SetTiled(true);
  ViewImage->SetStretch(false);
  ViewImage->SetAutoSize(true);
  ScrollBox->SetContent(ViewImage);

  StatusBar = new TViewStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));

  FontBrowse = new TFontDialog(this);
  FontBrowse->setObjectName(QStringLiteral("FontBrowse"));
  FontBrowse->SetFont(font());

  AboutImage = new TProImageViewDialog(this);
  AboutImage->setObjectName(QStringLiteral("AboutImage"));
  AboutImage->SetCaption(QStringLiteral("About ..."));
  LoadAboutPicture();

  ImageBk = new TColorDialog(this);
  ImageBk->setObjectName(QStringLiteral("ImageBk"));

  auto* leftLayout = new QVBoxLayout(PanelLeft);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);
  leftLayout->addWidget(BrowseDrives);
  leftLayout->addWidget(PanelDiv);
  leftLayout->addWidget(BrowseFiles, 1);
  AttachFilterBox(leftLayout, BrowseFiles);

  // Framework alignment order: the top spacer spans the window, then the panel and the
  // splitter line up from the left and the scroll box takes the rest.
  auto* rowLayout = new QHBoxLayout;
  rowLayout->setContentsMargins(0, 0, 0, 0);
  rowLayout->setSpacing(0);
  rowLayout->addWidget(PanelLeft);
  rowLayout->addWidget(SplitterV);
  // The status line belongs to the picture: it sits under the scroll box, beside the browser.
  auto* viewLayout = new QVBoxLayout;
  viewLayout->setContentsMargins(0, 0, 0, 0);
  viewLayout->setSpacing(0);
  viewLayout->addWidget(ScrollBox, 1);
  viewLayout->addWidget(StatusBar);
  rowLayout->addLayout(viewLayout, 1);

  auto* formLayout = new QVBoxLayout(this);
  formLayout->setContentsMargins(0, 0, 0, 0);
  formLayout->setSpacing(0);
  formLayout->addWidget(PanelTop);
  formLayout->addLayout(rowLayout, 1);
}

TMenuItem* TForm1::AddItem(QMenu* menu, const char* name, const char* caption, bool checkable, bool checked,
                           void (TForm1::*handler)(QObject*)) {
  auto* item = new TMenuItem(QString::fromLatin1(name), QString::fromLatin1(caption), checkable, this);
  item->SetChecked(checked);
  if (menu) {
    menu->addAction(item);
  } else {
    // Qt ignores the shortcut of an action that is hidden, so these stay visible but sit in
    // no menu; added to the window, they answer wherever the focus is inside it.
    item->setShortcutContext(Qt::WindowShortcut);
    addAction(item);
  }
  if (handler)
    connect(item, &TMenuItem::Click, this, [this, item, handler] { RunGuarded([&] { (this->*handler)(item); }); });
  return item;
}

void TForm1::CreateMenus() {
  FileMenu = new QMenu(this);
  FileMenu->setObjectName(QStringLiteral("FileMenu"));
  FolderMenu = AddItem(FileMenu, "FolderMenu", "Show Folders", true, false, &TForm1::FolderMenuClick);
  AllFiles = AddItem(FileMenu, "AllFiles", "View All Files (*.*)", true, false, &TForm1::AllFilesClick);
  AllFiles->setVisible(false);
  FileMenu->addSeparator();
  DefaultSettings = AddItem(FileMenu, "DefaultSettings", "Default Settings", false, false, &TForm1::DefaultSettingsClick);
  FileMenu->addSeparator();
  AboutVumo = AddItem(FileMenu, "AboutVumo", "About Vumo ...", false, false, &TForm1::AboutVumoClick);
  FileMenu->addSeparator();
  AddColumnsMenu(FileMenu, BrowseFiles);

  ImageMenu = new QMenu(this);
  ImageMenu->setObjectName(QStringLiteral("ImageMenu"));
  BrowseMenu = AddItem(ImageMenu, "BrowseMenu", "View Browser", true, true, &TForm1::BrowseMenuClick);
  ImageMenu->addSeparator();
  TileMenu = AddItem(ImageMenu, "TileMenu", "View Tiled", true, true, &TForm1::TileMenuClick);
  NormMenu = AddItem(ImageMenu, "NormMenu", "View Normal", true, false, &TForm1::NormMenuClick);
  StretchMenu = AddItem(ImageMenu, "StretchMenu", "View Stretched", true, false, &TForm1::StretchMenuClick);
  ImageMenu->addSeparator();
  Background = AddItem(ImageMenu, "Background", "Background ...", false, false, &TForm1::BackgroundClick);

  FormMenu = new QMenu(this);
  FormMenu->setObjectName(QStringLiteral("FormMenu"));
  FMBrowseMenu = AddItem(nullptr, "FMBrowseMenu", "View Browser", true, false, &TForm1::BrowseMenuClick);
  FMBrowseMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  FMTileMenu = AddItem(nullptr, "FMTileMenu", "View Tiled", true, true, &TForm1::TileMenuClick);
  FMTileMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
  FMNormMenu = AddItem(nullptr, "FMNormMenu", "View Normal", true, false, &TForm1::NormMenuClick);
  FMNormMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N));
  FMStretchMenu = AddItem(nullptr, "FMStretchMenu", "View Stretched", true, false, &TForm1::StretchMenuClick);
  FMStretchMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
  FMFolderMenu = AddItem(nullptr, "FMFolderMenu", "Show Folders", true, false, &TForm1::FolderMenuClick);
  FMFolderMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
  FMAllFiles = AddItem(nullptr, "FMAllFiles", "View All Files (*.*)", true, false, &TForm1::AllFilesClick);
  FMAllFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
  FMDefault = AddItem(nullptr, "FMDefault", "Default Settings", true, false, &TForm1::DefaultSettingsClick);
  FMDefault->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));

  AttachPopup(BrowseFiles, FileMenu);
  AttachPopup(ScrollBox, ImageMenu);
  AttachPopup(ViewImage, ImageMenu);

  // The window system lays the list out after the window's own resize (and, at the
  // first show, after the window's handlers have run), so the list's final height is
  // only known when the list itself is resized.
  BrowseFiles->installEventFilter(this);
  connect(BrowseFiles, &TFileListView::Click, this, [this] { RunGuarded([this] { BrowseFilesClick(BrowseFiles); }); });
  connect(BrowseDrives, &TDirTreeCombo::Click, this, [this] { RunGuarded([this] { BrowseDrivesClick(BrowseDrives); }); });
}

void TForm1::AttachPopup(QWidget* widget, QMenu* menu) {
  auto* link = new TPopupLink(menu, widget);
  widget->installEventFilter(link);
  // A scroll area takes its context-menu events on its viewport (and, for the scroll box,
  // on the client inside it).
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
    area->viewport()->installEventFilter(link);
    if (auto* box = qobject_cast<TScrollBox*>(widget)) box->Client()->installEventFilter(link);
  }
}

void TForm1::LoadAboutPicture() {
  QFile file(QStringLiteral(":/about.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray data = file.readAll();
  try {
    TJPEGImage jpeg;
    jpeg.LoadFromMemory(reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size()));
    TPicture picture;
    picture.SetGraphic(&jpeg);
    AboutImage->SetPicture(picture);
  } catch (const std::exception& error) {
    // The window still works without its About picture; the box then shows an empty window.
    qWarning("About picture: %s", error.what());
  }
}

QSize TForm1::ClientSizeFor(int width, int height) const {
  // The frame is zero until the window system has framed the window.
  const QSize frame = frameGeometry().size() - geometry().size();
  return {std::max(0, width - frame.width()), std::max(0, height - frame.height())};
}

void TForm1::SetOuterSize(int width, int height) { resize(ClientSizeFor(width, height)); }

void TForm1::OpenFromCommandLine(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) throw Exception(FormatMessage("Cannot open file \"%s\".", EncodeFileName(path).constData()));
  const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
  BrowseFiles->SetDirectory(folder);
  BrowseDrives->OpenPath(folder);
  if (info.isDir()) return;
  LoadPicture(info.absoluteFilePath());
  // The file is the list's selected entry, so Down goes on to the next one.
  const std::vector<TListItem>& items = BrowseFiles->Items();
  for (std::size_t row = 0; row < items.size(); ++row) {
    if (items[row].SubItems[kSubPath] != info.absoluteFilePath()) continue;
    BrowseFiles->SelectRow(int(row));
    BrowseFiles->SetSelectedItem(info.absoluteFilePath());
    break;
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  if (!shown_) {
    shown_ = true;
    fitOuterSizePending_ = true;
    FitDesignOuterSize();
  }
  RunGuarded([this] { FormShow(this); });
}

// Makes the design's outer size exact once the frame is known, unless restored settings
// (or the user) have sized the window already. A reparenting window manager tells the
// frame only some time after the first show.
void TForm1::FitDesignOuterSize() {
  if (!fitOuterSizePending_) return;
  if (size() != designClientSize_ || windowState() != Qt::WindowNoState) {
    fitOuterSizePending_ = false;
    return;
  }
  if (frameGeometry().size() == geometry().size()) return;  // not framed yet
  fitOuterSizePending_ = false;
  SetOuterSize(kDesignWidth, kDesignHeight);
}

void TForm1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FitDesignOuterSize();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitDesignOuterSize();
  RunGuarded([this] { FormResize(this); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == BrowseFiles && event->type() == QEvent::Resize) BrowseDrives->SetTreeHeight(BrowseFiles->height());
  return QWidget::eventFilter(watched, event);
}

void TForm1::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColorToQColor(clBtnFace));
}

void TForm1::FormCreate(QObject*) {
  // The full path, however long: cutting it at the old 260-character limit would list a
  // different folder.
  BrowseFiles->SetDirectory(QDir::currentPath());
  BrowseFiles->UpdateFileList();
  BrowseDrives->OpenPath(BrowseFiles->Directory());
  BrowseDrives->SetTreeHeight(BrowseFiles->height());
  ImageBk->SetColor(ScrollBox->Color());
  BrowseFiles->SetMask(AllFiles->Checked() ? QString::fromLatin1(kAllFilesMask) : StartupMask());
  BrowseFiles->SetShowFolders(FolderMenu->Checked());
  // The keyboard starts in the list (taken when the window first becomes active).
  BrowseFiles->setFocus();
}

void TForm1::FormShow(QObject*) {
  // A mask saved by an earlier version, before its newer readers, lists them too.
  BrowseFiles->SetMask(UpgradedMask(BrowseFiles->Mask()));
  BrowseDrives->OpenPath(BrowseFiles->Directory());
}

void TForm1::FormResize(QObject*) { BrowseDrives->SetTreeHeight(BrowseFiles->height()); }

void TForm1::BrowseDrivesClick(QObject*) { BrowseDrives->SetTreeHeight(BrowseFiles->height()); }

void TForm1::BrowseFilesClick(QObject*) {
  if (!IsExistingFile(BrowseFiles->SelectedItem())) return;
  LoadPictureInBackground(BrowseFiles->SelectedItem());
}

void TForm1::FolderMenuClick(QObject*) {
  const bool show = !FolderMenu->Checked();
  BrowseFiles->SetShowFolders(show);
  FolderMenu->SetChecked(show);
  BrowseFiles->update();
}

void TForm1::AllFilesClick(QObject*) {
  const bool all = !AllFiles->Checked();
  BrowseFiles->SetMask(all ? QString::fromLatin1(kAllFilesMask) : PictureMask());
  AllFiles->SetChecked(all);
  BrowseFiles->update();
}

void TForm1::DefaultSettingsClick(QObject*) {
  // The browser's width first: a wider one than the design size has room for holds the
  // window at least that wide, and the resize below would stop there until the layout,
  // which otherwise learns of the new width only from a posted event, is worked out again.
  PanelLeft->SetWidth(kBrowserWidth);
  layout()->invalidate();
  layout()->activate();

  // The position stays the normal one. Leaving a maximised state is asynchronous under
  // a window manager, and until it is done the window's geometry is still the maximised
  // one, which a plain resize would send back as the position.
  const bool wasEnlarged = windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
  const QRect normal = normalGeometry();
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  if (wasEnlarged && normal.isValid()) {
    setGeometry(QRect(normal.topLeft(), ClientSizeFor(kDesignWidth, kDesignHeight)));
  } else {
    SetOuterSize(kDesignWidth, kDesignHeight);
  }

  PanelLeft->show();
  SplitterV->show();
  BrowseMenu->SetChecked(true);

  BrowseFiles->setFocus();

  BrowseFiles->SetMask(PictureMask());
  AllFiles->SetChecked(false);

  BrowseDrives->setFont(PanelLeft->font());
  BrowseFiles->setFont(PanelLeft->font());
  FontBrowse->SetFont(PanelLeft->font());

  BrowseDrives->SetTreeHeight(BrowseFiles->height());

  BrowseFiles->SetShowFolders(false);
  FolderMenu->SetChecked(false);

  ViewImage->SetAlign(TProImage::alClient);
  ViewImage->SetStretch(false);
  ViewImage->SetTiled(true);
  TileMenu->SetChecked(true);
  NormMenu->SetChecked(false);
  StretchMenu->SetChecked(false);

  ScrollBox->SetColor(clBtnFace);
  ResetView();
}

void TForm1::AboutVumoClick(QObject*) { AboutImage->Execute(); }

void TForm1::BrowseMenuClick(QObject*) {
  if (BrowseMenu->Checked()) {
    SplitterV->hide();
    PanelLeft->hide();
    BrowseMenu->SetChecked(false);
  } else {
    // The row keeps the panel before the splitter, so the splitter comes back at its right.
    PanelLeft->show();
    SplitterV->show();
    BrowseMenu->SetChecked(true);
  }
}

void TForm1::TileMenuClick(QObject*) {
  ViewImage->SetAlign(TProImage::alClient);
  ViewImage->SetStretch(false);
  ViewImage->SetTiled(true);
  NormMenu->SetChecked(false);
  StretchMenu->SetChecked(false);
  TileMenu->SetChecked(true);
}

void TForm1::NormMenuClick(QObject*) {
  ViewImage->SetAlign(TProImage::alNone);
  ViewImage->SetAutoSize(true);
  ViewImage->SetStretch(false);
  ViewImage->SetTiled(false);
  NormMenu->SetChecked(true);
  StretchMenu->SetChecked(false);
  TileMenu->SetChecked(false);
}

void TForm1::StretchMenuClick(QObject*) {
  ViewImage->SetAlign(TProImage::alClient);
  ViewImage->SetStretch(true);
  ViewImage->SetTiled(false);
  NormMenu->SetChecked(false);
  StretchMenu->SetChecked(true);
  TileMenu->SetChecked(false);
}

void TForm1::BackgroundClick(QObject*) {
  ImageBk->SetColor(ScrollBox->Color());
  if (ImageBk->Execute()) ScrollBox->SetColor(ImageBk->Color());
}

void TForm1::FontMenuBClick(QObject*) {
  if (FontBrowse->Execute()) BrowseDrives->setFont(FontBrowse->Font());
  BrowseDrives->SetTreeHeight(BrowseFiles->height());
  BrowseFiles->setFont(FontBrowse->Font());
}

}  // namespace vumo
