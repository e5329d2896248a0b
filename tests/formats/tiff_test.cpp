// What only the TIFF and EPS readers have: the directory walk, damaged directories and
// strips, the header tests. Every fixture's decode is a row of tests/data/tiff/read.tsv.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/tiff.h"
#include "memory_limit.h"
#include "pixels/byte_order.h"
#include "pixels/float_pixels.h"
#include "support/literal_lzw.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

std::vector<std::uint8_t> Tiff(const std::string& name) { return ReadFile(Fixture("tiff/" + name)); }

// Old-style JPEG reads only as a whole JPEG stream behind JPEGInterchangeFormat.
TEST(TIFFGraphic, OldStyleJPEGNeedsAWholeJPEGStream) {
  const std::string unsupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
  // Compression 6 in place of 1, and no stream named.
  auto bytes = Tiff("rgb8.tif");
  for (std::size_t i = LittleEndian32(&bytes[4]) + 2; i + 12 <= bytes.size(); i += 12)
    if (LittleEndian16(&bytes[i]) == 259) {
      bytes[i + 8] = 6;
      break;
    }
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(bytes), unsupported);
  // A stream named where no JPEG lies, past the end, or running past it.
  const auto ojpeg = Tiff("ojpeg_ycbcr.tif");
  auto entry = [&](std::vector<std::uint8_t>& b, std::uint16_t tag) -> std::uint8_t* {
    for (std::size_t i = LittleEndian32(&b[4]) + 2; i + 12 <= b.size(); i += 12)
      if (LittleEndian16(&b[i]) == tag) return &b[i + 8];
    return nullptr;
  };
  auto notJpeg = ojpeg;
  notJpeg[8] = 0;
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(notJpeg), unsupported);
  auto past = ojpeg;
  std::uint8_t* offset = entry(past, 513);
  ASSERT_NE(offset, nullptr);
  offset[0] = offset[1] = 0xFF;
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(past), kStreamReadError);
  auto longer = ojpeg;
  std::uint8_t* length = entry(longer, 514);
  ASSERT_NE(length, nullptr);
  length[1] = 0x7F;
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(longer), kStreamReadError);
  // Without a length the stream runs to the end of the file.
  auto open = ojpeg;
  std::memset(entry(open, 514), 0, 4);
  TTIFFGraphic whole, reference;
  DecodeWith<TTIFFGraphic>(open, &whole);
  DecodeWith<TTIFFGraphic>(ojpeg, &reference);
  for (int y = 0; y < reference.Height(); ++y)
    ASSERT_EQ(0, std::memcmp(whole.ScanLine(y), reference.ScanLine(y), reference.BytesPerScanline()));
}

TEST(TIFFGraphic, ImageIndexWalksTheDirectoryChain) {
  const auto bytes = Tiff("two_pages.tif");
  TTIFFGraphic reader;
  TMemoryStream stream(bytes.data(), bytes.size());
  ASSERT_TRUE(reader.ReadImageProperties(stream, 1));
  EXPECT_EQ(reader.ImageProperties.ColorScheme, csGray);
  EXPECT_EQ(reader.ImageProperties.Width, 64u);
  stream.SetPosition(0);
  ASSERT_TRUE(reader.ReadImageProperties(stream, 0));
  EXPECT_EQ(reader.ImageProperties.ColorScheme, csRGB);
  stream.SetPosition(0);
  EXPECT_FALSE(reader.ReadImageProperties(stream, 2));
}

// Each directory is a page the view steps through; an index past the last says so.
TEST(TIFFGraphic, PagesAreTheFilesImages) {
  const auto bytes = Tiff("two_pages.tif");
  const char* captions[] = {"page 1/2", "page 2/2"};
  const int widths[] = {DecodeWith<TTIFFGraphic>(bytes).width, 64};
  for (unsigned index = 0; index < 2; ++index) {
    TTIFFGraphic page;
    page.RequestImage(index);
    TMemoryStream stream(bytes.data(), bytes.size());
    page.LoadFromStream(stream);
    EXPECT_EQ(page.Images(), (TImageSet{2, index, captions[index]}));
    EXPECT_EQ(page.Width(), widths[index]);
  }
  TTIFFGraphic beyond;
  beyond.RequestImage(2);
  TMemoryStream stream(bytes.data(), bytes.size());
  try {
    beyond.LoadFromStream(stream);
    ADD_FAILURE() << "page 3 loaded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "The file holds no image 3.");
  }
  TTIFFGraphic single;
  TMemoryStream one(Tiff("rgb8.tif"));
  single.LoadFromStream(one);
  EXPECT_EQ(single.Images(), (TImageSet{1, 0, ""}));
}

