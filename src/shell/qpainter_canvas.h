// The metafile drawing surface on Qt: the shapes, text and bitmaps a metafile's records
// come down to, painted with QPainter.
#pragma once

#include <QImage>
#include <QPainter>

#include "formats/metafile.h"
#include "formats/metafile_canvas.h"

namespace vumo {

class TQPainterCanvas : public TMetafileCanvas {
 public:
  // Paints through `painter`, whose transform and clip at this point are the base of every call.
  explicit TQPainterCanvas(QPainter& painter);
  ~TQPainterCanvas() override;

  void DrawPath(const TCanvasPath& path, const TCanvasPen* pen, const TCanvasBrush* brush, TFillRule rule) override;
  double DrawText(const TCanvasText& text) override;
  void DrawBitmap(const TBitmap& bitmap, double sx, double sy, double sw, double sh, TCanvasPoint topLeft,
                  TCanvasPoint topRight, TCanvasPoint bottomLeft) override;
  void SetClip(const TCanvasClip& clip) override;
  void SetAntialiasing(bool on) override;

 private:
  QPainter& painter_;
  bool antialiased_ = true;
};

// Plays the metafile so that its frame fills `target` on the painter, with the work bounded
// by the part the painter can reach (its clip, or its device). False when the drawing
// stopped at its budget and is incomplete.
bool DrawMetafile(QPainter& painter, const TMetafile& metafile, const QRectF& target);
// The metafile at width x height pixels on a transparent background; null when either is 0.
// `complete`, when given, says whether the whole drawing fitted its budget.
QImage RenderMetafile(const TMetafile& metafile, int width, int height, bool* complete = nullptr);

}  // namespace vumo
