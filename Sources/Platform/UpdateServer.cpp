#include "Platform/UpdateServer.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

// The authority exactly as written in the address: QUrl lower-cases hosts, which would
// let "Downloads.Rackhand.App" through the exact comparison.
QString rawAuthority(const QString& address)
{
    const qsizetype schemeEnd = address.indexOf(QStringLiteral("://"));
    if (schemeEnd < 0)
        return {};
    QString authority = address.mid(schemeEnd + 3);
    static const QRegularExpression authorityEnd(QStringLiteral("[/?#]"));
    const qsizetype end = authority.indexOf(authorityEnd);
    if (end >= 0)
        authority.truncate(end);
    return authority;
}

// The host as written, without port; empty for user info or a bracketed address.
QString rawHost(const QString& address)
{
    QString authority = rawAuthority(address);
    if (authority.contains(QLatin1Char('@')) || authority.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0)
        authority.truncate(colon);
    return authority;
}

} // namespace

namespace UpdateServer {

QString address()
{
    const QString overridden = qEnvironmentVariable(kAddressVariable);
    return overridden.isEmpty() ? QString::fromLatin1(kDefaultAddress) : overridden;
}

QStringList trustedDownloadHosts()
{
    return {QStringLiteral("rackhand.app"), QStringLiteral("downloads.rackhand.app")};
}

QString acceptedDownloadURL(const QString& candidate)
{
    QString fallback = QString::fromLatin1(kDefaultDownloadURL);
    const QUrl url(candidate, QUrl::StrictMode);
    if (candidate.isEmpty() || !url.isValid() || url.host().isEmpty())
        return fallback;
    // Only a web address on our own hosts reaches the system opener, never in the clear;
    // user info could dress up another host as ours.
    if (url.scheme() != QLatin1String("https") || !url.userInfo().isEmpty())
        return fallback;
    const QString host = rawHost(candidate);
    if (host.isEmpty() || host != url.host() || !trustedDownloadHosts().contains(host))
        return fallback;
    return candidate;
}

} // namespace UpdateServer
