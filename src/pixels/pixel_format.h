#pragma once

#include <cstdint>

namespace vumo {

// The pixel formats of a device-independent bitmap.
enum TPixelFormat : std::uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Bits one pixel takes in a bitmap row of this format (0 for device and custom).
inline int BitsPerPixelOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

}  // namespace vumo
