// What only DDS has: a file of many images (levels, faces, layers, slices), float pictures,
// header quirks and the bounds of every image against the file. Pixels of each kind are
// checked against references by tests/data/dds/read.tsv.
#include "formats/dds.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Bytes Data(const std::string& name) { return ReadFile(Fixture("dds/" + name)); }

TDDSGraphic LoadImage(const Bytes& bytes, unsigned index) {
  TDDSGraphic dds;
  dds.RequestImage(index);
  test::LoadInto(dds, bytes);
  return dds;
}

// Pixel (x, y) as B, G, R, A.
std::array<std::uint8_t, 4> Pixel(const TDDSGraphic& dds, int x, int y) {
  std::array<std::uint8_t, 4> p;
  std::memcpy(p.data(), dds.ScanLine(y) + 4 * x, 4);
  return p;
}

TEST(DDS, CubeFacesAndLevelsAreImagesInFileOrder) {
  const Bytes bytes = Data("cube.dds");
  const TDDSGraphic first = LoadImage(bytes, 0);
  ASSERT_EQ(13u, first.Images().Count);  // six faces of two levels, then the cross
  EXPECT_EQ("face +X, level 1/2 (4 x 4)", first.Images().Caption);
  // Each face is solid, its second level half as bright: faces +X, -X, +Y, -Y, +Z, -Z are
  // red, green, blue, yellow, cyan, magenta.
  const std::array<std::uint8_t, 4> expected[12] = {
      {0, 0, 255, 255}, {0, 0, 127, 255}, {0, 255, 0, 255},   {0, 127, 0, 255},   {255, 0, 0, 255},   {127, 0, 0, 255},
      {0, 255, 255, 255}, {0, 127, 127, 255}, {255, 255, 0, 255}, {127, 127, 0, 255}, {255, 0, 255, 255}, {127, 0, 127, 255}};
  const char* faces[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
  for (unsigned i = 0; i < 12; ++i) {
    const TDDSGraphic dds = LoadImage(bytes, i);
    const int side = i % 2 ? 2 : 4;
    ASSERT_EQ(side, dds.Width()) << i;
    EXPECT_EQ(expected[i], Pixel(dds, side - 1, side - 1)) << i;
    EXPECT_EQ(i, dds.Images().Index);
    EXPECT_EQ(std::string("face ") + faces[i / 2] + ", level " + std::to_string(i % 2 + 1) + "/2 (" +
                  std::to_string(side) + " x " + std::to_string(side) + ")",
              dds.Images().Caption);
  }
  // The faces' first levels as a cross: +Y above, -X, +Z, +X, -Z across, -Y below.
  const TDDSGraphic cross = LoadImage(bytes, 12);
  EXPECT_EQ("faces as a cross", cross.Images().Caption);
  ASSERT_EQ(16, cross.Width());
  ASSERT_EQ(12, cross.Height());
  EXPECT_TRUE(cross.AlphaChannel());
  const int at[6][2] = {{2, 1}, {0, 1}, {1, 0}, {1, 2}, {1, 1}, {3, 1}};
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(expected[2 * f], Pixel(cross, 4 * at[f][0], 4 * at[f][1])) << faces[f];
    EXPECT_EQ(expected[2 * f], Pixel(cross, 4 * at[f][0] + 3, 4 * at[f][1] + 3)) << faces[f];
  }
  EXPECT_EQ((std::array<std::uint8_t, 4>{0, 0, 0, 0}), Pixel(cross, 0, 0));
  EXPECT_EQ((std::array<std::uint8_t, 4>{0, 0, 0, 0}), Pixel(cross, 15, 11));
  try {
    LoadImage(bytes, 13);
    ADD_FAILURE() << "image 14 of 13 loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(FormatMessage(kNoSuchImage, 14u), e.what());
  }
}

