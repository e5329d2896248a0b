// The viewer's picture control on a 4096 x 4096 Targa: from the file to the first paint of a
// 1920 x 1080 control, and a repaint in each way it shows a picture. Painting goes to an
// image through Qt's raster engine, as the offscreen and X11 platforms paint a window.
#if defined(VUMO_BENCH_VIEWER) && __has_include(<QApplication>)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_qt.h"
#include "bench_support.h"
#include "shell/pro_image.h"

namespace {

using namespace vumo::bench;

std::string MakeFile(bool withAlpha) {
  const std::string file = (std::filesystem::temp_directory_path() /
                            (withAlpha ? "vumo_viewer_bench32.tga" : "vumo_viewer_bench.tga")).string();
  const std::vector<std::uint8_t> b = MakeTopDownTarga(withAlpha);
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f) {
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
  return file;
}

// A raw top-down Targa of the painted texture, written once (24-bit, or 32-bit with alpha).
const std::string& TargaFile(bool withAlpha = false) {
  static const std::string paths[2] = {MakeFile(false), MakeFile(true)};
  return paths[withAlpha];
}

void Paint(vumo::TProImage& view, QImage& target) {
  view.render(&target);
  benchmark::DoNotOptimize(target.constBits());
}

void BM_ViewerLoadToFirstPaint(benchmark::State& state) {
  vumo::bench::BenchApplication();
  const std::string& file = TargaFile();
  QImage target(1920, 1080, QImage::Format_RGB32);
  for (auto _ : state) {
    vumo::TProImage view;
    view.resize(1920, 1080);
    view.Picture()->LoadFromFile(file);
    Paint(view, target);
  }
}

// 0: natural size, 1: stretched, 2: tiled.
void BM_ViewerRepaint(benchmark::State& state) {
  vumo::bench::BenchApplication();
  vumo::TProImage view;
  view.resize(1920, 1080);
  view.Picture()->LoadFromFile(TargaFile());
  view.SetStretch(state.range(0) == 1);
  view.SetTiled(state.range(0) == 2);
  QImage target(1920, 1080, QImage::Format_RGB32);
  Paint(view, target);  // the first paint converts the bitmap
  for (auto _ : state) Paint(view, target);
  state.SetLabel(state.range(0) == 0 ? "normal" : state.range(0) == 1 ? "stretched" : "tiled");
}

// The view's other ways of showing the picture, each against the natural-size repaint above:
// a zoom below 1:1 (area-averaged from the cached pyramid), above it (nearest), a zoomed
// tiling, one channel alone, and an alpha picture over the checkerboard.
enum TViewCase { icZoomQuarter, icZoomHalf, icZoom3, icZoom8, icTiledZoom2, icRed, icAlpha, icChecker };

void BM_ViewerZoomedRepaint(benchmark::State& state) {
  vumo::bench::BenchApplication();
  const auto which = static_cast<TViewCase>(state.range(0));
  vumo::TProImage view;
  view.resize(1920, 1080);
  view.Picture()->LoadFromFile(TargaFile(which == icChecker));
  const char* label = "";
  switch (which) {
    case icZoomQuarter: view.SetZoom(0.25), label = "zoom 1/4"; break;
    case icZoomHalf: view.SetZoom(0.5), label = "zoom 1/2"; break;
    case icZoom3: view.SetZoom(3), label = "zoom 3"; break;
    case icZoom8: view.SetZoom(8), label = "zoom 8"; break;
    case icTiledZoom2: view.SetTiled(true), view.SetZoom(2), label = "tiled zoom 2"; break;
    case icRed: view.SetChannel(vumo::TViewState::vcRed), label = "red channel"; break;
    case icAlpha: view.SetChannel(vumo::TViewState::vcAlpha), label = "alpha channel"; break;
    case icChecker: label = "alpha over checkerboard"; break;
  }
  QImage target(1920, 1080, QImage::Format_RGB32);
  Paint(view, target);  // the first paint converts the bitmap and builds what the zoom needs
  for (auto _ : state) Paint(view, target);
  state.SetLabel(label);
}

// Wheel zooming steps through scales: each step must reuse the converted picture.
void BM_ViewerWheelZoomStep(benchmark::State& state) {
  vumo::bench::BenchApplication();
  vumo::TProImage view;
  view.resize(1920, 1080);
  view.Picture()->LoadFromFile(TargaFile());
  QImage target(1920, 1080, QImage::Format_RGB32);
  Paint(view, target);
  int direction = -1;
  int steps = 0;
  for (auto _ : state) {
    view.ZoomStep(direction);
    Paint(view, target);
    if (++steps == 4) steps = 0, direction = -direction;
  }
}

}  // namespace

BENCHMARK(BM_ViewerZoomedRepaint)->DenseRange(icZoomQuarter, icChecker)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerWheelZoomStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerLoadToFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
#endif
