// What hostile files cost: small files that declare far more than they hold, each loaded or
// refused as the viewer, the converter and the thumbnailer meet them. The tests check their
// memory under a cap; here is their time, which must stay far below five seconds each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/metafile.h"
#include "formats/picture.h"
#include "formats/tiff.h"
#include "support/hostile_files.h"

namespace {

using namespace vumo;

// Each file once on disk, as the programs meet it.
std::string OnDisk(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vumo_hostile_" + std::to_string(getpid()) + "_" + name)).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

void LoadOrRefuse(benchmark::State& state, const std::string& path, bool trusted) {
  for (auto _ : state) {
    TPicture picture;
    picture.RefuseTooLargeForFile = !trusted;
    try {
      picture.LoadFromFile(path);
    } catch (const Exception&) {
    }
    benchmark::DoNotOptimize(picture.Width());
  }
}

// Tens of thousands of one-byte strips read through a file: each strip is a seek.
void BM_HostileOneByteStrips(benchmark::State& state) {
  static const std::string ordered = OnDisk("ordered.tif", test::OneByteStripsTiff(87000, false));
  static const std::string shuffled = OnDisk("shuffled.tif", test::OneByteStripsTiff(87000, true));
  LoadOrRefuse(state, state.range(0) ? shuffled : ordered, false);
}
BENCHMARK(BM_HostileOneByteStrips)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Headers of 16384 x 16384 pictures in files of a few hundred bytes: refused as too large
// for their file (0), or loaded anyway as the viewer does after its question (1).
void BM_HostileHugeHeaders(benchmark::State& state) {
  static const std::string files[] = {
      OnDisk("interlaced.png", test::HostilePng(16384, 16384, 16, 6, true, {0x78, 0x9C})),
      OnDisk("grey_deflate.tif", test::THostileTiff{}.Bytes()),
      OnDisk("cmyk16_packbits.tif", test::THostileTiff{16384, 16383, 16, 4, 5, 32773, 1, {0x81, 0}}.Bytes()),
  };
  LoadOrRefuse(state, files[state.range(0)], state.range(1) != 0);
}
BENCHMARK(BM_HostileHugeHeaders)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"file", "trusted"})
    ->Unit(benchmark::kMillisecond);

// The player alone on the hostile drawings, into a surface that draws nothing: the cost of
// the cutting and the budget themselves. The viewer benchmark paints them for real.
struct TNullCanvas : TMetafileCanvas {
  void DrawPath(const TCanvasPath& path, const TCanvasPen*, const TCanvasBrush*, TFillRule) override {
    benchmark::DoNotOptimize(path.points.data());
  }
  double DrawText(const TCanvasText&) override { return 0; }
  void DrawBitmap(const TBitmap&, double, double, double, double, TCanvasPoint, TCanvasPoint, TCanvasPoint) override {}
  void SetClip(const TCanvasClip&) override {}
};

// The hostile drawing the benchmark's argument names, loaded, with the drawing's name as its label.
void LoadHostileMetafile(benchmark::State& state, TMetafile& metafile) {
  static const std::vector<test::THostileMetafile> files = test::HostileMetafiles();
  const test::THostileMetafile& file = files[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(file.name);
  TMemoryStream stream(file.bytes.data(), file.bytes.size());
  metafile.LoadFromStream(stream);
}

void BM_HostileMetafilePlay(benchmark::State& state) {
  TMetafile metafile;
  LoadHostileMetafile(state, metafile);
  for (auto _ : state) {
    TNullCanvas canvas;
    benchmark::DoNotOptimize(metafile.Play(canvas, 0, 0, 1000, 1000));
  }
}
BENCHMARK(BM_HostileMetafilePlay)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace

#if defined(VUMO_BENCH_VIEWER) && __has_include(<QApplication>)
#include <QImage>

#include "bench_qt.h"
#include "shell/qpainter_canvas.h"

namespace {

// The hostile drawings painted at their frame's size through Qt, as the converter draws them.
void BM_HostileMetafileRender(benchmark::State& state) {
  vumo::bench::BenchApplication();
  TMetafile metafile;
  LoadHostileMetafile(state, metafile);
  for (auto _ : state) {
    const QImage image = RenderMetafile(metafile, metafile.Width(), metafile.Height());
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_HostileMetafileRender)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
#endif
