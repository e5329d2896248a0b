#include "formats/pcd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

using Bytes = std::vector<std::uint8_t>;
using Plane = std::function<std::uint8_t(unsigned x, unsigned y)>;

constexpr unsigned kWidth = 768, kHeight = 512;
constexpr std::size_t kBaseImageAt = 96 * 2048;
constexpr std::size_t kBaseImageBytes = kWidth * kHeight * 3 / 2;

// An image pack holding only a base image: luma of 768 x 512, chroma of 384 x 256, stored
// as two luma rows and one row of each chroma at a time.
Bytes MakePcd(const Plane& luma, const Plane& chroma1, const Plane& chroma2, std::uint8_t rotation = 0,
              bool overview = false) {
  const std::size_t at = overview ? 5 * 2048 : kBaseImageAt;
  Bytes file(at, 0xFF);
  std::fill(file.begin(), file.begin() + 3 * 2048, 0);
  if (overview) std::memcpy(file.data(), "PCD_OPA", 7);
  std::memcpy(file.data() + 2048, "PCD_IPI", 7);
  file[3586] = rotation;
  for (unsigned k = 0; k < kHeight / 2; ++k) {
    for (unsigned y = 2 * k; y < 2 * k + 2; ++y)
      for (unsigned x = 0; x < kWidth; ++x) file.push_back(luma(x, y));
    for (unsigned x = 0; x < kWidth / 2; ++x) file.push_back(chroma1(x, k));
    for (unsigned x = 0; x < kWidth / 2; ++x) file.push_back(chroma2(x, k));
  }
  return file;
}

Plane Constant(std::uint8_t value) {
  return [value](unsigned, unsigned) { return value; };
}

Rgba8Image Load(const Bytes& bytes, TPCDGraphic* keep = nullptr) { return test::DecodeWith<TPCDGraphic>(bytes, keep); }

const std::uint8_t* PixelAt(const Rgba8Image& image, unsigned x, unsigned y) {
  return &image.pixels[(std::size_t{y} * static_cast<unsigned>(image.width) + x) * 4];
}

// Photo YCC to RGB by its definition: L = 1.3584 Y, C1 = 2.2179 (c1 - 156),
// C2 = 1.8215 (c2 - 137), R = L + C2, G = L - 0.194 C1 - 0.509 C2, B = L + C1, each term
// rounded as the colour manager's tables hold it.
std::array<int, 3> PhotoYccToRgb(int y, int c1, int c2) {
  auto term = [](double factor, int value) { return static_cast<int>(std::nearbyint(factor * value)); };
  auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  const int l = term(1.3584, y);
  return {clamp(l + term(1.8215f, c2 - 137)),
          clamp(l - term(static_cast<float>(0.194 * 2.2179), c1 - 156) - term(static_cast<float>(0.509 * 1.8215), c2 - 137)),
          clamp(l + term(2.2179f, c1 - 156))};
}

// One sample of a chroma plane doubled in both directions: even positions copy, odd ones
// round the mean of their two (or four diagonal) neighbours, the edges repeat.
int Upsampled(const Plane& chroma, unsigned x, unsigned y) {
  if (y == kHeight - 1) y = kHeight - 2;
  const unsigned x0 = x / 2, x1 = std::min(x / 2 + 1, kWidth / 2 - 1), y0 = y / 2, y1 = y / 2 + 1;
  const bool oddX = x % 2 == 1, oddY = y % 2 == 1;
  if (!oddX && !oddY) return chroma(x0, y0);
  if (oddX && !oddY) return (chroma(x0, y0) + chroma(x1, y0) + 1) / 2;
  if (!oddX) return (chroma(x0, y0) + chroma(x0, y1) + 1) / 2;
  return (chroma(x0, y0) + chroma(x1, y0) + chroma(x0, y1) + chroma(x1, y1) + 2) / 4;
}

