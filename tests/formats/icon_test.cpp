#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/icon.h"
#include "pixels/byte_order.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Fixture;
using test::ReadFile;

const auto LoadBytes = &test::LoadWith<TIcon>;
const auto ErrorOf = &test::LoadErrorWith<TIcon>;
using test::PutLittleEndian32;

// Every icon shows as a 32-bit bitmap with alpha, whatever its depth and mask; how each
// looks is in ico/read.tsv and pillow/read.tsv.
TEST(Icon, ShowsAsThirtyTwoBitsWithAlpha) {
  for (const char* name : {"ico/and_mask_1bit.ico", "ico/and_mask_4bit.ico", "ico/and_mask_8bit.ico",
                           "ico/alpha_32bit.ico", "ico/zero_alpha_32bit.ico", "ico/no_and_mask_24bit.ico",
                           "ico/several_sizes.ico", "ico/magick.ico", "pillow/python.ico", "pillow/hopper.ico",
                           "pillow/black_and_white.ico", "ico/png_only.ico"}) {
    SCOPED_TRACE(name);
    const TIcon icon = LoadBytes(ReadFile(Fixture(name)));
    const TBitmap* bitmap = icon.DrawBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->PixelFormat(), pf32bit);
    EXPECT_TRUE(bitmap->AlphaChannel());
  }
  EXPECT_EQ(LoadBytes(ReadFile(Fixture("pillow/python.ico"))).Width(), 48);
  // The largest entry of several_sizes.ico is a PNG, which wins over the 32 x 32 ones.
  EXPECT_EQ(LoadBytes(ReadFile(Fixture("ico/several_sizes.ico"))).Width(), 48);
}

// Each entry is one of the file's images: the one shown by default first, then the others
// from the largest and deepest down.
TEST(Icon, EntriesAreTheFilesImagesLargestFirst) {
  const auto bytes = ReadFile(Fixture("ico/several_sizes.ico"));
  const TIcon first = LoadBytes(bytes);
  ASSERT_GT(first.Images().Count, 1u);
  EXPECT_EQ(first.Images().Index, 0u);
  EXPECT_EQ(first.Images().Caption, "entry 1/" + std::to_string(first.Images().Count));
  int previousWidth = first.Width();
  for (unsigned index = 1; index < first.Images().Count; ++index) {
    TIcon icon;
    icon.RequestImage(index);
    TMemoryStream stream(bytes.data(), bytes.size());
    icon.LoadFromStream(stream);
    EXPECT_EQ(icon.Images().Index, index);
    EXPECT_LE(icon.Width(), previousWidth) << index;
    previousWidth = icon.Width();
  }
  TIcon beyond;
  beyond.RequestImage(first.Images().Count);
  TMemoryStream stream(bytes.data(), bytes.size());
  EXPECT_THROW(beyond.LoadFromStream(stream), EInvalidGraphic);
  // A single-entry icon says nothing of other images.
  EXPECT_EQ(LoadBytes(ReadFile(Fixture("ico/and_mask_4bit.ico"))).Images(), (TImageSet{1, 0, ""}));
}

TEST(Icon, ABrokenPngEntryGivesThePngReadersMessage) {
  auto ico = ReadFile(Fixture("ico/png_only.ico"));
  const std::uint32_t offset = LittleEndian32(&ico[6 + 12]);
  ico[offset + 12] = 'X';  // IHDR is no longer the first chunk
  EXPECT_EQ(ErrorOf(ico), "Cannot load image. Invalid or unexpected PNG image format.");
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
  PutLittleEndian32(offsetPastEnd, 18, 0x7FFFFFF0);
  EXPECT_EQ(ErrorOf(offsetPastEnd), "Icon image is not valid");
  auto sizePastEnd = good;
  PutLittleEndian32(sizePastEnd, 14, 0xFFFFFFFF);
  EXPECT_EQ(ErrorOf(sizePastEnd), "Icon image is not valid");
  auto intoDirectory = good;
  PutLittleEndian32(intoDirectory, 18, 2);
  EXPECT_EQ(ErrorOf(intoDirectory), "Icon image is not valid");
  // A bad entry beside a good one: the good one is used.
  auto several = ReadFile(Fixture("ico/several_sizes.ico"));
  PutLittleEndian32(several, 6 + 16 * 2 + 12, 0x7FFFFFF0);  // the 48x48 PNG entry now points nowhere
  TIcon icon = LoadBytes(several);
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_FALSE(icon.DrawBitmap()->Empty());
}

}  // namespace
}  // namespace vumo
