#pragma once

#include "PluginModels.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>

struct sqlite3;

/// The catalogue of found plug-ins in plugins.db (one row per AudioPlugin). A cache of
/// the plug-in folders: every scan replaces it whole. Failures are printed and give
/// empty or zero results; nothing throws to callers.
class PluginDatabase final {
public:
    /// Opens (creating when missing) the database at `path`, creating its folder.
    explicit PluginDatabase(const QString& path);
    ~PluginDatabase();
    PluginDatabase(const PluginDatabase&) = delete;
    PluginDatabase& operator=(const PluginDatabase&) = delete;

    /// The process-wide catalogue at D/plugins.db, opened on first use.
    static PluginDatabase& shared();
    /// Tests: drop the shared instance so the next shared() opens the current D.
    static void resetShared();

    QString dbPath() const { return m_dbPath; }
    bool isOpen() const { return m_db != nullptr; }

    /// In one transaction; when the insert cannot be prepared the old rows are kept.
    void replaceAllPlugins(const QList<AudioPlugin>& plugins);
    /// Writes currentPath and isEnabled of the row with the plug-in's id.
    void updatePlugin(const AudioPlugin& plugin);
    void deletePlugin(const QUuid& id);

    /// The sort column must be one of "name", "manufacturer", "format", "isEnabled",
    /// "version", "lastUsed"; anything else sorts by "name".
    QList<AudioPlugin> queryPlugins(const QString& searchText, const QSet<PluginFormat>& formats,
                                    const QSet<QString>& manufacturers, const QSet<QString>& pluginKeys,
                                    const QString& sortColumn, bool sortAscending, qint64 limit,
                                    qint64 offset) const;
    qint64 totalCount(const QString& searchText, const QSet<PluginFormat>& formats,
                      const QSet<QString>& manufacturers, const QSet<QString>& pluginKeys) const;
    qint64 totalEnabledCount() const;
    qint64 totalDisabledCount() const;
    QSet<QUuid> getAllFilteredPluginIds(const QString& searchText, const QSet<PluginFormat>& formats,
                                        const QSet<QString>& manufacturers) const;
    QSet<QString> getAllPluginKeys() const;
    QStringList getDistinctManufacturers() const;
    /// No order is promised; callers sort.
    QList<AudioPlugin> getPluginsByIds(const QSet<QUuid>& ids) const;

private:
    void openDatabase();
    void exec(const char* sql) const;

    sqlite3* m_db = nullptr;
    QString m_dbPath;
};
