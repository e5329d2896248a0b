// The file commands on a real file list, driven by keys, the popup and drops.
#include "browser/explorer_texts.h"
#include "browser/file_clipboard.h"
#include "browser/file_list_popup.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/shell_services.h"
#include "browser_test_util.h"
#include "shell/shell_test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <vector>

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Answers the coming message boxes in turn, keeping their texts.
void AnswerBoxes(std::vector<QMessageBox::StandardButton> answers, QStringList* texts) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  auto last = std::make_shared<QPointer<QWidget>>();
  auto queue = std::make_shared<std::vector<QMessageBox::StandardButton>>(std::move(answers));
  QObject::connect(timer, &QTimer::timeout, [timer, last, queue, texts] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box == last->data() || !box->isVisible()) return;
    *last = box;
    texts->append(box->text());
    const QMessageBox::StandardButton answer = queue->front();
    queue->erase(queue->begin());
    if (queue->empty()) {
      timer->stop();
      timer->deleteLater();
    }
    box->button(answer)->click();
  });
  timer->start();
}

class FileCommandsTest : public test::TTwoFolderTest {
 protected:
  FileCommandsTest() : TTwoFolderTest("file_cmds_") {}
  void SetUp() override {
    // A home of its own, on the same volume, so the trash is the home trash under XDG_DATA_HOME.
    fs::create_directories(dir_ + "/home");
    home_.emplace("HOME", dir_ + "/home");
    SetFileManagerCall([this](const QString& method, const QString& uri) {
      calls_ << method + " " + uri;
      return fileManagerAnswers_;
    });
    SetViewerLauncher([this](const QString& mime, const QString& file, QString* program) {
      calls_ << "view " + mime + " " + file;
      *program = "viewer.desktop";
      return viewerAnswers_;
    });
    SetFolderOpener([this](const QString& folder) {
      calls_ << "open " + folder;
      return true;
    });
    QApplication::clipboard()->clear();
    TFileListView::ClipboardMode = TFileListView::kClipCopy;
  }
  void TearDown() override {
    delete window_;
    SetFileManagerCall(nullptr);
    SetViewerLauncher(nullptr);
    SetFolderOpener(nullptr);
    SetFolderBrowser(nullptr);
  }
  // The list in a window of its own (the owner that takes dropped files).
  TFileListView& List() {
    if (window_ == nullptr) {
      window_ = new QWidget;
      auto* layout = new QVBoxLayout(window_);
      list_ = new TFileListView(window_);
      layout->addWidget(list_);
      window_->resize(600, 400);
      window_->show();
    }
    return *list_;
  }
  void Open(const std::string& relative) {
    List().SetDirectory(Q(dir_ + "/" + relative));
    List().UpdateFileList();
  }
  void Select(const QStringList& captions) {
    List().clearSelection();
    for (const QString& caption : captions) {
      const int row = RowOf(List(), caption);
      ASSERT_GE(row, 0) << caption.toStdString();
      List().selectionModel()->select(List().model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&List(), Qt::Key(key), modifiers);
  }
  std::optional<test::TScopedEnv> home_;
  QWidget* window_ = nullptr;
  TFileListView* list_ = nullptr;
  QStringList calls_;
  bool fileManagerAnswers_ = false;
  bool viewerAnswers_ = true;
};

TEST_F(FileCommandsTest, CopyThenPasteCopiesAndCutThenPasteMoves) {
  Write(S("a/one.txt"), "one");
  Write(S("a/two.txt"), "two");
  Open("a");
  Select({"one.txt", " Parent"});
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(List().ClipboardFiles(), QStringList{Q(S("a/one.txt"))});  // the parent entry is left out
  EXPECT_EQ(TFileListView::ClipboardMode, TFileListView::kClipCopy);
  const QMimeData* published = QApplication::clipboard()->mimeData();
  EXPECT_EQ(published->data("x-special/gnome-copied-files"), "copy\n" + FileUri(Q(S("a/one.txt"))));
  Open("b");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("b/one.txt")), "one");
  EXPECT_EQ(Read(S("a/one.txt")), "one");
  EXPECT_GE(RowOf(List(), "one.txt"), 0);  // re-read

  Open("a");
  Select({"two.txt"});
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(TFileListView::ClipboardMode, TFileListView::kClipMove);
  Open("b");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("b/two.txt")), "two");
  EXPECT_FALSE(fs::exists(S("a/two.txt")));
  // The cut is used up: a second paste finds nothing and changes nothing.
  EXPECT_FALSE(HasFiles(QApplication::clipboard()->mimeData()));
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"one.txt", "two.txt"}));
}

