#include "browser/file_list_view.h"

#include "browser/file_names.h"
#include "browser_test_util.h"
#include "shell/shell_test_util.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

class FileListTest : public TFolderTest {
 protected:
  FileListTest() : TFolderTest("file_list_") { list_.resize(600, 400); }
  void Open(bool showFolders = false) {
    list_.SetShowFolders(showFolders);
    list_.SetDirectory(Folder());
    list_.UpdateFileList();
  }
  void ClickRow(int row) {
    const QRect rect = list_.visualRect(list_.model()->index(row, 0));
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, rect.center());
  }

  TFileListView list_;
};

TEST_F(FileListTest, StartsInDriveViewWithTheDescribedDefaults) {
  EXPECT_EQ(list_.Directory(), "Drives");
  EXPECT_EQ(list_.Mask(), "*.*");
  EXPECT_TRUE(list_.ShowFolders());
  EXPECT_EQ(list_.ParentDirCaption(), " Parent");
  EXPECT_EQ(list_.FileType(), TFileListView::TFileType(TFileListView::ftReadOnly | TFileListView::ftHidden |
                                                       TFileListView::ftSystem | TFileListView::ftArchive));
  EXPECT_EQ(list_.ColWidth_Mod(), 125);
  EXPECT_TRUE(list_.SelectedItem().isEmpty());
  EXPECT_EQ(list_.About(), "Version 1.0");
  list_.SetAbout("other");
  EXPECT_EQ(list_.About(), "Version 1.0");
  // The settings layer stores enumerations by name.
  EXPECT_EQ(list_.property("DateFormat").value<TFileListView::TDtFormat>(), TFileListView::df_Customize);
  const QMetaObject& meta = TFileListView::staticMetaObject;
  const QMetaEnum timeFormats = meta.enumerator(meta.indexOfEnumerator("TTmFormat"));
  EXPECT_STREQ(timeFormats.valueToKey(list_.TimeFormat()), "tfShortFormat");
  EXPECT_TRUE(list_.setProperty("FileSize", QVariant::fromValue(TFileListView::fsByte)));
  EXPECT_EQ(list_.FileSize(), TFileListView::fsByte);
}

// The orders, masks, filters and texts themselves are the listing's tests; here the
// properties reach it, and each change of one reads the folder again.
TEST_F(FileListTest, ThePropertiesDriveTheListing) {
  for (const char* name : {"a.png", "c.jpg", ".h.png"}) WriteBytes(dir_ + "/" + name, 2047);
  ::mkfifo((dir_ + "/pipe").c_str(), 0644);
  fs::create_directories(dir_ + "/sub");
  Open(true);
  using V = std::vector<std::string>;
  EXPECT_EQ(Captions(list_), (V{" Parent", "sub", ".h.png", "a.png", "c.jpg", "pipe"}));
  list_.SetMask("*.png");
  EXPECT_EQ(Captions(list_), (V{" Parent", "sub", ".h.png", "a.png"}));
  list_.SetFileType(TFileListView::TFileType(TFileListView::ftReadOnly | TFileListView::ftSystem));
  EXPECT_EQ(Captions(list_), (V{" Parent", "sub", "a.png"}));
  list_.SetMask("*.*");
  list_.SetFileType(TFileListView::TFileType(TFileListView::ftHidden));
  EXPECT_EQ(Captions(list_), (V{" Parent", "sub", ".h.png", "a.png", "c.jpg"}));
  list_.SetParentDirCaption("Up");
  list_.SetHideFileExt(true);
  list_.SetFileSize(TFileListView::fsByte);
  list_.UpdateFileList();
  EXPECT_EQ(Captions(list_), (V{" Up", "sub", ".h", "a", "c"}));
  EXPECT_EQ(list_.Items()[std::size_t(RowOf(list_, "a"))].SubItems[kSubSize], "2047");
  EXPECT_EQ(list_.FolderTotal(), 3 * 2047);
  list_.SetShowFolders(false);
  EXPECT_EQ(Captions(list_), (V{".h", "a", "c"}));
  list_.SetParentDirEnabled(false);
  list_.SetShowFolders(true);
  EXPECT_EQ(Captions(list_), (V{"sub", ".h", "a", "c"}));
}

