// A drawing surface in front of another that keeps a metafile's cost in proportion to what
// can be seen: shapes are cut to the visible area before they are stroked or filled, very
// large shapes are drawn without antialiasing, and once a budget of drawing work is spent
// nothing more is drawn and the drawing says it is incomplete. Without it a file of a few
// kilobytes (one polygon of thousands of points, lines millions of pixels long, a pen
// thousands of pixels wide) keeps a painter busy for minutes.
#pragma once

#include <cstdint>

#include "formats/metafile_canvas.h"

namespace vumo {

struct TCanvasArea {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Work units: a point of an outline, a character, a clip step's point and every 1024 pixels
// a shape or bitmap covers cost one each. A busy real drawing spends a few hundred thousand.
inline constexpr std::uint64_t kMetafileDrawingBudget = 4'000'000;
// Outlines of more points than this, or strokes covering more pixels, are drawn aliased.
inline constexpr std::size_t kMaxAntialiasedPoints = 2000;
inline constexpr double kMaxAntialiasedStrokeArea = 4e6;

class TBoundedCanvas : public TMetafileCanvas {
 public:
  TBoundedCanvas(TMetafileCanvas& inner, const TCanvasArea& visible, std::uint64_t budget = kMetafileDrawingBudget);

  void DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush, TFillRule rule) override;
  double DrawText(const TCanvasText& text) override;
  void DrawBitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh, TCanvasPoint topLeft,
                  TCanvasPoint topRight, TCanvasPoint bottomLeft) override;
  void SetClip(const TCanvasClip& clip) override;
  void SetAntialiasing(bool on) override;

  // True once the budget ran out: later calls draw nothing.
  bool Incomplete() const { return stopped_; }
  std::uint64_t Spent() const { return spent_; }

 private:
  // Takes `cost` from the budget; false (and stopped) when it does not cover it.
  bool Spend(std::uint64_t cost);

  TMetafileCanvas& inner_;
  TCanvasArea visible_;
  std::uint64_t budget_;
  std::uint64_t spent_ = 0;
  bool stopped_ = false;
  bool antialiased_ = true;
};

// The outline cut to `window`: each closed figure clipped as a polygon (inside the window a
// point is covered exactly as before), curves flattened first. For fills.
TCanvasPath ClipFillPath(const TCanvasPath& path, const TCanvasArea& window);
// The outline with every segment that stays outside `window` dropped and every segment
// that crosses it cut to it. For strokes; `window` must reach past the visible area by
// the pen's reach, so that the cut ends' caps are not seen.
TCanvasPath ClipStrokePath(const TCanvasPath& path, const TCanvasArea& window);

}  // namespace vumo
