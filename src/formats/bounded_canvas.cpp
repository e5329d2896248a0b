#include "formats/bounded_canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vumo {
namespace {

constexpr double kPixelsPerUnit = 1024;

struct TFigure {
  std::vector<TCanvasPoint> points;
  bool closed = false;
};

TCanvasArea Bounds(const std::vector<TCanvasPoint>& points) {
  TCanvasArea box{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const TCanvasPoint& p : points) {
    box.left = std::min(box.left, p.x), box.right = std::max(box.right, p.x);
    box.top = std::min(box.top, p.y), box.bottom = std::max(box.bottom, p.y);
  }
  return box;
}

bool Inside(const TCanvasArea& box, const TCanvasArea& window) {
  return box.left >= window.left && box.right <= window.right && box.top >= window.top && box.bottom <= window.bottom;
}

double CoveredPixels(const TCanvasArea& box, const TCanvasArea& visible, double reach) {
  const double w = std::min(box.right + reach, visible.right) - std::max(box.left - reach, visible.left);
  const double h = std::min(box.bottom + reach, visible.bottom) - std::max(box.top - reach, visible.top);
  return w > 0 && h > 0 ? w * h : 0;
}

TCanvasArea Inflated(const TCanvasArea& a, double by) {
  return {a.left - by, a.top - by, a.right + by, a.bottom + by};
}

// Every subpath as a polyline; curves become line steps, enough that no step is long.
std::vector<TFigure> Flatten(const TCanvasPath& path) {
  std::vector<TFigure> figures;
  std::size_t p = 0;
  auto current = [&]() -> TFigure& {
    if (figures.empty() || figures.back().closed) {
      figures.push_back({});
      // A step after a close starts where the closed figure began.
      if (figures.size() > 1 && !figures[figures.size() - 2].points.empty())
        figures.back().points.push_back(figures[figures.size() - 2].points.front());
    }
    return figures.back();
  };
  for (const TCanvasPath::TVerb verb : path.verbs) {
    switch (verb) {
      case TCanvasPath::pvMoveTo:
        if (p >= path.points.size()) return figures;
        figures.push_back({{path.points[p]}, false});
        p += 1;
        break;
      case TCanvasPath::pvLineTo:
        if (p >= path.points.size()) return figures;
        current().points.push_back(path.points[p]);
        p += 1;
        break;
      case TCanvasPath::pvCubicTo: {
        if (p + 3 > path.points.size()) return figures;
        TFigure& f = current();
        const TCanvasPoint p0 = f.points.empty() ? path.points[p] : f.points.back();
        const TCanvasPoint c1 = path.points[p], c2 = path.points[p + 1], p3 = path.points[p + 2];
        const double length = std::hypot(c1.x - p0.x, c1.y - p0.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
                              std::hypot(p3.x - c2.x, p3.y - c2.y);
        const int steps = std::isfinite(length) ? std::clamp(static_cast<int>(length / 8), 2, 64) : 2;
        for (int i = 1; i <= steps; ++i) {
          const double t = static_cast<double>(i) / steps, u = 1 - t;
          const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
          f.points.push_back({a * p0.x + b * c1.x + c * c2.x + d * p3.x, a * p0.y + b * c1.y + c * c2.y + d * p3.y});
        }
        p += 3;
        break;
      }
      case TCanvasPath::pvClose:
        if (!figures.empty()) figures.back().closed = true;
        break;
    }
  }
  return figures;
}

// One edge of the window: keeps the side where `inside` holds.
template <typename Inside, typename Cross>
std::vector<TCanvasPoint> ClipPolygonEdge(const std::vector<TCanvasPoint>& in, Inside inside, Cross cross) {
  std::vector<TCanvasPoint> out;
  if (in.empty()) return out;
  out.reserve(in.size() + 4);
  TCanvasPoint previous = in.back();
  bool previousInside = inside(previous);
  for (const TCanvasPoint& point : in) {
    const bool pointInside = inside(point);
    if (pointInside != previousInside) out.push_back(cross(previous, point));
    if (pointInside) out.push_back(point);
    previous = point;
    previousInside = pointInside;
  }
  return out;
}

std::vector<TCanvasPoint> ClipPolygon(std::vector<TCanvasPoint> polygon, const TCanvasArea& w) {
  auto atX = [](double x) {
    return [x](TCanvasPoint a, TCanvasPoint b) {
      const double t = (x - a.x) / (b.x - a.x);
      return TCanvasPoint{x, a.y + t * (b.y - a.y)};
    };
  };
  auto atY = [](double y) {
    return [y](TCanvasPoint a, TCanvasPoint b) {
      const double t = (y - a.y) / (b.y - a.y);
      return TCanvasPoint{a.x + t * (b.x - a.x), y};
    };
  };
  polygon = ClipPolygonEdge(polygon, [&](TCanvasPoint p) { return p.x >= w.left; }, atX(w.left));
  polygon = ClipPolygonEdge(polygon, [&](TCanvasPoint p) { return p.x <= w.right; }, atX(w.right));
  polygon = ClipPolygonEdge(polygon, [&](TCanvasPoint p) { return p.y >= w.top; }, atY(w.top));
  polygon = ClipPolygonEdge(polygon, [&](TCanvasPoint p) { return p.y <= w.bottom; }, atY(w.bottom));
  return polygon;
}

// The part of the segment a-b inside the window (Liang and Barsky), or false.
bool ClipSegment(TCanvasPoint& a, TCanvasPoint& b, const TCanvasArea& w) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - w.left, w.right - a.x, a.y - w.top, w.bottom - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
  }
  if (!(t0 <= t1)) return false;
  const TCanvasPoint start{a.x + t0 * dx, a.y + t0 * dy}, end{a.x + t1 * dx, a.y + t1 * dy};
  a = start;
  b = end;
  return true;
}

