// What only the Khronos containers have: their images stored level by level yet numbered as
// DDS numbers them, both byte orders, the descriptor's transfer curve, supercompressed levels,
// and every size field of the header checked against the file. Pixels of each kind are held
// to references by tests/data/ktx/read.tsv.
#include "formats/ktx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/dds.h"
#include "formats/messages.h"
#include "formats/pkm.h"
#include "pixels/messages.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

Bytes Data(const std::string& name) { return ReadFile(Fixture(name)); }

template <typename Reader>
Reader LoadImage(const Bytes& bytes, unsigned index) {
  Reader reader;
  reader.RequestImage(index);
  test::LoadInto(reader, bytes);
  return reader;
}

template <typename Reader>
std::string LoadError(const Bytes& bytes, unsigned index = 0) {
  const std::string error = test::ImageLoadErrorWith<Reader>(bytes, index);
  return error.empty() ? "loaded" : error;
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t v) { test::PutLittleEndian32(bytes, at, v); }
std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
         std::uint32_t{bytes[at + 3]} << 24;
}
template <typename Reader>
bool Sniffs(const Bytes& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  return Reader::CanLoad(stream);
}
void Put64(Bytes& bytes, std::size_t at, std::uint64_t v) {
  Put32(bytes, at, static_cast<std::uint32_t>(v));
  Put32(bytes, at + 4, static_cast<std::uint32_t>(v >> 32));
}

// Every image of a Khronos file against the same image of the DDS file holding the same
// pixels in DDS's order: the same count, sizes, captions and bytes, floats included.
template <typename Reader>
void ExpectSameImagesAsDDS(const std::string& name, const std::string& dds) {
  const Bytes ours = Data(name), theirs = Data(dds);
  const unsigned count = LoadImage<TDDSGraphic>(theirs, 0).Images().Count;
  ASSERT_EQ(count, LoadImage<Reader>(ours, 0).Images().Count) << name;
  for (unsigned i = 0; i < count; ++i) {
    const Reader k = LoadImage<Reader>(ours, i);
    const TDDSGraphic d = LoadImage<TDDSGraphic>(theirs, i);
    ASSERT_EQ(d.Width(), k.Width()) << name << " image " << i;
    ASSERT_EQ(d.Height(), k.Height()) << name << " image " << i;
    EXPECT_EQ(d.Images().Caption, k.Images().Caption) << name << " image " << i;
    EXPECT_EQ(d.AlphaChannel(), k.AlphaChannel()) << name << " image " << i;
    for (int y = 0; y < d.Height(); ++y)
      ASSERT_EQ(0, std::memcmp(d.ScanLine(y), k.ScanLine(y), 4 * static_cast<std::size_t>(d.Width())))
          << name << " image " << i << " row " << y;
  }
  EXPECT_EQ(FormatMessage(kNoSuchImage, count + 1), LoadError<Reader>(ours, count));
}

TEST(KTX, ImagesAreNumberedAsDDSNumbersThem) {
  // Stored level by level, the images still step layer, face, level, slice; the cube's six
  // faces make a cross after them.
  ExpectSameImagesAsDDS<TKTXGraphic>("ktx/cube_bgra.ktx", "dds/cube.dds");
  ExpectSameImagesAsDDS<TKTXGraphic>("ktx/array_bc1.ktx", "dds/array_bc1.dds");
  ExpectSameImagesAsDDS<TKTX2Graphic>("ktx/cube_bgra_zstd.ktx2", "dds/cube.dds");
  ExpectSameImagesAsDDS<TKTX2Graphic>("ktx/array_bc1.ktx2", "dds/array_bc1.dds");
  ExpectSameImagesAsDDS<TKTX2Graphic>("ktx/volume_r8.ktx2", "dds/volume_l8.dds");
}

