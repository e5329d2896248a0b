// Small helpers for the browser tests: folders of files with chosen sizes and times.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/file_list_view.h"
#include "browser/file_names.h"
#include "shell/shell_test_util.h"
#include "support/test_support.h"

namespace vumo::test {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// Lets the event loop run until `condition` holds or five seconds pass: what an edit, a
// timer or a watcher sets off lands in its own time on a loaded machine.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 5000) {
  QDeadlineTimer deadline(milliseconds);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    // As QTest::qWait does: deferred deletions too, which close an in-place editor.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(2);
  }
  return true;
}

inline void WriteBytes(const std::string& path, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  std::string data(size, 'x');
  if (size > 0 && ::write(fd, data.data(), size) != ssize_t(size)) {
  }
  ::close(fd);
}

// A file's whole contents, and a file written with exactly `text`.
inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The names in a folder.
inline std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Sets the modification time in whole seconds since 1970.
inline void SetTime(const std::string& path, long seconds) {
  timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Two folders and four files whose names, sizes (4, 2, 1 and 1 KB), times and attributes
// (one hidden) each give another order.
inline void MakeSortFolder(const std::string& dir) {
  std::filesystem::create_directories(dir + "/Alpha");
  std::filesystem::create_directories(dir + "/beta");
  WriteBytes(dir + "/a.txt", 3000);
  WriteBytes(dir + "/B.png", 10);
  WriteBytes(dir + "/c.bin", 5000);
  WriteBytes(dir + "/.h.txt", 2000);
  SetTime(dir + "/a.txt", 1000000000);
  SetTime(dir + "/B.png", 1200000000);
  SetTime(dir + "/c.bin", 1100000000);
  SetTime(dir + "/.h.txt", 1300000000);
  SetTime(dir + "/Alpha", 1400000000);
  SetTime(dir + "/beta", 900000000);
}

// Captions in the list's shown order.
inline std::vector<std::string> Captions(const TFileListView& list) {
  std::vector<std::string> captions;
  for (const TListItem& item : list.Items()) captions.push_back(item.Caption.toStdString());
  return captions;
}

inline int RowOf(const TFileListView& list, const QString& caption) {
  for (std::size_t i = 0; i < list.Items().size(); ++i)
    if (list.Items()[i].Caption == caption) return int(i);
  return -1;
}

// A fresh folder of the running test, named after it.
inline std::string TestFolder(const std::string& prefix) {
  return TempDir(prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// An environment variable set for as long as this lives (a private trash
// under XDG_DATA_HOME, a private HOME), then put back.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const std::string& value) : name_(name), old_(qgetenv(name)) {
    qputenv(name, QByteArray::fromStdString(value));
  }
  ~TScopedEnv() { qputenv(name_, old_); }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  const char* name_;
  QByteArray old_;
};

// Answers the next message box with this button (or its first one), keeping its text
// and title.
inline void AnswerBox(QMessageBox::StandardButton button, QString* text = nullptr, QString* title = nullptr) {
  OnNextModal([button, text, title](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      modal->close();
      return;
    }
    if (text != nullptr) *text = box->text();
    if (title != nullptr) *title = box->windowTitle();
    QAbstractButton* answer = box->button(button);
    (answer != nullptr ? answer : box->buttons().value(0))->click();
  });
}

// A test's own fresh folder (see TestFolder) with the given folders made in it, ready before
// the test's own SetUp, so a fixture need not repeat the making of it.
class TFolderTest : public ::testing::Test {
 protected:
  explicit TFolderTest(const std::string& prefix, std::initializer_list<const char*> folders = {})
      : dir_(TestFolder(prefix)) {
    for (const char* folder : folders) std::filesystem::create_directories(S(folder));
  }
  std::string S(const std::string& relative) const { return dir_ + "/" + relative; }
  QString P(const std::string& relative) const { return Q(S(relative)); }
  // The folder as the list and the tree name it, with the closing slash.
  QString Folder() const { return AddSlash(Q(dir_)); }

  const std::string dir_;
};

// A test's own folder holding the empty folders "a" and "b", with a private
// trash under it (XDG_DATA_HOME is its "data").
class TTwoFolderTest : public TFolderTest {
 protected:
  explicit TTwoFolderTest(const std::string& prefix) : TFolderTest(prefix, {"a", "b"}) {
    dataHome_.emplace("XDG_DATA_HOME", S("data"));
  }

  std::optional<TScopedEnv> dataHome_;
};

}  // namespace vumo::test
