#include "formats/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/bitmap_export.h"
#include "formats/messages.h"
#include "formats/picture.h"
#include "pixels/messages.h"
#include "support/hostile_files.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

using Bytes = std::vector<std::uint8_t>;

Rgba8Image Load(const Bytes& bytes, TPNGGraphic* keep = nullptr) { return test::DecodeWith<TPNGGraphic>(bytes, keep); }
std::string ErrorOf(const Bytes& bytes) { return test::LoadErrorWith<TPNGGraphic>(bytes); }
std::string Named(const char* message) { return FormatMessage(message, gesPNG); }

// A small PNG writer: chunks with their CRC (tests/support's), rows deflated by zlib.
void Put32(Bytes& out, std::uint32_t v) { PutBig32(out, v); }
void PutChunk(Bytes& out, const char* type, const Bytes& data) { PutPngChunk(out, type, data); }
Bytes Deflate(const Bytes& raw) { return Deflated(raw); }

Bytes Header(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace = 0) {
  Bytes ihdr;
  Put32(ihdr, width);
  Put32(ihdr, height);
  ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colorType), 0, 0,
                           static_cast<std::uint8_t>(interlace)});
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(out, "IHDR", ihdr);
  return out;
}

struct Chunk {
  const char* type;
  Bytes data;
};

// `raw` holds the rows with their filter bytes; `before` goes between IHDR and IDAT.
Bytes MakePng(std::uint32_t width, std::uint32_t height, int depth, int colorType, const Bytes& raw,
              const std::vector<Chunk>& before = {}, int interlace = 0) {
  Bytes out = Header(width, height, depth, colorType, interlace);
  for (const Chunk& c : before) PutChunk(out, c.type, c.data);
  PutChunk(out, "IDAT", Deflate(raw));
  PutChunk(out, "IEND", {});
  return out;
}

// Rows of an 8-bit grey gradient, filter type 0.
Bytes GreyRows(std::uint32_t width, std::uint32_t height) {
  Bytes raw;
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (std::uint32_t x = 0; x < width; ++x) raw.push_back(static_cast<std::uint8_t>(x * 16 + y));
  }
  return raw;
}

// A 16-bit grey PNG decoded by Qt and reduced to 8 bits by the colour manager's rule.
Rgba8Image Grey16Reference(const std::string& path) {
  const QImage image = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGBA64);
  Rgba8Image out{image.width(), image.height(), {}};
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const auto v = static_cast<std::uint8_t>(line[x].red() * 255u / 65535u);
      out.pixels.insert(out.pixels.end(), {v, v, v, static_cast<std::uint8_t>(line[x].alpha() * 255u / 65535u)});
    }
  }
  return out;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Every PngSuite picture not marked broken matches Pillow's decode: 16-bit samples are
// reduced by this program's own rule (within 1), and gamma, which Pillow ignores, is applied
// to the reference here the way the colour manager applies it.
TEST(PNGReader, PngSuiteFilesMatchTheirReferences) {
  const std::filesystem::path folder = Fixture("pngsuite");
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png" || name[0] == 'x' || name.find(".ref.") != std::string::npos) continue;
    SCOPED_TRACE(name);
    TPNGGraphic reader;
    Rgba8Image actual;
    try {
      actual = Load(ReadFile(entry.path().string()), &reader);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.what();
      continue;
    }
    // Pillow clips 16-bit grey to 255 instead of scaling it, and leaves a grey picture's tRNS
    // colour opaque: Qt's decode of the file stands in for those.
    const bool colourKey = reader.AlphaChannel() && reader.ImageProperties.ColorScheme == csGray;
    const bool grey16 = name.find("0g16") != std::string::npos;
    Rgba8Image expected = grey16      ? Grey16Reference(entry.path().string())
                          : colourKey ? LoadReferencePng(entry.path().string())
                                      : LoadReferencePng((folder / (entry.path().stem().string() + ".ref.png")).string());
    const float gamma = reader.ImageProperties.FileGamma;
    if (reader.ImageProperties.Options & ioUseGamma || (name[0] == 'g' && gamma != 1.0f)) {
      const double exponent = 1.0 / (gamma * 2.2);
      for (std::size_t i = 0; i < expected.pixels.size(); ++i)
        if (i % 4 != 3)
          expected.pixels[i] =
              static_cast<std::uint8_t>(std::lround(std::pow(expected.pixels[i] / 255.0, exponent) * 255));
    }
    const int tolerance = name[0] == 'g' || name.find("16.png") != std::string::npos ? 2 : 1;
    const auto d = Compare(actual, expected, tolerance, true);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u) << name << " max delta " << d.maxChannelDelta << " alpha " << d.maxAlphaDelta;
    EXPECT_LE(d.maxAlphaDelta, 1) << name;
    ++checked;
  }
  EXPECT_GE(checked, 160);
}

