#include "formats/psd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

const std::string kInvalidImage = "Cannot load image. Invalid or unexpected PSD or PDD image format.";
const std::string kInvalidColor = "Invalid color format in PSD or PDD file.";

const auto LoadError = &test::LoadErrorWith<TPSDGraphic>;

void PutBe(std::vector<std::uint8_t>& b, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A document with empty sections and the given compression code, followed by `data`.
std::vector<std::uint8_t> MakePsd(std::uint16_t mode, std::uint16_t depth, std::uint32_t width, std::uint32_t height,
                                  std::uint16_t channels, std::uint16_t compression, const std::vector<std::uint8_t>& data,
                                  std::uint16_t version = 1) {
  // Room reserved first: growing from the four-byte list draws false warnings from optimised GCC 12.
  std::vector<std::uint8_t> b;
  b.reserve(64 + data.size());
  b.insert(b.end(), {'8', 'B', 'P', 'S'});
  PutBe(b, version, 2);
  b.resize(12, 0);
  PutBe(b, channels, 2);
  PutBe(b, height, 4);
  PutBe(b, width, 4);
  PutBe(b, depth, 2);
  PutBe(b, mode, 2);
  PutBe(b, 0, 4);
  PutBe(b, 0, 4);
  PutBe(b, 0, version == 2 ? 8 : 4);
  PutBe(b, compression, 2);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

TEST(PSDReader, PixelFormatsFollowTheMode) {
  struct Case {
    const char* name;
    TPixelFormat format;
    TColorScheme scheme;
  };
  for (const Case& c : {Case{"rgb5", pf32bit, csRGBA}, Case{"cmyk", pf24bit, csCMYK}, Case{"bitmap", pf1bit, csGray},
                        Case{"gray_alpha", pf8bit, csGray}, Case{"gray16", pf8bit, csGray},
                        Case{"indexed", pf8bit, csIndexed}, Case{"lab", pf24bit, csCIELab},
                        Case{"rgb16_layers", pf24bit, csRGB}}) {
    SCOPED_TRACE(c.name);
    TPSDGraphic graphic;
    test::LoadInto(graphic, ReadFile(Fixture(std::string("psd/") + c.name + ".psd")));
    EXPECT_EQ(graphic.PixelFormat(), c.format);
    EXPECT_EQ(graphic.ImageProperties.ColorScheme, c.scheme);
  }
  TPSDGraphic graphic;
  test::LoadInto(graphic, ReadFile(Fixture("psd/bitmap.psd")));
  EXPECT_EQ(graphic.Palette()[0], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(graphic.ImageProperties.Options, ioBigEndian | ioMinIsWhite);
  test::LoadInto(graphic, ReadFile(Fixture("psd/rgb5.psd")));
  EXPECT_EQ(graphic.ImageProperties.ChannelCount, 5);
  EXPECT_EQ(graphic.ImageProperties.SamplesPerPixel, 4);
}

TEST(PSDReader, LoadsThroughThePictureForEachExtension) {
  const std::string dir = test::TempDir("psd_picture");
  for (const char* ext : {"psd", "PDD"}) {
    const auto actual = test::LoadThroughPictureAs(Fixture("psd/indexed.psd"), dir, std::string("picture.") + ext);
    EXPECT_EQ(Compare(actual, LoadReferencePng(Fixture("psd/indexed.png"))).maxChannelDelta, 0) << ext;
  }
}

TEST(PSDReader, CanLoadIgnoresCaseAndWantsVersion1) {
  auto bytes = ReadFile(Fixture("psd/cmyk.psd"));
  TMemoryStream good(bytes.data(), bytes.size());
  EXPECT_TRUE(TPSDGraphic::CanLoad(good));
  EXPECT_EQ(good.Position(), 0);
  std::memcpy(bytes.data(), "8bps", 4);
  TMemoryStream lower(bytes.data(), bytes.size());
  EXPECT_TRUE(TPSDGraphic::CanLoad(lower));
  // The loader itself wants the exact signature.
  EXPECT_EQ(LoadError(bytes), kInvalidImage);
  bytes[5] = 2;
  TMemoryStream large(bytes.data(), bytes.size());
  EXPECT_FALSE(TPSDGraphic::CanLoad(large));
}

TEST(PSDReader, UnknownModesGiveABlankPictureOfTheirSize) {
  TPSDGraphic graphic;
  test::LoadInto(graphic, MakePsd(5, 8, 3, 2, 3, 0, std::vector<std::uint8_t>(18, 0x80)));
  EXPECT_EQ(graphic.Width(), 3);
  EXPECT_EQ(graphic.Height(), 2);
  EXPECT_EQ(graphic.ScanLine(1)[0], 0);
}

TEST(PSDReader, OnlyTheLowByteOfTheDepthCountsAndTheVersionIsNotTested) {
  for (std::uint16_t version : {1, 0, 3}) {
    SCOPED_TRACE(version);
    TPSDGraphic graphic;
    test::LoadInto(graphic, MakePsd(1, 0x108, 2, 1, 1, 0, {7, 9}, version));
    EXPECT_EQ(graphic.PixelFormat(), pf8bit);
    EXPECT_EQ(graphic.ScanLine(0)[1], 9);
  }
}

TEST(PSDReader, LargeDocumentsAreRefused) {
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 0, std::vector<std::uint8_t>(12, 1), 2)), kInvalidImage);
}

