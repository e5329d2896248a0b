// vumo-convert --sheet: the exit status and the sheet it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>

#include "support/test_support.h"
#include "support/tiff_pages.h"

namespace vumo {
namespace {

class SheetConvert : public ::testing::Test {
 protected:
  int Run(const std::string& arguments) {
    const std::string command = std::string(VUMO_CONVERT) + " --sheet " + arguments + " 2>'" + Path("err") + "'";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
  std::string Errors() const {
    std::ifstream in(Path("err"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // How many opaque pixels of the written sheet have this colour.
  int Count(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    const test::Rgba8Image sheet = test::LoadReferencePng(Path("sheet.png"));
    int n = 0;
    for (std::size_t at = 0; at + 4 <= sheet.pixels.size(); at += 4)
      n += sheet.pixels[at] == r && sheet.pixels[at + 1] == g && sheet.pixels[at + 2] == b && sheet.pixels[at + 3] == 255;
    return n;
  }
  QTemporaryDir dir;
};

TEST_F(SheetConvert, WritesEveryPageOfATiffOnOneSheet) {
  test::WriteTiffPages(Path("pages.tif"), {{10, 6, 250, 0, 0}, {12, 8, 0, 250, 0}, {14, 10, 0, 0, 250}});
  ASSERT_EQ(Run(Path("pages.tif") + " " + Path("sheet.png")), 0) << Errors();
  const test::Rgba8Image sheet = test::LoadReferencePng(Path("sheet.png"));
  // Two columns of the widest page, two rows of the tallest, labels and margins.
  EXPECT_GT(sheet.width, 2 * 14);
  EXPECT_GT(sheet.height, 8 + 10);
  EXPECT_LT(sheet.width * sheet.height, 400 * 200);
  EXPECT_EQ(Count(250, 0, 0), 60);
  EXPECT_EQ(Count(0, 250, 0), 96);
  EXPECT_EQ(Count(0, 0, 250), 140);
}

TEST_F(SheetConvert, ExitStatusesSayWhatWentWrong) {
  EXPECT_EQ(Run(test::Fixture("dds/cube.dds")), 2);  // no output named
  EXPECT_EQ(Run(Path("missing.dds") + " " + Path("sheet.png")), 1);
  EXPECT_FALSE(Errors().empty());
  EXPECT_FALSE(std::ifstream(Path("sheet.png")).good());
  EXPECT_EQ(Run(test::Fixture("dds/bc7.dds") + " " + Path("sheet.png")), 0) << Errors();  // a sheet of one
}

TEST_F(SheetConvert, ManyPagesAreCappedWithANote) {
  test::WriteTiffPages(Path("many.tif"), std::vector<test::TTiffPage>(300, test::TTiffPage{1, 1, 1, 2, 3}));
  ASSERT_EQ(Run(Path("many.tif") + " " + Path("sheet.png")), 0) << Errors();
  EXPECT_NE(Errors().find("the first 256 of 300 images"), std::string::npos) << Errors();
  EXPECT_EQ(Count(1, 2, 3), 256);
}

}  // namespace
}  // namespace vumo
