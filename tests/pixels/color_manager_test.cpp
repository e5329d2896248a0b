#include "pixels/color_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kBadDepth = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
constexpr const char* kBadSamples = "Sample count per pixel does not correspond to the given color scheme.";
constexpr const char* kBadSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
constexpr const char* kBadVertical = "Vertical subsampling value must be <= horizontal subsampling value.";
constexpr const char* kMixedIndexed = "Conversion between indexed and non-indexed pixel formats is not supported.";
constexpr const char* kNoMethod = "Color conversion failed. Could not find a proper method.";

void ExpectError(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "expected: " << message;
  } catch (const EColorConversionError& e) {
    EXPECT_EQ(e.what(), message);
  }
}

struct Layout {
  TColorScheme source, target;
  std::uint8_t sourceBits, targetBits;
  TConversionOptions sourceOptions = 0, targetOptions = 0;
};

TColorManager Make(const Layout& l) {
  TColorManager cm;
  cm.SetSourceColorScheme(l.source);
  cm.SetTargetColorScheme(l.target);
  cm.SetSourceBitsPerSample(l.sourceBits);
  cm.SetTargetBitsPerSample(l.targetBits);
  cm.SetSourceOptions(l.sourceOptions);
  cm.SetTargetOptions(l.targetOptions);
  return cm;
}

Bytes Convert(const Layout& l, const Bytes& source, std::uint32_t count, std::size_t targetBytes,
              std::uint8_t mask = 0xFF, std::uint8_t fill = 0xEE) {
  TColorManager cm = Make(l);
  Bytes target(targetBytes, fill);
  cm.ConvertRow(source.data(), target.data(), count, mask);
  return target;
}

Bytes Words(std::initializer_list<std::uint16_t> words) {
  Bytes bytes(words.size() * 2);
  std::memcpy(bytes.data(), std::data(words), bytes.size());
  return bytes;
}

std::uint16_t WordAt(const Bytes& bytes, std::size_t index) {
  std::uint16_t v;
  std::memcpy(&v, bytes.data() + 2 * index, 2);
  return v;
}

std::uint16_t Swapped(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }

TEST(ColorManagerHelpers, MulDiv16TruncatesAndSurvivesZeroDivisor) {
  EXPECT_EQ(MulDiv16(3, 255, 15), 51);
  EXPECT_EQ(MulDiv16(51, 15, 255), 3);
  EXPECT_EQ(MulDiv16(65535, 255, 65535), 255);
  EXPECT_EQ(MulDiv16(65534, 255, 65535), 254);
  EXPECT_EQ(MulDiv16(200, 65535, 255), 200 * 257);
  EXPECT_EQ(MulDiv16(7, 9, 0), 0);
  EXPECT_EQ(ClampByte(-1), 0);
  EXPECT_EQ(ClampByte(433), 255);
  EXPECT_EQ(ClampByte(17), 17);
}

TEST(ColorManagerSetters, RejectedValuesKeepTheOldOnes) {
  TColorManager cm;
  cm.SetSourceBitsPerSample(4);
  cm.SetTargetBitsPerSample(16);
  for (std::uint8_t bad : {0, 17, 255}) {
    ExpectError([&] { cm.SetSourceBitsPerSample(bad); }, kBadDepth);
    ExpectError([&] { cm.SetTargetBitsPerSample(bad); }, kBadDepth);
  }
  EXPECT_EQ(cm.SourceBitsPerSample(), 4);
  EXPECT_EQ(cm.TargetBitsPerSample(), 16);
  cm.SetSourceSamplesPerPixel(4);
  for (std::uint8_t bad : {0, 5}) {
    ExpectError([&] { cm.SetSourceSamplesPerPixel(bad); }, kBadSamples);
    ExpectError([&] { cm.SetTargetSamplesPerPixel(bad); }, kBadSamples);
  }
  EXPECT_EQ(cm.SourceSamplesPerPixel(), 4);
  EXPECT_EQ(cm.TargetSamplesPerPixel(), 3);
}

TEST(ColorManagerSetters, ChangedOnlyWhenALayoutValueChanges) {
  TColorManager cm;
  EXPECT_TRUE(cm.Changed());
  Bytes row(3), out(3);
  cm.ConvertRow(row.data(), out.data(), 1, 0xFF);
  EXPECT_FALSE(cm.Changed());
  cm.SetSourceBitsPerSample(8);
  cm.SetTargetSamplesPerPixel(3);
  cm.SetSourceColorScheme(csRGB);
  cm.SetSourceOptions(cvSwapBytes);
  cm.SetGamma(1.8f, 2.2f);
  cm.SetYCbCrParameters(std::vector<float>{0.2f, 0.7f, 0.1f}, 2, 2);
  EXPECT_FALSE(cm.Changed());
  cm.SetTargetColorScheme(csRGB);
  EXPECT_TRUE(cm.Changed());
}

