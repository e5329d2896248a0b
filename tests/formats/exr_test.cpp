// What only OpenEXR has: every compression the library writes, half, float and unsigned
// channels, RGB(A), luminance, luminance/chroma and single channels, tiled parts with levels,
// multipart files as images, and the data window placed in the display window. The files
// are written here with libopenexr's own writer; real files from other programs are held
// against those programs' decodes.
#include "formats/exr.h"
#include "formats/exr_vector_stream.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfRgbaFile.h>
#include <ImfTiledOutputPart.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "formats/messages.h"
#include "formats/portable_map.h"
#include "pixels/float_pixels.h"
#include "support/linear_references.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected OpenEXR image format.";

using test::TVectorOStream;

using TValue = std::function<float(int x, int y)>;
struct TChannel {
  std::string Name;
  Imf::PixelType Type;
  TValue Value;
};
struct TPart {
  Imf::Header Header;
  std::vector<TChannel> Channels;
};

// Distinct in each channel and pixel, and exact in half precision.
float Red(int x, int y) { return x * 0.25f + 0.125f + y * 0.0f; }
float Green(int, int y) { return y * 0.5f; }
float Blue(int x, int y) { return (x + y) / 8.0f + 2.0f; }
float Alpha(int x, int y) { return ((x * 7 + y * 3) % 9) / 8.0f; }

Imf::Header MakeHeader(Imath::Box2i display, Imath::Box2i data, Imf::Compression compression = Imf::ZIP_COMPRESSION) {
  Imf::Header header(display, data, 1, Imath::V2f(0, 0), 1, Imf::INCREASING_Y, compression);
  return header;
}

Imf::Header MakeHeader(int width, int height, Imf::Compression compression = Imf::ZIP_COMPRESSION) {
  const Imath::Box2i box(Imath::V2i(0, 0), Imath::V2i(width - 1, height - 1));
  return MakeHeader(box, box, compression);
}

// Fills `frame` with the channels' values over `window`, kept alive in `store`.
void Fill(Imf::FrameBuffer& frame, const std::vector<TChannel>& channels, const Imath::Box2i& window,
          std::vector<std::vector<std::uint8_t>>& store) {
  const int w = window.max.x - window.min.x + 1, h = window.max.y - window.min.y + 1;
  for (const TChannel& c : channels) {
    const std::size_t size = c.Type == Imf::HALF ? 2 : 4;
    store.emplace_back(static_cast<std::size_t>(w) * h * size);
    std::uint8_t* p = store.back().data();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x, p += size) {
        const float v = c.Value(window.min.x + x, window.min.y + y);
        if (c.Type == Imf::HALF) {
          const std::uint16_t bits = Imath::half(v).bits();
          std::memcpy(p, &bits, 2);
        } else if (c.Type == Imf::FLOAT) {
          std::memcpy(p, &v, 4);
        } else {
          const auto u = static_cast<std::uint32_t>(v);
          std::memcpy(p, &u, 4);
        }
      }
    frame.insert(c.Name, Imf::Slice::Make(c.Type, store.back().data(), window, size, size * w));
  }
}

Bytes Write(std::vector<TPart> parts) {
  std::vector<Imf::Header> headers;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    TPart& part = parts[i];
    for (const TChannel& c : part.Channels) part.Header.channels().insert(c.Name, Imf::Channel(c.Type));
    part.Header.setType(part.Header.hasTileDescription() ? Imf::TILEDIMAGE : Imf::SCANLINEIMAGE);
    if (parts.size() > 1) part.Header.setName("part" + std::to_string(i));
    headers.push_back(part.Header);
  }
  TVectorOStream stream;
  {
    Imf::MultiPartOutputFile file(stream, headers.data(), static_cast<int>(headers.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
      std::vector<std::vector<std::uint8_t>> store;
      Imf::FrameBuffer frame;
      if (headers[i].hasTileDescription()) {
        Imf::TiledOutputPart out(file, static_cast<int>(i));
        for (int level = 0; level < out.numLevels(); ++level) {
          Imf::FrameBuffer levelFrame;
          Fill(levelFrame, parts[i].Channels, out.dataWindowForLevel(level), store);
          out.setFrameBuffer(levelFrame);
          out.writeTiles(0, out.numXTiles(level) - 1, 0, out.numYTiles(level) - 1, level);
        }
      } else {
        Imf::OutputPart out(file, static_cast<int>(i));
        const Imath::Box2i& data = headers[i].dataWindow();
        Fill(frame, parts[i].Channels, data, store);
        out.setFrameBuffer(frame);
        out.writePixels(data.max.y - data.min.y + 1);
      }
    }
  }
  return stream.bytes;
}

