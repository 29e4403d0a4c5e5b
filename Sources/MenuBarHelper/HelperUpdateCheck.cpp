#include "MenuBarHelper/HelperUpdateCheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

HelperUpdateCheck::HelperUpdateCheck(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

HelperUpdateCheck::~HelperUpdateCheck() = default;

QString HelperUpdateCheck::serverAddress()
{
    const QString overridden = qEnvironmentVariable(kServerVariable);
    return overridden.isEmpty() ? QString::fromLatin1(kDefaultServer) : overridden;
}

QStringList HelperUpdateCheck::trustedDownloadHosts()
{
    return {QStringLiteral("rackhand.app"), QStringLiteral("downloads.rackhand.app")};
}

QString HelperUpdateCheck::acceptedDownloadURL(const QString& candidate)
{
    // Only a web address on our own hosts reaches the system opener: "file:" or a
    // plain "http:" address from a tampered answer would be opened as well.
    const QUrl url(candidate, QUrl::StrictMode);
    if (url.isValid() && url.scheme() == QLatin1String("https") && url.userInfo().isEmpty() &&
        trustedDownloadHosts().contains(url.host()))
        return candidate;
    return QString::fromLatin1(kDefaultDownloadURL);
}

std::optional<HelperUpdateCheck::Answer> HelperUpdateCheck::parse(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue latest = object.value(QStringLiteral("latest_version"));
    const QJsonValue download = object.value(QStringLiteral("download_url"));
    if (!latest.isString() || !download.isString())
        return std::nullopt;
    return Answer{latest.toString(), acceptedDownloadURL(download.toString())};
}

void HelperUpdateCheck::start(const QString& currentVersion)
{
    QNetworkRequest request(QUrl(serverAddress() + QString::fromLatin1(kEndpoint)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kTimeoutMs);
    const QByteArray payload =
        QJsonDocument(QJsonObject{{QStringLiteral("app_version"), currentVersion}}).toJson(QJsonDocument::Compact);
    QNetworkReply* reply = m_network->post(request, payload);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxAnswerBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        // The status is not examined: any answer whose body carries both members counts.
        const std::optional<Answer> answer = parse(reply->read(kMaxAnswerBytes));
        if (answer)
            Q_EMIT answered(answer->latestVersion, answer->downloadURL);
    });
}
