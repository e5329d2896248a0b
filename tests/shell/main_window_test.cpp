// The main window: design values, menus and their marks, the hidden shortcuts from every
// focused child, the display modes, the browser toggle, Default Settings, the background
// colour, loading pictures and the default error handler.
#include <gtest/gtest.h>

#include <QColorDialog>
#include <QDir>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include <fstream>

#include "formats/graphic.h"
#include "shell/application.h"
#include "shell/main_window.h"
#include "shell_test_util.h"
#include "window_fixture.h"
#include "support/hostile_files.h"
#include "support/test_support.h"
#include "support/wait_until.h"

namespace vumo {
namespace {

using test::OnNextModal;
using test::PositionBitmap;

class MainWindow : public test::TWindowTest {
 protected:
  void Press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    target->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(target, key, modifiers);
  }

  bool TiledMode() const {
    return form->ViewImage->Tiled() && !form->ViewImage->Stretch() && form->ViewImage->Align() == TProImage::alClient &&
           form->TileMenu->Checked() && !form->NormMenu->Checked() && !form->StretchMenu->Checked();
  }
  bool NormalMode() const {
    return !form->ViewImage->Tiled() && !form->ViewImage->Stretch() && form->ViewImage->Align() == TProImage::alNone &&
           form->ViewImage->AutoSize() && !form->TileMenu->Checked() && form->NormMenu->Checked() &&
           !form->StretchMenu->Checked();
  }
  bool StretchedMode() const {
    return !form->ViewImage->Tiled() && form->ViewImage->Stretch() && form->ViewImage->Align() == TProImage::alClient &&
           !form->TileMenu->Checked() && !form->NormMenu->Checked() && form->StretchMenu->Checked();
  }

};

TEST_F(MainWindow, StartsWithItsDesignValues) {
  EXPECT_EQ(form->windowTitle(), "Vumo");
  EXPECT_EQ(form->pos(), QPoint(218, 149));
  EXPECT_EQ(form->frameGeometry().size(), QSize(600, 400));
  EXPECT_FALSE(form->windowIcon().isNull());
  for (const char* name : {"BrowseFiles", "BrowseDrives", "PanelLeft", "SplitterV", "PanelDiv", "PanelTop", "ScrollBox",
                           "ViewImage", "FontBrowse", "AboutImage", "ImageBk", "FileMenu", "ImageMenu", "FormMenu",
                           "FolderMenu", "AllFiles", "DefaultSettings", "AboutVumo", "BrowseMenu", "TileMenu",
                           "NormMenu", "StretchMenu", "Background", "FMBrowseMenu", "FMTileMenu", "FMNormMenu",
                           "FMStretchMenu", "FMFolderMenu", "FMAllFiles", "FMDefault"})
    EXPECT_NE(form->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;

  EXPECT_EQ(form->PanelLeft->width(), 240);
  EXPECT_EQ(form->SplitterV->width(), 2);
  EXPECT_EQ(form->SplitterV->x(), form->PanelLeft->geometry().right() + 1);
  EXPECT_EQ(form->PanelTop->height(), 2);
  EXPECT_EQ(form->PanelTop->width(), form->width());
  EXPECT_EQ(form->PanelDiv->height(), 2);
  EXPECT_EQ(form->BrowseDrives->height(), 21);
  EXPECT_EQ(form->ScrollBox->x(), form->SplitterV->geometry().right() + 1);
  EXPECT_EQ(form->ScrollBox->geometry().right(), form->width() - 1);
  // The opened tree covers the list exactly, from the first drop on and after a resize.
  EXPECT_EQ(form->BrowseDrives->TreeHeight(), form->BrowseFiles->height());
  form->resize(form->width(), form->height() + 37);
  // The list fills what is left below the drop-down and the filter box.
  const QWidget* filter = form->findChild<QWidget*>(QStringLiteral("BrowseFilesFilter"));
  ASSERT_NE(filter, nullptr);
  WAIT_EQ(form->BrowseFiles->height(), form->height() - 2 - 21 - 2 - filter->height());
  EXPECT_EQ(form->BrowseDrives->TreeHeight(), form->BrowseFiles->height());

  // The start-up handler: the working directory, the start-up mask, folders off.
  EXPECT_TRUE(form->BrowseFiles->Directory().startsWith(QDir::currentPath())) << form->BrowseFiles->Directory().toStdString();
  EXPECT_EQ(form->BrowseFiles->Mask(), StartupMask());
  EXPECT_FALSE(form->BrowseFiles->ShowFolders());

  // The list's own design values.
  EXPECT_EQ(form->BrowseFiles->ViewStyle(), TFileListView::vsList);
  EXPECT_FALSE(form->BrowseFiles->ShowColumnHeaders());
  EXPECT_EQ(form->BrowseFiles->ColWidth_Name(), 150);
  EXPECT_EQ(form->BrowseFiles->ColWidth_Size(), 0);
  EXPECT_EQ(form->BrowseFiles->ColWidth_Attr(), 0);
  EXPECT_FALSE(form->BrowseFiles->PopUpMenuEnabled());
  EXPECT_FALSE(form->BrowseFiles->DblClickToOpen());
  EXPECT_FALSE(form->BrowseFiles->MultiSelect());
  EXPECT_EQ(form->BrowseFiles->ParentDirCaption(), " Parent");

  EXPECT_TRUE(TiledMode());
  EXPECT_TRUE(form->ViewImage->AutoSize());
  EXPECT_EQ(form->ViewImage->size(), form->ScrollBox->viewport()->size());
  EXPECT_EQ(form->ScrollBox->property("Color").toInt(), -2147483633);
  EXPECT_EQ(form->ImageBk->Color(), clBtnFace);
  EXPECT_EQ(form->AboutImage->Caption(), "About ...");
  EXPECT_TRUE(form->AboutImage->Modal());
}

TEST_F(MainWindow, MenusHaveTheirCaptionsVisibilityAndMarks) {
  auto captions = [](QMenu* menu) {
    QStringList list;
    for (QAction* action : menu->actions()) list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
  };
  EXPECT_EQ(captions(form->FileMenu),
            QStringList({"Show Folders", "View All Files (*.*)", "-", "Default Settings", "-", "About Vumo ...", "-",
                         "Columns"}));
  EXPECT_EQ(captions(form->ImageMenu),
            QStringList({"View Browser", "-", "View Tiled", "View Normal", "View Stretched", "-", "Background ...", "-",
                         "Zoom", "Half Offset", "Channel", "Transparency", "Image", "Exposure", "Copy Pixel Value"}));
  EXPECT_TRUE(form->FormMenu->actions().isEmpty());
  EXPECT_FALSE(form->AllFiles->isVisible());
  EXPECT_TRUE(form->FolderMenu->isVisible());
  EXPECT_FALSE(form->FolderMenu->Checked());
  EXPECT_FALSE(form->AllFiles->Checked());
  EXPECT_TRUE(form->BrowseMenu->Checked());
  EXPECT_TRUE(form->FMTileMenu->Checked());
  EXPECT_EQ(form->FMBrowseMenu->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
  EXPECT_EQ(form->FMDefault->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
  EXPECT_TRUE(form->actions().contains(form->FMAllFiles));
  // The settings layer reads and writes the marks by the name "Checked".
  EXPECT_TRUE(form->NormMenu->setProperty("Checked", true));
  EXPECT_TRUE(form->NormMenu->Checked());
  EXPECT_TRUE(form->NormMenu->isChecked());
}

TEST_F(MainWindow, ShortcutsWorkFromEveryFocusedChild) {
  QWidget* dropDownEdit = form->BrowseDrives->findChild<QLineEdit*>();
  form->ScrollBox->setFocusPolicy(Qt::StrongFocus);
  std::vector<QWidget*> targets = {form->BrowseFiles, form->ScrollBox};
  if (dropDownEdit) targets.push_back(dropDownEdit);
  for (QWidget* target : targets) {
    SCOPED_TRACE(target->metaObject()->className());
    Press(target, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(NormalMode());
    Press(target, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(StretchedMode());
    Press(target, Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(TiledMode());
    Press(target, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(form->BrowseFiles->ShowFolders());
    EXPECT_TRUE(form->FolderMenu->Checked());
    Press(target, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(form->BrowseFiles->ShowFolders());
    Press(target, Qt::Key_B, Qt::ControlModifier);
    EXPECT_FALSE(form->PanelLeft->isVisible());
    EXPECT_FALSE(form->BrowseMenu->Checked());
    form->BrowseMenuClick(form->BrowseMenu);  // the list must be visible to take the focus again
  }
  // The marks of the hidden items are never touched.
  EXPECT_TRUE(form->FMTileMenu->Checked());
  EXPECT_FALSE(form->FMNormMenu->Checked());
  EXPECT_FALSE(form->FMFolderMenu->Checked());
}

TEST_F(MainWindow, AllFilesTwiceGivesThePictureMaskWithJpeg) {
  Press(form->BrowseFiles, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(form->BrowseFiles->Mask(), "*.*");
  EXPECT_TRUE(form->AllFiles->Checked());
  Press(form->BrowseFiles, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_TRUE(form->BrowseFiles->Mask().startsWith("*.jpg;*.jpeg;*.psd;*.psp;*.bmp;*.png;*.tga;*.tif;"));
  EXPECT_EQ(form->BrowseFiles->Mask(), PictureMask());
  EXPECT_FALSE(form->AllFiles->Checked());
}

TEST_F(MainWindow, MenuCommandsSetTheModeAndTheRadioMarks) {
  form->NormMenu->trigger();
  EXPECT_TRUE(NormalMode());
  form->StretchMenu->trigger();
  EXPECT_TRUE(StretchedMode());
  form->StretchMenu->trigger();  // choosing the checked mode again keeps it checked
  EXPECT_TRUE(StretchedMode());
  EXPECT_TRUE(form->StretchMenu->isChecked());
  form->TileMenu->trigger();
  EXPECT_TRUE(TiledMode());
  form->FolderMenu->trigger();
  EXPECT_TRUE(form->FolderMenu->Checked());
  EXPECT_TRUE(form->FolderMenu->isChecked());
  EXPECT_TRUE(form->BrowseFiles->ShowFolders());
}

TEST_F(MainWindow, AutoSizeIsLeftAloneByTheTiledAndStretchedModes) {
  form->ViewImage->SetAutoSize(false);
  form->TileMenuClick(form->TileMenu);
  form->StretchMenuClick(form->StretchMenu);
  EXPECT_FALSE(form->ViewImage->AutoSize());
  form->NormMenuClick(form->NormMenu);
  EXPECT_TRUE(form->ViewImage->AutoSize());
}

TEST_F(MainWindow, BrowserToggleKeepsThePanelWidthAndPutsTheSplitterRightOfIt) {
  form->PanelLeft->SetWidth(180);
  QCoreApplication::processEvents();
  form->BrowseMenuClick(form->BrowseMenu);
  QCoreApplication::processEvents();
  EXPECT_FALSE(form->PanelLeft->isVisible());
  EXPECT_FALSE(form->SplitterV->isVisible());
  EXPECT_EQ(form->ScrollBox->x(), 0);
  EXPECT_EQ(form->ScrollBox->width(), form->width());

  form->BrowseMenuClick(form->BrowseMenu);
  QCoreApplication::processEvents();
  EXPECT_TRUE(form->PanelLeft->isVisible());
  EXPECT_TRUE(form->SplitterV->isVisible());
  EXPECT_TRUE(form->BrowseMenu->Checked());
  EXPECT_EQ(form->PanelLeft->width(), 180);
  EXPECT_EQ(form->SplitterV->x(), form->PanelLeft->geometry().right() + 1);
  EXPECT_EQ(form->ScrollBox->x(), form->SplitterV->geometry().right() + 1);
}

TEST_F(MainWindow, SplitterDragChangesThePanelWidth) {
  const QPoint grab(1, form->SplitterV->height() / 2);
  QTest::mousePress(form->SplitterV, Qt::LeftButton, {}, grab);
  QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(-40, 0)), form->SplitterV->mapToGlobal(QPointF(grab + QPoint(-40, 0))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->SplitterV, &move);
  QTest::mouseRelease(form->SplitterV, Qt::LeftButton, {}, grab + QPoint(-40, 0));
  EXPECT_EQ(form->PanelLeft->width(), 200);
  EXPECT_EQ(form->PanelLeft->property("Width").toInt(), 200);
}

TEST_F(MainWindow, DefaultSettingsAfterMaximisingRestoresTheLayout) {
  form->ViewImage->SetAutoSize(false);
  form->BrowseMenuClick(form->BrowseMenu);
  form->NormMenuClick(form->NormMenu);
  form->ViewImage->SetAutoSize(false);
  form->AllFilesClick(form->AllFiles);
  form->FolderMenuClick(form->FolderMenu);
  form->ScrollBox->SetColor(0x00FF00);
  form->showMaximized();
  WAIT_UNTIL(form->isMaximized());

  form->DefaultSettingsClick(form->DefaultSettings);
  WAIT_UNTIL(!form->isMaximized());
  WAIT_EQ(form->frameGeometry().size(), QSize(600, 400));
  EXPECT_EQ(form->pos(), QPoint(218, 149));
  EXPECT_TRUE(form->PanelLeft->isVisible());
  EXPECT_EQ(form->PanelLeft->width(), 240);
  EXPECT_TRUE(form->SplitterV->isVisible());
  EXPECT_TRUE(form->BrowseMenu->Checked());
  EXPECT_TRUE(form->BrowseFiles->hasFocus());
  EXPECT_EQ(form->BrowseFiles->Mask(), PictureMask());
  EXPECT_FALSE(form->AllFiles->Checked());
  EXPECT_FALSE(form->BrowseFiles->ShowFolders());
  EXPECT_FALSE(form->FolderMenu->Checked());
  EXPECT_TRUE(TiledMode());
  EXPECT_FALSE(form->ViewImage->AutoSize());
  EXPECT_EQ(form->ScrollBox->Color(), clBtnFace);
  EXPECT_EQ(form->BrowseFiles->font(), form->PanelLeft->font());
  EXPECT_EQ(form->FontBrowse->Font(), form->PanelLeft->font());
}

TEST_F(MainWindow, NormalModeShowsThePictureAtTheTopLeftWithScrollBarsWhenLarger) {
  form->NormMenuClick(form->NormMenu);
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(1000, 900));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->ViewImage->geometry(), QRect(0, 0, 1000, 900));
  EXPECT_TRUE(form->ScrollBox->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(form->ScrollBox->verticalScrollBar()->isVisible());
  EXPECT_GT(form->ScrollBox->horizontalScrollBar()->maximum(), 0);

  // A small picture: no scroll bars, and the box's colour shows around it.
  form->ScrollBox->SetColor(0x0000FF);  // $00BBGGRR: red
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(30, 20));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->ViewImage->geometry(), QRect(0, 0, 30, 20));
  EXPECT_FALSE(form->ScrollBox->horizontalScrollBar()->isVisible());
  const QImage shown = test::Grab(*form->ScrollBox->viewport());
  EXPECT_EQ(test::Rgb(shown, 5, 5), (5u << 16) | (5u << 8) | 0x80u);
  EXPECT_EQ(test::Rgb(shown, 100, 100), 0xFF0000u);

  // Back to tiled: the control covers the visible area again, without scroll bars.
  test::SetPicture(*form->ViewImage->Picture(), PositionBitmap(1000, 900));
  form->TileMenuClick(form->TileMenu);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->ViewImage->size(), form->ScrollBox->viewport()->size());
  EXPECT_FALSE(form->ScrollBox->horizontalScrollBar()->isVisible());
}

TEST_F(MainWindow, BackgroundTakesTheChosenColourAndACancelChangesNothing) {
  // The next colour dialog gets the colour set and is then accepted or cancelled.
  const auto answerColour = [](QColor colour, bool accept) {
    OnNextModal([=](QWidget* modal) {
      auto* dialog = qobject_cast<QColorDialog*>(modal);
      ASSERT_NE(dialog, nullptr);
      dialog->setCurrentColor(colour);
      accept ? dialog->accept() : dialog->reject();
    });
  };
  answerColour(QColor(0x10, 0x20, 0x30), true);
  form->BackgroundClick(form->Background);
  EXPECT_EQ(form->ScrollBox->Color(), 0x302010);

  answerColour(QColor(0xFF, 0xFF, 0xFF), false);
  form->BackgroundClick(form->Background);
  EXPECT_EQ(form->ScrollBox->Color(), 0x302010);
}

TEST_F(MainWindow, LoadingAPictureAndFailingToKeepsTheOldOne) {
  const std::string samples = std::string(VUMO_SOURCE_DIR) + "/data/samples/";
  form->LoadPicture(QString::fromStdString(samples + "bricks.bmp"));
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);
  try {
    form->LoadPicture(QString::fromStdString(samples + "../vumo.qrc"));
    FAIL() << "an unknown extension must raise";
  } catch (const EInvalidGraphic& error) {
    EXPECT_STREQ(error.what(), "Unknown picture file extension (.qrc)");
  }
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);
}

TEST_F(MainWindow, APictureTooLargeForItsFileOpensOnlyAfterAYes) {
  const std::string samples = std::string(VUMO_SOURCE_DIR) + "/data/samples/";
  form->LoadPicture(QString::fromStdString(samples + "bricks.bmp"));
  const std::string dir = test::TempDir("shell_bomb");
  // 16384 x 16384 from a hundred bytes whose data, a zlib header alone, holds no row.
  const std::vector<std::uint8_t> bomb = test::HostilePng(16384, 16384, 8, 0, false, {0x78, 0x9C});
  std::ofstream(dir + "/bomb.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(bomb.data()), static_cast<std::streamsize>(bomb.size()));
  const QString path = QString::fromStdString(dir + "/bomb.png");

  QString question;
  auto answer = [&](QMessageBox::StandardButton button) {
    OnNextModal([&question, button](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      question = box->text();
      box->button(button)->click();
    });
  };
  answer(QMessageBox::No);
  form->LoadPicture(path);
  EXPECT_TRUE(question.contains("too large for its file")) << question.toStdString();
  EXPECT_TRUE(question.contains("16384 x 16384")) << question.toStdString();
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);

  // Yes loads the file as it is: here it ends before its first row, and the old picture stays.
  question.clear();
  answer(QMessageBox::Yes);
  EXPECT_THROW(form->LoadPicture(path), EReadError);
  EXPECT_FALSE(question.isEmpty());
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 128);
  EXPECT_TRUE(form->ViewImage->Picture()->RefuseTooLargeForFile);
}

TEST_F(MainWindow, ClicksOnEntriesThatAreNotRegularFilesLoadNothing) {
  const QString dir = QString::fromStdString(test::TempDir("shell_clicks"));
  const QString samples = QStringLiteral(VUMO_SOURCE_DIR "/data/samples");
  form->BrowseFiles->SetSelectedItem(samples + "/bricks.bmp");
  form->BrowseFilesClick(form->BrowseFiles);
  WaitForLoad();
  ASSERT_EQ(form->ViewImage->Picture()->Width(), 128);

  ASSERT_TRUE(QDir(dir).mkdir("folder.bmp"));
  ASSERT_EQ(mkfifo(QFile::encodeName(dir + "/pipe.bmp").constData(), 0600), 0);
  for (const QString& entry : {dir + "/folder.bmp", dir + "/pipe.bmp", dir + "/gone.bmp", QString(), QStringLiteral("Drives")}) {
    form->BrowseFiles->SetSelectedItem(entry);
    form->BrowseFilesClick(form->BrowseFiles);  // a pipe would block a reader for ever
    EXPECT_FALSE(form->Loading()) << entry.toStdString();
    EXPECT_EQ(form->ViewImage->Picture()->Width(), 128) << entry.toStdString();
  }
  form->BrowseFiles->SetSelectedItem(samples + "/marble.bmp");
  form->BrowseFilesClick(form->BrowseFiles);
  WaitForLoad();
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 96);
}

TEST_F(MainWindow, CommandLineOpensAFolderOrAFileInItsFolder) {
  const QString samples = QDir(QStringLiteral(VUMO_SOURCE_DIR "/data/samples")).absolutePath();
  form->OpenFromCommandLine(samples + "/marble.bmp");
  EXPECT_TRUE(form->BrowseFiles->Directory().startsWith(samples));
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 96);
  form->OpenFromCommandLine(QDir::tempPath());
  EXPECT_TRUE(form->BrowseFiles->Directory().startsWith(QDir::tempPath()));
  EXPECT_EQ(form->ViewImage->Picture()->Width(), 96);
  EXPECT_THROW(form->OpenFromCommandLine(samples + "/no such file.bmp"), Exception);
}

TEST_F(MainWindow, TheKeyboardStartsInTheListAndTheDropDownTakesNoFocus) {
  EXPECT_EQ(QApplication::focusWidget(), form->BrowseFiles);
  EXPECT_EQ(form->BrowseDrives->focusPolicy(), Qt::NoFocus);
  for (QWidget* child : form->BrowseDrives->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible()) continue;
    EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->metaObject()->className();
  }
  // A click on the drop-down's text leaves the focus where it was.
  auto* edit = form->BrowseDrives->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  QTest::mouseClick(edit, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), form->BrowseFiles);
  // Tabbing round the window never lands in it.
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_FALSE(form->BrowseDrives->isAncestorOf(QApplication::focusWidget()));
  }
}

