#include "formats/pcx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

const auto LoadError = &test::LoadErrorWith<TPCXGraphic>;

// A header of the given layout, followed by `data`.
std::vector<std::uint8_t> MakePcx(std::uint8_t encoding, std::uint8_t bits, std::uint16_t width, std::uint16_t height,
                                  std::uint8_t planes, std::uint16_t bytesPerLine, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = encoding;
  b[3] = bits;
  b[8] = static_cast<std::uint8_t>(width - 1);
  b[9] = static_cast<std::uint8_t>((width - 1) >> 8);
  b[10] = static_cast<std::uint8_t>(height - 1);
  b[11] = static_cast<std::uint8_t>((height - 1) >> 8);
  b[65] = planes;
  b[66] = static_cast<std::uint8_t>(bytesPerLine);
  b[67] = static_cast<std::uint8_t>(bytesPerLine >> 8);
  b.resize(128 + data.size());
  if (!data.empty()) std::memcpy(b.data() + 128, data.data(), data.size());
  return b;
}

TEST(PCXReader, PixelFormatsFollowPlanesAndBits) {
  struct Case {
    const char* name;
    TPixelFormat format;
    std::size_t paletteSize;
  };
  for (const Case& c : {Case{"trailer8", pf8bit, 256}, Case{"gray8_raw", pf8bit, 256}, Case{"planes4_odd", pf4bit, 16},
                        Case{"version3", pf4bit, 16}, Case{"xmin10", pf1bit, 2}, Case{"rgb24_raw", pf24bit, 0},
                        Case{"indexed2", pf4bit, 16}}) {
    SCOPED_TRACE(c.name);
    TPCXGraphic graphic;
    test::LoadInto(graphic, ReadFile(Fixture(std::string("pcx/") + c.name + ".pcx")));
    EXPECT_EQ(graphic.PixelFormat(), c.format);
    EXPECT_EQ(graphic.Palette().size(), c.paletteSize);
  }
  TPCXGraphic graphic;
  test::LoadInto(graphic, ReadFile(Fixture("pcx/xmin10.pcx")));
  EXPECT_EQ(graphic.Width(), 10);
  EXPECT_EQ(graphic.ImageProperties.Compression, ctNone);
}

TEST(PCXReader, OddWidthSixteenColourRowEndsInAHighNibble) {
  TPCXGraphic graphic;
  test::LoadInto(graphic, ReadFile(Fixture("pcx/planes4_odd.pcx")));
  ASSERT_EQ(graphic.Width(), 13);
  // Pixel 12 of row 0 is index 15: the high nibble of byte 6.
  EXPECT_EQ(graphic.ScanLine(0)[6] >> 4, 15);
  EXPECT_EQ(graphic.ScanLine(2)[6] >> 4, 13);
}

TEST(PCXReader, VersionThreeEightBitFileTakesTheStandardPaletteNotItsTrailer) {
  std::vector<std::uint8_t> data = {0, 1, 9, 15, 15, 9, 1, 0};
  data.push_back(12);
  for (int i = 0; i < 768; ++i) data.push_back(static_cast<std::uint8_t>(i % 7));
  auto bytes = MakePcx(0, 8, 4, 2, 1, 4, data);
  bytes[1] = 3;
  TPCXGraphic graphic;
  test::LoadInto(graphic, bytes);
  ASSERT_EQ(graphic.Palette().size(), 16u);
  EXPECT_EQ(graphic.Palette()[1].peRed, 128);
  EXPECT_EQ(graphic.Palette()[9].peRed, 255);
  EXPECT_EQ(graphic.Palette()[15].peBlue, 255);
  // The trailer is still not taken for pixels.
  EXPECT_EQ(graphic.ScanLine(1)[0], 15);
  EXPECT_EQ(graphic.ScanLine(1)[3], 0);
}

