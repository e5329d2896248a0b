#include "pixels/decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kGuard = 0xEE;

struct Decoded {
  Bytes out;                // the destination, guard bytes included
  std::ptrdiff_t consumed;  // how far Source came back advanced
};

// Runs one Decode over an exactly sized source copy (so the sanitizer sees any over-read) into a
// destination of `unpackedBytes` bytes followed by guard bytes.
Decoded DecodeWith(TDecoder& decoder, const Bytes& packed, std::int32_t packedSize, std::int32_t unpackedSize,
            std::size_t unpackedBytes, std::size_t guard = 8) {
  auto source = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(packed.size(), 1));
  std::copy(packed.begin(), packed.end(), source.get());
  Bytes dest(unpackedBytes + guard, kGuard);
  const std::uint8_t* s = source.get();
  std::uint8_t* d = dest.data();
  decoder.Decode(s, d, packedSize, unpackedSize);
  EXPECT_EQ(d, dest.data()) << "Dest is never written back";
  return {dest, s - source.get()};
}

Decoded DecodeWith(TDecoder& decoder, const Bytes& packed, std::int32_t unpackedBytes) {
  return DecodeWith(decoder, packed, static_cast<std::int32_t>(packed.size()), unpackedBytes,
             static_cast<std::size_t>(unpackedBytes));
}

Bytes WithGuard(Bytes expected, std::size_t guard = 8) {
  expected.insert(expected.end(), guard, kGuard);
  return expected;
}

