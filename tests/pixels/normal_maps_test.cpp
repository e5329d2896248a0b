// The normal-map kernel on vectors whose answers are known by hand.
#include "pixels/normal_maps.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace vumo {
namespace {

TEST(NormalMaps, StoredCodesReachBothEndsAndTheMiddle) {
  struct Row {
    float got, want;
  };
  for (const Row& r : {Row{UnsignedByteToUnit(0), -1.0f}, Row{UnsignedByteToUnit(255), 1.0f},
                       Row{UnsignedByteToUnit(128), 0.5f / 127.5f},
                       Row{SignedByteToUnit(-128), -1.0f}, Row{SignedByteToUnit(-127), -1.0f},
                       Row{SignedByteToUnit(0), 0.0f}, Row{SignedByteToUnit(127), 1.0f},
                       Row{Unsigned16ToUnit(0), -1.0f}, Row{Unsigned16ToUnit(65535), 1.0f},
                       Row{Signed16ToUnit(-32768), -1.0f}, Row{Signed16ToUnit(-32767), -1.0f},
                       Row{Signed16ToUnit(32767), 1.0f}, Row{Signed16ToUnit(0), 0.0f}})
    EXPECT_NEAR(r.got, r.want, 1e-6f);
}

TEST(NormalMaps, ZIsRebuiltOnTheUnitSphere) {
  struct Row {
    float x, y;
    TNormal want;
  };
  const float h = std::sqrt(0.5f);
  for (const Row& r : {Row{0, 0, {0, 0, 1}}, Row{1, 0, {1, 0, 0}}, Row{0, -1, {0, -1, 0}}, Row{0.6f, 0.8f, {0.6f, 0.8f, 0}},
                       Row{0.6f, 0, {0.6f, 0, 0.8f}}, Row{-0.36f, 0.48f, {-0.36f, 0.48f, 0.8f}},
                       // Outside the disc: brought back onto its edge, not left with a NaN.
                       Row{1, 1, {h, h, 0}}, Row{-2, 0, {-1, 0, 0}}, Row{0.8f, -0.8f, {h, -h, 0}},
                       Row{NAN, 0, {0, 0, 1}}}) {
    const TNormal n = RebuildNormal(r.x, r.y);
    EXPECT_NEAR(n.X, r.want.X, 1e-5f) << r.x << ", " << r.y;
    EXPECT_NEAR(n.Y, r.want.Y, 1e-5f) << r.x << ", " << r.y;
    EXPECT_NEAR(n.Z, r.want.Z, 1e-5f) << r.x << ", " << r.y;
    EXPECT_NEAR(n.X * n.X + n.Y * n.Y + n.Z * n.Z, 1.0f, 1e-5f);
  }
}

TEST(NormalMaps, ComponentsBecomeColoursAndStoredBytesComeBackUnchanged) {
  EXPECT_EQ(UnitToByte(-1.0f), 0);
  EXPECT_EQ(UnitToByte(1.0f), 255);
  EXPECT_EQ(UnitToByte(0.0f), 128);
  EXPECT_EQ(UnitToByte(-3.0f), 0);
  EXPECT_EQ(UnitToByte(3.0f), 255);
  for (unsigned v = 0; v < 256; ++v)
    ASSERT_EQ(UnitToByte(UnsignedByteToUnit(static_cast<std::uint8_t>(v))), v);
}

TEST(NormalMaps, RowsTakeXAndYFromTheChannelsGiven) {
  // B, G, R, A pixels: X in red and Y in green, then X in alpha and Y in green (DXT5nm).
  const std::vector<std::uint8_t> pixels = {
      0, 128, 128, 7,  // flat: (0, 0, 1)
      0, 128, 255, 9,  // (1, 0, 0)
      0, 0, 128, 255,  // (0, -1, 0)
  };
  std::vector<std::uint8_t> out(pixels.size());
  NormalRow(pixels.data(), out.data(), 3, TNormalChannels{2, 1});
  EXPECT_EQ(out, (std::vector<std::uint8_t>{255, 128, 128, 255, 128, 128, 255, 255, 128, 0, 128, 255}));
  NormalRow(pixels.data(), out.data(), 3, TNormalChannels{3, 1});
  // Alpha 7 and 9 are far left, 255 far right: Z is the rest of the sphere.
  const TNormal first = RebuildNormal(UnsignedByteToUnit(7), UnsignedByteToUnit(128));
  EXPECT_EQ(out[2], UnitToByte(first.X));
  EXPECT_EQ(out[0], UnitToByte(first.Z));
  EXPECT_EQ(out[3], 255);
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 8, out.end()), (std::vector<std::uint8_t>{128, 37, 218, 255}))
      << "x = 1 and y = -1 lie outside the disc: scaled to (0.71, -0.71, 0)";
}

}  // namespace
}  // namespace vumo