TEST(ColorManagerSetters, PixelFormatsFollowSamplesAndDepth) {
  struct Case {
    std::uint8_t samples, bits;
    TPixelFormat format;
  };
  const Case cases[] = {{1, 1, pf1bit},  {1, 2, pf4bit},  {1, 4, pf4bit},   {1, 5, pfCustom},
                        {1, 8, pf8bit},  {1, 16, pf8bit}, {3, 5, pf15bit},  {3, 8, pf24bit},
                        {3, 16, pf24bit}, {4, 8, pf32bit}, {4, 4, pfCustom}, {2, 8, pfCustom}};
  for (const Case& c : cases) {
    TColorManager cm;
    cm.SetTargetSamplesPerPixel(c.samples);
    cm.SetTargetBitsPerSample(c.bits);
    cm.SetSourceSamplesPerPixel(c.samples);
    cm.SetSourceBitsPerSample(c.bits);
    EXPECT_EQ(cm.TargetPixelFormat(), c.format) << int(c.samples) << "x" << int(c.bits);
    EXPECT_EQ(cm.SourcePixelFormat(), c.format);
  }
}

TEST(ColorManagerSelection, ImpossibleLayoutsFailAtTheFirstRow) {
  Bytes row(64), out(64);
  TColorManager grayToBgr = Make({csGray, csBGR, 8, 8});
  ExpectError([&] { grayToBgr.ConvertRow(row.data(), out.data(), 1, 0xFF); }, kMixedIndexed);
  EXPECT_TRUE(grayToBgr.Changed());
  ExpectError([&] { grayToBgr.ConvertRow(row.data(), out.data(), 1, 0xFF); }, kMixedIndexed);
  grayToBgr.SetTargetColorScheme(csGray);
  grayToBgr.ConvertRow(row.data(), out.data(), 1, 0xFF);
  EXPECT_FALSE(grayToBgr.Changed());

  const Layout noMethod[] = {{csRGB, csGrayAlpha, 8, 8}, {csCMY, csBGR, 8, 8}, {csGray, csGray, 16, 4},
                             {csRGB, csBGR, 5, 8},       {csIndexed, csIndexed, 3, 8}, {csRGB, csCMYK, 8, 8}};
  for (const Layout& l : noMethod) {
    TColorManager cm = Make(l);
    ExpectError([&] { cm.ConvertRow(row.data(), out.data(), 1, 0xFF); }, kNoMethod);
  }
  ExpectError([&] { Make({csGrayAlpha, csBGR, 8, 8}).ConvertRow(row.data(), out.data(), 1, 0xFF); },
              kMixedIndexed);
}

TEST(ColorManagerSelection, TooFewPlanesIsAnErrorNotAnOverread) {
  Bytes a(4), b(4), out(16);
  const void* planes[] = {a.data(), b.data()};
  TColorManager cm = Make({csRGB, csBGR, 8, 8});
  ExpectError([&] { cm.ConvertRow(std::span<const void* const>(planes, 2), out.data(), 4, 0xFF); }, kNoMethod);
}

TEST(ColorManagerPacked, DepthsRescaleIndicesAndGreyLevels) {
  EXPECT_EQ(Convert({csIndexed, csIndexed, 1, 8}, {0b10110000}, 4, 4), (Bytes{255, 0, 255, 255}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 4, 8}, {0xF3, 0x10}, 3, 3), (Bytes{255, 51, 17}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 8, 4}, {51, 255, 17}, 3, 2, 0xFF, 0), (Bytes{0x3F, 0x10}));
  EXPECT_EQ(Convert({csGray, csGray, 2, 8}, {0b00011011}, 4, 4), (Bytes{0, 85, 170, 255}));
  EXPECT_EQ(Convert({csGray, csGray, 8, 1}, {255, 0, 200, 0, 0, 0, 0, 255, 255}, 9, 2, 0xFF, 0),
            (Bytes{0b10000001, 0b10000000}));
  // Equal depths are a plain copy, and grey gets no gamma.
  EXPECT_EQ(Convert({csGray, csGray, 8, 8, 0, cvApplyGamma}, {1, 2, 128}, 3, 3), (Bytes{1, 2, 128}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 4, 4}, {0xAB, 0xC0}, 3, 2), (Bytes{0xAB, 0xC0}));
}

TEST(ColorManagerPacked, MaskWritesOnlyItsPixelsAndConsumesOnlyTheirSamples) {
  EXPECT_EQ(Convert({csIndexed, csIndexed, 8, 8}, {1, 2, 3, 4}, 8, 8, 0x55),
            (Bytes{0xEE, 1, 0xEE, 2, 0xEE, 3, 0xEE, 4}));
  // The target byte steps by pixel position, so the written nibbles are the odd pixels'.
  EXPECT_EQ(Convert({csIndexed, csIndexed, 8, 4}, {0, 17, 34, 51}, 8, 4, 0x55, 0xFF),
            (Bytes{0xF0, 0xF1, 0xF2, 0xF3}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 1, 1}, {0b11000000}, 8, 1, 0x0F, 0x00), (Bytes{0b00001100}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 8, 8}, {9}, 8, 8, 0x00), Bytes(8, 0xEE));
}

