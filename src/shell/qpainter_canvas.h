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

 private:
  QPainter& painter_;
};

// Plays the metafile so that its frame fills `target` on the painter.
void DrawMetafile(QPainter& painter, const TMetafile& metafile, const QRectF& target);
// The metafile at width x height pixels on a transparent background; null when either is 0.
QImage RenderMetafile(const TMetafile& metafile, int width, int height);

}  // namespace vumo
