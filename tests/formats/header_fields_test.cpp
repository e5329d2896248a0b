// Header fields read in order: widths by type, least significant byte first, reserved bytes
// passed over, and nothing read past the bytes there are.
#include <gtest/gtest.h>

#include <vector>

#include "formats/header_fields.h"

namespace vumo {
namespace {

TEST(HeaderFields, ReadInOrderByWidthLeastSignificantFirst) {
  const std::vector<std::uint8_t> bytes = {0x01, 0x34, 0x12, 0xEE, 0xEE, 0x78, 0x56, 0x34, 0x12, 'a', 'b', 0xFF};
  std::uint8_t byte = 0;
  std::uint16_t word = 0;
  std::uint32_t dword = 0;
  std::uint8_t name[2] = {};
  std::uint8_t last = 0;
  TLittleEndianFields(bytes.data(), bytes.size()) >> byte >> word >> Reserved(2) >> dword >> name >> last;
  EXPECT_EQ(byte, 0x01);
  EXPECT_EQ(word, 0x1234);
  EXPECT_EQ(dword, 0x12345678u);
  EXPECT_EQ(name[0], 'a');
  EXPECT_EQ(name[1], 'b');
  EXPECT_EQ(last, 0xFF);
}

TEST(HeaderFields, FieldsPastTheEndKeepTheirValues) {
  // Three bytes there: the word fits, then the byte unless passed over; nothing after it.
  const std::vector<std::uint8_t> bytes = {0x02, 0x01, 0x05, 0x99};
  for (std::size_t skipped : {std::size_t{0}, std::size_t{1}, std::size_t{1000}}) {
    std::uint16_t word = 7;
    std::uint32_t dword = 7;
    std::uint8_t run[4] = {7, 7, 7, 7};
    std::uint8_t after = 7;
    TLittleEndianFields(bytes.data(), 3) >> word >> Reserved(skipped) >> after >> dword >> run;
    EXPECT_EQ(word, 0x0102) << skipped;
    EXPECT_EQ(dword, 7u) << skipped;
    EXPECT_EQ(run[0], 7) << skipped;
    EXPECT_EQ(after, skipped == 0 ? 0x05 : 7) << skipped;
  }
}

}  // namespace
}  // namespace vumo