std::vector<TChannel> RGBA(Imf::PixelType type = Imf::HALF, bool alpha = true) {
  std::vector<TChannel> channels = {{"R", type, Red}, {"G", type, Green}, {"B", type, Blue}};
  if (alpha) channels.push_back({"A", type, Alpha});
  return channels;
}

TEXRGraphic Load(const Bytes& bytes, unsigned index = 0) {
  TEXRGraphic exr;
  exr.RequestImage(index);
  test::LoadInto(exr, bytes);
  return exr;
}

const float* At(const TEXRGraphic& exr, int x, int y) { return exr.FloatPixels()->Row(y) + 4 * x; }

// Pixel (x, y) of the display window holds the file's pixel (x + originX, y + originY), to
// `tolerance` of the value's size.
void ExpectRGBA(const TEXRGraphic& exr, int originX, int originY, float tolerance, const std::string& what) {
  ASSERT_NE(nullptr, exr.FloatPixels()) << what;
  double worst = 0;
  for (int y = 0; y < exr.Height(); ++y)
    for (int x = 0; x < exr.Width(); ++x) {
      const float* p = At(exr, x, y);
      const int fx = x + originX, fy = y + originY;
      const float expected[4] = {Red(fx, fy), Green(fx, fy), Blue(fx, fy), Alpha(fx, fy)};
      for (int c = 0; c < 4; ++c)
        worst = std::max(worst, static_cast<double>(std::abs(p[c] - expected[c]) / std::max(1.0f, expected[c])));
    }
  EXPECT_LE(worst, tolerance) << what;
}

TEST(EXR, EveryCompressionDecodes) {
  // The lossy coders are held to a bound of their error (B44 blurs the alpha pattern's steps).
  const struct {
    Imf::Compression compression;
    const char* name;
    float tolerance;
  } cases[] = {{Imf::NO_COMPRESSION, "uncompressed", 0}, {Imf::RLE_COMPRESSION, "RLE", 0},
               {Imf::ZIPS_COMPRESSION, "ZIPS", 0},       {Imf::ZIP_COMPRESSION, "ZIP", 0},
               {Imf::PIZ_COMPRESSION, "PIZ", 0},         {Imf::PXR24_COMPRESSION, "PXR24", 0},
               {Imf::B44_COMPRESSION, "B44", 0.15f},     {Imf::B44A_COMPRESSION, "B44A", 0.15f},
               {Imf::DWAA_COMPRESSION, "DWAA", 0.2f},    {Imf::DWAB_COMPRESSION, "DWAB", 0.2f}};
  for (const auto& c : cases) {
    const TEXRGraphic exr = Load(Write({{MakeHeader(37, 21, c.compression), RGBA()}}));
    ASSERT_EQ(37, exr.Width()) << c.name;
    ASSERT_EQ(21, exr.Height()) << c.name;
    ExpectRGBA(exr, 0, 0, c.tolerance, c.name);
    EXPECT_EQ(std::string("OpenEXR half RGBA ") + c.name, exr.FormatDescription());
    EXPECT_TRUE(exr.AlphaChannel());
  }
}

