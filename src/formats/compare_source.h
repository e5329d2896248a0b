// A loaded bitmap as the picture comparison reads it: float samples where the picture has
// them (compared over their display encoding), its 8-bit RGBA rows otherwise.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/bitmap.h"
#include "pixels/image_compare.h"

namespace vumo {

class TCompareSource {
 public:
  TCompareSource() = default;
  // Converts 8-bit bitmaps once; float samples are read in place, so the bitmap must
  // outlive the source.
  explicit TCompareSource(const TBitmap& bitmap);

  TCompareInput Input() const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Floats() const { return floats_ != nullptr; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<std::uint8_t> rgba_;
  const TFloatPixels* floats_ = nullptr;
};

}  // namespace vumo
