// The sheet's layout by numbers: where each kind of image set puts its images and labels.
#include "formats/image_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

TSheetImage Image(TImagePlace::TKind kind, unsigned index, std::uint32_t w, std::uint32_t h, int face = -1,
                  std::uint32_t level = 0, std::uint32_t layer = 0, std::uint32_t slice = 0) {
  TSheetImage image{index, TImagePlace(kind), w, h};
  image.Place.Face = static_cast<std::int8_t>(face);
  image.Place.Level = level, image.Place.Layer = layer, image.Place.Slice = slice;
  return image;
}
constexpr auto kSurface = TImagePlace::ipSurface;

TRect CellOf(const TSheetPlan& plan, unsigned index) {
  auto at = std::find_if(plan.Cells.begin(), plan.Cells.end(), [&](const TSheetCell& c) { return c.Index == index; });
  return at == plan.Cells.end() ? TRect{-1, -1, -1, -1} : at->Box;
}
const TSheetLabel* LabelOf(const TSheetPlan& plan, const std::string& text) {
  auto at = std::find_if(plan.Labels.begin(), plan.Labels.end(), [&](const TSheetLabel& l) { return l.Text == text; });
  return at == plan.Labels.end() ? nullptr : &*at;
}
bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Every box on the sheet, and no two images (nor two labels) on top of each other.
void ExpectTidy(const TSheetPlan& plan) {
  auto check = [&plan](const auto& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_TRUE(items[i].Box.Left >= 0 && items[i].Box.Top >= 0 && items[i].Box.Right <= int(plan.Width) &&
                  items[i].Box.Bottom <= int(plan.Height));
      for (std::size_t j = i + 1; j < items.size(); ++j) EXPECT_FALSE(Overlap(items[i].Box, items[j].Box)) << i << ", " << j;
    }
  };
  check(plan.Cells);
  check(plan.Labels);
}

TEST(ImageSheet, TenMipLevelsMakeOneStripAtTheirOwnSizes) {
  std::vector<TSheetImage> images;
  for (unsigned l = 0; l < 10; ++l) images.push_back(Image(kSurface, l, std::max(512u >> l, 1u), std::max(256u >> l, 1u), -1, l));
  const TSheetPlan plan = PlanImageSheet(images, 10);
  ExpectTidy(plan);
  ASSERT_EQ(plan.Labels.size(), 10u);  // no heading over a single strip
  for (unsigned l = 0; l < 10; ++l) {
    SCOPED_TRACE(l);
    const TRect box = CellOf(plan, l);
    EXPECT_EQ(box.Right - box.Left, int(images[l].Width));
    EXPECT_EQ(box.Bottom - box.Top, int(images[l].Height));
    EXPECT_EQ(box.Top, 8);
    EXPECT_GT(box.Left, l ? CellOf(plan, l - 1).Right : 7);
    const TSheetLabel* label = LabelOf(plan, "level " + std::to_string(l + 1) + ": " + std::to_string(images[l].Width) +
                                                 " x " + std::to_string(images[l].Height));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Box.Left, box.Left);
    EXPECT_GE(label->Box.Top, box.Bottom);
  }
}

TEST(ImageSheet, CubeFacesMakeAHorizontalCrossWithTheirNames) {
  // Faces that hold their names meet edge to edge, named inside; tiny ones stand apart.
  for (const std::uint32_t side : {64u, 4u}) {
    SCOPED_TRACE(side);
    std::vector<TSheetImage> images;
    for (int f = 0; f < 6; ++f) images.push_back(Image(kSurface, unsigned(f), side, side, f));
    const TSheetPlan plan = PlanImageSheet(images, 6);
    ExpectTidy(plan);
    const char* names[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
    const int column[6] = {2, 0, 1, 1, 1, 3}, row[6] = {1, 1, 0, 2, 1, 1};
    const int pitchX = CellOf(plan, 4).Left - CellOf(plan, 1).Left, pitchY = CellOf(plan, 4).Top - CellOf(plan, 2).Top;
    EXPECT_EQ(pitchX == int(side) && pitchY == int(side), side == 64);
    if (side == 64) {
      EXPECT_EQ(plan.Width, 8u + 4 * 64 + 8);
      EXPECT_EQ(plan.Height, 8u + 3 * 64 + 8);
    }
    for (unsigned f = 0; f < 6; ++f) {
      const TRect box = CellOf(plan, f);
      EXPECT_EQ(box.Left - CellOf(plan, 1).Left, column[f] * pitchX) << names[f];
      EXPECT_EQ(box.Top - CellOf(plan, 2).Top, row[f] * pitchY) << names[f];
      const TSheetLabel* label = LabelOf(plan, names[f]);
      ASSERT_NE(label, nullptr) << names[f];
      EXPECT_EQ(Overlap(label->Box, box), side == 64) << names[f];
    }
  }
}

TEST(ImageSheet, SevenPagesMakeAGridOfThreeColumnsWithTheirNumbers) {
  std::vector<TSheetImage> images;
  for (unsigned i = 0; i < 7; ++i) images.push_back(Image(TImagePlace::ipPage, i, 40 + 10 * i, 30));
  const TSheetPlan plan = PlanImageSheet(images, 7);
  ExpectTidy(plan);
  for (unsigned i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    const TRect box = CellOf(plan, i);
    EXPECT_EQ(box.Left, CellOf(plan, i % 3).Left);      // columns line up
    EXPECT_EQ(box.Top, CellOf(plan, i / 3 * 3).Top);    // and rows
    EXPECT_EQ(i % 3 == 0, box.Left == 8);               // three to a row
    EXPECT_EQ(box.Right - box.Left, int(40 + 10 * i));  // at their own sizes
    const TSheetLabel* label = LabelOf(plan, "page " + std::to_string(i + 1));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Box.Left, box.Left);
  }
  EXPECT_GT(CellOf(plan, 6).Top, CellOf(plan, 3).Bottom);
}