// Little-endian directory surgery on a fixture.
struct TPatcher {
  std::vector<std::uint8_t> bytes;
  std::size_t Entry(std::uint16_t tag) const {
    const std::size_t ifd = LittleEndian32(&bytes[4]);
    const std::size_t count = LittleEndian16(&bytes[ifd]);
    for (std::size_t i = 0; i < count; ++i)
      if (LittleEndian16(&bytes[ifd + 2 + 12 * i]) == tag) return ifd + 2 + 12 * i;
    ADD_FAILURE() << "no tag " << tag;
    return 0;
  }
  void Put32(std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  }
  // Replaces a tag's value with one LONG.
  TPatcher& Set(std::uint16_t tag, std::uint32_t value) {
    const std::size_t e = Entry(tag);
    bytes[e + 2] = 4;
    bytes[e + 3] = 0;
    Put32(e + 4, 1);
    Put32(e + 8, value);
    return *this;
  }
  TPatcher& Count(std::uint16_t tag, std::uint32_t count) {
    Put32(Entry(tag) + 4, count);
    return *this;
  }
};

TEST(TIFFGraphic, DamagedDirectoriesFailWithAClearMessage) {
  const std::string invalid = FormatMessage(gesInvalidImage, gesTIFF);
  const std::string colour = FormatMessage(gesInvalidColorFormat, gesTIFF);
  const TPatcher rgb{Tiff("rgb8.tif")};
  struct TCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string message;
  };
  std::vector<TCase> cases = {
      {"rows per strip 0", TPatcher(rgb).Set(278, 0).bytes, invalid},
      {"no width", TPatcher(rgb).Set(256, 0).bytes, invalid},
      {"too large", TPatcher(rgb).Set(256, 300000).Set(257, 300000).bytes,
       "Cannot load image. The image is too large (300000 x 300000 pixels)."},
      {"5 bits per sample", TPatcher(rgb).Set(258, 5).bytes, colour},
      {"2 samples of RGB", TPatcher(rgb).Set(277, 2).bytes, colour},
      {"5 samples", TPatcher(rgb).Set(277, 5).bytes, colour},
      {"photometric 4", TPatcher(rgb).Set(262, 4).bytes, colour},
      {"strip offsets too few", TPatcher(rgb).Count(273, 2).bytes, invalid},
      {"byte counts too few", TPatcher(rgb).Count(279, 1).bytes, invalid},
      {"offsets past the file", TPatcher(rgb).Count(273, 0x40000000).bytes, kStreamReadError},
      {"thunder of 8 bits", Tiff("thunder_8bit.tif"), colour},
      {"palette too short", TPatcher{Tiff("palette8.tif")}.Count(320, 3 * 255).bytes,
       FormatMessage(gesInvalidPalette, gesTIFF)},
      {"predictor 3", TPatcher{Tiff("rgb8_zip_predictor.tif")}.Set(317, 3).bytes,
       FormatMessage(gesUnsupportedFeature, gesPredictor, gesTIFF)},
  };
  {
    TPatcher entries(rgb);
    const std::size_t ifd = LittleEndian32(&entries.bytes[4]);
    entries.bytes[ifd] = 0xFF;
    entries.bytes[ifd + 1] = 0xFF;
    cases.push_back({"entry count past the file", entries.bytes, kStreamReadError});
  }
  for (const TCase& c : cases) EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(c.bytes), c.message) << c.what;
  EXPECT_EQ(LoadErrorWith<TEPSGraphic>(Tiff("preview_past_end.eps")), FormatMessage(gesInvalidImage, gesEPS));
  EXPECT_EQ(LoadErrorWith<TEPSGraphic>(Tiff("rgb8.tif")), FormatMessage(gesInvalidImage, gesEPS));
}

