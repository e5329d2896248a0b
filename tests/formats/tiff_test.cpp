// The TIFF and EPS readers: every coding, sample layout and byte order against an
// uncompressed twin of the same pixels, the uncompressed files against ImageMagick's decode,
// the refusals, and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/tiff.h"
#include "pixels/byte_order.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Compare;
using test::DecodeWith;
using test::Fixture;
using test::LoadErrorWith;
using test::ReadFile;

std::vector<std::uint8_t> Tiff(const std::string& name) { return ReadFile(Fixture("tiff/" + name)); }

// Each coded file decodes to exactly the pixels of its uncompressed twin; the JPEG ones to
// libtiff's decode of them, within rounding.
struct TTwin {
  const char* file;
  const char* reference;
  int tolerance;
};

const TTwin kTwins[] = {
    {"tiff/rgb8_packbits.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_zip.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_zip_predictor.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_zip_predictor_mm.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_mm.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_planar.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb8_planar_zip_predictor.tif", "tiff/rgb8.tif", 0},
    {"tiff/preview.eps", "tiff/rgb8.tif", 0},
    {"tiff/two_pages.tif", "tiff/rgb8.tif", 0},
    {"tiff/rgb16_zip_predictor.tif", "tiff/rgb16.tif", 0},
    {"tiff/rgb16_zip_predictor_mm.tif", "tiff/rgb16.tif", 0},
    {"tiff/rgba8_packbits.tif", "tiff/rgba8.tif", 0},
    {"tiff/gray8_zip_predictor.tif", "tiff/gray8.tif", 0},
    {"tiff/gray16_packbits_mm.tif", "tiff/gray16.tif", 0},
    {"tiff/bilevel_black.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/bilevel_black_lsb.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_g3_1d.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_g3_2d.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_g3_1d_fill.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_g3_2d_fill_lsb.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_mh.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_mh_lsb.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/fax_mh_word.tif", "tiff/bilevel_white.tif", 0},
    {"tiff/palette8_packbits.tif", "tiff/palette8.tif", 0},
    {"tiff/cmyk8_zip_predictor.tif", "tiff/cmyk8.tif", 0},
    {"tiff/thunder.tif", "tiff/thunder_reference.tif", 0},
    {"tiff/gray8_jpeg.tif", "tiff/gray8_jpeg_libtiff.tif", 1},
    {"tiff/rgb8_jpeg_ycbcr.tif", "tiff/rgb8_jpeg_ycbcr_libtiff.tif", 2},
    {"tiff/rgb8_jpeg_rgb.tif", "tiff/rgb8_jpeg_rgb_libtiff.tif", 1},
    {"pillow/tiff_gray_2_4_bpp/hopper2R.tif", "pillow/tiff_gray_2_4_bpp/hopper2.tif", 0},
    {"pillow/tiff_gray_2_4_bpp/hopper2IR.tif", "pillow/tiff_gray_2_4_bpp/hopper2I.tif", 0},
    {"pillow/tiff_gray_2_4_bpp/hopper4R.tif", "pillow/tiff_gray_2_4_bpp/hopper4.tif", 0},
    {"pillow/tiff_gray_2_4_bpp/hopper4IR.tif", "pillow/tiff_gray_2_4_bpp/hopper4I.tif", 0},
};

TEST(TIFFGraphic, EveryCodingDecodesAsItsUncompressedTwin) {
  for (const TTwin& twin : kTwins) {
    SCOPED_TRACE(twin.file);
    const std::string name = twin.file;
    const auto bytes = ReadFile(Fixture(std::string() + twin.file));
    const test::Rgba8Image actual = name.ends_with(".eps") ? DecodeWith<TEPSGraphic>(bytes) : DecodeWith<TTIFFGraphic>(bytes);
    const test::Rgba8Image expected = DecodeWith<TTIFFGraphic>(ReadFile(Fixture(std::string() + twin.reference)));
    const test::Difference d = Compare(actual, expected, twin.tolerance);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u) << "max delta " << d.maxChannelDelta;
    EXPECT_LT(d.meanChannelDelta, 2.0);
  }
}

TEST(TIFFGraphic, UncompressedLayoutsMatchImageMagick) {
  // 16-bit and CMYK conversions round differently by a step or two.
  const std::pair<const char*, int> cases[] = {{"rgb8", 0},     {"rgb16", 1},    {"rgba8", 1},    {"gray8", 0},
                                               {"cmyk8", 2},    {"palette8", 1}, {"palette4", 1}, {"bilevel_white", 0}};
  for (const auto& [name, tolerance] : cases) {
    SCOPED_TRACE(name);
    const auto actual = DecodeWith<TTIFFGraphic>(Tiff(std::string(name) + ".tif"));
    const auto expected = test::LoadReferencePng(Fixture("tiff/" + std::string(name) + ".png"));
    const test::Difference d = Compare(actual, expected, tolerance);
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u) << "max delta " << d.maxChannelDelta;
  }
}

