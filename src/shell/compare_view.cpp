#include "shell/compare_view.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "browser/file_names.h"
#include "settings/colors.h"
#include "shell/image_convert.h"
#include "shell/pixel_readout.h"
#include "shell/pro_image.h"

namespace vumo {
namespace {

constexpr int kPaneGap = 2;
// How near the divider a press grabs it rather than panning, in screen pixels.
constexpr int kDividerReach = 4;
const std::uint8_t kMarkColour[3] = {255, 0, 255};

std::unique_ptr<TPicture> LoadFile(const QString& path, unsigned index) {
  auto picture = std::make_unique<TPicture>();
  picture->LoadFromFile(EncodeFileName(path).toStdString(), index);
  const TGraphic* graphic = picture->Graphic();
  if (!graphic || graphic->Empty() || !graphic->DrawBitmap())
    throw Exception(QStringLiteral("%1: the picture has no pixels to compare").arg(path).toStdString());
  return picture;
}

template <std::size_t N>
int NextIn(const int (&values)[N], int current) {
  const int* at = std::find(std::begin(values), std::end(values), current);
  return at == std::end(values) || at + 1 == std::end(values) ? values[0] : at[1];
}

}  // namespace

TCompareView::TCompareView(TProImage* leader, QWidget* parent) : QWidget(parent), leader_(leader) {
  setObjectName(QStringLiteral("CompareView"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  zoom_ = leader_->Zoom();
  connect(leader_, &TProImage::ViewChanged, this, [this] { LeaderChanged(); });
}

TCompareView::~TCompareView() = default;

void TCompareView::Open(const QString& fileA, const QString& fileB, unsigned index) {
  Take(fileA, fileB, index);
  swapped_ = false;
  pan_ = {};
  zoom_ = leader_->Zoom();
  LeaderChanged();
  Changed();
}

unsigned TCompareView::ImageCount() const {
  if (Empty()) return 0;
  return std::min(pictureA_->Graphic()->Images().Count, pictureB_->Graphic()->Images().Count);
}

bool TCompareView::StepImage(int direction) {
  if (Empty() || direction == 0) return false;
  const long next = long(index_) + (direction > 0 ? 1 : -1);
  if (next < 0 || next >= long(ImageCount())) return false;
  Take(fileA_, fileB_, unsigned(next));
  pan_ = ClampPan(pan_);
  LeaderChanged();
  return true;
}

void TCompareView::Take(QString fileA, QString fileB, unsigned index) {
  std::unique_ptr<TPicture> a = LoadFile(fileA, index), b = LoadFile(fileB, index);
  const QPointF pan = pan_;
  const bool swapped = swapped_;
  Clear();
  pan_ = pan;
  swapped_ = swapped;
  pictureA_ = std::move(a);
  pictureB_ = std::move(b);
  fileA_ = fileA;
  fileB_ = fileB;
  index_ = index;
  // The figures are those of the pictures as loaded (float ones at exposure 0), whatever
  // exposure they are shown at.
  sourceA_ = TCompareSource(*pictureA_->Graphic()->DrawBitmap());
  sourceB_ = TCompareSource(*pictureB_->Graphic()->DrawBitmap());
  result_ = ComparePictures(sourceA_.Input(), sourceB_.Input());
  exposure_ = 0.0f;
  MakeImages();
}

void TCompareView::Clear() {
  for (TViewRenderer* renderer : {&rendererA_, &rendererB_, &rendererDifference_}) renderer->SetSource(QImage());
  imageA_ = imageB_ = difference_ = QImage();
  sourceA_ = sourceB_ = TCompareSource();
  pictureA_.reset();
  pictureB_.reset();
  fileA_.clear();
  fileB_.clear();
  result_ = {};
  hovered_.reset();
  differenceStale_ = true;
  update();
}

void TCompareView::MakeImages() {
  // The images point into the bitmaps: they are made again after each exposure change.
  imageA_ = GraphicToQImage(*pictureA_->Graphic());
  imageB_ = GraphicToQImage(*pictureB_->Graphic());
  rendererA_.SetSource(imageA_);
  rendererB_.SetSource(imageB_);
  differenceStale_ = true;
}

void TCompareView::LeaderChanged() {
  if (Empty()) return;
  const double zoom = leader_->Zoom();
  if (zoom != zoom_ && zoom > 0) {
    // Keys zoom about the middle of the first pane.
    const QRect pane = PaneRect(0);
    const QPointF middle = QPointF(pane.center()) - pane.topLeft();
    const QPointF pan = middle - (middle - pan_) * (zoom / zoom_);
    zoom_ = zoom;
    pan_ = ClampPan(pan);
  }
  if (leader_->Exposure() != exposure_) {
    exposure_ = static_cast<float>(leader_->Exposure());
    for (TPicture* picture : {pictureA_.get(), pictureB_.get()})
      if (auto* bitmap = dynamic_cast<TBitmap*>(picture->Graphic()); bitmap && bitmap->FloatPixels())
        bitmap->SetExposure(exposure_);
    MakeImages();
  }
  rendererA_.SetChannel(leader_->Channel());
  rendererB_.SetChannel(leader_->Channel());
  Changed();
}

void TCompareView::Changed() {
  update();
  emit CompareChanged();
}

void TCompareView::SetMode(TMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  if (mode_ == cmDifference || mode_ == cmMarked) differenceStale_ = true;
  hovered_.reset();
  Changed();
  emit HoverChanged();
}

void TCompareView::Swap() {
  swapped_ = !swapped_;
  Changed();
  emit HoverChanged();
}

void TCompareView::SetDifferenceSetting(int& setting, int value) {
  if (value == setting) return;
  setting = value;
  differenceStale_ = true;
  Changed();
}

void TCompareView::SetAmplify(int factor) { SetDifferenceSetting(amplify_, std::clamp(factor, 1, 255)); }

void TCompareView::StepAmplify() { SetAmplify(NextIn(kAmplifyFactors, amplify_)); }

void TCompareView::SetThreshold(int threshold) { SetDifferenceSetting(threshold_, std::clamp(threshold, 0, 255)); }

void TCompareView::StepThreshold() { SetThreshold(NextIn(kThresholds, threshold_)); }

void TCompareView::SetSplitPosition(double position) {
  split_ = std::clamp(position, 0.0, 1.0);
  Changed();
}

QPointF TCompareView::ClampPan(QPointF pan) const {
  // As the scroll box of the single view: a picture smaller than its pane sits at the
  // corner, a larger one moves no further than its edges.
  const QSize pane = PaneRect(0).size();
  const double width = std::max(sourceA_.Width(), sourceB_.Width()) * zoom_;
  const double height = std::max(sourceA_.Height(), sourceB_.Height()) * zoom_;
  return QPointF(std::clamp(pan.x(), std::min(0.0, pane.width() - width), 0.0),
                 std::clamp(pan.y(), std::min(0.0, pane.height() - height), 0.0));
}

void TCompareView::SetPan(QPointF pan) {
  pan_ = ClampPan(pan);
  Changed();
}

double TCompareView::Zoom() const { return zoom_; }

int TCompareView::FiguresHeight() const { return fontMetrics().height() + 6; }

QRect TCompareView::PaneRect(int pane) const {
  const QRect area(0, FiguresHeight(), width(), std::max(0, height() - FiguresHeight()));
  if (PaneCount() == 1) return area;
  const int half = (area.width() - kPaneGap) / 2;
  return pane == 0 ? QRect(area.left(), area.top(), half, area.height())
                   : QRect(area.left() + half + kPaneGap, area.top(), area.width() - half - kPaneGap, area.height());
}

int TCompareView::PaneShows(int pane) const {
  switch (mode_) {
    case cmSideBySide: return (pane == 1) != swapped_ ? 1 : 0;
    case cmFlicker: return swapped_ ? 1 : 0;
    case cmSplit: return swapped_ ? 1 : 0;  // the left part; the right shows the other
    case cmDifference:
    case cmMarked: return 2;
  }
  return 0;
}

QSize TCompareView::SizeOf(int shown) const {
  if (shown == 0) return QSize(sourceA_.Width(), sourceA_.Height());
  if (shown == 1) return QSize(sourceB_.Width(), sourceB_.Height());
  return QSize(result_.Width, result_.Height);
}

TViewRenderer& TCompareView::RendererFor(int shown) {
  return shown == 0 ? rendererA_ : shown == 1 ? rendererB_ : rendererDifference_;
}

TViewGeometry TCompareView::Geometry(int pane) const {
  TViewGeometry geometry;
  geometry.Picture = Empty() ? QSize() : SizeOf(PaneShows(pane));
  geometry.Viewport = PaneRect(pane).size();
  geometry.Mode = TViewMode::Normal;
  geometry.Zoom = zoom_;
  return geometry;
}

QPointF TCompareView::ImageOrigin(int pane) const { return QPointF(PaneRect(pane).topLeft()) + pan_; }

std::optional<QPoint> TCompareView::PixelAt(const QPointF& point) const {
  for (int pane = 0; pane < PaneCount(); ++pane)
    if (QRectF(PaneRect(pane)).contains(point)) return Geometry(pane).PixelAt(point - ImageOrigin(pane));
  return std::nullopt;
}

int TCompareView::DividerX() const {
  const QRect pane = PaneRect(0);
  return pane.left() + static_cast<int>(std::lround(split_ * pane.width()));
}

QString TCompareView::FiguresText() const {
  if (Empty()) return {};
  const TCompareResult& r = result_;
  const double area = std::max(1.0, double(r.Width) * r.Height);
  QString text = QStringLiteral("max %1   differing %2 (%3%)   PSNR %4   SSIM %5")
                     .arg(r.MaxDifference, 0, 'g', 4)
                     .arg(r.DifferingPixels)
                     .arg(100.0 * double(r.DifferingPixels) / area, 0, 'f', 1)
                     .arg(r.Psnr ? QStringLiteral("%1 dB").arg(*r.Psnr, 0, 'f', 2) : QStringLiteral("\u221E"))
                     .arg(r.Ssim, 0, 'f', 4);
  if (r.SizeMismatch)
    text += QStringLiteral("   sizes %1 \u00D7 %2 and %3 \u00D7 %4")
                .arg(r.WidthA).arg(r.HeightA).arg(r.WidthB).arg(r.HeightB);
  // The mode first: a narrow window cuts the end of the line.
  QString mode;
  switch (mode_) {
    case cmSideBySide: mode = swapped_ ? QStringLiteral("[B | A]   ") : QStringLiteral("[A | B]   "); break;
    case cmFlicker: mode = swapped_ ? QStringLiteral("[B]   ") : QStringLiteral("[A]   "); break;
    case cmSplit: mode = swapped_ ? QStringLiteral("[B / A]   ") : QStringLiteral("[A / B]   "); break;
    case cmDifference: mode = QStringLiteral("[|A \u2212 B| \u00D7 %1]   ").arg(amplify_); break;
    case cmMarked: mode = QStringLiteral("[over %1 marked]   ").arg(threshold_); break;
  }
  // Which image of files of several: "level 2/12 (512 x 512)   ".
  const std::string& caption = pictureA_->Graphic()->Images().Caption;
  if (ImageCount() > 1 && !caption.empty()) mode += QString::fromStdString(caption) + QStringLiteral("   ");
  return mode + text;
}

QString TCompareView::ReadoutText() const {
  if (Empty() || !hovered_) return {};
  QStringList parts;
  const struct {
    const char* name;
    const TPicture* picture;
  } sides[] = {{"A", pictureA_.get()}, {"B", pictureB_.get()}};
  for (const auto& side : sides)
    if (const std::optional<TPixelValue> value = ReadPixel(*side.picture->Graphic(), *hovered_))
      parts << QString::fromLatin1(side.name) + QStringLiteral(": ") + PixelText(*value);
  return parts.join(QStringLiteral("   |   "));
}

void TCompareView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect exposed = event->rect();
  const QColor window = palette().window().color();
  painter.fillRect(exposed, window.darker(110));
  painter.fillRect(QRect(0, 0, width(), FiguresHeight()), window);
  painter.setPen(palette().windowText().color());
  painter.drawText(QRect(6, 0, width() - 12, FiguresHeight()), Qt::AlignVCenter | Qt::AlignLeft, FiguresText());
  if (Empty()) return;
  if ((mode_ == cmDifference || mode_ == cmMarked) && differenceStale_) MakeDifference();
  if (mode_ == cmSplit) {
    const QRect pane = PaneRect(0);
    const int divider = DividerX();
    PaintPicture(painter, 0, swapped_ ? 1 : 0, QRect(pane.left(), pane.top(), divider - pane.left(), pane.height()));
    PaintPicture(painter, 0, swapped_ ? 0 : 1, QRect(divider, pane.top(), pane.right() + 1 - divider, pane.height()));
    painter.fillRect(QRect(divider - 1, pane.top(), 2, pane.height()), Qt::white);
    return;
  }
  for (int pane = 0; pane < PaneCount(); ++pane) PaintPicture(painter, pane, PaneShows(pane), PaneRect(pane));
}

void TCompareView::PaintPicture(QPainter& painter, int pane, int shown, const QRect& clip) {
  const QRect area = clip.intersected(PaneRect(pane));
  if (area.isEmpty()) return;
  TViewGeometry geometry = Geometry(pane);
  geometry.Picture = SizeOf(shown);
  const QPointF origin = ImageOrigin(pane);
  TViewRenderer& renderer = RendererFor(shown);
  painter.save();
  painter.setClipRect(area);
  if (renderer.SeeThrough()) {
    const QRect picture = geometry.DestRect().translated(origin.toPoint()).intersected(area);
    TViewRenderer::PaintBackdrop(painter, picture, leader_->AlphaBackground(), ColorToQColor(leader_->AlphaColor()),
                                 palette().window().color());
  }
  painter.translate(origin);
  renderer.Paint(painter, geometry, area.translated(-origin.toPoint()));
  painter.restore();
}

void TCompareView::MakeDifference() {
  differenceStale_ = false;
  const int width = result_.Width, height = result_.Height;
  difference_ = QImage(width, height, QImage::Format_RGBA8888);
  if (difference_.isNull()) return;
  const TCompareInput a = sourceA_.Input(), b = sourceB_.Input();
  for (int y = 0; y < height; ++y) {
    if (mode_ == cmMarked)
      MarkedRow(a, b, y, width, threshold_, kMarkColour, difference_.scanLine(y));
    else
      DifferenceRow(a, b, y, width, amplify_, difference_.scanLine(y));
  }
  rendererDifference_.SetSource(difference_);
}

void TCompareView::UpdateHover(const QPointF& point) {
  std::optional<QPoint> pixel = PixelAt(point);
  if (pixel && (pixel->x() >= std::max(sourceA_.Width(), sourceB_.Width()) ||
                pixel->y() >= std::max(sourceA_.Height(), sourceB_.Height())))
    pixel.reset();
  if (pixel == hovered_) return;
  hovered_ = pixel;
  emit HoverChanged();
}

void TCompareView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  draggingDivider_ = mode_ == cmSplit && std::abs(event->position().x() - DividerX()) <= kDividerReach;
  dragFrom_ = event->position();
  setCursor(draggingDivider_ ? Qt::SplitHCursor : Qt::ClosedHandCursor);
  event->accept();
}

void TCompareView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF position = event->position();
  if (dragFrom_) {
    if (draggingDivider_) {
      const QRect pane = PaneRect(0);
      SetSplitPosition(pane.width() > 0 ? (position.x() - pane.left()) / pane.width() : 0.5);
    } else {
      SetPan(pan_ + (position - *dragFrom_));
    }
    dragFrom_ = position;
  } else {
    setCursor(mode_ == cmSplit && std::abs(position.x() - DividerX()) <= kDividerReach ? Qt::SplitHCursor
                                                                                       : Qt::ArrowCursor);
  }
  UpdateHover(position);
}

