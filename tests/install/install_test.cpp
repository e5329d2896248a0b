#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "formats/format_mime_types.h"
#include "formats/picture.h"
#include "formats/reader_graphic.h"
#include "support/test_support.h"

namespace vumo {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

// Every test installs the build into a root folder of its own, as `make install DESTDIR=...` does.
class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TempDir(std::string("install-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    root_ = dir_ + "/root";
    test::CommandResult r = Run("DESTDIR=" + ShellQuote(root_) + " " + ShellQuote(VUMO_CMAKE) + " --install " +
                                ShellQuote(VUMO_BINARY_DIR) + " --prefix /usr");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  test::CommandResult Run(const std::string& command) { return test::RunCommand(command, dir_); }
  std::string Share(const std::string& relative) const { return root_ + "/usr/share/" + relative; }

  // The value of `key` in the group of a desktop-style file, or "" when it has none.
  static std::string KeyOf(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    ADD_FAILURE() << path << " has no " << key;
    return "";
  }

  static std::vector<std::string> ListOf(const std::string& value) {
    std::vector<std::string> items;
    std::stringstream in(value);
    for (std::string item; std::getline(in, item, ';');)
      if (!item.empty()) items.push_back(item);
    return items;
  }

  static std::vector<std::string> Samples() {
    std::vector<std::string> samples;
    for (const auto& entry : fs::directory_iterator(std::string(VUMO_SOURCE_DIR) + "/data/samples"))
      if (MimeTypeOfExtension(Extension(entry.path())) && FileFormatList().IndexOfExtension(Extension(entry.path())) >= 0)
        samples.push_back(entry.path().string());
    std::sort(samples.begin(), samples.end());
    return samples;
  }

  static std::string Extension(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext.empty() ? ext : ext.substr(1);
  }

  std::string dir_, root_;
};

TEST_F(Installed, PutsEveryFileWhereTheDesktopLooksForIt) {
  std::vector<std::string> files = {"bin/vumo-convert",
                                    "share/applications/vumo.desktop",
                                    "share/thumbnailers/vumo.thumbnailer",
                                    "share/mime/packages/vumo.xml",
                                    "share/icons/hicolor/scalable/apps/vumo.svg",
                                    "share/man/man1/vumo.1.gz",
                                    "share/man/man1/vumo-convert.1.gz"};
  if (fs::exists(std::string(VUMO_BINARY_DIR) + "/src/shell/vumo")) files.push_back("bin/vumo");
  for (const std::string& file : files) EXPECT_TRUE(fs::is_regular_file(root_ + "/usr/" + file)) << file;

  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string icon = Share("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/vumo.png");
    const test::Rgba8Image image = test::LoadReferencePng(icon);
    EXPECT_EQ(image.width, size) << icon;
    EXPECT_EQ(image.height, size) << icon;
  }

  for (const std::string page : {"vumo", "vumo-convert"}) {
    test::CommandResult r = Run("gzip -dc " + ShellQuote(Share("man/man1/" + page + ".1.gz")));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(".SH SYNOPSIS"), std::string::npos) << page;
    EXPECT_EQ(r.out.find("@PROJECT_VERSION@"), std::string::npos) << page;
  }
}

TEST_F(Installed, DesktopEntryValidatesAndOpensTheFileItIsGiven) {
  const std::string desktop = Share("applications/vumo.desktop");
  test::CommandResult r = Run("desktop-file-validate " + ShellQuote(desktop));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out + r.err, "") << "warnings or hints";
  EXPECT_EQ(KeyOf(desktop, "Exec"), "vumo %f");
  EXPECT_EQ(KeyOf(desktop, "Icon"), "vumo");

  const std::string thumbnailer = Share("thumbnailers/vumo.thumbnailer");
  EXPECT_EQ(KeyOf(thumbnailer, "Exec"), "vumo-convert --thumbnail %s %i %o");
  EXPECT_EQ(KeyOf(thumbnailer, "TryExec"), "vumo-convert");
}

TEST_F(Installed, MimeTypeListsAreTheRegistrys) {
  const std::string desktopTypes = KeyOf(Share("applications/vumo.desktop"), "MimeType");
  EXPECT_EQ(ListOf(desktopTypes), RegisteredMimeTypes(FileFormatList()));
  EXPECT_EQ(desktopTypes.back(), ';');

  const std::vector<std::string> thumbnailTypes = ListOf(KeyOf(Share("thumbnailers/vumo.thumbnailer"), "MimeType"));
  EXPECT_EQ(thumbnailTypes, RegisteredMimeTypes(FileFormatList(), TReaderGraphic::ClassInfo()));
  // The formats no desktop thumbnails by itself.
  for (const char* type : {"image/x-tga", "image/vnd.zbrush.pcx", "image/vnd.adobe.photoshop", "image/x-sgi",
                           "image/x-rla", "image/x-autodesk-cel", "image/x-halo-cut", "image/x-portable-pixmap"})
    EXPECT_NE(std::find(thumbnailTypes.begin(), thumbnailTypes.end(), type), thumbnailTypes.end()) << type;
}

