// The file list's header columns: what each kind of file's header gives, that no pixel
// is needed (files cut right after their headers still answer), and that hostile or
// foreign bytes give nothing rather than nonsense.
#include "formats/header_info.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

struct TFixtureCase {
  const char* File;
  std::uint32_t Width, Height;
  const char* Format;
  const char* ImageSet;
  bool Alpha;
};

class HeaderInfoFixtures : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(HeaderInfoFixtures, ReadsWhatTheHeaderSays) {
  const TFixtureCase& c = GetParam();
  const std::optional<THeaderInfo> info = ReadHeaderInfo(Fixture(c.File));
  ASSERT_TRUE(info) << c.File;
  EXPECT_EQ(info->Width, c.Width);
  EXPECT_EQ(info->Height, c.Height);
  EXPECT_EQ(info->Format, c.Format);
  EXPECT_EQ(info->ImageSet, c.ImageSet);
  EXPECT_EQ(info->HasAlpha, c.Alpha);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, HeaderInfoFixtures,
    ::testing::Values(TFixtureCase{"dds/bc7_srgb.dds", 8, 4, "BC7 sRGB", "", true},
                      TFixtureCase{"dds/cube.dds", 4, 4, "A8R8G8B8", "6 faces x 2 levels", true},
                      TFixtureCase{"dds/array_bc1.dds", 8, 8, "BC1", "3 layers", true},
                      TFixtureCase{"dds/volume_l8.dds", 4, 4, "L8", "4 slices x 3 levels", false},
                      TFixtureCase{"dds/rgba_dxt5_mips.dds", 32, 16, "BC3", "6 levels", true},
                      TFixtureCase{"ktx/cube_bgra_zstd.ktx2", 4, 4, "B8G8R8A8", "6 faces x 2 levels", true},
                      TFixtureCase{"ktx/astc_6x6_srgb.ktx", 6, 6, "ASTC 6x6 sRGB", "", true},
                      TFixtureCase{"ktx/etc2.ktx", 4, 4, "ETC2 RGB", "", false},
                      TFixtureCase{"exr/hopper_imagemagick.exr", 40, 30, "EXR half RGBA uncompressed", "", true},
                      TFixtureCase{"exr/hopper_ripmap.exr", 40, 30, "EXR half RGBA ZIP", "6 x 5 ripmap levels", true},
                      TFixtureCase{"pngsuite/basn6a16.png", 32, 32, "PNG RGBA 16-bit", "", true},
                      TFixtureCase{"pngsuite/basn3p04.png", 32, 32, "PNG indexed 4-bit", "", false},
                      // A transparent colour (tRNS) counts as alpha, in a palette or not.
                      TFixtureCase{"pngsuite/tbbn3p08.png", 32, 32, "PNG indexed 8-bit", "", true},
                      TFixtureCase{"pngsuite/tbbn2c16.png", 32, 32, "PNG RGB 16-bit", "", true},
                      TFixtureCase{"tiff/two_pages.tif", 64, 48, "TIFF RGB 8-bit", "2 pages", false},
                      TFixtureCase{"psd/rgba_imagemagick.psd", 16, 8, "PSD RGBA 8-bit", "", true},
                      TFixtureCase{"jpeg/progressive.jpg", 64, 48, "JPEG RGB 8-bit, progressive", "", false},
                      TFixtureCase{"jpeg/cmyk.jpg", 64, 48, "JPEG CMYK 8-bit", "", false},
                      TFixtureCase{"ico/several_sizes.ico", 48, 48, "icon 32-bit", "5 images", true},
                      TFixtureCase{"gif/pillow_256.gif", 37, 23, "GIF indexed 8-bit", "", false}),
    [](const ::testing::TestParamInfo<TFixtureCase>& param) {
      std::string name = param.param.File;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// A file's first `keep` bytes written to a folder of the test's own.
class HeaderInfoFiles : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes, std::size_t keep = SIZE_MAX) {
    const std::string path = dir_.path().toStdString() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(std::min(keep, bytes.size())));
    return path;
  }
  QTemporaryDir dir_;
};

// A DX10 DDS header of a large texture, with no pixel after it.
Bytes BigDdsHeader() {
  Bytes h(128 + 20, 0);
  auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(h.data() + at, &v, 4); };
  std::memcpy(h.data(), "DDS ", 4);
  put(4, 124);
  put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
  put(12, 4096);
  put(16, 8192);
  put(28, 14);
  put(76, 32);
  put(80, 0x4);
  std::memcpy(h.data() + 84, "DX10", 4);
  put(128, 99);  // BC7 sRGB
  put(132, 3);   // a 2D texture
  put(140, 1);
  return h;
}

