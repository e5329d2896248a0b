// What the image view shows of its picture beside the mode: zoom, the tiling's offset, the
// channel, what lies behind see-through pixels, the exposure of float pictures and which of
// a file's images is shown. One value that painting, keys, menus, status bar and settings read.
#pragma once

#include <QObject>
#include <QPointF>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace vumo {

struct TViewState {
  Q_GADGET

 public:
  // vcNormal draws a two-channel picture as the normals it stores (shell/normal_view.h).
  enum TChannel { vcColor, vcColorOpaque, vcRed, vcGreen, vcBlue, vcAlpha, vcNormal };
  Q_ENUM(TChannel)
  enum TAlphaBackground { abChecker, abWindow, abBlack, abWhite, abCustom };
  Q_ENUM(TAlphaBackground)

  double Zoom = 1.0;
  // Tiled mode: where the tiling starts on screen, in screen pixels (it wraps).
  QPointF TileOffset;
  // Tiled mode: the tiling shifted by half a tile both ways, so the seams meet mid-view.
  bool HalfOffset = false;
  TChannel Channel = vcColor;
  TAlphaBackground AlphaBackground = abChecker;
  // The colour of abCustom, a framework colour value ($00BBGGRR).
  std::int32_t AlphaColor = 0x808080;
  // Stops of exposure for pictures with float samples.
  float Exposure = 0.0f;
};

inline constexpr double kMinZoom = 1.0 / 16;
inline constexpr double kMaxZoom = 64.0;

// The next zoom step up (direction > 0) or down from `zoom`: 1/16 ... 1/2, 1, 2, 3, 4, 6, 8,
// 12, 16, 24, 32, 48, 64. A zoom between steps goes to the nearest step in that direction.
double NextZoomStep(double zoom, int direction);
// Whole notches of a mouse wheel: fine-grained wheels and touchpads send parts of one, which
// add up until they make one.
class TWheelNotches {
 public:
  // The notches `angleDelta` (Qt's eighths of a degree) completes, positive away from the
  // user; what is left waits for the next.
  int Take(int angleDelta);

 private:
  int remainder_ = 0;
};
// How far an arrow key pans the picture, in screen pixels; nothing for other keys.
std::optional<QPointF> ArrowKeyPan(int key);
// The zoom that shows the whole picture in the viewport, within the zoom limits.
double FitZoom(QSize picture, QSize viewport);
// "100%", "1600%", "6.25%", "33.3%".
QString ZoomText(double zoom);
// The caption of a channel for the status bar and the menus: "RGBA", "RGB", "R", ...
QString ChannelText(TViewState::TChannel channel);

}  // namespace vumo
