#include "pixels/astc_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

#ifdef VUMO_HAVE_ASTCENC
#include <astcenc.h>
#endif

namespace vumo {
namespace {

using TTile = std::array<std::uint8_t, 12 * 12 * 4>;

TTile Decode(const std::uint8_t* block, unsigned width, unsigned height, bool srgb = false,
             TBlockPixelOrder order = poRGBA) {
  TTile tile{};
  DecodeASTCBlock(block, width, height, srgb, tile.data(), 4 * width, order);
  return tile;
}

std::array<std::uint8_t, 4> Pixel(const TTile& tile, unsigned width, unsigned x, unsigned y) {
  const std::uint8_t* p = tile.data() + 4 * (y * width + x);
  return {p[0], p[1], p[2], p[3]};
}

constexpr std::array<std::uint8_t, 4> kMagenta = {255, 0, 255, 255};

bool AllMagenta(const TTile& tile, unsigned width, unsigned height) {
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      if (Pixel(tile, width, x, y) != kMagenta) return false;
  return true;
}

// Packs fields into a 128-bit block from the lowest bit up, and weights from the top bit down.
class TBlockWriter {
 public:
  TBlockWriter& Put(std::uint32_t value, unsigned bits) {
    for (unsigned k = 0; k < bits; ++k, ++pos_) Set(pos_, value >> k & 1);
    return *this;
  }
  TBlockWriter& PutAt(unsigned at, std::uint32_t value, unsigned bits) {
    for (unsigned k = 0; k < bits; ++k) Set(at + k, value >> k & 1);
    return *this;
  }
  // Weight stream bits: bit n of the stream is bit 127 - n of the block.
  TBlockWriter& PutWeights(std::uint32_t value, unsigned bits) {
    for (unsigned k = 0; k < bits; ++k, ++weightPos_) Set(127 - weightPos_, value >> k & 1);
    return *this;
  }
  const std::uint8_t* data() const { return bytes_.data(); }

