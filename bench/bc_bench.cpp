// The block decoders on a 4096 x 4096 surface (64 MiB of RGBA output), beside a memcpy of the
// output's size (the ceiling) and, for BC1 and BC3, libsquish's own decoder, for ETC1 Android's
// libETC1 (RGB output, 48 MiB). Blocks are random
// bytes, which for BC7 and BC6H hit every mode about as often as an encoder's do not, but
// cost the same to decode. Bytes per second count output bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "formats/dds.h"
#include "formats/stream.h"
#include "pixels/bc_decoders.h"

#ifdef VUMO_HAVE_SQUISH
#include <squish.h>
#endif
#ifdef VUMO_HAVE_ETC1
#include <ETC1/etc1.h>
#endif

namespace {

constexpr std::uint32_t kSide = 4096;

const std::vector<std::uint8_t>& RandomBlocks() {
  static const std::vector<std::uint8_t> blocks = [] {
    std::vector<std::uint8_t> b(std::size_t{kSide} * kSide);  // one byte a pixel: BC2 to BC7's size
    std::mt19937 random(42);
    for (auto& v : b) v = static_cast<std::uint8_t>(random());
    return b;
  }();
  return blocks;
}

void BM_BC(benchmark::State& state, vumo::TBlockFormat format, vumo::TBlockPixelOrder order) {
  const auto& blocks = RandomBlocks();
  const std::size_t pixelBytes = vumo::BlockFormatIsFloat(format) ? 16 : 4;
  std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * pixelBytes);
  for (auto _ : state) {
    vumo::DecodeBlocks(format, blocks.data(), blocks.size(), kSide, kSide, out.data(), kSide * pixelBytes, order);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(out.size()));
}

BENCHMARK_CAPTURE(BM_BC, BC1, vumo::TBlockFormat::BC1, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC1_BGRA, vumo::TBlockFormat::BC1, vumo::poBGRA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC3, vumo::TBlockFormat::BC3, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC4U, vumo::TBlockFormat::BC4U, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC5U, vumo::TBlockFormat::BC5U, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC7, vumo::TBlockFormat::BC7, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, BC6HU, vumo::TBlockFormat::BC6HU, vumo::poRGBA)->Unit(benchmark::kMillisecond);
// Random ETC2 blocks fall in each colour mode about as often as the mode bits allow: individual
// half the time, then differential, T, H and planar.
BENCHMARK_CAPTURE(BM_BC, ETC1, vumo::TBlockFormat::ETC1, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, ETC2RGB, vumo::TBlockFormat::ETC2RGB, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, ETC2RGB_BGRA, vumo::TBlockFormat::ETC2RGB, vumo::poBGRA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, ETC2RGBA1, vumo::TBlockFormat::ETC2RGBA1, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, ETC2RGBA, vumo::TBlockFormat::ETC2RGBA, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, EACR11, vumo::TBlockFormat::EACR11, vumo::poRGBA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BC, EACRG11S, vumo::TBlockFormat::EACRG11S, vumo::poRGBA)->Unit(benchmark::kMillisecond);

void BM_BCMemcpyCeiling(benchmark::State& state) {
  std::vector<std::uint8_t> from(std::size_t{kSide} * kSide * 4, 1), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(to.size()));
}
BENCHMARK(BM_BCMemcpyCeiling)->Unit(benchmark::kMillisecond);

// The whole DDS load of such a surface from memory: header, bitmap allocation and decode, to
// set beside bench/bc_pillow_peer.py, which times Pillow opening the same files.
void BM_DDSLoad(benchmark::State& state, const char* fourCC, std::uint32_t dxgi, vumo::TBlockFormat format) {
  const auto& random = RandomBlocks();
  const std::size_t bytes = *vumo::BlockSurfaceBytes(format, kSide, kSide);
  std::vector<std::uint8_t> file(128 + (dxgi ? 20 : 0));
  auto put = [&file](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  std::memcpy(file.data(), "DDS ", 4);
  put(4, 124);
  put(8, 0x1007);
  put(12, kSide);
  put(16, kSide);
  put(76, 32);
  put(80, 4);
  std::memcpy(&file[84], fourCC, 4);
  put(108, 0x1000);
  if (dxgi) {
    put(128, dxgi);
    put(132, 3);
    put(140, 1);
  }
  file.insert(file.end(), random.begin(), random.begin() + static_cast<std::ptrdiff_t>(bytes));
  for (auto _ : state) {
    vumo::TMemoryStream stream(file.data(), file.size());
    vumo::TDDSGraphic dds;
    dds.LoadFromStream(stream);
    benchmark::DoNotOptimize(dds.ScanLine(0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK_CAPTURE(BM_DDSLoad, DXT1, "DXT1", 0, vumo::TBlockFormat::BC1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DDSLoad, DXT5, "DXT5", 0, vumo::TBlockFormat::BC3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DDSLoad, BC5, "ATI2", 0, vumo::TBlockFormat::BC5U)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DDSLoad, BC7, "DX10", 98, vumo::TBlockFormat::BC7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DDSLoad, BC6H, "DX10", 95, vumo::TBlockFormat::BC6HU)->Unit(benchmark::kMillisecond);

#ifdef VUMO_HAVE_SQUISH
void BM_BCSquish(benchmark::State& state, int flags) {
  const auto& blocks = RandomBlocks();
  std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * 4);
  for (auto _ : state) {
    squish::DecompressImage(out.data(), kSide, kSide, blocks.data(), flags);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(out.size()));
}
BENCHMARK_CAPTURE(BM_BCSquish, BC1, squish::kDxt1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BCSquish, BC3, squish::kDxt5)->Unit(benchmark::kMillisecond);
#endif

#ifdef VUMO_HAVE_ETC1
// Its output is 3 bytes a pixel, so its bytes per second are not ours: compare the times.
void BM_ETC1Android(benchmark::State& state) {
  const auto& blocks = RandomBlocks();
  std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * 3);
  for (auto _ : state) {
    etc1_decode_image(blocks.data(), out.data(), kSide, kSide, 3, kSide * 3);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_ETC1Android)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
