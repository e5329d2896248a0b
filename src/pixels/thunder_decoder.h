// ThunderScan's 4-bit coding (TIFF compression 32809): grey pixels two to a byte, high
// nibble first, coded as runs of the last pixel, small deltas from it and raw values.
#pragma once

#include <cstdint>

#include "pixels/decoders.h"

namespace vumo {

class TThunderDecoder : public TDecoder {
 public:
  explicit TThunderDecoder(std::uint32_t Width) : width_(Width) {}
  // PackedSize input bytes; UnpackedSize bytes of output, filled row by row, each row of
  // Width pixels starting on a byte. Rows the input does not reach are left as they were.
  // Neither pointer is written back.
  void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
              std::int32_t UnpackedSize) override;
  void Encode(const std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t&) override {}

 private:
  std::uint32_t width_;
};

}  // namespace vumo