TEST(TIFFGraphic, ColourImagesWithoutAPhotometricInterpretationAreRGB) {
  TPatcher bytes{Tiff("rgb8.tif")};
  const std::size_t entry = bytes.Entry(262);
  bytes.bytes[entry] = 0xFF;  // tag 262 becomes an unknown tag 511
  bytes.bytes[entry + 1] = 0x01;
  // The entries are sorted again on reading; the picture is the same.
  const test::Difference d = test::Compare(DecodeWith<TTIFFGraphic>(bytes.bytes), DecodeWith<TTIFFGraphic>(Tiff("rgb8.tif")));
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);
}

TEST(TIFFGraphic, ADirectoryLoopEndsTheWalk) {
  TPatcher looped{Tiff("rgb8.tif")};
  const std::size_t ifd = LittleEndian32(&looped.bytes[4]);
  const std::size_t count = LittleEndian16(&looped.bytes[ifd]);
  looped.Put32(ifd + 2 + 12 * count, static_cast<std::uint32_t>(ifd));  // next points back to itself
  TTIFFGraphic reader;
  TMemoryStream stream(looped.bytes.data(), looped.bytes.size());
  EXPECT_FALSE(reader.ReadImageProperties(stream, 1));
  stream.SetPosition(0);
  EXPECT_FALSE(reader.ReadImageProperties(stream, 1000000));
  EXPECT_EQ(DecodeWith<TTIFFGraphic>(looped.bytes).width, 64);
}

TEST(TIFFGraphic, StripsPastTheFileAreAFileCutShort) {
  TPatcher cut{Tiff("rgb8.tif")};  // three strips of 16 rows
  const std::size_t offsets = LittleEndian32(&cut.bytes[cut.Entry(273) + 8]);
  cut.Put32(offsets + 8, 0x7FFFFFF0);  // the third strip lies past the end
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(cut.bytes), kStreamReadError);
  // A second strip that runs past the end.
  TPatcher runs{Tiff("rgb8.tif")};
  runs.Put32(offsets + 4, static_cast<std::uint32_t>(runs.bytes.size() - 5 * 192 - 7));
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(runs.bytes), kStreamReadError);
  // With no strip inside the file.
  TPatcher none{Tiff("rgb8.tif")};
  none.Put32(offsets, 0x7FFFFFF0);
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(none.bytes), kStreamReadError);
}

// A little-endian TIFF of one directory made from its entries: blocks of data first, then
// the directory, then the values that do not fit an entry.
struct TWriter {
  struct TTag {
    std::uint16_t tag, type;
    std::vector<std::uint32_t> values;
  };
  std::vector<TTag> tags;
  std::vector<std::uint8_t> blocks;

  // Adds a block of data and returns its offset.
  std::uint32_t Block(const std::vector<std::uint8_t>& data) {
    const auto at = static_cast<std::uint32_t>(8 + blocks.size());
    blocks.insert(blocks.end(), data.begin(), data.end());
    return at;
  }
  TWriter& Tag(std::uint16_t tag, std::vector<std::uint32_t> values, std::uint16_t type = 4) {
    tags.push_back({tag, type, std::move(values)});
    return *this;
  }
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
    out.insert(out.end(), blocks.begin(), blocks.end());
    if (out.size() % 2) out.push_back(0);
    auto put = [&out](std::size_t at, std::uint32_t v, unsigned size) {
      for (unsigned k = 0; k < size; ++k) out[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    const std::size_t ifd = out.size();
    put(4, static_cast<std::uint32_t>(ifd), 4);
    out.resize(ifd + 2 + 12 * tags.size() + 4);
    put(ifd, static_cast<std::uint32_t>(tags.size()), 2);
    std::vector<TTag> sorted = tags;
    std::stable_sort(sorted.begin(), sorted.end(), [](const TTag& a, const TTag& b) { return a.tag < b.tag; });
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      const TTag& t = sorted[i];
      const std::size_t e = ifd + 2 + 12 * i;
      const unsigned size = t.type == 3 ? 2 : t.type == 1 ? 1 : 4;
      put(e, t.tag, 2);
      put(e + 2, t.type, 2);
      put(e + 4, static_cast<std::uint32_t>(t.values.size()), 4);
      std::size_t where = e + 8;
      if (size * t.values.size() > 4) {
        where = out.size();
        put(e + 8, static_cast<std::uint32_t>(where), 4);
        out.resize(out.size() + size * t.values.size());
      }
      for (std::size_t k = 0; k < t.values.size(); ++k) put(where + k * size, t.values[k], size);
    }
    return out;
  }
};