TEST(PSDReader, BadHeadersAndTablesAreRefused) {
  const std::vector<std::uint8_t> rows(64, 0x11);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 0, 0, rows)), kInvalidImage);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 2, 0, rows)), kInvalidColor);  // RGB of two channels
  EXPECT_EQ(LoadError(MakePsd(4, 8, 2, 2, 3, 0, rows)), kInvalidColor);  // CMYK of three
  EXPECT_EQ(LoadError(MakePsd(3, 1, 2, 2, 3, 0, rows)), kInvalidColor);  // RGB of one bit
  EXPECT_EQ(LoadError(MakePsd(1, 4, 2, 2, 1, 0, rows)), kInvalidColor);
  EXPECT_EQ(LoadError(MakePsd(1, 0x120, 2, 2, 1, 0, rows)), kInvalidColor);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 2, rows)),
            "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
  // Sizes beyond the limits are refused before the bitmap is made.
  EXPECT_EQ(LoadError(MakePsd(3, 8, 300000, 300000, 3, 1, rows)),
            "Cannot load image. The image is too large (300000 x 300000 pixels).");
  // Raw planes, a byte-count table and packed rows that the file cannot hold.
  EXPECT_EQ(LoadError(MakePsd(3, 8, 9000, 9000, 3, 0, rows)), kStreamReadError);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 16, 30000, 3, 1, rows)), kStreamReadError);
  std::vector<std::uint8_t> counts;
  for (int i = 0; i < 6; ++i) PutBe(counts, 60000, 2);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 1, counts)), kStreamReadError);
  // A colour data section longer than the file.
  auto longSection = MakePsd(1, 8, 2, 2, 1, 0, rows);
  longSection[29] = 0xFF;
  EXPECT_EQ(LoadError(longSection), kStreamReadError);
}

TEST(PSDReader, PackBitsRowCountsLargerThanTheirRowStayInTheRow) {
  // Two grey rows of 3 pixels, each counted as 5 bytes: a literal of 4 and a run of 3.
  std::vector<std::uint8_t> data;
  PutBe(data, 5, 2);
  PutBe(data, 5, 2);
  for (int row = 0; row < 2; ++row) {
    const std::uint8_t packed[] = {3, 1, 2, 3, 4};
    data.insert(data.end(), packed, packed + 5);
  }
  TPSDGraphic graphic;
  test::LoadInto(graphic, MakePsd(1, 8, 3, 2, 1, 1, data));
  EXPECT_EQ(graphic.ScanLine(0)[2], 3);
  EXPECT_EQ(graphic.ScanLine(1)[0], 1);  // the second row starts at its own count
  // A count table of PackBits rows of 16-bit samples counts bytes, not samples.
  data.clear();
  PutBe(data, 3, 2);
  const std::uint8_t row16[] = {0xFF, 0x80, 0x00};  // 0x80 twice: one 16-bit sample 0x8080
  data.insert(data.end(), row16, row16 + 3);
  test::LoadInto(graphic, MakePsd(1, 16, 1, 1, 1, 1, data));
  EXPECT_EQ(graphic.ScanLine(0)[0], 0x80);
}

