#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/hostile_files.h"
#include "support/metafile_writer.h"
#include "support/test_support.h"

namespace vumo {
namespace {

struct RunResult {
  int status = -1;
  std::string out;  // standard output and standard error, in that order
  std::string err;
};

RunResult RunConvert(const std::string& arguments) {
  // ctest runs these cases side by side: every run gets a folder of its own.
  static int runs = 0;
  std::string dir = test::TempDir("convert-run-" + std::to_string(getpid()) + "-" + std::to_string(++runs));
  std::string command = std::string(VUMO_CONVERT) + " " + arguments + " >" + dir + "/out 2>" + dir + "/err";
  RunResult result;
  int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  result.out = slurp(dir + "/out");
  result.err = slurp(dir + "/err");
  return result;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

TEST(VumoConvert, WrongUsageExitsWithTwo) {
  EXPECT_EQ(RunConvert("").status, 2);
  EXPECT_EQ(RunConvert("onlyone").status, 2);
  EXPECT_EQ(RunConvert("--info").status, 2);
  EXPECT_EQ(RunConvert("a b c").status, 2);
  EXPECT_NE(RunConvert("").err.find("Usage"), std::string::npos);
}

TEST(VumoConvert, LoadErrorsExitWithOneAndTheProgramsOwnMessage) {
  std::string dir = test::TempDir("convert-errors");
  std::ofstream(dir + "/picture.qqq") << "data";
  RunResult r = RunConvert(Quote(dir + "/picture.qqq") + " " + Quote(dir + "/out.png"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Unknown picture file extension (.qqq)\n");
  EXPECT_FALSE(std::ifstream(dir + "/out.png").good());  // nothing written on failure

  r = RunConvert(Quote(dir + "/missing.bmp") + " " + Quote(dir + "/out.png"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Cannot open file"), std::string::npos) << r.err;
}

TEST(VumoConvert, WritesAnRgbaPngThatDecodesToTheSamePixels) {
  std::string dir = test::TempDir("convert-png");
  std::string input = test::Fixture("pillow/hopper.bmp");
  RunResult r = RunConvert(Quote(input) + " " + Quote(dir + "/hopper.png"));
  ASSERT_EQ(r.status, 0) << r.err;
  test::Rgba8Image written = test::LoadReferencePng(dir + "/hopper.png");
  test::Rgba8Image direct = test::LoadThroughPicture(input);
  test::Difference d = test::Compare(written, direct);
  EXPECT_TRUE(d.sameSize);
  EXPECT_EQ(d.maxChannelDelta, 0);
  EXPECT_EQ(d.maxAlphaDelta, 0);
}

TEST(VumoConvert, InfoPrintsSizeAndPixelFormatAsJson) {
  RunResult r = RunConvert("--info " + Quote(test::Fixture("pillow/hopper.bmp")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"width\": 128"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"height\": 128"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"pixelFormat\": \"pf24bit\""), std::string::npos) << r.out;
}

TEST(VumoConvert, MetafilesAreDrawnAtTheirFrameSizeOnTransparency) {
  std::string dir = test::TempDir("convert-metafile");
  for (const char* name : {"drawing.wmf", "drawing.emf"}) {
    const std::string output = dir + "/" + name + ".png";
    RunResult r = RunConvert(Quote(test::Fixture(std::string("pillow/") + name)) + " " + Quote(output));
    ASSERT_EQ(r.status, 0) << r.err;
    test::Rgba8Image png = test::LoadReferencePng(output);
    ASSERT_EQ(png.width, 110) << name;
    ASSERT_EQ(png.height, 110) << name;
    auto at = [&](int x, int y) { return &png.pixels[(static_cast<std::size_t>(y) * 110 + x) * 4]; };
    EXPECT_EQ(at(1, 1)[3], 0) << name;  // outside the circle
    const std::uint8_t* inside = at(80, 80);
    EXPECT_EQ(std::vector<int>(inside, inside + 4), (std::vector<int>{255, 0, 0, 255})) << name;
  }
  RunResult info = RunConvert("--info " + Quote(test::Fixture("pillow/drawing.emf")));
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"class\": \"TMetafile\""), std::string::npos) << info.out;
}

TEST(VumoConvert, PicturesTooLargeForTheirFileAreRefusedAndWriteNothing) {
  const std::string dir = test::TempDir("convert-bombs");
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } files[] = {
      {"grey.tif", test::THostileTiff{}.Bytes()},
      {"rgba16.png", test::HostilePng(16384, 16384, 16, 6, true, test::Deflated(std::vector<std::uint8_t>(99, 0)))},
      // A drawing of one rectangle on a frame of 16384 x 16384 pixels.
      {"frame.wmf", test::TWmfWriter(16384, 16384).Rectangle(0, 0, 100, 100).Bytes()},
  };
  for (const auto& file : files) {
    const std::string input = dir + "/" + file.name;
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(file.bytes.data()),
                                                 static_cast<std::streamsize>(file.bytes.size()));
    for (const std::string& mode : {std::string(), std::string("--thumbnail 256 ")}) {
      if (!mode.empty() && std::string(file.name).ends_with(".wmf")) continue;  // not thumbnailed at all
      const std::string output = dir + "/" + file.name + ".png";
      const RunResult r = RunConvert(mode + Quote(input) + " " + Quote(output));
      EXPECT_EQ(r.status, 1) << file.name << " " << mode;
      EXPECT_NE(r.err.find("The picture is too large for its file"), std::string::npos) << file.name << ": " << r.err;
      EXPECT_FALSE(std::ifstream(output).good()) << file.name;
    }
  }
}

TEST(VumoConvert, ADrawingStoppedAtItsBudgetIsWrittenAndSaidToBeIncomplete) {
  const std::string dir = test::TempDir("convert-incomplete");
  test::TEmfWriter heavy(1000, 1000);
  heavy.Brush(1, 0, 0x808080).Select(1);
  for (int i = 0; i < 30000; ++i) heavy.Record(43, {0, 0, 1000, 1000});
  const std::vector<std::uint8_t> bytes = heavy.Bytes();
  std::ofstream(dir + "/heavy.emf", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const RunResult r = RunConvert(Quote(dir + "/heavy.emf") + " " + Quote(dir + "/heavy.png"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("The drawing is incomplete"), std::string::npos) << r.err;
  const test::Rgba8Image png = test::LoadReferencePng(dir + "/heavy.png");
  ASSERT_EQ(png.width, 1000);
  EXPECT_EQ(png.pixels[3], 255);  // what was drawn before the stop is there
}

}  // namespace
}  // namespace vumo