TEST(TargaRLEDecoder, RunAndLiteralPacketsOf24BitPixels) {
  TTargaRLEDecoder decoder(24);
  Decoded run = DecodeWith(decoder, {0x82, 0x10, 0x20, 0x30}, 4, 3, 9);
  EXPECT_EQ(run.out, WithGuard({0x10, 0x20, 0x30, 0x10, 0x20, 0x30, 0x10, 0x20, 0x30}));
  EXPECT_EQ(run.consumed, 4);

  Decoded literal = DecodeWith(decoder, {0x00, 0x01, 0x02, 0x03, 0x81, 0xAA, 0xBB, 0xCC}, 8, 3, 9);
  EXPECT_EQ(literal.out, WithGuard({0x01, 0x02, 0x03, 0xAA, 0xBB, 0xCC, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(literal.consumed, 8);
}

TEST(TargaRLEDecoder, PacketsCrossingTheDestinationEndAreReadWholeButWrittenOnlyAsFarAsRoom) {
  TTargaRLEDecoder decoder(24);
  // A run of four with room for two pixels: Source passes the whole packet, the row ends at two.
  Decoded run = DecodeWith(decoder, {0x83, 1, 2, 3, 0x00, 9, 9, 9}, 8, 2, 6);
  EXPECT_EQ(run.out, WithGuard({1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(run.consumed, 4);

  TTargaRLEDecoder bytes(8);
  Decoded literal = DecodeWith(bytes, {0x03, 'A', 'B', 'C', 'D', 0x80, 'E'}, 7, 2, 2);
  EXPECT_EQ(literal.out, WithGuard({'A', 'B'}));
  EXPECT_EQ(literal.consumed, 5);
}

TEST(TargaRLEDecoder, StopsAtTheSourceEnd) {
  TTargaRLEDecoder decoder(8);
  // A literal of six with two data bytes left delivers them and stops.
  Decoded literal = DecodeWith(decoder, {0x05, 'A', 'B'}, 3, 6, 6);
  EXPECT_EQ(literal.out, WithGuard({'A', 'B', kGuard, kGuard, kGuard, kGuard}));
  EXPECT_EQ(literal.consumed, 3);

  // A 24-bit literal whose second pixel is cut off delivers only the whole one.
  TTargaRLEDecoder wide(24);
  Decoded partial = DecodeWith(wide, {0x01, 1, 2, 3, 4, 5}, 6, 2, 6);
  EXPECT_EQ(partial.out, WithGuard({1, 2, 3, kGuard, kGuard, kGuard}));
  EXPECT_EQ(partial.consumed, 4);

  // A run whose pixel is cut off writes nothing.
  Decoded run = DecodeWith(wide, {0x85, 1, 2}, 3, 6, 18);
  EXPECT_EQ(run.out, Bytes(26, kGuard));

  // PackedSize bounds the read even when the buffer holds more.
  Decoded bounded = DecodeWith(decoder, {0x00, 'A', 0x00, 'B'}, 2, 2, 2);
  EXPECT_EQ(bounded.out, WithGuard({'A', kGuard}));
  EXPECT_EQ(bounded.consumed, 2);
}

TEST(TargaRLEDecoder, NegativeSizesAndUnknownDepthsDecodeNothing) {
  TTargaRLEDecoder decoder(8);
  EXPECT_EQ(DecodeWith(decoder, {0x80, 'A'}, -1, 4, 4).out, Bytes(12, kGuard));
  Decoded noRoom = DecodeWith(decoder, {0x80, 'A'}, 2, -5, 4);
  EXPECT_EQ(noRoom.out, Bytes(12, kGuard));
  EXPECT_EQ(noRoom.consumed, 0);

  TTargaRLEDecoder odd(12);
  Decoded unknown = DecodeWith(odd, {0x80, 'A', 'B'}, 3, 4, 8);
  EXPECT_EQ(unknown.out, Bytes(16, kGuard));
  EXPECT_EQ(unknown.consumed, 0);
}

TEST(TargaRLEDecoder, RunsOfEveryLengthRepeatWholePixels) {
  for (int depth : {8, 16, 24, 32}) {
    const std::size_t pixelSize = static_cast<std::size_t>(depth + 7) / 8;
    TTargaRLEDecoder decoder(depth);
    for (std::size_t count = 1; count <= 128; ++count) {
      Bytes packed = {static_cast<std::uint8_t>(0x80 | (count - 1))};
      for (std::size_t b = 0; b < pixelSize; ++b) packed.push_back(static_cast<std::uint8_t>(0x11 * (b + 1)));
      Bytes expected;
      for (std::size_t i = 0; i < count; ++i) expected.insert(expected.end(), packed.begin() + 1, packed.end());
      Decoded d = DecodeWith(decoder, packed, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(count),
                      count * pixelSize);
      ASSERT_EQ(d.out, WithGuard(expected)) << depth << " bits, " << count << " pixels";
    }
  }
}

TEST(TargaRLEDecoder, EncodesTheDescribedPackets) {
  TTargaRLEDecoder decoder(8);
  Bytes dest(16, kGuard);
  std::uint32_t stored = 99;
  const Bytes row = {1, 2, 3, 3, 3};
  decoder.Encode(row.data(), dest.data(), 5, stored);
  EXPECT_EQ(stored, 5u);
  EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 5), (Bytes{0x01, 1, 2, 0x82, 3}));

  // Without any equal pair the last pixel gets a packet of its own.
  const Bytes distinct = {7, 8, 9};
  decoder.Encode(distinct.data(), dest.data(), 3, stored);
  EXPECT_EQ(stored, 5u);
  EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 5), (Bytes{0x01, 7, 8, 0x00, 9}));

  // Runs are cut at 128 pixels.
  const Bytes flat(130, 4);
  decoder.Encode(flat.data(), dest.data(), 130, stored);
  EXPECT_EQ(stored, 4u);
  EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 4), (Bytes{0xFF, 4, 0x81, 4}));

  decoder.Encode(row.data(), dest.data(), 0, stored);
  EXPECT_EQ(stored, 0u);
}

