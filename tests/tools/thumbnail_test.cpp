#include "tools/thumbnail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "formats/format_registry.h"
#include "support/test_support.h"

namespace vumo {
namespace {

namespace fs = std::filesystem;

TEST(ThumbnailSize, KeepsTheAspectAndNeverEnlarges) {
  auto size = [](int w, int h, int side) {
    TThumbnailSize s = ThumbnailSize(w, h, side);
    return std::to_string(s.Width) + "x" + std::to_string(s.Height);
  };
  EXPECT_EQ(size(1000, 500, 128), "128x64");
  EXPECT_EQ(size(500, 1000, 128), "64x128");
  EXPECT_EQ(size(300, 300, 256), "256x256");
  EXPECT_EQ(size(100, 50, 128), "100x50");   // already small enough
  EXPECT_EQ(size(128, 20, 128), "128x20");
  EXPECT_EQ(size(3, 2, 2), "2x1");            // 1.33 rounds down
  EXPECT_EQ(size(4000, 3, 128), "128x1");     // a sliver keeps one pixel
  EXPECT_EQ(size(1, 262144, 256), "1x256");
  EXPECT_EQ(size(262144, 262144, 4096), "4096x4096");
  EXPECT_EQ(size(0, 10, 128), "0x0");
}

std::vector<std::uint8_t> Scale(int sw, int sh, int tw, int th, const std::vector<std::uint8_t>& rgba) {
  TAreaScaler scaler(sw, sh, tw, th);
  for (int y = 0; y < sh; ++y) scaler.AddRow(rgba.data() + static_cast<std::size_t>(y) * sw * 4);
  return scaler.Result();
}

TEST(AreaScaler, AveragesTheAreaEachPixelCovers) {
  // Three grey pixels onto two: the middle one is shared half and half.
  std::vector<std::uint8_t> row = {0, 0, 0, 255, 90, 90, 90, 255, 180, 180, 180, 255};
  std::vector<std::uint8_t> out = Scale(3, 1, 2, 1, row);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{30, 30, 30, 255, 150, 150, 150, 255}));

  // The same vertically.
  out = Scale(1, 3, 1, 2, row);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{30, 30, 30, 255, 150, 150, 150, 255}));
}

TEST(AreaScaler, TransparentPixelsLendNoColourButHalveTheAlpha) {
  std::vector<std::uint8_t> row = {200, 10, 20, 255, 0, 255, 0, 0};
  EXPECT_EQ(Scale(2, 1, 1, 1, row), (std::vector<std::uint8_t>{200, 10, 20, 128}));
  // Wholly transparent stays transparent, without colour.
  row = {200, 10, 20, 0, 0, 255, 0, 0};
  EXPECT_EQ(Scale(2, 1, 1, 1, row), (std::vector<std::uint8_t>(4, 0)));
}

TEST(AreaScaler, AtTheSameSizeCopiesEveryPixel) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> image(5 * 4 * 4);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 1 + random() % 255 : random() % 256);
  EXPECT_EQ(Scale(5, 4, 5, 4, image), image);
}

// Each target pixel against the exact mean over its rectangle, computed the slow way.
TEST(AreaScaler, MatchesTheExactAreaMeanForUnevenRatios) {
  const int sw = 37, sh = 23;
  std::mt19937 random(11);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(sw) * sh * 4);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(random() % 256);
  for (auto [tw, th] : {std::pair{10, 7}, std::pair{36, 1}, std::pair{1, 22}, std::pair{19, 12}}) {
    std::vector<std::uint8_t> out = Scale(sw, sh, tw, th, image);
    const double cw = static_cast<double>(sw) / tw, ch = static_cast<double>(sh) / th;
    for (int ty = 0; ty < th; ++ty)
      for (int tx = 0; tx < tw; ++tx)
        for (int c = 0; c < 3; ++c) {
          double sum = 0;
          for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) {
              const double ox = std::max(0.0, std::min(x + 1.0, (tx + 1) * cw) - std::max<double>(x, tx * cw));
              const double oy = std::max(0.0, std::min(y + 1.0, (ty + 1) * ch) - std::max<double>(y, ty * ch));
              sum += ox * oy * image[(static_cast<std::size_t>(y) * sw + x) * 4 + c];
            }
          const double mean = sum / (cw * ch);
          const int got = out[(static_cast<std::size_t>(ty) * tw + tx) * 4 + c];
          ASSERT_NEAR(got, mean, 0.51) << tw << "x" << th << " at " << tx << "," << ty;
        }
  }
}

