// vumo-convert --sheet: the exit status and the sheet it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/test_support.h"
#include "support/tiff_pages.h"

namespace vumo {
namespace {

std::string Quote(const std::string& path) { return "'" + path + "'"; }

int RunSheet(const std::string& arguments, const QTemporaryDir& dir) {
  const std::string command =
      std::string(VUMO_CONVERT) + " " + arguments + " >" + Quote(dir.filePath("out").toStdString()) + " 2>" +
      Quote(dir.filePath("err").toStdString());
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string ErrorText(const QTemporaryDir& dir) {
  std::ifstream in(dir.filePath("err").toStdString());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// How many pixels of the decoded sheet have this colour.
int Count(const test::Rgba8Image& image, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  int n = 0;
  for (std::size_t at = 0; at + 4 <= image.pixels.size(); at += 4)
    n += image.pixels[at] == r && image.pixels[at + 1] == g && image.pixels[at + 2] == b && image.pixels[at + 3] == 255;
  return n;
}

TEST(SheetConvert, WritesEveryPageOfATiffOnOneOpaqueSheet) {
  QTemporaryDir dir;
  const std::string input = dir.filePath("pages.tif").toStdString(), output = dir.filePath("sheet.png").toStdString();
  test::WriteTiffPages(input, {{10, 6, 250, 0, 0}, {12, 8, 0, 250, 0}, {14, 10, 0, 0, 250}});
  ASSERT_EQ(RunSheet("--sheet " + Quote(input) + " " + Quote(output), dir), 0) << ErrorText(dir);
  const test::Rgba8Image sheet = test::LoadReferencePng(output);
  // Two columns of the widest page and its label at least, two rows of the tallest.
  EXPECT_GT(sheet.width, 2 * 14);
  EXPECT_GT(sheet.height, 8 + 10);
  EXPECT_LT(sheet.width, 400);
  EXPECT_LT(sheet.height, 200);
  EXPECT_EQ(Count(sheet, 250, 0, 0), 60);
  EXPECT_EQ(Count(sheet, 0, 250, 0), 96);
  EXPECT_EQ(Count(sheet, 0, 0, 250), 140);
  int opaque = 0;
  for (std::size_t at = 3; at < sheet.pixels.size(); at += 4) opaque += sheet.pixels[at] == 255;
  EXPECT_EQ(opaque, sheet.width * sheet.height);
}

TEST(SheetConvert, ExitStatusesSayWhatWentWrong) {
  QTemporaryDir dir;
  const std::string output = dir.filePath("sheet.png").toStdString();
  EXPECT_EQ(RunSheet("--sheet " + Quote(test::Fixture("dds/cube.dds")), dir), 2);  // no output named
  EXPECT_EQ(RunSheet("--sheet " + Quote(dir.filePath("missing.dds").toStdString()) + " " + Quote(output), dir), 1);
  EXPECT_FALSE(ErrorText(dir).empty());
  EXPECT_FALSE(std::ifstream(output).good());
  // A file of one image is a sheet of one.
  EXPECT_EQ(RunSheet("--sheet " + Quote(test::Fixture("dds/bc7.dds")) + " " + Quote(output), dir), 0) << ErrorText(dir);
  EXPECT_GT(test::LoadReferencePng(output).width, 0);
}

TEST(SheetConvert, ManyPagesAreCappedWithANote) {
  QTemporaryDir dir;
  const std::string input = dir.filePath("many.tif").toStdString(), output = dir.filePath("sheet.png").toStdString();
  test::WriteTiffPages(input, std::vector<test::TTiffPage>(300, test::TTiffPage{1, 1, 1, 2, 3}));
  ASSERT_EQ(RunSheet("--sheet " + Quote(input) + " " + Quote(output), dir), 0) << ErrorText(dir);
  EXPECT_NE(ErrorText(dir).find("the first 256 of 300 images"), std::string::npos) << ErrorText(dir);
  EXPECT_EQ(Count(test::LoadReferencePng(output), 1, 2, 3), 256);
}

}  // namespace
}  // namespace vumo
