// Feeds arbitrary blocks to every block decoder (BC, ETC, EAC, ASTC at every footprint) at a
// size taken from the first bytes: none
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
  if (size < 4) return 0;
  static constexpr std::uint8_t kFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                                      {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};
  vumo::TBlockKind format(static_cast<vumo::TBlockFormat>((data[0] & 0x7F) % 20));
  if (format.Format == vumo::TBlockFormat::ASTC || format.Format == vumo::TBlockFormat::ASTCsRGB) {
    format.Width = kFootprints[data[3] % 14][0];
    format.Height = kFootprints[data[3] % 14][1];
  }
  const auto order = data[0] & 0x80 ? vumo::poBGRA : vumo::poRGBA;
  const std::uint32_t width = data[1] % 67 + 1, height = data[2] % 67 + 1;
  data += 4;
  size -= 4;
  const std::size_t pixelBytes = vumo::BlockFormatIsFloat(format) ? 16 : 4;
  const std::size_t rowBytes = width * pixelBytes, padding = 12, stride = rowBytes + padding;
  std::vector<std::uint8_t> out(stride * height, 0xCD);
  const std::uint32_t rows = vumo::DecodeBlocks(format, size ? data : nullptr, size, width, height, out.data(), stride, order);
  if (rows > height || (rows % format.Height != 0 && rows != height)) std::abort();
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
