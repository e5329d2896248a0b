// What the steps of a TIFF directory's load hand one another: the layout checked, the blocks
// planned, a block's decoded planes, and the writer of a block's rows into the bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/tiff.h"
#include "pixels/color_manager.h"
#include "pixels/float_pixels.h"

namespace vumo {

// What the directory's sample layout comes to: how the blocks are coded and how their rows
// become the bitmap's.
struct TTIFFGraphic::TLoadLayout {
  TCompressionType Compression = ctNone;
  unsigned Bits = 0, Samples = 0;
  bool Tiled = false, Fax = false, Planar = false, Floating = false, Reversed = false;
  bool Predictor = false, FloatPredictor = false;  // integer differences, the bytes of floats
  TColorScheme Scheme = csUnknown;                 // as the rows reach the colour manager
  unsigned PlanesUsed = 1, SourceSamples = 0;
  unsigned HSub = 1, VSub = 1;
  bool Subsampled = false;    // YCbCr in cells of hSub x vSub luma samples, then Cb and Cr
  bool PlanarChroma = false;  // YCbCr in planes, Cb and Cr at the subsampled size
  bool Reduce16 = false;    // CMYK and Lab converters neither swap nor scale 16-bit samples
  bool Reduce32 = false;    // 32-bit integer samples are shown by their top 8 bits
  bool LabAlpha = false;    // the Lab converter takes three samples: alpha is set beside them
  bool CompactLab = false;  // Lab with alpha, interleaved
  bool Unpremultiply = false;
  TColorSetup Colors;
  TPixelFormat Format = pf32bit;
};

// The blocks of one plane in the file's order, with the sizes their decoded rows take.
struct TTIFFGraphic::TBlockPlan {
  struct TBlock {
    std::uint32_t X, Y;  // where it lies in the picture
    std::uint32_t Rows;  // as stored
  };
  std::vector<TBlock> Blocks;
  std::vector<std::uint32_t> Offsets, Counts;  // of every plane's blocks
  std::size_t BlockWidth = 0;
  std::size_t RowBytes = 0;       // one decoded row of a block (of one plane when planar)
  std::size_t CellBytes = 0;      // subsampled YCbCr: hSub x vSub luma samples, then Cb and Cr
  std::size_t CellRowBytes = 0;   // a row of cells across the block
  std::size_t ChromaRowBytes = 0;  // planar subsampled YCbCr: a row of a Cb or Cr plane
  // What each plane of a decoded block holds whole: a row of pixels, of cells or of chroma,
  // and the block's rows it covers.
  std::size_t UnitBytes[4] = {}, UnitRows[4] = {1, 1, 1, 1};
  std::size_t DeclaredBytes(std::size_t plane, std::uint32_t rows) const {
    return (rows + UnitRows[plane] - 1) / UnitRows[plane] * UnitBytes[plane];
  }
};

// One block's decoded planes and the rows they hold whole.
struct TTIFFGraphic::TBlockData {
  const std::uint8_t* Planes[4] = {};
  std::size_t RowsReady = 0;
};

// Writes a block's decoded rows to the bitmap (or the float pixels) through the colour
// manager, with whatever each layout needs first: predictors undone, 16- and 32-bit samples
// reduced, subsampled YCbCr spread to full triples, Lab's alpha set beside its colours.
class TTIFFGraphic::TRowWriter {
 public:
  TRowWriter(TTIFFGraphic& graphic, const TLoadLayout& layout, const TBlockPlan& plan);
  void Write(const TBlockPlan::TBlock& block, const TBlockData& data);
  // Hands the float pixels, if any, to the graphic.
  void Finish();

 private:
  TTIFFGraphic& g_;
  const TLoadLayout& l_;
  const TBlockPlan& plan_;
  const int targetBits_;
  // Rows converted from somewhere other than the block: reduced samples, upsampled YCbCr.
  std::vector<std::uint8_t> scratch_;
  std::shared_ptr<TFloatPixels> floats_;
  std::vector<std::uint8_t> floatScratch_;

  void WriteRow(const TBlockPlan::TBlock& block, const TBlockData& data, std::size_t r, std::size_t visibleWidth,
                std::size_t xByte, bool wholeRows);
};

}  // namespace vumo
