// The file operations layer on real files in per-test temporary folders.
#include "browser/file_operations.h"

#include "browser/file_names.h"
#include "browser_test_util.h"

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {
namespace {

using namespace test;
namespace fs = std::filesystem;

class FileOperationsTest : public test::TTwoFolderTest {
 protected:
  FileOperationsTest() : TTwoFolderTest("file_ops_") {}
  void TearDown() override {
    TFileOperations::SetWriteFunction(nullptr);
    TFileOperations::SetRenameFunction(nullptr);
  }

  TFixedAnswers ui_;
};

TEST_F(FileOperationsTest, CopyAndMoveFilesAndFoldersRecursively) {
  Write(S("a/one.txt"), "one");
  fs::create_directories(S("a/tree/sub"));
  Write(S("a/tree/sub/deep.txt"), "deep");
  auto result = TFileOperations::Transfer({P("a/one.txt"), P("a/tree")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_EQ(Read(S("b/one.txt")), "one");
  EXPECT_EQ(Read(S("b/tree/sub/deep.txt")), "deep");
  EXPECT_EQ(Read(S("a/one.txt")), "one");
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"one.txt", "tree"}));  // no part files left

  fs::create_directories(S("c"));
  result = TFileOperations::Transfer({P("b/one.txt"), P("b/tree")}, P("c"), TTransfer::Move, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_TRUE(Names(S("b")).empty());
  EXPECT_EQ(Read(S("c/tree/sub/deep.txt")), "deep");
}

TEST_F(FileOperationsTest, PasteIntoTheSameFolderMakesANamedCopyNeverAnOverwrite) {
  Write(S("a/pic.png"), "original");
  fs::create_directories(S("a/folder"));
  auto result = TFileOperations::Transfer({P("a/pic.png"), P("a/folder")}, P("a/"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  result = TFileOperations::Transfer({P("a/pic.png")}, P("a"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"pic.png", "pic (copy).png", "pic (copy 2).png", "folder",
                                                  "folder (copy)"}));
  EXPECT_EQ(Read(S("a/pic.png")), "original");
  EXPECT_EQ(Read(S("a/pic (copy 2).png")), "original");
  EXPECT_EQ(ui_.replaceQuestions, 0);
  // A move onto itself changes nothing.
  result = TFileOperations::Transfer({P("a/pic.png")}, P("a"), TTransfer::Move, ui_);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(Read(S("a/pic.png")), "original");
}

TEST_F(FileOperationsTest, AFolderIntoItselfOrItsDescendantIsRefused) {
  fs::create_directories(S("a/x/y"));
  Write(S("a/x/f"), "f");
  for (TTransfer kind : {TTransfer::Copy, TTransfer::Move}) {
    auto result = TFileOperations::Transfer({P("a/x")}, P("a/x"), kind, ui_);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.failed.size(), 1);
    EXPECT_TRUE(result.failed[0].contains(kIntoItselfError));
    result = TFileOperations::Transfer({P("a/x")}, P("a/x/y"), kind, ui_);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.failed.join("").contains(kIntoItselfError));
  }
  EXPECT_EQ(Names(S("a/x")), (std::set<std::string>{"y", "f"}));
  EXPECT_TRUE(Names(S("a/x/y")).empty());
  // A sibling whose name merely begins with the same text is fine.
  fs::create_directories(S("a/xx"));
  EXPECT_TRUE(TFileOperations::Transfer({P("a/x")}, P("a/xx"), TTransfer::Copy, ui_).ok);
}

TEST_F(FileOperationsTest, AnExistingTargetIsReplacedSkippedOrCancelledAsAnswered) {
  Write(S("a/f.txt"), "new");
  Write(S("a/g.txt"), "new g");
  Write(S("b/f.txt"), "old");
  Write(S("b/g.txt"), "old g");
  ui_.replace = TReplaceAnswer::Cancel;
  auto result = TFileOperations::Transfer({P("a/f.txt"), P("a/g.txt")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(Read(S("b/f.txt")), "old");
  EXPECT_EQ(Read(S("b/g.txt")), "old g");
  EXPECT_EQ(ui_.replaceQuestions, 1);

  ui_.replace = TReplaceAnswer::Skip;
  result = TFileOperations::Transfer({P("a/f.txt"), P("a/g.txt")}, P("b"), TTransfer::Move, ui_);
  EXPECT_FALSE(result.ok);  // a skip is not a full success
  EXPECT_EQ(result.skipped.size(), 2);
  EXPECT_EQ(Read(S("b/f.txt")), "old");
  EXPECT_EQ(Read(S("a/f.txt")), "new");

  ui_.replace = TReplaceAnswer::ReplaceAll;
  ui_.replaceQuestions = 0;
  result = TFileOperations::Transfer({P("a/f.txt"), P("a/g.txt")}, P("b"), TTransfer::Move, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_EQ(ui_.replaceQuestions, 1);
  EXPECT_EQ(Read(S("b/f.txt")), "new");
  EXPECT_EQ(Read(S("b/g.txt")), "new g");
  EXPECT_FALSE(fs::exists(S("a/f.txt")));

  // A folder onto a folder merges after the question; a file never replaces a folder.
  fs::create_directories(S("a/d"));
  fs::create_directories(S("b/d"));
  Write(S("a/d/in.txt"), "in");
  Write(S("b/d/keep.txt"), "keep");
  ui_.replace = TReplaceAnswer::Replace;
  result = TFileOperations::Transfer({P("a/d")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(Names(S("b/d")), (std::set<std::string>{"in.txt", "keep.txt"}));
  Write(S("a/e"), "file");
  fs::create_directories(S("b/e"));
  result = TFileOperations::Transfer({P("a/e")}, P("b"), TTransfer::Move, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(fs::is_directory(S("b/e")));
  EXPECT_EQ(Read(S("a/e")), "file");
}

// A skip below a folder being merged lists the skipped entry where the user
// skipped it and the named folder once, left incomplete; copy and move alike.
TEST_F(FileOperationsTest, ASkipInsideAMergeIsListedForTheEntryAndOnceForTheNamedFolder) {
  struct TMergeButSkipFiles : TFixedAnswers {
    TReplaceAnswer AskReplace(const QString&, const QString&, bool folders) override {
      ++replaceQuestions;
      return folders ? TReplaceAnswer::Replace : TReplaceAnswer::Skip;
    }
  } ui;
  for (TTransfer kind : {TTransfer::Copy, TTransfer::Move}) {
    fs::create_directories(S("a/d/sub"));
    fs::create_directories(S("b/d/sub"));
    Write(S("a/d/sub/same.txt"), "new");
    Write(S("a/d/sub/other.txt"), "other");
    Write(S("b/d/sub/same.txt"), "old");
    auto result = TFileOperations::Transfer({P("a/d")}, P("b"), kind, ui);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.skipped, (QStringList{P("a/d/sub/same.txt"), P("a/d")}));
    EXPECT_TRUE(result.done.isEmpty());
    EXPECT_EQ(Read(S("b/d/sub/same.txt")), "old");
    EXPECT_EQ(Read(S("b/d/sub/other.txt")), "other");
    EXPECT_EQ(Read(S("a/d/sub/same.txt")), "new");  // a move keeps what it skipped
    result = TFileOperations::TransferTo(P("a/d/sub/same.txt"), P("b/d/sub/same.txt"), kind, ui);
    EXPECT_EQ(result.skipped, QStringList{P("a/d/sub/same.txt")});
    fs::remove_all(S("a/d"));
    fs::remove_all(S("b/d"));
  }
}

TEST_F(FileOperationsTest, ADiskThatFillsUpMidwayLeavesNoHalfWrittenTargetAndKeepsTheSource) {
  Write(S("a/first.bin"), std::string(3000000, 'a'));
  Write(S("a/second.bin"), std::string(3000000, 'b'));
  Write(S("b/second.bin"), "the old one");
  std::int64_t budget = 4000000;
  TFileOperations::SetWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (budget <= 0) {
      errno = ENOSPC;
      return -1;
    }
    const std::size_t n = std::min<std::size_t>(size, std::size_t(budget));
    budget -= std::int64_t(n);
    return ::write(fd, data, n);
  });
  ui_.replace = TReplaceAnswer::Replace;
  auto result = TFileOperations::Transfer({P("a/first.bin"), P("a/second.bin")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.done, QStringList{P("a/first.bin")});
  ASSERT_EQ(result.failed.size(), 1);
  EXPECT_TRUE(result.Report().contains("No space left on device")) << result.Report().toStdString();
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"first.bin", "second.bin"}));
  EXPECT_EQ(Read(S("b/second.bin")), "the old one");  // the old target is untouched

  // A move across file systems that runs out of space keeps the source whole.
  budget = 1000;
  fs::create_directories(S("c"));
  TFileOperations::SetRenameFunction([](const char*, const char*, bool) {
    errno = EXDEV;
    return -1;
  });
  fs::create_directories(S("a/tree"));
  Write(S("a/tree/x.bin"), std::string(5000, 'x'));
  result = TFileOperations::Transfer({P("a/tree")}, P("c"), TTransfer::Move, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(Names(S("c")).empty());
  EXPECT_EQ(Read(S("a/tree/x.bin")), std::string(5000, 'x'));
}

TEST_F(FileOperationsTest, PermissionDeniedMidwayReportsWhatWasDoneAndKeepsTheRest) {
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) Write(S("a/") + name, name);
  int calls = 0;
  TFileOperations::SetRenameFunction([&](const char* from, const char* to, bool) {
    if (++calls == 2) {
      errno = EACCES;
      return -1;
    }
    return ::rename(from, to);
  });
  auto result = TFileOperations::Transfer({P("a/1.txt"), P("a/2.txt"), P("a/3.txt")}, P("b"), TTransfer::Move, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.done, QStringList{P("a/1.txt")});
  EXPECT_TRUE(result.Report().contains("Permission denied"));
  EXPECT_TRUE(result.Report().contains("Done: " + P("a/1.txt")));
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"2.txt", "3.txt"}));
  EXPECT_EQ(Names(S("b")), (std::set<std::string>{"1.txt"}));
  TFileOperations::SetRenameFunction(nullptr);
  if (::geteuid() != 0) {
    // The real thing, where the kernel enforces it.
    ::chmod(S("b").c_str(), 0555);
    result = TFileOperations::Transfer({P("a/2.txt")}, P("b"), TTransfer::Copy, ui_);
    ::chmod(S("b").c_str(), 0755);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(Names(S("b")), (std::set<std::string>{"1.txt"}));
  }
}

