#include "shell/picture_loader.h"

#include <QMetaObject>
#include <utility>

#include "browser/file_names.h"

namespace vumo {

namespace {
// Thrown from a reader's row progress to end a load nobody waits for; never reported.
struct TLoadCancelled {};
}  // namespace

TPictureLoader::TPictureLoader(QObject* parent) : QObject(parent) {}

TPictureLoader::~TPictureLoader() {
  if (cancelled_) cancelled_->store(true);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
}

void TPictureLoader::Work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || job_; });
      if (quit_) return;
      job = std::exchange(job_, nullptr);
    }
    job();
  }
}

void TPictureLoader::Start(const TRequest& request) {
  if (!running_) {
    Launch(request);
    return;
  }
  cancelled_->store(true);
  reportRunning_ = false;
  waiting_ = request;
}

void TPictureLoader::Cancel() {
  if (running_) {
    cancelled_->store(true);
    reportRunning_ = false;
  }
  waiting_.reset();
}

const TPictureLoader::TRequest* TPictureLoader::Current() const {
  if (waiting_) return &*waiting_;
  return running_ && reportRunning_ ? &runningRequest_ : nullptr;
}

void TPictureLoader::Launch(const TRequest& request) {
  if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  running_ = true;
  reportRunning_ = true;
  runningRequest_ = request;
  cancelled_ = std::make_shared<std::atomic<bool>>(false);
  auto result = std::make_shared<TResult>();
  result->request = request;
  const std::string fileName = EncodeFileName(request.path).toStdString();
  auto job = [this, result, fileName, cancelled = cancelled_] {
    try {
      auto picture = std::make_unique<TPicture>();
      picture->RefuseTooLargeForFile = result->request.refuseTooLargeForFile;
      // Only between rows: the starting and ending calls may come from a reader's clean-up.
      picture->OnProgress = [cancelled](void*, TProgressStage stage, std::uint8_t, bool, const TRect&,
                                        const std::string&) {
        if (stage == psRunning && cancelled->load(std::memory_order_relaxed)) throw TLoadCancelled{};
      };
      picture->LoadFromFile(fileName, result->request.imageIndex);
      picture->OnProgress = nullptr;
      result->picture = std::move(picture);
    } catch (...) {
      result->error = std::current_exception();
    }
    // The destructor joins this thread before the loader goes, so `this` is alive here; a
    // report still queued when it goes is dropped with it.
    QMetaObject::invokeMethod(this, [this, result] { Done(result); }, Qt::QueuedConnection);
  };
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
  }
  wake_.notify_one();
}

void TPictureLoader::Done(const std::shared_ptr<TResult>& result) {
  running_ = false;
  const bool report = reportRunning_;
  reportRunning_ = false;
  if (waiting_) {
    const TRequest next = *waiting_;
    waiting_.reset();
    Launch(next);
    return;
  }
  if (report) emit Finished(result);
}

}  // namespace vumo
