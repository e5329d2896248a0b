// The Photoshop reader on a 4096 x 4096 PackBits-coded RGB document made in memory, beside
// stb_image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "formats/psd.h"

namespace {

using namespace vumo::bench;

void PackBits(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    std::size_t j = i;
    while (j < n && j - i < 128 && !(j + 1 < n && row[j] == row[j + 1])) ++j;
    out.push_back(static_cast<std::uint8_t>(j - i - 1));
    out.insert(out.end(), row + i, row + j);
    i = j;
  }
}

std::vector<std::uint8_t> MakePsd() {
  std::vector<std::uint8_t> b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Put16(b, 3, true);
  Put32(b, kSide);
  Put32(b, kSide);
  Put16(b, 8, true);
  Put16(b, 3, true);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put16(b, 1, true);
  std::vector<std::uint8_t> data;
  std::vector<std::uint8_t> counts;
  for (int p = 0; p < 3; ++p)
    for (int y = 0; y < kSide; ++y) {
      const std::size_t before = data.size();
      PackBits(&Texture().planes[p][static_cast<std::size_t>(y) * kSide], kSide, data);
      Put16(counts, static_cast<unsigned>(data.size() - before), true);
    }
  b.insert(b.end(), counts.begin(), counts.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

const std::vector<std::uint8_t>& Psd() {
  static const auto file = MakePsd();
  return file;
}

void BM_PSDRGBPackBits_Vumo(benchmark::State& state) { RunVumo<vumo::TPSDGraphic>(state, Psd()); }
void BM_PSDRGBPackBits_Stb(benchmark::State& state) { RunStb(state, Psd()); }

}  // namespace

BENCHMARK(BM_PSDRGBPackBits_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBPackBits_Stb)->Unit(benchmark::kMillisecond);
