// The line under the image view: the pixel under the cursor and its stored value, the
// picture's size, depth and format, the zoom, the channel, which of the file's images is shown
// and the exposure of float pictures.
#pragma once

#include <QLabel>
#include <QWidget>

namespace vumo {

class TViewStatusBar : public QWidget {
  Q_OBJECT

 public:
  explicit TViewStatusBar(QWidget* parent = nullptr);

  void SetPixel(const QString& text);
  void SetPicture(const QString& text);
  void SetView(const QString& text);

  QString PixelText() const { return pixel_->text(); }
  QString PictureText() const { return picture_->text(); }
  QString ViewText() const { return view_->text(); }

 private:
  QLabel* pixel_;
  QLabel* picture_;
  QLabel* view_;
};

}  // namespace vumo
