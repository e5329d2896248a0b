#include "pixels/bc_decoders.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "pixels/float_pixels.h"

#ifdef VUMO_HAVE_SQUISH
#include <squish.h>
#endif

namespace vumo {
namespace {

using TTile = std::array<std::uint8_t, 64>;  // one decoded block, R, G, B, A
using TFloatTile = std::array<float, 64>;

TTile Decode(TBlockFormat format, const std::uint8_t* block, TBlockPixelOrder order = poRGBA) {
  TTile tile{};
  DecodeBlock(format, block, tile.data(), 16, order);
  return tile;
}

TFloatTile DecodeFloat(TBlockFormat format, const std::uint8_t* block) {
  TFloatTile tile{};
  DecodeBlock(format, block, tile.data(), 64);
  return tile;
}

// Packs fields into a 128-bit block from the lowest bit up.
class TBlockWriter {
 public:
  TBlockWriter& Put(std::uint32_t value, unsigned bits) {
    for (unsigned k = 0; k < bits; ++k, ++pos_)
      if (value >> k & 1) bytes_[pos_ / 8] |= static_cast<std::uint8_t>(1u << (pos_ % 8));
    return *this;
  }
  TBlockWriter& SetBit(unsigned bit) {
    bytes_[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    return *this;
  }
  unsigned Position() const { return pos_; }
  const std::uint8_t* data() const { return bytes_.data(); }

 private:
  std::array<std::uint8_t, 16> bytes_{};
  unsigned pos_ = 0;
};

// ---------------------------------------------------------------------------------------------
// BC1 to BC3 against libsquish

#ifdef VUMO_HAVE_SQUISH
struct TSquishCase {
  TBlockFormat Format;
  int Flags;
};
constexpr TSquishCase kSquishCases[] = {
    {TBlockFormat::BC1, squish::kDxt1}, {TBlockFormat::BC2, squish::kDxt3}, {TBlockFormat::BC3, squish::kDxt5}};

TEST(BCAgainstSquish, RandomBlocksDecodeAsSquishDecodesThem) {
  // Random bytes reach every colour mode (c0 > c1, c0 <= c1) and both alpha interpolations.
  std::mt19937 random(21);
  for (const TSquishCase& c : kSquishCases) {
    for (int n = 0; n < 20000; ++n) {
      std::uint8_t block[16];
      for (auto& b : block) b = static_cast<std::uint8_t>(random());
      if (n % 7 == 0) std::memcpy(block + BlockBytes(c.Format) - 8, block + BlockBytes(c.Format) - 6, 2);  // c0 == c1
      std::uint8_t expected[64];
      squish::Decompress(expected, block, c.Flags);
      const TTile ours = Decode(c.Format, block);
      ASSERT_EQ(0, std::memcmp(expected, ours.data(), 64)) << "format " << int(c.Format) << " block " << n;
    }
  }
}

TEST(BCAgainstSquish, PicturesSquishCompressedDecodeAsSquishDecodesThem) {
  // An odd size, so the right and bottom blocks are cut; a gradient with alpha and noise.
  const int width = 37, height = 23;
  std::vector<std::uint8_t> rgba(width * height * 4);
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &rgba[(y * width + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 7);
      p[1] = static_cast<std::uint8_t>(y * 11);
      p[2] = static_cast<std::uint8_t>(random() % 256);
      p[3] = static_cast<std::uint8_t>(x < 10 ? 0 : (x + y) * 5);
    }
  for (const TSquishCase& c : kSquishCases) {
    std::vector<std::uint8_t> blocks(squish::GetStorageRequirements(width, height, c.Flags));
    squish::CompressImage(rgba.data(), width, height, blocks.data(), c.Flags);
    std::vector<std::uint8_t> expected(rgba.size()), ours(rgba.size(), 0xAA);
    squish::DecompressImage(expected.data(), width, height, blocks.data(), c.Flags);
    ASSERT_EQ(static_cast<std::uint32_t>(height), DecodeBlocks(c.Format, blocks.data(), blocks.size(), width, height,
                                                               ours.data(), width * 4));
    EXPECT_EQ(expected, ours) << "format " << int(c.Format);
  }
}
#endif

TEST(BC1, PunchThroughModeHasHalfwayColourAndTransparentBlack) {
  // c0 = pure red 565, c1 = pure blue; c0 <= c1 chooses the three-colour mode.
  const std::uint8_t block[8] = {0x1F, 0x00, 0x00, 0xF8, 0b11100100, 0, 0, 0};
  const TTile t = Decode(TBlockFormat::BC1, block);
  const std::uint8_t expected[16] = {0, 0, 255, 255, 255, 0, 0, 255, 127, 0, 127, 255, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(t.data(), expected, 16));
}

// ---------------------------------------------------------------------------------------------
// Surfaces

TEST(BCSurface, EdgeBlocksAreCutAndShortDataKeepsWholeBlockRows) {
  std::mt19937 random(3);
  std::vector<std::uint8_t> blocks(2 * 2 * 16);
  for (auto& b : blocks) b = static_cast<std::uint8_t>(random());
  // The whole 8 x 8 surface, then a 6 x 5 one of the same blocks: its pixels are the corner.
  std::vector<std::uint8_t> full(8 * 8 * 4), cut(6 * 5 * 4, 0xEE);
  ASSERT_EQ(8u, DecodeBlocks(TBlockFormat::BC3, blocks.data(), blocks.size(), 8, 8, full.data(), 32));
  ASSERT_EQ(5u, DecodeBlocks(TBlockFormat::BC3, blocks.data(), blocks.size(), 6, 5, cut.data(), 24));
  for (int y = 0; y < 5; ++y) EXPECT_EQ(0, std::memcmp(&full[y * 32], &cut[y * 24], 24)) << y;

  // One byte short of the second block row: only the first is written, the rest stays.
  std::vector<std::uint8_t> partial(8 * 8 * 4, 0xEE);
  EXPECT_EQ(4u, DecodeBlocks(TBlockFormat::BC3, blocks.data(), blocks.size() - 1, 8, 8, partial.data(), 32));
  EXPECT_EQ(0, std::memcmp(full.data(), partial.data(), 4 * 32));
  for (std::size_t i = 4 * 32; i < partial.size(); ++i) ASSERT_EQ(0xEE, partial[i]);
  EXPECT_EQ(0u, DecodeBlocks(TBlockFormat::BC3, nullptr, 0, 8, 8, partial.data(), 32));

  // The row stride is honoured: padding past the pixels is never written.
  std::vector<std::uint8_t> padded(5 * 40, 0xEE);
  DecodeBlocks(TBlockFormat::BC3, blocks.data(), blocks.size(), 6, 5, padded.data(), 40);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(0, std::memcmp(&padded[y * 40], &cut[y * 24], 24));
    for (int x = 24; x < 40; ++x) ASSERT_EQ(0xEE, padded[y * 40 + x]);
  }
}

TEST(BCSurface, SizesCountWholeBlocks) {
  EXPECT_EQ(8u, BlockSurfaceBytes(TBlockFormat::BC1, 1, 1));
  EXPECT_EQ(2u * 3 * 16, BlockSurfaceBytes(TBlockFormat::BC7, 5, 9));
  EXPECT_EQ(std::nullopt, BlockSurfaceBytes(TBlockFormat::BC7, 0xFFFFFFFF, 0xFFFFFFFF));
}

TEST(BCSurface, BGRAOrderSwapsRedAndBlueOfEveryFormat) {
  std::mt19937 random(5);
  for (TBlockFormat f : {TBlockFormat::BC1, TBlockFormat::BC2, TBlockFormat::BC3, TBlockFormat::BC4U,
                         TBlockFormat::BC4S, TBlockFormat::BC5U, TBlockFormat::BC5S, TBlockFormat::BC7}) {
    for (int n = 0; n < 200; ++n) {
      std::uint8_t block[16];
      for (auto& b : block) b = static_cast<std::uint8_t>(random());
      const TTile rgba = Decode(f, block), bgra = Decode(f, block, poBGRA);
      for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(rgba[i * 4], bgra[i * 4 + 2]);
        ASSERT_EQ(rgba[i * 4 + 1], bgra[i * 4 + 1]);
        ASSERT_EQ(rgba[i * 4 + 2], bgra[i * 4]);
        ASSERT_EQ(rgba[i * 4 + 3], bgra[i * 4 + 3]);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// BC4 and BC5

// Eight 3-bit indices a row, as a channel block stores them after its two endpoints.
void PutChannelIndices(std::uint8_t* block, const int (&indices)[16]) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= std::uint64_t(indices[i]) << (3 * i);
  for (int i = 0; i < 6; ++i) block[2 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

constexpr int kEveryIndex[16] = {0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};

TEST(BC4, UnsignedHasEightOrSixStepsWithBlackAndWhite) {
  std::uint8_t block[8] = {210, 70};
  PutChannelIndices(block, kEveryIndex);
  // 210 down to 70 in sevenths: 190, 170, 150, 130, 110, 90 (exact, so rounding cannot hide).
  const int eight[8] = {210, 70, 190, 170, 150, 130, 110, 90};
  TTile t = Decode(TBlockFormat::BC4U, block);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(eight[kEveryIndex[i]], t[i * 4]) << i;
    EXPECT_EQ(t[i * 4], t[i * 4 + 1]);
    EXPECT_EQ(t[i * 4], t[i * 4 + 2]);
    EXPECT_EQ(255, t[i * 4 + 3]);
  }
  // Swapped endpoints: fifths between them, then 0 and 255.
  block[0] = 70;
  block[1] = 210;
  const int six[8] = {70, 210, 98, 126, 154, 182, 0, 255};
  t = Decode(TBlockFormat::BC4U, block);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(six[kEveryIndex[i]], t[i * 4]) << i;
}

TEST(BC4, SignedSpansMinusOneToOne) {
  // 127 and -127 are the ends of the range; -128 is -1 as well.
  std::uint8_t block[8] = {127, static_cast<std::uint8_t>(-128)};
  PutChannelIndices(block, kEveryIndex);
  TTile t = Decode(TBlockFormat::BC4S, block);
  EXPECT_EQ(255, t[0]);
  EXPECT_EQ(0, t[4]);
  // Index 2 is 5/7 + -1/7 · ... = 127 · 5/7: (90.71 + 127) · 255/254 = 218.6
  EXPECT_EQ(219, t[8]);
  block[0] = 0;
  block[1] = 10;  // six-step mode: index 6 is -1, index 7 is +1, 0 is mid grey
  t = Decode(TBlockFormat::BC4S, block);
  EXPECT_EQ(128, t[0]);
  EXPECT_EQ(0, t[6 * 4]);
  EXPECT_EQ(255, t[7 * 4]);
}

TEST(BC5, RedAndGreenFromTwoChannelBlocksBlueZero) {
  std::uint8_t block[16] = {200, 100};
  block[8] = 30;
  block[9] = 60;
  PutChannelIndices(block, kEveryIndex);
  PutChannelIndices(block + 8, kEveryIndex);
  const TTile t = Decode(TBlockFormat::BC5U, block);
  EXPECT_EQ(200, t[0]);
  EXPECT_EQ(30, t[1]);
  EXPECT_EQ(100, t[4]);
  EXPECT_EQ(60, t[5]);
  EXPECT_EQ(255, t[7 * 4 + 1]);  // green in six-step mode, index 7
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(0, t[i * 4 + 2]);
    EXPECT_EQ(255, t[i * 4 + 3]);
  }
}

// ---------------------------------------------------------------------------------------------
// BC7

// A mode 6 block of two endpoint colours whose four channels share their lowest bit (the p-bit).
TBlockWriter EncodeMode6(const std::uint8_t* c0, const std::uint8_t* c1, const int (&indices)[16]) {
  TBlockWriter w;
  w.Put(1 << 6, 7);
  for (int c = 0; c < 4; ++c) w.Put(c0[c] >> 1, 7).Put(c1[c] >> 1, 7);
  w.Put(c0[0] & 1, 1).Put(c1[0] & 1, 1);
  for (int i = 0; i < 16; ++i) w.Put(static_cast<std::uint32_t>(indices[i]), i == 0 ? 3 : 4);
  return w;
}

TEST(BC7, Mode6RoundTripsTwoColourBlocks) {
  std::mt19937 random(6);
  for (int n = 0; n < 2000; ++n) {
    std::uint8_t c[2][4];
    for (int e = 0; e < 2; ++e) {
      const std::uint8_t p = random() & 1;
      for (auto& v : c[e]) v = static_cast<std::uint8_t>((random() & 0xFE) | p);
    }
    int indices[16];
    for (int i = 0; i < 16; ++i) indices[i] = i == 0 || (random() & 1) == 0 ? 0 : 15;
    const TTile t = Decode(TBlockFormat::BC7, EncodeMode6(c[0], c[1], indices).data());
    for (int i = 0; i < 16; ++i)
      ASSERT_EQ(0, std::memcmp(&t[i * 4], c[indices[i] ? 1 : 0], 4)) << n << " pixel " << i;
  }
}

TEST(BC7, Mode6InterpolatesWithTheSixteenWeights) {
  const std::uint8_t black[4] = {0, 0, 0, 0}, white[4] = {255, 255, 255, 255};
  int indices[16];
  for (int i = 0; i < 16; ++i) indices[i] = i;
  // Pixel 0 is the anchor, so its index 0 fits in three bits.
  const TTile t = Decode(TBlockFormat::BC7, EncodeMode6(black, white, indices).data());
  const int weights[16] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};
  for (int i = 0; i < 16; ++i) EXPECT_EQ((255 * weights[i] + 32) >> 6, t[i * 4 + 1]) << i;
}

// Every mode with several subsets: each subset's second endpoint lights one channel, so each
// pixel shows which subset the partition put it in and which index it read; the anchors (one
// bit less) must be where the published tables put them or every later index is shifted.
struct TSubsetCase {
  int Mode, Partition;
  int Subsets[16];
  std::uint32_t Anchors;  // pixels with one index bit less
};

constexpr TSubsetCase kSubsetCases[] = {
    {0, 1, {0, 0, 0, 1, 0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 2, 1}, 1u | 1u << 3 | 1u << 8},
    {1, 17, {0, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 1u | 1u << 2},
    {2, 8, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2}, 1u | 1u << 8 | 1u << 15},
    {3, 34, {0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0}, 1u | 1u << 6},
    {7, 18, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0}, 1u | 1u << 8},
    {4, 0, {}, 1},
    {5, 0, {}, 1},
    {6, 0, {}, 1},
};

struct TModeShape {
  int Subsets, PartitionBits, RotationBits, SelectionBits, ColorBits, AlphaBits, EndpointP, SharedP, IndexBits,
      SecondaryBits;
};
constexpr TModeShape kShapes[8] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0}, {2, 6, 0, 0, 6, 0, 0, 1, 3, 0}, {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0}, {1, 0, 2, 1, 5, 6, 0, 0, 2, 3}, {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0}, {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},
};

