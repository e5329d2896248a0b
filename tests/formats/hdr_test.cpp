// What only Radiance pictures have: the eight scanline orientations, the three scanline
// forms (flat, flat with old-style repeats, run-length coded per component), XYZE, header
// lines, and floats held against decodes made by other programs.
#include "formats/hdr.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/portable_map.h"
#include "pixels/float_pixels.h"
#include "support/linear_references.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected Radiance HDR image format.";

struct TRGBE {
  std::uint8_t r, g, b, e;
};

// A pixel that differs in every component from its neighbours, so a misplaced one shows.
TRGBE Pattern(int x, int y) {
  return {static_cast<std::uint8_t>(x * 20 + 5), static_cast<std::uint8_t>(y * 20 + 7),
          static_cast<std::uint8_t>((x + y) * 9 + 11), static_cast<std::uint8_t>(128 + x % 3)};
}

void Append(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

Bytes Header(const std::string& resolution, const std::string& lines = "FORMAT=32-bit_rle_rgbe\n") {
  Bytes bytes;
  Append(bytes, "#?RADIANCE\n" + lines + "\n" + resolution + "\n");
  return bytes;
}

void Flat(Bytes& out, const std::vector<TRGBE>& scanline) {
  for (const TRGBE& p : scanline) out.insert(out.end(), {p.r, p.g, p.b, p.e});
}

// The run-length form: runs of three or more equal bytes as runs, the rest as literals.
void Coded(Bytes& out, const std::vector<TRGBE>& scanline) {
  const std::size_t n = scanline.size();
  out.insert(out.end(), {2, 2, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 255)});
  for (int c = 0; c < 4; ++c) {
    std::vector<std::uint8_t> v;
    for (const TRGBE& p : scanline) v.push_back(c == 0 ? p.r : c == 1 ? p.g : c == 2 ? p.b : p.e);
    std::size_t i = 0;
    while (i < n) {
      std::size_t run = 1;
      while (i + run < n && run < 127 && v[i + run] == v[i]) ++run;
      if (run >= 3) {
        out.insert(out.end(), {static_cast<std::uint8_t>(128 + run), v[i]});
        i += run;
        continue;
      }
      std::size_t literal = 0;
      while (i + literal < n && literal < 128 &&
             !(i + literal + 2 < n && v[i + literal] == v[i + literal + 1] && v[i + literal] == v[i + literal + 2]))
        ++literal;
      out.push_back(static_cast<std::uint8_t>(literal));
      out.insert(out.end(), v.begin() + i, v.begin() + i + literal);
      i += literal;
    }
  }
}

// Radiance's decode of one component: the middle of the mantissa's interval.
float Expected(std::uint8_t m, std::uint8_t e) { return e ? (m + 0.5f) * std::ldexp(1.0f, e - 136) : 0.0f; }

void ExpectPattern(const THDRGraphic& hdr, int width, int height, const std::string& what) {
  ASSERT_EQ(width, hdr.Width()) << what;
  ASSERT_EQ(height, hdr.Height()) << what;
  ASSERT_NE(nullptr, hdr.FloatPixels()) << what;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float* p = hdr.FloatPixels()->Row(y) + 4 * x;
      const TRGBE q = Pattern(x, y);
      ASSERT_EQ(Expected(q.r, q.e), p[0]) << what << " at " << x << "," << y;
      ASSERT_EQ(Expected(q.g, q.e), p[1]) << what << " at " << x << "," << y;
      ASSERT_EQ(Expected(q.b, q.e), p[2]) << what << " at " << x << "," << y;
      ASSERT_EQ(1.0f, p[3]);
    }
}