TEST(PCXReader, PillowAndKdeFilesKeepTheirLayouts) {
  TPCXGraphic graphic;
  test::LoadInto(graphic, ReadFile(Fixture("pillow/pil184.pcx")));
  EXPECT_EQ(graphic.Width(), 447);  // X min 1, X max 447
  // Pillow's odd_stride.pcx has its trailer: 371 pixels a row in 371 bytes, 256 colours.
  test::LoadInto(graphic, ReadFile(Fixture("pillow/odd_stride.pcx")));
  EXPECT_EQ(graphic.Palette().size(), 256u);
  // Three planes of one bit: an eight-colour EGA picture with its colours in the header.
  test::LoadInto(graphic, ReadFile(Fixture("kimageformats/pcx/ICONDOC.pcx")));
  EXPECT_EQ(graphic.PixelFormat(), pf4bit);
  EXPECT_EQ(graphic.Palette().size(), 16u);
}

// Two and three planes of one bit give four and eight colours: bit k of a pixel comes from
// plane k; version 3 shows the standard colours, later versions the header's.
TEST(PCXReader, TwoAndThreeBitPlanesMakeFourAndEightColours) {
  // Pixels 0..7 of one row: plane 0 = 01010101, plane 1 = 00110011, plane 2 = 00001111.
  const std::vector<std::uint8_t> threePlanes = {0x55, 0x33, 0x0F};
  auto eight = MakePcx(0, 1, 8, 1, 3, 1, threePlanes);
  for (int i = 0; i < 16; ++i) {
    eight[16 + 3 * i] = static_cast<std::uint8_t>(10 * i);
    eight[17 + 3 * i] = static_cast<std::uint8_t>(200 - i);
    eight[18 + 3 * i] = static_cast<std::uint8_t>(i);
  }
  TPCXGraphic graphic;
  test::LoadInto(graphic, eight);
  ASSERT_EQ(graphic.PixelFormat(), pf4bit);
  const std::uint8_t* row = graphic.ScanLine(0);
  for (int x = 0; x < 8; ++x) EXPECT_EQ((row[x / 2] >> (x % 2 ? 0 : 4)) & 15, x) << x;
  EXPECT_EQ(graphic.Palette()[5].peRed, 50);
  EXPECT_EQ(graphic.Palette()[5].peGreen, 195);
  const auto rgba = test::ToRgba8(graphic);
  EXPECT_EQ(rgba.pixels[4 * 6 + 0], 60);

  auto standard = eight;
  standard[1] = 3;
  test::LoadInto(graphic, standard);
  EXPECT_EQ(graphic.Palette()[4].peBlue, 128);
  EXPECT_EQ(graphic.Palette()[4].peRed, 0);

  // Two planes, two rows, run-length coded: 0xC2 0xF0 is a run of two 0xF0 bytes.
  auto four = MakePcx(1, 1, 4, 2, 2, 1, {0x50, 0xC2, 0x30, 0xC2, 0xF0});
  test::LoadInto(graphic, four);
  ASSERT_EQ(graphic.Height(), 2);
  EXPECT_EQ(graphic.ScanLine(0)[0], 0x01);  // pixels 0 and 1: plane 0 = 0,1 and plane 1 = 0,0
  EXPECT_EQ(graphic.ScanLine(0)[1], 0x23);  // pixels 2 and 3: plane 1 = 1,1
  EXPECT_EQ(graphic.ScanLine(1)[0], 0x22);
  EXPECT_EQ(graphic.ScanLine(1)[1], 0x33);
}

TEST(PCXReader, LoadsThroughThePictureForEachExtension) {
  const auto expected = LoadReferencePng(Fixture("pcx/trailer8.png"));
  const std::string dir = test::TempDir("pcx_picture");
  for (const char* ext : {"pcx", "PCC", "scr"}) {
    const auto actual = test::LoadThroughPictureAs(Fixture("pcx/trailer8.pcx"), dir, std::string("picture.") + ext);
    EXPECT_EQ(Compare(actual, expected).maxChannelDelta, 0) << ext;
  }
}