std::size_t PointCount(const TCanvasPath& path) { return path.points.size(); }

double StrokeLength(const TCanvasPath& path) {
  double length = 0;
  for (std::size_t i = 1; i < path.points.size(); ++i)
    length += std::hypot(path.points[i].x - path.points[i - 1].x, path.points[i].y - path.points[i - 1].y);
  return std::isfinite(length) ? length : INFINITY;
}

}  // namespace

TCanvasPath ClipFillPath(const TCanvasPath& path, const TCanvasArea& window) {
  TCanvasPath out;
  for (TFigure& figure : Flatten(path)) {
    const std::vector<TCanvasPoint> clipped = ClipPolygon(std::move(figure.points), window);
    if (clipped.size() < 3) continue;
    out.MoveTo(clipped[0]);
    for (std::size_t i = 1; i < clipped.size(); ++i) out.LineTo(clipped[i]);
    out.Close();
  }
  return out;
}

TCanvasPath ClipStrokePath(const TCanvasPath& path, const TCanvasArea& window) {
  TCanvasPath out;
  for (const TFigure& figure : Flatten(path)) {
    const std::vector<TCanvasPoint>& pts = figure.points;
    if (pts.size() == 1) {
      // A lone point draws its caps only.
      if (pts[0].x >= window.left && pts[0].x <= window.right && pts[0].y >= window.top && pts[0].y <= window.bottom)
        out.MoveTo(pts[0]);
      continue;
    }
    const std::size_t segments = pts.size() - 1 + (figure.closed ? 1 : 0);
    TCanvasPath part;
    bool whole = true, open = false;
    for (std::size_t i = 0; i < segments; ++i) {
      TCanvasPoint a = pts[i], b = pts[(i + 1) % pts.size()];
      const TCanvasPoint originalA = a, originalB = b;
      if (!ClipSegment(a, b, window)) {
        whole = false;
        open = false;
        continue;
      }
      const bool cutStart = a.x != originalA.x || a.y != originalA.y;
      if (cutStart || b.x != originalB.x || b.y != originalB.y) whole = false;
      if (!open || cutStart) part.MoveTo(a);
      part.LineTo(b);
      open = b.x == originalB.x && b.y == originalB.y;
    }
    if (whole && figure.closed) {
      // Untouched: kept closed, so its first corner keeps its join.
      out.MoveTo(pts[0]);
      for (std::size_t i = 1; i < pts.size(); ++i) out.LineTo(pts[i]);
      out.Close();
    } else {
      out.Append(part);
    }
  }
  return out;
}