void TCompareView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragFrom_.reset();
    draggingDivider_ = false;
    unsetCursor();
  }
  QWidget::mouseReleaseEvent(event);
}

void TCompareView::leaveEvent(QEvent* event) {
  if (hovered_) {
    hovered_.reset();
    emit HoverChanged();
  }
  QWidget::leaveEvent(event);
}

void TCompareView::wheelEvent(QWheelEvent* event) {
  for (int notches = wheelNotches_.Take(event->angleDelta().y()); notches != 0;) {
    const int direction = notches > 0 ? 1 : -1;
    notches -= direction;
    // The picture point under the cursor stays there: the pan is set before the leader
    // tells of the new zoom, which then has nothing left to move.
    const QPointF at = event->position();
    int pane = 0;
    while (pane + 1 < PaneCount() && !PaneRect(pane).contains(at.toPoint())) ++pane;
    const QPointF picture = (at - ImageOrigin(pane)) / zoom_;
    const double zoom = NextZoomStep(zoom_, direction);
    zoom_ = zoom;
    pan_ = ClampPan(at - QPointF(PaneRect(pane).topLeft()) - picture * zoom);
    leader_->SetZoom(zoom);
    Changed();
  }
  event->accept();
}

void TCompareView::keyPressEvent(QKeyEvent* event) {
  if (const std::optional<QPointF> pan = ArrowKeyPan(event->key())) {
    SetPan(pan_ + *pan);
  } else if (event->key() == Qt::Key_Space) {
    Swap();
  } else {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

}  // namespace vumo