TEST(PCXReader, CanLoadChecksMakerVersionAndEncoding) {
  auto bytes = ReadFile(Fixture("pcx/trailer8.pcx"));
  TMemoryStream good(bytes.data(), bytes.size());
  EXPECT_TRUE(TPCXGraphic::CanLoad(good));
  EXPECT_EQ(good.Position(), 0);
  bytes[0] = 205;  // a Word screen capture
  TMemoryStream capture(bytes.data(), bytes.size());
  EXPECT_TRUE(TPCXGraphic::CanLoad(capture));
  bytes[1] = 4;
  TMemoryStream version(bytes.data(), bytes.size());
  EXPECT_FALSE(TPCXGraphic::CanLoad(version));
  TMemoryStream header(bytes.data(), 128);
  EXPECT_FALSE(TPCXGraphic::CanLoad(header));
}

TEST(PCXReader, UnknownMakerEndsSilentlyEmpty) {
  auto bytes = ReadFile(Fixture("pcx/trailer8.pcx"));
  bytes[0] = 11;
  TPCXGraphic graphic;
  EXPECT_NO_THROW(test::LoadInto(graphic, bytes));
  EXPECT_TRUE(graphic.Empty());
}

TEST(PCXReader, BadHeadersAreRefused) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PCX or SCR image format.";
  const std::string colour = "Invalid color format in PCX file.";
  // X max below X min.
  auto reversed = MakePcx(0, 8, 4, 4, 1, 4, std::vector<std::uint8_t>(16));
  reversed[4] = 9;
  EXPECT_EQ(LoadError(reversed), invalid);
  // Lines too short for their pixels.
  EXPECT_EQ(LoadError(MakePcx(0, 8, 9, 2, 1, 8, std::vector<std::uint8_t>(16))), invalid);
  EXPECT_EQ(LoadError(MakePcx(0, 4, 8, 2, 4, 4, std::vector<std::uint8_t>(32))), colour);
  EXPECT_EQ(LoadError(MakePcx(0, 1, 8, 2, 5, 1, std::vector<std::uint8_t>(10))), colour);
  EXPECT_EQ(LoadError(MakePcx(0, 0, 8, 2, 1, 1, std::vector<std::uint8_t>(4))), colour);
  EXPECT_EQ(LoadError(MakePcx(0, 8, 8, 2, 0, 8, std::vector<std::uint8_t>(4))), colour);
  // A 65535 x 65535 header is refused before anything is allocated.
  EXPECT_NE(LoadError(MakePcx(1, 8, 65535, 65535, 1, 65535, std::vector<std::uint8_t>(100, 0xFF))), "");
  // Run-length data that cannot hold the rows: 64 bytes give at most 2016, not 4096.
  EXPECT_EQ(LoadError(MakePcx(1, 8, 64, 64, 1, 64, std::vector<std::uint8_t>(64, 0xFF))), kStreamReadError);
}

TEST(PCXReader, ShortDataRaisesTheReadError) {
  // Three whole rows, then half of row 3; rows 4 to 7 missing.
  std::vector<std::uint8_t> rows(8 * 3 + 3, 0x77);
  EXPECT_EQ(test::LoadErrorWith<TPCXGraphic>(MakePcx(0, 8, 8, 8, 1, 8, rows)), kStreamReadError);
  rows.resize(8 * 8);
  EXPECT_EQ(test::LoadErrorWith<TPCXGraphic>(MakePcx(0, 8, 8, 8, 1, 8, rows)), "");
}

TEST(PCXReader, ReportsProgressInOrder) {
  const std::vector<std::string> expected = {"0:0:Preparing...", "2:0:", "0:0:Transfering...", "1:0:", "1:50:", "2:0:"};
  EXPECT_EQ(test::ProgressOf<TPCXGraphic>(ReadFile(Fixture("pcx/xmin10.pcx"))), expected);
}

}  // namespace
}  // namespace vumo
