// Pictures built in memory for the shell's tests.
#pragma once

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "formats/bitmap.h"
#include "formats/picture.h"

namespace vumo::test {

// A 24- or 32-bit bitmap whose pixel (x, y) fill(pixel, x, y) writes, in the bitmap's own byte
// order (blue, green, red, then alpha); the bytes it leaves alone stay zero.
inline TBitmap FillBitmap(TPixelFormat format, int width, int height,
                          const std::function<void(std::uint8_t*, int, int)>& fill) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(width, height);
  const int bytes = format == pf32bit ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) fill(row + bytes * x, x, y);
  }
  return bitmap;
}

// A 24-bit bitmap whose pixel (x, y) has the colour colourAt(x, y) (0xRRGGBB).
inline TBitmap MakeBitmap(int width, int height, const std::function<unsigned(int, int)>& colourAt) {
  return FillBitmap(pf24bit, width, height, [&colourAt](std::uint8_t* pixel, int x, int y) {
    const unsigned rgb = colourAt(x, y);
    pixel[0] = static_cast<std::uint8_t>(rgb);
    pixel[1] = static_cast<std::uint8_t>(rgb >> 8);
    pixel[2] = static_cast<std::uint8_t>(rgb >> 16);
  });
}

// The colour of PositionBitmap's pixel (x, y): red = x, green = y (each modulo 256), blue 0x80.
inline unsigned PositionColour(int x, int y) {
  return (static_cast<unsigned>(x & 0xFF) << 16) | (static_cast<unsigned>(y & 0xFF) << 8) | 0x80u;
}

// A picture whose every pixel tells where in the picture it is.
inline TBitmap PositionBitmap(int width, int height) { return MakeBitmap(width, height, PositionColour); }

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
