#include "Platform/linux/XdgApplicationLauncher.h"

#include <QProcess>
#include <QStandardPaths>

bool XdgApplicationLauncher::launchExecutable(const QString& path, const QStringList& arguments)
{
    return QProcess::startDetached(path, arguments);
}

bool XdgApplicationLauncher::launchDesktopEntry(const QString& desktopId)
{
    const QString entry =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId + QStringLiteral(".desktop"));
    if (entry.isEmpty())
        return false;
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        return false;
    return QProcess::startDetached(gio, {QStringLiteral("launch"), entry});
}