TEST(DDS, FloatCubeMapsMakeAFloatCross) {
  // cube.dds again, its B, G, R, A bytes as half floats: 255 as 1.0, 127 as 0.5, 0 as 0.
  const Bytes bytes = Data("cube.dds");
  Bytes halves(bytes.begin(), bytes.begin() + 128);
  test::PutLittleEndian32(halves, 80, 0x4);
  test::PutLittleEndian32(halves, 84, 113);
  for (std::size_t i = 128; i + 4 <= bytes.size(); i += 4) {
    const std::uint8_t rgba[4] = {bytes[i + 2], bytes[i + 1], bytes[i], bytes[i + 3]};
    for (std::uint8_t v : rgba) {
      const std::uint16_t h = v == 255 ? 0x3C00 : v == 127 ? 0x3800 : 0;
      halves.push_back(static_cast<std::uint8_t>(h));
      halves.push_back(static_cast<std::uint8_t>(h >> 8));
    }
  }
  const TDDSGraphic cross = LoadImage(halves, 12);
  ASSERT_NE(nullptr, cross.FloatPixels());
  ASSERT_EQ(16, cross.Width());
  // -Z (magenta) at the right end of the middle row, +Y (blue) above +Z.
  const float* minusZ = cross.FloatPixels()->Row(5) + 4 * 13;
  EXPECT_EQ(1.0f, minusZ[0]);
  EXPECT_EQ(0.0f, minusZ[1]);
  EXPECT_EQ(1.0f, minusZ[2]);
  const float* plusY = cross.FloatPixels()->Row(0) + 4 * 4;
  EXPECT_EQ(0.0f, plusY[0]);
  EXPECT_EQ(1.0f, plusY[2]);
  EXPECT_EQ(0.0f, cross.FloatPixels()->Row(0)[3]);  // a corner: transparent
}

TEST(DDS, ArrayLayersAndVolumeSlicesAreImages) {
  const Bytes array = Data("array_bc1.dds");
  const TDDSGraphic red = LoadImage(array, 0);
  EXPECT_EQ(3u, red.Images().Count);
  EXPECT_EQ("layer 1/3", red.Images().Caption);
  EXPECT_EQ("BC1", red.FormatDescription());
  const TDDSGraphic blue = LoadImage(array, 2);
  EXPECT_EQ("layer 3/3", blue.Images().Caption);
  EXPECT_EQ((std::array<std::uint8_t, 4>{255, 0, 0, 255}), Pixel(blue, 7, 7));

  // Four slices at level 0, two at level 1, one at level 2.
  const Bytes volume = Data("volume_l8.dds");
  const TDDSGraphic slice0 = LoadImage(volume, 0);
  ASSERT_EQ(7u, slice0.Images().Count);
  EXPECT_EQ("level 1/3 (4 x 4), slice 1/4", slice0.Images().Caption);
  const TDDSGraphic slice3 = LoadImage(volume, 3);
  EXPECT_EQ(130, Pixel(slice3, 3, 3)[0]);
  const TDDSGraphic level1 = LoadImage(volume, 5);
  EXPECT_EQ("level 2/3 (2 x 2), slice 2/2", level1.Images().Caption);
  EXPECT_EQ(2, level1.Width());
  EXPECT_EQ(99, Pixel(level1, 1, 1)[1]);
  const TDDSGraphic last = LoadImage(volume, 6);
  EXPECT_EQ(1, last.Width());
  EXPECT_EQ(200, Pixel(last, 0, 0)[2]);

  // A plain texture is one image without a caption, whatever its DX10 array size says.
  const TDDSGraphic single = LoadImage(Data("array_size_0.dds"), 0);
  EXPECT_EQ(1u, single.Images().Count);
  EXPECT_EQ("", single.Images().Caption);
}