// The columns never need the pixels: each file is cut right after its header.
TEST_F(HeaderInfoFiles, FilesWithoutTheirBodiesStillAnswer) {
  const Bytes png = ReadFile(Fixture("pngsuite/basn6a16.png"));
  const Bytes exr = ReadFile(Fixture("exr/hopper_imagemagick.exr"));
  const Bytes dds = ReadFile(Fixture("dds/rgba_dxt5_mips.dds"));
  struct {
    std::string path;
    const char* format;
    std::uint32_t width;
  } cases[] = {
      {Write("cut.png", png, 8 + 25), "PNG RGBA 16-bit", 32},
      // The header ends well before the first kilobyte; the pixels take the other nine.
      {Write("cut.exr", exr, 1024), "EXR half RGBA uncompressed", 40},
      {Write("cut.dds", dds, 128), "BC3", 32},
      {Write("big.dds", BigDdsHeader()), "BC7 sRGB", 8192},
  };
  for (const auto& c : cases) {
    const std::optional<THeaderInfo> info = ReadHeaderInfo(c.path);
    ASSERT_TRUE(info) << c.path;
    EXPECT_EQ(info->Format, c.format) << c.path;
    EXPECT_EQ(info->Width, c.width) << c.path;
  }
  EXPECT_EQ(ReadHeaderInfo(cases[3].path)->ImageSet, "14 levels");
  EXPECT_EQ(ReadHeaderInfo(cases[3].path)->Height, 4096u);
}

// The reader is found by what the file holds when its name says nothing or lies.
TEST_F(HeaderInfoFiles, TheContentChoosesTheReaderWhenTheExtensionCannot) {
  const Bytes dds = ReadFile(Fixture("dds/cube.dds"));
  const Bytes png = ReadFile(Fixture("pngsuite/basn6a16.png"));
  for (const std::string& path : {Write("texture", dds), Write("texture.png", dds), Write("picture.dds", png)}) {
    const std::optional<THeaderInfo> info = ReadHeaderInfo(path);
    ASSERT_TRUE(info) << path;
    EXPECT_EQ(info->Width, path.ends_with(".dds") ? 32u : 4u) << path;
  }
}

TEST_F(HeaderInfoFiles, ForeignDamagedAndMissingFilesGiveNothing) {
  Bytes exr = ReadFile(Fixture("exr/hopper_imagemagick.exr"));
  Bytes lying = exr;
  // The first attribute's size made larger than the file.
  const std::size_t sizeAt = 8 + std::strlen("channels") + 1 + std::strlen("chlist") + 1;
  ASSERT_EQ(std::memcmp(lying.data() + 8, "channels", 8), 0);
  lying[sizeAt + 3] = 0x7F;
  Bytes zeroIcon = {0, 0, 1, 0, 0, 0};
  Bytes shortIcon = {0, 0, 1, 0, 200, 0, 16, 16};
  Bytes jpegNoFrame = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0xFF, 0xDA, 0, 2};
  const std::string paths[] = {
      Write("text.txt", Bytes(5000, 'x')), Write("empty.dds", {}), Write("lying.exr", lying),
      Write("short.exr", exr, 40),         Write("zero.ico", zeroIcon), Write("short.ico", shortIcon),
      Write("noframe.jpg", jpegNoFrame),   Write("cut.dds", ReadFile(Fixture("dds/cube.dds")), 100),
      dir_.path().toStdString() + "/missing.png", dir_.path().toStdString()};
  for (const std::string& path : paths) EXPECT_FALSE(ReadHeaderInfo(path)) << path;
}

// A TIFF may keep its directory after its strips, past the first block a listing reads.
TEST_F(HeaderInfoFiles, ATiffDirectoryPastTheFirstBlockIsFound) {
  Bytes tiff = ReadFile(Fixture("tiff/two_pages.tif"));
  ASSERT_EQ(tiff[0], 'I');
  std::uint32_t first = 0;
  std::memcpy(&first, tiff.data() + 4, 4);
  // The same file behind 200 KiB of padding: every offset in it moves, so it is easier to
  // put the padding at the end and the first directory's copy there.
  const std::size_t pad = 200 * 1024;
  Bytes moved = tiff;
  moved.resize(tiff.size() + pad, 0);
  std::uint16_t entries = 0;
  std::memcpy(&entries, tiff.data() + first, 2);
  const std::size_t ifdBytes = 2 + std::size_t{entries} * 12 + 4;
  ASSERT_LE(first + ifdBytes, tiff.size());
  const std::uint32_t at = static_cast<std::uint32_t>(moved.size());
  moved.insert(moved.end(), tiff.begin() + first, tiff.begin() + first + static_cast<std::ptrdiff_t>(ifdBytes));
  std::memcpy(moved.data() + 4, &at, 4);
  const std::optional<THeaderInfo> info = ReadHeaderInfo(Write("late.tif", moved));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Width, 64u);
  EXPECT_EQ(info->ImageSet, "2 pages");
}

}  // namespace
}  // namespace vumo
