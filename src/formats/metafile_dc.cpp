#include "formats/metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vumo::metafile {
namespace {

// Bounds on what a file can make the state hold: deeper saves and further clip steps are
// refused, as the platform refuses what it has no room for.
constexpr std::size_t kMaxSavedStates = 256;
constexpr std::size_t kMaxClipSteps = 64;
// Clip steps handed to the surface over one play. Each costs the surface a path operation,
// so a file that changes its clip without end would otherwise keep the viewer busy for
// hours; past this, further changes of the clip are ignored.
constexpr std::size_t kMaxClipWork = std::size_t{1} << 20;
// Points one path may gather; a figure past this is dropped.
constexpr std::size_t kMaxPathPoints = std::size_t{1} << 22;

// The first 32 characters of code page 1252's upper half; the rest of it is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr int kSymbolCharset = 2;

bool UsesSource(std::uint32_t rop) {
  const unsigned code = (rop >> 16) & 0xFF;
  return ((code >> 2) & 0x33) != (code & 0x33);
}

TCanvasPath RectPath(TCanvasPoint a, TCanvasPoint b, TCanvasPoint c, TCanvasPoint d) {
  TCanvasPath path;
  path.MoveTo(a);
  path.LineTo(b);
  path.LineTo(c);
  path.LineTo(d);
  path.Close();
  return path;
}

}  // namespace

TXForm Then(const TXForm& a, const TXForm& b) {
  TXForm r;
  r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
  r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
  r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
  r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
  r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
  r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
  return r;
}

TMetafileDC::TMetafileDC(TMetafileCanvas& canvas, const TDeviceSetup& setup)
    : canvas_(canvas),
      deviceToDest_(setup.deviceToDest),
      devicePerMmX_(setup.devicePerMmX),
      devicePerMmY_(setup.devicePerMmY),
      objects_(setup.objectSlots) {
  state_.mapMode = setup.mapMode;
  state_.windowOrg = setup.windowOrg;
  state_.windowExt = setup.windowExt;
  state_.viewportOrg = setup.viewportOrg;
  state_.viewportExt = setup.viewportExt;
  state_.font.height = 0;
  UpdateTransform();
}

void TMetafileDC::UpdateTransform() {
  const TState& s = state_;
  double sx = 1, sy = 1;
  auto metric = [&](double mmPerUnit) {
    sx = devicePerMmX_ * mmPerUnit;
    sy = -devicePerMmY_ * mmPerUnit;  // these modes count y upwards
  };
  switch (s.mapMode) {
    case mmLoMetric: metric(0.1); break;
    case mmHiMetric: metric(0.01); break;
    case mmLoEnglish: metric(0.254); break;
    case mmHiEnglish: metric(0.0254); break;
    case mmTwips: metric(25.4 / 1440); break;
    case mmIsotropic:
    case mmAnisotropic:
      // An extent of zero is refused by the platform; the previous mapping stays in effect there,
      // here it counts as one.
      sx = s.viewportExt.x / (s.windowExt.x != 0 ? s.windowExt.x : 1);
      sy = s.viewportExt.y / (s.windowExt.y != 0 ? s.windowExt.y : 1);
      if (s.mapMode == mmIsotropic) {
        const double m = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default: break;
  }
  if (!std::isfinite(sx) || !std::isfinite(sy)) sx = sy = 1;
  TXForm page;
  page.m11 = sx;
  page.m22 = sy;
  page.dx = s.viewportOrg.x - s.windowOrg.x * sx;
  page.dy = s.viewportOrg.y - s.windowOrg.y * sy;
  toDest_ = Then(Then(s.world, page), deviceToDest_);
}

double TMetafileDC::ScaleX() const { return std::hypot(toDest_.m11, toDest_.m12); }
double TMetafileDC::ScaleY() const { return std::hypot(toDest_.m21, toDest_.m22); }

void TMetafileDC::SetMapMode(int mode) {
  if (mode < mmText || mode > mmAnisotropic) return;
  state_.mapMode = mode;
  UpdateTransform();
}

void TMetafileDC::SetOrigin(TLogPoint& origin, double x, double y) {
  origin = {x, y};
  UpdateTransform();
}

void TMetafileDC::SetExtent(TLogPoint& extent, double x, double y) {
  if (x == 0 || y == 0) return;  // the page would scale by an infinity
  extent = {x, y};
  UpdateTransform();
}

void TMetafileDC::SetWindowOrg(double x, double y) { SetOrigin(state_.windowOrg, x, y); }
void TMetafileDC::SetWindowExt(double x, double y) { SetExtent(state_.windowExt, x, y); }
void TMetafileDC::SetViewportOrg(double x, double y) { SetOrigin(state_.viewportOrg, x, y); }
void TMetafileDC::SetViewportExt(double x, double y) { SetExtent(state_.viewportExt, x, y); }

void TMetafileDC::OffsetWindowOrg(double x, double y) { SetWindowOrg(state_.windowOrg.x + x, state_.windowOrg.y + y); }

void TMetafileDC::OffsetViewportOrg(double x, double y) {
  SetViewportOrg(state_.viewportOrg.x + x, state_.viewportOrg.y + y);
}

void TMetafileDC::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  SetWindowExt(state_.windowExt.x * xNum / xDenom, state_.windowExt.y * yNum / yDenom);
}

