// Device-independent bitmaps as Windows stores them: the info header, colour masks and
// palette, and the pixel data that follows. Shared by .bmp files and icon images.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/bitmap.h"

namespace vumo::dib {

enum : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

struct TDibInfo {
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive; topDown tells the row order
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kRgb;  // one of the values above
  std::uint32_t sizeImage = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha; set for bit fields only
  TLogPalette palette;          // for 1 to 8 bits: the declared entries, black where the file has none
  // Pixel indices must stay below this (an explicit colour count); 0 when any index is allowed.
  std::uint32_t usedColors = 0;
  std::size_t infoBytes = 0;  // header, masks and palette: where tightly packed pixel data begins
};

// Parses the info header, masks and palette from `size` bytes at `data`; `room` is how many
// bytes the file has before its pixel data (at least `size` where the pixels follow the
// palette). With `icon` the height covers the colour image and the AND mask below it, and is halved.
// Raises EInvalidGraphic for values no bitmap can have, EReadError when the header is cut short.
TDibInfo ParseDibInfo(const std::uint8_t* data, std::size_t size, std::size_t room, bool icon);

// Bytes of one stored row (padded to four bytes).
std::size_t StoredRowBytes(const TDibInfo& info);
// Bytes of uncompressed pixel data the image needs; 0 for run-length data.
std::size_t UncompressedBytes(const TDibInfo& info);

// Decodes pixel data into `out` (sized and formatted here). Uncompressed data must hold
// UncompressedBytes(); run-length data that stops before the image is complete raises EReadError.
// With `iconAlpha` the fourth byte of 32-bit pixels is alpha, as icons use it; a 32-bit result
// has AlphaChannel() only when some alpha is not zero, and is otherwise made opaque.
void DecodeDibPixels(const TDibInfo& info, const std::uint8_t* pixels, std::size_t size, bool iconAlpha,
                     TBitmap& out);

}  // namespace vumo::dib
