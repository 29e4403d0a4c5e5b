#include "Platform/linux/LinuxProcessLauncher.h"

#include "Platform/Diagnostics.h"

#include <QFileInfo>
#include <QProcess>

bool LinuxProcessLauncher::openApplication(const QString& appPath, const QStringList& arguments)
{
    QString path = appPath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.endsWith(QLatin1String(".app"))) {
        m_skipped.append(appPath);
        Diagnostics::print(QStringLiteral("⚠️ Skipping macOS application (cannot run on Linux): ") + appPath);
        return false;
    }
    if (!QFileInfo(path).isExecutable() || QFileInfo(path).isDir())
        return false;
    return QProcess::startDetached(path, arguments);
}