void TMetafileDC::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  SetViewportExt(state_.viewportExt.x * xNum / xDenom, state_.viewportExt.y * yNum / yDenom);
}

void TMetafileDC::SetWorldTransform(const TXForm& xform) {
  if (!std::isfinite(xform.Determinant()) || xform.Determinant() == 0 || !std::isfinite(xform.dx) ||
      !std::isfinite(xform.dy))
    return;
  state_.world = xform;
  UpdateTransform();
}

void TMetafileDC::ModifyWorldTransform(const TXForm& xform, unsigned mode) {
  switch (mode) {
    case 1: SetWorldTransform(TXForm{}); break;
    case 2: SetWorldTransform(Then(xform, state_.world)); break;
    case 3: SetWorldTransform(Then(state_.world, xform)); break;
    case 4: SetWorldTransform(xform); break;
    default: break;
  }
}

bool TMetafileDC::AddObject(const TGdiObject& object) {
  // Slots below firstFree_ are all taken, so a full table answers at once however many
  // objects a file tries to create.
  while (firstFree_ < objects_.size() && objects_[firstFree_]) ++firstFree_;
  if (firstFree_ == objects_.size()) return false;
  objects_[firstFree_++] = object;
  return true;
}

void TMetafileDC::SetObject(std::size_t index, const TGdiObject& object) {
  if (index < objects_.size()) objects_[index] = object;
}

void TMetafileDC::SelectObject(std::size_t index) {
  if (index >= objects_.size() || !objects_[index]) return;
  const TGdiObject& object = *objects_[index];
  switch (object.kind) {
    case TGdiObject::okPen: state_.pen = object.pen; break;
    case TGdiObject::okBrush: state_.brush = object.brush; break;
    case TGdiObject::okFont: state_.font = object.font; break;
    case TGdiObject::okOther: break;
  }
}

void TMetafileDC::SelectStockObject(unsigned index) {
  static const std::uint32_t kBrushGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  if (index <= 4) {
    state_.brush = TBrushObject{bsSolid, kBrushGreys[index], 0, nullptr};
  } else if (index == 5) {
    state_.brush = TBrushObject{bsNull, 0, 0, nullptr};
  } else if (index == 6 || index == 7) {
    state_.pen = TPenObject{psSolid, 0, index == 6 ? 0xFFFFFFu : 0u, true};
  } else if (index == 8) {
    state_.pen = TPenObject{psNull, 0, 0, true};
  } else if (index >= 10 && index <= 17 && index != 15) {
    state_.font = TFontObject{};
  } else if (index == 18) {
    state_.brush = TBrushObject{bsSolid, 0xFFFFFF, 0, nullptr};
  } else if (index == 19) {
    state_.pen = TPenObject{};
  }
}