TEST(PNGReader, BrokenPngSuiteFilesFailWithTheirMessage) {
  const std::string invalid = Named(gesInvalidImage), colour = Named(gesInvalidColorFormat), crc = Named(gesInvalidCRC);
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"xc1n0g08", colour},  {"xc9n2c08", colour},  {"xcrn0g04", invalid}, {"xcsn0g01", crc},     {"xd0n2c08", colour},
      {"xd3n2c08", colour},  {"xd9n2c08", colour},  {"xdtn0g01", invalid}, {"xhdn0g08", crc},     {"xlfn0g04", invalid},
      {"xs1n0g01", invalid}, {"xs2n0g01", invalid}, {"xs4n0g01", invalid}, {"xs7n0g01", invalid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorOf(ReadFile(Fixture(std::string("pngsuite/") + c.name + ".png"))), c.message);
  }
}

TEST(PNGReader, InterlacedFilesDecodeLikeTheirProgressiveTwins) {
  for (const char* kind : {"0g01", "0g02", "0g04", "0g08", "0g16", "2c08", "2c16", "3p01", "3p02", "3p04", "3p08",
                           "4a08", "4a16", "6a08", "6a16"}) {
    SCOPED_TRACE(kind);
    const auto d = Compare(Load(ReadFile(Fixture(std::string("pngsuite/basi") + kind + ".png"))),
                           Load(ReadFile(Fixture(std::string("pngsuite/basn") + kind + ".png"))), 0, false);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u);
    EXPECT_EQ(d.maxAlphaDelta, 0);
  }
}

TEST(PNGReader, ImagePropertiesComeFromTheHeaderAndGamma) {
  TPNGGraphic reader;
  Load(ReadFile(Fixture("pngsuite/g25n2c08.png")), &reader);
  const TImageProperties& p = reader.ImageProperties;
  EXPECT_EQ(p.Width, 32u);
  EXPECT_EQ(p.ColorScheme, csRGB);
  EXPECT_EQ(p.BitsPerPixel, 24);
  EXPECT_EQ(p.Compression, ctLZ77);
  EXPECT_FLOAT_EQ(p.FileGamma, 2.5f);
  EXPECT_EQ(reader.PixelFormat(), pf24bit);

  Load(ReadFile(Fixture("pngsuite/basi6a16.png")), &reader);
  EXPECT_TRUE(reader.ImageProperties.Interlaced);
  EXPECT_TRUE(reader.ImageProperties.HasAlpha);
  EXPECT_EQ(reader.PixelFormat(), pf32bit);
  EXPECT_TRUE(reader.AlphaChannel());
}

TEST(PNGReader, PaletteTransparencyBecomesAlpha) {
  // Two entries, the first fully transparent, the second half; a third entry stays opaque.
  const Bytes raw = {0, 0x00, 0x01, 0x02};
  const Bytes png = MakePng(3, 1, 8, 3, raw, {{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {0, 128}}});
  TPNGGraphic reader;
  const Rgba8Image image = Load(png, &reader);
  EXPECT_EQ(reader.PixelFormat(), pf32bit);
  EXPECT_TRUE(reader.AlphaChannel());
  EXPECT_EQ(image.pixels, (Bytes{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}));

  // A tRNS that leaves every entry opaque keeps the indexed bitmap.
  Load(MakePng(3, 1, 8, 3, raw, {{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {255}}}), &reader);
  EXPECT_EQ(reader.PixelFormat(), pf8bit);
}