TEST(BC7, EveryModeReadsItsPartitionsEndpointsPBitsAndAnchors) {
  for (const TSubsetCase& c : kSubsetCases) {
    const TModeShape& m = kShapes[c.Mode];
    TBlockWriter w;
    w.Put(1u << c.Mode, static_cast<unsigned>(c.Mode + 1));
    w.Put(static_cast<std::uint32_t>(c.Partition), m.PartitionBits).Put(0, m.RotationBits).Put(0, m.SelectionBits);
    const std::uint32_t top = (1u << m.ColorBits) - 1;
    // Endpoint 0 of every subset is black, endpoint 1 full in the subset's own channel.
    for (int channel = 0; channel < 3; ++channel)
      for (int s = 0; s < m.Subsets; ++s) w.Put(0, m.ColorBits).Put(s == channel ? top : 0, m.ColorBits);
    for (int s = 0; s < m.Subsets && m.AlphaBits; ++s)
      w.Put((1u << m.AlphaBits) - 1, m.AlphaBits).Put((1u << m.AlphaBits) - 1, m.AlphaBits);
    // p-bits 0 on endpoint 0 and 1 on endpoint 1 (a shared one is 0 for both).
    for (int s = 0; s < m.Subsets && m.EndpointP; ++s) w.Put(0, 1).Put(1, 1);
    for (int s = 0; s < m.Subsets && m.SharedP; ++s) w.Put(0, 1);
    const int maxIndex = (1 << m.IndexBits) - 1;
    int indices[16];
    for (int i = 0; i < 16; ++i) {
      const bool anchor = c.Anchors >> i & 1;
      indices[i] = anchor ? 1 : 1 + (i * 5) % maxIndex;
      w.Put(static_cast<std::uint32_t>(indices[i]), m.IndexBits - anchor);
    }
    for (int i = 0; i < 16 && m.SecondaryBits; ++i) w.Put(0, m.SecondaryBits - (i == 0));
    ASSERT_EQ(128u, w.Position()) << "mode " << c.Mode;

    // The full endpoint: the colour bits, the p-bit below them, the top bits repeated.
    const int bits = m.ColorBits + (m.EndpointP | m.SharedP);
    auto expand = [bits](std::uint32_t v) { return (v << (8 - bits)) | (v << (8 - bits)) >> bits; };
    const std::uint32_t full = expand((top << (m.EndpointP | m.SharedP)) | static_cast<std::uint32_t>(m.EndpointP));
    // Endpoint 1's p-bit lifts its unlit channels a little too.
    const std::uint32_t dim = expand(static_cast<std::uint32_t>(m.EndpointP));
    static constexpr std::uint8_t kWeights2[] = {0, 21, 43, 64}, kWeights3[] = {0, 9, 18, 27, 37, 46, 55, 64},
                                   kWeights4[] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};
    const std::uint8_t* weights = m.IndexBits == 2 ? kWeights2 : m.IndexBits == 3 ? kWeights3 : kWeights4;
    // Alpha: both endpoints full, but a p-bit of 0 takes one step off endpoint 0's.
    const int alphaBits = m.AlphaBits + m.EndpointP;
    const std::uint32_t alphaTop = ((1u << m.AlphaBits) - 1) << m.EndpointP;
    const int alpha0 = m.AlphaBits ? static_cast<int>((alphaTop << (8 - alphaBits)) | (alphaTop << (8 - alphaBits)) >> alphaBits) : 255;
    const TTile t = Decode(TBlockFormat::BC7, w.data());
    for (int i = 0; i < 16; ++i) {
      const int subset = c.Subsets[i];
      const int lit = static_cast<int>((full * weights[indices[i]] + 32) >> 6);
      const int unlit = static_cast<int>((dim * weights[indices[i]] + 32) >> 6);
      for (int channel = 0; channel < 3; ++channel)
        EXPECT_EQ(channel == subset ? lit : unlit, t[i * 4 + channel]) << "mode " << c.Mode << " pixel " << i;
      // Modes 4 and 5 take alpha from their second index set, all 0 here.
      const int w = m.SecondaryBits ? 0 : weights[indices[i]];
      EXPECT_EQ((alpha0 * (64 - w) + 255 * w + 32) >> 6, t[i * 4 + 3]) << "mode " << c.Mode << " pixel " << i;
    }
  }
}

