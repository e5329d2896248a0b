// Where the picture lies in the image view and which picture pixel lies under a point: one
// plain value that the painting, the mouse, the scroll box and the tests all ask.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>

namespace vumo {

enum class TViewMode { Normal, Centered, Stretched, Tiled };

struct TViewGeometry {
  QSize Picture;             // the picture's size in its own pixels
  QSize Viewport;            // the control's size: the area painted
  TViewMode Mode = TViewMode::Normal;
  double Zoom = 1.0;         // screen pixels a picture pixel; stretched pictures ignore it
  // Tiled: where the tiling starts, in screen pixels, kept within one tile (it wraps).
  QPointF TileOffset;

  // The picture's rectangle on screen: the one copy of it, or in tiled mode the tile whose
  // top-left corner lies at or left of and above the control's top-left corner.
  QRectF PictureRect() const;
  // The same in whole pixels, as the framework's destination rectangle; for natural size
  // and centred pictures at 1:1 it is exactly the picture's rectangle.
  QRect DestRect() const;

  // Picture coordinates (fractional) of a point on screen; in tiled mode taken modulo the
  // picture, so every point of the control has one.
  QPointF MapToPicture(const QPointF& screen) const;
  // The picture pixel under a point, or nothing outside the picture (or for an empty one).
  std::optional<QPoint> PixelAt(const QPointF& screen) const;
  // Screen coordinates of a picture point (the first copy's, in tiled mode).
  QPointF MapToView(const QPointF& picture) const;

  // How large the control must be to show the whole picture at its zoom: the scroll box
  // scrolls this much in normal mode.
  QSize ContentSize() const;

  // The tile offset that keeps `picture` under `screen`, wrapped into one tile.
  QPointF TileOffsetKeeping(const QPointF& picture, const QPointF& screen) const;
  // An offset brought back into [0, tile size) on both axes.
  QPointF WrapTileOffset(const QPointF& offset) const;

  double ScaleX() const;
  double ScaleY() const;
  bool Empty() const { return Picture.width() <= 0 || Picture.height() <= 0; }
};

}  // namespace vumo
