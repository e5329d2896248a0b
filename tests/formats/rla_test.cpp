#include "formats/rla.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Rgba8Image LoadRla(const test::Bytes& bytes, TRLAGraphic* keep = nullptr) { return test::DecodeWith(bytes, keep); }

const auto ErrorOf = &test::LoadErrorWith<TRLAGraphic>;

// A copy of the file with a text field of `size` bytes holding `text`.
test::Bytes WithText(test::Bytes bytes, std::size_t at, std::size_t size, const char* text) {
  std::memset(&bytes[at], 0, size);
  std::memcpy(&bytes[at], text, std::strlen(text));
  return bytes;
}

constexpr const char* kNoConverter = "Color conversion failed. Could not find a proper method.";

TEST(RLAReader, WithoutGammaTextTheRampComesThroughUntouched) {
  const Rgba8Image actual = LoadRla(ReadFile(Fixture("rla/gamma_none.rla")));
  ASSERT_EQ(actual.width, 256);
  for (int x = 0; x < 256; ++x) EXPECT_EQ(actual.pixels[4 * x], x);
}

TEST(RLAReader, WindowGivesSizeAndRowOrder) {
  TRLAGraphic graphic;
  LoadRla(ReadFile(Fixture("rla/window_0_99.rla")), &graphic);
  EXPECT_EQ(graphic.Width(), 7);
  EXPECT_EQ(graphic.Height(), 100);
  EXPECT_TRUE(graphic.ImageProperties.BottomUp);
  EXPECT_EQ(graphic.PixelFormat(), pf24bit);
  EXPECT_EQ(graphic.ImageProperties.Compression, ctRLE);
  EXPECT_EQ(graphic.ImageProperties.Options & ioBigEndian, ioBigEndian);

  TRLAGraphic topDown;
  LoadRla(ReadFile(Fixture("rla/top_down.rla")), &topDown);
  EXPECT_FALSE(topDown.ImageProperties.BottomUp);

  TRLAGraphic matte;
  const Rgba8Image first = LoadRla(ReadFile(Fixture("rla/matte.rla")), &matte);
  EXPECT_EQ(matte.PixelFormat(), pf32bit);
  EXPECT_EQ(matte.ImageProperties.ColorScheme, csRGBA);
  EXPECT_EQ(matte.ImageProperties.SamplesPerPixel, 4);
  // Loaded again, the same reader still carries the matte over.
  const Rgba8Image second = LoadRla(ReadFile(Fixture("rla/matte.rla")), &matte);
  const auto same = Compare(second, first, 0, false);
  EXPECT_EQ(same.pixelsOff, 0u);
  EXPECT_EQ(same.maxAlphaDelta, 0);
}

TEST(RLAReader, GammaTextAppliesGammaCorrection) {
  TRLAGraphic graphic;
  const Rgba8Image image = LoadRla(ReadFile(Fixture("rla/gamma_2_2.rla")), &graphic);
  EXPECT_FLOAT_EQ(graphic.ImageProperties.FileGamma, 2.2f);
  EXPECT_TRUE(graphic.ImageProperties.Options & ioUseGamma);
  ASSERT_EQ(image.width, 256);
  // The file's gamma is the main gamma against a display gamma of 2.2.
  const double exponent = 1.0 / (2.2 * 2.2);
  for (int x = 0; x < 256; ++x) {
    const int expected = static_cast<int>(std::lround(std::pow(x / 255.0, exponent) * 255.0));
    EXPECT_NEAR(image.pixels[4 * x], expected, 1) << x;
  }

  TRLAGraphic none;
  LoadRla(ReadFile(Fixture("rla/gamma_none.rla")), &none);
  EXPECT_FLOAT_EQ(none.ImageProperties.FileGamma, 1.0f);
  EXPECT_FALSE(none.ImageProperties.Options & ioUseGamma);

  // A reader loaded again forgets the previous file's gamma.
  const Rgba8Image reloaded = LoadRla(ReadFile(Fixture("rla/gamma_none.rla")), &graphic);
  EXPECT_FALSE(graphic.ImageProperties.Options & ioUseGamma);
  ASSERT_EQ(reloaded.width, 256);
  for (int x = 0; x < 256; ++x) EXPECT_EQ(reloaded.pixels[4 * x], x) << x;

  // Text that is not a usable number means no gamma.
  for (const char* text : {"abc", "2.2x", "-1", "0", "nan", "inf"}) {
    SCOPED_TRACE(text);
    TRLAGraphic g;
    const Rgba8Image plain = LoadRla(WithText(ReadFile(Fixture("rla/gamma_2_2.rla")), 28, 16, text), &g);
    EXPECT_FLOAT_EQ(g.ImageProperties.FileGamma, 1.0f);
    EXPECT_EQ(plain.pixels[4 * 100], 100);
  }
}

