#include "pixels/pcd_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "pixels/messages.h"

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes a Photo-CD residual stream: Huffman tables, then sequences of codes, most
// significant bit first.
class StreamWriter {
 public:
  struct Code {
    unsigned length;
    unsigned bits;  // the code in its low `length` bits
    int delta;
  };

  void Table(const std::vector<Code>& codes) {
    bytes_.push_back(static_cast<std::uint8_t>(codes.size() - 1));
    for (const Code& c : codes) {
      bytes_.push_back(static_cast<std::uint8_t>(c.length - 1));
      const unsigned aligned = c.length <= 16 ? c.bits << (16 - c.length) : c.bits;
      bytes_.push_back(static_cast<std::uint8_t>(aligned >> 8));
      bytes_.push_back(static_cast<std::uint8_t>(aligned));
      bytes_.push_back(static_cast<std::uint8_t>(c.delta));
    }
  }
  // The start of a row of one plane (0 luma, 2 and 3 chroma): 23 one bits and a zero, the
  // plane in two bits, the row in thirteen, one spare bit.
  void Sequence(unsigned plane, unsigned row) {
    Bits(24, 0xFFFFFE);
    Bits(2, plane);
    Bits(13, row);
    Bits(1, 0);
  }
  void Put(const Code& code) { Bits(code.length, code.bits); }
  void Bits(unsigned count, std::uint32_t value) {
    for (unsigned i = count; i-- > 0;) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
  }
  // Ends the data: a sequence whose row equals the row count stops the decoder.
  Bytes Finish(unsigned rows) {
    Sequence(0, rows);
    Bits(32, 0);
    return bytes_;
  }
  Bytes Raw() const { return bytes_; }

 private:
  Bytes bytes_;
  // Bits written since the tables (which are whole bytes).
  std::size_t used_ = 0;
};

constexpr StreamWriter::Code kPlusOne{1, 0b0, 1};
constexpr StreamWriter::Code kMinusTen{2, 0b10, -10};
constexpr StreamWriter::Code kPlusTen{3, 0b110, 10};

struct Planes {
  Planes(std::uint32_t rows, std::uint32_t stride, std::uint8_t fill)
      : luma(rows * stride, fill), chroma1((rows + 1) / 2 * stride, fill), chroma2((rows + 1) / 2 * stride, fill) {}
  Bytes luma, chroma1, chroma2;
};

// Decodes `stream` into `planes` through the decoder interface; counts the reads asked for.
void Decode(const Bytes& stream, Planes& planes, std::uint32_t rows, std::uint32_t stride,
            std::vector<std::size_t>* requests = nullptr) {
  auto offset = std::make_shared<std::size_t>(0);
  TPCDDecoder decoder([&stream, offset, requests](std::uint8_t* buffer, std::size_t count) {
    if (requests) requests->push_back(count);
    const std::size_t n = std::min(count, stream.size() - *offset);
    std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(*offset), n, buffer);
    *offset += n;
    return n;
  });
  std::uint8_t* const pointers[3] = {planes.luma.data(), planes.chroma1.data(), planes.chroma2.data()};
  const auto* source = reinterpret_cast<const std::uint8_t*>(pointers);
  std::uint8_t* dest = nullptr;
  decoder.Decode(source, dest, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(stride));
}

TEST(PCDDecoder, CodesAddClampedDeltasAlongTheirRow) {
  StreamWriter w;
  w.Table({kPlusOne, kMinusTen, kPlusTen});
  w.Sequence(0, 1);
  for (const auto& code : {kPlusOne, kMinusTen, kPlusTen, kPlusTen, kPlusOne}) w.Put(code);
  Planes planes(2, 6, 0);
  planes.luma = {0, 0, 0, 0, 0, 0, 100, 3, 250, 245, 255, 7};
  std::vector<std::size_t> requests;
  Decode(w.Finish(2), planes, 2, 6, &requests);
  EXPECT_EQ(planes.luma, (Bytes{0, 0, 0, 0, 0, 0, 101, 0, 255, 255, 255, 7}));
  // Input comes in whole sectors.
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0], 2048u);
}

