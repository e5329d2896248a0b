#include "formats/autodesk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Rgba8Image LoadAutodesk(const test::Bytes& bytes, TAutodeskGraphic* keep = nullptr) { return test::DecodeWith(bytes, keep); }

const auto ErrorOf = &test::LoadErrorWith<TAutodeskGraphic>;

TEST(AutodeskReader, EightBitBitmapWithTheWidenedPalette) {
  auto bytes = ReadFile(Fixture("autodesk/picture.cel"));
  bytes[32] = 63;  // entry 0: six-bit components, shifted up
  bytes[33] = 1;
  bytes[34] = 0;
  TAutodeskGraphic graphic;
  LoadAutodesk(bytes, &graphic);
  EXPECT_EQ(graphic.PixelFormat(), pf8bit);
  ASSERT_EQ(graphic.Palette().size(), 256u);
  EXPECT_EQ(graphic.Palette()[0], (TPaletteEntry{252, 4, 0, 0}));
  EXPECT_EQ(graphic.ImageProperties.ColorScheme, csIndexed);
  EXPECT_EQ(graphic.ImageProperties.Compression, ctNone);
  EXPECT_EQ(graphic.ImageProperties.BitsPerPixel, 8);
  EXPECT_EQ(graphic.Width(), 13);
  EXPECT_EQ(graphic.Height(), 9);
  // Rows are stored top first: the first pixel byte is the top-left pixel.
  EXPECT_EQ(graphic.ScanLine(0)[0], bytes[32 + 768]);
  EXPECT_EQ(graphic.ScanLine(8)[12], bytes.back());
}

TEST(AutodeskReader, CanLoadTestsMagicDepthAndCompression) {
  const auto bytes = ReadFile(Fixture("autodesk/picture.cel"));
  EXPECT_TRUE(CanLoadFromStart<TAutodeskGraphic>(bytes));
  EXPECT_TRUE(TAutodeskGraphic::CanLoad(Fixture("autodesk/picture.pic")));
  for (std::size_t at : {0u, 10u, 11u}) {
    auto bad = bytes;
    bad[at] ^= 0x01;
    EXPECT_FALSE(CanLoadFromStart<TAutodeskGraphic>(bad)) << at;
  }
  EXPECT_FALSE(CanLoadFromStart<TAutodeskGraphic>(bytes, 32));
}

TEST(AutodeskReader, RefusesWhatItCannotShow) {
  const auto good = ReadFile(Fixture("autodesk/picture.cel"));
  auto magic = good;
  magic[1] = 0x92;
  EXPECT_EQ(ErrorOf(magic), FormatMessage(gesInvalidImage, gesAutodesk));
  auto depth = good;
  depth[10] = 4;
  EXPECT_EQ(ErrorOf(depth), FormatMessage(gesInvalidColorFormat, gesAutodesk));
  auto empty = good;
  empty[2] = empty[3] = 0;
  EXPECT_EQ(ErrorOf(empty), FormatMessage(gesInvalidImage, gesAutodesk));
  // Pixel data short of the declared size is refused before the bitmap is made.
  EXPECT_EQ(ErrorOf(std::vector<std::uint8_t>(good.begin(), good.end() - 1)),
            FormatMessage(gesStreamReadError, gesAutodesk));
  auto huge = good;
  huge[2] = huge[3] = huge[4] = huge[5] = 0xFF;
  EXPECT_NE(ErrorOf(huge).find("too large"), std::string::npos);
  // The compression byte is not consulted by the loader.
  auto compressed = good;
  compressed[11] = 1;
  EXPECT_EQ(ErrorOf(compressed), "");
}

TEST(AutodeskReader, FailedLoadLeavesTheBitmapEmpty) {
  TAutodeskGraphic graphic;
  const auto good = ReadFile(Fixture("autodesk/picture.cel"));
  LoadAutodesk(good, &graphic);
  EXPECT_THROW(LoadAutodesk(std::vector<std::uint8_t>(good.begin(), good.begin() + 900), &graphic), EInvalidGraphic);
  EXPECT_TRUE(graphic.Empty());
}

}  // namespace
}  // namespace vumo
