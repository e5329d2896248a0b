// The colour manager: converts decoded rows of any sample layout into bitmap rows, builds
// palettes and holds the gamma and YCbCr lookup tables.
//
// Every row converter decides its layout (component function, gamma, swap, planes, alpha,
// mask) once before its pixel loop and hands a small functor to a templated loop, so the
// loop itself only indexes, scales and stores. 16-bit samples may sit at odd addresses in
// a decoder's buffer, hence every 16-bit access goes through memcpy.
#include "pixels/color_manager.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "pixels/messages.h"

namespace vumo {

namespace {

[[noreturn]] void Fail(const char* message) { throw EColorConversionError(message); }

inline std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, sizeof v); }

inline std::uint16_t Swap16(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }

// MulDiv16(v, 255, 65535) and MulDiv16(v, 65535, 255) with constant divisors.
inline std::uint8_t Reduce16(std::uint16_t v) { return static_cast<std::uint8_t>(std::uint32_t{v} * 255u / 65535u); }
inline std::uint16_t Expand8(std::uint8_t v) { return static_cast<std::uint16_t>(std::uint32_t{v} * 65535u / 255u); }

inline bool Selected(std::uint8_t mask, std::uint32_t i) { return (mask & (0x80u >> (i & 7u))) != 0; }

template <typename T>
inline void Store(std::uint8_t* p, T v) {
  if constexpr (sizeof(T) == 1) {
    *p = v;
  } else {
    Store16(p, v);
  }
}

// An 8-bit result in the width of the target sample.
template <typename D>
inline D Widen(std::uint8_t v) {
  if constexpr (sizeof(D) == 1) {
    return v;
  } else {
    return Expand8(v);
  }
}

// round() to 0..255; NaN and anything below 0 give 0. Adding and removing 1.5 * 2^(digits-1)
// rounds to an integer under the current (ties-to-even) mode exactly as nearbyint does, but
// without a library call per colour component.
inline std::uint8_t RoundToByte(long double x) {
  if (!(x > -1)) return 0;
  if (x >= 256) return 255;
  constexpr long double kRounder = [] {
    long double v = 1.5L;
    for (int i = 1; i < std::numeric_limits<long double>::digits; ++i) v *= 2;
    return v;
  }();
  const long double r = (x + kRounder) - kRounder;
  if (r <= 0) return 0;
  if (r >= 255) return 255;
  // Through double: an x87 long-double-to-integer conversion switches the rounding mode.
  return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(r)));
}

inline std::uint16_t RoundToWord(double x) {
  const double r = std::nearbyint(x);
  if (!(r > 0)) return 0;
  if (r > 65535) return 65535;
  return static_cast<std::uint16_t>(r);
}

// A lookup-table entry: coefficients come from files (TIFF YCbCrCoefficients), so a zero or
// absurd coefficient must not turn into an integer overflow when Y is added.
inline std::int32_t RoundTableEntry(double x) {
  constexpr double kLimit = 1 << 20;
  const double r = std::nearbyint(x);
  if (std::isnan(r)) return 0;
  return static_cast<std::int32_t>(std::clamp(r, -kLimit, kLimit));
}

inline float HoldAsFloat(double x) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (x > kMax) return std::numeric_limits<float>::infinity();
  if (x < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(x);
}

inline bool IsPackedDepth(std::uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }
inline bool IsWideDepth(std::uint8_t bits) { return bits == 8 || bits == 16; }

const std::uint8_t* Bytes(const void* p) { return static_cast<const std::uint8_t*>(p); }

// ---------------------------------------------------------------------------------------
// Component functions of the RGB/BGR family and of the grey converter. Each reads one sample
// at p and returns it in the target's width.

template <bool Gamma>
struct Component8To8 {
  using Dst = std::uint8_t;
  const std::uint8_t* gamma;
  Dst operator()(const std::uint8_t* p) const {
    if constexpr (Gamma) {
      return gamma[*p];
    } else {
      return *p;
    }
  }
};

template <bool Swap, bool Gamma>
struct Component16To8 {
  using Dst = std::uint8_t;
  const std::uint8_t* gamma;
  Dst operator()(const std::uint8_t* p) const {
    std::uint16_t v = Load16(p);
    if constexpr (Swap) v = Swap16(v);
    const std::uint8_t r = Reduce16(v);
    if constexpr (Gamma) {
      return gamma[r];
    } else {
      return r;
    }
  }
};

// The expanded value v * 257 has two equal bytes, so the source's swap option changes nothing.
template <bool Gamma>
struct Component8To16 {
  using Dst = std::uint16_t;
  const std::uint8_t* gamma;
  Dst operator()(const std::uint8_t* p) const {
    if constexpr (Gamma) {
      return Expand8(gamma[*p]);
    } else {
      return Expand8(*p);
    }
  }
};

template <bool Swap>
struct Component16To16 {
  using Dst = std::uint16_t;
  const std::uint8_t* gamma;
  Dst operator()(const std::uint8_t* p) const {
    const std::uint16_t v = Load16(p);
    if constexpr (Swap) {
      return Swap16(v);
    } else {
      return v;
    }
  }
};

// Where the samples of a row start and how far apart two pixels' samples are. For the RGB
// family p[0..2] are already in target order, p[3] is the alpha sample (or null).
struct Planes {
  const std::uint8_t* p[4] = {nullptr, nullptr, nullptr, nullptr};
  std::size_t stride = 0;
};

