// TDirTree and its popup, with a linked file list in a window of its own.
#include "browser/dir_tree.h"

#include "browser/change_watcher.h"
#include "browser/dir_tree_combo.h"
#include "browser/explorer_texts.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser/folder_tree_items.h"
#include "browser/linux_shell.h"
#include "browser/shell_services.h"
#include "browser_test_util.h"
#include "shell/shell_test_util.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

class DirTreeTest : public TFolderTest {
 protected:
  DirTreeTest() : TFolderTest("dir_tree_", {"a/x", "b", "home"}) {}
  void SetUp() override {
    dataHome_.emplace("XDG_DATA_HOME", dir_ + "/data");
    home_.emplace("HOME", dir_ + "/home");
    SetFileManagerCall([](const QString&, const QString&) { return false; });
    window_ = new QWidget;
    auto* layout = new QHBoxLayout(window_);
    tree_ = new TDirTree(window_);
    list_ = new TFileListView(window_);
    layout->addWidget(tree_);
    layout->addWidget(list_);
    list_->SetDirTree(tree_);
    window_->resize(800, 500);
    window_->show();
  }
  void TearDown() override {
    delete window_;
    SetFileManagerCall(nullptr);
    TDirTree::SetNetworkCommand(nullptr);
    home_.reset();
    dataHome_.reset();
  }
  QTreeWidgetItem* Node(const std::string& relative) {
    tree_->Reload();  // folders made by the test itself, before the change notification arrives
    tree_->SelectPath(P(relative));
    QTreeWidgetItem* node = tree_->FindNode(P(relative));
    EXPECT_NE(node, nullptr);
    EXPECT_EQ(RemoveSlash(tree_->NodePath(node)), RemoveSlash(P(relative)));
    tree_->setCurrentItem(node);
    return node;
  }

  std::optional<test::TScopedEnv> dataHome_, home_;
  QWidget* window_ = nullptr;
  TDirTree* tree_ = nullptr;
  TFileListView* list_ = nullptr;
};

TEST_F(DirTreeTest, DefaultsAndTheLinkToTheList) {
  EXPECT_EQ(tree_->About(), "Version 1.0");
  EXPECT_TRUE(tree_->PopUpMenuEnabled());
  EXPECT_TRUE(tree_->DragDropEnabled());
  EXPECT_EQ(list_->DirTree(), tree_);
  EXPECT_EQ(tree_->FileList(), list_);
  ASSERT_NE(tree_->RootNode(), nullptr);
  EXPECT_GT(tree_->RootNode()->childCount(), 0);  // the volumes

  QSignalSpy changes(tree_, &TDirTree::OnDirChange);
  tree_->SelectPath(P("a/x"));
  EXPECT_EQ(tree_->SelectedPath(), P("a/x/"));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(tree_->currentItem()->text(0), "x");
  tree_->SelectPath("");
  tree_->SelectPath(P("no/such"));
  EXPECT_EQ(changes.count(), 1);

  // Choosing a node makes it the list's folder; choosing the root shows the drives.
  tree_->ChooseNode(tree_->FindNode(P("a")));
  EXPECT_EQ(list_->Directory(), P("a/"));
  EXPECT_GE(RowOf(*list_, "x"), 0);
  tree_->ChooseNode(tree_->RootNode());
  EXPECT_EQ(tree_->SelectedPath(), "Drives");
  EXPECT_EQ(list_->Directory(), "Drives");

  // The list's navigation moves the tree.
  list_->SetDirectory(P("a"));
  list_->SelectRow(RowOf(*list_, "x"));
  list_->OpenItem();
  EXPECT_EQ(tree_->SelectedPath(), P("a/x/"));
  QTest::keyClick(list_, Qt::Key_Backspace);
  EXPECT_EQ(tree_->SelectedPath(), P("a/"));

  // A click on a node chooses it.
  tree_->SelectPath(P("a"));
  QTreeWidgetItem* x = tree_->FindNode(P("a/x"));
  tree_->scrollToItem(x);
  QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {}, tree_->visualItemRect(x).center());
  EXPECT_EQ(tree_->SelectedPath(), P("a/x"));
  EXPECT_EQ(list_->Directory(), P("a/x/"));

  delete list_;
  list_ = nullptr;
  EXPECT_EQ(tree_->FileList(), nullptr);
}

