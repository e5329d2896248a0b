// JPEG files, decoded through libjpeg.
#pragma once

#include "formats/bitmap.h"

namespace vumo {

class TJPEGImage : public TGraphic {
  VUMO_GRAPHIC_CLASS(TJPEGImage)

 public:
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  void LoadFromStream(TStream& Stream) override;
  // Decodes JPEG data held in memory.
  void LoadFromMemory(const std::uint8_t* data, std::size_t size);
  void Assign(const TGraphic& Source) override;
  const TBitmap* DrawBitmap() const override { return bitmap_.DrawBitmap(); }
  bool Grayscale() const { return grayscale_; }

 private:
  TBitmap bitmap_;
  bool grayscale_ = false;
};

}  // namespace vumo
