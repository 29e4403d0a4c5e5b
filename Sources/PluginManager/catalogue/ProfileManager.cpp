#include "catalogue/ProfileManager.h"

#include "Platform/AtomicFile.h"
#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace {

enum class FileState { missing, loaded, unreadable };

// Reads a side file as JSON. A missing file is simply empty; one that exists but is not
// valid JSON (or cannot be read at all) is unreadable.
FileState readJsonFile(const QString& path, qint64 maxBytes, QJsonDocument* document)
{
    const SmallFileRead file = readSmallFile(path, maxBytes);
    if (file.state != SmallFileRead::State::read)
        return file.state == SmallFileRead::State::missing ? FileState::missing : FileState::unreadable;
    QJsonParseError error;
    *document = QJsonDocument::fromJson(file.bytes, &error);
    return error.error == QJsonParseError::NoError ? FileState::loaded : FileState::unreadable;
}

std::optional<QList<PluginProfile>> decodeProfiles(const QJsonDocument& document)
{
    if (!document.isArray())
        return std::nullopt;
    QList<PluginProfile> profiles;
    const QJsonArray array = document.array();
    profiles.reserve(array.size());
    for (const auto& value : array) {
        if (!value.isObject())
            return std::nullopt;
        auto profile = PluginProfile::fromJson(value.toObject());
        if (!profile)
            return std::nullopt;
        profiles.append(std::move(*profile));
    }
    return profiles;
}

std::optional<QSet<QString>> decodeKeySet(const QJsonDocument& document)
{
    if (!document.isArray())
        return std::nullopt;
    QSet<QString> keys;
    for (const auto& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        keys.insert(value.toString());
    }
    return keys;
}

QSet<QString> keySet(const QList<AudioPlugin>& plugins)
{
    QSet<QString> keys;
    keys.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins)
        keys.insert(plugin.key());
    return keys;
}

QSet<QString> enabledKeySet(const QList<AudioPlugin>& plugins)
{
    QSet<QString> keys;
    for (const AudioPlugin& plugin : plugins) {
        if (plugin.isEnabled)
            keys.insert(plugin.key());
    }
    return keys;
}

QJsonArray sortedArray(const QSet<QString>& keys)
{
    QStringList list(keys.cbegin(), keys.cend());
    list.sort();
    return QJsonArray::fromStringList(list);
}

} // namespace

ProfileManager::ProfileManager(QObject* parent, std::shared_ptr<const Clock> clock)
    : QObject(parent), m_profilesPath(Paths::dataFile(QStringLiteral("profiles.json"))),
      m_pendingPluginsPath(Paths::dataFile(QStringLiteral("pending_new_plugins.json"))), m_clock(std::move(clock))
{
    QDir().mkpath(Paths::dataDir()); // a failure shows up as a save diagnostic later

    QJsonDocument document;
    switch (readJsonFile(m_profilesPath, kMaxProfilesFileBytes, &document)) {
    case FileState::missing:
        break;
    case FileState::unreadable:
        m_profilesFileUnreadable = true;
        break;
    case FileState::loaded:
        if (auto profiles = decodeProfiles(document))
            m_profiles = std::move(*profiles);
        else
            m_profilesFileUnreadable = true;
        break;
    }

    document = {};
    switch (readJsonFile(m_pendingPluginsPath, kMaxPendingFileBytes, &document)) {
    case FileState::missing:
        break;
    case FileState::unreadable:
        m_pendingFileUnreadable = true;
        break;
    case FileState::loaded:
        if (auto keys = decodeKeySet(document))
            m_pendingNewPluginKeys = std::move(*keys);
        else
            m_pendingFileUnreadable = true;
        break;
    }
}

QDateTime ProfileManager::now() const
{
    return m_clock ? m_clock->now() : QDateTime::currentDateTimeUtc();
}

void ProfileManager::saveProfiles()
{
    QJsonArray array;
    for (const PluginProfile& profile : std::as_const(m_profiles))
        array.append(profile.toJson());
    // A failure is printed by the writer; the profiles stay in memory for the next save.
    m_profilesFileUnreadable =
        writeSideFile(m_profilesPath, QJsonDocument(array).toJson(QJsonDocument::Compact), m_profilesFileUnreadable)
            .unreadableFileStays;
    Q_EMIT profilesChanged();
}

void ProfileManager::setPendingNewPlugins(const QList<AudioPlugin>& plugins)
{
    m_pendingNewPluginKeys = keySet(plugins);
    // A failure is printed by the writer; the offer then only lasts until the program ends.
    m_pendingFileUnreadable =
        writeSideFile(m_pendingPluginsPath,
                      QJsonDocument(sortedArray(m_pendingNewPluginKeys)).toJson(QJsonDocument::Compact),
                      m_pendingFileUnreadable)
            .unreadableFileStays;
    Q_EMIT pendingNewPluginKeysChanged();
}

void ProfileManager::clearPendingNewPlugins()
{
    m_pendingNewPluginKeys.clear();
    // An unreadable file is kept aside rather than removed; a missing file is already the wanted state.
    if (m_pendingFileUnreadable && QFileInfo::exists(m_pendingPluginsPath))
        m_pendingFileUnreadable =
            writeSideFile(m_pendingPluginsPath, QByteArrayLiteral("[]"), m_pendingFileUnreadable).unreadableFileStays;
    if (!m_pendingFileUnreadable)
        QFile::remove(m_pendingPluginsPath);
    Q_EMIT pendingNewPluginKeysChanged();
}

