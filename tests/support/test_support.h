// Helpers shared by the tests: where the data lives, decoding references, comparing pictures.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "formats/bitmap.h"
#include "formats/graphic.h"
#include "formats/stream.h"

namespace vumo::test {

using Bytes = std::vector<std::uint8_t>;

// A file under tests/data (our own fixtures, and real pictures copied from other projects).
std::string Fixture(const std::string& relative);
std::vector<std::uint8_t> ReadFile(const std::string& path);
// A fresh empty directory under the build tree, for tests that write files.
std::string TempDir(const std::string& name);

struct CommandResult {
  int status = -1;  // the exit status, or -1 when the command did not exit normally
  std::string out;
  std::string err;
};
// Runs a shell command line with its output caught in files of `dir` (a folder of the test's own).
CommandResult RunCommand(const std::string& command, const std::string& dir);
// A path quoted for the shell.
std::string ShellQuote(const std::string& text);

struct Rgba8Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // 4 bytes a pixel, rows top to bottom
};

// Decodes a reference PNG with Qt's own reader (a second opinion, not ours).
Rgba8Image LoadReferencePng(const std::string& path);
// The bitmap as the converter sees it.
Rgba8Image ToRgba8(const TBitmap& bitmap);
// Loads a file through the picture and the format registry, as the viewer does.
Rgba8Image LoadThroughPicture(const std::string& path);
// Copies `source` to `dir`/`name` and loads the copy through the picture: the name's
// extension picks the reader.
Rgba8Image LoadThroughPictureAs(const std::string& source, const std::string& dir, const std::string& name);

struct Difference {
  bool sameSize = false;
  int maxChannelDelta = 0;      // colour channels
  int maxAlphaDelta = 0;
  double meanChannelDelta = 0;  // over colour channels
  std::size_t pixelsOff = 0;    // pixels with any colour channel off by more than the tolerance
};
// Compares colours; with ignoreColourWhereTransparent, pixels whose alpha is 0 in both
// only need to agree on alpha.
Difference Compare(const Rgba8Image& actual, const Rgba8Image& expected, int tolerance = 0,
                   bool ignoreColourWhereTransparent = true);

// Loads bytes into a reader from a memory stream, as its LoadFromStream sees them.
template <typename Reader>
void LoadInto(Reader& reader, const Bytes& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  reader.LoadFromStream(stream);
}

// Whether the reader takes the first `size` bytes (all by default) for its format, asked as
// the registry asks: from a stream at its start, where the question must leave it.
template <typename Reader>
bool CanLoadFromStart(const Bytes& bytes, std::size_t size = SIZE_MAX) {
  TMemoryStream stream(bytes.data(), std::min(size, bytes.size()));
  const bool taken = Reader::CanLoad(stream);
  EXPECT_EQ(stream.Position(), 0) << "the format test moved the stream";
  return taken;
}

// The reader after loading these bytes.
template <typename Reader>
Reader LoadWith(const Bytes& bytes) {
  Reader reader;
  LoadInto(reader, bytes);
  return reader;
}

// Loads bytes with one reader class and returns what it shows; `keep` receives the reader
// when the test wants to look at it afterwards.
template <typename Reader>
Rgba8Image DecodeWith(const Bytes& bytes, Reader* keep = nullptr) {
  Reader local;
  Reader& reader = keep ? *keep : local;
  LoadInto(reader, bytes);
  const TBitmap* bitmap = reader.DrawBitmap();
  return bitmap ? ToRgba8(*bitmap) : Rgba8Image{};
}

// The message a reader class raises for these bytes (asked for image `index`), or "" when
// they load. A reader that refuses its bytes must be left empty.
template <typename Reader>
std::string ImageLoadErrorWith(const Bytes& bytes, unsigned index) {
  Reader reader;
  reader.RequestImage(index);
  try {
    LoadInto(reader, bytes);
  } catch (const Exception& e) {
    EXPECT_TRUE(reader.Empty()) << "left with a picture after: " << e.what();
    return e.what();
  }
  return "";
}

template <typename Reader>
std::string LoadErrorWith(const Bytes& bytes) {
  return ImageLoadErrorWith<Reader>(bytes, 0);
}

// The progress a reader reports while loading these bytes, one "stage:percent:message" a call.
template <typename Reader>
std::vector<std::string> ProgressOf(const Bytes& bytes) {
  Reader reader;
  std::vector<std::string> events;
  reader.OnProgress = [&](void*, TProgressStage stage, std::uint8_t percent, bool, const TRect&, const std::string& msg) {
    events.push_back(std::to_string(stage) + ":" + std::to_string(percent) + ":" + msg);
  };
  LoadInto(reader, bytes);
  return events;
}

// Writes a value into bytes already there, in the byte order a header uses.
void PutBigEndian16(Bytes& bytes, std::size_t at, unsigned value);
void PutLittleEndian16(Bytes& bytes, std::size_t at, unsigned value);
void PutLittleEndian32(Bytes& bytes, std::size_t at, std::uint32_t value);
// A copy of a good file with header fields changed: each (offset, value) put as a big-endian
// 16-bit number, negative values as their two's complement.
Bytes WithBigEndian16(Bytes bytes, std::initializer_list<std::pair<std::size_t, int>> fields);

// What a load of a file cut short may do: our own readers raise an error (a file that ends
// before its data is not shown as if whole); the platform's picture classes (JPEG, bitmaps,
// icons, metafiles) may show what they decoded.
enum class TTruncated { kRaises, kMayLoad };

// Feeds every prefix of `bytes` at a spread of lengths to `load`; the load must throw
// vumo::Exception (or, with kMayLoad, may succeed), and anything else (a crash, another
// exception) fails.
void ExpectTruncationsHandled(const std::vector<std::uint8_t>& bytes,
                              const std::function<void(const std::vector<std::uint8_t>&)>& load,
                              TTruncated expected = TTruncated::kRaises);
// The same for files whose end holds more than the picture (a Targa footer, metadata behind
// a TIFF's strips): a cut load may succeed when `load` says it gave the whole picture.
void ExpectTruncationsRaiseUnlessWhole(const std::vector<std::uint8_t>& bytes,
                                       const std::function<bool(const std::vector<std::uint8_t>&)>& load);

}  // namespace vumo::test
