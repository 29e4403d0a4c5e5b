#pragma once

#include "Platform/ProcessLauncher.h"

#include <QStringList>

/// Starts programs detached. A macOS application bundle (".app") cannot run here:
/// it is recorded, reported with one diagnostic line and skipped.
class LinuxProcessLauncher final : public ProcessLauncher {
public:
    bool openApplication(const QString& appPath, const QStringList& arguments) override;

    /// The application bundles skipped so far.
    const QStringList& skippedApplications() const { return m_skipped; }

private:
    QStringList m_skipped;
};