TEST(PCDDecoder, ChromaRowsAreHalvedAndNarrowRowsShareOneTable) {
  StreamWriter w;
  w.Table({kPlusOne, kMinusTen, kPlusTen});
  w.Sequence(2, 3);  // chroma 1, row 1
  w.Put(kPlusTen);
  w.Sequence(3, 2);  // chroma 2, row 1
  w.Put(kMinusTen);
  w.Put(kPlusOne);
  Planes planes(4, 2, 50);
  Decode(w.Finish(4), planes, 4, 2);
  EXPECT_EQ(planes.chroma1, (Bytes{50, 50, 60, 50}));
  EXPECT_EQ(planes.chroma2, (Bytes{50, 50, 40, 51}));
  EXPECT_EQ(planes.luma, Bytes(8, 50));
}

TEST(PCDDecoder, WideRowsHaveATablePerPlane) {
  constexpr std::uint32_t kStride = 1537;
  StreamWriter w;
  w.Table({kPlusOne});
  w.Table({{1, 0b0, 2}});
  w.Table({{1, 0b0, 3}});
  w.Sequence(0, 0);
  w.Put(kPlusOne);
  w.Sequence(2, 0);
  w.Put(kPlusOne);
  w.Sequence(3, 0);
  w.Put(kPlusOne);
  Planes planes(2, kStride, 0);
  Decode(w.Finish(2), planes, 2, kStride);
  EXPECT_EQ(planes.luma[0], 1);
  EXPECT_EQ(planes.chroma1[0], 2);
  EXPECT_EQ(planes.chroma2[0], 3);
}

TEST(PCDDecoder, EndsAtTheRowCountAndKeepsWithinRowsAndPlanes) {
  StreamWriter w;
  w.Table({kPlusOne, kMinusTen, kPlusTen});
  // Six codes for a row of four: the last two are read and dropped.
  w.Sequence(0, 0);
  for (int i = 0; i < 6; ++i) w.Put(kPlusTen);
  // A row past the planes is decoded but not written.
  w.Sequence(0, 5000);
  w.Put(kPlusTen);
  w.Sequence(0, 1);
  w.Put(kPlusOne);
  // The row count ends decoding; what follows is never applied.
  w.Sequence(0, 2);
  w.Sequence(0, 1);
  w.Put(kPlusTen);
  Planes planes(2, 4, 0);
  Decode(w.Raw(), planes, 2, 4);
  EXPECT_EQ(planes.luma, (Bytes{10, 10, 10, 10, 1, 0, 0, 0}));
}

TEST(PCDDecoder, UnknownCodesResynchroniseAtTheNextSequence) {
  StreamWriter w;
  w.Table({kPlusOne});  // only codes starting with a zero bit
  w.Sequence(0, 0);
  w.Put(kPlusOne);
  w.Bits(20, 0xABCDE);  // noise, starting with a one bit
  w.Sequence(0, 1);
  w.Put(kPlusOne);
  w.Put(kPlusOne);
  Planes planes(2, 3, 0);
  Decode(w.Finish(2), planes, 2, 3);
  EXPECT_EQ(planes.luma, (Bytes{1, 0, 0, 1, 1, 0}));
}

TEST(PCDDecoder, BadTablesAndShortDataEndQuietly) {
  // A code longer than sixteen bits ends the call before anything is written.
  StreamWriter tooLong;
  tooLong.Table({kPlusOne, {17, 0, 1}});
  tooLong.Sequence(0, 0);
  tooLong.Put(kPlusOne);
  Planes planes(1, 4, 9);
  Decode(tooLong.Finish(1), planes, 1, 4);
  EXPECT_EQ(planes.luma, Bytes(4, 9));

  // Data that ends mid-row keeps what was decoded, whatever the length it is cut to.
  StreamWriter cut;
  cut.Table({kPlusOne, kMinusTen, kPlusTen});
  cut.Sequence(0, 0);
  for (int i = 0; i < 8; ++i) cut.Put(kPlusTen);
  const Bytes whole = cut.Raw();
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    Planes part(1, 8, 0);
    Decode(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), part, 1, 8);
    for (std::size_t i = 1; i < part.luma.size(); ++i) {
      EXPECT_LE(part.luma[i], part.luma[i - 1]);
    }
    if (length == whole.size()) {
      EXPECT_EQ(part.luma, Bytes(8, 10));
    }
  }
}

TEST(PCDDecoder, PlaneCodeOneAborts) {
  StreamWriter w;
  w.Table({kPlusOne});
  w.Sequence(1, 0);
  Planes planes(1, 4, 0);
  EXPECT_THROW(Decode(w.Finish(1), planes, 1, 4), EAbort);
}

}  // namespace
}  // namespace vumo
