#pragma once

#include <QDBusConnection>

#include <gtest/gtest.h>

/// Skips the running test when no session bus is reachable (run the tests inside dbus-run-session).
#define RACKHAND_REQUIRE_SESSION_BUS()                                                                                 \
    do {                                                                                                               \
        if (!QDBusConnection::sessionBus().isConnected())                                                              \
            GTEST_SKIP() << "no session bus (run the tests inside dbus-run-session)";                                  \
    } while (false)
