// What a picture file's header says, read without decoding a pixel: the file list's
// dimension, pixel format, image set and alpha columns come from here, for thousands of
// files at a time, so only a bounded prefix of each file is ever read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vumo {

struct THeaderInfo {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  // How the pixels are stored: "BC7 sRGB", "PNG RGBA 16-bit", "EXR half RGBA PIZ".
  std::string Format;
  // The images beside the first: "11 levels", "6 faces x 10 levels", "3 pages"; empty for one.
  std::string ImageSet;
  bool HasAlpha = false;

  friend bool operator==(const THeaderInfo&, const THeaderInfo&) = default;
};

// Most headers fit in the first block of a file; TIFF may keep its directories anywhere,
// so a second, still bounded, try reads up to kHeaderReadLimit bytes wherever they lie.
inline constexpr std::size_t kHeaderPrefixBytes = 64 * 1024;
inline constexpr std::size_t kHeaderReadLimit = 1024 * 1024;

// Nothing when the file cannot be read or no reader knows its header. The reader is chosen
// by the file's extension first, then by the content against every registered reader.
std::optional<THeaderInfo> ReadHeaderInfo(const std::string& fileName);

// The same from bytes already read (a file's first bytes); `extension` without its dot,
// may be empty.
std::optional<THeaderInfo> ReadHeaderInfo(std::span<const std::uint8_t> prefix, const std::string& extension);

// The header of an OpenEXR file from its first bytes; the library's reader wants the whole
// file with its chunk table, which a listing cannot afford.
std::optional<THeaderInfo> ReadExrHeaderInfo(std::span<const std::uint8_t> bytes);

}  // namespace vumo
