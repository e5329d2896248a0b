// The Photoshop reader on 4096 x 4096 RGB documents made in memory, PackBits-coded and raw,
// beside stb_image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_files.h"
#include "bench_support.h"
#include "formats/psd.h"

namespace {

using namespace vumo::bench;

const std::vector<std::uint8_t>& Psd() {
  static const auto file = MakePsd(true);
  return file;
}

const std::vector<std::uint8_t>& PsdRaw() {
  static const auto file = MakePsd(false);
  return file;
}

void BM_PSDRGBPackBits_Vumo(benchmark::State& state) { RunVumo<vumo::TPSDGraphic>(state, Psd()); }
void BM_PSDRGBPackBits_Stb(benchmark::State& state) { RunStb(state, Psd()); }
void BM_PSDRGBRaw_Vumo(benchmark::State& state) { RunVumo<vumo::TPSDGraphic>(state, PsdRaw()); }
void BM_PSDRGBRaw_Stb(benchmark::State& state) { RunStb(state, PsdRaw()); }

}  // namespace

BENCHMARK(BM_PSDRGBPackBits_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBPackBits_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBRaw_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBRaw_Stb)->Unit(benchmark::kMillisecond);
