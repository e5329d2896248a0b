#include "pixels/lz77_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace vumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + i / 97) & 0xFF);
  return b;
}

Bytes Compress(const Bytes& plain) {
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, plain.data(), static_cast<uLong>(plain.size()), 6), Z_OK);
  out.resize(size);
  return out;
}

// Feeds the stream in pieces of `piece` bytes, as PNG hands over one chunk after another.
Bytes InflateInPieces(const Bytes& packed, std::size_t piece, std::size_t room, int* result) {
  TLZ77Decoder decoder(kFlushPartial, false);
  decoder.DecodeInit();
  Bytes out(room);
  std::uint8_t* dest = out.data();
  for (std::size_t at = 0; at < packed.size(); at += piece) {
    const std::uint8_t* source = packed.data() + at;
    const auto size = static_cast<std::int32_t>(std::min(piece, packed.size() - at));
    decoder.Decode(source, dest, size, static_cast<std::int32_t>(out.data() + out.size() - dest));
    if (decoder.ZLibResult() != 0) break;
  }
  *result = decoder.ZLibResult();
  decoder.DecodeEnd();
  out.resize(static_cast<std::size_t>(dest - out.data()));
  return out;
}

TEST(LZ77Decoder, InflatesAStreamHandedOverInPieces) {
  const Bytes plain = Pattern(100000);
  const Bytes packed = Compress(plain);
  for (std::size_t piece : {std::size_t{1}, std::size_t{13}, std::size_t{8192}, packed.size()}) {
    int result = 0;
    EXPECT_EQ(InflateInPieces(packed, piece, plain.size(), &result), plain) << piece;
    EXPECT_EQ(result, 1) << piece;  // the end of the stream
  }
}

TEST(LZ77Decoder, StopsAtTheRoomItIsGivenAndGoesOnLater) {
  const Bytes plain = Pattern(5000);
  const Bytes packed = Compress(plain);
  TLZ77Decoder decoder(kFlushPartial, false);
  decoder.DecodeInit();
  Bytes out(plain.size());
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = out.data();
  decoder.Decode(source, dest, static_cast<std::int32_t>(packed.size()), 1000);
  EXPECT_EQ(decoder.ZLibResult(), 0);
  EXPECT_EQ(dest - out.data(), 1000);
  EXPECT_EQ(decoder.AvailableOutput(), 0u);
  EXPECT_GT(decoder.AvailableInput(), 0u);
  const auto left = static_cast<std::int32_t>(packed.data() + packed.size() - source);
  decoder.Decode(source, dest, left, static_cast<std::int32_t>(out.data() + out.size() - dest));
  EXPECT_EQ(decoder.ZLibResult(), 1);
  EXPECT_EQ(out, plain);
  // Once ended, further calls leave the pointers alone.
  const std::uint8_t* again = packed.data();
  std::uint8_t* still = out.data();
  decoder.Decode(again, still, 10, 10);
  EXPECT_EQ(again, packed.data());
  EXPECT_EQ(still, out.data());
}

TEST(LZ77Decoder, DamagedStreamsReportAnErrorAndWriteNothingPastTheRoom) {
  Bytes packed = Compress(Pattern(4000));
  packed[0] = 0x12;  // not a zlib header
  int result = 0;
  InflateInPieces(packed, packed.size(), 4000, &result);
  EXPECT_LT(result, 0);

  Bytes corrupt = Compress(Pattern(4000));
  for (std::size_t i = 10; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;
  InflateInPieces(corrupt, 64, 4000, &result);
  EXPECT_NE(result, 0);
}

TEST(LZ77Decoder, AutoResetStartsEachCallAfresh) {
  const Bytes first = Pattern(3000), second = Bytes(2000, 0x42);
  const Bytes a = Compress(first), b = Compress(second);
  TLZ77Decoder decoder(kFlushPartial, true);
  decoder.DecodeInit();
  for (const auto& [packed, plain] : {std::pair{a, first}, std::pair{b, second}, std::pair{a, first}}) {
    Bytes out(plain.size());
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = out.data();
    decoder.Decode(source, dest, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(out.size()));
    EXPECT_EQ(decoder.ZLibResult(), 1);
    EXPECT_EQ(out, plain);
  }
  decoder.DecodeEnd();
}

TEST(LZ77Decoder, OneCallInflateWantsACompleteSoundStreamOfTheExactSize) {
  const Bytes plain = Pattern(70000);
  const Bytes packed = Compress(plain);
  Bytes out(plain.size());
  EXPECT_TRUE(InflateComplete(packed, out));
  EXPECT_EQ(out, plain);
  Bytes longer(plain.size() + 1);
  EXPECT_FALSE(InflateComplete(packed, longer));
  Bytes shorter(plain.size() - 1);
  EXPECT_FALSE(InflateComplete(packed, shorter));
  const Bytes cut(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
  EXPECT_FALSE(InflateComplete(cut, out));
  EXPECT_FALSE(InflateComplete({}, out));
}

}  // namespace
}  // namespace vumo
