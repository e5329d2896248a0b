#include "shell/view_renderer.h"

#include <algorithm>
#include <cmath>

#include "shell/image_convert.h"
#include "shell/normal_view.h"

namespace vumo {
namespace {

// One colour channel, or the alpha, as a grey picture.
QImage ChannelImage(const QImage& source, TViewState::TChannel channel) {
  const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  QImage grey(argb.size(), QImage::Format_Grayscale8);
  if (grey.isNull()) return grey;
  const int shift = channel == TViewState::vcRed ? 16 : channel == TViewState::vcGreen ? 8
                    : channel == TViewState::vcBlue ? 0 : 24;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    uchar* out = grey.scanLine(y);
    for (int x = 0; x < argb.width(); ++x) out[x] = static_cast<uchar>(in[x] >> shift);
  }
  return grey;
}

const QImage& ViewCheckerTile() {
  static const QImage tile = CheckerTile(qRgb(0xFF, 0xFF, 0xFF), qRgb(0xCC, 0xCC, 0xCC));
  return tile;
}

constexpr int kMaxLevels = 8;

}  // namespace

void TViewRenderer::SetSource(const QImage& image) {
  source_ = image;
  shown_ = QImage();
  shownStale_ = true;
  levels_.clear();
}

void TViewRenderer::SetChannel(TViewState::TChannel channel) {
  if (channel == channel_) return;
  channel_ = channel;
  shown_ = QImage();
  shownStale_ = true;
  levels_.clear();
}

void TViewRenderer::SetNormalLayout(const TNormalLayout& layout) {
  if (layout == normalLayout_) return;
  normalLayout_ = layout;
  if (channel_ != TViewState::vcNormal) return;
  shown_ = QImage();
  shownStale_ = true;
  levels_.clear();
}

bool TViewRenderer::SeeThrough() const { return channel_ == TViewState::vcColor && source_.hasAlphaChannel(); }

const QImage& TViewRenderer::Shown() {
  if (!shownStale_) return shown_.isNull() ? source_ : shown_;
  shownStale_ = false;
  switch (channel_) {
    case TViewState::vcColor: break;
    case TViewState::vcColorOpaque:
      if (source_.hasAlphaChannel()) shown_ = source_.convertToFormat(QImage::Format_RGB32);
      break;
    case TViewState::vcNormal: shown_ = NormalMapImage(source_, normalLayout_); break;
    default: shown_ = ChannelImage(source_, channel_); break;
  }
  return shown_.isNull() ? source_ : shown_;
}

const QImage& TViewRenderer::Level(int level) {
  if (level <= 0) return Shown();
  level = std::min(level, kMaxLevels);
  while (static_cast<int>(levels_.size()) < level) {
    const QImage& from = levels_.empty() ? Shown() : levels_.back();
    if (from.width() <= 1 && from.height() <= 1) break;
    // Qt's smooth reduction averages the area each new pixel covers.
    levels_.push_back(from.scaled(std::max(1, (from.width() + 1) / 2), std::max(1, (from.height() + 1) / 2),
                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
  return levels_.empty() ? Shown() : levels_[static_cast<std::size_t>(std::min<int>(level, levels_.size()) - 1)];
}

void TViewRenderer::Paint(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed) {
  const QImage& shown = Shown();
  if (shown.isNull() || geometry.Empty()) return;
  if (geometry.Mode == TViewMode::Stretched) {
    painter.drawImage(geometry.DestRect(), shown);
    return;
  }
  const double zoom = geometry.Zoom;
  // The smallest halving still at least as large as the zoom: drawn from it, every screen
  // pixel averages at most four of its pixels.
  const int level = zoom < 1.0 ? static_cast<int>(std::floor(std::log2(1.0 / zoom) + 1e-9)) : 0;
  const QImage& image = Level(level);
  const bool smooth = zoom < 1.0 && !(level > 0 && image.width() * 1.0 == shown.width() * zoom);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  if (geometry.Mode == TViewMode::Tiled) {
    PaintTiles(painter, geometry, exposed, image, smooth);
    return;
  }
  const double sx = zoom * shown.width() / image.width(), sy = zoom * shown.height() / image.height();
  const QRectF dest = geometry.PictureRect();
  const QRectF visible = dest.intersected(QRectF(exposed));
  if (visible.isEmpty()) return;
  // Only the source pixels that reach the exposed area, with one more around them when
  // smoothing so the filter sees its neighbours at the edges of a partial repaint.
  const int margin = smooth ? 1 : 0;
  const int x0 = std::max(0, static_cast<int>(std::floor((visible.left() - dest.left()) / sx)) - margin);
  const int y0 = std::max(0, static_cast<int>(std::floor((visible.top() - dest.top()) / sy)) - margin);
  const int x1 = std::min(image.width(), static_cast<int>(std::ceil((visible.right() - dest.left()) / sx)) + margin);
  const int y1 = std::min(image.height(), static_cast<int>(std::ceil((visible.bottom() - dest.top()) / sy)) + margin);
  if (x1 <= x0 || y1 <= y0) return;
  const QRectF target(dest.left() + x0 * sx, dest.top() + y0 * sy, (x1 - x0) * sx, (y1 - y0) * sy);
  painter.drawImage(target, image, QRectF(x0, y0, x1 - x0, y1 - y0));
}

void TViewRenderer::PaintTiles(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed,
                               const QImage& image, bool) {
  // One textured fill straight onto the control: the pattern starts at the first tile's
  // corner, so every pixel is the picture's at its position modulo the size.
  const QRectF first = geometry.PictureRect();
  const double sx = geometry.Zoom * geometry.Picture.width() / image.width();
  const double sy = geometry.Zoom * geometry.Picture.height() / image.height();
  QBrush brush(image);
  if (sx == 1.0 && sy == 1.0) {
    painter.setBrushOrigin(first.topLeft());
  } else {
    brush.setTransform(QTransform(sx, 0, 0, sy, first.left(), first.top()));
  }
  painter.fillRect(exposed, brush);
}

void TViewRenderer::PaintBackdrop(QPainter& painter, const QRect& area, TViewState::TAlphaBackground background,
                                  const QColor& custom, const QColor& window) {
  if (area.isEmpty()) return;
  switch (background) {
    case TViewState::abChecker:
      painter.setBrushOrigin(0, 0);
      painter.fillRect(area, QBrush(ViewCheckerTile()));
      break;
    case TViewState::abWindow: painter.fillRect(area, window); break;
    case TViewState::abBlack: painter.fillRect(area, Qt::black); break;
    case TViewState::abWhite: painter.fillRect(area, Qt::white); break;
    case TViewState::abCustom: painter.fillRect(area, custom); break;
  }
}

}  // namespace vumo
