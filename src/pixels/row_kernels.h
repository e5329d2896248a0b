// The byte moves almost every picture load ends in: exchanging the first and third byte of
// each 3-byte pixel, interleaving separate 8-bit planes into pixels, and undoing PNG's row
// filters. Each picks the widest vector unit the processor has once, and falls back to plain
// loops elsewhere; the results are the same bytes whichever path runs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vumo {

// memcpy with streaming stores: the target is written without being read into the caches
// first. The readers no longer use it: on the machines we measure, whole loads of 4096 x 4096
// pictures ran as fast with ordinary stores into pages in use and up to twice as fast into
// fresh pages. Kept, with its red/blue twin, for the next machine where streaming pays.
void CopyRowUncached(const std::uint8_t* source, std::uint8_t* target, std::size_t bytes);

// target[3i] = source[3i + 2], target[3i + 1] = source[3i + 1], target[3i + 2] = source[3i].
// source and target are either the same row (in place) or do not overlap.
void SwapRedBlue24(const std::uint8_t* source, std::uint8_t* target, std::size_t count);

// The same, streamed as CopyRowUncached streams;
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

// Undoes a PNG row filter in place: `type` 1 to 4 (sub, up, average, Paeth) against `prior`,
// the row above as stored before filtering (zeros for a pass's first row); 0 and an unknown
// type leave the row as it is. `pixelBytes` is at least 1, as the filters round a pixel's
// bits up to whole bytes.
void UnfilterPngRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes,
                    std::size_t pixelBytes);

}  // namespace vumo
