#include "support/test_support.h"

#include <QImage>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "formats/bitmap_export.h"
#include "formats/picture.h"

namespace vumo::test {

std::string Fixture(const std::string& relative) { return std::string(VUMO_TESTS_DIR) + "/data/" + relative; }

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string TempDir(const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(VUMO_BINARY_DIR) / "test-tmp" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

CommandResult RunCommand(const std::string& command, const std::string& dir) {
  const std::string out = dir + "/command.out", err = dir + "/command.err";
  const int raw = std::system((command + " </dev/null >" + ShellQuote(out) + " 2>" + ShellQuote(err)).c_str());
  CommandResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  result.out = slurp(out);
  result.err = slurp(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return result;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Rgba8Image LoadReferencePng(const std::string& path) {
  QImage image(QString::fromStdString(path));
  Rgba8Image out;
  if (image.isNull()) {
    ADD_FAILURE() << "cannot decode reference " << path;
    return out;
  }
  image = image.convertToFormat(QImage::Format_RGBA8888);
  out.width = image.width();
  out.height = image.height();
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (int y = 0; y < out.height; ++y)
    std::memcpy(out.pixels.data() + static_cast<std::size_t>(y) * out.width * 4, image.constScanLine(y),
                static_cast<std::size_t>(out.width) * 4);
  return out;
}

Rgba8Image ToRgba8(const TBitmap& bitmap) {
  return Rgba8Image{bitmap.Width(), bitmap.Height(), BitmapToRgba8(bitmap)};
}

Rgba8Image LoadThroughPicture(const std::string& path) {
  TPicture picture;
  picture.LoadFromFile(path);
  const TBitmap* bitmap = picture.Graphic() ? picture.Graphic()->DrawBitmap() : nullptr;
  return bitmap ? ToRgba8(*bitmap) : Rgba8Image{};
}

Rgba8Image LoadThroughPictureAs(const std::string& source, const std::string& dir, const std::string& name) {
  const std::string path = dir + "/" + name;
  std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
  return LoadThroughPicture(path);
}

void PutBigEndian16(Bytes& bytes, std::size_t at, unsigned value) {
  bytes.at(at) = static_cast<std::uint8_t>(value >> 8);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value);
}

Bytes WithBigEndian16(Bytes bytes, std::initializer_list<std::pair<std::size_t, int>> fields) {
  for (const auto& [at, value] : fields) PutBigEndian16(bytes, at, static_cast<unsigned>(value) & 0xFFFFu);
  return bytes;
}

void PutLittleEndian16(Bytes& bytes, std::size_t at, unsigned value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutLittleEndian32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

Difference Compare(const Rgba8Image& actual, const Rgba8Image& expected, int tolerance,
                   bool ignoreColourWhereTransparent) {
  Difference d;
  d.sameSize = actual.width == expected.width && actual.height == expected.height &&
               actual.pixels.size() == expected.pixels.size();
  if (!d.sameSize) return d;
  std::uint64_t sum = 0, count = 0;
  for (std::size_t i = 0; i < actual.pixels.size(); i += 4) {
    const std::uint8_t* a = &actual.pixels[i];
    const std::uint8_t* e = &expected.pixels[i];
    d.maxAlphaDelta = std::max(d.maxAlphaDelta, std::abs(a[3] - e[3]));
    if (ignoreColourWhereTransparent && a[3] == 0 && e[3] == 0) continue;
    int worst = 0;
    for (int c = 0; c < 3; ++c) {
      int delta = std::abs(a[c] - e[c]);
      worst = std::max(worst, delta);
      sum += static_cast<std::uint64_t>(delta);
      ++count;
    }
    d.maxChannelDelta = std::max(d.maxChannelDelta, worst);
    if (worst > tolerance) ++d.pixelsOff;
  }
  d.meanChannelDelta = count ? static_cast<double>(sum) / static_cast<double>(count) : 0.0;
  return d;
}

namespace {

// `load` returns whether the cut file may load: it lost nothing of the picture, or the
// caller does not ask for an error.
void SweepTruncations(const std::vector<std::uint8_t>& bytes,
                      const std::function<bool(const std::vector<std::uint8_t>&)>& load) {
  std::vector<std::size_t> lengths = {0, 1, 2, 3, 4, 8, 12, 17, 18, 19, 32, 64, 100, 128, 255, 512, 769, 1024};
  for (int k = 1; k < 16; ++k) lengths.push_back(bytes.size() * static_cast<std::size_t>(k) / 16);
  lengths.push_back(bytes.size() > 0 ? bytes.size() - 1 : 0);
  for (std::size_t length : lengths) {
    if (length >= bytes.size()) continue;
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    try {
      if (!load(cut))
        ADD_FAILURE() << "a file cut to " << length << " of its " << bytes.size() << " bytes loads as if whole";
    } catch (const vumo::Exception&) {
      // a clean failure
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected exception at length " << length << ": " << e.what();
    }
  }
}

}  // namespace

void ExpectTruncationsHandled(const std::vector<std::uint8_t>& bytes,
                              const std::function<void(const std::vector<std::uint8_t>&)>& load, TTruncated expected) {
  SweepTruncations(bytes, [&](const std::vector<std::uint8_t>& cut) {
    load(cut);
    return expected == TTruncated::kMayLoad;
  });
}

void ExpectTruncationsRaiseUnlessWhole(const std::vector<std::uint8_t>& bytes,
                                       const std::function<bool(const std::vector<std::uint8_t>&)>& load) {
  SweepTruncations(bytes, load);
}

}  // namespace vumo::test