TEST_F(DirTreeTest, ThePopupHasTheItemsOfThePart) {
  TDirTreePopup* popup = tree_->Popup();
  QStringList captions;
  for (QAction* action : popup->actions()) captions << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(captions, (QStringList{"&New Folder", "&Rename Folder", "&Delete Folder", "-", "Cu&t", "&Copy", "&Paste", "-",
                                   "Tree &Size", "&Folder Contents", "-", "&Map Network Drive ...",
                                   "Dis&Connect Network Drive", "-", "&Property"}));
  EXPECT_EQ(popup->Item("ItemProperty")->property("Tag").toInt(), 11);
  tree_->setCurrentItem(tree_->RootNode());
  popup->UpdateItems();
  EXPECT_FALSE(popup->Item("AddNode")->isEnabled());
  EXPECT_FALSE(popup->Item("GetTreeSize")->isEnabled());
  EXPECT_TRUE(popup->Item("ConnectNetResource")->isEnabled());
  tree_->setCurrentItem(tree_->RootNode()->child(0));
  popup->UpdateItems();
  EXPECT_TRUE(popup->Item("AddNode")->isEnabled());
  EXPECT_FALSE(popup->Item("EditNode")->isEnabled());
  Node("a/x");
  popup->UpdateItems();
  EXPECT_TRUE(popup->Item("EditNode")->isEnabled());
  EXPECT_FALSE(popup->Item("PasteNode")->isEnabled());
  tree_->CmdCopy();
  popup->UpdateItems();
  EXPECT_TRUE(popup->Item("PasteNode")->isEnabled());
}

TEST_F(DirTreeTest, NewFolderStartsItsRenameWithoutAQuestionAndDoesNotNumber) {
  Node("b");
  QString text;
  tree_->CmdNewFolder();
  EXPECT_TRUE(fs::is_directory(S("b/New Folder")));
  auto* editor = tree_->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("Maps");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return tree_->SelectedPath() == P("b/Maps/"); }));
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"Maps"}));
  EXPECT_EQ(tree_->SelectedPath(), P("b/Maps/"));
  EXPECT_EQ(list_->Directory(), P("b/Maps/"));

  fs::create_directories(S("b/New Folder"));
  Node("b");
  tree_->CmdNewFolder();  // exists: fails silently
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"Maps", "New Folder"}));
  EXPECT_EQ(tree_->findChild<QLineEdit*>(), nullptr);

  tree_->setCurrentItem(tree_->RootNode());
  AnswerBox(QMessageBox::Ok, &text);
  tree_->CmdNewFolder();
  EXPECT_EQ(text, "ERROR - Can't add drives");
}

TEST_F(DirTreeTest, RenameAsksAndRefusesInvalidNames) {
  QTreeWidgetItem* x = Node("a/x");
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  tree_->RenameEdited(x, "bad:name");
  EXPECT_EQ(text, "Error - Invalid Directory Name\nbad:name");
  EXPECT_TRUE(fs::is_directory(S("a/x")));

  x = Node("a/x");
  AnswerBox(QMessageBox::No, &text);
  tree_->RenameEdited(x, "y");
  EXPECT_EQ(text, "Do you want to rename the selected folder\n\n    From  : " + P("a/x") + "\n    To     : " + P("a/y"));
  EXPECT_TRUE(fs::is_directory(S("a/x")));

  x = Node("a/x");
  AnswerBox(QMessageBox::Yes, &text);
  tree_->RenameEdited(x, "y");
  EXPECT_TRUE(fs::is_directory(S("a/y")));
  EXPECT_FALSE(fs::exists(S("a/x")));
  EXPECT_EQ(list_->Directory(), P("a/y/"));

  // Through the in-place edit.
  Node("a/y");
  tree_->CmdRenameFolder();
  auto* editor = tree_->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("z");
  AnswerBox(QMessageBox::Yes, &text);
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(test::WaitUntil([&] { return fs::is_directory(S("a/z")); }));
}

