#include "pixels/etc_decoders.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace vumo {
namespace {

// A block word built field by field, bits numbered as the format numbers them (63 is the top
// bit of the first byte), stored big-endian.
class TWord {
 public:
  TWord& Put(unsigned high, unsigned low, std::uint64_t value) {
    const std::uint64_t mask = ((std::uint64_t{1} << (high - low + 1)) - 1) << low;
    word_ = (word_ & ~mask) | (value << low & mask);
    return *this;
  }
  // The 2-bit colour index of the pixel at column x, row y: high bit at 16 + 4x + y, low at 4x + y.
  TWord& Index(int x, int y, unsigned index) {
    const unsigned j = static_cast<unsigned>(4 * x + y);
    return Put(16 + j, 16 + j, index >> 1).Put(j, j, index & 1);
  }
  // The 3-bit EAC index of the pixel at column x, row y: pixel 0 has bits 47 to 45.
  TWord& EACIndex(int x, int y, unsigned index) {
    const unsigned top = 47 - 3 * static_cast<unsigned>(4 * x + y);
    return Put(top, top - 2, index);
  }
  void Store(std::uint8_t* bytes) const {
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(word_ >> (56 - 8 * i));
  }

 private:
  std::uint64_t word_ = 0;
};

using TPixel = std::array<int, 4>;

struct TTile {
  std::array<std::uint8_t, 64> Bytes{};
  TPixel At(int x, int y) const {
    const std::uint8_t* p = Bytes.data() + 16 * y + 4 * x;
    return {p[0], p[1], p[2], p[3]};
  }
};

TTile Decode(TBlockFormat format, const TWord& first, const TWord* second = nullptr,
             TBlockPixelOrder order = poRGBA) {
  std::uint8_t block[16] = {};
  first.Store(block);
  if (second) second->Store(block + 8);
  TTile tile;
  DecodeETCBlock(format, block, tile.Bytes.data(), 16, order);
  return tile;
}

// Every pixel but those listed has `rest`.
void ExpectTile(const TTile& tile, TPixel rest, std::initializer_list<std::pair<std::pair<int, int>, TPixel>> listed) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      TPixel expected = rest;
      for (const auto& [at, value] : listed)
        if (at.first == x && at.second == y) expected = value;
      EXPECT_EQ(tile.At(x, y), expected) << "pixel " << x << "," << y;
    }
}

// ---------------------------------------------------------------------------------------------
// ETC1 and ETC2 colour modes

// Individual: R1 14, G1 3, B1 8 (238, 51, 136) and R2 1, G2 2, B2 15 (17, 34, 255); tables 2
// (9, 29) and 7 (47, 183).
TWord IndividualBlock(bool flip) {
  TWord w;
  w.Put(63, 60, 14).Put(59, 56, 1).Put(55, 52, 3).Put(51, 48, 2).Put(47, 44, 8).Put(43, 40, 15);
  w.Put(39, 37, 2).Put(36, 34, 7).Put(33, 33, 0).Put(32, 32, flip);
  return w.Index(0, 0, 1).Index(1, 3, 3).Index(2, 0, 2).Index(3, 3, 3);
}

TEST(ETCColor, IndividualHalvesSideBySide) {
  for (TBlockFormat format : {TBlockFormat::ETC1, TBlockFormat::ETC2RGB}) {
    // Left half: index 0 is +9, 1 is +29, 3 is -29; right half: 0 is +47, 2 is -47, 3 is -183.
    const TPixel left{247, 60, 145, 255}, right{64, 81, 255, 255};
    ExpectTile(Decode(format, IndividualBlock(false)), left,
               {{{0, 0}, {255, 80, 165, 255}},
                {{1, 3}, {209, 22, 107, 255}},
                {{2, 0}, {0, 0, 208, 255}},
                {{3, 3}, {0, 0, 72, 255}},
                {{2, 1}, right},
                {{2, 2}, right},
                {{2, 3}, right},
                {{3, 0}, right},
                {{3, 1}, right},
                {{3, 2}, right}});
  }
}

