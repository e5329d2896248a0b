// The PCX reader on 4096 x 4096 pictures made in memory (stb_image has no PCX reader).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_files.h"
#include "bench_support.h"
#include "formats/pcx.h"

namespace {

using namespace vumo::bench;

const std::vector<std::uint8_t>& Pcx8() {
  static const auto file = MakePcx(1);
  return file;
}

const std::vector<std::uint8_t>& Pcx24() {
  static const auto file = MakePcx(3);
  return file;
}

void BM_PCX8Bit_Vumo(benchmark::State& state) { RunVumo<vumo::TPCXGraphic>(state, Pcx8()); }
void BM_PCX24Bit_Vumo(benchmark::State& state) { RunVumo<vumo::TPCXGraphic>(state, Pcx24()); }

}  // namespace

BENCHMARK(BM_PCX8Bit_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PCX24Bit_Vumo)->Unit(benchmark::kMillisecond);
