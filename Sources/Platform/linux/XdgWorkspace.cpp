#include "Platform/linux/XdgWorkspace.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int kQueryTimeoutMs = 3000;
} // namespace

bool XdgWorkspace::hasHandler(const QString& scheme)
{
    static const QStringList kAlwaysHandled{QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"),
                                            QStringLiteral("mailto")};
    if (kAlwaysHandled.contains(scheme.toLower()))
        return true;
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/") + scheme.toLower()});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

bool XdgWorkspace::openUrl(const QUrl& url)
{
    if (!url.isValid() || !hasHandler(url.scheme()))
        return false;
    return QDesktopServices::openUrl(url);
}
