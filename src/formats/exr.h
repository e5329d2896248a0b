// OpenEXR pictures, decoded by Debian's libopenexr: scanline and tiled parts of half, float
// or unsigned channels, RGB(A), luminance (with alpha), luminance and chroma, or a single
// channel of any name shown as grey; each part of a multipart file is an image, and each
// smaller mip level of a tiled part another, after it. The display
// window is the picture, with the data window placed in it and the rest transparent.
#pragma once

#include <span>

#include "formats/reader_graphic.h"

namespace vumo {

class TByteSource;

class TEXRGraphic : public TReader<TEXRGraphic, "TEXRGraphic", &gesEXR> {
  // CanLoad: true when the file starts with OpenEXR's magic number. The position is restored.
  // ReadImageProperties: the display window and channels of the requested part; false
  // unless the file starts with the magic number.
 public:
  static bool CanLoad(TStream& Stream);
  using TReader::CanLoad;  // the file test, built on the stream test
  bool ReadImageProperties(TStream& Stream, unsigned ImageIndex) override;
  void LoadFromStream(TStream& Stream) override;

 private:
  // The rest of the file in memory, its header's attributes checked before the library reads
  // them (a file that ends inside them raises the read error, one that lies the invalid
  // image); empty when it does not start with the magic number.
  std::span<const std::uint8_t> TakeCheckedFile(TByteSource& source) const;
};

}  // namespace vumo
