// The byte moves almost every picture load ends in: exchanging the first and third byte of
// each 3-byte pixel, and interleaving separate 8-bit planes into pixels. Each picks the
// widest vector unit the processor has once, and falls back to plain loops elsewhere; the
// results are the same bytes whichever path runs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vumo {

// target[3i] = source[3i + 2], target[3i + 1] = source[3i + 1], target[3i + 2] = source[3i].
// source and target are either the same row (in place) or do not overlap.
void SwapRedBlue24(const std::uint8_t* source, std::uint8_t* target, std::size_t count);

// target[3i + k] = plane k[i]. The planes and the target do not overlap.
void MergePlanes3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  std::uint8_t* target, std::size_t count);

// target[4i + k] = plane k[i]. The planes and the target do not overlap.
void MergePlanes4(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  const std::uint8_t* fourth, std::uint8_t* target, std::size_t count);

}  // namespace vumo
