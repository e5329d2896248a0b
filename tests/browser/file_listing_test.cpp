#include "browser/file_listing.h"

#include "browser/file_names.h"
#include "browser_test_util.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace vumo {
namespace {

using namespace test;
using V = std::vector<std::string>;
namespace fs = std::filesystem;

class FileListingTest : public TFolderTest {
 protected:
  FileListingTest() : TFolderTest("file_listing_") {}
  // A fresh reading of the folder, in the order the folder gave.
  void Read() {
    items_.clear();
    listing_.ReadFolder(Folder(), items_);
  }
  V Captions() const {
    V captions;
    for (const TListItem& item : items_) captions.push_back(item.Caption.toStdString());
    return captions;
  }
  V SortedCaptions() const {
    V captions = Captions();
    std::sort(captions.begin(), captions.end());
    return captions;
  }
  // Reorders the items as a click on a column header does, from their present order.
  V SortBy(int column, bool descending) {
    std::vector<TListItem> sorted;
    for (int row : TFileListing::Order(items_, column, descending)) sorted.push_back(items_[std::size_t(row)]);
    items_ = std::move(sorted);
    return Captions();
  }
  const TListItem& Item(const QString& caption) const {
    static const TListItem none;
    for (const TListItem& item : items_)
      if (item.Caption == caption) return item;
    ADD_FAILURE() << "no entry " << caption.toStdString();
    return none;
  }
  bool Listed(const QString& caption) const {
    return std::any_of(items_.begin(), items_.end(), [&](const TListItem& item) { return item.Caption == caption; });
  }

