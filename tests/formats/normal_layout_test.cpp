// Which pictures say they are normal maps and where they keep X and Y: by the texture's own
// layout, by the DDS normal flag, by a KTX key naming normals and by the file's name.
#include "formats/normal_layout.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "formats/dds.h"
#include "formats/ktx.h"
#include "formats/picture.h"
#include "formats/pkm.h"
#include "support/test_support.h"
#include "support/texture_writer.h"

namespace vumo {
namespace {

using namespace test;
using S = TNormalLayout;

TNormalLayout Layout(S::TSlot x, S::TSlot y, bool isSigned, bool says) { return {x, y, isSigned, says}; }

template <typename Reader>
TNormalLayout LayoutOf(const Bytes& bytes) {
  Reader reader;
  LoadInto(reader, bytes);
  return reader.NormalLayout();
}

std::string Print(const TNormalLayout& n) {
  return std::to_string(n.X) + "," + std::to_string(n.Y) + (n.Signed ? " signed" : "") + (n.SaysNormals ? " says" : "");
}

Bytes Flagged(Bytes dds) {
  dds[83] |= 0x80;  // the top bit of the pixel format flags
  return dds;
}

// A 4 x 4 picture of 16-bit pixels, red and green (or U and V) bytes.
const Bytes kRG8(32, 0x40);

TEST(NormalLayout, TexturesSayWhereTheirTwoChannelsAre) {
  const Bytes bc5 = ReadFile(Fixture("dds/bc5.dds")), dxt5 = ReadFile(Fixture("dds/rgba_dxt5.dds"));
  Bytes rxgb = dxt5;
  std::memcpy(&rxgb[84], "RXGB", 4);
  struct Row {
    const char* what;
    TNormalLayout got, want;
  };
  for (const Row& r : {
           Row{"BC5", LayoutOf<TDDSGraphic>(bc5), Layout(S::nsRed, S::nsGreen, false, false)},
           Row{"BC5 flagged", LayoutOf<TDDSGraphic>(Flagged(bc5)), Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"DXT5", LayoutOf<TDDSGraphic>(dxt5), Layout(S::nsNone, S::nsNone, false, false)},
           Row{"DXT5nm", LayoutOf<TDDSGraphic>(Flagged(dxt5)), Layout(S::nsAlpha, S::nsGreen, false, true)},
           Row{"RXGB", LayoutOf<TDDSGraphic>(rxgb), Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"R8G8", LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSRGBFlag, 0, 16, {0xFF, 0xFF00, 0, 0}, kRG8)),
               Layout(S::nsRed, S::nsGreen, false, false)},
           Row{"R8G8 flagged", LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSRGBFlag | kDDSNormalFlag, 0, 16, {0xFF, 0xFF00, 0, 0}, kRG8)),
               Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"A8L8", LayoutOf<TDDSGraphic>(ReadFile(Fixture("dds/a8l8.dds"))), Layout(S::nsRed, S::nsAlpha, false, false)},
           Row{"R8G8 signed", LayoutOf<TDDSGraphic>(DX10File(4, 4, 51, kRG8)), Layout(S::nsRed, S::nsGreen, true, false)},
           Row{"R16G16 flagged DX10", LayoutOf<TDDSGraphic>(DX10File(4, 4, 35, Bytes(64, 0x80), kDDSFourCCFlag | kDDSNormalFlag)),
               Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"V8U8", LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSFourCCFlag, 60, 0, {0, 0, 0, 0}, kRG8)),
               Layout(S::nsRed, S::nsGreen, true, false)},
           Row{"RGBA8", LayoutOf<TDDSGraphic>(ReadFile(Fixture("dds/rgba_none.dds"))), Layout(S::nsNone, S::nsNone, false, false)},
           Row{"BC6H flagged", LayoutOf<TDDSGraphic>(Flagged(ReadFile(Fixture("dds/bc6h.dds")))),
               Layout(S::nsNone, S::nsNone, false, true)},
           Row{"EAC RG11", LayoutOf<TPKMGraphic>(ReadFile(Fixture("pkm/rg11.pkm"))), Layout(S::nsRed, S::nsGreen, false, false)},
           Row{"EAC RG11 signed", LayoutOf<TPKMGraphic>(ReadFile(Fixture("pkm/rg11_signed.pkm"))),
               Layout(S::nsRed, S::nsGreen, true, false)},
           Row{"EAC R11", LayoutOf<TPKMGraphic>(ReadFile(Fixture("pkm/r11.pkm"))), Layout(S::nsNone, S::nsNone, false, false)},
       })
    EXPECT_EQ(Print(r.got), Print(r.want)) << r.what;
}

TEST(NormalLayout, KTXKeysNamingNormalsSaySo) {
  struct Row {
    KeyValues entries;
    bool says;
  };
  for (const Row& r : {Row{{}, false}, Row{{{"KTXorientation", "rd"}, {"KTXwriter", "a tool"}}, false},
                       Row{{{"KTXwriter", "a tool"}, {"NormalMap", "1"}}, true},
                       Row{{{"KTXwriterScParams", "--encode uastc --NORMAL_mode"}}, true}}) {
    const TNormalLayout one = LayoutOf<TKTXGraphic>(KTXFile(0x822B, 4, 4, r.entries, kRG8));  // GL_RG8
    EXPECT_EQ(Print(one), Print(Layout(S::nsRed, S::nsGreen, false, r.says)));
    const TNormalLayout two = LayoutOf<TKTX2Graphic>(KTX2File(17, 4, 4, r.entries, kRG8));  // R8G8 signed
    EXPECT_EQ(Print(two), Print(Layout(S::nsRed, S::nsGreen, true, r.says)));
  }
  // A key/value block that ends inside an entry is refused, not read past.
  Bytes cut = KTXFile(0x822B, 4, 4, {{"NormalMap", "1"}}, kRG8);
  PutLittleEndian32(cut, 64, 1000);
  EXPECT_NE(LoadErrorWith<TKTXGraphic>(cut), "");
}

