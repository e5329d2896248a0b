// The byte moves almost every picture load ends in: exchanging the first and third byte of
// each 3-byte pixel, and interleaving separate 8-bit planes into pixels. Each picks the
// widest vector unit the processor has once, and falls back to plain loops elsewhere; the
// results are the same bytes whichever path runs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vumo {

// memcpy for rows of a picture far larger than the processor's caches: the target is written
// without being read into the caches first (streaming stores), which saves a third of the
// memory traffic of an ordinary copy. For small pictures an ordinary copy is faster, as
// their rows are still cached when they are next used.
void CopyRowUncached(const std::uint8_t* source, std::uint8_t* target, std::size_t bytes);
// Whether a picture of this many bytes is large enough for that. Measured on 4096 x 4096
// pictures: streaming pays at 48 MiB, and costs at 16 MiB, which the caches still largely hold.
inline bool IsLargePicture(std::size_t bytes) { return bytes >= (std::size_t{32} << 20); }

// target[3i] = source[3i + 2], target[3i + 1] = source[3i + 1], target[3i + 2] = source[3i].
// source and target are either the same row (in place) or do not overlap.
void SwapRedBlue24(const std::uint8_t* source, std::uint8_t* target, std::size_t count);

// The same for rows of a large picture (IsLargePicture), streamed as CopyRowUncached streams;
// source and target do not overlap.
void SwapRedBlue24Uncached(const std::uint8_t* source, std::uint8_t* target, std::size_t count);

// Blue, green, red and alpha pixels whose colours were stored multiplied by their alpha
// ("associated" alpha) get their own colours back: c * 255 / alpha, rounded, at most 255.
// Fully transparent pixels keep colour 0.
void UnpremultiplyBGRA(std::uint8_t* pixels, std::size_t count);

// Blue, green, red and alpha pixels whose colours were stored blended over white (as
// Photoshop stores the merged picture of a transparent document) get their own colours
// back: 255 - (255 - c) * 255 / alpha, rounded, at least 0. Fully transparent pixels keep
// their colour.
void UnmatteWhiteBGRA(std::uint8_t* pixels, std::size_t count);
// Whether blue-green-red-alpha pixels can be colours blended over white: every fully
// transparent pixel white, and no colour darker than the white that its transparency lets
// through (255 x (1 - alpha)), within one level for samples reduced from 16 bits.
bool BlendedOverWhiteBGRA(const std::uint8_t* pixels, std::size_t count);

// target[3i + k] = plane k[i]. The planes and the target do not overlap.
void MergePlanes3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  std::uint8_t* target, std::size_t count);

// target[4i + k] = plane k[i]. The planes and the target do not overlap.
void MergePlanes4(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  const std::uint8_t* fourth, std::uint8_t* target, std::size_t count);

}  // namespace vumo
