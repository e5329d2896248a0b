// Every picture under tests/data that a manifest lists, read as the viewer reads it and held
// against its reference. A folder of pictures carries a `read.tsv`, one row a picture:
//
//   file  reference  checks  alpha  error  note
//
// - file: the picture, relative to the manifest's folder.
// - reference: a picture decoded by Qt (a second opinion, not ours), relative to the folder;
//   `qt` for Qt's decode of the file itself; `=other.ext` for this program's decode of another
//   file (the same picture in another layout); `-` for none.
// - checks: the colour tolerance (a channel off by more counts the pixel as off), then any of
//   `off<N` (fewer than N pixels off instead of none), `off:any` (pixels off not counted),
//   `mean<X` (mean channel difference below X), `hidden` (colours count even where both
//   pictures are fully transparent), `opaque` (both are compared as if opaque, for references
//   that add a transparency the file does not hold), `empty` (the load succeeds and shows
//   nothing), `file-only` (the decode needs the files beside it, so a load from memory differs).
// - alpha: the largest alpha difference allowed, or `-` when alpha is not compared.
// - error: the exact message the load raises, or `-` when it loads.
// - note: why a difference is expected, when one is.
//
// Besides the comparison, each file is also loaded from memory by the class its extension
// names and must give the very same pixels (or the same message), and is cut short at a
// spread of lengths, which must fail cleanly or load partly, never crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/format_registry.h"
#include "formats/picture.h"
#include "formats/reader_graphic.h"
#include "support/test_support.h"