TEST_F(MainWindow, CommandLineFileIsTheSelectedEntrySoDownGoesToTheNext) {
  const QString samples = QDir(QStringLiteral(VUMO_SOURCE_DIR "/data/samples")).absolutePath();
  form->OpenFromCommandLine(samples + "/marble.bmp");
  EXPECT_EQ(form->BrowseFiles->SelectedItem(), samples + "/marble.bmp");
  const int row = form->BrowseFiles->SelectedIndex();
  ASSERT_GE(row, 0);
  ASSERT_LT(row + 1, int(form->BrowseFiles->Items().size()));
  EXPECT_EQ(form->BrowseFiles->Items()[std::size_t(row)].Caption, "marble.bmp");
  form->BrowseFiles->setFocus();
  QTest::keyClick(form->BrowseFiles, Qt::Key_Down);
  EXPECT_EQ(form->BrowseFiles->SelectedItem(), form->BrowseFiles->Items()[std::size_t(row + 1)].SubItems[kSubPath]);
  WaitForLoad();
  EXPECT_EQ(form->ShownFile(), form->BrowseFiles->SelectedItem());
}

TEST_F(MainWindow, EverySamplePictureIsListedAndOldBuiltInMasksCountAsTheNewOnes) {
  const QString samples = QDir(QStringLiteral(VUMO_SOURCE_DIR "/data/samples")).absolutePath();
  form->BrowseFiles->SetDirectory(samples);
  QStringList captions;
  for (const TListItem& item : form->BrowseFiles->Items()) captions << item.Caption;
  for (const char* name : {"cobblestones.pcx", "ripples.ppm", "stone_fine.jpeg", "texture.cel", "texture.cut",
                           "texture.rla", "texture.sgi", "woven.tif", "woven_tiles.psp", "lava.psd"})
    EXPECT_TRUE(captions.contains(QString::fromLatin1(name))) << name;
  EXPECT_FALSE(captions.contains("texture.pal"));  // a palette, no picture
  EXPECT_TRUE(StartupMask().startsWith(QString::fromLatin1(kStartupMask) + ";"));
  EXPECT_TRUE(PictureMask().startsWith(QString::fromLatin1(kPictureMask) + ";"));
  EXPECT_EQ(PictureMask().count("*.jpeg"), 1);
  EXPECT_EQ(PictureMask().count("*.pcx"), 1);

  EXPECT_EQ(UpgradedMask(kStartupMask), StartupMask());
  EXPECT_EQ(UpgradedMask(kPictureMask), PictureMask());
  EXPECT_EQ(UpgradedMask(QString(kPictureMask) + ";*.pcx"), PictureMask());  // a later built-in one
  EXPECT_EQ(UpgradedMask("*.*"), "*.*");
  EXPECT_EQ(UpgradedMask("*.png;*.tga"), "*.png;*.tga");
  EXPECT_EQ(UpgradedMask(QString(kPictureMask) + ";*.txt"), QString(kPictureMask) + ";*.txt");
}

