#include "pixels/image_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace vumo {
namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  TCompareInput Input() const { return TCompareInput::FromRgba8(width, height, rgba.data()); }
  std::uint8_t* At(int x, int y) { return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4; }
};

// A pattern with structure in it, so SSIM has something to measure.
Picture Pattern(int width, int height) {
  Picture p{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = p.At(x, y);
      px[0] = static_cast<std::uint8_t>(x * 9);
      px[1] = static_cast<std::uint8_t>(y * 13);
      px[2] = static_cast<std::uint8_t>(((x / 3 + y / 3) % 2) * 200);
      px[3] = 255;
    }
  return p;
}

TEST(ImageCompare, IdenticalPicturesOfAnySizeHaveNoErrorAndSsimOne) {
  // Sides below the window's 11 take a smaller window, down to a single pixel.
  for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {11, 11}, {30, 17}}) {
    const Picture a = Pattern(w, h);
    const TCompareResult r = ComparePictures(a.Input(), a.Input());
    EXPECT_TRUE(r.Identical()) << w << "x" << h;
    EXPECT_FALSE(r.Psnr.has_value());
    EXPECT_EQ(r.MaxDifference, 0);
    EXPECT_EQ(r.DifferingPixels, 0u);
    EXPECT_NEAR(r.Ssim, 1.0, 1e-12);
  }
}

TEST(ImageCompare, OnePixelOffCountsOnceWithItsLargestChannel) {
  const Picture a = Pattern(20, 20);
  struct Case {
    int channel;
    int delta;
    bool changesRgb;
  };
  for (const Case c : {Case{0, 5, true}, Case{2, -40, true}, Case{3, -100, false}}) {
    Picture b = a;
    b.At(7, 3)[c.channel] = static_cast<std::uint8_t>(b.At(7, 3)[c.channel] + c.delta);
    const TCompareResult r = ComparePictures(a.Input(), b.Input());
    EXPECT_FALSE(r.Identical());
    EXPECT_EQ(r.DifferingPixels, 1u);
    EXPECT_EQ(r.MaxDifference, std::abs(c.delta));
    // An alpha-only change leaves the colour error, and so PSNR and SSIM, untouched.
    EXPECT_EQ(r.Psnr.has_value(), c.changesRgb);
    if (c.changesRgb) {
      const double mse = double(c.delta) * c.delta / (3.0 * 20 * 20);
      EXPECT_NEAR(*r.Psnr, 10 * std::log10(255.0 * 255.0 / mse), 1e-9);
      EXPECT_LT(r.Ssim, 1.0);
    } else {
      EXPECT_EQ(r.Ssim, 1.0);
    }
  }
}

TEST(ImageCompare, DifferentSizesCompareTheCommonTopLeftArea) {
  const Picture a = Pattern(30, 20);
  Picture b = Pattern(25, 26);  // the pattern depends on x and y only: the overlap agrees
  TCompareResult r = ComparePictures(a.Input(), b.Input());
  EXPECT_TRUE(r.SizeMismatch);
  EXPECT_FALSE(r.Identical());
  EXPECT_EQ(r.Width, 25);
  EXPECT_EQ(r.Height, 20);
  EXPECT_EQ(r.WidthA, 30);
  EXPECT_EQ(r.HeightB, 26);
  EXPECT_EQ(r.DifferingPixels, 0u);
  // A change outside the overlap is not looked at; one inside is.
  b.At(10, 24)[0] ^= 0xFF;
  EXPECT_EQ(ComparePictures(a.Input(), b.Input()).DifferingPixels, 0u);
  b.At(24, 19)[0] ^= 0xFF;
  EXPECT_EQ(ComparePictures(a.Input(), b.Input()).DifferingPixels, 1u);
}

TEST(ImageCompare, StridedRowsAreReadAtTheirStride) {
  const Picture a = Pattern(5, 4);
  // The same picture with three bytes of padding after each row.
  std::vector<std::uint8_t> padded;
  for (int y = 0; y < 4; ++y) {
    padded.insert(padded.end(), a.rgba.begin() + y * 20, a.rgba.begin() + (y + 1) * 20);
    padded.insert(padded.end(), {1, 2, 3});
  }
  EXPECT_TRUE(ComparePictures(a.Input(), TCompareInput::FromRgba8(5, 4, padded.data(), 23)).Identical());
}

TEST(ImageCompare, FloatPicturesAreComparedThroughTheDisplayCurveUnrounded) {
  // Linear 0.5 shows as sRGB 187.5; 1.0 and above as 255; negatives and NaN as 0.
  const float linear[] = {0.5f, 1.0f, 7.0f, 1.0f, -1.0f, NAN, 0.0f, 0.25f};
  float row[8];
  CompareRow(TCompareInput::FromLinear(2, 1, linear), 0, 2, row);
  EXPECT_NEAR(row[0], 187.516, 0.01);
  EXPECT_EQ(row[1], 255.0f);
  EXPECT_EQ(row[2], 255.0f);
  EXPECT_EQ(row[3], 255.0f);
  EXPECT_EQ(row[4], 0.0f);
  EXPECT_EQ(row[5], 0.0f);
  EXPECT_EQ(row[7], 0.25f * 255);

  // A float picture against the 8-bit one a display would show: below one step apart.
  const float grey[] = {0.5f, 0.5f, 0.5f, 1.0f};
  const std::uint8_t shown[] = {188, 188, 188, 255};
  const TCompareResult r =
      ComparePictures(TCompareInput::FromLinear(1, 1, grey), TCompareInput::FromRgba8(1, 1, shown));
  EXPECT_EQ(r.DifferingPixels, 1u);
  EXPECT_GT(r.MaxDifference, 0.0);
  EXPECT_LT(r.MaxDifference, 1.0);
}

TEST(ImageCompare, DifferenceAndMarkedRowsAmplifyAndThreshold) {
  const std::uint8_t a[] = {100, 100, 100, 255, 10, 20, 30, 255, 0, 0, 0, 255};
  const std::uint8_t b[] = {103, 90, 100, 255, 10, 20, 30, 200, 255, 0, 0, 255};
  const TCompareInput ia = TCompareInput::FromRgba8(3, 1, a), ib = TCompareInput::FromRgba8(3, 1, b);
  struct Case {
    int factor;
    std::vector<std::uint8_t> expected;
  };
  for (const Case& c : {Case{1, {3, 10, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255}},
                        Case{16, {48, 160, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255}},
                        Case{64, {192, 255, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255}}}) {
    EXPECT_EQ(DifferenceImage(ia, ib, c.factor), c.expected) << c.factor;
  }
  const std::uint8_t mark[3] = {255, 0, 255};
  std::uint8_t out[12];
  // Threshold 9: the first pixel (10 off) and the alpha-only second (55 off) are marked.
  MarkedRow(ia, ib, 0, 3, 9, mark, out);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 12),
            (std::vector<std::uint8_t>{255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255}));
  // Threshold 60: only the third is past it; the others are A dimmed to a quarter.
  MarkedRow(ia, ib, 0, 3, 60, mark, out);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 12),
            (std::vector<std::uint8_t>{25, 25, 25, 255, 3, 5, 8, 255, 255, 0, 255, 255}));
}

}  // namespace
}  // namespace vumo