  TFileListing listing_;
  std::vector<TListItem> items_;
};

TEST_F(FileListingTest, MaskEdgeCases) {
  for (const char* name : {"a.png", "b.PNG", "c.jpg", " d.png", "noext"}) WriteBytes(dir_ + "/" + name, 10);
  listing_.Options.ShowFolders = false;
  auto read = [&](const char* mask) {
    listing_.Options.Mask = mask;
    Read();
    return SortedCaptions();
  };
  EXPECT_EQ(read("*.*"), (V{" d.png", "a.png", "b.PNG", "c.jpg", "noext"}));  // "*.*" takes names without a dot
  EXPECT_EQ(read("   ").size(), 5u);
  EXPECT_EQ(read("").size(), 5u);
  EXPECT_EQ(read("  *.png  "), (V{" d.png", "a.png", "b.PNG"}));
  // A blank after ";" belongs to the next pattern: only names starting with a blank.
  EXPECT_EQ(read("*.jpg; *.png"), (V{" d.png", "c.jpg"}));
  EXPECT_EQ(read("*.jpg;*.jpg"), (V{"c.jpg", "c.jpg"}));
  EXPECT_EQ(read("noext.*"), (V{"noext"}));
  EXPECT_EQ(read("?.png;;"), (V{"a.png", "b.PNG"}));
  // One reading of the folder serves every pattern.
  const int reads = listing_.FileReads();
  read("*.png;*.jpg;*.bmp");
  EXPECT_EQ(listing_.FileReads(), reads + 1);
}

TEST_F(FileListingTest, SortOrdersByEveryColumn) {
  test::MakeSortFolder(dir_);
  Read();
  EXPECT_TRUE(listing_.Sortable());
  EXPECT_EQ(SortBy(0, false), (V{" Parent", "Alpha", "beta", ".h.txt", "a.txt", "B.png", "c.bin"}));
  EXPECT_EQ(SortBy(0, true), (V{" Parent", "c.bin", "B.png", "a.txt", ".h.txt", "beta", "Alpha"}));

  const V bySize = SortBy(1, true);
  EXPECT_EQ(bySize.front(), " Parent");
  EXPECT_EQ(V(bySize.begin() + 1, bySize.begin() + 5), (V{"c.bin", "a.txt", "B.png", ".h.txt"}));  // 4, 2, 1 and 1 KB: equal sizes keep their order
  EXPECT_EQ(SortBy(1, false).front(), " Parent");
  EXPECT_EQ(Captions().back(), "c.bin");

  // The time's key is the number of nanoseconds, not its text.
  EXPECT_EQ(Item("a.txt").TimeKey, 1000000000LL * 1000000000);
  EXPECT_EQ(SortBy(3, true), (V{" Parent", ".h.txt", "B.png", "c.bin", "a.txt", "Alpha", "beta"}));
  EXPECT_EQ(SortBy(3, false), (V{" Parent", "beta", "Alpha", "a.txt", "c.bin", "B.png", ".h.txt"}));

  EXPECT_EQ(SortBy(4, true)[1], ".h.txt");  // attributes: the hidden file carries "H"
  EXPECT_EQ(SortBy(4, false).back(), ".h.txt");

  const V types = SortBy(2, true);  // type names, folders kept together
  EXPECT_EQ(types.front(), " Parent");
  EXPECT_TRUE((types[5] == "Alpha" || types[5] == "beta") && (types[6] == "Alpha" || types[6] == "beta"));

  // Only the parent entry leads: a folder named like its caption sorts as any folder.
  fs::create_directories(dir_ + "/ Parent");
  Read();
  const V named = SortBy(0, false);
  EXPECT_EQ(named, (V{" Parent", " Parent", "Alpha", "beta", ".h.txt", "a.txt", "B.png", "c.bin"}));
  EXPECT_EQ(items_[0].Kind, TEntryKind::Parent);
  EXPECT_EQ(items_[1].Kind, TEntryKind::Folder);
  EXPECT_EQ(SortBy(0, true).back(), " Parent");
  EXPECT_EQ(items_.front().Kind, TEntryKind::Parent);
}

TEST_F(FileListingTest, SizeTexts) {
  fs::create_directories(dir_ + "/folder");
  for (std::size_t size : {0, 1, 1023, 2047, 2048}) WriteBytes(dir_ + "/f" + std::to_string(size), size);
  Read();
  auto size = [&](const char* caption) { return Item(caption).SubItems[kSubSize]; };
  EXPECT_EQ(size("f0"), "0 KB");
  EXPECT_EQ(size("f1"), "1 KB");
  EXPECT_EQ(size("f1023"), "1 KB");
  EXPECT_EQ(size("f2047"), "1 KB");
  EXPECT_EQ(size("f2048"), "2 KB");
  EXPECT_EQ(size("folder"), " ");
  EXPECT_EQ(Item("f1").SizeKey, 1);
  EXPECT_EQ(Item("f2047").Bytes, 2047);
  EXPECT_EQ(listing_.FolderTotal(), 0 + 1 + 1023 + 2047 + 2048);
  listing_.Options.SizeInBytes = true;
  Read();
  EXPECT_EQ(size("f2047"), "2047");
  EXPECT_EQ(Item("f2047").SizeKey, 2047);
  EXPECT_EQ(size("f0"), "0");
  EXPECT_EQ(size("folder"), " ");
  EXPECT_EQ(listing_.FolderTotal(), 0 + 1 + 1023 + 2047 + 2048);  // counted afresh, not added to the last reading's
}

TEST_F(FileListingTest, HiddenAndSystemEntriesFollowTheAttributeFilter) {
  WriteBytes(dir_ + "/.hidden.png", 1);
  WriteBytes(dir_ + "/plain.png", 1);
  fs::create_directories(dir_ + "/.hdir");
  ::mkfifo((dir_ + "/pipe").c_str(), 0644);
  Read();
  EXPECT_TRUE(Listed(".hidden.png"));
  EXPECT_TRUE(Listed(".hdir"));
  ASSERT_TRUE(Listed("pipe"));
  EXPECT_EQ(Item(".hidden.png").SubItems[kSubAttr], "H");
  EXPECT_EQ(Item("pipe").SubItems[kSubAttr], "S");
  EXPECT_EQ(Item(".hdir").Kind, TEntryKind::Folder);
  EXPECT_TRUE(IsFolderEntry(Item(".hdir")));
  EXPECT_EQ(Item("pipe").Kind, TEntryKind::File);
  EXPECT_FALSE(IsFolderEntry(Item("pipe")));
  listing_.Options.Attributes = kAttrReadOnly | kAttrArchive;
  Read();
  EXPECT_FALSE(Listed(".hidden.png"));
  EXPECT_FALSE(Listed(".hdir"));
  EXPECT_FALSE(Listed("pipe"));
  EXPECT_TRUE(Listed("plain.png"));
  listing_.Options.Attributes = 0;  // plain files are listed whatever the filter holds
  Read();
  EXPECT_TRUE(Listed("plain.png"));
  EXPECT_TRUE(Listed(" Parent"));
  listing_.Options.ShowFolders = false;
  Read();
  EXPECT_FALSE(Listed(" Parent"));
  listing_.Options.ShowFolders = true;
  listing_.Options.ParentEntry = false;
  Read();
  EXPECT_FALSE(Listed(" Parent"));
}

TEST_F(FileListingTest, TheParentEntryAndHiddenExtensions) {
  WriteBytes(dir_ + "/shot.png", 10);
  WriteBytes(dir_ + "/.rc", 10);
  fs::create_directories(dir_ + "/dir.d");
  SetTime(dir_ + "/shot.png", 1234567890);
  listing_.Options.ParentCaption = " Up";
  listing_.Options.HideExtensions = true;
  listing_.Options.DatePattern = "dd.MM.yy";
  Read();
  const TListItem& parent = Item(" Up");
  EXPECT_EQ(parent.Kind, TEntryKind::Parent);
  EXPECT_EQ(parent.SubItems[kSubType], " ");
  EXPECT_EQ(parent.SubItems[kSubModified], " ");
  EXPECT_EQ(parent.SubItems[kSubPath], Folder() + "..");
  // Folders and names that are all extension keep their dot.
  EXPECT_TRUE(Listed("dir.d"));
  EXPECT_TRUE(Listed(".rc"));
  const TListItem& shot = Item("shot");
  EXPECT_EQ(shot.SubItems[kSubPath], Folder() + "shot.png");
  EXPECT_EQ(shot.SortName, "SHOT");
  EXPECT_EQ(shot.SubItems[kSubModified].left(9), QDateTime::fromSecsSinceEpoch(1234567890).toString("dd.MM.yy "));
  listing_.Options.DatePattern = "yyyy-MM-dd";  // a new pattern is not answered from the texts made for the old one
  Read();
  EXPECT_TRUE(Item("shot").SubItems[kSubModified].startsWith(QDateTime::fromSecsSinceEpoch(1234567890).toString("yyyy-MM-dd ")));

  // A volume root has no parent entry.
  std::vector<TListItem> root;
  listing_.AddFiles("/*.*", listing_.Options.Attributes | kAttrDirectory, root);
  EXPECT_TRUE(std::none_of(root.begin(), root.end(), [](const TListItem& item) { return item.Kind == TEntryKind::Parent; }));
}

TEST_F(FileListingTest, DrivesAreListedInTheirOwnOrder) {
  WriteBytes(dir_ + "/x.png", 100);
  Read();
  ASSERT_GT(listing_.FolderTotal(), 0);
  items_.clear();
  listing_.ReadDrives(items_);
  EXPECT_FALSE(listing_.Sortable());
  EXPECT_EQ(listing_.FolderTotal(), 0);
  ASSERT_FALSE(items_.empty());
  EXPECT_EQ(items_.front().SubItems[kSubPath], "/");
  EXPECT_TRUE(items_.front().Caption.startsWith(" (/)  "));
  for (const TListItem& item : items_) {
    EXPECT_EQ(item.Kind, TEntryKind::Drive);
    EXPECT_FALSE(IsFolderEntry(item));
    EXPECT_TRUE(item.SubItems[kSubType].endsWith(" Mb"));
  }
  EXPECT_EQ(SizeInMb(0), "0 Mb");
  EXPECT_EQ(SizeInMb(999), "0 Mb");
  EXPECT_EQ(SizeInMb(2500), "2 Mb");
}

TEST_F(FileListingTest, NamesThatAreNotUtf8AreListedAndRoundTrip) {
  const QByteArray bytes = QByteArray("caf\xe9-\xff.png");  // Latin-1 bytes
  const std::string path = dir_ + "/" + bytes.toStdString();
  WriteBytes(path, 7);
  WriteBytes(dir_ + "/other\xfe.png", 3);
  listing_.Options.ShowFolders = false;
  Read();
  ASSERT_EQ(items_.size(), 2u);
  const TListItem& item = Item(DecodeFileName(bytes));
  const QByteArray encoded = EncodeFileName(item.SubItems[kSubPath]);
  EXPECT_EQ(encoded.toStdString(), path);
  struct stat st {};
  ASSERT_EQ(::stat(encoded.constData(), &st), 0);
  EXPECT_EQ(st.st_size, 7);
  EXPECT_EQ(item.Bytes, 7);
  // Qt's own encoding loses such bytes, which is why the list has its own.
  EXPECT_NE(QFile::encodeName(item.SubItems[kSubPath]), encoded);
}

}  // namespace
}  // namespace vumo