TEST_F(FileOperationsTest, AMoveAcrossFileSystemsCopiesVerifiesThenDeletes) {
  fs::create_directories(S("a/tree/sub"));
  Write(S("a/tree/sub/f.txt"), "content");
  fs::create_symlink("sub/f.txt", S("a/tree/link"));
  TFileOperations::SetRenameFunction([](const char*, const char*, bool) {
    errno = EXDEV;
    return -1;
  });
  auto result = TFileOperations::Transfer({P("a/tree")}, P("b"), TTransfer::Move, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_FALSE(fs::exists(S("a/tree")));
  EXPECT_EQ(Read(S("b/tree/sub/f.txt")), "content");
  EXPECT_TRUE(fs::is_symlink(S("b/tree/link")));
  TFileOperations::SetRenameFunction(nullptr);

  // And for real, when /dev/shm is another file system we may write to.
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) == 0 && ::stat(dir_.c_str(), &here) == 0 && shm.st_dev != here.st_dev &&
      ::access("/dev/shm", W_OK) == 0) {
    const std::string other = "/dev/shm/vumo-ops-" + std::to_string(::getpid());
    fs::remove_all(other);
    fs::create_directories(other);
    result = TFileOperations::Transfer({P("b/tree")}, Q(other), TTransfer::Move, ui_);
    EXPECT_TRUE(result.ok) << result.Report().toStdString();
    EXPECT_EQ(Read(other + "/tree/sub/f.txt"), "content");
    EXPECT_FALSE(fs::exists(S("b/tree")));
    fs::remove_all(other);
  }
}

