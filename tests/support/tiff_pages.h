// Small multi-page TIFF files for tests that step through or lay out a file's pages: each
// page uncompressed 8-bit RGB of one colour, little-endian.
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

inline std::vector<std::uint8_t> TiffPages(const std::vector<TTiffPage>& pages) {
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
  auto put16 = [&out](unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto patch32 = [&out](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  std::size_t link = 4;  // where the offset of the next directory goes
  for (const TTiffPage& page : pages) {
    const std::uint32_t pixels = static_cast<std::uint32_t>(out.size());
    for (std::uint32_t i = 0; i < page.Width * page.Height; ++i) {
      out.push_back(page.Red);
      out.push_back(page.Green);
      out.push_back(page.Blue);
    }
    if (out.size() % 2) out.push_back(0);
    const std::uint32_t bits = static_cast<std::uint32_t>(out.size());
    put16(8), put16(8), put16(8);
    patch32(link, static_cast<std::uint32_t>(out.size()));
    struct Entry {
      unsigned tag, type;
      std::uint32_t value;
    };
    const Entry entries[] = {{256, 4, page.Width}, {257, 4, page.Height}, {258, 3, bits},  {259, 3, 1},
                             {262, 3, 2},          {273, 4, pixels},      {277, 3, 3},     {278, 4, page.Height},
                             {279, 4, page.Width * page.Height * 3},      {284, 3, 1}};
    put16(static_cast<unsigned>(std::size(entries)));
    for (const Entry& e : entries) {
      put16(e.tag);
      put16(e.type);
      put32(e.tag == 258 ? 3 : 1);
      if (e.type == 3 && e.tag != 258) {
        put16(e.value);
        put16(0);
      } else {
        put32(e.value);
      }
    }
    link = out.size();
    put32(0);
  }
  return out;
}

inline void WriteTiffPages(const std::string& path, const std::vector<TTiffPage>& pages) {
  const std::vector<std::uint8_t> bytes = TiffPages(pages);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vumo::test
