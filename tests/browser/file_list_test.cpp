#include "browser/file_list_view.h"

#include "browser/file_names.h"
#include "browser_test_util.h"
#include "shell/shell_test_util.h"

#include <QFile>
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

using test::Captions;
using test::Q;
using test::RowOf;
using test::SetTime;
using test::WriteBytes;
namespace fs = std::filesystem;

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir(std::string("file_list_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    list_.resize(600, 400);
  }
  QString Folder() const { return AddSlash(Q(dir_)); }
  void Open(bool showFolders = false) {
    list_.SetShowFolders(showFolders);
    list_.SetDirectory(Folder());
    list_.UpdateFileList();
  }
  void ClickRow(int row) {
    const QRect rect = list_.visualRect(list_.model()->index(row, 0));
    QTest::mouseClick(list_.viewport(), Qt::LeftButton, {}, rect.center());
  }

  std::string dir_;
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

TEST_F(FileListTest, MaskEdgeCases) {
  for (const char* name : {"a.png", "b.PNG", "c.jpg", " d.png", "noext"}) WriteBytes(dir_ + "/" + name, 10);
  Open();
  auto sorted = [&] {
    auto captions = Captions(list_);
    std::sort(captions.begin(), captions.end());
    return captions;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(sorted(), (V{" d.png", "a.png", "b.PNG", "c.jpg", "noext"}));  // "*.*" takes names without a dot
  list_.SetMask("   ");
  EXPECT_EQ(sorted().size(), 5u);
  list_.SetMask("");
  EXPECT_EQ(sorted().size(), 5u);
  list_.SetMask("  *.png  ");
  EXPECT_EQ(sorted(), (V{" d.png", "a.png", "b.PNG"}));
  // A blank after ";" belongs to the next pattern: only names starting with a blank.
  list_.SetMask("*.jpg; *.png");
  EXPECT_EQ(sorted(), (V{" d.png", "c.jpg"}));
  list_.SetMask("*.jpg;*.jpg");
  EXPECT_EQ(sorted(), (V{"c.jpg", "c.jpg"}));
  list_.SetMask("noext.*");
  EXPECT_EQ(sorted(), (V{"noext"}));
  list_.SetMask("?.png;;");
  EXPECT_EQ(sorted(), (V{"a.png", "b.PNG"}));
}

TEST_F(FileListTest, SortOrdersByEveryColumn) {
  fs::create_directories(dir_ + "/Alpha");
  fs::create_directories(dir_ + "/beta");
  WriteBytes(dir_ + "/a.txt", 3000);
  WriteBytes(dir_ + "/B.png", 10);
  WriteBytes(dir_ + "/c.bin", 5000);
  WriteBytes(dir_ + "/.h.txt", 2000);
  SetTime(dir_ + "/a.txt", 1000000000);
  SetTime(dir_ + "/B.png", 1200000000);
  SetTime(dir_ + "/c.bin", 1100000000);
  SetTime(dir_ + "/.h.txt", 1300000000);
  SetTime(dir_ + "/Alpha", 1400000000);
  SetTime(dir_ + "/beta", 900000000);
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
  EXPECT_EQ(Captions(list_).front(), " Parent");
  const V bySize = Captions(list_);
  V files(bySize.begin() + 1, bySize.begin() + 5);
  EXPECT_EQ(files, (V{"c.bin", "a.txt", "B.png", ".h.txt"}));  // 4, 2, 1 and 1 KB: equal sizes keep their order
  list_.HeaderClick(1);
  EXPECT_EQ(Captions(list_).front(), " Parent");
  EXPECT_EQ(Captions(list_).back(), "c.bin");

  list_.HeaderClick(3);
  EXPECT_EQ(Captions(list_), (V{" Parent", ".h.txt", "B.png", "c.bin", "a.txt", "Alpha", "beta"}));
  list_.HeaderClick(3);
  EXPECT_EQ(Captions(list_), (V{" Parent", "beta", "Alpha", "a.txt", "c.bin", "B.png", ".h.txt"}));

  list_.HeaderClick(4);  // attributes: the hidden file carries "H"
  EXPECT_EQ(Captions(list_)[1], ".h.txt");
  list_.HeaderClick(4);
  EXPECT_EQ(Captions(list_).back(), ".h.txt");

  list_.HeaderClick(2);  // type names, folders kept together
  const auto types = Captions(list_);
  EXPECT_EQ(types.front(), " Parent");
  EXPECT_TRUE((types[5] == "Alpha" || types[5] == "beta") && (types[6] == "Alpha" || types[6] == "beta"));

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
  EXPECT_EQ(list_.Items().front().SubItems[5], "drv");
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

TEST_F(FileListTest, SizeTexts) {
  fs::create_directories(dir_ + "/folder");
  for (std::size_t size : {0, 1, 1023, 2047, 2048}) WriteBytes(dir_ + "/f" + std::to_string(size), size);
  Open(true);
  auto size = [&](const char* caption) { return list_.Items()[std::size_t(RowOf(list_, caption))].SubItems[0]; };
  EXPECT_EQ(size("f0"), "0 KB");
  EXPECT_EQ(size("f1"), "1 KB");
  EXPECT_EQ(size("f1023"), "1 KB");
  EXPECT_EQ(size("f2047"), "1 KB");
  EXPECT_EQ(size("f2048"), "2 KB");
  EXPECT_EQ(size("folder"), " ");
  EXPECT_EQ(list_.FolderTotal(), 0 + 1 + 1023 + 2047 + 2048);
  list_.SetFileSize(TFileListView::fsByte);
  list_.UpdateFileList();
  EXPECT_EQ(size("f2047"), "2047");
  EXPECT_EQ(size("f0"), "0");
  EXPECT_EQ(size("folder"), " ");
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
  EXPECT_EQ(file.SubItems[5], "file");
  EXPECT_EQ(file.SubItems[6], "1234567890000000000");
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

TEST_F(FileListTest, HiddenAndSystemEntriesFollowFileType) {
  WriteBytes(dir_ + "/.hidden.png", 1);
  WriteBytes(dir_ + "/plain.png", 1);
  fs::create_directories(dir_ + "/.hdir");
  ::mkfifo((dir_ + "/pipe").c_str(), 0644);
  Open(true);
  EXPECT_GE(RowOf(list_, ".hidden.png"), 0);
  EXPECT_GE(RowOf(list_, ".hdir"), 0);
  ASSERT_GE(RowOf(list_, "pipe"), 0);
  EXPECT_EQ(list_.Items()[std::size_t(RowOf(list_, ".hidden.png"))].SubItems[3], "H");
  EXPECT_EQ(list_.Items()[std::size_t(RowOf(list_, "pipe"))].SubItems[3], "S");
  list_.SetFileType(TFileListView::TFileType(TFileListView::ftReadOnly | TFileListView::ftArchive));
  EXPECT_EQ(RowOf(list_, ".hidden.png"), -1);
  EXPECT_EQ(RowOf(list_, ".hdir"), -1);
  EXPECT_EQ(RowOf(list_, "pipe"), -1);
  EXPECT_GE(RowOf(list_, "plain.png"), 0);
  list_.SetFileType({});  // plain files are listed whatever the filter holds
  EXPECT_GE(RowOf(list_, "plain.png"), 0);
  list_.SetShowFolders(false);
  EXPECT_EQ(RowOf(list_, " Parent"), -1);
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
  EXPECT_EQ(list_.Items().front().SubItems[5], "drv");
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
  ASSERT_EQ(list_.Items().size(), 2u);
  list_.show();
  const int row = RowOf(list_, DecodeFileName(bytes));
  ASSERT_GE(row, 0);
  ClickRow(row);
  const QByteArray selected = EncodeFileName(list_.SelectedItem());
  EXPECT_EQ(selected.toStdString(), path);
  struct stat st {};
  ASSERT_EQ(::stat(selected.constData(), &st), 0);
  EXPECT_EQ(st.st_size, 7);
  // Qt's own encoding loses such bytes, which is why the list has its own.
  EXPECT_NE(QFile::encodeName(list_.SelectedItem()), selected);
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
