// The pieces the colour manager's row converters share: sample access in either width,
// rounding, the plane layout of a source row and the settings of one row. Internal to
// src/pixels; the converters themselves live in color_rows_*.cpp by family.
//
// Every row converter decides its layout (component function, gamma, swap, planes, alpha,
// mask) once before its pixel loop and hands a small functor to a templated loop, so the
// loop itself only indexes, scales and stores. 16-bit samples may sit at odd addresses in
// a decoder's buffer, hence every 16-bit access goes through memcpy.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>
#include <span>

#include "pixels/color_manager.h"
#include "pixels/messages.h"

namespace vumo::color_rows {

[[noreturn]] inline void Fail(const char* message) { throw EColorConversionError(message); }

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

inline const std::uint8_t* Bytes(const void* p) { return static_cast<const std::uint8_t*>(p); }

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
inline bool SetupPlanes(std::span<const void* const> source, std::size_t sampleSize, std::size_t colorSamples,
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

struct RowSetup {
  std::uint8_t sourceBits;
  std::uint8_t targetBits;
  TConversionOptions sourceOptions;
  TConversionOptions targetOptions;
  const std::uint8_t* gamma;
};

// Converters by family, each in its own file.
void ConvertRgbFamily(const RowSetup& setup, std::span<const void* const> source, void* target,
                      std::uint32_t count, std::uint8_t mask, bool reverse);

}  // namespace vumo::color_rows
