// Draws a picture for the image view at any zoom and channel: the channel's image made once
// when the picture or the channel changes, and a pyramid of halved copies, each area
// averaged from the one before, made once as smaller zooms first ask for them. A zoom change
// only picks a level; nothing is converted again.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <vector>

#include "formats/graphic.h"
#include "shell/view_geometry.h"
#include "shell/view_state.h"

namespace vumo {

class TViewRenderer {
 public:
  // The picture as Qt sees it; a null image clears the renderer.
  void SetSource(const QImage& image);
  void SetChannel(TViewState::TChannel channel);
  TViewState::TChannel Channel() const { return channel_; }
  // Where the picture keeps a normal map's X and Y, for vcNormal.
  void SetNormalLayout(const TNormalLayout& layout);
  bool Empty() const { return source_.isNull(); }
  // Whether what is drawn has see-through pixels, so that a backdrop belongs behind it.
  bool SeeThrough() const;

  // The image drawn at zoom 1 for the current channel.
  const QImage& Shown();
  // Draws the picture into `exposed` for this geometry: pixels as sharp squares above 1:1,
  // area averaged below it; stretched pictures as they always were drawn.
  void Paint(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed);

  // Fills `area` with what lies behind see-through pixels: the checkerboard or a colour.
  static void PaintBackdrop(QPainter& painter, const QRect& area, TViewState::TAlphaBackground background,
                            const QColor& custom, const QColor& window);

 private:
  const QImage& Level(int level);
  void PaintTiles(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed, const QImage& image,
                  bool smooth);

  QImage source_;
  QImage shown_;
  bool shownStale_ = true;
  TViewState::TChannel channel_ = TViewState::vcColor;
  TNormalLayout normalLayout_;
  std::vector<QImage> levels_;  // levels_[0] is the first halving
};

}  // namespace vumo