TEST(ColorManagerPacked, SixteenBitIndices) {
  const Bytes words = Words({0x1234, 0xFFFF, 0x0000});
  EXPECT_EQ(Convert({csIndexed, csIndexed, 16, 16}, words, 3, 6), words);
  const Bytes swapped = Convert({csIndexed, csIndexed, 16, 16, cvSwapBytes}, words, 3, 6);
  EXPECT_EQ(WordAt(swapped, 0), 0x3412);
  const Bytes masked = Convert({csIndexed, csIndexed, 16, 16}, words, 3, 6, 0x40);
  EXPECT_EQ(WordAt(masked, 0), 0xEEEE);
  EXPECT_EQ(WordAt(masked, 1), 0x1234);
  EXPECT_EQ(Convert({csIndexed, csIndexed, 16, 4}, Words({0xFFFF, 4369}), 2, 1, 0xFF, 0), (Bytes{0xF1}));
  EXPECT_EQ(Convert({csIndexed, csIndexed, 16, 8, cvSwapBytes}, Words({Swapped(0xFFFF), Swapped(0x0102)}), 2, 2),
            (Bytes{255, 1}));
  const Bytes wide = Convert({csIndexed, csIndexed, 2, 16}, {0b11010000}, 3, 6);
  EXPECT_EQ(WordAt(wide, 0), 65535);
  EXPECT_EQ(WordAt(wide, 1), 21845);
  EXPECT_EQ(WordAt(wide, 2), 0);
}

TEST(ColorManagerGray, DepthsAlphaAndPlanes) {
  EXPECT_EQ(Convert({csGrayAlpha, csGray, 8, 8}, {10, 99, 20, 99}, 2, 2), (Bytes{10, 20}));
  EXPECT_EQ(Convert({csGray, csGray, 16, 8, cvSwapBytes}, Words({Swapped(0x8000), Swapped(0x0101)}), 2, 2),
            (Bytes{127, 1}));
  EXPECT_EQ(Convert({csGrayAlpha, csGray, 16, 8}, Words({0xFFFF, 0, 0x0202, 0}), 2, 2), (Bytes{255, 2}));
  const Bytes wide = Convert({csGray, csGray, 8, 16}, {1, 255}, 2, 4);
  EXPECT_EQ(WordAt(wide, 0), 257);
  EXPECT_EQ(WordAt(wide, 1), 65535);
  const Bytes kept = Convert({csGray, csGray, 16, 16, cvSwapBytes}, Words({0x0102}), 1, 2);
  EXPECT_EQ(WordAt(kept, 0), 0x0201);

  Bytes grey = {5, 6, 7}, alpha = {0, 0, 0}, out(3);
  const void* planes[] = {grey.data(), alpha.data()};
  TColorManager cm = Make({csGrayAlpha, csGray, 8, 8});
  cm.ConvertRow(std::span<const void* const>(planes, 2), out.data(), 3, 0xFF);
  EXPECT_EQ(out, grey);
}

