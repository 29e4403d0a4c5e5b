#include "catalogue/ActivityLogManager.h"

#include "Platform/AtomicFile.h"
#include "Platform/Clock.h"
#include "Platform/InstalledInstance.h"
#include "Platform/Paths.h"
#include "catalogue/PluginModels.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace {

const QString kFileName = QStringLiteral("activity_log.json");

std::unique_ptr<ActivityLogManager>& sharedInstance()
{
    static std::unique_ptr<ActivityLogManager> instance;
    return instance;
}

enum class LoadResult { missing, loaded, unreadable };

LoadResult loadEntries(const QString& path, QList<ActivityLogEntry>* entries)
{
    const SmallFileRead file = readSmallFile(path, ActivityLogManager::maxFileBytes);
    if (file.state == SmallFileRead::State::missing)
        return LoadResult::missing;
    if (file.state == SmallFileRead::State::unreadable)
        return LoadResult::unreadable;
    const QByteArray& bytes = file.bytes;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return LoadResult::unreadable;
    QList<ActivityLogEntry> loaded;
    const QJsonArray array = document.array();
    loaded.reserve(array.size());
    for (const auto& value : array) {
        if (!value.isObject())
            return LoadResult::unreadable;
        auto entry = ActivityLogEntry::fromJson(value.toObject());
        if (!entry)
            return LoadResult::unreadable; // one bad entry makes the file unreadable as a whole
        loaded.append(std::move(*entry));
    }
    *entries = std::move(loaded);
    return LoadResult::loaded;
}

} // namespace

QString ActivityLogEntry::actionRawValue(Action action)
{
    switch (action) {
    case Action::enabled:
        return QStringLiteral("Enabled");
    case Action::disabled:
        return QStringLiteral("Disabled");
    case Action::deleted:
        return QStringLiteral("Deleted");
    }
    return {};
}

std::optional<ActivityLogEntry::Action> ActivityLogEntry::actionFromRawValue(const QString& text)
{
    for (Action action : {Action::enabled, Action::disabled, Action::deleted}) {
        if (actionRawValue(action) == text)
            return action;
    }
    return std::nullopt;
}

QString ActivityLogEntry::timeAgo(const QDateTime& now) const
{
    const qint64 seconds = timestamp.msecsTo(now) / 1000; // truncates toward zero
    if (seconds < 60)
        return QStringLiteral("just now");
    if (seconds < 3600)
        return QString::number(seconds / 60) + QStringLiteral("m ago");
    if (seconds < 86400)
        return QString::number(seconds / 3600) + QStringLiteral("h ago");
    if (seconds < 172800)
        return QStringLiteral("yesterday");
    return QString::number(seconds / 86400) + QStringLiteral("d ago");
}

QJsonObject ActivityLogEntry::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), uuidString(id)},
        {QStringLiteral("timestamp"), dateToJsonSeconds(timestamp)},
        {QStringLiteral("pluginName"), pluginName},
        {QStringLiteral("format"), format},
        {QStringLiteral("action"), actionRawValue(action)},
    };
}

std::optional<ActivityLogEntry> ActivityLogEntry::fromJson(const QJsonObject& object)
{
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue timestamp = object.value(QStringLiteral("timestamp"));
    const QJsonValue pluginName = object.value(QStringLiteral("pluginName"));
    const QJsonValue format = object.value(QStringLiteral("format"));
    const QJsonValue action = object.value(QStringLiteral("action"));
    if (!id.isString() || !timestamp.isDouble() || !std::isfinite(timestamp.toDouble()) || !pluginName.isString() ||
        !format.isString() || !action.isString())
        return std::nullopt;
    ActivityLogEntry entry;
    entry.id = uuidFromString(id.toString());
    if (entry.id.isNull())
        return std::nullopt;
    const auto parsedAction = actionFromRawValue(action.toString());
    if (!parsedAction)
        return std::nullopt;
    entry.timestamp = dateFromJsonSeconds(timestamp.toDouble());
    entry.pluginName = pluginName.toString();
    entry.format = format.toString();
    entry.action = *parsedAction;
    return entry;
}

ActivityLogManager& ActivityLogManager::shared()
{
    if (ActivityLogManager* installed = InstalledInstance<ActivityLogManager>::get())
        return *installed;
    auto& instance = sharedInstance();
    if (!instance)
        instance = std::make_unique<ActivityLogManager>();
    return *instance;
}

void ActivityLogManager::resetShared()
{
    sharedInstance().reset();
}

ActivityLogManager::ActivityLogManager(std::shared_ptr<const Clock> clock, QObject* parent)
    : QObject(parent), m_clock(std::move(clock))
{
    // Loaded whole: a longer file is trimmed only by the next change.
    m_fileUnreadable = loadEntries(savePath(), &m_entries) == LoadResult::unreadable;
}

QString ActivityLogManager::savePath() const
{
    return Paths::dataFile(kFileName);
}

QDateTime ActivityLogManager::now() const
{
    return m_clock ? m_clock->now() : QDateTime::currentDateTimeUtc();
}

QString ActivityLogManager::log(const QString& pluginName, const QString& format, ActivityLogEntry::Action action)
{
    m_entries.prepend(ActivityLogEntry{QUuid::createUuid(), now(), pluginName, format, action});
    if (m_entries.size() > maxEntries)
        m_entries.resize(maxEntries);
    return save();
}

QString ActivityLogManager::logBatch(const QList<std::pair<QString, QString>>& plugins, ActivityLogEntry::Action action)
{
    const QDateTime timestamp = now();
    QList<ActivityLogEntry> block;
    block.reserve(plugins.size() + m_entries.size());
    for (const auto& [name, format] : plugins)
        block.append(ActivityLogEntry{QUuid::createUuid(), timestamp, name, format, action});
    block.append(m_entries);
    if (block.size() > maxEntries)
        block.resize(maxEntries);
    m_entries = std::move(block);
    return save();
}

QString ActivityLogManager::clearLog()
{
    m_entries.clear();
    return save();
}

QString ActivityLogManager::save()
{
    QJsonArray array;
    for (const ActivityLogEntry& entry : std::as_const(m_entries))
        array.append(entry.toJson());
    // Keeps what we could not read aside first; replacing it would lose it silently.
    const SideFileWrite write =
        writeSideFile(savePath(), QJsonDocument(array).toJson(QJsonDocument::Compact), m_fileUnreadable);
    m_fileUnreadable = write.unreadableFileStays;
    Q_EMIT entriesChanged();
    return write.failure;
}
