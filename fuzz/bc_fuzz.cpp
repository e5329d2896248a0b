// Feeds arbitrary blocks to every block decoder at a size taken from the first bytes: none
// may write outside the rows' pixels (the padding after each row is checked), and BC6H never
// yields an infinity or NaN, which its format cannot express.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixels/bc_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto format = static_cast<vumo::TBlockFormat>(data[0] % 10);
  const auto order = data[0] & 0x80 ? vumo::poBGRA : vumo::poRGBA;
  const std::uint32_t width = data[1] % 67 + 1, height = data[2] % 67 + 1;
  data += 3;
  size -= 3;
  const std::size_t pixelBytes = vumo::BlockFormatIsFloat(format) ? 16 : 4;
  const std::size_t rowBytes = width * pixelBytes, padding = 12, stride = rowBytes + padding;
  std::vector<std::uint8_t> out(stride * height, 0xCD);
  const std::uint32_t rows = vumo::DecodeBlocks(format, size ? data : nullptr, size, width, height, out.data(), stride, order);
  if (rows > height || (rows % 4 != 0 && rows != height)) std::abort();
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::size_t x = rowBytes; x < stride; ++x)
      if (out[y * stride + x] != 0xCD) std::abort();
    if (y >= rows)
      for (std::size_t x = 0; x < rowBytes; ++x)
        if (out[y * stride + x] != 0xCD) std::abort();
  }
  if (pixelBytes == 16)
    for (std::uint32_t y = 0; y < rows; ++y)
      for (std::size_t i = 0; i < width * 4; ++i) {
        float v;
        std::memcpy(&v, &out[y * stride + i * 4], 4);
        if (!std::isfinite(v)) std::abort();
      }
  return 0;
}
