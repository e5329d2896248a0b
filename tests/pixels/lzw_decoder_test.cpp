// LZW against an encoder written here from the algorithm, in each packing: the round trip
// covers the string-being-defined case, width changes at each boundary, a full table and
// clears; then the limits a hostile stream meets.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pixels/lzw_decoder.h"

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class TBitWriter {
 public:
  explicit TBitWriter(bool msbFirst) : msb_(msbFirst) {}
  void Put(unsigned code, unsigned width) {
    for (unsigned i = 0; i < width; ++i) {
      const unsigned bit = msb_ ? (code >> (width - 1 - i)) & 1 : (code >> i) & 1;
      if (count_ % 8 == 0) out.push_back(0);
      if (bit) out.back() |= static_cast<std::uint8_t>(msb_ ? 0x80 >> (count_ % 8) : 1 << (count_ % 8));
      ++count_;
    }
  }
  Bytes out;

 private:
  bool msb_;
  std::size_t count_ = 0;
};

// A greedy LZW coder that clears its table when it is full, as TIFF writers must, or lets it
// stay full, as GIF writers may.
Bytes Encode(TLZWPacking packing, unsigned rootBits, const Bytes& data, bool restartWhenFull = true) {
  const bool tiff = packing == TLZWPacking::kTiff;
  TBitWriter writer(tiff);
  const unsigned clear = 1u << rootBits, end = clear + 1;
  std::map<std::string, unsigned> table;
  unsigned next = clear + 2, width = rootBits + 1;
  auto reset = [&] {
    table.clear();
    next = clear + 2, width = rootBits + 1;
  };
  // The coder's table is one entry ahead of the decoder's (the decoder adds an entry only
  // once it sees the next code), so it widens one entry later than the decoder's rule reads.
  auto grow = [&] {
    if (width < 12 && next + (tiff ? 1 : 0) > (1u << width)) ++width;
  };
  auto codeOf = [&](const std::string& s) { return s.size() == 1 ? static_cast<std::uint8_t>(s[0]) : table.at(s); };
  writer.Put(clear, width);
  std::string current;
  for (std::uint8_t byte : data) {
    std::string extended = current + static_cast<char>(byte);
    if (current.empty() || extended.size() == 1 || table.count(extended)) {
      current = extended;
      continue;
    }
    writer.Put(codeOf(current), width);
    if (next < 4096) {
      table[extended] = next++;
      grow();
    }
    if (next >= 4094 && restartWhenFull) {
      writer.Put(clear, width);
      reset();
    }
    current = std::string(1, static_cast<char>(byte));
  }
  if (!current.empty()) {
    writer.Put(codeOf(current), width);
    // The decoder adds an entry for this code too, and may widen before the end code.
    if (next < 4096) ++next, grow();
  }
  writer.Put(end, width);
  return writer.out;
}

Bytes Sample(std::size_t size, unsigned alphabet, unsigned seed) {
  std::mt19937 random(seed);
  Bytes data(size);
  // Runs and repeats, so strings grow long, with noise so the table fills.
  for (std::size_t i = 0; i < size; ++i)
    data[i] = (random() % 4 == 0 || i < 8) ? static_cast<std::uint8_t>(random() % alphabet) : data[i - 1 - random() % 7];
  return data;
}

TEST(LZWDecoder, RoundTripsEveryPacking) {
  struct TCase {
    TLZWPacking packing;
    unsigned rootBits;
    std::size_t size;
    bool restart;
  } cases[] = {
      {TLZWPacking::kTiff, 8, 200000, true},     {TLZWPacking::kTiffOld, 8, 200000, true},
      {TLZWPacking::kGif, 8, 200000, true},      {TLZWPacking::kGif, 8, 100000, false},
      {TLZWPacking::kGif, 2, 50000, true},       {TLZWPacking::kGif, 4, 50000, false},
      {TLZWPacking::kGif, 3, 10000, true},       {TLZWPacking::kTiff, 8, 1, true},
      {TLZWPacking::kGif, 8, 0, true},
  };
  for (const TCase& c : cases) {
    const Bytes data = Sample(c.size, 1u << c.rootBits, static_cast<unsigned>(c.size + c.rootBits));
    const Bytes coded = Encode(c.packing, c.rootBits, data, c.restart);
    Bytes out(data.size() + 16, 0xEE);
    const TLZWResult r = DecodeLZW(c.packing, c.rootBits, coded, out);
    SCOPED_TRACE(testing::Message() << "packing " << static_cast<int>(c.packing) << " root " << c.rootBits << " size " << c.size);
    EXPECT_TRUE(r.ended);
    EXPECT_FALSE(r.damaged);
    ASSERT_EQ(r.written, data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
    EXPECT_EQ(out[data.size()], 0xEE);
  }
}

TEST(LZWDecoder, TheStringBeingDefinedRepeatsItsFirstByte) {
  // "aaaa...": every code after the first is the one the decoder is defining.
  const Bytes data(5000, 'a');
  const Bytes coded = Encode(TLZWPacking::kTiff, 8, data);
  Bytes out(data.size());
  const TLZWResult r = DecodeLZW(TLZWPacking::kTiff, 8, coded, out);
  EXPECT_EQ(r.written, data.size());
  EXPECT_EQ(out, data);
  EXPECT_LT(coded.size(), 200u);
}

TEST(LZWDecoder, StopsAtItsOutputAndAtDamage) {
  const Bytes data = Sample(100000, 256, 7);
  const Bytes coded = Encode(TLZWPacking::kTiff, 8, data);
  // A picture smaller than the stream: the output bounds the work and nothing spills.
  Bytes small(1000 + 4, 0xEE);
  TLZWResult r = DecodeLZW(TLZWPacking::kTiff, 8, coded, std::span(small.data(), 1000));
  EXPECT_EQ(r.written, 1000u);
  EXPECT_FALSE(r.ended);
  EXPECT_TRUE(std::equal(small.begin(), small.begin() + 1000, data.begin()));
  EXPECT_EQ(small[1000], 0xEE);
  // A stream cut short gives what it holds.
  Bytes out(data.size());
  r = DecodeLZW(TLZWPacking::kTiff, 8, std::span(coded.data(), coded.size() / 2), out);
  EXPECT_FALSE(r.ended);
  EXPECT_GT(r.written, data.size() / 4);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.written), data.begin()));
  // A code beyond the table, right after a clear.
  TBitWriter bad(true);
  bad.Put(256, 9), bad.Put('x', 9), bad.Put(300, 9);
  r = DecodeLZW(TLZWPacking::kTiff, 8, bad.out, out);
  EXPECT_TRUE(r.damaged);
  EXPECT_EQ(r.written, 1u);
  // No root code width the packing can hold.
  EXPECT_TRUE(DecodeLZW(TLZWPacking::kGif, 1, coded, out).damaged);
  EXPECT_TRUE(DecodeLZW(TLZWPacking::kGif, 12, coded, out).damaged);
}

TEST(LZWDecoder, OldStyleTiffDataIsToldByItsFirstCode) {
  EXPECT_TRUE(IsOldStyleTiffLZW(Encode(TLZWPacking::kTiffOld, 8, Bytes{1, 2, 3})));
  EXPECT_FALSE(IsOldStyleTiffLZW(Encode(TLZWPacking::kTiff, 8, Bytes{1, 2, 3})));
  EXPECT_FALSE(IsOldStyleTiffLZW(Bytes{0}));
}

}  // namespace
}  // namespace vumo