TEST(ETCColor, FlipBitStacksTheHalves) {
  const TTile tile = Decode(TBlockFormat::ETC1, IndividualBlock(true));
  // The top two rows take the first colour and table, the bottom two the second.
  EXPECT_EQ(tile.At(2, 0), (TPixel{229, 42, 127, 255}));  // index 2 of table 2: -9
  EXPECT_EQ(tile.At(3, 1), (TPixel{247, 60, 145, 255}));
  EXPECT_EQ(tile.At(0, 2), (TPixel{64, 81, 255, 255}));
  EXPECT_EQ(tile.At(1, 3), (TPixel{0, 0, 72, 255}));  // index 3 of table 7: -183
  EXPECT_EQ(tile.At(3, 3), (TPixel{0, 0, 72, 255}));
}

// Differential: R 28, dR -4, G 4, dG 2, B 3, dB 0 give (231, 33, 24) and (198, 49, 24); tables
// 0 (2, 8) and 5 (24, 80).
TWord DifferentialBlock(bool opaque = true) {
  TWord w;
  w.Put(63, 59, 28).Put(58, 56, 4).Put(55, 51, 4).Put(50, 48, 2).Put(47, 43, 3).Put(42, 40, 0);
  w.Put(39, 37, 0).Put(36, 34, 5).Put(33, 33, opaque).Put(32, 32, 0);
  return w.Index(0, 0, 2).Index(3, 0, 1).Index(3, 3, 3).Index(1, 1, 1).Index(0, 3, 3);
}

TEST(ETCColor, DifferentialSecondColourIsOffsetFromTheFirst) {
  for (TBlockFormat format : {TBlockFormat::ETC1, TBlockFormat::ETC2RGB, TBlockFormat::ETC2RGBA1}) {
    const TTile tile = Decode(format, DifferentialBlock());
    ExpectTile(tile, {233, 35, 26, 255},
               {{{0, 0}, {229, 31, 22, 255}},
                {{1, 1}, {239, 41, 32, 255}},
                {{0, 3}, {223, 25, 16, 255}},
                {{2, 0}, {222, 73, 48, 255}},
                {{2, 1}, {222, 73, 48, 255}},
                {{2, 2}, {222, 73, 48, 255}},
                {{2, 3}, {222, 73, 48, 255}},
                {{3, 1}, {222, 73, 48, 255}},
                {{3, 2}, {222, 73, 48, 255}},
                {{3, 0}, {255, 129, 104, 255}},
                {{3, 3}, {118, 0, 0, 255}}});
  }
}

// T: R1 (3 << 2 | 1) 13, G1 4, B1 9 (221, 68, 153); R2 8, G2 2, B2 15 (136, 34, 255); distance
// index 5 (32). Red's 31 + 1 overflows.
TWord TBlock(bool opaque = true) {
  TWord w;
  w.Put(63, 61, 7).Put(60, 59, 3).Put(58, 58, 0).Put(57, 56, 1).Put(55, 52, 4).Put(51, 48, 9);
  w.Put(47, 44, 8).Put(43, 40, 2).Put(39, 36, 15).Put(35, 34, 2).Put(33, 33, opaque).Put(32, 32, 1);
  return w.Index(0, 1, 1).Index(0, 2, 2).Index(0, 3, 3);
}

TEST(ETCColor, TModePaintsTheSecondColourAtThreeDistances) {
  const TTile tile = Decode(TBlockFormat::ETC2RGB, TBlock());
  ExpectTile(tile, {221, 68, 153, 255},
             {{{0, 1}, {168, 66, 255, 255}}, {{0, 2}, {136, 34, 255, 255}}, {{0, 3}, {104, 2, 223, 255}}});
}

// H: R1 5, G1 (3 << 1 | 0) 6, B1 (1 << 3 | 6) 14 (85, 102, 238); green's 29 + 3 overflows.
TWord HBlock(unsigned r2, unsigned g2, unsigned b2, bool opaque = true) {
  TWord w;
  w.Put(63, 63, 0).Put(62, 59, 5).Put(58, 56, 3).Put(55, 53, 7).Put(52, 52, 0).Put(51, 51, 1).Put(50, 50, 0);
  w.Put(49, 47, 6).Put(46, 43, r2).Put(42, 39, g2).Put(38, 35, b2).Put(34, 34, 1).Put(33, 33, opaque);
  w.Put(32, 32, 0);
  return w.Index(1, 0, 1).Index(2, 0, 2).Index(3, 0, 3);
}

