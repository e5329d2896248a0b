// Pictures built in memory for the shell's tests.
#pragma once

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "formats/bitmap.h"
#include "formats/picture.h"

namespace vumo::test {

// A 24-bit bitmap whose pixel (x, y) has the colour colourAt(x, y) (0xRRGGBB).
inline TBitmap MakeBitmap(int width, int height, const std::function<unsigned(int, int)>& colourAt) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const unsigned rgb = colourAt(x, y);
      row[3 * x] = static_cast<std::uint8_t>(rgb);
      row[3 * x + 1] = static_cast<std::uint8_t>(rgb >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(rgb >> 16);
    }
  }
  return bitmap;
}

// A picture whose every pixel tells where in the picture it is: red = x, green = y.
inline TBitmap PositionBitmap(int width, int height) {
  return MakeBitmap(width, height, [](int x, int y) {
    return (static_cast<unsigned>(x & 0xFF) << 16) | (static_cast<unsigned>(y & 0xFF) << 8) | 0x80u;
  });
}

// Runs `action` against the next modal window that opens (polled, since a modal dialog
// runs its own event loop and returns only when closed).
inline void OnNextModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(modal);
    }
  });
  timer->start();
}

inline void SetPicture(TPicture& picture, const TGraphic& graphic) { picture.SetGraphic(&graphic); }

// What the widget shows, at one image pixel per widget pixel.
inline QImage Grab(QWidget& widget) {
  QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  image.setDevicePixelRatio(1);
  return image;
}

inline unsigned Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

}  // namespace vumo::test
