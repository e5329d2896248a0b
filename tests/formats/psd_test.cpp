#include "formats/psd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Compare;
using test::Fixture;
using test::LoadReferencePng;
using test::ReadFile;
using test::ToRgba8;

const std::string kInvalidImage = "Cannot load image. Invalid or unexpected PSD or PDD image format.";
const std::string kInvalidColor = "Invalid color format in PSD or PDD file.";

void LoadBytes(TPSDGraphic& graphic, const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  graphic.LoadFromStream(stream);
}

std::string LoadError(const std::vector<std::uint8_t>& bytes) { return test::LoadErrorWith<TPSDGraphic>(bytes); }

void PutBe(std::vector<std::uint8_t>& b, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A document with empty sections and the given compression code, followed by `data`.
std::vector<std::uint8_t> MakePsd(std::uint16_t mode, std::uint16_t depth, std::uint32_t width, std::uint32_t height,
                                  std::uint16_t channels, std::uint16_t compression, const std::vector<std::uint8_t>& data,
                                  std::uint16_t version = 1) {
  std::vector<std::uint8_t> b = {'8', 'B', 'P', 'S'};
  PutBe(b, version, 2);
  b.resize(12, 0);
  PutBe(b, channels, 2);
  PutBe(b, height, 4);
  PutBe(b, width, 4);
  PutBe(b, depth, 2);
  PutBe(b, mode, 2);
  PutBe(b, 0, 4);
  PutBe(b, 0, 4);
  PutBe(b, 0, version == 2 ? 8 : 4);
  PutBe(b, compression, 2);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

struct Reference {
  const char* name;
  int tolerance;  // colour, where not both transparent
};

// Files this reader shows as their references do, to the rounding of 16-bit and CMYK steps.
TEST(PSDReader, RealWorldFilesMatchTheirReferences) {
  for (const Reference& r : {Reference{"8bit-grayscale.psd", 0}, Reference{"16bit_grayscale.psd", 1},
                             Reference{"16bit-rle.psd", 1}, Reference{"adobehq-2_5.psd", 0}, Reference{"bitmap.psd", 0},
                             Reference{"metadata.psd", 0}, Reference{"rgb-gimp-2.8.10.psd", 0},
                             Reference{"rgb16-raw-affinityphoto-1.8.5.psd", 1}, Reference{"53alphas.psd", 0},
                             Reference{"cmyk8_testcard.psd", 1}, Reference{"cmyk16_testcard.psd", 2},
                             Reference{"mch1-8bits.psd", 0}, Reference{"mch1-16bits.psd", 1}}) {
    SCOPED_TRACE(r.name);
    const std::string base = Fixture(std::string("kimageformats/psd/") + r.name);
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(base));
    const auto d = Compare(ToRgba8(graphic), LoadReferencePng(base.substr(0, base.size() - 4) + ".png"), r.tolerance);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u);
    EXPECT_LE(d.maxAlphaDelta, 1);
  }
}

// Files whose colours match while the reference shows a transparency this reader does not
// take from the file (indexed transparency, alpha of CMYK, extra channels that are not alpha).
TEST(PSDReader, RealWorldColoursMatchWhereTheReferenceAddsAlpha) {
  for (const char* name : {"indexed.psd", "cmyka-8bits.psd", "cmyka-16bits.psd", "ccbug182496.psd"}) {
    SCOPED_TRACE(name);
    const std::string base = Fixture(std::string("kimageformats/psd/") + name);
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(base));
    auto actual = ToRgba8(graphic);
    auto expected = LoadReferencePng(base.substr(0, base.size() - 4) + ".png");
    for (std::size_t i = 3; i < actual.pixels.size() && i < expected.pixels.size(); i += 4)
      actual.pixels[i] = expected.pixels[i] = 255;
    const auto d = Compare(actual, expected, 1);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u);
  }
}

