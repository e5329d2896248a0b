#include "browser/change_watcher.h"

#include "browser/file_names.h"
#include "browser_test_util.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include "support/wait_until.h"

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The watcher alone, over one private folder: unlike the drop-down, which also
// watches shared folders such as /tmp where other programs make folders at any
// time, nothing else can change what it sees.
class ChangeWatcherTest : public TFolderTest {
 protected:
  ChangeWatcherTest() : TFolderTest("watcher_", {"sub"}) { watcher_.Watch(Q(dir_)); }

  TChangeWatcher watcher_;
};

TEST_F(ChangeWatcherTest, FilesComingAndGoingAreNotReported) {
  QSignalSpy changed(&watcher_, &TChangeWatcher::Changed);
  ASSERT_TRUE(watcher_.IsWatching(AddSlash(Q(dir_))));
  WriteBytes(dir_ + "/new.png", 1);
  WriteBytes(dir_ + "/sub/inside.png", 1);  // not watched: only the folder itself is
  fs::rename(dir_ + "/new.png", dir_ + "/renamed.png");
  fs::remove(dir_ + "/renamed.png");
  QTest::qWait(600);
  EXPECT_EQ(changed.count(), 0);
}

TEST_F(ChangeWatcherTest, FoldersMadeRenamedAndRemovedAreReportedOncePerBurst) {
  QSignalSpy changed(&watcher_, &TChangeWatcher::Changed);
  fs::create_directories(dir_ + "/a");
  fs::create_directories(dir_ + "/b");
  WAIT_EQ_FOR(changed.count(), 1, 5000);
  QTest::qWait(400);
  EXPECT_EQ(changed.count(), 1);

  fs::rename(dir_ + "/a", dir_ + "/c");
  WAIT_EQ_FOR(changed.count(), 2, 5000);
  fs::remove(dir_ + "/c");
  WAIT_EQ_FOR(changed.count(), 3, 5000);
}

TEST_F(ChangeWatcherTest, SubFolderNamesFollowLinksAndSkipFiles) {
  WriteBytes(dir_ + "/file", 1);
  fs::create_directory_symlink(dir_ + "/sub", dir_ + "/link");
  fs::create_symlink(dir_ + "/file", dir_ + "/filelink");
  bool readable = false;
  const QSet<QString> names = TChangeWatcher::SubFolderNames(Q(dir_), &readable);
  EXPECT_TRUE(readable);
  EXPECT_EQ(names, (QSet<QString>{"sub", "link"}));
  TChangeWatcher::SubFolderNames(Q(dir_ + "/missing"), &readable);
  EXPECT_FALSE(readable);
}

}  // namespace
}  // namespace vumo
