#include "formats/psp.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "pixels/messages.h"
#include "formats/memory_limit.h"
#include "support/hostile_files.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Rgba8Image;

// A small Paint Shop Pro writer, from the format as the reader knows it: a file header, the
// attributes block, an optional palette block and a layer bank of layers with channels.
enum TCompression { kNone = 0, kRle = 1, kLz77 = 2 };

void Put16(Bytes& out, unsigned v) {
  out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}
void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

using test::Deflated;

struct TWriter {
  unsigned version = 5;

  Bytes Block(unsigned type, const Bytes& content) const {
    Bytes out = {'~', 'B', 'K', 0};
    Put16(out, type);
    if (version == 3) Put32(out, 0);  // the initial chunk length, not read
    Put32(out, static_cast<std::uint32_t>(content.size()));
    Append(out, content);
    return out;
  }
  // Versions after 3 begin every chunk with its length, which counts itself.
  Bytes Chunk(const Bytes& content) const {
    if (version == 3) return content;
    Bytes out;
    Put32(out, static_cast<std::uint32_t>(content.size() + 4));
    Append(out, content);
    return out;
  }

  Bytes Header(std::uint32_t width, std::uint32_t height, unsigned depth, TCompression compression, bool grey) const {
    Bytes out(32, 0);
    std::memcpy(out.data(), "Paint Shop Pro Image File\n\x1a", 27);
    Put16(out, version);
    Put16(out, 0);
    Bytes attributes;
    Put32(attributes, width);
    Put32(attributes, height);
    const double resolution = 72;
    std::uint64_t raw;
    std::memcpy(&raw, &resolution, 8);
    for (int i = 0; i < 8; ++i) attributes.push_back(static_cast<std::uint8_t>(raw >> (8 * i)));
    attributes.push_back(1);  // per inch
    Put16(attributes, compression);
    Put16(attributes, depth);
    Put16(attributes, 1);
    Put32(attributes, depth == 24 ? 1u << 24 : 1u << depth);
    attributes.push_back(grey ? 1 : 0);
    attributes.resize(42, 0);
    Append(out, Block(0, Chunk(attributes)));
    return out;
  }

  // The entry count in the information chunk, the entries after it.
  Bytes Palette(const std::vector<std::array<std::uint8_t, 3>>& colours) const {
    Bytes count;
    Put32(count, static_cast<std::uint32_t>(colours.size()));
    Bytes content = Chunk(count);
    for (const auto& c : colours) content.insert(content.end(), {c[2], c[1], c[0], 0});
    return Block(2, content);
  }

  static Bytes Rle(const Bytes& plane) {
    Bytes out;
    std::size_t i = 0;
    while (i < plane.size()) {
      std::size_t run = 1;
      while (i + run < plane.size() && run < 127 && plane[i + run] == plane[i]) ++run;
      if (run >= 3) {
        out.insert(out.end(), {static_cast<std::uint8_t>(128 + run), plane[i]});
        i += run;
      } else {
        std::size_t n = 0;
        while (i + n < plane.size() && n < 127 &&
               !(i + n + 2 < plane.size() && plane[i + n] == plane[i + n + 1] && plane[i + n] == plane[i + n + 2]))
          ++n;
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), plane.begin() + static_cast<std::ptrdiff_t>(i),
                   plane.begin() + static_cast<std::ptrdiff_t>(i + n));
        i += n;
      }
    }
    return out;
  }

  Bytes Channel(unsigned channelType, const Bytes& plane, TCompression compression) const {
    Bytes data = plane;
    if (compression == kRle) data = Rle(plane);
    if (compression == kLz77) data = Deflated(plane);
    Bytes fields;
    Put32(fields, static_cast<std::uint32_t>(data.size()));
    Put32(fields, static_cast<std::uint32_t>(plane.size()));
    Put16(fields, 1);
    Put16(fields, channelType);
    Bytes content = Chunk(fields);
    Append(content, data);
    return Block(5, content);
  }

  // A layer covering `rect` (left, top, right, bottom) with its channels, of type 1 (raster)
  // in versions after 3 and 0 in version 3 unless `type` says otherwise.
  Bytes Layer(const std::array<std::uint32_t, 4>& rect, const std::vector<Bytes>& channels, int type = -1) const {
    Bytes info;
    const std::uint8_t layerType = static_cast<std::uint8_t>(type >= 0 ? type : version == 3 ? 0 : 1);
    if (version == 3) {
      info.resize(256, 0);
      std::memcpy(info.data(), "Background", 10);
      Bytes rest;
      rest.push_back(layerType);
      for (std::uint32_t v : rect) Put32(rest, v);
      for (std::uint32_t v : rect) Put32(rest, v);
      rest.resize(115, 0);
      Append(info, rest);
      Put16(info, 1);
      Put16(info, static_cast<unsigned>(channels.size()));
    } else {
      Put16(info, 10);
      info.insert(info.end(), {'B', 'a', 'c', 'k', 'g', 'r', 'o', 'u', 'n', 'd'});
      info.push_back(layerType);
      for (std::uint32_t v : rect) Put32(info, v);
      for (std::uint32_t v : rect) Put32(info, v);
      info.resize(info.size() + 40, 0);
      info = Chunk(info);
      Bytes bitmap;
      Put16(bitmap, 1);
      Put16(bitmap, static_cast<unsigned>(channels.size()));
      Append(info, Chunk(bitmap));
    }
    for (const Bytes& c : channels) Append(info, c);
    return Block(4, info);
  }
};