TEST(TargaRLEDecoder, EncodedRowsDecodeBackWithinTwiceTheirSize) {
  std::mt19937 random(7);
  for (int depth : {8, 15, 24, 32}) {
    const std::size_t pixelSize = static_cast<std::size_t>(depth + 1) / 8;
    TTargaRLEDecoder coder(depth);
    for (std::size_t count : {1u, 2u, 127u, 128u, 129u, 300u, 1000u}) {
      // Short flat stretches among noise, the mix that exercises both packet kinds.
      Bytes row;
      while (row.size() < count * pixelSize) {
        Bytes pixel(pixelSize);
        for (auto& b : pixel) b = static_cast<std::uint8_t>(random() % 4);
        const std::size_t repeat = 1 + random() % 5;
        for (std::size_t i = 0; i < repeat; ++i) row.insert(row.end(), pixel.begin(), pixel.end());
      }
      row.resize(count * pixelSize);
      Bytes packed(2 * row.size());
      std::uint32_t stored = 0;
      coder.Encode(row.data(), packed.data(), static_cast<std::uint32_t>(count), stored);
      ASSERT_LE(stored, packed.size());
      packed.resize(stored);
      Decoded d = DecodeWith(coder, packed, static_cast<std::int32_t>(stored), static_cast<std::int32_t>(count), row.size());
      EXPECT_EQ(d.out, WithGuard(row)) << depth << " bits, " << count << " pixels";
      EXPECT_EQ(d.consumed, static_cast<std::ptrdiff_t>(stored));
    }
  }
}

TEST(PackbitsRLEDecoder, DescribedPacketsAndBounds) {
  TPackbitsRLEDecoder decoder;
  EXPECT_EQ(DecodeWith(decoder, {0xFE, 0xAA}, 3).out, WithGuard({0xAA, 0xAA, 0xAA}));
  // -128 is skipped; the next packet still decodes.
  EXPECT_EQ(DecodeWith(decoder, {0x80, 0x00, 0x42}, 1).out, WithGuard({0x42}));
  EXPECT_EQ(DecodeWith(decoder, {0x80}, 2).out, Bytes(10, kGuard));
  // A literal of three with two data bytes left copies the two.
  EXPECT_EQ(DecodeWith(decoder, {0x02, 1, 2}, 3).out, WithGuard({1, 2, kGuard}));
  // A run longer than the room left.
  EXPECT_EQ(DecodeWith(decoder, {0x81, 0x55}, 2).out, WithGuard({0x55, 0x55}));
  // A literal longer than the room left.
  EXPECT_EQ(DecodeWith(decoder, {0x03, 1, 2, 3, 4}, 2).out, WithGuard({1, 2}));
  // A run header without its byte.
  EXPECT_EQ(DecodeWith(decoder, {0x01, 7, 8, 0xFD}, 6).out, WithGuard({7, 8, kGuard, kGuard, kGuard, kGuard}));
  EXPECT_EQ(DecodeWith(decoder, {0xFE, 0xAA}, 0, -3, 3).out, Bytes(11, kGuard));
}

// Long random streams (copies and runs of every length, the no-op header, data cut short
// and rows cut short) against the packet rules written out plainly; bytes past what the
// data gives keep what Dest held.
TEST(PackbitsRLEDecoder, LongStreamsFollowThePlainRules) {
  std::mt19937 random(2024);
  TPackbitsRLEDecoder decoder;
  for (int trial = 0; trial < 300; ++trial) {
    Bytes packed(random() % 2000);
    for (auto& b : packed) b = static_cast<std::uint8_t>(random() % 4 == 0 ? 0x80 + random() % 128 : random() % 256);
    if (!packed.empty() && trial % 3 == 0) packed[0] = static_cast<std::uint8_t>(random() % 20);  // short copies
    const std::size_t room = random() % 3000;
    Bytes expected(room + 4, kGuard);
    std::size_t in = 0, out = 0;
    while (in < packed.size() && out < room) {
      const auto header = static_cast<std::int8_t>(packed[in++]);
      if (header >= 0) {
        for (std::size_t k = 0; k <= static_cast<std::size_t>(header) && in < packed.size() && out < room; ++k)
          expected[out++] = packed[in++];
      } else if (header != -128) {
        if (in == packed.size()) break;
        const std::uint8_t value = packed[in++];
        for (int k = 0; k < 1 - header && out < room; ++k) expected[out++] = value;
      }
    }
    Bytes dest(room + 4, kGuard);
    const std::uint8_t* source = packed.data();
    std::uint8_t* target = dest.data();
    decoder.Decode(source, target, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(room));
    ASSERT_EQ(dest, expected) << "trial " << trial;
  }
}