TEST(PCDReader, KnownColoursFollowThePhotoYccDefinition) {
  // Neutral chroma leaves grey at 1.3584 times the luma code; worked by hand for
  // (100, 200, 180): L = 136, red 136 + round(1.8215 * 43), green 136 - round(0.43027 * 44)
  // - round(0.92714 * 43), blue 136 + round(2.2179 * 44).
  const Rgba8Image grey = Load(MakePcd(Constant(100), Constant(156), Constant(137)));
  const Rgba8Image colour = Load(MakePcd(Constant(100), Constant(200), Constant(180)));
  ASSERT_EQ(grey.width, 768);
  ASSERT_EQ(grey.height, 512);
  for (auto [x, y] : {std::pair{0u, 0u}, {767u, 511u}, {300u, 200u}}) {
    EXPECT_EQ(std::vector<int>(PixelAt(grey, x, y), PixelAt(grey, x, y) + 4), (std::vector<int>{136, 136, 136, 255}));
    EXPECT_EQ(std::vector<int>(PixelAt(colour, x, y), PixelAt(colour, x, y) + 3), (std::vector<int>{214, 77, 234}));
  }
  EXPECT_EQ(PhotoYccToRgb(100, 200, 180), (std::array<int, 3>{214, 77, 234}));
  // Reference white is luma 189; the codes above it are highlights and clip.
  const Rgba8Image white = Load(MakePcd(Constant(189), Constant(156), Constant(137)));
  EXPECT_EQ(std::vector<int>(PixelAt(white, 5, 5), PixelAt(white, 5, 5) + 3), (std::vector<int>{255, 255, 255}));
  const Rgba8Image below = Load(MakePcd(Constant(180), Constant(156), Constant(137)));
  EXPECT_EQ(PixelAt(below, 5, 5)[0], 245);
}

