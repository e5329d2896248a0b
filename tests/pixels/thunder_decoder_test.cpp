// The ThunderScan decoder on hand-coded rows.
#include <gtest/gtest.h>

#include <vector>

#include "pixels/thunder_decoder.h"

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Decode(std::uint32_t width, const Bytes& input, std::size_t outputBytes) {
  Bytes output(outputBytes, 0xEE);
  const std::uint8_t* source = input.data();
  std::uint8_t* dest = output.data();
  TThunderDecoder(width).Decode(source, dest, static_cast<std::int32_t>(input.size()),
                                static_cast<std::int32_t>(output.size()));
  return output;
}

TEST(ThunderDecoder, DecodesRunsDeltasAndRawValues) {
  // Raw 5, then a run of 3: 5 5 5 5.
  EXPECT_EQ(Decode(4, {0xC5, 0x03}, 2), (Bytes{0x55, 0x55}));
  // Raw 7, then 2-bit deltas 0, +1, +1: 7 7 8 9.
  EXPECT_EQ(Decode(4, {0xC7, 0x45}, 2), (Bytes{0x77, 0x89}));
  // 2-bit field 2 and 3-bit field 4 write nothing: raw 4, deltas (-1, skip, +1), (+3, skip).
  EXPECT_EQ(Decode(4, {0xC4, 0x79, 0x9C}, 2), (Bytes{0x43, 0x47}));
  // 3-bit deltas -3 and -1 from 1 wrap modulo 16: raw 1, then 14, 13.
  EXPECT_EQ(Decode(3, {0xC1, 0xAF}, 2), (Bytes{0x1E, 0xD0}));
}

TEST(ThunderDecoder, RowsEndAtTheirWidthAndStartOnAByte) {
  // A run of 63 in a row of 3 stops at the row's end; the second row starts on a new byte
  // with the last pixel 0 again.
  EXPECT_EQ(Decode(3, {0xC1, 0x3F, 0x02, 0xC2}, 4), (Bytes{0x11, 0x10, 0x00, 0x20}));
  // The input ends: the rows it does not reach are left as they were.
  EXPECT_EQ(Decode(2, {0xC9, 0xC8}, 3), (Bytes{0x98, 0xEE, 0xEE}));
  EXPECT_EQ(Decode(2, {}, 1), (Bytes{0xEE}));
}

}  // namespace
}  // namespace vumo
