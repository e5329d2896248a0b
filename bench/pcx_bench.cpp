// The PCX reader on 4096 x 4096 pictures made in memory (stb_image has no PCX reader).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_support.h"
#include "formats/pcx.h"

namespace {

using namespace vumo::bench;

void PcxRunLength(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 63 && row[i + run] == row[i]) ++run;
    if (run > 1 || row[i] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    out.push_back(row[i]);
    i += run;
  }
}

std::vector<std::uint8_t> MakePcx(int planes) {
  std::vector<std::uint8_t> b(128, 0);
  b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8;
  b[8] = b[10] = (kSide - 1) & 0xFF;
  b[9] = b[11] = (kSide - 1) >> 8;
  b[65] = static_cast<std::uint8_t>(planes);
  b[66] = kSide & 0xFF;
  b[67] = kSide >> 8;
  b[68] = 1;
  const TTexture& t = Texture();
  for (int y = 0; y < kSide; ++y)
    for (int p = 0; p < planes; ++p) {
      const auto& source = planes == 1 ? t.index : t.planes[p];
      PcxRunLength(&source[static_cast<std::size_t>(y) * kSide], kSide, b);
    }
  if (planes == 1) {
    b.push_back(12);
    for (int i = 0; i < 256; ++i) b.push_back(static_cast<std::uint8_t>(i)), b.push_back(static_cast<std::uint8_t>(255 - i)), b.push_back(static_cast<std::uint8_t>(i / 2));
  }
  return b;
}

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
