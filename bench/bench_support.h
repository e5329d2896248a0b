// What the per-format benchmarks share: a painted texture of kSide x kSide pixels made in
// memory, big-endian writers for headers, and the two ways of timing a load (this program's
// reader, and stb_image where it reads the format). Bytes per second count decoded RGB bytes.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/stream.h"

namespace vumo::bench {

constexpr int kSide = 4096;
constexpr std::size_t kPixels = std::size_t{kSide} * kSide;

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed);
// Smooth value noise in 0..255 over cells of `cell` pixels.
int ValueNoise(int x, int y, int cell, std::uint32_t seed);

// Planes of a painted texture: banded noise (short runs), flat grout (long runs), flecks.
struct TTexture {
  std::vector<std::uint8_t> planes[3];
  std::vector<std::uint8_t> index;
  TTexture();
};
const TTexture& Texture();

// A raw 24-bit top-down Targa file of the texture, the picture the viewer is timed with.
std::vector<std::uint8_t> MakeTopDownTarga24();
// The same texture with an alpha channel ramping across it, as 32-bit Targa.
std::vector<std::uint8_t> MakeTopDownTarga(bool withAlpha);

void Put16(std::vector<std::uint8_t>& b, unsigned v, bool bigEndian);
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v);  // big-endian

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

// stb_image's decode of the same bytes (Photoshop, any-map and Windows bitmap files only).
void RunStb(benchmark::State& state, const std::vector<std::uint8_t>& file);
// stb_image's load of a file by its path, as its callers load (those formats only).
bool StbLoadFile(const char* path);

}  // namespace vumo::bench
