#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Wait, turning the event loop, until a condition holds or `timeoutMs` have passed, then check
// it the gtest way. QtTest's QTRY_ macros cannot stand in: they report to QtTest's own log and
// only return from the test body, so under gtest a timeout passes unnoticed.

#define RACKHAND_EXPECT_EVENTUALLY(condition, timeoutMs)                                                               \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, (timeoutMs))) << "never true: " #condition

#define RACKHAND_ASSERT_EVENTUALLY(condition, timeoutMs)                                                               \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, (timeoutMs))) << "never true: " #condition

/// For an equality: both values are shown when it never holds.
#define RACKHAND_EXPECT_EVENTUALLY_EQ(actual, expected, timeoutMs)                                                     \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, (timeoutMs));                                    \
        EXPECT_EQ((actual), (expected));                                                                               \
    } while (false)

#define RACKHAND_ASSERT_EVENTUALLY_EQ(actual, expected, timeoutMs)                                                     \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, (timeoutMs));                                    \
        ASSERT_EQ((actual), (expected));                                                                               \
    } while (false)
