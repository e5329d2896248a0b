// The normal-map channel as a user meets it: chosen for files that say they hold normals,
// offered for two-channel pictures, drawn from the channels each layout names, with the
// layout in the status line and the rebuilt normal in the readout.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fstream>

#include "shell/main_window.h"
#include "shell/normal_view.h"
#include "shell_test_util.h"
#include "window_fixture.h"
#include "support/test_support.h"
#include "support/texture_writer.h"

namespace vumo {
namespace {

using namespace test;

// The normal colour of stored bytes x and y, worked out in doubles apart from the kernel.
unsigned ExpectedColour(int xb, int yb) {
  double x = xb / 127.5 - 1, y = yb / 127.5 - 1;
  const double d = x * x + y * y;
  if (d > 1) x /= std::sqrt(d), y /= std::sqrt(d);
  const double z = std::sqrt(std::max(0.0, 1 - x * x - y * y));
  auto byte = [](double v) { return static_cast<unsigned>(std::lround((v * 0.5 + 0.5) * 255)); };
  return byte(x) << 16 | byte(y) << 8 | byte(z);
}

// Channels within one of each other: the kernel rounds in floats.
bool Near(unsigned a, unsigned b) {
  for (int shift : {0, 8, 16})
    if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 1) return false;
  return true;
}

// An 8 x 8 DXT5 file of four blocks, each one alpha and one green throughout, red full.
Bytes DXT5nmFile(std::uint32_t pixelFlags, const int (&alphas)[4], const int (&greens6)[4]) {
  Bytes blocks;
  for (int b = 0; b < 4; ++b) {
    blocks.insert(blocks.end(), {static_cast<std::uint8_t>(alphas[b]), static_cast<std::uint8_t>(alphas[b]), 0, 0, 0, 0, 0, 0});
    const unsigned c = 0xF800u | static_cast<unsigned>(greens6[b]) << 5;
    blocks.insert(blocks.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c),
                                 static_cast<std::uint8_t>(c >> 8), 0, 0, 0, 0});
  }
  return DDSFile(8, 8, pixelFlags, FourCCOf("DXT5"), 0, {0, 0, 0, 0}, blocks);
}

// R8G8: red 32 x, green 32 y, and (1, 1) a value whose normal reads cleanly.
Bytes RG8File() {
  Bytes pixels;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool clean = x == 1 && y == 1;
      pixels.push_back(static_cast<std::uint8_t>(clean ? 204 : 32 * x));
      pixels.push_back(static_cast<std::uint8_t>(clean ? 128 : 32 * y));
    }
  return DDSFile(8, 8, kDDSRGBFlag, 0, 16, {0xFF, 0xFF00, 0, 0}, pixels);
}

class NormalView : public TWindowTest {
 protected:
  QString Save(const Bytes& bytes, const char* name) {
    const QString path = dir_.path() + "/" + QString::fromLatin1(name);
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  void Key(Qt::KeyboardModifiers modifiers, Qt::Key key) {
    form->BrowseFiles->setFocus();
    QTest::keyClick(form->BrowseFiles, key, modifiers);
  }
  void Hover(QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), form->ViewImage->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ViewImage, &move);
  }
  QImage Shown() {
    QCoreApplication::processEvents();
    return Grab(*form->ViewImage);
  }
  TMenuItem* NormalItem() { return form->findChild<TMenuItem*>(QStringLiteral("ChannelNormalMenu")); }
  std::string ViewText() { return form->StatusBar->ViewText().toStdString(); }

  QTemporaryDir dir_;
};

TEST_F(NormalView, ABC5FileNamedAsNormalsIsDrawnAsTheNormalsOfItsReference) {
  form->LoadPicture(Save(ReadFile(Fixture("dds/bc5.dds")), "ground_n.dds"));
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  EXPECT_NE(ViewText().find("Normal map: X in R, Y in G, Z rebuilt"), std::string::npos) << ViewText();
  const QImage reference(QString::fromStdString(Fixture("dds/bc5.png")));  // Qt's own PNG reader
  ASSERT_FALSE(reference.isNull());
  const QImage shown = Shown();
  for (int y = 0; y < reference.height(); ++y)
    for (int x = 0; x < reference.width(); ++x) {
      const QRgb r = reference.pixel(x, y);
      EXPECT_TRUE(Near(Rgb(shown, x, y), ExpectedColour(qRed(r), qGreen(r))))
          << x << ", " << y << ": " << std::hex << Rgb(shown, x, y) << " for " << ExpectedColour(qRed(r), qGreen(r));
    }
}

