// The sheet of all of a file's images drawn as one picture, for the window's sheet view and
// vumo-convert --sheet alike.
#pragma once

#include <QImage>
#include <string>

#include "formats/bitmap.h"
#include "formats/bitmap_export.h"
#include "formats/image_sheet.h"

namespace vumo {

struct TImageSheet {
  QImage Image;         // opaque: the images over a dark grey, labelled
  unsigned Shown = 0;   // images on the sheet
  unsigned Total = 0;   // images the file holds, a cube map's cross left out
};

// Loads each image of the file by its index, as the viewer does, and draws them on one
// sheet. Raises the readers' error when the first image fails; a later one that fails ends
// the sheet there, as do the image cap (kMaxSheetImages) and a sum of pixels no sheet could
// hold, and the sheet's heading says how many it shows. Raises EInvalidGraphic when the
// sheet would pass the image size limits.
TImageSheet RenderImageSheet(const std::string& fileName);

// Draws a plan: each cell's image from `images` by its index (a null image leaves its cell
// empty), each label over a dark box so it reads on any picture.
QImage DrawImageSheet(const TSheetPlan& plan, const std::vector<QImage>& images, int labelHeight);

// The look the drawing keeps to: the label font's line and its widths of text.
TSheetLook SheetLook();

// An opaque 32-bit bitmap of the sheet, for the view.
void SheetToBitmap(const QImage& sheet, TBitmap& bitmap);
// The sheet as an 8-bit RGBA PNG, a row at a time.
void EncodeSheetPng(const QImage& sheet, const TByteSink& sink);

}  // namespace vumo