// Each orientation says where the first pixel stored lies and which way its scanline and the
// next scanline go, in a picture 10 wide and 9 high (both long enough to be run-length coded).
TEST(HDR, EveryOrientationShowsTheSamePicture) {
  struct TCase {
    const char* resolution;
    int x0, y0;      // the first stored pixel
    int dx, dy;      // along a scanline
    int sx, sy;      // from one scanline to the next
  };
  const TCase cases[] = {
      {"-Y 9 +X 10", 0, 0, 1, 0, 0, 1},   {"-Y 9 -X 10", 9, 0, -1, 0, 0, 1},
      {"+Y 9 -X 10", 9, 8, -1, 0, 0, -1}, {"+Y 9 +X 10", 0, 8, 1, 0, 0, -1},
      {"+X 10 +Y 9", 0, 8, 0, -1, 1, 0},  {"-X 10 +Y 9", 9, 8, 0, -1, -1, 0},
      {"-X 10 -Y 9", 9, 0, 0, 1, -1, 0},  {"+X 10 -Y 9", 0, 0, 0, 1, 1, 0},
  };
  for (const TCase& c : cases) {
    const bool columns = c.resolution[1] == 'X';
    const int scanlines = columns ? 10 : 9, length = columns ? 9 : 10;
    for (const bool coded : {false, true}) {
      Bytes bytes = Header(c.resolution);
      for (int s = 0; s < scanlines; ++s) {
        std::vector<TRGBE> scanline;
        for (int i = 0; i < length; ++i) scanline.push_back(Pattern(c.x0 + s * c.sx + i * c.dx, c.y0 + s * c.sy + i * c.dy));
        coded ? Coded(bytes, scanline) : Flat(bytes, scanline);
      }
      const auto hdr = test::LoadWith<THDRGraphic>(bytes);
      ExpectPattern(hdr, 10, 9, std::string(c.resolution) + (coded ? " coded" : " flat"));
    }
  }
}

// A scanline of long runs in every form gives the same floats.
TEST(HDR, RunsDecodeAlikeInEveryForm) {
  std::vector<TRGBE> scanline;
  for (int i = 0; i < 300; ++i) scanline.push_back(i < 200 ? TRGBE{10, 20, 30, 130} : TRGBE{static_cast<std::uint8_t>(i), 1, 2, 131});
  Bytes coded = Header("-Y 2 +X 300"), flat = coded, old = coded;
  Coded(coded, scanline);
  Coded(coded, scanline);
  Flat(flat, scanline);
  Flat(flat, scanline);
  // Old-style repeats: 1, 1, 1, n repeats the pixel before n times, and a repeat straight
  // after another counts 256 times: 199 = 0xC7 repeats as "199", then none more.
  for (int s = 0; s < 2; ++s) {
    old.insert(old.end(), {10, 20, 30, 130, 1, 1, 1, 199 - 0});
    Flat(old, std::vector<TRGBE>(scanline.begin() + 200, scanline.end()));
  }
  const auto expected = test::LoadWith<THDRGraphic>(flat);
  EXPECT_EQ(expected.FloatPixels()->RGBA, test::LoadWith<THDRGraphic>(coded).FloatPixels()->RGBA);
  EXPECT_EQ(expected.FloatPixels()->RGBA, test::LoadWith<THDRGraphic>(old).FloatPixels()->RGBA);

  // 1, 1, 1, 1 then 1, 1, 1, 1: one repeat, then 256 more.
  Bytes shifted = Header("-Y 1 +X 258");
  shifted.insert(shifted.end(), {9, 8, 7, 129, 1, 1, 1, 1, 1, 1, 1, 1});
  const auto wide = test::LoadWith<THDRGraphic>(shifted);
  for (int x : {0, 1, 2, 257}) EXPECT_EQ(Expected(9, 129), wide.FloatPixels()->Row(0)[4 * x]) << x;
}