TEST(BC7, Mode4SelectsIndexSetsAndRotatesAlpha) {
  auto block = [](unsigned rotation, unsigned selection) {
    TBlockWriter w;
    w.Put(1u << 4, 5).Put(rotation, 2).Put(selection, 1);
    for (int c = 0; c < 3; ++c) w.Put(0, 5).Put(31, 5);
    w.Put(0, 6).Put(63, 6);
    for (int i = 0; i < 16; ++i) w.Put(i == 0 ? 1 : 2, i == 0 ? 1 : 2);  // 2-bit set: 21/64 at pixel 0, else 43/64
    for (int i = 0; i < 16; ++i) w.Put(i == 0 ? 3 : 5, i == 0 ? 2 : 3);  // 3-bit set: 27/64, else 46/64
    return w;
  };
  // 255 · 43/64 = 171, 255 · 46/64 = 183, 255 · 21/64 = 84, 255 · 27/64 = 108 (rounded).
  struct Case {
    unsigned Rotation, Selection;
    int Red, Green, Alpha, Red0, Alpha0;
  };
  const Case cases[] = {
      {0, 0, 171, 171, 183, 84, 108},  // colour from the 2-bit set, alpha from the 3-bit one
      {0, 1, 183, 183, 171, 108, 84},  // the selection bit swaps them
      {1, 0, 183, 171, 171, 108, 84},  // rotation 1 swaps red and alpha
  };
  for (const Case& c : cases) {
    const TTile t = Decode(TBlockFormat::BC7, block(c.Rotation, c.Selection).data());
    EXPECT_EQ(c.Red0, t[0]);
    EXPECT_EQ(c.Alpha0, t[3]);
    EXPECT_EQ(c.Red, t[5 * 4]);
    EXPECT_EQ(c.Green, t[5 * 4 + 1]);
    EXPECT_EQ(c.Alpha, t[5 * 4 + 3]);
  }
}

