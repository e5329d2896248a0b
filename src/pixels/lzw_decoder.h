// LZW as GIF and TIFF store it: variable-width codes of up to 12 bits, a clear code and an
// end code after the roots. The three ways of packing differ only in bit order and in when
// the code width grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vumo {

enum class TLZWPacking : std::uint8_t {
  kGif,      // least significant bit first; the width grows once the next code needs it
  kTiff,     // most significant bit first; the width grows one code early
  kTiffOld,  // early libtiff files: least significant bit first, growing as GIF does
};

struct TLZWResult {
  std::size_t written = 0;  // bytes put in the output
  bool ended = false;       // the end code was met
  bool damaged = false;     // a code not yet in the table: the stream cannot go on
};

// Decodes one stream into `out`, stopping at the end code, at the end of the input, at a
// damaged code or when `out` is full, whichever comes first: a stream that would expand
// beyond its picture costs no more than the picture. `rootBits` is the width of the literal
// codes (2 to 8 for GIF, 8 for TIFF; some GIF writers go up to 11, with byte literals all
// the same); the first codes are one bit wider.
TLZWResult DecodeLZW(TLZWPacking packing, unsigned rootBits, std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// Whether TIFF LZW data was written by the early, least-significant-bit-first coders: their
// first code, the clear code, shows in the first two bytes as 0x00 and an odd second byte.
inline bool IsOldStyleTiffLZW(std::span<const std::uint8_t> data) {
  return data.size() >= 2 && data[0] == 0 && (data[1] & 1) != 0;
}

}  // namespace vumo
