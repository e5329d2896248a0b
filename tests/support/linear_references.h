// Float pictures against other programs' decodes kept as 16-bit linear PNGs (which clip at 1).
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

namespace vumo::test {

// Checks the reference's size, then calls `check` with each pixel's position and its red,
// green and blue at 16 bits, until a check fails fatally.
inline void ForEachReferencePixel(const std::string& png, int width, int height,
                                  const std::function<void(int x, int y, const std::uint16_t* rgb)>& check) {
  const QImage reference = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGBX64);
  ASSERT_EQ(reference.width(), width) << png;
  ASSERT_EQ(reference.height(), height) << png;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const std::uint16_t*>(reference.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      check(x, y, row + 4 * x);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace vumo::test