std::vector<std::uint8_t> Deflated(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(data.size());
  std::vector<std::uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), data.size(), 9), Z_OK);
  out.resize(size);
  return out;
}

// A picture larger than the caches, in strips, with rows whose padding must stay zero.
TEST(TIFFGraphic, LargeRGBRowsGoStraightIntoTheBitmap) {
  constexpr std::uint32_t kWidth = 4095, kHeight = 2900, kRows = 100;
  auto sample = [](std::uint32_t x, std::uint32_t y, std::uint32_t c) {
    return static_cast<std::uint8_t>(x * 7 + y * 13 + c * 101);
  };
  TWriter w;
  std::vector<std::uint32_t> offsets, counts;
  for (std::uint32_t top = 0; top < kHeight; top += kRows) {
    std::vector<std::uint8_t> strip;
    for (std::uint32_t y = top; y < std::min(kHeight, top + kRows); ++y)
      for (std::uint32_t x = 0; x < kWidth; ++x)
        for (std::uint32_t c = 0; c < 3; ++c) strip.push_back(sample(x, y, c));
    offsets.push_back(w.Block(strip));
    counts.push_back(static_cast<std::uint32_t>(strip.size()));
  }
  w.Tag(256, {kWidth}).Tag(257, {kHeight}).Tag(258, {8, 8, 8}, 3).Tag(259, {1}, 3).Tag(262, {2}, 3);
  w.Tag(273, offsets).Tag(277, {3}, 3).Tag(278, {kRows}).Tag(279, counts);
  TMemoryStream stream(w.Bytes());
  TTIFFGraphic graphic;
  graphic.LoadFromStream(stream);
  ASSERT_EQ(graphic.PixelFormat(), pf24bit);
  std::size_t wrong = 0;
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    const std::uint8_t* line = graphic.ScanLine(static_cast<int>(y));
    for (std::uint32_t x = 0; x < kWidth; ++x)
      for (std::uint32_t c = 0; c < 3; ++c) wrong += line[3 * x + c] != sample(x, y, 2 - c);
    for (std::size_t b = 3 * kWidth; b < graphic.BytesPerScanline(); ++b) wrong += line[b] != 0;
  }
  EXPECT_EQ(wrong, 0u);
}