Rgba8Image Load(const Bytes& bytes, TPSPGraphic* keep = nullptr) { return test::DecodeWith<TPSPGraphic>(bytes, keep); }
std::string ErrorOf(const Bytes& bytes) { return test::LoadErrorWith<TPSPGraphic>(bytes); }

constexpr std::uint32_t kW = 13, kH = 7;

Bytes Plane(int seed) {
  Bytes plane(kW * kH);
  for (std::uint32_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<std::uint8_t>((i / 5) * 17 + seed * 40);
  return plane;
}

// A 24-bit picture (with alpha when asked) in one file of the given version and compression.
Bytes RgbFile(unsigned version, TCompression compression, bool alpha, std::vector<Bytes> extraBlocks = {}) {
  TWriter w{version};
  Bytes file = w.Header(kW, kH, 24, compression, false);
  for (const Bytes& b : extraBlocks) Append(file, b);
  std::vector<Bytes> channels = {w.Channel(1, Plane(1), compression), w.Channel(2, Plane(2), compression),
                                 w.Channel(3, Plane(3), compression)};
  if (alpha) channels.push_back(w.Channel(0, Plane(4), compression));
  Append(file, w.Block(3, w.Layer({0, 0, kW, kH}, channels)));
  return file;
}

Rgba8Image ExpectedRgb(bool alpha) {
  Rgba8Image image{static_cast<int>(kW), static_cast<int>(kH), {}};
  const Bytes r = Plane(1), g = Plane(2), b = Plane(3), a = Plane(4);
  for (std::size_t i = 0; i < r.size(); ++i)
    image.pixels.insert(image.pixels.end(), {r[i], g[i], b[i], alpha ? a[i] : std::uint8_t{255}});
  return image;
}

TEST(PSPReader, RgbLayersDecodeInEveryVersionAndCompression) {
  for (unsigned version : {3u, 5u, 6u}) {
    for (TCompression compression : {kNone, kRle, kLz77}) {
      for (bool alpha : {false, true}) {
        SCOPED_TRACE(testing::Message() << "version " << version << " compression " << compression << " alpha "
                                        << alpha);
        TPSPGraphic reader;
        const Rgba8Image image = Load(RgbFile(version, compression, alpha), &reader);
        EXPECT_EQ(image.width, static_cast<int>(kW));
        EXPECT_EQ(image.pixels, ExpectedRgb(alpha).pixels);
        EXPECT_EQ(reader.PixelFormat(), alpha ? pf32bit : pf24bit);
        EXPECT_EQ(reader.ImageProperties.Version, version);
      }
    }
  }
}

TEST(PSPReader, PaletteAndGreyImages) {
  for (unsigned version : {3u, 4u, 5u}) {
    for (TCompression compression : {kNone, kRle, kLz77}) {
      SCOPED_TRACE(testing::Message() << "version " << version << " compression " << compression);
      TWriter w{version};
      Bytes indices(kW * kH);
      for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i % 3);
      Bytes file = w.Header(kW, kH, 8, compression, false);
      Append(file, w.Palette({{{255, 0, 0}}, {{0, 255, 0}}, {{0, 0, 255}}}));
      Append(file, w.Block(3, w.Layer({0, 0, kW, kH}, {w.Channel(0, indices, compression)})));
      TPSPGraphic reader;
      const Rgba8Image image = Load(file, &reader);
      EXPECT_EQ(reader.PixelFormat(), pf8bit);
      for (std::size_t i = 0; i < indices.size(); ++i) {
        EXPECT_EQ(image.pixels[4 * i + indices[i]], 255) << i;
        EXPECT_EQ(image.pixels[4 * i + (indices[i] + 1) % 3], 0) << i;
      }
      // Grey without a palette block: the values are the grey levels.
      Bytes grey = w.Header(kW, kH, 8, compression, true);
      Append(grey, w.Block(3, w.Layer({0, 0, kW, kH}, {w.Channel(0, Plane(1), compression)})));
      const Rgba8Image levels = Load(grey);
      for (std::size_t i = 0; i < kW * kH; ++i) EXPECT_EQ(levels.pixels[4 * i], Plane(1)[i]);
    }
  }
}

