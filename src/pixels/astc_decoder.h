// ASTC, LDR profile: 16-byte blocks covering 4 x 4 to 12 x 12 pixels, decoded to 8-bit pixels
// for the surfaces of bc_decoders.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/bc_decoders.h"

namespace vumo {

// Decodes one block of a `blockWidth` x `blockHeight` footprint into a tile of 4-byte pixels at
// `out`, rows `stride` bytes apart, channels in `order`. `srgb` decodes as the sRGB-encoded
// formats do. Blocks the LDR profile cannot decode (HDR endpoints, reserved encodings) give
// the error colour, opaque magenta.
void DecodeASTCBlock(const std::uint8_t* block, unsigned blockWidth, unsigned blockHeight, bool srgb,
                     std::uint8_t* out, std::size_t stride, TBlockPixelOrder order);

}  // namespace vumo
