// The file list's header columns and its name filter: the cache behind the columns (a hit on
// an unchanged file, a miss after a rewrite), the columns filling in without a reset of the
// list, their order, the header's popup and the filter box.
#include "browser/file_list_view.h"

#include "browser/file_filter_box.h"
#include "browser/file_names.h"
#include "browser/header_info_cache.h"
#include "browser_test_util.h"

#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

void CopyFixture(const std::string& fixture, const std::string& to) {
  fs::copy_file(Fixture(fixture), to, fs::copy_options::overwrite_existing);
}

// A DDS header of a texture of any size, with no pixels: the columns need no more.
void WriteDdsHeader(const std::string& path, std::uint32_t width, std::uint32_t height) {
  std::string h(128, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(h.data() + at, &v, 4); };
  std::memcpy(h.data(), "DDS ", 4);
  put(4, 124);
  put(8, 0x1 | 0x2 | 0x4 | 0x1000);
  put(12, height);
  put(16, width);
  put(76, 32);
  put(80, 0x4);
  std::memcpy(h.data() + 84, "DXT1", 4);
  Write(path, h);
}

THeaderKey KeyOf(const std::string& path) {
  const auto size = static_cast<std::int64_t>(fs::file_size(path));
  struct stat st {};
  ::stat(path.c_str(), &st);
  return THeaderKey{Q(path), size, std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

TEST(HeaderInfoCache, AnUnchangedFileIsReadOnceAndARewrittenOneAgain) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/t.dds";
  CopyFixture("dds/cube.dds", path);
  THeaderInfoCache cache;
  QSignalSpy ready(&cache, &THeaderInfoCache::Ready);
  const THeaderKey first = KeyOf(path);
  cache.Request({first});
  ASSERT_TRUE(WaitUntil([&] { return cache.Find(first) != nullptr; }));
  ASSERT_TRUE(cache.Find(first)->Info);
  EXPECT_EQ(cache.Find(first)->Info->ImageSet, "6 faces x 2 levels");
  EXPECT_EQ(ready.count(), 1);
  EXPECT_EQ(ready.first().first().toString(), Q(path));

  // Asked again, as a re-read of the folder does: nothing is read.
  cache.Request({first});
  EXPECT_EQ(cache.Pending(), 0);
  EXPECT_EQ(cache.Reads(), 1);

  // Rewritten with another picture of another size: the old entry no longer answers.
  CopyFixture("pngsuite/basn6a16.png", path);
  SetTime(path, 1500000000);
  const THeaderKey second = KeyOf(path);
  EXPECT_EQ(cache.Find(second), nullptr);
  cache.Request({second});
  ASSERT_TRUE(WaitUntil([&] { return cache.Find(second) != nullptr; }));
  EXPECT_EQ(cache.Reads(), 2);
  EXPECT_EQ(cache.Find(second)->Info->Format, "PNG RGBA 16-bit");
  EXPECT_EQ(cache.Find(first), nullptr);
}

TEST(HeaderInfoCache, FilesWithoutAHeaderAreAnsweredTooAndNotReadAgain) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/notes.txt";
  Write(path, "not a picture");
  THeaderInfoCache cache;
  const THeaderKey key = KeyOf(path);
  const THeaderKey missing{dir.path() + "/gone.png", 10, 10};
  cache.Request({key, missing});
  ASSERT_TRUE(WaitUntil([&] { return cache.Find(key) != nullptr && cache.Find(missing) != nullptr; }));
  EXPECT_FALSE(cache.Find(key)->Info);
  cache.Request({key, missing});
  EXPECT_EQ(cache.Reads(), 2);
}

// The rows on screen go first: moved to the front, they are read before the many files
// asked for ahead of them, though the worker may have taken a few of those already.
TEST(HeaderInfoCache, PrioritisedFilesAreReadBeforeTheRest) {
  QTemporaryDir dir;
  std::vector<THeaderKey> keys;
  for (int i = 0; i < 400; ++i) {
    const std::string path = dir.path().toStdString() + "/t" + std::to_string(i) + ".dds";
    WriteDdsHeader(path, 64, 64);
    keys.push_back(KeyOf(path));
  }
  THeaderInfoCache cache;
  QStringList order;
  QObject::connect(&cache, &THeaderInfoCache::Ready, [&](const QString& path) { order << path; });
  const QStringList wanted = {keys[399].Path, keys[398].Path, keys[250].Path};
  // Asked for together, so the worker cannot start on the others first.
  cache.Request(keys, wanted);
  ASSERT_TRUE(WaitUntil([&] { return order.size() == 400; }, 30000));
  for (const QString& path : wanted) EXPECT_LT(order.indexOf(path), 100) << path.toStdString();
  EXPECT_LT(order.indexOf(wanted[0]), order.indexOf(wanted[2]));
  // A new folder's files replace what waits; cancelled, nothing more arrives.
  cache.Clear();
  cache.Request(keys);
  cache.Cancel();
  ASSERT_TRUE(WaitUntil([&] { return cache.Pending() == 0; }));
  EXPECT_LT(cache.Reads(), 800);
}

class HeaderColumnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    list_.resize(900, 400);
    list_.SetViewStyle(TFileListView::vsReport);
    list_.SetShowFolders(false);
  }
  // The list makes the folder it shows the current one; the folder goes with the test.
  void TearDown() override { QDir::setCurrent(QDir::tempPath()); }
  std::string P(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
  void Open() {
    list_.SetDirectory(AddSlash(dir_.path()));
    list_.UpdateFileList();
  }
  QString Text(const QString& caption, int column) const {
    const int row = RowOf(list_, caption);
    return row < 0 ? QString() : list_.model()->index(row, column).data().toString();
  }
  bool AllFilled() const {
    for (std::size_t row = 0; row < list_.Items().size(); ++row)
      if (list_.Items()[row].Kind == TEntryKind::File && list_.Items()[row].Caption.endsWith(".dds") &&
          list_.model()->index(int(row), TFileListView::kFirstOptionalColumn).data().toString().isEmpty())
        return false;
    return list_.HeaderCache()->Pending() == 0;
  }

  QTemporaryDir dir_;
  TFileListView list_;
};

TEST_F(HeaderColumnsTest, TheColumnsFillInWithoutAResetOfTheList) {
  CopyFixture("dds/cube.dds", P("cube.dds"));
  CopyFixture("exr/hopper_ripmap.exr", P("hopper.exr"));
  CopyFixture("pngsuite/basn3p04.png", P("palette.png"));
  CopyFixture("tiff/two_pages.tif", P("pages.tif"));
  Write(P("notes.txt"), "text");
  list_.SetOptionalColumns("Dimensions,PixelFormat,Images,Alpha");
  Open();
  list_.SelectRow(RowOf(list_, "palette.png"));
  QSignalSpy resets(list_.model(), &QAbstractItemModel::modelReset);
  const int d = TFileListView::kFirstOptionalColumn;
  ASSERT_TRUE(WaitUntil([&] { return !Text("pages.tif", d).isEmpty() && !Text("hopper.exr", d).isEmpty() &&
                                     !Text("cube.dds", d).isEmpty() && !Text("palette.png", d).isEmpty(); }));
  struct {
    const char* caption;
    const char* texts[4];
  } expected[] = {
      {"cube.dds", {"4 x 4", "A8R8G8B8", "6 faces x 2 levels", "yes"}},
      {"hopper.exr", {"40 x 30", "EXR half RGBA ZIP", "6 x 5 ripmap levels", "yes"}},
      {"palette.png", {"32 x 32", "PNG indexed 4-bit", "", "no"}},
      {"pages.tif", {"64 x 48", "TIFF RGB 8-bit", "2 pages", "no"}},
      {"notes.txt", {"", "", "", ""}},
  };
  for (const auto& row : expected)
    for (int i = 0; i < TFileListView::ocCount; ++i)
      EXPECT_EQ(Text(row.caption, d + i), row.texts[i]) << row.caption << " column " << i;
  EXPECT_EQ(resets.count(), 0);
  EXPECT_EQ(list_.SelectedIndex(), RowOf(list_, "palette.png"));
  for (int i = 0; i < TFileListView::ocCount; ++i) EXPECT_FALSE(list_.isColumnHidden(d + i));
}

TEST_F(HeaderColumnsTest, NoHeaderIsReadWhileNoColumnAsksForOne) {
  CopyFixture("dds/cube.dds", P("cube.dds"));
  Open();
  EXPECT_EQ(list_.HeaderCache()->Reads(), 0);
  EXPECT_TRUE(list_.isColumnHidden(TFileListView::kFirstOptionalColumn));
  // Turned on later, the column fills for the rows already listed.
  list_.SetOptionalColumnShown(TFileListView::ocAlpha, true);
  ASSERT_TRUE(WaitUntil([&] { return Text("cube.dds", TFileListView::kFirstOptionalColumn + 3) == "yes"; }));
  // Names only: the columns stay hidden and nothing is asked.
  list_.SetViewStyle(TFileListView::vsList);
  EXPECT_TRUE(list_.isColumnHidden(TFileListView::kFirstOptionalColumn + 3));
}