TEST_F(FileCommandsTest, PasteIntoTheSameFolderMakesACopyWithADesktopName) {
  Write(S("a/pic.png"), "p");
  Open("a");
  Select({"pic.png"});
  Key(Qt::Key_C, Qt::ControlModifier);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"pic.png", "pic (copy).png"}));
}

TEST_F(FileCommandsTest, FilesCutOrCopiedByAnotherFileManagerArePastedByTheirMarker) {
  Write(S("a/g.txt"), "gnome");
  Write(S("a/k.txt"), "kde");
  Write(S("a/c.txt"), "copy");
  Open("b");
  auto* gnome = new QMimeData;
  gnome->setData("x-special/gnome-copied-files", "cut\n" + FileUri(Q(S("a/g.txt"))));
  QApplication::clipboard()->setMimeData(gnome);
  TFileListView::ClipboardMode = TFileListView::kClipCopy;  // the marker decides, not the last command here
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_FALSE(fs::exists(S("a/g.txt")));
  EXPECT_EQ(Read(S("b/g.txt")), "gnome");

  auto* kde = new QMimeData;
  kde->setData("text/uri-list", FileUri(Q(S("a/k.txt"))) + "\r\n");
  kde->setData("application/x-kde-cutselection", "0");
  QApplication::clipboard()->setMimeData(kde);
  TFileListView::ClipboardMode = TFileListView::kClipMove;
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("a/k.txt")), "kde");
  EXPECT_EQ(Read(S("b/k.txt")), "kde");

  // Without a marker the last cut or copy of this program decides.
  auto* plain = new QMimeData;
  plain->setData("text/uri-list", FileUri(Q(S("a/c.txt"))) + "\r\n");
  QApplication::clipboard()->setMimeData(plain);
  TFileListView::ClipboardMode = TFileListView::kClipCopy;
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("a/c.txt")), "copy");
  EXPECT_EQ(Read(S("b/c.txt")), "copy");
}

TEST_F(FileCommandsTest, AnotherProgramsNewerClipboardWinsOverTheListsOwn) {
  Write(S("a/own.tga"), "own");
  Write(S("a/theirs.tga"), "theirs");
  Write(S("a/kde.tga"), "kde");
  Open("a");
  Select({"own.tga"});
  Key(Qt::Key_C, Qt::ControlModifier);
  // A file manager cuts a file afterwards and takes the clipboard.
  auto* gnome = new QMimeData;
  gnome->setData("x-special/gnome-copied-files", "cut\n" + FileUri(Q(S("a/theirs.tga"))));
  QApplication::clipboard()->setMimeData(gnome);
  Open("b");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Names(S("b")), std::set<std::string>{"theirs.tga"});  // moved, and no copy of our own file
  EXPECT_FALSE(fs::exists(S("a/theirs.tga")));
  EXPECT_EQ(Read(S("a/own.tga")), "own");

  // After a cut here, another program's cut with the KDE marker: its file moves, ours stays,
  // and the clipboard the other program owns is left to it.
  Open("a");
  Select({"own.tga"});
  Key(Qt::Key_X, Qt::ControlModifier);
  auto* kde = new QMimeData;
  kde->setData("text/uri-list", FileUri(Q(S("a/kde.tga"))) + "\r\n");
  kde->setData("application/x-kde-cutselection", "1");
  QApplication::clipboard()->setMimeData(kde);
  Open("b");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("b/kde.tga")), "kde");
  EXPECT_FALSE(fs::exists(S("a/kde.tga")));
  EXPECT_EQ(Read(S("a/own.tga")), "own");
  EXPECT_FALSE(fs::exists(S("b/own.tga")));

  // While the list's own copy is still the clipboard, the list's files are pasted.
  Open("a");
  Select({"own.tga"});
  Key(Qt::Key_C, Qt::ControlModifier);
  Open("b");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Read(S("b/own.tga")), "own");
}