TBoundedCanvas::TBoundedCanvas(TMetafileCanvas& inner, const TCanvasArea& visible, std::uint64_t budget)
    : inner_(inner), visible_(visible), budget_(budget) {}

bool TBoundedCanvas::Spend(std::uint64_t cost) {
  if (stopped_) return false;
  if (cost > budget_ - spent_) {
    stopped_ = true;
    return false;
  }
  spent_ += cost;
  return true;
}

void TBoundedCanvas::SetAntialiasing(bool on) {
  if (on == antialiased_) return;
  antialiased_ = on;
  inner_.SetAntialiasing(on);
}

void TBoundedCanvas::DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush,
                              TFillRule rule) {
  if (stopped_ || path.Empty()) return;
  const TCanvasArea box = Bounds(path.points);
  // How far a stroke reaches past its outline: half the pen, and a miter's spike.
  const double reach = pen ? pen->width / 2 * (pen->join == TCanvasPen::pjMiter ? std::max(1.0, pen->miterLimit) : 1) + 2
                           : 2;
  const double visibleSize = std::max(visible_.right - visible_.left, visible_.bottom - visible_.top);
  // Geometry out to one picture's size beyond the visible area is left as it is, so that
  // ordinary drawings that spill over their frame come out exactly as before.
  const TCanvasArea window = Inflated(visible_, std::max(visibleSize, reach));
  const bool cut = !Inside(box, window);

  auto draw = [&](const TCanvasPath& shape, const TCanvasPen* withPen, const TCanvasBrush* withBrush) {
    if (shape.Empty()) return;
    const TCanvasArea shapeBox = Bounds(shape.points);
    double cost = static_cast<double>(PointCount(shape)) + 1;
    double strokeArea = 0;
    if (withBrush) cost += CoveredPixels(shapeBox, visible_, 0) / kPixelsPerUnit;
    if (withPen) {
      strokeArea = std::min(StrokeLength(shape) * withPen->width, 1e18);
      cost += std::min(strokeArea, CoveredPixels(shapeBox, visible_, reach)) / kPixelsPerUnit;
    }
    if (!Spend(static_cast<std::uint64_t>(std::min(cost, 1e18)))) return;
    SetAntialiasing(PointCount(shape) <= kMaxAntialiasedPoints && strokeArea <= kMaxAntialiasedStrokeArea);
    inner_.DrawPath(shape, withPen, withBrush, rule);
  };
  if (!cut) {
    draw(path, pen, brush);
    return;
  }
  if (brush) draw(ClipFillPath(path, Inflated(visible_, 2)), nullptr, brush);
  if (pen) draw(ClipStrokePath(path, Inflated(visible_, reach)), pen, nullptr);
}

double TBoundedCanvas::DrawText(const TCanvasText& text) {
  if (!Spend(text.text.size() + 1)) return 0;
  SetAntialiasing(true);
  return inner_.DrawText(text);
}

void TBoundedCanvas::DrawBitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh,
                                TCanvasPoint topLeft, TCanvasPoint topRight, TCanvasPoint bottomLeft) {
  const TCanvasPoint bottomRight{topRight.x + bottomLeft.x - topLeft.x, topRight.y + bottomLeft.y - topLeft.y};
  const double covered = CoveredPixels(Bounds({topLeft, topRight, bottomLeft, bottomRight}), visible_, 0);
  const double source = static_cast<double>(bitmap.Width()) * bitmap.Height();
  if (!Spend(static_cast<std::uint64_t>(std::min((covered + source) / kPixelsPerUnit, 1e18)) + 1)) return;
  inner_.DrawBitmap(bitmap, sx, sy, sw, sh, topLeft, topRight, bottomLeft);
}

void TBoundedCanvas::SetClip(const TCanvasClip& clip) {
  std::uint64_t cost = 1;
  for (const TCanvasClip::TStep& step : clip.steps) cost += step.path.points.size() + 1;
  // Once drawing has stopped no clip matters; a clip is still set before that, whatever its cost.
  if (!Spend(cost)) return;
  inner_.SetClip(clip);
}

}  // namespace vumo
