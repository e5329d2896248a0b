#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "formats/bitmap.h"
#include "formats/byte_source.h"
#include "formats/messages.h"
#include "formats/stream.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using test::Bytes;

std::string WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 256 x 256 24-bit Windows bitmap of a pattern that holds no zero byte: 48 pages of pixels.
Bytes PatternBitmap() {
  constexpr std::uint32_t side = 256, row = side * 3;
  Bytes b(54 + row * side);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, side);
  Put32(b, 22, side);
  b[26] = 1;
  b[28] = 24;
  for (std::size_t i = 54; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(1 + i % 251);
  return b;
}

// The pattern bitmap in a file of a fresh folder, which each test reads (and spoils) alone.
struct TPatternFile {
  std::string dir, path;
  Bytes bytes;
};

TPatternFile WritePatternFile(const std::string& folder, const std::string& name) {
  TPatternFile file{test::TempDir(folder), {}, PatternBitmap()};
  file.path = WriteFile(file.dir + "/" + name, file.bytes);
  return file;
}

// A regular file is read in place, as a memory stream is, and reads alike through every door.
TEST(FileStream, RegularFilesAreReadInPlace) {
  const auto [dir, path, bytes] = WritePatternFile("file-stream-in-place", "pattern.bmp");
  TFileStream stream(path);
  ASSERT_NE(nullptr, stream.Memory());
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), stream.Size());
  EXPECT_EQ(0, std::memcmp(stream.Memory(), bytes.data(), bytes.size()));
  // Reads and seeks move one position, which the byte source then starts from.
  Bytes head(10);
  stream.ReadBuffer(head.data(), head.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), head);
  stream.Seek(-4, TSeekOrigin::soCurrent);
  EXPECT_EQ(6, stream.Position());
  {
    TByteSource source(stream);
    EXPECT_EQ(bytes[6], source.Next());
    source.Consume(100);
  }
  EXPECT_EQ(107, stream.Position());
  // Pages given back are read again from the file.
  stream.Release(stream.Size());
  EXPECT_EQ(0, std::memcmp(stream.Memory(), bytes.data(), bytes.size()));
  EXPECT_EQ(0u, stream.Read(head.data(), 0));
  stream.Seek(0, TSeekOrigin::soEnd);
  EXPECT_EQ(0u, stream.Read(head.data(), head.size()));
  EXPECT_NO_THROW(stream.CheckIntact());
  // An empty file has nothing to map and reads as empty.
  TFileStream empty(WriteFile(dir + "/empty.bmp", {}));
  EXPECT_EQ(0, empty.Size());
  EXPECT_EQ(0u, empty.Read(head.data(), head.size()));
}

// Another program shortens the file while it is mapped: the lost pages read as zeros instead
// of killing the process, and the load ends in a read error with no picture.
TEST(FileStream, AFileShortenedWhileMappedIsAReadError) {
  const auto [dir, path, bytes] = WritePatternFile("file-stream-shortened", "shortened.bmp");
  {
    TFileStream stream(path);
    ASSERT_NE(nullptr, stream.Memory());
    ASSERT_EQ(0, ::truncate(path.c_str(), 1000));
    const std::uint8_t* memory = stream.Memory();
    EXPECT_EQ(bytes[999], memory[999]);
    EXPECT_EQ(0, memory[bytes.size() - 1]);  // a page past the new end
    EXPECT_EQ(0, memory[20000]);
    EXPECT_THROW(stream.CheckIntact(), EReadError);
  }
  // Through a whole load, shortened halfway as the reader starts.
  struct TShortenedOnLoad : TBitmap {
    std::string path;
    void LoadFromStream(TStream& stream) override {
      EXPECT_EQ(0, ::truncate(path.c_str(), 60000));
      TBitmap::LoadFromStream(stream);
    }
  };
  WriteFile(path, bytes);
  TShortenedOnLoad bitmap;
  bitmap.path = path;
  try {
    bitmap.LoadFromFile(path);
    ADD_FAILURE() << "a shortened file loaded";
  } catch (const EReadError& e) {
    EXPECT_STREQ(kStreamReadError, e.what());
  }
  EXPECT_TRUE(bitmap.Empty());
  // The same file whole loads.
  WriteFile(path, bytes);
  TBitmap whole;
  whole.LoadFromFile(path);
  EXPECT_EQ(256, whole.Width());
}

}  // namespace
}  // namespace vumo