TEST(EXR, FloatAndUnsignedChannelsKeepTheirValues) {
  // Past half's largest value and between its steps.
  const TValue big = [](int x, int y) { return 1e6f + x * 0.0625f + y; };
  const TEXRGraphic floats = Load(Write({{MakeHeader(9, 4, Imf::PIZ_COMPRESSION),
                                          {{"R", Imf::FLOAT, big}, {"G", Imf::FLOAT, Green}, {"B", Imf::FLOAT, Blue}}}}));
  EXPECT_EQ(big(5, 3), At(floats, 5, 3)[0]);
  EXPECT_EQ(Blue(5, 3), At(floats, 5, 3)[2]);
  EXPECT_EQ(1.0f, At(floats, 5, 3)[3]);  // no alpha channel: opaque
  EXPECT_EQ("OpenEXR float RGB PIZ", floats.FormatDescription());

  const TValue counts = [](int x, int y) { return static_cast<float>(70000 + x * 3 + y); };
  const TEXRGraphic grey = Load(Write({{MakeHeader(9, 4), {{"Y", Imf::UINT, counts}}}}));
  const float* p = At(grey, 2, 1);
  EXPECT_EQ(70007.0f, p[0]);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[0], p[2]);
  EXPECT_EQ(1.0f, p[3]);
  EXPECT_EQ("OpenEXR uint Y ZIP", grey.FormatDescription());

  const TEXRGraphic withAlpha = Load(Write({{MakeHeader(9, 4), {{"Y", Imf::HALF, Blue}, {"A", Imf::HALF, Alpha}}}}));
  EXPECT_EQ(Blue(4, 2), At(withAlpha, 4, 2)[1]);
  EXPECT_EQ(Alpha(4, 2), At(withAlpha, 4, 2)[3]);
  EXPECT_EQ("OpenEXR half YA ZIP", withAlpha.FormatDescription());
}

TEST(EXR, ChannelsBeyondRGBAndLuminance) {
  // A picture only in a named layer shows that layer; a lone channel of another name, grey.
  const TEXRGraphic layer = Load(Write({{MakeHeader(5, 3),
                                         {{"diffuse.R", Imf::HALF, Red}, {"diffuse.G", Imf::HALF, Green},
                                          {"diffuse.B", Imf::HALF, Blue}, {"Z", Imf::FLOAT, Alpha}}}}));
  EXPECT_EQ(Red(3, 2), At(layer, 3, 2)[0]);
  EXPECT_EQ(Blue(3, 2), At(layer, 3, 2)[2]);
  EXPECT_EQ("OpenEXR half RGB (diffuse) ZIP", layer.FormatDescription());
  const TEXRGraphic depth = Load(Write({{MakeHeader(5, 3), {{"Z", Imf::FLOAT, Blue}}}}));
  EXPECT_EQ(Blue(1, 2), At(depth, 1, 2)[0]);
  EXPECT_EQ(Blue(1, 2), At(depth, 1, 2)[2]);
  EXPECT_EQ("OpenEXR float Z ZIP", depth.FormatDescription());

  // Luminance and chroma, written by the library's RGBA interface: grey and flat colours
  // come back within the chroma's rounding.
  TVectorOStream stream;
  {
    Imf::Header header = MakeHeader(16, 8);
    Imf::RgbaOutputFile out(stream, header, Imf::WRITE_YCA);
    std::vector<Imf::Rgba> pixels(16 * 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) pixels[y * 16 + x] = x < 8 ? Imf::Rgba(0.5f, 0.5f, 0.5f, 1.0f) : Imf::Rgba(0.8f, 0.2f, 0.1f, 0.5f);
    out.setFrameBuffer(pixels.data(), 1, 16);
    out.writePixels(8);
  }
  const TEXRGraphic chroma = Load(stream.bytes);
  EXPECT_NEAR(0.5f, At(chroma, 2, 3)[0], 0.02f);
  EXPECT_NEAR(0.5f, At(chroma, 2, 3)[2], 0.02f);
  EXPECT_NEAR(0.8f, At(chroma, 13, 4)[0], 0.03f);
  EXPECT_NEAR(0.2f, At(chroma, 13, 4)[1], 0.03f);
  EXPECT_NEAR(0.1f, At(chroma, 13, 4)[2], 0.03f);
  EXPECT_NEAR(0.5f, At(chroma, 13, 4)[3], 0.001f);
  EXPECT_EQ("OpenEXR half luminance/chroma with alpha ZIP", chroma.FormatDescription());
}