// A 16384 x 16383 CMYK picture of 16-bit samples in one strip (the largest a strip may
// declare) holds 2 GiB of samples; the file holds a few runs of them. The load may cost the
// 805 MB bitmap and what the data can fill, not the strip's declared size.
TEST(TIFFGraphic, HostileStripsCostWhatTheirDataHolds) {
  if (!test::kMemoryLimitWorks) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  constexpr std::uint32_t kWidth = 16384, kHeight = 16383;
  struct TCase {
    const char* what;
    std::uint32_t compression;
    bool planar;
    std::vector<std::uint8_t> data;  // of each plane
    bool tiled = false;
  };
  std::vector<std::uint8_t> runs;
  for (int i = 0; i < 16; ++i) runs.insert(runs.end(), {0x81, static_cast<std::uint8_t>(0x40 + i)});
  const std::vector<TCase> cases = {
      {"PackBits", 32773, false, runs},
      {"deflate", 8, false, Deflated(std::vector<std::uint8_t>(256 * 1024, 0x40))},
      {"planar PackBits", 32773, true, runs},
      {"planar deflate", 8, true, Deflated(std::vector<std::uint8_t>(64 * 1024, 0x40))},
      {"tiled PackBits", 32773, false, runs, true},
      {"tiled LZW", 5, true, {0x80, 0x10, 0x08, 0x04}, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TWriter w;
    std::vector<std::uint32_t> offsets, counts;
    // A tiled picture in two tiles of 16384 x 8192.
    for (int k = 0; k < (c.planar ? 4 : 1) * (c.tiled ? 2 : 1); ++k) {
      offsets.push_back(w.Block(c.data));
      counts.push_back(static_cast<std::uint32_t>(c.data.size()));
    }
    w.Tag(256, {kWidth}).Tag(257, {kHeight}).Tag(258, {16, 16, 16, 16}, 3).Tag(259, {c.compression}, 3);
    w.Tag(262, {5}, 3).Tag(277, {4}, 3);
    if (c.tiled)
      w.Tag(322, {kWidth}).Tag(323, {8192}).Tag(324, offsets).Tag(325, counts);
    else
      w.Tag(273, offsets).Tag(278, {kHeight}).Tag(279, counts);
    w.Tag(284, {c.planar ? 2u : 1u}, 3);
    const std::vector<std::uint8_t> file = w.Bytes();
    if (c.compression == 32773) {
      EXPECT_LT(file.size(), 400u);
    }
    std::string refusal;
    EXPECT_TRUE(test::RunUnderMemoryLimit(test::kHostileFileMemory, [&] {
      TTIFFGraphic reader;
      reader.RefuseTooLargeForFile = false;  // as the viewer loads it once asked
      test::LoadInto(reader, file);
      if (reader.Width() != int{kWidth} || reader.Height() != int{kHeight}) std::exit(4);
      // The first row holds what the data gives (C, M, Y and K of a quarter: red is not 0);
      // the last row is blank.
      if (reader.ScanLine(0)[2] == 0 || reader.ScanLine(kHeight - 1)[2] != 0) std::exit(5);
    }, &refusal));
    EXPECT_EQ(refusal, "");
  }
}

// Tiles are checked against the file before anything is made of them.
TEST(TIFFGraphic, DamagedTilesFailWithAClearMessage) {
  const std::string invalid = FormatMessage(gesInvalidImage, gesTIFF);
  auto tiled = [](std::uint32_t width, std::uint32_t height, std::uint32_t tile, std::uint32_t bits, std::size_t offsets) {
    TWriter w;
    const std::uint32_t at = w.Block({0xC1, 0x55});  // 64 bytes of 0x55
    w.Tag(256, {width}).Tag(257, {height}).Tag(258, {bits}, 3).Tag(259, {32773}, 3).Tag(262, {1}, 3);
    w.Tag(322, {tile}).Tag(323, {tile});
    w.Tag(324, std::vector<std::uint32_t>(offsets, at)).Tag(325, std::vector<std::uint32_t>(offsets, 2));
    return w.Bytes();
  };
  // A picture of 4096 x 4096 in tiles of 16 needs 65536 offsets; the file has four.
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(tiled(4096, 4096, 16, 8, 4)), invalid);
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(tiled(40, 40, 16, 8, 8)), invalid);  // 9 tiles
  // A tile of 4 one-bit pixels would start inside a byte of the bitmap's row.
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(tiled(8, 4, 4, 1, 2)), invalid);
  // Enough of them: 9 tiles of 16 x 16, each giving 64 of its 256 bytes: the first 4 rows
  // of each tile are there, the rest is blank, the picture is cropped to 40 x 40.
  TTIFFGraphic reader;
  DecodeWith<TTIFFGraphic>(tiled(40, 40, 16, 8, 9), &reader);
  ASSERT_EQ(reader.Width(), 40);
  EXPECT_EQ(reader.ScanLine(35)[39], 0x55);
  EXPECT_EQ(reader.ScanLine(36)[39], 0);
  EXPECT_EQ(reader.ScanLine(3)[0], 0x55);
  EXPECT_EQ(reader.ScanLine(4)[0], 0);
}

