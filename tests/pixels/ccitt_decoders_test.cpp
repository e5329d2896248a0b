// The fax decoders on hand-coded rows: code trees, end-of-line handling, fill order,
// byte and word alignment, two-dimensional rows and damaged data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixels/ccitt_decoders.h"

namespace vumo {
namespace {

// "0001 1..." to bytes, most significant bit first, the last byte padded with zeros.
std::vector<std::uint8_t> Bits(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  int count = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (count % 8 == 0) bytes.push_back(0);
    if (c == '1') bytes.back() |= static_cast<std::uint8_t>(0x80 >> (count % 8));
    ++count;
  }
  return bytes;
}

const std::string kEOL = "000000000001";

template <typename Decoder>
std::vector<std::uint8_t> Decode(Decoder&& decoder, const std::vector<std::uint8_t>& input, std::size_t outputBytes) {
  std::vector<std::uint8_t> output(outputBytes, 0xAA);
  const std::uint8_t* source = input.data();
  std::uint8_t* dest = output.data();
  decoder.Decode(source, dest, static_cast<std::int32_t>(input.size()), static_cast<std::int32_t>(output.size()));
  EXPECT_EQ(source, input.data());
  EXPECT_EQ(dest, output.data());
  return output;
}

using Bytes = std::vector<std::uint8_t>;

TEST(CCITTDecoder, TreesHoldEveryCodeOnceAndArePrefixFree) {
  TCCITTFax3Decoder decoder(0, false, false, 8);
  for (const auto* tree : {&decoder.WhiteTree(), &decoder.BlackTree()}) {
    int codes = 0;
    for (const auto& node : *tree) {
      if (node.Value == TCCITTDecoder::kNoValue) continue;
      ++codes;
      EXPECT_EQ(node.Zero, 0);  // a code ends at a leaf: none is the prefix of another
      EXPECT_EQ(node.One, 0);
    }
    EXPECT_EQ(codes, 64 + 27 + 13 + 1 + 4);
  }
}

TEST(CCITTFax3Decoder, DecodesOneDimensionalRows) {
  // End of line, white 3 (1000), black 5 (0011).
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "1000 0011"), 1), Bytes{0x1F});
  // A row starting black has a white run of 0 first.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "00110101 000101"), 1), Bytes{0xFF});
  // Two rows, the first ending by its width; fill zeros before the second end of line.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "1000 0011 0000000" + kEOL + "0111 11 0111"), 2),
            (Bytes{0x1F, 0x30}));
}

TEST(CCITTFax3Decoder, MakeUpAndTerminatingCodesAddUp) {
  // White 1728 (010011011) + 5 (1100) = 1733, then black 64 (0000001111) + 3 (10) = 67.
  const auto row = Decode(TCCITTFax3Decoder(0, false, false, 1800), Bits(kEOL + "010011011 1100 0000001111 10"), 225);
  for (int x : {0, 1000, 1732}) EXPECT_FALSE(row[x / 8] & (0x80 >> (x % 8))) << x;
  for (int x : {1733, 1799}) EXPECT_TRUE(row[x / 8] & (0x80 >> (x % 8))) << x;
}

TEST(CCITTFax3Decoder, ReadsLeastSignificantBitFirstWithSwapBits) {
  Bytes input = Bits(kEOL + "1000 0011");
  const Bytes original = input;
  for (auto& b : input) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
      if (b & (1 << i)) r |= static_cast<std::uint8_t>(0x80 >> i);
    b = r;
  }
  const Bytes swapped = input;
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, true, false, 8), input, 1), Bytes{0x1F});
  EXPECT_EQ(input, swapped);  // the caller's bytes stay as they were
}

TEST(CCITTFax3Decoder, RunsStopAtTheRowsEnd) {
  // White 3, black 7 (00011) in a row of 8: the run stops at the last pixel; the next row
  // after its end of line is read normally.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "1000 00011" + kEOL + "10011"), 2),
            (Bytes{0x1F, 0x00}));
}

TEST(CCITTFax3Decoder, DecodesTwoDimensionalRowsAgainstTheRowAbove) {
  // 1D row 00011111; 2D row V0 V0 (the same); 2D row VR1 V0 (00001111); 2D row pass
  // mode then V0 at the row's end (all white then... the colour stays white).
  const std::string bits = kEOL + "1" + "1000 0011" + kEOL + "0" + "1 1" + kEOL + "0" + "011 1" + kEOL + "0" + "0001 1";
  EXPECT_EQ(Decode(TCCITTFax3Decoder(kT4TwoDimensional, false, false, 8), Bits(bits), 4),
            (Bytes{0x1F, 0x1F, 0x0F, 0x00}));
  // Horizontal mode (001): white 2 (0111), black 3 (10), then V0 to the reference's end.
  const std::string horizontal = kEOL + "1" + "1000 0011" + kEOL + "0" + "001 0111 10 1";
  EXPECT_EQ(Decode(TCCITTFax3Decoder(kT4TwoDimensional, false, false, 8), Bits(horizontal), 2), (Bytes{0x1F, 0x38}));
}

// `bits` followed by an end-of-line code with fill zeros before it, so that the code ends
// on a byte, as writers with T4Options bit 2 ("aligned EOL") store it; at least one fill
// zero, so that the code never looks like a plain one.
std::string WithAlignedEol(const std::string& bits) {
  std::size_t count = 0;
  for (char c : bits) count += c == '0' || c == '1';
  std::string out = bits;
  do {
    out += '0';
    ++count;
  } while ((count + 12) % 8 != 0);
  return out + kEOL;
}

