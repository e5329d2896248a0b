#include "shell/shown_file_watcher.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "browser/file_names.h"

namespace vumo {
namespace {

// Often enough that a settled file is read soon after its settling time, seldom enough to
// cost nothing while an exporter writes for seconds.
constexpr int kPollMs = 50;
constexpr std::int64_t kHashAtOnceBytes = 8 << 20;

// Whatever type stat's times have here: seconds and nanoseconds.
template <typename TTime>
std::int64_t Nanoseconds(const TTime& time) {
  return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

QString ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& caught) {
    return QString::fromUtf8(caught.what());
  } catch (...) {
    return QStringLiteral("unknown error");
  }
}

}  // namespace

TFileStamp TFileStamp::Of(const QString& path) {
  TFileStamp stamp;
  struct stat info {};
  if (path.isEmpty() || ::stat(EncodeFileName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) return stamp;
  stamp.exists = true;
  stamp.size = info.st_size;
  stamp.modified = Nanoseconds(info.st_mtim);
  stamp.changed = Nanoseconds(info.st_ctim);
  stamp.inode = info.st_ino;
  stamp.device = info.st_dev;
  return stamp;
}

QByteArray ContentHash(const QString& path, const std::atomic<bool>* cancelled) {
  const int fd = ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  struct stat info {};
  // Never a pipe or a device that merely carries the name: it could block or never end.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return {};
  }
  QCryptographicHash hash(QCryptographicHash::Md5);
  std::vector<char> buffer(1 << 20);
  for (;;) {
    if (cancelled && cancelled->load(std::memory_order_relaxed)) {
      ::close(fd);
      return {};
    }
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      ::close(fd);
      return {};
    }
    if (got == 0) break;
    hash.addData(QByteArrayView(buffer.data(), got));
  }
  ::close(fd);
  return hash.result();
}

TShownFileWatcher::TShownFileWatcher(QObject* parent) : QObject(parent) {
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &TShownFileWatcher::Poll);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { Notified(true); });
  // Editors and exporters save by writing a new file and renaming it over the old one,
  // which ends a watch on the old file; the folder still hears of it.
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Notified(false); });
}

TShownFileWatcher::~TShownFileWatcher() { StopHashing(); }

void TShownFileWatcher::StopHashing() {
  if (hashCancelled_) hashCancelled_->store(true);
  if (seenHashPending_.valid()) seenHashPending_.wait();
  seenHashPending_ = {};
  hashCancelled_.reset();
}

void TShownFileWatcher::Watch(const QString& path) {
  StopHashing();
  poll_.stop();
  fileEvent_ = false;
  seenHash_.clear();
  if (path != path_) {
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    path_ = path;
    folder_ = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
  }
  SetNote({});
  seen_ = TFileStamp::Of(path_);
  polled_ = seen_;
  if (path_.isEmpty()) return;
  KeepWatching();
  if (!seen_.exists) return;
  // Most pictures hash in a few milliseconds, and hashed at once they cannot have changed since
  // they were read; a large one hashes in the background so that it reaches the screen first.
  if (seen_.size <= kHashAtOnceBytes) {
    seenHash_ = ContentHash(path_);
    return;
  }
  hashCancelled_ = std::make_shared<std::atomic<bool>>(false);
  seenHashPending_ = std::async(std::launch::async, [path = path_, stamp = seen_, cancelled = hashCancelled_] {
    QByteArray hash = ContentHash(path, cancelled.get());
    // Written meanwhile: the hash is of neither picture, and the next change reloads.
    if (TFileStamp::Of(path) != stamp) hash.clear();
    return hash;
  });
}

QByteArray TShownFileWatcher::SeenHash() {
  if (seenHashPending_.valid()) {
    seenHash_ = seenHashPending_.get();
    hashCancelled_.reset();
  }
  return seenHash_;
}

void TShownFileWatcher::KeepWatching() {
  if (!folder_.isEmpty() && !watcher_.directories().contains(folder_) && QFileInfo(folder_).isDir())
    watcher_.addPath(folder_);
  if (TFileStamp::Of(path_).exists && !watcher_.files().contains(path_)) watcher_.addPath(path_);
}

void TShownFileWatcher::Notified(bool fileEvent) {
  if (path_.isEmpty()) return;
  fileEvent_ = fileEvent_ || fileEvent;
  KeepWatching();
  polled_ = TFileStamp::Of(path_);
  still_.start();
  if (!poll_.isActive()) poll_.start();
}

void TShownFileWatcher::Poll() {
  ++polls_;
  const TFileStamp now = TFileStamp::Of(path_);
  if (now != polled_) {
    polled_ = now;
    still_.start();
    return;
  }
  if (still_.elapsed() < settleMs_) return;
  poll_.stop();
  Settled();
}

void TShownFileWatcher::Settled() {
  const bool fileEvent = std::exchange(fileEvent_, false);
  KeepWatching();
  const TFileStamp now = polled_;
  if (!now.exists) {
    if (!seen_.exists) return;
    seen_ = now;
    SeenHash();
    seenHash_.clear();
    SetNote(QStringLiteral("%1 is gone; the picture shown is the last one read").arg(QFileInfo(path_).fileName()));
    return;
  }
  if (!seen_.exists) {
    // Back after going away: whatever it holds now is shown, or its error noted.
    seen_ = now;
    seenHash_ = ContentHash(path_);
    emit Changed(path_);
    return;
  }
  if (now == seen_ && !fileEvent) return;  // another file of the folder came or went
  const QByteArray hash = ContentHash(path_);
  if (TFileStamp::Of(path_) != now) {
    Notified(fileEvent);  // written while it was read: wait for it to settle again
    return;
  }
  const QByteArray before = SeenHash();
  seen_ = now;
  seenHash_ = hash;
  if (!hash.isEmpty() && hash == before) return;
  emit Changed(path_);
}

void TShownFileWatcher::ReloadFailed(const std::exception_ptr& error) {
  SetNote(QStringLiteral("%1 changed and could not be read (%2); the picture shown is the last one read")
              .arg(QFileInfo(path_).fileName(), ErrorText(error)));
}

void TShownFileWatcher::SetNote(const QString& note) {
  if (note == note_) return;
  note_ = note;
  emit NoteChanged();
}

}  // namespace vumo