TEST(EXR, TheDataWindowIsPlacedInTheDisplayWindow) {
  // The display window starts at (-4, 2); the data window reaches past it on three sides.
  const Imath::Box2i display(Imath::V2i(-4, 2), Imath::V2i(5, 9));  // 10 x 8
  const Imath::Box2i data(Imath::V2i(-1, -3), Imath::V2i(12, 6));
  const TEXRGraphic exr = Load(Write({{MakeHeader(display, data, Imf::PIZ_COMPRESSION), RGBA()}}));
  ASSERT_EQ(10, exr.Width());
  ASSERT_EQ(8, exr.Height());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const int fx = x - 4, fy = y + 2;
      const float* p = At(exr, x, y);
      if (fx < -1 || fy > 6) {
        for (int c = 0; c < 4; ++c) ASSERT_EQ(0.0f, p[c]) << x << "," << y;  // transparent
      } else {
        ASSERT_EQ(Red(fx, fy), p[0]) << x << "," << y;
        ASSERT_EQ(Green(fx, fy), p[1]) << x << "," << y;
        ASSERT_EQ(Alpha(fx, fy), p[3]) << x << "," << y;
      }
    }
  // A data window wholly outside shows a transparent picture of the display window's size.
  const Imath::Box2i away(Imath::V2i(100, 100), Imath::V2i(103, 101));
  const TEXRGraphic empty = Load(Write({{MakeHeader(display, away), RGBA()}}));
  EXPECT_EQ(10, empty.Width());
  EXPECT_EQ(0.0f, At(empty, 9, 7)[3]);
  // Beside it, on the same rows (the fuzzer's file copied no bytes at all, but a negative
  // count of them): transparent too.
  for (const Imath::Box2i& beside : {Imath::Box2i(Imath::V2i(100, 3), Imath::V2i(103, 6)),
                                     Imath::Box2i(Imath::V2i(-90, 3), Imath::V2i(-80, 6))}) {
    const TEXRGraphic side = Load(Write({{MakeHeader(display, beside), RGBA()}}));
    EXPECT_EQ(10, side.Width());
    EXPECT_EQ(0.0f, At(side, 0, 3)[3]);
  }
  EXPECT_NO_THROW(test::LoadWith<TEXRGraphic>(
      test::ReadFile(test::Fixture("crashers/exr_data_window_beside_the_display_window"))));
}

