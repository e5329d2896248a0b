// The scroll box: a client area in the framework's colour that scrolls when its content
// reaches past the visible area; content aligned to the box follows the visible area.
#pragma once

#include <QScrollArea>

#include "settings/colors.h"

namespace vumo {

// What a scroll box lays out, told once by whoever places it there.
class TScrolledContent {
 public:
  virtual ~TScrolledContent();
  // The content's bounds in a client whose visible part is `visible`: the visible area
  // itself (or an edge of it) when aligned, else its own bounds, which the client grows to
  // hold. An empty rectangle takes no room.
  virtual QRect ContentBounds(const QRect& visible) const = 0;
  virtual QWidget* ContentWidget() = 0;

 protected:
  // Told when a box takes the content or lets it go.
  virtual void HostChanged() {}
  // Asks the box that holds this content to lay it out again; false when no box holds it.
  bool RealignInHost();
  class TScrollBox* Host() const { return host_; }

 private:
  friend class TScrollBox;
  class TScrollBox* host_ = nullptr;
};

class TScrollBox : public QScrollArea {
  Q_OBJECT
  Q_PROPERTY(int Color READ Color WRITE SetColor)

 public:
  explicit TScrollBox(QWidget* parent = nullptr);
  ~TScrollBox() override;

  // The parent for the box's children.
  QWidget* Client() const { return widget(); }
  // The one child the box lays out; it must be a child of Client().
  void SetContent(TScrolledContent* content);
  TScrolledContent* Content() const { return content_; }

  TColor Color() const { return color_; }
  void SetColor(TColor value);

  // Places the content and sizes the client to cover both the visible area and the
  // content. The content calls it whenever its bounds may have changed.
  void Realign();
  // Scrolls so that `clientPoint` of the client shows at `viewportPoint` of the visible area,
  // as far as the scroll bars reach.
  void ScrollClientPointTo(QPointF clientPoint, QPointF viewportPoint);

 protected:
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class TScrolledContent;

  TColor color_ = clBtnFace;
  TScrolledContent* content_ = nullptr;
  bool realigning_ = false;
};

}  // namespace vumo
