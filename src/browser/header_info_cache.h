#pragma once

// The header columns' source: one worker thread reads the headers (formats/header_info.h) of
// the files a listing asks for, the rows on screen first, and hands each result to the GUI
// thread, where it is kept by path, size and modification time. A file rewritten since its
// header was read has another size or time, so it misses and is read again.

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "formats/header_info.h"

namespace vumo {

struct THeaderKey {
  QString Path;
  std::int64_t Size = 0;
  std::int64_t MtimeNs = 0;
};

class THeaderInfoCache : public QObject {
  Q_OBJECT
 public:
  // What was learnt of one file: no header is an answer too, so such files are not read again.
  struct TEntry {
    std::int64_t Size = 0;
    std::int64_t MtimeNs = 0;
    std::optional<THeaderInfo> Info;
  };

  explicit THeaderInfoCache(QObject* parent = nullptr);
  ~THeaderInfoCache() override;

  // The entry of this file as it is now, or null when it has not been read (GUI thread).
  const TEntry* Find(const THeaderKey& key) const;
  // Replaces what is waiting with these files, in this order but for the paths of `first`,
  // which go ahead in theirs; files already known are left out. A folder change calls this
  // with the new folder's files, which drops the old ones.
  void Request(const std::vector<THeaderKey>& files, const QStringList& first = {});
  // Moves these paths, where they still wait, to the front, in this order.
  void Prioritise(const QStringList& paths);
  // Drops everything that waits; a header being read still arrives.
  void Cancel();
  // Forgets every result.
  void Clear();

  // Files waiting or being read.
  int Pending() const;
  // Headers read from disk since the cache was made: what a test of a hit counts.
  int Reads() const;

 signals:
  // One file's header was read and is now in the cache (GUI thread).
  void Ready(const QString& path);
  // Nothing waits any more.
  void Idle();

 private:
  struct TResult {
    THeaderKey Key;
    std::optional<THeaderInfo> Info;
  };
  void Run();
  void Deliver(std::vector<TResult> results);

  QHash<QString, TEntry> entries_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<THeaderKey> queue_;
  int busy_ = 0;
  int reads_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

// The column texts of a header, and the keys the columns sort by.
QString DimensionsText(const THeaderInfo& info);
QString AlphaText(const THeaderInfo& info);

}  // namespace vumo