TEST(EXR, TiledPartsAndMultipartFiles) {
  Imf::Header tiled = MakeHeader(45, 19, Imf::ZIP_COMPRESSION);
  tiled.setTileDescription(Imf::TileDescription(16, 8, Imf::MIPMAP_LEVELS));
  const TEXRGraphic exr = Load(Write({{tiled, RGBA()}}));
  ASSERT_EQ(45, exr.Width());
  ExpectRGBA(exr, 0, 0, 0, "mip-mapped tiles, level 0");
  EXPECT_EQ("OpenEXR half RGBA ZIP, tiled", exr.FormatDescription());
  // Each smaller level is an image of its own, its sides halved and rounded down: 45 x 19 to 1 x 1.
  const Bytes mipmapped = Write({{tiled, RGBA()}});
  EXPECT_EQ((TImageSet{6, 0, "level 1/6 (45 x 19)"}), exr.Images());
  const int sides[6][2] = {{45, 19}, {22, 9}, {11, 4}, {5, 2}, {2, 1}, {1, 1}};
  for (unsigned level = 1; level < 6; ++level) {
    const TEXRGraphic smaller = Load(mipmapped, level);
    EXPECT_EQ(sides[level][0], smaller.Width());
    EXPECT_EQ(sides[level][1], smaller.Height());
    ExpectRGBA(smaller, 0, 0, 0, "level " + std::to_string(level));
    EXPECT_EQ(6u, smaller.Images().Count);
  }

  // The parts of a file share their display window; the second one's data covers part of it.
  Imf::Header second = MakeHeader(Imath::Box2i(Imath::V2i(0, 0), Imath::V2i(11, 5)),
                                  Imath::Box2i(Imath::V2i(0, 0), Imath::V2i(6, 4)), Imf::RLE_COMPRESSION);
  second.setTileDescription(Imf::TileDescription(4, 4));
  const Bytes bytes = Write({{MakeHeader(12, 6), RGBA(Imf::FLOAT, false)}, {second, RGBA()}});
  const TEXRGraphic first = Load(bytes, 0);
  EXPECT_EQ(12, first.Width());
  EXPECT_EQ((TImageSet{2, 0, "part 1/2"}), first.Images());
  EXPECT_EQ(Blue(11, 5), At(first, 11, 5)[2]);
  // A mip-mapped part's levels follow it before the next part.
  const Bytes levelled = Write({{tiled, RGBA()}, {MakeHeader(45, 19), RGBA(Imf::FLOAT, false)}});
  EXPECT_EQ((TImageSet{7, 6, "part 2/2"}), Load(levelled, 6).Images());
  EXPECT_EQ((TImageSet{7, 2, "part 1/2, level 3/6 (11 x 4)"}), Load(levelled, 2).Images());
  const TEXRGraphic other = Load(bytes, 1);
  EXPECT_EQ(12, other.Width());
  EXPECT_EQ(6, other.Height());
  EXPECT_EQ((TImageSet{2, 1, "part 2/2"}), other.Images());
  EXPECT_EQ(Red(6, 4), At(other, 6, 4)[0]);
  EXPECT_EQ(Alpha(6, 4), At(other, 6, 4)[3]);
  EXPECT_EQ(0.0f, At(other, 7, 4)[3]);
  EXPECT_EQ(0.0f, At(other, 6, 5)[3]);
  TEXRGraphic none;
  none.RequestImage(2);
  EXPECT_THROW(test::LoadInto(none, bytes), Exception);
  EXPECT_TRUE(none.Empty());
}

TEST(EXR, MalformedFilesAreRefusedCleanly) {
  const Bytes bytes = Write({{MakeHeader(40, 24, Imf::PIZ_COMPRESSION), RGBA()}});
  test::ExpectTruncationsHandled(bytes, [](const Bytes& b) { test::LoadWith<TEXRGraphic>(b); });
  // The last chunk cut: the file ends early.
  EXPECT_EQ("Stream read error", test::LoadErrorWith<TEXRGraphic>(Bytes(bytes.begin(), bytes.end() - 10)));
  // A header the library cannot parse.
  Bytes garbage(bytes.begin(), bytes.begin() + 8);
  garbage.resize(300, 0xEE);
  EXPECT_EQ(kInvalid, test::LoadErrorWith<TEXRGraphic>(garbage));
  // An attribute of a type the library does not know, declaring 1.6 GB in a file of 808
  // bytes (found by the fuzzer): refused as cut short before the library allocates for it.
  EXPECT_EQ("Stream read error",
            test::LoadErrorWith<TEXRGraphic>(test::ReadFile(test::Fixture("crashers/exr_attribute_of_gigabytes"))));
  // A channel list that runs past its declared size (found by the fuzzer): the library would
  // read the rest of the header from inside it and meet a size of 1.6 GB there.
  EXPECT_EQ(kInvalid,
            test::LoadErrorWith<TEXRGraphic>(test::ReadFile(test::Fixture("crashers/exr_channel_list_past_its_size"))));
  // A display window of 63 megapixels round a data window of 32 x 32 in 506 bytes (found by
  // the fuzzer): its floats alone would take a gigabyte.
  EXPECT_NE(std::string::npos, test::LoadErrorWith<TEXRGraphic>(
                                   test::ReadFile(test::Fixture("crashers/exr_display_window_of_63_megapixels")))
                                   .find("too large for its file"));
  // 64 megapixels of display window round 32 x 32 of data in 8,500 bytes: plausible for its
  // size, so it is allocated, but as fresh zero pages nothing fills (the fuzzer took seconds
  // over the fill); its data then ends early.
  EXPECT_EQ("Stream read error", test::LoadErrorWith<TEXRGraphic>(test::ReadFile(
                                     test::Fixture("crashers/exr_display_window_of_64_megapixels_round_32_by_32"))));
  Bytes notExr = bytes;
  notExr[0] = 'P';
  EXPECT_EQ(kInvalid, test::LoadErrorWith<TEXRGraphic>(notExr));

  // A display window past every limit is refused before anything is allocated for it.
  const Imath::Box2i huge(Imath::V2i(0, 0), Imath::V2i(199999, 199999));
  const Imath::Box2i small(Imath::V2i(0, 0), Imath::V2i(3, 3));
  const std::string error = test::LoadErrorWith<TEXRGraphic>(Write({{MakeHeader(huge, small), RGBA()}}));
  EXPECT_NE(std::string::npos, error.find("too large")) << error;
}

