#include "shell/pro_image.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "formats/bitmap.h"
#include "formats/metafile.h"
#include "shell/image_convert.h"
#include "shell/qpainter_canvas.h"

namespace vumo {
namespace {

// Stops of exposure a key press changes.
constexpr double kExposureStep = 0.5;
constexpr double kMaxExposure = 32.0;

// The float picture whose 32-bit pixels an exposure renders, if the graphic is one.
TBitmap* FloatBitmap(TGraphic* graphic) {
  auto* bitmap = dynamic_cast<TBitmap*>(graphic);
  return bitmap && bitmap->FloatPixels() ? bitmap : nullptr;
}

}  // namespace

TProImage::TProImage(QWidget* parent) : QWidget(parent), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](void*) {
    // A new float picture is shown at the exposure the view is set to; rendering it raises
    // this notification again, which then finds it in step.
    if (TBitmap* floats = FloatBitmap(picture_->Graphic()); floats && floats->Exposure() != state_.Exposure) {
      floats->SetExposure(state_.Exposure);
      return;
    }
    image_ = QImage();  // it may point into the graphic that was just replaced
    renderer_.SetSource(QImage());
    imageStale_ = true;
    PictureChanged();
  };
  picture_->OnProgress = [this](void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                                const TRect& R, const std::string& Msg) {
    Progress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
  };
  resize(105, 105);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  WatchParent();
}

TProImage::~TProImage() {
  // The picture's callbacks capture this control; silence them before the members go.
  picture_->OnChange = nullptr;
  picture_->OnProgress = nullptr;
}

void TProImage::SetPicture(const TPicture& value) { picture_->Assign(value); }

void TProImage::SetAlign(TAlign value) {
  align_ = value;
  ApplyAlign();
}

void TProImage::SetAutoSize(bool value) {
  autoSize_ = value;
  PictureChanged();
}

void TProImage::SetOption(bool& field, bool value) {
  if (field == value) return;
  field = value;
  PictureChanged();
}

void TProImage::SetCenter(bool value) { SetOption(center_, value); }
void TProImage::SetStretch(bool value) { SetOption(stretch_, value); }
void TProImage::SetTiled(bool value) { SetOption(tiled_, value); }
void TProImage::SetTransparent(bool value) { SetOption(transparent_, value); }

QPointF TProImage::DrawnTileOffset(double zoom) const {
  QPointF offset = state_.TileOffset;
  if (state_.HalfOffset) offset += QPointF(picture_->Width() * zoom / 2, picture_->Height() * zoom / 2);
  return offset;
}

TViewGeometry TProImage::Geometry() const {
  TViewGeometry geometry;
  geometry.Picture = QSize(picture_->Width(), picture_->Height());
  geometry.Viewport = size();
  geometry.Mode = tiled_     ? TViewMode::Tiled
                  : stretch_ ? TViewMode::Stretched
                  : center_  ? TViewMode::Centered
                             : TViewMode::Normal;
  geometry.Zoom = Zoomable() ? state_.Zoom : 1.0;
  geometry.TileOffset = DrawnTileOffset(geometry.Zoom);
  return geometry;
}

void TProImage::ZoomAbout(double value, std::optional<QPointF> anchor) {
  value = std::clamp(std::isfinite(value) ? value : 1.0, kMinZoom, kMaxZoom);
  if (value == state_.Zoom) return;
  // The point kept in place: the one asked for, or the middle of what is visible.
  QRect visible = rect();
  if (Host()) visible = visible.intersected(QRect(mapFrom(Host()->viewport(), QPoint(0, 0)), Host()->viewport()->size()));
  const QPointF at = anchor ? *anchor : QRectF(visible).center();
  const QPointF atInViewport = Host() ? QPointF(mapTo(Host()->viewport(), QPoint(0, 0))) + at : at;
  const TViewGeometry before = Geometry();
  const QPointF picturePoint = before.MapToPicture(at);
  state_.Zoom = value;
  if (tiled_) {
    const TViewGeometry after = Geometry();
    const QPointF half = DrawnTileOffset(value) - state_.TileOffset;
    state_.TileOffset = after.WrapTileOffset(after.TileOffsetKeeping(picturePoint, at) - half);
  }
  PictureChanged();
  if (Host() && !tiled_ && Zoomable()) {
    const QPointF onScreen = Geometry().MapToView(picturePoint);
    Host()->ScrollClientPointTo(QPointF(mapTo(Host()->Client(), QPoint(0, 0))) + onScreen, atInViewport);
  }
  StateChanged();
}

