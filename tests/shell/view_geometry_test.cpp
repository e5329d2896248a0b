// The view's two maps as one round trip: to the view and back, in each mode, at several
// zooms, with odd centring and the tiled modulo.
#include "shell/view_geometry.h"

#include <gtest/gtest.h>

namespace vumo {
namespace {

TViewGeometry Make(TViewMode mode, QSize picture, QSize viewport, double zoom = 1.0, QPointF offset = {}) {
  TViewGeometry g;
  g.Mode = mode;
  g.Picture = picture;
  g.Viewport = viewport;
  g.Zoom = zoom;
  g.TileOffset = offset;
  return g;
}

TEST(ViewGeometry, EveryPixelMapsToTheViewAndBack) {
  const TViewMode modes[] = {TViewMode::Normal, TViewMode::Centered, TViewMode::Stretched, TViewMode::Tiled};
  for (TViewMode mode : modes)
    for (double zoom : {0.5, 1.0, 2.0})
      for (QSize viewport : {QSize(100, 80), QSize(37, 29)}) {
        const TViewGeometry g = Make(mode, QSize(21, 13), viewport, zoom, QPointF(5, 3));
        SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " zoom " << zoom << " viewport " << viewport.width());
        for (int y = 0; y < 13; ++y)
          for (int x = 0; x < 21; ++x) {
            // The centre of each picture pixel goes to the view and comes back to that pixel.
            const QPointF centre(x + 0.5, y + 0.5);
            const auto back = g.PixelAt(g.MapToView(centre));
            ASSERT_TRUE(back.has_value()) << x << "," << y;
            ASSERT_EQ(*back, QPoint(x, y));
          }
      }
}

TEST(ViewGeometry, RectanglesOfEachMode) {
  // Natural size at the corner, and the framework's centring that truncates toward zero.
  EXPECT_EQ(Make(TViewMode::Normal, {111, 50}, {100, 80}).DestRect(), QRect(0, 0, 111, 50));
  EXPECT_EQ(Make(TViewMode::Centered, {111, 50}, {100, 80}).DestRect(), QRect(-5, 15, 111, 50));
  EXPECT_EQ(Make(TViewMode::Centered, {89, 91}, {100, 80}).DestRect(), QRect(5, -5, 89, 91));
  EXPECT_EQ(Make(TViewMode::Stretched, {89, 91}, {100, 80}).DestRect(), QRect(0, 0, 100, 80));
  EXPECT_EQ(Make(TViewMode::Normal, {10, 6}, {100, 80}, 2.0).DestRect(), QRect(0, 0, 20, 12));
  // The scroll box scrolls the zoomed picture in normal mode, and nothing in the others.
  EXPECT_EQ(Make(TViewMode::Normal, {10, 6}, {100, 80}, 3.0).ContentSize(), QSize(30, 18));
  EXPECT_EQ(Make(TViewMode::Tiled, {10, 6}, {100, 80}, 3.0).ContentSize(), QSize(100, 80));
}

TEST(ViewGeometry, StretchScalesEachAxisOnItsOwn) {
  const TViewGeometry g = Make(TViewMode::Stretched, {10, 4}, {100, 80});
  EXPECT_EQ(g.PixelAt({99.9, 79.9}), QPoint(9, 3));
  EXPECT_EQ(g.PixelAt({9.9, 19.9}), QPoint(0, 0));
  EXPECT_EQ(g.PixelAt({10.0, 20.0}), QPoint(1, 1));
}

TEST(ViewGeometry, TilesWrapEveryPointIntoThePicture) {
  const TViewGeometry g = Make(TViewMode::Tiled, {64, 64}, {200, 150});
  EXPECT_EQ(g.PixelAt({192, 128}), QPoint(0, 0));
  EXPECT_EQ(g.PixelAt({199, 149}), QPoint(7, 21));
  // A pan by (10, -3) screen pixels at zoom 2 moves the tiling; offsets wrap into one tile.
  const TViewGeometry panned = Make(TViewMode::Tiled, {64, 64}, {200, 150}, 2.0, QPointF(10, -3));
  EXPECT_EQ(panned.WrapTileOffset(panned.TileOffset), QPointF(10, 125));
  EXPECT_EQ(panned.PixelAt({10, 125}), QPoint(0, 0));
  EXPECT_EQ(panned.PixelAt({9, 125}), QPoint(63, 0));
  EXPECT_EQ(panned.PixelAt({10, 124}), QPoint(0, 63));
  EXPECT_LE(panned.PictureRect().left(), 0);
  EXPECT_LE(panned.PictureRect().top(), 0);
  // Keeping a picture point under the cursor while the zoom changes.
  TViewGeometry zoomed = panned;
  zoomed.Zoom = 4.0;
  const QPointF cursor(77, 41);
  const QPointF under = panned.MapToPicture(cursor);
  zoomed.TileOffset = zoomed.TileOffsetKeeping(under, cursor);
  const QPointF again = zoomed.MapToPicture(cursor);
  EXPECT_NEAR(again.x(), under.x(), 1e-9);
  EXPECT_NEAR(again.y(), under.y(), 1e-9);
}

TEST(ViewGeometry, OutsideThePictureAndEmptyPicturesHaveNoPixel) {
  EXPECT_FALSE(Make(TViewMode::Normal, {10, 10}, {100, 80}).PixelAt({10, 5}).has_value());
  EXPECT_FALSE(Make(TViewMode::Centered, {10, 10}, {100, 80}).PixelAt({0, 0}).has_value());
  EXPECT_FALSE(Make(TViewMode::Tiled, {0, 0}, {100, 80}).PixelAt({5, 5}).has_value());
  EXPECT_FALSE(Make(TViewMode::Stretched, {0, 10}, {100, 80}).PixelAt({5, 5}).has_value());
}

}  // namespace
}  // namespace vumo
