// The SGI reader on a 4096 x 4096 run-length coded RGB file made in memory. stb_image does
// not read SGI, so there is no peer to run beside it. Bytes per second count decoded pixel
// bytes (three a pixel); "file_bytes_per_second" counts the file's own bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "formats/sgi.h"

namespace {

constexpr int kSgiSide = 4096;

std::uint32_t Mix(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

// One channel sample of a tiled texture: flat grout lines (long runs), stepped gradients
// across the tiles (short runs) and grain (literals).
std::uint8_t Sample(int x, int y, int channel) {
  if (x % 256 < 8 || y % 256 < 8) return static_cast<std::uint8_t>(90 + 20 * channel);
  const int step = ((x % 256) / 6 + (y % 256) / 10 + 17 * channel) & 0xFF;
  const std::uint32_t noise =
      Mix(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(channel));
  const int grain = (noise & 15) == 0 ? 9 : 0;
  return static_cast<std::uint8_t>(step + grain);
}

void PutBigEndian16(std::vector<std::uint8_t>& out, std::size_t at, unsigned v) {
  out[at] = static_cast<std::uint8_t>(v >> 8);
  out[at + 1] = static_cast<std::uint8_t>(v);
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// SGI packets: a run of three or more equal samples is a run packet, anything else literals.
void EncodeRow(const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& out) {
  std::size_t i = 0;
  const std::size_t n = row.size();
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 127 && row[i + run] == row[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    const std::size_t start = i;
    while (i < n && i - start < 127 && !(i + 2 < n && row[i] == row[i + 1] && row[i] == row[i + 2])) ++i;
    out.push_back(static_cast<std::uint8_t>(0x80 | (i - start)));
    out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(start), row.begin() + static_cast<std::ptrdiff_t>(i));
  }
  out.push_back(0);
}

std::vector<std::uint8_t> MakeSgi() {
  const std::size_t entries = static_cast<std::size_t>(kSgiSide) * 3;
  std::vector<std::uint8_t> file(512 + 8 * entries);
  PutBigEndian16(file, 0, 474);
  file[2] = 1;  // run-length
  file[3] = 1;  // one byte a sample
  PutBigEndian16(file, 4, 3);
  PutBigEndian16(file, 6, kSgiSide);
  PutBigEndian16(file, 8, kSgiSide);
  PutBigEndian16(file, 10, 3);
  std::vector<std::uint8_t> row(kSgiSide);
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < kSgiSide; ++r) {
      for (int x = 0; x < kSgiSide; ++x) row[static_cast<std::size_t>(x)] = Sample(x, r, c);
      const std::size_t start = file.size();
      EncodeRow(row, file);
      const std::size_t index = static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * kSgiSide;
      PutBigEndian32(file, 512 + 4 * index, static_cast<std::uint32_t>(start));
      PutBigEndian32(file, 512 + 4 * (entries + index), static_cast<std::uint32_t>(file.size() - start));
    }
  }
  return file;
}

const std::vector<std::uint8_t>& SgiFile() {
  static const std::vector<std::uint8_t> file = MakeSgi();
  return file;
}

void BM_SgiRgbRunLength_Vumo(benchmark::State& state) {
  const std::vector<std::uint8_t>& file = SgiFile();
  for (auto _ : state) {
    vumo::TMemoryStream stream(file.data(), file.size());
    vumo::TSGIGraphic graphic;
    graphic.LoadFromStream(stream);
    benchmark::DoNotOptimize(graphic.ScanLine(0));
  }
  const auto iterations = static_cast<std::int64_t>(state.iterations());
  state.SetBytesProcessed(iterations * kSgiSide * kSgiSide * 3);
  state.counters["file_bytes_per_second"] =
      benchmark::Counter(static_cast<double>(file.size()) * static_cast<double>(iterations), benchmark::Counter::kIsRate);
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}
BENCHMARK(BM_SgiRgbRunLength_Vumo)->Unit(benchmark::kMillisecond);

}  // namespace
