// A thin bar that changes the width of the control on its left when dragged.
#pragma once

#include <QWidget>

namespace vumo {

class TSplitter : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int MinSize READ MinSize WRITE SetMinSize)

 public:
  explicit TSplitter(QWidget* parent = nullptr);

  // The control whose width the splitter changes.
  QWidget* Control() const { return control_; }
  void SetControl(QWidget* value) { control_ = value; }
  // Neither the control nor what is left beside it gets narrower than this.
  int MinSize() const { return minSize_; }
  void SetMinSize(int value) { minSize_ = std::max(0, value); }

 signals:
  void Moved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QWidget* control_ = nullptr;
  int minSize_ = 30;
  bool dragging_ = false;
  int grabX_ = 0;
  int startWidth_ = 0;
};

}  // namespace vumo