TEST(ImageSheet, LabelsSayWhatEachImageIs) {
  struct Case {
    std::vector<TSheetImage> images;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {{Image(kSurface, 0, 8, 8, -1, 0, 0), Image(kSurface, 1, 8, 8, -1, 0, 1)}, {"layer 1", "layer 2"}},
      {{Image(kSurface, 0, 4, 4, -1, 0, 0, 0), Image(kSurface, 1, 4, 4, -1, 0, 0, 1)}, {"slice 1", "slice 2"}},
      // A volume's levels differ in slices: a row a level.
      {{Image(kSurface, 0, 4, 4, -1, 0, 0, 0), Image(kSurface, 1, 4, 4, -1, 0, 0, 1), Image(kSurface, 2, 2, 2, -1, 1)},
       {"level 1 (4 x 4)", "slice 1", "slice 2", "level 2 (2 x 2)", "slice 1"}},
      {{Image(kSurface, 0, 4, 4, 0, 0), Image(kSurface, 1, 2, 2, 0, 1), Image(kSurface, 2, 4, 4, 1, 0)},
       {"face +X", "level 1: 4 x 4", "level 2: 2 x 2", "face -X", "level 1: 4 x 4"}},
      {{Image(TImagePlace::ipEntry, 0, 32, 32), Image(TImagePlace::ipEntry, 1, 16, 16)},
       {"entry 1: 32 x 32", "entry 2: 16 x 16"}},
      // Mixed kinds make a grid, each named for itself; a cube map's cross is left out.
      {{Image(kSurface, 0, 4, 4, -1, 1), Image(TImagePlace::ipPage, 1, 4, 4), Image(TImagePlace::ipComposite, 2, 9, 9)},
       {"image 1", "page 2"}},
  };
  for (const Case& c : cases) {
    const auto files = std::count_if(c.images.begin(), c.images.end(),
                                     [](const TSheetImage& i) { return i.Place.Kind != TImagePlace::ipComposite; });
    const TSheetPlan plan = PlanImageSheet(c.images, unsigned(files));
    ExpectTidy(plan);
    std::vector<std::string> texts;
    for (const TSheetLabel& l : plan.Labels) texts.push_back(l.Text);
    EXPECT_EQ(texts, c.labels);
  }
}

TEST(ImageSheet, ManyImagesAreCappedAndTooLargeASheetRefused) {
  std::vector<TSheetImage> images;
  for (unsigned i = 0; i < kMaxSheetImages + 40; ++i) images.push_back(Image(TImagePlace::ipFrame, i, 2, 2));
  const TSheetPlan plan = PlanImageSheet(images, 5000);
  EXPECT_EQ(plan.Cells.size(), kMaxSheetImages);
  EXPECT_NE(LabelOf(plan, "the first " + std::to_string(kMaxSheetImages) + " of 5000 images"), nullptr);

  const std::vector<TSheetImage> wide = {Image(TImagePlace::ipPage, 0, kMaxImageSide, 16),
                                         Image(TImagePlace::ipPage, 1, kMaxImageSide, 16)};
  EXPECT_THROW(PlanImageSheet(wide, 2), EInvalidGraphic);
}

// The readers say what each image is, which the sheet lays out by.
TEST(ImageSheet, ReadersPlaceEachImageInItsFile) {
  struct Case {
    const char* file;
    unsigned index;
    TSheetImage want;
  };
  const Case cases[] = {
      {"dds/cube.dds", 3, Image(kSurface, 0, 0, 0, 1, 1)},  // six faces of two levels, face by face
      {"dds/cube.dds", 11, Image(kSurface, 0, 0, 0, 5, 1)},
      {"dds/cube.dds", 12, Image(TImagePlace::ipComposite, 0, 0, 0)},
      {"ktx/cube_bgra.ktx", 4, Image(kSurface, 0, 0, 0, 2, 0)},
      {"dds/array_bc1.dds", 2, Image(kSurface, 0, 0, 0, -1, 0, 2)},
      {"dds/volume_l8.dds", 5, Image(kSurface, 0, 0, 0, -1, 1, 0, 1)},  // slices 4, 2, 1 by level
      {"tiff/two_pages.tif", 1, Image(TImagePlace::ipPage, 0, 0, 0)},
      {"gif/pillow_256.gif", 0, Image(TImagePlace::ipFrame, 0, 0, 0)},
      {"ico/and_mask_4bit.ico", 0, Image(TImagePlace::ipEntry, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    TPicture picture;
    picture.LoadFromFile(test::Fixture(c.file), c.index);
    EXPECT_EQ(picture.Graphic()->ImagePlace(), c.want.Place) << c.file << " " << c.index;
  }
}

}  // namespace
}  // namespace vumo
