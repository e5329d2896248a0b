// Small DDS files written field by field, for layouts and header flags no fixture has.
#pragma once

#include <cstring>

#include "support/test_support.h"

namespace vumo::test {

inline constexpr std::uint32_t kDDSFourCCFlag = 0x4, kDDSRGBFlag = 0x40, kDDSNormalFlag = 0x80000000;

// One image; the pixel format's flags, FourCC, bits and masks as given. A FourCC of "DX10"
// is followed by a DX10 header naming `dxgi` as a 2-D texture.
inline Bytes DDSFile(std::uint32_t width, std::uint32_t height, std::uint32_t pixelFlags, const char* fourCC,
                     std::uint32_t bits, const std::uint32_t (&masks)[4], const Bytes& pixels, std::uint32_t dxgi = 0) {
  const bool dx10 = std::strcmp(fourCC, "DX10") == 0;
  Bytes b(dx10 ? 148 : 128, 0);
  std::memcpy(b.data(), "DDS ", 4);
  std::memcpy(b.data() + 84, fourCC, std::strlen(fourCC));
  for (auto [at, value] : {std::pair<std::size_t, std::uint32_t>{4, 124}, {8, 0x1007}, {12, height}, {16, width},
                           {76, 32}, {80, pixelFlags}, {88, bits}, {92, masks[0]}, {96, masks[1]}, {100, masks[2]},
                           {104, masks[3]}, {108, 0x1000}})
    PutLittleEndian32(b, at, value);
  if (dx10) {
    PutLittleEndian32(b, 128, dxgi);
    PutLittleEndian32(b, 132, 3);
    PutLittleEndian32(b, 140, 1);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

}  // namespace vumo::test