// A header written attribute by attribute, as a hostile file may hold it, over a 4 x 4 grey.
Bytes HandMadeFile(const std::vector<std::tuple<std::string, std::string, Bytes>>& attributes) {
  Bytes bytes = {0x76, 0x2F, 0x31, 0x01, 2, 0, 0, 0};
  auto put = [&](const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  };
  for (const auto& [name, type, value] : attributes) {
    put(name);
    put(type);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value.size() >> shift));
    bytes.insert(bytes.end(), value.begin(), value.end());
  }
  bytes.push_back(0);
  // Four rows of four half-float greys, one row to a chunk, uncompressed.
  const std::size_t table = bytes.size();
  for (std::uint64_t row = 0; row < 4; ++row) {
    const std::uint64_t offset = table + 32 + row * 16;
    for (int shift = 0; shift < 64; shift += 8) bytes.push_back(static_cast<std::uint8_t>(offset >> shift));
  }
  for (std::uint8_t row = 0; row < 4; ++row) {
    const Bytes chunk = {row, 0, 0, 0, 8, 0, 0, 0, 0, 0x3C, 0, 0x3C, 0, 0x3C, 0, 0x3C};  // 1.0 each
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  }
  return bytes;
}

Bytes Ints(std::initializer_list<std::uint32_t> values) {
  Bytes bytes;
  for (std::uint32_t v : values)
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
  return bytes;
}