void TMetafileDC::DeleteObject(std::size_t index) {
  if (index >= objects_.size()) return;
  objects_[index].reset();
  firstFree_ = std::min(firstFree_, index);
}

void TMetafileDC::Save() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
}

void TMetafileDC::Restore(int which) {
  std::size_t keep;
  if (which < 0) {
    const std::size_t back = static_cast<std::size_t>(-static_cast<long long>(which));
    if (back > saved_.size()) return;
    keep = saved_.size() - back;
  } else {
    if (which == 0 || static_cast<std::size_t>(which) > saved_.size()) return;
    keep = static_cast<std::size_t>(which) - 1;
  }
  const auto clipBefore = state_.clip;
  state_ = saved_[keep];
  saved_.resize(keep);
  UpdateTransform();
  if (state_.clip != clipBefore) ApplyClip();
}

std::optional<TCanvasPen> TMetafileDC::Pen() const {
  const TPenObject& p = state_.pen;
  const int style = p.style & 0x0F;
  if (style == psNull) return std::nullopt;
  TCanvasPen pen;
  pen.color = p.color & 0xFFFFFF;
  const double scale = std::sqrt(std::fabs(toDest_.Determinant()));
  pen.width = p.cosmetic ? 1 : std::max(1.0, p.width * scale);
  if (!std::isfinite(pen.width)) pen.width = 1;
  pen.dash = style <= psDashDotDot ? static_cast<TCanvasPen::TDash>(style) : TCanvasPen::pdSolid;
  const int cap = (p.style >> 8) & 0x0F, join = (p.style >> 12) & 0x0F;
  pen.cap = cap == 1 ? TCanvasPen::pcSquare : cap == 2 ? TCanvasPen::pcFlat : TCanvasPen::pcRound;
  pen.join = join == 1 ? TCanvasPen::pjBevel : join == 2 ? TCanvasPen::pjMiter : TCanvasPen::pjRound;
  pen.miterLimit = state_.miterLimit;
  return pen;
}

std::optional<TCanvasBrush> TMetafileDC::Brush() const {
  const TBrushObject& b = state_.brush;
  TCanvasBrush brush;
  brush.color = b.color & 0xFFFFFF;
  brush.opaqueBackground = state_.opaqueBackground;
  brush.backgroundColor = state_.bkColor & 0xFFFFFF;
  switch (b.style) {
    case bsSolid: return brush;
    case bsHatched:
      brush.style = TCanvasBrush::bsHatched;
      brush.hatch = static_cast<TCanvasBrush::THatch>(std::clamp(b.hatch, 0, 5));
      return brush;
    case bsPattern:
    case bsDibPattern:
    case bsDibPatternPt:
      if (!b.pattern) return std::nullopt;
      brush.style = TCanvasBrush::bsPattern;
      brush.pattern = b.pattern.get();
      return brush;
    default: return std::nullopt;
  }
}

void TMetafileDC::Emit(const TCanvasPath& shape, bool fill, bool stroke) {
  if (inPath_) {
    if (path_.points.size() + shape.points.size() > kMaxPathPoints) return;
    path_.Append(shape);
    figureOpen_ = !shape.verbs.empty() && shape.verbs.back() != TCanvasPath::pvClose;
    return;
  }
  std::optional<TCanvasPen> pen = stroke ? Pen() : std::nullopt;
  std::optional<TCanvasBrush> brush = fill ? Brush() : std::nullopt;
  if (!pen && !brush) return;
  canvas_.DrawPath(shape, pen ? &*pen : nullptr, brush ? &*brush : nullptr, state_.fillRule);
}

void TMetafileDC::EnsureFigure() {
  if (!figureOpen_) {
    path_.MoveTo(Map(state_.current));
    figureOpen_ = true;
  }
}

void TMetafileDC::MoveTo(double x, double y) {
  state_.current = {x, y};
  figureOpen_ = false;
}

void TMetafileDC::LineTo(double x, double y) {
  if (inPath_) {
    if (path_.points.size() < kMaxPathPoints) {
      EnsureFigure();
      path_.LineTo(Map(x, y));
    }
  } else {
    TCanvasPath line;
    line.MoveTo(Map(state_.current));
    line.LineTo(Map(x, y));
    Emit(line, false, true);
  }
  state_.current = {x, y};
}

