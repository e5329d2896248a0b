#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/bitmap.h"
#include "formats/picture.h"
#include "formats/windows_bitmap.h"
#include "pixels/image_limits.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

const auto LoadBytes = &test::LoadWith<TBitmap>;
const auto ErrorOf = &test::LoadErrorWith<TBitmap>;
const auto Put16 = &test::PutLittleEndian16;
const auto Put32 = &test::PutLittleEndian32;

// A bitmap file with a 40-byte header; `extra` (masks, palette) sits between header and pixels.
struct BmpLayout {
  std::int32_t width = 2, height = 2;
  int bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::vector<std::uint8_t> extra{};
  std::vector<std::uint8_t> pixels{};
};

std::vector<std::uint8_t> MakeBmp(const BmpLayout& layout) {
  std::vector<std::uint8_t> out;
  // Room for everything first: GCC 12 takes the later inserts into a 54-byte vector for
  // writes past its end in optimised builds.
  out.reserve(54 + layout.extra.size() + layout.pixels.size());
  out.resize(54);
  out[0] = 'B';
  out[1] = 'M';
  std::uint32_t offBits = static_cast<std::uint32_t>(54 + layout.extra.size());
  Put32(out, 2, static_cast<std::uint32_t>(offBits + layout.pixels.size()));
  Put32(out, 10, offBits);
  Put32(out, 14, 40);
  Put32(out, 18, static_cast<std::uint32_t>(layout.width));
  Put32(out, 22, static_cast<std::uint32_t>(layout.height));
  Put16(out, 26, 1);
  Put16(out, 28, static_cast<std::uint32_t>(layout.bits));
  Put32(out, 30, layout.compression);
  Put32(out, 34, static_cast<std::uint32_t>(layout.pixels.size()));
  Put32(out, 46, layout.clrUsed);
  out.insert(out.end(), layout.extra.begin(), layout.extra.end());
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  return out;
}

std::vector<std::uint8_t> GreyPalette(int count) {
  // Sized first and filled in place: inserting lists draws false warnings from optimised GCC 12.
  std::vector<std::uint8_t> p(static_cast<std::size_t>(count) * 4, 0);
  for (std::size_t i = 0; i < p.size(); ++i)
    if (i % 4 != 3) p[i] = static_cast<std::uint8_t>(i / 4 * 10);
  return p;
}

std::vector<std::uint8_t> Masks(std::initializer_list<std::uint32_t> masks) {
  std::vector<std::uint8_t> out(masks.size() * 4);
  std::size_t i = 0;
  for (std::uint32_t m : masks) Put32(out, 4 * i++, m);
  return out;
}

// Pillow's copy of the bitmap suite; how each file looks is in pillow/bmp/*/read.tsv.
TEST(WindowsBitmap, GoodSuiteKeepsTheStoredLayout) {
  const std::map<std::string, TPixelFormat> copiedFormats = {
      {"pal1.bmp", pf1bit},     {"pal4.bmp", pf4bit},   {"pal4rle.bmp", pf4bit},  {"pal8.bmp", pf8bit},
      {"pal8rle.bmp", pf8bit},  {"rgb16.bmp", pf15bit}, {"rgb16-565.bmp", pf16bit}, {"rgb24.bmp", pf24bit},
      {"rgb32.bmp", pf32bit},   {"rgb32bf.bmp", pf24bit}};
  auto files = FilesIn(Fixture("pillow/bmp/g"));
  ASSERT_EQ(files.size(), 23u);
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    std::string name = std::filesystem::path(path).filename().string();
    TBitmap bitmap;
    TFileStream stream(path);
    ASSERT_NO_THROW(bitmap.LoadFromStream(stream));
    EXPECT_FALSE(bitmap.AlphaChannel());
    auto format = copiedFormats.find(name);
    if (format != copiedFormats.end()) {
      EXPECT_EQ(bitmap.PixelFormat(), format->second);
    }
  }
}

TEST(WindowsBitmap, QuestionableAlphaMaskIsKept) {
  // A v5 header with an alpha mask keeps its alpha.
  TBitmap rgba = LoadBytes(ReadFile(Fixture("pillow/bmp/q/rgba32.bmp")));
  EXPECT_EQ(rgba.PixelFormat(), pf32bit);
  EXPECT_TRUE(rgba.AlphaChannel());
}

TEST(WindowsBitmap, CutInThePixelsIsAReadError) {
  // Not a partial picture.
  auto bytes = ReadFile(Fixture("pillow/bmp/g/rgb24.bmp"));
  bytes.resize(bytes.size() - 10);
  EXPECT_EQ(ErrorOf(bytes), kStreamReadError);
  auto rle = ReadFile(Fixture("pillow/bmp/g/pal8rle.bmp"));
  rle.resize(rle.size() / 2);
  Put32(rle, 2, 0);
  Put32(rle, 34, 0);
  EXPECT_EQ(ErrorOf(rle), kStreamReadError);
}

