// The ASTC decoder on a 4096 x 4096 texture (64 MiB of RGBA output) at 4 x 4 and 8 x 8, beside
// libastcenc's own decompressor on one thread where it is installed. The blocks are real
// encodings: libastcenc compresses a 512 x 512 picture of gradients, waves and noise with alpha
// (or, without the library, the fixtures' blocks are used), tiled across the texture. Bytes per
// second count output bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "pixels/bc_decoders.h"

#ifdef VUMO_HAVE_ASTCENC
#include <astcenc.h>
#endif

namespace {

constexpr std::uint32_t kSide = 4096, kSource = 512;

#ifdef VUMO_HAVE_ASTCENC
std::vector<std::uint8_t> Encode(unsigned bw, unsigned bh) {
  std::vector<std::uint8_t> pixels(std::size_t{kSource} * kSource * 4);
  std::mt19937 random(7);
  for (std::uint32_t y = 0; y < kSource; ++y)
    for (std::uint32_t x = 0; x < kSource; ++x) {
      std::uint8_t* p = &pixels[4 * (std::size_t{y} * kSource + x)];
      const double wave = std::sin(x * 0.05) * std::cos(y * 0.031);
      p[0] = static_cast<std::uint8_t>(std::clamp(128 + 100 * wave + random() % 24, 0.0, 255.0));
      p[1] = static_cast<std::uint8_t>((x + y) / 4 + random() % 16);
      p[2] = static_cast<std::uint8_t>(x * 255 / kSource);
      p[3] = static_cast<std::uint8_t>((x / 64 + y / 64) % 3 ? 255 : y * 255 / kSource);
    }
  astcenc_config config;
  astcenc_config_init(ASTCENC_PRF_LDR, bw, bh, 1, ASTCENC_PRE_FAST, 0, &config);
  astcenc_context* context = nullptr;
  astcenc_context_alloc(&config, 1, &context);
  void* slices[1] = {pixels.data()};
  astcenc_image image{kSource, kSource, 1, ASTCENC_TYPE_U8, slices};
  const astcenc_swizzle swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
  std::vector<std::uint8_t> blocks(std::size_t{(kSource + bw - 1) / bw} * ((kSource + bh - 1) / bh) * 16);
  astcenc_compress_image(context, &image, &swizzle, blocks.data(), blocks.size(), 0);
  astcenc_context_free(context);
  return blocks;
}
#else
std::vector<std::uint8_t> Encode(unsigned bw, unsigned) {
  std::ifstream file(std::string(VUMO_ASTC_FIXTURES) + (bw == 4 ? "/noise_4x4.astc" : "/noise_8x8_srgb.astc"),
                     std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return bytes.size() > 16 ? std::vector<std::uint8_t>(bytes.begin() + 16, bytes.end()) : std::vector<std::uint8_t>(16);
}
#endif

// The texture's blocks: the encoded ones repeated in order.
const std::vector<std::uint8_t>& Texture(unsigned bw) {
  static std::vector<std::uint8_t> textures[2];
  std::vector<std::uint8_t>& t = textures[bw == 4 ? 0 : 1];
  if (t.empty()) {
    const std::vector<std::uint8_t> source = Encode(bw, bw);
    t.resize(std::size_t{kSide / bw} * (kSide / bw) * 16);
    for (std::size_t at = 0; at < t.size(); at += source.size())
      std::memcpy(t.data() + at, source.data(), std::min(source.size(), t.size() - at));
  }
  return t;
}

void BM_ASTC(benchmark::State& state, unsigned bw, bool srgb) {
  const auto& blocks = Texture(bw);
  const vumo::TBlockKind kind(srgb ? vumo::TBlockFormat::ASTCsRGB : vumo::TBlockFormat::ASTC,
                              static_cast<std::uint8_t>(bw), static_cast<std::uint8_t>(bw));
  std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * 4);
  for (auto _ : state) {
    vumo::DecodeBlocks(kind, blocks.data(), blocks.size(), kSide, kSide, out.data(), kSide * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(out.size()));
}
BENCHMARK_CAPTURE(BM_ASTC, 4x4, 4, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ASTC, 8x8, 8, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ASTC, 4x4_sRGB, 4, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ASTC, 8x8_sRGB, 8, true)->Unit(benchmark::kMillisecond);

#ifdef VUMO_HAVE_ASTCENC
void BM_ASTCAstcenc(benchmark::State& state, unsigned bw) {
  const auto& blocks = Texture(bw);
  astcenc_config config;
  astcenc_config_init(ASTCENC_PRF_LDR, bw, bw, 1, ASTCENC_PRE_FASTEST, ASTCENC_FLG_DECOMPRESS_ONLY, &config);
  astcenc_context* context = nullptr;
  astcenc_context_alloc(&config, 1, &context);
  std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * 4);
  void* slices[1] = {out.data()};
  astcenc_image image{kSide, kSide, 1, ASTCENC_TYPE_U8, slices};
  const astcenc_swizzle swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
  for (auto _ : state) {
    astcenc_decompress_image(context, blocks.data(), blocks.size(), &image, &swizzle, 0);
    astcenc_decompress_reset(context);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  astcenc_context_free(context);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(out.size()));
}
BENCHMARK_CAPTURE(BM_ASTCAstcenc, 4x4, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ASTCAstcenc, 8x8, 8)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