TEST_F(NormalView, TwoChannelPicturesOfferTheChannelAndTheReadoutShowsTheNormal) {
  form->LoadPicture(Save(RG8File(), "plain.dds"));
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcColor) << "nothing says this file holds normals";
  ASSERT_TRUE(NormalItem()->isVisible());
  Key(Qt::AltModifier, Qt::Key_N);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  EXPECT_TRUE(NormalItem()->Checked());
  const QImage shown = Shown();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const unsigned want = x == 1 && y == 1 ? ExpectedColour(204, 128) : ExpectedColour(32 * x, 32 * y);
      EXPECT_TRUE(Near(Rgb(shown, x, y), want)) << x << ", " << y << ": " << std::hex << Rgb(shown, x, y);
    }
  Hover(QPoint(1, 1));
  const QString readout = form->StatusBar->PixelText();
  EXPECT_TRUE(readout.contains("R 204  G 128  B 0")) << readout.toStdString();
  EXPECT_TRUE(readout.endsWith("n = (0.60, 0.00, 0.80)")) << readout.toStdString();
  Hover(QPoint(0, 0));
  EXPECT_TRUE(form->StatusBar->PixelText().endsWith("n = (-0.71, -0.71, 0.00)")) << form->StatusBar->PixelText().toStdString();
  // Pressed again, the key goes back to the colours, and the readout drops the normal.
  Key(Qt::AltModifier, Qt::Key_N);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcColor);
  EXPECT_FALSE(form->StatusBar->PixelText().contains("n = ")) << form->StatusBar->PixelText().toStdString();

  // A colour picture keeps no X and Y: the channel is not offered.
  form->LoadPicture(QString::fromStdString(Fixture("pngsuite/basn2c08.png")));
  EXPECT_FALSE(NormalItem()->isVisible());
  EXPECT_FALSE(NormalItem()->isEnabled());
}

TEST_F(NormalView, ADXT5FileWithTheNormalFlagTakesXFromAlpha) {
  const int alphas[4] = {0, 255, 128, 204}, greens[4] = {32, 0, 63, 16};
  form->LoadPicture(Save(DXT5nmFile(kDDSFourCCFlag | kDDSNormalFlag, alphas, greens), "wall.dds"));
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  EXPECT_NE(ViewText().find("Normal map: X in A, Y in G, Z rebuilt"), std::string::npos) << ViewText();
  const QImage shown = Shown();
  for (int b = 0; b < 4; ++b) {
    const int g = greens[b] << 2 | greens[b] >> 4;  // six bits widened to eight
    const int x = 4 * (b % 2) + 1, y = 4 * (b / 2) + 2;
    EXPECT_TRUE(Near(Rgb(shown, x, y), ExpectedColour(alphas[b], g))) << b << ": " << std::hex << Rgb(shown, x, y);
  }
}

TEST_F(NormalView, AFileThatSaysNormalsChoosesTheChannelAndTheUsersChoiceHoldsUntilTheNext) {
  const QString tagged = Save(ReadFile(Fixture("dds/bc5.dds")), "ground_nrm.dds"), plain = Save(RG8File(), "plain.dds");
  form->LoadPicture(tagged);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  Key(Qt::AltModifier, Qt::Key_R);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcRed);
  form->LoadPicture(tagged);  // the same file again (a reload) keeps the user's channel
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcRed);
  form->LoadPicture(plain);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcRed);
  form->LoadPicture(tagged);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  // A file that does not say so goes back to the channel shown before the normals were.
  form->LoadPicture(plain);
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcRed);
  EXPECT_EQ(ViewText().find("Normal map"), std::string::npos) << ViewText();
}

TEST_F(NormalView, ABackgroundLoadChoosesTheChannelAsAClickedFileDoes) {
  form->LoadPictureInBackground(Save(DXT5nmFile(kDDSFourCCFlag | kDDSNormalFlag, {9, 9, 9, 9}, {1, 2, 3, 4}), "a.dds"));
  WaitForLoad();
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcNormal);
  form->LoadPictureInBackground(QString::fromStdString(Fixture("pngsuite/basn2c08.png")));
  WaitForLoad();
  EXPECT_EQ(form->ViewImage->Channel(), TViewState::vcColor);
}

TEST(NormalViewTexts, LayoutsAndNormalsReadAsTheUserSeesThem) {
  using S = TNormalLayout;
  EXPECT_EQ(NormalLayoutText({S::nsRed, S::nsGreen, true, false}), "Normal map: X in R, Y in G, Z rebuilt, signed");
  EXPECT_EQ(NormalLayoutText({S::nsRed, S::nsAlpha, false, true}), "Normal map: X in R, Y in A, Z rebuilt");
  EXPECT_EQ(NormalLayoutText({}), "");
  TPixelValue value;
  value.Red = 128, value.Green = 0, value.Alpha = 255;
  EXPECT_EQ(NormalText(value, {S::nsAlpha, S::nsRed, false, true}), "n = (1.00, 0.00, 0.00)");
  EXPECT_EQ(NormalText(value, {S::nsRed, S::nsGreen, false, false}), "n = (0.00, -1.00, 0.00)");
  EXPECT_EQ(NormalText(value, {}), "");
}

}  // namespace
}  // namespace vumo
