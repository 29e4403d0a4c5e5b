#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QNetworkAccessManager;

/// The helper's own update request: a POST of {"app_version": ...} to "/check-update"
/// of the update server. Only a usable answer is reported; every failure is silent.
class HelperUpdateCheck final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelperUpdateCheck)
public:
    /// The same server, and the same override for tests and staging, as the main application.
    static constexpr auto kDefaultServer = "https://api.rackhand.app";
    static constexpr auto kServerVariable = "RACKHAND_UPDATE_SERVER";
    static constexpr auto kEndpoint = "/check-update";
    static constexpr auto kDefaultDownloadURL = "https://downloads.rackhand.app/Rackhand.dmg";
    static constexpr int kTimeoutMs = 60'000;
    /// An answer is a few hundred bytes; anything much larger is not one.
    static constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

    struct Answer {
        QString latestVersion;
        QString downloadURL; ///< already checked: the server's address or the default
    };

    explicit HelperUpdateCheck(QObject* parent = nullptr);
    ~HelperUpdateCheck() override;

    static QString serverAddress();
    static QStringList trustedDownloadHosts();
    /// `candidate` when it is an https address whose host is trusted, else the default.
    static QString acceptedDownloadURL(const QString& candidate);
    /// A JSON object with string "latest_version" and "download_url"; other members are ignored.
    static std::optional<Answer> parse(const QByteArray& body);

    /// Sends one request and returns at once; answered() follows only for a usable answer.
    void start(const QString& currentVersion);

Q_SIGNALS:
    void answered(const QString& latestVersion, const QString& downloadURL);

private:
    QNetworkAccessManager* m_network = nullptr;
};
