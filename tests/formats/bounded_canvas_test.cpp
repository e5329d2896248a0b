// Cutting shapes to what can be seen must not change a visible pixel, and a drawing's work
// must stop at its budget, saying so.
#include "formats/bounded_canvas.h"

#include <gtest/gtest.h>

#include <random>

#include "formats/metafile.h"
#include "support/hostile_files.h"
#include "support/metafile_writer.h"

namespace vumo {
namespace {

// Whether a point is covered by the path's figures under the fill rule (closing each).
bool Covers(const TCanvasPath& path, TCanvasPoint at, TFillRule rule) {
  int winding = 0, crossings = 0;
  std::size_t p = 0, start = 0;
  auto edge = [&](TCanvasPoint a, TCanvasPoint b) {
    if ((a.y <= at.y) != (b.y <= at.y)) {
      const double x = a.x + (at.y - a.y) / (b.y - a.y) * (b.x - a.x);
      if (x > at.x) {
        ++crossings;
        winding += b.y > a.y ? 1 : -1;
      }
    }
  };
  for (std::size_t v = 0; v <= path.verbs.size(); ++v) {
    const bool move = v == path.verbs.size() || path.verbs[v] == TCanvasPath::pvMoveTo;
    if (move && p > start) edge(path.points[p - 1], path.points[start]);  // the implicit closing edge
    if (v == path.verbs.size()) break;
    if (path.verbs[v] == TCanvasPath::pvMoveTo) start = p, ++p;
    else if (path.verbs[v] == TCanvasPath::pvLineTo) edge(path.points[p - 1], path.points[p]), ++p;
  }
  return rule == frWinding ? winding != 0 : crossings % 2 == 1;
}

TEST(BoundedCanvas, ClippedFillsCoverExactlyWhatTheyCoveredInsideTheWindow) {
  std::mt19937 random(5);
  const TCanvasArea window{0, 0, 100, 80};
  for (int round = 0; round < 20; ++round) {
    // Self-intersecting figures reaching far past the window, two of them.
    TCanvasPath path;
    for (int figure = 0; figure < 2; ++figure) {
      for (int i = 0; i < 12; ++i) {
        const TCanvasPoint p{static_cast<double>(random() % 4000) - 2000, static_cast<double>(random() % 3000) - 1500};
        i == 0 ? path.MoveTo(p) : path.LineTo(p);
      }
      path.Close();
    }
    const TCanvasPath clipped = ClipFillPath(path, window);
    for (const TFillRule rule : {frAlternate, frWinding})
      for (double y = 0.5; y < 80; y += 3)
        for (double x = 0.5; x < 100; x += 3)
          ASSERT_EQ(Covers(clipped, {x, y}, rule), Covers(path, {x, y}, rule))
              << "round " << round << " rule " << rule << " at " << x << "," << y;
    for (const TCanvasPoint& p : clipped.points) {
      EXPECT_GE(p.x, window.left);
      EXPECT_LE(p.x, window.right);
      EXPECT_GE(p.y, window.top);
      EXPECT_LE(p.y, window.bottom);
    }
  }
}

TEST(BoundedCanvas, StrokesKeepTheirVisibleSegmentsCutToTheWindow) {
  const TCanvasArea window{0, 0, 100, 100};
  TCanvasPath line;
  line.MoveTo({-1e7, 50});
  line.LineTo({1e7, 50});         // crosses: cut to the window
  line.LineTo({1e7, 1e7});        // outside: dropped
  line.LineTo({50, 1e7});         // outside
  line.LineTo({50, 20});          // enters from below
  const TCanvasPath cut = ClipStrokePath(line, window);
  ASSERT_EQ(cut.verbs.size(), 4u);
  EXPECT_EQ(cut.verbs[0], TCanvasPath::pvMoveTo);
  EXPECT_DOUBLE_EQ(cut.points[0].x, 0);
  EXPECT_DOUBLE_EQ(cut.points[1].x, 100);
  EXPECT_EQ(cut.verbs[2], TCanvasPath::pvMoveTo);
  EXPECT_DOUBLE_EQ(cut.points[2].y, 100);
  EXPECT_DOUBLE_EQ(cut.points[3].y, 20);

  // A closed figure wholly inside stays one closed figure, its corners joined.
  TCanvasPath square;
  square.MoveTo({10, 10}), square.LineTo({90, 10}), square.LineTo({90, 90}), square.LineTo({10, 90}), square.Close();
  const TCanvasPath kept = ClipStrokePath(square, window);
  EXPECT_EQ(kept.verbs, square.verbs);
}

// Counts what reaches the surface behind the bounds.
struct TCountingCanvas : TMetafileCanvas {
  int paths = 0, clips = 0, aliasedPaths = 0;
  bool antialiased = true;
  std::size_t largestPath = 0;
  double farthest = 0;
  void DrawPath(const TCanvasPath& path, const TCanvasPen*, const TCanvasBrush*, TFillRule) override {
    ++paths;
    if (!antialiased) ++aliasedPaths;
    largestPath = std::max(largestPath, path.points.size());
    for (const TCanvasPoint& p : path.points) farthest = std::max({farthest, std::fabs(p.x), std::fabs(p.y)});
  }
  double DrawText(const TCanvasText&) override { return 0; }
  void DrawBitmap(const TBitmap&, double, double, double, double, TCanvasPoint, TCanvasPoint, TCanvasPoint) override {}
  void SetClip(const TCanvasClip&) override { ++clips; }
  void SetAntialiasing(bool on) override { antialiased = on; }
};

TMetafile Load(const std::vector<std::uint8_t>& bytes) {
  TMetafile metafile;
  TMemoryStream stream(bytes.data(), bytes.size());
  metafile.LoadFromStream(stream);
  return metafile;
}

TEST(BoundedCanvas, HostileDrawingsStayNearTheFrameAndLargeOutlinesLoseTheirSmoothing) {
  for (const test::THostileMetafile& file : test::HostileMetafiles()) {
    const TMetafile metafile = Load(file.bytes);
    TCountingCanvas canvas;
    metafile.Play(canvas, 0, 0, 1000, 1000);
    EXPECT_GT(canvas.paths, 0) << file.name;
    // Nothing reaches the painter more than a frame and a pen's reach away.
    EXPECT_LT(canvas.farthest, 2000 + 3000 * 10) << file.name;
    if (canvas.largestPath > kMaxAntialiasedPoints) {
      EXPECT_GT(canvas.aliasedPaths, 0) << file.name;
    }
    EXPECT_TRUE(canvas.antialiased) << file.name << ": smoothing is back on at the end";
  }
  // The lines millions of pixels long arrive cut to the frame's neighbourhood.
  const TMetafile lines = Load(test::HostileMetafiles()[2].bytes);
  TCountingCanvas canvas;
  lines.Play(canvas, 0, 0, 1000, 1000);
  EXPECT_LT(canvas.farthest, 1100);
}

TEST(BoundedCanvas, DrawingStopsAtItsBudgetAndSaysSo) {
  test::TEmfWriter emf(100, 100);
  emf.Brush(1, 0, 0x0000FF).Select(1);
  for (int i = 0; i < 500; ++i) emf.Record(43, {i % 50, i % 50, 100, 100});  // rectangles
  const TMetafile metafile = Load(emf.Bytes());
  TCountingCanvas whole;
  EXPECT_TRUE(metafile.Play(whole, 0, 0, 100, 100));
  EXPECT_EQ(whole.paths, 500);

  // Behind a tiny budget the same records stop early and later calls draw nothing.
  TCountingCanvas inner;
  TBoundedCanvas bounded(inner, {0, 0, 100, 100}, 100);
  TCanvasPath square;
  square.MoveTo({0, 0}), square.LineTo({10, 0}), square.LineTo({10, 10}), square.Close();
  const TCanvasBrush brush;
  for (int i = 0; i < 100; ++i) bounded.DrawPath(square, nullptr, &brush, frAlternate);
  EXPECT_TRUE(bounded.Incomplete());
  EXPECT_LT(inner.paths, 100);
  EXPECT_GT(inner.paths, 5);
  EXPECT_LE(bounded.Spent(), 100u);
  const int drawn = inner.paths;
  bounded.SetClip({});
  bounded.DrawPath(square, nullptr, &brush, frAlternate);
  EXPECT_EQ(inner.paths, drawn);
  EXPECT_EQ(inner.clips, 0);

  // A real play that runs out says the drawing is incomplete.
  const TMetafile heavy = Load(test::HostileMetafiles()[3].bytes);  // 12,000 full-frame fills
  TCountingCanvas counted;
  EXPECT_FALSE(heavy.Play(counted, 0, 0, 1000, 1000));
  EXPECT_LT(counted.paths, 12000);
  // Seen through a small window the same fills cost little enough to finish.
  TCountingCanvas small;
  const TCanvasArea corner{0, 0, 100, 100};
  EXPECT_TRUE(heavy.Play(small, 0, 0, 1000, 1000, &corner));
  EXPECT_EQ(small.paths, 2 * 12000);  // each rectangle cut, then filled and stroked apart
}

}  // namespace
}  // namespace vumo
