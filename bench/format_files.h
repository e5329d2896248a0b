// The benchmark files that each format's own benchmark writes with its peer library, for the
// benchmarks of whole loads from a file. Kinds are the numbers those benchmarks take.
#pragma once

#include <cstdint>
#include <vector>

namespace vumo::bench {

// 0 RGB8, 1 RGBA8, 2 Adam7 RGB8, 3 RGB16, written by libpng.
const std::vector<std::uint8_t>& PngFile(int kind);
// 0 uncompressed, 1 PackBits, ... 8 PackBits of noise, as the TIFF benchmark's codings, written
// by libtiff.
const std::vector<std::uint8_t>& TiffFile(int kind);

}  // namespace vumo::bench
