// The PCX, Photoshop and any-map readers on 4096 x 4096 pictures made in memory, beside
// stb_image where it reads the format (Photoshop and PPM; it has no PCX reader).
// Bytes per second count decoded RGB bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/pcx.h"
#include "formats/portable_map.h"
#include "formats/psd.h"

// The program's shared stb_image build has only the Targa loader; this file builds the
// Photoshop and PNM loaders privately (static functions) so the two cannot collide.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PSD
#define STBI_ONLY_PNM
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kPixels = std::size_t{kSide} * kSide;

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  return h ^ (h >> 15);
}

int ValueNoise(int x, int y, int cell, std::uint32_t seed) {
  const int cx = x / cell, cy = y / cell, fx = x % cell, fy = y % cell;
  auto corner = [&](int i, int j) { return static_cast<int>(Hash(cx + i, cy + j, seed) & 255); };
  const int top = corner(0, 0) * (cell - fx) + corner(1, 0) * fx;
  const int bottom = corner(0, 1) * (cell - fx) + corner(1, 1) * fx;
  return (top * (cell - fy) + bottom * fy) / (cell * cell);
}

// Planes of a painted texture: banded noise (short runs), flat grout (long runs), speckles.
struct TTexture {
  std::vector<std::uint8_t> planes[3];
  std::vector<std::uint8_t> index;
  TTexture() {
    for (auto& p : planes) p.resize(kPixels);
    index.resize(kPixels);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * kSide + x;
        const bool grout = y % 64 < 4 || x % 64 < 4;
        int level = grout ? 40 : (ValueNoise(x, y, 32, 1) + ValueNoise(x, y, 7, 2)) / 2 / 8 * 8;
        if (!grout && (Hash(x, y, 3) & 15) == 0) level += static_cast<int>(Hash(x, y, 4) % 16);
        planes[0][i] = static_cast<std::uint8_t>(std::min(255, level + 40));
        planes[1][i] = static_cast<std::uint8_t>(level);
        planes[2][i] = static_cast<std::uint8_t>(level / 2);
        index[i] = static_cast<std::uint8_t>(level);
      }
  }
};

const TTexture& Texture() {
  static const TTexture texture;
  return texture;
}

void Put16(std::vector<std::uint8_t>& b, unsigned v, bool bigEndian) {
  if (bigEndian) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
  } else {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  }
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v >> 16, true);
  Put16(b, v & 0xFFFF, true);
}

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

std::vector<std::uint8_t> MakePpm() {
  const std::string header = "P6\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n";
  std::vector<std::uint8_t> b(header.begin(), header.end());
  b.reserve(b.size() + kPixels * 3);
  const TTexture& t = Texture();
  for (std::size_t i = 0; i < kPixels; ++i)
    for (int p = 0; p < 3; ++p) b.push_back(t.planes[p][i]);
  return b;
}

template <typename TReader>
void RunVumo(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  for (auto _ : state) {
    vumo::TMemoryStream stream(file.data(), file.size());
    TReader graphic;
    graphic.LoadFromStream(stream);
    benchmark::DoNotOptimize(graphic.ScanLine(kSide - 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPixels * 3));
}

void RunStb(benchmark::State& state, const std::vector<std::uint8_t>& file) {
  for (auto _ : state) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 0);
    if (!pixels) {
      state.SkipWithError(stbi_failure_reason());
      break;
    }
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPixels * 3));
}

const std::vector<std::uint8_t>& Pcx8() {
  static const auto file = MakePcx(1);
  return file;
}
const std::vector<std::uint8_t>& Pcx24() {
  static const auto file = MakePcx(3);
  return file;
}
const std::vector<std::uint8_t>& Psd() {
  static const auto file = MakePsd();
  return file;
}
const std::vector<std::uint8_t>& Ppm() {
  static const auto file = MakePpm();
  return file;
}

void BM_PCX8Bit_Vumo(benchmark::State& state) { RunVumo<vumo::TPCXGraphic>(state, Pcx8()); }
void BM_PCX24Bit_Vumo(benchmark::State& state) { RunVumo<vumo::TPCXGraphic>(state, Pcx24()); }
void BM_PSDRGBPackBits_Vumo(benchmark::State& state) { RunVumo<vumo::TPSDGraphic>(state, Psd()); }
void BM_PSDRGBPackBits_Stb(benchmark::State& state) { RunStb(state, Psd()); }
void BM_PPMP6_Vumo(benchmark::State& state) { RunVumo<vumo::TPPMGraphic>(state, Ppm()); }
void BM_PPMP6_Stb(benchmark::State& state) { RunStb(state, Ppm()); }

}  // namespace

BENCHMARK(BM_PCX8Bit_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PCX24Bit_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBPackBits_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSDRGBPackBits_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMP6_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PPMP6_Stb)->Unit(benchmark::kMillisecond);