namespace vumo {
namespace {

namespace fs = std::filesystem;
using test::Rgba8Image;

struct ReadCase {
  std::string manifest;  // relative to tests/data
  std::string file;      // relative to tests/data
  std::string reference;
  int tolerance = 0;
  std::size_t offBelow = 0;  // 0: no pixel may be off
  double meanBelow = -1;     // negative: not checked
  bool countOff = true;
  bool hidden = false;
  bool opaque = false;
  bool empty = false;
  bool fileOnly = false;
  int alphaTolerance = -1;  // negative: not compared
  std::string error;        // empty: loads
  int line = 0;
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) { return out << c.file; }

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

fs::path DataDir() { return fs::path(test::Fixture("")); }

// Fills `c` from the fields of a row; throws std::invalid_argument (or what std::stoi
// throws) for a field it cannot read.
void ReadFields(const fs::path& folder, const std::vector<std::string>& f, ReadCase& c) {
  if (f.size() < 5) throw std::invalid_argument("fewer than five fields");
  if (f[0].empty() || f[1].empty()) throw std::invalid_argument("no file or no reference");
  c.file = (folder / f[0]).lexically_normal().generic_string();
  if (f[1] == "-" || f[1] == "qt") {
    c.reference = f[1];
  } else if (f[1][0] == '=') {
    c.reference = "=" + (folder / f[1].substr(1)).lexically_normal().generic_string();
  } else {
    c.reference = (folder / f[1]).lexically_normal().generic_string();
  }
  std::istringstream checks(f[2]);
  std::string token;
  bool first = true;
  while (checks >> token) {
    if (first && std::isdigit(static_cast<unsigned char>(token[0]))) {
      c.tolerance = std::stoi(token);
    } else if (token.rfind("off<", 0) == 0) {
      c.offBelow = std::stoul(token.substr(4));
    } else if (token == "off:any") {
      c.countOff = false;
    } else if (token.rfind("mean<", 0) == 0) {
      c.meanBelow = std::stod(token.substr(5));
    } else if (token == "opaque") {
      c.opaque = true;
    } else if (token == "hidden") {
      c.hidden = true;
    } else if (token == "empty") {
      c.empty = true;
    } else if (token == "file-only") {
      c.fileOnly = true;
    } else if (token != "-") {
      throw std::invalid_argument("unknown check '" + token + "'");
    }
    first = false;
  }
  if (f[3] != "-") c.alphaTolerance = std::stoi(f[3]);
  if (f[4] != "-") c.error = f[4];
}

// A row that cannot be read becomes a case that fails with the reason, so it cannot go unseen.
ReadCase ParseRow(const fs::path& folder, const std::string& manifest, const std::string& line, int number) {
  ReadCase c;
  c.manifest = manifest;
  c.line = number;
  try {
    ReadFields(folder, SplitTabs(line), c);
  } catch (const std::exception& e) {
    c = ReadCase{};
    c.manifest = manifest;
    c.line = number;
    c.file = manifest + ":" + std::to_string(number);
    c.reference = "!";
    c.error = std::string("unreadable row (") + e.what() + "): " + line;
  }
  return c;
}

std::vector<fs::path> Manifests() {
  std::vector<fs::path> found;
  for (const auto& entry : fs::recursive_directory_iterator(DataDir()))
    if (entry.is_regular_file() && entry.path().filename() == "read.tsv") found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<ReadCase> AllCases() {
  std::vector<ReadCase> cases;
  const fs::path data = DataDir();
  for (const fs::path& manifest : Manifests()) {
    const fs::path folder = fs::relative(manifest.parent_path(), data);
    const std::string name = fs::relative(manifest, data).generic_string();
    std::ifstream in(manifest);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (line.empty() || line[0] == '#') continue;
      cases.push_back(ParseRow(folder, name, line, number));
    }
  }
  return cases;
}

// The graphic class the picture would pick for this file.
std::unique_ptr<TGraphic> GraphicFor(const std::string& path) {
  FileFormatList();  // the readers are registered before the table is asked
  const TGraphicClass cls = TPicture::FileFormats().FindExt(FileExtensionOf(path));
  return cls ? cls->Create() : nullptr;
}

Rgba8Image DecodeFromMemory(TGraphic& graphic, const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  graphic.LoadFromStream(stream);
  const TBitmap* bitmap = graphic.DrawBitmap();
  return bitmap ? test::ToRgba8(*bitmap) : Rgba8Image{};
}

Rgba8Image Opaque(Rgba8Image image) {
  for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
  return image;
}

Rgba8Image LoadReference(const ReadCase& c) {
  if (c.reference == "qt") return test::LoadReferencePng(test::Fixture(c.file));
  if (c.reference[0] == '=') return test::LoadThroughPicture(test::Fixture(c.reference.substr(1)));
  return test::LoadReferencePng(test::Fixture(c.reference));
}

void ExpectMatchesReference(const ReadCase& c, const Rgba8Image& actual) {
  const Rgba8Image expected = LoadReference(c);
  const test::Difference d = c.opaque ? test::Compare(Opaque(actual), Opaque(expected), c.tolerance)
                                      : test::Compare(actual, expected, c.tolerance, !c.hidden);
  ASSERT_TRUE(d.sameSize) << actual.width << "x" << actual.height << " against " << expected.width << "x"
                          << expected.height;
  if (c.countOff) {
    if (c.offBelow == 0) {
      EXPECT_EQ(d.pixelsOff, 0u) << "max channel delta " << d.maxChannelDelta;
    } else {
      EXPECT_LT(d.pixelsOff, c.offBelow);
    }
  }
  if (c.meanBelow >= 0) {
    EXPECT_LT(d.meanChannelDelta, c.meanBelow);
  }
  if (c.alphaTolerance >= 0) {
    EXPECT_LE(d.maxAlphaDelta, c.alphaTolerance);
  }
}

class ReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadTest, MatchesItsManifestRow) {
  const ReadCase& c = GetParam();
  SCOPED_TRACE(c.manifest + ":" + std::to_string(c.line));
  ASSERT_NE(c.reference, "!") << c.error;
  const std::string path = test::Fixture(c.file);
  ASSERT_TRUE(fs::is_regular_file(path)) << path;

