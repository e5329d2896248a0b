// Two pictures looked at together: side by side, flickering in place, split by a divider, or
// as their difference. Zoom, channel, backdrop and exposure are the main view's own (its keys
// and menus keep working), so both pictures always share them; the pan is one value for both.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "formats/compare_source.h"
#include "formats/picture.h"
#include "shell/view_geometry.h"
#include "shell/view_renderer.h"

namespace vumo {

class TProImage;

class TCompareView : public QWidget {
  Q_OBJECT

 public:
  enum TMode { cmSideBySide, cmFlicker, cmSplit, cmDifference, cmMarked };
  Q_ENUM(TMode)

  // The thresholds the marked view steps through, in 0..255 steps of the largest channel.
  static constexpr int kThresholds[] = {0, 4, 16, 64};

  // `leader` is the main view whose zoom, channel, backdrop and exposure this one follows.
  explicit TCompareView(TProImage* leader, QWidget* parent = nullptr);
  ~TCompareView() override;

  // Loads image `index` of both files (a mip level, layer, face or page); raises the readers'
  // errors and leaves the view as it was then.
  void Open(const QString& fileA, const QString& fileB, unsigned index = 0);
  // Which image of the files is compared, and how many of them both files hold.
  unsigned ImageIndex() const { return index_; }
  unsigned ImageCount() const;
  // Compares the next (direction > 0) or the previous image of both files, keeping the mode,
  // zoom and pan; false, with nothing changed, past the images both hold.
  bool StepImage(int direction);
  // Lets the pictures go.
  void Clear();
  bool Empty() const { return !pictureA_; }
  const QString& FileA() const { return fileA_; }
  const QString& FileB() const { return fileB_; }

  TMode Mode() const { return mode_; }
  void SetMode(TMode mode);
  // Flicker shows B instead of A; side by side and split put B on the left.
  bool Swapped() const { return swapped_; }
  void Swap();
  int Amplify() const { return amplify_; }
  void SetAmplify(int factor);
  // The next factor of kAmplifyFactors, round again after the last.
  void StepAmplify();
  int Threshold() const { return threshold_; }
  void SetThreshold(int threshold);
  void StepThreshold();
  // The divider's place across the view, 0..1.
  double SplitPosition() const { return split_; }
  void SetSplitPosition(double position);

  const TCompareResult& Result() const { return result_; }
  // "[A | B]   max 3   differing 2661 (86.6%)   PSNR 42.13 dB   SSIM 0.9856", with the sizes when
  // they differ.
  QString FiguresText() const;
  // Both stored values under the cursor, or empty off the pictures.
  QString ReadoutText() const;
  std::optional<QPoint> HoveredPixel() const { return hovered_; }

  // The panes pictures are drawn in: two side by side, one otherwise.
  int PaneCount() const { return mode_ == cmSideBySide ? 2 : 1; }
  QRect PaneRect(int pane) const;
  // The geometry of a pane's picture, in coordinates whose origin is ImageOrigin(pane).
  TViewGeometry Geometry(int pane) const;
  QPointF ImageOrigin(int pane) const;
  double Zoom() const;
  QPointF Pan() const { return pan_; }
  void SetPan(QPointF pan);
  // The picture pixel under a point of the control, in any pane.
  std::optional<QPoint> PixelAt(const QPointF& point) const;
  // The height of the line of figures above the panes.
  int FiguresHeight() const;

 signals:
  // Mode, swap, amplification, pan or the pictures changed.
  void CompareChanged();
  void HoverChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void LeaderChanged();
  void MakeImages();
  void MakeDifference();
  void Changed();
  void UpdateHover(const QPointF& point);
  // The picture a pane shows in the current mode (0 for A, 1 for B, 2 the difference).
  int PaneShows(int pane) const;
  // The amplification or the threshold: the difference picture is made again at the next paint.
  void SetDifferenceSetting(int& setting, int value);
  // Takes both pictures of image `index` in, keeping the view's mode, zoom and pan. The names
  // are copies: stepping passes the view's own, which taking clears.
  void Take(QString fileA, QString fileB, unsigned index);
  TViewRenderer& RendererFor(int shown);
  QSize SizeOf(int shown) const;
  void PaintPicture(QPainter& painter, int pane, int shown, const QRect& clip);
  int DividerX() const;
  QPointF ClampPan(QPointF pan) const;

  TProImage* leader_;
  std::unique_ptr<TPicture> pictureA_, pictureB_;
  TCompareSource sourceA_, sourceB_;
  TCompareResult result_;
  QString fileA_, fileB_;
  unsigned index_ = 0;
  QImage imageA_, imageB_, difference_;
  bool differenceStale_ = true;
  TViewRenderer rendererA_, rendererB_, rendererDifference_;
  TMode mode_ = cmSideBySide;
  bool swapped_ = false;
  int amplify_ = 4;
  int threshold_ = 0;
  double split_ = 0.5;
  QPointF pan_;
  double zoom_ = 1.0;
  float exposure_ = 0.0f;
  std::optional<QPoint> hovered_;
  std::optional<QPointF> dragFrom_;
  bool draggingDivider_ = false;
  TWheelNotches wheelNotches_;
};

}  // namespace vumo
