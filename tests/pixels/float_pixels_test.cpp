#include "pixels/float_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <limits>

#include "formats/bitmap.h"

namespace vumo {
namespace {

TEST(FloatPixels, HalvesCoverEveryClass) {
  struct Case {
    std::uint16_t half;
    float value;
  };
  const Case cases[] = {
      {0x0000, 0.0f},       {0x3C00, 1.0f},         {0xC000, -2.0f},      {0x3555, 0.333251953125f},
      {0x7BFF, 65504.0f},   {0x0400, 6.103515625e-05f},                   // smallest normal
      {0x0001, 5.9604645e-08f},                                           // smallest subnormal
      {0x03FF, 6.097555e-05f},                                            // largest subnormal
      {0x7C00, std::numeric_limits<float>::infinity()}, {0xFC00, -std::numeric_limits<float>::infinity()},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(HalfToFloat(c.half), c.value) << std::hex << c.half;
  EXPECT_TRUE(std::signbit(HalfToFloat(0x8000)));
  EXPECT_TRUE(std::isnan(HalfToFloat(0x7E00)));
  // Every finite half is a number, and they rise with their codes.
  for (std::uint32_t h = 0; h < 0x7C00; ++h) {
    const float f = HalfToFloat(static_cast<std::uint16_t>(h));
    ASSERT_FALSE(std::isnan(f));
    if (h > 0) {
      ASSERT_GT(f, HalfToFloat(static_cast<std::uint16_t>(h - 1)));
    }
  }
}

TEST(FloatPixels, ExposureEncodesWithTheSRGBCurveAndClamps) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float rgba[] = {0.0f, 0.5f, 1.0f, 1.0f,   // black, mid grey, white
                        2.0f, -1.0f, nan, 0.5f,   // above one, negative, NaN; half alpha
                        0.0031308f, 0.2158605f, 0.25f, -3.0f};
  std::uint8_t bgra[12];
  ExposeRowToBGRA8(rgba, bgra, 3, 1.0f);
  // B, G, R, A: linear 0.5 is sRGB 188, 0.214 is 128.
  EXPECT_EQ(bgra[0], 255);
  EXPECT_EQ(bgra[1], 188);
  EXPECT_EQ(bgra[2], 0);
  EXPECT_EQ(bgra[3], 255);
  EXPECT_EQ(bgra[4], 0);
  EXPECT_EQ(bgra[5], 0);
  EXPECT_EQ(bgra[6], 255);
  EXPECT_EQ(bgra[7], 128);
  EXPECT_EQ(bgra[9], 128);
  EXPECT_EQ(bgra[10], 10);  // where the curve leaves its straight segment: 0.04045 of full scale
  EXPECT_EQ(bgra[11], 0);
  // One stop up doubles the light: 0.25 shows as 0.5 did.
  ExposeRowToBGRA8(rgba + 8, bgra, 1, ExposureGain(1.0f));
  EXPECT_EQ(bgra[0], 188);
  EXPECT_EQ(LinearToSRGB8(0.5f), 188);
}

TEST(FloatPixels, BitmapRendersItsFloatsAndKeepsThemThroughCopies) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(2, 1);
  auto floats = TBitmap::NewFloatPixels(2, 1);
  floats->RGBA = {0.25f, 0.25f, 0.25f, 1.0f, 4.0f, 0.0f, 0.0f, 1.0f};
  bitmap.SetFloatPixels(floats);
  EXPECT_EQ(bitmap.ScanLine(0)[0], LinearToSRGB8(0.25f));
  EXPECT_EQ(bitmap.ScanLine(0)[6], 255);

  bitmap.SetExposure(1.0f);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 188);
  TBitmap copy(bitmap);
  ASSERT_NE(copy.FloatPixels(), nullptr);
  EXPECT_EQ(copy.Exposure(), 1.0f);
  copy.SetExposure(-2.0f);
  EXPECT_EQ(copy.ScanLine(0)[6], LinearToSRGB8(1.0f));
  EXPECT_EQ(bitmap.ScanLine(0)[0], 188) << "a copy's exposure leaves the original alone";

  bitmap.ReleaseImage();
  EXPECT_EQ(bitmap.FloatPixels(), nullptr);
  // Floats of another size than the bitmap's are refused, and so is a float plane past the limits.
  copy.SetSize(3, 1);
  EXPECT_THROW(copy.SetFloatPixels(floats), EInvalidGraphic);
  EXPECT_THROW(TBitmap::NewFloatPixels(16384, 16384), EInvalidGraphic);
}

TEST(FloatPixels, ClearedPlanesAreZeroSmallOrLarge) {
  // The small one from the heap, filled; the large one fresh pages that are zero as they come.
  for (const int side : {3, 1100}) {
    const auto floats = TBitmap::NewFloatPixels(side, side, true);
    ASSERT_EQ(floats->RGBA.size(), std::size_t(side) * side * 4);
    EXPECT_EQ(std::count(floats->RGBA.begin(), floats->RGBA.end(), 0.0f), std::ptrdiff_t(floats->RGBA.size())) << side;
  }
}

TEST(FloatPixels, ImagesAndDescriptionTravelWithACopy) {
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  bitmap.SetImages({12, 2, "level 3/12 (4 x 4)"});
  bitmap.SetFormatDescription("BC7 sRGB");
  TBitmap copy;
  copy.Assign(bitmap);
  EXPECT_EQ(copy.Images(), bitmap.Images());
  EXPECT_EQ(copy.FormatDescription(), "BC7 sRGB");
  EXPECT_EQ(ImageCaption("page", 2, 5), "page 3/5");
}

}  // namespace
}  // namespace vumo
