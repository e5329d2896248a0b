// Logical palettes as the colour manager builds them and bitmaps hold them.
#pragma once

#include <cstdint>
#include <vector>

namespace vumo {

struct TPaletteEntry {
  std::uint8_t peRed = 0;
  std::uint8_t peGreen = 0;
  std::uint8_t peBlue = 0;
  std::uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// At most 256 entries.
using TLogPalette = std::vector<TPaletteEntry>;

}  // namespace vumo