TEST_F(MainWindow, SettingsOutOfRangeAreBroughtIntoRange) {
  form.reset();
  QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
  {
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[User]\nNormPos=-3000,-200,4799,4800\nPanelLeft_Width=2147483647\n"
               "BrowseFiles_FontHeight=2147483647\nBrowseFiles_FontSize=-2147483648\n"
               "BrowseDrives_FontSize=2147483647\nBrowseDrives_FontHeight=-2147483648\n"
               "FontBrowse_FontHeight=1\n");
  }
  ASSERT_NO_FATAL_FAILURE(Reopen());
  const QRect screen = form->screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form->frameGeometry())) << form->frameGeometry().x() << "," << form->frameGeometry().y()
                                                      << " " << form->frameGeometry().width() << "x"
                                                      << form->frameGeometry().height();
  EXPECT_LT(form->PanelLeft->width(), form->width());
  EXPECT_GT(form->ScrollBox->width(), 0);
  for (QWidget* widget : {static_cast<QWidget*>(form->BrowseFiles), static_cast<QWidget*>(form->BrowseDrives)}) {
    const QFontInfo info(widget->font());
    EXPECT_GE(info.pixelSize(), 7) << widget->objectName().toStdString();
    EXPECT_LE(info.pixelSize(), 100) << widget->objectName().toStdString();
  }
  // One Default Settings gives the design size.
  Press(form->BrowseFiles, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
  WAIT_EQ(form->frameGeometry().size(), QSize(600, 400));
  EXPECT_EQ(form->PanelLeft->width(), 240);
  form->close();
  const std::optional<QString> saved = SettingsText();
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->contains("2147483647"));
}

