// Loads picture files on a worker thread, so the window answers while a large file decodes.
// One load runs at a time; a new request cancels the one running (at the reader's next row)
// and waits for it to stop, and only the newest request of those waiting is kept, so a quick
// run down the file list decodes what the user stops on, not every file passed.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "formats/picture.h"

namespace vumo {

class TPictureLoader : public QObject {
  Q_OBJECT

 public:
  struct TRequest {
    QString path;
    unsigned imageIndex = 0;
    bool refuseTooLargeForFile = true;
    // Asked because the shown file changed: an error becomes a note, the picture stays.
    bool reload = false;
  };
  // What a finished load gives: the picture holding the graphic, or the reader's error.
  struct TResult {
    TRequest request;
    std::unique_ptr<TPicture> picture;
    std::exception_ptr error;
  };

  explicit TPictureLoader(QObject* parent = nullptr);
  // Cancels what runs and waits for the worker to stop.
  ~TPictureLoader() override;

  void Start(const TRequest& request);
  // Drops the running and the waiting request: neither reports.
  void Cancel();
  // A request runs or waits, cancelled or not.
  bool Busy() const { return running_ || waiting_.has_value(); }
  // The request that will report next; null when none will.
  const TRequest* Current() const;

 signals:
  // On the loader's thread, for the newest request only; the receiver takes the result.
  void Finished(std::shared_ptr<vumo::TPictureLoader::TResult> result);

 private:
  void Launch(const TRequest& request);
  void Done(const std::shared_ptr<TResult>& result);
  void Work();

  // One thread for the loader's life, so that what readers keep per thread (the PNG
  // reader's inflate buffer) serves the next picture too.
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool quit_ = false;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  bool running_ = false;
  bool reportRunning_ = false;  // false once the running load was cancelled
  TRequest runningRequest_;
  std::optional<TRequest> waiting_;
};

}  // namespace vumo