TEST(ETCColor, HModeDistanceTakesItsLowBitFromTheOrderOfTheColours) {
  // Second colour (170, 17, 204) above the first: distance index 4 (23).
  ExpectTile(Decode(TBlockFormat::ETC2RGB, HBlock(10, 1, 12)), {108, 125, 255, 255},
             {{{1, 0}, {62, 79, 215, 255}}, {{2, 0}, {193, 40, 227, 255}}, {{3, 0}, {147, 0, 181, 255}}});
  // Second colour black, below the first: distance index 5 (32).
  ExpectTile(Decode(TBlockFormat::ETC2RGB, HBlock(0, 0, 0)), {117, 134, 255, 255},
             {{{1, 0}, {53, 70, 206, 255}}, {{2, 0}, {32, 32, 32, 255}}, {{3, 0}, {0, 0, 0, 255}}});
}

// Planar: O (40, 84, 29), H (63, 0, 63), V (0, 127, 10) in 6, 7 and 6 bits; blue's 31 + 2
// overflows.
TWord PlanarBlock(bool opaque = true) {
  TWord w;
  w.Put(62, 57, 40).Put(56, 56, 1).Put(54, 49, 20).Put(48, 48, 0).Put(47, 45, 7).Put(44, 43, 3).Put(41, 39, 5);
  w.Put(38, 34, 31).Put(33, 33, opaque).Put(32, 32, 1);
  w.Put(31, 25, 0).Put(24, 19, 63).Put(18, 13, 0).Put(12, 6, 127).Put(5, 0, 10);
  return w;
}

TEST(ETCColor, PlanarModeInterpolatesThreeColours) {
  const TTile tile = Decode(TBlockFormat::ETC2RGB, PlanarBlock());
  // O, H, V as 8 bits: (162, 169, 117), (255, 0, 255), (0, 255, 40); each channel is
  // (x (H - O) + y (V - O) + 4 O + 2) >> 2.
  EXPECT_EQ(tile.At(0, 0), (TPixel{162, 169, 117, 255}));
  EXPECT_EQ(tile.At(3, 0), (TPixel{232, 42, 221, 255}));
  EXPECT_EQ(tile.At(0, 3), (TPixel{41, 234, 59, 255}));
  EXPECT_EQ(tile.At(3, 3), (TPixel{110, 107, 163, 255}));
  EXPECT_EQ(tile.At(1, 2), (TPixel{104, 170, 113, 255}));
}

TEST(ETCColor, PlanarModeClampsBeyondItsCorners) {
  TWord w;
  // O (0, 127, 29), H (63, 0, 0), V (63, 0, 0): red climbs past 255, green and blue fall below 0.
  w.Put(62, 57, 0).Put(56, 56, 1).Put(54, 49, 63).Put(47, 45, 7).Put(44, 43, 3).Put(41, 39, 5);
  w.Put(38, 34, 31).Put(33, 33, 1).Put(32, 32, 1).Put(18, 13, 63);
  const TTile tile = Decode(TBlockFormat::ETC2RGB, w);
  EXPECT_EQ(tile.At(0, 0), (TPixel{0, 255, 117, 255}));
  EXPECT_EQ(tile.At(3, 3), (TPixel{255, 0, 0, 255}));
}

TEST(ETCColor, BGRAOrderSwapsRedAndBlue) {
  const TTile tile = Decode(TBlockFormat::ETC2RGB, TBlock(), nullptr, poBGRA);
  EXPECT_EQ(tile.At(0, 0), (TPixel{153, 68, 221, 255}));
  EXPECT_EQ(tile.At(0, 3), (TPixel{223, 2, 104, 255}));
}

// ---------------------------------------------------------------------------------------------
// Punch-through alpha

