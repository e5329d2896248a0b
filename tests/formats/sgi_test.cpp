#include "formats/sgi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

const auto LoadSgi = &test::DecodeWith<TSGIGraphic>;
const auto ErrorOf = &test::LoadErrorWith<TSGIGraphic>;

Rgba8Image LoadSgiFile(const std::string& path) { return LoadSgi(ReadFile(path), nullptr); }

// Pillow's conversion to grey, which made hopper.bw from the colour picture.
Rgba8Image ToGrey(Rgba8Image image) {
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    const auto& p = image.pixels;
    const int grey = (p[i] * 299 + p[i + 1] * 587 + p[i + 2] * 114 + 500) / 1000;
    image.pixels[i] = image.pixels[i + 1] = image.pixels[i + 2] = static_cast<std::uint8_t>(grey);
  }
  return image;
}

// Pillow made hopper.bw from the colour picture with its own grey conversion.
TEST(SGIReader, PillowGreyHopperIsTheGreyOfTheReference) {
  const Rgba8Image reference = LoadReferencePng(Fixture("pillow/hopper.png"));
  const auto grey = Compare(LoadSgiFile(Fixture("pillow/hopper.bw")), ToGrey(reference), 2);
  EXPECT_TRUE(grey.sameSize);
  EXPECT_LT(grey.meanChannelDelta, 2.5);
}

TEST(SGIReader, PillowTvAndTransparentFiles) {
  const Rgba8Image tv = LoadSgiFile(Fixture("pillow/tv.rgb"));
  EXPECT_EQ(tv.width, 640);
  EXPECT_EQ(tv.height, 480);
  TSGIGraphic graphic;
  LoadSgi(ReadFile(Fixture("pillow/transparent.sgi")), &graphic);
  EXPECT_EQ(graphic.PixelFormat(), pf32bit);
}