// Interleaved when there is one source pointer, else one plane per sample. Returns false when
// the caller handed over too few planes to read from.
bool SetupPlanes(std::span<const void* const> source, std::size_t sampleSize, std::size_t colorSamples,
                 bool sourceAlpha, bool planar, const int* order, Planes& planes) {
  if (planar) {
    if (source.size() < colorSamples) return false;
    for (std::size_t k = 0; k < colorSamples; ++k) {
      planes.p[k] = Bytes(source[order ? order[k] : k]);
      if (!planes.p[k]) return false;
    }
    // An alpha plane the caller did not pass is not copied.
    if (colorSamples == 3 && sourceAlpha && source.size() > 3) planes.p[3] = Bytes(source[3]);
    planes.stride = sampleSize;
  } else {
    const std::uint8_t* base = Bytes(source[0]);
    if (!base) return false;
    for (std::size_t k = 0; k < colorSamples; ++k) planes.p[k] = base + (order ? order[k] : k) * sampleSize;
    const std::size_t samples = colorSamples == 3 && sourceAlpha ? 4 : colorSamples;
    if (samples == 4 && colorSamples == 3) planes.p[3] = base + 3 * sampleSize;
    planes.stride = samples * sampleSize;
  }
  return true;
}

template <class Fn, class AlphaFn, bool CopyAlpha, bool Masked>
void RgbLoop(const Planes& src, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count, std::uint8_t mask,
             Fn fn, AlphaFn alphaFn) {
  using D = typename Fn::Dst;
  constexpr std::size_t kD = sizeof(D);
  const std::uint8_t* s0 = src.p[0];
  const std::uint8_t* s1 = src.p[1];
  const std::uint8_t* s2 = src.p[2];
  const std::uint8_t* s3 = src.p[3];
  const std::size_t stride = src.stride;
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i, dst += dstStride) {
    if constexpr (Masked) {
      if (!Selected(mask, i)) continue;
    }
    // Everything is read before anything is written, so a row may be converted in place.
    const D c0 = fn(s0 + off);
    const D c1 = fn(s1 + off);
    const D c2 = fn(s2 + off);
    if constexpr (CopyAlpha) {
      const D alpha = alphaFn(s3 + off);
      Store<D>(dst + 3 * kD, alpha);
    }
    Store<D>(dst, c0);
    Store<D>(dst + kD, c1);
    Store<D>(dst + 2 * kD, c2);
    off += stride;
  }
}

template <class Fn, class AlphaFn>
void RunRgb(const Planes& src, bool copyAlpha, std::uint8_t* dst, std::size_t dstStride, std::uint32_t count,
            std::uint8_t mask, Fn fn, AlphaFn alphaFn) {
  const bool masked = mask != 0xFF;
  if (copyAlpha) {
    if (masked) {
      RgbLoop<Fn, AlphaFn, true, true>(src, dst, dstStride, count, mask, fn, alphaFn);
    } else {
      RgbLoop<Fn, AlphaFn, true, false>(src, dst, dstStride, count, mask, fn, alphaFn);
    }
  } else {
    if (masked) {
      RgbLoop<Fn, AlphaFn, false, true>(src, dst, dstStride, count, mask, fn, alphaFn);
    } else {
      RgbLoop<Fn, AlphaFn, false, false>(src, dst, dstStride, count, mask, fn, alphaFn);
    }
  }
}

// The most common row of all (8-bit RGB(A) into a BGR(A) bitmap, every pixel): exchange the
// first and third byte of each pixel.
void SwapRedBlue3(const std::uint8_t* s, std::uint8_t* d, std::uint32_t count) {
  std::uint32_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four pixels at a time as three words: R0 G0 B0 R1 | G1 B1 R2 G2 | B2 R3 G3 B3.
    for (; i + 4 <= count; i += 4, s += 12, d += 12) {
      std::uint32_t w0, w1, w2;
      std::memcpy(&w0, s, 4);
      std::memcpy(&w1, s + 4, 4);
      std::memcpy(&w2, s + 8, 4);
      const std::uint32_t o0 = ((w0 >> 16) & 0xFFu) | (w0 & 0xFF00u) | ((w0 & 0xFFu) << 16) | ((w1 & 0xFF00u) << 16);
      const std::uint32_t o1 = (w1 & 0xFFu) | ((w0 >> 24) << 8) | ((w2 & 0xFFu) << 16) | (w1 & 0xFF000000u);
      const std::uint32_t o2 =
          ((w1 >> 16) & 0xFFu) | ((w2 >> 24) << 8) | (w2 & 0xFF0000u) | (((w2 >> 8) & 0xFFu) << 24);
      std::memcpy(d, &o0, 4);
      std::memcpy(d + 4, &o1, 4);
      std::memcpy(d + 8, &o2, 4);
    }
  }
  for (; i < count; ++i, s += 3, d += 3) {
    const std::uint8_t first = s[0];
    d[0] = s[2];
    d[1] = s[1];
    d[2] = first;
  }
}

void SwapRedBlue4(const std::uint8_t* s, std::uint8_t* d, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i, s += 4, d += 4) {
    std::uint32_t v;
    std::memcpy(&v, s, 4);
    if constexpr (std::endian::native == std::endian::little) {
      v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    } else {
      v = (v & 0x00FF00FFu) | ((v >> 16) & 0xFF00u) | ((v & 0xFF00u) << 16);
    }
    std::memcpy(d, &v, 4);
  }
}

struct RowSetup {
  std::uint8_t sourceBits;
  std::uint8_t targetBits;
  TConversionOptions sourceOptions;
  TConversionOptions targetOptions;
  const std::uint8_t* gamma;
};

