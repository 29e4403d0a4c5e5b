#pragma once

#include <QString>

/// Universal Audio's control panel ("UAD Meter & Control Panel"), which writes the UAD
/// system profile on request. The clean-up never fakes an export: when the panel is
/// absent it says so, and the user can still point it at a profile saved earlier.
class UADControlPanel {
public:
    virtual ~UADControlPanel() = default;
    /// True when the panel application is present on this system.
    virtual bool isInstalled() const = 0;
    /// Asks the panel to save its detailed system profile (a file whose name contains
    /// "UADSystemProfile", extension txt, in Desktop, Downloads or Documents). Returns
    /// at once after asking; the file may appear a little later, or never. The result
    /// is empty, or why the panel could not be asked.
    virtual QString requestExport() = 0;
};