TEST(HDR, XyzeBecomesLinearSRGB) {
  // Radiance's white of equal energy is grey, and light of the sRGB green primary's
  // chromaticity (0.30, 0.60) has no red and no blue.
  Bytes bytes = Header("-Y 1 +X 2", "FORMAT=32-bit_rle_xyze\n");
  bytes.insert(bytes.end(), {128, 128, 128, 129, 64, 128, 21, 129});
  THDRGraphic hdr;
  test::LoadInto(hdr, bytes);
  const float* white = hdr.FloatPixels()->Row(0);
  EXPECT_NEAR(white[0], white[1], 1e-3f);
  EXPECT_NEAR(white[2], white[1], 1e-3f);
  EXPECT_NEAR(Expected(128, 129), white[1], 1e-3f);
  const float* green = white + 4;
  EXPECT_NEAR(0.0f, green[0], 0.01f);
  EXPECT_NEAR(0.0f, green[2], 0.01f);
  EXPECT_GT(green[1], 0.9f);
  EXPECT_EQ("Radiance XYZE", hdr.FormatDescription());
}

TEST(HDR, HeaderLinesAreReadOrSkipped) {
  // A comment, the command history, several exposures (multiplied) and "#?RGBE" as the
  // first line; pixels keep the values stored.
  Bytes bytes;
  Append(bytes, "#?RGBE\n# made by hand\npfilt -e 2 in.hdr\nEXPOSURE=2\nEXPOSURE= 1.5\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n");
  bytes.insert(bytes.end(), {100, 50, 25, 128});
  TMemoryStream sniff(bytes.data(), bytes.size());
  EXPECT_TRUE(THDRGraphic::CanLoad(sniff));
  THDRGraphic hdr;
  test::LoadInto(hdr, bytes);
  EXPECT_EQ(Expected(100, 128), hdr.FloatPixels()->Row(0)[0]);
  EXPECT_EQ("Radiance RGBE, exposure 3", hdr.FormatDescription());
  // Lines ended by CR LF.
  Bytes windows;
  Append(windows, "#?RADIANCE\r\nFORMAT=32-bit_rle_rgbe\r\n\r\n-Y 1 +X 1\r\n");
  windows.insert(windows.end(), {100, 50, 25, 128});
  EXPECT_EQ(Expected(50, 128), test::LoadWith<THDRGraphic>(windows).FloatPixels()->Row(0)[1]);
  // No FORMAT line at all is RGBE.
  Bytes plain;
  Append(plain, "#?RADIANCE\n\n-Y 1 +X 1\n");
  plain.insert(plain.end(), {100, 50, 25, 128});
  EXPECT_EQ("", test::LoadErrorWith<THDRGraphic>(plain));
}

TEST(HDR, MalformedFilesAreRefusedCleanly) {
  auto withPixels = [](Bytes bytes, std::initializer_list<std::uint8_t> pixels) {
    bytes.insert(bytes.end(), pixels);
    return bytes;
  };
  const std::uint8_t p[] = {1, 2, 3, 128};
  EXPECT_EQ("Invalid color format in Radiance HDR file.",
            test::LoadErrorWith<THDRGraphic>(withPixels(Header("-Y 1 +X 1", "FORMAT=32-bit_rle_lab\n"), {1, 2, 3, 128})));
  for (const char* resolution : {"-Y 1", "-Y 1 -Y 1", "Y 1 +X 1", "-Y +X 1", "-Y 0 +X 1"})
    EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(Header(resolution), {1, 2, 3, 128}))) << resolution;
  // A coded scanline whose length is not the picture's, a run past the scanline's end, a
  // literal of no bytes, and an old-style repeat past the end.
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(Header("-Y 1 +X 8"), {2, 2, 0, 9, 137, 1})));
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(Header("-Y 1 +X 8"), {2, 2, 0, 8, 137, 1})));
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(Header("-Y 1 +X 8"), {2, 2, 0, 8, 0, 1})));
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(Header("-Y 1 +X 3"), {p[0], p[1], p[2], p[3], 1, 1, 1, 3})));
  // Four repeats in a row would be 2^32 pixels: refused, not counted.
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(withPixels(
                          Header("-Y 1 +X 8"), {1, 2, 3, 128, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0})));
  // A header without its end, a header without a resolution line.
  Bytes open;
  Append(open, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n");
  EXPECT_EQ("Stream read error", test::LoadErrorWith<THDRGraphic>(open));
  Append(open, "\n");
  EXPECT_EQ("Stream read error", test::LoadErrorWith<THDRGraphic>(open));
  // Not a Radiance file at all.
  Bytes other;
  Append(other, "P6\n1 1\n255\nabc");
  EXPECT_EQ(kInvalid, test::LoadErrorWith<THDRGraphic>(other));
}