TEST(DDS, MipLevelsHalveDownToOnePixel) {
  const Bytes bytes = Data("rgba_dxt5_mips.dds");
  const TDDSGraphic top = LoadImage(bytes, 0);
  ASSERT_EQ(6u, top.Images().Count);
  const int widths[6] = {32, 16, 8, 4, 2, 1}, heights[6] = {16, 8, 4, 2, 1, 1};
  for (unsigned level = 0; level < 6; ++level) {
    const TDDSGraphic dds = LoadImage(bytes, level);
    EXPECT_EQ(widths[level], dds.Width());
    EXPECT_EQ(heights[level], dds.Height());
  }
  // Levels declared past the file's end are not offered.
  EXPECT_EQ(1u, LoadImage(Data("levels_cut.dds"), 0).Images().Count);
}

TEST(DDS, FloatFormatsKeepTheirSamples) {
  const TDDSGraphic dds = LoadImage(Data("rgba16f.dds"), 0);
  ASSERT_NE(nullptr, dds.FloatPixels());
  EXPECT_EQ("A16B16G16R16F", dds.FormatDescription());
  // The second pixel is (1, 2, 0, 0.5): the 2 is kept, the bitmap shows it clamped.
  const float* p = dds.FloatPixels()->Row(0) + 4;
  EXPECT_EQ(1.0f, p[0]);
  EXPECT_EQ(2.0f, p[1]);
  EXPECT_EQ(0.5f, p[3]);
  EXPECT_EQ(255, Pixel(dds, 1, 0)[1]);
  EXPECT_TRUE(dds.AlphaChannel());

  const TDDSGraphic packed = LoadImage(Data("rgb9e5.dds"), 0);
  ASSERT_NE(nullptr, packed.FloatPixels());
  EXPECT_EQ(0.25f, packed.FloatPixels()->Row(0)[2]);
  EXPECT_FALSE(packed.AlphaChannel());

  const TDDSGraphic bc6h = LoadImage(Data("bc6h.dds"), 0);
  ASSERT_NE(nullptr, bc6h.FloatPixels());
  EXPECT_EQ("BC6H unsigned float", bc6h.FormatDescription());
  // 8-bit formats carry no floats.
  EXPECT_EQ(nullptr, LoadImage(Data("bc7.dds"), 0).FloatPixels());
  EXPECT_EQ("BC7 sRGB", LoadImage(Data("bc7_srgb.dds"), 0).FormatDescription());
}

TEST(DDS, RXGBMovesRedOutOfAlpha) {
  // The same blocks as a DXT5 file, named RXGB: red is what DXT5 shows as alpha, alpha is opaque.
  Bytes bytes = Data("rgba_dxt5.dds");
  const TDDSGraphic dxt5 = LoadImage(bytes, 0);
  std::memcpy(&bytes[84], "RXGB", 4);
  const TDDSGraphic rxgb = LoadImage(bytes, 0);
  EXPECT_FALSE(rxgb.AlphaChannel());
  for (int y = 0; y < dxt5.Height(); ++y)
    for (int x = 0; x < dxt5.Width(); ++x) {
      const auto a = Pixel(dxt5, x, y), b = Pixel(rxgb, x, y);
      ASSERT_EQ(a[0], b[0]);
      ASSERT_EQ(a[1], b[1]);
      ASSERT_EQ(a[3], b[2]);
      ASSERT_EQ(255, b[3]);
    }
}

TEST(DDS, LegacyMasksNameTheirLayout) {
  EXPECT_EQ("A8R8G8B8", LoadImage(Data("rgba_none.dds"), 0).FormatDescription());
  EXPECT_EQ("R8G8B8", LoadImage(Data("rgb_none.dds"), 0).FormatDescription());
  EXPECT_EQ("R5G6B5", LoadImage(Data("r5g6b5_masks.dds"), 0).FormatDescription());
  EXPECT_EQ("A8L8", LoadImage(Data("a8l8.dds"), 0).FormatDescription());
  // An alpha mask without its flag is not alpha: X8R8G8B8 files written with one.
  Bytes bytes = Data("rgba_none.dds");
  test::PutLittleEndian32(bytes, 80, 0x40);
  const TDDSGraphic opaque = LoadImage(bytes, 0);
  EXPECT_FALSE(opaque.AlphaChannel());
  EXPECT_EQ(255, Pixel(opaque, 0, 0)[3]);
}

