#pragma once

#include <QString>
#include <QStringList>

/// Starts another program of the desktop without waiting for it: by its executable, or
/// by its desktop-file id as the desktop's launcher would.
class ApplicationLauncher {
public:
    virtual ~ApplicationLauncher() = default;
    /// False when the program could not be started.
    virtual bool launchExecutable(const QString& path, const QStringList& arguments = {}) = 0;
    /// Starts the application whose desktop entry is "<desktopId>.desktop" in the
    /// desktop's application folders; false when there is none or it could not start.
    virtual bool launchDesktopEntry(const QString& desktopId) = 0;
};
