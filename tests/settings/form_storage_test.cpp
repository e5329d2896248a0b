// Form storage on a window built like the main window: what the first save writes, round
// trips into a fresh window, placement rules, and saves that fail without losing anything.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

#include "settings/font.h"
#include "settings/form_storage.h"
#include "support/test_support.h"

namespace vumo {

class FileListDouble : public QListView {
  Q_OBJECT
  Q_PROPERTY(QString Directory READ Directory WRITE SetDirectory)
  // The storage sees only the properties; plain members serve where no setter does more.
  Q_PROPERTY(QString Mask MEMBER mask)
  Q_PROPERTY(bool ShowFolders MEMBER showFolders)
 public:
  using QListView::QListView;
  QString Directory() const { return directory_; }
  void SetDirectory(const QString& value) {
    directory_ = value;
    ++directorySets;
  }
  int directorySets = 0;
  QString mask = "*.*";
  bool showFolders = false;

 private:
  QString directory_ = "Drives";
};

class ImageDouble : public QWidget {
  Q_OBJECT
 public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
  Q_ENUM(TAlign)

 private:
  Q_PROPERTY(TAlign Align MEMBER align)
  Q_PROPERTY(bool AutoSize MEMBER autoSize)
  Q_PROPERTY(bool Stretch MEMBER stretch)
  Q_PROPERTY(bool Tiled MEMBER tiled)

 public:
  using QWidget::QWidget;
  TAlign align = alClient;
  bool autoSize = true;
  bool stretch = false;
  bool tiled = true;
};

// A font dialog component: the font it will offer, as a published property.
class FontDialogDouble : public QObject {
  Q_OBJECT
  Q_PROPERTY(QFont Font MEMBER font)
 public:
  using QObject::QObject;
  QFont font;
};

class ScrollBoxDouble : public QScrollArea {
  Q_OBJECT
  Q_PROPERTY(int Color MEMBER color)
 public:
  using QScrollArea::QScrollArea;
  int color = settings::kButtonFaceColor;
};

// The main window's components under their names, with their design values.
class WindowDouble : public QMainWindow {
  Q_OBJECT
 public:
  WindowDouble() {
    setObjectName("Form1");
    setFont(TFont().ToQFont());
    auto* splitter = new QSplitter(this);
    splitter->setHandleWidth(2);
    setCentralWidget(splitter);
    panelLeft = new QWidget;
    panelLeft->setObjectName("PanelLeft");
    auto* layout = new QVBoxLayout(panelLeft);
    layout->setContentsMargins(0, 0, 0, 0);
    browseDrives = new QWidget;
    browseDrives->setObjectName("BrowseDrives");
    browseFiles = new FileListDouble;
    browseFiles->setObjectName("BrowseFiles");
    browseFiles->SetDirectory("/start/folder");
    browseFiles->mask = "*.jpg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif";
    layout->addWidget(browseDrives);
    layout->addWidget(browseFiles);
    scrollBox = new ScrollBoxDouble;
    scrollBox->setObjectName("ScrollBox");
    viewImage = new ImageDouble;
    viewImage->setObjectName("ViewImage");
    scrollBox->setWidget(viewImage);
    splitter->addWidget(panelLeft);
    splitter->addWidget(scrollBox);
    fontBrowse = new FontDialogDouble(this);
    fontBrowse->setObjectName("FontBrowse");
    fontBrowse->font = font();
    auto* fileMenu = new QMenu(this);
    folderMenu = Action(fileMenu, "FolderMenu", false);
    allFiles = Action(fileMenu, "AllFiles", false);
    auto* imageMenu = new QMenu(this);
    tileMenu = Action(imageMenu, "TileMenu", true);
    normMenu = Action(imageMenu, "NormMenu", false);
    stretchMenu = Action(imageMenu, "StretchMenu", false);
    move(218, 149);
    resize(600, 400);
    splitter->setSizes({240, 358});
  }

  static QAction* Action(QMenu* menu, const char* name, bool checked) {
    auto* action = menu->addAction(name);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
  }

  QWidget* panelLeft;
  QWidget* browseDrives;
  FileListDouble* browseFiles;
  ScrollBoxDouble* scrollBox;
  ImageDouble* viewImage;
  FontDialogDouble* fontBrowse;
  QAction* folderMenu;
  QAction* allFiles;
  QAction* tileMenu;
  QAction* normMenu;
  QAction* stretchMenu;
  bool refuseClose = false;
  QString directoryAtShow;