TEST_F(FileOperationsTest, SymbolicLinksAreCopiedAsLinksAndNeverFollowedIntoLoops) {
  fs::create_directories(S("a/loop/inner"));
  fs::create_directory_symlink("..", S("a/loop/inner/up"));  // a cycle when followed
  fs::create_symlink("/nonexistent/target", S("a/loop/broken"));
  auto result = TFileOperations::Transfer({P("a/loop")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_TRUE(fs::is_symlink(S("b/loop/inner/up")));
  EXPECT_EQ(fs::read_symlink(S("b/loop/inner/up")), "..");
  EXPECT_EQ(fs::read_symlink(S("b/loop/broken")), "/nonexistent/target");
  // Deleting removes the links, not what they point to.
  Write(S("keep.txt"), "keep");
  fs::create_symlink(S("keep.txt"), S("b/loop/tokeep"));
  result = TFileOperations::DeletePermanently({P("b/loop")}, ui_);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(Read(S("keep.txt")), "keep");
  EXPECT_FALSE(fs::exists(S("b/loop")));
}

TEST_F(FileOperationsTest, NamesThatAreNotUtf8OrHoldNewlines) {
  const std::string odd = std::string("caf\xe9") + ".txt";  // Latin-1, not UTF-8
  const std::string newline = "two\nlines.txt";
  Write(S("a/") + odd, "latin");
  Write(S("a/") + newline, "nl");
  const QString oddPath = DecodeFileName(QByteArray::fromStdString(S("a/") + odd));
  const QString nlPath = P("a/" + newline);
  auto result = TFileOperations::Transfer({oddPath, nlPath}, P("b"), TTransfer::Copy, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_EQ(Read(S("b/") + odd), "latin");
  EXPECT_EQ(Read(S("b/") + newline), "nl");
  result = TFileOperations::Rename(DecodeFileName(QByteArray::fromStdString(S("b/") + odd)),
                                   DecodeFileName(QByteArray("\xff\xfe.txt")));
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_EQ(Read(S("b/\xff\xfe.txt")), "latin");
  QString inTrash, reason;
  EXPECT_TRUE(TFileOperations::MoveToTrash(oddPath, &inTrash, &reason)) << reason.toStdString();
  EXPECT_FALSE(fs::exists(S("a/") + odd));
  EXPECT_TRUE(fs::exists(EncodeFileName(inTrash).toStdString()));
  EXPECT_TRUE(TFileOperations::MoveToTrash(nlPath, &inTrash, &reason)) << reason.toStdString();
  EXPECT_EQ(Read(EncodeFileName(inTrash).toStdString()), "nl");
}

TEST_F(FileOperationsTest, AnEntryRemovedBetweenListingAndCommandIsReportedAndTheRestGoesOn) {
  Write(S("a/here.txt"), "here");
  auto result = TFileOperations::Transfer({P("a/gone.txt"), P("a/here.txt")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.done, QStringList{P("a/here.txt")});
  EXPECT_TRUE(result.failed.join("").contains(kNotFoundError));
  EXPECT_EQ(Read(S("b/here.txt")), "here");
  EXPECT_FALSE(TFileOperations::Rename(P("a/gone.txt"), "x").ok);
  EXPECT_FALSE(TFileOperations::DeletePermanently({P("a/gone.txt")}, ui_).ok);
  EXPECT_FALSE(TFileOperations::Trash({P("a/gone.txt")}, ui_).ok);
  EXPECT_EQ(ui_.deleteQuestions, 0);
}

TEST_F(FileOperationsTest, RenameRefusesExistingEmptyAndSlashHoldingNames) {
  Write(S("a/one"), "1");
  Write(S("a/two"), "2");
  auto result = TFileOperations::Rename(P("a/one"), "two");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.failed.join("").contains(kExistsError));
  EXPECT_EQ(Read(S("a/two")), "2");
  for (const QString& bad : {QString(), QString("x/y"), QString("."), QString("..")}) {
    result = TFileOperations::Rename(P("a/one"), bad);
    EXPECT_FALSE(result.ok) << bad.toStdString();
    EXPECT_TRUE(result.failed.join("").contains(kBadNameError));
  }
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"one", "two"}));
  EXPECT_TRUE(TFileOperations::Rename(P("a/one"), "one").ok);  // unchanged is fine
  // Letter case makes another name on this platform.
  result = TFileOperations::Rename(P("a/one"), "ONE");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(Names(S("a")), (std::set<std::string>{"ONE", "two"}));
}

