#include "formats/sgi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Compare;
using test::Fixture;
using test::LoadReferencePng;
using test::ReadFile;
using test::Rgba8Image;
using test::ToRgba8;

Rgba8Image LoadSgi(const std::vector<std::uint8_t>& bytes, TSGIGraphic* keep = nullptr) {
  return test::DecodeWith<TSGIGraphic>(bytes, keep);
}

Rgba8Image LoadSgiFile(const std::string& path) { return LoadSgi(ReadFile(path)); }

// Pillow's conversion to grey, which made hopper.bw from the colour picture.
Rgba8Image ToGrey(Rgba8Image image) {
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    const auto& p = image.pixels;
    const int grey = (p[i] * 299 + p[i + 1] * 587 + p[i + 2] * 114 + 500) / 1000;
    image.pixels[i] = image.pixels[i + 1] = image.pixels[i + 2] = static_cast<std::uint8_t>(grey);
  }
  return image;
}

std::string ErrorOf(const std::vector<std::uint8_t>& bytes) { return test::LoadErrorWith<TSGIGraphic>(bytes); }

void PutBigEndian16(std::vector<std::uint8_t>& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<std::uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(value);
}

TEST(SGIReader, KImageFormatsFilesMatchTheirReferences) {
  for (const char* name : {"bw", "rgb", "rgb-gimp-2.8.10-rle", "rgb-gimp-2.8.10-aggressive-rle",
                           "rgb-gimp-2.8.10-uncompressed", "testcard_rgba"}) {
    SCOPED_TRACE(name);
    const std::string base = Fixture(std::string("kimageformats/rgb/") + name);
    const auto d = Compare(LoadSgiFile(base + ".rgb"), LoadReferencePng(base + ".png"), 0, false);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u);
    EXPECT_EQ(d.maxAlphaDelta, 0);
  }
}

TEST(SGIReader, PillowHopperFilesAgreeWithEachOtherAndTheReference) {
  const Rgba8Image rle = LoadSgiFile(Fixture("pillow/hopper.sgi"));
  const Rgba8Image verbatim = LoadSgiFile(Fixture("pillow/hopper.rgb"));
  const Rgba8Image wide = LoadSgiFile(Fixture("pillow/hopper16.rgb"));
  const Rgba8Image reference = LoadReferencePng(Fixture("pillow/hopper.png"));
  // The same picture three ways: exactly alike, 16-bit samples within the rounding of the scaling.
  EXPECT_EQ(Compare(rle, verbatim).pixelsOff, 0u);
  const auto d16 = Compare(wide, verbatim, 1);
  EXPECT_TRUE(d16.sameSize);
  EXPECT_EQ(d16.pixelsOff, 0u);
  // hopper.png itself differs a little from the SGI data everywhere (Pillow's own tests
  // allow for it); flipped or shifted rows would differ by far more.
  const auto d = Compare(verbatim, reference, 2);
  EXPECT_TRUE(d.sameSize);
  EXPECT_LT(d.meanChannelDelta, 2.0);
  const auto grey = Compare(LoadSgiFile(Fixture("pillow/hopper.bw")), ToGrey(reference), 2);
  EXPECT_TRUE(grey.sameSize);
  EXPECT_LT(grey.meanChannelDelta, 2.5);
}

TEST(SGIReader, PillowTvAndTransparentFiles) {
  const Rgba8Image tv = LoadSgiFile(Fixture("pillow/tv.rgb"));
  EXPECT_EQ(tv.width, 640);
  EXPECT_EQ(tv.height, 480);
  // 16-bit run-length (table lengths in bytes) against the 8-bit verbatim file of the same picture.
  const auto d = Compare(LoadSgiFile(Fixture("pillow/tv16.sgi")), tv, 1);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);

  TSGIGraphic graphic;
  const Rgba8Image transparent = LoadSgi(ReadFile(Fixture("pillow/transparent.sgi")), &graphic);
  EXPECT_EQ(graphic.PixelFormat(), pf32bit);
  const auto t = Compare(transparent, LoadReferencePng(Fixture("sgi/transparent_pillow.png")), 0);
  EXPECT_TRUE(t.sameSize);
  EXPECT_EQ(t.pixelsOff, 0u);
  EXPECT_EQ(t.maxAlphaDelta, 0);
}