TEST_F(HeaderColumnsTest, DimensionsSortByPixelsThenWidth) {
  WriteDdsHeader(P("a_wide.dds"), 64, 16);     // 1024 pixels, wider
  WriteDdsHeader(P("b_square.dds"), 32, 32);   // 1024 pixels
  WriteDdsHeader(P("c_huge.dds"), 8192, 8192);
  WriteDdsHeader(P("d_small.dds"), 4, 4);
  Write(P("e_none.txt"), "x");
  CopyFixture("dds/volume_l8.dds", P("f_volume.dds"));  // 4 x 4 and 12 images
  CopyFixture("dds/cube.dds", P("g_cube.dds"));         // 4 x 4 and 12 images
  list_.SetOptionalColumns("Dimensions,Images,Alpha");
  Open();
  ASSERT_TRUE(WaitUntil([&] { return AllFilled(); }));
  using V = std::vector<std::string>;
  // A new column sorts largest first, as the other columns do; equal ones keep their order.
  list_.HeaderClick(TFileListView::kFirstOptionalColumn);
  EXPECT_EQ(Captions(list_), (V{"c_huge.dds", "a_wide.dds", "b_square.dds", "d_small.dds", "f_volume.dds",
                                "g_cube.dds", "e_none.txt"}));
  list_.HeaderClick(TFileListView::kFirstOptionalColumn);
  EXPECT_EQ(Captions(list_), (V{"e_none.txt", "d_small.dds", "f_volume.dds", "g_cube.dds", "b_square.dds",
                                "a_wide.dds", "c_huge.dds"}));
  // The image sets by how many images they hold, then by text; alpha "yes" before "no".
  list_.HeaderClick(TFileListView::kFirstOptionalColumn + 2);
  V order = Captions(list_);
  EXPECT_EQ(V(order.begin(), order.begin() + 2), (V{"g_cube.dds", "f_volume.dds"}));
  EXPECT_EQ(order.back(), "e_none.txt");
  list_.HeaderClick(TFileListView::kFirstOptionalColumn + 3);
  order = Captions(list_);
  EXPECT_EQ(V(order.end() - 2, order.end()), (V{"f_volume.dds", "e_none.txt"}));
}

TEST_F(HeaderColumnsTest, TheHeaderPopupChoosesTheColumnsAndTheSettingsKeepThem) {
  Open();
  QMenu* menu = list_.HeaderMenu();
  ASSERT_EQ(menu->actions().size(), TFileListView::ocCount);
  for (QAction* action : menu->actions()) EXPECT_TRUE(action->isCheckable());
  QSignalSpy changed(&list_, &TFileListView::OptionalColumnsChanged);
  menu->findChild<QAction*>("PixelFormat")->trigger();
  list_.HeaderMenu()->findChild<QAction*>("Dimensions")->trigger();
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(list_.OptionalColumns(), "Dimensions,PixelFormat");
  EXPECT_FALSE(list_.isColumnHidden(TFileListView::kFirstOptionalColumn + 1));
  EXPECT_TRUE(list_.HeaderMenu()->findChild<QAction*>("Dimensions")->isChecked());
  list_.header()->resizeSection(TFileListView::kFirstOptionalColumn + 1, 222);
  EXPECT_EQ(list_.ColWidth_PixelFormat(), 222);

  // What the settings layer writes and reads: the properties by name, as text.
  TFileListView restored;
  restored.SetViewStyle(TFileListView::vsReport);
  for (const char* name : {"OptionalColumns", "ColWidth_Dimensions", "ColWidth_PixelFormat", "ColWidth_Images",
                           "ColWidth_Alpha"})
    ASSERT_TRUE(restored.setProperty(name, QVariant(list_.property(name).toString()))) << name;
  EXPECT_EQ(restored.OptionalColumns(), "Dimensions,PixelFormat");
  EXPECT_EQ(restored.ColWidth_PixelFormat(), 222);
  EXPECT_EQ(restored.columnWidth(TFileListView::kFirstOptionalColumn + 1), 222);
  // Names it does not know, and other spelling, from an edited file.
  restored.SetOptionalColumns(" alpha ,Bogus,,");
  EXPECT_EQ(restored.OptionalColumns(), "Alpha");
}

TEST_F(HeaderColumnsTest, TheFilterBoxNarrowsByPartOrMaskAndEscapeClearsIt) {
  for (const char* name : {"Brick_Albedo.dds", "brick_normal.dds", "grass_albedo.png", "readme.txt"})
    Write(P(name), "x");
  Open();
  TFileFilterBox box;
  box.SetFileList(&list_);
  using V = std::vector<std::string>;
  struct {
    const char* typed;
    V listed;
  } cases[] = {
      {"ALBEDO", {"Brick_Albedo.dds", "grass_albedo.png"}},
      {"*.dds", {"Brick_Albedo.dds", "brick_normal.dds"}},
      {"?rass*", {"grass_albedo.png"}},
      {"nothing", {}},
  };
  for (const auto& c : cases) {
    box.clear();
    QTest::keyClicks(&box, c.typed);
    EXPECT_TRUE(WaitUntil([&] { return Captions(list_) == c.listed; })) << c.typed;
  }
  QTest::keyClick(&box, Qt::Key_Escape);
  EXPECT_TRUE(box.text().isEmpty());
  EXPECT_EQ(Captions(list_).size(), 4u);
  EXPECT_TRUE(list_.NameFilter().isEmpty());
}

TEST_F(HeaderColumnsTest, TheFilterKeepsTheParentEntryAndNarrowsFolders) {
  fs::create_directories(P("textures"));
  fs::create_directories(P("sounds"));
  Write(P("texture_list.txt"), "x");
  list_.SetShowFolders(true);
  Open();
  list_.SetNameFilter("TEXTURE");
  using V = std::vector<std::string>;
  EXPECT_EQ(Captions(list_), (V{" Parent", "textures", "texture_list.txt"}));
}

}  // namespace
}  // namespace vumo