TEST_F(FileListTest, SortOrdersByEveryColumn) {
  test::MakeSortFolder(dir_);
  Open(true);
  using V = std::vector<std::string>;
  EXPECT_EQ(list_.SortColumn(), 0);
  EXPECT_FALSE(list_.SortDescending());
  EXPECT_EQ(Captions(list_), (V{" Parent", "Alpha", "beta", ".h.txt", "a.txt", "B.png", "c.bin"}));
  EXPECT_EQ(list_.header()->sortIndicatorSection(), 0);
  // The header's order is flipped so that a descending sort shows the down arrow.
  EXPECT_EQ(list_.header()->sortIndicatorOrder(), Qt::DescendingOrder);

  list_.HeaderClick(0);
  EXPECT_EQ(Captions(list_), (V{" Parent", "c.bin", "B.png", "a.txt", ".h.txt", "beta", "Alpha"}));
  EXPECT_EQ(list_.header()->sortIndicatorOrder(), Qt::AscendingOrder);

  list_.HeaderClick(1);  // a new column starts descending
  EXPECT_TRUE(list_.SortDescending());
  EXPECT_EQ(Captions(list_), (V{" Parent", "c.bin", "a.txt", "B.png", ".h.txt", "beta", "Alpha"}));
  list_.HeaderClick(3);
  EXPECT_EQ(Captions(list_), (V{" Parent", ".h.txt", "B.png", "c.bin", "a.txt", "Alpha", "beta"}));
  list_.HeaderClick(3);
  ASSERT_EQ(Captions(list_), (V{" Parent", "beta", "Alpha", "a.txt", "c.bin", "B.png", ".h.txt"}));
  EXPECT_EQ(list_.CompareItems(list_.Items()[1], list_.Items()[2]), -1);
  EXPECT_EQ(list_.CompareItems(list_.Items()[2], list_.Items()[3]), -1);  // folders first
  EXPECT_EQ(list_.CompareItems(list_.Items()[6], list_.Items()[5]), 1);

  // A click on the header sorts as HeaderClick does, and the arrow follows.
  list_.show();
  QHeaderView* header = list_.header();
  const QPoint sizeSection(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeSection);
  EXPECT_EQ(list_.SortColumn(), 1);
  EXPECT_TRUE(list_.SortDescending());
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeSection);
  EXPECT_FALSE(list_.SortDescending());
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_EQ(Captions(list_).back(), "c.bin");

  // A re-read sorts by name again, descending when another column was the sort column.
  list_.UpdateFileList();
  EXPECT_EQ(list_.SortColumn(), 0);
  EXPECT_TRUE(list_.SortDescending());
}

TEST_F(FileListTest, DriveViewIgnoresHeaderClicks) {
  list_.SetDirectory("Drives");
  list_.UpdateFileList();
  ASSERT_FALSE(list_.Items().empty());
  EXPECT_EQ(list_.Items().front().SubItems[4], "/");
  EXPECT_EQ(list_.Items().front().Kind, TEntryKind::Drive);
  EXPECT_TRUE(list_.Items().front().Caption.startsWith(" (/)  "));
  EXPECT_EQ(list_.model()->headerData(2, Qt::Horizontal), "Disk Size");
  const auto before = Captions(list_);
  list_.HeaderClick(0);
  list_.HeaderClick(1);
  EXPECT_EQ(Captions(list_), before);
  EXPECT_FALSE(list_.Sortable());
  for (const TListItem& item : list_.Items()) EXPECT_TRUE(item.SubItems[1].endsWith(" Mb"));
}

