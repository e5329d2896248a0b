// Windows icons (.ico): the largest, deepest image of the file, its AND mask as transparency.
#pragma once

#include "formats/bitmap.h"

namespace vumo {

class TIcon : public TGraphicOf<TIcon, TGraphic, "TIcon"> {
 public:
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  void LoadFromStream(TStream& Stream) override;
  void Assign(const TGraphic& Source) override;
  const TBitmap* DrawBitmap() const override { return bitmap_.DrawBitmap(); }

 private:
  TBitmap bitmap_;  // 32 bits per pixel with its alpha channel in use
};

}  // namespace vumo
