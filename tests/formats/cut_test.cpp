#include "formats/cut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Rgba8Image LoadCut(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>* palette = nullptr,
                   TCUTGraphic* keep = nullptr) {
  TCUTGraphic local;
  TCUTGraphic& graphic = keep ? *keep : local;
  TMemoryStream stream(bytes.data(), bytes.size());
  if (palette) {
    TMemoryStream paletteStream(palette->data(), palette->size());
    graphic.LoadWithPalette(stream, &paletteStream);
  } else {
    graphic.LoadFromStream(stream);
  }
  return ToRgba8(graphic);
}

Rgba8Image LoadCutFile(const std::string& path, TCUTGraphic* keep = nullptr) {
  TCUTGraphic local;
  TCUTGraphic& graphic = keep ? *keep : local;
  graphic.LoadFromFile(path);
  return ToRgba8(graphic);
}

void ExpectSame(const Rgba8Image& actual, const std::string& png) {
  const auto d = Compare(actual, LoadReferencePng(png), 0, false);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);
}

// A palette file of one or more 512-byte blocks with `highest` as its highest index.
std::vector<std::uint8_t> PaletteFile(unsigned highest, std::size_t blocks) {
  std::vector<std::uint8_t> bytes(512 * blocks);
  bytes[0] = 'A';
  bytes[1] = 'H';
  bytes[12] = static_cast<std::uint8_t>(highest);
  bytes[13] = static_cast<std::uint8_t>(highest >> 8);
  return bytes;
}

// The picture loads of the fixtures, which find their palette files, are in cut/read.tsv.
TEST(CUTReader, FileLoadsFindThePaletteFile) {
  ExpectSame(LoadCutFile(Fixture("cut/halo.cut")), Fixture("cut/halo.png"));
  ExpectSame(LoadCutFile(Fixture("cut/short_pal.cut")), Fixture("cut/short_pal.png"));
}

TEST(CUTReader, StreamAloneGetsTheGreyRamp) {
  TCUTGraphic graphic;
  const auto bytes = ReadFile(Fixture("cut/halo.cut"));
  ExpectSame(LoadCut(bytes, nullptr, &graphic), Fixture("cut/grey.png"));
  EXPECT_EQ(graphic.PixelFormat(), pf8bit);
  ASSERT_EQ(graphic.Palette().size(), 256u);
  EXPECT_EQ(graphic.Palette()[200], (TPaletteEntry{200, 200, 200, 0}));
  // A file load does not leave its palette name behind for a later stream load.
  LoadCutFile(Fixture("cut/halo.cut"), &graphic);
  EXPECT_TRUE(graphic.PaletteFileName().empty());
  ExpectSame(LoadCut(bytes, nullptr, &graphic), Fixture("cut/grey.png"));
}

TEST(CUTReader, UpperCasePaletteNamesAreFound) {
  const std::string dir = test::TempDir("cut_upper_case");
  std::filesystem::copy_file(Fixture("cut/halo.cut"), dir + "/HALO.CUT");
  std::filesystem::copy_file(Fixture("cut/halo.pal"), dir + "/HALO.PAL");
  ExpectSame(LoadCutFile(dir + "/HALO.CUT"), Fixture("cut/halo.png"));
  // A name without an extension gets ".pal" added.
  std::filesystem::copy_file(Fixture("cut/halo.cut"), dir + "/plain");
  std::filesystem::copy_file(Fixture("cut/halo.pal"), dir + "/plain.pal");
  ExpectSame(LoadCutFile(dir + "/plain"), Fixture("cut/halo.png"));
}

TEST(CUTReader, PaletteEntriesRunOverBlocks) {
  auto bytes = PaletteFile(299, 4);  // more entries than a palette holds: 256 are read
  // Entry 0 at byte 40; the low byte of each 16-bit component counts.
  bytes[40] = 0x10;
  bytes[41] = 0x01;
  bytes[42] = 0x20;
  bytes[44] = 0x30;
  // Entry 77 starts at byte 502 of the first block, entry 78 at byte 0 of the second.
  bytes[502] = 77;
  bytes[512] = 78;
  bytes[512 + 504] = 162;  // the last entry of the second block
  bytes[1024] = 163;
  TMemoryStream stream(bytes.data(), bytes.size());
  const TLogPalette palette = TCUTGraphic::ReadHaloPalette(stream);
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[0], (TPaletteEntry{0x10, 0x20, 0x30, 0}));
  EXPECT_EQ(palette[77].peRed, 77);
  EXPECT_EQ(palette[78].peRed, 78);
  EXPECT_EQ(palette[162].peRed, 162);
  EXPECT_EQ(palette[163].peRed, 163);
}

TEST(CUTReader, ShortOrEmptyPaletteFiles) {
  // Declares 16 entries; the file ends inside the fourth.
  auto bytes = PaletteFile(15, 1);
  bytes.resize(40 + 6 * 3 + 4);
  bytes[40 + 6 * 2] = 99;
  TMemoryStream stream(bytes.data(), bytes.size());
  const TLogPalette palette = TCUTGraphic::ReadHaloPalette(stream);
  ASSERT_EQ(palette.size(), 16u);
  EXPECT_EQ(palette[2].peRed, 99);
  EXPECT_EQ(palette[3], TPaletteEntry{});
  // Without a whole header there is no palette, and the picture gets the grey ramp.
  std::vector<std::uint8_t> stub(20, 0);
  TMemoryStream stubStream(stub.data(), stub.size());
  EXPECT_TRUE(TCUTGraphic::ReadHaloPalette(stubStream).empty());
  ExpectSame(LoadCut(ReadFile(Fixture("cut/grey.cut")), &stub), Fixture("cut/grey.png"));
}

TEST(CUTReader, BadHeadersAndData) {
  const auto good = ReadFile(Fixture("cut/grey.cut"));
  TCUTGraphic graphic;
  EXPECT_THROW(LoadCut(std::vector<std::uint8_t>(good.begin(), good.begin() + 5)), EReadError);
  // No size: nothing to show, as an empty header says.
  std::vector<std::uint8_t> empty = {0, 0, 5, 0, 0, 0, 2, 0, 0x81, 7, 0};
  EXPECT_NO_THROW(LoadCut(empty, nullptr, &graphic));
  EXPECT_TRUE(graphic.Empty());
  // Fewer bytes than the declared rows can take are refused before the bitmap is made.
  auto tall = good;
  tall[2] = 0xFF;
  tall[3] = 0x3F;
  EXPECT_THROW(LoadCut(tall), EReadError);
  auto huge = good;
  huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
  try {
    LoadCut(huge);
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos);
  }
  EXPECT_FALSE(TCUTGraphic::CanLoad(Fixture("cut/grey.cut")));
}

TEST(CUTReader, TruncatedPaletteFilesAreHandled) {
  const auto palette = ReadFile(Fixture("cut/halo.pal"));
  const auto picture = ReadFile(Fixture("cut/halo.cut"));
  // The palette is a file beside the picture: entries a short one lacks stay black.
  test::ExpectTruncationsHandled(palette, [&](const std::vector<std::uint8_t>& bytes) { LoadCut(picture, &bytes); },
                                 test::TTruncated::kMayLoad);
  // The picture itself cut short is refused.
  test::ExpectTruncationsHandled(picture, [&](const std::vector<std::uint8_t>& bytes) { LoadCut(bytes, &palette); });
}

}  // namespace
}  // namespace vumo