void TProImage::ZoomStep(int direction) { SetZoom(NextZoomStep(state_.Zoom, direction)); }

void TProImage::ZoomToFit() {
  const QSize area = Host() ? Host()->viewport()->size() : size();
  SetZoom(FitZoom(QSize(picture_->Width(), picture_->Height()), area));
}

void TProImage::SetHalfOffset(bool value) {
  if (state_.HalfOffset == value) return;
  state_.HalfOffset = value;
  StateChanged();
}

void TProImage::SetChannel(TViewState::TChannel value) {
  if (state_.Channel == value) return;
  state_.Channel = value;
  renderer_.SetChannel(value);
  StateChanged();
}

void TProImage::SetAlphaBackground(TViewState::TAlphaBackground value) {
  if (state_.AlphaBackground == value) return;
  state_.AlphaBackground = value;
  StateChanged();
}

void TProImage::SetAlphaColor(TColor value) {
  if (state_.AlphaColor == value) return;
  state_.AlphaColor = value;
  StateChanged();
}

bool TProImage::HasExposure() const { return FloatBitmap(picture_->Graphic()) != nullptr; }

void TProImage::SetExposure(double stops) {
  stops = std::clamp(std::isfinite(stops) ? stops : 0.0, -kMaxExposure, kMaxExposure);
  if (state_.Exposure == static_cast<float>(stops)) return;
  state_.Exposure = static_cast<float>(stops);
  // The picture renders its pixels again and says it changed, which repaints the view.
  if (TBitmap* floats = FloatBitmap(picture_->Graphic())) floats->SetExposure(state_.Exposure);
  StateChanged();
}

void TProImage::Pan(QPointF delta) {
  if (tiled_) {
    state_.TileOffset = Geometry().WrapTileOffset(state_.TileOffset + delta);
    StateChanged();
  } else if (Host()) {
    QScrollBar* h = Host()->horizontalScrollBar();
    QScrollBar* v = Host()->verticalScrollBar();
    h->setValue(h->value() - static_cast<int>(std::lround(delta.x())));
    v->setValue(v->value() - static_cast<int>(std::lround(delta.y())));
  }
}

void TProImage::StateChanged() {
  if (!drawing_) update();
  if (underMouse()) UpdateHover(mapFromGlobal(QCursor::pos()));
  emit ViewChanged();
}

void TProImage::SetBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  ApplyAlign();
}

const QImage& TProImage::Image() {
  if (imageStale_) {
    const TGraphic* graphic = picture_->Graphic();
    if (const auto* metafile = dynamic_cast<const TMetafile*>(graphic)) {
      bool complete = true;
      image_ = RenderMetafile(*metafile, metafile->Width(), metafile->Height(), &complete);
      MetafileDrawn(complete);
    } else {
      image_ = graphic ? GraphicToQImage(*graphic) : QImage();
    }
    renderer_.SetSource(image_);
    renderer_.SetNormalLayout(graphic ? graphic->NormalLayout() : TNormalLayout{});
    imageStale_ = false;
  }
  return image_;
}

void TProImage::paintEvent(QPaintEvent* event) {
  const bool savedDrawing = drawing_;
  drawing_ = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{drawing_, savedDrawing};

  const TViewGeometry geometry = Geometry();
  if (geometry.Empty() || width() <= 0 || height() <= 0) return;
  QPainter painter(this);
  const QRect exposed = event->rect();
  painter.setClipRect(exposed);
  PaintBackground(painter, geometry, exposed);
  PaintContent(painter, geometry, exposed);
  PaintOverlay(painter, geometry, exposed);
}