// RGB/BGR to RGB/BGR; `reverse` exchanges the first and third colour sample.
void ConvertRgbFamily(const RowSetup& setup, std::span<const void* const> source, void* target,
                      std::uint32_t count, std::uint8_t mask, bool reverse) {
  const std::uint8_t sb = setup.sourceBits;
  const std::uint8_t tb = setup.targetBits;
  if (!IsWideDepth(sb) || !IsWideDepth(tb)) return;
  const bool sourceAlpha = (setup.sourceOptions & cvAlpha) != 0;
  const bool targetAlpha = (setup.targetOptions & cvAlpha) != 0;
  const bool gamma = (setup.targetOptions & cvApplyGamma) != 0;
  const bool swap = (setup.sourceOptions & cvSwapBytes) != 0;
  const std::size_t sourceSize = sb / 8;
  const std::size_t targetSize = tb / 8;
  static constexpr int kStraight[3] = {0, 1, 2};
  static constexpr int kReversed[3] = {2, 1, 0};
  const bool planar = source.size() > 1;

  Planes planes;
  if (!SetupPlanes(source, sourceSize, 3, sourceAlpha, planar, reverse ? kReversed : kStraight, planes)) {
    Fail(kNoConversionMethod);
  }
  const bool copyAlpha = sourceAlpha && targetAlpha && planes.p[3] != nullptr;
  const std::size_t dstStride = (targetAlpha ? 4 : 3) * targetSize;
  auto* dst = static_cast<std::uint8_t*>(target);

  if (mask == 0xFF && !planar && !gamma && sb == tb && (sb == 8 || !swap)) {
    const std::uint8_t* base = Bytes(source[0]);
    if (!reverse && planes.stride == dstStride) {
      std::memmove(dst, base, std::size_t{count} * dstStride);
      return;
    }
    if (reverse && sb == 8 && sourceAlpha == targetAlpha) {
      if (sourceAlpha) {
        SwapRedBlue4(base, dst, count);
      } else {
        SwapRedBlue3(base, dst, count);
      }
      return;
    }
  }

  const std::uint8_t* g = setup.gamma;
  if (sb == 8 && tb == 8) {
    if (gamma) {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component8To8<true>{g}, Component8To8<false>{g});
    } else {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component8To8<false>{g}, Component8To8<false>{g});
    }
  } else if (sb == 16 && tb == 8) {
    if (swap) {
      if (gamma) {
        RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To8<true, true>{g},
               Component16To8<true, false>{g});
      } else {
        RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To8<true, false>{g},
               Component16To8<true, false>{g});
      }
    } else {
      if (gamma) {
        RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To8<false, true>{g},
               Component16To8<false, false>{g});
      } else {
        RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To8<false, false>{g},
               Component16To8<false, false>{g});
      }
    }
  } else if (sb == 8 && tb == 16) {
    if (gamma) {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component8To16<true>{g}, Component8To16<false>{g});
    } else {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component8To16<false>{g}, Component8To16<false>{g});
    }
  } else {
    if (swap) {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To16<true>{g}, Component16To16<true>{g});
    } else {
      RunRgb(planes, copyAlpha, dst, dstStride, count, mask, Component16To16<false>{g},
             Component16To16<false>{g});
    }
  }
}

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
constexpr double kLabEpsilon = 216.0 / 24389.0;
constexpr double kLabKappa = 24389.0 / 27.0;
constexpr double kD50WhiteX = 0.96422, kD50WhiteZ = 0.82521;

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

inline void LabToRgb(double l, double a, double b, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
  const double fy = (l + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  const double x = LabInverse(fx) * kD50WhiteX;
  const double y = l > kLabKappa * kLabEpsilon ? fy * fy * fy : l / kLabKappa;
  const double z = LabInverse(fz) * kD50WhiteZ;
  const std::uint8_t* curve = SrgbCurve();
  red = EncodeSrgb(curve, 3.1338561 * x - 1.6168667 * y - 0.4906146 * z);
  green = EncodeSrgb(curve, -0.9787684 * x + 1.9161415 * y + 0.0334540 * z);
  blue = EncodeSrgb(curve, 0.0719453 * x - 0.2289914 * y + 1.4052427 * z);
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
      LabToRgb(l, ca, cb, red, green, blue);
    } else {
      const int lo = scaledLightness ? 1 : 0;
      const int co = chromaOffset ? 1 : 0;
      LabToRgb(tables->lightness[lo][p[0][off]], tables->chroma[co][p[1][off]], tables->chroma[co][p[2][off]], red,
               green, blue);
    }
    r = Widen<D>(red);
    g = Widen<D>(green);
    b = Widen<D>(blue);
  }
};

struct YCbCrTables {
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
      r = Widen<D>(ClampByte(y + tables.crToRed[cr]));
      g = Widen<D>(ClampByte(y + tables.cbToGreen[cb] + tables.crToGreen[cr]));
      b = Widen<D>(ClampByte(y + tables.cbToBlue[cb]));
    }
  }
};

// ---------------------------------------------------------------------------------------
// Packed samples (1, 2, 4 or 8 bits, most significant bits first).

template <int Bits>
struct PackedReader {
  const std::uint8_t* p;
  int shift = 8 - Bits;

  unsigned Next() {
    if constexpr (Bits == 8) {
      return *p++;
    } else {
      const unsigned v = (*p >> shift) & ((1u << Bits) - 1);
      if (shift == 0) {
        ++p;
        shift = 8 - Bits;
      } else {
        shift -= Bits;
      }
      return v;
    }
  }
};

// Packed source samples rescaled through a table of the target's values.
template <int Bits>
struct PackedSource {
  PackedReader<Bits> reader;
  const std::uint8_t* map;
  unsigned Next() { return map[reader.Next()]; }
};

