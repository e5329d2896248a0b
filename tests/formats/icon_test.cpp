#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/icon.h"
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
                           "no_and_mask_24bit", "several_sizes"})
    ExpectLooksLike(Fixture(std::string("ico/") + name + ".ico"), Fixture(std::string("ico/") + name + ".png"));
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

TEST(Icon, PngEntriesAreRefusedClearly) {
  EXPECT_EQ(ErrorOf(ReadFile(Fixture("ico/png_only.ico"))),
            "Cannot load icon: PNG-compressed icon images are not supported yet.");
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
  Put32(several, 6 + 16 * 3 + 12, 0x7FFFFFF0);  // the 32x32 32-bit entry now points nowhere
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
