#include "browser/change_watcher.h"

#include "browser/file_names.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vumo {

TChangeWatcher::TChangeWatcher(QObject* parent) : QObject(parent) {
  delay_.setSingleShot(true);
  delay_.setInterval(150);
  connect(&delay_, &QTimer::timeout, this, &TChangeWatcher::Changed);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TChangeWatcher::FolderChanged);
  // The kernel flags the mount table as exceptional (POLLPRI) whenever a
  // volume is mounted or unmounted.
  mountFd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (mountFd_ >= 0) {
    char buffer[4096];
    while (::read(mountFd_, buffer, sizeof buffer) > 0) {
    }
    mountNotifier_ = new QSocketNotifier(mountFd_, QSocketNotifier::Exception, this);
    connect(mountNotifier_, &QSocketNotifier::activated, this, &TChangeWatcher::MountsChanged);
  }
}

TChangeWatcher::~TChangeWatcher() {
  delete mountNotifier_;
  if (mountFd_ >= 0) ::close(mountFd_);
}

QSet<QString> TChangeWatcher::SubFolderNames(const QString& folder, bool* readable) {
  QSet<QString> names;
  const bool opened = ForEachEntry(EncodeFileName(folder), [&names](const TFolderEntry& entry) {
    if (IsFolderEntry(entry)) names.insert(DecodeFileName(QByteArray(entry.name)));
    return true;
  });
  if (readable != nullptr) *readable = opened;
  return names;
}

void TChangeWatcher::Watch(const QString& folder, const QSet<QString>& subFolders) {
  const QString key = AddSlash(folder);
  subFolders_.insert(key, subFolders);
  if (!watcher_.directories().contains(key)) watcher_.addPath(key);
}

void TChangeWatcher::Watch(const QString& folder) {
  bool readable = false;
  const QSet<QString> names = SubFolderNames(folder, &readable);
  if (readable) Watch(folder, names);
}

void TChangeWatcher::Clear() {
  const QStringList directories = watcher_.directories();
  if (!directories.isEmpty()) watcher_.removePaths(directories);
  subFolders_.clear();
}

void TChangeWatcher::FolderChanged(const QString& folder) {
  const QString key = AddSlash(folder);
  const auto known = subFolders_.find(key);
  if (known == subFolders_.end()) return;
  bool readable = false;
  const QSet<QString> now = SubFolderNames(key, &readable);
  if (readable && now == *known) return;  // only files came or went
  *known = now;
  delay_.start();
}

void TChangeWatcher::MountsChanged() {
  char buffer[4096];
  ::lseek(mountFd_, 0, SEEK_SET);
  while (::read(mountFd_, buffer, sizeof buffer) > 0) {
  }
  delay_.start();
}

}  // namespace vumo