TEST(PCDReader, EveryPixelFollowsTheUpsamplingAndConversionRules) {
  const Plane luma = [](unsigned x, unsigned y) { return static_cast<std::uint8_t>(x * 5 + y * 3); };
  const Plane chroma1 = [](unsigned x, unsigned y) { return static_cast<std::uint8_t>(40 + (x * 7 + y * 11) % 200); };
  const Plane chroma2 = [](unsigned x, unsigned y) { return static_cast<std::uint8_t>((x * x + y * 13) % 256); };
  const Rgba8Image image = Load(MakePcd(luma, chroma1, chroma2));
  ASSERT_EQ(image.width, 768);
  std::size_t wrong = 0;
  for (unsigned y = 0; y < kHeight; ++y) {
    for (unsigned x = 0; x < kWidth; ++x) {
      const auto expected = PhotoYccToRgb(luma(x, y), Upsampled(chroma1, x, y), Upsampled(chroma2, x, y));
      const std::uint8_t* p = PixelAt(image, x, y);
      if (p[0] != expected[0] || p[1] != expected[1] || p[2] != expected[2]) {
        if (++wrong <= 5) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(wrong, 0u);
}

TEST(PCDReader, RotationCodesTurnThePicture) {
  const Plane luma = [](unsigned x, unsigned y) { return static_cast<std::uint8_t>(x * 7 + y * 13); };
  const auto lumaAt = [&](const Rgba8Image& image, unsigned x, unsigned y) { return PixelAt(image, x, y)[0]; };
  // Neutral chroma: red is the luma code as Photo YCC shows it.
  const auto shown = [&](unsigned x, unsigned y) { return PhotoYccToRgb(luma(x, y), 156, 137)[0]; };
  // Only the low two bits count; code 2 is shown unturned.
  for (std::uint8_t code : {0x00, 0x02, 0xFC, 0xFE}) {
    SCOPED_TRACE(int{code});
    const Rgba8Image image = Load(MakePcd(luma, Constant(156), Constant(137), code));
    ASSERT_EQ(image.width, 768);
    ASSERT_EQ(image.height, 512);
    EXPECT_EQ(lumaAt(image, 5, 9), shown(5, 9));
    EXPECT_EQ(lumaAt(image, 767, 0), shown(767, 0));
  }
  for (std::uint8_t code : {0x01, 0x03, 0x0D}) {
    SCOPED_TRACE(int{code});
    TPCDGraphic reader;
    const Rgba8Image image = Load(MakePcd(luma, Constant(156), Constant(137), code), &reader);
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 768);
    EXPECT_EQ(reader.ImageProperties.Rotate, code & 3);
    std::size_t wrong = 0;
    for (unsigned y = 0; y < kHeight; ++y)
      for (unsigned x = 0; x < kWidth; ++x) {
        // A quarter anticlockwise for code 1: the top row becomes the left column, read upwards.
        const unsigned column = (code & 3) == 1 ? y : kHeight - 1 - y;
        const unsigned row = (code & 3) == 1 ? kWidth - 1 - x : x;
        wrong += lumaAt(image, column, row) != shown(x, y);
      }
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(PCDReader, PillowHopperMatchesItsReferenceThroughTheSameConversion) {
  const Rgba8Image image = Load(ReadFile(Fixture("pillow/hopper.pcd")));
  ASSERT_EQ(image.width, 768);
  ASSERT_EQ(image.height, 512);
  // The reference is the 128 x 128 picture the file was made from. Whatever wrote the file
  // stored that picture's red, green and blue in the luma and the two chroma planes rather
  // than Photo YCC (a least-squares fit of the planes to the reference gives Y = R, C1 = G,
  // C2 = B to within 11 levels rms), so every Photo-CD reader shows it in odd colours. The
  // decode is therefore checked against the reference, stretched to 768 x 512, put through
  // the same conversion; the tolerance covers the stretch and the halved chroma.
  const Rgba8Image reference = test::LoadReferencePng(Fixture("pillow/hopper.png"));
  ASSERT_EQ(reference.width, 128);
  Rgba8Image expected, plain;
  expected.width = plain.width = 768;
  expected.height = plain.height = 512;
  for (unsigned y = 0; y < kHeight; ++y)
    for (unsigned x = 0; x < kWidth; ++x) {
      const std::uint8_t* p = &reference.pixels[(std::size_t{y * 128 / kHeight} * 128 + x * 128 / kWidth) * 4];
      const auto rgb = PhotoYccToRgb(p[0], p[1], p[2]);
      for (int c = 0; c < 3; ++c) expected.pixels.push_back(static_cast<std::uint8_t>(rgb[c]));
      expected.pixels.push_back(255);
      plain.pixels.insert(plain.pixels.end(), p, p + 4);
    }
  const auto d = test::Compare(image, expected, 48, false);
  EXPECT_TRUE(d.sameSize);
  EXPECT_LT(d.meanChannelDelta, 8.0);
  EXPECT_LT(d.pixelsOff, std::size_t{768 * 512 / 20});
  // ... and it is not the reference's own colours.
  EXPECT_GT(test::Compare(image, plain, 48, false).meanChannelDelta, 40.0);
}

TEST(PCDReader, PropertiesFollowTheResolutionAndRotation) {
  const Bytes upright = MakePcd(Constant(0), Constant(0), Constant(0), 0);
  const Bytes portrait = MakePcd(Constant(0), Constant(0), Constant(0), 3);
  auto properties = [](const Bytes& bytes, unsigned index) {
    TPCDGraphic reader;
    TMemoryStream stream(bytes.data(), bytes.size());
    EXPECT_TRUE(reader.ReadImageProperties(stream, index));
    return reader.ImageProperties;
  };
  TImageProperties p = properties(upright, 4);
  EXPECT_EQ(p.Width, 3072u);
  EXPECT_EQ(p.Height, 2048u);
  EXPECT_EQ(p.Compression, ctPCDHuffmann);
  EXPECT_EQ(p.ColorScheme, csPhotoYCC);
  EXPECT_EQ(p.BitsPerPixel, 24);
  p = properties(upright, 9);
  EXPECT_EQ(p.Width, 6144u);
  EXPECT_EQ(p.Height, 4096u);
  p = properties(portrait, 2);
  EXPECT_EQ(p.Width, 512u);
  EXPECT_EQ(p.Height, 768u);
  EXPECT_EQ(p.Compression, ctNone);
  EXPECT_EQ(p.Rotate, 3);
  p = properties(MakePcd(Constant(0), Constant(0), Constant(0), 0, true), 4);
  EXPECT_TRUE(p.Overview);
  EXPECT_EQ(p.Width, 192u);
  EXPECT_EQ(p.Compression, ctNone);
}

TEST(PCDReader, OverviewPacksReadTheBaseGeometryAfterTheirHeader) {
  const Rgba8Image image = Load(MakePcd(Constant(90), Constant(156), Constant(137), 0, true));
  ASSERT_EQ(image.width, 768);
  EXPECT_EQ(PixelAt(image, 400, 300)[1], PhotoYccToRgb(90, 156, 137)[1]);
}

TEST(PCDReader, CanLoadNeedsAMarkAndMoreThanTheHeader) {
  const Bytes pack = MakePcd(Constant(0), Constant(0), Constant(0));
  auto canLoad = [](const Bytes& bytes) {
    TMemoryStream stream(bytes.data(), bytes.size());
    const bool result = TPCDGraphic::CanLoad(stream);
    EXPECT_EQ(stream.Position(), 0);
    return result;
  };
  EXPECT_TRUE(canLoad(pack));
  EXPECT_TRUE(canLoad(Bytes(pack.begin(), pack.begin() + 6145)));
  EXPECT_FALSE(canLoad(Bytes(pack.begin(), pack.begin() + 6144)));
  Bytes unmarked = pack;
  unmarked[2050] = 'X';
  EXPECT_FALSE(canLoad(unmarked));
  std::memcpy(unmarked.data(), "PCD_OPA", 7);
  EXPECT_TRUE(canLoad(unmarked));
}

TEST(PCDReader, ShortAndForeignFilesFailCleanly) {
  const Bytes pack = MakePcd(Constant(0), Constant(156), Constant(137));
  // Too short for the base image, or for the header itself: the stream's read error.
  EXPECT_EQ(test::LoadErrorWith<TPCDGraphic>(Bytes(pack.begin(), pack.end() - 1)), kStreamReadError);
  EXPECT_EQ(test::LoadErrorWith<TPCDGraphic>(Bytes(pack.begin(), pack.begin() + 4000)), kStreamReadError);
  EXPECT_EQ(test::LoadErrorWith<TPCDGraphic>(Bytes(pack.begin(), pack.begin() + kBaseImageAt)), kStreamReadError);
  // Without a mark the load ends with an empty bitmap and no error.
  Bytes foreign = pack;
  foreign[2048] = 'X';
  TPCDGraphic reader;
  EXPECT_EQ(Load(foreign, &reader).width, 0);
  EXPECT_TRUE(reader.Empty());
  EXPECT_EQ(test::LoadErrorWith<TPCDGraphic>(Bytes(100, 0)), "");
  // A file cut anywhere fails with a message, or shows nothing when its mark is gone.
  test::ExpectTruncationsRaiseUnlessWhole(pack, [](const Bytes& bytes) { return Load(bytes).width == 0; });
}

TEST(PCDReader, ReportsEachStageAndEveryRow) {
  const Bytes pack = MakePcd(Constant(0), Constant(156), Constant(137), 1);
  TPCDGraphic reader;
  std::vector<std::string> stages;
  int transferRows = 0;
  reader.OnProgress = [&](void*, TProgressStage stage, std::uint8_t, bool redraw, const TRect&, const std::string& msg) {
    if (stage == psStarting) stages.push_back(msg);
    if (stage == psRunning && redraw && !stages.empty() && stages.back() == gesTransfering) ++transferRows;
  };
  TMemoryStream stream(pack.data(), pack.size());
  reader.LoadFromStream(stream);
  EXPECT_EQ(stages, (std::vector<std::string>{gesPreparing, gesLoadingData, gesUpsampling, gesTransfering}));
  // A turned picture still reports one row per source row.
  EXPECT_EQ(transferRows, 512);
}

TEST(PCDReader, LoadsThroughThePicture) {
  const Rgba8Image image = test::LoadThroughPicture(Fixture("pillow/hopper.pcd"));
  EXPECT_EQ(image.width, 768);
  EXPECT_EQ(image.height, 512);
}

}  // namespace
}  // namespace vumo