  // As the viewer loads it: through the picture, from the file.
  TPicture picture;
  Rgba8Image fromFile;
  std::string fileError;
  try {
    picture.LoadFromFile(path);
    const TBitmap* bitmap = picture.Graphic() ? picture.Graphic()->DrawBitmap() : nullptr;
    if (bitmap) fromFile = test::ToRgba8(*bitmap);
  } catch (const Exception& e) {
    fileError = e.what();
    EXPECT_EQ(picture.Graphic(), nullptr) << "a failed load leaves the picture as it was";
  }
  EXPECT_EQ(fileError, c.error);

  // From memory, by the class the extension names.
  const std::vector<std::uint8_t> bytes = test::ReadFile(path);
  std::unique_ptr<TGraphic> graphic = GraphicFor(path);
  ASSERT_NE(graphic, nullptr) << "no reader for " << path;
  if (!c.fileOnly) {
    std::string memoryError;
    Rgba8Image fromMemory;
    try {
      fromMemory = DecodeFromMemory(*graphic, bytes);
    } catch (const Exception& e) {
      memoryError = e.what();
      EXPECT_TRUE(graphic->Empty()) << "a failed load leaves the graphic empty";
    }
    EXPECT_EQ(memoryError, fileError) << "memory and file loads end alike";
    EXPECT_EQ(fromMemory.width, fromFile.width);
    EXPECT_EQ(fromMemory.height, fromFile.height);
    EXPECT_TRUE(fromMemory.pixels == fromFile.pixels) << "memory and file loads give the same pixels";
  }

  if (c.error.empty()) {
    if (c.empty) {
      EXPECT_TRUE(fromFile.width == 0 || fromFile.height == 0) << "shows nothing";
    } else {
      EXPECT_GT(fromFile.width, 0);
      EXPECT_GT(fromFile.height, 0);
      if (c.reference != "-") ExpectMatchesReference(c, fromFile);
    }
  }

  // Our own readers refuse a file that ends before its data; what follows the data (a
  // footer, metadata) may be lost without harm, and a header too short to name a picture
  // may show nothing. The platform's classes show what they can.
  const bool ownReader = dynamic_cast<const TReaderGraphic*>(graphic.get()) != nullptr;
  // A text any-map ends with a number, and the end of the file may end it: one cut inside
  // it reads as a shorter number.
  const bool textMap = bytes.size() > 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '3';
  test::ExpectTruncationsRaiseUnlessWhole(bytes, [&](const std::vector<std::uint8_t>& cut) {
    std::unique_ptr<TGraphic> fresh = GraphicFor(path);
    const Rgba8Image image = DecodeFromMemory(*fresh, cut);
    if (textMap && cut.size() + 3 >= bytes.size()) return true;
    return !ownReader || image.width == 0 || image.height == 0 ||
           (image.width == fromFile.width && image.height == fromFile.height && image.pixels == fromFile.pixels);
  });
}

std::string CaseName(const testing::TestParamInfo<ReadCase>& info) {
  std::string name = info.param.file;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Manifests, ReadTest, testing::ValuesIn(AllCases()), CaseName);

// A picture in a folder with a manifest is either listed or the reference of a listed one,
// so a fixture added without its row shows here.
TEST(ReadManifests, ListEveryPictureOfTheirFolder) {
  const std::vector<ReadCase> cases = AllCases();
  ASSERT_FALSE(cases.empty());
  std::set<std::string> known;
  for (const ReadCase& c : cases) {
    known.insert(c.file);
    if (c.reference != "-" && c.reference != "qt")
      known.insert(c.reference[0] == '=' ? c.reference.substr(1) : c.reference);
  }
  FileFormatList();
  const fs::path data = DataDir();
  for (const fs::path& manifest : Manifests()) {
    for (const auto& entry : fs::directory_iterator(manifest.parent_path())) {
      if (!entry.is_regular_file()) continue;
      if (!TPicture::FileFormats().FindExt(FileExtensionOf(entry.path().filename().string()))) continue;
      const std::string name = fs::relative(entry.path(), data).generic_string();
      EXPECT_TRUE(known.count(name)) << name << " is in no row of " << fs::relative(manifest, data).generic_string();
    }
  }
}

}  // namespace
}  // namespace vumo
