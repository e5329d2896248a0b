// Writes small WMF and EMF files record by record, for tests that need one drawing family
// at a time. Both describe a picture whose logical units are pixels at 96 per inch.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace vumo::test {

inline void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void PutF32(std::vector<std::uint8_t>& out, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  Put32(out, bits);
}

// A bottom-up 24-bit DIB (info header and pixels); `rgb` lists rows top first.
inline std::vector<std::uint8_t> Dib24(int width, int height, const std::vector<std::uint32_t>& rgb) {
  std::vector<std::uint8_t> out;
  Put32(out, 40), Put32(out, width), Put32(out, height), Put16(out, 1), Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  const int stride = (width * 3 + 3) / 4 * 4;
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = rgb[static_cast<std::size_t>(y * width + x)];
      out.push_back(c & 0xFF), out.push_back((c >> 8) & 0xFF), out.push_back((c >> 16) & 0xFF);  // B, G, R
    }
    for (int pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

class TWmfWriter {
 public:
  // The placeable header's box and units per inch; `placeable` false writes a plain file.
  explicit TWmfWriter(int width = 96, int height = 96, int unitsPerInch = 96, unsigned objects = 16,
                      bool placeable = true)
      : width_(width), height_(height), inch_(unitsPerInch), objects_(objects), placeable_(placeable) {}

  TWmfWriter& Record(unsigned function, std::initializer_list<int> words) {
    std::vector<std::uint8_t> params;
    for (int w : words) Put16(params, static_cast<unsigned>(w) & 0xFFFF);
    return Raw(function, params);
  }
  TWmfWriter& Raw(unsigned function, const std::vector<std::uint8_t>& params) {
    Put32(records_, static_cast<std::uint32_t>(3 + (params.size() + 1) / 2));
    Put16(records_, function);
    records_.insert(records_.end(), params.begin(), params.end());
    if (params.size() % 2) records_.push_back(0);
    return *this;
  }
  // A record whose size field says `words` whatever follows.
  TWmfWriter& Lying(unsigned function, std::uint32_t words) {
    Put32(records_, words);
    Put16(records_, function);
    return *this;
  }
  // Colours are 0xBBGGRR.
  TWmfWriter& Pen(int style, int width, std::uint32_t color) {
    return Record(0x02FA, {style, width, 0, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16)});
  }
  TWmfWriter& Brush(int style, std::uint32_t color, int hatch = 0) {
    return Record(0x02FC, {style, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16), hatch});
  }
  TWmfWriter& Select(int index) { return Record(0x012D, {index}); }
  TWmfWriter& Delete(int index) { return Record(0x01F0, {index}); }
  TWmfWriter& Rectangle(int l, int t, int r, int b) { return Record(0x041B, {b, r, t, l}); }
  TWmfWriter& Font(int height, int weight, const std::string& face, int escapement = 0) {
    std::vector<std::uint8_t> p;
    for (int v : {height, 0, escapement, escapement, weight}) Put16(p, static_cast<unsigned>(v) & 0xFFFF);
    for (int i = 0; i < 8; ++i) p.push_back(0);
    for (char c : face) p.push_back(static_cast<std::uint8_t>(c));
    p.resize(p.size() < 50 ? 50 : p.size() + 1, 0);
    return Raw(0x02FB, p);
  }

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    if (placeable_) {
      Put32(out, 0x9AC6CDD7), Put16(out, 0);
      Put16(out, 0), Put16(out, 0), Put16(out, static_cast<unsigned>(width_)), Put16(out, static_cast<unsigned>(height_));
      Put16(out, static_cast<unsigned>(inch_)), Put32(out, 0), Put16(out, 0);
    }
    const std::uint32_t words = static_cast<std::uint32_t>(9 + records_.size() / 2 + 3);
    Put16(out, 1), Put16(out, 9), Put16(out, 0x300), Put32(out, words), Put16(out, objects_), Put32(out, 0), Put16(out, 0);
    out.insert(out.end(), records_.begin(), records_.end());
    Put32(out, 3), Put16(out, 0);  // end of file
    return out;
  }

 private:
  int width_, height_, inch_;
  unsigned objects_;
  bool placeable_;
  std::vector<std::uint8_t> records_;
};