TEST_F(FileCommandsTest, PasteAsksBeforeReplacing) {
  Write(S("a/f.txt"), "new");
  Write(S("b/f.txt"), "old");
  Open("a");
  Select({"f.txt"});
  Key(Qt::Key_C, Qt::ControlModifier);
  Open("b");
  QString question;
  test::OnNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    question = box->text();
    for (QAbstractButton* button : box->buttons())
      if (button->text() == "&Skip") button->click();
  });
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_TRUE(question.contains("already exists")) << question.toStdString();
  EXPECT_EQ(Read(S("b/f.txt")), "old");
  // A drop goes the same road.
  test::OnNextModal([&](QWidget* modal) {
    for (QAbstractButton* button : qobject_cast<QMessageBox*>(modal)->buttons())
      if (button->text() == "&Replace") button->click();
  });
  List().PasteDropped({Q(S("a/f.txt"))});
  EXPECT_EQ(Read(S("b/f.txt")), "new");
}

TEST_F(FileCommandsTest, FilesDroppedOnTheOwnerWindowAreCopiedIntoTheListedFolder) {
  Write(S("a/drop.png"), "d");
  Open("b");
  QMimeData data;
  data.setData("text/uri-list", FileUri(Q(S("a/drop.png"))) + "\r\n");
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window_, &drop);
  EXPECT_EQ(Read(S("b/drop.png")), "d");
  EXPECT_EQ(Read(S("a/drop.png")), "d");  // copied, never moved
  EXPECT_EQ(TFileListView::ClipboardMode, TFileListView::kClipCopy);
  EXPECT_GE(RowOf(List(), "drop.png"), 0);
}

TEST_F(FileCommandsTest, DeleteMovesToTheTrashAfterAConfirmation) {
  Write(S("a/t1.txt"), "1");
  Write(S("a/t2.txt"), "2");
  fs::create_directories(S("a/sub"));
  Open("a");
  Select({"t1.txt", " Parent"});
  QString text;
  AnswerBox(QMessageBox::No, &text);
  Key(Qt::Key_Delete);
  EXPECT_EQ(text, "Are you sure you want to move \"t1.txt\" to the trash?");
  EXPECT_TRUE(fs::exists(S("a/t1.txt")));
  Select({"t1.txt", "sub"});
  AnswerBox(QMessageBox::Yes, &text);
  Key(Qt::Key_Delete);
  EXPECT_EQ(text, "Are you sure you want to move these 2 items to the trash?");
  EXPECT_FALSE(fs::exists(S("a/t1.txt")));
  EXPECT_EQ(Read(S("data/Trash/files/t1.txt")), "1");
  EXPECT_TRUE(fs::is_directory(S("data/Trash/files/sub")));
  EXPECT_TRUE(fs::exists(S("a"))) << "the parent entry is never deleted";
  EXPECT_EQ(RowOf(List(), "t1.txt"), -1);
}

TEST_F(FileCommandsTest, ShiftDeleteAsksPerFileAndStopsAtAFolder) {
  Write(S("a/x.txt"), "x");
  Write(S("a/y.txt"), "y");
  fs::create_directories(S("a/dir"));
  Open("a");
  Select({"dir", "x.txt"});
  int boxes = 0;
  {
    QTimer guard;  // would answer a box that should not come, so the test cannot hang
    QObject::connect(&guard, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++boxes;
        box->button(QMessageBox::No)->click();
      }
    });
    guard.start(20);
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    QTest::qWait(60);
  }
  EXPECT_EQ(boxes, 0);
  EXPECT_TRUE(fs::exists(S("a/x.txt")));
  EXPECT_TRUE(fs::exists(S("a/dir")));

  Select({"x.txt", "y.txt"});
  QStringList texts;
  AnswerBoxes({QMessageBox::Yes, QMessageBox::No}, &texts);
  Key(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(texts, (QStringList{"Are you sure you want to permanently delete file\n  \"x.txt\"?",
                                "Are you sure you want to permanently delete file\n  \"y.txt\"?"}));
  EXPECT_FALSE(fs::exists(S("a/x.txt")));
  EXPECT_TRUE(fs::exists(S("a/y.txt")));
  EXPECT_FALSE(fs::exists(S("data/Trash/files/x.txt")));
}

