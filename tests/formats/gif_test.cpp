// What the fixtures of tests/data/gif cannot show: an animation's frames composed with each
// disposal, interlaced rows, frames off the screen, and streams and files cut short. The
// files are written here, their LZW as literal codes with a clear before the width grows.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "formats/gif.h"
#include "formats/messages.h"
#include "support/literal_lzw.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;
using TColour = std::array<std::uint8_t, 3>;

struct TFrameLayout {
  unsigned left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint8_t> indices;  // rows top to bottom
  int transparent = -1;
  unsigned disposal = 0;
  bool interlaced = false;
  std::vector<TColour> local;
};

const std::vector<TColour> kPalette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutTable(Bytes& b, const std::vector<TColour>& table) {
  for (const TColour& c : table) b.insert(b.end(), c.begin(), c.end());
}

// A clear every 254 literal codes keeps the table from reaching ten-bit codes.
constexpr std::size_t kClearEvery = 254;

Bytes WriteGif(unsigned width, unsigned height, const std::vector<TFrameLayout>& frames, bool trailer = true) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, width), Put16(b, height);
  b.push_back(0x80 | 1);  // a global table of 4 entries
  b.push_back(0), b.push_back(0);
  PutTable(b, kPalette);
  for (const TFrameLayout& f : frames) {
    b.insert(b.end(), {0x21, 0xF9, 4});
    b.push_back(static_cast<std::uint8_t>((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0)));
    Put16(b, 10);
    b.push_back(static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0));
    b.push_back(0);
    b.push_back(0x2C);
    Put16(b, f.left), Put16(b, f.top), Put16(b, f.width), Put16(b, f.height);
    b.push_back(static_cast<std::uint8_t>((f.interlaced ? 0x40 : 0) | (f.local.empty() ? 0 : 0x80 | 1)));
    PutTable(b, f.local);
    std::vector<std::uint8_t> stored;
    if (f.interlaced) {
      static constexpr unsigned kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (unsigned y = kStart[pass]; y < f.height; y += kStep[pass])
          stored.insert(stored.end(), f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
    } else {
      stored = f.indices;
    }
    b.push_back(8);
    const Bytes data = LiteralLZW(stored, kClearEvery);
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - at);
      b.push_back(static_cast<std::uint8_t>(n));
      b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    b.push_back(0);
  }
  if (trailer) b.push_back(0x3B);
  return b;
}

TFrameLayout Layout(unsigned left, unsigned top, unsigned w, unsigned h, std::vector<std::uint8_t> indices) {
  TFrameLayout f;
  f.left = left, f.top = top, f.width = w, f.height = h, f.indices = std::move(indices);
  return f;
}

TFrameLayout Solid(unsigned left, unsigned top, unsigned w, unsigned h, std::uint8_t index) {
  return Layout(left, top, w, h, std::vector<std::uint8_t>(w * h, index));
}

test::Rgba8Image Frame(const Bytes& file, unsigned index, TGIFGraphic* keep = nullptr) {
  TGIFGraphic local;
  TGIFGraphic& gif = keep ? *keep : local;
  gif.RequestImage(index);
  return DecodeWith(file, &gif);
}

std::array<int, 4> At(const test::Rgba8Image& image, int x, int y) {
  const std::uint8_t* p = &image.pixels[4 * (static_cast<std::size_t>(y) * image.width + x)];
  return {p[0], p[1], p[2], p[3]};
}

constexpr std::array<int, 4> kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kBlack{0, 0, 0, 255};

TEST(GIFGraphic, AnAnimationsFramesAreComposedWithTheirDisposals) {
  TFrameLayout keep = Solid(0, 0, 8, 8, 1);
  keep.disposal = 1;
  TFrameLayout toBackground = Solid(2, 2, 4, 4, 2);
  toBackground.disposal = 2;
  TFrameLayout toPrevious = Layout(0, 0, 2, 2, {3, 0, 0, 3});
  toPrevious.transparent = 0, toPrevious.disposal = 3;
  const Bytes file = WriteGif(8, 8, {keep, toBackground, toPrevious, Solid(7, 7, 1, 1, 0)});

  TGIFGraphic gif;
  const auto first = Frame(file, 0, &gif);
  EXPECT_EQ(gif.Images(), (TImageSet{4, 0, "frame 1/4"}));
  EXPECT_EQ(gif.FrameDelay(), 10u);
  EXPECT_EQ(At(first, 3, 3), kRed);

  const auto second = Frame(file, 1);
  EXPECT_EQ(At(second, 2, 2), kGreen);
  EXPECT_EQ(At(second, 6, 6), kRed);

  // The green square went back to the transparent screen; the transparent index kept red.
  const auto third = Frame(file, 2);
  EXPECT_EQ(At(third, 3, 3)[3], 0);
  EXPECT_EQ(At(third, 0, 0), kBlue);
  EXPECT_EQ(At(third, 1, 0), kRed);
  EXPECT_EQ(At(third, 1, 1), kBlue);

  // The blue corner was restored to what it covered.
  const auto fourth = Frame(file, 3);
  EXPECT_EQ(At(fourth, 0, 0), kRed);
  EXPECT_EQ(At(fourth, 3, 3)[3], 0);
  EXPECT_EQ(At(fourth, 7, 7), kBlack);

  EXPECT_EQ(LoadErrorWith<TGIFGraphic>(file).empty(), true);
  TGIFGraphic beyond;
  beyond.RequestImage(4);
  TMemoryStream stream(file.data(), file.size());
  EXPECT_THROW(beyond.LoadFromStream(stream), EInvalidGraphic);
}