 protected:
  void showEvent(QShowEvent* event) override {
    directoryAtShow = browseFiles->Directory();
    QMainWindow::showEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (refuseClose) event->ignore();
  }
};

namespace {

// Frame position and client size: what the placement keeps of a normal window.
QRect Placed(const QWidget& window) { return QRect(window.pos(), window.size()); }

const QStringList kStoredProps = {
    "BrowseFiles.Directory", "PanelLeft.Width",    "BrowseDrives.Font",       "BrowseFiles.Font",
    "FontBrowse.Font",       "FolderMenu.Checked", "AllFiles.Checked",        "BrowseFiles.Mask",
    "BrowseFiles.ShowFolders", "ViewImage.Align",  "ViewImage.AutoSize",      "ViewImage.Stretch",
    "ViewImage.Tiled",       "TileMenu.Checked",   "NormMenu.Checked",        "StretchMenu.Checked",
    "ScrollBox.Color"};

class FormStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = QString::fromStdString(test::TempDir(std::string("form_") + info->name()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_));
    errors_.clear();
    TFormPlacement::SetErrorHandler([this](const std::exception& error) { errors_ << QString::fromLocal8Bit(error.what()); });
  }
  void TearDown() override {
    TFormPlacement::SetErrorHandler(nullptr);
    settings::ProfileFile::SetWriteFunction(nullptr);
  }

