// The Windows bitmap reader on a 4096 x 4096 24-bit file made in memory, beside stb_image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_files.h"
#include "bench_support.h"
#include "formats/bitmap.h"

namespace {

using namespace vumo::bench;

const std::vector<std::uint8_t>& Bmp24() {
  static const auto file = MakeBmp24();
  return file;
}

void BM_BMP24Bit_Vumo(benchmark::State& state) { RunVumo<vumo::TBitmap>(state, Bmp24()); }
void BM_BMP24Bit_Stb(benchmark::State& state) { RunStb(state, Bmp24()); }

}  // namespace

BENCHMARK(BM_BMP24Bit_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BMP24Bit_Stb)->Unit(benchmark::kMillisecond);