TEST_F(FileListTest, SelectedItemFollowsClicks) {
  fs::create_directories(dir_ + "/sub");
  WriteBytes(dir_ + "/pic.png", 10);
  Open(true);
  list_.show();
  QSignalSpy clicks(&list_, &TFileListView::Click);
  QSignalSpy changes(&list_, &TFileListView::OnItemChange);
  EXPECT_TRUE(list_.SelectedItem().isEmpty());
  // The first entry is focused but not selected after a re-read.
  EXPECT_EQ(list_.SelectedIndex(), -1);
  EXPECT_EQ(list_.currentIndex().row(), 0);

  ClickRow(RowOf(list_, "pic.png"));
  EXPECT_EQ(list_.SelectedItem(), Folder() + "pic.png");
  EXPECT_EQ(clicks.count(), 1);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.at(0).at(1).toString(), Folder() + "pic.png");

  ClickRow(RowOf(list_, "sub"));
  EXPECT_EQ(list_.SelectedItem(), Folder() + "sub");
  ClickRow(RowOf(list_, " Parent"));
  EXPECT_EQ(list_.SelectedItem(), Folder() + "..");

  // Empty space clears the selection: no event, the path stays.
  QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, QPoint(10, list_.viewport()->height() - 5));
  EXPECT_EQ(list_.SelectedItem(), Folder() + "..");
  EXPECT_EQ(clicks.count(), 3);

  // Releasing Down reports the entry it moved to.
  ClickRow(0);
  QTest::keyClick(&list_, Qt::Key_Down);
  EXPECT_EQ(list_.SelectedItem(), Folder() + "sub");
  EXPECT_EQ(clicks.count(), 5);
  // Other keys that move the selection report nothing.
  QTest::keyClick(&list_, Qt::Key_End);
  EXPECT_EQ(clicks.count(), 5);

  list_.SetDirectory("Drives");
  ClickRow(0);
  EXPECT_EQ(list_.SelectedItem(), "/");
}

TEST_F(FileListTest, ItemLayout) {
  WriteBytes(dir_ + "/shot.png", 10);
  SetTime(dir_ + "/shot.png", 1234567890);
  Open(true);
  list_.SetDateFormat(TFileListView::df_yyyyMMdd);
  list_.SetTimeFormat(TFileListView::tfShortFormat);
  list_.UpdateFileList();
  const TListItem& parent = list_.Items()[0];
  EXPECT_EQ(parent.Caption, " Parent");
  EXPECT_EQ(parent.SubItems[1], " ");
  EXPECT_EQ(parent.SubItems[4], Folder() + "..");
  const TListItem& file = list_.Items()[std::size_t(RowOf(list_, "shot.png"))];
  EXPECT_EQ(file.SubItems[1], "PNG image");
  EXPECT_TRUE(file.SubItems[2].startsWith(QDateTime::fromSecsSinceEpoch(1234567890).toString("yyyy-MM-dd ")));
  EXPECT_EQ(file.SubItems[3], "");
  EXPECT_EQ(file.Kind, TEntryKind::File);
  EXPECT_EQ(file.TimeKey, 1234567890000000000);
  list_.SetDateFormat(TFileListView::df_ddMMyy_DE);
  EXPECT_EQ(list_.DatePattern(), "dd.MM.yy");
  list_.SetTimeFormat(TFileListView::tfCustomize);
  EXPECT_TRUE(list_.TimePattern().endsWith(" AP"));
  EXPECT_FALSE(list_.TimePattern().contains('t'));
  list_.SetHideFileExt(true);
  list_.UpdateFileList();
  EXPECT_EQ(list_.Items()[std::size_t(RowOf(list_, "shot"))].SubItems[2].left(9),
            QDateTime::fromSecsSinceEpoch(1234567890).toString("dd.MM.yy "));
  EXPECT_GE(RowOf(list_, "shot"), 0);
  EXPECT_EQ(list_.SelectedNumber(), 2);
  EXPECT_EQ(list_.SelectedSize(), 0);
  list_.SelectRow(RowOf(list_, "shot"));
  EXPECT_EQ(list_.SelectedNumber(), 1);
  EXPECT_EQ(list_.SelectedSize(), 10);
}

TEST_F(FileListTest, DirectoryAssignments) {
  fs::create_directories(dir_ + "/sub");
  Open();
  const int reads = list_.FileReads();
  list_.SetDirectory(Folder());
  EXPECT_EQ(list_.FileReads(), reads);
  // The same folder without its slash is another text, so the list reads it
  // again: choosing the shown folder in the drop-down refreshes the list.
  list_.SetDirectory(Q(dir_));
  EXPECT_EQ(list_.FileReads(), reads + 1);
  EXPECT_EQ(list_.Directory(), Folder());
  // Letter case makes another folder here; a missing one is ignored.
  list_.SetDirectory(Q(dir_).toUpper());
  list_.SetDirectory(Folder() + "missing");
  EXPECT_EQ(list_.Directory(), Folder());
  EXPECT_EQ(QDir::currentPath() + "/", Folder());
  list_.SetDirectory("drives");
  EXPECT_EQ(list_.Directory(), "drives");
  EXPECT_EQ(list_.Items().front().Kind, TEntryKind::Drive);
  list_.SetDirectory("DRIVES");
  EXPECT_EQ(list_.Directory(), "drives");
}

