// Normal maps stored as two channels (BC5, EAC RG11, R8G8, R16G16, DXT5 with X in alpha): the
// stored X and Y brought to -1..1, the Z they leave out rebuilt, and the vector drawn as the
// usual normal-map colour (each component n * 0.5 + 0.5).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vumo {

struct TNormal {
  float X = 0.0f, Y = 0.0f, Z = 1.0f;
};

// Unsigned storage maps 0..max onto -1..1; signed storage divides by the largest positive
// code, and its most negative code, one below -max, is -1 as well.
float UnsignedByteToUnit(std::uint8_t v);
float SignedByteToUnit(std::int8_t v);
float Unsigned16ToUnit(std::uint16_t v);
float Signed16ToUnit(std::int16_t v);

// The unit normal whose X and Y are given: Z = sqrt(1 - x^2 - y^2). A pair outside the unit
// disc (compression error, or a picture that is no normal map) is scaled back onto its edge,
// so Z is 0 and the vector still has length 1.
TNormal RebuildNormal(float x, float y);

// One component in -1..1 as the 0..255 of its colour.
std::uint8_t UnitToByte(float v);

// Which byte of a 4-byte pixel holds a stored channel.
struct TNormalChannels {
  std::uint8_t X = 0, Y = 1;
};

// A row of 4-byte pixels whose X and Y bytes are unsigned 0..255 (signed textures are decoded
// to that range already) into 4-byte opaque normal colours, red, green and blue at the byte
// offsets `red`, `green`, `blue` (2, 1, 0 for the 32-bit bitmap's B, G, R, A).
void NormalRow(const std::uint8_t* pixels, std::uint8_t* out, std::size_t width, TNormalChannels channels,
               unsigned red = 2, unsigned green = 1, unsigned blue = 0);

}  // namespace vumo
