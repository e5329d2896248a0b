#include "pixels/image_compare.h"

#include <algorithm>
#include <cmath>

#include "pixels/float_pixels.h"

namespace vumo {
namespace {

// The viewer's own curve without its table and its rounding to 8 bits: a float picture keeps
// differences finer than one display step.
float DisplayEncode(float linear) {
  if (!(linear > 0.0f)) return 0.0f;  // NaN as black, as the viewer draws it
  if (linear >= 1.0f) return 255.0f;
  return static_cast<float>(SRGBEncode(linear) * 255.0);
}

float Unit255(float value) {
  if (!(value > 0.0f)) return 0.0f;
  return value >= 1.0f ? 255.0f : value * 255.0f;
}

std::uint8_t Clamp255(double value) { return static_cast<std::uint8_t>(std::min<long>(255, std::lround(value))); }

double Luma(const float* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

// The SSIM window along one axis: the Gaussian of sigma 1.5 over `size` taps, summing to 1.
std::vector<double> GaussianWindow(int size) {
  std::vector<double> taps(static_cast<std::size_t>(size));
  const double middle = (size - 1) / 2.0;
  double sum = 0;
  for (int i = 0; i < size; ++i) {
    const double d = i - middle;
    taps[static_cast<std::size_t>(i)] = std::exp(-d * d / (2 * 1.5 * 1.5));
    sum += taps[static_cast<std::size_t>(i)];
  }
  for (double& tap : taps) tap /= sum;
  return taps;
}

int WindowSize(int side) { return side >= 11 ? 11 : (side % 2 ? side : side - 1); }

// Mean SSIM over the valid windows, the luma read a row at a time: each row is filtered
// across into the five local sums, and the last `rows` of those are filtered down.
class TSsimAccumulator {
 public:
  TSsimAccumulator(int width, int height)
      : across_(GaussianWindow(WindowSize(width))),
        down_(GaussianWindow(WindowSize(height))),
        columns_(width - across_.size() + 1),
        ring_(down_.size() * kSums * columns_) {}

  void AddRow(const double* lumaA, const double* lumaB) {
    double* sums = ring_.data() + (rowsSeen_ % down_.size()) * kSums * columns_;
    for (std::size_t x = 0; x < columns_; ++x) {
      double s[kSums] = {};
      for (std::size_t k = 0; k < across_.size(); ++k) {
        const double w = across_[k], a = lumaA[x + k], b = lumaB[x + k];
        s[0] += w * a;
        s[1] += w * b;
        s[2] += w * a * a;
        s[3] += w * b * b;
        s[4] += w * a * b;
      }
      for (int q = 0; q < kSums; ++q) sums[q * columns_ + x] = s[q];
    }
    ++rowsSeen_;
    if (rowsSeen_ >= down_.size()) AddWindowRow();
  }

  double Mean() const { return windows_ ? total_ / static_cast<double>(windows_) : 1.0; }

 private:
  static constexpr int kSums = 5;
  static constexpr double kC1 = (0.01 * 255) * (0.01 * 255);
  static constexpr double kC2 = (0.03 * 255) * (0.03 * 255);

  void AddWindowRow() {
    // The oldest row in the ring is the window's top one.
    const std::size_t first = rowsSeen_ - down_.size();
    for (std::size_t x = 0; x < columns_; ++x) {
      double s[kSums] = {};
      for (std::size_t k = 0; k < down_.size(); ++k) {
        const double* sums = ring_.data() + ((first + k) % down_.size()) * kSums * columns_;
        for (int q = 0; q < kSums; ++q) s[q] += down_[k] * sums[q * columns_ + x];
      }
      const double muA = s[0], muB = s[1];
      const double varA = s[2] - muA * muA, varB = s[3] - muB * muB, cov = s[4] - muA * muB;
      total_ += ((2 * muA * muB + kC1) * (2 * cov + kC2)) / ((muA * muA + muB * muB + kC1) * (varA + varB + kC2));
      ++windows_;
    }
  }

  std::vector<double> across_, down_;
  std::size_t columns_;
  std::vector<double> ring_;
  std::size_t rowsSeen_ = 0;
  double total_ = 0;
  std::uint64_t windows_ = 0;
};

}  // namespace

TCompareInput TCompareInput::FromRgba8(int width, int height, const std::uint8_t* rgba, std::size_t stride) {
  TCompareInput input;
  input.Width = width;
  input.Height = height;
  input.Rgba8 = rgba;
  input.Stride = stride ? stride : static_cast<std::size_t>(width) * 4;
  return input;
}

TCompareInput TCompareInput::FromLinear(int width, int height, const float* rgba) {
  TCompareInput input;
  input.Width = width;
  input.Height = height;
  input.LinearRgba = rgba;
  return input;
}

void CompareRow(const TCompareInput& input, int y, int count, float* out) {
  if (input.Rgba8) {
    const std::uint8_t* row = input.Rgba8 + static_cast<std::size_t>(y) * input.Stride;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count) * 4; ++i) out[i] = row[i];
    return;
  }
  const float* row = input.LinearRgba + static_cast<std::size_t>(y) * static_cast<std::size_t>(input.Width) * 4;
  for (int x = 0; x < count; ++x, row += 4, out += 4) {
    out[0] = DisplayEncode(row[0]);
    out[1] = DisplayEncode(row[1]);
    out[2] = DisplayEncode(row[2]);
    out[3] = Unit255(row[3]);
  }
}

