// Which pictures say they are normal maps and where they keep X and Y: by the texture's own
// layout, by the DDS normal flag, by a KTX key naming normals and by the file's name.
#include "formats/normal_layout.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <fstream>

#include "formats/dds.h"
#include "formats/ktx.h"
#include "formats/picture.h"
#include "formats/pkm.h"
#include "support/texture_writer.h"

namespace vumo {
namespace {

using namespace test;
using S = TNormalLayout;

template <typename Reader>
TNormalLayout LayoutOf(const Bytes& bytes) {
  return LoadWith<Reader>(bytes).NormalLayout();
}

// Loads bytes saved under `name` through the picture, as the viewer loads a file.
TNormalLayout LayoutOf(const Bytes& bytes, const std::string& name) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  TPicture picture;
  picture.LoadFromFile(path);
  return picture.Graphic()->NormalLayout();
}

std::string Print(const TNormalLayout& n) {
  return std::to_string(n.X) + "," + std::to_string(n.Y) + (n.Signed ? " signed" : "") + (n.SaysNormals ? " says" : "");
}

Bytes Flagged(Bytes dds) {
  dds[83] |= 0x80;  // the top bit of the pixel format flags
  return dds;
}

// The fixtures' "vumo fixtures" writer key, its value made to name normals.
Bytes NormalWriter(Bytes ktx) {
  const std::string from = "vumo fixtures", to = "vumo NORMALS!";
  auto at = std::search(ktx.begin(), ktx.end(), from.begin(), from.end());
  EXPECT_NE(at, ktx.end());
  std::copy(to.begin(), to.end(), at);
  return ktx;
}

TEST(NormalLayout, TexturesSayWhereTheirTwoChannelsAreAndWhetherTheyHoldNormals) {
  const Bytes bc5 = ReadFile(Fixture("dds/bc5.dds")), dxt5 = ReadFile(Fixture("dds/rgba_dxt5.dds"));
  const Bytes greyAlpha = ReadFile(Fixture("pngsuite/basn4a08.png"));
  const Bytes rg8(32, 0x40), bc7 = ReadFile(Fixture("ktx/bc7.ktx")), bc7two = ReadFile(Fixture("ktx/bc7.ktx2"));
  Bytes rxgb = dxt5;
  std::memcpy(&rxgb[84], "RXGB", 4);
  const char* const none = "0,0";
  for (auto [what, got, want] : {
           std::tuple{"BC5", LayoutOf<TDDSGraphic>(bc5), "1,2"},
           {"BC5 flagged", LayoutOf<TDDSGraphic>(Flagged(bc5)), "1,2 says"},
           {"DXT5", LayoutOf<TDDSGraphic>(dxt5), none},
           {"DXT5nm", LayoutOf<TDDSGraphic>(Flagged(dxt5)), "4,2 says"},
           {"RXGB", LayoutOf<TDDSGraphic>(rxgb), "1,2 says"},
           {"R8G8", LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSRGBFlag, "", 16, {0xFF, 0xFF00, 0, 0}, rg8)), "1,2"},
           {"A8L8", LayoutOf<TDDSGraphic>(ReadFile(Fixture("dds/a8l8.dds"))), "1,4"},
           {"R8G8 signed", LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSFourCCFlag, "DX10", 0, {}, rg8, 51)), "1,2 signed"},
           {"R16G16 flagged",
            LayoutOf<TDDSGraphic>(DDSFile(4, 4, kDDSFourCCFlag | kDDSNormalFlag, "DX10", 0, {}, Bytes(64), 35)),
            "1,2 says"},
           {"RGBA8", LayoutOf<TDDSGraphic>(ReadFile(Fixture("dds/rgba_none.dds"))), none},
           {"BC6H flagged: floats are not offered", LayoutOf<TDDSGraphic>(Flagged(ReadFile(Fixture("dds/bc6h.dds")))),
            "0,0 says"},
           {"EAC RG11", LayoutOf<TPKMGraphic>(ReadFile(Fixture("pkm/rg11.pkm"))), "1,2"},
           {"EAC RG11 signed", LayoutOf<TPKMGraphic>(ReadFile(Fixture("pkm/rg11_signed.pkm"))), "1,2 signed"},
           {"KTX", LayoutOf<TKTXGraphic>(bc7), none},
           {"KTX naming normals", LayoutOf<TKTXGraphic>(NormalWriter(bc7)), "1,2 says"},
           {"KTX2 naming normals", LayoutOf<TKTX2Graphic>(NormalWriter(bc7two)), "1,2 says"},
           {"BC5 named", LayoutOf(bc5, "ground_n.dds"), "1,2 says"},
           {"DXT5 colours named", LayoutOf(dxt5, "wall_NRM.dds"), "1,2 says"},
           {"grey and alpha named", LayoutOf(greyAlpha, "moss_Normal.png"), "1,4 says"},
           {"grey and alpha", LayoutOf(greyAlpha, "moss.png"), none},
       })
    EXPECT_EQ(Print(got), want) << what;
}

TEST(NormalLayout, ANamedPictureWhoseRedIsFlatKeepsXInAlpha) {
  // DXT5nm's habit: every colour block full red, the alpha endpoints varying block to block.
  Bytes dxt5nm = ReadFile(Fixture("dds/rgba_dxt5.dds"));
  for (std::size_t at = 128; at + 16 <= dxt5nm.size(); at += 16) {
    dxt5nm[at] = static_cast<std::uint8_t>(at);
    PutLittleEndian32(dxt5nm, at + 8, 0xF800F800);
    PutLittleEndian32(dxt5nm, at + 12, 0);
  }
  EXPECT_EQ(Print(LayoutOf(dxt5nm, "wall_n.dds")), "4,2 says");
}

TEST(NormalLayout, SignedRedGreenIsDecodedAsTheSignedBlocksAre) {
  // -128 and -127 are -1 (0), 0 the middle (128), 127 is 1 (255), 64 / 127 rounds to 192.
  const Bytes pixels = {0x80, 0x81, 0, 0x7F, 0x40, 0};
  const TDDSGraphic dds = LoadWith<TDDSGraphic>(DDSFile(3, 1, kDDSFourCCFlag, "DX10", 0, {}, pixels, 51));
  const std::uint8_t* p = dds.ScanLine(0);  // B, G, R, A
  EXPECT_EQ((std::vector<int>{p[2], p[1], p[6], p[5], p[10]}), (std::vector<int>{0, 0, 128, 255, 192}));
}

TEST(NormalLayout, NamesEndingInANormalSuffixSaySo) {
  for (auto [name, says] : {std::pair{"brick_n.png", true}, {"brick_N.DDS", true}, {"/a/b/rock_nrm.tga", true},
                            {"rock_Normal.ktx2", true}, {"rock_normal", true}, {"a.b_n.png", true},
                            {"brick.png", false}, {"brickn.png", false}, {"_n.png", false}, {"rock_normals.png", false},
                            {"rock_n/brick.png", false}, {"brick_n.png.bak", false}, {"my_normal_brick.png", false}})
    EXPECT_EQ(FileNameSaysNormals(name), says) << name;
}

}  // namespace
}  // namespace vumo
