// Watches the file the viewer shows, so that a picture an editor or an exporter saves again
// is shown again. The file is read only once it has stood still for a moment, a touch that
// leaves the bytes as they were reloads nothing, and a file that goes away or fails to load
// leaves the last good picture on screen with a note saying so.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <exception>
#include <future>
#include <memory>

namespace vumo {

// What stat tells of a file. Two equal stamps mean nobody wrote, replaced or touched it in
// between: the change time and the inode move even when a writer puts the old time back.
struct TFileStamp {
  bool exists = false;
  std::int64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds
  std::int64_t changed = 0;   // nanoseconds
  std::uint64_t inode = 0;
  std::uint64_t device = 0;

  bool operator==(const TFileStamp&) const = default;
  static TFileStamp Of(const QString& path);
};

// The file's bytes hashed, empty when it cannot be read (or when `cancelled` is set midway).
QByteArray ContentHash(const QString& path, const std::atomic<bool>* cancelled = nullptr);

class TShownFileWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TShownFileWatcher(QObject* parent = nullptr);
  ~TShownFileWatcher() override;

  // The file as it is now is what the window shows; an empty path watches nothing. Clears
  // the note.
  void Watch(const QString& path);
  const QString& Path() const { return path_; }
  // Why the picture on screen is not what the file holds; empty when it is.
  const QString& Note() const { return note_; }
  // The window could not read the changed file; the note says why until the next change.
  void ReloadFailed(const std::exception_ptr& error);
  // How long the file must stay the same (size, times, inode) before it is read.
  void SetSettleTime(int milliseconds) { settleMs_ = milliseconds; }
  // A change was noticed and the file has not stood still long enough yet.
  bool Settling() const { return poll_.isActive(); }
  // How often the file has been looked at while settling, for waits that need polls to pass.
  int Polls() const { return polls_; }

 signals:
  // The file holds something else now, or came back: the window loads it again.
  void Changed(const QString& path);
  void NoteChanged();

 private:
  void Notified(bool fileEvent);
  void Poll();
  void Settled();
  void SetNote(const QString& note);
  void KeepWatching();
  void StopHashing();
  QByteArray SeenHash();

  QFileSystemWatcher watcher_;
  QTimer poll_;
  QElapsedTimer still_;
  int settleMs_ = 300;
  int polls_ = 0;
  QString path_;
  QString folder_;
  // The stamp at the last poll, and the one the window last saw or was told of.
  TFileStamp polled_;
  TFileStamp seen_;
  // The bytes the window last saw, hashed; while hashing runs in the background the future
  // holds it, so a large picture reaches the screen first.
  QByteArray seenHash_;
  std::future<QByteArray> seenHashPending_;
  std::shared_ptr<std::atomic<bool>> hashCancelled_;
  // The file itself was reported written, not only its folder: its bytes are compared even
  // when its stamp looks the same (timestamps are coarse on some file systems).
  bool fileEvent_ = false;
  QString note_;
};

}  // namespace vumo
