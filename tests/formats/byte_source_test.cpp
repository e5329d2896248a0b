#include "formats/byte_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace vumo {
namespace {

// A stream that hides its memory, as a file does, and counts what it is asked for.
class TCountingStream : public TStream {
 public:
  explicit TCountingStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    bytesRead += n;
    ++reads;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(position_)
                                                                 : Size();
    position_ = static_cast<std::size_t>(std::max<std::int64_t>(base + offset, 0));
    return static_cast<std::int64_t>(position_);
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

  std::uint64_t bytesRead = 0;
  std::uint64_t reads = 0;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

std::vector<std::uint8_t> Numbered(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

// Pieces one byte long, each behind a seek, as a TIFF of one-byte strips asks for them.
std::uint64_t ReadPieces(TCountingStream& stream, const std::vector<std::int64_t>& offsets) {
  TByteSource source(stream);
  std::uint64_t sum = 0;
  for (const std::int64_t offset : offsets) {
    source.Seek(offset);
    const std::uint8_t* byte = source.Take(1);
    EXPECT_NE(byte, nullptr);
    if (byte) sum += *byte;
  }
  return sum;
}

TEST(ByteSource, ScatteredPiecesCostReadsInProportionToTheFile) {
  constexpr std::size_t kSize = 1 << 20;
  const std::vector<std::uint8_t> bytes = Numbered(kSize);
  std::vector<std::int64_t> forward, backward, shuffled;
  for (std::int64_t offset = 0; offset < static_cast<std::int64_t>(kSize); offset += 8) forward.push_back(offset);
  backward.assign(forward.rbegin(), forward.rend());
  shuffled = forward;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(29));
  std::uint64_t expected = 0;
  for (const std::int64_t offset : forward) expected += bytes[static_cast<std::size_t>(offset)];

  for (const auto* order : {&forward, &backward, &shuffled}) {
    TCountingStream stream(bytes);
    EXPECT_EQ(ReadPieces(stream, *order), expected);
    // A block per piece would be 2^17 pieces of 256 KiB; the window and a read-ahead that
    // starts again from nothing after each real seek keep it near the file's size.
    EXPECT_LE(stream.bytesRead, 2 * kSize) << "pieces read in order " << (order - &forward);
  }
}

TEST(ByteSource, SequentialReadingGrowsItsReadAhead) {
  constexpr std::size_t kSize = 3 << 20;
  const std::vector<std::uint8_t> bytes = Numbered(kSize);
  TCountingStream stream(bytes);
  {
    TByteSource source(stream);
    source.Seek(1);  // a real move, so the read-ahead starts from nothing
    for (std::size_t i = 1; i < kSize; ++i) ASSERT_EQ(source.Next(), bytes[i]) << i;
    EXPECT_EQ(source.Next(), -1);
  }
  EXPECT_LE(stream.bytesRead, kSize);
  // Doubling up to its largest block, then blocks: a few dozen reads, not one per byte.
  EXPECT_LE(stream.reads, 40u);
}

// Every operation on a stream without memory must give what the same operations give in
// place over memory, whatever mix of seeks, peeks and skips a reader makes.
TEST(ByteSource, BufferedAndInPlaceAgree) {
  const std::vector<std::uint8_t> bytes = Numbered(700000);
  const std::int64_t size = static_cast<std::int64_t>(bytes.size());
  std::mt19937 random(28);
  for (int round = 0; round < 20; ++round) {
    TCountingStream fileLike(bytes);
    TMemoryStream memory(bytes.data(), bytes.size());
    const std::int64_t start = static_cast<std::int64_t>(random() % 1000);
    fileLike.SetPosition(start);
    memory.SetPosition(start);
    {
      TByteSource a(fileLike), b(memory);
      for (int step = 0; step < 400; ++step) {
        const unsigned op = random() % 6;
        const std::size_t count = random() % 4 == 0 ? random() % 300000 : random() % 64;
        SCOPED_TRACE(testing::Message() << "round " << round << " step " << step << " op " << op);
        ASSERT_EQ(a.Position(), b.Position());
        ASSERT_EQ(a.Remaining(), b.Remaining());
        if (op == 0) {
          const std::int64_t to = random() % 3 == 0 ? a.Position() - static_cast<std::int64_t>(count)
                                                    : static_cast<std::int64_t>(random() % (size + 10));
          a.Seek(to);
          b.Seek(to);
        } else if (op == 1) {
          const auto pa = a.Peek(count);
          const auto pb = b.Peek(count);
          ASSERT_EQ(pa.size(), pb.size());
          ASSERT_TRUE(std::equal(pa.begin(), pa.end(), pb.begin()));
        } else if (op == 2) {
          const std::uint8_t* ta = a.Take(count);
          const std::uint8_t* tb = b.Take(count);
          ASSERT_EQ(ta == nullptr, tb == nullptr);
          if (ta) {
            ASSERT_EQ(std::memcmp(ta, tb, count), 0);
          }
        } else if (op == 3) {
          a.Consume(count);
          b.Consume(count);
        } else if (op == 4) {
          ASSERT_EQ(a.Next(), b.Next());
        } else {
          a.Sync();
          b.Sync();
        }
      }
      ASSERT_EQ(a.Position(), b.Position());
    }
    // Leaving, both put their stream just past what was consumed.
    EXPECT_EQ(fileLike.Position(), memory.Position());
  }
}

}  // namespace
}  // namespace vumo