void TProImage::PaintBackground(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed) {
  if (metafile_) {
    // Colour-keyed pictures and metafiles keep the framework's look: their tiles lie on
    // white, and elsewhere what lies around and behind them is the parent's.
    if (geometry.Mode == TViewMode::Tiled) painter.fillRect(exposed, Qt::white);
    return;
  }
  const QImage& image = Image();
  if (image.isNull() || !image.hasAlphaChannel()) return;
  const TGraphic* graphic = picture_->Graphic();
  // A picture's own alpha lies over the backdrop the user chose, while the channel shows it.
  if (!graphic->Transparent()) {
    if (renderer_.SeeThrough()) {
      const QRect area = geometry.Mode == TViewMode::Tiled ? exposed : geometry.DestRect().intersected(exposed);
      const QColor window = Host() ? ColorToQColor(Host()->Color()) : palette().color(QPalette::Window);
      TViewRenderer::PaintBackdrop(painter, area, state_.AlphaBackground, ColorToQColor(state_.AlphaColor), window);
    }
    return;
  }
  // Colour-keyed pictures keep the framework's look: their tiles lie on white, and
  // elsewhere what lies around and behind them is the parent's.
  if (geometry.Mode == TViewMode::Tiled) painter.fillRect(exposed, Qt::white);
}

void TProImage::PaintContent(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed) {
  if (metafile_ && geometry.Mode != TViewMode::Tiled) {
    MetafileDrawn(DrawMetafile(painter, *metafile_, geometry.DestRect()));
    return;
  }
  if (metafile_) {
    const QRectF tile = geometry.PictureRect();
    if (tile.width() * tile.height() > static_cast<double>(width()) * height()) {
      PaintMetafileTiles(painter, geometry, exposed);
      return;
    }
  }
  if (Image().isNull()) return;
  renderer_.Paint(painter, geometry, exposed);
}

void TProImage::PaintMetafileTiles(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed) {
  const QRectF first = geometry.PictureRect();
  if (first.width() < 1 || first.height() < 1) return;
  bool complete = true;
  for (double y = first.top(); y < exposed.bottom() + 1; y += first.height()) {
    if (y + first.height() <= exposed.top()) continue;
    for (double x = first.left(); x < exposed.right() + 1; x += first.width()) {
      if (x + first.width() <= exposed.left()) continue;
      // The painter's clip is the exposed area, so each play draws only what is seen.
      complete = DrawMetafile(painter, *metafile_, QRectF(x, y, first.width(), first.height())) && complete;
    }
  }
  MetafileDrawn(complete);
}

void TProImage::MetafileDrawn(bool complete) {
  if (complete || drawingIncomplete_) return;
  drawingIncomplete_ = true;
  // Not from inside the paint: the status line repaints on its own turn.
  QMetaObject::invokeMethod(this, [this] { emit ViewChanged(); }, Qt::QueuedConnection);
}

void TProImage::PaintOverlay(QPainter&, const TViewGeometry&, const QRect&) {}

void TProImage::PictureChanged() {
  const int pw = picture_->Width(), ph = picture_->Height();
  metafile_ = dynamic_cast<const TMetafile*>(picture_->Graphic());
  drawingIncomplete_ = false;
  const TViewGeometry geometry = Geometry();
  if (autoSize_ && pw > 0 && ph > 0) {
    const QSize content = geometry.ContentSize();
    SetBounds(x(), y(), content.width(), content.height());
  }
  if (TGraphic* graphic = picture_->Graphic()) {
    graphic->SetTransparent(transparent_);
    // Alpha of the picture's own (icons) is see-through as well: marked opaque, the parent
    // would not paint behind it and the previous picture would show through.
    const TBitmap* drawn = graphic->DrawBitmap();
    // So is a metafile, which paints only its shapes.
    const bool seeThrough = graphic->Transparent() || (drawn && drawn->AlphaChannel()) || metafile_;
    const QSize shown = tiled_ ? QSize(pw, ph) : geometry.ContentSize();
    const bool opaque = !seeThrough && (stretch_ || (shown.width() >= width() && shown.height() >= height()));
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    // A repaint from inside paintEvent would recurse; a queued one does the same job.
    if (DoPaletteRealize() && drawing_) update();
  } else {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
  }
  if (!drawing_) update();
  emit ViewChanged();
}

bool TProImage::DoPaletteRealize() {
  TGraphic* graphic = picture_->Graphic();
  const bool visible = parentWidget() ? isVisibleTo(parentWidget()) : !isHidden();
  if (!visible || !graphic || !graphic->PaletteModified()) return false;
  if (!graphic->HasPalette()) {
    graphic->SetPaletteModified(false);
    return false;
  }
  QWidget* form = window();
  if (form && form->isActiveWindow() && form->windowHandle()) {
    if (drawing_) {
      QEvent query(static_cast<QEvent::Type>(kQueryNewPaletteEvent));
      QCoreApplication::sendEvent(form, &query);
    } else {
      QCoreApplication::postEvent(form, new QEvent(static_cast<QEvent::Type>(kQueryNewPaletteEvent)));
    }
    graphic->SetPaletteModified(false);
    return true;
  }
  return false;
}

