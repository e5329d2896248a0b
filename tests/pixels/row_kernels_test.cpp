// The vector row kernels against the plain byte loops they stand for, on every length around
// the vector widths and at every alignment, in place where a kernel allows it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pixels/row_kernels.h"

namespace vumo {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return bytes;
}

// Lengths across the 4-, 8- and 16-pixel steps and the tails after them.
const std::size_t kCounts[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 100, 4097};

TEST(RowKernels, SwapRedBlue24MatchesThePlainLoopCopiedAndInPlace) {
  for (std::size_t count : kCounts)
    for (std::size_t offset = 0; offset < 4; ++offset) {
      const auto source = Pattern(3 * count + 8, static_cast<unsigned>(count));
      std::vector<std::uint8_t> expected(source);
      for (std::size_t i = 0; i < count; ++i) {
        expected[offset + 3 * i] = source[offset + 3 * i + 2];
        expected[offset + 3 * i + 2] = source[offset + 3 * i];
      }
      // Bytes around the row are guards: a kernel must not touch them.
      std::vector<std::uint8_t> copied(source);
      SwapRedBlue24(source.data() + offset, copied.data() + offset, count);
      EXPECT_EQ(copied, expected) << count << " pixels at offset " << offset;
      std::vector<std::uint8_t> inPlace(source);
      SwapRedBlue24(inPlace.data() + offset, inPlace.data() + offset, count);
      EXPECT_EQ(inPlace, expected) << count << " pixels in place at offset " << offset;
    }
}

// The streamed kernels write whole aligned vectors once the target reaches a 16-byte
// boundary, so every offset within 16 bytes is tried, source and target apart.
TEST(RowKernels, StreamedRowsMatchThePlainLoopAtEveryAlignment) {
  for (std::size_t count : kCounts)
    for (std::size_t offset = 0; offset < 16; ++offset)
      for (std::size_t sourceOffset : {std::size_t{0}, offset, std::size_t{5}}) {
        const auto source = Pattern(3 * count + 32, static_cast<unsigned>(count + offset));
        const auto guard = Pattern(3 * count + 32, 7);
        std::vector<std::uint8_t> swapped(guard), copied(guard);
        std::vector<std::uint8_t> expectedSwap(guard), expectedCopy(guard);
        for (std::size_t i = 0; i < count; ++i)
          for (std::size_t k = 0; k < 3; ++k) {
            expectedSwap[offset + 3 * i + k] = source[sourceOffset + 3 * i + 2 - k];
            expectedCopy[offset + 3 * i + k] = source[sourceOffset + 3 * i + k];
          }
        SwapRedBlue24Uncached(source.data() + sourceOffset, swapped.data() + offset, count);
        CopyRowUncached(source.data() + sourceOffset, copied.data() + offset, 3 * count);
        EXPECT_EQ(swapped, expectedSwap) << count << " pixels at offset " << offset << " from " << sourceOffset;
        EXPECT_EQ(copied, expectedCopy) << 3 * count << " bytes at offset " << offset << " from " << sourceOffset;
      }
}

TEST(RowKernels, UnpremultiplyDividesByAlphaRoundedAndClamped) {
  std::vector<std::uint8_t> pixels = {
      100, 50, 25, 128,   // half covered: doubled, to the nearest level
      9, 9, 9, 0,         // no coverage: left as it is
      10, 20, 30, 255,    // full coverage: unchanged
      200, 3, 0, 100,     // a colour above its alpha (broken data) stops at 255
      1, 1, 1, 3,         // 85 exactly
  };
  UnpremultiplyBGRA(pixels.data(), pixels.size() / 4);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{199, 100, 50, 128, 9, 9, 9, 0, 10, 20, 30, 255, 255, 8, 0, 100, 85, 85,
                                               85, 3}));
}

TEST(RowKernels, UnmatteTakesColoursBackFromTheirBlendOverWhite) {
  std::vector<std::uint8_t> pixels = {
      127, 191, 255, 128,  // half covered: black, grey 127 and white, as blended over white
      200, 200, 200, 0,    // no coverage: left as it is
      10, 20, 30, 255,     // full coverage: unchanged
      0, 250, 255, 100,    // darker than any blend over white can be (broken data) stops at 0
  };
  UnmatteWhiteBGRA(pixels.data(), pixels.size() / 4);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 127, 255, 128, 200, 200, 200, 0, 10, 20, 30, 255, 0, 242, 255, 100}));
}