// Differences the conversion rules explain: the composite of a transparent document is
// matted against white and not un-matted here (the Lab files carry such an alpha too, so
// their colours agree closely only where they are opaque); multichannel documents are shown as RGB (or grey for one or two channels);
// grey with alpha shows only the grey.
TEST(PSDReader, RealWorldFilesWithExplainedDifferencesLoad) {
  struct Case {
    const char* name;
    double meanBelow;
  };
  for (const Case& c : {Case{"argb16-raw-affinityphoto-1.8.5.psd", 60}, Case{"laba_8bit.psd", 8},
                        Case{"laba_16bit.psd", 8}, Case{"mch-8bits.psd", 25}, Case{"mch-16bits.psd", 25},
                        Case{"mch2-8bits.psd", 30}, Case{"mch2-16bits.psd", 30}, Case{"testcard_graya8.psd", 60},
                        Case{"testcard_graya16.psd", 60}}) {
    SCOPED_TRACE(c.name);
    const std::string base = Fixture(std::string("kimageformats/psd/") + c.name);
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(base));
    const auto d = Compare(ToRgba8(graphic), LoadReferencePng(base.substr(0, base.size() - 4) + ".png"), 2);
    EXPECT_TRUE(d.sameSize);
    EXPECT_LT(d.meanChannelDelta, c.meanBelow);
  }
  // The alpha of the white-matted file is right even where its colours are not.
  TPSDGraphic graphic;
  LoadBytes(graphic, ReadFile(Fixture("kimageformats/psd/argb16-raw-affinityphoto-1.8.5.psd")));
  const auto d = Compare(ToRgba8(graphic), LoadReferencePng(Fixture("kimageformats/psd/argb16-raw-affinityphoto-1.8.5.png")), 2);
  EXPECT_LE(d.maxAlphaDelta, 1);
  EXPECT_LT(d.pixelsOff, 100u);
}

TEST(PSDReader, FilesWithoutReferencesLoad) {
  for (const char* name : {"birthday.pdd", "orientation1.psd", "orientation5.psd", "orientation8.psd"}) {
    TPSDGraphic graphic;
    EXPECT_NO_THROW(LoadBytes(graphic, ReadFile(Fixture(std::string("kimageformats/psd/") + name)))) << name;
    EXPECT_FALSE(graphic.Empty()) << name;
  }
  for (const char* name : {"five_channels.psd", "rgba.psd"}) {
    TPSDGraphic graphic;
    EXPECT_NO_THROW(LoadBytes(graphic, ReadFile(Fixture(std::string("pillow/") + name)))) << name;
    EXPECT_FALSE(graphic.Empty()) << name;
  }
  const auto hopper = LoadReferencePng(Fixture("pillow/hopper.png"));
  for (const char* name : {"hopper.psd", "hopper_merged.psd"}) {
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(Fixture(std::string("pillow/") + name)));
    // Saved from a slightly different copy of the picture than hopper.png: small
    // differences everywhere, a few up to 45.
    const auto d = Compare(ToRgba8(graphic), hopper, 8);
    EXPECT_TRUE(d.sameSize) << name;
    EXPECT_LT(d.pixelsOff, 1500u) << name;  // of 16384
    EXPECT_LT(d.meanChannelDelta, 2.0) << name;
  }
}

TEST(PSDReader, FloatingPointDocumentsAreRefused) {
  for (const char* name : {"32bit-rgb.psd", "32bit_grayscale.psd", "testcard_graya32.psd"})
    EXPECT_EQ(LoadError(ReadFile(Fixture(std::string("kimageformats/psd/") + name))), kInvalidColor) << name;
}

// Five-channel RGB, inverted CMYK, bitmap mode of width 10, grey with alpha, 16-bit grey,
// duotone with its colour data, indexed, Lab, 16-bit PackBits behind a large layer section.
TEST(PSDReader, FixturesDecodeToTheirPictures) {
  for (const char* name : {"rgb5", "cmyk", "bitmap", "gray_alpha", "gray16", "duotone", "indexed", "lab", "rgb16_layers"}) {
    SCOPED_TRACE(name);
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(Fixture(std::string("psd/") + name + ".psd")));
    const auto d = Compare(ToRgba8(graphic), LoadReferencePng(Fixture(std::string("psd/") + name + ".png")), 0, false);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.maxChannelDelta, 0);
    EXPECT_EQ(d.maxAlphaDelta, 0);
  }
}