TEST(KTX, BothByteOrdersReadAlike) {
  const TKTXGraphic little = LoadImage<TKTXGraphic>(Data("ktx/bc7.ktx"), 0);
  const TKTXGraphic big = LoadImage<TKTXGraphic>(Data("ktx/bc7_big_endian.ktx"), 0);
  ASSERT_EQ(8, big.Width());
  for (int y = 0; y < 4; ++y) EXPECT_EQ(0, std::memcmp(little.ScanLine(y), big.ScanLine(y), 32));
  EXPECT_EQ("BC7", big.FormatDescription());

  // A big-endian half float picture keeps its samples once their bytes are swapped back.
  const TKTXGraphic half = LoadImage<TKTXGraphic>(Data("ktx/rgba16f_big_endian.ktx"), 0);
  const TDDSGraphic same = LoadImage<TDDSGraphic>(Data("dds/rgba16f.dds"), 0);
  ASSERT_NE(nullptr, half.FloatPixels());
  EXPECT_EQ(same.FloatPixels()->RGBA, half.FloatPixels()->RGBA);
  EXPECT_EQ("RGBA16F", half.FormatDescription());

  // Neither order: no KTX file.
  Bytes bytes = Data("ktx/bc7.ktx");
  Put32(bytes, 12, 0x01020403);
  EXPECT_EQ(FormatMessage(gesInvalidImage, gesKTX), LoadError<TKTXGraphic>(bytes));
}

TEST(KTX, KeyValueDataAndLevelSizesAreCheckedAgainstTheFile) {
  const Bytes good = Data("ktx/bc7.ktx");
  const std::string invalid = FormatMessage(gesInvalidImage, gesKTX);
  // bc7.ktx: 64-byte header, 56 bytes of key/value data (two entries), then the level.
  Bytes bytes = good;
  Put32(bytes, 64, 53);  // the first entry runs past the block
  EXPECT_EQ(invalid, LoadError<TKTXGraphic>(bytes));
  bytes = good;
  Put32(bytes, 60, 1000);  // the block runs past the file
  EXPECT_EQ(FormatMessage(kStreamReadError), LoadError<TKTXGraphic>(bytes));
  bytes = good;
  Put32(bytes, 120, 16);  // the level's size is less than its two blocks
  EXPECT_EQ(invalid, LoadError<TKTXGraphic>(bytes));
  bytes = good;
  Put32(bytes, 28, 0x1234);  // an internal format of no one's, named by its number
  EXPECT_EQ(FormatMessage(gesUnsupportedFeature, FormatMessage(gesKTXFormat, "0x1234").c_str(), gesKTX),
            LoadError<TKTXGraphic>(bytes));
  bytes = good;
  Put32(bytes, 52, 3);  // three faces
  EXPECT_EQ(invalid, LoadError<TKTXGraphic>(bytes));
  // A cut level is no image.
  bytes = good;
  bytes.resize(bytes.size() - 1);
  EXPECT_EQ(FormatMessage(kStreamReadError), LoadError<TKTXGraphic>(bytes));
}

TEST(KTX2, TheDescriptorsTransferCurveSaysSRGB) {
  const TKTX2Graphic linear = LoadImage<TKTX2Graphic>(Data("ktx/bc7.ktx2"), 0);
  const TKTX2Graphic srgb = LoadImage<TKTX2Graphic>(Data("ktx/bc7_srgb_transfer.ktx2"), 0);
  EXPECT_EQ("BC7", linear.FormatDescription());
  EXPECT_EQ("BC7 sRGB", srgb.FormatDescription());
  for (int y = 0; y < 4; ++y) EXPECT_EQ(0, std::memcmp(linear.ScanLine(y), srgb.ScanLine(y), 32));
  // A descriptor whose total size disagrees with the index is refused.
  Bytes bytes = Data("ktx/bc7.ktx2");
  const std::uint32_t dfd = Get32(bytes, 48);
  Put32(bytes, dfd, 12);
  EXPECT_EQ(FormatMessage(gesInvalidImage, gesKTX2), LoadError<TKTX2Graphic>(bytes));
}

