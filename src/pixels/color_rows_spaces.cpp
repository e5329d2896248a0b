// Rows whose three colour values come from a whole source pixel: CMYK, CIE L*a*b* and YCbCr.
#include "pixels/color_rows.h"

namespace vumo {

using namespace color_rows;

namespace {

// ---------------------------------------------------------------------------------------
// Converters that compute three colour values from a whole source pixel (CMYK, Lab, YCbCr).
// A pixel functor gets the plane pointers and the byte offset of the pixel.

template <class Px, bool Bgr, bool Masked>
void TripleLoop(const Planes& src, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count,
                std::uint8_t mask, const Px& px) {
  using D = typename Px::Dst;
  constexpr std::size_t kD = sizeof(D);
  const std::size_t stride = src.stride;
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i, dst += dstStride) {
    if constexpr (Masked) {
      if (!Selected(mask, i)) continue;
    }
    D r, g, b;
    px(src.p, off, r, g, b);
    if constexpr (Bgr) {
      Store<D>(dst, b);
      Store<D>(dst + kD, g);
      Store<D>(dst + 2 * kD, r);
    } else {
      Store<D>(dst, r);
      Store<D>(dst + kD, g);
      Store<D>(dst + 2 * kD, b);
    }
    off += stride;
  }
}

template <class Px>
void RunTriple(const Planes& src, bool bgr, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count,
               std::uint8_t mask, const Px& px) {
  const bool masked = mask != 0xFF;
  if (bgr) {
    if (masked) {
      TripleLoop<Px, true, true>(src, dst, dstStride, count, mask, px);
    } else {
      TripleLoop<Px, true, false>(src, dst, dstStride, count, mask, px);
    }
  } else {
    if (masked) {
      TripleLoop<Px, false, true>(src, dst, dstStride, count, mask, px);
    } else {
      TripleLoop<Px, false, false>(src, dst, dstStride, count, mask, px);
    }
  }
}

// Runs the pixel functor chosen by the two depths, Px<16-bit source, target sample type>,
// after `make` has filled in its row settings.
template <template <bool, typename> class Px, class Make>
void RunTripleByDepth(const RowSetup& setup, const Planes& src, bool bgr, std::uint8_t* dst, std::uint32_t count,
                      std::uint8_t mask, Make make) {
  const bool targetAlpha = (setup.targetOptions & cvAlpha) != 0;
  const std::size_t dstStride = (targetAlpha ? 4 : 3) * (setup.targetBits / 8);
  if (setup.sourceBits == 8) {
    if (setup.targetBits == 8) {
      RunTriple(src, bgr, dst, dstStride, count, mask, make(Px<false, std::uint8_t>{}));
    } else {
      RunTriple(src, bgr, dst, dstStride, count, mask, make(Px<false, std::uint16_t>{}));
    }
  } else {
    if (setup.targetBits == 8) {
      RunTriple(src, bgr, dst, dstStride, count, mask, make(Px<true, std::uint8_t>{}));
    } else {
      RunTriple(src, bgr, dst, dstStride, count, mask, make(Px<true, std::uint16_t>{}));
    }
  }
}

template <bool WideSource, typename D>
struct CmykPixel {
  using Dst = D;

  static D One(unsigned c, unsigned k) {
    if constexpr (!WideSource) {
      const int v = MulDiv16(static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(k), 255) -
                    static_cast<int>(c) - static_cast<int>(k) + 255;
      return Widen<D>(ClampByte(v));
    } else {
      const std::uint16_t m = MulDiv16(static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(k), 65535);
      if constexpr (sizeof(D) == 1) {
        const auto t = static_cast<std::uint16_t>(c + k - m);
        return ClampByte(255 - MulDiv16(t, 255, 65535));
      } else {
        return static_cast<std::uint16_t>(m - c - k - 1);
      }
    }
  }

  static unsigned Sample(const std::uint8_t* p) {
    if constexpr (WideSource) {
      return Load16(p);
    } else {
      return *p;
    }
  }

