// The sheet's layout by numbers: where each kind of image set puts its images and labels.
#include "formats/image_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

TSheetImage Surface(unsigned index, std::uint32_t w, std::uint32_t h, std::uint32_t layer, int face,
                    std::uint32_t level, std::uint32_t slice = 0) {
  TSheetImage image;
  image.Index = index;
  image.Place = TImagePlace(TImagePlace::ipSurface);
  image.Place.Layer = layer;
  image.Place.Face = static_cast<std::int8_t>(face);
  image.Place.Level = level;
  image.Place.Slice = slice;
  image.Width = w;
  image.Height = h;
  return image;
}

TSheetImage Numbered(TImagePlace::TKind kind, unsigned index, std::uint32_t w, std::uint32_t h) {
  TSheetImage image;
  image.Index = index;
  image.Place = TImagePlace(kind);
  image.Width = w;
  image.Height = h;
  return image;
}

const TSheetCell& CellOf(const TSheetPlan& plan, unsigned index) {
  auto at = std::find_if(plan.Cells.begin(), plan.Cells.end(), [&](const TSheetCell& c) { return c.Index == index; });
  EXPECT_NE(at, plan.Cells.end()) << "no cell for image " << index;
  return *at;
}

const TSheetLabel* LabelOf(const TSheetPlan& plan, const std::string& text) {
  auto at = std::find_if(plan.Labels.begin(), plan.Labels.end(), [&](const TSheetLabel& l) { return l.Text == text; });
  return at == plan.Labels.end() ? nullptr : &*at;
}

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Every box inside the sheet, and no two images (nor two labels) on top of each other.
void ExpectTidy(const TSheetPlan& plan) {
  std::vector<TRect> boxes;
  for (const TSheetCell& c : plan.Cells) boxes.push_back(c.Box);
  for (const TSheetLabel& l : plan.Labels) boxes.push_back(l.Box);
  for (const TRect& b : boxes) {
    EXPECT_GE(b.Left, 0);
    EXPECT_GE(b.Top, 0);
    EXPECT_LE(b.Right, static_cast<std::int32_t>(plan.Width));
    EXPECT_LE(b.Bottom, static_cast<std::int32_t>(plan.Height));
  }
  for (std::size_t i = 0; i < plan.Cells.size(); ++i)
    for (std::size_t j = i + 1; j < plan.Cells.size(); ++j)
      EXPECT_FALSE(Overlap(plan.Cells[i].Box, plan.Cells[j].Box)) << "images " << i << " and " << j;
  for (std::size_t i = 0; i < plan.Labels.size(); ++i)
    for (std::size_t j = i + 1; j < plan.Labels.size(); ++j)
      EXPECT_FALSE(Overlap(plan.Labels[i].Box, plan.Labels[j].Box))
          << plan.Labels[i].Text << " and " << plan.Labels[j].Text;
}

TEST(ImageSheet, TenMipLevelsMakeOneStripAtTheirOwnSizes) {
  std::vector<TSheetImage> images;
  for (unsigned level = 0; level < 10; ++level)
    images.push_back(Surface(level, std::max(512u >> level, 1u), std::max(256u >> level, 1u), 0, -1, level));
  const TSheetPlan plan = PlanImageSheet(images, 10);
  ASSERT_EQ(plan.Cells.size(), 10u);
  ExpectTidy(plan);
  for (unsigned level = 0; level < 10; ++level) {
    const TRect box = CellOf(plan, level).Box;
    SCOPED_TRACE(level);
    EXPECT_EQ(box.Right - box.Left, static_cast<int>(images[level].Width));
    EXPECT_EQ(box.Bottom - box.Top, static_cast<int>(images[level].Height));
    EXPECT_EQ(box.Top, 8);
    if (level > 0) { EXPECT_GT(box.Left, CellOf(plan, level - 1).Box.Right); }
    const std::string text = "level " + std::to_string(level + 1) + ": " + std::to_string(images[level].Width) + " x " +
                             std::to_string(images[level].Height);
    const TSheetLabel* label = LabelOf(plan, text);
    ASSERT_NE(label, nullptr) << text;
    EXPECT_EQ(label->Box.Left, box.Left);
    EXPECT_GT(label->Box.Top, box.Bottom - 1);
  }
  EXPECT_EQ(CellOf(plan, 0).Box.Left, 8);
  EXPECT_EQ(plan.Labels.size(), 10u);  // no heading for a single strip
}

