#pragma once

#include "Platform/LoginItem.h"

#include <QString>

#include <memory>

/// Switches the menu-bar helper's login item on and off and starts or stops the
/// helper with it. All members are static and run on the main thread; each switch works
/// on the login-item service its caller hands in (PlatformServices::loginItem), and a
/// missing one reports the helper as not found and refuses to register.
class MenuBarLoginItem {
public:
    MenuBarLoginItem() = delete;

    static constexpr auto kIdentifier = "com.yourcompany.Rackhand.helper-agent";
    static constexpr auto kExecutableName = "RackhandHelper";
    /// From the termination requests to the helper's start.
    static constexpr int kLaunchDelayMs = 500;
    /// How long the start waits beyond that for helpers asked to quit to be gone, and how often it looks.
    static constexpr int kQuitWaitMs = 5000;
    static constexpr int kQuitPollMs = 100;

    /// The program's login-item service, as its start-up installed it; until then one that
    /// reports the helper as not found. Nothing below the start-up reads it: callers hand theirs in.
    static LoginItem& service();
    /// The start-up installs the program's service; clearService() with that one uninstalls it.
    static void setService(std::shared_ptr<LoginItem> service);
    static void clearService(const LoginItem* service);

    /// The helper executable beside this program.
    static QString helperPath();
    /// Tests point this elsewhere; empty returns to helperPath()'s default.
    static void setHelperPathOverride(const QString& path);

    /// On exactly when the service reports enabled.
    static bool isEnabled(const std::shared_ptr<LoginItem>& service);
    /// Registers (true) or unregisters (false), then launches or stops the helper.
    /// A failure prints "MenuBarLoginItem: Failed to register: <reason>" (or unregister).
    static void setEnabled(const std::shared_ptr<LoginItem>& service, bool enabled);
    /// Starts the helper 0.5 s from now unless exactly this helper already runs;
    /// other running copies are asked to quit first, and the start waits until they are gone.
    static void launchHelperNow(const std::shared_ptr<LoginItem>& service);
};
