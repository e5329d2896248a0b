// What only the .astc file has: its 16-byte header with 24-bit sides, the footprints it may
// name, volumes refused as unsupported, and its blocks checked against the file. Pixels are
// held to astcenc's decodes by tests/data/astc/read.tsv.
#include "formats/astc.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "pixels/astc_decoder.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;

// A header for a `width` x `height` x `depth` picture of `bw` x `bh` x `bd` blocks, then the
// blocks its sides need, each a void extent of one colour.
Bytes AstcFile(unsigned bw, unsigned bh, unsigned bd, std::uint32_t width, std::uint32_t height,
               std::uint32_t depth = 1) {
  Bytes bytes = {0x13, 0xAB, 0xA1, 0x5C, static_cast<std::uint8_t>(bw), static_cast<std::uint8_t>(bh),
                 static_cast<std::uint8_t>(bd)};
  for (std::uint32_t side : {width, height, depth})
    for (int k = 0; k < 3; ++k) bytes.push_back(static_cast<std::uint8_t>(side >> 8 * k));
  const std::size_t blocks = bw && bh ? std::size_t{(width + bw - 1) / bw} * ((height + bh - 1) / bh) : 0;
  // Void extent, LDR, no extent; R 0x2020, G 0x4040, B 0x8080, A 0xFFFF.
  static constexpr std::uint8_t kBlock[16] = {0xFC, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                              0x20, 0x20, 0x40, 0x40, 0x80, 0x80, 0xFF, 0xFF};
  for (std::size_t i = 0; i < blocks; ++i) bytes.insert(bytes.end(), kBlock, kBlock + 16);
  return bytes;
}

std::string LoadError(const Bytes& bytes) {
  const std::string error = test::LoadErrorWith<TASTCGraphic>(bytes);
  return error.empty() ? "loaded" : error;
}

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected ASTC image format.";

bool Sniffs(const Bytes& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  return TASTCGraphic::CanLoad(stream);
}

TEST(ASTC, HeaderSidesAreTwentyFourBitAndEdgeBlocksAreCut) {
  // 70000 x 3 needs the third byte of the width; blocks of 12 x 10 overhang both edges.
  const Bytes file = AstcFile(12, 10, 1, 70000, 3);
  ASSERT_TRUE(Sniffs(file));
  const TASTCGraphic reader = test::LoadWith<TASTCGraphic>(file);
  EXPECT_EQ(reader.Width(), 70000);
  EXPECT_EQ(reader.Height(), 3);
  const test::Rgba8Image image = test::ToRgba8(reader);
  for (int x : {0, 69999})
    for (int y : {0, 2}) {
      const std::uint8_t* p = image.pixels.data() + 4 * (std::size_t{static_cast<unsigned>(y)} * 70000 + x);
      EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{32, 64, 128, 255})) << x << "," << y;
    }
}

TEST(ASTC, EveryTwoDimensionalFootprintReadsAndOthersAreInvalid) {
  constexpr unsigned kFootprints[14][2] = {{4, 4},  {5, 4},  {5, 5},  {6, 5},  {6, 6},   {8, 5},   {8, 6},
                                           {8, 8},  {10, 5}, {10, 6}, {10, 8}, {10, 10}, {12, 10}, {12, 12}};
  for (const auto& f : kFootprints)
    EXPECT_EQ(LoadError(AstcFile(f[0], f[1], 1, 30, 20)), "loaded") << f[0] << "x" << f[1];
  for (const auto& f : {std::array<unsigned, 2>{4, 5}, {6, 4}, {3, 3}, {7, 7}, {12, 8}, {16, 16}, {0, 4}})
    EXPECT_EQ(LoadError(AstcFile(f[0], f[1], 1, 30, 20)), kInvalid) << f[0] << "x" << f[1];
  EXPECT_EQ(LoadError(AstcFile(4, 4, 1, 0, 20)), kInvalid);
  EXPECT_EQ(LoadError(AstcFile(4, 4, 0, 8, 8)), kInvalid);
}

TEST(ASTC, VolumesAreNotSupported) {
  const std::string unsupported = "Cannot load image. A three-dimensional texture is not supported for ASTC files.";
  EXPECT_EQ(LoadError(AstcFile(4, 4, 4, 8, 8, 4)), unsupported);  // 3-D footprint
  EXPECT_EQ(LoadError(AstcFile(4, 4, 1, 8, 8, 2)), unsupported);  // 2-D blocks, two slices
}

TEST(ASTC, BlocksAreCheckedAgainstTheFile) {
  const Bytes whole = AstcFile(6, 6, 1, 13, 7);  // 3 x 2 blocks
  ASSERT_EQ(whole.size(), 16u + 6 * 16);
  EXPECT_EQ(LoadError(whole), "loaded");
  // One byte short, only the header, or part of the header: the file ends early.
  for (std::size_t size : {whole.size() - 1, std::size_t{16}, std::size_t{10}})
    EXPECT_EQ(LoadError(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size))), "Stream read error")
        << size;
  // Bytes after the blocks are left alone.
  Bytes longer = whole;
  longer.resize(whole.size() + 40, 0xEE);
  EXPECT_EQ(LoadError(longer), "loaded");
  // Another magic number is not this format.
  Bytes other = whole;
  other[3] = 0x5D;
  EXPECT_FALSE(Sniffs(other));
  EXPECT_EQ(LoadError(other), kInvalid);
}

TEST(ASTC, PropertiesDescribeTheTexture) {
  const TASTCGraphic reader = test::LoadWith<TASTCGraphic>(AstcFile(8, 5, 1, 40, 40));
  EXPECT_TRUE(reader.ImageProperties.HasAlpha);
  EXPECT_EQ(reader.ImageProperties.ImageCount, 1);
  EXPECT_EQ(reader.ImageProperties.BitsPerPixel, 3);  // 128 bits over 40 pixels
  EXPECT_EQ(reader.Layout().Pixels.Name, "ASTC 8x5");
  EXPECT_EQ(reader.Layout().Pixels.Blocks, TBlockKind(TBlockFormat::ASTC, 8, 5));
}

}  // namespace
}  // namespace vumo