// The alpha of each pixel of a decoded picture, in order.
Bytes AlphaOf(const Rgba8Image& image) {
  Bytes alpha;
  for (std::size_t i = 3; i < image.pixels.size(); i += 4) alpha.push_back(image.pixels[i]);
  return alpha;
}

// Progressive 8-bit grey rows (filter byte first) rearranged into the seven Adam7 passes.
Bytes Adam7Rows(const Bytes& progressive, std::uint32_t w, std::uint32_t h) {
  static const std::uint32_t start[7][2] = {{0, 0}, {0, 4}, {4, 0}, {0, 2}, {2, 0}, {0, 1}, {1, 0}};
  static const std::uint32_t step[7][2] = {{8, 8}, {8, 8}, {8, 4}, {4, 4}, {4, 2}, {2, 2}, {2, 1}};
  Bytes out;
  for (int pass = 0; pass < 7; ++pass) {
    if (start[pass][1] >= w) continue;
    for (std::uint32_t y = start[pass][0]; y < h; y += step[pass][0]) {
      out.push_back(0);
      for (std::uint32_t x = start[pass][1]; x < w; x += step[pass][1]) out.push_back(progressive[y * (w + 1) + 1 + x]);
    }
  }
  return out;
}

TEST(PNGReader, GreyAndRgbColourKeyMakesExactlyThosePixelsTransparent) {
  TPNGGraphic reader;
  // 8-bit grey: only the pixels of the key's level.
  Rgba8Image image = Load(MakePng(4, 1, 8, 0, {0, 10, 20, 20, 30}, {{"tRNS", {0, 20}}}), &reader);
  EXPECT_EQ(reader.PixelFormat(), pf32bit);
  EXPECT_TRUE(reader.AlphaChannel());
  EXPECT_EQ(AlphaOf(image), (Bytes{255, 0, 0, 255}));
  EXPECT_EQ(image.pixels[0], 10);
  // 16-bit grey: 0x1234 and 0x1235 reduce to one 8-bit level, but only the stored key matches.
  image = Load(MakePng(3, 1, 16, 0, {0, 0x12, 0x34, 0x12, 0x35, 0x12, 0x34}, {{"tRNS", {0x12, 0x34}}}));
  EXPECT_EQ(AlphaOf(image), (Bytes{0, 255, 0}));
  EXPECT_EQ(image.pixels[0], image.pixels[4]);
  // 2-bit grey, four pixels in one byte: levels 0, 1, 2, 3 with the key at 2.
  image = Load(MakePng(4, 1, 2, 0, {0, 0b00011011}, {{"tRNS", {0, 2}}}));
  EXPECT_EQ(AlphaOf(image), (Bytes{255, 255, 0, 255}));
  EXPECT_EQ(image.pixels[8], 170);
  // 8-bit RGB: every sample must match, not one of them.
  image = Load(MakePng(3, 1, 8, 2, {0, 1, 2, 3, 1, 2, 4, 1, 2, 3}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}));
  EXPECT_EQ(AlphaOf(image), (Bytes{0, 255, 0}));
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.begin() + 3), (Bytes{1, 2, 3}));
  // 16-bit RGB, keyed on the low bytes that the 8-bit colour loses.
  image = Load(MakePng(2, 1, 16, 2, {0, 9, 1, 9, 2, 9, 3, 9, 1, 9, 2, 9, 4}, {{"tRNS", {9, 1, 9, 2, 9, 3}}}));
  EXPECT_EQ(AlphaOf(image), (Bytes{0, 255}));
}

