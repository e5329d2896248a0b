// The normal-map channel as a user meets it: chosen for files that say they hold normals,
// offered for two-channel pictures, drawn from the channels each layout names, with the
// layout in the status line and the rebuilt normal in the readout.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <fstream>

#include "shell/main_window.h"
#include "shell_test_util.h"
#include "window_fixture.h"
#include "support/texture_writer.h"

namespace vumo {
namespace {

using namespace test;

// The normal colour of stored bytes x and y, worked out in doubles apart from the kernel.
unsigned ExpectedColour(int xb, int yb) {
  double x = xb / 127.5 - 1, y = yb / 127.5 - 1;
  const double d = x * x + y * y, s = d > 1 ? 1 / std::sqrt(d) : 1;
  const double z = std::sqrt(std::max(0.0, 1 - d * s * s));
  auto byte = [](double v) { return static_cast<unsigned>(std::lround((v * 0.5 + 0.5) * 255)); };
  return byte(x * s) << 16 | byte(y * s) << 8 | byte(z);
}

// Each channel within one: the kernel rounds in floats.
testing::AssertionResult Near(const QImage& shown, int x, int y, unsigned want) {
  const unsigned got = Rgb(shown, x, y);
  for (int shift : {0, 8, 16})
    if (std::abs(int(got >> shift & 0xFF) - int(want >> shift & 0xFF)) > 1)
      return testing::AssertionFailure() << x << ", " << y << ": " << std::hex << got << " for " << want;
  return testing::AssertionSuccess();
}

// An 8 x 8 DXT5 file with the normal flag: four blocks, each one alpha and one green.
Bytes DXT5nmFile(const int (&alphas)[4], const int (&greens6)[4]) {
  Bytes blocks;
  for (int b = 0; b < 4; ++b) {
    const auto a = static_cast<std::uint8_t>(alphas[b]);
    const unsigned c = 0xF800u | static_cast<unsigned>(greens6[b]) << 5;
    const auto lo = static_cast<std::uint8_t>(c), hi = static_cast<std::uint8_t>(c >> 8);
    blocks.insert(blocks.end(), {a, a, 0, 0, 0, 0, 0, 0, lo, hi, lo, hi, 0, 0, 0, 0});
  }
  return DDSFile(8, 8, kDDSFourCCFlag | kDDSNormalFlag, "DXT5", 0, {}, blocks);
}

// R8G8: red 32 x and green 32 y, but (1, 1) holds 204 and 128, whose normal reads cleanly.
Bytes RG8File() {
  Bytes pixels;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool clean = x == 1 && y == 1;
      pixels.insert(pixels.end(), {std::uint8_t(clean ? 204 : 32 * x), std::uint8_t(clean ? 128 : 32 * y)});
    }
  return DDSFile(8, 8, kDDSRGBFlag, "", 16, {0xFF, 0xFF00, 0, 0}, pixels);
}

class NormalView : public TWindowTest {
 protected:
  QString Save(const Bytes& bytes, const char* name) {
    const QString path = dir_.path() + "/" + QString::fromLatin1(name);
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  void Key(Qt::Key key) {
    form->BrowseFiles->setFocus();
    QTest::keyClick(form->BrowseFiles, key, Qt::AltModifier);
  }
  QString PixelTextAt(QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), form->ViewImage->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ViewImage, &move);
    return form->StatusBar->PixelText();
  }
  QImage Shown() {
    QCoreApplication::processEvents();
    return Grab(*form->ViewImage);
  }
  TViewState::TChannel Channel() { return form->ViewImage->Channel(); }
  TMenuItem* NormalItem() { return form->findChild<TMenuItem*>(QStringLiteral("ChannelNormalMenu")); }
  bool ViewSays(const char* text) { return form->StatusBar->ViewText().contains(QString::fromUtf8(text)); }

  QTemporaryDir dir_;
};

