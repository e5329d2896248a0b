#include "bench_files.h"

#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "bench_support.h"
#include "support/pack_bits.h"

namespace vumo::bench {

namespace {

void PcxRunLength(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 63 && row[i + run] == row[i]) ++run;
    if (run > 1 || row[i] >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
    out.push_back(row[i]);
    i += run;
  }
}

void PutLittle32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF, false);
  Put16(b, v >> 16, false);
}

std::vector<std::uint8_t> AnyMap(char kind, int samples) {
  const std::string header = std::string("P") + kind + "\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n255\n";
  std::vector<std::uint8_t> b(header.begin(), header.end());
  b.reserve(b.size() + kPixels * static_cast<std::size_t>(samples));
  const TTexture& t = Texture();
  for (std::size_t i = 0; i < kPixels; ++i)
    for (int p = 0; p < samples; ++p) b.push_back(samples == 1 ? t.index[i] : t.planes[p][i]);
  return b;
}

}  // namespace

std::vector<std::uint8_t> MakePpm() { return AnyMap('6', 3); }
std::vector<std::uint8_t> MakePgm() { return AnyMap('5', 1); }

std::vector<std::uint8_t> MakeBmp24() {
  const std::uint32_t rowBytes = kSide * 3;  // already a multiple of four
  const std::uint32_t imageBytes = rowBytes * kSide;
  std::vector<std::uint8_t> b = {'B', 'M'};
  PutLittle32(b, 54 + imageBytes);
  PutLittle32(b, 0);
  PutLittle32(b, 54);
  PutLittle32(b, 40);
  PutLittle32(b, kSide);
  PutLittle32(b, kSide);
  Put16(b, 1, false);
  Put16(b, 24, false);
  PutLittle32(b, 0);
  PutLittle32(b, imageBytes);
  PutLittle32(b, 2835);
  PutLittle32(b, 2835);
  PutLittle32(b, 0);
  PutLittle32(b, 0);
  b.reserve(b.size() + imageBytes);
  const TTexture& t = Texture();
  for (int y = kSide - 1; y >= 0; --y)
    for (int x = 0; x < kSide; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x);
      b.push_back(t.planes[2][i]);
      b.push_back(t.planes[1][i]);
      b.push_back(t.planes[0][i]);
    }
  return b;
}

std::vector<std::uint8_t> MakePsd(bool packBits) {
  std::vector<std::uint8_t> b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Put16(b, 3, true);
  Put32(b, kSide);
  Put32(b, kSide);
  Put16(b, 8, true);
  Put16(b, 3, true);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put16(b, packBits ? 1 : 0, true);
  const TTexture& t = Texture();
  if (!packBits) {
    for (int p = 0; p < 3; ++p) b.insert(b.end(), t.planes[p].begin(), t.planes[p].end());
    return b;
  }
  std::vector<std::uint8_t> data;
  std::vector<std::uint8_t> counts;
  for (int p = 0; p < 3; ++p)
    for (int y = 0; y < kSide; ++y) {
      const std::size_t before = data.size();
      test::PackBits(&t.planes[p][static_cast<std::size_t>(y) * kSide], kSide, data);
      Put16(counts, static_cast<unsigned>(data.size() - before), true);
    }
  b.insert(b.end(), counts.begin(), counts.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
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
    for (int i = 0; i < 256; ++i)
      b.push_back(static_cast<std::uint8_t>(i)), b.push_back(static_cast<std::uint8_t>(255 - i)),
          b.push_back(static_cast<std::uint8_t>(i / 2));
  }
  return b;
}

std::vector<std::uint8_t> MakeJpeg(int quality) {
  jpeg_compress_struct cinfo {};
  jpeg_error_mgr err {};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = kSide;
  cinfo.image_height = kSide;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const TTexture& t = Texture();
  std::vector<std::uint8_t> row(static_cast<std::size_t>(kSide) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const std::size_t base = static_cast<std::size_t>(cinfo.next_scanline) * kSide;
    for (std::size_t x = 0; x < kSide; ++x)
      for (int p = 0; p < 3; ++p) row[3 * x + static_cast<std::size_t>(p)] = t.planes[p][base + x];
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> file(out, out + size);
  std::free(out);
  return file;
}

std::vector<std::uint8_t> MakeFile(const std::string& name) {
  if (name == "ppm") return MakePpm();
  if (name == "pgm") return MakePgm();
  if (name == "bmp") return MakeBmp24();
  if (name == "psd") return MakePsd(true);
  if (name == "psd-raw") return MakePsd(false);
  if (name == "pcx") return MakePcx(3);
  if (name == "pcx8") return MakePcx(1);
  if (name == "jpeg") return MakeJpeg(90);
  return {};
}

}  // namespace vumo::bench
