#include "formats/portable_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "pixels/float_pixels.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

const auto LoadError = &test::LoadErrorWith<TPPMGraphic>;

// The first `count` bytes of a row as the bitmap holds them.
std::vector<std::uint8_t> RowStart(const TPPMGraphic& graphic, int row, std::size_t count) {
  return std::vector<std::uint8_t>(graphic.ScanLine(row), graphic.ScanLine(row) + count);
}
using TRow = std::vector<std::uint8_t>;

test::Rgba8Image Load(const std::string& file) { return test::DecodeWith<TPPMGraphic>(ReadFile(file)); }

// The expected grey of a colour picture, for Pillow's grey and bitmap versions of hopper.
test::Rgba8Image Luminance(test::Rgba8Image image) {
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    const int l = (image.pixels[i] * 299 + image.pixels[i + 1] * 587 + image.pixels[i + 2] * 114) / 1000;
    image.pixels[i] = image.pixels[i + 1] = image.pixels[i + 2] = static_cast<std::uint8_t>(l);
  }
  return image;
}

TEST(PortableMapReader, TextBitmapOfWidthTenUsesTwoBytesARow) {
  const auto graphic = LoadWith<TPPMGraphic>(Bytes("P1\n10 1\n1 0 0 0 0 0 0 1 1 1\n"));
  EXPECT_EQ(graphic.PixelFormat(), pf1bit);
  EXPECT_EQ(RowStart(graphic, 0, 2), (TRow{0x81, 0xC0}));
  ASSERT_EQ(graphic.Palette().size(), 2u);
  EXPECT_EQ(graphic.Palette()[0].peRed, 255);  // white at index 0
  EXPECT_EQ(graphic.Palette()[1].peRed, 0);
}

TEST(PortableMapReader, KindsGiveTheirPixelFormats) {
  struct Case {
    const char* text;
    TPixelFormat format;
  };
  for (const Case& c : {Case{"P1 1 1 1", pf1bit}, Case{"P2 1 1 255 7", pf8bit}, Case{"P3 1 1 255 1 2 3", pf24bit},
                        Case{"P4 8 1 \x55", pf1bit}, Case{"P5 1 1 255 \x07", pf8bit}, Case{"P6 1 1 255 abc", pf24bit}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LoadWith<TPPMGraphic>(Bytes(c.text)).PixelFormat(), c.format);
  }
  EXPECT_EQ(RowStart(LoadWith<TPPMGraphic>(Bytes("P6 1 1 255 abc")), 0, 3), (TRow{'c', 'b', 'a'}));  // blue first
}

TEST(PortableMapReader, RawPixelMapsOfEveryWidthSwapRedAndBlue) {
  // Wide rows go through block shuffles; every width checks their ends and the tail.
  for (std::size_t width = 1; width <= 40; ++width) {
    std::string text = "P6 " + std::to_string(width) + " 2 255\n";
    for (std::size_t i = 0; i < width * 6; ++i) text.push_back(static_cast<char>(i * 37 + width));
    TPPMGraphic graphic;
    test::LoadInto(graphic, Bytes(text));
    const std::size_t start = text.size() - width * 6;
    for (int row = 0; row < 2; ++row)
      for (std::size_t x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(graphic.ScanLine(row)[3 * x + c],
                    static_cast<std::uint8_t>(text[start + (row * width + x) * 3 + (2 - c)]))
              << width << " " << x;
  }
}

// Pillow made its grey and bitmap versions of hopper from the colour picture.
TEST(PortableMapReader, PillowGreyFilesMatchTheGreyOfHopper) {
  const auto grey = Luminance(LoadReferencePng(Fixture("pillow/hopper.png")));
  for (const char* name : {"hopper_8bit_plain.pgm", "hopper_16bit.pgm", "hopper_16bit_plain.pgm"}) {
    SCOPED_TRACE(name);
    const auto d = Compare(Load(Fixture(std::string("pillow/") + name)), grey, 2);
    EXPECT_TRUE(d.sameSize);
    EXPECT_LT(d.meanChannelDelta, 1.0);
  }
  // The bitmap is a dithered hopper: on average it keeps the grey.
  const auto bitmap = Load(Fixture("pillow/hopper_1bit_plain.pbm"));
  ASSERT_EQ(bitmap.width, 128);
  double sum = 0, ref = 0;
  for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) sum += bitmap.pixels[i], ref += grey.pixels[i];
  EXPECT_NEAR(sum / ref, 1.0, 0.1);
}