TEST(GIFGraphic, InterlacedRowsAndLocalTablesLandWhereTheyBelong) {
  TFrameLayout plain = Layout(0, 0, 5, 11, {});
  for (unsigned i = 0; i < 55; ++i) plain.indices.push_back(static_cast<std::uint8_t>(i / 5 % 4));
  TFrameLayout interlaced = plain;
  interlaced.interlaced = true;
  const Bytes plainFile = WriteGif(5, 11, {plain});
  EXPECT_EQ(DecodeWith<TGIFGraphic>(WriteGif(5, 11, {interlaced})).pixels, DecodeWith<TGIFGraphic>(plainFile).pixels);
  // One opaque frame over the whole screen keeps its indices and palette.
  TGIFGraphic gif;
  DecodeWith(plainFile, &gif);
  EXPECT_EQ(gif.PixelFormat(), pf8bit);
  EXPECT_EQ(gif.ScanLine(10)[0], 10 % 4);
  EXPECT_EQ(gif.Images(), (TImageSet{1, 0, ""}));
  // A local table is the frame's own.
  TFrameLayout local = plain;
  local.local = {{9, 9, 9}, {8, 8, 8}, {7, 7, 7}, {6, 6, 6}};
  const auto image = DecodeWith<TGIFGraphic>(WriteGif(5, 11, {local}));
  EXPECT_EQ(At(image, 0, 2), (std::array<int, 4>{7, 7, 7, 255}));
}

TEST(GIFGraphic, FramesAreClippedAndShortStreamsKeepTheirPixels) {
  // Overhanging the screen, and wholly off it.
  const auto clipped = DecodeWith<TGIFGraphic>(WriteGif(4, 4, {Solid(2, 2, 6, 6, 3), Solid(9, 9, 2, 2, 1)}));
  ASSERT_EQ(clipped.width, 4);
  EXPECT_EQ(At(clipped, 3, 3), kBlue);
  EXPECT_EQ(At(clipped, 1, 1)[3], 0);
  const auto offScreen = Frame(WriteGif(4, 4, {Solid(2, 2, 6, 6, 3), Solid(9, 9, 2, 2, 1)}), 1);
  EXPECT_EQ(At(offScreen, 3, 3), kBlue);

  // A stream that ends before its frame does: the rest stays as the screen was.
  TFrameLayout shortFrame = Solid(0, 0, 4, 4, 2);
  Bytes file = WriteGif(4, 4, {Solid(0, 0, 4, 4, 1), shortFrame});
  const Bytes full = LiteralLZW(shortFrame.indices, kClearEvery),
              cut = LiteralLZW(std::vector<std::uint8_t>(6, 2), kClearEvery);
  const std::size_t at = file.size() - 1 - 1 - full.size();
  ASSERT_EQ(file[at - 1], full.size());
  file.erase(file.begin() + static_cast<std::ptrdiff_t>(at - 1), file.end() - 1);
  file.insert(file.end() - 1, static_cast<std::uint8_t>(cut.size()));
  file.insert(file.end() - 1, cut.begin(), cut.end());
  file.insert(file.end() - 1, 0);
  const auto partial = Frame(file, 1);
  EXPECT_EQ(At(partial, 1, 1), kGreen);
  EXPECT_EQ(At(partial, 3, 3), kRed);
}

TEST(GIFGraphic, FilesCutShortFailAndAMissingTrailerDoesNot) {
  const Bytes whole = WriteGif(4, 4, {Solid(0, 0, 4, 4, 1)}, false);
  EXPECT_EQ(LoadErrorWith<TGIFGraphic>(whole), "");
  for (std::size_t keep : {std::size_t{14}, std::size_t{30}, whole.size() - 2})
    EXPECT_EQ(LoadErrorWith<TGIFGraphic>(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep))),
              kStreamReadError)
        << keep;
  // A frame far beyond what any picture may hold is refused before anything is allocated.
  EXPECT_NE(LoadErrorWith<TGIFGraphic>(WriteGif(4, 4, {Layout(0, 0, 65535, 65535, {1})})), "");
  // No frame at all.
  EXPECT_EQ(LoadErrorWith<TGIFGraphic>(WriteGif(4, 4, {})), "Cannot load image. Invalid or unexpected GIF image format.");
}

}  // namespace
}  // namespace vumo
