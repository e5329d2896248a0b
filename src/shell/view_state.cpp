#include "shell/view_state.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vumo {
namespace {

constexpr std::array<double, 19> kZoomSteps = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2,
                                               1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};

// Zooms this close are the same step: a zoom read back from the settings file has lost a
// few digits.
bool Near(double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(a, b); }

}  // namespace

double NextZoomStep(double zoom, int direction) {
  if (direction > 0) {
    for (double step : kZoomSteps)
      if (step > zoom && !Near(step, zoom)) return step;
    return kZoomSteps.back();
  }
  for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it)
    if (*it < zoom && !Near(*it, zoom)) return *it;
  return kZoomSteps.front();
}

int TWheelNotches::Take(int angleDelta) {
  constexpr int kNotch = 120;  // eighths of a degree
  remainder_ += angleDelta;
  const int notches = remainder_ / kNotch;  // toward zero, so a part of a notch stays either way
  remainder_ -= notches * kNotch;
  return notches;
}

std::optional<QPointF> ArrowKeyPan(int key) {
  constexpr double kStep = 32;
  switch (key) {
    case Qt::Key_Left: return QPointF(kStep, 0);
    case Qt::Key_Right: return QPointF(-kStep, 0);
    case Qt::Key_Up: return QPointF(0, kStep);
    case Qt::Key_Down: return QPointF(0, -kStep);
    default: return std::nullopt;
  }
}

double FitZoom(QSize picture, QSize viewport) {
  if (picture.width() <= 0 || picture.height() <= 0 || viewport.width() <= 0 || viewport.height() <= 0) return 1.0;
  const double fit = std::min(double(viewport.width()) / picture.width(), double(viewport.height()) / picture.height());
  return std::clamp(fit, kMinZoom, kMaxZoom);
}

QString ZoomText(double zoom) {
  const double percent = zoom * 100.0;
  if (Near(percent, std::round(percent))) return QString::number(std::lround(percent)) + u'%';
  // Three significant digits: "6.25%", "33.3%", "8.33%".
  return QString::number(percent, 'g', 3) + u'%';
}

QString ChannelText(TViewState::TChannel channel) {
  switch (channel) {
    case TViewState::vcColor: return QStringLiteral("RGBA");
    case TViewState::vcColorOpaque: return QStringLiteral("RGB");
    case TViewState::vcRed: return QStringLiteral("R");
    case TViewState::vcGreen: return QStringLiteral("G");
    case TViewState::vcBlue: return QStringLiteral("B");
    case TViewState::vcAlpha: return QStringLiteral("A");
    case TViewState::vcNormal: return QStringLiteral("Normal map");
  }
  return {};
}

}  // namespace vumo
