#include "MenuBarHelper/HelperUpdateCheck.h"

#include "Platform/UpdateServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

HelperUpdateCheck::HelperUpdateCheck(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

HelperUpdateCheck::~HelperUpdateCheck() = default;

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
    return Answer{latest.toString(), UpdateServer::acceptedDownloadURL(download.toString())};
}

void HelperUpdateCheck::start(const QString& currentVersion)
{
    QNetworkRequest request(QUrl(UpdateServer::address() + QString::fromLatin1(UpdateServer::kEndpoint)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kTimeoutMs);
    const QByteArray payload =
        QJsonDocument(QJsonObject{{QStringLiteral("app_version"), currentVersion}}).toJson(QJsonDocument::Compact);
    QNetworkReply* reply = m_network->post(request, payload);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > UpdateServer::kMaxAnswerBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        // The status is not examined: any answer whose body carries both members counts.
        const std::optional<Answer> answer = parse(reply->read(UpdateServer::kMaxAnswerBytes));
        if (answer)
            Q_EMIT answered(answer->latestVersion, answer->downloadURL);
    });
}