class TEmfWriter {
 public:
  // A reference device of 96 pixels per inch; the frame covers width x height of its pixels.
  explicit TEmfWriter(int width = 96, int height = 96, unsigned handles = 16)
      : width_(width), height_(height), handles_(handles) {}

  TEmfWriter& Record(std::uint32_t type, std::initializer_list<std::int32_t> fields) {
    std::vector<std::uint8_t> p;
    for (std::int32_t f : fields) Put32(p, static_cast<std::uint32_t>(f));
    return Raw(type, p);
  }
  TEmfWriter& Raw(std::uint32_t type, std::vector<std::uint8_t> params) {
    while (params.size() % 4) params.push_back(0);
    Put32(records_, type);
    Put32(records_, static_cast<std::uint32_t>(8 + params.size()));
    records_.insert(records_.end(), params.begin(), params.end());
    ++count_;
    return *this;
  }
  TEmfWriter& Pen(std::uint32_t index, int style, int width, std::uint32_t color) {
    return Record(38, {static_cast<std::int32_t>(index), style, width, 0, static_cast<std::int32_t>(color)});
  }
  TEmfWriter& Brush(std::uint32_t index, int style, std::uint32_t color, int hatch = 0) {
    return Record(39, {static_cast<std::int32_t>(index), style, static_cast<std::int32_t>(color), hatch});
  }
  TEmfWriter& Select(std::uint32_t index) { return Record(37, {static_cast<std::int32_t>(index)}); }
  TEmfWriter& Font(std::uint32_t index, int height, int weight, const std::u16string& face, int escapement = 0) {
    std::vector<std::uint8_t> p;
    for (std::int32_t v : {static_cast<std::int32_t>(index), height, 0, escapement, escapement, weight}) Put32(p, static_cast<std::uint32_t>(v));
    for (int i = 0; i < 8; ++i) p.push_back(0);
    for (int i = 0; i < 32; ++i) Put16(p, i < static_cast<int>(face.size()) ? face[static_cast<std::size_t>(i)] : 0);
    return Raw(82, p);
  }
  // Polygons, polylines and Béziers: bounds, count, 32-bit points.
  TEmfWriter& Poly(std::uint32_t type, std::initializer_list<std::int32_t> xy) {
    std::vector<std::uint8_t> p(16, 0);
    Put32(p, static_cast<std::uint32_t>(xy.size() / 2));
    for (std::int32_t v : xy) Put32(p, static_cast<std::uint32_t>(v));
    return Raw(type, p);
  }

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    const std::int32_t frameW = width_ * 2540 / 96, frameH = height_ * 2540 / 96;
    Put32(out, 1), Put32(out, 108);
    for (std::int32_t v : {0, 0, width_ - 1, height_ - 1, 0, 0, frameW, frameH}) Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, 0x464D4520), Put32(out, 0x10000);
    Put32(out, static_cast<std::uint32_t>(108 + records_.size() + 20)), Put32(out, count_ + 2);
    Put16(out, handles_), Put16(out, 0);
    Put32(out, 0), Put32(out, 0), Put32(out, 0);           // description, palette
    Put32(out, 960), Put32(out, 960), Put32(out, 254), Put32(out, 254);  // 96 pixels per inch
    Put32(out, 0), Put32(out, 0), Put32(out, 0), Put32(out, 254000), Put32(out, 254000);
    out.insert(out.end(), records_.begin(), records_.end());
    for (std::uint32_t v : {14u, 20u, 0u, 0u, 20u}) Put32(out, v);  // end of file
    return out;
  }

 private:
  int width_, height_;
  unsigned handles_;
  std::uint32_t count_ = 0;
  std::vector<std::uint8_t> records_;
};

}  // namespace vumo::test