TEST(BC7, Mode5RotationMovesAlphaIntoBlue) {
  TBlockWriter w;
  w.Put(1u << 5, 6).Put(3, 2);
  w.Put(0, 7).Put(0, 7).Put(0, 7).Put(0, 7).Put(127, 7).Put(127, 7);  // red 0, green 0, blue 255
  w.Put(0x40, 8).Put(0x40, 8);                                        // alpha 64
  const TTile t = Decode(TBlockFormat::BC7, w.data());
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(64, t[i * 4 + 2]);
    EXPECT_EQ(255, t[i * 4 + 3]);
  }
}

TEST(BC7, ReservedModeIsTransparentBlack) {
  std::uint8_t block[16];
  std::memset(block, 0xFF, 16);
  block[0] = 0;
  const TTile t = Decode(TBlockFormat::BC7, block);
  for (std::uint8_t v : t) ASSERT_EQ(0, v);
}

// ---------------------------------------------------------------------------------------------
// BC6H

// The published unquantisation and final scaling, for values of `bits` bits.
float ExpectedHalf(int x, int bits, bool isSigned) {
  int q;
  if (!isSigned) {
    q = bits >= 15 ? x : x == 0 ? 0 : x == (1 << bits) - 1 ? 0xFFFF : ((x << 15) + 0x4000) >> (bits - 1);
    return HalfToFloat(static_cast<std::uint16_t>((q * 31) >> 6));
  }
  if (bits < 16) {
    const int sign = x < 0 ? -1 : 1, m = x < 0 ? -x : x;
    q = m == 0 ? 0 : m >= (1 << (bits - 1)) - 1 ? 0x7FFF : ((m << 15) + 0x4000) >> (bits - 1);
    q *= sign;
  } else {
    q = x;
  }
  return HalfToFloat(static_cast<std::uint16_t>(q < 0 ? 0x8000 | ((-q * 31) >> 5) : (q * 31) >> 5));
}

