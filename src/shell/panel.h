// Panels: the framework's plain panel and the bevelled panel that frames the About picture.
#pragma once

#include <QWidget>

#include "formats/graphic.h"
#include "settings/colors.h"

namespace vumo {

class TPanel : public QWidget {
  Q_OBJECT

 public:
  enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
  Q_ENUM(TPanelBevel)
  enum TBorderStyle { bsNone, bsSingle };
  Q_ENUM(TBorderStyle)

 private:
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(TPanelBevel BevelOuter READ BevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(TPanelBevel BevelInner READ BevelInner WRITE SetBevelInner)
  Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

 public:
  explicit TPanel(QWidget* parent = nullptr);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  // The window lays its panels out; a panel given a width or height keeps it.
  int Width() const { return width(); }
  void SetWidth(int value);
  int Height() const { return height(); }
  void SetHeight(int value);
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel value);
  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel value);
  int BevelWidth() const { return bevelWidth_; }
  virtual void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment value);

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Draws the panel within its own rectangle.
  virtual void Paint(QPainter& painter);
  // Keeps the children inside the frames (the framework's client rectangle).
  virtual void AdjustClientRect();
  // The width of the frames on each side.
  int FrameWidth() const;
  // A property's setter: a new value is drawn, after the frames are laid out again when it
  // changes their width (`frames`).
  template <typename T>
  void Change(T& field, T value, bool frames = false) {
    if (field == value) return;
    field = value;
    if (frames) AdjustClientRect();
    update();
  }

 private:
  TColor color_ = clBtnFace;
  TPanelBevel bevelOuter_ = bvRaised;
  TPanelBevel bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  QString caption_;
  Qt::Alignment alignment_ = Qt::AlignHCenter;
};

// Sides of a bevel.
enum TBevelSide : unsigned { sdLeft = 1, sdTop = 2, sdRight = 4, sdBottom = 8 };
using TBevelSides = unsigned;
inline constexpr TBevelSides kAllBevelSides = sdLeft | sdTop | sdRight | sdBottom;

// Draws `width` nested one-pixel outlines on the given sides, left and top in topLeft,
// right and bottom in bottomRight, and moves `rect` in past them.
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width,
             TBevelSides sides = kAllBevelSides);

class TProCustomPanel : public TPanel {
  Q_OBJECT

 public:
  enum TVerticalAlignment { vaTop, vaCenter, vaBottom };
  Q_ENUM(TVerticalAlignment)

 private:
  Q_PROPERTY(bool BevelCtl3D READ BevelCtl3D WRITE SetBevelCtl3D)
  Q_PROPERTY(unsigned BevelSides READ BevelSides WRITE SetBevelSides)
  Q_PROPERTY(int BorderColor READ BorderColor WRITE SetBorderColor)
  Q_PROPERTY(TVerticalAlignment VerticalAlignment READ VerticalAlignment WRITE SetVerticalAlignment)

 public:
  explicit TProCustomPanel(QWidget* parent = nullptr);

  bool BevelCtl3D() const { return bevelCtl3D_; }
  void SetBevelCtl3D(bool value);
  TBevelSides BevelSides() const { return bevelSides_; }
  void SetBevelSides(TBevelSides value);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor value);
  TVerticalAlignment VerticalAlignment() const { return verticalAlignment_; }
  void SetVerticalAlignment(TVerticalAlignment value);
  void SetBevelWidth(int value) override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void Paint(QPainter& painter) override;
  void AdjustClientRect() override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void PaintBevel(QPainter& painter, QRect& rect, TPanelBevel bevel);

  bool bevelCtl3D_ = false;
  TBevelSides bevelSides_ = kAllBevelSides;
  TColor borderColor_ = clBtnFace;
  TVerticalAlignment verticalAlignment_ = vaCenter;
};

class TProPanel : public TProCustomPanel {
  Q_OBJECT

 public:
  using TProCustomPanel::TProCustomPanel;
};

}  // namespace vumo
