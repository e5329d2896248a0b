// The picture comparison on a 2048 x 2048 pair (a pattern and a noisy copy), 8-bit and float:
// the figures in one pass, and the difference picture. "items_per_second" counts pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "pixels/image_compare.h"

namespace {

constexpr int kSide = 2048;
constexpr std::size_t kSamples = std::size_t{kSide} * kSide * 4;

const std::vector<std::uint8_t>& Pattern(bool noisy) {
  static const auto make = [](bool noise) {
    std::vector<std::uint8_t> rgba(kSamples);
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < kSamples; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const int base = static_cast<int>((i / 4 % kSide + i / 4 / kSide) & 0xFF);
      const int value = noise ? base + static_cast<int>(seed >> 29) - 3 : base;
      rgba[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 255 : value < 0 ? 0 : value > 255 ? 255 : value);
    }
    return rgba;
  };
  static const std::vector<std::uint8_t> clean = make(false), noisyCopy = make(true);
  return noisy ? noisyCopy : clean;
}

const std::vector<float>& Linear(bool noisy) {
  static const auto make = [](const std::vector<std::uint8_t>& rgba) {
    std::vector<float> out(rgba.size());
    for (std::size_t i = 0; i < rgba.size(); ++i) out[i] = rgba[i] / 255.0f;
    return out;
  };
  static const std::vector<float> clean = make(Pattern(false)), noisyCopy = make(Pattern(true));
  return noisy ? noisyCopy : clean;
}

// The clean pattern against its noisy copy, as 8-bit RGBA or as linear floats.
std::pair<vumo::TCompareInput, vumo::TCompareInput> Pair8() {
  return {vumo::TCompareInput::FromRgba8(kSide, kSide, Pattern(false).data()),
          vumo::TCompareInput::FromRgba8(kSide, kSide, Pattern(true).data())};
}
std::pair<vumo::TCompareInput, vumo::TCompareInput> PairFloat() {
  return {vumo::TCompareInput::FromLinear(kSide, kSide, Linear(false).data()),
          vumo::TCompareInput::FromLinear(kSide, kSide, Linear(true).data())};
}

// Pixels a second through `work` over one pair.
template <typename Work>
void RunPair(benchmark::State& state, const std::pair<vumo::TCompareInput, vumo::TCompareInput>& pair, Work work) {
  for (auto _ : state) benchmark::DoNotOptimize(work(pair.first, pair.second));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_ComparePictures8(benchmark::State& state) { RunPair(state, Pair8(), vumo::ComparePictures); }
BENCHMARK(BM_ComparePictures8)->Unit(benchmark::kMillisecond);

void BM_ComparePicturesFloat(benchmark::State& state) { RunPair(state, PairFloat(), vumo::ComparePictures); }
BENCHMARK(BM_ComparePicturesFloat)->Unit(benchmark::kMillisecond);

void BM_DifferenceImage(benchmark::State& state) {
  RunPair(state, Pair8(), [](const auto& a, const auto& b) { return vumo::DifferenceImage(a, b, 16); });
}
BENCHMARK(BM_DifferenceImage)->Unit(benchmark::kMillisecond);

}  // namespace