template <bool Swap>
struct WordSource {
  const std::uint8_t* p;
  std::uint16_t targetMax;
  unsigned Next() {
    std::uint16_t v = Load16(p);
    p += 2;
    if constexpr (Swap) v = Swap16(v);
    return MulDiv16(v, targetMax, 65535);
  }
};

// The target byte advances after every 8 / Bits pixels counted from the row's start, written
// or not, so an interlace pass lands its pixels in their own slots.
template <int Bits, bool Masked, class Src>
void WritePacked(Src src, std::uint8_t* d, std::uint32_t count, std::uint8_t mask) {
  if constexpr (Bits == 8) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Masked || Selected(mask, i)) d[i] = static_cast<std::uint8_t>(src.Next());
    }
  } else {
    constexpr unsigned kMax = (1u << Bits) - 1;
    int shift = 8 - Bits;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Masked || Selected(mask, i)) {
        const unsigned v = src.Next() & kMax;
        *d = static_cast<std::uint8_t>((*d & ~(kMax << shift)) | (v << shift));
      }
      if (shift == 0) {
        ++d;
        shift = 8 - Bits;
      } else {
        shift -= Bits;
      }
    }
  }
}

template <class Src>
void WritePackedTo(std::uint8_t targetBits, Src src, std::uint8_t* d, std::uint32_t count, std::uint8_t mask) {
  const bool masked = mask != 0xFF;
  switch (targetBits) {
    case 1:
      masked ? WritePacked<1, true>(src, d, count, mask) : WritePacked<1, false>(src, d, count, mask);
      break;
    case 2:
      masked ? WritePacked<2, true>(src, d, count, mask) : WritePacked<2, false>(src, d, count, mask);
      break;
    case 4:
      masked ? WritePacked<4, true>(src, d, count, mask) : WritePacked<4, false>(src, d, count, mask);
      break;
    case 8:
      masked ? WritePacked<8, true>(src, d, count, mask) : WritePacked<8, false>(src, d, count, mask);
      break;
    default:
      break;
  }
}

// Calls fn with a PackedReader of the source depth.
template <class Fn>
void WithPackedReader(std::uint8_t sourceBits, const std::uint8_t* s, Fn fn) {
  switch (sourceBits) {
    case 1: fn(PackedReader<1>{s}); break;
    case 2: fn(PackedReader<2>{s}); break;
    case 4: fn(PackedReader<4>{s}); break;
    case 8: fn(PackedReader<8>{s}); break;
    default: break;
  }
}

// Single-sample rows of the grey converter and the 16-bit indexed copy.
template <class Fn, bool Masked>
void SampleLoop(const std::uint8_t* s, std::size_t stride, std::uint8_t* d, std::uint32_t count,
                std::uint8_t mask, Fn fn) {
  using D = typename Fn::Dst;
  std::size_t off = 0;
  for (std::uint32_t i = 0; i < count; ++i, d += sizeof(D)) {
    if constexpr (Masked) {
      if (!Selected(mask, i)) continue;
    }
    Store<D>(d, fn(s + off));
    off += stride;
  }
}

template <class Fn>
void RunSamples(const std::uint8_t* s, std::size_t stride, std::uint8_t* d, std::uint32_t count,
                std::uint8_t mask, Fn fn) {
  if (mask != 0xFF) {
    SampleLoop<Fn, true>(s, stride, d, count, mask, fn);
  } else {
    SampleLoop<Fn, false>(s, stride, d, count, mask, fn);
  }
}

}  // namespace

std::uint16_t MulDiv16(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  if (c == 0) return 0;
  return static_cast<std::uint16_t>(std::uint32_t{a} * std::uint32_t{b} / c);
}

std::uint8_t ClampByte(int x) {
  if (x < 0) return 0;
  if (x > 255) return 255;
  return static_cast<std::uint8_t>(x);
}

TColorManager::TColorManager() { SetGamma(1.0f, 2.2f); }

void TColorManager::SetSourceBitsPerSample(std::uint8_t value) {
  if (value == 0 || value > 16) Fail(kInvalidBitsPerSample);
  if (value != sourceBitsPerSample_) {
    sourceBitsPerSample_ = value;
    changed_ = true;
  }
}

void TColorManager::SetTargetBitsPerSample(std::uint8_t value) {
  if (value == 0 || value > 16) Fail(kInvalidBitsPerSample);
  if (value != targetBitsPerSample_) {
    targetBitsPerSample_ = value;
    changed_ = true;
  }
}

void TColorManager::SetSourceSamplesPerPixel(std::uint8_t value) {
  if (value == 0 || value > 4) Fail(kInvalidSampleCount);
  if (value != sourceSamplesPerPixel_) {
    sourceSamplesPerPixel_ = value;
    changed_ = true;
  }
}

void TColorManager::SetTargetSamplesPerPixel(std::uint8_t value) {
  if (value == 0 || value > 4) Fail(kInvalidSampleCount);
  if (value != targetSamplesPerPixel_) {
    targetSamplesPerPixel_ = value;
    changed_ = true;
  }
}

void TColorManager::SetSourceColorScheme(TColorScheme value) {
  if (value != sourceColorScheme_) {
    sourceColorScheme_ = value;
    changed_ = true;
  }
}

void TColorManager::SetTargetColorScheme(TColorScheme value) {
  if (value != targetColorScheme_) {
    targetColorScheme_ = value;
    changed_ = true;
  }
}

