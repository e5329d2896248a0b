// The bitmap-to-QImage converter: formats wrapped in place, formats converted, palettes,
// opacity of 32-bit bitmaps, transparent colours.
#include <gtest/gtest.h>

#include "shell/image_convert.h"
#include "shell_test_util.h"

namespace vumo {
namespace {

TBitmap Blank(TPixelFormat format, int width, int height) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(width, height);
  return bitmap;
}

TLogPalette Palette(std::initializer_list<unsigned> colours) {
  TLogPalette palette;
  for (unsigned c : colours)
    palette.push_back({static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), 0});
  return palette;
}

void ExpectWrapped(const QImage& image, const TBitmap& bitmap, QImage::Format format) {
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.format(), format);
  EXPECT_EQ(image.width(), bitmap.Width());
  EXPECT_EQ(image.height(), bitmap.Height());
  EXPECT_EQ(static_cast<std::size_t>(image.bytesPerLine()), bitmap.BytesPerScanline());
  EXPECT_EQ(image.constBits(), bitmap.ScanLine(0)) << "the image should use the bitmap's own rows";
}

// The image's colours at these pixels, alpha left out: {x, y, 0xRRGGBB} each.
struct TRgbAt {
  int x, y;
  unsigned rgb;
};
void ExpectRgb(const QImage& image, std::initializer_list<TRgbAt> pixels) {
  for (const TRgbAt& p : pixels) EXPECT_EQ(image.pixel(p.x, p.y) & 0xFFFFFF, p.rgb) << p.x << ", " << p.y;
}

TEST(ImageConvert, EmptyBitmapGivesNullImage) {
  TBitmap bitmap;
  EXPECT_TRUE(BitmapToQImage(bitmap).isNull());
  EXPECT_TRUE(GraphicToQImage(bitmap).isNull());
}

TEST(ImageConvert, OneBitWrapsWithItsPaletteAndPadsMissingEntriesBlack) {
  TBitmap bitmap = Blank(pf1bit, 10, 2);
  bitmap.SetPalette(Palette({0x102030}));  // one entry: index 1 lies past the palette
  bitmap.ScanLine(0)[0] = 0b10000000;
  bitmap.ScanLine(1)[1] = 0b01000000;  // x = 9
  const QImage image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_Mono);
  ExpectRgb(image, {{0, 0, 0x000000}, {1, 0, 0x102030}, {9, 1, 0x000000}, {8, 1, 0x102030}});
}

TEST(ImageConvert, FourBitIsExpandedHighNibbleFirst) {
  TBitmap bitmap = Blank(pf4bit, 3, 1);
  bitmap.SetPalette(Palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF}));
  bitmap.ScanLine(0)[0] = 0x12;
  bitmap.ScanLine(0)[1] = 0x3F;  // x = 2 is 3; the low nibble is padding
  const QImage image = BitmapToQImage(bitmap);
  ASSERT_EQ(image.size(), QSize(3, 1));
  EXPECT_NE(image.constBits(), bitmap.ScanLine(0));
  ExpectRgb(image, {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0x0000FF}});
}

TEST(ImageConvert, EightBitWrapsAndIndicesPastThePaletteAreBlack) {
  TBitmap bitmap = Blank(pf8bit, 5, 3);  // odd width: rows are padded to four bytes
  bitmap.SetPalette(Palette({0xFFFFFF, 0x336699}));
  bitmap.ScanLine(2)[4] = 1;
  bitmap.ScanLine(1)[0] = 200;
  const QImage image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_Indexed8);
  EXPECT_EQ(image.colorCount(), 256);
  ExpectRgb(image, {{4, 2, 0x336699}, {0, 0, 0xFFFFFF}, {0, 1, 0x000000}});
}

TEST(ImageConvert, FifteenBitWraps) {
  TBitmap bitmap = Blank(pf15bit, 3, 1);
  std::uint8_t* row = bitmap.ScanLine(0);
  row[0] = 0x00; row[1] = 0x7C;  // red
  row[2] = 0xE0; row[3] = 0x03;  // green
  row[4] = 0x1F; row[5] = 0x00;  // blue
  const QImage image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_RGB555);
  ExpectRgb(image, {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0x0000FF}});
}

TEST(ImageConvert, SixteenBit565IsConvertedWideningEveryChannel) {
  TBitmap bitmap = Blank(pf16bit, 4, 1);
  std::uint8_t* row = bitmap.ScanLine(0);
  const std::uint16_t values[] = {0xF800, 0x07E0, 0x001F, 0x8410};
  for (int i = 0; i < 4; ++i) {
    row[2 * i] = static_cast<std::uint8_t>(values[i]);
    row[2 * i + 1] = static_cast<std::uint8_t>(values[i] >> 8);
  }
  const QImage image = BitmapToQImage(bitmap);
  ASSERT_EQ(image.size(), QSize(4, 1));
  // The grey: 16/32 -> 0x84, 32/64 -> 0x82.
  ExpectRgb(image, {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0x0000FF}, {3, 0, 0x848284}});
}

TEST(ImageConvert, TwentyFourBitWrapsInBlueGreenRedOrder) {
  TBitmap bitmap = Blank(pf24bit, 3, 2);  // 9 bytes of pixels, 12 with padding
  bitmap.ScanLine(1)[6] = 1;
  bitmap.ScanLine(1)[7] = 2;
  bitmap.ScanLine(1)[8] = 3;
  const QImage image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_BGR888);
  EXPECT_EQ(image.pixel(2, 1) & 0xFFFFFF, 0x030201u);
}

TEST(ImageConvert, ThirtyTwoBitIsOpaqueUnlessTheBitmapHasAlpha) {
  TBitmap bitmap = Blank(pf32bit, 2, 1);
  std::uint8_t* row = bitmap.ScanLine(0);
  row[0] = 10; row[1] = 20; row[2] = 30; row[3] = 0;    // alpha byte 0
  row[4] = 40; row[5] = 50; row[6] = 60; row[7] = 128;
  QImage image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_RGB32);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x1E140Au);

  bitmap.SetAlphaChannel(true);
  image = BitmapToQImage(bitmap);
  ExpectWrapped(image, bitmap, QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(1, 0)), 128);
}

TEST(ImageConvert, TransparentGraphicKeysOutTheBottomLeftColour) {
  TBitmap bitmap = test::MakeBitmap(4, 3, [](int x, int y) { return (x == 0 && y == 2) || x == 3 ? 0x00FF00u : 0x123456u; });
  EXPECT_EQ(qAlpha(GraphicToQImage(bitmap).pixel(3, 0)), 255) << "opaque until made transparent";
  bitmap.SetTransparent(true);
  const QImage image = GraphicToQImage(bitmap);
  ASSERT_EQ(image.format(), QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(image.pixel(0, 2)), 0);
  EXPECT_EQ(qAlpha(image.pixel(3, 1)), 0);
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 255);
  EXPECT_NE(image.constBits(), bitmap.ScanLine(0)) << "keying must not write into the bitmap";
  EXPECT_EQ(bitmap.ScanLine(2)[1], 0xFF);
}

TEST(ImageConvert, TransparentGraphicWithAFixedColourKeysThatColour) {
  TBitmap bitmap = test::MakeBitmap(2, 2, [](int x, int) { return x == 1 ? 0x0000FFu : 0xFF0000u; });
  bitmap.SetTransparentColor(0xFF0000);  // $00BBGGRR: blue
  bitmap.SetTransparent(true);
  const QImage image = GraphicToQImage(bitmap);
  EXPECT_EQ(qAlpha(image.pixel(1, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(0, 1)), 255);
}

}  // namespace
}  // namespace vumo
