#include "bench_support.h"

#include <algorithm>

// The program's shared stb_image build has only the Targa loader; this file builds the
// Photoshop, PNM and BMP loaders privately (static functions) so the two cannot collide.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PSD
#define STBI_ONLY_PNM
#define STBI_ONLY_BMP
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace vumo::bench {

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

TTexture::TTexture() {
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

const TTexture& Texture() {
  static const TTexture texture;
  return texture;
}

std::vector<std::uint8_t> MakeTopDownTarga(bool withAlpha) {
  std::vector<std::uint8_t> b(18, 0);
  b[2] = 2;
  b[12] = kSide & 0xFF, b[13] = kSide >> 8, b[14] = kSide & 0xFF, b[15] = kSide >> 8;
  b[16] = withAlpha ? 32 : 24;
  b[17] = withAlpha ? 0x28 : 0x20;
  const TTexture& t = Texture();
  b.reserve(b.size() + kPixels * (withAlpha ? 4 : 3));
  for (std::size_t i = 0; i < kPixels; ++i) {
    b.push_back(t.planes[2][i]);
    b.push_back(t.planes[1][i]);
    b.push_back(t.planes[0][i]);
    // Alpha that varies across the picture, so the backdrop shows through in every shade.
    if (withAlpha) b.push_back(static_cast<std::uint8_t>((i % kSide) * 255 / (kSide - 1)));
  }
  return b;
}

std::vector<std::uint8_t> MakeTopDownTarga24() { return MakeTopDownTarga(false); }

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

bool StbLoadFile(const char* path) {
  int w = 0, h = 0, n = 0;
  stbi_uc* pixels = stbi_load(path, &w, &h, &n, 0);
  benchmark::DoNotOptimize(pixels);
  stbi_image_free(pixels);
  return pixels != nullptr;
}

}  // namespace vumo::bench