TEST(PNGReader, ColourKeyIsComparedBeforeGammaAndInEveryPass) {
  // A gAMA that moves every level still keys the stored value.
  const Bytes gama = {0, 0, 0xAF, 0xC8};  // 0.45
  Rgba8Image image = Load(MakePng(3, 1, 8, 0, {0, 64, 128, 64}, {{"gAMA", gama}, {"tRNS", {0, 64}}}));
  EXPECT_EQ(AlphaOf(image), (Bytes{0, 255, 0}));
  EXPECT_NE(image.pixels[4], 128);
  // Interlaced: the keyed pixels land where the progressive picture has them.
  const std::uint32_t w = 9, h = 9;
  Bytes progressive;
  for (std::uint32_t y = 0; y < h; ++y) {
    progressive.push_back(0);
    for (std::uint32_t x = 0; x < w; ++x) progressive.push_back(static_cast<std::uint8_t>((x * 7 + y * 3) % 5));
  }
  const Bytes key = {0, 2};
  const Rgba8Image plain = Load(MakePng(w, h, 8, 0, progressive, {{"tRNS", key}}));
  const Rgba8Image laced = Load(MakePng(w, h, 8, 0, Adam7Rows(progressive, w, h), {{"tRNS", key}}, 1));
  EXPECT_EQ(laced.pixels, plain.pixels);
  const Bytes alpha = AlphaOf(plain);
  EXPECT_EQ(std::count(alpha.begin(), alpha.end(), 0), 16);  // (x * 7 + y * 3) % 5 == 2 on a 9 x 9 grid
}

TEST(PNGReader, ChunkTypesMatchWithoutLetterCase) {
  Bytes png = Header(4, 2, 8, 0);
  PutChunk(png, "idat", Deflate(GreyRows(4, 2)));
  PutChunk(png, "iend", {});
  EXPECT_EQ(Load(png).pixels, Load(MakePng(4, 2, 8, 0, GreyRows(4, 2))).pixels);
}

TEST(PNGReader, ImageDataSpreadOverOneByteChunksLoads) {
  const Bytes packed = Deflate(GreyRows(9, 7));
  Bytes png = Header(9, 7, 8, 0);
  for (std::uint8_t b : packed) PutChunk(png, "IDAT", {b});
  PutChunk(png, "IEND", {});
  EXPECT_EQ(Load(png).pixels, Load(MakePng(9, 7, 8, 0, GreyRows(9, 7))).pixels);
}

TEST(PNGReader, AnAncillaryChunkBetweenImageDataChunksEndsTheImageData) {
  const Bytes packed = Deflate(GreyRows(16, 16));
  const std::size_t half = packed.size() / 2;
  Bytes png = Header(16, 16, 8, 0);
  PutChunk(png, "IDAT", Bytes(packed.begin(), packed.begin() + half));
  PutChunk(png, "teXt", {'a', 0, 'b'});
  PutChunk(png, "IDAT", Bytes(packed.begin() + half, packed.end()));
  PutChunk(png, "IEND", {});
  EXPECT_EQ(ErrorOf(png), kStreamReadError);  // the image data ends with its first half
  // One after the image data is skipped.
  png = Header(16, 16, 8, 0);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "teXt", {'a', 0, 'b'});
  PutChunk(png, "IEND", {});
  EXPECT_EQ(Load(png).pixels, Load(MakePng(16, 16, 8, 0, GreyRows(16, 16))).pixels);
}

TEST(PNGReader, AFileThatEndsBeforeItsEndChunkRaisesTheReadError) {
  // Rows that deflate badly, so that a cut lands in the middle of the image.
  Bytes raw;
  std::uint32_t seed = 1;
  for (int y = 0; y < 64; ++y) {
    raw.push_back(0);
    for (int x = 0; x < 64; ++x) raw.push_back(static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24));
  }
  const Bytes full = MakePng(64, 64, 8, 0, raw);
  ASSERT_EQ(ErrorOf(full), "");
  // Cut in the image data, before any of it, and with the image whole but no end chunk.
  for (const std::size_t length : {full.size() / 2, std::size_t{40}, full.size() - 12})
    EXPECT_EQ(ErrorOf(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length))), kStreamReadError)
        << length;
  test::ExpectTruncationsHandled(full, [](const Bytes& bytes) { Load(bytes); });
}