int SignExtend(int v, int bits) { return v >= 1 << (bits - 1) ? v - (1 << bits) : v; }

TEST(BC6H, Mode11InterpolatesTenBitEndpoints) {
  // Mode bits 00011; r0 = g0 = b0 = 512, r1 = g1 = b1 = 1023, indices 0 to 15.
  TBlockWriter w;
  w.Put(3, 5);
  for (int c = 0; c < 3; ++c) w.Put(512, 10);
  for (int c = 0; c < 3; ++c) w.Put(1023, 10);
  for (int i = 0; i < 16; ++i) w.Put(static_cast<std::uint32_t>(i), i == 0 ? 3 : 4);
  const TFloatTile t = DecodeFloat(TBlockFormat::BC6HU, w.data());
  // 512 unquantises to 32800, half 0x3E0F = 1.5146484; 1023 to 65535, half 0x7BFF = 65504.
  EXPECT_FLOAT_EQ(1.5146484f, t[0]);
  EXPECT_FLOAT_EQ(65504.0f, t[15 * 4 + 2]);
  // Index 8 weighs 34/64: (32800 · 30 + 65535 · 34 + 32) >> 6 = 50190; · 31 >> 6 = 24310 = 0x5EF6.
  EXPECT_FLOAT_EQ(HalfToFloat(0x5EF6), t[8 * 4 + 1]);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(1.0f, t[i * 4 + 3]);
}

