// What a metafile needs from a drawing surface. The metafile player resolves every mapping
// mode, object selection and path itself and hands over shapes in destination pixels, so a
// surface only has to stroke, fill, write text and place bitmaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/bitmap.h"

namespace vumo {

struct TCanvasPoint {
  double x = 0, y = 0;
};

// An outline of move, line and cubic Bézier steps, in destination pixels.
struct TCanvasPath {
  enum TVerb : std::uint8_t { pvMoveTo, pvLineTo, pvCubicTo, pvClose };
  std::vector<TVerb> verbs;
  std::vector<TCanvasPoint> points;  // one per move or line, three per cubic, none per close

  void MoveTo(TCanvasPoint p) { verbs.push_back(pvMoveTo), points.push_back(p); }
  void LineTo(TCanvasPoint p) { verbs.push_back(pvLineTo), points.push_back(p); }
  void CubicTo(TCanvasPoint c1, TCanvasPoint c2, TCanvasPoint p) {
    verbs.push_back(pvCubicTo), points.push_back(c1), points.push_back(c2), points.push_back(p);
  }
  void Close() { verbs.push_back(pvClose); }
  void Append(const TCanvasPath& other) {
    verbs.insert(verbs.end(), other.verbs.begin(), other.verbs.end());
    points.insert(points.end(), other.points.begin(), other.points.end());
  }
  bool Empty() const { return verbs.empty(); }
};

// Colours are the platform's $00BBGGRR values.
struct TCanvasPen {
  enum TDash : std::uint8_t { pdSolid, pdDash, pdDot, pdDashDot, pdDashDotDot };
  enum TCap : std::uint8_t { pcRound, pcSquare, pcFlat };
  enum TJoin : std::uint8_t { pjRound, pjBevel, pjMiter };
  std::uint32_t color = 0;
  double width = 1;  // destination pixels, at least one
  TDash dash = pdSolid;
  TCap cap = pcRound;
  TJoin join = pjRound;
  double miterLimit = 10;
};

struct TCanvasBrush {
  enum TStyle : std::uint8_t { bsSolid, bsHatched, bsPattern };
  // The hatch styles as metafiles number them.
  enum THatch : std::uint8_t { hsHorizontal, hsVertical, hsFDiagonal, hsBDiagonal, hsCross, hsDiagCross };
  TStyle style = bsSolid;
  std::uint32_t color = 0;
  THatch hatch = hsHorizontal;
  // Behind the lines of a hatch when the background mode is opaque.
  bool opaqueBackground = false;
  std::uint32_t backgroundColor = 0xFFFFFF;
  const TBitmap* pattern = nullptr;  // bsPattern: tiled from the destination's origin
};

struct TCanvasFont {
  std::string face;        // UTF-8
  double height = 16;      // pixels between the top of the accents and the bottom of the descenders
  bool cellHeight = false; // the height includes the font's internal leading
  double width = 0;        // average character width in pixels; 0 keeps the face's own
  int weight = 400;        // 100 (thin) to 900 (black)
  bool italic = false, underline = false, strikeOut = false;
  double angle = 0;        // degrees, counter-clockwise on the screen
};

struct TCanvasText {
  std::u16string text;
  TCanvasPoint origin;  // the reference point the alignment refers to
  // Horizontal: 0 left, 1 centre, 2 right. Vertical: 0 top, 1 baseline, 2 bottom.
  int horizontal = 0, vertical = 0;
  // Where each character starts along the baseline from the origin; empty lets the font space them.
  std::vector<double> advances;
  TCanvasFont font;
  std::uint32_t color = 0;
  bool opaque = false;  // paint the background colour behind the text
  std::uint32_t backgroundColor = 0xFFFFFF;
};

enum TFillRule { frAlternate, frWinding };

// The visible area: everything, narrowed by each step in turn (kept to its inside, or with
// its inside cut away).
struct TCanvasClip {
  struct TStep {
    bool exclude = false;
    TCanvasPath path;
    TFillRule rule = frAlternate;
  };
  std::vector<TStep> steps;
};

class TMetafileCanvas {
 public:
  virtual ~TMetafileCanvas() = default;
  // Fills with `brush` (when given), then strokes with `pen` (when given).
  virtual void DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush, TFillRule rule) = 0;
  // Returns how far the text advanced along its baseline, in pixels.
  virtual double DrawText(const TCanvasText& text) = 0;
  // Draws the part (sx, sy, sw, sh) of `bitmap` into the parallelogram whose corners are
  // `topLeft`, `topRight` and `bottomLeft`; negative sizes mirror the image.
  virtual void DrawBitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh, TCanvasPoint topLeft,
                          TCanvasPoint topRight, TCanvasPoint bottomLeft) = 0;
  // Limits what later calls paint; an empty clip removes the limit.
  virtual void SetClip(const TCanvasClip& clip) = 0;
  // Whether later shapes are drawn with smoothed edges; on at the start.
  virtual void SetAntialiasing(bool) {}
};

}  // namespace vumo