TEST_F(FileOperationsTest, TrashFollowsTheFreedesktopLayoutEvenWithoutDataHome) {
  // The trap of Qt 6.4: a missing $XDG_DATA_HOME sends the file into ./files.
  ASSERT_FALSE(fs::exists(S("data")));
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(P("b"));
  Write(S("a/t.txt"), "trash me");
  fs::create_directories(S("a/folder/sub"));
  auto result = TFileOperations::Trash({P("a/t.txt"), P("a/folder")}, ui_);
  QDir::setCurrent(oldCurrent);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_FALSE(fs::exists(S("b/files")));
  EXPECT_EQ(Read(S("data/Trash/files/t.txt")), "trash me");
  EXPECT_TRUE(fs::is_directory(S("data/Trash/files/folder/sub")));
  const std::string info = Read(S("data/Trash/info/t.txt.trashinfo"));
  EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
  EXPECT_NE(info.find("Path=" + S("a/t.txt")), std::string::npos);
  EXPECT_NE(info.find("DeletionDate="), std::string::npos);
  EXPECT_EQ(ui_.deleteQuestions, 0);
}

TEST_F(FileOperationsTest, TrashInfoPathsAreEscapedAndRoundTripThroughTrashTools) {
  const std::string percent = "50%41 \xc3\xa9.tga";  // "50%41 é.tga"
  Write(S("a/") + percent, "first");
  Write(S("b/") + percent, "second");  // the same name again: numbered, as before
  Write(S("a/two words.tga"), "w");
  auto result = TFileOperations::Trash({P("a/" + percent), P("b/" + percent), P("a/two words.tga")}, ui_);
  ASSERT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_EQ(Names(S("data/Trash/files")), (std::set<std::string>{percent, percent + ".2", "two words.tga"}));
  const std::string escaped = QByteArray::fromStdString(S("a/")).toPercentEncoding("/").toStdString() + "50%2541%20%C3%A9.tga";
  EXPECT_NE(Read(S("data/Trash/info/") + percent + ".trashinfo").find("\nPath=" + escaped + "\n"), std::string::npos);
  EXPECT_NE(Read(S("data/Trash/info/two words.tga.trashinfo")).find("Path=" + QByteArray::fromStdString(S("a/")).toPercentEncoding("/").toStdString() + "two%20words.tga\n"),
            std::string::npos);
  EXPECT_EQ(Read(S("data/Trash/files/") + percent + ".2"), "second");

  // The trash tool reads back the names as they were.
  const QString trashList = QStandardPaths::findExecutable(QStringLiteral("trash-list"));
  if (trashList.isEmpty()) GTEST_SKIP() << "trash-list (trash-cli) is not installed";
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_DATA_HOME"), P("data"));
  process.setProcessEnvironment(environment);
  process.start(trashList, {});
  ASSERT_TRUE(process.waitForFinished(60000));
  const QString listed = QString::fromUtf8(process.readAllStandardOutput());
  EXPECT_TRUE(listed.contains(" " + P("a/" + percent) + "\n")) << listed.toStdString();
  EXPECT_TRUE(listed.contains(" " + P("b/" + percent) + "\n")) << listed.toStdString();
  EXPECT_TRUE(listed.contains(" " + P("a/two words.tga") + "\n")) << listed.toStdString();
}