namespace {

TPixelFormat PixelFormatOf(std::uint8_t samplesPerPixel, std::uint8_t bitsPerSample) {
  switch (samplesPerPixel) {
    case 1:
      if (bitsPerSample == 1) return pf1bit;
      if (bitsPerSample >= 2 && bitsPerSample <= 4) return pf4bit;
      if (bitsPerSample >= 8 && bitsPerSample <= 16) return pf8bit;
      return pfCustom;
    case 3:
      return bitsPerSample >= 1 && bitsPerSample <= 5 ? pf15bit : pf24bit;
    case 4:
      return bitsPerSample >= 8 ? pf32bit : pfCustom;
    default:
      return pfCustom;
  }
}

}  // namespace

TPixelFormat TColorManager::SourcePixelFormat() const {
  return PixelFormatOf(sourceSamplesPerPixel_, sourceBitsPerSample_);
}

TPixelFormat TColorManager::TargetPixelFormat() const {
  return PixelFormatOf(targetSamplesPerPixel_, targetBitsPerSample_);
}

void TColorManager::ConvertRow(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                               std::uint8_t Mask) {
  if (changed_) PrepareConversion();
  if (!converter_) Fail(kNoConversionMethod);
  // Options are plain assignments that may come after the converter was chosen (a reader
  // loading its second file sets them again), so the alpha flags are renewed for every row.
  ApplyAlphaOptions();
  // A pass that selects none of the row's pixels touches nothing, and may come without data.
  const unsigned reach = Count >= 8 ? 0xFFu : (0xFFu << (8 - Count)) & 0xFFu;
  if ((Mask & reach) == 0) return;
  if (Source.empty() || !Source[0] || !Target) Fail(kNoConversionMethod);
  (this->*converter_)(Source, Target, Count, Mask);
}

void TColorManager::ConvertRow(std::span<const void* const> Source, std::size_t SourceBytes, void* Target,
                               std::size_t TargetBytes, std::uint32_t Count, std::uint8_t Mask) {
  // A planar source holds one sample of each pixel per buffer.
  const std::uint64_t sourceSamples = Source.size() > 1 ? 1 : sourceSamplesPerPixel_;
  // A masked row (an interlaced pass) takes a source pixel only for each selected column.
  std::uint64_t selected = Count;
  if (Mask != 0xFF) {
    selected = std::uint64_t{Count} / 8 * static_cast<unsigned>(std::popcount(Mask));
    for (std::uint32_t i = Count / 8 * 8; i < Count; ++i) selected += (Mask >> (7 - i % 8)) & 1;
  }
  const std::uint64_t sourceNeed = (selected * sourceBitsPerSample_ * sourceSamples + 7) / 8;
  // What a converter writes is a pixel of the target's bitmap format.
  const int targetBits = BitsPerPixelOf(TargetPixelFormat());
  const std::uint64_t targetPixelBits =
      targetBits > 0 ? static_cast<std::uint64_t>(targetBits) : std::uint64_t{targetBitsPerSample_} * targetSamplesPerPixel_;
  const std::uint64_t targetNeed = (std::uint64_t{Count} * targetPixelBits + 7) / 8;
  if (sourceNeed > SourceBytes || targetNeed > TargetBytes) Fail(kRowBufferTooShort);
  ConvertRow(Source, Target, Count, Mask);
}

void TColorManager::Setup(const TColorSetup& setup) {
  Configure(setup);
  Validate();
}

void TColorManager::Configure(const TColorSetup& setup) {
  SetSourceColorScheme(setup.SourceScheme);
  SetSourceBitsPerSample(setup.SourceBits);
  SetSourceSamplesPerPixel(setup.SourceSamples);
  SetSourceOptions(setup.SourceOptions);
  SetTargetColorScheme(setup.TargetScheme);
  SetTargetBitsPerSample(setup.TargetBits);
  SetTargetSamplesPerPixel(setup.TargetSamples);
  SetTargetOptions(setup.TargetOptions);
}

void TColorManager::Validate() {
  if (changed_) PrepareConversion();
  if (!converter_) Fail(kNoConversionMethod);
}

void TColorManager::PrepareConversion() {
  converter_ = nullptr;
  const TColorScheme source = sourceColorScheme_;
  const TColorScheme target = targetColorScheme_;
  const bool sourceIndexed = source == csIndexed || source == csGray || source == csGrayAlpha;
  const bool targetIndexed = target == csIndexed || target == csGray;
  if (sourceIndexed != targetIndexed) Fail(kIndexedNotIndexed);

  ApplyAlphaOptions();

  // Depths the setters accept but no converter handles (3, 5, 6, 7, 9..15, and packed depths
  // for the colour converters) select nothing, so ConvertRow reports them instead of
  // leaving the row unwritten.
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  const bool wide = IsWideDepth(sb) && IsWideDepth(tb);
  const bool rgbSide = target == csRGB || target == csRGBA;
  const bool bgrSide = target == csBGR || target == csBGRA;
  auto pick = [&](TConvertRow toRgb, TConvertRow toBgr) {
    if (!wide) return;
    if (rgbSide) converter_ = toRgb;
    if (bgrSide) converter_ = toBgr;
  };

  switch (source) {
    case csIndexed:
      if (sb == 16 && tb == 16) {
        converter_ = &TColorManager::ConvertIndexed16To16;
      } else if (sb == 16) {
        if (IsPackedDepth(tb)) converter_ = &TColorManager::ConvertIndexed16ToPacked;
      } else if (tb == 16) {
        if (IsPackedDepth(sb)) converter_ = &TColorManager::ConvertIndexedPackedTo16;
      } else if (IsPackedDepth(sb) && IsPackedDepth(tb)) {
        converter_ = &TColorManager::ConvertIndexedPacked;
      }
      break;
    case csGray:
      if (sb != 16 && tb != 16) {
        if (IsPackedDepth(sb) && IsPackedDepth(tb)) converter_ = &TColorManager::ConvertIndexedPacked;
      } else if (wide) {
        converter_ = &TColorManager::ConvertGray;
      }
      break;
    case csGrayAlpha:
      if (wide) converter_ = &TColorManager::ConvertGray;
      break;
    case csRGB:
    case csRGBA:
      pick(&TColorManager::ConvertRGBToRGB, &TColorManager::ConvertRGBToBGR);
      break;
    case csBGR:
    case csBGRA:
      pick(&TColorManager::ConvertBGRToRGB, &TColorManager::ConvertBGRToBGR);
      break;
    case csCMYK:
      pick(&TColorManager::ConvertCMYKToRGB, &TColorManager::ConvertCMYKToBGR);
      break;
    case csCIELab:
      pick(&TColorManager::ConvertLabToRGB, &TColorManager::ConvertLabToBGR);
      break;
    case csYCbCr:
    case csPhotoYCC:
      BuildYCbCrTables();
      pick(&TColorManager::ConvertYCbCrToRGB, &TColorManager::ConvertYCbCrToBGR);
      break;
    default:
      break;
  }
  changed_ = false;
}

