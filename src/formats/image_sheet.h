// The layout of a sheet that shows every image of a file in one picture: where each image and
// each label goes. Nothing is drawn here, so a layout can be checked by its numbers alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/graphic.h"

namespace vumo {

// At most this many images go on a sheet: a file of thousands of frames shows its first ones
// and says so, rather than loading them all.
inline constexpr unsigned kMaxSheetImages = 256;

// One image to lay out: its index in the file, what it is, its size.
struct TSheetImage {
  unsigned Index = 0;
  TImagePlace Place;
  std::uint32_t Width = 0, Height = 0;
};

// The room a label takes, which the drawing keeps to: one line of text LabelHeight pixels
// high, as wide as TextWidth says (by default CharWidth a character and a little room).
struct TSheetLook {
  int Margin = 8;
  int Gap = 8;
  int LabelHeight = 16;
  int CharWidth = 7;
  std::function<int(const std::string&)> TextWidth;
};

struct TSheetLabel {
  std::string Text;
  TRect Box;
};

struct TSheetCell {
  unsigned Index = 0;  // of the image in its file
  TRect Box;           // the image at its own size
};

struct TSheetPlan {
  std::uint32_t Width = 0, Height = 0;
  std::vector<TSheetCell> Cells;
  std::vector<TSheetLabel> Labels;
};

// Mip levels go in a strip at their own sizes, one strip a layer or face (or, for a volume,
// one a level, its slices side by side); the six faces of a cube map without levels make a
// cross, one a layer; anything else (layers, slices, pages, frames, entries) a grid with
// their numbers. `images` are in index order, composites left out; `total` is how many the
// file holds, and a heading says so when fewer are shown. Raises EInvalidGraphic when the
// sheet would pass the image size limits.
TSheetPlan PlanImageSheet(const std::vector<TSheetImage>& images, unsigned total, const TSheetLook& look = {});

}  // namespace vumo
