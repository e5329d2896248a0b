#include "browser/dir_tree_combo.h"

#include "browser/change_watcher.h"
#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "browser_test_util.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include "support/wait_until.h"

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

class DirTreeComboTest : public TFolderTest {
 protected:
  DirTreeComboTest() : TFolderTest("dir_tree_", {"one/two", "One"}) {}
  void SetUp() override {
    WriteBytes(S("one/pic.png"), 5);
    window_.resize(400, 500);
    list_ = new TFileListView(&window_);
    combo_ = new TDirTreeCombo(&window_);
    combo_->setGeometry(0, 0, 300, 21);
    list_->setGeometry(0, 23, 300, 400);
    list_->SetShowFolders(true);
    combo_->SetFileList(list_);
  }

  QWidget window_;
  TFileListView* list_ = nullptr;
  TDirTreeCombo* combo_ = nullptr;
};

TEST_F(DirTreeComboTest, LinksBothWaysAndStartsAtTheComputer) {
  EXPECT_EQ(list_->DirTreeCombo(), combo_);
  EXPECT_EQ(combo_->FileList(), list_);
  EXPECT_EQ(combo_->SelectedPath(), "Drives");
  EXPECT_EQ(combo_->EditText(), combo_->RootCaption());
  EXPECT_EQ(combo_->TreeHeight(), 240);
  combo_->SetTreeHeight(300);
  EXPECT_EQ(combo_->TreeHeight(), 300);
  // The drives hang below the root, "/" first.
  QTreeWidgetItem* root = combo_->Tree()->RootNode();
  ASSERT_NE(root, nullptr);
  ASSERT_GT(root->childCount(), 0);
  EXPECT_EQ(combo_->Tree()->NodePath(root), "");
  EXPECT_EQ(combo_->Tree()->NodePath(root->child(0)), "/");
  {
    TFileListView other;
    combo_->SetFileList(&other);
    EXPECT_EQ(list_->DirTreeCombo(), nullptr);
    EXPECT_EQ(other.DirTreeCombo(), combo_);
  }
  EXPECT_EQ(combo_->FileList(), nullptr);  // a destroyed list unlinks itself
}

TEST_F(DirTreeComboTest, OpenPathIgnoresRepeatsAndFiles) {
  QSignalSpy changes(combo_, &TDirTreeCombo::OnPathChange);
  combo_->OpenPath(Folder() + "one/");
  EXPECT_EQ(list_->Directory(), Folder() + "one/");
  EXPECT_EQ(combo_->SelectedPath(), Folder() + "one/");
  EXPECT_EQ(combo_->EditText(), "one");
  EXPECT_EQ(changes.count(), 1);
  combo_->OpenPath(Folder() + "one/");
  EXPECT_EQ(changes.count(), 1);
  // Without its slash the path differs from the remembered one and is processed again.
  combo_->OpenPath(Folder() + "one");
  EXPECT_EQ(changes.count(), 2);
  combo_->OpenPath(Folder() + "one");
  EXPECT_EQ(changes.count(), 3);
  // Letter case names another folder on this platform.
  combo_->OpenPath(Folder() + "One/");
  EXPECT_EQ(list_->Directory(), Folder() + "One/");
  EXPECT_EQ(combo_->EditText(), "One");
  const int before = int(changes.count());
  combo_->OpenPath(Folder() + "one/pic.png");
  combo_->OpenPath("Drives");
  combo_->OpenPath(Folder() + "missing");
  combo_->OpenPath("");
  EXPECT_EQ(changes.count(), before);
  EXPECT_EQ(list_->Directory(), Folder() + "One/");
}

TEST_F(DirTreeComboTest, ShowPathSelectsTheNodeButLeavesTheList) {
  list_->SetDirectory(Folder());
  combo_->ShowPath(Folder() + "one/two");
  EXPECT_EQ(combo_->EditText(), "two");
  EXPECT_EQ(combo_->SelectedPath(), Folder() + "one/two/");
  EXPECT_EQ(combo_->Tree()->NodePath(combo_->Tree()->currentItem()), Folder() + "one/two");
  EXPECT_EQ(list_->Directory(), Folder());
  QSignalSpy changes(combo_, &TDirTreeCombo::OnPathChange);
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  combo_->ShowPath("o");  // "o" exists relative to here, but one character is no path
  fs::create_directories(dir_ + "/o");
  combo_->ShowPath("o");
  EXPECT_EQ(changes.count(), 0);
  combo_->ShowPath("/");
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(combo_->SelectedPath(), "/");
}