TEST(PSDReader, PixelFormatsFollowTheMode) {
  struct Case {
    const char* name;
    TPixelFormat format;
    TColorScheme scheme;
  };
  for (const Case& c : {Case{"rgb5", pf32bit, csRGBA}, Case{"cmyk", pf24bit, csCMYK}, Case{"bitmap", pf1bit, csGray},
                        Case{"gray_alpha", pf8bit, csGray}, Case{"gray16", pf8bit, csGray},
                        Case{"indexed", pf8bit, csIndexed}, Case{"lab", pf24bit, csCIELab},
                        Case{"rgb16_layers", pf24bit, csRGB}}) {
    SCOPED_TRACE(c.name);
    TPSDGraphic graphic;
    LoadBytes(graphic, ReadFile(Fixture(std::string("psd/") + c.name + ".psd")));
    EXPECT_EQ(graphic.PixelFormat(), c.format);
    EXPECT_EQ(graphic.ImageProperties.ColorScheme, c.scheme);
  }
  TPSDGraphic graphic;
  LoadBytes(graphic, ReadFile(Fixture("psd/bitmap.psd")));
  EXPECT_EQ(graphic.Palette()[0], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(graphic.ImageProperties.Options, ioBigEndian | ioMinIsWhite);
  LoadBytes(graphic, ReadFile(Fixture("psd/rgb5.psd")));
  EXPECT_EQ(graphic.ImageProperties.ChannelCount, 5);
  EXPECT_EQ(graphic.ImageProperties.SamplesPerPixel, 4);
}

TEST(PSDReader, LoadsThroughThePictureForEachExtension) {
  const auto bytes = ReadFile(Fixture("psd/indexed.psd"));
  const std::string dir = test::TempDir("psd_picture");
  for (const char* ext : {"psd", "PDD"}) {
    const std::string path = dir + "/picture." + ext;
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    EXPECT_EQ(Compare(test::LoadThroughPicture(path), LoadReferencePng(Fixture("psd/indexed.png"))).maxChannelDelta, 0);
  }
}

TEST(PSDReader, CanLoadIgnoresCaseAndWantsVersion1) {
  auto bytes = ReadFile(Fixture("psd/cmyk.psd"));
  TMemoryStream good(bytes.data(), bytes.size());
  EXPECT_TRUE(TPSDGraphic::CanLoad(good));
  EXPECT_EQ(good.Position(), 0);
  std::memcpy(bytes.data(), "8bps", 4);
  TMemoryStream lower(bytes.data(), bytes.size());
  EXPECT_TRUE(TPSDGraphic::CanLoad(lower));
  // The loader itself wants the exact signature.
  EXPECT_EQ(LoadError(bytes), kInvalidImage);
  bytes[5] = 2;
  TMemoryStream large(bytes.data(), bytes.size());
  EXPECT_FALSE(TPSDGraphic::CanLoad(large));
}

TEST(PSDReader, UnknownModesGiveABlankPictureOfTheirSize) {
  TPSDGraphic graphic;
  LoadBytes(graphic, MakePsd(5, 8, 3, 2, 3, 0, std::vector<std::uint8_t>(18, 0x80)));
  EXPECT_EQ(graphic.Width(), 3);
  EXPECT_EQ(graphic.Height(), 2);
  EXPECT_EQ(graphic.ScanLine(1)[0], 0);
}

TEST(PSDReader, OnlyTheLowByteOfTheDepthCountsAndTheVersionIsNotTested) {
  for (std::uint16_t version : {1, 0, 3}) {
    SCOPED_TRACE(version);
    TPSDGraphic graphic;
    LoadBytes(graphic, MakePsd(1, 0x108, 2, 1, 1, 0, {7, 9}, version));
    EXPECT_EQ(graphic.PixelFormat(), pf8bit);
    EXPECT_EQ(graphic.ScanLine(0)[1], 9);
  }
}

TEST(PSDReader, LargeDocumentsAreRefused) {
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 0, std::vector<std::uint8_t>(12, 1), 2)), kInvalidImage);
}

TEST(PSDReader, BadHeadersAndTablesAreRefused) {
  const std::vector<std::uint8_t> rows(64, 0x11);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 0, 0, rows)), kInvalidImage);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 2, 0, rows)), kInvalidColor);  // RGB of two channels
  EXPECT_EQ(LoadError(MakePsd(4, 8, 2, 2, 3, 0, rows)), kInvalidColor);  // CMYK of three
  EXPECT_EQ(LoadError(MakePsd(3, 1, 2, 2, 3, 0, rows)), kInvalidColor);  // RGB of one bit
  EXPECT_EQ(LoadError(MakePsd(1, 4, 2, 2, 1, 0, rows)), kInvalidColor);
  EXPECT_EQ(LoadError(MakePsd(1, 0x120, 2, 2, 1, 0, rows)), kInvalidColor);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 2, rows)),
            "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
  // Sizes beyond the limits are refused before the bitmap is made.
  EXPECT_EQ(LoadError(MakePsd(3, 8, 300000, 300000, 3, 1, rows)),
            "Cannot load image. The image is too large (300000 x 300000 pixels).");
  // Raw planes, a byte-count table and packed rows that the file cannot hold.
  EXPECT_EQ(LoadError(MakePsd(3, 8, 10000, 10000, 3, 0, rows)), kStreamReadError);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 16, 30000, 3, 1, rows)), kStreamReadError);
  std::vector<std::uint8_t> counts;
  for (int i = 0; i < 6; ++i) PutBe(counts, 60000, 2);
  EXPECT_EQ(LoadError(MakePsd(3, 8, 2, 2, 3, 1, counts)), kStreamReadError);
  // A colour data section longer than the file.
  auto longSection = MakePsd(1, 8, 2, 2, 1, 0, rows);
  longSection[29] = 0xFF;
  EXPECT_EQ(LoadError(longSection), kStreamReadError);
}

