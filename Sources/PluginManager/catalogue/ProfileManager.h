#pragma once

#include "catalogue/PluginModels.h"
#include "catalogue/PluginProfile.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class Clock;

/// Profiles in D/profiles.json and the pending new plug-ins in
/// D/pending_new_plugins.json. Side-file failures never reach callers (only the
/// import reports one); an undecodable file is kept aside before the first write.
class ProfileManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileManager)
public:
    /// Creates D and loads both files. `clock` may be null (system time).
    explicit ProfileManager(QObject* parent = nullptr, std::shared_ptr<const Clock> clock = {});

    const QList<PluginProfile>& profiles() const { return m_profiles; }
    const QSet<QString>& pendingNewPluginKeys() const { return m_pendingNewPluginKeys; }
    QString profilesPath() const { return m_profilesPath; }
    QString pendingPluginsPath() const { return m_pendingPluginsPath; }

    void setPendingNewPlugins(const QList<AudioPlugin>& plugins);
    void clearPendingNewPlugins();
    QList<AudioPlugin> pendingNewPluginsFrom(const QList<AudioPlugin>& plugins) const;

    void saveProfile(const QString& name, const QList<AudioPlugin>& plugins);
    void deleteProfile(const PluginProfile& profile);
    void updateProfile(const PluginProfile& profile, const QList<AudioPlugin>& plugins);

    struct Changes {
        QList<AudioPlugin> toEnable;
        QList<AudioPlugin> toDisable;
    };
    static Changes computeChanges(const PluginProfile& profile, const QList<AudioPlugin>& currentPlugins);
    /// The keys of which at least one plug-in is enabled.
    static QSet<QString> enabledKeys(const QList<AudioPlugin>& plugins);
    /// Whether applying the profile would switch this plug-in, given the keys enabled now.
    static bool differsFromProfile(const PluginProfile& profile, const AudioPlugin& plugin,
                                   const QSet<QString>& currentlyEnabledKeys);

    void addPluginsToProfiles(const QList<AudioPlugin>& plugins, const QSet<QUuid>& profileIds, bool asEnabled);
    void dismissNewPlugins(const QList<AudioPlugin>& plugins);

    /// Reads one profile file and appends it under a new id. Returns an empty string
    /// on success, else the reason (unreadable file, not a profile); nothing changes then.
    [[nodiscard]] QString importProfile(const QString& filePath);
    /// The one check of a profile file to import: a regular file within kMaxImportBytes,
    /// not empty, holding a profile document. None, with the reason, otherwise.
    static std::optional<PluginProfile> readProfileFile(const QString& filePath, QString* reason);
    /// Appends a profile read by readProfileFile under a new id.
    void addImportedProfile(PluginProfile profile);
    /// Larger files are refused by importProfile without being read.
    static constexpr qint64 kMaxImportBytes = 32LL * 1024 * 1024;
    /// The largest side files that are read; larger ones are kept aside at the next save.
    /// A profile holds two key sets of the catalogue (some 7 MB at a hundred thousand
    /// plug-ins): room for several. The pending list holds one key per new plug-in.
    static constexpr qint64 kMaxProfilesFileBytes = 64LL * 1024 * 1024;
    static constexpr qint64 kMaxPendingFileBytes = 16LL * 1024 * 1024;

    void saveProfileFromSelection(const QString& name, const QList<AudioPlugin>& selectedPlugins,
                                  const QList<AudioPlugin>& allPlugins);

Q_SIGNALS:
    void profilesChanged();
    void pendingNewPluginKeysChanged();

private:
    void saveProfiles();
    QDateTime now() const;

    QList<PluginProfile> m_profiles;
    QSet<QString> m_pendingNewPluginKeys;
    QString m_profilesPath;
    QString m_pendingPluginsPath;
    std::shared_ptr<const Clock> m_clock;
    bool m_profilesFileUnreadable = false;
    bool m_pendingFileUnreadable = false;
};