TEST(ImageSheet, CubeFacesMakeAHorizontalCrossWithTheirNames) {
  // Faces that hold their names meet edge to edge, named inside; tiny ones stand apart.
  struct Case {
    std::uint32_t side;
    bool touching;
  };
  for (const Case& c : {Case{64, true}, Case{4, false}}) {
    SCOPED_TRACE(c.side);
    std::vector<TSheetImage> images;
    for (int face = 0; face < 6; ++face) images.push_back(Surface(static_cast<unsigned>(face), c.side, c.side, 0, face, 0));
    const TSheetPlan plan = PlanImageSheet(images, 6);
    ExpectTidy(plan);
    const char* names[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
    const int column[6] = {2, 0, 1, 1, 1, 3}, row[6] = {1, 1, 0, 2, 1, 1};
    const TRect origin = CellOf(plan, 1).Box;  // -X: the cross's left column, middle row
    const int pitchX = CellOf(plan, 4).Box.Left - origin.Left, pitchY = CellOf(plan, 4).Box.Top - CellOf(plan, 2).Box.Top;
    if (c.touching) {
      EXPECT_EQ(pitchX, 64);
      EXPECT_EQ(pitchY, 64);
      EXPECT_EQ(origin.Left, 8);
      EXPECT_EQ(plan.Width, 8u + 4 * 64 + 8);
      EXPECT_EQ(plan.Height, 8u + 3 * 64 + 8);
    } else {
      EXPECT_GT(pitchX, 4);
      EXPECT_GT(pitchY, 4);
    }
    for (unsigned face = 0; face < 6; ++face) {
      const TRect box = CellOf(plan, face).Box;
      EXPECT_EQ(box.Left - origin.Left, column[face] * pitchX) << names[face];
      EXPECT_EQ(box.Top - CellOf(plan, 2).Box.Top, row[face] * pitchY) << names[face];
      const TSheetLabel* label = LabelOf(plan, names[face]);
      ASSERT_NE(label, nullptr) << names[face];
      if (c.touching) EXPECT_TRUE(Overlap(label->Box, box)) << names[face];
      else EXPECT_GE(label->Box.Top, box.Bottom) << names[face];
    }
  }
}

TEST(ImageSheet, SevenPagesMakeAGridOfThreeColumnsWithTheirNumbers) {
  std::vector<TSheetImage> images;
  for (unsigned i = 0; i < 7; ++i) images.push_back(Numbered(TImagePlace::ipPage, i, 40 + 10 * i, 30));
  const TSheetPlan plan = PlanImageSheet(images, 7);
  ExpectTidy(plan);
  ASSERT_EQ(plan.Cells.size(), 7u);
  for (unsigned i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    const TRect box = CellOf(plan, i).Box;
    EXPECT_EQ(box.Left, CellOf(plan, i % 3).Box.Left);   // columns line up
    EXPECT_EQ(box.Top, CellOf(plan, i / 3 * 3).Box.Top);  // rows line up
    if (i % 3) { EXPECT_GT(box.Left, CellOf(plan, i - 1).Box.Right); }
    if (i >= 3) { EXPECT_GT(box.Top, CellOf(plan, i - 3).Box.Bottom); }
    EXPECT_EQ(box.Right - box.Left, static_cast<int>(40 + 10 * i));
    const TSheetLabel* label = LabelOf(plan, "page " + std::to_string(i + 1));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Box.Left, box.Left);
    EXPECT_GE(label->Box.Top, box.Bottom);
  }
  EXPECT_LT(CellOf(plan, 6).Box.Top, static_cast<int>(plan.Height));
}

