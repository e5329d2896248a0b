#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Copy(const std::string& from, const std::string& to) { std::ofstream(to, std::ios::binary) << Slurp(from); }

// The names in `dir`, hidden ones too, sorted.
std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(VumoConvertBatch, WritesEveryInputAsTheSingleFileFormDoesOnAnyNumberOfWorkers) {
  const char* const names[] = {"a.bmp", "b.sgi", "drawing.emf", "rgb.hdr", "hopper.Lab.tif"};
  const char* const sources[] = {"pillow/hopper.bmp", "pillow/hopper.sgi", "pillow/drawing.emf",
                                 "kimageformats/hdr/rgb.hdr", "pillow/hopper.Lab.tif"};
  const std::string dir = test::TempDir("convert-batch");
  std::string inputs;
  for (int i = 0; i < 5; ++i) {
    Copy(test::Fixture(sources[i]), dir + "/" + names[i]);
    inputs += " " + Quote(dir + "/" + names[i]);
  }
  for (const char* jobs : {"1", "3"}) {
    const std::string out = test::TempDir(std::string("convert-batch-out-") + jobs);
    const RunResult r =
        RunConvert("--output-dir " + Quote(out) + " --jobs " + jobs + " --exposure 1.5" + inputs);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress line off a terminal";
    EXPECT_NE(r.err.find("5 of 5 converted"), std::string::npos) << r.err;
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"a.png", "b.png", "drawing.png", "hopper.Lab.png", "rgb.png"}));
    for (const char* name : names) {
      const std::string single = dir + "/" + name + "-single.png";
      ASSERT_EQ(RunConvert("--exposure 1.5 " + Quote(dir + "/" + name) + " " + Quote(single)).status, 0) << name;
      std::string stem = name;
      stem.erase(stem.rfind('.'));
      const std::string batch = Slurp(out + "/" + stem + ".png");
      EXPECT_FALSE(batch.empty()) << name;
      EXPECT_EQ(batch, Slurp(single)) << name << " on " << jobs;
    }
  }
}

TEST(VumoConvertBatch, ExposureBrightensFloatPicturesInBothForms) {
  const std::string dir = test::TempDir("convert-exposure");
  const std::string input = Quote(test::Fixture("kimageformats/hdr/rgb.hdr"));
  auto sum = [](const test::Rgba8Image& image) {
    long total = 0;
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) total += image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2];
    return total;
  };
  ASSERT_EQ(RunConvert(input + " " + Quote(dir + "/plain.png")).status, 0);
  ASSERT_EQ(RunConvert("--exposure 2 " + input + " " + Quote(dir + "/bright.png")).status, 0);
  ASSERT_EQ(RunConvert("--exposure -2 " + input + " " + Quote(dir + "/dark.png")).status, 0);
  const long plain = sum(test::LoadReferencePng(dir + "/plain.png"));
  EXPECT_EQ(plain, sum(test::LoadThroughPicture(test::Fixture("kimageformats/hdr/rgb.hdr"))));
  EXPECT_GT(sum(test::LoadReferencePng(dir + "/bright.png")), plain);
  EXPECT_LT(sum(test::LoadReferencePng(dir + "/dark.png")), plain);
  EXPECT_EQ(RunConvert("--exposure much " + input + " " + Quote(dir + "/x.png")).status, 2);
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir) + " --exposure nan " + input).status, 2);
}