TEST_F(FileListTest, GoingUpHighlightsTheFolderLeft) {
  fs::create_directories(dir_ + "/inner/deeper");
  fs::create_directories(dir_ + "/zzz");
  list_.SetShowFolders(true);
  list_.SetDirectory(Folder() + "inner/");
  QSignalSpy clicks(&list_, &TFileListView::Click);
  list_.OneLevelUp();
  EXPECT_EQ(list_.Directory(), Folder());
  EXPECT_EQ(list_.SelectedItem(), Folder() + "inner");
  ASSERT_GE(list_.SelectedIndex(), 0);
  EXPECT_EQ(list_.Items()[std::size_t(list_.SelectedIndex())].Caption, "inner");
  EXPECT_EQ(clicks.count(), 1);

  // Backspace goes up with folders hidden too, and opening the parent entry goes up as well.
  list_.SetDirectory(Folder() + "inner/deeper/");
  list_.SetShowFolders(false);
  list_.show();
  list_.setFocus();
  QTest::keyClick(&list_, Qt::Key_Backspace);
  EXPECT_EQ(list_.Directory(), Folder() + "inner/");
  list_.SetShowFolders(true);
  list_.SelectRow(RowOf(list_, " Parent"));
  list_.OpenItem();
  EXPECT_EQ(list_.Directory(), Folder());
  list_.SelectRow(RowOf(list_, "zzz"));
  QTest::keyClick(&list_, Qt::Key_Return);
  EXPECT_EQ(list_.Directory(), Folder() + "zzz/");

  list_.SetDirectory("/");
  EXPECT_EQ(RowOf(list_, " Parent"), -1);  // a volume root has no parent entry
  list_.OneLevelUp();
  EXPECT_EQ(list_.Directory(), "Drives");
  list_.OneLevelUp();
  EXPECT_EQ(list_.Directory(), "Drives");
}

// The parent entry is known by its kind, not by its caption.
TEST_F(FileListTest, AFolderNamedLikeTheParentEntryIsAnOrdinaryFolder) {
  fs::create_directories(dir_ + "/ Parent");
  WriteBytes(dir_ + "/a.png", 1);
  Open(true);
  ASSERT_EQ(Captions(list_), (std::vector<std::string>{" Parent", " Parent", "a.png"}));
  list_.selectAll();
  EXPECT_EQ(list_.SelectedPaths(true), (QStringList{Folder() + " Parent", Folder() + "a.png"}));
  list_.SelectRow(1);
  list_.OpenItem();
  EXPECT_EQ(list_.Directory(), Folder() + " Parent/");
}

TEST_F(FileListTest, OpenItemHandsFilesToTheOpener) {
  WriteBytes(dir_ + "/pic.png", 4);
  Open();
  QString opened;
  TFileListView::SetFileOpener([&](const QString& path) {
    opened = path;
    return true;
  });
  list_.SelectRow(RowOf(list_, "pic.png"));
  list_.OpenItem();
  TFileListView::SetFileOpener(nullptr);
  EXPECT_EQ(opened, Folder() + "pic.png");
  EXPECT_EQ(list_.Directory(), Folder());
}

TEST_F(FileListTest, AReReadKeepsTheSelectionAndTheScrollPosition) {
  for (int i = 0; i < 300; ++i) WriteBytes(dir_ + "/f" + std::to_string(1000 + i) + ".png", 1);
  Open();
  list_.show();
  const int row = RowOf(list_, "f1250.png");
  list_.SelectRow(row);
  const int scrolled = list_.verticalScrollBar()->value();
  ASSERT_GT(scrolled, 0);
  fs::remove(dir_ + "/f1000.png");
  WriteBytes(dir_ + "/f0999.png", 1);
  list_.UpdateFileList();
  EXPECT_EQ(list_.SelectedIndex(), RowOf(list_, "f1250.png"));
  EXPECT_EQ(list_.currentIndex().row(), RowOf(list_, "f1250.png"));
  EXPECT_EQ(list_.verticalScrollBar()->value(), scrolled);

  // An entry that is gone leaves nothing selected; another folder starts at the top.
  fs::remove(dir_ + "/f1250.png");
  list_.UpdateFileList();
  EXPECT_EQ(list_.SelectedIndex(), -1);
  list_.SelectRow(RowOf(list_, "f1200.png"));
  fs::create_directories(dir_ + "/other");
  WriteBytes(dir_ + "/other/f1200.png", 1);
  list_.SetDirectory(Folder() + "other");
  EXPECT_EQ(list_.SelectedIndex(), -1);
  EXPECT_EQ(list_.verticalScrollBar()->value(), 0);
}