TEST(ColorManagerRgb, OrdersAndAlpha) {
  const Bytes rgb = {1, 2, 3, 4, 5, 6};
  const Bytes rgba = {1, 2, 3, 9, 4, 5, 6, 8};
  EXPECT_EQ(Convert({csRGB, csBGR, 8, 8}, rgb, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(Convert({csBGR, csRGB, 8, 8}, rgb, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(Convert({csRGB, csRGB, 8, 8}, rgb, 2, 6), rgb);
  EXPECT_EQ(Convert({csBGR, csBGR, 8, 8}, rgb, 2, 6), rgb);
  EXPECT_EQ(Convert({csRGBA, csBGRA, 8, 8}, rgba, 2, 8), (Bytes{3, 2, 1, 9, 6, 5, 4, 8}));
  EXPECT_EQ(Convert({csBGRA, csBGRA, 8, 8}, rgba, 2, 8), rgba);
  EXPECT_EQ(Convert({csRGBA, csBGR, 8, 8}, rgba, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(Convert({csRGB, csBGRA, 8, 8}, rgb, 2, 8), (Bytes{3, 2, 1, 0xEE, 6, 5, 4, 0xEE}));
  EXPECT_EQ(Convert({csRGB, csBGR, 8, 8}, rgb, 4, 12, 0x50),
            (Bytes{0xEE, 0xEE, 0xEE, 3, 2, 1, 0xEE, 0xEE, 0xEE, 6, 5, 4}));

  // Options assigned again after the first row (the same layout, a second file) keep the
  // alpha that the schemes carry.
  TColorManager cm = Make({csRGBA, csBGRA, 8, 8});
  Bytes target(8);
  cm.ConvertRow(rgba.data(), target.data(), 2, 0xFF);
  cm.SetSourceOptions(0);
  cm.SetTargetOptions(0);
  std::fill(target.begin(), target.end(), std::uint8_t{0});
  cm.ConvertRow(rgba.data(), target.data(), 2, 0xFF);
  EXPECT_EQ(target, (Bytes{3, 2, 1, 9, 6, 5, 4, 8}));
  const Bytes r = {1, 4}, g = {2, 5}, b = {3, 6}, a = {9, 8};
  const void* planes[4] = {r.data(), g.data(), b.data(), a.data()};
  cm.SetSourceOptions(0);
  std::fill(target.begin(), target.end(), std::uint8_t{0});
  cm.ConvertRow(std::span<const void* const>(planes, 4), target.data(), 2, 0xFF);
  EXPECT_EQ(target, (Bytes{3, 2, 1, 9, 6, 5, 4, 8}));
}

TEST(ColorManagerRgb, RowsConvertInPlace) {
  struct Case {
    Layout layout;
    std::size_t targetPixelBytes;
  };
  const Case cases[] = {{{csRGB, csBGR, 8, 8}, 3},
                        {{csRGBA, csBGRA, 8, 8}, 4},
                        {{csRGB, csBGR, 16, 16, cvSwapBytes}, 6},
                        {{csRGBA, csBGRA, 8, 8, 0, cvApplyGamma}, 4},
                        {{csBGRA, csBGR, 8, 8}, 3}};
  for (const Case& c : cases) {
    Bytes row(48);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 29 + 3);
    const Bytes expected = Convert(c.layout, row, 6, 48);
    TColorManager cm = Make(c.layout);
    cm.ConvertRow(row.data(), row.data(), 6, 0xFF);
    const std::size_t written = 6 * c.targetPixelBytes;
    EXPECT_EQ(Bytes(row.begin(), row.begin() + written), Bytes(expected.begin(), expected.begin() + written))
        << int(c.layout.source);
  }
}

TEST(ColorManagerRgb, GammaDepthsAndSwapping) {
  TColorManager gamma;
  const std::uint8_t* table = gamma.GammaTable();
  EXPECT_EQ(Convert({csRGBA, csBGRA, 8, 8, 0, cvApplyGamma}, {0, 64, 128, 128}, 1, 4),
            (Bytes{table[128], table[64], 0, 128}));

  const Bytes deep = Words({0xFFFF, 0x8080, 0x0101, 0x4000});
  EXPECT_EQ(Convert({csRGBA, csRGBA, 16, 8}, deep, 1, 4), (Bytes{255, 128, 1, 63}));
  const Bytes swappedDeep = Words({0xFFFF, Swapped(0x8080), Swapped(0x0101), Swapped(0x4000)});
  EXPECT_EQ(Convert({csRGBA, csBGRA, 16, 8, cvSwapBytes, cvApplyGamma}, swappedDeep, 1, 4),
            (Bytes{table[1], table[128], 255, 63}));

  const Bytes wide = Convert({csRGB, csBGR, 8, 16}, {1, 2, 255}, 1, 6);
  EXPECT_EQ(WordAt(wide, 0), 65535);
  EXPECT_EQ(WordAt(wide, 2), 257);
  const Bytes copied = Convert({csRGBA, csRGBA, 16, 16, cvSwapBytes}, Words({1, 2, 3, 4}), 1, 8);
  EXPECT_EQ(WordAt(copied, 0), 0x0100);
  EXPECT_EQ(WordAt(copied, 3), 0x0400);
}

// Decoders hand over 16-bit samples at any byte offset.
TEST(ColorManagerRgb, SixteenBitSamplesAtOddAddresses) {
  const Bytes words = Words({0x0101, 0x0202, 0x0303, 0x0404, 0x0505, 0x0606, 0x0707, 0x0808});
  Bytes shifted(words.size() + 1);
  std::memcpy(shifted.data() + 1, words.data(), words.size());
  const Layout layouts[] = {{csRGB, csBGR, 16, 8, cvSwapBytes}, {csRGBA, csRGBA, 16, 16}, {csCMYK, csRGB, 16, 8},
                            {csYCbCr, csRGB, 16, 16}, {csCIELab, csBGR, 16, 8}, {csGrayAlpha, csGray, 16, 16},
                            {csIndexed, csIndexed, 16, 4}};
  for (const Layout& l : layouts) {
    TColorManager cm = Make(l);
    Bytes aligned(16, 0), odd(17, 0);
    cm.ConvertRow(words.data(), aligned.data(), 2, 0xFF);
    cm.ConvertRow(shifted.data() + 1, odd.data() + 1, 2, 0xFF);
    EXPECT_EQ(aligned, Bytes(odd.begin() + 1, odd.end())) << "source scheme " << int(l.source);
  }
}

TEST(ColorManagerCmyk, ReferenceValues) {
  EXPECT_EQ(Convert({csCMYK, csRGB, 8, 8}, {0, 0, 0, 0}, 1, 3), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert({csCMYK, csBGR, 8, 8}, {10, 200, 77, 255}, 1, 3), (Bytes{0, 0, 0}));
  EXPECT_EQ(Convert({csCMYK, csRGB, 8, 8}, {100, 0, 0, 50}, 1, 3), (Bytes{124, 205, 205}));
  EXPECT_EQ(Convert({csCMYK, csBGRA, 8, 8}, {100, 0, 0, 50}, 1, 4), (Bytes{205, 205, 124, 0xEE}));
  const Bytes wide = Convert({csCMYK, csRGB, 8, 16}, {100, 0, 0, 50}, 1, 6);
  EXPECT_EQ(WordAt(wide, 0), 124 * 257);
  EXPECT_EQ(Convert({csCMYK, csRGB, 16, 8}, Words({0, 65535, 30000, 0}), 1, 3), (Bytes{255, 0, 139}));
  const Bytes deep = Convert({csCMYK, csRGB, 16, 16}, Words({0, 65535, 1000, 2000}), 1, 6);
  EXPECT_EQ(WordAt(deep, 0), 65535 - 2000);
  EXPECT_EQ(WordAt(deep, 1), 0);
  EXPECT_EQ(WordAt(deep, 2), 65535 - 1000 - 2000 + 1000 * 2000 / 65535);
}

TEST(ColorManagerLab, Sanity) {
  // Black, a step on the linear part of the lightness curve, mid grey and white, through the
  // sRGB curve: L* 50 is 18% grey, sRGB 119.
  EXPECT_EQ(Convert({csCIELab, csRGB, 8, 8}, {0, 0, 0}, 1, 3), (Bytes{0, 0, 0}));
  EXPECT_EQ(Convert({csCIELab, csRGB, 8, 8}, {4, 0, 0}, 1, 3), (Bytes{14, 14, 14}));
  EXPECT_EQ(Convert({csCIELab, csRGB, 8, 8}, {50, 0, 0}, 1, 3), (Bytes{119, 119, 119}));
  EXPECT_EQ(Convert({csCIELab, csRGB, 8, 8}, {100, 0, 0}, 1, 3), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert({csCIELab, csBGR, 8, 8, cvLabScaledLightness | cvLabChromaOffset}, {255, 128, 128}, 1, 3),
            (Bytes{255, 255, 255}));
  const Bytes red = Convert({csCIELab, csRGB, 8, 8}, {60, 70, 50}, 1, 3);
  EXPECT_GT(red[0], 200);
  EXPECT_LT(red[1], 100);
  EXPECT_LT(red[2], 100);
  EXPECT_EQ(Convert({csCIELab, csBGR, 8, 8}, {60, 70, 50}, 1, 3), (Bytes{red[2], red[1], red[0]}));
  // Negative a* (signed byte) turns green.
  const Bytes green = Convert({csCIELab, csRGB, 8, 8}, {60, static_cast<std::uint8_t>(-70), 50}, 1, 3);
  EXPECT_GT(green[1], green[0]);
  // An sRGB red (200, 40, 30) is L* 44.87, a* 61.42, b* 47.68 relative to D50, which Photoshop
  // stores in 8 bits as (114, 189, 176) and in 16 bits as (29408, 48492, 44974): it shows as
  // itself again, to the rounding of the stored samples.
  const Bytes stored = Convert({csCIELab, csRGB, 8, 8, cvLabScaledLightness | cvLabChromaOffset}, {114, 189, 176}, 1, 3);
  EXPECT_EQ(stored, (Bytes{199, 40, 29}));
  const Bytes fine = Convert({csCIELab, csRGB, 16, 8, cvLabScaledLightness | cvLabChromaOffset},
                             Words({29408, 48492, 44974}), 1, 3);
  EXPECT_EQ(fine, (Bytes{200, 40, 30}));
  // The same red relative to D65 is L* 44.08, a* 60.60, b* 45.97: as 16-bit TIFF samples
  // (lightness scaled, a* and b* signed) it shows as itself only when read as D65.
  const Bytes d65Red = Words({28889, 15513, 11769});
  EXPECT_EQ(Convert({csCIELab, csRGB, 16, 8, cvLabScaledLightness | cvLabD65White}, d65Red, 1, 3),
            (Bytes{200, 40, 30}));
  EXPECT_NE(Convert({csCIELab, csRGB, 16, 8, cvLabScaledLightness}, d65Red, 1, 3), (Bytes{200, 40, 30}));
  // Colours outside sRGB are clipped per channel.
  EXPECT_EQ(Convert({csCIELab, csRGB, 8, 8}, {60, 70, 50}, 1, 3), (Bytes{255, 73, 62}));
  // 16-bit samples read as their 8-bit counterparts.
  const Layout deep{csCIELab, csRGB, 16, 8, cvLabScaledLightness | cvLabChromaOffset};
  EXPECT_EQ(Convert(deep, Words({65535, 32768, 32768}), 1, 3), (Bytes{255, 255, 255}));
  EXPECT_EQ(Convert(deep, Words({0, 32768, 32768}), 1, 3), (Bytes{0, 0, 0}));
  EXPECT_EQ(Convert(deep, Words({60 * 257, 198 * 256, 178 * 256}), 1, 3),
            Convert({csCIELab, csRGB, 8, 8, cvLabChromaOffset | cvLabScaledLightness}, {60, 198, 178}, 1, 3));
}

TEST(ColorManagerYCbCr, TablesAndReferenceValues) {
  EXPECT_EQ(Convert({csYCbCr, csRGB, 8, 8}, {128, 128, 128}, 1, 3), (Bytes{128, 128, 128}));
  EXPECT_EQ(Convert({csYCbCr, csRGB, 8, 8}, {255, 128, 255}, 1, 3), (Bytes{255, 164, 255}));
  EXPECT_EQ(Convert({csYCbCr, csBGRA, 8, 8}, {255, 128, 255}, 1, 4), (Bytes{255, 164, 255, 0xEE}));
  EXPECT_EQ(Convert({csYCbCr, csRGB, 16, 8}, Words({255 * 257, 128 * 257, 255 * 257}), 1, 3),
            (Bytes{255, 164, 255}));
  const Bytes wide = Convert({csYCbCr, csRGB, 8, 16}, {255, 128, 255}, 1, 6);
  EXPECT_EQ(WordAt(wide, 1), 164 * 257);
  const Bytes deep = Convert({csPhotoYCC, csRGB, 16, 16}, Words({10000, 40092, 35209, 48245, 40092, 35209}), 2, 12);
  EXPECT_EQ(WordAt(deep, 0), 13584);
  EXPECT_EQ(WordAt(deep, 2), 13584);
  EXPECT_EQ(WordAt(deep, 3), 65535);

  TColorManager cm = Make({csYCbCr, csRGB, 8, 8});
  Bytes out(3);
  const Bytes pixel = {0, 0, 0};
  cm.ConvertRow(pixel.data(), out.data(), 1, 0xFF);
  ASSERT_EQ(cm.CrToRed().size(), 256u);
  EXPECT_EQ(cm.CrToRed()[128], 0);
  EXPECT_EQ(cm.CrToRed()[255], 178);
  EXPECT_EQ(cm.CrToGreen()[255], -91);
  EXPECT_EQ(cm.CbToBlue()[0], -227);
  cm.SetSourceColorScheme(csPhotoYCC);
  cm.ConvertRow(pixel.data(), out.data(), 1, 0xFF);
  EXPECT_EQ(cm.CrToRed()[137], 0);
  EXPECT_EQ(cm.CbToBlue()[156], 0);
  EXPECT_EQ(cm.CbToGreen()[156], 0);
}

TEST(ColorManagerYCbCr, ParametersAreCheckedAfterTheCoefficientsAreStored) {
  TColorManager cm;
  ExpectError([&] { cm.SetYCbCrParameters(std::vector<float>{0.2f, 0.7f, 0.1f}, 3, 1); }, kBadSubsampling);
  EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[0], 0.2f);
  EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[2], 0.1f);
  EXPECT_EQ(cm.HorizontalSubsampling(), 1);
  ExpectError([&] { cm.SetYCbCrParameters(std::vector<float>{0.3f}, 1, 2); }, kBadVertical);
  EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[0], 0.3f);
  EXPECT_FLOAT_EQ(cm.YCbCrCoefficients()[1], 0.7f);
  cm.SetYCbCrParameters(std::vector<float>{0.299f, 0.587f, 0.114f}, 4, 2);
  EXPECT_EQ(cm.HorizontalSubsampling(), 4);
  EXPECT_EQ(cm.VerticalSubsampling(), 2);

  // A luma-green coefficient of 0 from a broken file converts without overflow.
  TColorManager broken = Make({csYCbCr, csRGB, 8, 8});
  broken.SetYCbCrParameters(std::vector<float>{1e30f, 0.0f, -1e30f}, 1, 1);
  Bytes out(3);
  const Bytes pixel = {200, 0, 255};
  broken.ConvertRow(pixel.data(), out.data(), 1, 0xFF);
}

// A row converted in one pass equals the same row assembled from two complementary masked
// passes, each fed only its own pixels: the fast paths and the masked loops agree.
TEST(ColorManagerMasks, TwoInterlacedPassesEqualOneRow) {
  const Layout layouts[] = {{csRGB, csBGR, 8, 8},
                            {csRGBA, csBGRA, 8, 8},
                            {csRGBA, csRGBA, 8, 8},
                            {csBGR, csRGBA, 16, 8, cvSwapBytes, cvApplyGamma},
                            {csRGBA, csBGRA, 16, 16},
                            {csCMYK, csBGR, 8, 8},
                            {csCIELab, csRGB, 8, 8, cvLabChromaOffset},
                            {csYCbCr, csBGR, 8, 16},
                            {csGrayAlpha, csGray, 16, 8}};
  const std::uint32_t count = 13;
  for (const Layout& l : layouts) {
    TColorManager cm = Make(l);
    Bytes probe(64), probeOut(64);
    cm.ConvertRow(probe.data(), probeOut.data(), 1, 0xFF);
    const bool sourceAlpha = cm.SourceOptions() & cvAlpha;
    const std::size_t samples = l.source == csGrayAlpha ? 2 : (l.source == csCMYK || sourceAlpha) ? 4 : 3;
    const std::size_t pixelBytes = samples * l.sourceBits / 8;
    const std::size_t targetPixel = (l.target == csGray ? 1 : (cm.TargetOptions() & cvAlpha) ? 4 : 3) *
                                    l.targetBits / 8;
    Bytes source(count * pixelBytes);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 37 + 11);
    Bytes whole(count * targetPixel, 0x5A), passes(count * targetPixel, 0x5A);
    cm.ConvertRow(source.data(), whole.data(), count, 0xFF);
    for (std::uint8_t mask : {std::uint8_t{0xAA}, std::uint8_t{0x55}}) {
      Bytes own;
      for (std::uint32_t i = 0; i < count; ++i) {
        if (mask & (0x80 >> (i % 8))) own.insert(own.end(), source.begin() + i * pixelBytes, source.begin() + (i + 1) * pixelBytes);
      }
      cm.ConvertRow(own.data(), passes.data(), count, mask);
    }
    EXPECT_EQ(whole, passes) << "source scheme " << int(l.source);
  }
}

// Every converter reads exactly the selected pixels' samples and writes inside the row; the
// buffers are sized exactly, so the sanitizer build catches any stray access.
TEST(ColorManagerMasks, RowsStayInsideExactlySizedBuffers) {
  const TColorScheme colour[] = {csRGB, csRGBA, csBGR, csBGRA, csCMYK, csCIELab, csYCbCr, csPhotoYCC};
  const TColorScheme colourTargets[] = {csRGB, csRGBA, csBGR, csBGRA};
  std::vector<Layout> layouts;
  for (std::uint8_t sb : {1, 2, 4, 8, 16}) {
    for (std::uint8_t tb : {1, 2, 4, 8, 16}) {
      layouts.push_back({csIndexed, csIndexed, sb, tb, cvSwapBytes});
      if ((sb == 16 || tb == 16) && (sb < 8 || tb < 8)) continue;
      layouts.push_back({csGray, csGray, sb, tb});
      if (sb >= 8 && tb >= 8) layouts.push_back({csGrayAlpha, csIndexed, sb, tb, cvSwapBytes});
    }
  }
  for (TColorScheme s : colour) {
    for (TColorScheme t : colourTargets) {
      for (std::uint8_t sb : {8, 16}) {
        for (std::uint8_t tb : {8, 16}) layouts.push_back({s, t, sb, tb, cvSwapBytes, cvApplyGamma});
      }
    }
  }
  auto samplesOf = [](TColorScheme s) -> std::size_t {
    switch (s) {
      case csIndexed: case csGray: return 1;
      case csGrayAlpha: return 2;
      case csRGBA: case csBGRA: case csCMYK: return 4;
      default: return 3;
    }
  };
  auto rowBytes = [](std::size_t pixels, std::size_t samples, std::uint8_t bits) {
    return bits < 8 ? (pixels * bits + 7) / 8 : pixels * samples * bits / 8;
  };
  for (const Layout& l : layouts) {
    for (std::uint32_t count : {1u, 7u, 8u, 13u}) {
      for (std::uint8_t mask : {std::uint8_t{0xFF}, std::uint8_t{0x55}, std::uint8_t{0x81}}) {
        std::size_t selected = 0;
        for (std::uint32_t i = 0; i < count; ++i) selected += (mask >> (7 - i % 8)) & 1;
        Bytes source(rowBytes(selected, samplesOf(l.source), l.sourceBits));
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 91 + 5);
        Bytes target(rowBytes(count, l.target == csIndexed || l.target == csGray ? 1 : samplesOf(l.target),
                              l.targetBits));
        TColorManager cm = Make(l);
        cm.ConvertRow(source.empty() ? nullptr : source.data(), target.data(), count, mask);
      }
    }
  }
}