TEST(VumoConvertBatch, KeepsAnExistingOutputUnlessForcedAndNeverWritesOverAnInput) {
  const std::string dir = test::TempDir("convert-batch-existing");
  const std::string input = dir + "/hopper.bmp";
  Copy(test::Fixture("pillow/hopper.bmp"), input);
  std::ofstream(dir + "/hopper.png") << "older";
  RunResult r = RunConvert("--output-dir " + Quote(dir) + " " + Quote(input));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(input + ": the output exists"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(dir + "/hopper.png"), "older");
  r = RunConvert("--output-dir " + Quote(dir) + " --force " + Quote(input));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::Compare(test::LoadReferencePng(dir + "/hopper.png"), test::LoadThroughPicture(input)).maxChannelDelta, 0);

  // The input is itself DIR/<name>.png: even --force leaves it alone.
  const std::string png = Slurp(dir + "/hopper.png");
  r = RunConvert("--output-dir " + Quote(dir) + " --force " + Quote(dir + "/hopper.png"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is one of the inputs"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(dir + "/hopper.png"), png);
  // Nor when another input is the one that maps to it.
  const std::string other = test::TempDir("convert-batch-existing-other");
  Copy(test::Fixture("pillow/hopper.sgi"), other + "/hopper.sgi");
  r = RunConvert("--output-dir " + Quote(dir) + " --force " + Quote(other + "/hopper.sgi") + " " + Quote(dir + "/hopper.png"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(other + "/hopper.sgi: its output " + dir + "/hopper.png is one of the inputs"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(dir + "/hopper.png"), png);
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"hopper.bmp", "hopper.png"})) << "no pending file is left";
}

TEST(VumoConvertBatch, AFailingInputIsReportedAndTheOthersStillConvert) {
  const std::string dir = test::TempDir("convert-batch-failure");
  const std::string out = test::TempDir("convert-batch-failure-out");
  std::ofstream(dir + "/broken.bmp") << "BM not a bitmap";
  std::ofstream(dir + "/unknown.qqq") << "data";
  const RunResult r = RunConvert("--output-dir " + Quote(out) + " --jobs 2 " + Quote(test::Fixture("pillow/hopper.bmp")) +
                                 " " + Quote(dir + "/broken.bmp") + " " + Quote(dir + "/unknown.qqq") + " " +
                                 Quote(test::Fixture("pillow/transparent.sgi")) + " " + Quote(dir + "/missing.tga"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("2 of 5 converted"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(dir + "/unknown.qqq: Unknown picture file extension (.qqq)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(dir + "/missing.tga: Cannot open file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(dir + "/broken.bmp: "), std::string::npos) << r.err;
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"hopper.png", "transparent.png"}));
}

TEST(VumoConvertBatch, TheSecondInputOfAnOutputNameFailsAndTheFirstIsWritten) {
  const std::string dir = test::TempDir("convert-batch-names");
  const std::string out = test::TempDir("convert-batch-names-out");
  Copy(test::Fixture("pillow/hopper.bmp"), dir + "/x.bmp");
  Copy(test::Fixture("kimageformats/hdr/rgb.hdr"), dir + "/x.hdr");
  // However many workers, the first on the command line wins.
  for (const char* jobs : {"1", "2"}) {
    std::filesystem::remove(out + "/x.png");
    const RunResult r = RunConvert("--output-dir " + Quote(out) + " --jobs " + jobs + " " + Quote(dir + "/x.bmp") +
                                   " " + Quote(dir + "/x.hdr"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir + "/x.hdr: its output " + out + "/x.png is also the output of " + dir + "/x.bmp"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::Compare(test::LoadReferencePng(out + "/x.png"), test::LoadThroughPicture(dir + "/x.bmp")).maxChannelDelta, 0);
  }
}

TEST(VumoConvertBatch, WrongUsageExitsWithTwo) {
  const std::string dir = test::TempDir("convert-batch-usage");
  const std::string input = Quote(test::Fixture("pillow/hopper.bmp"));
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir)).status, 2);
  EXPECT_EQ(RunConvert("--output-dir").status, 2);
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir) + " --jobs 0 " + input).status, 2);
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir) + " --jobs x " + input).status, 2);
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir) + " --colour " + input).status, 2);
  EXPECT_EQ(RunConvert("--output-dir " + Quote(dir + "/missing") + " " + input).status, 1);
}

}  // namespace
}  // namespace vumo
