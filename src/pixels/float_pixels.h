// High-dynamic-range samples: linear light kept as 32-bit floats, and the one way they become
// the 8-bit sRGB pixels a display shows, through an exposure.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <type_traits>
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

// A vector of trivially copyable samples whose growth leaves the new values unset, so that a
// picture whose decoder writes every pixel is not first filled with zeros: a pass over
// hundreds of megabytes saved. Nothing is done per element on growth or release (an
// instrumented build would otherwise walk a gigabyte of no-op constructions).
template <typename T>
class TPixelVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;
  using size_type = std::size_t;

  TPixelVector() = default;
  TPixelVector(std::initializer_list<T> values) { *this = values; }
  TPixelVector(const TPixelVector& other) { CopyFrom(other.data_, other.size_); }
  TPixelVector(TPixelVector&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  ~TPixelVector() { FreePixelBlock(data_, size_ * sizeof(T)); }
  TPixelVector& operator=(const TPixelVector& other) {
    if (this != &other) CopyFrom(other.data_, other.size_);
    return *this;
  }
  TPixelVector& operator=(TPixelVector&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  TPixelVector& operator=(std::initializer_list<T> values) {
    CopyFrom(values.begin(), values.size());
    return *this;
  }

  // Keeps the values up to the new size; those past the old one are unset.
  void resize(std::size_t n) {
    if (n == size_) return;
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    T* block = n ? static_cast<T*>(AllocatePixelBlock(n * sizeof(T))) : nullptr;
    if (size_ && n) std::memcpy(block, data_, std::min(n, size_) * sizeof(T));
    FreePixelBlock(data_, size_ * sizeof(T));
    data_ = block;
    size_ = n;
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  friend bool operator==(const TPixelVector& a, const TPixelVector& b) {
    return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
  }

 private:
  void CopyFrom(const T* values, std::size_t n) {
    TPixelVector fresh;
    fresh.resize(n);
    if (n) std::memcpy(fresh.data_, values, n * sizeof(T));
    *this = std::move(fresh);
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
};

// Linear RGBA floats, unassociated alpha, rows top to bottom, four floats a pixel.
struct TFloatPixels {
  int Width = 0;
  int Height = 0;
  TPixelVector<float> RGBA;

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

// The sRGB curve on linear 0..1, unrounded: for figures finer than one 8-bit step.
double SRGBEncode(double linear);
// The sRGB curve alone, linear 0..1 to 0..255 (clamped), for single values such as a readout.
std::uint8_t LinearToSRGB8(float linear);

}  // namespace vumo
