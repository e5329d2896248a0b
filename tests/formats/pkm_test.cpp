// What only PKM has: a 16-byte header whose padded sizes must agree with the picture's, the
// version that limits the formats, and blocks cut to the picture. Pixels are checked against
// etc1tool's decode by tests/data/pkm/read.tsv; the block decoders' own tests work out the
// ETC2 and EAC values.
#include "formats/pkm.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;

Bytes Data(const std::string& name) { return test::ReadFile(test::Fixture("pkm/" + name)); }

// A header of `version` and `code` for a picture of `width` x `height`, then `blocks` blocks of
// `blockBytes` zero bytes.
Bytes Build(const char* version, unsigned code, unsigned width, unsigned height, std::size_t blocks,
            std::size_t blockBytes = 8) {
  Bytes b = {'P', 'K', 'M', ' ', static_cast<std::uint8_t>(version[0]), static_cast<std::uint8_t>(version[1])};
  b.resize(16 + blocks * blockBytes);
  test::PutBigEndian16(b, 6, code);
  test::PutBigEndian16(b, 8, (width + 3) & ~3u);
  test::PutBigEndian16(b, 10, (height + 3) & ~3u);
  test::PutBigEndian16(b, 12, width);
  test::PutBigEndian16(b, 14, height);
  return b;
}

std::array<int, 4> At(const test::Rgba8Image& image, int x, int y) {
  const std::uint8_t* p = image.pixels.data() + 4 * (y * image.width + x);
  return {p[0], p[1], p[2], p[3]};
}

TEST(PKM, PictureIsCutFromItsPaddedBlocks) {
  TPKMGraphic pkm;
  const test::Rgba8Image image = test::DecodeWith(Data("etc2_rgba1.pkm"), &pkm);
  ASSERT_EQ(10, image.width);
  ASSERT_EQ(7, image.height);
  EXPECT_TRUE(pkm.ImageProperties.HasAlpha);
  EXPECT_EQ(4, pkm.ImageProperties.BitsPerPixel);
  // The first block is differential without the opaque bit: its first pixel has index 2.
  EXPECT_EQ((std::array<int, 4>{0, 0, 0, 0}), At(image, 0, 0));
}

TEST(PKM, FormatCodesChooseTheBlocks) {
  // The same first colour block (individual, index 1: +29 on (238, 51, 136)) under ETC2 RGB and
  // after an alpha block (base 103, table 13, multiplier 2, index 0: 101) under ETC2 RGBA.
  EXPECT_EQ((std::array<int, 4>{255, 80, 165, 255}), At(test::DecodeWith<TPKMGraphic>(Data("etc2_rgb.pkm")), 0, 0));
  EXPECT_EQ((std::array<int, 4>{255, 80, 165, 101}), At(test::DecodeWith<TPKMGraphic>(Data("etc2_rgba.pkm")), 0, 0));
  // R11 as grey; RG11 with the signed block's code -128 read as -127 in green.
  const test::Rgba8Image r11 = test::DecodeWith<TPKMGraphic>(Data("r11.pkm"));
  EXPECT_EQ(At(r11, 0, 0)[0], At(r11, 0, 0)[2]);
  EXPECT_EQ(255, At(r11, 0, 0)[3]);
  const test::Rgba8Image rg11 = test::DecodeWith<TPKMGraphic>(Data("rg11_signed.pkm"));
  EXPECT_EQ(0, At(rg11, 0, 0)[2]);
  // Every format code a writer uses loads, with as many bytes a block as the format has.
  const unsigned codes[] = {0, 1, 3, 4, 5, 6, 7, 8};
  const std::size_t bytes[] = {8, 8, 16, 8, 8, 16, 8, 16};
  for (int i = 0; i < 8; ++i) {
    const char* version = codes[i] == 0 ? "10" : "20";
    EXPECT_EQ("", test::LoadErrorWith<TPKMGraphic>(Build(version, codes[i], 5, 3, 2, bytes[i]))) << codes[i];
    EXPECT_EQ("Stream read error", test::LoadErrorWith<TPKMGraphic>(Build(version, codes[i], 5, 3, 2, bytes[i] - 1)))
        << codes[i];
  }
}

TEST(PKM, HeaderFaultsAreRefused) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PKM image format.";
  EXPECT_EQ(invalid, test::LoadErrorWith<TPKMGraphic>(Data("padding_wrong.pkm")));
  Bytes tooShort = Build("20", 1, 8, 8, 4);
  test::PutBigEndian16(tooShort, 10, 4);  // padded height below the height
  EXPECT_EQ(invalid, test::LoadErrorWith<TPKMGraphic>(tooShort));
  EXPECT_EQ(invalid, test::LoadErrorWith<TPKMGraphic>(Build("20", 1, 0, 4, 0)));
  // Version 10 is ETC1's alone; code 2 is an early RGBA layout no writer kept.
  EXPECT_EQ("Cannot load image. The format code 1 is not supported for PKM files.",
            test::LoadErrorWith<TPKMGraphic>(Data("version_10_etc2.pkm")));
  EXPECT_EQ("Cannot load image. The format code 2 is not supported for PKM files.",
            test::LoadErrorWith<TPKMGraphic>(Build("20", 2, 4, 4, 1, 16)));
  EXPECT_EQ("Cannot load image. The format code 9 is not supported for PKM files.",
            test::LoadErrorWith<TPKMGraphic>(Data("format_unknown.pkm")));
  EXPECT_EQ("Stream read error", test::LoadErrorWith<TPKMGraphic>(Data("blocks_cut.pkm")));
  // Only "PKM " with version 10 or 20 is taken for PKM.
  Bytes otherVersion = Build("30", 1, 4, 4, 1);
  TMemoryStream stream(otherVersion.data(), otherVersion.size());
  EXPECT_FALSE(TPKMGraphic::CanLoad(stream));
  const Bytes etc1 = Data("etc1.pkm");
  TMemoryStream etc1Stream(etc1.data(), etc1.size());
  EXPECT_TRUE(TPKMGraphic::CanLoad(etc1Stream));
}

TEST(PKM, CutFilesRaise) {
  test::ExpectTruncationsHandled(Data("etc2_rgba.pkm"), [](const Bytes& bytes) {
    TPKMGraphic pkm;
    test::LoadInto(pkm, bytes);
  });
}

}  // namespace
}  // namespace vumo