TEST(DDS, AlphaIsShownOnlyWhereTheFileUsesIt) {
  // BC1 has alpha only where a block uses its transparent black.
  EXPECT_FALSE(LoadImage(Data("rgb_dxt1.dds"), 0).AlphaChannel());
  Bytes bc1 = Data("levels_cut.dds");  // one block, c0 = c1: the three-colour mode
  EXPECT_FALSE(LoadImage(bc1, 0).AlphaChannel());
  test::PutLittleEndian32(bc1, 128 + 4, 0xFFFFFFFF);
  const TDDSGraphic transparent = LoadImage(bc1, 0);
  EXPECT_TRUE(transparent.AlphaChannel());
  EXPECT_EQ(0, Pixel(transparent, 3, 3)[3]);
  // A DX10 header whose alpha mode says opaque.
  Bytes bc7 = Data("bc7.dds");
  EXPECT_TRUE(LoadImage(bc7, 0).AlphaChannel());
  test::PutLittleEndian32(bc7, 128 + 16, 3);
  EXPECT_FALSE(LoadImage(bc7, 0).AlphaChannel());
}

// A legacy file of masked pixels, 2 x 1.
Bytes MaskedFile(std::uint32_t flags, std::uint32_t bits, std::array<std::uint32_t, 4> masks,
                 std::array<std::uint32_t, 2> pixels) {
  Bytes bytes = Data("a8l8.dds");  // any legacy header
  bytes.resize(128);
  test::PutLittleEndian32(bytes, 12, 1);
  test::PutLittleEndian32(bytes, 16, 2);
  test::PutLittleEndian32(bytes, 80, flags);
  test::PutLittleEndian32(bytes, 88, bits);
  for (int c = 0; c < 4; ++c) test::PutLittleEndian32(bytes, 92 + 4 * c, masks[c]);
  for (std::uint32_t p : pixels)
    for (unsigned i = 0; i < bits / 8; ++i) bytes.push_back(static_cast<std::uint8_t>(p >> (8 * i)));
  return bytes;
}

TEST(DDS, MaskedChannelsScaleToEightBits) {
  constexpr std::uint32_t kRGB = 0x40, kAlphaPixels = 0x1, kLuminance = 0x20000, kAlphaOnly = 0x2;
  struct Case {
    std::uint32_t Flags, Bits;
    std::array<std::uint32_t, 4> Masks;
    std::array<std::uint32_t, 2> Pixels;
    std::string Name;
    std::array<std::uint8_t, 4> Second;  // B, G, R, A of the second pixel
  };
  const Case cases[] = {
      // 10-bit channels: 1023 is 255, 512 is 128; two alpha bits of 2 are 170.
      {kRGB | kAlphaPixels, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, {0, 1023u << 20 | 512u << 10 | 2u << 30},
       "A2R10G10B10", {0, 128, 255, 170}},
      // X1R5G5B5: the top bit is unused, alpha is opaque; 16 of 31 is 132.
      {kRGB, 16, {0x7C00, 0x3E0, 0x1F, 0}, {0, 16u << 10 | 31u}, "X1R5G5B5", {255, 0, 132, 255}},
      // A4R4G4B4: nibbles times 17.
      {kRGB | kAlphaPixels, 16, {0xF00, 0xF0, 0xF, 0xF000}, {0, 0x8421}, "A4R4G4B4", {17, 34, 68, 136}},
      // 16-bit luminance: 0x8000 of 0xFFFF is 128.
      {kLuminance, 16, {0xFFFF, 0, 0, 0}, {0, 0x8000}, "L16", {128, 128, 128, 255}},
      // Alpha alone: black with that alpha.
      {kAlphaOnly, 8, {0, 0, 0, 0xFF}, {0, 0x40}, "A8", {0, 0, 0, 64}},
  };
  for (const Case& c : cases) {
    const TDDSGraphic dds = LoadImage(MaskedFile(c.Flags, c.Bits, c.Masks, c.Pixels), 0);
    EXPECT_EQ(c.Name, dds.FormatDescription());
    EXPECT_EQ(c.Second, Pixel(dds, 1, 0)) << c.Name;
  }
  // A mask of two runs of bits is no channel.
  EXPECT_EQ(FormatMessage(gesInvalidColorFormat, gesDDS),
            test::LoadErrorWith<TDDSGraphic>(MaskedFile(kRGB, 16, {0xF00F, 0xF0, 0xF00, 0}, {0, 0})));
}