TEST(PortableMapReader, LoadsThroughThePictureForEachExtension) {
  const std::string dir = test::TempDir("portable_map_picture");
  for (const char* ext : {"ppm", "pgm", "PBM"}) {
    const auto actual = test::LoadThroughPictureAs(Fixture("portable_map/comments.ppm"), dir, std::string("picture.") + ext);
    EXPECT_EQ(Compare(actual, LoadReferencePng(Fixture("portable_map/comments.png"))).maxChannelDelta, 0) << ext;
  }
}

TEST(PortableMapReader, CanLoadChecksTheMagic) {
  for (const char* text : {"P1 1 1 1 0 0 0", "P6 1 1 255 abc", "P7\nWIDTH 1\n", "Pf 1 1 -1.0 ", "PH 1 1 1.0 "}) {
    TMemoryStream s(text, std::strlen(text));
    EXPECT_TRUE(TPPMGraphic::CanLoad(s)) << text;
    EXPECT_EQ(s.Position(), 0);
  }
  for (const char* text : {"P8 1 1 255 abc", "p6 1 1 255 abc", "P6 1 1 25", "PG 1 1 -1 abc"}) {
    TMemoryStream s(text, std::strlen(text));
    EXPECT_FALSE(TPPMGraphic::CanLoad(s)) << text;
  }
}

TEST(PortableMapReader, BadHeadersAreRefused) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
  const std::string readError = "Stream read error in PPM file.";
  EXPECT_EQ(LoadError(Bytes("Q6 1 1 255 abc")), invalid);
  EXPECT_EQ(LoadError(Bytes("PX 1 1 255 abc")), invalid);
  EXPECT_EQ(LoadError(Bytes("P7 1 1 255 abc")), readError);  // an arbitrary map's header never ends
  EXPECT_EQ(LoadError(Bytes("P6 1 1 0 abc")), invalid);
  EXPECT_EQ(LoadError(Bytes("P6 1 1 65536 abcdef")), invalid);
  EXPECT_EQ(LoadError(Bytes("P6 0 1 255 ")), invalid);
  EXPECT_EQ(LoadError(Bytes("P5 99999999999 99999999999 255 x")), "Cannot load image. The image is too large (2147483647 x 2147483647 pixels).");
  // The header promises more than the file holds: refused before the bitmap is made.
  EXPECT_EQ(LoadError(Bytes("P6 9000 9000 255 abc")), readError);
  EXPECT_EQ(LoadError(Bytes("P2 9000 9000 255 1 2 3")), readError);
  EXPECT_EQ(LoadError(Bytes("P1 64 64 0101010101010101")), readError);
  // Ends early: in the header, in a text row, in a raw row.
  EXPECT_EQ(LoadError(Bytes("P6 4")), readError);
  EXPECT_EQ(LoadError(Bytes("P3 2 1 255 1 2 3 4 5 # no sixth number")), readError);
  EXPECT_EQ(LoadError(Bytes("P1 8 2 01010101 0101010")), readError);
}