TEST(SGIReader, FixturesMatchTheirPictures) {
  for (const char* name : {"grey_bottom_up.bw", "rgba_rle.sgi", "rgb16.sgi", "grey16_rle.bw", "grey_alpha.sgi"}) {
    SCOPED_TRACE(name);
    const std::string file = Fixture(std::string("sgi/") + name);
    const std::string png = file.substr(0, file.rfind('.')) + ".png";
    const auto d = Compare(LoadSgiFile(file), LoadReferencePng(png), 0, false);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u);
    EXPECT_EQ(d.maxAlphaDelta, 0);
  }
}

TEST(SGIReader, LayoutOfTheBitmap) {
  TSGIGraphic grey;
  const auto greyBytes = ReadFile(Fixture("sgi/grey_bottom_up.bw"));
  LoadSgi(greyBytes, &grey);
  EXPECT_EQ(grey.PixelFormat(), pf8bit);
  ASSERT_EQ(grey.Palette().size(), 256u);
  EXPECT_EQ(grey.Palette()[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(grey.Palette()[255], (TPaletteEntry{255, 255, 255, 0}));
  // The first row of the file is the bottom row of the picture.
  const std::size_t lastFileRow = 512 + std::size_t(grey.Width()) * (grey.Height() - 1);
  EXPECT_EQ(grey.ScanLine(grey.Height() - 1)[1], greyBytes[512 + 1]);
  EXPECT_EQ(grey.ScanLine(0)[1], greyBytes[lastFileRow + 1]);
  EXPECT_NE(greyBytes[512 + 1], greyBytes[lastFileRow + 1]);

  TSGIGraphic rgba;
  LoadSgi(ReadFile(Fixture("sgi/rgba_rle.sgi")), &rgba);
  EXPECT_EQ(rgba.PixelFormat(), pf32bit);
  EXPECT_EQ(rgba.ImageProperties.ColorScheme, csRGBA);
  EXPECT_EQ(rgba.ImageProperties.Compression, ctRLE);

  TSGIGraphic wide;
  LoadSgi(ReadFile(Fixture("sgi/rgb16.sgi")), &wide);
  EXPECT_EQ(wide.PixelFormat(), pf24bit);
  EXPECT_EQ(wide.ImageProperties.BitsPerSample, 16);
  EXPECT_EQ(wide.ImageProperties.BitsPerPixel, 48);
  EXPECT_EQ(wide.ImageProperties.Compression, ctNone);
  EXPECT_EQ(wide.ImageProperties.Options, ioBigEndian);
}

TEST(SGIReader, CanLoadTestsTheHeaderAndKeepsThePosition) {
  const auto bytes = ReadFile(Fixture("sgi/rgb16.sgi"));
  TMemoryStream stream(bytes.data(), bytes.size());
  stream.SetPosition(0);
  EXPECT_TRUE(TSGIGraphic::CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_TRUE(TSGIGraphic::CanLoad(Fixture("sgi/grey_bottom_up.bw")));
  EXPECT_FALSE(TSGIGraphic::CanLoad(Fixture("sgi/rgb16.png")));
  EXPECT_FALSE(TSGIGraphic::CanLoad(Fixture("sgi/no such file.sgi")));
  auto badDimension = bytes;
  PutBigEndian16(badDimension, 4, 4);
  TMemoryStream bad(badDimension.data(), badDimension.size());
  EXPECT_FALSE(TSGIGraphic::CanLoad(bad));
  // Exactly a header's worth of bytes is not enough.
  TMemoryStream headerOnly(bytes.data(), 512);
  EXPECT_FALSE(TSGIGraphic::CanLoad(headerOnly));
}

TEST(SGIReader, LoadsThroughThePictureForEveryExtension) {
  const std::string dir = test::TempDir("sgi_extensions");
  const auto bytes = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  const auto expected = LoadReferencePng(Fixture("sgi/rgba_rle.png"));
  for (const char* ext : {"sgi", "rgb", "rgba", "bw", "RGB"}) {
    SCOPED_TRACE(ext);
    const std::string file = dir + "/picture." + ext;
    std::filesystem::copy_file(Fixture("sgi/rgba_rle.sgi"), file);
    EXPECT_EQ(Compare(test::LoadThroughPicture(file), expected, 0, false).pixelsOff, 0u);
  }
}

TEST(SGIReader, ReportsProgressInOrder) {
  TSGIGraphic graphic;
  std::vector<std::string> events;
  graphic.OnProgress = [&](void*, TProgressStage stage, std::uint8_t percent, bool, const TRect&, const std::string& msg) {
    events.push_back(std::to_string(stage) + ":" + std::to_string(percent) + ":" + msg);
  };
  LoadSgi(ReadFile(Fixture("sgi/grey_alpha.sgi")), &graphic);  // 3 rows
  const std::vector<std::string> expected = {"0:0:Preparing...", "2:100:", "0:0:Transfering...",
                                             "1:0:",             "1:33:",  "1:66:",
                                             "2:100:"};
  EXPECT_EQ(events, expected);
}

TEST(SGIReader, RefusesHeadersItCannotRead) {
  const auto good = ReadFile(Fixture("sgi/rgb16.sgi"));
  const std::string invalid = FormatMessage(gesInvalidImage, gesSGI);
  const std::string colour = FormatMessage(gesInvalidColorFormat, gesSGI);
  const std::string short_ = FormatMessage(gesStreamReadError, gesSGI);

  auto magic = good;
  magic[1] = 0xDB;
  EXPECT_EQ(ErrorOf(magic), invalid);
  EXPECT_EQ(ErrorOf(std::vector<std::uint8_t>(good.begin(), good.begin() + 8)), invalid);

  auto depth = good;
  depth[3] = 3;
  EXPECT_EQ(ErrorOf(depth), colour);
  auto noChannels = good;
  PutBigEndian16(noChannels, 10, 0);
  EXPECT_EQ(ErrorOf(noChannels), colour);
  auto fiveChannels = good;
  PutBigEndian16(fiveChannels, 10, 5);
  EXPECT_EQ(ErrorOf(fiveChannels), colour);
  auto empty = good;
  PutBigEndian16(empty, 6, 0);
  EXPECT_EQ(ErrorOf(empty), invalid);

  // A verbatim header asking for far more data than the file holds fails before allocating.
  auto huge = good;
  PutBigEndian16(huge, 6, 16000);
  PutBigEndian16(huge, 8, 16000);
  EXPECT_EQ(ErrorOf(huge), short_);
  // So does a run-length header whose offset tables do not fit.
  auto rle = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  PutBigEndian16(rle, 8, 60000);
  EXPECT_EQ(ErrorOf(rle), short_);
  // And sizes past the limits never reach the bitmap.
  auto tooLarge = std::vector<std::uint8_t>(good.begin(), good.begin() + 512);
  tooLarge[2] = 1;
  PutBigEndian16(tooLarge, 6, 65535);
  PutBigEndian16(tooLarge, 8, 65535);
  EXPECT_NE(ErrorOf(tooLarge).find("too large"), std::string::npos);
}

TEST(SGIReader, OffsetsOutsideTheFileLeaveBlankRows) {
  const auto d = Compare(LoadSgiFile(Fixture("sgi/table_outside.bw")), LoadReferencePng(Fixture("sgi/table_outside.png")), 0);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);
}

TEST(SGIReader, RunLengthRowsClaimingHugeLengthsStayInsideTheirRow) {
  // Every length at its maximum: the reader still reads no more than a row can use.
  auto bytes = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  const std::size_t entries = 7 * 4;
  for (std::size_t i = 0; i < entries; ++i) {
    for (int k = 0; k < 4; ++k) bytes[512 + 4 * (entries + i) + k] = 0xFF;
  }
  EXPECT_NO_THROW(LoadSgi(bytes));
}

TEST(SGIReader, FailedLoadLeavesTheBitmapEmpty) {
  TSGIGraphic graphic;
  LoadSgi(ReadFile(Fixture("sgi/rgba_rle.sgi")), &graphic);
  auto bad = ReadFile(Fixture("sgi/rgba_rle.sgi"));
  bad[0] = 0;
  EXPECT_THROW(LoadSgi(bad, &graphic), EInvalidGraphic);
  EXPECT_TRUE(graphic.Empty());
}

TEST(SGIReader, TruncatedFilesFailCleanlyOrLoadPartly) {
  for (const char* name : {"sgi/grey_bottom_up.bw", "sgi/rgba_rle.sgi", "sgi/rgb16.sgi", "sgi/grey16_rle.bw",
                           "sgi/grey_alpha.sgi", "sgi/table_outside.bw"}) {
    SCOPED_TRACE(name);
    test::ExpectTruncationsHandled(ReadFile(Fixture(name)), [](const std::vector<std::uint8_t>& bytes) { LoadSgi(bytes); });
  }
  test::ExpectTruncationsHandled(ReadFile(Fixture("kimageformats/rgb/testcard_rgba.rgb")),
                                 [](const std::vector<std::uint8_t>& bytes) { LoadSgi(bytes); });
}

}  // namespace
}  // namespace vumo