// Straight into the target: the bytes the data gives are Decode's, their count comes back,
// and nothing past the room is touched, however the data ends.
TEST(PackbitsRLEDecoder, DecodeOverStopsAtTheRoom) {
  std::mt19937 random(4242);
  TPackbitsRLEDecoder over, plain;
  for (int trial = 0; trial < 300; ++trial) {
    Bytes packed(random() % 1500);
    for (auto& b : packed) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0x80 + random() % 128 : random() % 40);
    const std::size_t room = random() % 2000;
    Bytes expected(room + 32, kGuard), actual(room + 32, kGuard);
    const std::uint8_t* source = packed.data();
    std::uint8_t* target = expected.data();
    plain.Decode(source, target, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(room));
    std::size_t given = room;
    while (given > 0 && expected[given - 1] == kGuard) --given;
    const std::size_t written = over.DecodeOver(packed.data(), packed.size(), actual.data(), room);
    ASSERT_GE(written, given) << "trial " << trial;
    ASSERT_LE(written, room);
    ASSERT_TRUE(std::equal(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(written), expected.begin()))
        << "trial " << trial;
    ASSERT_TRUE(std::all_of(actual.begin() + static_cast<std::ptrdiff_t>(room), actual.end(),
                            [](std::uint8_t b) { return b == kGuard; }))
        << "trial " << trial;
  }
}

// Rows decoded together give what each gives decoded alone, whatever their number and
// lengths, with the bytes past what each row's data gives left as they were.
TEST(PackbitsRLEDecoder, RowsDecodedTogetherAsEachAlone) {
  std::mt19937 random(77);
  TPackbitsRLEDecoder together, alone;
  for (int trial = 0; trial < 100; ++trial) {
    const std::size_t count = 1 + random() % 7;
    std::vector<Bytes> packed(count), expected(count), actual(count);
    std::vector<TPackbitsRLEDecoder::TRow> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
      packed[i].resize(random() % 1500);
      for (auto& b : packed[i]) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0x80 + random() % 128 : random() % 24);
      const std::size_t room = random() % 1200;
      expected[i] = actual[i] = Bytes(room + 4, kGuard);
      const std::uint8_t* source = packed[i].data();
      std::uint8_t* target = expected[i].data();
      alone.Decode(source, target, static_cast<std::int32_t>(packed[i].size()), static_cast<std::int32_t>(room));
      rows[i] = {packed[i].data(), packed[i].size(), actual[i].data(), room};
    }
    together.DecodeRows(rows);
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(actual[i], expected[i]) << "trial " << trial << ", row " << i;
  }
}

TEST(PCXRLEDecoder, DescribedPacketsAndBounds) {
  TPCXRLEDecoder decoder;
  EXPECT_EQ(DecodeWith(decoder, {0xC3, 0x55}, 3).out, WithGuard({0x55, 0x55, 0x55}));
  // A zero count consumes both bytes and writes nothing.
  EXPECT_EQ(DecodeWith(decoder, {0xC0, 0x55, 0x3F}, 1).out, WithGuard({0x3F}));
  EXPECT_EQ(DecodeWith(decoder, {0x3F}, 1).out, WithGuard({0x3F}));
  EXPECT_EQ(DecodeWith(decoder, {0xFF, 0x01}, 4).out, WithGuard({1, 1, 1, 1}));
  // A run header at the very end of the source, and a source shorter than the row.
  EXPECT_EQ(DecodeWith(decoder, {0x07, 0xC3}, 3).out, WithGuard({0x07, kGuard, kGuard}));
  EXPECT_EQ(DecodeWith(decoder, {0x01, 0x02, 0x03}, 2, 3, 3).out, WithGuard({1, 2, kGuard}));
}