TEST(PSPReader, OtherBlocksAndVectorLayersAreSkipped) {
  TWriter w{5};
  const Bytes creator = w.Block(1, w.Chunk(Bytes(30, 7)));
  const Bytes thumbnail = w.Block(10, Bytes(100, 9));
  Bytes file = w.Header(kW, kH, 24, kRle, false);
  Append(file, creator);
  Bytes bank = w.Layer({0, 0, kW, kH}, {}, 2);  // a vector layer first
  Append(bank, w.Layer({0, 0, kW, kH},
                       {w.Channel(1, Plane(1), kRle), w.Channel(2, Plane(2), kRle), w.Channel(3, Plane(3), kRle)}));
  Append(file, w.Block(3, bank));
  Append(file, thumbnail);
  EXPECT_EQ(Load(file).pixels, ExpectedRgb(false).pixels);
  // No layer bank at all: a blank picture of the attributes' size.
  const Rgba8Image blank = Load(w.Header(kW, kH, 24, kNone, false));
  EXPECT_EQ(blank.width, static_cast<int>(kW));
}

TEST(PSPReader, ALayerRectanglePlacesItsChannels) {
  TWriter w{5};
  Bytes file = w.Header(20, 10, 8, kNone, true);
  const Bytes plane(5 * 3, 200);  // a 5 x 3 layer
  Append(file, w.Block(3, w.Layer({4, 2, 9, 5}, {w.Channel(0, plane, kNone)})));
  const Rgba8Image image = Load(file);
  EXPECT_EQ(image.pixels[4 * (3 * 20 + 5)], 200);
  EXPECT_EQ(image.pixels[4 * (3 * 20 + 3)], 0);
  EXPECT_EQ(image.pixels[4 * (6 * 20 + 5)], 0);
  // A narrower layer from the left edge.
  file = w.Header(20, 10, 8, kNone, true);
  Append(file, w.Block(3, w.Layer({0, 0, 5, 3}, {w.Channel(0, plane, kNone)})));
  const Rgba8Image left = Load(file);
  EXPECT_EQ(left.pixels[4 * (2 * 20 + 4)], 200);
  EXPECT_EQ(left.pixels[4 * (2 * 20 + 5)], 0);
}

TEST(PSPReader, FourBitRowsHaveHalfTheWidthPlusOneBytes) {
  TWriter w{5};
  Bytes file = w.Header(5, 2, 4, kRle, false);
  Append(file, w.Palette({{{0, 0, 0}}, {{10, 0, 0}}, {{20, 0, 0}}, {{30, 0, 0}}, {{40, 0, 0}}, {{50, 0, 0}}}));
  // Indices 1 2 3 4 5 and 5 4 3 2 1, three bytes a row.
  Append(file, w.Block(3, w.Layer({0, 0, 5, 2}, {w.Channel(0, {0x12, 0x34, 0x50, 0x54, 0x32, 0x10}, kRle)})));
  TPSPGraphic reader;
  const Rgba8Image image = Load(file, &reader);
  EXPECT_EQ(reader.PixelFormat(), pf4bit);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(image.pixels[4 * x], 10 * (x + 1));
    EXPECT_EQ(image.pixels[4 * (5 + x)], 10 * (5 - x));
  }
}

// Rows of `rowBytes` each, padded with `fill` to the next multiple of four.
Bytes PadRows(const Bytes& plane, std::size_t rowBytes, std::uint8_t fill = 0xEE) {
  Bytes out;
  for (std::size_t at = 0; at < plane.size(); at += rowBytes) {
    out.insert(out.end(), plane.begin() + static_cast<std::ptrdiff_t>(at),
               plane.begin() + static_cast<std::ptrdiff_t>(at + rowBytes));
    while (out.size() % 4) out.push_back(fill);
  }
  return out;
}