void TMetafileDC::Polyline(const std::vector<TLogPoint>& points) {
  if (points.size() < 2) return;
  TCanvasPath line;
  line.MoveTo(Map(points[0]));
  for (std::size_t i = 1; i < points.size(); ++i) line.LineTo(Map(points[i]));
  Emit(line, false, true);
}

void TMetafileDC::PolylineTo(const std::vector<TLogPoint>& points) {
  if (points.empty()) return;
  if (inPath_) {
    if (path_.points.size() + points.size() > kMaxPathPoints) return;
    EnsureFigure();
    for (const TLogPoint& p : points) path_.LineTo(Map(p));
  } else {
    TCanvasPath line;
    line.MoveTo(Map(state_.current));
    for (const TLogPoint& p : points) line.LineTo(Map(p));
    Emit(line, false, true);
  }
  state_.current = points.back();
}

void TMetafileDC::PolyBezier(const std::vector<TLogPoint>& points) {
  if (points.size() < 4) return;
  TCanvasPath curve;
  curve.MoveTo(Map(points[0]));
  for (std::size_t i = 1; i + 2 < points.size(); i += 3)
    curve.CubicTo(Map(points[i]), Map(points[i + 1]), Map(points[i + 2]));
  Emit(curve, false, true);
}

void TMetafileDC::PolyBezierTo(const std::vector<TLogPoint>& points) {
  const std::size_t whole = points.size() / 3 * 3;
  if (whole == 0) return;
  if (inPath_) {
    if (path_.points.size() + whole > kMaxPathPoints) return;
    EnsureFigure();
    for (std::size_t i = 0; i < whole; i += 3) path_.CubicTo(Map(points[i]), Map(points[i + 1]), Map(points[i + 2]));
  } else {
    TCanvasPath curve;
    curve.MoveTo(Map(state_.current));
    for (std::size_t i = 0; i < whole; i += 3) curve.CubicTo(Map(points[i]), Map(points[i + 1]), Map(points[i + 2]));
    Emit(curve, false, true);
  }
  state_.current = points[whole - 1];
}

void TMetafileDC::PolyPolygon(const std::vector<std::vector<TLogPoint>>& polygons) {
  TCanvasPath shape;
  for (const auto& polygon : polygons) {
    if (polygon.size() < 2) continue;
    shape.MoveTo(Map(polygon[0]));
    for (std::size_t i = 1; i < polygon.size(); ++i) shape.LineTo(Map(polygon[i]));
    shape.Close();
  }
  if (!shape.Empty()) Emit(shape, true, true);
}

void TMetafileDC::PolyPolyline(const std::vector<std::vector<TLogPoint>>& lines) {
  for (const auto& line : lines) Polyline(line);
}

void TMetafileDC::Rectangle(double left, double top, double right, double bottom) {
  Emit(RectPath(Map(left, top), Map(right, top), Map(right, bottom), Map(left, bottom)), true, true);
}

void TMetafileDC::AppendArc(TCanvasPath& path, double cx, double cy, double rx, double ry, double a0, double sweep,
                            bool startWithMove) const {
  // On a y-down page, counter-clockwise means y decreasing as the angle grows.
  auto at = [&](double a) { return Map(cx + rx * std::cos(a), cy - ry * std::sin(a)); };
  auto tangent = [&](double a) { return TLogPoint{-rx * std::sin(a), -ry * std::cos(a)}; };
  if (startWithMove)
    path.MoveTo(at(a0));
  else
    path.LineTo(at(a0));
  const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)));
  const double step = sweep / segments;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  for (int i = 0; i < segments; ++i) {
    const double s = a0 + step * i, e = s + step;
    const TLogPoint ts = tangent(s), te = tangent(e);
    const double sx = cx + rx * std::cos(s), sy = cy - ry * std::sin(s);
    const double ex = cx + rx * std::cos(e), ey = cy - ry * std::sin(e);
    path.CubicTo(Map(sx + k * ts.x, sy + k * ts.y), Map(ex - k * te.x, ey - k * te.y), Map(ex, ey));
  }
}

