// Comparing two pictures the way a texture artist asks: how far apart, how many pixels, PSNR
// and SSIM, and a picture of where they differ. Both pictures are read as RGBA on a 0..255
// scale, from 8-bit rows or from float rows, over their common top-left area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vumo {

// One picture to compare: exactly one of the two row kinds is set.
struct TCompareInput {
  int Width = 0;
  int Height = 0;
  // 8-bit R, G, B, A rows, `Stride` bytes apart (Width * 4 when 0).
  const std::uint8_t* Rgba8 = nullptr;
  std::size_t Stride = 0;
  // Linear float R, G, B, A rows, Width * 4 floats each. They are compared as the viewer shows
  // them at exposure 0: colours clamped to 0..1 and put through the sRGB curve, alpha clamped,
  // both scaled to 0..255 but not rounded, so differences below one step still count.
  const float* LinearRgba = nullptr;

  static TCompareInput FromRgba8(int width, int height, const std::uint8_t* rgba, std::size_t stride = 0);
  static TCompareInput FromLinear(int width, int height, const float* rgba);
};

// Row `y`, columns [0, count), as R, G, B, A floats on 0..255.
void CompareRow(const TCompareInput& input, int y, int count, float* out);

struct TCompareResult {
  int WidthA = 0, HeightA = 0, WidthB = 0, HeightB = 0;
  // The common top-left area the figures cover.
  int Width = 0, Height = 0;
  bool SizeMismatch = false;
  // The largest |A - B| over R, G, B and A, 0..255.
  double MaxDifference = 0;
  // Pixels where any of R, G, B, A differs.
  std::uint64_t DifferingPixels = 0;
  // Over R, G and B, in dB; nothing when those agree everywhere (the error is zero).
  std::optional<double> Psnr;
  // Mean SSIM of the luma 0.299 R + 0.587 G + 0.114 B, Gaussian 11 x 11 window, sigma 1.5,
  // K1 = 0.01, K2 = 0.03, L = 255, over the windows that lie wholly inside the area; a side
  // shorter than 11 takes the longest odd window that fits. 1 for an empty area.
  double Ssim = 1;

  bool Identical() const { return !SizeMismatch && DifferingPixels == 0; }
};

// Reads both pictures a row at a time; holds only a few rows of working sums.
TCompareResult ComparePictures(const TCompareInput& a, const TCompareInput& b);

// The factors the difference picture is amplified by, in the order a key steps through them.
inline constexpr int kAmplifyFactors[] = {1, 4, 16, 64};

// One row of the difference picture over `count` columns: |A - B| of R, G and B times
// `factor`, clamped to 255, opaque; alpha differences show in the figures and the marks only.
void DifferenceRow(const TCompareInput& a, const TCompareInput& b, int y, int count, int factor, std::uint8_t* rgba);
// The same over the common area, rows top to bottom.
std::vector<std::uint8_t> DifferenceImage(const TCompareInput& a, const TCompareInput& b, int factor);

// One row with the pixels whose largest |A - B| over R, G, B, A exceeds `threshold` in
// `mark` (R, G, B) and the others A's colour dimmed to a quarter, opaque.
void MarkedRow(const TCompareInput& a, const TCompareInput& b, int y, int count, double threshold,
               const std::uint8_t mark[3], std::uint8_t* rgba);

}  // namespace vumo
