// vumo-convert --compare against the figures tests/data/compare/make_expected.py worked out
// independently, and its exit statuses.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace vumo {
namespace {

std::string Dir(const QTemporaryDir& dir) { return dir.path().toStdString(); }

test::CommandResult Compare(const std::string& arguments, const std::string& dir) {
  return test::RunCommand(std::string(VUMO_CONVERT) + " --compare " + arguments, dir);
}

std::string Pair(const std::string& a, const std::string& b) {
  return test::ShellQuote(test::Fixture("compare/" + a)) + " " + test::ShellQuote(test::Fixture("compare/" + b));
}

// The text after "key": up to the next comma, newline or closing bracket.
std::string Field(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\": ";
  const std::size_t at = json.find(quoted);
  if (at == std::string::npos) return "<missing>";
  const std::size_t start = at + quoted.size();
  if (json[start] == '[') return json.substr(start, json.find(']', start) + 1 - start);
  return json.substr(start, json.find_first_of(",\n}", start) - start);
}

std::vector<std::map<std::string, std::string>> ExpectedRows() {
  std::ifstream in(test::Fixture("compare/expected.tsv"));
  std::string line;
  std::getline(in, line);
  std::vector<std::string> header;
  for (std::stringstream s(line); std::getline(s, line, '\t');) header.push_back(line);
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    std::map<std::string, std::string> row;
    std::stringstream s(line);
    for (const std::string& column : header) std::getline(s, row[column], '\t');
    rows.push_back(row);
  }
  return rows;
}

TEST(CompareCommand, FiguresAgreeWithTheIndependentComputation) {
  const auto rows = ExpectedRows();
  ASSERT_GE(rows.size(), 5u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at("a") + " vs " + row.at("b"));
    QTemporaryDir dir;
    const test::CommandResult r = Compare(Pair(row.at("a"), row.at("b")), Dir(dir));
    const bool identical = row.at("differing_pixels") == "0" && row.at("size_mismatch") == "false";
    EXPECT_EQ(r.status, identical ? 0 : 1) << r.err;
    for (const char* exact : {"width", "height", "size_mismatch", "max_difference", "differing_pixels"})
      EXPECT_EQ(Field(r.out, exact), row.at(exact)) << exact;
    if (row.at("psnr") == "null") {
      EXPECT_EQ(Field(r.out, "psnr"), "null");
    } else {
      EXPECT_NEAR(std::stod(Field(r.out, "psnr")), std::stod(row.at("psnr")), 1e-4);
    }
    EXPECT_NEAR(std::stod(Field(r.out, "ssim")), std::stod(row.at("ssim")), 1e-5);
  }
}

TEST(CompareCommand, SizeMismatchGivesBothSizes) {
  QTemporaryDir dir;
  const test::CommandResult r = Compare(Pair("small.png", "base.png"), Dir(dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Field(r.out, "size_mismatch"), "true");
  EXPECT_EQ(Field(r.out, "size_a"), "[40, 30]");
  EXPECT_EQ(Field(r.out, "size_b"), "[64, 48]");
  EXPECT_EQ(Field(r.out, "width"), "40");
}

TEST(CompareCommand, WritesTheAmplifiedDifference) {
  QTemporaryDir dir;
  for (int factor : {0, 16}) {
    const std::string out = Dir(dir) + "/diff" + std::to_string(factor) + ".png";
    const std::string option = factor ? "--amplify " + std::to_string(factor) + " " : "";
    const test::CommandResult r =
        Compare(option + Pair("base.png", "noisy.png") + " " + test::ShellQuote(out), Dir(dir));
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Field(r.out, "amplify"), factor ? "16" : "4");
    const test::Rgba8Image a = test::LoadReferencePng(test::Fixture("compare/base.png"));
    const test::Rgba8Image b = test::LoadReferencePng(test::Fixture("compare/noisy.png"));
    const test::Rgba8Image d = test::LoadReferencePng(out);
    ASSERT_EQ(d.width, 64);
    ASSERT_EQ(d.height, 48);
    const int used = factor ? factor : 4;
    for (std::size_t i = 0; i < d.pixels.size(); ++i) {
      const int expected = i % 4 == 3 ? 255 : std::min(255, std::abs(a.pixels[i] - b.pixels[i]) * used);
      ASSERT_EQ(d.pixels[i], expected) << "byte " << i;
    }
  }
}

TEST(CompareCommand, TroubleExitsWithTwo) {
  QTemporaryDir dir;
  const std::string base = test::ShellQuote(test::Fixture("compare/base.png"));
  for (const std::string& arguments :
       {std::string(), base, base + " " + base + " a.png b.png", "--amplify 0 " + base + " " + base,
        "--amplify x " + base + " " + base, "--bogus " + base + " " + base,
        test::ShellQuote(Dir(dir) + "/missing.png") + " " + base}) {
    const test::CommandResult r = Compare(arguments, Dir(dir));
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_FALSE(r.err.empty()) << arguments;
    EXPECT_TRUE(r.out.empty()) << arguments;
  }
}

TEST(CompareCommand, FloatPicturesAreComparedOverTheirDisplayEncoding) {
  QTemporaryDir dir;
  const std::string hdr = test::ShellQuote(test::Fixture("hdr/hopper_imagemagick.hdr"));
  test::CommandResult r = Compare(hdr + " " + hdr, Dir(dir));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Field(r.out, "psnr"), "null");

  // The converter's PNG is the same picture rounded to 8 bits: within half a step and a
  // little for the curve's table, and nowhere near identical.
  const std::string png = test::ShellQuote(Dir(dir) + "/shown.png");
  ASSERT_EQ(test::RunCommand(std::string(VUMO_CONVERT) + " " + hdr + " " + png, Dir(dir)).status, 0);
  r = Compare(hdr + " " + png, Dir(dir));
  EXPECT_EQ(r.status, 1) << r.err;
  const double largest = std::stod(Field(r.out, "max_difference"));
  EXPECT_GT(largest, 0.0);
  EXPECT_LT(largest, 0.6);
  EXPECT_GT(std::stod(Field(r.out, "psnr")), 50.0);
  EXPECT_GT(std::stod(Field(r.out, "ssim")), 0.999);
}

TEST(CompareCommand, TheViewersCompareOptionWantsTwoFiles) {
  QTemporaryDir dir;
  // No display: the count is checked before any window is made.
  const test::CommandResult r = test::RunCommand(
      "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= " + std::string(VUMO_VIEWER) + " --compare onlyone", Dir(dir));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--compare A B"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vumo
