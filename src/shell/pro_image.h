// The control that shows the viewer's picture: tiled, stretched, centred or at natural size,
// zoomed, panned, by channel, over a backdrop where it is see-through, and at an exposure.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "formats/picture.h"
#include "settings/colors.h"
#include "shell/scroll_box.h"
#include "shell/view_geometry.h"
#include "shell/view_renderer.h"
#include "shell/view_state.h"

namespace vumo {

class TMetafile;

class TProImage : public QWidget, public TScrolledContent {
  Q_OBJECT

 public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
  Q_ENUM(TAlign)

 private:
  Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(bool Center READ Center WRITE SetCenter)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
  Q_PROPERTY(bool Tiled READ Tiled WRITE SetTiled)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool IncrementalDisplay READ IncrementalDisplay WRITE SetIncrementalDisplay)
  // The view's choices, kept with the other view settings.
  Q_PROPERTY(double Zoom READ Zoom WRITE SetZoom)
  Q_PROPERTY(bool HalfOffset READ HalfOffset WRITE SetHalfOffset)
  Q_PROPERTY(vumo::TViewState::TChannel Channel READ Channel WRITE SetChannel)
  Q_PROPERTY(vumo::TViewState::TAlphaBackground AlphaBackground READ AlphaBackground WRITE SetAlphaBackground)
  Q_PROPERTY(int AlphaColor READ AlphaColor WRITE SetAlphaColor)
  Q_PROPERTY(double Exposure READ Exposure WRITE SetExposure)

 public:
  explicit TProImage(QWidget* parent = nullptr);
  ~TProImage() override;

  TPicture* Picture() const { return picture_.get(); }
  // Copies the given picture; the copy raises the picture's change notification.
  void SetPicture(const TPicture& value);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Tiled() const { return tiled_; }
  void SetTiled(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool IncrementalDisplay() const { return incrementalDisplay_; }
  void SetIncrementalDisplay(bool value) { incrementalDisplay_ = value; }

  const TViewState& State() const { return state_; }
  double Zoom() const { return state_.Zoom; }
  // Zooms keeping the picture point under `anchor` (control coordinates; the centre of the
  // visible area when not given) where it is. Clamped to the zoom limits.
  void SetZoom(double value) { ZoomAbout(value, std::nullopt); }
  void ZoomAbout(double value, std::optional<QPointF> anchor);
  void ZoomStep(int direction);
  void ZoomToFit();
  // Whether zoom means anything in the current mode (it does not for stretched pictures).
  bool Zoomable() const { return !stretch_ || tiled_; }
  bool HalfOffset() const { return state_.HalfOffset; }
  void SetHalfOffset(bool value);
  TViewState::TChannel Channel() const { return state_.Channel; }
  void SetChannel(TViewState::TChannel value);
  TViewState::TAlphaBackground AlphaBackground() const { return state_.AlphaBackground; }
  void SetAlphaBackground(TViewState::TAlphaBackground value);
  // A framework colour value ($00BBGGRR).
  TColor AlphaColor() const { return state_.AlphaColor; }
  void SetAlphaColor(TColor value);
  double Exposure() const { return state_.Exposure; }
  void SetExposure(double stops);
  // Whether the picture has float samples that an exposure changes.
  bool HasExposure() const;
  // A metafile whose drawing stopped at its budget of work: what is shown is incomplete.
  bool DrawingIncomplete() const { return drawingIncomplete_; }
  // Moves the view by `delta` screen pixels: the tiling in tiled mode, the scroll box else.
  void Pan(QPointF delta);

  // The view as a plain value: the picture's and the control's sizes, the mode and the zoom.
  TViewGeometry Geometry() const;
  // Where the picture goes when it is not tiled, in the control's coordinates.
  QRect DestRect() const { return Geometry().DestRect(); }
  // The picture pixel last under the mouse, if any.
  std::optional<QPoint> HoveredPixel() const { return hovered_; }

  // Sets position and size together, then lets the alignment put the control back.
  void SetBounds(int left, int top, int width, int height);

  // Its place in a scroll box: the visible area when aligned, its own bounds otherwise.
  QRect ContentBounds(const QRect& visible) const override;
  QWidget* ContentWidget() override { return this; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TProgressEvent OnProgress;

 signals:
  // Zoom, offset, channel, background, exposure or the picture changed.
  void ViewChanged();
  // The mouse moved over another picture pixel, or off the picture.
  void HoverChanged();
  // The keys that step through a file's images, pressed while the view has the focus.
  void ImageStepRequested(int direction);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void Progress(void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg);

 private:
  // Painting in passes, each clipped to the exposed rectangle: what lies behind the picture,
  // the picture, and what is drawn over it.
  void PaintBackground(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed);
  void PaintContent(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed);
  void PaintOverlay(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed);

  void PictureChanged();
  // A drawing option's setter: a new value redraws the picture.
  void SetOption(bool& field, bool value);
  bool DoPaletteRealize();
  void ApplyAlign();
  QRect AlignedBounds(const QRect& client) const;
  void WatchParent();
  void HostChanged() override { WatchParent(); }
  const QImage& Image();
  void UpdateHover(const QPointF& position);
  void StateChanged();
  // The tiling's offset as drawn: the user's pan plus half a tile when asked.
  QPointF DrawnTileOffset(double zoom) const;

  std::unique_ptr<TPicture> picture_;
  TAlign align_ = alNone;
  bool autoSize_ = false;
  bool center_ = false;
  bool stretch_ = false;
  bool tiled_ = false;
  bool transparent_ = false;
  bool incrementalDisplay_ = false;
  bool drawing_ = false;
  bool aligning_ = false;
  QWidget* watchedParent_ = nullptr;
  // The graphic as Qt sees it, made again after each change of the picture.
  QImage image_;
  bool imageStale_ = true;
  // Decided once a change: a metafile is drawn afresh at the size shown, not as pixels.
  const TMetafile* metafile_ = nullptr;
  bool drawingIncomplete_ = false;
  // Notes a metafile drawing's outcome; the first incomplete one tells the status line.
  void MetafileDrawn(bool complete);
  // Tiles of a metafile larger than the control are played where they are seen instead of
  // being rendered whole at their declared size first.
  void PaintMetafileTiles(QPainter& painter, const TViewGeometry& geometry, const QRect& exposed);
  TViewState state_;
  TViewRenderer renderer_;
  std::optional<QPoint> hovered_;
  std::optional<QPointF> dragFrom_;
  TWheelNotches wheelNotches_;
};

// Posted to the window when a picture with a palette asks for it to be realised. True-colour
// displays have nothing to realise, so the window ignores it; it keeps the hand-shake visible.
inline constexpr int kQueryNewPaletteEvent = 1000 + 0x030F;  // QEvent::User + the platform's message number

}  // namespace vumo
