#pragma once

#include "Platform/UADControlPanel.h"

/// Universal Audio ships its control panel for macOS and Windows only: on Linux it is
/// never installed, and a profile can only come from a file the user saved elsewhere.
class AbsentUADControlPanel final : public UADControlPanel {
public:
    bool isInstalled() const override { return false; }
    QString requestExport() override;
};