TEST(ImageSheet, LabelsOfGridsSayWhatEachImageIs) {
  struct Case {
    std::vector<TSheetImage> images;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {{Surface(0, 8, 8, 0, -1, 0), Surface(1, 8, 8, 1, -1, 0), Surface(2, 8, 8, 2, -1, 0)},
       {"layer 1", "layer 2", "layer 3"}},
      {{Surface(0, 4, 4, 0, -1, 0, 0), Surface(1, 4, 4, 0, -1, 0, 1)}, {"slice 1", "slice 2"}},
      {{Numbered(TImagePlace::ipFrame, 0, 5, 5), Numbered(TImagePlace::ipFrame, 1, 5, 5)}, {"frame 1", "frame 2"}},
      {{Numbered(TImagePlace::ipEntry, 0, 32, 32), Numbered(TImagePlace::ipEntry, 1, 16, 16)},
       {"entry 1: 32 x 32", "entry 2: 16 x 16"}},
      {{Numbered(TImagePlace::ipOther, 0, 5, 5), Numbered(TImagePlace::ipOther, 1, 5, 5)}, {"image 1", "image 2"}},
      // Mixed kinds are laid out as a grid, each named for itself.
      {{Surface(0, 4, 4, 0, -1, 1), Numbered(TImagePlace::ipPage, 1, 4, 4)}, {"image 1", "page 2"}},
  };
  for (const Case& c : cases) {
    const TSheetPlan plan = PlanImageSheet(c.images, static_cast<unsigned>(c.images.size()));
    ExpectTidy(plan);
    std::vector<std::string> texts;
    for (const TSheetLabel& l : plan.Labels) texts.push_back(l.Text);
    EXPECT_EQ(texts, c.labels);
  }
}

TEST(ImageSheet, MipsOfACubeMapMakeOneStripAFace) {
  std::vector<TSheetImage> images;
  for (int face = 0; face < 6; ++face)
    for (unsigned level = 0; level < 3; ++level)
      images.push_back(Surface(static_cast<unsigned>(face * 3) + level, 16 >> level, 16 >> level, 0, face, level));
  const TSheetPlan plan = PlanImageSheet(images, 18);
  ExpectTidy(plan);
  const char* names[6] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
  for (unsigned face = 0; face < 6; ++face) {
    SCOPED_TRACE(face);
    const TSheetLabel* heading = LabelOf(plan, std::string("face ") + names[face]);
    ASSERT_NE(heading, nullptr);
    const TRect first = CellOf(plan, face * 3).Box;
    EXPECT_GE(first.Top, heading->Box.Bottom);
    for (unsigned level = 1; level < 3; ++level) {
      EXPECT_EQ(CellOf(plan, face * 3 + level).Box.Top, first.Top);
      EXPECT_GT(CellOf(plan, face * 3 + level).Box.Left, CellOf(plan, face * 3 + level - 1).Box.Right);
    }
    if (face) { EXPECT_GT(heading->Box.Top, CellOf(plan, face * 3 - 3).Box.Bottom); }
  }
}

TEST(ImageSheet, AVolumeWithLevelsPutsEachLevelsSlicesInARow) {
  std::vector<TSheetImage> images;
  unsigned index = 0;
  for (unsigned level = 0; level < 3; ++level)
    for (unsigned slice = 0; slice < (4u >> level); ++slice)
      images.push_back(Surface(index++, 4 >> level, 4 >> level, 0, -1, level, slice));
  const TSheetPlan plan = PlanImageSheet(images, index);
  ExpectTidy(plan);
  ASSERT_NE(LabelOf(plan, "level 1 (4 x 4)"), nullptr);
  ASSERT_NE(LabelOf(plan, "level 3 (1 x 1)"), nullptr);
  // Level 2's two slices share a row below level 1's four.
  EXPECT_EQ(CellOf(plan, 4).Box.Top, CellOf(plan, 5).Box.Top);
  EXPECT_GT(CellOf(plan, 4).Box.Top, CellOf(plan, 3).Box.Bottom);
  EXPECT_EQ(CellOf(plan, 4).Box.Left, CellOf(plan, 0).Box.Left);
}