TEST(BC6H, EveryModeFindsItsBaseEndpoint) {
  // In every mode the low bits of r0, g0 and b0 start at bits 5, 15 and 25; with every other
  // field 0, all pixels take endpoint 0 of their subset (deltas of 0 repeat it in the modes
  // that transform; mode 30 does not, and its second subset is then 0).
  struct Mode {
    int Bits, EndpointBits;
    bool TwoSubsetsUntransformed;
  };
  const Mode modes[14] = {{0, 10, false},  {1, 7, false},  {2, 11, false}, {6, 11, false}, {10, 11, false},
                          {14, 9, false},  {18, 8, false}, {22, 8, false}, {26, 8, false}, {30, 6, true},
                          {3, 10, false},  {7, 11, false}, {11, 12, false}, {15, 16, false}};
  const int base[3] = {40, 33, 24};  // six bits each, the top one set in two of them
  const int secondSubset[16] = {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1};
  for (const Mode& m : modes) {
    TBlockWriter w;
    w.Put(static_cast<std::uint32_t>(m.Bits), m.Bits < 2 ? 2 : 5);
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 6; ++k)
        if (base[c] >> k & 1) w.SetBit(static_cast<unsigned>(5 + 10 * c + k));
    for (bool isSigned : {false, true}) {
      const TFloatTile t = DecodeFloat(isSigned ? TBlockFormat::BC6HS : TBlockFormat::BC6HU, w.data());
      for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) {
          const int x = isSigned ? SignExtend(base[c], m.EndpointBits) : base[c];
          const float expected = m.TwoSubsetsUntransformed && secondSubset[i] ? 0.0f : ExpectedHalf(x, m.EndpointBits, isSigned);
          ASSERT_EQ(expected, t[i * 4 + c]) << "mode " << m.Bits << (isSigned ? " signed" : "") << " pixel " << i;
        }
    }
  }
}

