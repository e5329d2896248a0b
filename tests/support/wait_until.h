// Waiting for a condition in a GUI test, processing events meanwhile. QTest's QTRY_ macros
// report a timeout to QTest's own log, which a GoogleTest run never reads: there a wait that
// times out returns from the test as a pass. These wait the same way and fail as GoogleTest
// failures, naming what was waited for.
#pragma once

#include <QTest>
#include <gtest/gtest.h>

// Five seconds, as QTest waits by default.
inline constexpr int kWaitMilliseconds = 5000;

#define WAIT_UNTIL_FOR(condition, milliseconds)                                              \
  ASSERT_TRUE(::QTest::qWaitFor([&] { return static_cast<bool>(condition); }, milliseconds)) \
      << "waited in vain for " #condition
#define WAIT_UNTIL(condition) WAIT_UNTIL_FOR(condition, kWaitMilliseconds)

#define WAIT_EQ_FOR(actual, expected, milliseconds)                                \
  do {                                                                             \
    (void)::QTest::qWaitFor([&] { return (actual) == (expected); }, milliseconds); \
    ASSERT_EQ(actual, expected) << "waited in vain for " #actual " == " #expected; \
  } while (false)
#define WAIT_EQ(actual, expected) WAIT_EQ_FOR(actual, expected, kWaitMilliseconds)
