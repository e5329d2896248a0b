#include "tools/thumbnail.h"

#include <algorithm>
#include <cmath>

#include "formats/bitmap_export.h"

namespace vumo {

TThumbnailSize ThumbnailSize(int width, int height, int maxSide) {
  if (width <= 0 || height <= 0 || maxSide <= 0) return {};
  if (width <= maxSide && height <= maxSide) return {width, height};
  const std::int64_t longer = std::max(width, height), shorter = std::min(width, height);
  const int scaled = static_cast<int>(std::max<std::int64_t>(1, (shorter * maxSide + longer / 2) / longer));
  return width >= height ? TThumbnailSize{maxSide, scaled} : TThumbnailSize{scaled, maxSide};
}

// Positions are measured in units that make both grids integral: source column x spans
// [x * targetWidth, (x + 1) * targetWidth), target column i spans [i * sourceWidth,
// (i + 1) * sourceWidth); the same for rows. Weights are overlaps divided by the target
// cell's length, so each target pixel's weights add up to exactly one.
TAreaScaler::TAreaScaler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      targetWidth_(targetWidth),
      targetHeight_(targetHeight),
      columns_(static_cast<std::size_t>(sourceWidth)),
      horizontal_(static_cast<std::size_t>(targetWidth) * 4),
      current_(static_cast<std::size_t>(targetWidth) * 4),
      next_(static_cast<std::size_t>(targetWidth) * 4),
      result_(static_cast<std::size_t>(targetWidth) * static_cast<std::size_t>(targetHeight) * 4) {
  const std::int64_t cell = sourceWidth;
  for (int x = 0; x < sourceWidth; ++x) {
    const std::int64_t start = std::int64_t{x} * targetWidth, end = start + targetWidth;
    const std::int64_t first = start / cell, boundary = (first + 1) * cell;
    TColumnShare& share = columns_[static_cast<std::size_t>(x)];
    share.first = static_cast<int>(first);
    share.weightFirst = static_cast<double>(std::min(end, boundary) - start) / static_cast<double>(cell);
    share.weightSecond = end > boundary ? static_cast<double>(end - boundary) / static_cast<double>(cell) : 0.0;
  }
}

void TAreaScaler::AddRow(const std::uint8_t* rgba) {
  if (sourceRow_ >= sourceHeight_) return;
  std::fill(horizontal_.begin(), horizontal_.end(), 0.0);
  for (int x = 0; x < sourceWidth_; ++x) {
    const std::uint8_t* p = rgba + static_cast<std::size_t>(x) * 4;
    const double alpha = p[3];
    const double premultiplied[4] = {p[0] * alpha, p[1] * alpha, p[2] * alpha, alpha};
    const TColumnShare& share = columns_[static_cast<std::size_t>(x)];
    double* first = horizontal_.data() + static_cast<std::size_t>(share.first) * 4;
    for (int c = 0; c < 4; ++c) first[c] += premultiplied[c] * share.weightFirst;
    if (share.weightSecond > 0)
      for (int c = 0; c < 4; ++c) first[4 + c] += premultiplied[c] * share.weightSecond;
  }

  const std::int64_t cell = sourceHeight_;
  const std::int64_t start = std::int64_t{sourceRow_} * targetHeight_, end = start + targetHeight_;
  const std::int64_t boundary = (std::int64_t{targetRow_} + 1) * cell;
  const double inCurrent = static_cast<double>(std::min(end, boundary) - start) / static_cast<double>(cell);
  const double inNext = end > boundary ? static_cast<double>(end - boundary) / static_cast<double>(cell) : 0.0;
  for (std::size_t i = 0; i < horizontal_.size(); ++i) {
    current_[i] += horizontal_[i] * inCurrent;
    next_[i] += horizontal_[i] * inNext;
  }
  ++sourceRow_;
  if (end >= boundary) {
    EmitRow(current_, targetRow_++);
    std::swap(current_, next_);
    std::fill(next_.begin(), next_.end(), 0.0);
  }
}

void TAreaScaler::EmitRow(std::vector<double>& sums, int row) {
  if (row >= targetHeight_) return;
  std::uint8_t* out = result_.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(targetWidth_) * 4;
  auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  for (int x = 0; x < targetWidth_; ++x) {
    const double* s = sums.data() + static_cast<std::size_t>(x) * 4;
    std::uint8_t* d = out + static_cast<std::size_t>(x) * 4;
    const double alpha = s[3];
    for (int c = 0; c < 3; ++c) d[c] = alpha > 0 ? clamp(s[c] / alpha) : 0;
    d[3] = clamp(alpha);
  }
}

std::vector<std::uint8_t> MakeThumbnail(const TBitmap& bitmap, int maxSide, TThumbnailSize& size) {
  size = ThumbnailSize(bitmap.Width(), bitmap.Height(), maxSide);
  if (size.Width == 0) return {};
  std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.Width()) * 4);

  // A 32-bit bitmap whose fourth byte is zero throughout carries no alpha (32-bit Windows
  // bitmaps without a mask): it is drawn opaque, not as an invisible thumbnail.
  bool opaque = bitmap.PixelFormat() != pf32bit;
  if (!opaque && !bitmap.AlphaChannel()) {
    opaque = true;
    for (int y = 0; y < bitmap.Height() && opaque; ++y) {
      const std::uint8_t* s = bitmap.ScanLine(y);
      for (int x = 0; x < bitmap.Width(); ++x)
        if (s[static_cast<std::size_t>(x) * 4 + 3] != 0) {
          opaque = false;
          break;
        }
    }
  }

  TAreaScaler scaler(bitmap.Width(), bitmap.Height(), size.Width, size.Height);
  for (int y = 0; y < bitmap.Height(); ++y) {
    ScanLineToRgba8(bitmap, y, row.data());
    if (opaque)
      for (std::size_t i = 3; i < row.size(); i += 4) row[i] = 255;
    scaler.AddRow(row.data());
  }
  return scaler.Result();
}

}  // namespace vumo
