// The drawing state a metafile's records change, shared by the WMF and EMF players: the
// mapping from logical units to the destination, the object table, the selected pen, brush
// and font, text settings, the path under construction, the clip, and saved states.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/metafile_canvas.h"

namespace vumo::metafile {

// A record's parameters ended before a field it needs: the record is skipped.
struct EShortRecord {};

// An affine map: x' = x m11 + y m21 + dx, y' = x m12 + y m22 + dy.
struct TXForm {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  TCanvasPoint Apply(double x, double y) const { return {x * m11 + y * m21 + dx, x * m12 + y * m22 + dy}; }
  double Determinant() const { return m11 * m22 - m12 * m21; }
};
// `first` applied, then `second`.
TXForm Then(const TXForm& first, const TXForm& second);

struct TLogPoint {
  double x = 0, y = 0;
};

// Pen, brush and font styles as both formats number them.
enum : int { psSolid = 0, psDash, psDot, psDashDot, psDashDotDot, psNull, psInsideFrame };
enum : int { bsSolid = 0, bsNull = 1, bsHatched = 2, bsPattern = 3, bsDibPattern = 5, bsDibPatternPt = 6 };
enum : unsigned { taUpdateCP = 1, taRight = 2, taCenter = 6, taBottom = 8, taBaseline = 24 };
enum : unsigned { etoOpaque = 2, etoClipped = 4 };
enum : int { mmText = 1, mmLoMetric, mmHiMetric, mmLoEnglish, mmHiEnglish, mmTwips, mmIsotropic, mmAnisotropic };
enum : int { rgnAnd = 1, rgnOr = 2, rgnXor = 3, rgnDiff = 4, rgnCopy = 5 };

struct TPenObject {
  int style = psSolid;  // with the end-cap and join bits
  double width = 0;     // logical units; 0 is one pixel
  std::uint32_t color = 0;
  bool cosmetic = true;  // one pixel wide whatever the mapping
};

struct TBrushObject {
  int style = bsSolid;
  std::uint32_t color = 0xFFFFFF;
  int hatch = 0;
  std::shared_ptr<const TBitmap> pattern;
};

struct TFontObject {
  double height = 0;  // logical units; negative for the character height, positive for the cell
  double width = 0;
  double escapement = 0;  // tenths of a degree
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  int charset = 0;
  std::string face;  // UTF-8
};

struct TGdiObject {
  enum TKind { okPen, okBrush, okFont, okOther } kind = okOther;
  TPenObject pen;
  TBrushObject brush;
  TFontObject font;
};

// How the reference device of the file lands on the destination.
struct TDeviceSetup {
  TXForm deviceToDest;
  double devicePerMmX = 96 / 25.4, devicePerMmY = 96 / 25.4;
  int mapMode = mmText;
  TLogPoint windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
  std::size_t objectSlots = 0;
};

class TMetafileDC {
 public:
  TMetafileDC(TMetafileCanvas& canvas, const TDeviceSetup& setup);

  // Mapping.
  void SetMapMode(int mode);
  void SetWindowOrg(double x, double y);
  void SetWindowExt(double x, double y);
  void SetViewportOrg(double x, double y);
  void SetViewportExt(double x, double y);
  void OffsetWindowOrg(double x, double y);
  void OffsetViewportOrg(double x, double y);
  void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
  void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
  void SetWorldTransform(const TXForm& xform);
  // 1 identity, 2 left-multiply, 3 right-multiply, 4 set.
  void ModifyWorldTransform(const TXForm& xform, unsigned mode);

  // Objects. Out-of-range or empty indices are ignored, as the platform ignores them.
  // Puts the object in the lowest free slot (the WMF rule); false when every slot is taken.
  bool AddObject(const TGdiObject& object);
  // Puts the object at `index` (the EMF rule).
  void SetObject(std::size_t index, const TGdiObject& object);
  void SelectObject(std::size_t index);
  void SelectStockObject(unsigned index);
  void DeleteObject(std::size_t index);

  // Attributes.
  void SetTextColor(std::uint32_t color) { state_.textColor = color; }
  void SetBkColor(std::uint32_t color) { state_.bkColor = color; }
  void SetBkMode(int mode) { state_.opaqueBackground = mode == 2; }
  void SetTextAlign(unsigned align) { state_.textAlign = align; }
  void SetPolyFillMode(int mode) { state_.fillRule = mode == 2 ? frWinding : frAlternate; }
  void SetMiterLimit(double limit) { state_.miterLimit = limit; }
  void SetArcDirection(int direction) { state_.clockwise = direction == 2; }