void TColorManager::ApplyAlphaOptions() {
  auto withAlpha = [](TConversionOptions options, TColorScheme scheme) {
    const bool alpha = scheme == csGrayAlpha || scheme == csRGBA || scheme == csBGRA;
    return static_cast<TConversionOptions>(alpha ? options | cvAlpha : options & ~cvAlpha);
  };
  sourceOptions_ = withAlpha(sourceOptions_, sourceColorScheme_);
  targetOptions_ = withAlpha(targetOptions_, targetColorScheme_);
}

void TColorManager::BuildYCbCrTables() {
  const double kr = yCbCrCoefficients_[0];
  const double kg = yCbCrCoefficients_[1];
  const double kb = yCbCrCoefficients_[2];
  const float crToRedFactor = HoldAsFloat(2 - 2 * kr);
  const float cbToBlueFactor = HoldAsFloat(2 - 2 * kb);
  // A luma-green coefficient of 0 (a broken file) leaves green without chroma.
  const float crToGreenFactor = kg != 0 ? HoldAsFloat(kr * crToRedFactor / kg) : 0.0f;
  const float cbToGreenFactor = kg != 0 ? HoldAsFloat(kb * cbToBlueFactor / kg) : 0.0f;
  const int crCentre = sourceColorScheme_ == csPhotoYCC ? 137 : 128;
  const int cbCentre = sourceColorScheme_ == csPhotoYCC ? 156 : 128;

  crToRed_.resize(256);
  cbToBlue_.resize(256);
  crToGreen_.resize(256);
  cbToGreen_.resize(256);
  for (int i = 0; i < 256; ++i) {
    crToRed_[i] = RoundTableEntry(double{crToRedFactor} * (i - crCentre));
    cbToBlue_[i] = RoundTableEntry(double{cbToBlueFactor} * (i - cbCentre));
    crToGreen_[i] = -RoundTableEntry(double{crToGreenFactor} * (i - crCentre));
    cbToGreen_[i] = -RoundTableEntry(double{cbToGreenFactor} * (i - cbCentre));
  }
}

void TColorManager::ConvertIndexed16To16(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                         std::uint8_t Mask) {
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  if (Mask == 0xFF && !swap) {
    std::memmove(d, s, std::size_t{Count} * 2);
  } else if (swap) {
    RunSamples(s, 2, d, Count, Mask, Component16To16<true>{nullptr});
  } else {
    RunSamples(s, 2, d, Count, Mask, Component16To16<false>{nullptr});
  }
}

void TColorManager::ConvertIndexed16ToPacked(std::span<const void* const> Source, void* Target,
                                             std::uint32_t Count, std::uint8_t Mask) {
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  const auto targetMax = static_cast<std::uint16_t>((1u << targetBitsPerSample_) - 1);
  if (sourceOptions_ & cvSwapBytes) {
    WritePackedTo(targetBitsPerSample_, WordSource<true>{s, targetMax}, d, Count, Mask);
  } else {
    WritePackedTo(targetBitsPerSample_, WordSource<false>{s, targetMax}, d, Count, Mask);
  }
}

void TColorManager::ConvertIndexedPackedTo16(std::span<const void* const> Source, void* Target,
                                             std::uint32_t Count, std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const unsigned sourceMax = (1u << sb) - 1;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  std::uint16_t values[256];
  for (unsigned v = 0; v <= sourceMax; ++v) {
    const std::uint16_t value = MulDiv16(static_cast<std::uint16_t>(v), 65535, static_cast<std::uint16_t>(sourceMax));
    values[v] = swap ? Swap16(value) : value;
  }
  auto* d = static_cast<std::uint8_t*>(Target);
  WithPackedReader(sb, Bytes(Source[0]), [&](auto reader) {
    for (std::uint32_t i = 0; i < Count; ++i, d += 2) {
      if (Selected(Mask, i)) Store16(d, values[reader.Next()]);
    }
  });
}

void TColorManager::ConvertIndexedPacked(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                         std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  if (sb == tb && Mask == 0xFF) {
    std::memmove(d, s, (std::size_t{Count} * sb + 7) / 8);
    return;
  }
  // Indices and grey levels are rescaled to the target's range.
  const unsigned sourceMax = (1u << sb) - 1;
  const auto targetMax = static_cast<std::uint16_t>((1u << tb) - 1);
  std::uint8_t map[256];
  for (unsigned v = 0; v <= sourceMax; ++v) {
    map[v] = static_cast<std::uint8_t>(
        MulDiv16(static_cast<std::uint16_t>(v), targetMax, static_cast<std::uint16_t>(sourceMax)));
  }
  switch (sb) {
    case 1: WritePackedTo(tb, PackedSource<1>{{s}, map}, d, Count, Mask); break;
    case 2: WritePackedTo(tb, PackedSource<2>{{s}, map}, d, Count, Mask); break;
    case 4: WritePackedTo(tb, PackedSource<4>{{s}, map}, d, Count, Mask); break;
    case 8: WritePackedTo(tb, PackedSource<8>{{s}, map}, d, Count, Mask); break;
    default: break;
  }
}