// Both bit orders of LZW give the uncompressed twin's pixels, the old one told by its start.
TEST(TIFFGraphic, OldStyleLZWIsToldByItsFirstCode) {
  constexpr std::uint32_t kWidth = 37, kHeight = 11;
  std::vector<std::uint8_t> pixels(kWidth * kHeight * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 97);
  auto file = [&](std::uint32_t compression, const std::vector<std::uint8_t>& data) {
    TWriter w;
    const std::uint32_t at = w.Block(data);
    w.Tag(256, {kWidth}).Tag(257, {kHeight}).Tag(258, {8, 8, 8}, 3).Tag(259, {compression}, 3).Tag(262, {2}, 3);
    w.Tag(273, {at}).Tag(277, {3}, 3).Tag(278, {kHeight}).Tag(279, {static_cast<std::uint32_t>(data.size())});
    return w.Bytes();
  };
  // Early libtiff coded as GIF does; a clear every 200 codes keeps every code nine bits wide.
  const std::vector<std::uint8_t> lzw = LiteralLZW(pixels, 200);
  ASSERT_EQ(lzw[0], 0);
  ASSERT_EQ(lzw[1] & 1, 1);
  const test::Difference d = test::Compare(DecodeWith<TTIFFGraphic>(file(5, lzw)), DecodeWith<TTIFFGraphic>(file(1, pixels)));
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.pixelsOff, 0u);
  // Cut short, the rows before the cut are kept and the rest is blank.
  std::vector<std::uint8_t> cut(lzw.begin(), lzw.begin() + static_cast<std::ptrdiff_t>(lzw.size() / 2));
  TTIFFGraphic half;
  DecodeWith<TTIFFGraphic>(file(5, cut), &half);
  TTIFFGraphic whole;
  DecodeWith<TTIFFGraphic>(file(1, pixels), &whole);
  EXPECT_EQ(std::memcmp(half.ScanLine(0), whole.ScanLine(0), kWidth * 3), 0);
  const std::vector<std::uint8_t> blank(kWidth * 3, 0);
  EXPECT_EQ(std::memcmp(half.ScanLine(kHeight - 1), blank.data(), blank.size()), 0);
}

// Float samples are kept as they are beside the pixels shown: ImageMagick wrote the 8-bit
// levels over 255, in 32, 24 and 16 bits, with and without the floating-point predictor.
TEST(TIFFGraphic, FloatSamplesAreKeptAsLinearLight) {
  TTIFFGraphic levels;
  DecodeWith<TTIFFGraphic>(Tiff("rgb8.tif"), &levels);
  const struct {
    const char* file;
    float tolerance;
  } cases[] = {
      {"rgb_float32.tif", 1e-6f},
      {"rgb_float32_lzw_predictor.tif", 1e-6f},
      {"rgb_float24.tif", 1e-4f},  // 16 bits of mantissa
      {"rgb_float24_zip_predictor.tif", 1e-4f},
      {"rgb_float16.tif", 1e-3f},  // 10 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TTIFFGraphic reader;
    DecodeWith<TTIFFGraphic>(Tiff(c.file), &reader);
    const TFloatPixels* floats = reader.FloatPixels();
    ASSERT_NE(floats, nullptr);
    ASSERT_EQ(floats->Width, 64);
    float worst = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        for (int k = 0; k < 3; ++k) {
          const float expected = levels.ScanLine(y)[3 * x + 2 - k] / 255.0f;  // the bitmap holds B, G, R
          worst = std::max(worst, std::fabs(floats->Row(y)[4 * x + k] - expected));
        }
    EXPECT_LE(worst, c.tolerance);
    EXPECT_EQ(floats->Row(47)[4 * 63 + 3], 1.0f);
    EXPECT_FALSE(reader.AlphaChannel());
  }
  // Planes of floats, one a sample, give the interleaved picture.
  TWriter chunky, planar;
  std::vector<std::uint8_t> interleaved(4 * 3 * 2 * 3), planes[3];
  for (std::size_t i = 0; i < 6 * 3; ++i) {
    const float v = static_cast<float>(i) / 17.0f - 0.25f;
    std::memcpy(&interleaved[4 * i], &v, 4);
    planes[i % 3].insert(planes[i % 3].end(), &interleaved[4 * i], &interleaved[4 * i] + 4);
  }
  const std::uint32_t at = chunky.Block(interleaved);
  const std::uint32_t p0 = planar.Block(planes[0]), p1 = planar.Block(planes[1]), p2 = planar.Block(planes[2]);
  for (TWriter* w : {&chunky, &planar}) {
    const bool separate = w == &planar;
    w->Tag(256, {3}).Tag(257, {2}).Tag(258, {32, 32, 32}, 3).Tag(259, {1}, 3).Tag(262, {2}, 3).Tag(277, {3}, 3);
    w->Tag(278, {2}).Tag(284, {separate ? 2u : 1u}, 3).Tag(339, {3, 3, 3}, 3);
    if (separate)
      w->Tag(273, {p0, p1, p2}).Tag(279, {24, 24, 24});
    else
      w->Tag(273, {at}).Tag(279, {72});
  }
  TTIFFGraphic a, b;
  DecodeWith<TTIFFGraphic>(chunky.Bytes(), &a);
  DecodeWith<TTIFFGraphic>(planar.Bytes(), &b);
  ASSERT_TRUE(a.FloatPixels() && b.FloatPixels());
  EXPECT_EQ(a.FloatPixels()->RGBA, b.FloatPixels()->RGBA);
  EXPECT_FLOAT_EQ(a.FloatPixels()->Row(1)[4 * 2 + 2], 17.0f / 17.0f - 0.25f);
  EXPECT_FLOAT_EQ(a.FloatPixels()->Row(0)[0], -0.25f);  // below black is kept
}