TEST(NormalLayout, SignedRedGreenIsShownAsTheSignedBlocksAre) {
  // -128 and -127 are both -1 (0), 0 is the middle (128), 127 is 1 (255), in 8 and 16 bits.
  const Bytes eight = {0x80, 0x81, 0x00, 0x7F, 0x40, 0xC0, 0, 0};
  TDDSGraphic dds;
  LoadInto(dds, DX10File(4, 1, 51, eight));
  const std::uint8_t* p = dds.ScanLine(0);  // B, G, R, A
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[6], 128);
  EXPECT_EQ(p[5], 255);
  // 64 / 127 and -64 / 127 halfway between the middle and the ends: (x + 1) / 2 * 255, rounded.
  EXPECT_EQ(p[10], 192);
  EXPECT_EQ(p[9], 63);
  const Bytes sixteen = {0x00, 0x80, 0x01, 0x80, 0x00, 0x00, 0xFF, 0x7F};
  LoadInto(dds, DX10File(2, 1, 37, sixteen));
  p = dds.ScanLine(0);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[6], 128);
  EXPECT_EQ(p[5], 255);
  EXPECT_EQ("R16G16 signed", dds.FormatDescription());
}

TEST(NormalLayout, NamesEndingInANormalSuffixSaySo) {
  struct Row {
    const char* name;
    bool says;
  };
  for (const Row& r : {Row{"brick_n.png", true}, Row{"brick_N.DDS", true}, Row{"/a/b/rock_nrm.tga", true},
                       Row{"rock_Normal.ktx2", true}, Row{"rock_normal", true}, Row{"a.b_n.png", true},
                       Row{"brick.png", false}, Row{"brick_nr.png", false}, Row{"brickn.png", false},
                       Row{"_n.png", false}, Row{"rock_normals.png", false}, Row{"rock_n/brick.png", false},
                       Row{"brick_n.png.bak", false}, Row{"my_normal_brick.png", false}})
    EXPECT_EQ(FileNameSaysNormals(r.name), r.says) << r.name;
}

// Loads bytes saved under `name` through the picture, as the viewer loads a file.
TNormalLayout LayoutThroughPicture(const Bytes& bytes, const std::string& name) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  TPicture picture;
  picture.LoadFromFile(path);
  return picture.Graphic()->NormalLayout();
}

TEST(NormalLayout, ANameThatSaysNormalsPicksChannelsForAnyPicture) {
  const Bytes bc5 = ReadFile(Fixture("dds/bc5.dds")), dxt5 = ReadFile(Fixture("dds/rgba_dxt5.dds"));
  // DXT5nm's habit: red one value throughout, X in alpha.
  Bytes dxt5nm = dxt5;
  for (std::size_t at = 128; at + 16 <= dxt5nm.size(); at += 16) {
    PutLittleEndian16(dxt5nm, at + 8, 0xF800);
    PutLittleEndian16(dxt5nm, at + 10, 0xF800);
    PutLittleEndian32(dxt5nm, at + 12, 0);
    dxt5nm[at] = static_cast<std::uint8_t>(at);  // alpha endpoints that vary block to block
    dxt5nm[at + 1] = static_cast<std::uint8_t>(at >> 2);
  }
  struct Row {
    const char* what;
    TNormalLayout got, want;
  };
  for (const Row& r : {
           Row{"BC5 named", LayoutThroughPicture(bc5, "ground_n.dds"), Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"BC5 unnamed", LayoutThroughPicture(bc5, "ground.dds"), Layout(S::nsRed, S::nsGreen, false, false)},
           Row{"DXT5 colour named", LayoutThroughPicture(dxt5, "wall_nrm.dds"), Layout(S::nsRed, S::nsGreen, false, true)},
           Row{"DXT5nm named", LayoutThroughPicture(dxt5nm, "wall_Normal.dds"), Layout(S::nsAlpha, S::nsGreen, false, true)},
           Row{"grey and alpha named", LayoutThroughPicture(ReadFile(Fixture("pngsuite/basn4a08.png")), "moss_n.png"),
               Layout(S::nsRed, S::nsAlpha, false, true)},
           Row{"grey and alpha unnamed", LayoutThroughPicture(ReadFile(Fixture("pngsuite/basn4a08.png")), "moss.png"),
               Layout(S::nsNone, S::nsNone, false, false)},
           Row{"colour named", LayoutThroughPicture(ReadFile(Fixture("pngsuite/basn2c08.png")), "moss_n.png"),
               Layout(S::nsRed, S::nsGreen, false, true)},
       })
    EXPECT_EQ(Print(r.got), Print(r.want)) << r.what;
}

}  // namespace
}  // namespace vumo