  QString IniPath() const { return dir_ + "/Vumo/Vumo.ini"; }
  QByteArray IniText() const {
    QFile file(IniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  }
  void PutIni(const QByteArray& text) const {
    QDir().mkpath(dir_ + "/Vumo");
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  std::unique_ptr<WindowDouble> NewWindow(TFormStorage** storage = nullptr) {
    auto window = std::make_unique<WindowDouble>();
    TFormStorage* attached = TFormStorage::Attach(window.get(), "Vumo.ini", "User", kStoredProps);
    if (storage) *storage = attached;
    return window;
  }
  // A window opened over settings the test wrote, as the program opens over what it saved.
  std::unique_ptr<WindowDouble> ShownOver(const QByteArray& ini) {
    PutIni(ini);
    auto window = NewWindow();
    window->show();
    return window;
  }

  static QString Suffix() {
    QSize size = QGuiApplication::primaryScreen()->geometry().size();
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
  }

  QString dir_;
  QStringList errors_;
};

TEST_F(FormStorageTest, FirstSaveWritesPlacementAndTheSeventeenProperties) {
  ASSERT_EQ(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY()), 96);
  auto window = NewWindow();
  window->show();
  // A maximised window's frame sits just off the screen: minus the frame's size.
  QPoint frame = window->geometry().topLeft() - window->pos();
  QString minMax = QStringLiteral("-1,-1,%1,%2").arg(-frame.x()).arg(-frame.y());
  window->close();
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
  QString font = "_FontCharset=1\n%1_FontColor=-2147483640\n%1_FontHeight=-11\n%1_FontName=MS Sans Serif\n"
                 "%1_FontPitch=fpDefault\n%1_FontSize=8\n%1_FontStyle=[]\n";
  QString expected = "[User]\nFormVersion=0\nFlags=0\nShowCmd=1\nPixelsPerInch=96\n"
                     "MinMaxPos" + Suffix() + "=" + minMax + "\nMinMaxPos=" + minMax + "\n"
                     "NormPos" + Suffix() + "=218,149,818,549\nNormPos=218,149,818,549\nVisible=0\n"
                     "BrowseFiles_Directory=/start/folder\nPanelLeft_Width=240\n"
                     "BrowseDrives" + font.arg("BrowseDrives") + "BrowseFiles" + font.arg("BrowseFiles") +
                     "FontBrowse" + font.arg("FontBrowse") +
                     "FolderMenu_Checked=False\nAllFiles_Checked=False\n"
                     "BrowseFiles_Mask=*.jpg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif\nBrowseFiles_ShowFolders=False\n"
                     "ViewImage_Align=alClient\nViewImage_AutoSize=True\nViewImage_Stretch=False\n"
                     "ViewImage_Tiled=True\nTileMenu_Checked=True\nNormMenu_Checked=False\n"
                     "StretchMenu_Checked=False\nScrollBox_Color=-2147483633\n";
  EXPECT_EQ(QString::fromUtf8(IniText()), expected);
}

TEST_F(FormStorageTest, RoundTripIntoAFreshWindow) {
  {
    auto window = NewWindow();
    window->show();
    window->browseFiles->SetDirectory("/home/user/textures");
    window->browseFiles->mask = "";
    window->browseFiles->showFolders = true;
    TFont big;
    big.SetName("DejaVu Sans");
    big.SetHeight(-16);
    big.SetStyle(TFont::fsBold | TFont::fsItalic);
    window->browseDrives->setFont(big.ToQFont());
    window->browseFiles->setFont(big.ToQFont());
    window->fontBrowse->font = big.ToQFont();
    window->folderMenu->setChecked(true);
    window->allFiles->setChecked(true);
    window->viewImage->align = ImageDouble::alNone;
    window->viewImage->autoSize = false;
    window->viewImage->stretch = true;
    window->viewImage->tiled = false;
    window->tileMenu->setChecked(false);
    window->normMenu->setChecked(true);
    window->stretchMenu->setChecked(true);
    window->scrollBox->color = 0x00123456;
    window->move(40, 50);
    window->resize(500, 350);
    qobject_cast<QSplitter*>(window->centralWidget())->setSizes({300, 198});
    window->close();
  }
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
  EXPECT_TRUE(IniText().contains("BrowseFiles_Mask=\n")) << IniText().toStdString();  // empty, but written

  auto window = NewWindow();
  window->show();
  EXPECT_EQ(window->directoryAtShow, "/home/user/textures");  // restored before the window's own show
  EXPECT_EQ(window->browseFiles->Directory(), "/home/user/textures");
  EXPECT_EQ(window->browseFiles->mask, "");
  EXPECT_TRUE(window->browseFiles->showFolders);
  EXPECT_EQ(window->panelLeft->width(), 300);
  for (QFont f : {window->browseDrives->font(), window->browseFiles->font(), window->fontBrowse->font}) {
    EXPECT_EQ(f.family(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 12.0);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.italic());
  }
  EXPECT_TRUE(window->folderMenu->isChecked());
  EXPECT_TRUE(window->allFiles->isChecked());
  EXPECT_EQ(window->viewImage->align, ImageDouble::alNone);
  EXPECT_FALSE(window->viewImage->autoSize);
  EXPECT_TRUE(window->viewImage->stretch);
  EXPECT_FALSE(window->viewImage->tiled);
  EXPECT_FALSE(window->tileMenu->isChecked());
  EXPECT_TRUE(window->normMenu->isChecked());
  EXPECT_TRUE(window->stretchMenu->isChecked());
  EXPECT_EQ(window->scrollBox->color, 0x00123456);
  EXPECT_EQ(window->pos(), QPoint(40, 50));
  EXPECT_EQ(window->size(), QSize(500, 350));
  EXPECT_EQ(window->windowState(), Qt::WindowNoState);
}

TEST_F(FormStorageTest, MaximisedWindowReopensMaximisedWithItsNormalRectangle) {
  {
    auto window = NewWindow();
    window->show();
    window->move(30, 40);
    window->resize(400, 300);
    window->showMaximized();
    window->close();
  }
  EXPECT_TRUE(IniText().contains("ShowCmd=3\n"));
  EXPECT_TRUE(IniText().contains("NormPos=30,40,430,340\n")) << IniText().toStdString();
  auto window = NewWindow();
  window->show();
  EXPECT_TRUE(window->isMaximized());
  EXPECT_EQ(window->normalGeometry().size(), QSize(400, 300));
  window->showNormal();
  EXPECT_EQ(Placed(*window), QRect(30, 40, 400, 300));
}

TEST_F(FormStorageTest, MinimisedWindowReopensMinimised) {
  auto window = ShownOver("[User]\nShowCmd=2\nNormPos=10,10,510,410\nPixelsPerInch=96\n");
  EXPECT_TRUE(window->windowState() & Qt::WindowMinimized);
  window->close();
  EXPECT_TRUE(IniText().contains("ShowCmd=2\n"));
}

TEST_F(FormStorageTest, PositionFromAnotherScreenSizeUsesThePlainKey) {
  auto window = ShownOver("[User]\nPixelsPerInch=96\nNormPos(1x1)=1,1,101,101\nNormPos=30,40,530,440\n");
  EXPECT_EQ(Placed(*window), QRect(30, 40, 500, 400));
}

TEST_F(FormStorageTest, PositionForThisScreenSizeWinsOverThePlainKey) {
  auto window = ShownOver("[User]\nNormPos" + Suffix().toUtf8() + "=5,6,305,206\nNormPos=30,40,530,440\n");
  EXPECT_EQ(Placed(*window), QRect(5, 6, 300, 200));
}

TEST_F(FormStorageTest, PositionFromAnotherPixelDensityIsIgnoredButTheStateIsNot) {
  auto window = ShownOver("[User]\nPixelsPerInch=120\nShowCmd=3\nNormPos=30,40,530,440\n");
  EXPECT_TRUE(window->isMaximized());
  window->showNormal();
  EXPECT_EQ(window->pos(), QPoint(218, 149));
  EXPECT_EQ(window->size(), QSize(600, 400));
}

TEST_F(FormStorageTest, NormalPositionWithTwoNumbersKeepsTheSize) {
  auto window = ShownOver("[User]\nNormPos=10 , 20\n");
  EXPECT_EQ(Placed(*window), QRect(10, 20, 600, 400));
}

TEST_F(FormStorageTest, OlderFormVersionRestoresNothingAndIsOverwritten) {
  PutIni("[User]\nFormVersion=1\nPanelLeft_Width=100\nViewImage_Tiled=False\nNormPos=1,2,301,202\n");
  TFormStorage* storage = nullptr;
  auto window = NewWindow(&storage);
  storage->SetVersion(2);
  int restores = 0;
  storage->OnRestorePlacement = [&](void*) { ++restores; };
  window->show();
  EXPECT_EQ(restores, 0);
  EXPECT_EQ(window->panelLeft->width(), 240);
  EXPECT_TRUE(window->viewImage->tiled);
  EXPECT_EQ(window->pos(), QPoint(218, 149));
  window->close();
  EXPECT_TRUE(IniText().contains("FormVersion=2\n"));
  EXPECT_TRUE(IniText().contains("PanelLeft_Width=240\n"));
  EXPECT_TRUE(IniText().contains("ViewImage_Tiled=True\n"));
}

TEST_F(FormStorageTest, WindowClosedBeforeItWasShownWritesNothing) {
  {
    auto window = NewWindow();
    window->close();
  }
  EXPECT_FALSE(QFile::exists(IniPath()));
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FormStorageTest, RefusedCloseSavesNothingAndDestructionSaves) {
  {
    auto window = NewWindow();
    window->show();
    window->refuseClose = true;
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(QFile::exists(IniPath()));
    window->panelLeft->setFixedWidth(200);
  }
  // Destroyed without a close: the save runs from the destruction, components still alive.
  EXPECT_TRUE(IniText().contains("Visible=1\n"));
  EXPECT_TRUE(IniText().contains("PanelLeft_Width=200\n"));
}

TEST_F(FormStorageTest, FailedSaveKeepsTheOldFileAndReportsTheMessage) {
  PutIni("[User]\nPanelLeft_Width=250\n");
  settings::ProfileFile::SetWriteFunction([](int, const void*, std::size_t size) {
    return static_cast<ssize_t>(size > 1 ? size - 1 : 0);
  });
  {
    auto window = NewWindow();
    window->show();
    EXPECT_EQ(window->panelLeft->width(), 250);
    window->close();
    EXPECT_FALSE(window->isVisible());  // the window closes regardless
  }
  ASSERT_EQ(errors_.size(), 1);  // and the destruction does not report it again
  EXPECT_EQ(errors_[0], "Unable to write to " + IniPath());
  EXPECT_EQ(IniText(), "[User]\nPanelLeft_Width=250\n");
  EXPECT_EQ(QDir(dir_ + "/Vumo").entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(FormStorageTest, AnUnreadableFileIsSetAsideOnceAndTheSettingsAreSavedAgain) {
  {
    auto window = ShownOver("[User]\nPanelLeft_Width=250\n" + QByteArray(int(settings::kMaxProfileFileSize), ';'));
    EXPECT_NE(window->panelLeft->width(), 250);  // not read
    window->close();
  }
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_[0].contains(IniPath() + ".bad")) << errors_[0].toStdString();
  EXPECT_GT(QFileInfo(IniPath() + ".bad").size(), settings::kMaxProfileFileSize);
  EXPECT_TRUE(IniText().startsWith("[User]\nFormVersion=0\n")) << IniText().left(200).toStdString();
  EXPECT_TRUE(IniText().contains("\nPanelLeft_Width=240\n"));
  {
    auto window = NewWindow();
    window->show();
    window->close();
  }
  EXPECT_EQ(errors_.size(), 1);  // said once
}

TEST_F(FormStorageTest, SaveIntoAFolderThatCannotExistIsReported) {
  QFile blocker(dir_ + "/blocker");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  auto window = std::make_unique<WindowDouble>();
  TFormStorage::Attach(window.get(), dir_ + "/blocker/Vumo.ini", "User", kStoredProps);
  window->show();
  window->close();
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_EQ(errors_[0], "Unable to write to " + dir_ + "/blocker/Vumo.ini");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(FormStorageTest, DamagedValuesGiveTheDesignValues) {
  auto window = ShownOver("[User]\nFormVersion=zz\nShowCmd=banana\nNormPos=a,b,c,d\nMinMaxPos=\xff\xfe\n"
                          "ViewImage_Align=alSideways\nViewImage_Tiled=maybe\nBrowseFiles_ShowFolders=\n"
                          "BrowseDrives_FontHeight=-99999999999\nBrowseDrives_FontStyle=[fsWobbly]\n"
                          "BrowseDrives_FontPitch=fpNone\nTileMenu_Checked=2\nBrowseFiles_Directory=" +
                          QByteArray(50000, 'd') + "\nScrollBox_Col");
  EXPECT_EQ(window->viewImage->align, ImageDouble::alClient);
  EXPECT_TRUE(window->viewImage->tiled);
  EXPECT_FALSE(window->browseFiles->showFolders);
  EXPECT_TRUE(window->tileMenu->isChecked());
  EXPECT_EQ(window->scrollBox->color, settings::kButtonFaceColor);
  EXPECT_EQ(Placed(*window), QRect(218, 149, 600, 400));
  EXPECT_EQ(window->windowState(), Qt::WindowNoState);
  EXPECT_EQ(window->browseFiles->Directory().size(), 2047);
  EXPECT_FALSE(window->browseDrives->font().bold());
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FormStorageTest, BinaryGarbageAndAbsurdGeometry) {
  QByteArray garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131 + 7) & 0xFF);
  auto window = ShownOver(garbage + "\n[User]\nNormPos=-2147483648,-2147483648,2147483647,2147483647\n"
                          "PixelsPerInch=96\n" + garbage);
  QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
  EXPECT_LE(window->width(), std::max(desktop.width(), 600));
  EXPECT_LE(window->height(), std::max(desktop.height(), 400));
  window->close();
  EXPECT_TRUE(errors_.isEmpty());
  EXPECT_TRUE(IniText().startsWith(garbage));  // what was not ours stays as it was
}

TEST_F(FormStorageTest, PositionOnNoScreenIsNotApplied) {
  auto window = ShownOver("[User]\nNormPos=50000,50000,50400,50300\n");
  EXPECT_EQ(window->pos(), QPoint(218, 149));
  EXPECT_EQ(window->size(), QSize(400, 300));
}

TEST_F(FormStorageTest, StoredListIsResolvedAgainstTheWindow) {
  TFormStorage* storage = nullptr;
  auto window = NewWindow(&storage);
  storage->SetStoredProps({" ViewImage . Tiled ", "NoPoint", "Missing.Width", ".Width", "TileMenu.Checked"});
  storage->Loaded();
  EXPECT_EQ(storage->StoredProps(), QStringList({" ViewImage . Tiled ", "TileMenu.Checked"}));
  delete window->tileMenu;
  EXPECT_EQ(storage->StoredProps(), QStringList({" ViewImage . Tiled "}));
  window->show();
  window->close();
  EXPECT_TRUE(IniText().contains("ViewImage_Tiled=True\n"));
  EXPECT_FALSE(IniText().contains("TileMenu"));
  EXPECT_EQ(storage->StoredProps(), QStringList({"ViewImage.Tiled"}));
}

TEST_F(FormStorageTest, StoredValuesAreScrambledAndEventsRaised) {
  TFormStorage* storage = nullptr;
  {
    auto window = NewWindow(&storage);
    storage->StoredValues()->AddValue("Plain", 42);
    TStoredValue* secret = storage->StoredValues()->AddValue("Secret", "pass word");
    secret->SetKeyString("k3y");
    EXPECT_THROW(storage->StoredValues()->AddValue("SECRET"), Exception);
    EXPECT_EQ(storage->StoredValues()->Count(), 2);
    int saves = 0;
    storage->OnSavePlacement = [&](void* sender) {
      EXPECT_EQ(sender, storage);
      ++saves;
    };
    secret->OnSave = [](TStoredValue*, QVariant& value) { value = value.toString() + "!"; };
    window->show();
    window->close();
    EXPECT_EQ(saves, 1);
  }
  EXPECT_TRUE(IniText().contains("Plain=42\n"));
  EXPECT_TRUE(IniText().contains("Secret=" + TFormStorage::XorEncode("k3y", "pass word!").toUtf8() + "\n"));
  EXPECT_FALSE(IniText().contains("pass word"));

  auto window = NewWindow(&storage);
  TStoredValue* plain = storage->StoredValues()->AddValue("plain", 0);
  TStoredValue* secret = storage->StoredValues()->AddValue("Secret", "");
  secret->SetKeyString("k3y");
  int restores = 0;
  storage->OnRestorePlacement = [&](void*) { ++restores; };
  window->show();
  EXPECT_EQ(restores, 1);
  EXPECT_EQ(plain->Value(), QVariant(QString("42")));
  EXPECT_EQ(secret->Value(), QVariant(QString("pass word!")));
}

TEST_F(FormStorageTest, ActiveControlIsKeptOnlyWhenAsked) {
  {
    TFormStorage* storage = nullptr;
    auto window = NewWindow(&storage);
    storage->SetOptions(storage->Options() | TFormPlacement::fpActiveControl);
    window->show();
    window->browseFiles->setFocus();
    window->close();
  }
  EXPECT_TRUE(IniText().endsWith("ScrollBox_Color=-2147483633\n"));
  EXPECT_TRUE(IniText().contains("Visible=0\nActiveControl=BrowseFiles\nBrowseFiles_Directory="));
  TFormStorage* storage = nullptr;
  auto window = NewWindow(&storage);
  storage->SetOptions(storage->Options() | TFormPlacement::fpActiveControl);
  window->show();
  EXPECT_EQ(window->focusWidget(), window->browseFiles);
}

TEST_F(FormStorageTest, DefaultNamesAndSingleValues) {
  WindowDouble window;
  auto* storage = new TFormStorage(&window);
  EXPECT_EQ(storage->SectionName(), "WindowDouble");
  QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  EXPECT_EQ(storage->FileName(), program + ".INI");
  storage->SetIniFileName("Vumo.ini");
  storage->SetIniSection("User");
  storage->WriteInteger("Answer", 42);
  storage->WriteString("Text", "'quoted'");
  EXPECT_EQ(IniText(), "[User]\nAnswer=42\nText=\"'quoted'\"\n");
  EXPECT_EQ(storage->ReadInteger("answer", 0), 42);
  EXPECT_EQ(storage->ReadString("TEXT", ""), "'quoted'");
  storage->EraseSections();
  EXPECT_EQ(IniText(), "");
  EXPECT_EQ(storage->ReadInteger("Answer", 7), 7);
}

TEST(Scrambling, XorWithTheKeyAsHexDigits) {
  EXPECT_EQ(TFormStorage::XorEncode("k", "A"), "2a");
  EXPECT_EQ(TFormStorage::XorDecode("k", "2a"), "A");
  EXPECT_EQ(TFormStorage::XorDecode("k", "zz"), "K");  // a pair that is no hex is a blank
  EXPECT_EQ(TFormStorage::XorDecode("ab", TFormStorage::XorEncode("ab", "long text")), "long text");
  EXPECT_EQ(TFormStorage::XorDecode("k", "2"), "");
}

}  // namespace
}  // namespace vumo

#include "form_storage_test.moc"