void TColorManager::ConvertGray(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                std::uint8_t Mask) {
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  if (!IsWideDepth(sb) || !IsWideDepth(tb)) return;
  const std::size_t sourceSize = sb / 8;
  const bool planar = Source.size() > 1;
  const bool alpha = (sourceOptions_ & cvAlpha) != 0;
  // The source alpha is skipped: the target holds one grey sample a pixel.
  const std::size_t stride = (planar || !alpha ? 1 : 2) * sourceSize;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  const std::uint8_t* s = Bytes(Source[0]);
  auto* d = static_cast<std::uint8_t*>(Target);
  if (Mask == 0xFF && stride == sourceSize && sb == tb && (sb == 8 || !swap)) {
    std::memmove(d, s, std::size_t{Count} * sourceSize);
    return;
  }
  if (sb == 8 && tb == 8) {
    RunSamples(s, stride, d, Count, Mask, Component8To8<false>{nullptr});
  } else if (sb == 16 && tb == 8) {
    if (swap) {
      RunSamples(s, stride, d, Count, Mask, Component16To8<true, false>{nullptr});
    } else {
      RunSamples(s, stride, d, Count, Mask, Component16To8<false, false>{nullptr});
    }
  } else if (sb == 8) {
    RunSamples(s, stride, d, Count, Mask, Component8To16<false>{nullptr});
  } else if (swap) {
    RunSamples(s, stride, d, Count, Mask, Component16To16<true>{nullptr});
  } else {
    RunSamples(s, stride, d, Count, Mask, Component16To16<false>{nullptr});
  }
}

void TColorManager::ConvertRGBToRGB(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertRgbFamily(setup, Source, Target, Count, Mask, false);
}

void TColorManager::ConvertRGBToBGR(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertRgbFamily(setup, Source, Target, Count, Mask, true);
}

void TColorManager::ConvertBGRToRGB(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertRgbFamily(setup, Source, Target, Count, Mask, true);
}