TEST(KTX2, SupercompressedLevelsInflateToTheirStatedSize) {
  const TKTX2Graphic zstd = LoadImage<TKTX2Graphic>(Data("ktx/bc6h_zstd.ktx2"), 0);
  EXPECT_EQ(TKTX2Graphic::scZstd, zstd.Supercompression());
  ASSERT_NE(nullptr, zstd.FloatPixels());
  EXPECT_EQ(LoadImage<TDDSGraphic>(Data("dds/bc6h.dds"), 0).FloatPixels()->RGBA, zstd.FloatPixels()->RGBA);
  EXPECT_EQ(TKTX2Graphic::scZlib, LoadImage<TKTX2Graphic>(Data("ktx/r8g8b8a8_zlib.ktx2"), 0).Supercompression());

  const std::string damaged = FormatMessage(gesKTXInflate, gesKTX2);
  for (const char* name : {"ktx/bc6h_zstd.ktx2", "ktx/r8g8b8a8_zlib.ktx2"}) {
    const Bytes good = Data(name);
    // The level's packed bytes one short: the stream ends inside them.
    Bytes bytes = good;
    Put64(bytes, 88, Get32(bytes, 88) - 1);
    EXPECT_EQ(damaged, LoadError<TKTX2Graphic>(bytes)) << name;
    // Packed bytes that are not a stream of the scheme.
    bytes = good;
    const std::uint32_t at = Get32(bytes, 80);
    for (std::uint32_t i = 0; i < 4; ++i) bytes[at + i] ^= 0x5A;
    EXPECT_EQ(damaged, LoadError<TKTX2Graphic>(bytes)) << name;
    // An inflated size other than the level's images is a broken index.
    bytes = good;
    Put64(bytes, 96, Get32(bytes, 96) + 16);
    EXPECT_EQ(FormatMessage(gesInvalidImage, gesKTX2), LoadError<TKTX2Graphic>(bytes)) << name;
    // No packed bytes at all (found by the fuzzer, which read them into no buffer).
    bytes = good;
    Put64(bytes, 88, 0);
    EXPECT_EQ(damaged, LoadError<TKTX2Graphic>(bytes)) << name;
  }
  EXPECT_NE("", LoadError<TKTX2Graphic>(Data("crashers/ktx2_zstd_level_of_no_bytes")));
}

TEST(KTX2, EveryLayerOfAnInflatedLevelIsAnImage) {
  const Bytes bytes = Data("ktx/layers_zstd.ktx2");
  const TKTX2Graphic first = LoadImage<TKTX2Graphic>(bytes, 0);
  EXPECT_EQ(65536u, first.Images().Count);
  EXPECT_EQ(0x40, first.ScanLine(0)[0]);
  const TKTX2Graphic last = LoadImage<TKTX2Graphic>(bytes, 65535);
  EXPECT_EQ("layer 65536/65536", last.Images().Caption);
  EXPECT_EQ(0xFF, last.ScanLine(0)[0]);
}

TEST(KTX2, ALevelThatWouldInflateFarBeyondItsBytesIsRefusedFirst) {
  // 32768 x 32768 BC6H is a 1 GiB level; its index says so, from 73 packed bytes.
  Bytes bytes = Data("ktx/bc6h_zstd.ktx2");
  Put32(bytes, 20, 32768);
  Put32(bytes, 24, 32768);
  Put64(bytes, 96, std::uint64_t{32768} * 32768);
  EXPECT_EQ(FormatMessage(kImageTooLarge, 32768u, 32768u), LoadError<TKTX2Graphic>(bytes));
}

