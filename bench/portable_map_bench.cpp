// The any-map reader on a 4096 x 4096 raw pixel map made in memory, beside stb_image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_support.h"
#include "formats/portable_map.h"

namespace {

using namespace vumo::bench;

std::vector<std::uint8_t> MakePpm() {
  const std::string header = "P6\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n";
  std::vector<std::uint8_t> b(header.begin(), header.end());
  b.reserve(b.size() + kPixels * 3);
  const TTexture& t = Texture();
  for (std::size_t i = 0; i < kPixels; ++i)
    for (int p = 0; p < 3; ++p) b.push_back(t.planes[p][i]);
  return b;
}

const std::vector<std::uint8_t>& Ppm() {
  static const auto file = MakePpm();
  return file;
}

void BM_PPMP6_Vumo(benchmark::State& state) { RunVumo<vumo::TPPMGraphic>(state, Ppm()); }
void BM_PPMP6_Stb(benchmark::State& state) { RunStb(state, Ppm()); }

}  // namespace

BENCHMARK(BM_PPMP6_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMP6_Stb)->Unit(benchmark::kMillisecond);
