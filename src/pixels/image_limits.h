// The one place that bounds what a file may ask the program to allocate, and the
// overflow-checked size arithmetic every reader and decoder uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "pixels/messages.h"

namespace vumo {

// A side longer than any format this program reads can describe in 16 bits, times four.
inline constexpr std::uint32_t kMaxImageSide = 262144;
// 256 megapixels: a 16384 x 16384 texture.
inline constexpr std::uint64_t kMaxPixelCount = std::uint64_t{1} << 28;
// One gibibyte of pixel data for one bitmap.
inline constexpr std::uint64_t kMaxBitmapBytes = std::uint64_t{1} << 30;
// One gibibyte of float samples beside it: a high-dynamic-range picture of 64 megapixels.
inline constexpr std::uint64_t kMaxFloatPixelBytes = std::uint64_t{1} << 30;

// A picture past this many pixels (Pillow's budget: a quarter gibibyte of 24-bit pixels)
// must come from a file of a plausible size...
inline constexpr std::uint64_t kPlausiblePixelCount = 89'478'485;
// ...one byte for at most this many pixels: twice what deflate, the strongest coder the
// readers meet on real files, reaches on a picture of one colour at one bit a pixel
// (1032 bytes from each, 8256 pixels). A few hundred bytes declaring 16384 x 16384 are a
// decompression bomb, not a picture.
inline constexpr std::uint64_t kMaxPixelsPerFileByte = 16384;

// The budget is of memory, kPlausiblePixelCount pixels of this many bytes: a picture that
// keeps its float samples beside its bitmap costs kFloatPictureBytesPerPixel a pixel, so one
// of about 18 megapixels already spends it.
inline constexpr std::uint64_t kPlausibleBytesPerPixel = 4;
inline constexpr std::uint64_t kFloatPictureBytesPerPixel = 4 + 16;

// True when a picture of this size, at `bytesPerPixel` in memory, cannot plausibly come from
// a file of `fileBytes`.
inline bool TooLargeForFile(std::uint64_t width, std::uint64_t height, std::uint64_t fileBytes,
                            std::uint64_t bytesPerPixel = kPlausibleBytesPerPixel) {
  const std::uint64_t pixels = height != 0 && width > UINT64_MAX / height ? UINT64_MAX : width * height;
  const std::uint64_t cost = bytesPerPixel != 0 && pixels > UINT64_MAX / bytesPerPixel ? UINT64_MAX : pixels * bytesPerPixel;
  return cost > kPlausiblePixelCount * kPlausibleBytesPerPixel && pixels / kMaxPixelsPerFileByte >= fileBytes;
}

// a * b, or nothing when the product does not fit.
inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b) {
  if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) return std::nullopt;
  return a * b;
}

inline std::optional<std::size_t> CheckedMul(std::size_t a, std::size_t b, std::size_t c) {
  auto ab = CheckedMul(a, b);
  if (!ab) return std::nullopt;
  return CheckedMul(*ab, c);
}

inline std::optional<std::size_t> CheckedAdd(std::size_t a, std::size_t b) {
  if (b > std::numeric_limits<std::size_t>::max() - a) return std::nullopt;
  return a + b;
}

// Bytes of a row of `width` pixels of `bitsPerPixel` bits, rounded up to whole bytes.
inline std::optional<std::size_t> RowBytes(std::size_t width, std::size_t bitsPerPixel) {
  auto bits = CheckedMul(width, bitsPerPixel);
  if (!bits || *bits > std::numeric_limits<std::size_t>::max() - 7) return std::nullopt;
  return (*bits + 7) / 8;
}

// True when an image of this size is within the limits above.
inline bool ImageSizeAllowed(std::uint64_t width, std::uint64_t height, std::uint64_t bitsPerPixel = 32) {
  if (width > kMaxImageSide || height > kMaxImageSide) return false;
  if (width * height > kMaxPixelCount) return false;
  return ((width * bitsPerPixel + 31) / 32) * 4 * height <= kMaxBitmapBytes;
}

}  // namespace vumo
