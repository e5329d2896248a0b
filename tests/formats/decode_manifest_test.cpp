// Pins the decode of every picture the project carries: each file under tests/data and
// data/samples whose extension a reader is registered for is loaded as the viewer loads it,
// and its size and a hash of its pixels (or its error message) must match
// tests/data/expected.tsv. Any change of output, wanted or not, shows here; after a wanted
// one, write the manifest anew with
//   VUMO_WRITE_MANIFEST=1 build/tests/formats_decode_manifest_test
// and let the diff of expected.tsv tell which files changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "formats/format_registry.h"
#include "formats/picture.h"
#include "support/test_support.h"

namespace vumo {
namespace {

namespace fs = std::filesystem;

std::uint64_t Fnv1a(const std::uint8_t* data, std::size_t size, std::uint64_t hash = 14695981039346656037ull) {
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}

std::string Describe(const std::string& path) {
  try {
    const test::Rgba8Image image = test::LoadThroughPicture(path);
    if (image.width == 0 || image.height == 0) return "empty";
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d %016llx", image.width, image.height,
                  static_cast<unsigned long long>(Fnv1a(image.pixels.data(), image.pixels.size())));
    return text;
  } catch (const Exception& e) {
    return std::string("error: ") + e.what();
  }
}

std::string Extension(const fs::path& path) {
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// Relative names (from the source folder) of every readable picture, in a stable order.
std::map<std::string, std::string> DecodeAll() {
  const fs::path source(VUMO_SOURCE_DIR);
  FileFormatList();  // the readers are registered before the table is asked
  std::map<std::string, std::string> result;
  for (const char* folder : {"tests/data", "data/samples"}) {
    for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
      if (!entry.is_regular_file()) continue;
      const std::string ext = Extension(entry.path());
      if (ext.empty() || !TPicture::FileFormats().FindExt(ext)) continue;
      result[fs::relative(entry.path(), source).generic_string()] = Describe(entry.path().string());
    }
  }
  return result;
}

const fs::path kManifest = fs::path(VUMO_SOURCE_DIR) / "tests/data/expected.tsv";

std::map<std::string, std::string> ReadManifest() {
  std::map<std::string, std::string> result;
  std::ifstream in(kManifest);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    result[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return result;
}

TEST(DecodeManifest, EveryPictureDecodesAsPinned) {
  const auto actual = DecodeAll();
  ASSERT_FALSE(actual.empty());
  if (std::getenv("VUMO_WRITE_MANIFEST")) {
    std::ofstream out(kManifest, std::ios::trunc);
    out << "# file\tdecode (width x height and FNV-1a 64 of the RGBA pixels, or the error); "
           "written by formats_decode_manifest_test with VUMO_WRITE_MANIFEST=1\n";
    for (const auto& [name, decode] : actual) out << name << '\t' << decode << '\n';
    GTEST_SKIP() << "wrote " << kManifest;
  }
  const auto expected = ReadManifest();
  ASSERT_FALSE(expected.empty()) << "no manifest at " << kManifest;
  for (const auto& [name, decode] : actual) {
    const auto it = expected.find(name);
    if (it == expected.end()) {
      ADD_FAILURE() << name << " is not in the manifest (decodes to " << decode << ")";
    } else {
      EXPECT_EQ(decode, it->second) << name;
    }
  }
  for (const auto& [name, decode] : expected)
    if (!actual.count(name)) ADD_FAILURE() << name << " is in the manifest but not among the pictures";
}

}  // namespace
}  // namespace vumo