TEST(SGIReader, LayoutOfTheBitmap) {
  TSGIGraphic grey;
  const auto greyBytes = ReadFile(Fixture("sgi/grey_bottom_up.bw"));
  LoadSgi(greyBytes, &grey);
  EXPECT_EQ(grey.PixelFormat(), pf8bit);
  ASSERT_EQ(grey.Palette().size(), 256u);
  EXPECT_EQ(grey.Palette()[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(grey.Palette()[255], (TPaletteEntry{255, 255, 255, 0}));
  // The first row of the file is the bottom row of the picture.
  const std::size_t lastFileRow = 512 + std::size_t(grey.Width()) * (grey.Height() - 1);
  EXPECT_EQ(grey.ScanLine(grey.Height() - 1)[1], greyBytes[512 + 1]);
  EXPECT_EQ(grey.ScanLine(0)[1], greyBytes[lastFileRow + 1]);
  EXPECT_NE(greyBytes[512 + 1], greyBytes[lastFileRow + 1]);

  TSGIGraphic rgba;
  LoadSgi(ReadFile(Fixture("sgi/rgba_rle.sgi")), &rgba);
  EXPECT_EQ(rgba.PixelFormat(), pf32bit);
  EXPECT_EQ(rgba.ImageProperties.ColorScheme, csRGBA);
  EXPECT_EQ(rgba.ImageProperties.Compression, ctRLE);

  TSGIGraphic wide;
  LoadSgi(ReadFile(Fixture("sgi/rgb16.sgi")), &wide);
  EXPECT_EQ(wide.PixelFormat(), pf24bit);
  EXPECT_EQ(wide.ImageProperties.BitsPerSample, 16);
  EXPECT_EQ(wide.ImageProperties.BitsPerPixel, 48);
  EXPECT_EQ(wide.ImageProperties.Compression, ctNone);
  EXPECT_EQ(wide.ImageProperties.Options, ioBigEndian);
}

TEST(SGIReader, CanLoadTestsTheHeaderAndKeepsThePosition) {
  const auto bytes = ReadFile(Fixture("sgi/rgb16.sgi"));
  EXPECT_TRUE(CanLoadFromStart<TSGIGraphic>(bytes));
  EXPECT_TRUE(TSGIGraphic::CanLoad(Fixture("sgi/grey_bottom_up.bw")));
  EXPECT_FALSE(TSGIGraphic::CanLoad(Fixture("sgi/rgb16.png")));
  EXPECT_FALSE(TSGIGraphic::CanLoad(Fixture("sgi/no such file.sgi")));
  EXPECT_FALSE(CanLoadFromStart<TSGIGraphic>(WithBigEndian16(bytes, {{4, 4}})));  // dimension 4
  // Exactly a header's worth of bytes is not enough.
  EXPECT_FALSE(CanLoadFromStart<TSGIGraphic>(bytes, 512));
}

TEST(SGIReader, LoadsThroughThePictureForEveryExtension) {
  const std::string dir = test::TempDir("sgi_extensions");
  const auto expected = LoadReferencePng(Fixture("sgi/rgba_rle.png"));
  for (const char* ext : {"sgi", "rgb", "rgba", "bw", "RGB"}) {
    SCOPED_TRACE(ext);
    const auto actual = test::LoadThroughPictureAs(Fixture("sgi/rgba_rle.sgi"), dir, std::string("picture.") + ext);
    EXPECT_EQ(Compare(actual, expected, 0, false).pixelsOff, 0u);
  }
}

TEST(SGIReader, ReportsProgressInOrder) {
  const std::vector<std::string> events = test::ProgressOf<TSGIGraphic>(ReadFile(Fixture("sgi/grey_alpha.sgi")));  // 3 rows
  const std::vector<std::string> expected = {"0:0:Preparing...", "2:100:", "0:0:Transfering...",
                                             "1:0:",             "1:33:",  "1:66:",
                                             "2:100:"};
  EXPECT_EQ(events, expected);
}

TEST(SGIReader, RefusesHeadersItCannotRead) {
  const auto good = ReadFile(Fixture("sgi/rgb16.sgi"));
  const std::string invalid = FormatMessage(gesInvalidImage, gesSGI);
  const std::string colour = FormatMessage(gesInvalidColorFormat, gesSGI);
  const std::string short_ = FormatMessage(gesStreamReadError, gesSGI);

  auto magic = good;
  magic[1] = 0xDB;
  EXPECT_EQ(ErrorOf(magic), invalid);
  EXPECT_EQ(ErrorOf(std::vector<std::uint8_t>(good.begin(), good.begin() + 8)), invalid);

  auto depth = good;
  depth[3] = 3;
  EXPECT_EQ(ErrorOf(depth), colour);
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{10, 0}})), colour);  // no channels
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{10, 5}})), colour);
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{6, 0}})), invalid);  // no width

  // A verbatim header asking for far more data than the file holds fails before allocating.
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{6, 9000}, {8, 9000}})), short_);
  // So does a run-length header whose offset tables do not fit.
  EXPECT_EQ(ErrorOf(WithBigEndian16(ReadFile(Fixture("sgi/rgba_rle.sgi")), {{8, 60000}})), short_);
  // And sizes past the limits never reach the bitmap.
  auto tooLarge = WithBigEndian16(std::vector<std::uint8_t>(good.begin(), good.begin() + 512), {{6, 65535}, {8, 65535}});
  tooLarge[2] = 1;
  EXPECT_NE(ErrorOf(tooLarge).find("too large"), std::string::npos);
}

TEST(SGIReader, RunLengthRowsClaimingHugeLengthsStayInsideTheirRow) {
  // Every length at its maximum: the reader still reads no more than a row can use.
  auto bytes = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  const std::size_t entries = 7 * 4;
  for (std::size_t i = 0; i < entries; ++i) {
    for (int k = 0; k < 4; ++k) bytes[512 + 4 * (entries + i) + k] = 0xFF;
  }
  EXPECT_NO_THROW(LoadSgi(bytes, nullptr));
}

TEST(SGIReader, FailedLoadLeavesTheBitmapEmpty) {
  TSGIGraphic graphic;
  LoadSgi(ReadFile(Fixture("sgi/rgba_rle.sgi")), &graphic);
  auto bad = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  bad[0] = 0;
  EXPECT_THROW(LoadSgi(bad, &graphic), EInvalidGraphic);
  EXPECT_TRUE(graphic.Empty());
}

}  // namespace
}  // namespace vumo
