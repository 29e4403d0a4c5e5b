#pragma once

#include "Platform/InstalledInstance.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <utility>

class Clock;

/// One change of one plug-in.
struct ActivityLogEntry {
    enum class Action { enabled, disabled, deleted };

    QUuid id;
    QDateTime timestamp;
    QString pluginName;
    QString format;
    Action action = Action::enabled;

    /// "Enabled", "Disabled", "Deleted".
    static QString actionRawValue(Action action);
    static std::optional<Action> actionFromRawValue(const QString& text);

    /// "just now", "5m ago", "3h ago", "yesterday", "4d ago".
    QString timeAgo(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;

    QJsonObject toJson() const;
    static std::optional<ActivityLogEntry> fromJson(const QJsonObject& object);
};

/// The activity log in D/activity_log.json: newest first, at most 200. The program's start-up
/// builds one and hands it to what records and shows changes.
class ActivityLogManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityLogManager)
public:
    static constexpr qint64 maxEntries = 200;
    /// The largest activity_log.json that is read: 200 entries of a few hundred bytes
    /// each, with room to spare. A larger file is not ours; it is kept aside at the next save.
    static constexpr qint64 maxFileBytes = 2LL * 1024 * 1024;

    /// Loads D/activity_log.json; times come from `clock` (none: the system's).
    explicit ActivityLogManager(std::shared_ptr<const Clock> clock = {}, QObject* parent = nullptr);

    /// The process-wide log: the one the program's start-up installed, else one made on first
    /// use. Below the start-up the log is handed down.
    static ActivityLogManager& shared();
    /// The start-up installs the log it built; clearShared() with that one uninstalls it.
    static void setShared(ActivityLogManager* log) { InstalledInstance<ActivityLogManager>::install(log); }
    static void clearShared(const ActivityLogManager* log) { InstalledInstance<ActivityLogManager>::uninstall(log); }
    /// Tests: drop the default instance so the next shared() loads the current D.
    static void resetShared();

    const QList<ActivityLogEntry>& entries() const { return m_entries; }
    QString savePath() const;

    // Each returns why the file could not be saved, or an empty string; the entries
    // change in memory either way.
    [[nodiscard]] QString log(const QString& pluginName, const QString& format, ActivityLogEntry::Action action);
    [[nodiscard]] QString logBatch(const QList<std::pair<QString, QString>>& plugins, ActivityLogEntry::Action action);
    [[nodiscard]] QString clearLog();

    QDateTime now() const;

Q_SIGNALS:
    void entriesChanged();

private:
    QString save();

    QList<ActivityLogEntry> m_entries;
    std::shared_ptr<const Clock> m_clock;
    bool m_fileUnreadable = false;
};
