// Thumbnails for file managers: the picture scaled down by area averaging, alpha kept.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/bitmap.h"

namespace vumo {

struct TThumbnailSize {
  int Width = 0;
  int Height = 0;
};

// The size whose longer side is at most maxSide, keeping the aspect ratio; never larger
// than the picture itself and never below one pixel on a side.
TThumbnailSize ThumbnailSize(int width, int height, int maxSide);

// Area-averaging downscale of 8-bit RGBA rows fed top to bottom: every output pixel is the
// mean of the source area it covers, weighted by alpha so that transparent pixels lend no
// colour to their neighbours. Holds only two output rows of sums besides the result.
// The target is never larger than the source on either side.
class TAreaScaler {
 public:
  TAreaScaler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);
  // One source row of sourceWidth * 4 bytes; rows past sourceHeight are ignored.
  void AddRow(const std::uint8_t* rgba);
  // targetWidth * targetHeight * 4 bytes, complete once every source row was added.
  const std::vector<std::uint8_t>& Result() const { return result_; }

 private:
  void EmitRow(std::vector<double>& sums, int row);

  int sourceWidth_, sourceHeight_, targetWidth_, targetHeight_;
  // Each source column covers at most two target columns (the target is never wider).
  struct TColumnShare {
    int first;
    double weightFirst, weightSecond;
  };
  std::vector<TColumnShare> columns_;
  std::vector<double> horizontal_;  // the current source row, resampled to the target width
  std::vector<double> current_, next_;
  int sourceRow_ = 0;
  int targetRow_ = 0;
  std::vector<std::uint8_t> result_;
};

// The thumbnail of a bitmap as 8-bit RGBA rows of the size ThumbnailSize gives.
std::vector<std::uint8_t> MakeThumbnail(const TBitmap& bitmap, int maxSide, TThumbnailSize& size);

}  // namespace vumo