TEST(BC6H, TransformedDeltasAreSignedAndWrap) {
  // Mode 0: r0 at bits 5..14, g0 15..24, b0 25..34, r1 35..39, g1 45..49, b1 55..59; three-bit
  // indices from bit 82, pixel 0 (an anchor) two bits, pixel 1 from bit 84.
  TBlockWriter w;
  w.Put(0, 2);
  auto put = [&w](unsigned at, std::uint32_t v, unsigned bits) {
    for (unsigned k = 0; k < bits; ++k)
      if (v >> k & 1) w.SetBit(at + k);
  };
  put(5, 1020, 10);   // r0
  put(15, 100, 10);   // g0
  put(25, 300, 10);   // b0
  put(35, 15, 5);     // r1 = r0 + 15, wrapping to 11
  put(45, 0x1F, 5);   // g1 = g0 - 1
  put(55, 0x10, 5);   // b1 = b0 - 16
  put(84, 7, 3);      // pixel 1 takes endpoint 1
  const TFloatTile u = DecodeFloat(TBlockFormat::BC6HU, w.data());
  EXPECT_EQ(ExpectedHalf(1020, 10, false), u[0]);
  EXPECT_EQ(ExpectedHalf(11, 10, false), u[4]);
  EXPECT_EQ(ExpectedHalf(99, 10, false), u[5]);
  EXPECT_EQ(ExpectedHalf(284, 10, false), u[6]);
  // Signed, r0 is -4 and r1 is -4 + 15.
  const TFloatTile s = DecodeFloat(TBlockFormat::BC6HS, w.data());
  EXPECT_EQ(ExpectedHalf(-4, 10, true), s[0]);
  EXPECT_LT(s[0], 0.0f);
  EXPECT_EQ(ExpectedHalf(11, 10, true), s[4]);
}

TEST(BC6H, ReversedFieldsFillTheirHighBitFirst) {
  // Mode 15 keeps r0[10:15] at bits 39..44 reversed: bit 39 is r0's bit 15. r1 is a delta of 0.
  TBlockWriter w;
  w.Put(15, 5).SetBit(39);
  const TFloatTile t = DecodeFloat(TBlockFormat::BC6HU, w.data());
  // 0x8000 taken as is at 16 bits, · 31 >> 6 = 0x3E00 = 1.5.
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(1.5f, t[i * 4]);
    EXPECT_EQ(0.0f, t[i * 4 + 1]);
  }
  // Signed, the same bits are -32768, which must end as the lowest finite half, not -infinity.
  const TFloatTile s = DecodeFloat(TBlockFormat::BC6HS, w.data());
  EXPECT_EQ(-65504.0f, s[0]);
}

TEST(BC6H, ReservedModesAreOpaqueBlack) {
  for (std::uint8_t mode : {19, 23, 27, 31}) {
    std::uint8_t block[16];
    std::memset(block, 0xA5, 16);
    block[0] = static_cast<std::uint8_t>(0xE0 | mode);
    const TFloatTile t = DecodeFloat(TBlockFormat::BC6HS, block);
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(0.0f, t[i * 4]);
      EXPECT_EQ(1.0f, t[i * 4 + 3]);
    }
  }
}

}  // namespace
}  // namespace vumo