TEST(MakeThumbnail, AnAllZeroFourthByteIsNoAlpha) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) bitmap.ScanLine(y)[x * 4 + 2] = 200;  // red, alpha byte 0
  TThumbnailSize size;
  std::vector<std::uint8_t> out = MakeThumbnail(bitmap, 2, size);
  EXPECT_EQ(size.Width, 2);
  EXPECT_EQ(size.Height, 1);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{200, 0, 0, 255, 200, 0, 0, 255}));

  bitmap.ScanLine(0)[3] = 255;  // one real alpha value: the channel is kept
  out = MakeThumbnail(bitmap, 2, size);
  EXPECT_EQ(out[3], 64);
}

// The converter's --thumbnail, as file managers call it.
std::string Convert() { return test::ShellQuote(VUMO_CONVERT); }

std::vector<std::string> Samples() {
  std::vector<std::string> samples;
  for (const auto& entry : fs::directory_iterator(std::string(VUMO_SOURCE_DIR) + "/data/samples")) {
    const std::string ext = entry.path().extension().string().substr(1);
    if (FileFormatList().IndexOfExtension(ext) >= 0) samples.push_back(entry.path().string());
  }
  std::sort(samples.begin(), samples.end());
  return samples;
}

TEST(ThumbnailCommand, EverySampleGivesAPngOfTheRightSizeWithItsColours) {
  const std::vector<std::string> samples = Samples();
  ASSERT_GE(samples.size(), 10u);
  const std::string dir = test::TempDir("thumbnail-samples");
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    const std::string output = dir + "/" + fs::path(sample).filename().string() + ".png";
    test::CommandResult r = test::RunCommand(Convert() + " --thumbnail 48 " + test::ShellQuote(sample) + " " +
                                                 test::ShellQuote(output), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const test::Rgba8Image source = test::LoadThroughPicture(sample);
    const test::Rgba8Image thumbnail = test::LoadReferencePng(output);
    const TThumbnailSize expected = ThumbnailSize(source.width, source.height, 48);
    EXPECT_EQ(thumbnail.width, expected.Width);
    EXPECT_EQ(thumbnail.height, expected.Height);
    // The mean colour survives an area average; a wrong channel order or row order in the
    // top and bottom halves would not.
    for (int half = 0; half < 2; ++half)
      for (int c = 0; c < 4; ++c) {
        auto mean = [&](const test::Rgba8Image& image) {
          double sum = 0;
          const int rows = image.height / 2;
          for (int y = half * rows; y < (half + 1) * rows; ++y)
            for (int x = 0; x < image.width; ++x)
              sum += image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 4 + c];
          return sum / (static_cast<double>(rows) * image.width);
        };
        // Where alpha varies the thumbnail's colours are alpha-weighted means: compare alpha only.
        if (c < 3 && sample.find("glass") != std::string::npos) continue;
        EXPECT_NEAR(mean(thumbnail), mean(source), 2.0) << "channel " << c << " half " << half;
      }
  }
}

TEST(ThumbnailCommand, KeepsTheAlphaChannel) {
  const std::string dir = test::TempDir("thumbnail-alpha");
  const std::string sample = std::string(VUMO_SOURCE_DIR) + "/data/samples/glass_tiles.tga";
  const test::Rgba8Image source = test::LoadThroughPicture(sample);
  const std::string output = dir + "/glass.png";
  ASSERT_EQ(test::RunCommand(Convert() + " --thumbnail 32 " + test::ShellQuote(sample) + " " + test::ShellQuote(output), dir).status, 0);
  const test::Rgba8Image thumbnail = test::LoadReferencePng(output);
  int sourceMin = 255, thumbnailMin = 255;
  for (std::size_t i = 3; i < source.pixels.size(); i += 4) sourceMin = std::min<int>(sourceMin, source.pixels[i]);
  for (std::size_t i = 3; i < thumbnail.pixels.size(); i += 4) thumbnailMin = std::min<int>(thumbnailMin, thumbnail.pixels[i]);
  ASSERT_LT(sourceMin, 255) << "the sample should carry alpha";
  EXPECT_LT(thumbnailMin, 255);
}

