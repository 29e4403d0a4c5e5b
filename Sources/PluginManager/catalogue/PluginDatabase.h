#pragma once

#include "Platform/InstalledInstance.h"
#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class CatalogueSearch;
struct sqlite3;

namespace Sql {
class Statement;
}

/// One page query of the catalogue: filters, sort and page. The sort column must be
/// one of "name", "manufacturer", "format", "isEnabled", "version", "lastUsed"; anything
/// else sorts by "name". Search text is matched with LIKE '%text%' unescaped, so "%"
/// and "_" act as wildcards. `limit` and `offset` are clamped to the signed 32-bit range
/// (a negative limit means no limit, a negative offset counts as 0, as in SQLite).
struct PluginQuery {
    QString searchText{};
    QSet<PluginFormat> formats{};
    QSet<QString> manufacturers{};
    QSet<QString> pluginKeys{};
    QString sortColumn = QStringLiteral("name");
    bool sortAscending = true;
    qint64 limit = -1;
    qint64 offset = 0;
};

/// The catalogue of found plug-ins in plugins.db (one row per AudioPlugin). A cache of
/// the plug-in folders: every scan rewrites it (writeScan: only what changed). Failures are printed and give
/// empty or zero results, writes return their reason; nothing throws to callers.
/// A file that cannot serve as the catalogue (damaged, not a regular file, a view named
/// "plugins") is set aside at opening and a new one created; see takeSetAsideNotice().
class PluginDatabase final {
public:
    /// What opening does with a file that cannot serve as the catalogue.
    enum class Unreadable {
        setAside, ///< keeps it aside and starts a new one (the window's own connection)
        report    ///< leaves it and stays closed, openFailure() saying why (a second connection,
                  ///< which must not move the file from under the first)
    };
    /// Opens (creating when missing) the database at `path`, creating its folder.
    explicit PluginDatabase(const QString& path, Unreadable unreadable = Unreadable::setAside);
    ~PluginDatabase();
    PluginDatabase(const PluginDatabase&) = delete;
    PluginDatabase& operator=(const PluginDatabase&) = delete;

    /// The process-wide catalogue: the one the program's start-up installed, else the one at
    /// D/plugins.db, opened on first use. Below the start-up the catalogue is handed down.
    static PluginDatabase& shared();
    /// The start-up installs the catalogue it built; clearShared() with that one uninstalls it.
    static void setShared(PluginDatabase* catalogue) { InstalledInstance<PluginDatabase>::install(catalogue); }
    static void clearShared(const PluginDatabase* catalogue)
    {
        InstalledInstance<PluginDatabase>::uninstall(catalogue);
    }
    /// Tests: drop the default instance so the next shared() opens the current D.
    static void resetShared();

    QString dbPath() const { return m_dbPath; }
    bool isOpen() const { return m_db != nullptr; }
    /// Gives back the connection's cached pages that no statement holds; later reads fetch them again.
    void releaseMemory() const;
    /// Why the file could not be opened (meaningful while !isOpen()).
    QString openFailure() const;
    const QString& path() const { return m_dbPath; }

    /// In one transaction; when the insert cannot be prepared the old rows are kept.
    /// Returns an empty string, or why the rows could not be written.
    [[nodiscard]] QString replaceAllPlugins(const QList<AudioPlugin>& plugins);
    /// Writes a scan's records, in one transaction, leaving the table as replaceAllPlugins
    /// would (the same rows in the same order) but for the ids: a row whose bundle (format
    /// and current path) the scan found again keeps its id, and the record takes it, so
    /// what a view holds of the old rows stays valid. Only what changed is written: rows the
    /// scan found alike are left alone, changed ones updated in place, the rest deleted or
    /// inserted. A scan that changed much is written whole instead.
    /// Returns an empty string, or why the rows could not be written (the old ones are kept).
    [[nodiscard]] QString writeScan(QList<AudioPlugin>& plugins);
    /// The first `limit` records in the order an unfiltered page sorted by name ascending
    /// shows them once they are written (COLLATE NOCASE, ties in record order): what a first
    /// scan can show before its write has finished.
    static QList<AudioPlugin> firstPageByName(const QList<AudioPlugin>& plugins, qsizetype limit);
    /// Writes currentPath and isEnabled of the row with the plug-in's id.
    void updatePlugin(const AudioPlugin& plugin);
    void deletePlugin(const QUuid& id);
    /// The rows of a batch of moves (currentPath and isEnabled by id) and of deletes, in
    /// one transaction with one prepared statement each. A failing statement writes
    /// nothing; an id that is no longer in the catalogue is reported too. Returns an empty
    /// string, or why a row was not written.
    [[nodiscard]] QString updatePlugins(const QList<AudioPlugin>& plugins);
    [[nodiscard]] QString deletePlugins(const QList<QUuid>& ids);

