// The PNG the converter writes a row at a time must be one our own reader and zlib accept
// whole, whatever number of data chunks the picture fills.
#include "formats/bitmap_export.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "formats/png.h"
#include "pixels/byte_order.h"
#include "support/test_support.h"

namespace vumo {
namespace {

// The data of every IDAT chunk, joined, and how many chunks there were.
std::vector<std::uint8_t> ImageData(const std::vector<std::uint8_t>& png, int* chunks) {
  std::vector<std::uint8_t> data;
  *chunks = 0;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = BigEndian32(&png[at]);
    if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
      data.insert(data.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                  png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
      ++*chunks;
    }
    at += 12 + length;
  }
  return data;
}

TEST(PngRgba8Writer, RowsStreamedIntoManyChunksDecodeToTheSamePixels) {
  // Noise does not deflate: a few megabytes of it span several chunks.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(1001, 700);
  std::mt19937 random(4);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (std::size_t i = 0; i < bitmap.BytesPerScanline(); ++i) bitmap.ScanLine(y)[i] = static_cast<std::uint8_t>(random());
  std::vector<std::uint8_t> png;
  std::size_t calls = 0;
  EncodeBitmapPng(bitmap, [&](const std::uint8_t* bytes, std::size_t count) {
    png.insert(png.end(), bytes, bytes + count);
    ++calls;
  });
  int chunks = 0;
  const std::vector<std::uint8_t> data = ImageData(png, &chunks);
  EXPECT_GE(chunks, 4);
  EXPECT_EQ(calls, static_cast<std::size_t>(chunks) + 2);  // header, the chunks, the end
  EXPECT_EQ(std::memcmp(png.data() + png.size() - 8, "IEND", 4), 0);

  const test::Rgba8Image decoded = test::DecodeWith<TPNGGraphic>(png);
  const test::Rgba8Image expected = test::ToRgba8(bitmap);
  EXPECT_EQ(test::Compare(decoded, expected).pixelsOff, 0u);
  EXPECT_EQ(decoded.pixels, expected.pixels);
  // zlib agrees the stream ends exactly where the data does.
  std::vector<std::uint8_t> raw((1001 * 4 + 1) * 700 + 1);
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  EXPECT_EQ(size, raw.size() - 1);
}

TEST(PngRgba8Writer, LargePicturesTakeTheFastestLevelAndMissingRowsAreBlank) {
  // zlib's header says its level: 0 for the fastest, 2 for the default.
  auto levelOf = [](int width, int height, int rowsGiven) {
    std::vector<std::uint8_t> png;
    TPngRgba8Writer writer(width, height, [&](const std::uint8_t* b, std::size_t n) { png.insert(png.end(), b, b + n); });
    const std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4, 0x80);
    for (int y = 0; y < rowsGiven; ++y) writer.AddRow(row.data());
    writer.Finish();
    int chunks = 0;
    const std::vector<std::uint8_t> data = ImageData(png, &chunks);
    return std::make_pair(data.size() > 1 ? data[1] >> 6 : -1, png);
  };
  EXPECT_EQ(levelOf(64, 64, 64).first, 2);
  EXPECT_EQ(levelOf(4097, 4097, 1).first, 0);
  // Rows never given are transparent black.
  const auto [level, png] = levelOf(3, 2, 1);
  const test::Rgba8Image decoded = test::DecodeWith<TPNGGraphic>(png);
  ASSERT_EQ(decoded.pixels.size(), 24u);
  EXPECT_EQ(decoded.pixels[0], 0x80);
  EXPECT_EQ(decoded.pixels[12 + 3], 0);
}

}  // namespace
}  // namespace vumo
