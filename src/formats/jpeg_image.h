// JPEG files, decoded through libjpeg.
#pragma once

#include <string>

#include "formats/bitmap.h"

namespace vumo {

class TJPEGImage : public TGraphicOf<TJPEGImage, TGraphic, "TJPEGImage"> {
 public:
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  void LoadFromStream(TStream& Stream) override;
  // Decodes JPEG data held in memory.
  void LoadFromMemory(const std::uint8_t* data, std::size_t size);
  void Assign(const TGraphic& Source) override;
  const TBitmap* DrawBitmap() const override { return bitmap_.DrawBitmap(); }
  bool Grayscale() const { return grayscale_; }
  // libjpeg's first warning for the last load (data cut short, damaged data it got past);
  // empty when the file decoded cleanly.
  const std::string& Warning() const { return warning_; }

 private:
  // From `size` bytes at `data`, or read from `stream` when it is given.
  void Load(const std::uint8_t* data, std::size_t size, TStream* stream);

  TBitmap bitmap_;
  bool grayscale_ = false;
  std::string warning_;
};

}  // namespace vumo