TEST_F(FileOperationsTest, WithoutAUsableTrashTheUserIsAskedBeforeDeletingForGood) {
  Write(S("a/t.txt"), "t");
  // A data home that cannot hold a trash: a file where the folder should be.
  Write(S("data"), "not a folder");
  ui_.deletePermanently = false;
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(P("b"));
  auto result = TFileOperations::Trash({P("a/t.txt")}, ui_);
  QDir::setCurrent(oldCurrent);
  EXPECT_TRUE(Names(S("b")).empty());  // nothing was put into ./files
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(ui_.deleteQuestions, 1);
  EXPECT_EQ(Read(S("a/t.txt")), "t");
  ui_.deletePermanently = true;
  result = TFileOperations::Trash({P("a/t.txt")}, ui_);
  EXPECT_TRUE(result.ok) << result.Report().toStdString();
  EXPECT_FALSE(fs::exists(S("a/t.txt")));
  EXPECT_EQ(ui_.deleteQuestions, 2);
}

TEST_F(FileOperationsTest, NewFolderNumbersOrFailsAsAsked) {
  auto result = TFileOperations::NewFolder(P("a/"), "New Folder", true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.targets, QStringList{P("a/New Folder")});
  fs::create_directories(S("a/New Folder(2)"));
  result = TFileOperations::NewFolder(P("a"), "New Folder", true);
  EXPECT_EQ(result.targets, QStringList{P("a/New Folder(3)")});
  result = TFileOperations::NewFolder(P("a"), "New Folder", false);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(TFileOperations::NewFolder(P("a"), "x/y", true).ok);
}

TEST_F(FileOperationsTest, ProgressCanCancelALongCopyWithoutLeavingAPartialTarget) {
  Write(S("a/big.bin"), std::string(5 << 20, 'z'));
  ui_.cancelAfterProgressCalls = 2;
  auto result = TFileOperations::Transfer({P("a/big.bin")}, P("b"), TTransfer::Copy, ui_);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(Names(S("b")).empty());
  EXPECT_EQ(fs::file_size(S("a/big.bin")), std::uintmax_t(5 << 20));
}