TEST(RowKernels, OnlyColoursNoDarkerThanTheirWhiteCanBeBlendedOverWhite) {
  using Pixels = std::vector<std::uint8_t>;
  auto blended = [](const Pixels& p) { return BlendedOverWhiteBGRA(p.data(), p.size() / 4); };
  // Opaque pixels say nothing; half covered ones may not be darker than 127 (within a level).
  EXPECT_TRUE(blended({0, 0, 0, 255, 127, 200, 255, 128, 126, 126, 126, 128, 255, 255, 255, 0}));
  EXPECT_FALSE(blended({125, 200, 255, 128}));
  // A fully transparent pixel must be white.
  EXPECT_TRUE(blended({254, 255, 255, 0}));
  EXPECT_FALSE(blended({255, 255, 200, 0}));
  // One pixel out of many decides.
  Pixels many(4 * 100, 255);
  EXPECT_TRUE(blended(many));
  many[4 * 77 + 3] = 10;
  many[4 * 77 + 1] = 200;
  EXPECT_FALSE(blended(many));
}

// PNG's filters byte by byte, each byte predicted from the one a pixel to its left (a), the
// one above (b) and the one above that left one (c), 0 before the row starts.
void UnfilterByBytes(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
  for (std::size_t i = 0; i < n; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    const int predictor = type == 1   ? a
                          : type == 2 ? b
                          : type == 3 ? (a + b) / 2
                          : type == 4 ? (pa <= pb && pa <= pc ? a : pb <= pc ? b : c)
                                      : 0;
    row[i] = static_cast<std::uint8_t>(row[i] + predictor);
  }
}

TEST(RowKernels, PngUnfilteringMatchesTheFiltersByteByByteForEveryPixelSize) {
  for (std::size_t bpp : {1, 2, 3, 4, 6, 8})
    for (std::uint8_t type = 0; type <= 5; ++type)
      for (std::size_t count : kCounts) {
        const std::size_t n = count * bpp;
        const auto prior = Pattern(n, static_cast<unsigned>(count) + 5);
        // Bytes past the row are guards: the kernel must not touch them.
        const auto row = Pattern(n + 8, static_cast<unsigned>(bpp * 31 + type));
        std::vector<std::uint8_t> expected(row), unfiltered(row);
        UnfilterByBytes(type, expected.data(), prior.data(), n, bpp);
        UnfilterPngRow(type, unfiltered.data(), prior.data(), n, bpp);
        EXPECT_EQ(unfiltered, expected) << "type " << int{type} << ", " << count << " pixels of " << bpp << " bytes";
      }
}

TEST(RowKernels, MergePlanesMatchesThePlainLoop) {
  for (std::size_t count : kCounts)
    for (std::size_t offset = 0; offset < 4; ++offset) {
      std::vector<std::uint8_t> planes[4];
      for (unsigned k = 0; k < 4; ++k) planes[k] = Pattern(count + offset, 7 * static_cast<unsigned>(count) + k);
      const auto guard = Pattern(4 * count + 16, 99);
      std::vector<std::uint8_t> expected3(guard), expected4(guard);
      for (std::size_t i = 0; i < count; ++i)
        for (unsigned k = 0; k < 4; ++k) {
          if (k < 3) expected3[offset + 3 * i + k] = planes[k][offset + i];
          expected4[offset + 4 * i + k] = planes[k][offset + i];
        }
      std::vector<std::uint8_t> merged3(guard), merged4(guard);
      MergePlanes3(planes[0].data() + offset, planes[1].data() + offset, planes[2].data() + offset,
                   merged3.data() + offset, count);
      MergePlanes4(planes[0].data() + offset, planes[1].data() + offset, planes[2].data() + offset,
                   planes[3].data() + offset, merged4.data() + offset, count);
      EXPECT_EQ(merged3, expected3) << count << " pixels at offset " << offset;
      EXPECT_EQ(merged4, expected4) << count << " pixels at offset " << offset;
    }
}

}  // namespace
}  // namespace vumo
