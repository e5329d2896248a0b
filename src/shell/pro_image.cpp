#include "shell/pro_image.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>

#include "formats/bitmap.h"
#include "formats/metafile.h"
#include "shell/image_convert.h"
#include "shell/qpainter_canvas.h"

namespace vumo {
namespace {

// Past this many tiles one textured fill replaces the per-tile loop: a 1 x 1 texture on a
// large control would otherwise cost millions of draw calls per paint. The pixels are the
// same, since the brush's pattern also starts at the control's top-left corner.
constexpr qint64 kMaxTileDraws = 4096;

}  // namespace

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
  // The parent may size its client after its children that are not aligned (a scroll box).
  if (QWidget* parent = parentWidget()) {
    QEvent request(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(parent, &request);
  }
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

QRect TProImage::DestRect() const {
  const int w = width(), h = height();
  const int pw = picture_->Width(), ph = picture_->Height();
  if (stretch_) return QRect(0, 0, w, h);
  // C++ division truncates toward zero, so a larger picture is cut evenly on both sides.
  if (center_) return QRect((w - pw) / 2, (h - ph) / 2, pw, ph);
  return QRect(0, 0, pw, ph);
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

void TProImage::paintEvent(QPaintEvent*) {
  const bool savedDrawing = drawing_;
  drawing_ = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{drawing_, savedDrawing};

  // A metafile is drawn afresh at the size it is shown, so a stretched one stays sharp.
  const auto* metafile = dynamic_cast<const TMetafile*>(picture_->Graphic());
  if (metafile && !tiled_ && !metafile->Empty()) {
    QPainter painter(this);
    DrawMetafile(painter, *metafile, DestRect());
    return;
  }
  const QImage& image = Image();
  if (image.isNull()) return;
  QPainter painter(this);
  if (!tiled_) {
    painter.drawImage(DestRect(), image);
    return;
  }
  const int w = width(), h = height();
  const int pw = picture_->Width(), ph = picture_->Height();
  // A graphic without extent would never advance the loops below.
  if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0) return;
  QImage buffer(w, h, QImage::Format_RGB32);
  if (buffer.isNull()) return;
  buffer.fill(Qt::white);
  {
    QPainter composer(&buffer);
    const qint64 tiles = (static_cast<qint64>(w + pw - 1) / pw) * ((h + ph - 1) / ph);
    if (tiles > kMaxTileDraws) {
      composer.fillRect(QRect(0, 0, w, h), QBrush(image));
    } else {
      for (int x = 0; x < w; x += pw)
        for (int y = 0; y < h; y += ph) composer.drawImage(x, y, image);
    }
  }
  painter.drawImage(0, 0, buffer);
}

void TProImage::PictureChanged() {
  const int pw = picture_->Width(), ph = picture_->Height();
  if (autoSize_ && pw > 0 && ph > 0) SetBounds(x(), y(), pw, ph);
  if (TGraphic* graphic = picture_->Graphic()) {
    graphic->SetTransparent(transparent_);
    // Alpha of the picture's own (icons) is see-through as well: marked opaque, the parent
    // would not paint behind it and the previous picture would show through.
    const TBitmap* drawn = graphic->DrawBitmap();
    // So is a metafile, which paints only its shapes.
    const bool seeThrough = graphic->Transparent() || (drawn && drawn->AlphaChannel()) ||
                            dynamic_cast<const TMetafile*>(graphic) != nullptr;
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
  if (watchedParent_ == parentWidget()) return;
  if (watchedParent_) watchedParent_->removeEventFilter(this);
  watchedParent_ = parentWidget();
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

void TProImage::ApplyAlign() {
  QWidget* parent = parentWidget();
  if (align_ == alNone || !parent || aligning_) return;
  aligning_ = true;
  const QRect client = parent->contentsRect();
  QRect bounds = geometry();
  switch (align_) {
    case alClient: bounds = client; break;
    case alTop: bounds = QRect(client.left(), client.top(), client.width(), height()); break;
    case alBottom: bounds = QRect(client.left(), client.bottom() + 1 - height(), client.width(), height()); break;
    case alLeft: bounds = QRect(client.left(), client.top(), width(), client.height()); break;
    case alRight: bounds = QRect(client.right() + 1 - width(), client.top(), width(), client.height()); break;
    case alNone: break;
  }
  setGeometry(bounds);
  aligning_ = false;
}

}  // namespace vumo