TEST(CCITTFax3Decoder, AlignedEndOfLineCodesEndShortRowsWithoutLosingTheNext) {
  // Width 16. Row 1 stops early after white 4 (1011), black 4 (011): the rest is white.
  // Row 2: white 2 (0111), black 14 (00000111). Row 3 like row 1, ending by its width.
  const std::string oneD = WithAlignedEol(WithAlignedEol(WithAlignedEol("") + "1011 011") + "0111 00000111") +
                           "1011 011 101010";
  EXPECT_EQ(Decode(TCCITTFax3Decoder(kT4FillBits, false, false, 16), Bits(oneD), 6),
            (Bytes{0x0F, 0x00, 0x3F, 0xFF, 0x0F, 0x00}));
  // Two-dimensional: a 1D first row (tag 1) of white 4, black 4, white 8 (10011); a 2D row
  // (tag 0) of V0 V0 that stops short of the row's end; a 2D row V0 V0 V0 that reaches it.
  const std::string twoD =
      WithAlignedEol(WithAlignedEol(WithAlignedEol("") + "1 1011 011 10011") + "0 1 1") + "0 1 1 1";
  EXPECT_EQ(Decode(TCCITTFax3Decoder(kT4TwoDimensional | kT4FillBits, false, false, 16), Bits(twoD), 6),
            (Bytes{0x0F, 0x00, 0x0F, 0x00, 0x0F, 0x00}));
}

TEST(CCITTFax3Decoder, DamagedDataKeepsWhatItDecoded) {
  // An invalid code (000000001) in the first row: the row keeps its first run; the second
  // row, after the next end of line, decodes.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "1000 000000001 0101" + kEOL + "1000 0011"), 2),
            (Bytes{0x00, 0x1F}));
  // The input ends in the middle of the second row: what is missing stays white.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bits(kEOL + "1000 0011" + kEOL + "0111"), 3),
            (Bytes{0x1F, 0x00, 0x00}));
  // Nothing but zeros, and nothing at all.
  EXPECT_EQ(Decode(TCCITTFax3Decoder(kT4TwoDimensional, false, false, 8), Bytes(64, 0), 2), (Bytes{0, 0}));
  EXPECT_EQ(Decode(TCCITTFax3Decoder(0, false, false, 8), Bytes{}, 1), Bytes{0});
}

// Rows one after another with no end-of-line codes: horizontal mode for white 3, black 5
// against the white row above the first; V0 V0 (the same row); VR1 V0 (00001111); then the
// end of the block, after which the room stays white whatever follows.
TEST(CCITTFax4Decoder, DecodesRowsAgainstTheRowAbove) {
  const std::string rows = "001 1000 0011" "1 1" "011 1";
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bits(rows + kEOL + kEOL + "001 1000 0011"), 5),
            (Bytes{0x1F, 0x1F, 0x0F, 0x00, 0x00}));
  // Without the end of the block the data simply ends; a row cut short keeps its changes.
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bits(rows), 4), (Bytes{0x1F, 0x1F, 0x0F, 0x00}));
  // Pass mode: a0 moves under b2 without a change, over the black run above; V0 then ends
  // the row white.
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 16), Bits("001 1000 0011 1" "0001 1"), 4),
            (Bytes{0x1F, 0x00, 0x00, 0x00}));
  // Bits least significant first.
  std::vector<std::uint8_t> swapped = Bits(rows);
  for (std::uint8_t& b : swapped) {
    std::uint8_t r = 0;
    for (int k = 0; k < 8; ++k) r = static_cast<std::uint8_t>(r | ((b >> k) & 1) << (7 - k));
    b = r;
  }
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, true, 8), swapped, 3), (Bytes{0x1F, 0x1F, 0x0F}));
}

// A damaged code (an extension code where a mode belongs) ends the data: the row keeps what
// it had, and the rows after it stay white although good codes follow.
TEST(CCITTFax4Decoder, DamagedCodesEndTheData) {
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bits("001 1000 0011" "0000001 111" "1 1 1 1"), 3),
            (Bytes{0x1F, 0x00, 0x00}));
  // A vertical step left of a0 is no position a row can have: white 3, black 1 above, V0
  // to 3, then VL3 to 1.
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bits("001 1000 010 1" "1 0000010" "1 1"), 3),
            (Bytes{0x10, 0x00, 0x00}));
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bytes(32, 0), 2), (Bytes{0, 0}));
  EXPECT_EQ(Decode(TCCITTFax4Decoder(0, false, 8), Bytes{}, 1), Bytes{0});
}

TEST(CCITTMHDecoder, RowsStartOnABoundaryOfTheInput) {
  // White 3, black 5 take one byte each row.
  EXPECT_EQ(Decode(TCCITTMHDecoder(0, false, false, 8), Bytes{0x83, 0x83}, 2), (Bytes{0x1F, 0x1F}));
  // White 2 (0111), black 6 (0010): seven bits, the eighth is padding.
  EXPECT_EQ(Decode(TCCITTMHDecoder(0, false, false, 8), Bytes{0x72, 0x83}, 2), (Bytes{0x3F, 0x1F}));
  // Word aligned: a padding byte follows each one-byte row.
  EXPECT_EQ(Decode(TCCITTMHDecoder(0, false, true, 8), Bytes{0x83, 0xFF, 0x83, 0x00}, 2), (Bytes{0x1F, 0x1F}));
  // Room for more rows than the input holds: the rest is white.
  EXPECT_EQ(Decode(TCCITTMHDecoder(0, false, false, 8), Bytes{0x83}, 3), (Bytes{0x1F, 0x00, 0x00}));
}

}  // namespace
}  // namespace vumo