// Decoding row by row, with the input handed over in windows that may cut a run's two bytes
// apart, gives what one decode of the whole gives: runs go on across rows, and the decode
// stops at the end of the data and at the end of the image alike.
TEST(PCXRLEDecoder, PartsGiveWhatTheWholeGives) {
  std::uint32_t seed = 12345;
  auto random = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<std::uint8_t> packed(1 + random() % 1200);
    // Mostly runs (some of zero length) and literals below 0xC0.
    for (auto& b : packed) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0xC0 | (random() % 64) : random() % 0xC0);
    // Short windows cut packets apart; long ones let whole blocks of packets decode at once.
    const std::size_t row = 1 + random() % 400, rows = 1 + random() % 12;
    const std::size_t window = trial % 2 == 0 ? 2 + random() % 9 : 32 + random() % 2000;
    std::vector<std::uint8_t> whole(row * rows, 0);
    TPCXRLEDecoder once;
    const std::uint8_t* in = packed.data();
    std::uint8_t* out = whole.data();
    once.Decode(in, out, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(whole.size()));

    std::vector<std::uint8_t> parts(row * rows, 0);
    TPCXRLEDecoder decoder;
    decoder.DecodeInit();
    const std::uint8_t* source = packed.data();
    const std::uint8_t* const end = packed.data() + packed.size();
    for (std::size_t r = 0; r < rows; ++r) {
      std::size_t written = 0;
      for (;;) {
        // A window of the data left, as a byte source might give it.
        const std::uint8_t* windowEnd = source + std::min<std::size_t>(window, static_cast<std::size_t>(end - source));
        const std::uint8_t* before = source;
        written += decoder.DecodePart(source, windowEnd, &parts[r * row + written], row - written);
        if (written == row || (windowEnd == end && (source == before || source == end))) break;
      }
      // What follows the bytes written is the caller's to clear, as the reader does.
      std::fill(parts.begin() + static_cast<std::ptrdiff_t>(r * row + written),
                parts.begin() + static_cast<std::ptrdiff_t>((r + 1) * row), std::uint8_t{0});
    }
    ASSERT_EQ(parts, whole) << "trial " << trial << ", rows of " << row << ", windows of " << window;
  }
}

TEST(SGIRLEDecoder, EightBitPacketsStopAtTheEndMarker) {
  TSGIRLEDecoder decoder(8);
  EXPECT_EQ(DecodeWith(decoder, {0x83, 'A', 'B', 'C', 0x02, 'D', 0x00, 0x05, 'E'}, 8).out,
            WithGuard({'A', 'B', 'C', 'D', 'D', kGuard, kGuard, kGuard}));
  // Without an end marker the source end stops it, also inside a copy.
  EXPECT_EQ(DecodeWith(decoder, {0x02, 'X', 0x84, 'A', 'B'}, 6).out, WithGuard({'X', 'X', 'A', 'B', kGuard, kGuard}));
  // A run or copy longer than the row is cut at the row.
  EXPECT_EQ(DecodeWith(decoder, {0x7F, 'R', 0x00}, 3).out, WithGuard({'R', 'R', 'R'}));
  EXPECT_EQ(DecodeWith(decoder, {0x84, 1, 2, 3, 4, 0x00}, 2).out, WithGuard({1, 2}));
}

TEST(SGIRLEDecoder, SixteenBitUnitsKeepTheFileByteOrder) {
  TSGIRLEDecoder decoder(16);
  const Bytes packed = {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x03, 0xAB, 0xCD, 0x00, 0x00, 0x00, 0x01};
  EXPECT_EQ(DecodeWith(decoder, packed, 12).out,
            WithGuard({0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD, 0xAB, 0xCD, 0xAB, 0xCD, kGuard, kGuard}));
  // Room for three words only.
  EXPECT_EQ(DecodeWith(decoder, packed, 6).out, WithGuard({0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD}));
  // A copy cut by the source end, and an odd trailing byte that makes no word.
  EXPECT_EQ(DecodeWith(decoder, {0x00, 0x83, 0x01, 0x02, 0x03}, 6).out, WithGuard({0x01, 0x02, kGuard, kGuard, kGuard, kGuard}));
}