// Headers that would make the library allocate far more than the file holds, or parse the
// rest of the header from the wrong place, are refused before the library sees them.
TEST(EXR, HeadersClaimingMoreThanTheFileAreRefused) {
  Bytes channels = {'Y', 0};
  const Bytes channel = Ints({1, 0, 1, 1});  // half, linearity and reserved, samplings
  channels.insert(channels.end(), channel.begin(), channel.end());
  channels.push_back(0);
  const auto base = [&](Bytes window) {
    return std::vector<std::tuple<std::string, std::string, Bytes>>{
        {"channels", "chlist", channels}, {"compression", "compression", {0}},
        {"dataWindow", "box2i", window},  {"displayWindow", "box2i", window},
        {"lineOrder", "lineOrder", {0}},  {"pixelAspectRatio", "float", Ints({0x3F800000})},
        {"screenWindowCenter", "v2f", Ints({0, 0})}, {"screenWindowWidth", "float", Ints({0x3F800000})}};
  };
  const Bytes small = Ints({0, 0, 3, 3});
  // The hand-made file itself loads.
  const TEXRGraphic plain = test::LoadWith<TEXRGraphic>(HandMadeFile(base(small)));
  EXPECT_EQ(4, plain.Width());
  EXPECT_EQ(4, plain.Height());
  EXPECT_EQ(1.0f, At(plain, 3, 3)[0]);

  auto with = [&](std::string name, std::string type, Bytes value, Bytes window) {
    auto attributes = base(std::move(window));
    attributes.emplace_back(std::move(name), std::move(type), std::move(value));
    return test::LoadErrorWith<TEXRGraphic>(HandMadeFile(attributes));
  };
  // A preview that fits is no reason to refuse.
  EXPECT_EQ("", with("preview", "preview", Ints({1, 1, 0}), small));
  // A preview of 60000 x 60000 in a few hundred bytes.
  EXPECT_EQ("Stream read error", with("preview", "preview", Ints({60000, 60000, 0}), small));
  // A list of strings with one of 2 GB.
  EXPECT_EQ(kInvalid, with("names", "stringvector", Ints({0x80000000u, 0}), small));
  EXPECT_EQ("Stream read error", with("names", "stringvector", Ints({1000000, 0}), small));
  // A known type whose declared size disagrees with it.
  EXPECT_EQ(kInvalid, with("owner", "float", Ints({0, 0}), small));
  // A name longer than a file without long names may hold.
  EXPECT_EQ(kInvalid, with(std::string(40, 'n'), "string", {'x'}, small));
  // A tiled picture of 16384 x 16384 in one-pixel tiles: 268 million offsets in 400 bytes.
  const Bytes huge = Ints({0, 0, 16383, 16383});
  const Bytes tiles = {1, 0, 0, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ("Stream read error", with("tiles", "tiledesc", tiles, huge));
  // A part's chunk count beyond its file.
  EXPECT_EQ("Stream read error", with("chunkCount", "int", Ints({50000000}), small));
}

// Our floats against other programs' decodes: the KDE plugins' 16-bit linear PNGs (clipped
// at 1) and ImageMagick's float map of the file it wrote.
TEST(EXR, MatchesOtherDecodesOfRealFiles) {
  for (const char* name : {"gray", "rgb-gimp"}) {
    const std::string base = test::Fixture(std::string("kimageformats/exr/") + name);
    const TEXRGraphic exr = test::LoadWith<TEXRGraphic>(test::ReadFile(base + ".exr"));
    auto near = [&](int x, int y, const std::uint16_t* ref) {
      for (int c = 0; c < 3; ++c)
        ASSERT_NEAR(ref[c] / 65535.0f, std::clamp(At(exr, x, y)[c], 0.0f, 1.0f), 1.0f / 1024)
            << name << " at " << x << "," << y;
    };
    ASSERT_NO_FATAL_FAILURE(test::ForEachReferencePixel(base + ".png", exr.Width(), exr.Height(), near));
  }
  const TEXRGraphic exr = test::LoadWith<TEXRGraphic>(test::ReadFile(test::Fixture("exr/hopper_imagemagick.exr")));
  // exrmaketiled's ripmap of the same picture: its first level is the picture, and the levels
  // halved both ways follow, each about as bright as the whole.
  const Bytes ripmap = test::ReadFile(test::Fixture("exr/hopper_ripmap.exr"));
  const TEXRGraphic whole = Load(ripmap, 0);
  EXPECT_EQ((TImageSet{5, 0, "level 1/5 (40 x 30)"}), whole.Images());
  EXPECT_EQ(whole.FloatPixels()->RGBA, exr.FloatPixels()->RGBA);
  auto mean = [](const TEXRGraphic& g) {
    double sum = 0;
    for (float v : g.FloatPixels()->RGBA) sum += v;
    return sum / static_cast<double>(g.FloatPixels()->RGBA.size());
  };
  const TEXRGraphic half = Load(ripmap, 1);
  EXPECT_EQ((TImageSet{5, 1, "level 2/5 (20 x 15)"}), half.Images());
  EXPECT_NEAR(mean(whole), mean(half), 0.02);
  EXPECT_EQ(1, Load(ripmap, 4).Height());
  const auto pfm = test::LoadWith<TPPMGraphic>(test::ReadFile(test::Fixture("exr/hopper_imagemagick.pfm")));
  ASSERT_EQ(pfm.Width(), exr.Width());
  ASSERT_EQ(pfm.Height(), exr.Height());
  for (int y = 0; y < exr.Height(); ++y)
    for (int x = 0; x < exr.Width(); ++x) {
      for (int c = 0; c < 3; ++c)
        ASSERT_NEAR(pfm.FloatPixels()->Row(y)[4 * x + c], At(exr, x, y)[c], 1.0f / 1024) << x << "," << y;
      ASSERT_NEAR(0.75f, At(exr, x, y)[3], 1.0f / 256);
    }
}

}  // namespace
}  // namespace vumo