// The length-checked form counts only the pixels a mask selects: an interlaced pass's row
// holds just those.
TEST(ColorManagerMasks, CheckedRowsNeedOnlyTheSelectedPixels) {
  TColorManager cm;
  cm.Setup(TColorSetup{csRGB, 8, 3, 0, csBGR, 8, 3, 0});
  Bytes target(13 * 3);
  Bytes source(4 * 3, 7);  // 0x88 over 13 columns selects 0, 4, 8 and 12
  const void* const row[1] = {source.data()};
  cm.ConvertRow(std::span<const void* const>(row, 1), source.size(), target.data(), target.size(), 13, 0x88);
  EXPECT_EQ(target[12 * 3], 7);
  EXPECT_EQ(target[1 * 3], 0);
  EXPECT_THROW(cm.ConvertRow(std::span<const void* const>(row, 1), source.size() - 1, target.data(), target.size(), 13, 0x88),
               EColorConversionError);
}

TEST(ColorManagerPlanes, PlanarEqualsInterleaved) {
  const Layout layouts[] = {{csRGBA, csBGRA, 8, 8}, {csRGB, csRGB, 16, 8, cvSwapBytes}, {csCMYK, csRGB, 8, 8},
                            {csCIELab, csBGR, 8, 8}, {csYCbCr, csRGBA, 16, 16}};
  const std::uint32_t count = 5;
  for (const Layout& l : layouts) {
    const std::size_t planeCount = l.source == csRGBA || l.source == csCMYK ? 4 : 3;
    const std::size_t sampleBytes = l.sourceBits / 8;
    Bytes interleaved(count * planeCount * sampleBytes);
    for (std::size_t i = 0; i < interleaved.size(); ++i) interleaved[i] = static_cast<std::uint8_t>(i * 53 + 7);
    std::vector<Bytes> planes(planeCount, Bytes(count * sampleBytes));
    for (std::uint32_t p = 0; p < count; ++p) {
      for (std::size_t k = 0; k < planeCount; ++k) {
        std::memcpy(planes[k].data() + p * sampleBytes, interleaved.data() + (p * planeCount + k) * sampleBytes,
                    sampleBytes);
      }
    }
    std::vector<const void*> pointers;
    for (const Bytes& plane : planes) pointers.push_back(plane.data());
    TColorManager cm = Make(l);
    Bytes fromPlanes(count * 8, 0), fromInterleaved(count * 8, 0);
    cm.ConvertRow(pointers, fromPlanes.data(), count, 0xFF);
    cm.ConvertRow(interleaved.data(), fromInterleaved.data(), count, 0xFF);
    EXPECT_EQ(fromPlanes, fromInterleaved) << "source scheme " << int(l.source);
  }
}

