#include "formats/jpeg_image.h"

namespace vumo {

VUMO_DEFINE_GRAPHIC_CLASS(TJPEGImage, TGraphic::ClassInfo())

void TJPEGImage::LoadFromStream(TStream&) { throw EInvalidGraphic("JPEG reading is not built yet."); }
void TJPEGImage::LoadFromMemory(const std::uint8_t*, std::size_t) { throw EInvalidGraphic("JPEG reading is not built yet."); }

void TJPEGImage::Assign(const TGraphic& Source) {
  const TBitmap* bitmap = Source.DrawBitmap();
  if (bitmap) bitmap_ = *bitmap; else bitmap_.ReleaseImage();
  if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&Source)) grayscale_ = jpeg->grayscale_;
  Changed();
}

}  // namespace vumo