TEST(PSPReader, RowsPaddedToFourBytesLoadWithoutTheirPadding) {
  // 13 pixels across: 8-bit rows of 13 bytes padded to 16, in every compression.
  for (TCompression compression : {kNone, kRle, kLz77}) {
    SCOPED_TRACE(compression);
    TWriter w{5};
    Bytes file = w.Header(kW, kH, 24, compression, false);
    std::vector<Bytes> channels;
    for (unsigned c = 1; c <= 3; ++c) channels.push_back(w.Channel(c, PadRows(Plane(static_cast<int>(c)), kW), compression));
    channels.push_back(w.Channel(0, PadRows(Plane(4), kW), compression));
    Append(file, w.Block(3, w.Layer({0, 0, kW, kH}, channels)));
    EXPECT_EQ(Load(file).pixels, ExpectedRgb(true).pixels);

    Bytes grey = w.Header(kW, kH, 8, compression, true);
    Append(grey, w.Block(3, w.Layer({0, 0, kW, kH}, {w.Channel(0, PadRows(Plane(1), kW), compression)})));
    const Rgba8Image levels = Load(grey);
    ASSERT_EQ(levels.pixels.size(), std::size_t{4} * kW * kH);
    for (std::size_t i = 0; i < kW * kH; ++i) EXPECT_EQ(levels.pixels[4 * i], Plane(1)[i]) << i;
  }
  // 1-bit rows of 2 bytes padded to 4, and 4-bit rows of 3 bytes padded to 4.
  TWriter w{5};
  Bytes mono = w.Header(kW, 2, 1, kNone, false);
  Append(mono, w.Palette({{{0, 0, 0}}, {{255, 255, 255}}}));
  Append(mono, w.Block(3, w.Layer({0, 0, kW, 2}, {w.Channel(0, PadRows({0xAA, 0xA8, 0x00, 0x00}, 2), kNone)})));
  const Rgba8Image bits = Load(mono);
  ASSERT_EQ(bits.pixels.size(), std::size_t{4} * kW * 2);
  for (std::size_t x = 0; x < kW; ++x) {
    EXPECT_EQ(bits.pixels[4 * x], x % 2 ? 0 : 255) << x;
    EXPECT_EQ(bits.pixels[4 * (kW + x)], 0) << x;
  }
  Bytes nibbles = w.Header(5, 2, 4, kRle, false);
  Append(nibbles, w.Palette({{{0, 0, 0}}, {{10, 0, 0}}, {{20, 0, 0}}, {{30, 0, 0}}, {{40, 0, 0}}, {{50, 0, 0}}}));
  Append(nibbles,
         w.Block(3, w.Layer({0, 0, 5, 2}, {w.Channel(0, PadRows({0x12, 0x34, 0x50, 0x54, 0x32, 0x10}, 3), kRle)})));
  const Rgba8Image four = Load(nibbles);
  ASSERT_EQ(four.pixels.size(), std::size_t{4} * 5 * 2);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(four.pixels[4 * x], 10 * (x + 1));
    EXPECT_EQ(four.pixels[4 * (5 + x)], 10 * (5 - x));
  }
}

