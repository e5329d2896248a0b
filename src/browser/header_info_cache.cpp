#include "browser/header_info_cache.h"

#include "browser/file_names.h"

#include <QSet>

#include <algorithm>
#include <chrono>

namespace vumo {

namespace {

// A folder of many thousand files would otherwise queue as many events; results go to the
// GUI thread in batches, at least this often while reading.
constexpr std::size_t kBatchFiles = 64;
constexpr auto kBatchTime = std::chrono::milliseconds(30);
// Beyond this the cache starts again rather than grow with every folder ever shown.
constexpr int kMaxEntries = 200000;

}  // namespace

THeaderInfoCache::THeaderInfoCache(QObject* parent) : QObject(parent) {
  worker_ = std::thread([this] { Run(); });
}

THeaderInfoCache::~THeaderInfoCache() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  worker_.join();
  // Batches posted but not delivered go with this object's posted events.
}

const THeaderInfoCache::TEntry* THeaderInfoCache::Find(const THeaderKey& key) const {
  const auto found = entries_.constFind(key.Path);
  if (found == entries_.cend() || found->Size != key.Size || found->MtimeNs != key.MtimeNs) return nullptr;
  return &*found;
}

namespace {

// Moves the keys of these paths, in their order, ahead of the others, which keep theirs.
void PutFirst(std::deque<THeaderKey>& queue, const QStringList& paths) {
  if (paths.isEmpty()) return;
  QHash<QString, int> rank;
  for (int i = 0; i < paths.size(); ++i) rank.insert(paths[i], i);
  const auto front =
      std::stable_partition(queue.begin(), queue.end(), [&](const THeaderKey& key) { return rank.contains(key.Path); });
  std::stable_sort(queue.begin(), front,
                   [&](const THeaderKey& a, const THeaderKey& b) { return rank.value(a.Path) < rank.value(b.Path); });
}

}  // namespace

void THeaderInfoCache::Request(const std::vector<THeaderKey>& files, const QStringList& first) {
  std::deque<THeaderKey> wanted;
  for (const THeaderKey& key : files)
    if (Find(key) == nullptr) wanted.push_back(key);
  PutFirst(wanted, first);
  {
    std::lock_guard lock(mutex_);
    queue_ = std::move(wanted);
  }
  wake_.notify_all();
}

void THeaderInfoCache::Prioritise(const QStringList& paths) {
  std::lock_guard lock(mutex_);
  PutFirst(queue_, paths);
}

void THeaderInfoCache::Cancel() {
  std::lock_guard lock(mutex_);
  queue_.clear();
}

void THeaderInfoCache::Clear() { entries_.clear(); }

int THeaderInfoCache::Pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(queue_.size()) + busy_;
}

int THeaderInfoCache::Reads() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

void THeaderInfoCache::Run() {
  std::vector<TResult> batch;
  auto batchStart = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  for (;;) {
    if (queue_.empty() && !batch.empty()) {
      // Idle or not, what was read reaches the list before the worker sleeps.
      std::vector<TResult> done = std::move(batch);
      batch.clear();
      lock.unlock();
      QMetaObject::invokeMethod(this, [this, done = std::move(done)]() mutable { Deliver(std::move(done)); },
                                Qt::QueuedConnection);
      lock.lock();
      continue;
    }
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    THeaderKey key = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    ++reads_;
    lock.unlock();
    if (batch.empty()) batchStart = std::chrono::steady_clock::now();
    std::optional<THeaderInfo> info = ReadHeaderInfo(EncodeFileName(key.Path).toStdString());
    batch.push_back(TResult{std::move(key), std::move(info)});
    if (batch.size() >= kBatchFiles || std::chrono::steady_clock::now() - batchStart >= kBatchTime) {
      std::vector<TResult> done = std::move(batch);
      batch.clear();
      QMetaObject::invokeMethod(this, [this, done = std::move(done)]() mutable { Deliver(std::move(done)); },
                                Qt::QueuedConnection);
    }
    lock.lock();
  }
}

void THeaderInfoCache::Deliver(std::vector<TResult> results) {
  if (entries_.size() + static_cast<qsizetype>(results.size()) > kMaxEntries) entries_.clear();
  for (TResult& result : results)
    entries_.insert(result.Key.Path, TEntry{result.Key.Size, result.Key.MtimeNs, std::move(result.Info)});
  bool idle;
  {
    std::lock_guard lock(mutex_);
    busy_ = std::max(0, busy_ - static_cast<int>(results.size()));
    idle = queue_.empty() && busy_ == 0;
  }
  for (const TResult& result : results) emit Ready(result.Key.Path);
  if (idle) emit Idle();
}

QString DimensionsText(const THeaderInfo& info) {
  return QString::number(info.Width) + QStringLiteral(" x ") + QString::number(info.Height);
}

QString AlphaText(const THeaderInfo& info) { return info.HasAlpha ? QStringLiteral("yes") : QStringLiteral("no"); }

}  // namespace vumo