TEST_F(FileCommandsTest, RenameEditsInPlaceAndRefusesAnExistingName) {
  Write(S("a/one.txt"), "1");
  Write(S("a/two.txt"), "2");
  Open("a");
  Select({"one.txt"});
  Key(Qt::Key_F2);
  auto* editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("renamed.txt");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return RowOf(List(), "renamed.txt") >= 0; }));
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"renamed.txt", "two.txt"}));
  EXPECT_GE(RowOf(List(), "renamed.txt"), 0);

  Select({"renamed.txt"});
  Key(Qt::Key_F2);
  editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("two.txt");
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return !text.isEmpty(); }));
  EXPECT_EQ(text, "\"two.txt\" already exists !");
  EXPECT_EQ(Read(S("a/two.txt")), "2");
  EXPECT_EQ(Read(S("a/renamed.txt")), "1");

  // A name holding a slash is refused by the operations layer.
  Select({"renamed.txt"});
  Key(Qt::Key_F2);
  editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("x/y");
  text.clear();
  AnswerBox(QMessageBox::Ok, &text);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return !text.isEmpty(); }));
  EXPECT_TRUE(text.contains("invalid name")) << text.toStdString();
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"renamed.txt", "two.txt"}));
}

TEST_F(FileCommandsTest, RenameWithHiddenExtensionsKeepsTheExtension) {
  Write(S("a/photo.jpg"), "j");
  List().SetHideFileExt(true);
  Open("a");
  Select({"photo"});
  Key(Qt::Key_F2);
  auto* editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "photo");
  editor->setText("holiday");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(S("a/holiday.jpg")); }));
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"holiday.jpg"}));
}

TEST_F(FileCommandsTest, RenameInAReadOnlyListSaysSo) {
  Write(S("a/one.txt"), "1");
  Open("a");
  List().SetReadOnly(true);
  Select({"one.txt"});
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  Key(Qt::Key_F2);
  EXPECT_EQ(text, "It's ReadOnly");
  EXPECT_EQ(List().findChild<QLineEdit*>(), nullptr);
}

TEST_F(FileCommandsTest, NewFolderNumbersNamesAndStartsTheEdit) {
  fs::create_directories(S("a/New Folder"));
  fs::create_directories(S("a/New Folder(2)"));
  Open("a");
  Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(fs::is_directory(S("a/New Folder(3)")));
  auto* editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "New Folder(3)");
  editor->setText("Textures");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return fs::is_directory(S("a/Textures")); }));
  EXPECT_TRUE(fs::is_directory(S("a/Textures")));
  EXPECT_FALSE(fs::exists(S("a/New Folder(3)")));
  // Not in the drive view.
  List().SetDirectory("Drives");
  Key(Qt::Key_N, Qt::ControlModifier);
}

