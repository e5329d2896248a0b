// Pictures past 32 MiB take other paths than the small fixtures: rows streamed past the
// caches, and memory handed on uncleared from the picture freed before. Each reader here
// loads two such pictures in turn into one reader, so the second lands in the first's memory,
// and every byte of the second is checked.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/bitmap.h"
#include "formats/pcx.h"
#include "formats/portable_map.h"
#include "formats/psd.h"
#include "formats/stream.h"
#include "formats/targa.h"
#include "support/pack_bits.h"

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// 33.7 MB at 24 bits, just past the size where rows are streamed; the width is no multiple
// of 16 pixels, so the streamed rows start at every alignment.
constexpr int kWidth = 3401, kHeight = 3300;

// Red, green and blue of pixel (x, y) in picture `seed`: some bytes above 0xC0 (which PCX
// must escape) and runs along the rows (which the run-length coders take).
std::uint8_t Sample(int seed, int channel, int x, int y) {
  switch (channel) {
    case 0: return static_cast<std::uint8_t>(x * 7 + y * 3 + seed * 50);
    case 1: return static_cast<std::uint8_t>((x / 9) ^ (y + seed));
    default: return static_cast<std::uint8_t>((y / 5) * 11 + seed);
  }
}

void Put16Big(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void Put32Big(Bytes& b, std::uint32_t v) {
  Put16Big(b, v >> 16);
  Put16Big(b, v & 0xFFFF);
}
void Put16Little(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32Little(Bytes& b, std::uint32_t v) {
  Put16Little(b, v & 0xFFFF);
  Put16Little(b, v >> 16);
}

Bytes Plane(int seed, int channel, int y) {
  Bytes row(kWidth);
  for (int x = 0; x < kWidth; ++x) row[static_cast<std::size_t>(x)] = Sample(seed, channel, x, y);
  return row;
}

Bytes Ppm(int seed) {
  const std::string header = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  Bytes b(header.begin(), header.end());
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) b.push_back(Sample(seed, c, x, y));
  return b;
}

Bytes Bmp(int seed) {
  const std::uint32_t rowBytes = (kWidth * 3 + 3) / 4 * 4, imageBytes = rowBytes * kHeight;
  Bytes b = {'B', 'M'};
  for (std::uint32_t v : {54 + imageBytes, 0u, 54u, 40u, std::uint32_t{kWidth}, std::uint32_t{kHeight}}) Put32Little(b, v);
  Put16Little(b, 1);
  Put16Little(b, 24);
  for (std::uint32_t v : {0u, imageBytes, 2835u, 2835u, 0u, 0u}) Put32Little(b, v);
  for (int y = kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kWidth; ++x)
      for (int c = 2; c >= 0; --c) b.push_back(Sample(seed, c, x, y));
    b.resize(b.size() + rowBytes - kWidth * 3, 0);
  }
  return b;
}

Bytes Targa(int seed) {
  Bytes b(18, 0);
  b[2] = 2;
  b[12] = kWidth & 0xFF, b[13] = kWidth >> 8, b[14] = kHeight & 0xFF, b[15] = kHeight >> 8;
  b[16] = 24;
  b[17] = 0x20;  // top-down
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 2; c >= 0; --c) b.push_back(Sample(seed, c, x, y));
  return b;
}

Bytes Psd(int seed, bool packBits) {
  Bytes b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Put16Big(b, 3);
  Put32Big(b, kHeight);
  Put32Big(b, kWidth);
  Put16Big(b, 8);
  Put16Big(b, 3);  // RGB
  for (int i = 0; i < 3; ++i) Put32Big(b, 0);
  Put16Big(b, packBits ? 1 : 0);
  Bytes counts, data;
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < kHeight; ++y) {
      const Bytes row = Plane(seed, c, y);
      if (!packBits) {
        data.insert(data.end(), row.begin(), row.end());
        continue;
      }
      const std::size_t before = data.size();
      test::PackBits(row.data(), row.size(), data);
      Put16Big(counts, static_cast<unsigned>(data.size() - before));
    }
  b.insert(b.end(), counts.begin(), counts.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Pcx(int seed) {
  Bytes b(128, 0);
  b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8;
  b[8] = (kWidth - 1) & 0xFF, b[9] = (kWidth - 1) >> 8;
  b[10] = (kHeight - 1) & 0xFF, b[11] = (kHeight - 1) >> 8;
  b[65] = 3;
  const int bytesPerLine = kWidth + 1;  // even, as the format wants, with a pad byte
  b[66] = bytesPerLine & 0xFF, b[67] = bytesPerLine >> 8;
  b[68] = 1;
  for (int y = 0; y < kHeight; ++y)
    for (int c = 0; c < 3; ++c) {
      Bytes row = Plane(seed, c, y);
      row.push_back(0);
      for (std::size_t i = 0; i < row.size();) {
        std::size_t run = 1;
        while (i + run < row.size() && run < 63 && row[i + run] == row[i]) ++run;
        if (run > 1 || row[i] >= 0xC0) b.push_back(static_cast<std::uint8_t>(0xC0 | run));
        b.push_back(row[i]);
        i += run;
      }
    }
  return b;
}

// Every pixel of `bitmap` as 24-bit BGR rows is picture `seed`, and the padding is blank.
void ExpectPicture(const TBitmap& bitmap, int seed, const std::string& what) {
  ASSERT_EQ(bitmap.Width(), kWidth) << what;
  ASSERT_EQ(bitmap.Height(), kHeight) << what;
  ASSERT_EQ(bitmap.PixelFormat(), pf24bit) << what;
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        if (row[3 * x + 2 - c] != Sample(seed, c, x, y))
          FAIL() << what << ": pixel (" << x << ", " << y << ") channel " << c << " is "
                 << int{row[3 * x + 2 - c]} << ", not " << int{Sample(seed, c, x, y)};
    for (std::size_t i = 3 * kWidth; i < bitmap.BytesPerScanline(); ++i)
      if (row[i] != 0) FAIL() << what << ": padding of row " << y << " is not blank";
  }
}

template <typename Reader>
void LoadTwice(const std::function<Bytes(int)>& write, const std::string& what) {
  Reader reader;
  for (int seed : {0, 1}) {
    const Bytes file = write(seed);
    TMemoryStream stream(file.data(), file.size());
    reader.LoadFromStream(stream);
    const TBitmap* bitmap = reader.DrawBitmap();
    ASSERT_NE(bitmap, nullptr) << what;
    ExpectPicture(*bitmap, seed, what + ", picture " + std::to_string(seed));
  }
}

TEST(LargePictures, UncompressedReadersWriteEveryByteOfTheSecondPicture) {
  LoadTwice<TPPMGraphic>(Ppm, "PPM");
  LoadTwice<TBitmap>(Bmp, "BMP");
  LoadTwice<TTargaGraphic>(Targa, "Targa");
  LoadTwice<TPSDGraphic>([](int seed) { return Psd(seed, false); }, "raw PSD");
}

TEST(LargePictures, RunLengthReadersWriteEveryByteOfTheSecondPicture) {
  LoadTwice<TPSDGraphic>([](int seed) { return Psd(seed, true); }, "PackBits PSD");
  LoadTwice<TPCXGraphic>(Pcx, "PCX");
}

}  // namespace
}  // namespace vumo
