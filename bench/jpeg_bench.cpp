// The JPEG reader on a 4096 x 4096 q90 file made in memory, beside libjpeg-turbo decoding the
// same bytes alone into a buffer in the bitmap's byte order.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "bench_files.h"
#include "bench_support.h"
#include "formats/jpeg_image.h"

namespace {

using namespace vumo::bench;

const std::vector<std::uint8_t>& Jpeg() {
  static const auto file = MakeJpeg(90);
  return file;
}

void BM_JPEGQ90_Vumo(benchmark::State& state) {
  const auto& file = Jpeg();
  for (auto _ : state) {
    vumo::TMemoryStream stream(file.data(), file.size());
    vumo::TJPEGImage image;
    image.LoadFromStream(stream);
    benchmark::DoNotOptimize(image.DrawBitmap()->ScanLine(kSide - 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPixels * 3));
}

// Decoding alone: the buffer is made once, outside the timed loop, so no page faults or
// allocation count against libjpeg-turbo.
void BM_JPEGQ90_LibjpegTurbo(benchmark::State& state) {
  const auto& file = Jpeg();
  const std::size_t stride = std::size_t{kSide} * 3;
  std::vector<std::uint8_t> pixels(stride * kSide);
  for (auto _ : state) {
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr err {};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW rows[4];
      for (int i = 0; i < 4; ++i)
        rows[i] = pixels.data() + stride * std::min<std::size_t>(cinfo.output_scanline + static_cast<unsigned>(i),
                                                                 cinfo.output_height - 1);
      jpeg_read_scanlines(&cinfo, rows, 4);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPixels * 3));
}

}  // namespace

BENCHMARK(BM_JPEGQ90_Vumo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JPEGQ90_LibjpegTurbo)->Unit(benchmark::kMillisecond);