TEST_F(FileCommandsTest, ThePopupHasTheItemsOfThePartWithTheirStates) {
  fs::create_directories(S("data/vumo/SendTo"));
  Write(S("data/vumo/SendTo/Backup.desktop"), "[Desktop Entry]\nType=Link\nName=Backup folder\nURL=" +
                                                   FileUri(Q(S("b"))).toStdString() + "\n");
  fs::create_directory_symlink(S("b"), S("data/vumo/SendTo/Bee"));
  Write(S("a/readme.txt"), "r");
  Write(S("a/pic.png"), "p");
  Open("a");
  TFileListPopup* popup = List().Popup();
  ASSERT_NE(popup, nullptr);
  QStringList captions;
  for (QAction* action : popup->actions()) captions << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(captions, (QStringList{"&Open", "&View", "-", "Se&nd To", "-", "Cu&t", "&Copy", "&Paste", "-", "&Rename",
                                   "&Delete", "-", "&Properties", "-", "&New Folder..."}));
  QStringList sendTo;
  for (QAction* action : popup->SendToMenu()->actions()) sendTo << action->text();
  EXPECT_EQ(sendTo, (QStringList{"Any Folder ...", "Clipboard as Contents", "Clipboard as FileName", "DeskTop as ShortCut",
                                 "Backup folder", "Bee"}));
  EXPECT_EQ(popup->Item("Send_To5")->property("Tag").toInt(), 35);
  EXPECT_EQ(popup->Item("ItemFolder")->property("Tag").toInt(), 10);

  List().clearSelection();
  popup->UpdateItems();
  EXPECT_FALSE(popup->Item("ItemOpen")->isEnabled());
  EXPECT_FALSE(popup->Item("ItemOpPaste")->isEnabled());
  EXPECT_TRUE(popup->Item("ItemFolder")->isEnabled());
  Select({"readme.txt"});
  popup->UpdateItems();
  EXPECT_TRUE(popup->Item("ItemView")->isEnabled());
  EXPECT_TRUE(popup->Item("ItemRename")->isEnabled());
  EXPECT_TRUE(popup->Item("Send_To1")->isEnabled());
  Select({"pic.png"});
  popup->UpdateItems();
  EXPECT_FALSE(popup->Item("ItemView")->isEnabled());  // .PNG is not in the view table
  EXPECT_FALSE(popup->Item("Send_To1")->isEnabled());
  Select({"pic.png", "readme.txt"});
  popup->UpdateItems();
  EXPECT_FALSE(popup->Item("ItemRename")->isEnabled());
  Key(Qt::Key_C, Qt::ControlModifier);
  popup->UpdateItems();
  EXPECT_TRUE(popup->Item("ItemOpPaste")->isEnabled());

  // A Send To entry copies the selection into its folder.
  Select({"pic.png"});
  popup->Item("Send_To4")->trigger();
  EXPECT_EQ(Read(S("b/pic.png")), "p");
  Select({"readme.txt"});
  popup->Item("Send_To5")->trigger();
  EXPECT_EQ(Read(S("b/readme.txt")), "r");

  // The popup appears on a right click only in the folder view, 10 pixels off the point.
  EXPECT_TRUE(List().PopupAutomatic());
  List().SetDirectory("Drives");
  EXPECT_FALSE(List().PopupAutomatic());
  // The viewer turns it off.
  List().SetPopUpMenuEnabled(false);
  EXPECT_FALSE(List().PopUpMenuEnabled());
}

TEST_F(FileCommandsTest, SendToAnyFolderUsesItsDialog) {
  Write(S("a/s.txt"), "s");
  Open("a");
  Select({"s.txt"});
  test::OnNextModal([&](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "Send to any folder");
    EXPECT_EQ(modal->size(), QSize(333, 135));
    modal->findChild<QLineEdit*>("Path")->setText(Q(S("b")));
    modal->findChild<QPushButton*>("OK")->click();
  });
  List().Popup()->Item("Send_To0")->trigger();
  EXPECT_EQ(Read(S("b/s.txt")), "s");
  EXPECT_EQ(Read(S("a/s.txt")), "s");

  // Browse picks a folder and opens the dialog again with it.
  fs::create_directories(S("c"));
  SetFolderBrowser([&](QWidget*, const QString& title, const QString&) {
    EXPECT_EQ(title, "Please specify a directory");
    return Q(S("c"));
  });
  QString second;
  test::OnNextModal([&](QWidget* modal) {
    modal->findChild<QPushButton*>("Browse")->click();
    test::OnNextModal([&](QWidget* again) {
      second = again->findChild<QLineEdit*>("Path")->text();
      again->findChild<QPushButton*>("OK")->click();
    });
  });
  List().CmdSendToAnyFolder();
  EXPECT_EQ(second, Q(S("c/")));
  EXPECT_EQ(Read(S("c/s.txt")), "s");
  // Cancel sends nothing.
  test::OnNextModal([&](QWidget* modal) { modal->findChild<QPushButton*>("Cancel")->click(); });
  fs::remove(S("c/s.txt"));
  List().CmdSendToAnyFolder();
  EXPECT_FALSE(fs::exists(S("c/s.txt")));
}

