#pragma once

#include <QString>
#include <QStringList>

/// Starts outside applications without waiting for them (the Waves registration
/// utilities). On Linux a macOS application bundle cannot run: the backend records
/// the request and skips it.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    /// Opens the application bundle at `appPath` with the given arguments.
    /// Returns false when it was not started.
    virtual bool openApplication(const QString& appPath, const QStringList& arguments) = 0;
};