 private:
  void Set(unsigned bit, unsigned on) {
    if (on) bytes_[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
  }
  std::array<std::uint8_t, 16> bytes_{};
  unsigned pos_ = 0, weightPos_ = 0;
};

// Block mode bits for a grid of `width` x `height` weights (the rows whose width is B + 4 and
// height A + 2), with the 3-bit range R and the precision bit H.
std::uint32_t GridMode(unsigned width, unsigned height, unsigned r, unsigned h, bool dual = false) {
  EXPECT_TRUE(width >= 4 && width <= 7 && height >= 2 && height <= 5);
  return (r >> 1 & 3) | (r & 1) << 4 | (height - 2) << 5 | (width - 4) << 7 | h << 9 | (dual ? 1u : 0u) << 10;
}

// ---------------------------------------------------------------------------------------------
// Fixtures against astcenc's own decodes

struct TAstcFile {
  unsigned BlockWidth = 0, BlockHeight = 0, Width = 0, Height = 0;
  std::vector<std::uint8_t> Blocks;
};

// A small parse of the file header of its own, so these tests do not lean on the reader.
TAstcFile ReadAstc(const std::string& path) {
  const std::vector<std::uint8_t> bytes = test::ReadFile(path);
  TAstcFile file;
  if (bytes.size() < 16) return file;
  auto u24 = [&](int at) { return unsigned{bytes[at]} | unsigned{bytes[at + 1]} << 8 | unsigned{bytes[at + 2]} << 16; };
  file.BlockWidth = bytes[4], file.BlockHeight = bytes[5];
  file.Width = u24(7), file.Height = u24(10);
  file.Blocks.assign(bytes.begin() + 16, bytes.end());
  return file;
}

struct TFixture {
  const char* Name;
  bool Srgb;
};
constexpr TFixture kFixtures[] = {
    {"plasma_4x4", false},  {"plasma_5x4", false},      {"plasma_6x6_srgb", true}, {"noise_4x4", false},
    {"noise_6x5", false},   {"noise_8x8_srgb", true},   {"grey_5x5", false},       {"odd_8x6", false},
    {"odd_10x5", false},    {"big_10x10", false},       {"big_12x12", false},      {"big_12x10_srgb", true},
    {"big_8x5", false},     {"big_10x6", false},        {"big_10x8_srgb", true},
};

TEST(ASTCFixtures, EveryPixelMatchesAstcencDecode) {
  for (const TFixture& fixture : kFixtures) {
    SCOPED_TRACE(fixture.Name);
    const std::string base = test::Fixture(std::string("astc/") + fixture.Name);
    const TAstcFile file = ReadAstc(base + ".astc");
    const test::Rgba8Image reference = test::LoadReferencePng(base + ".png");
    ASSERT_EQ(reference.width, static_cast<int>(file.Width));
    ASSERT_EQ(reference.height, static_cast<int>(file.Height));
    const TBlockKind kind(fixture.Srgb ? TBlockFormat::ASTCsRGB : TBlockFormat::ASTC,
                          static_cast<std::uint8_t>(file.BlockWidth), static_cast<std::uint8_t>(file.BlockHeight));
    std::vector<std::uint8_t> pixels(std::size_t{file.Width} * file.Height * 4);
    ASSERT_EQ(DecodeBlocks(kind, file.Blocks.data(), file.Blocks.size(), file.Width, file.Height, pixels.data(),
                           4 * file.Width),
              file.Height);
    std::size_t off = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i)
      if (pixels[i] != reference.pixels[i]) {
        if (off++ < 5)
          ADD_FAILURE() << "pixel " << i / 4 % file.Width << "," << i / 4 / file.Width << " channel " << i % 4
                        << ": " << int(pixels[i]) << " against " << int(reference.pixels[i]);
      }
    EXPECT_EQ(off, 0u);
  }
}

// What the fixtures reach, from a parse of the block mode bits of our own: all partition counts,
// dual plane, void extent, weights in trits and in quints, and every class of endpoint mode.
TEST(ASTCFixtures, TogetherReachEveryBlockFeature) {
  std::set<unsigned> partitionCounts, weightKinds, endpointClasses;
  unsigned dualPlanes = 0, voidExtents = 0;
  for (const TFixture& fixture : kFixtures) {
    const TAstcFile file = ReadAstc(test::Fixture(std::string("astc/") + fixture.Name + ".astc"));
    for (std::size_t at = 0; at + 16 <= file.Blocks.size(); at += 16) {
      const std::uint8_t* b = file.Blocks.data() + at;
      const unsigned mode = b[0] | (b[1] & 7) << 8;
      if ((mode & 0x1FF) == 0x1FC) {
        ++voidExtents;
        continue;
      }
      unsigned r, h = mode >> 9 & 1, dual = mode >> 10 & 1;
      if (mode & 3) {
        r = (mode >> 4 & 1) | (mode & 3) << 1;
      } else {
        r = (mode >> 4 & 1) | (mode >> 2 & 3) << 1;
        if ((mode >> 7 & 3) == 2) h = dual = 0;
      }
      // Ranges with a trit: R 3 and 6 at both precisions; with a quint: R 5, and R 2 when high.
      weightKinds.insert(r == 3 || r == 6 ? 3 : r == 5 || (r == 2 && h) ? 5 : 2);
      dualPlanes += dual;
      const unsigned partitions = (b[1] >> 3 & 3) + 1;
      partitionCounts.insert(partitions);
      if (partitions == 1) endpointClasses.insert((b[1] >> 5 | (b[2] & 1) << 3) >> 2);
    }
  }
  EXPECT_EQ(partitionCounts, (std::set<unsigned>{1, 2, 3, 4}));
  EXPECT_EQ(weightKinds, (std::set<unsigned>{2, 3, 5}));
  EXPECT_EQ(endpointClasses, (std::set<unsigned>{0, 1, 2, 3}));
  EXPECT_GT(dualPlanes, 0u);
  EXPECT_GT(voidExtents, 0u);
}

// ---------------------------------------------------------------------------------------------
// Random blocks against libastcenc

#ifdef VUMO_HAVE_ASTCENC
constexpr std::uint8_t kFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                             {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};

// Decodes with Arm's library on one thread, 8-bit RGBA.
std::vector<std::uint8_t> DecodeWithAstcenc(const std::vector<std::uint8_t>& blocks, unsigned blockWidth,
                                            unsigned blockHeight, unsigned width, unsigned height, bool srgb) {
  astcenc_config config;
  EXPECT_EQ(astcenc_config_init(srgb ? ASTCENC_PRF_LDR_SRGB : ASTCENC_PRF_LDR, blockWidth, blockHeight, 1,
                                ASTCENC_PRE_FASTEST, ASTCENC_FLG_DECOMPRESS_ONLY, &config),
            ASTCENC_SUCCESS);
  astcenc_context* context = nullptr;
  EXPECT_EQ(astcenc_context_alloc(&config, 1, &context), ASTCENC_SUCCESS);
  std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
  void* slices[1] = {pixels.data()};
  astcenc_image image{width, height, 1, ASTCENC_TYPE_U8, slices};
  const astcenc_swizzle swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
  EXPECT_EQ(astcenc_decompress_image(context, blocks.data(), blocks.size(), &image, &swizzle, 0), ASTCENC_SUCCESS);
  astcenc_context_free(context);
  return pixels;
}

TEST(ASTCAgainstAstcenc, RandomBlocksOfEveryFootprintDecodeAlike) {
  // Random bits reach every block mode, partition count and seed, endpoint mode and range, and
  // most illegal encodings; a third of the blocks keep a legal single-plane mode of their own
  // drawn from the low bits so that more of them decode to colours rather than the error colour.
  std::mt19937 random(1234);
  for (const auto& footprint : kFootprints) {
    const unsigned bw = footprint[0], bh = footprint[1], columns = 40, rows = 50;
    const unsigned width = bw * columns, height = bh * rows;
    std::vector<std::uint8_t> blocks(std::size_t{columns} * rows * 16);
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>(random());
    for (std::size_t b = 0; b < columns * rows; b += 3) {
      // A 4 x 2 .. 4 x 5 grid of 2-bit weights with a random partition count.
      blocks[16 * b] = static_cast<std::uint8_t>((blocks[16 * b] & 0x60) | 0x02);
      blocks[16 * b + 1] &= 0xF8;
    }
    for (bool srgb : {false, true}) {
      SCOPED_TRACE(std::to_string(bw) + "x" + std::to_string(bh) + (srgb ? " sRGB" : " linear"));
      const std::vector<std::uint8_t> expected = DecodeWithAstcenc(blocks, bw, bh, width, height, srgb);
      std::vector<std::uint8_t> actual(expected.size());
      DecodeBlocks(TBlockKind(srgb ? TBlockFormat::ASTCsRGB : TBlockFormat::ASTC, bw, bh), blocks.data(),
                   blocks.size(), width, height, actual.data(), 4 * width);
      // astcenc gives texels of HDR endpoint modes 0xFF00 for magenta's channels, one below
      // 255 in linear 8 bits; the format asks for the error colour, which we keep.
      static constexpr std::uint8_t kMagenta[4] = {255, 0, 255, 255}, kAstcencHdr[4] = {254, 0, 254, 254};
      std::size_t off = 0, hdr = 0;
      for (std::size_t i = 0; i < actual.size(); i += 4)
        if (!srgb && !std::memcmp(&actual[i], kMagenta, 4) && !std::memcmp(&expected[i], kAstcencHdr, 4)) ++hdr;
        else if (std::memcmp(&actual[i], &expected[i], 4) != 0 && off++ < 3) {
          const std::size_t x = i / 4 % width, y = i / 4 / width, block = (y / bh) * columns + x / bw;
          std::string hex;
          for (int k = 15; k >= 0; --k) {
            const unsigned byte = blocks[16 * block + k];
            hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
          }
          ADD_FAILURE() << "block " << hex << " texel " << x % bw << "," << y % bh << ": " << int(actual[i]) << " "
                        << int(actual[i + 1]) << " " << int(actual[i + 2]) << " " << int(actual[i + 3]) << " against "
                        << int(expected[i]) << " " << int(expected[i + 1]) << " " << int(expected[i + 2]) << " "
                        << int(expected[i + 3]);
        }
      EXPECT_EQ(off, 0u);
      if (!srgb) {
        EXPECT_GT(hdr, 0u);
      }
    }
  }
}
#endif

// ---------------------------------------------------------------------------------------------
// Hand-built blocks

TBlockWriter VoidExtent(bool hdr, unsigned minS, unsigned maxS, unsigned minT, unsigned maxT,
                        std::array<std::uint16_t, 4> rgba) {
  TBlockWriter w;
  w.Put(0x1FC, 9).Put(hdr, 1).Put(3, 2).Put(minS, 13).Put(maxS, 13).Put(minT, 13).Put(maxT, 13);
  for (std::uint16_t c : rgba) w.Put(c, 16);
  return w;
}

TEST(ASTCBlocks, VoidExtentIsOneColourInBothEncodings) {
  const TBlockWriter block = VoidExtent(false, 0x1FFF, 0x1FFF, 0x1FFF, 0x1FFF, {0xFFFF, 0x8000, 0x4040, 0x1234});
  // Linear: 8 bits from the UNORM16 value; sRGB: its top 8 bits.
  const TTile linear = Decode(block.data(), 6, 5), srgb = Decode(block.data(), 6, 5, true);
  const TTile bgra = Decode(block.data(), 6, 5, false, poBGRA);
  for (unsigned y = 0; y < 5; ++y)
    for (unsigned x = 0; x < 6; ++x) {
      EXPECT_EQ(Pixel(linear, 6, x, y), (std::array<std::uint8_t, 4>{255, 128, 64, 18}));
      EXPECT_EQ(Pixel(srgb, 6, x, y), (std::array<std::uint8_t, 4>{255, 128, 64, 18}));
      EXPECT_EQ(Pixel(bgra, 6, x, y), (std::array<std::uint8_t, 4>{64, 128, 255, 18}));
    }
  // Linear values pass through a half float first, cut to 11 significant bits: 0x811F is
  // 0x8100 then, below 128.5 / 255 (the nearest to 0x811F / 65535 would be 129).
  const TBlockWriter rounding = VoidExtent(false, 0x1FFF, 0x1FFF, 0x1FFF, 0x1FFF, {0x811F, 0x00FF, 0xFF00, 0x017F});
  EXPECT_EQ(Pixel(Decode(rounding.data(), 4, 4), 4, 0, 0), (std::array<std::uint8_t, 4>{128, 1, 254, 1}));
  EXPECT_EQ(Pixel(Decode(rounding.data(), 4, 4, true), 4, 0, 0), (std::array<std::uint8_t, 4>{129, 0, 255, 1}));
}

TEST(ASTCBlocks, VoidExtentWithAnExtentOrHdrColour) {
  // A real extent is only a hint; one whose low end is not below its high end is illegal.
  EXPECT_EQ(Pixel(Decode(VoidExtent(false, 0, 100, 5, 6, {0, 0, 0xFFFF, 0xFFFF}).data(), 4, 4), 4, 3, 3),
            (std::array<std::uint8_t, 4>{0, 0, 255, 255}));
  EXPECT_TRUE(AllMagenta(Decode(VoidExtent(false, 100, 100, 5, 6, {0, 0, 0, 0}).data(), 4, 4), 4, 4));
  EXPECT_TRUE(AllMagenta(Decode(VoidExtent(false, 0, 100, 7, 6, {0, 0, 0, 0}).data(), 8, 8), 8, 8));
  // Bits 10 and 11 are set in every 2-D void extent.
  TBlockWriter reserved = VoidExtent(false, 0x1FFF, 0x1FFF, 0x1FFF, 0x1FFF, {0, 0, 0, 0});
  EXPECT_FALSE(AllMagenta(Decode(reserved.data(), 4, 4), 4, 4));
  std::array<std::uint8_t, 16> cleared;
  std::memcpy(cleared.data(), reserved.data(), 16);
  cleared[1] &= ~0x0C;
  EXPECT_TRUE(AllMagenta(Decode(cleared.data(), 4, 4), 4, 4));
  // HDR colours are half floats, which the LDR profile does not decode.
  const TBlockWriter hdr = VoidExtent(true, 0x1FFF, 0x1FFF, 0x1FFF, 0x1FFF, {0x3C00, 0, 0, 0x3C00});
  EXPECT_TRUE(AllMagenta(Decode(hdr.data(), 5, 5), 5, 5));
}

// One partition, CEM `cem`, endpoint values stored as plain 8-bit values (the largest range,
// which the block chooses when the bits allow), and a 4 x 4 grid of 2-bit weights.
TBlockWriter DirectBlock(unsigned cem, const std::vector<unsigned>& values, const std::array<unsigned, 16>& weights) {
  TBlockWriter w;
  w.Put(GridMode(4, 4, 4, 0), 11).Put(0, 2).Put(cem, 4);
  for (unsigned v : values) w.Put(v, 8);
  for (unsigned q : weights) w.PutWeights(q, 2);
  return w;
}

TEST(ASTCBlocks, EndpointModesOfOnePartition) {
  // Weights 0 and 3 (0 and 64) put each endpoint on its own texel, 1 and 2 (21 and 43) between.
  const std::array<unsigned, 16> ramp = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
  struct TCase {
    unsigned Cem;
    std::vector<unsigned> Values;
    std::array<std::uint8_t, 4> Low, High;
  };
  const TCase cases[] = {
      {0, {10, 200}, {10, 10, 10, 255}, {200, 200, 200, 255}},
      {1, {0x40, 0xC5}, {0xD0, 0xD0, 0xD0, 255}, {0xD5, 0xD5, 0xD5, 255}},   // base+offset
      {1, {0xFC, 0xFF}, {0xFF, 0xFF, 0xFF, 255}, {0xFF, 0xFF, 0xFF, 255}},   // clamped at 255
      {4, {10, 200, 30, 40}, {10, 10, 10, 30}, {200, 200, 200, 40}},
      {5, {100, 0x42, 0xFE, 0xBE}, {50, 50, 50, 255}, {19, 19, 19, 255}},  // offsets -31, +31 clamped
      {6, {200, 100, 50, 128}, {100, 50, 25, 255}, {200, 100, 50, 255}},
      {8, {10, 20, 30, 40, 50, 60}, {10, 30, 50, 255}, {20, 40, 60, 255}},
      {8, {20, 10, 40, 30, 60, 50}, {30, 40, 50, 255}, {40, 50, 60, 255}},   // blue contraction
      {9, {100, 20, 100, 20, 100, 20}, {50, 50, 50, 255}, {60, 60, 60, 255}},
      {9, {100, 0x7E, 100, 0x7E, 100, 0x7E}, {49, 49, 49, 255}, {50, 50, 50, 255}},
      {10, {200, 100, 50, 64, 7, 9}, {50, 25, 12, 7}, {200, 100, 50, 9}},
      {12, {10, 20, 30, 40, 50, 60, 70, 80}, {10, 30, 50, 70}, {20, 40, 60, 80}},
      {12, {20, 10, 40, 30, 60, 50, 80, 70}, {30, 40, 50, 70}, {40, 50, 60, 80}},
      {13, {100, 20, 100, 20, 100, 20, 100, 0x7F}, {50, 50, 50, 50}, {60, 60, 60, 49}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Cem);
    const TTile tile = Decode(DirectBlock(c.Cem, c.Values, ramp).data(), 4, 4);
    EXPECT_EQ(Pixel(tile, 4, 0, 2), c.Low);
    EXPECT_EQ(Pixel(tile, 4, 3, 2), c.High);
  }
  // Between the endpoints: C = (e0 * 257 * (64 - w) + e1 * 257 * w + 32) / 64, then to 8 bits.
  const TTile grey = Decode(DirectBlock(0, {0, 255}, ramp).data(), 4, 4);
  EXPECT_EQ(Pixel(grey, 4, 1, 0), (std::array<std::uint8_t, 4>{84, 84, 84, 255}));
  EXPECT_EQ(Pixel(grey, 4, 2, 0), (std::array<std::uint8_t, 4>{171, 171, 171, 255}));
  // sRGB widens as (e << 8) | 0x80 and keeps the top byte: 21 / 64 of 0x0080 .. 0xFF80.
  const TTile srgb = Decode(DirectBlock(0, {0, 255}, ramp).data(), 4, 4, true);
  EXPECT_EQ(Pixel(srgb, 4, 1, 0), (std::array<std::uint8_t, 4>{84, 84, 84, 255}));
  EXPECT_EQ(Pixel(srgb, 4, 2, 0), (std::array<std::uint8_t, 4>{171, 171, 171, 255}));
}

TEST(ASTCBlocks, IllegalEncodingsGiveTheErrorColour) {
  const std::array<unsigned, 16> flat{};
  // Block mode bits [3:0] all zero is reserved.
  TBlockWriter reserved;
  reserved.Put(0x200, 11);
  EXPECT_TRUE(AllMagenta(Decode(reserved.data(), 4, 4), 4, 4));
  // A 7 x 5 weight grid does not fit a 6 x 6 footprint, but fits 8 x 8.
  TBlockWriter wide;
  wide.Put(GridMode(7, 5, 2, 0), 11).Put(0, 2).Put(0, 4).Put(0x60, 8).Put(0x60, 8);
  EXPECT_TRUE(AllMagenta(Decode(wide.data(), 6, 6), 6, 6));
  EXPECT_FALSE(AllMagenta(Decode(wide.data(), 8, 8), 8, 8));
  // 7 x 5 weights of 3 bits need 105 bits, over the 96 allowed.
  TBlockWriter heavy;
  heavy.Put(GridMode(7, 5, 7, 0), 11);
  EXPECT_TRUE(AllMagenta(Decode(heavy.data(), 8, 8), 8, 8));
  // Dual plane with four partitions.
  TBlockWriter dualFour;
  dualFour.Put(GridMode(4, 2, 4, 0, true), 11).Put(3, 2);
  EXPECT_TRUE(AllMagenta(Decode(dualFour.data(), 4, 4), 4, 4));
  // HDR endpoint modes (2, 3, 7, 11, 14, 15) under the LDR profile.
  for (unsigned cem : {2u, 3u, 7u, 11u, 14u, 15u}) {
    SCOPED_TRACE(cem);
    EXPECT_TRUE(AllMagenta(Decode(DirectBlock(cem, std::vector<unsigned>(8, 60), flat).data(), 4, 4), 4, 4));
  }
  EXPECT_FALSE(AllMagenta(Decode(DirectBlock(12, std::vector<unsigned>(8, 60), flat).data(), 4, 4), 4, 4));
  // A footprint the format does not have.
  std::uint8_t zero[16] = {};
  EXPECT_TRUE(AllMagenta(Decode(zero, 7, 7), 7, 7));
}

TEST(ASTCBlocks, DualPlaneGivesTheSelectedChannelTheSecondWeight) {
  // 4 x 4 grid, two planes of 1-bit weights (32 bits); CEM 12 RGBA direct, plain 8-bit values.
  for (unsigned ccs = 0; ccs < 4; ++ccs) {
    SCOPED_TRACE(ccs);
    TBlockWriter w;
    w.Put(GridMode(4, 4, 2, 0, true), 11).Put(0, 2).Put(12, 4);
    for (unsigned v : {10u, 250u, 20u, 240u, 30u, 230u, 40u, 220u}) w.Put(v, 8);
    w.PutAt(128 - 32 - 2, ccs, 2);
    for (unsigned i = 0; i < 16; ++i) w.PutWeights(0, 1).PutWeights(1, 1);  // plane 0 low, plane 1 high
    for (TBlockPixelOrder order : {poRGBA, poBGRA}) {
      std::array<std::uint8_t, 4> expected = {10, 20, 30, 40};
      expected[ccs] = std::array<std::uint8_t, 4>{250, 240, 230, 220}[ccs];
      if (order == poBGRA) std::swap(expected[0], expected[2]);
      EXPECT_EQ(Pixel(Decode(w.data(), 4, 4, false, order), 4, 2, 1), expected);
    }
  }
}

// Two to four partitions, each with one flat colour (CEM 0, both endpoints alike), so each
// texel shows which partition it is in; patterns as astcenc 4.2.0 decodes the same blocks.
TBlockWriter PartitionBlock(unsigned partitions, unsigned seed) {
  TBlockWriter w;
  w.Put(GridMode(4, 4, 4, 0), 11).Put(partitions - 1, 2).Put(seed, 10).Put(0, 6);
  for (unsigned p = 0; p < partitions; ++p) w.Put(60 * p + 10, 8).Put(60 * p + 10, 8);
  return w;
}

std::string PartitionMap(const TTile& tile, unsigned width, unsigned height) {
  std::string map;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) map += static_cast<char>('0' + (Pixel(tile, width, x, y)[0] - 10) / 60);
  return map;
}

TEST(ASTCBlocks, PartitionPatternsFollowTheHash) {
  struct TCase {
    unsigned Partitions, Seed, Width, Height;
    const char* Map;
  };
  // The 4 x 4 and 5 x 5 footprints have under 31 texels, whose coordinates the hash doubles.
  const TCase cases[] = {
      {2, 1, 4, 4, "0110111011001100"},
      {2, 77, 4, 4, "0011001100010001"},
      {3, 3, 4, 4, "1111111211021002"},
      {4, 2, 4, 4, "0000231123313333"},
      {4, 12, 5, 5, "1111011220222223333333333"},
      {3, 902, 6, 6, "111111111111000000000022222222111112"},
      {4, 400, 8, 8, "1111111111111111111111110000000022222222222222222222222222222200"},
      {3, 21, 10, 5, "00222222200022222220002222220000222222000022222200"},
      {2, 300, 12, 12,
       "000000000111000000000111000000001111000000011111000000011111000000111111"
       "000001111111000001111111000011111111000111111111000111111111001111111111"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Partitions) + " partitions, seed " + std::to_string(c.Seed));
    const std::string map = PartitionMap(Decode(PartitionBlock(c.Partitions, c.Seed).data(), c.Width, c.Height),
                                         c.Width, c.Height);
    EXPECT_EQ(map, c.Map);
  }
}

}  // namespace
}  // namespace vumo
