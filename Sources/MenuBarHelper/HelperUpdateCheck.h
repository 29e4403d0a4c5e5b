#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QNetworkAccessManager;

/// The helper's own update request: a POST of {"app_version": ...} to "/check-update"
/// of the update server (the same server, override and download rule as the main
/// application: see UpdateServer). Only a usable answer is reported; every failure is silent.
class HelperUpdateCheck final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelperUpdateCheck)
public:
    static constexpr int kTimeoutMs = 60'000;

    struct Answer {
        QString latestVersion;
        QString downloadURL; ///< already checked by UpdateServer::acceptedDownloadURL
    };

    explicit HelperUpdateCheck(QObject* parent = nullptr);
    ~HelperUpdateCheck() override;

    /// A JSON object with string "latest_version" and "download_url"; other members are ignored.
    static std::optional<Answer> parse(const QByteArray& body);

    /// Sends one request and returns at once; answered() follows only for a usable answer.
    void start(const QString& currentVersion);

Q_SIGNALS:
    void answered(const QString& latestVersion, const QString& downloadURL);

private:
    QNetworkAccessManager* m_network = nullptr;
};