TEST_F(MainWindow, ErrorsInHandlersAreShownInABoxAndTheProgramGoesOn) {
  QString text;
  OnNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    text = box->text();
    box->accept();
  });
  RunGuarded([] { throw EInvalidGraphic("Attempt to register TGA twice"); });
  EXPECT_EQ(text, "Attempt to register TGA twice.");
  EXPECT_EQ(ExceptionMessageText(EInvalidGraphic("Unknown picture file extension (.)")),
            "Unknown picture file extension (.)");
}

TEST_F(MainWindow, SettingsComeBackAtTheNextStart) {
  const QString folder = QString::fromStdString(test::TempDir("settings-folder"));
  Press(form->BrowseFiles, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);  // normal mode
  Press(form->BrowseFiles, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);  // all files
  form->ScrollBox->SetColor(0x00336699);
  form->BrowseFiles->SetDirectory(folder);
  ASSERT_NO_FATAL_FAILURE(RestartExpectingSaved({"[User]", "ScrollBox_Color=3368601", "NormMenu_Checked=True"}));
  EXPECT_TRUE(NormalMode());
  EXPECT_TRUE(form->AllFiles->Checked());
  EXPECT_EQ(form->BrowseFiles->Mask(), QStringLiteral("*.*"));
  EXPECT_EQ(form->ScrollBox->Color(), 0x00336699);
  EXPECT_TRUE(form->BrowseFiles->Directory().startsWith(folder)) << form->BrowseFiles->Directory().toStdString();
}

}  // namespace
}  // namespace vumo