TEST(RLAReader, UnreadableHeadersEndTheLoadSilently) {
  TRLAGraphic graphic;
  LoadRla(ReadFile(Fixture("rla/matte.rla")), &graphic);
  ASSERT_FALSE(graphic.Empty());
  EXPECT_NO_THROW(LoadRla(ReadFile(Fixture("rla/xyz.rla")), &graphic));
  EXPECT_TRUE(graphic.Empty());

  const auto bytes = ReadFile(Fixture("rla/matte.rla"));
  EXPECT_NO_THROW(LoadRla(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 739), &graphic));
  EXPECT_TRUE(graphic.Empty());
  EXPECT_NO_THROW(LoadRla(WithBigEndian16(bytes, {{0, 10}}), &graphic));  // left beyond right
  EXPECT_TRUE(graphic.Empty());
}

TEST(RLAReader, LayoutsWithoutAConversionAreRefused) {
  const auto good = ReadFile(Fixture("rla/window_0_99.rla"));
  EXPECT_EQ(ErrorOf(WithText(good, 580, 32, "sRGB")), kNoConverter);
  EXPECT_EQ(ErrorOf(WithText(good, 580, 32, "RGB")), "");
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{20, 1}})), kNoConverter);  // one channel
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{658, 12}})), kNoConverter);  // twelve bits
  EXPECT_FALSE(ErrorOf(WithBigEndian16(good, {{658, 0}})).empty());
}

TEST(RLAReader, BadTablesAndSizes) {
  const auto good = ReadFile(Fixture("rla/offset_past_end.rla"));
  // An offset table longer than the file is a read error, raised before the bitmap exists.
  EXPECT_EQ(ErrorOf(WithBigEndian16(good, {{4, 0}, {6, 30000}})), "Stream read error");

  // Sizes past the limits never reach the bitmap.
  const auto huge = WithBigEndian16(good, {{0, -32768}, {2, 32767}, {4, -32768}, {6, 32767}});
  EXPECT_NE(ErrorOf(huge).find("too large"), std::string::npos);

  // A channel record that claims to run past the end belongs to a file cut short.
  const std::size_t firstLine = 740 + 4 * 100;
  EXPECT_EQ(ErrorOf(WithBigEndian16(ReadFile(Fixture("rla/window_0_99.rla")), {{firstLine, 0xFFFF}})), "Stream read error");
}

TEST(RLAReader, CanLoadTestsRevisionAndChannelSpace) {
  const auto bytes = ReadFile(Fixture("rla/top_down.rla"));
  EXPECT_TRUE(CanLoadFromStart<TRLAGraphic>(bytes));
  EXPECT_TRUE(TRLAGraphic::CanLoad(Fixture("rla/xyz.rla")));
  EXPECT_FALSE(CanLoadFromStart<TRLAGraphic>(WithBigEndian16(bytes, {{26, 0xFFFD}})));  // revision
  EXPECT_FALSE(CanLoadFromStart<TRLAGraphic>(WithText(bytes, 580, 32, "cmy")));
  EXPECT_FALSE(CanLoadFromStart<TRLAGraphic>(bytes, 740));  // the header alone
}

TEST(RLAReader, LoadsThroughThePictureForBothExtensions) {
  const std::string dir = test::TempDir("rla_extensions");
  const auto expected = LoadReferencePng(Fixture("rla/matte.png"));
  for (const char* ext : {"rla", "rpf"}) {
    const auto actual = test::LoadThroughPictureAs(Fixture("rla/matte.rla"), dir, std::string("picture.") + ext);
    EXPECT_EQ(Compare(actual, expected, 0, false).pixelsOff, 0u) << ext;
  }
}

}  // namespace
}  // namespace vumo