TEST(WindowsBitmap, TopDownAndBottomUpRows) {
  BmpLayout layout;
  layout.width = 1;
  layout.height = 2;
  layout.pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // first stored row, then second
  TBitmap up = LoadBytes(MakeBmp(layout));
  EXPECT_EQ(up.ScanLine(0)[0], 4);  // the first stored row is the bottom one
  layout.height = -2;
  TBitmap down = LoadBytes(MakeBmp(layout));
  EXPECT_EQ(down.Height(), 2);
  EXPECT_EQ(down.ScanLine(0)[0], 1);
}

TEST(WindowsBitmap, BitfieldsOfAnyShape) {
  BmpLayout layout{.width = 1, .height = 1, .bits = 16, .compression = dib::kAlphaBitfields};
  // 4-4-4-4 with alpha on top: goes to 32 bits with alpha.
  layout.extra = Masks({0x0F00, 0x00F0, 0x000F, 0xF000});
  layout.pixels = {0x3F, 0x8C, 0, 0};  // a=8 r=C g=3 b=F
  TBitmap argb = LoadBytes(MakeBmp(layout));
  ASSERT_EQ(argb.PixelFormat(), pf32bit);
  EXPECT_TRUE(argb.AlphaChannel());
  const std::uint8_t* p = argb.ScanLine(0);
  EXPECT_EQ(p[0], 0xFF);
  EXPECT_EQ(p[1], 0x33);
  EXPECT_EQ(p[2], 0xCC);
  EXPECT_EQ(p[3], 0x88);
  // 32-bit 10-10-10: 24 bits out, top eight bits of each channel kept.
  layout.bits = 32;
  layout.compression = dib::kBitfields;
  layout.extra = Masks({0x3FF00000, 0x000FFC00, 0x000003FF});
  layout.pixels = {0xFF, 0x03, 0x10, 0x20};  // r=0x201 g=0x000 b=0x3FF
  TBitmap wide = LoadBytes(MakeBmp(layout));
  ASSERT_EQ(wide.PixelFormat(), pf24bit);
  EXPECT_EQ(wide.ScanLine(0)[0], 0xFF);
  EXPECT_EQ(wide.ScanLine(0)[1], 0x00);
  EXPECT_EQ(wide.ScanLine(0)[2], 0x80);
  // BI_ALPHABITFIELDS carries its four masks after the header; an alpha of zero everywhere is opaque.
  layout.compression = dib::kAlphaBitfields;
  layout.extra = Masks({0xFF0000, 0xFF00, 0xFF, 0xFF000000u});
  layout.pixels = {1, 2, 3, 0};
  TBitmap opaque = LoadBytes(MakeBmp(layout));
  EXPECT_FALSE(opaque.AlphaChannel());
  EXPECT_EQ(opaque.ScanLine(0)[3], 255);
  // Masks that are not one run of bits, or that overlap, or that are all empty.
  for (auto masks : {Masks({0x0F0F0000, 0xFF00, 0xFF, 0}), Masks({0xFFFF00, 0xFF00, 0xFF, 0}), Masks({0, 0, 0, 0})}) {
    layout.extra = masks;
    EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  }
}

TEST(WindowsBitmap, PalettesShortLongAndCutOff) {
  BmpLayout layout{.width = 4, .height = 1, .bits = 8, .clrUsed = 3, .extra = GreyPalette(3),
                   .pixels = {0, 1, 2, 2}};
  TBitmap bitmap = LoadBytes(MakeBmp(layout));
  EXPECT_EQ(bitmap.Palette().size(), 3u);
  EXPECT_EQ(bitmap.Palette()[2].peRed, 20);
  // An index past an explicit colour count.
  layout.pixels = {0, 1, 3, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  // At 4 bits, in either nibble; the padding nibble after an odd row's last pixel is no pixel.
  layout.bits = 4;
  layout.width = 3;
  layout.pixels = {0x12, 0x2F, 0, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), "");
  layout.pixels = {0x12, 0x3F, 0, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  layout.pixels = {0x13, 0x20, 0, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  // At 1 bit with a single colour, any set pixel.
  layout.bits = 1;
  layout.clrUsed = 1;
  layout.extra = GreyPalette(1);
  layout.pixels = {0x00, 0, 0, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), "");
  layout.pixels = {0x20, 0, 0, 0};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  layout.pixels = {0x10, 0, 0, 0};  // the fourth bit lies past the row's three pixels
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), "");
  layout.bits = 8;
  layout.width = 4;
  layout.clrUsed = 3;
  layout.extra = GreyPalette(3);
  // A count far past the file is refused; a palette cut off by the end of the file is kept
  // as far as it goes, with black for the rest.
  layout.clrUsed = 0x12345678;
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  layout.clrUsed = 0;
  layout.extra = GreyPalette(2);
  layout.pixels = {0, 1, 0, 255};
  TBitmap cut = LoadBytes(MakeBmp(layout));
  ASSERT_EQ(cut.Palette().size(), 256u);
  EXPECT_EQ(cut.Palette()[1].peGreen, 10);
  EXPECT_EQ(cut.Palette()[255], (TPaletteEntry{0, 0, 0, 0}));
  // Without an offset the pixels follow the palette, which the file does not hold.
  layout.bits = 1;
  layout.width = 1;
  layout.extra = {};
  layout.pixels = {};
  auto bytes = MakeBmp(layout);
  Put32(bytes, 10, 0);
  bytes.insert(bytes.end(), {9, 9, 9, 0, 0x80, 0, 0});
  EXPECT_EQ(ErrorOf(bytes), kStreamReadError);
}

