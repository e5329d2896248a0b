// The 4096 x 4096 files the load benchmarks and the peak-memory probe share, made in memory
// from the painted texture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vumo::bench {

std::vector<std::uint8_t> MakePpm();             // P6, 8 bits
std::vector<std::uint8_t> MakePgm();             // P5, 8 bits
std::vector<std::uint8_t> MakeBmp24();           // bottom-up, no compression
std::vector<std::uint8_t> MakePsd(bool packBits);  // RGB, 8 bits
std::vector<std::uint8_t> MakePcx(int planes);     // 1 plane with a palette, or 3
std::vector<std::uint8_t> MakeJpeg(int quality);   // RGB, 4:2:0

// The file of a format by name ("ppm", "pgm", "bmp", "psd", "psd-raw", "pcx", "pcx8", "jpeg");
// empty for an unknown name.
std::vector<std::uint8_t> MakeFile(const std::string& name);

}  // namespace vumo::bench