TEST_F(NormalView, TwoChannelPicturesOfferTheChannelAndTheReadoutShowsTheNormal) {
  form->LoadPicture(Save(RG8File(), "plain.dds"));
  EXPECT_EQ(Channel(), TViewState::vcColor) << "nothing says this file holds normals";
  ASSERT_TRUE(NormalItem()->isVisible());
  Key(Qt::Key_N);
  EXPECT_EQ(Channel(), TViewState::vcNormal);
  const QImage shown = Shown();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_TRUE(Near(shown, x, y, x == 1 && y == 1 ? ExpectedColour(204, 128) : ExpectedColour(32 * x, 32 * y)));
  const QString readout = PixelTextAt(QPoint(1, 1));
  EXPECT_TRUE(readout.contains("R 204  G 128  B 0") && readout.endsWith("n = (0.60, 0.00, 0.80)"))
      << readout.toStdString();
  EXPECT_TRUE(PixelTextAt(QPoint(0, 0)).endsWith("n = (-0.71, -0.71, 0.00)"));
  Key(Qt::Key_N);  // again: back to the colours, and the readout drops the normal
  EXPECT_EQ(Channel(), TViewState::vcColor);
  EXPECT_FALSE(form->StatusBar->PixelText().contains("n = "));
  form->LoadPicture(QString::fromStdString(Fixture("pngsuite/basn2c08.png")));
  EXPECT_FALSE(NormalItem()->isVisible() || NormalItem()->isEnabled()) << "a colour picture keeps no X and Y";
}

TEST_F(NormalView, ADXT5FileWithTheNormalFlagTakesXFromAlpha) {
  const int alphas[4] = {0, 255, 128, 204}, greens[4] = {32, 0, 63, 16};
  form->LoadPicture(Save(DXT5nmFile(alphas, greens), "wall.dds"));
  EXPECT_EQ(Channel(), TViewState::vcNormal);
  EXPECT_TRUE(ViewSays("Normal map: X in A, Y in G, Z rebuilt"));
  const QImage shown = Shown();
  for (int b = 0; b < 4; ++b) {
    const int green = greens[b] << 2 | greens[b] >> 4;  // six bits widened to eight
    EXPECT_TRUE(Near(shown, 4 * (b % 2) + 1, 4 * (b / 2) + 2, ExpectedColour(alphas[b], green)));
  }
}

TEST_F(NormalView, ABC5FileNamedAsNormalsIsShownAsTheNormalsOfItsReferenceUntilTheUserChoosesOtherwise) {
  const QString tagged = Save(ReadFile(Fixture("dds/bc5.dds")), "ground_nrm.dds"), plain = Save(RG8File(), "plain.dds");
  form->LoadPicture(tagged);
  EXPECT_EQ(Channel(), TViewState::vcNormal);
  EXPECT_TRUE(ViewSays("Normal map: X in R, Y in G, Z rebuilt"));
  const QImage reference(QString::fromStdString(Fixture("dds/bc5.png"))), shown = Shown();  // Qt's own PNG reader
  ASSERT_FALSE(reference.isNull());
  for (int y = 0; y < reference.height(); ++y)
    for (int x = 0; x < reference.width(); ++x)
      EXPECT_TRUE(Near(shown, x, y, ExpectedColour(qRed(reference.pixel(x, y)), qGreen(reference.pixel(x, y)))));
  Key(Qt::Key_R);
  form->LoadPicture(tagged);  // the same file again (a reload, another of its images) keeps the user's channel
  EXPECT_EQ(Channel(), TViewState::vcRed);
  form->LoadPicture(plain);
  EXPECT_EQ(Channel(), TViewState::vcRed);
  form->LoadPictureInBackground(tagged);
  WaitForLoad();
  EXPECT_EQ(Channel(), TViewState::vcNormal);
  // A file that does not say so goes back to the channel shown before the normals were.
  form->LoadPictureInBackground(plain);
  WaitForLoad();
  EXPECT_EQ(Channel(), TViewState::vcRed);
  EXPECT_FALSE(ViewSays("Normal map"));
}

}  // namespace
}  // namespace vumo