    QList<AudioPlugin> queryPlugins(const PluginQuery& query) const;
    qint64 totalCount(const QString& searchText, const QSet<PluginFormat>& formats, const QSet<QString>& manufacturers,
                      const QSet<QString>& pluginKeys) const;
    qint64 totalEnabledCount() const;
    qint64 totalDisabledCount() const;
    /// The whole catalogue's counts, read with one statement.
    struct Counts {
        qint64 enabled = 0;  ///< as totalEnabledCount()
        qint64 disabled = 0; ///< as totalDisabledCount()
        /// The rows of each format (formats without rows are absent).
        QHash<PluginFormat, qint64> byFormat;
    };
    Counts counts() const;
    QSet<QUuid> getAllFilteredPluginIds(const QString& searchText, const QSet<PluginFormat>& formats,
                                        const QSet<QString>& manufacturers) const;
    QSet<QString> getAllPluginKeys() const;
    QStringList getDistinctManufacturers() const;
    /// No order is promised; callers sort. Any number of ids works: large sets are
    /// looked up in chunks that fit SQLite's host-parameter limit.
    QList<AudioPlugin> getPluginsByIds(const QSet<QUuid>& ids) const;

    /// When the file cannot be written, the scan's rows are kept in memory instead, so
    /// every read shows them until reattachFile() (after a scan could write the file).
    /// Returns an empty string, or why even that failed.
    QString holdInMemory(const QList<AudioPlugin>& plugins);
    bool isInMemory() const { return m_inMemory; }
    void reattachFile();
    /// True for a write's reason that says the file is damaged or not a database at all.
    static bool isDamageReason(const QString& reason);
    /// Damage that the opening did not see (a write found it): the file is set aside as an
    /// unreadable one is, and the rows go into a new one. Returns an empty string, or why not.
    QString replaceDamagedFile(const QList<AudioPlugin>& plugins, const QString& damage);
    /// What was set aside when the catalogue was opened, for the user; empty when nothing
    /// was. Given once.
    QString takeSetAsideNotice();

    /// Debugging and tests: called with the text of every statement as it starts running,
    /// bound values filled in. An empty function removes the observer.
    void setStatementObserver(std::function<void(const QString&)> observer);

private:
    struct FilterClause {
        QByteArray sql; // empty, or "WHERE " + conditions joined by " AND "
        QStringList parameters;
    };
    static FilterClause filterClause(const QString& searchText, const QSet<PluginFormat>& formats,
                                     const QSet<QString>& manufacturers, const QSet<QString>& pluginKeys,
                                     bool formatOnRow = false, bool manufacturerOnRow = false);
    static std::optional<AudioPlugin> pluginFromRow(const Sql::Statement& row);
    static int traceCallback(unsigned type, void* context, void* statement, void* text);

    void attachFile();
    /// Opens the connection; a reason when the file is not a readable database.
    QString openDatabase();
    QString foreignPluginsObject() const;
    /// A reason when the script fails on an unreadable file; other failures are printed.
    QString runSetUpScript(const char* sql);
    bool setFileAside(const QString& problem);
    void closeConnection();
    QString lastError() const;
    void dropTableOfAnotherLayout();
    /// The change log and its triggers (see CatalogueSchema::kCreateChangeLog); a reason as runSetUpScript gives.
    QString createChangeLog();
    /// Runs a script; on failure prints "❌ SQL error: <message>" and returns false.
    bool exec(const char* sql) const;
    qint64 countOf(const QByteArray& sql, const QStringList& parameters) const;
    struct ScanWrite;
    struct WrittenRows;
    /// Pairs the catalogue's rows with a scan's records and plans the writes; gives the paired
    /// records their rows' ids. Runs inside the write's transaction. The rows are read from the
    /// table, or taken from `written` when this connection's last write left them there.
    ScanWrite planScanWrite(QList<AudioPlugin>& plugins, const WrittenRows* written) const;
    /// replaceAllPlugins; `remember` keeps what was written for the next scan's write.
    QString rewrite(const QList<AudioPlugin>& plugins, bool remember);
    QString applyScanWrite(const ScanWrite& plan, const QList<AudioPlugin>& plugins);
    /// Runs one prepared statement `count` times in one transaction, `bind` filling row i.
    QString writeBatch(const char* sql, qsizetype count, const std::function<void(Sql::Statement&, qsizetype)>& bind);

    /// The rows of `rowids`, in that order (rows that do not convert are left out).
    QList<AudioPlugin> pluginsByRowids(const QList<qint64>& rowids) const;
    /// A format or manufacturer filter with the sort's own index: how the page is best read.
    bool filterBeatsSortIndex(const FilterClause& filter, qint64 limit, qint64 offset) const;

    std::function<void(const QString&)> m_statementObserver;
    // Searches answered from memory; filled on first use (queries are const).
    std::unique_ptr<CatalogueSearch> m_search;
    // The rows a scan's write of this connection left, while no one has written since.
    std::unique_ptr<WrittenRows> m_written;

    sqlite3* m_db = nullptr;
    QString m_dbPath;
    Unreadable m_unreadable = Unreadable::setAside;
    QString m_openError;
    QString m_setAsideNotice;
    bool m_inMemory = false;
};
