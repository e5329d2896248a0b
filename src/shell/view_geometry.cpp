#include "shell/view_geometry.h"

#include <cmath>

namespace vumo {
namespace {

double Wrap(double value, double period) {
  if (period <= 0) return 0;
  const double r = std::fmod(value, period);
  return r < 0 ? r + period : r;
}

}  // namespace

double TViewGeometry::ScaleX() const {
  if (Mode == TViewMode::Stretched) return Picture.width() > 0 ? double(Viewport.width()) / Picture.width() : 1.0;
  return Zoom;
}

double TViewGeometry::ScaleY() const {
  if (Mode == TViewMode::Stretched) return Picture.height() > 0 ? double(Viewport.height()) / Picture.height() : 1.0;
  return Zoom;
}

QRectF TViewGeometry::PictureRect() const {
  const double w = Picture.width() * ScaleX(), h = Picture.height() * ScaleY();
  switch (Mode) {
    case TViewMode::Stretched: return QRectF(0, 0, Viewport.width(), Viewport.height());
    case TViewMode::Centered: {
      // Whole pixels, truncated toward zero, so a picture larger than the control is cut
      // evenly on both sides as the framework cuts it.
      const auto left = static_cast<int>((Viewport.width() - std::lround(w)) / 2);
      const auto top = static_cast<int>((Viewport.height() - std::lround(h)) / 2);
      return QRectF(left, top, w, h);
    }
    case TViewMode::Tiled: {
      const QPointF o = WrapTileOffset(TileOffset);
      // The tile that covers the control's top-left corner starts at or before it.
      return QRectF(o.x() > 0 ? o.x() - w : 0, o.y() > 0 ? o.y() - h : 0, w, h);
    }
    case TViewMode::Normal: break;
  }
  return QRectF(0, 0, w, h);
}

QRect TViewGeometry::DestRect() const {
  const QRectF r = PictureRect();
  return QRect(static_cast<int>(std::floor(r.left())), static_cast<int>(std::floor(r.top())),
               static_cast<int>(std::lround(r.width())), static_cast<int>(std::lround(r.height())));
}

QPointF TViewGeometry::MapToPicture(const QPointF& screen) const {
  const QRectF r = PictureRect();
  QPointF p((screen.x() - r.left()) / ScaleX(), (screen.y() - r.top()) / ScaleY());
  if (Mode == TViewMode::Tiled) p = QPointF(Wrap(p.x(), Picture.width()), Wrap(p.y(), Picture.height()));
  return p;
}

std::optional<QPoint> TViewGeometry::PixelAt(const QPointF& screen) const {
  if (Empty() || ScaleX() <= 0 || ScaleY() <= 0) return std::nullopt;
  const QPointF p = MapToPicture(screen);
  const auto x = static_cast<int>(std::floor(p.x())), y = static_cast<int>(std::floor(p.y()));
  if (x < 0 || y < 0 || x >= Picture.width() || y >= Picture.height()) return std::nullopt;
  return QPoint(x, y);
}

QPointF TViewGeometry::MapToView(const QPointF& picture) const {
  const QRectF r = PictureRect();
  return QPointF(r.left() + picture.x() * ScaleX(), r.top() + picture.y() * ScaleY());
}

QSize TViewGeometry::ContentSize() const {
  if (Mode != TViewMode::Normal) return Viewport;
  return QSize(static_cast<int>(std::lround(Picture.width() * Zoom)),
               static_cast<int>(std::lround(Picture.height() * Zoom)));
}

QPointF TViewGeometry::WrapTileOffset(const QPointF& offset) const {
  return QPointF(Wrap(offset.x(), Picture.width() * Zoom), Wrap(offset.y(), Picture.height() * Zoom));
}

QPointF TViewGeometry::TileOffsetKeeping(const QPointF& picture, const QPointF& screen) const {
  return WrapTileOffset(QPointF(screen.x() - picture.x() * Zoom, screen.y() - picture.y() * Zoom));
}

}  // namespace vumo
