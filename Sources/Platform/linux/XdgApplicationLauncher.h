#pragma once

#include "Platform/ApplicationLauncher.h"

/// Starts executables detached; desktop entries are looked up in the XDG application
/// folders and started through `gio launch`.
class XdgApplicationLauncher final : public ApplicationLauncher {
public:
    bool launchExecutable(const QString& path, const QStringList& arguments = {}) override;
    bool launchDesktopEntry(const QString& desktopId) override;
};