void TMetafileDC::Ellipse(double left, double top, double right, double bottom) {
  TCanvasPath shape;
  AppendArc(shape, (left + right) / 2, (top + bottom) / 2, std::fabs(right - left) / 2, std::fabs(bottom - top) / 2,
            0, 2 * std::numbers::pi, true);
  shape.Close();
  Emit(shape, true, true);
}

void TMetafileDC::RoundRect(double left, double top, double right, double bottom, double width, double height) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const double rx = std::min(std::fabs(width) / 2, (right - left) / 2);
  const double ry = std::min(std::fabs(height) / 2, (bottom - top) / 2);
  const double pi = std::numbers::pi;
  TCanvasPath shape;
  AppendArc(shape, right - rx, top + ry, rx, ry, 0, pi / 2, true);
  AppendArc(shape, left + rx, top + ry, rx, ry, pi / 2, pi / 2, false);
  AppendArc(shape, left + rx, bottom - ry, rx, ry, pi, pi / 2, false);
  AppendArc(shape, right - rx, bottom - ry, rx, ry, 3 * pi / 2, pi / 2, false);
  shape.Close();
  Emit(shape, true, true);
}

void TMetafileDC::Arc(TArcKind kind, double left, double top, double right, double bottom, double xStart,
                      double yStart, double xEnd, double yEnd) {
  const double cx = (left + right) / 2, cy = (top + bottom) / 2;
  const double rx = std::fabs(right - left) / 2, ry = std::fabs(bottom - top) / 2;
  if (rx == 0 || ry == 0) return;
  const double a0 = std::atan2(-(yStart - cy) / ry, (xStart - cx) / rx);
  const double a1 = std::atan2(-(yEnd - cy) / ry, (xEnd - cx) / rx);
  const double pi2 = 2 * std::numbers::pi;
  double sweep = a1 - a0;
  if (state_.clockwise) {
    while (sweep >= 0) sweep -= pi2;
  } else {
    while (sweep <= 0) sweep += pi2;
  }
  TCanvasPath shape;
  if (kind == akPie) {
    shape.MoveTo(Map(cx, cy));
    AppendArc(shape, cx, cy, rx, ry, a0, sweep, false);
  } else if (kind == akArcTo) {
    if (inPath_) {
      EnsureFigure();
      AppendArc(path_, cx, cy, rx, ry, a0, sweep, false);
    } else {
      shape.MoveTo(Map(state_.current));
      AppendArc(shape, cx, cy, rx, ry, a0, sweep, false);
    }
    state_.current = {cx + rx * std::cos(a0 + sweep), cy - ry * std::sin(a0 + sweep)};
  } else {
    AppendArc(shape, cx, cy, rx, ry, a0, sweep, true);
  }
  if (kind == akPie || kind == akChord) shape.Close();
  if (!shape.Empty()) Emit(shape, kind == akPie || kind == akChord, true);
}

void TMetafileDC::SetPixel(double x, double y, std::uint32_t color) {
  const TCanvasPoint p = Map(x, y);
  TCanvasBrush brush;
  brush.color = color & 0xFFFFFF;
  TCanvasPath dot = RectPath({std::floor(p.x), std::floor(p.y)}, {std::floor(p.x) + 1, std::floor(p.y)},
                             {std::floor(p.x) + 1, std::floor(p.y) + 1}, {std::floor(p.x), std::floor(p.y) + 1});
  canvas_.DrawPath(dot, nullptr, &brush, frAlternate);
}