// Truncated and cut copies: a thumbnail of the right size, or exit status 1 and no file at
// all (no partial PNG, no hidden temporary left behind).
TEST(ThumbnailCommand, TruncatedFilesGiveAThumbnailOrExitOneAndNoFile) {
  const std::string dir = test::TempDir("thumbnail-truncated");
  int failures = 0;
  for (const std::string& sample : Samples()) {
    const std::vector<std::uint8_t> bytes = test::ReadFile(sample);
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{17}, bytes.size() / 3, bytes.size() / 2,
                               bytes.size() - 1}) {
      SCOPED_TRACE(sample + " cut to " + std::to_string(length));
      const std::string inputDir = dir + "/in", outputDir = dir + "/out";
      fs::remove_all(inputDir);
      fs::remove_all(outputDir);
      fs::create_directories(inputDir);
      fs::create_directories(outputDir);
      const std::string input = inputDir + "/cut" + fs::path(sample).extension().string();
      std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(length));
      const std::string output = outputDir + "/thumb.png";
      test::CommandResult r = test::RunCommand(
          Convert() + " --thumbnail 64 " + test::ShellQuote(input) + " " + test::ShellQuote(output), dir);
      if (r.status == 0) {
        const test::Rgba8Image thumbnail = test::LoadReferencePng(output);
        EXPECT_GT(thumbnail.width, 0);
        EXPECT_LE(std::max(thumbnail.width, thumbnail.height), 64);
      } else {
        ++failures;
        EXPECT_EQ(r.status, 1) << r.err;
        // One line, the reader's message: a sanitizer's report would be many.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(fs::is_empty(outputDir));
      }
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(ThumbnailCommand, AFailureLeavesAnExistingFileAloneAndBadArgumentsAreUsageErrors) {
  const std::string dir = test::TempDir("thumbnail-failures");
  const std::string sample = test::ShellQuote(std::string(VUMO_SOURCE_DIR) + "/data/samples/bricks.bmp");
  std::ofstream(dir + "/broken.tga") << "not a picture";
  std::ofstream(dir + "/old.png") << "kept";
  test::CommandResult r = test::RunCommand(
      Convert() + " --thumbnail 64 " + test::ShellQuote(dir + "/broken.tga") + " " + test::ShellQuote(dir + "/old.png"), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(test::ReadFile(dir + "/old.png"), (std::vector<std::uint8_t>{'k', 'e', 'p', 't'}));

  // An output that cannot be created: a missing folder, or a folder in the output's place.
  r = test::RunCommand(Convert() + " --thumbnail 64 " + sample + " " + test::ShellQuote(dir + "/missing/t.png"), dir);
  EXPECT_EQ(r.status, 1);
  fs::create_directories(dir + "/taken.png/inside");
  r = test::RunCommand(Convert() + " --thumbnail 64 " + sample + " " + test::ShellQuote(dir + "/taken.png"), dir);
  EXPECT_EQ(r.status, 1);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();

  for (const char* arguments : {"--thumbnail 0", "--thumbnail -5", "--thumbnail 12x", "--thumbnail 4097",
                                "--thumbnail abc", "--thumbnail"}) {
    r = test::RunCommand(Convert() + " " + arguments + " " + sample + " " + test::ShellQuote(dir + "/t.png"), dir);
    EXPECT_EQ(r.status, 2) << arguments;
  }
  EXPECT_EQ(test::RunCommand(Convert() + " --thumbnail 64 " + sample, dir).status, 2);
  EXPECT_FALSE(fs::exists(dir + "/t.png"));
}

}  // namespace
}  // namespace vumo
