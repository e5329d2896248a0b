// The any-map reader on 4096 x 4096 raw pixel and grey maps made in memory, beside stb_image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_files.h"
#include "bench_support.h"
#include "formats/portable_map.h"

namespace {

using namespace vumo::bench;

const std::vector<std::uint8_t>& Ppm() {
  static const auto file = MakePpm();
  return file;
}

const std::vector<std::uint8_t>& Pgm() {
  static const auto file = MakePgm();
  return file;
}

void BM_PPMP6_Vumo(benchmark::State& state) { RunVumo<vumo::TPPMGraphic>(state, Ppm()); }
void BM_PPMP6_Stb(benchmark::State& state) { RunStb(state, Ppm()); }
// Bytes per second for the grey map count three bytes a pixel like the others; its own
// bytes are a third of that.
void BM_PGMP5_Vumo(benchmark::State& state) { RunVumo<vumo::TPPMGraphic>(state, Pgm()); }
void BM_PGMP5_Stb(benchmark::State& state) { RunStb(state, Pgm()); }

}  // namespace

BENCHMARK(BM_PPMP6_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMP6_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PGMP5_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PGMP5_Stb)->Unit(benchmark::kMillisecond);
