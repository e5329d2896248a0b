#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstdio>

#include "formats/icon.h"
#include "pixels/byte_order.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Compare;
using test::Fixture;
using test::ReadFile;
using test::ToRgba8;

TIcon LoadBytes(const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  TIcon icon;
  icon.LoadFromStream(stream);
  return icon;
}

std::string ErrorOf(const std::vector<std::uint8_t>& bytes) { return test::LoadErrorWith<TIcon>(bytes); }

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void ExpectLooksLike(const std::string& icoPath, const std::string& pngPath) {
  SCOPED_TRACE(icoPath);
  TIcon icon = LoadBytes(ReadFile(icoPath));
  const TBitmap* bitmap = icon.DrawBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->PixelFormat(), pf32bit);
  EXPECT_TRUE(bitmap->AlphaChannel());
  auto d = Compare(ToRgba8(*bitmap), test::LoadReferencePng(pngPath), 0);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u) << "max delta " << d.maxChannelDelta;
  EXPECT_EQ(d.maxAlphaDelta, 0);
}

// Hand-assembled icons (tests/data/ico/make_fixtures.py) against the look they were drawn from.
TEST(Icon, MasksDepthsAndChoiceOfImage) {
  for (const char* name : {"and_mask_1bit", "and_mask_4bit", "and_mask_8bit", "alpha_32bit", "zero_alpha_32bit",
                           "no_and_mask_24bit"})
    ExpectLooksLike(Fixture(std::string("ico/") + name + ".ico"), Fixture(std::string("ico/") + name + ".png"));
  // The 48 x 48 PNG entry is the largest; without it, the 32 x 32 32-bit entry wins over the
  // 32 x 32 8-bit and the 16 x 16 ones.
  EXPECT_EQ(LoadBytes(ReadFile(Fixture("ico/several_sizes.ico"))).Width(), 48);
  auto several = ReadFile(Fixture("ico/several_sizes.ico"));
  Put32(several, 6 + 16 * 2 + 12, 0x7FFFFFF0);  // the PNG entry now points nowhere
  const std::string withoutPng = test::TempDir("icon_without_png") + "/several_sizes.ico";
  std::FILE* f = std::fopen(withoutPng.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(several.data(), 1, several.size(), f);
  std::fclose(f);
  ExpectLooksLike(withoutPng, Fixture("ico/several_sizes.png"));
}

// Icons written by other programs, against ImageMagick's decode of the image we pick.
TEST(Icon, RealIconsMatchReferences) {
  ExpectLooksLike(Fixture("pillow/python.ico"), Fixture("ico/python.png"));
  ExpectLooksLike(Fixture("pillow/hopper.ico"), Fixture("ico/hopper.png"));
  ExpectLooksLike(Fixture("pillow/black_and_white.ico"), Fixture("ico/black_and_white.png"));
  ExpectLooksLike(Fixture("ico/magick.ico"), Fixture("ico/magick.png"));
  EXPECT_EQ(LoadBytes(ReadFile(Fixture("pillow/python.ico"))).Width(), 48);
  auto viaPicture = Compare(test::LoadThroughPicture(Fixture("pillow/python.ico")),
                            test::LoadReferencePng(Fixture("ico/python.png")), 0);
  EXPECT_TRUE(viaPicture.sameSize);
  EXPECT_EQ(viaPicture.pixelsOff, 0u);
}

TEST(Icon, PngEntriesLoadThroughThePngReader) {
  // The entry's own PNG, written out for Qt to decode as a second opinion.
  const auto ico = ReadFile(Fixture("ico/png_only.ico"));
  const std::uint32_t size = LittleEndian32(&ico[6 + 8]), offset = LittleEndian32(&ico[6 + 12]);
  ASSERT_LE(std::uint64_t{offset} + size, ico.size());
  const std::string png = test::TempDir("icon_png_entry") + "/entry.png";
  std::FILE* f = std::fopen(png.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(ico.data() + offset, 1, size, f);
  std::fclose(f);
  ASSERT_EQ(ErrorOf(ico), "");
  const auto d = Compare(ToRgba8(*LoadBytes(ico).DrawBitmap()), test::LoadReferencePng(png), 0);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);
  EXPECT_EQ(d.maxAlphaDelta, 0);
  // A broken PNG entry gives the PNG reader's message.
  auto broken = ico;
  broken[offset + 12] = 'X';  // IHDR is no longer the first chunk
  EXPECT_EQ(ErrorOf(broken), "Cannot load image. Invalid or unexpected PNG image format.");
}

TEST(Icon, DirectoryChecked) {
  const auto good = ReadFile(Fixture("ico/and_mask_4bit.ico"));
  ASSERT_EQ(ErrorOf(good), "");
  auto wrongType = good;
  wrongType[2] = 3;
  EXPECT_EQ(ErrorOf(wrongType), "Icon image is not valid");
  auto noEntries = good;
  noEntries[4] = 0;
  EXPECT_EQ(ErrorOf(noEntries), "Icon image is not valid");
  auto manyEntries = good;
  manyEntries[4] = 0xFF;
  manyEntries[5] = 0xFF;
  EXPECT_EQ(ErrorOf(manyEntries), kStreamReadError);
  auto offsetPastEnd = good;
  Put32(offsetPastEnd, 18, 0x7FFFFFF0);
  EXPECT_EQ(ErrorOf(offsetPastEnd), "Icon image is not valid");
  auto sizePastEnd = good;
  Put32(sizePastEnd, 14, 0xFFFFFFFF);
  EXPECT_EQ(ErrorOf(sizePastEnd), "Icon image is not valid");
  auto intoDirectory = good;
  Put32(intoDirectory, 18, 2);
  EXPECT_EQ(ErrorOf(intoDirectory), "Icon image is not valid");
  // A bad entry beside a good one: the good one is used.
  auto several = ReadFile(Fixture("ico/several_sizes.ico"));
  Put32(several, 6 + 16 * 2 + 12, 0x7FFFFFF0);  // the 48x48 PNG entry now points nowhere
  TIcon icon = LoadBytes(several);
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_FALSE(icon.DrawBitmap()->Empty());
}

TEST(Icon, TruncationsFailCleanly) {
  for (const char* name : {"and_mask_4bit", "alpha_32bit", "several_sizes", "magick"})
    test::ExpectTruncationsHandled(ReadFile(Fixture(std::string("ico/") + name + ".ico")),
                                   [](const std::vector<std::uint8_t>& bytes) { LoadBytes(bytes); });
  test::ExpectTruncationsHandled(ReadFile(Fixture("pillow/python.ico")),
                                 [](const std::vector<std::uint8_t>& bytes) { LoadBytes(bytes); });
}

}  // namespace
}  // namespace vumo