TEST(PSPReader, BadInputFailsWithAClearMessage) {
  const std::string invalid = FormatMessage(gesInvalidImage, gesPSP);
  TWriter w{5};
  // A channel whose size disagrees with the layer's rectangle.
  Bytes file = w.Header(kW, kH, 8, kNone, true);
  Append(file, w.Block(3, w.Layer({0, 0, kW, kH}, {w.Channel(0, Bytes(5), kNone)})));
  EXPECT_EQ(ErrorOf(file), invalid);
  // A rectangle outside the image.
  file = w.Header(kW, kH, 8, kNone, true);
  Append(file, w.Block(3, w.Layer({0, 0, kW + 1, kH}, {w.Channel(0, Bytes((kW + 1) * kH), kNone)})));
  EXPECT_EQ(ErrorOf(file), invalid);
  // A layer longer than its layer bank.
  file = w.Header(kW, kH, 8, kNone, true);
  Bytes bank = w.Block(3, w.Layer({0, 0, kW, kH}, {w.Channel(0, Plane(1), kNone)}));
  const auto shorter = static_cast<std::uint32_t>(bank.size() - 10 - 10);  // the bank's length, short of its layer
  for (int i = 0; i < 4; ++i) bank[6 + i] = static_cast<std::uint8_t>(shorter >> (8 * i));
  Append(file, bank);
  file.resize(file.size() + 20, 0);
  EXPECT_EQ(ErrorOf(file), invalid);
  // Unsupported depths; broken deflate data; wrong signature; version 2.
  EXPECT_EQ(ErrorOf(w.Header(kW, kH, 16, kNone, false)), FormatMessage(gesInvalidColorFormat, gesPSP));
  file = w.Header(kW, kH, 8, kLz77, true);
  Bytes channel = w.Channel(0, Plane(1), kLz77);
  channel[channel.size() - 8] ^= 0xFF;
  channel[channel.size() - 9] ^= 0xFF;
  Append(file, w.Block(3, w.Layer({0, 0, kW, kH}, {channel})));
  const std::string damaged = ErrorOf(file);
  EXPECT_TRUE(damaged == kLZ77Error || damaged.empty()) << damaged;
  Bytes wrong = RgbFile(5, kNone, false);
  wrong[0] = 'Q';
  EXPECT_EQ(ErrorOf(wrong), invalid);
  TWriter old{2};
  EXPECT_EQ(ErrorOf(old.Header(kW, kH, 24, kNone, false)), invalid);
  // Every truncation fails cleanly or loads.
  for (TCompression compression : {kNone, kRle, kLz77})
    test::ExpectTruncationsHandled(RgbFile(5, compression, true), [](const Bytes& bytes) { Load(bytes); });
}

// A few hundred bytes that declare the largest picture the limits allow, with four channels
// of a few run-length packets each.
Bytes HostileFile(TCompression compression) {
  constexpr std::uint32_t side = 16384;
  TWriter w{5};
  Bytes file = w.Header(side, side, 24, compression, false);
  std::vector<Bytes> channels;
  for (unsigned type : {1u, 2u, 3u, 0u}) {
    Bytes data;
    if (compression == kRle) {
      data = {0x80 + 100, 7, 0x80 + 100, 9};
    } else {
      data = Deflated(Bytes(300, static_cast<std::uint8_t>(type * 50)));
    }
    Bytes fields;
    Put32(fields, static_cast<std::uint32_t>(data.size()));
    Put32(fields, side * side);
    Put16(fields, 1);
    Put16(fields, type);
    Bytes content = w.Chunk(fields);
    Append(content, data);
    channels.push_back(w.Block(5, content));
  }
  Append(file, w.Block(3, w.Layer({0, 0, side, side}, channels)));
  return file;
}

TEST(PSPReader, AHugeDeclaredLayerCostsItsBitmapAndWhatItsDataCanFill) {
  if (!test::kMemoryLimitWorks) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  for (TCompression compression : {kRle, kLz77}) {
    SCOPED_TRACE(compression);
    const Bytes file = HostileFile(compression);
    EXPECT_LT(file.size(), 1000u);
    // The 1 GiB bitmap with alpha, and nothing near the size of a plane beside it.
    const auto end = test::RunUnderMemoryLimit(std::size_t{1536} << 20, [&] {
      TPSPGraphic reader;
      reader.RefuseTooLargeForFile = false;  // as the viewer loads it after its question
      test::LoadInto(reader, file);
      if (reader.Width() != 16384 || reader.PixelFormat() != pf32bit) std::exit(4);
      // What the packets hold is there; the rest of the layer is blank.
      const std::uint8_t* first = reader.ScanLine(0);
      if (compression == kRle && (first[2] != 7 || first[4 * 150 + 2] != 9 || reader.ScanLine(1)[2] != 0))
        std::exit(5);
    });
    EXPECT_EQ(end, test::TChildEnd::kReturned);
  }
}

TEST(PSPReader, CanLoadChecksSignatureAndVersion) {
  const Bytes file = RgbFile(5, kNone, false);
  TMemoryStream stream(file.data(), file.size());
  EXPECT_TRUE(TPSPGraphic::CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  Bytes lower = file;
  for (int i = 0; i < 25; ++i) lower[i] = static_cast<std::uint8_t>(std::tolower(lower[i]));
  TMemoryStream lowerStream(lower.data(), lower.size());
  EXPECT_TRUE(TPSPGraphic::CanLoad(lowerStream));
  TWriter old{2};
  const Bytes two = old.Header(kW, kH, 24, kNone, false);
  TMemoryStream twoStream(two.data(), two.size());
  EXPECT_FALSE(TPSPGraphic::CanLoad(twoStream));
}

}  // namespace
}  // namespace vumo