TEST(ColorManagerGamma, DefaultsAndReplacedValues) {
  TColorManager cm;
  EXPECT_EQ(cm.GammaTable()[0], 0);
  EXPECT_EQ(cm.GammaTable()[128], 186);
  EXPECT_EQ(cm.GammaTable()[255], 255);
  const Bytes defaults(cm.GammaTable(), cm.GammaTable() + 256);
  cm.SetGamma(1.0f, 1.0f);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cm.GammaTable()[i], i);
  cm.SetGamma(0.0f, -3.0f);
  EXPECT_FLOAT_EQ(cm.MainGamma(), 1.0f);
  EXPECT_FLOAT_EQ(cm.DisplayGamma(), 2.2f);
  EXPECT_EQ(Bytes(cm.GammaTable(), cm.GammaTable() + 256), defaults);
  // A 16-bit target with a shallow source stays inside the table.
  cm.SetSourceBitsPerSample(4);
  cm.SetTargetBitsPerSample(16);
  cm.SetGamma(1.0f, 1.0f);
  EXPECT_EQ(cm.GammaTable()[255], 255);
}

TEST(ColorManagerPalette, RawLayouts) {
  const Bytes triples = {1, 2, 3, 4, 5, 6};
  const Bytes quads = {1, 2, 3, 0, 4, 5, 6, 0};
  const Bytes red = {1, 4}, green = {2, 5}, blue = {3, 6};
  const TPaletteEntry rgbFirst{1, 2, 3, 0}, bgrFirst{3, 2, 1, 0};
  TColorManager cm;
  auto one = [&](const void* data) { return std::vector<const void*>{data}; };
  const std::vector<const void*> planes = {red.data(), green.data(), blue.data()};
  EXPECT_EQ(cm.CreateColorPalette(one(triples.data()), pfInterlaced8Triple, 2, false)[0], rgbFirst);
  EXPECT_EQ(cm.CreateColorPalette(one(triples.data()), pfInterlaced8Triple, 2, true)[0], bgrFirst);
  EXPECT_EQ(cm.CreateColorPalette(one(quads.data()), pfInterlaced8Quad, 2, true)[1], (TPaletteEntry{6, 5, 4, 0}));
  EXPECT_EQ(cm.CreateColorPalette(planes, pfPlane8Triple, 2, true)[1], (TPaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(cm.CreateColorPalette(planes, pfPlane8Quad, 2, false)[0], rgbFirst);

  const Bytes words = Words({257, 514, 771, 0, 1028, 1285, 1542, 0});
  EXPECT_EQ(cm.CreateColorPalette(one(words.data()), pfInterlaced16Quad, 2, true)[1], (TPaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(cm.CreateColorPalette(one(words.data()), pfInterlaced16Triple, 2, false)[0], (TPaletteEntry{3, 2, 1, 0}));
  const Bytes r16 = Words({Swapped(65535)}), g16 = Words({Swapped(0x8080)}), b16 = Words({Swapped(0x0101)});
  cm.SetSourceOptions(cvSwapBytes);
  cm.SetTargetOptions(cvApplyGamma);
  EXPECT_EQ(cm.CreateColorPalette(std::vector<const void*>{r16.data(), g16.data(), b16.data()}, pfPlane16Triple, 1,
                                  false)[0],
            (TPaletteEntry{255, cm.GammaTable()[128], cm.GammaTable()[1], 0}));

  ExpectError([&] { cm.CreateColorPalette(one(red.data()), pfPlane8Triple, 2, false); }, kNoMethod);
}

TEST(ColorManagerPalette, CountsAndIndexRemap) {
  Bytes data(300 * 3);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 3);
  const std::vector<const void*> one = {data.data()};
  TColorManager cm;
  EXPECT_EQ(cm.CreateColorPalette(one, pfInterlaced8Triple, 300, false).size(), 256u);

  cm.SetSourceBitsPerSample(4);
  const TLogPalette spread = cm.CreateColorPalette(one, pfInterlaced8Triple, 16, false);
  ASSERT_EQ(spread.size(), 256u);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(spread[17 * k].peRed, k);
  EXPECT_EQ(spread[18].peRed, 1);

  cm.SetSourceBitsPerSample(8);
  cm.SetTargetBitsPerSample(4);
  const TLogPalette narrowed = cm.CreateColorPalette(one, pfInterlaced8Triple, 256, false);
  ASSERT_EQ(narrowed.size(), 16u);
  EXPECT_EQ(narrowed[3].peGreen, 51);
  EXPECT_EQ(narrowed[15].peGreen, 255);

  // A short palette leaves the far entries black instead of reading past them.
  cm.SetTargetBitsPerSample(1);
  const TLogPalette twoOfThree = cm.CreateColorPalette(one, pfInterlaced8Triple, 3, false);
  ASSERT_EQ(twoOfThree.size(), 2u);
  EXPECT_EQ(twoOfThree[1], TPaletteEntry{});

  // Sixteen-bit indices have no 256-entry counterpart: the palette stays as read.
  cm.SetSourceBitsPerSample(16);
  cm.SetTargetBitsPerSample(8);
  EXPECT_EQ(cm.CreateColorPalette(one, pfInterlaced8Triple, 40, false).size(), 40u);
}

TEST(ColorManagerPalette, GreyRamps) {
  TColorManager cm;
  cm.SetTargetSamplesPerPixel(1);
  const TLogPalette white = cm.CreateGrayPalette(true);
  ASSERT_EQ(white.size(), 256u);
  EXPECT_EQ(white[0], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(white[255], (TPaletteEntry{0, 0, 0, 0}));
  cm.SetTargetBitsPerSample(4);
  const TLogPalette ramp = cm.CreateGrayPalette(false);
  ASSERT_EQ(ramp.size(), 16u);
  EXPECT_EQ(ramp[3].peBlue, 51);
  cm.SetTargetBitsPerSample(1);
  EXPECT_EQ(cm.CreateGrayPalette(false), (TLogPalette{{0, 0, 0, 0}, {255, 255, 255, 0}}));
  cm.SetTargetBitsPerSample(8);
  cm.SetTargetOptions(cvApplyGamma);
  EXPECT_EQ(cm.CreateGrayPalette(false)[128].peRed, cm.GammaTable()[128]);
}

}  // namespace
}  // namespace vumo
