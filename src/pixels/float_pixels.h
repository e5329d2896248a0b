// High-dynamic-range samples: linear light kept as 32-bit floats, and the one way they become
// the 8-bit sRGB pixels a display shows, through an exposure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace vumo {

// Large blocks mapped on their own with transparent huge pages asked for: a float picture of
// hundreds of megabytes then costs a fault every 2 MB instead of every 4 KB.
void* AllocatePixelBlock(std::size_t bytes);
void FreePixelBlock(void* block, std::size_t bytes) noexcept;

// Whether a block of this size comes from the kernel as fresh zero pages, so that zeros
// need no pass of their own (and pages nobody writes are never touched).
bool PixelBlockComesZeroed(std::size_t bytes);

// Leaves the values a vector grows by unset, so that a picture whose decoder writes every
// pixel is not first filled with zeros: a pass over hundreds of megabytes saved.
template <typename T>
struct TUnsetAllocator : std::allocator<T> {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = TUnsetAllocator<U>;
  };
  TUnsetAllocator() = default;
  template <typename U>
  TUnsetAllocator(const TUnsetAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocatePixelBlock(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { FreePixelBlock(p, n * sizeof(T)); }
  friend bool operator==(const TUnsetAllocator&, const TUnsetAllocator&) { return true; }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Linear RGBA floats, unassociated alpha, rows top to bottom, four floats a pixel.
struct TFloatPixels {
  int Width = 0;
  int Height = 0;
  std::vector<float, TUnsetAllocator<float>> RGBA;

  const float* Row(int y) const { return RGBA.data() + static_cast<std::size_t>(y) * Width * 4; }
  float* Row(int y) { return RGBA.data() + static_cast<std::size_t>(y) * Width * 4; }
};

// IEEE 754 binary16 to binary32, subnormals, infinities and NaN included.
float HalfToFloat(std::uint16_t half);
void HalfRowToFloat(const std::uint16_t* half, float* out, std::size_t count);

// The gain of an exposure of `stops` (each stop doubles the light).
float ExposureGain(float stops);

// Linear RGBA to the 32-bit bitmap's B, G, R, A bytes: colours times `gain`, clamped to 0..1
// (NaN as 0) and encoded with the sRGB curve; alpha clamped and scaled without a curve.
void ExposeRowToBGRA8(const float* rgba, std::uint8_t* bgra, std::size_t count, float gain);

// The sRGB curve alone, linear 0..1 to 0..255 (clamped), for single values such as a readout.
std::uint8_t LinearToSRGB8(float linear);

}  // namespace vumo