TEST(PNGReader, DataBeyondTheImageIsNeverInflated) {
  // A stream of 64 MB of zeros for a 4 x 4 picture: it loads, and only 20 bytes are inflated.
  Bytes raw(64u << 20, 0);
  const Bytes png = MakePng(4, 4, 8, 0, raw);
  EXPECT_LT(png.size(), 200000u);
  const Rgba8Image image = Load(png);
  EXPECT_EQ(image.width, 4);
  EXPECT_EQ(image.pixels[0], 0);
}

TEST(PNGReader, BadInputFailsWithAClearMessage) {
  const Bytes rows = GreyRows(4, 2);
  const Bytes palette3 = {0, 0, 0, 255, 255, 255, 9, 9, 9};
  // Palettes of a wrong length or too many entries, indices past the palette, tRNS longer than it.
  EXPECT_EQ(ErrorOf(MakePng(2, 1, 8, 3, {0, 0, 1}, {{"PLTE", {1, 2, 3, 4}}})), Named(gesInvalidPalette));
  EXPECT_EQ(ErrorOf(MakePng(2, 1, 8, 3, {0, 0, 1}, {{"PLTE", Bytes(257 * 3, 1)}})), Named(gesInvalidPalette));
  EXPECT_EQ(ErrorOf(MakePng(2, 1, 8, 3, {0, 0, 3}, {{"PLTE", palette3}})), Named(gesInvalidPalette));
  EXPECT_EQ(ErrorOf(MakePng(2, 1, 8, 3, {0, 0, 1}, {{"PLTE", palette3}, {"tRNS", {0, 0, 0, 0}}})),
            Named(gesInvalidPalette));
  EXPECT_EQ(ErrorOf(MakePng(2, 1, 8, 3, {0, 0, 1})), Named(gesInvalidPalette));  // no PLTE at all
  // An unknown critical chunk; a second header.
  EXPECT_EQ(ErrorOf(MakePng(4, 2, 8, 0, rows, {{"ABCD", {}}})), gesUnknownCriticalChunk);
  EXPECT_EQ(ErrorOf(MakePng(4, 2, 8, 0, rows, {{"IHDR", Bytes(13, 0)}})), Named(gesInvalidImage));
  // The compression method, and a damaged or short zlib stream.
  Bytes png = MakePng(4, 2, 8, 0, rows);
  png[8 + 8 + 10] = 1;
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  EXPECT_EQ(ErrorOf(png), FormatMessage(gesUnsupportedFeature, gesCompressionScheme, gesPNG));
  Bytes damaged = Header(4, 2, 8, 0);
  PutChunk(damaged, "IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  PutChunk(damaged, "IEND", {});
  EXPECT_EQ(ErrorOf(damaged), Named(gesCompression));
  EXPECT_EQ(ErrorOf(MakePng(4, 2, 8, 0, Bytes(rows.begin(), rows.begin() + 7))), Named(gesExtraCompressedData));
  // A chunk length past 2^31 - 1; a CRC mismatch; IHDR missing or not first.
  Bytes huge = Header(4, 2, 8, 0);
  Put32(huge, 0x80000000u);
  huge.insert(huge.end(), {'t', 'E', 'X', 't', 0, 0, 0, 0});
  EXPECT_EQ(ErrorOf(huge), Named(gesInvalidImage));
  png = MakePng(4, 2, 8, 0, rows);
  png[png.size() - 13] ^= 1;  // the last byte of the IDAT's CRC
  EXPECT_EQ(ErrorOf(png), Named(gesInvalidCRC));
  Bytes late = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(late, "gAMA", {0, 0, 0xB1, 0x8F});
  PutChunk(late, "IHDR", Bytes(png.begin() + 16, png.begin() + 29));
  EXPECT_EQ(ErrorOf(late), Named(gesInvalidImage));
  // Sizes beyond the limits, refused before anything is allocated.
  EXPECT_TRUE(StartsWith(ErrorOf(MakePng(1u << 20, 1u << 20, 8, 6, rows)), "Cannot load image. The image is too large"))
      << ErrorOf(MakePng(1u << 20, 1u << 20, 8, 6, rows));
  EXPECT_EQ(ErrorOf(MakePng(0, 2, 8, 0, rows)), Named(gesInvalidImage));
}

TEST(PNGReader, PaletteOf255EntriesKeepsThem) {
  Bytes plte;
  for (int i = 0; i < 255; ++i) plte.insert(plte.end(), {static_cast<std::uint8_t>(i), 0, 0});
  TPNGGraphic reader;
  Load(MakePng(2, 1, 8, 3, {0, 0, 254}, {{"PLTE", plte}}), &reader);
  EXPECT_EQ(reader.Palette().size(), 255u);
}

TEST(PNGReader, OnePixelWideInterlacedImageLoads) {
  // Adam7 passes 2, 4 and 6 start at columns 4, 2 and 1 and hold nothing for a 1-pixel column.
  Bytes raw;
  for (int pass : {0, 2, 4, 6}) {
    const int start = pass == 0 ? 0 : pass == 2 ? 4 : pass == 4 ? 2 : 1;
    const int step = pass == 0 ? 8 : pass == 2 ? 8 : pass == 4 ? 4 : 2;
    for (int y = start; y < 9; y += step) raw.insert(raw.end(), {2, static_cast<std::uint8_t>(y * 20)});  // Up filter
  }
  const Rgba8Image image = Load(MakePng(1, 9, 8, 0, raw, {}, 1));
  ASSERT_EQ(image.height, 9);
}

TEST(PNGReader, GammaChangesTheGreyRamp) {
  TPNGGraphic plain, corrected;
  Load(MakePng(2, 1, 8, 0, {0, 0, 128}), &plain);
  Load(MakePng(2, 1, 8, 0, {0, 0, 128}, {{"gAMA", {0, 0, 0x3D, 0x09}}}), &corrected);  // 1/6.5... far from 1/2.2
  EXPECT_TRUE(corrected.ImageProperties.Options & ioUseGamma);
  EXPECT_NE(plain.Palette()[128].peRed, corrected.Palette()[128].peRed);
}

TEST(PNGReader, CanLoadLooksAtTheSignatureOnly) {
  const Bytes png = MakePng(4, 2, 8, 0, GreyRows(4, 2));
  TMemoryStream stream(png.data(), png.size());
  EXPECT_TRUE(TPNGGraphic::CanLoad(stream));
  EXPECT_EQ(stream.Position(), 0);
  const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
  TMemoryStream other(text.data(), text.size());
  EXPECT_FALSE(TPNGGraphic::CanLoad(other));
}

TEST(PNGReader, IconsWithPngEntriesLoad) {
  TPicture picture;
  picture.LoadFromFile(Fixture("ico/png_only.ico"));
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_GT(picture.Width(), 0);
}

TEST(PNGReader, LargePicturesInflateRowByRowToTheSamePixels) {
  // Past 64 MiB of inflated data the rows are inflated one at a time instead of into one
  // copy of the whole; they must come out as the whole copy would give them.
  constexpr int kSide = 4100;
  std::vector<std::uint8_t> rgba(std::size_t{kSide} * kSide * 4);
  for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  const Bytes png = EncodePngRgba8(kSide, kSide, rgba);
  const Rgba8Image image = Load(png);
  ASSERT_EQ(image.width, kSide);
  EXPECT_TRUE(image.pixels == rgba);
}

}  // namespace
}  // namespace vumo