QList<AudioPlugin> ProfileManager::pendingNewPluginsFrom(const QList<AudioPlugin>& plugins) const
{
    QList<AudioPlugin> pending;
    if (m_pendingNewPluginKeys.isEmpty())
        return pending;
    for (const AudioPlugin& plugin : plugins) {
        if (m_pendingNewPluginKeys.contains(plugin.key()))
            pending.append(plugin);
    }
    return pending;
}

void ProfileManager::saveProfile(const QString& name, const QList<AudioPlugin>& plugins)
{
    PluginProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = name;
    profile.createdAt = now();
    profile.enabledPlugins = enabledKeySet(plugins);
    profile.totalPluginCount = plugins.size();
    profile.allPluginKeys = keySet(plugins);
    m_profiles.append(std::move(profile));
    saveProfiles();
}

void ProfileManager::deleteProfile(const PluginProfile& profile)
{
    m_profiles.removeIf([&](const PluginProfile& stored) { return stored.id == profile.id; });
    saveProfiles();
}

void ProfileManager::updateProfile(const PluginProfile& profile, const QList<AudioPlugin>& plugins)
{
    const auto found = std::find_if(m_profiles.begin(), m_profiles.end(),
                                    [&](const PluginProfile& stored) { return stored.id == profile.id; });
    if (found == m_profiles.end())
        return;
    PluginProfile updated;
    updated.id = profile.id;
    updated.name = profile.name;
    updated.createdAt = profile.createdAt;
    updated.enabledPlugins = enabledKeySet(plugins);
    updated.totalPluginCount = plugins.size();
    updated.allPluginKeys = keySet(plugins);
    *found = std::move(updated);
    saveProfiles();
}

QSet<QString> ProfileManager::enabledKeys(const QList<AudioPlugin>& plugins)
{
    QSet<QString> keys;
    for (const AudioPlugin& plugin : plugins) {
        if (plugin.isEnabled)
            keys.insert(plugin.key());
    }
    return keys;
}

bool ProfileManager::differsFromProfile(const PluginProfile& profile, const AudioPlugin& plugin,
                                        const QSet<QString>& currentlyEnabledKeys)
{
    const QString key = plugin.key();
    const bool wanted = profile.enabledPlugins.contains(key);
    if (wanted)
        // Two bundles can share one key (a Waves plug-in in two version folders, or a
        // system and a user copy): a wanted key is satisfied once one of them is enabled,
        // so a profile saved a moment ago never asks to enable the other one.
        return !plugin.isEnabled && !currentlyEnabledKeys.contains(key);
    return plugin.isEnabled;
}

ProfileManager::Changes ProfileManager::computeChanges(const PluginProfile& profile,
                                                       const QList<AudioPlugin>& currentPlugins)
{
    Changes changes;
    const QSet<QString> enabled = enabledKeys(currentPlugins);
    for (const AudioPlugin& plugin : currentPlugins) {
        if (!differsFromProfile(profile, plugin, enabled))
            continue;
        if (plugin.isEnabled)
            changes.toDisable.append(plugin);
        else
            changes.toEnable.append(plugin);
    }
    return changes;
}

void ProfileManager::addPluginsToProfiles(const QList<AudioPlugin>& plugins, const QSet<QUuid>& profileIds,
                                          bool asEnabled)
{
    const QSet<QString> keys = keySet(plugins);
    for (PluginProfile& profile : m_profiles) {
        if (!profileIds.contains(profile.id))
            continue;
        profile.allPluginKeys.unite(keys);
        if (asEnabled)
            profile.enabledPlugins.unite(keys);
        profile.totalPluginCount += plugins.size();
    }
    saveProfiles();
}

void ProfileManager::dismissNewPlugins(const QList<AudioPlugin>& plugins)
{
    const QSet<QString> keys = keySet(plugins);
    for (PluginProfile& profile : m_profiles)
        profile.allPluginKeys.unite(keys);
    saveProfiles();
}

std::optional<PluginProfile> ProfileManager::readProfileFile(const QString& filePath, QString* reason)
{
    const SmallFileRead file = readSmallFile(filePath, kMaxImportBytes);
    QString failure;
    if (file.state == SmallFileRead::State::missing)
        failure = QStringLiteral("The file could not be read: it does not exist.");
    else if (file.tooLarge)
        failure = QStringLiteral("The file is too large to be a profile.");
    else if (file.state == SmallFileRead::State::unreadable)
        failure = QStringLiteral("The file could not be read: %1.").arg(file.reason);
    else if (file.bytes.trimmed().isEmpty())
        failure = QStringLiteral("The file is empty.");
    std::optional<PluginProfile> profile;
    if (failure.isEmpty()) {
        DecodeError error;
        const auto document = ProfileDocument::read(file.bytes, &error);
        if (document && document->profile)
            profile = document->profile;
        else
            failure = QStringLiteral("The file is not a profile: %1").arg(error.message);
    }
    if (reason)
        *reason = failure;
    return profile;
}

void ProfileManager::addImportedProfile(PluginProfile profile)
{
    profile.id = QUuid::createUuid();
    m_profiles.append(std::move(profile));
    saveProfiles();
}

QString ProfileManager::importProfile(const QString& filePath)
{
    QString reason;
    std::optional<PluginProfile> profile = readProfileFile(filePath, &reason);
    if (profile)
        addImportedProfile(std::move(*profile));
    return reason;
}

void ProfileManager::saveProfileFromSelection(const QString& name, const QList<AudioPlugin>& selectedPlugins,
                                              const QList<AudioPlugin>& allPlugins)
{
    PluginProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = name;
    profile.createdAt = now();
    profile.enabledPlugins = keySet(selectedPlugins);
    profile.totalPluginCount = allPlugins.size();
    profile.allPluginKeys = keySet(allPlugins);
    m_profiles.append(std::move(profile));
    saveProfiles();
}