TEST(CUTRLEDecoder, SkipsTheCountAndLeavesSourcePastTheMarker) {
  TCUTRLEDecoder decoder;
  // Two rows in one buffer; the leading count bytes are ignored whatever they hold.
  const Bytes rows = {0xFF, 0xFF, 0x83, 0xAA, 0x02, 'B', 'C', 0x00, 0x12, 0x34, 0x81, 'Z', 0x00};
  Decoded first = DecodeWith(decoder, rows, 13, 5, 5);
  EXPECT_EQ(first.out, WithGuard({0xAA, 0xAA, 0xAA, 'B', 'C'}));
  EXPECT_EQ(first.consumed, 8);

  const Bytes second(rows.begin() + 8, rows.end());
  Decoded next = DecodeWith(decoder, second, 5, 1, 1);
  EXPECT_EQ(next.out, WithGuard({'Z'}));
  EXPECT_EQ(next.consumed, 5);
}

TEST(CUTRLEDecoder, BoundedWithoutAnEndMarker) {
  TCUTRLEDecoder decoder;
  // No marker: the source end stops it.
  Decoded open = DecodeWith(decoder, {0, 0, 0x03, 'A'}, 4, 8, 8);
  EXPECT_EQ(open.out, WithGuard({'A', kGuard, kGuard, kGuard, kGuard, kGuard, kGuard, kGuard}));
  EXPECT_EQ(open.consumed, 4);
  // A run and a copy longer than the row: cut at the row, and Source still reaches the marker.
  Decoded over = DecodeWith(decoder, {0, 0, 0x85, 'R', 0x03, 1, 2, 3, 0x00}, 9, 3, 3);
  EXPECT_EQ(over.out, WithGuard({'R', 'R', 'R'}));
  EXPECT_EQ(over.consumed, 9);
  Decoded tiny = DecodeWith(decoder, {0x05}, 1, 3, 3);
  EXPECT_EQ(tiny.out, Bytes(11, kGuard));
  EXPECT_EQ(tiny.consumed, 1);
}

TEST(PSPRLEDecoder, DescribedPacketsAndBounds) {
  TPSPRLEDecoder decoder;
  EXPECT_EQ(DecodeWith(decoder, {0x82, 0x11}, 2).out, WithGuard({0x11, 0x11}));
  EXPECT_EQ(DecodeWith(decoder, {0x80, 0x11, 0x01, 0x22}, 1).out, WithGuard({0x22}));
  EXPECT_EQ(DecodeWith(decoder, {0x05, 'A', 'B'}, 5).out, WithGuard({'A', 'B', kGuard, kGuard, kGuard}));
  EXPECT_EQ(DecodeWith(decoder, {0xFF, 0x33}, 3).out, WithGuard({0x33, 0x33, 0x33}));
  EXPECT_EQ(DecodeWith(decoder, {0x04, 1, 2, 3, 4}, 2).out, WithGuard({1, 2}));
}

TEST(RLADecoder, DescribedPacketsAndBounds) {
  TRLADecoder decoder;
  EXPECT_EQ(DecodeWith(decoder, {0xFE, 'A', 'B'}, 2).out, WithGuard({'A', 'B'}));
  EXPECT_EQ(DecodeWith(decoder, {0x01, 'C'}, 2).out, WithGuard({'C', 'C'}));
  EXPECT_EQ(DecodeWith(decoder, {0x7F, 'C'}, 4).out, WithGuard({'C', 'C', 'C', 'C'}));
  EXPECT_EQ(DecodeWith(decoder, {0xFB, 'A'}, 5).out, WithGuard({'A', kGuard, kGuard, kGuard, kGuard}));
  EXPECT_EQ(DecodeWith(decoder, {0x80, 1, 2, 3}, 2).out, WithGuard({1, 2}));
  EXPECT_EQ(DecodeWith(decoder, {0x05}, 3).out, Bytes(11, kGuard));
}

}  // namespace
}  // namespace vumo