TCompareResult ComparePictures(const TCompareInput& a, const TCompareInput& b) {
  TCompareResult result;
  result.WidthA = std::max(a.Width, 0);
  result.HeightA = std::max(a.Height, 0);
  result.WidthB = std::max(b.Width, 0);
  result.HeightB = std::max(b.Height, 0);
  result.Width = std::min(result.WidthA, result.WidthB);
  result.Height = std::min(result.HeightA, result.HeightB);
  result.SizeMismatch = result.WidthA != result.WidthB || result.HeightA != result.HeightB;
  const int width = result.Width, height = result.Height;
  if (width == 0 || height == 0) return result;

  const std::size_t samples = static_cast<std::size_t>(width) * 4;
  std::vector<float> rowA(samples), rowB(samples);
  std::vector<double> lumaA(static_cast<std::size_t>(width)), lumaB(static_cast<std::size_t>(width));
  TSsimAccumulator ssim(width, height);
  double squaredError = 0;
  for (int y = 0; y < height; ++y) {
    CompareRow(a, y, width, rowA.data());
    CompareRow(b, y, width, rowB.data());
    for (int x = 0; x < width; ++x) {
      const float* pa = rowA.data() + static_cast<std::size_t>(x) * 4;
      const float* pb = rowB.data() + static_cast<std::size_t>(x) * 4;
      double largest = 0;
      for (int c = 0; c < 4; ++c) {
        const double d = std::fabs(static_cast<double>(pa[c]) - pb[c]);
        largest = std::max(largest, d);
        if (c < 3) squaredError += d * d;
      }
      result.MaxDifference = std::max(result.MaxDifference, largest);
      result.DifferingPixels += largest > 0;
      lumaA[static_cast<std::size_t>(x)] = Luma(pa);
      lumaB[static_cast<std::size_t>(x)] = Luma(pb);
    }
    ssim.AddRow(lumaA.data(), lumaB.data());
  }
  if (squaredError > 0) {
    const double mse = squaredError / (3.0 * width * height);
    result.Psnr = 10.0 * std::log10(255.0 * 255.0 / mse);
  }
  result.Ssim = ssim.Mean();
  return result;
}

void DifferenceRow(const TCompareInput& a, const TCompareInput& b, int y, int count, int factor, std::uint8_t* rgba) {
  std::vector<float> rowA(static_cast<std::size_t>(count) * 4), rowB(rowA.size());
  CompareRow(a, y, count, rowA.data());
  CompareRow(b, y, count, rowB.data());
  for (std::size_t i = 0; i < rowA.size(); i += 4) {
    for (std::size_t c = 0; c < 3; ++c)
      rgba[i + c] = Clamp255(std::fabs(static_cast<double>(rowA[i + c]) - rowB[i + c]) * factor);
    rgba[i + 3] = 255;
  }
}

std::vector<std::uint8_t> DifferenceImage(const TCompareInput& a, const TCompareInput& b, int factor) {
  const int width = std::max(0, std::min(a.Width, b.Width)), height = std::max(0, std::min(a.Height, b.Height));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (int y = 0; y < height; ++y)
    DifferenceRow(a, b, y, width, factor, &out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4]);
  return out;
}

void MarkedRow(const TCompareInput& a, const TCompareInput& b, int y, int count, double threshold,
               const std::uint8_t mark[3], std::uint8_t* rgba) {
  std::vector<float> rowA(static_cast<std::size_t>(count) * 4), rowB(rowA.size());
  CompareRow(a, y, count, rowA.data());
  CompareRow(b, y, count, rowB.data());
  for (std::size_t i = 0; i < rowA.size(); i += 4) {
    double largest = 0;
    for (std::size_t c = 0; c < 4; ++c)
      largest = std::max(largest, std::fabs(static_cast<double>(rowA[i + c]) - rowB[i + c]));
    for (std::size_t c = 0; c < 3; ++c) rgba[i + c] = largest > threshold ? mark[c] : Clamp255(rowA[i + c] / 4.0);
    rgba[i + 3] = 255;
  }
}

}  // namespace vumo
