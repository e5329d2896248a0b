// The Targa reader against stb_image on the same in-memory files: 4096 x 4096 texture-like
// pictures, 24 and 32 bits, raw and run-length coded. Bytes per second count decoded pixel bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "formats/targa.h"
#include "pixels/decoders.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

using namespace vumo::bench;

// A brick wall: flat mortar lines (long runs), brick faces of banded noise (short runs),
// and flecks (literals), the mix a painted game texture has.
std::vector<std::uint8_t> MakeTexture() {
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(kSide) * kSide * 4);
  for (int y = 0; y < kSide; ++y) {
    const int row = y / 96;
    for (int x = 0; x < kSide; ++x) {
      std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * kSide + x) * 4];
      const int bx = x + (row % 2) * 96;
      const bool mortar = y % 96 < 6 || bx % 192 < 6;
      if (mortar) {
        p[0] = 150, p[1] = 160, p[2] = 165, p[3] = 96;
        continue;
      }
      const int shade = (ValueNoise(x, y, 24, 1) + ValueNoise(x, y, 97, 2)) / 2;
      int level = shade / 12 * 12;  // banded, so neighbours often agree
      if ((Hash(x, y, 3) & 7) == 0) level += static_cast<int>(Hash(x, y, 4) % 24);  // flecks
      const int tint = static_cast<int>(Hash(bx / 192, row, 5) % 40);
      p[0] = static_cast<std::uint8_t>(std::min(255, level / 3 + 20));
      p[1] = static_cast<std::uint8_t>(std::min(255, level / 2 + 30 + tint / 2));
      p[2] = static_cast<std::uint8_t>(std::min(255, level + tint));
      p[3] = 255;
    }
  }
  return bgra;
}

const std::vector<std::uint8_t>& Texture() {
  static const std::vector<std::uint8_t> texture = MakeTexture();
  return texture;
}

// A bottom-up Targa file of the texture, as most writers store it.
std::vector<std::uint8_t> MakeTarga(int bits, bool runLength) {
  const std::size_t pixelSize = static_cast<std::size_t>(bits) / 8;
  std::vector<std::uint8_t> file = {0, 0, static_cast<std::uint8_t>(runLength ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    kSide & 255, kSide >> 8, kSide & 255, kSide >> 8,
                                    static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits == 32 ? 8 : 0)};
  std::vector<std::uint8_t> row(kSide * pixelSize), packed(2 * row.size());
  vumo::TTargaRLEDecoder coder(bits);
  for (int y = kSide - 1; y >= 0; --y) {
    const std::uint8_t* source = &Texture()[static_cast<std::size_t>(y) * kSide * 4];
    for (int x = 0; x < kSide; ++x) std::memcpy(&row[x * pixelSize], source + x * 4, pixelSize);
    if (!runLength) {
      file.insert(file.end(), row.begin(), row.end());
      continue;
    }
    std::uint32_t stored = 0;
    coder.Encode(row.data(), packed.data(), kSide, stored);
    file.insert(file.end(), packed.begin(), packed.begin() + stored);
  }
  return file;
}

const std::vector<std::uint8_t>& File(int bits, bool runLength) {
  static const std::vector<std::uint8_t> files[4] = {MakeTarga(24, false), MakeTarga(24, true),
                                                     MakeTarga(32, false), MakeTarga(32, true)};
  return files[(bits == 32 ? 2 : 0) + (runLength ? 1 : 0)];
}

void Report(benchmark::State& state, int bits, bool runLength) {
  const std::vector<std::uint8_t>& file = File(bits, runLength);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * (bits / 8));
  state.counters["file_MiB"] = static_cast<double>(file.size()) / (1 << 20);
}

void BM_TargaGraphic(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const bool runLength = state.range(1) != 0;
  const std::vector<std::uint8_t>& file = File(bits, runLength);
  for (auto _ : state) {
    vumo::TTargaGraphic graphic;
    vumo::TMemoryStream stream(file.data(), file.size());
    graphic.LoadFromStream(stream);
    benchmark::DoNotOptimize(graphic.ScanLine(0));
  }
  Report(state, bits, runLength);
}

void BM_StbImage(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const bool runLength = state.range(1) != 0;
  const std::vector<std::uint8_t>& file = File(bits, runLength);
  for (auto _ : state) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 0);
    if (!pixels) {
      state.SkipWithError("stb_image refused the file");
      break;
    }
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  Report(state, bits, runLength);
}

// The run-length decoder alone, into a buffer already paged in: what the load costs beyond
// allocating and first touching a fresh bitmap.
void BM_TargaRLEDecoderRows(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<std::uint8_t>& file = File(bits, true);
  const std::size_t rowBytes = static_cast<std::size_t>(kSide) * (bits / 8);
  std::vector<std::uint8_t> pixels(rowBytes * kSide, 1);
  vumo::TTargaRLEDecoder decoder(bits);
  for (auto _ : state) {
    const std::uint8_t* source = file.data() + 18;
    const std::uint8_t* const end = file.data() + file.size();
    for (int y = 0; y < kSide; ++y) {
      std::uint8_t* dest = pixels.data() + rowBytes * static_cast<std::size_t>(y);
      const auto available = static_cast<std::int32_t>(std::min<std::size_t>(2 * rowBytes, static_cast<std::size_t>(end - source)));
      decoder.Decode(source, dest, available, kSide);
    }
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  Report(state, bits, true);
}

}  // namespace

BENCHMARK(BM_TargaRLEDecoderRows)->ArgName("bits")->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaGraphic)->ArgNames({"bits", "rle"})->ArgsProduct({{24, 32}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StbImage)->ArgNames({"bits", "rle"})->ArgsProduct({{24, 32}, {0, 1}})->Unit(benchmark::kMillisecond);