  void Save();
  // Negative: that many levels back; positive: the state saved at that depth.
  void Restore(int which);

  // Drawing, in logical units.
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void Polyline(const std::vector<TLogPoint>& points);
  void PolylineTo(const std::vector<TLogPoint>& points);
  void PolyBezier(const std::vector<TLogPoint>& points);
  void PolyBezierTo(const std::vector<TLogPoint>& points);
  void PolyPolygon(const std::vector<std::vector<TLogPoint>>& polygons);
  void PolyPolyline(const std::vector<std::vector<TLogPoint>>& lines);
  void Rectangle(double left, double top, double right, double bottom);
  void RoundRect(double left, double top, double right, double bottom, double width, double height);
  void Ellipse(double left, double top, double right, double bottom);
  enum TArcKind { akArc, akChord, akPie, akArcTo };
  void Arc(TArcKind kind, double left, double top, double right, double bottom, double xStart, double yStart,
           double xEnd, double yEnd);
  void SetPixel(double x, double y, std::uint32_t color);
  // Text at (x, y) or the current position. `clipRect` goes with etoOpaque and etoClipped;
  // `dx` holds the advance of each character in logical units.
  void Text(double x, double y, const std::u16string& text, unsigned options, const double* clipRect,
            const std::vector<double>& dx);
  // Source (sx, sy, sw, sh) in the bitmap's top-down pixels, onto the logical rectangle.
  void Bitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh, double x, double y, double w,
              double h, std::uint32_t rop);
  // Raster operations without a source: the brush, black or white over the rectangle.
  void PatternBlt(double x, double y, double w, double h, std::uint32_t rop);

  // Paths.
  void BeginPath();
  void EndPath() { inPath_ = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  void SelectClipPath(int mode);

  // Clipping.
  void IntersectClipRect(double left, double top, double right, double bottom);
  void ExcludeClipRect(double left, double top, double right, double bottom);
  // Rectangles in the reference device's units, combined by an rgn mode; none with
  // rgnCopy removes the clip.
  void SelectClipRects(const std::vector<TLogPoint>& corners, int mode);

  // Converts a byte string in the font's character set to UTF-16.
  std::u16string Decode(const std::uint8_t* text, std::size_t count) const;

 private:
  struct TState {
    int mapMode = mmText;
    TLogPoint windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
    TXForm world;
    TPenObject pen;
    TBrushObject brush;
    TFontObject font;
    std::uint32_t textColor = 0, bkColor = 0xFFFFFF;
    bool opaqueBackground = true;
    unsigned textAlign = 0;
    TFillRule fillRule = frAlternate;
    TLogPoint current;
    std::shared_ptr<const TCanvasClip> clip;  // shared by saved states; null for none
    double miterLimit = 10;
    bool clockwise = false;
  };

  void UpdateTransform();
  // An origin or extent of the window or viewport; an extent of zero is ignored.
  void SetOrigin(TLogPoint& origin, double x, double y);
  void SetExtent(TLogPoint& extent, double x, double y);
  TCanvasPoint Map(double x, double y) const { return toDest_.Apply(x, y); }
  TCanvasPoint Map(TLogPoint p) const { return toDest_.Apply(p.x, p.y); }
  // How long one logical unit along x (or y) is on the destination.
  double ScaleX() const;
  double ScaleY() const;
  std::optional<TCanvasPen> Pen() const;
  std::optional<TCanvasBrush> Brush() const;
  // Draws a shape, or adds it to the path under construction.
  void Emit(const TCanvasPath& shape, bool fill, bool stroke);
  void AddClipStep(TCanvasPath path, bool exclude, TFillRule rule);
  void ApplyClip();
  void SetCanvasClip(const TCanvasClip& clip);
  // Appends an elliptical arc from angle a0 sweeping by `sweep` (radians, counter-clockwise
  // on a y-down page) of the ellipse in the box, starting with a line or a move.
  void AppendArc(TCanvasPath& path, double cx, double cy, double rx, double ry, double a0, double sweep,
                 bool startWithMove) const;
  // Starts a figure at the current position when the path has none open.
  void EnsureFigure();

  TMetafileCanvas& canvas_;
  TXForm deviceToDest_;
  double devicePerMmX_, devicePerMmY_;
  TXForm toDest_;
  TState state_;
  std::vector<TState> saved_;
  std::vector<std::optional<TGdiObject>> objects_;
  std::size_t firstFree_ = 0;  // no free slot below this one
  std::size_t clipWork_ = 0;
  bool inPath_ = false;
  bool figureOpen_ = false;
  TCanvasPath path_;
};

}  // namespace vumo::metafile