void TMetafileDC::Text(double x, double y, const std::u16string& text, unsigned options, const double* clipRect,
                       const std::vector<double>& dx) {
  const bool updateCP = state_.textAlign & taUpdateCP;
  if (updateCP) x = state_.current.x, y = state_.current.y;
  if (clipRect && (options & etoOpaque)) {
    TCanvasBrush background;
    background.color = state_.bkColor & 0xFFFFFF;
    const double* r = clipRect;
    canvas_.DrawPath(RectPath(Map(r[0], r[1]), Map(r[2], r[1]), Map(r[2], r[3]), Map(r[0], r[3])), nullptr, &background,
                     frAlternate);
  }
  if (text.empty()) return;
  const TFontObject& f = state_.font;
  TCanvasText run;
  run.text = text;
  run.origin = Map(x, y);
  const unsigned align = state_.textAlign;
  run.horizontal = (align & taCenter) == taCenter ? 1 : (align & taRight) ? 2 : 0;
  run.vertical = (align & taBaseline) == taBaseline ? 1 : (align & taBottom) ? 2 : 0;
  const double sy = ScaleY(), sx = ScaleX();
  run.font.face = f.face;
  // A height of zero asks for the face's default size: twelve points on the reference device.
  run.font.height = f.height != 0 ? std::fabs(f.height) * sy : 16;
  run.font.cellHeight = f.height > 0;
  run.font.width = std::fabs(f.width) * sx;
  run.font.weight = f.weight > 0 ? std::clamp(f.weight, 100, 900) : 400;
  run.font.italic = f.italic;
  run.font.underline = f.underline;
  run.font.strikeOut = f.strikeOut;
  run.font.angle = f.escapement / 10;
  if (!std::isfinite(run.font.height) || run.font.height > 1e5) return;
  double at = 0;
  for (std::size_t i = 0; i < dx.size() && i < text.size(); ++i) {
    run.advances.push_back(at);
    at += dx[i] * sx;
  }
  run.color = state_.textColor & 0xFFFFFF;
  run.opaque = state_.opaqueBackground;
  run.backgroundColor = state_.bkColor & 0xFFFFFF;
  const bool clipped = clipRect && (options & etoClipped);
  if (clipped) {
    const double* r = clipRect;
    TCanvasClip clip = state_.clip ? *state_.clip : TCanvasClip{};
    clip.steps.push_back({false, RectPath(Map(r[0], r[1]), Map(r[2], r[1]), Map(r[2], r[3]), Map(r[0], r[3])),
                          frAlternate});
    SetCanvasClip(clip);
  }
  const double advance = canvas_.DrawText(run);
  if (clipped) ApplyClip();
  if (updateCP && sx > 0) state_.current.x = x + advance / sx;
}

void TMetafileDC::Bitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh, double x, double y,
                         double w, double h, std::uint32_t rop) {
  if (!UsesSource(rop)) {
    PatternBlt(x, y, w, h, rop);
    return;
  }
  if (bitmap.Empty() || sw == 0 || sh == 0) return;
  canvas_.DrawBitmap(bitmap, sx, sy, sw, sh, Map(x, y), Map(x + w, y), Map(x, y + h));
}

void TMetafileDC::PatternBlt(double x, double y, double w, double h, std::uint32_t rop) {
  TCanvasPath area = RectPath(Map(x, y), Map(x + w, y), Map(x + w, y + h), Map(x, y + h));
  TCanvasBrush fill;
  switch (rop) {
    case 0x00000042: fill.color = 0; break;          // BLACKNESS
    case 0x00FF0062: fill.color = 0xFFFFFF; break;   // WHITENESS
    case 0x00F00021: {                               // PATCOPY
      std::optional<TCanvasBrush> brush = Brush();
      if (!brush) return;
      fill = *brush;
      break;
    }
    default: return;  // inverting the destination has no meaning on a transparent page
  }
  canvas_.DrawPath(area, nullptr, &fill, frAlternate);
}

void TMetafileDC::BeginPath() {
  inPath_ = true;
  figureOpen_ = false;
  path_ = TCanvasPath{};
}

void TMetafileDC::AbortPath() {
  inPath_ = false;
  figureOpen_ = false;
  path_ = TCanvasPath{};
}

void TMetafileDC::CloseFigure() {
  if (inPath_ && figureOpen_) {
    path_.Close();
    figureOpen_ = false;
  }
}