// Arbitrary maps: what the tuple type says, and headers the format does not have.
TEST(PortableMapReader, ArbitraryMapsTakeTheirTupleTypes) {
  const auto grey =
      LoadWith<TPPMGraphic>(Bytes("P7\n# a comment\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 3\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01\x03"));
  EXPECT_EQ(grey.PixelFormat(), pf8bit);
  EXPECT_EQ(RowStart(grey, 0, 2), (TRow{85, 255}));
  // No tuple type: four samples are colour and alpha.
  const auto rgba = LoadWith<TPPMGraphic>(Bytes("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nENDHDR\n\x0A\x14\x1E\x28"));
  EXPECT_TRUE(rgba.AlphaChannel());
  EXPECT_EQ(RowStart(rgba, 0, 4), (TRow{30, 20, 10, 40}));
  EXPECT_EQ(rgba.FormatDescription(), "PAM depth 4");
  const std::string colourFormat = "Invalid color format in PBM, PGM or PPM file.";
  EXPECT_EQ(LoadError(Bytes("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\nabcde")), colourFormat);
  EXPECT_EQ(LoadError(Bytes("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\nabc")), colourFormat);
  EXPECT_EQ(LoadError(Bytes("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nENDHDR\nabc")),
            "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.");
  EXPECT_EQ(LoadError(Bytes("P7\nWIDTH 4\nHEIGHT 4\nDEPTH 3\nMAXVAL 255\nENDHDR\nabc")), "Stream read error in PPM file.");
}

std::vector<std::uint8_t> FloatMap(const std::string& header, const std::vector<float>& values, bool little) {
  std::vector<std::uint8_t> b = Bytes(header);
  for (float v : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(bits >> (little ? 8 * i : 24 - 8 * i)));
  }
  return b;
}

// Float maps are linear light stored bottom up, in the byte order the scale's sign says; the
// floats are kept and shown through the exposure.
TEST(PortableMapReader, FloatMapsKeepTheirLinearSamples) {
  // Two rows of two pixels, the bottom row first, each number on its own line as one
  // well-known writer has it.
  TPPMGraphic rgb;
  test::LoadInto(rgb, FloatMap("PF\n2\n2\n-1.0000\n", {0, 0, 0, 1, 1, 1, 0.5f, 0.25f, 0, 4, 0, 0}, true));
  ASSERT_NE(rgb.FloatPixels(), nullptr);
  const float* top = rgb.FloatPixels()->Row(0);
  EXPECT_EQ(std::vector<float>(top, top + 8), (std::vector<float>{0.5f, 0.25f, 0, 1, 4, 0, 0, 1}));
  EXPECT_EQ(rgb.ScanLine(0)[2], LinearToSRGB8(0.5f));  // red of the top left, through the curve
  EXPECT_EQ(rgb.ScanLine(1)[4], 255);                  // the white at the bottom right
  rgb.SetExposure(-2);
  EXPECT_EQ(rgb.ScanLine(0)[6], 255);  // 4.0 a quarter as bright is still white
  EXPECT_EQ(rgb.ScanLine(1)[4], LinearToSRGB8(0.25f));
  // Grey, big-endian; and ImageMagick's files, whose samples are the picture's over 255.
  TPPMGraphic grey;
  test::LoadInto(grey, FloatMap("Pf 1 1 1.0\n", {0.75f}, false));
  EXPECT_EQ(std::vector<float>(grey.FloatPixels()->Row(0), grey.FloatPixels()->Row(0) + 4),
            (std::vector<float>{0.75f, 0.75f, 0.75f, 1}));
  const auto source = LoadReferencePng(Fixture("portable_map/pam_source.png"));
  TPPMGraphic magick;
  test::LoadInto(magick, ReadFile(Fixture("portable_map/rgb_magick.pfm")));
  ASSERT_EQ(magick.Width(), source.width);
  for (int y = 0; y < source.height; ++y)
    for (int x = 0; x < source.width; ++x)
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(magick.FloatPixels()->Row(y)[4 * x + c] * 255.0f, source.pixels[4 * (y * source.width + x) + c], 0.01);
  // Half floats, and a map cut short.
  TPPMGraphic half;
  test::LoadInto(half, Bytes(std::string("Ph 2 1 -1.0\n\x00\x3C\x00\x38", 16)));
  EXPECT_EQ(half.FloatPixels()->Row(0)[0], 1.0f);
  EXPECT_EQ(half.FloatPixels()->Row(0)[4], 0.5f);
  EXPECT_EQ(LoadError(FloatMap("PF 2 2 -1.0\n", {1, 2, 3}, true)), "Stream read error in PPM file.");
}

}  // namespace
}  // namespace vumo