TEST(ETCPunchThrough, DifferentialWithoutOpaqueBitHasTransparentBlackAndNoSmallModifiers) {
  // The same bits in ETC2 RGB would be an individual block; here they stay differential.
  const TTile tile = Decode(TBlockFormat::ETC2RGBA1, DifferentialBlock(false));
  ExpectTile(tile, {231, 33, 24, 255},
             {{{0, 0}, {0, 0, 0, 0}},
              {{1, 1}, {239, 41, 32, 255}},
              {{0, 3}, {223, 25, 16, 255}},
              {{2, 0}, {198, 49, 24, 255}},
              {{2, 1}, {198, 49, 24, 255}},
              {{2, 2}, {198, 49, 24, 255}},
              {{2, 3}, {198, 49, 24, 255}},
              {{3, 1}, {198, 49, 24, 255}},
              {{3, 2}, {198, 49, 24, 255}},
              {{3, 0}, {255, 129, 104, 255}},
              {{3, 3}, {118, 0, 0, 255}}});
}

TEST(ETCPunchThrough, TAndHModesMakeIndexTwoTransparent) {
  ExpectTile(Decode(TBlockFormat::ETC2RGBA1, TBlock(false)), {221, 68, 153, 255},
             {{{0, 1}, {168, 66, 255, 255}}, {{0, 2}, {0, 0, 0, 0}}, {{0, 3}, {104, 2, 223, 255}}});
  ExpectTile(Decode(TBlockFormat::ETC2RGBA1, HBlock(10, 1, 12, false)), {108, 125, 255, 255},
             {{{1, 0}, {62, 79, 215, 255}}, {{2, 0}, {0, 0, 0, 0}}, {{3, 0}, {147, 0, 181, 255}}});
  // With the opaque bit set, they decode as in ETC2 RGB.
  ExpectTile(Decode(TBlockFormat::ETC2RGBA1, TBlock(true)), {221, 68, 153, 255},
             {{{0, 1}, {168, 66, 255, 255}}, {{0, 2}, {136, 34, 255, 255}}, {{0, 3}, {104, 2, 223, 255}}});
}

TEST(ETCPunchThrough, PlanarIsOpaqueWhateverTheOpaqueBit) {
  const TTile opaque = Decode(TBlockFormat::ETC2RGBA1, PlanarBlock(true));
  const TTile cleared = Decode(TBlockFormat::ETC2RGBA1, PlanarBlock(false));
  EXPECT_EQ(opaque.Bytes, cleared.Bytes);
  EXPECT_EQ(cleared.At(3, 3), (TPixel{110, 107, 163, 255}));
}

// ---------------------------------------------------------------------------------------------
// EAC

// An EAC word: base, multiplier, table, and the index of every pixel (3 at column 0, row 1,
// the pixel the format's worked examples use, and 7 at column 3, row 3).
TWord EACBlock(unsigned base, unsigned multiplier, unsigned table, unsigned rest = 4) {
  TWord w;
  w.Put(63, 56, base).Put(55, 52, multiplier).Put(51, 48, table);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) w.EACIndex(x, y, rest);
  return w.EACIndex(0, 1, 3).EACIndex(3, 3, 7);
}

// 11-bit values as the viewer shows them in 8 bits, rounded.
int Unsigned8(int v11) { return (v11 * 255 + 1023) / 2047; }
int Signed8(int v11) { return ((v11 + 1023) * 255 + 1023) / 2046; }

TEST(EACAlpha, EightBitAlphaFollowsTheWorkedExampleAndClamps) {
  // Base 103, table 13, multiplier 2: index 3 (-10) gives 83, index 4 (0) 103, index 7 (9) 121.
  const TWord color = DifferentialBlock();
  const TTile tile = Decode(TBlockFormat::ETC2RGBA, EACBlock(103, 2, 13), &color);
  EXPECT_EQ(tile.At(0, 1), (TPixel{233, 35, 26, 83}));
  EXPECT_EQ(tile.At(0, 0), (TPixel{229, 31, 22, 103}));
  EXPECT_EQ(tile.At(3, 3), (TPixel{118, 0, 0, 121}));
  // Multiplier 0 leaves every pixel at the base.
  const TTile flat = Decode(TBlockFormat::ETC2RGBA, EACBlock(103, 0, 13), &color);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(flat.At(x, y)[3], 103);
  // Table 0 at multiplier 15: 250 + 14 * 15 clamps to 255, 5 - 15 * 15 to 0.
  EXPECT_EQ(Decode(TBlockFormat::ETC2RGBA, EACBlock(250, 15, 0), &color).At(3, 3)[3], 255);
  EXPECT_EQ(Decode(TBlockFormat::ETC2RGBA, EACBlock(250, 15, 0), &color).At(0, 1)[3], 25);
  EXPECT_EQ(Decode(TBlockFormat::ETC2RGBA, EACBlock(5, 15, 0), &color).At(0, 1)[3], 0);
}