TEST(HDR, SizesAreCheckedAgainstTheFileFirst) {
  // 9000 scanlines need 36000 bytes at least: a short file is refused before 300 MB of
  // floats are made, and a side past every limit is "too large".
  const std::string cut = test::LoadErrorWith<THDRGraphic>(Header("-Y 9000 +X 9000"));
  EXPECT_EQ("Stream read error", cut);
  const std::string huge = test::LoadErrorWith<THDRGraphic>(Header("-Y 99999999999 +X 1"));
  EXPECT_NE(std::string::npos, huge.find("too large")) << huge;

  std::vector<TRGBE> scanline;
  for (int i = 0; i < 40; ++i) scanline.push_back(Pattern(i % 7, i % 5));
  Bytes bytes = Header("-Y 4 +X 40");
  for (int s = 0; s < 4; ++s) (s % 2 ? Coded : Flat)(bytes, scanline);
  test::ExpectTruncationsHandled(bytes, [](const Bytes& b) { test::LoadWith<THDRGraphic>(b); });
}

// Our floats against the KDE plugins' 16-bit linear decodes, which clip at 1.
TEST(HDR, MatchesOtherDecodesOfRealFiles) {
  for (const char* name : {"rgb", "rgb-landscape", "rgb-portrait"}) {
    const std::string base = test::Fixture(std::string("kimageformats/hdr/") + name);
    const auto hdr = test::LoadWith<THDRGraphic>(test::ReadFile(base + ".hdr"));
    auto near = [&](int x, int y, const std::uint16_t* ref) {
      const float* ours = hdr.FloatPixels()->Row(y) + 4 * x;
      // A shared exponent and 8-bit mantissas: each component is known to a 256th of the
      // pixel's largest, and decoders take the interval's start or its middle.
      const float step = std::max({ours[0], ours[1], ours[2]}) / 128 + 1.0f / 32768;
      for (int c = 0; c < 3; ++c)
        ASSERT_NEAR(ref[c] / 65535.0f, std::min(ours[c], 1.0f), step) << name << " at " << x << "," << y << " " << c;
    };
    ASSERT_NO_FATAL_FAILURE(test::ForEachReferencePixel(base + ".png", hdr.Width(), hdr.Height(), near));
  }
  // ImageMagick's own decode of the file it wrote, kept as a float map.
  const auto hdr = test::LoadWith<THDRGraphic>(test::ReadFile(test::Fixture("hdr/hopper_imagemagick.hdr")));
  const auto pfm = test::LoadWith<TPPMGraphic>(test::ReadFile(test::Fixture("hdr/hopper_imagemagick.pfm")));
  ASSERT_EQ(pfm.Width(), hdr.Width());
  ASSERT_EQ(pfm.Height(), hdr.Height());
  const auto& a = hdr.FloatPixels()->RGBA;
  const auto& b = pfm.FloatPixels()->RGBA;
  for (std::size_t i = 0; i < a.size(); i += 4)
    for (std::size_t c = 0; c < 3; ++c)
      ASSERT_NEAR(b[i + c], a[i + c], std::max({a[i], a[i + 1], a[i + 2]}) / 128 + 1.0f / 32768) << i;
}

}  // namespace
}  // namespace vumo
