#include "Platform/Paths.h"

#include <QDir>
#include <QtGlobal>

namespace Paths {

namespace {
QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}
} // namespace

QString systemRoot()
{
    const QString root = withoutTrailingSlash(qEnvironmentVariable("RACKHAND_SYSTEM_ROOT"));
    return (root.isEmpty() || root == QLatin1String("/")) ? QString() : root;
}

bool isSandboxRoot()
{
    return !systemRoot().isEmpty();
}

QString system(const QString& absolutePath)
{
    return systemRoot() + absolutePath;
}

QString home()
{
    QString h = withoutTrailingSlash(qEnvironmentVariable("HOME"));
    if (h.isEmpty())
        h = withoutTrailingSlash(QDir::homePath());
    return h == QLatin1String("/") ? QString() : h;
}

QString user(const QString& absolutePath)
{
    return home() + absolutePath;
}

QString dataDir()
{
    QString base = withoutTrailingSlash(qEnvironmentVariable("XDG_DATA_HOME"));
    if (base.isEmpty())
        base = home() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Rackhand");
}

QString dataFile(const QString& fileName)
{
    return dataDir() + QLatin1Char('/') + fileName;
}

QString configHome()
{
    const QString base = withoutTrailingSlash(qEnvironmentVariable("XDG_CONFIG_HOME"));
    return base.isEmpty() ? home() + QStringLiteral("/.config") : base;
}

QString tempDir()
{
    return withoutTrailingSlash(QDir::tempPath());
}

} // namespace Paths
