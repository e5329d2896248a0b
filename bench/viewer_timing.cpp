// The whole viewer, started as `vumo PICTURE` starts it, timed from inside: the moment
// main() begins and the moment the picture's first paint has reached the display, as
// wall-clock nanoseconds a script compares with the time it started the process; then the
// repaint of the window at 1920 x 1080 in each display mode. And the wait after a click in
// the file list: from the mouse press on a file's row to the first paint of its picture, with
// the longest the event loop went unanswered meanwhile. bench/viewer_timing.sh runs it under
// Xvfb.
//
//   vumo_viewer_timing --write-targa FILE   writes the 4096 x 4096 test Targa
//   vumo_viewer_timing --write-files DIR    writes it as texture.tga, texture.png and texture.tif
//   vumo_viewer_timing FILE                 prints main_ns, first_paint_ns and repaint times
//   vumo_viewer_timing --click FILE         opens FILE's folder, clicks FILE's row, prints
//                                           click_to_paint_ms and longest_stall_ms
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench_support.h"
#include "browser/file_names.h"
#include "formats/bitmap_export.h"
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

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
    std::perror(path.c_str());
    return false;
  }
  return true;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
  b[at] = v & 0xFF, b[at + 1] = (v >> 8) & 0xFF;
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// The Targa's picture as an RGBA PNG and as an uncompressed RGB TIFF in strips of 16 rows.
int WriteFiles(const std::string& dir) {
  using vumo::bench::kSide;
  const std::vector<std::uint8_t> tga = vumo::bench::MakeTopDownTarga24();
  if (!WriteBytes(dir + "/texture.tga", tga)) return 1;
  const std::size_t pixels = std::size_t{kSide} * kSide;
  std::vector<std::uint8_t> rgba(pixels * 4), rgb(pixels * 3);
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t* bgr = tga.data() + 18 + 3 * i;
    rgba[4 * i] = rgb[3 * i] = bgr[2];
    rgba[4 * i + 1] = rgb[3 * i + 1] = bgr[1];
    rgba[4 * i + 2] = rgb[3 * i + 2] = bgr[0];
    rgba[4 * i + 3] = 255;
  }
  if (!WriteBytes(dir + "/texture.png", vumo::EncodePngRgba8(kSide, kSide, rgba))) return 1;

  constexpr int kRowsPerStrip = 16, kStrips = kSide / kRowsPerStrip, kEntries = 9;
  constexpr std::size_t kStripBytes = std::size_t{kSide} * 3 * kRowsPerStrip;
  const std::size_t ifd = 8, offsets = ifd + 2 + kEntries * 12 + 4, counts = offsets + 4 * kStrips,
                    bits = counts + 4 * kStrips, data = bits + 8;
  std::vector<std::uint8_t> tif(data);
  tif[0] = tif[1] = 'I';
  Put16(tif, 2, 42);
  Put32(tif, 4, ifd);
  Put16(tif, ifd, kEntries);
  const std::uint32_t entries[kEntries][4] = {
      {256, 4, 1, kSide}, {257, 4, 1, kSide}, {258, 3, 3, static_cast<std::uint32_t>(bits)}, {259, 3, 1, 1},
      {262, 3, 1, 2},     {273, 4, kStrips, static_cast<std::uint32_t>(offsets)}, {277, 3, 1, 3},
      {278, 3, 1, kRowsPerStrip}, {279, 4, kStrips, static_cast<std::uint32_t>(counts)}};
  for (int e = 0; e < kEntries; ++e) {
    const std::size_t at = ifd + 2 + 12 * e;
    Put16(tif, at, entries[e][0]);
    Put16(tif, at + 2, entries[e][1]);
    Put32(tif, at + 4, entries[e][2]);
    if (entries[e][1] == 3 && entries[e][2] == 1) Put16(tif, at + 8, entries[e][3]);
    else Put32(tif, at + 8, entries[e][3]);
  }
  for (int s = 0; s < kStrips; ++s) {
    Put32(tif, offsets + 4 * s, static_cast<std::uint32_t>(data + kStripBytes * s));
    Put32(tif, counts + 4 * s, static_cast<std::uint32_t>(kStripBytes));
  }
  for (int i = 0; i < 3; ++i) Put16(tif, bits + 2 * i, 8);
  tif.insert(tif.end(), rgb.begin(), rgb.end());
  return WriteBytes(dir + "/texture.tif", tif) ? 0 : 1;
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

// Opens the file's folder, then presses and releases the mouse on the file's row once the
// window has settled, and times the wait to the first paint of the picture. A timer that
// ticks every millisecond measures how long the event loop went unanswered meanwhile.
int Click(vumo::TApplication& application, const QString& path) {
  vumo::TForm1 form;
  auto* view = form.findChild<vumo::TProImage*>();
  if (!view) return 1;
  form.show();
  form.OpenFromCommandLine(QFileInfo(path).absolutePath());
  QElapsedTimer clock;
  qint64 lastTick = 0, longestStall = 0;
  QTimer ticker;
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longestStall = std::max(longestStall, now - lastTick);
    lastTick = now;
  });
  TFirstPaint probe(view, [&] {
    const qint64 painted = clock.nsecsElapsed();
    std::printf("click_to_paint_ms %.1f\nlongest_stall_ms %.1f\n", painted / 1e6, std::max(longestStall, painted - lastTick) / 1e6);
    std::fflush(stdout);
    QCoreApplication::quit();
  });
  QTimer::singleShot(500, [&] {
    const std::vector<vumo::TListItem>& items = form.BrowseFiles->Items();
    int row = -1;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (QFileInfo(items[i].SubItems[vumo::kSubPath]) == QFileInfo(path)) row = static_cast<int>(i);
    if (row < 0) {
      std::fprintf(stderr, "%s is not listed\n", qPrintable(path));
      QCoreApplication::exit(1);
      return;
    }
    form.BrowseFiles->scrollTo(form.BrowseFiles->model()->index(row, 0));
    const QPoint at = form.BrowseFiles->visualRect(form.BrowseFiles->model()->index(row, 0)).center();
    QWidget* target = form.BrowseFiles->viewport();
    view->installEventFilter(&probe);
    clock.start();
    ticker.start();
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
  });
  return application.exec();
}

int main(int argc, char** argv) {
  const long long mainStart = WallNanoseconds();
  if (argc == 3 && std::strcmp(argv[1], "--write-targa") == 0) return WriteTarga(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--write-files") == 0) return WriteFiles(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--click") == 0) {
    vumo::FileFormatList();
    vumo::TApplication application(argc, argv);
    return Click(application, vumo::DecodeFileName(QByteArray(argv[2])));
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s --write-targa FILE | --write-files DIR | FILE | --click FILE\n", argv[0]);
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
