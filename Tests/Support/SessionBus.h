#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>

/// Skips the running test when no session bus is reachable (run the tests inside dbus-run-session).
#define RACKHAND_REQUIRE_SESSION_BUS()                                                                                 \
    do {                                                                                                               \
        if (!QDBusConnection::sessionBus().isConnected())                                                              \
            GTEST_SKIP() << "no session bus (run the tests inside dbus-run-session)";                                  \
    } while (false)