TEST(EACR11, UnsignedValuesFollowTheWorkedExamples) {
  // 103 * 8 + 4 - 10 * 2 * 8 = 668; with multiplier 0 the modifier counts once: 818.
  EXPECT_EQ(Unsigned8(668), 83);
  EXPECT_EQ(Unsigned8(818), 102);
  const TTile tile = Decode(TBlockFormat::EACR11, EACBlock(103, 2, 13));
  EXPECT_EQ(tile.At(0, 1), (TPixel{83, 83, 83, 255}));
  EXPECT_EQ(tile.At(1, 1), (TPixel{Unsigned8(828), Unsigned8(828), Unsigned8(828), 255}));
  EXPECT_EQ(Decode(TBlockFormat::EACR11, EACBlock(103, 0, 13)).At(0, 1)[0], 102);
  EXPECT_EQ(Decode(TBlockFormat::EACR11, EACBlock(103, 0, 13)).At(3, 3)[0], Unsigned8(837));
}

TEST(EACR11, UnsignedValuesClampToElevenBits) {
  // 255 * 8 + 4 + 14 * 15 * 8 passes 2047; 0 * 8 + 4 - 15 * 15 * 8 falls below 0.
  EXPECT_EQ(Decode(TBlockFormat::EACR11, EACBlock(255, 15, 0)).At(3, 3)[0], 255);
  EXPECT_EQ(Decode(TBlockFormat::EACR11, EACBlock(0, 15, 0)).At(0, 1)[0], 0);
  // The top base alone stays below 2047: 2044 rounds to 255, 2044 - 3 * 8 = 2020 to 252.
  EXPECT_EQ(Decode(TBlockFormat::EACR11, EACBlock(255, 1, 0, 0)).At(2, 2)[0], 252);
}

TEST(EACR11, SignedValuesFollowTheWorkedExamplesAndClamp) {
  // 60 * 8 - 10 * 2 * 8 = 320; with multiplier 0: 480 - 10 = 470.
  EXPECT_EQ(Signed8(320), 167);
  EXPECT_EQ(Signed8(470), 186);
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(60, 2, 13)).At(0, 1), (TPixel{167, 167, 167, 255}));
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(60, 0, 13)).At(0, 1)[0], 186);
  // Zero is 128, as BC4S shows it.
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(0, 0, 13)).At(1, 1)[0], 128);
  // The code -128 is read as -127: -1016 is 1, not the -1023 that clamping -1024 would give.
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(0x80, 0, 13)).At(1, 1)[0], 1);
  // -127 * 8 - 15 * 15 * 8 clamps to -1023, 127 * 8 + 14 * 15 * 8 to 1023.
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(0x81, 15, 0)).At(0, 1)[0], 0);
  EXPECT_EQ(Decode(TBlockFormat::EACR11S, EACBlock(127, 15, 0)).At(3, 3)[0], 255);
}

TEST(EACRG11, TwoChannelsAreRedAndGreen) {
  const TWord red = EACBlock(103, 2, 13), green = EACBlock(60, 2, 13);
  const TTile tile = Decode(TBlockFormat::EACRG11, red, &green);
  EXPECT_EQ(tile.At(0, 1), (TPixel{83, Unsigned8(60 * 8 + 4 - 160), 0, 255}));
  EXPECT_EQ(Decode(TBlockFormat::EACRG11, red, &green, poBGRA).At(0, 1), (TPixel{0, Unsigned8(324), 83, 255}));
  const TTile signedTile = Decode(TBlockFormat::EACRG11S, green, &red);
  EXPECT_EQ(signedTile.At(0, 1), (TPixel{167, Signed8(103 * 8 - 160), 0, 255}));
}

}  // namespace
}  // namespace vumo