TEST_F(FileCommandsTest, ClipboardAsFileNameAndAsContents) {
  Write(S("a/notes.txt"), "some notes");
  Write(S("a/b.txt"), "b");
  Open("a");
  Select({"notes.txt", "b.txt"});
  List().CmdClipboardAsFileName();
  EXPECT_EQ(QApplication::clipboard()->text(), Q(S("a/b.txt")) + "\n" + Q(S("a/notes.txt")));
  Select({"notes.txt"});
  List().CmdClipboardAsContents();
  EXPECT_EQ(QApplication::clipboard()->text(), "some notes");
}

TEST_F(FileCommandsTest, DesktopShortcutIsADesktopEntryOnTheDesktop) {
  Write(S("a/pic.png"), "p");
  Open("a");
  List().clearSelection();
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  List().CmdDesktopShortcut();
  EXPECT_EQ(text, "No file(s) selected");
  Select({"pic.png"});
  AnswerBox(QMessageBox::Ok, &text);
  text.clear();
  List().CmdDesktopShortcut();  // no desktop folder yet
  EXPECT_EQ(text, "Error - PersistFile.Save failed");
  fs::create_directories(S("home/Desktop"));
  List().CmdDesktopShortcut();
  const std::string entry = Read(S("home/Desktop/pic.desktop"));
  EXPECT_NE(entry.find("Type=Link"), std::string::npos);
  EXPECT_NE(entry.find("URL=" + FileUri(Q(S("a/pic.png"))).toStdString()), std::string::npos);
  EXPECT_NE(entry.find("Name=pic"), std::string::npos);
}

TEST_F(FileCommandsTest, ViewSearchAndPropertiesUseTheDesktop) {
  Write(S("a/readme.txt"), "r");
  Write(S("a/pic.png"), "p");
  Open("a");
  Select({"readme.txt"});
  Key(Qt::Key_F, Qt::ControlModifier);
  ASSERT_FALSE(calls_.isEmpty());
  EXPECT_EQ(calls_.last(), "view text/plain " + Q(S("a/readme.txt")));
  viewerAnswers_ = false;
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(text, "ERROR - Can't Open file viewer.desktop");
  calls_.clear();
  Select({"pic.png"});
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(calls_.isEmpty());  // not in the view table

  // F3 with the focus: the file manager's folder window.
  window_->activateWindow();
  List().setFocus();
  const bool active = QTest::qWaitForWindowActive(window_);
  fileManagerAnswers_ = true;
  List().CmdSearch();
  if (active && List().hasFocus()) {
    ASSERT_FALSE(calls_.isEmpty());
    EXPECT_EQ(calls_.last(), "ShowFolders " + QString::fromUtf8(FileUri(Q(S("a/")))));
  }

  // Properties: the file manager's, or a dialog of our own.
  Select({"pic.png"});
  List().CmdProperties();
  EXPECT_EQ(calls_.last(), "ShowItemProperties " + QString::fromUtf8(FileUri(Q(S("a/pic.png")))));
  fileManagerAnswers_ = false;
  QString title;
  test::OnNextModal([&](QWidget* modal) {
    title = modal->objectName();
    modal->close();
  });
  List().CmdProperties();
  EXPECT_EQ(title, "PropertiesDialog");
}

TEST_F(FileCommandsTest, PasteWithNothingToPasteAndInTheDriveViewEndsQuietly) {
  Open("a");
  List().CmdPaste();  // no files anywhere: nothing, no message
  List().SetDirectory("Drives");
  List().PasteDropped({Q(S("a"))});
  EXPECT_TRUE(Names(S("a")).empty());
}

}  // namespace
}  // namespace vumo
