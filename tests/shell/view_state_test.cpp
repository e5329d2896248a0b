// The wheel's notches and the arrow keys' pan, which the image view and the compare view share.
#include "shell/view_state.h"

#include <gtest/gtest.h>

namespace vumo {
namespace {

TEST(WheelNotches, PartsOfANotchAddUpAndWholeOnesAreTakenAtOnce) {
  TWheelNotches wheel;
  EXPECT_EQ(0, wheel.Take(60));   // half a notch waits
  EXPECT_EQ(1, wheel.Take(60));   // and completes one
  EXPECT_EQ(3, wheel.Take(360));  // a fast wheel sends several at once
  EXPECT_EQ(0, wheel.Take(-60));  // back the other way: half a notch, not a step
  EXPECT_EQ(0, wheel.Take(60));   // and forward again cancels it
  EXPECT_EQ(-2, wheel.Take(-270));
  EXPECT_EQ(-1, wheel.Take(-90));  // the 30 left over joins the next
}

TEST(ArrowKeyPan, EachArrowMovesThePictureItsWayAndOtherKeysDoNot) {
  EXPECT_EQ(QPointF(32, 0), ArrowKeyPan(Qt::Key_Left));
  EXPECT_EQ(QPointF(-32, 0), ArrowKeyPan(Qt::Key_Right));
  EXPECT_EQ(QPointF(0, 32), ArrowKeyPan(Qt::Key_Up));
  EXPECT_EQ(QPointF(0, -32), ArrowKeyPan(Qt::Key_Down));
  EXPECT_FALSE(ArrowKeyPan(Qt::Key_Space));
}

}  // namespace
}  // namespace vumo
