// A block's rows into the bitmap: the predictors undone, samples reduced or spread to full
// triples as the layout asks, then the colour manager's conversion.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#include "formats/tiff_load.h"
#include "pixels/byte_order.h"
#include "pixels/decoders.h"
#include "pixels/image_limits.h"
#include "pixels/row_kernels.h"

namespace vumo {
namespace {

// Undoes horizontal differencing on one row of `count` samples, each adding the one
// `stride` samples before it; 16- and 32-bit samples in the file's byte order.
void UndoPredictor(std::uint8_t* row, std::size_t count, std::size_t stride, unsigned bits, bool bigEndian) {
  if (bits == 8) {
    if (stride == 3 && count >= 3) {
      // The running sums stay in registers instead of being read back from the row.
      std::uint8_t r = row[0], g = row[1], b = row[2];
      for (std::size_t i = 3; i + 2 < count; i += 3) {
        row[i] = r = static_cast<std::uint8_t>(r + row[i]);
        row[i + 1] = g = static_cast<std::uint8_t>(g + row[i + 1]);
        row[i + 2] = b = static_cast<std::uint8_t>(b + row[i + 2]);
      }
      return;
    }
    for (std::size_t i = stride; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
    return;
  }
  if (bits == 32) {
    for (std::size_t i = stride; i < count; ++i) {
      std::uint8_t* p = row + 4 * i;
      const std::uint32_t v = Endian32(p, bigEndian) + Endian32(row + 4 * (i - stride), bigEndian);
      for (int k = 0; k < 4; ++k) p[bigEndian ? 3 - k : k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    return;
  }
  for (std::size_t i = stride; i < count; ++i) {
    std::uint8_t* p = row + 2 * i;
    const std::uint8_t* q = row + 2 * (i - stride);
    const auto v = static_cast<std::uint16_t>(Endian16(p, bigEndian) + Endian16(q, bigEndian));
    if (bigEndian) {
      p[0] = static_cast<std::uint8_t>(v >> 8);
      p[1] = static_cast<std::uint8_t>(v);
    } else {
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
    }
  }
}

// Photoshop's 24-bit floats: a sign, 7 bits of exponent biased by 63, 16 bits of mantissa.
float Float24ToFloat(std::uint32_t v) {
  const float sign = (v & 0x800000u) ? -1.0f : 1.0f;
  const int exponent = static_cast<int>((v >> 16) & 0x7F);
  const auto mantissa = static_cast<float>(v & 0xFFFFu);
  if (exponent == 0) return sign * std::ldexp(mantissa, -62 - 16);
  if (exponent == 0x7F) return (v & 0xFFFFu) ? std::numeric_limits<float>::quiet_NaN() : sign * HUGE_VALF;
  return sign * std::ldexp(1.0f + mantissa / 65536.0f, exponent - 63);
}

// One floating-point sample of 2, 3 or 4 bytes.
float FloatSample(const std::uint8_t* p, unsigned bytes, bool bigEndian) {
  switch (bytes) {
    case 2: return HalfToFloat(static_cast<std::uint16_t>(Endian16(p, bigEndian)));
    case 3: return Float24ToFloat(bigEndian ? std::uint32_t{p[0]} << 16 | p[1] << 8 | p[2]
                                            : std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0]);
    default: {
      const std::uint32_t v = Endian32(p, bigEndian);
      float f;
      std::memcpy(&f, &v, 4);
      return f;
    }
  }
}

// One row of float samples, interleaved or one plane each, to linear RGBA: grey fills the
// three colours, a missing alpha is opaque.
void StoreFloatRow(const void* const* sources, bool planar, unsigned samples, unsigned bytes, bool bigEndian,
                   bool associated, std::size_t count, float* out) {
  auto sample = [&](std::size_t x, unsigned c) {
    const auto* base = static_cast<const std::uint8_t*>(sources[planar ? c : 0]);
    return FloatSample(base + (planar ? x : x * samples + c) * bytes, bytes, bigEndian);
  };
  const bool colour = samples >= 3, alpha = samples == 2 || samples == 4;
  for (std::size_t x = 0; x < count; ++x, out += 4) {
    out[0] = sample(x, 0);
    out[1] = colour ? sample(x, 1) : out[0];
    out[2] = colour ? sample(x, 2) : out[0];
    out[3] = alpha ? sample(x, colour ? 3 : 1) : 1.0f;
    // Colours stored multiplied by their alpha are divided again: float pixels keep them apart.
    if (associated && out[3] > 0.0f)
      for (int c = 0; c < 3; ++c) out[c] /= out[3];
  }
}

// Undoes the floating-point predictor on one row of `count` samples of `bytes` bytes: the
// bytes were differenced `stride` apart after the row was split into byte planes, most
// significant first. The samples come back big-endian whatever the file's byte order.
void UndoFloatPredictor(std::uint8_t* row, std::size_t count, std::size_t stride, unsigned bytes,
                        std::vector<std::uint8_t>& scratch) {
  const std::size_t total = count * bytes;
  for (std::size_t i = stride; i < total; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
  scratch.assign(row, row + total);
  for (std::size_t i = 0; i < count; ++i)
    for (unsigned b = 0; b < bytes; ++b) row[i * bytes + b] = scratch[b * count + i];
}

// 16-bit samples to 8 bits for the converters that neither swap nor scale them: CMYK by the
// colour manager's 16-to-8 scaling, CIE L*a*b* with L to 0..255 and a*, b* to signed bytes.
// `chroma(i)` tells the a* and b* samples of a Lab row from L.
template <typename IsChroma>
void ReduceTo8(const std::uint8_t* source, std::uint8_t* target, std::size_t count, bool bigEndian, IsChroma chroma) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t v = static_cast<std::uint16_t>(Endian16(source + 2 * i, bigEndian));
    if (chroma(i))
      target[i] = static_cast<std::uint8_t>(static_cast<std::int16_t>(v) >> 8);
    else
      target[i] = static_cast<std::uint8_t>(MulDiv16(v, 255, 65535));
  }
}

}  // namespace

TTIFFGraphic::TRowWriter::TRowWriter(TTIFFGraphic& graphic, const TLoadLayout& layout, const TBlockPlan& plan)
    : g_(graphic), l_(layout), plan_(plan), targetBits_(BitsPerPixelOf(layout.Format)) {
  const std::size_t width = g_.ImageProperties.Width, height = g_.ImageProperties.Height;
  if (l_.Reduce16 || l_.Reduce32 || l_.Subsampled || l_.PlanarChroma || l_.CompactLab)
    scratch_.resize(plan.BlockWidth * l_.Samples * l_.PlanesUsed);
  if (l_.Floating) floats_ = g_.NewFloatPixels(static_cast<int>(width), static_cast<int>(height));
}

void TTIFFGraphic::TRowWriter::Finish() {
  if (floats_) g_.SetFloatPixels(std::move(floats_));
}

void TTIFFGraphic::TRowWriter::Write(const TBlockPlan::TBlock& block, const TBlockData& data) {
  const std::size_t width = g_.ImageProperties.Width, height = g_.ImageProperties.Height;
  const std::size_t visibleRows = std::min<std::size_t>(block.Rows, height - block.Y);
  const std::size_t visibleWidth = std::min<std::size_t>(plan_.BlockWidth, width - block.X);
  const std::size_t xByte = std::size_t{block.X} * targetBits_ / 8;
  const bool wholeRows = block.X == 0 && visibleWidth == width;
  const std::size_t rowCount = std::min(data.RowsReady, visibleRows);
  for (std::size_t r = 0; r < rowCount; ++r) WriteRow(block, data, r, visibleWidth, xByte, wholeRows);
  // Rows the file does not hold are blank, not whatever the new bitmap held.
  const std::size_t shownBytes =
      std::min<std::size_t>((visibleWidth * targetBits_ + 7) / 8, g_.BytesPerScanline() - xByte);
  for (std::size_t r = rowCount; r < visibleRows; ++r)
    std::memset(g_.ScanLine(static_cast<int>(block.Y + r)) + xByte, 0,
                wholeRows ? g_.BytesPerScanline() - xByte : shownBytes);
}

void TTIFFGraphic::TRowWriter::WriteRow(const TBlockPlan::TBlock& block, const TBlockData& data, std::size_t r,
                                      std::size_t visibleWidth, std::size_t xByte, bool wholeRows) {
  const bool big = g_.bigEndian_;
  const int y = static_cast<int>(block.Y + r);
  const void* sources[4] = {};
  const std::uint8_t* labRow = nullptr;  // the row as stored, alpha samples among the colours
  std::size_t sourceBytes = plan_.RowBytes;
  if (l_.Subsampled) {
    // One row of full YCbCr triples from the cells of its cell row.
    const unsigned hSub = l_.HSub, vSub = l_.VSub;
    const std::uint8_t* cells = data.Planes[0] + r / vSub * plan_.CellRowBytes;
    const std::size_t inCell = r % vSub;
    for (std::size_t x = 0; x < visibleWidth; ++x) {
      const std::uint8_t* cell = cells + x / hSub * plan_.CellBytes;
      scratch_[3 * x] = cell[inCell * hSub + x % hSub];
      scratch_[3 * x + 1] = cell[hSub * vSub];
      scratch_[3 * x + 2] = cell[hSub * vSub + 1];
    }
    sources[0] = scratch_.data();
    sourceBytes = visibleWidth * 3;
  } else if (l_.PlanarChroma) {
    // Full YCbCr triples from the luma plane and the smaller chroma planes.
    const std::uint8_t* luma = data.Planes[0] + r * plan_.RowBytes;
    const std::size_t at = r / l_.VSub * plan_.ChromaRowBytes;
    const std::uint8_t *cb = data.Planes[1] + at, *cr = data.Planes[2] + at;
    for (std::size_t x = 0; x < visibleWidth; ++x) {
      scratch_[3 * x] = luma[x];
      scratch_[3 * x + 1] = cb[x / l_.HSub];
      scratch_[3 * x + 2] = cr[x / l_.HSub];
    }
    sources[0] = scratch_.data();
    sourceBytes = visibleWidth * 3;
  } else {
    for (std::size_t k = 0; k < l_.PlanesUsed; ++k) {
      std::uint8_t* row = const_cast<std::uint8_t*>(data.Planes[k]) + r * plan_.RowBytes;
      // Only decoded blocks, which live in our own buffers, are un-differenced.
      const std::size_t stride = l_.Planar ? 1 : l_.Samples;
      if (l_.Predictor) UndoPredictor(row, plan_.BlockWidth * stride, stride, l_.Bits, big);
      if (l_.FloatPredictor) UndoFloatPredictor(row, plan_.BlockWidth * stride, stride, l_.Bits / 8, floatScratch_);
      sources[k] = row;
    }
    if (l_.Floating) {
      StoreFloatRow(sources, l_.Planar, l_.Samples, l_.Bits / 8, l_.FloatPredictor || big, g_.associatedAlpha_,
                    visibleWidth, floats_->Row(y) + 4 * block.X);
      return;
    }
    if (l_.CompactLab) {
      // L, a and b of each pixel side by side, 16-bit samples reduced as below.
      labRow = static_cast<const std::uint8_t*>(sources[0]);
      const std::uint8_t* in = labRow;
      std::uint8_t* out = scratch_.data();
      if (l_.Bits == 16) {
        for (std::size_t x = 0; x < visibleWidth; ++x, in += 8, out += 3)
          ReduceTo8(in, out, 3, big, [](std::size_t i) { return i != 0; });
      } else {
        for (std::size_t x = 0; x < visibleWidth; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
      }
      sources[0] = scratch_.data();
      sourceBytes = visibleWidth * 3;
    } else if (l_.Reduce16) {
      const bool planar = l_.Planar;
      const std::size_t perPlane = planar ? visibleWidth : visibleWidth * l_.Samples;
      for (std::size_t k = 0; k < l_.PlanesUsed; ++k) {
        std::uint8_t* out = scratch_.data() + k * perPlane;
        const bool lab = l_.Scheme == csCIELab;
        ReduceTo8(static_cast<const std::uint8_t*>(sources[k]), out, perPlane, big,
                  [lab, planar, k](std::size_t i) { return lab && (planar ? k == 1 || k == 2 : i % 3 != 0); });
        sources[k] = out;
      }
      sourceBytes = perPlane;
    } else if (l_.Reduce32) {
      const std::size_t perPlane = l_.Planar ? visibleWidth : visibleWidth * l_.Samples;
      const std::size_t top = big ? 0 : 3;  // the most significant byte of each sample
      for (std::size_t k = 0; k < l_.PlanesUsed; ++k) {
        std::uint8_t* out = scratch_.data() + k * perPlane;
        const auto* in = static_cast<const std::uint8_t*>(sources[k]);
        for (std::size_t i = 0; i < perPlane; ++i) out[i] = in[4 * i + top];
        sources[k] = out;
      }
      sourceBytes = perPlane;
    }
  }
  // Colours stored multiplied by their alpha (GIMP and libvips write them so) are divided
  // by it again, as a display that blends with the alpha needs them.
  const std::span<const void* const> planesShown(sources, l_.PlanarChroma           ? 1
                                                          : l_.LabAlpha && l_.Planar ? 3
                                                                                     : l_.PlanesUsed);
  auto finish = l_.Unpremultiply && !l_.LabAlpha ? UnpremultiplyBGRA : nullptr;
  if (wholeRows) {
    g_.ConvertRowTo(y, planesShown, sourceBytes, finish);
  } else {
    std::uint8_t* line = g_.ScanLine(y) + xByte;
    g_.ColorManager.ConvertRow(planesShown, sourceBytes, line, g_.BytesPerScanline() - xByte,
                               static_cast<std::uint32_t>(visibleWidth), 0xFF);
    if (finish) finish(line, visibleWidth);
  }
  if (l_.LabAlpha) {
    // The alpha sample of each pixel, from the fourth plane or the fourth of its samples.
    // A separate 16-bit plane has been reduced to 8 bits with the colours.
    const std::uint8_t* alpha = l_.Planar ? static_cast<const std::uint8_t*>(sources[3]) : labRow;
    const bool wideAlpha = l_.Bits == 16 && !l_.Planar;
    const std::size_t step = l_.Planar ? 1 : 4 * (l_.Bits / 8);
    const std::size_t first = l_.Planar ? 0 : 3 * (l_.Bits / 8);
    std::uint8_t* line = g_.ScanLine(y) + xByte;
    for (std::size_t x = 0; x < visibleWidth; ++x) {
      const std::uint8_t* a = alpha + first + x * step;
      line[4 * x + 3] = wideAlpha ? static_cast<std::uint8_t>(MulDiv16(Endian16(a, big), 255, 65535)) : a[0];
    }
  }
}

}  // namespace vumo