TEST(FileNames, PathPartsAreAlikeForTextAndBytes) {
  EXPECT_EQ(ParentOfPath(QString("/a/b")), "/a/");
  EXPECT_EQ(ParentOfPath(QString("/a/b//")), "/a/");
  EXPECT_EQ(ParentOfPath(QString("/b")), "/");
  EXPECT_EQ(ParentOfPath(QString("/")), "/");
  EXPECT_EQ(ParentOfPath(QString("b")), "");
  EXPECT_EQ(NameOfPath(QString("/a/b/")), "b");
  EXPECT_EQ(NameOfPath(QString("/")), "");
  EXPECT_EQ(NameOfPath(QString("b")), "b");
  EXPECT_EQ(JoinPath(QString("/a"), QString("b")), "/a/b");
  EXPECT_EQ(JoinPath(QString("/a/"), QString("b")), "/a/b");
  EXPECT_EQ(JoinPath(QString("/"), QString("b")), "/b");
  // Bytes that are not UTF-8, and a newline, are parts like any other.
  const QByteArray odd("/caf\xe9/two\nlines\xff/");
  EXPECT_EQ(ParentOfPath(odd), QByteArray("/caf\xe9/"));
  EXPECT_EQ(NameOfPath(odd), QByteArray("two\nlines\xff"));
  EXPECT_EQ(JoinPath(ParentOfPath(odd), NameOfPath(odd)), QByteArray("/caf\xe9/two\nlines\xff"));
  EXPECT_EQ(EncodeFileName(NameOfPath(DecodeFileName(odd))), NameOfPath(odd));
}

// The one loop over a folder: "." and ".." only when asked, an early stop, and
// the folder closed on every way out (no descriptor left behind).
TEST(FileNames, ForEachEntrySkipsDotsStopsWhenToldAndClosesTheFolder) {
  const std::string dir = test::TempDir("file_names_entries");
  fs::create_directories(dir + "/sub");
  Write(dir + "/f", "f");
  fs::create_symlink("sub", dir + "/link");
  auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
  const auto before = openFiles();
  const QByteArray folder = QByteArray::fromStdString(dir);
  std::set<std::string> names, folders;
  EXPECT_TRUE(ForEachEntry(folder, [&](const TFolderEntry& entry) {
    names.insert(entry.name);
    if (IsFolderEntry(entry)) folders.insert(entry.name);
    return true;
  }));
  EXPECT_EQ(names, (std::set<std::string>{"sub", "f", "link"}));
  EXPECT_EQ(folders, (std::set<std::string>{"sub", "link"}));
  names.clear();
  ForEachEntry(folder, [&](const TFolderEntry& entry) {
    names.insert(entry.name);
    return true;
  }, TParentEntry::Keep);
  EXPECT_EQ(names, (std::set<std::string>{"..", "sub", "f", "link"}));
  int visits = 0;
  EXPECT_TRUE(ForEachEntry(folder, [&](const TFolderEntry&) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);
  std::vector<QByteArray> listed;
  EXPECT_TRUE(EntryNames(folder, &listed));
  EXPECT_EQ(listed.size(), 3u);
  EXPECT_EQ(openFiles(), before);
  EXPECT_FALSE(ForEachEntry(folder + "/f", [](const TFolderEntry&) { return true; }));
  EXPECT_EQ(errno, ENOTDIR);
  EXPECT_FALSE(EntryNames(folder + "/gone", &listed));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(openFiles(), before);
}

TEST(CopyName, FollowsTheDesktopFileManagers) {
  auto none = [](const QString&) { return false; };
  EXPECT_EQ(TFileOperations::CopyName("a.txt", false, none), "a (copy).txt");
  EXPECT_EQ(TFileOperations::CopyName("a.b.txt", false, none), "a.b (copy).txt");
  EXPECT_EQ(TFileOperations::CopyName(".hidden", false, none), ".hidden (copy)");
  EXPECT_EQ(TFileOperations::CopyName("dir.d", true, none), "dir.d (copy)");
  EXPECT_EQ(TFileOperations::CopyName("a.txt", false, [](const QString& n) { return n == "a (copy).txt"; }),
            "a (copy 2).txt");
}

}  // namespace
}  // namespace vumo