void TMetafileDC::FillPath() {
  if (inPath_) return;
  std::optional<TCanvasBrush> brush = Brush();
  if (brush && !path_.Empty()) canvas_.DrawPath(path_, nullptr, &*brush, state_.fillRule);
  path_ = TCanvasPath{};
}

void TMetafileDC::StrokePath() {
  if (inPath_) return;
  std::optional<TCanvasPen> pen = Pen();
  if (pen && !path_.Empty()) canvas_.DrawPath(path_, &*pen, nullptr, state_.fillRule);
  path_ = TCanvasPath{};
}

void TMetafileDC::StrokeAndFillPath() {
  if (inPath_) return;
  std::optional<TCanvasPen> pen = Pen();
  std::optional<TCanvasBrush> brush = Brush();
  if ((pen || brush) && !path_.Empty())
    canvas_.DrawPath(path_, pen ? &*pen : nullptr, brush ? &*brush : nullptr, state_.fillRule);
  path_ = TCanvasPath{};
}

void TMetafileDC::AddClipStep(TCanvasPath path, bool exclude, TFillRule rule) {
  auto clip = std::make_shared<TCanvasClip>(state_.clip ? *state_.clip : TCanvasClip{});
  if (clip->steps.size() >= kMaxClipSteps) return;
  clip->steps.push_back({exclude, std::move(path), rule});
  state_.clip = std::move(clip);
  ApplyClip();
}

void TMetafileDC::ApplyClip() {
  static const TCanvasClip kNone;
  SetCanvasClip(state_.clip ? *state_.clip : kNone);
}

void TMetafileDC::SetCanvasClip(const TCanvasClip& clip) {
  if (clipWork_ > kMaxClipWork) return;
  clipWork_ += clip.steps.size() + 1;
  canvas_.SetClip(clip);
}

void TMetafileDC::SelectClipPath(int mode) {
  if (inPath_) return;
  TCanvasPath path = std::move(path_);
  path_ = TCanvasPath{};
  switch (mode) {
    case rgnCopy: state_.clip = nullptr; [[fallthrough]];
    case rgnAnd: AddClipStep(std::move(path), false, state_.fillRule); break;
    case rgnDiff: AddClipStep(std::move(path), true, state_.fillRule); break;
    default: break;  // unions and exclusive-ors of clips are not kept
  }
}

void TMetafileDC::IntersectClipRect(double left, double top, double right, double bottom) {
  AddClipStep(RectPath(Map(left, top), Map(right, top), Map(right, bottom), Map(left, bottom)), false, frAlternate);
}

void TMetafileDC::ExcludeClipRect(double left, double top, double right, double bottom) {
  AddClipStep(RectPath(Map(left, top), Map(right, top), Map(right, bottom), Map(left, bottom)), true, frAlternate);
}

void TMetafileDC::SelectClipRects(const std::vector<TLogPoint>& corners, int mode) {
  TCanvasPath region;
  for (std::size_t i = 0; i + 1 < corners.size(); i += 2) {
    const TLogPoint a = corners[i], b = corners[i + 1];
    const TXForm& d = deviceToDest_;
    region.Append(RectPath(d.Apply(a.x, a.y), d.Apply(b.x, a.y), d.Apply(b.x, b.y), d.Apply(a.x, b.y)));
  }
  switch (mode) {
    case rgnCopy:
      state_.clip = nullptr;
      if (region.Empty()) {
        ApplyClip();
        break;
      }
      AddClipStep(std::move(region), false, frWinding);
      break;
    case rgnAnd: AddClipStep(std::move(region), false, frWinding); break;
    case rgnDiff: AddClipStep(std::move(region), true, frWinding); break;
    default: break;
  }
}

std::u16string TMetafileDC::Decode(const std::uint8_t* text, std::size_t count) const {
  std::u16string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t c = text[i];
    if (state_.font.charset == kSymbolCharset)
      out.push_back(static_cast<char16_t>(0xF000 | c));  // where symbol fonts keep their glyphs
    else
      out.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : static_cast<char16_t>(c));
  }
  return out;
}

}  // namespace vumo::metafile