TEST(ImageSheet, ManyImagesAreCappedAndTheHeadingSaysSo) {
  std::vector<TSheetImage> images;
  for (unsigned i = 0; i < kMaxSheetImages + 40; ++i) images.push_back(Numbered(TImagePlace::ipFrame, i, 2, 2));
  const TSheetPlan plan = PlanImageSheet(images, 5000);
  EXPECT_EQ(plan.Cells.size(), kMaxSheetImages);
  EXPECT_NE(LabelOf(plan, "the first " + std::to_string(kMaxSheetImages) + " of 5000 images"), nullptr);
  EXPECT_EQ(LabelOf(plan, "frame " + std::to_string(kMaxSheetImages + 1)), nullptr);
}

TEST(ImageSheet, ACubeMapsCrossIsLeftOutAsTheFacesAreThere) {
  std::vector<TSheetImage> images;
  for (int face = 0; face < 6; ++face) images.push_back(Surface(static_cast<unsigned>(face), 8, 8, 0, face, 0));
  images.push_back(Numbered(TImagePlace::ipComposite, 6, 32, 24));
  const TSheetPlan plan = PlanImageSheet(images, 6);
  EXPECT_EQ(plan.Cells.size(), 6u);
  EXPECT_EQ(LabelOf(plan, "the first 6 of 6 images"), nullptr);
}

TEST(ImageSheet, ASheetPastTheSizeLimitsIsRefused) {
  const std::vector<TSheetImage> images = {Numbered(TImagePlace::ipPage, 0, kMaxImageSide, 16),
                                           Numbered(TImagePlace::ipPage, 1, kMaxImageSide, 16)};
  EXPECT_THROW(PlanImageSheet(images, 2), EInvalidGraphic);
  try {
    PlanImageSheet(images, 2);
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(std::string(e.what()).find("more than one picture may hold"), std::string::npos);
  }
  EXPECT_EQ(PlanImageSheet({}, 0).Cells.size(), 0u);
}

// The readers say what each image is, which the sheet lays out by.
TEST(ImageSheet, ReadersPlaceEachImageInItsFile) {
  struct Case {
    const char* file;
    unsigned index;
    TImagePlace::TKind kind;
    std::uint32_t layer, level, slice;
    int face;
  };
  const Case cases[] = {
      {"dds/cube.dds", 0, TImagePlace::ipSurface, 0, 0, 0, 0},  // six faces of two levels, face by face
      {"dds/cube.dds", 3, TImagePlace::ipSurface, 0, 1, 0, 1},
      {"dds/cube.dds", 11, TImagePlace::ipSurface, 0, 1, 0, 5},
      {"dds/cube.dds", 12, TImagePlace::ipComposite, 0, 0, 0, -1},
      {"ktx/cube_bgra.ktx", 4, TImagePlace::ipSurface, 0, 0, 0, 2},
      {"dds/array_bc1.dds", 2, TImagePlace::ipSurface, 2, 0, 0, -1},
      {"dds/volume_l8.dds", 5, TImagePlace::ipSurface, 0, 1, 1, -1},  // slices 4, 2, 1 by level
      {"tiff/two_pages.tif", 1, TImagePlace::ipPage, 0, 0, 0, -1},
      {"gif/pillow_256.gif", 0, TImagePlace::ipFrame, 0, 0, 0, -1},
      {"ico/and_mask_4bit.ico", 0, TImagePlace::ipEntry, 0, 0, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.index));
    TPicture picture;
    picture.LoadFromFile(test::Fixture(c.file), c.index);
    const TImagePlace& place = picture.Graphic()->ImagePlace();
    EXPECT_EQ(place.Kind, c.kind);
    EXPECT_EQ(place.Layer, c.layer);
    EXPECT_EQ(place.Level, c.level);
    EXPECT_EQ(place.Slice, c.slice);
    EXPECT_EQ(int{place.Face}, c.face);
  }
}

}  // namespace
}  // namespace vumo