TEST_F(DirTreeTest, DeleteFolderGoesToTheTrashAndTheListShowsTheParent) {
  Write(S("a/x/f.txt"), "f");
  Node("a/x");
  QString text;
  AnswerBox(QMessageBox::Yes, &text);
  tree_->CmdDeleteFolder();
  EXPECT_EQ(text, "Are you sure you want to move the folder \"x\" and all its contents to the trash?");
  EXPECT_FALSE(fs::exists(S("a/x")));
  EXPECT_EQ(Read(S("data/Trash/files/x/f.txt")), "f");
  EXPECT_EQ(list_->Directory(), P("a/"));

  fs::create_directories(S("a/gone"));
  Node("a/gone");
  fs::remove(S("a/gone"));
  AnswerBox(QMessageBox::Ok, &text);
  tree_->CmdDeleteFolder();
  EXPECT_EQ(text, P("a/gone") + " not found");
}

TEST_F(DirTreeTest, CutCopyAndPasteOfFolders) {
  Write(S("a/x/f.txt"), "f");
  Node("a/x");
  tree_->CmdCopy();
  Node("b");
  tree_->CmdPaste();
  EXPECT_EQ(Read(S("b/x/f.txt")), "f");
  EXPECT_TRUE(fs::exists(S("a/x/f.txt")));
  EXPECT_FALSE(tree_->PastePending());

  Node("a/x");
  tree_->CmdCut();
  fs::create_directories(S("c"));
  Node("c");
  tree_->CmdPaste();
  EXPECT_EQ(Read(S("c/x/f.txt")), "f");
  EXPECT_FALSE(fs::exists(S("a/x")));

  // Into itself: refused with the message.
  Node("c/x");
  tree_->CmdCopy();
  Node("c/x");
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  tree_->CmdPaste();
  EXPECT_TRUE(text.startsWith("File operation failed")) << text.toStdString();
  EXPECT_EQ(Names(S("c/x")), (std::set<std::string>{"f.txt"}));
}

TEST_F(DirTreeTest, TreeSizeBox) {
  QString text;
  Node("b");
  AnswerBox(QMessageBox::Ok, &text);
  tree_->CmdTreeSize();
  QLocale locale;
  EXPECT_EQ(text, "===== TREE SIZE =====\n\nFolder \"b\"\nand all its Sub-Folders \n =  0 Bytes\n     (i.e. " +
                      locale.toString(0.0, 'f', 2) + " KB )");
  test::WriteBytes(S("b/f"), 100);
  AnswerBox(QMessageBox::Ok, &text);
  tree_->CmdTreeSize();
  EXPECT_TRUE(text.contains(" =  100 Bytes\n     (i.e. " + locale.toString(1.0, 'f', 2) + " KB )")) << text.toStdString();
  EXPECT_EQ(TDirTree::FolderBytes(P("b")), 100.0);
  EXPECT_TRUE(TDirTree::TreeSizeText("s", 200.0 * 1024 * 1024).contains(" MB )"));
}

TEST_F(DirTreeTest, FolderContentsWindowChoosesAFile) {
  Write(S("a/one.png"), "1");
  Write(S("a/two.png"), "2");
  Node("a");
  QSignalSpy files(tree_, &TDirTree::OnFileChange);
  tree_->CmdFolderContents();
  QDialog* window = tree_->ContentsWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Files in \" ../a \"");
  auto* list = window->findChild<QListWidget*>("Files");
  ASSERT_EQ(list->count(), 2);  // the folder x is not listed
  EXPECT_EQ(list->item(0)->text(), "one.png");
  list->item(1)->setSelected(true);
  list->setCurrentRow(1);
  window->findChild<QPushButton*>("OK")->click();
  EXPECT_EQ(tree_->SelectedFile(), P("a/two.png"));
  ASSERT_EQ(files.count(), 1);
  EXPECT_EQ(files[0][1].toString(), P("a/two.png"));
}

TEST_F(DirTreeTest, NetworkDrivesThroughGioMount) {
  QStringList commands;
  bool succeed = false;
  TDirTree::SetNetworkCommand([&](const QStringList& arguments, QString* error) {
    commands << arguments.join(' ');
    *error = "mount failed: no such share";
    return succeed;
  });
  QString text, title;
  test::OnNextModal([&](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "Map Network Drive");
    EXPECT_EQ(modal->size(), QSize(355, 208));
    modal->findChild<QLineEdit*>("Path")->setText("\\\\server\\share");
    AnswerBox(QMessageBox::Ok, &text, &title);
    modal->findChild<QPushButton*>("OK")->click();
  });
  tree_->CmdMapNetworkDrive();
  EXPECT_EQ(commands, QStringList{"mount smb://server/share"});
  EXPECT_EQ(title, "Error while connecting!");
  EXPECT_EQ(text, "An error occured while connecting:\r\nmount failed: no such share");

  succeed = true;
  test::OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->setTextValue("smb://server/share");
    dialog->accept();
  });
  tree_->CmdDisconnectNetworkDrive();
  EXPECT_EQ(commands.last(), "mount -u smb://server/share");
  EXPECT_EQ(tree_->SelectedPath(), "Drives");
  EXPECT_EQ(list_->Directory(), "Drives");
}