  void operator()(const std::uint8_t* const* p, std::size_t off, D& r, D& g, D& b) const {
    const unsigned k = Sample(p[3] + off);
    r = One(Sample(p[0] + off), k);
    g = One(Sample(p[1] + off), k);
    b = One(Sample(p[2] + off), k);
  }
};

// CIE L*a*b* as Photoshop and TIFF store it is relative to the D50 white. A colour goes to
// XYZ (D50), through the Bradford adaptation to D65 and the sRGB primaries in one matrix, and
// through the sRGB transfer curve, so an sRGB colour saved as Lab shows as itself again.
// Lab relative to D65 (as some writers state in TIFF's WhitePoint) needs no adaptation.
constexpr double kLabEpsilon = 216.0 / 24389.0;
constexpr double kLabKappa = 24389.0 / 27.0;

struct TLabWhite {
  double whiteX, whiteZ;
  double toRgb[3][3];  // XYZ relative to this white to linear sRGB
};
constexpr TLabWhite kD50White = {0.96422,
                                 0.82521,
                                 {{3.1338561, -1.6168667, -0.4906146},
                                  {-0.9787684, 1.9161415, 0.0334540},
                                  {0.0719453, -0.2289914, 1.4052427}}};
constexpr TLabWhite kD65White = {0.95047,
                                 1.08883,
                                 {{3.2404542, -1.5371385, -0.4985314},
                                  {-0.9692660, 1.8760108, 0.0415560},
                                  {0.0556434, -0.2040259, 1.0572252}}};

// The sRGB curve from linear light in [0, 1], tabulated finely enough that the table's step
// moves no output by more than a twentieth of a level.
const std::uint8_t* SrgbCurve() {
  static const std::vector<std::uint8_t> table = [] {
    constexpr int kSteps = 65536;
    std::vector<std::uint8_t> t(kSteps);
    for (int i = 0; i < kSteps; ++i) {
      const double v = static_cast<double>(i) / (kSteps - 1);
      const double encoded = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
      t[i] = static_cast<std::uint8_t>(std::lround(std::clamp(encoded, 0.0, 1.0) * 255));
    }
    return t;
  }();
  return table.data();
}

inline std::uint8_t EncodeSrgb(const std::uint8_t* curve, double linear) {
  if (!(linear > 0)) return 0;  // also NaN
  if (linear >= 1) return 255;
  return curve[static_cast<int>(linear * 65535 + 0.5)];
}

inline double LabInverse(double f) {
  const double cube = f * f * f;
  return cube > kLabEpsilon ? cube : (116 * f - 16) / kLabKappa;
}

inline void LabToRgb(const TLabWhite& white, double l, double a, double b, std::uint8_t& red, std::uint8_t& green,
                     std::uint8_t& blue) {
  const double fy = (l + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  const double x = LabInverse(fx) * white.whiteX;
  const double y = l > kLabKappa * kLabEpsilon ? fy * fy * fy : l / kLabKappa;
  const double z = LabInverse(fz) * white.whiteZ;
  const std::uint8_t* curve = SrgbCurve();
  const auto& m = white.toRgb;
  red = EncodeSrgb(curve, m[0][0] * x + m[0][1] * y + m[0][2] * z);
  green = EncodeSrgb(curve, m[1][0] * x + m[1][1] * y + m[1][2] * z);
  blue = EncodeSrgb(curve, m[2][0] * x + m[2][1] * y + m[2][2] * z);
}

// The L*, a* and b* of every 8-bit sample value, built once: index [0] without and [1] with
// the option (scaled lightness for L, chroma offset for a and b).
struct LabTermTables {
  double lightness[2][256];
  double chroma[2][256];
};

const LabTermTables& LabTables() {
  static const LabTermTables tables = [] {
    LabTermTables t{};
    for (int option = 0; option < 2; ++option) {
      for (int v = 0; v < 256; ++v) {
        t.lightness[option][v] = option ? v / 2.55 : v;
        t.chroma[option][v] = option ? v - 128 : static_cast<std::int8_t>(v);
      }
    }
    return t;
  }();
  return tables;
}

template <bool WideSource, typename D>
struct LabPixel {
  using Dst = D;
  bool scaledLightness = false;
  bool chromaOffset = false;
  const LabTermTables* tables = nullptr;
  const TLabWhite* white = &kD50White;

  void operator()(const std::uint8_t* const* p, std::size_t off, D& r, D& g, D& b) const {
    std::uint8_t red, green, blue;
    if constexpr (WideSource) {
      // A 16-bit sample is read as its 8-bit counterpart with a fraction, so the lightness
      // and chroma options mean the same for both depths.
      const std::uint16_t sl = Load16(p[0] + off);
      const std::uint16_t sa = Load16(p[1] + off);
      const std::uint16_t sb = Load16(p[2] + off);
      double l = sl / 257.0;
      double ca, cb;
      if (chromaOffset) {
        ca = sa / 256.0 - 128;
        cb = sb / 256.0 - 128;
      } else {
        ca = static_cast<std::int16_t>(sa) / 256.0;
        cb = static_cast<std::int16_t>(sb) / 256.0;
      }
      if (scaledLightness) l /= 2.55;
      LabToRgb(*white, l, ca, cb, red, green, blue);
    } else {
      const int lo = scaledLightness ? 1 : 0;
      const int co = chromaOffset ? 1 : 0;
      LabToRgb(*white, tables->lightness[lo][p[0][off]], tables->chroma[co][p[1][off]], tables->chroma[co][p[2][off]],
               red, green, blue);
    }
    r = Widen<D>(red);
    g = Widen<D>(green);
    b = Widen<D>(blue);
  }
};

struct YCbCrTables {
  const std::int32_t* luma;
  const std::int32_t* crToRed;
  const std::int32_t* cbToBlue;
  const std::int32_t* crToGreen;
  const std::int32_t* cbToGreen;
};

template <bool WideSource, typename D>
struct YCbCrPixel {
  using Dst = D;
  YCbCrTables tables{};

  void operator()(const std::uint8_t* const* p, std::size_t off, D& r, D& g, D& b) const {
    if constexpr (WideSource && sizeof(D) == 2) {
      // The 16-bit path works in floating point with fixed Photo-CD constants.
      const float y = static_cast<float>(Load16(p[0] + off) * 1.3584);
      const float cb = static_cast<float>(static_cast<int>(Load16(p[1] + off)) - 40092);
      const float cr = static_cast<float>(static_cast<int>(Load16(p[2] + off)) - 35209);
      r = RoundToWord(double{y} + 1.8215 * cr);
      g = RoundToWord(double{y} - 0.9271435 * cr - 0.4302726 * cb);
      b = RoundToWord(double{y} + 2.2179 * cb);
    } else {
      int y, cb, cr;
      if constexpr (WideSource) {
        y = Reduce16(Load16(p[0] + off));
        cb = Reduce16(Load16(p[1] + off));
        cr = Reduce16(Load16(p[2] + off));
      } else {
        y = p[0][off];
        cb = p[1][off];
        cr = p[2][off];
      }
      y = tables.luma[y];
      r = Widen<D>(ClampByte(y + tables.crToRed[cr]));
      g = Widen<D>(ClampByte(y + tables.cbToGreen[cb] + tables.crToGreen[cr]));
      b = Widen<D>(ClampByte(y + tables.cbToBlue[cb]));
    }
  }
};

}  // namespace

namespace {

void ConvertCmyk(const RowSetup& setup, std::span<const void* const> source, void* target, std::uint32_t count,
                 std::uint8_t mask, bool bgr) {
  if (!IsWideDepth(setup.sourceBits) || !IsWideDepth(setup.targetBits)) return;
  // Planar only with exactly one plane per ink; anything else is read as interleaved.
  Planes planes;
  if (!SetupPlanes(source, setup.sourceBits / 8, 4, false, source.size() == 4, nullptr, planes)) {
    Fail(kNoConversionMethod);
  }
  RunTripleByDepth<CmykPixel>(setup, planes, bgr, static_cast<std::uint8_t*>(target), count, mask,
                              [](auto px) { return px; });
}

void ConvertLab(const RowSetup& setup, std::span<const void* const> source, void* target, std::uint32_t count,
                std::uint8_t mask, bool bgr) {
  if (!IsWideDepth(setup.sourceBits) || !IsWideDepth(setup.targetBits)) return;
  Planes planes;
  if (!SetupPlanes(source, setup.sourceBits / 8, 3, (setup.sourceOptions & cvAlpha) != 0, source.size() > 1,
                   nullptr, planes)) {
    Fail(kNoConversionMethod);
  }
  const bool scaled = (setup.sourceOptions & cvLabScaledLightness) != 0;
  const bool offset = (setup.sourceOptions & cvLabChromaOffset) != 0;
  const TLabWhite* white = (setup.sourceOptions & cvLabD65White) != 0 ? &kD65White : &kD50White;
  const LabTermTables& tables = LabTables();
  RunTripleByDepth<LabPixel>(setup, planes, bgr, static_cast<std::uint8_t*>(target), count, mask,
                             [&](auto px) {
                               px.scaledLightness = scaled;
                               px.chromaOffset = offset;
                               px.tables = &tables;
                               px.white = white;
                               return px;
                             });
}

void ConvertYCbCr(const RowSetup& setup, const YCbCrTables& tables, std::span<const void* const> source,
                  void* target, std::uint32_t count, std::uint8_t mask, bool bgr) {
  if (!IsWideDepth(setup.sourceBits) || !IsWideDepth(setup.targetBits)) return;
  Planes planes;
  if (!SetupPlanes(source, setup.sourceBits / 8, 3, (setup.sourceOptions & cvAlpha) != 0, source.size() > 1,
                   nullptr, planes)) {
    Fail(kNoConversionMethod);
  }
  RunTripleByDepth<YCbCrPixel>(setup, planes, bgr, static_cast<std::uint8_t*>(target), count, mask,
                               [&](auto px) {
                                 px.tables = tables;
                                 return px;
                               });
}

}  // namespace

void TColorManager::ConvertCMYKRows(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertCmyk(setup, Source, Target, Count, Mask, swapRedBlue_);
}

void TColorManager::ConvertLabRows(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                   std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertLab(setup, Source, Target, Count, Mask, swapRedBlue_);
}

void TColorManager::ConvertYCbCrRows(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                     std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  const YCbCrTables tables{luma_.data(), crToRed_.data(), cbToBlue_.data(), crToGreen_.data(), cbToGreen_.data()};
  ConvertYCbCr(setup, tables, Source, Target, Count, Mask, swapRedBlue_);
}

}  // namespace vumo
