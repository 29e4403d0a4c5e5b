#include "shell/UpdateChecker.h"

#include "Platform/Diagnostics.h"
#include "Platform/InstalledInstance.h"
#include "Platform/UpdateServer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>

namespace {

const char* const kFailureProperty = "rackhandFailure";

// Reads one optional string member: absent or null = not given; another type fails.
bool readString(const QJsonObject& object, const QString& key, std::optional<QString>& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString()) {
        if (error)
            *error = QStringLiteral("Expected a string for \"") + key + QStringLiteral("\".");
        return false;
    }
    out = value.toString();
    return true;
}

} // namespace

// --- UpdateResponse ---

std::optional<UpdateResponse> UpdateResponse::decode(const QByteArray& body, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("The answer is not valid JSON (") + parseError.errorString() +
                     QStringLiteral(" at offset ") + QString::number(parseError.offset) + QStringLiteral(").");
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("The answer is not a JSON object.");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    UpdateResponse response;
    if (!readString(object, QStringLiteral("latest_version"), response.latestVersion, error) ||
        !readString(object, QStringLiteral("download_url"), response.downloadURL, error) ||
        !readString(object, QStringLiteral("release_notes"), response.releaseNotes, error))
        return std::nullopt;
    const QJsonValue available = object.value(QStringLiteral("update_available"));
    if (!available.isUndefined() && !available.isNull()) {
        if (!available.isBool()) {
            if (error)
                *error = QStringLiteral("Expected a Boolean for \"update_available\".");
            return std::nullopt;
        }
        response.updateAvailable = available.toBool();
    }
    return response;
}

QJsonObject UpdateResponse::toJson() const
{
    QJsonObject object;
    if (latestVersion)
        object.insert(QStringLiteral("latest_version"), *latestVersion);
    if (downloadURL)
        object.insert(QStringLiteral("download_url"), *downloadURL);
    if (releaseNotes)
        object.insert(QStringLiteral("release_notes"), *releaseNotes);
    if (updateAvailable)
        object.insert(QStringLiteral("update_available"), *updateAvailable);
    return object;
}

// --- UpdateChecker ---

UpdateChecker& UpdateChecker::shared()
{
    if (UpdateChecker* installed = InstalledInstance<UpdateChecker>::get())
        return *installed;
    // Never destroyed: it outlives the window and must not tear down networking after the application.
    static UpdateChecker* instance = new UpdateChecker();
    return *instance;
}

UpdateChecker::UpdateChecker(QObject* parent) : QObject(parent) {}

UpdateChecker::~UpdateChecker() = default;

QString UpdateChecker::currentVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("0.0.0") : version;
}

QString UpdateChecker::machineIdentifier()
{
    QByteArray id = QSysInfo::machineUniqueId();
    if (id.isEmpty())
        id = QHostInfo::localHostName().toUtf8();
    // Keyed hash: stable per machine, but the machine id itself never leaves it.
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(id, QByteArrayLiteral("com.yourcompany.Rackhand"), QCryptographicHash::Sha256)
            .toHex());
}

void UpdateChecker::setUpdateAvailable(bool available)
{
    if (m_updateAvailable == available)
        return;
    m_updateAvailable = available;
    Q_EMIT updateAvailableChanged();
}

void UpdateChecker::apply(const UpdateResponse& response)
{
    setUpdateAvailable(response.updateAvailable.value_or(false));
    const QString version = response.latestVersion.value_or(QString());
    if (version != m_latestVersion) {
        m_latestVersion = version;
        Q_EMIT latestVersionChanged();
    }
    const QString url = UpdateServer::acceptedDownloadURL(response.downloadURL.value_or(QString()));
    if (url != m_updateDownloadURL) {
        m_updateDownloadURL = url;
        Q_EMIT updateDownloadURLChanged();
    }
    const QString notes = response.releaseNotes.value_or(QString());
    if (notes != m_updateReleaseNotes) {
        m_updateReleaseNotes = notes;
        Q_EMIT updateReleaseNotesChanged();
    }
}

void UpdateChecker::checkForUpdates(QObject* context, const std::function<void()>& whenDone)
{
    const QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    ++m_running;
    const QUrl url(UpdateServer::address() + QString::fromLatin1(UpdateServer::kEndpoint), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        // Not an address: nothing to report, but callers still hear that the check ended.
        const QPointer<QObject> target = hasContext ? guard : QPointer<QObject>(this);
        QMetaObject::invokeMethod(
            this, [this, target, whenDone] { finish(nullptr, {}, target, whenDone); }, Qt::QueuedConnection);
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QJsonObject payload;
    payload.insert(QStringLiteral("app_version"), currentVersion());
    payload.insert(QStringLiteral("hardware_id"), machineIdentifier());
    const QByteArray body = QJsonDocument(payload).toJson(QJsonDocument::Compact);

    QNetworkReply* reply = m_network->post(request, body);

    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty(kFailureProperty, QStringLiteral("The request timed out."));
        reply->abort();
    });
    deadline->start(m_timeoutMs);

    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > UpdateServer::kMaxAnswerBytes || total > UpdateServer::kMaxAnswerBytes) {
            if (!reply->property(kFailureProperty).isValid())
                reply->setProperty(kFailureProperty, QStringLiteral("The answer is larger than ") +
                                                         QString::number(UpdateServer::kMaxAnswerBytes) +
                                                         QStringLiteral(" bytes."));
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, guard, hasContext, whenDone] {
        finish(reply, reply->property(kFailureProperty).toString(), hasContext ? guard : QPointer<QObject>(this),
               whenDone);
    });
}

void UpdateChecker::finish(QNetworkReply* reply, const QString& failure, const QPointer<QObject>& context,
                           const std::function<void()>& whenDone)
{
    QString problem;
    bool silent = false; // a reply that is no HTTP answer fails without a diagnostic line
    if (reply) {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!failure.isEmpty()) {
            problem = failure;
        } else if (!status.isValid()) {
            // No HTTP answer: a transport failure is reported, anything else is silent.
            silent = reply->error() == QNetworkReply::NoError;
            problem = silent ? QStringLiteral("The server gave no HTTP answer.") : reply->errorString();
        } else {
            // The status is not examined: any status's body is decoded.
            const QByteArray bytes = reply->read(UpdateServer::kMaxAnswerBytes + 1);
            if (bytes.size() > UpdateServer::kMaxAnswerBytes) {
                problem = QStringLiteral("The answer is larger than ") +
                          QString::number(UpdateServer::kMaxAnswerBytes) + QStringLiteral(" bytes.");
            } else if (const auto response = UpdateResponse::decode(bytes, &problem)) {
                apply(*response);
                problem.clear();
            } else if (problem.isEmpty()) {
                problem = QStringLiteral("The answer could not be read.");
            }
        }
    } else {
        silent = failure.isEmpty(); // the server address is no address
        problem = silent ? QStringLiteral("The update server's address is not valid.") : failure;
    }
    m_lastCheckError = problem;
    if (!problem.isEmpty() && !silent)
        Diagnostics::print(QString::fromUtf8(kDiagnosticPrefix) + problem);
    --m_running;
    if (whenDone && context)
        whenDone();
    Q_EMIT checkFinished();
}