TEST(KTX2, LevelIndexEntriesAreCheckedAgainstTheFile) {
  const Bytes good = Data("ktx/bc7.ktx2");
  Bytes bytes = good;
  Put64(bytes, 80, std::uint64_t{1} << 40);  // a level far past the end: no image
  EXPECT_EQ(FormatMessage(kStreamReadError), LoadError<TKTX2Graphic>(bytes));
  bytes = good;
  Put64(bytes, 88, 16);  // fewer bytes than the level's two blocks
  EXPECT_EQ(FormatMessage(gesInvalidImage, gesKTX2), LoadError<TKTX2Graphic>(bytes));
  bytes = good;
  Put32(bytes, 40, 33);  // more levels than sides can halve, and an index past the file
  EXPECT_EQ(FormatMessage(gesInvalidImage, gesKTX2), LoadError<TKTX2Graphic>(bytes));
  bytes = good;
  Put32(bytes, 44, 9);  // a supercompression scheme of no one's
  EXPECT_EQ(FormatMessage(gesUnsupportedFeature, FormatMessage(gesKTXSupercompression, "9").c_str(), gesKTX2),
            LoadError<TKTX2Graphic>(bytes));
  bytes = good;
  Put32(bytes, 12, 1000);  // a format number of no one's
  EXPECT_EQ(FormatMessage(gesUnsupportedFeature, FormatMessage(gesKTXFormat, "VkFormat 1000").c_str(), gesKTX2),
            LoadError<TKTX2Graphic>(bytes));
}

// A KTX file of one level holding a PKM file's blocks under the OpenGL format `internalFormat`.
Bytes KTXOfPKM(const Bytes& pkm, std::uint32_t internalFormat) {
  const std::uint8_t identifier[12] = {0xAB, 'K', 'T', 'X', ' ', '1', '1', 0xBB, '\r', '\n', 0x1A, '\n'};
  Bytes bytes(identifier, identifier + 12);
  bytes.resize(68);
  Put32(bytes, 12, 0x04030201);
  Put32(bytes, 20, 1);  // type size; type and format stay 0 for compressed data
  Put32(bytes, 28, internalFormat);
  Put32(bytes, 36, std::uint32_t{pkm[12]} << 8 | pkm[13]);
  Put32(bytes, 40, std::uint32_t{pkm[14]} << 8 | pkm[15]);
  Put32(bytes, 52, 1);  // faces
  Put32(bytes, 56, 1);  // levels
  Put32(bytes, 64, static_cast<std::uint32_t>(pkm.size() - 16));
  bytes.insert(bytes.end(), pkm.begin() + 16, pkm.end());
  return bytes;
}

TEST(KTX, ETCBlocksDecodeThroughTheContainer) {
  // etc1tool's ETC1 encoding, 30 x 22, against etc1tool's own decode.
  TKTXGraphic etc1;
  const test::Rgba8Image image = test::DecodeWith(KTXOfPKM(Data("pkm/etc1.pkm"), 0x8D64), &etc1);
  const test::Rgba8Image reference = test::LoadReferencePng(Fixture("pkm/etc1_etc1tool.png"));
  ASSERT_EQ(reference.width, image.width);
  ASSERT_EQ(reference.height, image.height);
  EXPECT_EQ(reference.pixels, image.pixels);
  EXPECT_EQ("ETC1", etc1.FormatDescription());
  // ETC2 RGBA (GL_COMPRESSED_RGBA8_ETC2_EAC) shows what the PKM reader shows of the same blocks.
  const Bytes pkm = Data("pkm/etc2_rgba.pkm");
  TKTXGraphic rgba;
  EXPECT_EQ(test::DecodeWith<TPKMGraphic>(pkm).pixels, test::DecodeWith(KTXOfPKM(pkm, 0x9278), &rgba).pixels);
  EXPECT_EQ("ETC2 RGBA", rgba.FormatDescription());
  EXPECT_TRUE(rgba.ImageProperties.HasAlpha);
}

TEST(KTX, EachVersionKnowsOnlyItsOwnIdentifier) {
  EXPECT_TRUE(Sniffs<TKTXGraphic>(Data("ktx/bc7.ktx")));
  EXPECT_FALSE(Sniffs<TKTXGraphic>(Data("ktx/bc7.ktx2")));
  EXPECT_TRUE(Sniffs<TKTX2Graphic>(Data("ktx/bc7.ktx2")));
  EXPECT_FALSE(Sniffs<TKTX2Graphic>(Data("ktx/bc7.ktx")));
}

}  // namespace
}  // namespace vumo
