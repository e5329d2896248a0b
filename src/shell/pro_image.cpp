#include "shell/pro_image.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>

#include "formats/bitmap.h"
#include "formats/metafile.h"
#include "shell/image_convert.h"
#include "shell/qpainter_canvas.h"

namespace vumo {

TProImage::TProImage(QWidget* parent) : QWidget(parent), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](void*) {
    image_ = QImage();  // it may point into the graphic that was just replaced
    imageStale_ = true;
    PictureChanged();
  };
  picture_->OnProgress = [this](void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                                const TRect& R, const std::string& Msg) {
    Progress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
  };
  resize(105, 105);
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

void TProImage::SetCenter(bool value) {
  if (center_ == value) return;
  center_ = value;
  PictureChanged();
}

void TProImage::SetStretch(bool value) {
  if (stretch_ == value) return;
  stretch_ = value;
  PictureChanged();
}

void TProImage::SetTiled(bool value) {
  if (tiled_ == value) return;
  tiled_ = value;
  PictureChanged();
}

void TProImage::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  PictureChanged();
}

TViewGeometry TProImage::Geometry() const {
  TViewGeometry geometry;
  geometry.Picture = QSize(picture_->Width(), picture_->Height());
  geometry.Viewport = size();
  geometry.Mode = tiled_     ? TViewMode::Tiled
                  : stretch_ ? TViewMode::Stretched
                  : center_  ? TViewMode::Centered
                             : TViewMode::Normal;
  return geometry;
}

void TProImage::SetBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
  ApplyAlign();
}

const QImage& TProImage::Image() {
  if (imageStale_) {
    const TGraphic* graphic = picture_->Graphic();
    image_ = graphic ? GraphicToQImage(*graphic) : QImage();
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
  // Tiles lie on white, so see-through parts of a tile show white; elsewhere what lies
  // around and behind the picture is the parent's.
  if (geometry.Mode == TViewMode::Tiled && !Image().isNull()) painter.fillRect(exposed, Qt::white);
}

void TProImage::PaintContent(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed) {
  if (metafile_ && geometry.Mode != TViewMode::Tiled) {
    DrawMetafile(painter, *metafile_, geometry.DestRect());
    return;
  }
  const QImage& image = Image();
  if (image.isNull()) return;
  if (geometry.Mode != TViewMode::Tiled) {
    painter.drawImage(geometry.DestRect(), image);
    return;
  }
  // One textured fill straight onto the control: the brush's pattern starts at the first
  // tile's corner, so every pixel is the picture's pixel at its position modulo the size.
  const QRectF first = geometry.PictureRect();
  painter.setBrushOrigin(first.topLeft());
  painter.fillRect(exposed, QBrush(image));
}

void TProImage::PaintOverlay(QPainter&, const TViewGeometry&, const QRect&) {}

void TProImage::PictureChanged() {
  const int pw = picture_->Width(), ph = picture_->Height();
  metafile_ = dynamic_cast<const TMetafile*>(picture_->Graphic());
  if (autoSize_ && pw > 0 && ph > 0) {
    const QSize content = Geometry().ContentSize();
    SetBounds(x(), y(), content.width(), content.height());
  }
  if (TGraphic* graphic = picture_->Graphic()) {
    graphic->SetTransparent(transparent_);
    // Alpha of the picture's own (icons) is see-through as well: marked opaque, the parent
    // would not paint behind it and the previous picture would show through.
    const TBitmap* drawn = graphic->DrawBitmap();
    // So is a metafile, which paints only its shapes.
    const bool seeThrough = graphic->Transparent() || (drawn && drawn->AlphaChannel()) || metafile_;
    const bool opaque = !seeThrough && (stretch_ || (pw >= width() && ph >= height()));
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    // A repaint from inside paintEvent would recurse; a queued one does the same job.
    if (DoPaletteRealize() && drawing_) update();
  } else {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
  }
  if (!drawing_) update();
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
  MouseLeave();
}

void TProImage::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TProImage::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
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