TEST(PSDReader, PackBitsRowCountsLargerThanTheirRowStayInTheRow) {
  // Two grey rows of 3 pixels, each counted as 5 bytes: a literal of 4 and a run of 3.
  std::vector<std::uint8_t> data;
  PutBe(data, 5, 2);
  PutBe(data, 5, 2);
  for (int row = 0; row < 2; ++row) {
    const std::uint8_t packed[] = {3, 1, 2, 3, 4};
    data.insert(data.end(), packed, packed + 5);
  }
  TPSDGraphic graphic;
  LoadBytes(graphic, MakePsd(1, 8, 3, 2, 1, 1, data));
  EXPECT_EQ(graphic.ScanLine(0)[2], 3);
  EXPECT_EQ(graphic.ScanLine(1)[0], 1);  // the second row starts at its own count
  // A count table of PackBits rows of 16-bit samples counts bytes, not samples.
  data.clear();
  PutBe(data, 3, 2);
  const std::uint8_t row16[] = {0xFF, 0x80, 0x00};  // 0x80 twice: one 16-bit sample 0x8080
  data.insert(data.end(), row16, row16 + 3);
  LoadBytes(graphic, MakePsd(1, 16, 1, 1, 1, 1, data));
  EXPECT_EQ(graphic.ScanLine(0)[0], 0x80);
}

TEST(PSDReader, IndexedPaletteFromAShortOrLongColourSection) {
  // 6 bytes of colour data: two entries a plane.
  std::vector<std::uint8_t> b = MakePsd(2, 8, 2, 1, 1, 0, {});
  b.resize(26);
  PutBe(b, 6, 4);
  const std::uint8_t colors[] = {10, 20, 30, 40, 50, 60};
  b.insert(b.end(), colors, colors + 6);
  PutBe(b, 0, 4);
  PutBe(b, 0, 4);
  PutBe(b, 0, 2);
  b.push_back(1);
  b.push_back(0);
  TPSDGraphic graphic;
  LoadBytes(graphic, b);
  ASSERT_GE(graphic.Palette().size(), 2u);
  EXPECT_EQ(graphic.Palette()[1], (TPaletteEntry{20, 40, 60, 0}));
  EXPECT_EQ(graphic.ScanLine(0)[0], 1);
}

TEST(PSDReader, SixteenBitGreyAndIndexedRowsAreScaledNotCopied) {
  std::vector<std::uint8_t> data;
  PutBe(data, 0xFFFF, 2);
  PutBe(data, 0x8000, 2);
  PutBe(data, 0x0101, 2);
  for (std::uint16_t mode : {1, 8, 2}) {
    SCOPED_TRACE(mode);
    TPSDGraphic graphic;
    LoadBytes(graphic, MakePsd(mode, 16, 3, 1, 1, 0, data));
    ASSERT_EQ(graphic.PixelFormat(), pf8bit);
    EXPECT_EQ(graphic.ScanLine(0)[0], 255);
    EXPECT_EQ(graphic.ScanLine(0)[1], 127);  // 32768 * 255 / 65535, truncated
    EXPECT_EQ(graphic.ScanLine(0)[2], 1);
  }
}

TEST(PSDReader, TruncatedFilesFailCleanly) {
  for (const std::string& file :
       {Fixture("psd/rgb5.psd"), Fixture("psd/cmyk.psd"), Fixture("psd/bitmap.psd"), Fixture("psd/indexed.psd"),
        Fixture("psd/gray16.psd"), Fixture("psd/lab.psd"), Fixture("kimageformats/psd/rgb-gimp-2.8.10.psd"),
        Fixture("kimageformats/psd/argb16-raw-affinityphoto-1.8.5.psd"), Fixture("pillow/rgba.psd")}) {
    SCOPED_TRACE(file);
    test::ExpectTruncationsHandled(ReadFile(file), [](const std::vector<std::uint8_t>& bytes) {
      TPSDGraphic graphic;
      LoadBytes(graphic, bytes);
    });
  }
}

}  // namespace
}  // namespace vumo
