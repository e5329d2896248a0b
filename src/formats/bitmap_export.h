// Turning a bitmap into plain 8-bit RGBA rows and writing them as PNG, for the
// command-line tools and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/bitmap.h"

namespace vumo {

// Palettes expanded; 15/16-bit colours widened by replicating their top bits; the alpha
// byte of 32-bit bitmaps kept, 255 elsewhere. Rows top to bottom, 4 bytes a pixel.
std::vector<std::uint8_t> BitmapToRgba8(const TBitmap& bitmap);
// The same for one row, into `out`, which holds Width() * 4 bytes.
void ScanLineToRgba8(const TBitmap& bitmap, int row, std::uint8_t* out);

// Encodes 8-bit RGBA rows as a PNG file; raises Exception when it cannot be written.
std::vector<std::uint8_t> EncodePngRgba8(int width, int height, const std::vector<std::uint8_t>& rgba);
void WritePngRgba8(const std::string& fileName, int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace vumo