void TProImage::Progress(void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow, const TRect& R,
                         const std::string& Msg) {
  if (incrementalDisplay_ && RedrawNow && !drawing_) {
    DoPaletteRealize();
    repaint();
  }
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TProImage::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  MouseEnter();
}

void TProImage::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (hovered_) {
    hovered_.reset();
    emit HoverChanged();
  }
  MouseLeave();
}

void TProImage::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TProImage::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TProImage::UpdateHover(const QPointF& position) {
  const std::optional<QPoint> pixel = metafile_ ? std::nullopt : Geometry().PixelAt(position);
  if (pixel == hovered_) return;
  hovered_ = pixel;
  emit HoverChanged();
}

void TProImage::wheelEvent(QWheelEvent* event) {
  if (!Zoomable() || picture_->Width() <= 0) {
    event->ignore();
    return;
  }
  // A zoom step per whole notch.
  for (int notches = wheelNotches_.Take(event->angleDelta().y()); notches != 0;) {
    const int direction = notches > 0 ? 1 : -1;
    notches -= direction;
    ZoomAbout(NextZoomStep(state_.Zoom, direction), event->position());
  }
  event->accept();
}

void TProImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragFrom_ = event->globalPosition();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TProImage::mouseMoveEvent(QMouseEvent* event) {
  if (dragFrom_ && (event->buttons() & Qt::LeftButton)) {
    const QPointF now = event->globalPosition();
    Pan(now - *dragFrom_);
    dragFrom_ = now;
  }
  UpdateHover(event->position());
  QWidget::mouseMoveEvent(event);
}

void TProImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && dragFrom_) {
    dragFrom_.reset();
    unsetCursor();
    event->accept();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void TProImage::keyPressEvent(QKeyEvent* event) {
  if (const std::optional<QPointF> pan = ArrowKeyPan(event->key())) {
    Pan(*pan);
    event->accept();
    return;
  }
  switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_BracketLeft: emit ImageStepRequested(-1); break;
    case Qt::Key_PageDown:
    case Qt::Key_BracketRight: emit ImageStepRequested(1); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: SetExposure(state_.Exposure + kExposureStep); break;
    case Qt::Key_Minus: SetExposure(state_.Exposure - kExposureStep); break;
    case Qt::Key_Asterisk: SetExposure(0.0); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void TProImage::WatchParent() {
  // A scroll box lays out its content itself; only a plain parent is watched for its size.
  QWidget* watched = Host() ? nullptr : parentWidget();
  if (watchedParent_ == watched) return;
  if (watchedParent_) watchedParent_->removeEventFilter(this);
  watchedParent_ = watched;
  if (watchedParent_) watchedParent_->installEventFilter(this);
}

bool TProImage::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) {
    WatchParent();
    ApplyAlign();
  }
  return QWidget::event(event);
}

bool TProImage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watchedParent_ && event->type() == QEvent::Resize) ApplyAlign();
  return QWidget::eventFilter(watched, event);
}

void TProImage::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (!aligning_) RealignInHost();
}

void TProImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!aligning_) RealignInHost();
}

QRect TProImage::AlignedBounds(const QRect& client) const {
  switch (align_) {
    case alClient: return client;
    case alTop: return QRect(client.left(), client.top(), client.width(), height());
    case alBottom: return QRect(client.left(), client.bottom() + 1 - height(), client.width(), height());
    case alLeft: return QRect(client.left(), client.top(), width(), client.height());
    case alRight: return QRect(client.right() + 1 - width(), client.top(), width(), client.height());
    case alNone: break;
  }
  return geometry();
}

QRect TProImage::ContentBounds(const QRect& visible) const { return AlignedBounds(visible); }

void TProImage::ApplyAlign() {
  if (aligning_) return;
  aligning_ = true;
  WatchParent();
  if (!RealignInHost() && align_ != alNone && parentWidget()) setGeometry(AlignedBounds(parentWidget()->contentsRect()));
  aligning_ = false;
}

}  // namespace vumo
