// Multi-page TIFF files for tests that lay out or step through a file's pages: each page
// uncompressed 8-bit RGB of one colour, little-endian.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vumo::test {

struct TTiffPage {
  std::uint32_t Width = 1, Height = 1;
  std::uint8_t Red = 0, Green = 0, Blue = 0;
};

inline void WriteTiffPages(const std::string& path, const std::vector<TTiffPage>& pages) {
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
  auto put = [&out](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  std::size_t link = 4;  // where the next directory's offset goes
  for (const TTiffPage& page : pages) {
    const auto pixels = static_cast<std::uint32_t>(out.size()), bytes = page.Width * page.Height * 3;
    for (std::uint32_t i = 0; i < bytes; ++i) out.push_back(i % 3 == 0 ? page.Red : i % 3 == 1 ? page.Green : page.Blue);
    if (out.size() % 2) out.push_back(0);
    const auto bits = static_cast<std::uint32_t>(out.size());
    put(0x00080008, 4), put(8, 2);
    for (int i = 0; i < 4; ++i) out[link + i] = static_cast<std::uint8_t>(out.size() >> (8 * i));
    // Tag, type (3 short, 4 long), count, value: sorted by tag.
    const std::uint32_t entries[][4] = {{256, 4, 1, page.Width}, {257, 4, 1, page.Height}, {258, 3, 3, bits},
                                        {259, 3, 1, 1},          {262, 3, 1, 2},           {273, 4, 1, pixels},
                                        {277, 3, 1, 3},          {278, 4, 1, page.Height}, {279, 4, 1, bytes}};
    put(static_cast<std::uint32_t>(std::size(entries)), 2);
    for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(e[2], 4), put(e[3], 4);
    link = out.size();
    put(0, 4);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

}  // namespace vumo::test