TEST(DDS, AFourCCWithoutItsFlagIsStillRead) {
  Bytes bytes = Data("rgb_dxt1.dds");
  const TDDSGraphic flagged = LoadImage(bytes, 0);
  test::PutLittleEndian32(bytes, 80, 0);
  const TDDSGraphic unflagged = LoadImage(bytes, 0);
  EXPECT_EQ("BC1", unflagged.FormatDescription());
  EXPECT_EQ(0, std::memcmp(flagged.ScanLine(0), unflagged.ScanLine(0), 4 * 37));
}

TEST(DDS, HeadersThatLieAreRefusedBeforeAllocating) {
  const Bytes good = Data("rgb_dxt1.dds");
  struct Case {
    std::size_t At;
    std::uint32_t Value;
    std::string Error;
  };
  const std::string invalid = FormatMessage(gesInvalidImage, gesDDS);
  const std::string color = FormatMessage(gesInvalidColorFormat, gesDDS);
  const Case cases[] = {
      {12, 0, invalid},                   // height 0
      {16, 0x7FFFFFFF, invalid},          // a width no texture has
      {80, 0x40, color},                  // RGB without masks or bits
      {80, 0x200, color},                 // YUV
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    test::PutLittleEndian32(bytes, c.At, c.Value);
    EXPECT_EQ(c.Error, test::LoadErrorWith<TDDSGraphic>(bytes)) << c.At;
  }
  // A huge texture whose blocks the file does not hold: a short file, nothing allocated.
  Bytes huge = good;
  test::PutLittleEndian32(huge, 12, 16384);
  test::PutLittleEndian32(huge, 16, 16384);
  EXPECT_EQ(kStreamReadError, test::LoadErrorWith<TDDSGraphic>(huge));
  // Layers past any texture's count.
  Bytes layers = Data("array_bc1.dds");
  test::PutLittleEndian32(layers, 128 + 12, 0x7FFFFFFF);
  EXPECT_EQ(invalid, test::LoadErrorWith<TDDSGraphic>(layers));
  // Mip counts past the chain are cut to it: 37 x 23 has six levels at most.
  Bytes mips = good;
  test::PutLittleEndian32(mips, 28, 1000);
  const TDDSGraphic dds = LoadImage(mips, 0);
  EXPECT_EQ(1u, dds.Images().Count);  // the file holds level 0 alone
  EXPECT_EQ(6u, dds.Layout().Levels);
}

TEST(DDS, TruncatedFilesFailCleanly) {
  for (const char* name : {"cube.dds", "volume_l8.dds", "bc6h.dds", "rgba16f.dds", "array_bc1.dds"}) {
    const Bytes bytes = Data(name);
    // An image of a cut file is either whole, as the whole file has it, or refused: the
    // levels a file holds show even when later ones are missing.
    const unsigned count = LoadImage(bytes, 0).Images().Count;
    for (unsigned index : {0u, 2u}) {
      if (index >= count) continue;
      const auto whole = test::ToRgba8(LoadImage(bytes, index)).pixels;
      test::ExpectTruncationsRaiseUnlessWhole(
          bytes, [&](const Bytes& cut) { return test::ToRgba8(LoadImage(cut, index)).pixels == whole; });
    }
  }
}

}  // namespace
}  // namespace vumo
