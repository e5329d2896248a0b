#include "pixels/thunder_decoder.h"

#include <algorithm>
#include <cstddef>

namespace vumo {

void TThunderDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::int32_t PackedSize,
                             std::int32_t UnpackedSize) {
  static constexpr int kTwoBitDeltas[4] = {0, 1, 0, -1};     // value 2 writes nothing
  static constexpr int kThreeBitDeltas[8] = {0, 1, 2, 3, 0, -3, -2, -1};  // value 4 writes nothing
  if (!Source || !Dest || PackedSize <= 0 || UnpackedSize <= 0 || width_ == 0) return;
  const std::uint8_t* in = Source;
  const std::uint8_t* const inEnd = Source + PackedSize;
  const std::size_t rowBytes = (std::size_t{width_} + 1) / 2;
  const std::size_t rows = static_cast<std::size_t>(UnpackedSize) / rowBytes;
  for (std::size_t r = 0; r < rows && in < inEnd; ++r) {
    std::uint8_t* const row = Dest + r * rowBytes;
    std::uint32_t count = 0;
    unsigned last = 0;
    auto put = [&](unsigned pixel) {
      last = pixel & 0x0F;
      if (count & 1)
        row[count >> 1] = static_cast<std::uint8_t>(row[count >> 1] | last);
      else
        row[count >> 1] = static_cast<std::uint8_t>(last << 4);
      ++count;
    };
    while (in < inEnd && count < width_) {
      const unsigned code = *in++;
      switch (code >> 6) {
        case 0: {  // a run of the last pixel, never past the row
          const std::uint32_t n = std::min<std::uint32_t>(code & 0x3F, width_ - count);
          for (std::uint32_t i = 0; i < n; ++i) put(last);
          break;
        }
        case 1:
          for (int shift = 4; shift >= 0 && count < width_; shift -= 2) {
            const unsigned field = (code >> shift) & 3;
            if (field != 2) put(last + static_cast<unsigned>(kTwoBitDeltas[field]));
          }
          break;
        case 2:
          for (int shift = 3; shift >= 0 && count < width_; shift -= 3) {
            const unsigned field = (code >> shift) & 7;
            if (field != 4) put(last + static_cast<unsigned>(kThreeBitDeltas[field]));
          }
          break;
        default: put(code & 0x0F); break;
      }
    }
  }
}

}  // namespace vumo
