// What the QOI fixtures cannot show: every op against a writer of our own, files cut short
// or promising more pixels than they can hold, and headers the format does not have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/qoi.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Bytes Header(std::uint32_t width, std::uint32_t height, std::uint8_t channels = 4, std::uint8_t space = 0) {
  Bytes b = {'q', 'o', 'i', 'f'};
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
  b.push_back(channels), b.push_back(space);
  return b;
}

Bytes WithEnd(Bytes b) {
  b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 1});
  return b;
}

TEST(QOIGraphic, EveryOpGivesItsPixel) {
  Bytes b = Header(8, 1);
  b.insert(b.end(), {0xFF, 10, 20, 30, 128});  // RGBA
  b.push_back(0x40 | 3 << 4 | 1 << 2 | 2);      // DIFF +1, -1, 0
  b.insert(b.end(), {0x80 | 40, 0x3C});         // LUMA dg +8, dr-dg -5, db-dg +4
  b.insert(b.end(), {0xFE, 1, 2, 3});           // RGB keeps alpha
  b.push_back(0xC0 | 1);                        // RUN of 2
  // INDEX: the first pixel's slot, (10*3 + 20*5 + 30*7 + 128*11) % 64.
  b.push_back(static_cast<std::uint8_t>((10 * 3 + 20 * 5 + 30 * 7 + 128 * 11) % 64));
  b.push_back(0x40 | 2 << 4 | 2 << 2 | 2);  // DIFF 0: the same again
  TQOIGraphic qoi;
  const auto image = DecodeWith(WithEnd(b), &qoi);
  const std::vector<std::uint8_t> expected = {
      10, 20, 30, 128, 11, 19, 30, 128, 14, 27, 42, 128, 1, 2, 3, 128,
      1,  2,  3,  128, 1,  2,  3,  128, 10, 20, 30, 128, 10, 20, 30, 128,
  };
  EXPECT_EQ(image.pixels, expected);
  EXPECT_EQ(qoi.PixelFormat(), pf32bit);
  EXPECT_EQ(qoi.FormatDescription(), "QOI RGBA, sRGB");
  // Three channels: the samples stay, the alpha goes.
  Bytes rgb = Header(1, 1, 3, 1);
  rgb.insert(rgb.end(), {0xFE, 7, 8, 9});
  TQOIGraphic three;
  EXPECT_EQ(DecodeWith(WithEnd(rgb), &three).pixels, (std::vector<std::uint8_t>{7, 8, 9, 255}));
  EXPECT_EQ(three.PixelFormat(), pf24bit);
}

TEST(QOIGraphic, FilesThatCannotHoldTheirPixelsAreRefused) {
  Bytes b = Header(4, 1);
  b.insert(b.end(), {0xFF, 1, 2, 3, 4, 0xC0 | 2});
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(b)), "");
  // Cut inside an op, and before the last pixel.
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(Bytes(b.begin(), b.end() - 3)), kStreamReadError);
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(Bytes(b.begin(), b.end() - 1)), kStreamReadError);
  // Even runs could not code this many pixels in so few bytes: a quarter of a gigapixel is a
  // bomb, a smaller picture a file cut short.
  Bytes bomb = Header(16384, 16384);
  bomb.insert(bomb.end(), 64, 0xFD);
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(bomb)),
            "Cannot load image. The picture is too large for its file (16384 x 16384 pixels from 86 bytes).");
  Bytes cut = Header(1000, 1000);
  cut.insert(cut.end(), 64, 0xFD);
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(cut)), kStreamReadError);
  TQOIGraphic trusting;  // as the viewer loads it after its question
  trusting.RefuseTooLargeForFile = false;
  const Bytes trusted = WithEnd(bomb);
  TMemoryStream stream(trusted.data(), trusted.size());
  EXPECT_THROW(trusting.LoadFromStream(stream), EReadError);
  EXPECT_TRUE(trusting.Empty());
  const std::string invalid = "Cannot load image. Invalid or unexpected QOI image format.";
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(Header(1, 1, 2))), invalid);
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(Header(1, 1, 4, 2))), invalid);
  EXPECT_EQ(LoadErrorWith<TQOIGraphic>(WithEnd(Header(0, 1))), invalid);
}

}  // namespace
}  // namespace vumo