TEST(WindowsBitmap, OffsetsAndSizesChecked) {
  BmpLayout layout;
  layout.pixels = std::vector<std::uint8_t>(16, 7);
  auto good = MakeBmp(layout);
  EXPECT_EQ(ErrorOf(good), "");
  auto pastEnd = good;
  Put32(pastEnd, 10, 1000);
  EXPECT_EQ(ErrorOf(pastEnd), kBitmapNotValid);
  auto intoHeader = good;
  Put32(intoHeader, 10, 20);
  EXPECT_EQ(ErrorOf(intoHeader), kBitmapNotValid);
  auto huge = good;
  Put32(huge, 18, 100000);
  Put32(huge, 22, 100000);
  EXPECT_EQ(ErrorOf(huge), FormatMessage(kImageTooLarge, 100000u, 100000u));
  auto jpeg = good;
  Put32(jpeg, 30, 4);
  EXPECT_EQ(ErrorOf(jpeg), kBitmapCompressionNotSupported);
  auto notBmp = good;
  notBmp[0] = 'X';
  EXPECT_EQ(ErrorOf(notBmp), kBitmapNotValid);
  EXPECT_EQ(ErrorOf({'B'}), kBitmapNotValid);
  // A bitmap that starts part-way into its stream.
  std::vector<std::uint8_t> framed = good;
  framed.insert(framed.begin(), 5, 0xAA);
  TMemoryStream stream(framed.data(), framed.size());
  stream.SetPosition(5);
  TBitmap bitmap;
  bitmap.LoadFromStream(stream);
  EXPECT_EQ(bitmap.Width(), 2);
  // A failed load keeps the old picture.
  TMemoryStream bad(pastEnd.data(), pastEnd.size());
  EXPECT_THROW(bitmap.LoadFromStream(bad), Exception);
  EXPECT_EQ(bitmap.Width(), 2);
}

TEST(WindowsBitmap, RunLengthEscapesAndClipping) {
  BmpLayout layout{.width = 4, .height = 3, .bits = 8, .compression = dib::kRle8, .extra = GreyPalette(256)};
  // Bottom row: a run of 6, clipped at 4; next row: a delta one to the right, then three
  // literal pixels; then end of line and end of bitmap with the top row untouched.
  layout.pixels = {6, 5, 0, 0, 0, 2, 1, 0, 0, 3, 7, 8, 9, 0, 0, 0, 0, 1};
  TBitmap bitmap = LoadBytes(MakeBmp(layout));
  const std::uint8_t* bottom = bitmap.ScanLine(2);
  EXPECT_EQ((std::vector<int>{bottom[0], bottom[1], bottom[2], bottom[3]}), (std::vector<int>{5, 5, 5, 5}));
  const std::uint8_t* middle = bitmap.ScanLine(1);
  EXPECT_EQ((std::vector<int>{middle[0], middle[1], middle[2], middle[3]}), (std::vector<int>{0, 7, 8, 9}));
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0);
  // Drawing above the top row.
  layout.pixels = {0, 2, 0, 5, 1, 1, 0, 1};
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
  // RLE4 nibbles, high first, a run alternating its two colours.
  layout.bits = 4;
  layout.compression = dib::kRle4;
  layout.extra = GreyPalette(16);
  layout.height = 1;
  layout.pixels = {3, 0x12, 0, 1};
  TBitmap rle4 = LoadBytes(MakeBmp(layout));
  EXPECT_EQ(rle4.ScanLine(0)[0], 0x12);
  EXPECT_EQ(rle4.ScanLine(0)[1], 0x10);
  // Run-length data is always stored bottom-up.
  layout.height = -1;
  EXPECT_EQ(ErrorOf(MakeBmp(layout)), kBitmapNotValid);
}

TEST(WindowsBitmap, PictureLoadsEveryBitmapExtension) {
  std::string dir = test::TempDir("windows_bitmap");
  auto expected = test::LoadReferencePng(Fixture("bmp/pal8.png"));
  for (const auto& [source, name] : {std::pair{"pal8rle.bmp", "run.RLE"}, std::pair{"pal8.bmp", "plain.dib"}}) {
    auto d = Compare(test::LoadThroughPictureAs(Fixture(std::string("pillow/bmp/g/") + source), dir, name), expected, 0);
    EXPECT_TRUE(d.sameSize) << name;
    EXPECT_EQ(d.pixelsOff, 0u) << name;
  }
  // A palette read from the file is one the display has not realised yet.
  TPicture picture;
  picture.LoadFromFile(dir + "/plain.dib");
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_TRUE(picture.Graphic()->PaletteModified());
  EXPECT_FALSE(LoadBytes(ReadFile(Fixture("pillow/bmp/g/rgb24.bmp"))).PaletteModified());
}

}  // namespace
}  // namespace vumo
