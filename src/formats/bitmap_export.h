// Turning a bitmap into plain 8-bit RGBA rows and writing them as PNG, for the
// command-line tools and the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/bitmap.h"

namespace vumo {

// Palettes expanded; 15/16-bit colours widened by replicating their top bits; the alpha
// byte of 32-bit bitmaps kept, 255 elsewhere. Rows top to bottom, 4 bytes a pixel.
std::vector<std::uint8_t> BitmapToRgba8(const TBitmap& bitmap);
// The same for one row, into `out`, which holds Width() * 4 bytes.
void ScanLineToRgba8(const TBitmap& bitmap, int row, std::uint8_t* out);
// The same for pixel `x` of the scan line `row`, into 4 bytes at `out`.
void PixelToRgba8(const TBitmap& bitmap, const std::uint8_t* row, int x, std::uint8_t* out);
// The palette index of pixel `x` of the scan line `row` of a 1-, 4- or 8-bit bitmap; -1 for
// the other formats.
int PaletteIndexAt(const TBitmap& bitmap, const std::uint8_t* row, int x);

// Where an encoder's bytes go, in order; it raises to stop the encoding.
using TByteSink = std::function<void(const std::uint8_t* bytes, std::size_t count)>;

// Pictures past this many pixels are deflated at zlib's fastest level: at the default one a
// picture at the pixel limit takes most of a minute, and the file is only a little smaller.
inline constexpr std::uint64_t kFastPngPixelCount = std::uint64_t{1} << 24;

// An 8-bit RGBA PNG written as its rows arrive: it holds one deflate buffer, never the
// picture, and hands the file to the sink a chunk at a time.
class TPngRgba8Writer {
 public:
  TPngRgba8Writer(int width, int height, TByteSink sink);
  ~TPngRgba8Writer();
  TPngRgba8Writer(const TPngRgba8Writer&) = delete;
  TPngRgba8Writer& operator=(const TPngRgba8Writer&) = delete;

  // The next row, width * 4 bytes.
  void AddRow(const std::uint8_t* rgba);
  // After the last row: the rest of the data and the end chunk.
  void Finish();

 private:
  struct TState;
  void Deflate(const std::uint8_t* data, std::size_t size, int flush);

  int width_, height_, rows_ = 0;
  TByteSink sink_;
  std::unique_ptr<TState> state_;
};

// The bitmap as an RGBA PNG, converted a row at a time.
void EncodeBitmapPng(const TBitmap& bitmap, const TByteSink& sink);

// Encodes 8-bit RGBA rows as a PNG file; raises Exception when it cannot be written.
std::vector<std::uint8_t> EncodePngRgba8(int width, int height, const std::vector<std::uint8_t>& rgba);
void WritePngRgba8(const std::string& fileName, int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace vumo
