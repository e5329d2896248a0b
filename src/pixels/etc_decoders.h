// ETC1, ETC2 and EAC: 4 x 4 blocks of 8 bytes (colour, one EAC channel) or 16 (ETC2 RGBA,
// EAC RG11), decoded to 8-bit pixels for the surfaces of bc_decoders.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/bc_decoders.h"

namespace vumo {

// Decodes one block of `format` (one of the ETC and EAC formats) into a 4 x 4 tile of 4-byte
// pixels at `out`, rows `stride` bytes apart, channels in `order`.
void DecodeETCBlock(TBlockFormat format, const std::uint8_t* block, std::uint8_t* out, std::size_t stride,
                    TBlockPixelOrder order);

}  // namespace vumo
