// The PNG reader beside libpng on the same in-memory 4096 x 4096 pictures: 8-bit RGB, 8-bit
// RGBA, Adam7-interlaced 8-bit RGB and 16-bit RGB, written by libpng at zlib level 6 with
// adaptive filters. libpng decodes into one buffer made once, in its own channel order, and
// strips 16-bit samples to 8 as our bitmap does; our reader makes its bitmap at every load.
// Bytes per second count the decoded 8-bit pixel bytes.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

#include "format_files.h"
#include "formats/png.h"

namespace {

constexpr int kSide = 4096;

enum TKind { kRGB8, kRGBA8, kAdam7RGB8, kRGB16 };

std::uint32_t Mix(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

// A photograph-like texture: smooth shading across the picture, soft blotches and grain.
unsigned Sample(int x, int y, int channel, unsigned maximum) {
  const double shade = 0.5 + 0.25 * ((x * (channel + 1)) % 1024) / 1024.0 + 0.2 * ((y + 300 * channel) % 2048) / 2048.0;
  const std::uint32_t grain =
      Mix(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(channel));
  const double value = shade * 0.85 + ((grain & 31) / 31.0 - 0.5) * 0.06;
  const double clamped = value < 0 ? 0 : value > 1 ? 1 : value;
  return static_cast<unsigned>(clamped * maximum);
}

struct TSink {
  std::vector<std::uint8_t> bytes;
};

void WriteToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* sink = static_cast<TSink*>(png_get_io_ptr(png));
  sink->bytes.insert(sink->bytes.end(), data, data + size);
}

std::vector<std::uint8_t> Encode(TKind kind) {
  const bool alpha = kind == kRGBA8, wide = kind == kRGB16;
  const int channels = alpha ? 4 : 3, sampleBytes = wide ? 2 : 1;
  const unsigned maximum = wide ? 65535 : 255;
  TSink sink;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("libpng could not write the benchmark picture");
  png_set_write_fn(png, &sink, WriteToVector, nullptr);
  png_set_IHDR(png, info, kSide, kSide, wide ? 16 : 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               kind == kAdam7RGB8 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(kSide) * kSide * channels * sampleBytes);
  std::vector<png_bytep> rows(kSide);
  for (int y = 0; y < kSide; ++y) {
    std::uint8_t* row = image.data() + static_cast<std::size_t>(y) * kSide * channels * sampleBytes;
    rows[y] = row;
    for (int x = 0; x < kSide; ++x)
      for (int c = 0; c < channels; ++c) {
        const unsigned v = c == 3 ? (x + y) % 256 : Sample(x, y, c, maximum);
        std::uint8_t* p = row + (static_cast<std::size_t>(x) * channels + c) * sampleBytes;
        if (wide) {
          p[0] = static_cast<std::uint8_t>(v >> 8);
          p[1] = static_cast<std::uint8_t>(v);
        } else {
          p[0] = static_cast<std::uint8_t>(v);
        }
      }
  }
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return sink.bytes;
}

const std::vector<std::uint8_t>& Picture(TKind kind) {
  static std::map<TKind, std::vector<std::uint8_t>> made;
  auto it = made.find(kind);
  if (it == made.end()) it = made.emplace(kind, Encode(kind)).first;
  return it->second;
}

}  // namespace

const std::vector<std::uint8_t>& vumo::bench::PngFile(int kind) { return Picture(static_cast<TKind>(kind)); }

namespace {

std::int64_t PixelBytes(TKind kind) { return std::int64_t{kSide} * kSide * (kind == kRGBA8 ? 4 : 3); }

void BM_PngVumo(benchmark::State& state) {
  const auto kind = static_cast<TKind>(state.range(0));
  const std::vector<std::uint8_t>& file = Picture(kind);
  for (auto _ : state) {
    vumo::TPNGGraphic reader;
    vumo::TMemoryStream stream(file.data(), file.size());
    reader.LoadFromStream(stream);
    benchmark::DoNotOptimize(reader.ScanLine(kSide - 1));
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(kind));
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

struct TSource {
  const std::uint8_t* data;
  std::size_t size, position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t size) {
  auto* source = static_cast<TSource*>(png_get_io_ptr(png));
  if (size > source->size - source->position) png_error(png, "read past the end");
  std::memcpy(out, source->data + source->position, size);
  source->position += size;
}

void BM_PngLibpng(benchmark::State& state) {
  const auto kind = static_cast<TKind>(state.range(0));
  const std::vector<std::uint8_t>& file = Picture(kind);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(PixelBytes(kind)));
  std::vector<png_bytep> rows(kSide);
  const std::size_t stride = static_cast<std::size_t>(PixelBytes(kind) / kSide);
  for (int y = 0; y < kSide; ++y) rows[y] = image.data() + stride * y;
  for (auto _ : state) {
    TSource source{file.data(), file.size(), 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_read_struct(&png, &info, nullptr);
      state.SkipWithError("libpng failed");
      return;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(kind));
}

}  // namespace

BENCHMARK(BM_PngVumo)->Arg(kRGB8)->Arg(kRGBA8)->Arg(kAdam7RGB8)->Arg(kRGB16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpng)->Arg(kRGB8)->Arg(kRGBA8)->Arg(kAdam7RGB8)->Arg(kRGB16)->Unit(benchmark::kMillisecond);