void TColorManager::ConvertBGRToBGR(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertRgbFamily(setup, Source, Target, Count, Mask, false);
}

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
  const LabTermTables& tables = LabTables();
  RunTripleByDepth<LabPixel>(setup, planes, bgr, static_cast<std::uint8_t*>(target), count, mask,
                             [&](auto px) {
                               px.scaledLightness = scaled;
                               px.chromaOffset = offset;
                               px.tables = &tables;
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

void TColorManager::ConvertCMYKToRGB(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                     std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertCmyk(setup, Source, Target, Count, Mask, false);
}

void TColorManager::ConvertCMYKToBGR(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                     std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertCmyk(setup, Source, Target, Count, Mask, true);
}

void TColorManager::ConvertLabToRGB(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertLab(setup, Source, Target, Count, Mask, false);
}

void TColorManager::ConvertLabToBGR(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                    std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  ConvertLab(setup, Source, Target, Count, Mask, true);
}

void TColorManager::ConvertYCbCrToRGB(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                      std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  const YCbCrTables tables{crToRed_.data(), cbToBlue_.data(), crToGreen_.data(), cbToGreen_.data()};
  ConvertYCbCr(setup, tables, Source, Target, Count, Mask, false);
}

void TColorManager::ConvertYCbCrToBGR(std::span<const void* const> Source, void* Target, std::uint32_t Count,
                                      std::uint8_t Mask) {
  const RowSetup setup{sourceBitsPerSample_, targetBitsPerSample_, sourceOptions_, targetOptions_, gammaTable_};
  const YCbCrTables tables{crToRed_.data(), cbToBlue_.data(), crToGreen_.data(), cbToGreen_.data()};
  ConvertYCbCr(setup, tables, Source, Target, Count, Mask, true);
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
  mainGamma_ = MainGamma > 0 ? MainGamma : 1.0f;
  displayGamma_ = DisplayGamma > 0 ? DisplayGamma : 2.2f;
  const double exponent = 1.0 / (double{mainGamma_} * double{displayGamma_});
  // The table is indexed by 8-bit values only, so both ends stay within its 256 entries
  // whatever the depths (a 16-bit target would otherwise ask for 65536 source steps).
  const unsigned targetHigh = targetBitsPerSample_ >= 8 ? 255u : (1u << targetBitsPerSample_) - 1;
  const unsigned sourceHigh = sourceBitsPerSample_ >= 8 ? 255u : std::min(255u, (1u << targetBitsPerSample_) - 1);
  for (unsigned i = 0; i <= sourceHigh; ++i) {
    const double v = std::pow(static_cast<double>(i) / sourceHigh, exponent) * targetHigh;
    gammaTable_[i] = RoundToByte(v);
  }
}

void TColorManager::SetYCbCrParameters(std::span<const float> Values, std::uint8_t HorizontalSubsampling,
                                       std::uint8_t VerticalSubsampling) {
  for (std::size_t k = 0; k < 3 && k < Values.size(); ++k) yCbCrCoefficients_[k] = Values[k];
  auto allowed = [](std::uint8_t v) { return v == 1 || v == 2 || v == 4; };
  if (!allowed(HorizontalSubsampling) || !allowed(VerticalSubsampling)) Fail(kInvalidSubsampling);
  if (HorizontalSubsampling < VerticalSubsampling) Fail(kInvalidVerticalSubsampling);
  horizontalSubsampling_ = HorizontalSubsampling;
  verticalSubsampling_ = VerticalSubsampling;
}

TLogPalette TColorManager::CreateColorPalette(std::span<const void* const> Data, TRawPaletteFormat DataFormat,
                                              std::uint32_t ColorCount, bool OrderFlag) {
  const std::uint32_t count = std::min<std::uint32_t>(ColorCount, 256);
  std::array<TPaletteEntry, 256> entries{};

  bool planar = false;
  switch (DataFormat) {
    case pfInterlaced8Triple:
    case pfInterlaced8Quad:
    case pfInterlaced16Triple:
    case pfInterlaced16Quad:
      break;
    case pfPlane8Triple:
    case pfPlane8Quad:
    case pfPlane16Triple:
    case pfPlane16Quad:
      planar = true;
      break;
    default:
      Fail(kNoConversionMethod);
  }
  if (count > 0) {
    const std::size_t needed = planar ? 3 : 1;
    if (Data.size() < needed) Fail(kNoConversionMethod);
    for (std::size_t k = 0; k < needed; ++k) {
      if (!Data[k]) Fail(kNoConversionMethod);
    }
  }

  const bool gamma = (targetOptions_ & cvApplyGamma) != 0;
  const bool swap = (sourceOptions_ & cvSwapBytes) != 0;
  auto from8 = [&](std::uint8_t v) { return gamma ? gammaTable_[v] : v; };
  auto from16 = [&](const std::uint8_t* p) {
    std::uint16_t v = Load16(p);
    if (swap) v = Swap16(v);
    return from8(Reduce16(v));
  };
  auto set = [&](std::uint32_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    entries[i].peRed = r;
    entries[i].peGreen = g;
    entries[i].peBlue = b;
  };

  switch (DataFormat) {
    case pfInterlaced8Triple:
    case pfInterlaced8Quad: {
      const std::size_t size = DataFormat == pfInterlaced8Triple ? 3 : 4;
      const std::uint8_t* p = Bytes(Data.empty() ? nullptr : Data[0]);
      for (std::uint32_t i = 0; i < count; ++i, p += size) {
        if (OrderFlag) {
          set(i, from8(p[2]), from8(p[1]), from8(p[0]));
        } else {
          set(i, from8(p[0]), from8(p[1]), from8(p[2]));
        }
      }
      break;
    }
    case pfPlane8Triple:
    case pfPlane8Quad:
      for (std::uint32_t i = 0; i < count; ++i) {
        set(i, from8(Bytes(Data[0])[i]), from8(Bytes(Data[1])[i]), from8(Bytes(Data[2])[i]));
      }
      break;
    case pfInterlaced16Triple:
    case pfInterlaced16Quad: {
      // Stored the other way round from the 8-bit records: OrderFlag means red first here.
      const std::size_t size = DataFormat == pfInterlaced16Triple ? 6 : 8;
      const std::uint8_t* p = Bytes(Data.empty() ? nullptr : Data[0]);
      for (std::uint32_t i = 0; i < count; ++i, p += size) {
        if (OrderFlag) {
          set(i, from16(p), from16(p + 2), from16(p + 4));
        } else {
          set(i, from16(p + 4), from16(p + 2), from16(p));
        }
      }
      break;
    }
    default:
      for (std::uint32_t i = 0; i < count; ++i) {
        set(i, from16(Bytes(Data[0]) + 2 * i), from16(Bytes(Data[1]) + 2 * i), from16(Bytes(Data[2]) + 2 * i));
      }
      break;
  }

  // Match the index rescaling of ConvertIndexedPacked. A source deeper than 8 bits would
  // address entries beyond the 256 held, so such palettes stay as read.
  std::uint32_t size = count;
  const std::uint8_t sb = sourceBitsPerSample_;
  const std::uint8_t tb = targetBitsPerSample_;
  if (tb <= 8 && sb <= 8) {
    const auto sourceMax = static_cast<std::uint16_t>((1u << sb) - 1);
    const auto targetMax = static_cast<std::uint16_t>((1u << tb) - 1);
    if (sourceMax != targetMax) {
      if (sourceMax > targetMax) {
        for (std::uint16_t i = 0; i <= targetMax; ++i) entries[i] = entries[MulDiv16(i, sourceMax, targetMax)];
      } else {
        for (int i = targetMax; i >= 0; --i) {
          entries[i] = entries[MulDiv16(static_cast<std::uint16_t>(i), sourceMax, targetMax)];
        }
      }
      size = targetMax + 1u;
    }
  }
  return TLogPalette(entries.begin(), entries.begin() + size);
}

TLogPalette TColorManager::CreateGrayPalette(bool MinimumIsWhite) {
  const unsigned bits = std::min(unsigned{targetBitsPerSample_} * targetSamplesPerPixel_, 8u);
  const unsigned n = 1u << bits;
  const unsigned step = 255 / (n - 1);
  const bool gamma = (targetOptions_ & cvApplyGamma) != 0;
  TLogPalette palette(n);
  for (unsigned i = 0; i < n; ++i) {
    const auto level = static_cast<std::uint8_t>(i * step);
    const std::uint8_t value = gamma ? gammaTable_[level] : level;
    TPaletteEntry& entry = palette[MinimumIsWhite ? n - 1 - i : i];
    entry.peRed = value;
    entry.peGreen = value;
    entry.peBlue = value;
  }
  return palette;
}

}  // namespace vumo