TEST_F(FileListTest, ChangesInTheListedFolderShowWithoutARefresh) {
  WriteBytes(dir_ + "/b.png", 1);
  WriteBytes(dir_ + "/c.png", 1);
  Open(true);
  list_.SelectRow(RowOf(list_, "c.png"));
  WriteBytes(dir_ + "/a.png", 1);
  ASSERT_TRUE(test::WaitUntil([&] { return RowOf(list_, "a.png") >= 0; }, 30000));
  EXPECT_EQ(list_.SelectedIndex(), RowOf(list_, "c.png"));  // kept, though its row moved
  fs::rename(dir_ + "/b.png", dir_ + "/renamed.png");
  ASSERT_TRUE(test::WaitUntil([&] { return RowOf(list_, "renamed.png") >= 0 && RowOf(list_, "b.png") < 0; }, 30000));
  fs::create_directories(dir_ + "/made");
  ASSERT_TRUE(test::WaitUntil([&] { return RowOf(list_, "made") >= 0; }, 30000));
  fs::remove(dir_ + "/a.png");
  ASSERT_TRUE(test::WaitUntil([&] { return RowOf(list_, "a.png") < 0; }, 30000));
  EXPECT_EQ(list_.SelectedIndex(), RowOf(list_, "c.png"));
  EXPECT_GE(list_.ChangeRereads(), 4);
}

TEST_F(FileListTest, VanishedAndUnreadableFoldersListEmpty) {
  fs::create_directories(dir_ + "/gone");
  WriteBytes(dir_ + "/gone/x.png", 1);
  list_.SetShowFolders(false);
  list_.SetDirectory(Folder() + "gone");
  ASSERT_EQ(list_.Items().size(), 1u);
  ASSERT_EQ(::chdir("/"), 0);
  fs::remove_all(dir_ + "/gone");
  list_.UpdateFileList();
  EXPECT_TRUE(list_.Items().empty());
  EXPECT_EQ(list_.Directory(), Folder() + "gone/");
  list_.OneLevelUp();
  EXPECT_EQ(list_.Directory(), Folder());
}

TEST_F(FileListTest, NamesThatAreNotUtf8AreListedAndRoundTrip) {
  const QByteArray bytes = QByteArray("caf\xe9-\xff.png");  // Latin-1 bytes
  const std::string path = dir_ + "/" + bytes.toStdString();
  WriteBytes(path, 7);
  WriteBytes(dir_ + "/other\xfe.png", 3);
  Open();
  list_.show();
  const int row = RowOf(list_, DecodeFileName(bytes));
  ASSERT_GE(row, 0);
  ClickRow(row);
  const QByteArray selected = EncodeFileName(list_.SelectedItem());
  EXPECT_EQ(selected.toStdString(), path);
  EXPECT_EQ(list_.SelectedSize(), 7);
}

TEST_F(FileListTest, KeysReachTheFileCommands) {
  WriteBytes(dir_ + "/keep.png", 1);
  Open();
  list_.show();
  list_.SelectRow(0);
  QString question;
  test::OnNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    question = box->text();
    box->button(QMessageBox::No)->click();
  });
  QTest::keyClick(&list_, Qt::Key_Delete);
  EXPECT_EQ(question, "Are you sure you want to move \"keep.png\" to the trash?");
  EXPECT_TRUE(fs::exists(dir_ + "/keep.png"));
  QTest::keyClick(&list_, Qt::Key_F2);
  auto* editor = list_.findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Escape);
  QTest::qWait(20);
  EXPECT_TRUE(fs::exists(dir_ + "/keep.png"));
  QTest::keyClick(&list_, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(list_.ClipboardFiles(), QStringList{Folder() + "keep.png"});
  QTest::keyClick(&list_, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list_.SelectedNumber(), 1);
}

}  // namespace
}  // namespace vumo
