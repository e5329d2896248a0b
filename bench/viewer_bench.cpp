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

// A raw 24-bit top-down Targa of the painted texture, written once.
const std::string& TargaFile() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() / "vumo_viewer_bench.tga").string();
    const std::vector<std::uint8_t> b = MakeTopDownTarga24();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f) {
      std::fwrite(b.data(), 1, b.size(), f);
      std::fclose(f);
    }
    return file;
  }();
  return path;
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

}  // namespace

BENCHMARK(BM_ViewerLoadToFirstPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
#endif
