// The whole viewer, started as `vumo PICTURE` starts it, timed from inside: the moment
// main() begins and the moment the picture's first paint has reached the display, as
// wall-clock nanoseconds a script compares with the time it started the process; then the
// repaint of the window at 1920 x 1080 in each display mode. bench/viewer_timing.sh runs
// it under Xvfb.
//
//   vumo_viewer_timing --write-targa FILE   writes the 4096 x 4096 test Targa
//   vumo_viewer_timing FILE                 prints main_ns, first_paint_ns and repaint times
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench_support.h"
#include "browser/file_names.h"
#include "formats/format_registry.h"
#include "formats/picture.h"
#include "shell/application.h"
#include "shell/main_window.h"
#include "shell/pro_image.h"

namespace {

long long WallNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int WriteTarga(const char* path) {
  const std::vector<std::uint8_t> b = vumo::bench::MakeTopDownTarga24();
  std::FILE* f = std::fopen(path, "wb");
  if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
    std::perror(path);
    return 1;
  }
  return 0;
}

// Waits for the first paint of the picture control once it holds the picture.
class TFirstPaint : public QObject {
 public:
  TFirstPaint(vumo::TProImage* view, std::function<void()> then) : view_(view), then_(std::move(then)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && watched == view_ && event->type() == QEvent::Paint && view_->Picture()->Width() > 0) {
      seen_ = true;
      // Runs once the paint has been flushed to the display and control is back in the loop.
      QTimer::singleShot(0, this, then_);
    }
    return false;
  }

 private:
  vumo::TProImage* view_;
  std::function<void()> then_;
  bool seen_ = false;
};

double MedianRepaintMilliseconds(vumo::TProImage* view) {
  std::vector<double> times;
  for (int i = 0; i < 15; ++i) {
    const auto start = std::chrono::steady_clock::now();
    view->repaint();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const long long mainStart = WallNanoseconds();
  if (argc == 3 && std::strcmp(argv[1], "--write-targa") == 0) return WriteTarga(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s --write-targa FILE | FILE\n", argv[0]);
    return 2;
  }
  vumo::FileFormatList();
  vumo::TApplication application(argc, argv);
  vumo::TForm1 form;
  auto* view = form.findChild<vumo::TProImage*>();
  if (!view) return 1;
  TFirstPaint probe(view, [&] {
    const long long painted = WallNanoseconds();
    std::printf("main_ns %lld\nfirst_paint_ns %lld\n", mainStart, painted);
    form.resize(1920, 1080);
    QCoreApplication::processEvents();
    std::printf("window %dx%d, picture control %dx%d\n", form.width(), form.height(), view->width(), view->height());
    const char* names[] = {"normal", "stretched", "tiled"};
    for (int mode = 0; mode < 3; ++mode) {
      view->SetStretch(mode == 1);
      view->SetTiled(mode == 2);
      view->repaint();  // the first paint in a mode may convert the bitmap once
      std::printf("repaint_%s_ms %.2f\n", names[mode], MedianRepaintMilliseconds(view));
    }
    std::fflush(stdout);
    QCoreApplication::quit();
  });
  view->installEventFilter(&probe);
  form.show();
  form.OpenFromCommandLine(vumo::DecodeFileName(QByteArray(argv[1])));
  return application.exec();
}