TEST_F(DirTreeComboTest, ChoosingNodesWithTheMouse) {
  window_.show();
  combo_->OpenPath(Folder() + "one/");
  combo_->DropDown();
  ASSERT_TRUE(combo_->TreeIsOpen());
  TDirTreeView* tree = combo_->Tree();
  QTreeWidgetItem* one = tree->currentItem();
  ASSERT_NE(one, nullptr);
  ASSERT_EQ(one->text(0), "one");
  ASSERT_TRUE(one->isExpanded());
  ASSERT_EQ(one->childCount(), 1);
  QTreeWidgetItem* two = one->child(0);
  tree->scrollToItem(two);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(two).center());
  EXPECT_FALSE(combo_->TreeIsOpen());
  // A folder node gives its path without a slash; the list adds it.
  EXPECT_EQ(combo_->SelectedPath(), Folder() + "one/two");
  EXPECT_EQ(list_->Directory(), Folder() + "one/two/");
  EXPECT_EQ(combo_->EditText(), "two");

  combo_->DropDown();
  ASSERT_TRUE(combo_->TreeIsOpen());
  QTreeWidgetItem* root = tree->RootNode();
  tree->scrollToItem(root);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(root).center());
  EXPECT_EQ(combo_->SelectedPath(), "Drives");
  EXPECT_EQ(list_->Directory(), "Drives");
  EXPECT_EQ(combo_->EditText(), combo_->RootCaption());

  // The drop button toggles; Esc closes without choosing.
  QTest::mouseClick(combo_->Button(), Qt::LeftButton);
  EXPECT_TRUE(combo_->TreeIsOpen());
  QTest::keyClick(tree, Qt::Key_Escape);
  EXPECT_FALSE(combo_->TreeIsOpen());
  EXPECT_EQ(list_->Directory(), "Drives");
}

TEST_F(DirTreeComboTest, KeysWalkAndChoose) {
  window_.show();
  combo_->OpenPath(Folder() + "one/");
  QTest::keyClick(combo_->Edit(), Qt::Key_Down);  // a closed tree opens
  EXPECT_TRUE(combo_->TreeIsOpen());
  QTest::keyClick(combo_->Tree(), Qt::Key_Right);
  QTest::keyClick(combo_->Tree(), Qt::Key_Down);
  EXPECT_EQ(combo_->Tree()->currentItem()->text(0), "two");
  QTest::keyClick(combo_->Tree(), Qt::Key_Return);
  EXPECT_FALSE(combo_->TreeIsOpen());
  EXPECT_EQ(list_->Directory(), Folder() + "one/two/");
  EXPECT_TRUE(combo_->HintText().startsWith("SelectedPath ="));
}

TEST_F(DirTreeComboTest, FolderChangesFromOutsideRebuildTheTreeAndReadTheList) {
  combo_->OpenPath(Folder());
  ASSERT_EQ(list_->Directory(), Folder());
  ASSERT_EQ(RowOf(*list_, "made"), -1);
  const int rebuilds = combo_->ChangeRebuilds();
  fs::create_directories(dir_ + "/made");
  // The list watches its folder too and may show the new row before the tree rebuilds: wait
  // for both.
  WAIT_UNTIL_FOR(RowOf(*list_, "made") >= 0 && combo_->ChangeRebuilds() > rebuilds, 30000);
  EXPECT_EQ(combo_->EditText(), QDir(Q(dir_)).dirName());
  EXPECT_EQ(list_->Directory(), Folder());

  // Renaming and removing folders do too. (That files coming and going do not is
  // shown on the watcher alone: the tree here also watches /tmp, which other
  // programs change at any time.)
  fs::rename(dir_ + "/made", dir_ + "/renamed");
  WAIT_UNTIL_FOR(RowOf(*list_, "renamed") >= 0 && RowOf(*list_, "made") < 0, 30000);
  fs::remove(dir_ + "/renamed");
  WAIT_UNTIL_FOR(RowOf(*list_, "renamed") < 0, 30000);
}

TEST_F(DirTreeComboTest, FoldersMadeInAParentLeaveTheListAndItsSelection) {
  combo_->OpenPath(Folder() + "one/");
  ASSERT_EQ(list_->Directory(), Folder() + "one/");
  list_->SelectRow(RowOf(*list_, "pic.png"));
  const int reads = list_->FileReads();
  const int rebuilds = combo_->ChangeRebuilds();
  fs::create_directories(dir_ + "/made");
  ASSERT_TRUE(test::WaitUntil([&] { return combo_->ChangeRebuilds() > rebuilds; }, 30000));
  EXPECT_EQ(list_->FileReads(), reads);
  EXPECT_EQ(list_->SelectedIndex(), RowOf(*list_, "pic.png"));
  EXPECT_EQ(list_->Directory(), Folder() + "one/");
}

TEST_F(DirTreeComboTest, RemovingTheListedFolderLeavesAnEmptyList) {
  fs::create_directories(dir_ + "/doomed/inside");
  combo_->OpenPath(Folder() + "doomed/");
  ASSERT_EQ(list_->Directory(), Folder() + "doomed/");
  ASSERT_EQ(::chdir("/"), 0);
  fs::remove_all(dir_ + "/doomed");
  WAIT_UNTIL_FOR(list_->Items().empty(), 30000);
  EXPECT_EQ(list_->Directory(), Folder() + "doomed/");
}

TEST_F(DirTreeComboTest, ListKeysReachTheDropDown) {
  window_.show();
  combo_->OpenPath(Folder());
  list_->setFocus();
  QTest::keyClick(list_, Qt::Key_F4);
  EXPECT_TRUE(combo_->TreeIsOpen());
  combo_->CloseUp();
  fs::create_directories(dir_ + "/fresh");
  QTest::keyClick(list_, Qt::Key_F5);
  EXPECT_GE(RowOf(*list_, "fresh"), 0);
  list_->SelectRow(RowOf(*list_, "one"));
  list_->OpenItem();
  EXPECT_EQ(combo_->EditText(), "one");
  EXPECT_EQ(combo_->SelectedPath(), Folder() + "one/");
}

}  // namespace
}  // namespace vumo