TEST(PSDReader, IndexedPaletteFromAShortOrLongColourSection) {
  // 6 bytes of colour data: two entries a plane.
  std::vector<std::uint8_t> b = MakePsd(2, 8, 2, 1, 1, 0, {});
  b.resize(26);
  PutBe(b, 6, 4);
  const std::uint8_t colors[] = {10, 20, 30, 40, 50, 60};
  b.insert(b.end(), colors, colors + 6);
  PutBe(b, 0, 4);
  PutBe(b, 0, 4);
  PutBe(b, 0, 2);
  b.push_back(1);
  b.push_back(0);
  TPSDGraphic graphic;
  test::LoadInto(graphic, b);
  ASSERT_GE(graphic.Palette().size(), 2u);
  EXPECT_EQ(graphic.Palette()[1], (TPaletteEntry{20, 40, 60, 0}));
  EXPECT_EQ(graphic.ScanLine(0)[0], 1);
}

TEST(PSDReader, SixteenBitGreyAndIndexedRowsAreScaledNotCopied) {
  std::vector<std::uint8_t> data;
  PutBe(data, 0xFFFF, 2);
  PutBe(data, 0x8000, 2);
  PutBe(data, 0x0101, 2);
  for (std::uint16_t mode : {1, 8, 2}) {
    SCOPED_TRACE(mode);
    TPSDGraphic graphic;
    test::LoadInto(graphic, MakePsd(mode, 16, 3, 1, 1, 0, data));
    ASSERT_EQ(graphic.PixelFormat(), pf8bit);
    EXPECT_EQ(graphic.ScanLine(0)[0], 255);
    EXPECT_EQ(graphic.ScanLine(0)[1], 127);  // 32768 * 255 / 65535, truncated
    EXPECT_EQ(graphic.ScanLine(0)[2], 1);
  }
}

}  // namespace
}  // namespace vumo

namespace vumo {
namespace {

// From a file the reader holds a band of rows per channel at a time; a document larger than
// several bands, raw and PackBits-coded (rows of varying length), loads as from memory.
TEST(PSDReader, FileLoadsReadInBandsAgreeWithMemoryLoads) {
  constexpr std::uint32_t kWidth = 301, kHeight = 2000;
  std::vector<std::uint8_t> raw, table, packed;
  std::uint32_t seed = 7;
  for (unsigned c = 0; c < 3; ++c)
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      std::vector<std::uint8_t> row(kWidth);
      for (std::uint32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        row[x] = static_cast<std::uint8_t>(x % 64 < 20 ? y + c : seed >> 16);
      }
      raw.insert(raw.end(), row.begin(), row.end());
      // PackBits: the flat stretch as one run, the rest as literals of up to 128.
      std::vector<std::uint8_t> coded = {static_cast<std::uint8_t>(257 - 20), row[0]};
      for (std::uint32_t x = 20; x < kWidth;) {
        const std::uint32_t n = std::min<std::uint32_t>(128, x % 64 < 20 ? 20 - x % 64 : 64 - x % 64);
        if (x % 64 < 20) {
          coded.push_back(static_cast<std::uint8_t>(257 - std::max<std::uint32_t>(n, 2)));
          coded.push_back(row[x]);
          x += std::max<std::uint32_t>(n, 2);
          continue;
        }
        coded.push_back(static_cast<std::uint8_t>(std::min(n, kWidth - x) - 1));
        coded.insert(coded.end(), row.begin() + x, row.begin() + std::min(x + n, kWidth));
        x += n;
      }
      PutBe(table, coded.size(), 2);
      packed.insert(packed.end(), coded.begin(), coded.end());
    }
  table.insert(table.end(), packed.begin(), packed.end());
  const std::string path = ::testing::TempDir() + "vumo_psd_bands.psd";
  for (const auto& file : {MakePsd(3, 8, kWidth, kHeight, 3, 0, raw), MakePsd(3, 8, kWidth, kHeight, 3, 1, table)}) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    TPSDGraphic fromFile, fromMemory;
    fromFile.LoadFromFile(path);
    test::LoadInto(fromMemory, file);
    ASSERT_EQ(fromFile.Height(), static_cast<int>(kHeight));
    ASSERT_EQ(fromMemory.Height(), static_cast<int>(kHeight));
    for (int y = 0; y < fromFile.Height(); ++y)
      ASSERT_EQ(0, std::memcmp(fromFile.ScanLine(y), fromMemory.ScanLine(y), fromFile.BytesPerScanline())) << "row " << y;
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vumo
