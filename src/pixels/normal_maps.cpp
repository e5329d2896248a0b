#include "pixels/normal_maps.h"

#include <algorithm>
#include <cmath>

namespace vumo {

float UnsignedByteToUnit(std::uint8_t v) { return static_cast<float>(v) / 127.5f - 1.0f; }

float SignedByteToUnit(std::int8_t v) { return static_cast<float>(std::max<int>(v, -127)) / 127.0f; }

float Unsigned16ToUnit(std::uint16_t v) { return static_cast<float>(v) / 32767.5f - 1.0f; }

float Signed16ToUnit(std::int16_t v) { return static_cast<float>(std::max<int>(v, -32767)) / 32767.0f; }

TNormal RebuildNormal(float x, float y) {
  const float d = x * x + y * y;
  if (!(d <= 1.0f)) {
    // NaN lands here too, and becomes the flat normal rather than a NaN colour.
    if (!std::isfinite(d) || d == 0.0f) return {};
    const float scale = 1.0f / std::sqrt(d);
    return {x * scale, y * scale, 0.0f};
  }
  return {x, y, std::sqrt(1.0f - d)};
}

std::uint8_t UnitToByte(float v) {
  const float c = std::clamp(v * 0.5f + 0.5f, 0.0f, 1.0f);
  return static_cast<std::uint8_t>(std::lround(c * 255.0f));
}

void NormalRow(const std::uint8_t* pixels, std::uint8_t* out, std::size_t width, TNormalChannels channels,
               unsigned red, unsigned green, unsigned blue) {
  for (std::size_t i = 0; i < width; ++i, pixels += 4, out += 4) {
    const TNormal n = RebuildNormal(UnsignedByteToUnit(pixels[channels.X]), UnsignedByteToUnit(pixels[channels.Y]));
    out[red] = UnitToByte(n.X);
    out[green] = UnitToByte(n.Y);
    out[blue] = UnitToByte(n.Z);
    out[3] = 255;
  }
}

}  // namespace vumo
