#include "pixels/float_pixels.h"

#include <sys/mman.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vumo {

namespace {
constexpr std::size_t kMappedBlock = std::size_t{4} << 20;
}  // namespace

void* AllocatePixelBlock(std::size_t bytes) {
  if (bytes >= kMappedBlock) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);  // a hint; without transparent huge pages it changes nothing
    return p;
  }
  if (void* p = std::malloc(bytes ? bytes : 1)) return p;
  throw std::bad_alloc();
}

bool PixelBlockComesZeroed(std::size_t bytes) { return bytes >= kMappedBlock; }

void FreePixelBlock(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes >= kMappedBlock) munmap(block, bytes);
  else std::free(block);
}

namespace {

// Linear light quantised to 16 bits before the curve: the steepest part of the sRGB curve
// (12.92 at black) then moves less than a twentieth of an 8-bit level a step.
constexpr int kCurveSteps = 65536;

const std::array<std::uint8_t, kCurveSteps>& CurveTable() {
  static const auto table = [] {
    std::array<std::uint8_t, kCurveSteps> t{};
    for (int i = 0; i < kCurveSteps; ++i) {
      const double v = static_cast<double>(i) / (kCurveSteps - 1);
      t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(SRGBEncode(v) * 255.0));
    }
    return t;
  }();
  return table;
}

// Clamped to 0..1 with NaN as 0: the comparisons fail for NaN, which falls to the 0 branch.
inline float Unit(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

}  // namespace

float HalfToFloat(std::uint16_t half) {
  const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
  const std::uint32_t exponent = (half >> 10) & 0x1Fu;
  std::uint32_t mantissa = half & 0x3FFu;
  std::uint32_t bits;
  if (exponent == 0x1F) {
    bits = sign | 0x7F800000u | (mantissa << 13);
  } else if (exponent != 0) {
    bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sign;
  } else {
    // Subnormal: shift the mantissa up until its leading one is the implicit bit.
    std::uint32_t e = 113;
    while ((mantissa & 0x400u) == 0) {
      mantissa <<= 1;
      --e;
    }
    bits = sign | (e << 23) | ((mantissa & 0x3FFu) << 13);
  }
  float result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

void HalfRowToFloat(const std::uint16_t* half, float* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out[i] = HalfToFloat(half[i]);
}

float ExposureGain(float stops) { return std::exp2(stops); }

void ExposeRowToBGRA8(const float* rgba, std::uint8_t* bgra, std::size_t count, float gain) {
  const std::uint8_t* curve = CurveTable().data();
  constexpr float kScale = kCurveSteps - 1;
  for (std::size_t i = 0; i < count; ++i, rgba += 4, bgra += 4) {
    const auto r = static_cast<unsigned>(Unit(rgba[0] * gain) * kScale + 0.5f);
    const auto g = static_cast<unsigned>(Unit(rgba[1] * gain) * kScale + 0.5f);
    const auto b = static_cast<unsigned>(Unit(rgba[2] * gain) * kScale + 0.5f);
    bgra[0] = curve[b];
    bgra[1] = curve[g];
    bgra[2] = curve[r];
    bgra[3] = static_cast<std::uint8_t>(Unit(rgba[3]) * 255.0f + 0.5f);
  }
}

double SRGBEncode(double linear) {
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

std::uint8_t LinearToSRGB8(float linear) {
  return CurveTable()[static_cast<std::size_t>(Unit(linear) * (kCurveSteps - 1) + 0.5f)];
}

}  // namespace vumo