TEST(TIFFGraphic, RefusesLZWGroup4AndOldJPEGWithTheCompressionMessage) {
  const std::string message = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(Tiff("rgb8_lzw.tif")), message);
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(Tiff("fax_g4.tif")), message);
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(ReadFile(Fixture("pillow/hopper_g4.tif"))), message);
  auto bytes = Tiff("rgb8.tif");
  // Compression 6 (old-style JPEG) in place of 1.
  for (std::size_t i = LittleEndian32(&bytes[4]) + 2; i + 12 <= bytes.size(); i += 12)
    if (LittleEndian16(&bytes[i]) == 259) {
      bytes[i + 8] = 6;
      break;
    }
  EXPECT_EQ(LoadErrorWith<TTIFFGraphic>(bytes), message);
}

TEST(TIFFGraphic, TiledImagesGiveAnEmptyPictureWithoutError) {
  for (const char* name : {"tiff/rgb8_tiled.tif", "pillow/tiff_tiled_ycbcr_jpeg_2x2_sampling.tif"}) {
    TTIFFGraphic reader;
    EXPECT_EQ(DecodeWith<TTIFFGraphic>(ReadFile(Fixture(name)), &reader).width, 0) << name;
    EXPECT_TRUE(reader.Empty());
  }
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

TEST(TIFFGraphic, AStripPastTheFileKeepsTheRowsBeforeIt) {
  TPatcher cut{Tiff("rgb8.tif")};  // three strips of 16 rows
  const std::size_t offsets = LittleEndian32(&cut.bytes[cut.Entry(273) + 8]);
  cut.Put32(offsets + 8, 0x7FFFFFF0);  // the third strip
  TTIFFGraphic reader;
  TMemoryStream stream(cut.bytes.data(), cut.bytes.size());
  EXPECT_THROW(reader.LoadFromStream(stream), EReadError);
  TTIFFGraphic whole;
  DecodeWith<TTIFFGraphic>(Tiff("rgb8.tif"), &whole);
  ASSERT_EQ(reader.Height(), 48);
  for (int y = 0; y < 32; ++y) EXPECT_EQ(std::memcmp(reader.ScanLine(y), whole.ScanLine(y), whole.BytesPerScanline()), 0) << y;
}

TEST(TIFFGraphic, RealWorldFilesLoad) {
  // Pillow's files: JPEG strips in YCbCr 2x2 and CMYK, and CIE L*a*b*.
  for (const char* name : {"hopper.tif", "lab.tif", "tiff_strip_ycbcr_jpeg_2x2_sampling.tif", "tiff_strip_cmyk_jpeg.tif"}) {
    const auto image = DecodeWith<TTIFFGraphic>(ReadFile(Fixture(std::string("pillow/") + name)));
    EXPECT_GT(image.width, 0) << name;
  }
  // CIE L*a*b*, against the picture it was made from; a few saturated pixels fall outside
  // what the Lab formulas bring back.
  const test::Difference lab = Compare(DecodeWith<TTIFFGraphic>(ReadFile(Fixture("pillow/hopper.Lab.tif"))),
                                       test::LoadReferencePng(Fixture("pillow/hopper.png")), 32);
  EXPECT_TRUE(lab.sameSize);
  EXPECT_LT(lab.meanChannelDelta, 4.0);
  EXPECT_LT(lab.pixelsOff, 16u);
  // Uncompressed YCbCr in 2x2 blocks: the chroma is shared by four pixels.
  const auto ycbcr = DecodeWith<TTIFFGraphic>(Tiff("ycbcr_2x2.tif"));
  const test::Difference d = Compare(ycbcr, DecodeWith<TTIFFGraphic>(Tiff("rgb8.tif")), 64);
  EXPECT_TRUE(d.sameSize);
  EXPECT_LT(d.meanChannelDelta, 4.0);
  EXPECT_EQ(d.pixelsOff, 0u);
  // The JPEG file shows the same picture as the uncompressed one.
  const auto jpeg = DecodeWith<TTIFFGraphic>(ReadFile(Fixture("pillow/tiff_strip_ycbcr_jpeg_2x2_sampling.tif")));
  const auto plain = DecodeWith<TTIFFGraphic>(ReadFile(Fixture("pillow/hopper.tif")));
  if (jpeg.width == plain.width && jpeg.height == plain.height) {
    EXPECT_LT(Compare(jpeg, plain, 64).meanChannelDelta, 8.0);
  }
}

TEST(TIFFGraphic, TruncatedFilesFailCleanly) {
  for (const char* name : {"rgb8_zip_predictor.tif", "rgb8_planar.tif", "fax_g3_2d.tif", "fax_mh.tif", "rgb8_jpeg_ycbcr.tif",
                           "thunder.tif", "rgb16_zip_predictor_mm.tif", "palette8_packbits.tif", "preview.eps"}) {
    SCOPED_TRACE(name);
    const bool eps = std::string(name).ends_with(".eps");
    test::ExpectTruncationsHandled(Tiff(name), [eps](const std::vector<std::uint8_t>& bytes) {
      if (eps)
        DecodeWith<TEPSGraphic>(bytes);
      else
        DecodeWith<TTIFFGraphic>(bytes);
    });
  }
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