TEST_F(DirTreeTest, DropsFromTheLinkedListAndFromATree) {
  Write(S("a/f1.txt"), "1");
  Write(S("a/f2.txt"), "2");
  list_->SetDirectory(P("a"));
  list_->clearSelection();
  for (const char* name : {"f1.txt", "x"})
    list_->selectionModel()->select(list_->model()->index(RowOf(*list_, name), 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTreeWidgetItem* b = Node("b");
  EXPECT_TRUE(tree_->DropOn(b, list_, {}, false));
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"f1.txt"}));  // folders of the list stay
  EXPECT_EQ(list_->Directory(), P("b/"));
  EXPECT_EQ(tree_->SelectedPath(), P("b/"));

  list_->SetDirectory(P("a"));
  list_->clearSelection();
  list_->selectionModel()->select(list_->model()->index(RowOf(*list_, "f2.txt"), 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_TRUE(tree_->DropOn(Node("b"), list_, {}, true));
  EXPECT_FALSE(fs::exists(S("a/f2.txt")));
  EXPECT_EQ(Read(S("b/f2.txt")), "2");

  list_->SetDirectory(P("a"));
  list_->clearSelection();
  list_->selectionModel()->select(list_->model()->index(RowOf(*list_, "x"), 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QString text;
  AnswerBox(QMessageBox::Ok, &text);
  EXPECT_FALSE(tree_->DropOn(Node("b"), list_, {}, false));
  EXPECT_EQ(text, "No file(s) selected");

  TDirTree other;
  EXPECT_TRUE(tree_->DropOn(Node("b"), &other, {P("a/x")}, true));
  EXPECT_TRUE(fs::is_directory(S("b/x")));
  EXPECT_FALSE(fs::exists(S("a/x")));
  // Anything else is not accepted.
  QObject stranger;
  EXPECT_FALSE(tree_->DropOn(Node("b"), &stranger, {P("a/f1.txt")}, false));
}

TEST_F(DirTreeTest, FoldersMadeElsewhereRebuildTheTreeAndTheList) {
  tree_->SelectPath(P("a"));
  tree_->ChooseNode(tree_->FindNode(P("a")));
  ASSERT_EQ(list_->Directory(), P("a/"));
  fs::create_directories(S("a/made"));
  // Waits on what the change brings, however late a loaded machine delivers the
  // notification; only a change that never arrives fails.
  // (The list watches its own folder and may show the row first; the node finder gives the
  // deepest node it reaches, so the tree is rebuilt when that node is "made" itself.)
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        QTreeWidgetItem* node = tree_->FindNode(P("a/made"));
        return node != nullptr && node->text(0) == "made" && RowOf(*list_, "made") >= 0;
      },
      60000));
  QTreeWidgetItem* made = tree_->FindNode(P("a/made"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->text(0), "made");
  EXPECT_GE(RowOf(*list_, "made"), 0);  // the list was read again
  EXPECT_EQ(tree_->SelectedPath(), P("a/"));
}

TEST_F(DirTreeTest, KeysChooseAndReload) {
  tree_->SelectPath(P("a"));
  QTreeWidgetItem* a = tree_->FindNode(P("a"));
  a->setExpanded(true);
  tree_->setCurrentItem(a);
  tree_->setFocus();
  QTest::keyClick(tree_, Qt::Key_Down);  // to "x", chosen on release
  EXPECT_EQ(tree_->SelectedPath(), P("a/x"));
  EXPECT_EQ(list_->Directory(), P("a/x/"));
  fs::create_directories(S("a/x/new"));
  QTest::keyClick(tree_, Qt::Key_F5);
  EXPECT_EQ(tree_->SelectedPath(), P("a/x/"));
  EXPECT_NE(tree_->FindNode(P("a/x/new")), nullptr);
  EXPECT_GE(RowOf(*list_, "new"), 0);
}

// The tree and the drop-down fill their nodes through the same code: the children of a node
// go in at once under the wait cursor, and below a network volume folders are marked as
// expandable without being read.
TEST_F(DirTreeTest, BothTreesFillNodesAlike) {
  TDirTreeCombo combo;
  const std::vector<std::pair<QTreeWidget*, std::function<void(QTreeWidgetItem*)>>> trees = {
      {tree_, [&](QTreeWidgetItem* node) { tree_->FillNode(node); }},
      {combo.Tree(), [&](QTreeWidgetItem* node) { combo.Tree()->FillNode(node); }}};
  for (const auto& [tree, fill] : trees) {
    for (const int type : {int(dtFixed), int(dtNetwork)}) {
      SCOPED_TRACE(tree->metaObject()->className() + std::string(type == dtNetwork ? " network" : " fixed"));
      // The first volume, made to stand for one mounted at the test folder.
      QTreeWidgetItem* drive = folder_tree::BuildRoot(tree)->child(0);
      drive->setData(0, folder_tree::kRootPathRole, AddSlash(P("")));
      drive->setData(0, folder_tree::kDriveTypeRole, type);
      std::vector<int> inserted;
      bool waiting = true;
      const QMetaObject::Connection connection =
          QObject::connect(tree->model(), &QAbstractItemModel::rowsAboutToBeInserted, [&](const QModelIndex&, int first, int last) {
            inserted.push_back(last - first + 1);
            waiting = waiting && QApplication::overrideCursor() != nullptr &&
                      QApplication::overrideCursor()->shape() == Qt::WaitCursor;
          });
      fill(drive);
      QObject::disconnect(connection);
      EXPECT_EQ(inserted, std::vector<int>{3});
      EXPECT_TRUE(waiting);
      EXPECT_EQ(QApplication::overrideCursor(), nullptr);
      ASSERT_EQ(drive->childCount(), 3);
      EXPECT_EQ(drive->child(0)->text(0), "a");
      EXPECT_EQ(drive->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
      QTreeWidgetItem* b = drive->child(1);
      EXPECT_EQ(b->text(0), "b");
      EXPECT_EQ(b->childIndicatorPolicy(), type == dtNetwork ? QTreeWidgetItem::ShowIndicator
                                                             : QTreeWidgetItem::DontShowIndicatorWhenChildless);
      EXPECT_EQ(b->childCount(), 0);
      // A second fill reads nothing again.
      fill(drive);
      EXPECT_EQ(drive->childCount(), 3);
    }
  }
}

// The language moved beside its texts: the controls' Language properties must still be
// enumerations with their key names, which is what the settings keep.
TEST_F(DirTreeTest, LanguagePropertiesKeepTheirKeyNames) {
  static_assert(TFileListView::lnEnglish == TLanguages::lnEnglish);
  TDirTreeCombo combo;
  for (QObject* object : std::initializer_list<QObject*>{tree_, list_, &combo}) {
    SCOPED_TRACE(object->metaObject()->className());
    const QMetaProperty property = object->metaObject()->property(object->metaObject()->indexOfProperty("Language"));
    ASSERT_TRUE(property.isEnumType());
    EXPECT_EQ(property.enumerator().keyToValue("lnGerman"), int(TLanguages::lnGerman));
    int german = TLanguages::lnGerman;
    ASSERT_TRUE(property.write(object, QVariant(property.metaType(), &german)));
    EXPECT_STREQ(property.enumerator().valueToKey(property.read(object).toInt()), "lnGerman");
  }
  EXPECT_EQ(tree_->Language(), TLanguages::lnGerman);
  EXPECT_EQ(combo.Language(), TLanguages::lnGerman);
}

TEST_F(DirTreeTest, InvalidCharacters) {
  for (const char* bad : {"a\\b", "a*", "a?", "a/b", "a=b", "a\"", "a<", "a>", "a|", "a:", "a,", "a;", "a+", "a^"})
    EXPECT_TRUE(TDirTree::HasInvalidCharacters(bad)) << bad;
  EXPECT_FALSE(TDirTree::HasInvalidCharacters("New Folder (2)"));
}

}  // namespace
}  // namespace vumo