// The fourth byte of the pixels is shown as alpha only when the file says it is one.
TEST(TIFFGraphic, ExtraAlphaSamplesMarkTheAlphaChannel) {
  const struct {
    const char* file;
    bool alpha;
  } cases[] = {
      {"rgb8.tif", false},          {"rgba8.tif", true},         {"rgba8_associated.tif", true},
      {"rgba8_lzw_predictor.tif", true}, {"lab8_alpha.tif", true}, {"rgba_float32.tif", true},
      {"gray8.tif", false},         {"cmyk8.tif", false},
  };
  for (const auto& c : cases) {
    TTIFFGraphic reader;
    DecodeWith<TTIFFGraphic>(Tiff(c.file), &reader);
    EXPECT_EQ(reader.AlphaChannel(), c.alpha) << c.file;
  }
  // Four samples of RGB whose fourth is not said to be alpha (ExtraSamples 0).
  TPatcher unspecified{Tiff("rgba8.tif")};
  unspecified.Set(338, 0);
  TTIFFGraphic reader;
  DecodeWith<TTIFFGraphic>(unspecified.bytes, &reader);
  EXPECT_FALSE(reader.AlphaChannel());
}

TEST(TIFFGraphic, CanLoadTestsTheHeaders) {
  auto test = [](auto canLoad, const std::vector<std::uint8_t>& bytes) {
    TMemoryStream stream(bytes.data(), bytes.size());
    const bool result = canLoad(stream);
    EXPECT_EQ(stream.Position(), 0);
    return result;
  };
  auto tiff = [](TStream& s) { return TTIFFGraphic::CanLoad(s); };
  auto eps = [](TStream& s) { return TEPSGraphic::CanLoad(s); };
  EXPECT_TRUE(test(tiff, Tiff("rgb8.tif")));
  EXPECT_TRUE(test(tiff, Tiff("rgb8_mm.tif")));
  EXPECT_FALSE(test(tiff, Tiff("preview.eps")));
  EXPECT_TRUE(test(eps, Tiff("preview.eps")));
  EXPECT_FALSE(test(eps, Tiff("rgb8.tif")));
  auto far = Tiff("rgb8.tif");
  far[7] = 0x7F;  // first directory past the end
  EXPECT_FALSE(test(tiff, far));
}

}  // namespace
}  // namespace vumo
