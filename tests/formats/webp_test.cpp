// What the WebP manifests cannot show: an animation's later frames, and files cut short or
// damaged inside their bitstream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/messages.h"
#include "formats/webp.h"
#include "support/test_support.h"

namespace vumo {
namespace {

using namespace test;

TEST(WebPGraphic, AnAnimationsFramesAreTheFilesImages) {
  const Bytes file = ReadFile(Fixture("webp/animated.webp"));
  for (unsigned index = 0; index < 3; ++index) {
    TWebPGraphic webp;
    webp.RequestImage(index);
    const auto image = DecodeWith(file, &webp);
    EXPECT_EQ(webp.Images(), (TImageSet{3, index, "frame " + std::to_string(index + 1) + "/3"}));
    const auto d = Compare(image, LoadReferencePng(Fixture("webp/frame" + std::to_string(index) + ".png")));
    EXPECT_TRUE(d.sameSize);
    EXPECT_EQ(d.pixelsOff, 0u) << index;
  }
  TWebPGraphic beyond;
  beyond.RequestImage(3);
  TMemoryStream stream(file.data(), file.size());
  EXPECT_THROW(beyond.LoadFromStream(stream), EInvalidGraphic);
  // A still picture is one image.
  TWebPGraphic still;
  DecodeWith(ReadFile(Fixture("webp/lossless_alpha.webp")), &still);
  EXPECT_EQ(still.Images(), (TImageSet{1, 0, ""}));
  EXPECT_TRUE(still.AlphaChannel());
  EXPECT_EQ(still.FormatDescription(), "WebP lossless, alpha");
}

TEST(WebPGraphic, DamagedFilesFailCleanly) {
  for (const char* name : {"webp/lossy.webp", "webp/lossless_alpha.webp", "webp/animated.webp"}) {
    const Bytes file = ReadFile(Fixture(name));
    EXPECT_EQ(LoadErrorWith<TWebPGraphic>(Bytes(file.begin(), file.end() - 10)), kStreamReadError) << name;
    Bytes scrambled = file;
    for (std::size_t i = 40; i < scrambled.size(); ++i) scrambled[i] = static_cast<std::uint8_t>(scrambled[i] * 7 + 3);
    const std::string error = LoadErrorWith<TWebPGraphic>(scrambled);
    EXPECT_TRUE(error.empty() || error == "Cannot load image. Invalid or unexpected WebP image format.") << name << ": " << error;
  }
  // An animation's canvas is checked before the demuxer allocates it (found by fuzzing: a
  // 4194320 x 253 canvas in 230 bytes).
  const std::string huge = LoadErrorWith<TWebPGraphic>(ReadFile(Fixture("crashers/webp_animation_canvas_of_a_gigapixel")));
  EXPECT_NE(huge.find("too large"), std::string::npos) << huge;
  EXPECT_EQ(LoadErrorWith<TWebPGraphic>(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P', 0, 0}),
            "Cannot load image. Invalid or unexpected WebP image format.");
}

}  // namespace
}  // namespace vumo
