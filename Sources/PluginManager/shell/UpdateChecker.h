#pragma once

#include "Platform/InstalledInstance.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

/// The update server's answer: four optional members (absent and null alike).
struct UpdateResponse {
    std::optional<QString> latestVersion; // "latest_version"
    std::optional<QString> downloadURL;   // "download_url"
    std::optional<QString> releaseNotes;  // "release_notes"
    std::optional<bool> updateAvailable;  // "update_available"

    /// A JSON object; a present member of another JSON type fails the whole answer.
    static std::optional<UpdateResponse> decode(const QByteArray& body, QString* error = nullptr);
    /// Only the members that are set.
    QJsonObject toJson() const;
};

/// Asks the update server (see UpdateServer) whether a newer version exists and publishes the answer.
/// The program's start-up builds one and hands it to the window and its menu; checks run
/// asynchronously on the main thread and never block it. A failed check leaves the
/// published state as it was.
class UpdateChecker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)
public:
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr auto kDiagnosticPrefix = "❌ Update check failed: ";

    /// The process-wide checker: the one the program's start-up installed, else one made on
    /// first use. Below the start-up the checker is handed down.
    static UpdateChecker& shared();
    /// The start-up installs the checker it built; clearShared() with that one uninstalls it.
    static void setShared(UpdateChecker* checker) { InstalledInstance<UpdateChecker>::install(checker); }
    static void clearShared(const UpdateChecker* checker) { InstalledInstance<UpdateChecker>::uninstall(checker); }
    explicit UpdateChecker(QObject* parent = nullptr);
    ~UpdateChecker() override;

    /// The application version, "0.0.0" when none is set.
    static QString currentVersion();
    /// A stable identifier of this computer that does not reveal the machine id itself.
    static QString machineIdentifier();

    bool updateAvailable() const { return m_updateAvailable; }
    void setUpdateAvailable(bool available);
    QString latestVersion() const { return m_latestVersion; }
    QString updateDownloadURL() const { return m_updateDownloadURL; }
    QString updateReleaseNotes() const { return m_updateReleaseNotes; }

    /// Starts one check and returns at once; checkFinished() follows, answer or not.
    /// `whenDone` runs when this check ends (before checkFinished), unless `context` is gone.
    void checkForUpdates(QObject* context = nullptr, const std::function<void()>& whenDone = {});
    /// Why the last finished check got no usable answer; empty when it got one.
    QString lastCheckError() const { return m_lastCheckError; }
    /// Checks started and not yet finished.
    int runningChecks() const { return m_running; }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    /// Applies a decoded answer (what a successful check does).
    void apply(const UpdateResponse& response);

Q_SIGNALS:
    void updateAvailableChanged();
    void latestVersionChanged();
    void updateDownloadURLChanged();
    void updateReleaseNotesChanged();
    void checkFinished();

private:
    void finish(QNetworkReply* reply, const QString& failure, const QPointer<QObject>& context,
                const std::function<void()>& whenDone);

    QNetworkAccessManager* m_network = nullptr;
    bool m_updateAvailable = false;
    QString m_latestVersion;
    QString m_updateDownloadURL;
    QString m_updateReleaseNotes;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_running = 0;
    QString m_lastCheckError;
};
