// The normal-map kernel on vectors whose answers are known by hand.
#include "pixels/normal_maps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vumo {
namespace {

TEST(NormalMaps, StoredCodesReachBothEndsAndTheMiddle) {
  for (auto [got, want] : {std::pair{UnsignedByteToUnit(0), -1.0f}, {UnsignedByteToUnit(255), 1.0f},
                           {SignedByteToUnit(-128), -1.0f}, {SignedByteToUnit(-127), -1.0f},
                           {SignedByteToUnit(0), 0.0f}, {SignedByteToUnit(127), 1.0f}, {Unsigned16ToUnit(65535), 1.0f},
                           {Signed16ToUnit(-32768), -1.0f}, {Signed16ToUnit(-32767), -1.0f}})
    EXPECT_NEAR(got, want, 1e-6f);
  for (unsigned v = 0; v < 256; ++v) ASSERT_EQ(UnitToByte(UnsignedByteToUnit(static_cast<std::uint8_t>(v))), v);
}

TEST(NormalMaps, ZIsRebuiltOnTheUnitSphereAndPairsOutsideTheDiscGoToItsEdge) {
  const float h = std::sqrt(0.5f);
  struct Row {
    float x, y;
    TNormal want;
  } rows[] = {{0, 0, {0, 0, 1}},       {1, 0, {1, 0, 0}},          {0.6f, 0.8f, {0.6f, 0.8f, 0}},
              {0.6f, 0, {0.6f, 0, 0.8f}}, {1, 1, {h, h, 0}},     {-2, 0, {-1, 0, 0}},
              {NAN, 0, {0, 0, 1}}};
  for (const Row& r : rows) {
    const TNormal n = RebuildNormal(r.x, r.y);
    EXPECT_NEAR(n.X, r.want.X, 1e-5f) << r.x << ", " << r.y;
    EXPECT_NEAR(n.Y, r.want.Y, 1e-5f) << r.x << ", " << r.y;
    EXPECT_NEAR(n.Z, r.want.Z, 1e-5f) << r.x << ", " << r.y;
  }
}

TEST(NormalMaps, RowsTakeXAndYFromTheChannelsGiven) {
  // B, G, R, A: flat in red and green, then (1, -1) in alpha and green (DXT5nm).
  const std::vector<std::uint8_t> pixels = {0, 128, 128, 7, 0, 0, 128, 255};
  std::vector<std::uint8_t> out(pixels.size());
  NormalRow(pixels.data(), out.data(), 2, TNormalChannels{2, 1});
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 4), (std::vector<std::uint8_t>{255, 128, 128, 255}));
  NormalRow(pixels.data(), out.data(), 2, TNormalChannels{3, 1});
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 4, out.end()), (std::vector<std::uint8_t>{128, 37, 218, 255}))
      << "(1, -1) lies outside the disc: (0.71, -0.71, 0)";
}

}  // namespace
}  // namespace vumo