// A MIME database built from the system's definitions plus the installed package, asked the
// way GNOME's and Xfce's file managers ask it: GIO, by name and, where names are missing or
// shared (*.scr, *.win, *.vst is also Visio's), by content.
TEST_F(Installed, MimeDatabaseGivesEverySampleAndEveryExtensionItsType) {
  const std::string database = dir_ + "/data/mime";
  fs::create_directories(database + "/packages");
  fs::copy_file("/usr/share/mime/packages/freedesktop.org.xml", database + "/packages/freedesktop.org.xml");
  fs::copy_file(Share("mime/packages/vumo.xml"), database + "/packages/vumo.xml");
  const std::string environment =
      "XDG_DATA_HOME=" + ShellQuote(dir_ + "/home") + " XDG_DATA_DIRS=" + ShellQuote(dir_ + "/data") + " ";
  test::CommandResult r = Run(environment + "update-mime-database " + ShellQuote(database));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  auto typeOf = [&](const std::string& file) {
    test::CommandResult q = Run(environment + "gio info --attributes=standard::content-type " + ShellQuote(file));
    EXPECT_EQ(q.status, 0) << q.err;
    const std::string key = "standard::content-type: ";
    const std::size_t at = q.out.find(key);
    if (at == std::string::npos) return q.out;
    return q.out.substr(at + key.size(), q.out.find('\n', at) - at - key.size());
  };

  const std::vector<std::string> samples = Samples();
  ASSERT_GE(samples.size(), 10u);
  for (const std::string& sample : samples)
    EXPECT_EQ(typeOf(sample), MimeTypeOfExtension(Extension(sample))) << sample;

  // Every registered extension, with the content of a sample of its type where there is one:
  // extensions the database knows only by content (*.scr, *.win) need it.
  fs::create_directories(dir_ + "/probes");
  for (const auto& entry : FileFormatList().Extensions()) {
    const std::string expected = MimeTypeOfExtension(entry->Extension);
    const std::string probe = dir_ + "/probes/probe." + entry->Extension;
    auto same = std::find_if(samples.begin(), samples.end(),
                             [&](const std::string& s) { return expected == MimeTypeOfExtension(Extension(s)); });
    if (same != samples.end())
      fs::copy_file(*same, probe);
    else
      std::ofstream(probe) << "probe";
    EXPECT_EQ(typeOf(probe), expected) << entry->Extension;
  }
}

// The thumbnailer entry's command line, as a file manager fills it in, on every sample and
// on a copy cut short: a PNG of the right size, or exit status 1 and no file.
TEST_F(Installed, ThumbnailerCommandThumbnailsEverySampleOrFailsCleanly) {
  std::string exec = KeyOf(Share("thumbnailers/vumo.thumbnailer"), "Exec");
  const std::string path = root_ + "/usr/bin:" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
  auto thumbnail = [&](const std::string& input, const std::string& output) {
    std::string command = exec;
    for (auto [code, value] : {std::pair<std::string, std::string>{"%s", "128"}, {"%i", ShellQuote(input)},
                               {"%o", ShellQuote(output)}})
      command.replace(command.find(code), 2, value);
    return Run("PATH=" + ShellQuote(path) + " " + command);
  };

  fs::create_directories(dir_ + "/thumbnails");
  fs::create_directories(dir_ + "/cut");
  for (const std::string& sample : Samples()) {
    SCOPED_TRACE(sample);
    const std::string name = fs::path(sample).filename().string();
    const std::string output = dir_ + "/thumbnails/" + name + ".png";
    test::CommandResult r = thumbnail(sample, output);
    ASSERT_EQ(r.status, 0) << r.err;
    const test::Rgba8Image source = test::LoadThroughPicture(sample);
    const test::Rgba8Image png = test::LoadReferencePng(output);
    const double scale = std::min(1.0, 128.0 / std::max(source.width, source.height));
    EXPECT_EQ(png.width, static_cast<int>(std::lround(source.width * scale)));
    EXPECT_EQ(png.height, static_cast<int>(std::lround(source.height * scale)));

    const std::vector<std::uint8_t> bytes = test::ReadFile(sample);
    const std::string cut = dir_ + "/cut/" + name;
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size() / 2));
    const std::string cutOutput = dir_ + "/cut/thumbnail.png";
    r = thumbnail(cut, cutOutput);
    if (r.status == 0) {
      EXPECT_EQ(test::LoadReferencePng(cutOutput).width, png.width);
      fs::remove(cutOutput);
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_FALSE(fs::exists(cutOutput));
    }
    fs::remove(cut);
    EXPECT_TRUE(fs::is_empty(dir_ + "/cut")) << "left behind in the output folder";
  }
}

}  // namespace
}  // namespace vumo
