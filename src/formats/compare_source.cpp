#include "formats/compare_source.h"

#include "formats/bitmap_export.h"

namespace vumo {

TCompareSource::TCompareSource(const TBitmap& bitmap) : width_(bitmap.Width()), height_(bitmap.Height()) {
  const TFloatPixels* floats = bitmap.FloatPixels();
  if (floats && floats->Width == width_ && floats->Height == height_) {
    floats_ = floats;
    return;
  }
  rgba_ = BitmapToRgba8(bitmap);
  if (rgba_.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4) width_ = height_ = 0;
}

TCompareInput TCompareSource::Input() const {
  if (floats_) return TCompareInput::FromLinear(width_, height_, floats_->RGBA.data());
  return TCompareInput::FromRgba8(width_, height_, rgba_.data());
}

}  // namespace vumo
