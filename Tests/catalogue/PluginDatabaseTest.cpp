#include "catalogue/PluginDatabase.h"

#include "Platform/Paths.h"
#include "Support/SandboxTest.h"
#include "catalogue/CatalogueSchema.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

/// A second, independent connection: lets a test plant rows the catalogue would never
/// write itself and look at what was really stored.
class RawDb {
public:
    explicit RawDb(const QString& path) { sqlite3_open(QFile::encodeName(path).constData(), &m_db); }
    ~RawDb() { sqlite3_close_v2(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const char* sql)
    {
        char* message = nullptr;
        const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
        EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }
    /// Every row of a query, each row's columns joined by "|" (NULL as "NULL").
    QStringList rows(const char* sql)
    {
        QStringList result;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr), SQLITE_OK) << sql << sqlite3_errmsg(m_db);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                columns << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            result << columns.join(QLatin1Char('|'));
        }
        sqlite3_finalize(stmt);
        return result;
    }

    /// The first column of a query with text parameters bound in order.
    QStringList column(const QByteArray& sql, const QStringList& parameters)
    {
        QStringList result;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.constData(), -1, &stmt, nullptr), SQLITE_OK) << sql.constData();
        QList<QByteArray> bound;
        for (const QString& parameter : parameters)
            bound << parameter.toUtf8();
        for (qsizetype i = 0; stmt && i < bound.size(); ++i)
            sqlite3_bind_text(stmt, int(i) + 1, bound[i].constData(), int(bound[i].size()), SQLITE_STATIC);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            result << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return result;
    }

private:
    sqlite3* m_db = nullptr;
};

AudioPlugin makePlugin(const QString& name, const QString& manufacturer, PluginFormat format, bool enabled = true,
                       std::optional<QString> version = std::nullopt, std::optional<QDateTime> lastUsed = std::nullopt)
{
    const QString path = QStringLiteral("/Library/Audio/Plug-Ins/") + name;
    return AudioPlugin{QUuid::createUuid(), name,         manufacturer, format, path, path, enabled,
                       std::move(version),  std::nullopt, lastUsed};
}

QStringList sortedNames(const QList<AudioPlugin>& plugins)
{
    QStringList names;
    for (const AudioPlugin& plugin : plugins)
        names << plugin.name;
    names.sort();
    return names;
}

QStringList names(const QList<AudioPlugin>& plugins)
{
    QStringList result;
    for (const AudioPlugin& plugin : plugins)
        result << plugin.name;
    return result;
}

QSet<QUuid> idsOf(const QList<AudioPlugin>& plugins)
{
    QSet<QUuid> ids;
    for (const AudioPlugin& plugin : plugins)
        ids.insert(plugin.id);
    return ids;
}

QStringList list(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result << QString::fromUtf8(text);
    return result;
}

QSet<QString> set(std::initializer_list<const char*> texts)
{
    const QStringList texts_ = list(texts);
    return QSet<QString>(texts_.cbegin(), texts_.cend());
}

constexpr qint64 kAll = 100000;

} // namespace

class PluginDatabaseTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        m_path = Paths::dataFile(QStringLiteral("plugins.db"));
    }
    void TearDown() override
    {
        m_db.reset();
        PluginDatabase::resetShared();
        SandboxTest::TearDown();
    }

    PluginDatabase& open()
    {
        m_db = std::make_unique<PluginDatabase>(m_path);
        return *m_db;
    }
    QList<AudioPlugin> all(const QString& sortColumn = QStringLiteral("name"), bool ascending = true) const
    {
        return m_db->queryPlugins({.sortColumn = sortColumn, .sortAscending = ascending, .limit = kAll});
    }

    QString m_path;
    std::unique_ptr<PluginDatabase> m_db;
};

TEST_F(PluginDatabaseTest, SharedInstanceLivesInTheDataFolder)
{
    PluginDatabase::resetShared();
    PluginDatabase& shared = PluginDatabase::shared();
    EXPECT_EQ(shared.dbPath(), Paths::dataFile(QStringLiteral("plugins.db")));
    EXPECT_TRUE(shared.isOpen());
    EXPECT_TRUE(QFileInfo::exists(shared.dbPath()));
    EXPECT_EQ(&PluginDatabase::shared(), &shared);
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(PluginDatabaseTest, CreatesExactSchemaInWalMode)
{
    open();
    RawDb raw(m_path);
    const QStringList objects =
        raw.rows("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    QStringList expected{
        QStringLiteral("table|plugins|CREATE TABLE plugins (\n"
                       "    id TEXT PRIMARY KEY,\n"
                       "    name TEXT NOT NULL COLLATE NOCASE,\n"
                       "    manufacturer TEXT NOT NULL COLLATE NOCASE,\n"
                       "    format TEXT NOT NULL,\n"
                       "    originalPath TEXT NOT NULL,\n"
                       "    currentPath TEXT NOT NULL,\n"
                       "    isEnabled INTEGER NOT NULL DEFAULT 1,\n"
                       "    version TEXT,\n"
                       "    bundleIdentifier TEXT,\n"
                       "    lastUsed REAL\n"
                       ")"),
        QStringLiteral("index|idx_plugins_name|CREATE INDEX idx_plugins_name ON plugins(name)"),
        QStringLiteral("index|idx_plugins_manufacturer|CREATE INDEX idx_plugins_manufacturer ON plugins(manufacturer)"),
        QStringLiteral("index|idx_plugins_format|CREATE INDEX idx_plugins_format ON plugins(format)"),
        QStringLiteral("index|idx_plugins_isEnabled|CREATE INDEX idx_plugins_isEnabled ON plugins(isEnabled)"),
        QStringLiteral("index|idx_plugins_lastUsed|CREATE INDEX idx_plugins_lastUsed ON plugins(lastUsed)"),
        // Pages of text columns are sorted COLLATE NOCASE: these let them walk an index.
        QStringLiteral("index|idx_plugins_format_nocase|CREATE INDEX idx_plugins_format_nocase ON plugins(format "
                       "COLLATE NOCASE)"),
        QStringLiteral("index|idx_plugins_version_nocase|CREATE INDEX idx_plugins_version_nocase ON plugins(version "
                       "COLLATE NOCASE)"),
        // The change log the in-memory search reads, and the triggers that fill it.
        QStringLiteral("table|plugins_changes|CREATE TABLE plugins_changes (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "row INTEGER, columns INTEGER NOT NULL)"),
        QStringLiteral("table|sqlite_sequence|CREATE TABLE sqlite_sequence(name,seq)"),
    };
    for (const auto& [name, sql] : CatalogueSchema::kChangeTriggers)
        expected << QStringLiteral("trigger|%1|%2").arg(QString::fromLatin1(name), QString::fromLatin1(sql));
    EXPECT_EQ(objects, expected);
    EXPECT_EQ(raw.rows("PRAGMA journal_mode"), QStringList{QStringLiteral("wal")});

    // A full rewrite rebuilds the indexes and the triggers (they come last then); the schema must
    // come out the same.
    EXPECT_EQ(m_db->replaceAllPlugins({makePlugin(QStringLiteral("A"), QStringLiteral("M"), PluginFormat::vst3)}),
              QString());
    QStringList rewritten = raw.rows("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    QStringList sortedExpected = expected;
    rewritten.sort();
    sortedExpected.sort();
    EXPECT_EQ(rewritten, sortedExpected);
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join(QLatin1Char('\n')).toStdString();

    // Reopening an existing catalogue runs the same script without complaint.
    m_db.reset();
    open();
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(PluginDatabaseTest, OlderFileLosesItsRetiredIndexesAndNumericSortsKeepTheirNocaseOrder)
{
    open();
    QList<AudioPlugin> rows;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    for (int i = 0; i < 40; ++i) {
        // Many ties on both columns, and NULL, whole and fractional seconds for lastUsed.
        const std::optional<QDateTime> lastUsed =
            i % 4 == 0 ? std::nullopt : std::optional<QDateTime>(base.addMSecs((i % 3) * 1500));
        rows << makePlugin(QStringLiteral("P%1").arg(i), QStringLiteral("M"), PluginFormat::vst3, i % 3 != 0,
                           std::nullopt, lastUsed);
    }
    ASSERT_EQ(m_db->replaceAllPlugins(rows), QString());
    m_db.reset();
    // A file of an earlier version: its NOCASE copies of the numeric orders and a binary version index.
    const char* const retired[] = {"idx_plugins_version", "idx_plugins_isEnabled_nocase",
                                   "idx_plugins_lastUsed_nocase"};
    {
        RawDb raw(m_path);
        raw.exec("CREATE INDEX idx_plugins_version ON plugins(version)");
        raw.exec("CREATE INDEX idx_plugins_isEnabled_nocase ON plugins(isEnabled COLLATE NOCASE)");
        raw.exec("CREATE INDEX idx_plugins_lastUsed_nocase ON plugins(lastUsed COLLATE NOCASE)");
    }
    open();
    RawDb raw(m_path);
    const QStringList indexes = raw.rows("SELECT name FROM sqlite_master WHERE type = 'index'");
    for (const char* name : retired)
        EXPECT_FALSE(indexes.contains(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join(QLatin1Char('\n')).toStdString();

    // The binary index gives every page the order the NOCASE one gave, ties in rowid order both ways,
    // searched (from memory) or not.
    raw.exec("CREATE INDEX earlier_isEnabled ON plugins(isEnabled COLLATE NOCASE)");
    raw.exec("CREATE INDEX earlier_lastUsed ON plugins(lastUsed COLLATE NOCASE)");
    for (const char* column : {"isEnabled", "lastUsed"}) {
        for (bool ascending : {true, false}) {
            for (const QString& search : {QString(), QStringLiteral("p")}) {
                SCOPED_TRACE(std::string(column) + (ascending ? " up" : " down") +
                             (search.isEmpty() ? "" : " searched"));
                QStringList ids;
                for (const AudioPlugin& p : m_db->queryPlugins({.searchText = search,
                                            .sortColumn = QString::fromLatin1(column),
                                            .sortAscending = ascending,
                                            .limit = kAll}))
                    ids << uuidString(p.id);
                const QByteArray sql = QByteArray("SELECT id FROM plugins INDEXED BY earlier_") + column +
                                       " ORDER BY " + column + " COLLATE NOCASE " + (ascending ? "ASC" : "DESC");
                EXPECT_EQ(ids, raw.column(sql, {}));
                EXPECT_EQ(ids.size(), rows.size());
            }
        }
    }
}

TEST_F(PluginDatabaseTest, StoresAndReadsBackEveryColumn)
{
    open();
    const QDateTime used = QDateTime::fromMSecsSinceEpoch(1'700'000'000'250, Qt::UTC);
    AudioPlugin full = makePlugin(QStringLiteral("Tape Echo"), QStringLiteral("Acme"), PluginFormat::au, false,
                                  QStringLiteral("1.2.3"), used);
    full.bundleIdentifier = QStringLiteral("com.acme.tapeecho");
    full.currentPath = QStringLiteral("/Library/Audio/Plug-Ins/Disabled/Audio Units/Tape Echo.component");
    const AudioPlugin bare = makePlugin(QStringLiteral("Bare"), QStringLiteral("Nobody"), PluginFormat::wavesBundle);
    EXPECT_EQ(m_db->replaceAllPlugins({full, bare}), QString());

    RawDb raw(m_path);
    EXPECT_EQ(
        raw.rows("SELECT id, format, isEnabled, typeof(version), version, typeof(bundleIdentifier), bundleIdentifier, "
                 "typeof(lastUsed), lastUsed FROM plugins ORDER BY name"),
        (QStringList{uuidString(bare.id) + QStringLiteral("|Waves|1|text||text||null|NULL"),
                     uuidString(full.id) + QStringLiteral("|Audio Units|0|text|1.2.3|text|com.acme.tapeecho|"
                                                          "real|1700000000.25")}));
    EXPECT_EQ(uuidString(full.id), uuidString(full.id).toUpper());

    const QList<AudioPlugin> back = all();
    ASSERT_EQ(back.size(), 2);
    const AudioPlugin& b = back.at(0);
    EXPECT_EQ(b.id, bare.id);
    EXPECT_FALSE(b.version);
    EXPECT_FALSE(b.bundleIdentifier);
    EXPECT_FALSE(b.lastUsed);
    EXPECT_EQ(b.versionValue(), QStringLiteral("Unknown"));
    const AudioPlugin& f = back.at(1);
    EXPECT_EQ(f.id, full.id);
    EXPECT_EQ(f.name, full.name);
    EXPECT_EQ(f.manufacturer, full.manufacturer);
    EXPECT_EQ(f.format, PluginFormat::au);
    EXPECT_EQ(f.originalPath, full.originalPath);
    EXPECT_EQ(f.currentPath, full.currentPath);
    EXPECT_FALSE(f.isEnabled);
    EXPECT_EQ(f.version, full.version);
    EXPECT_EQ(f.bundleIdentifier, full.bundleIdentifier);
    ASSERT_TRUE(f.lastUsed);
    EXPECT_EQ(f.lastUsed->toMSecsSinceEpoch(), used.toMSecsSinceEpoch());
}

TEST_F(PluginDatabaseTest, ReplaceRewritesTheWholeTable)
{
    open();
    EXPECT_EQ(m_db->replaceAllPlugins({makePlugin(QStringLiteral("Old"), QStringLiteral("A"), PluginFormat::vst3)}),
              QString());
    AudioPlugin first = makePlugin(QStringLiteral("New"), QStringLiteral("A"), PluginFormat::vst3);
    AudioPlugin duplicate = makePlugin(QStringLiteral("Duplicate"), QStringLiteral("A"), PluginFormat::vst3);
    duplicate.id = first.id;
    EXPECT_EQ(m_db->replaceAllPlugins({first, duplicate}), QString());
    // The record whose insert fails is just missing; the rest of the scan is kept.
    EXPECT_EQ(names(all()), QStringList{QStringLiteral("New")});

    EXPECT_EQ(m_db->replaceAllPlugins({}), QString());
    EXPECT_TRUE(all().isEmpty());
    EXPECT_EQ(m_db->totalCount({}, {}, {}, {}), 0);
    EXPECT_TRUE(printedLines().isEmpty());
}

// A scan's write changes only what changed, and leaves the table a whole rewrite would: the
// same rows in the same order (ties of every sort fall in rowid order), but with the ids of
// the bundles found again kept, in the rows and in the records.
TEST_F(PluginDatabaseTest, WriteScanLeavesTheTableARewriteWouldWithIdsKept)
{
    // Names repeat across formats, so the order within a name shows in every page.
    const auto scanOf = [](int count) {
        QList<AudioPlugin> rows;
        const PluginFormat formats[] = {PluginFormat::au, PluginFormat::vst3, PluginFormat::clap};
        for (int i = 0; i < count; ++i) {
            const PluginFormat format = formats[i % 3];
            // Some texts beyond ASCII, which are compared otherwise.
            const QString maker =
                i % 5 == 4 ? QStringLiteral("M\u00e4ker \u65e5") : QStringLiteral("Maker %1").arg(i % 5);
            AudioPlugin plugin =
                makePlugin(QStringLiteral("Plug %1").arg(i / 3, 4, 10, QLatin1Char('0')), maker, format, i % 7 != 0,
                           i % 2 ? std::optional<QString>(QStringLiteral("1.%1").arg(i)) : std::nullopt,
                           QDateTime::fromSecsSinceEpoch(1700000000 + i, Qt::UTC));
            plugin.currentPath += QLatin1Char('.') + PluginFormats::fileExtensions(format).first();
            rows.append(plugin);
        }
        return rows;
    };
    const auto withNewIds = [](QList<AudioPlugin> rows) {
        for (AudioPlugin& row : rows)
            row.id = QUuid::createUuid();
        return rows;
    };
    const auto insertedAt = [](QList<AudioPlugin> rows, qsizetype at, int count, const QString& name) {
        for (int k = 0; k < count; ++k) {
            AudioPlugin plugin = makePlugin(name, QStringLiteral("New"), PluginFormat::vst2);
            plugin.currentPath += QStringLiteral(" %1.vst").arg(k);
            rows.insert(at + k, plugin);
        }
        return rows;
    };
    const QList<AudioPlugin> base = scanOf(60);
    struct Case {
        const char* name;
        QList<AudioPlugin> scan;
        int rowWrites; // statements that write one row; -1: the whole table is rewritten
    };
    QList<AudioPlugin> oneChanged = base;
    oneChanged[10].lastUsed = oneChanged[10].lastUsed->addSecs(60);
    QList<AudioPlugin> manyChanged = base;
    for (qsizetype i = 0; i < manyChanged.size(); i += 2) {
        manyChanged[i].manufacturer += QStringLiteral(" Inc");
        manyChanged[i].isEnabled = !manyChanged[i].isEnabled;
        manyChanged[i].version = std::nullopt;
    }
    manyChanged.removeAt(31);
    manyChanged.removeAt(5);
    manyChanged = insertedAt(manyChanged, 20, 2, manyChanged[19].name); // ties with an existing name
    manyChanged = insertedAt(manyChanged, 0, 1, QStringLiteral("Aaa"));
    QList<AudioPlugin> otherLetter = base; // as many characters and bytes, one letter other
    otherLetter[9].manufacturer = QStringLiteral("M\u00f6ker \u65e5");
    QList<AudioPlugin> swapped = base; // two rows whose order changed: one of them moves
    swapped.swapItemsAt(3, 4);
    const Case cases[] = {
        {"no change", base, 0},
        {"one changed", oneChanged, 1},
        {"a letter beyond ASCII changed", otherLetter, 1},
        {"many changed, some gone, some new", manyChanged, 30 + 2 + 3},
        {"two swapped", swapped, 2},
        {"more new rows than fit between two", insertedAt(base, 30, int(CatalogueSchema::kRowidStep), "Plug 0009"), -1},
        {"everything gone", {}, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString rewrittenPath = Paths::dataFile(QStringLiteral("rewritten.db"));
        for (const QString& file : {rewrittenPath, m_path})
            QFile::remove(file);
        open();
        ASSERT_EQ(m_db->replaceAllPlugins(base), QString());
        QList<AudioPlugin> scan = withNewIds(c.scan);
        QStringList statements;
        m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
        ASSERT_EQ(m_db->writeScan(scan), QString());
        m_db->setStatementObserver({});
        {
            PluginDatabase rewritten(rewrittenPath);
            ASSERT_EQ(rewritten.replaceAllPlugins(scan), QString());
        }
        const char* const everyColumnButTheId = "SELECT name, manufacturer, format, originalPath, currentPath, "
                                                "isEnabled, version, bundleIdentifier, lastUsed FROM plugins "
                                                "ORDER BY rowid";
        RawDb written(m_path);
        RawDb expected(rewrittenPath);
        EXPECT_EQ(written.rows(everyColumnButTheId), expected.rows(everyColumnButTheId));
        EXPECT_EQ(written.rows("PRAGMA integrity_check"), QStringList{QStringLiteral("ok")});
        // The rows' ids are the records', in the records' order; bundles found again kept theirs.
        QStringList scanIds;
        for (const AudioPlugin& plugin : std::as_const(scan))
            scanIds << uuidString(plugin.id);
        EXPECT_EQ(written.rows("SELECT id FROM plugins ORDER BY rowid"), scanIds);
        QHash<QString, QUuid> baseIds;
        for (const AudioPlugin& plugin : base)
            baseIds.insert(PluginFormats::rawValue(plugin.format) + plugin.currentPath, plugin.id);
        for (const AudioPlugin& plugin : std::as_const(scan)) {
            const QString key = PluginFormats::rawValue(plugin.format) + plugin.currentPath;
            EXPECT_EQ(plugin.id == baseIds.value(key), baseIds.contains(key)) << plugin.currentPath.toStdString();
        }
        // Pages sorted by each column tie in the same order either way.
        for (const char* column : {"name", "format", "isEnabled"}) {
            const QList<AudioPlugin> page = all(QString::fromLatin1(column));
            PluginDatabase rewritten(rewrittenPath);
            const QList<AudioPlugin> rewrittenPage =
                rewritten.queryPlugins({.sortColumn = QString::fromLatin1(column), .limit = kAll});
            EXPECT_EQ(idsOf(page), idsOf(scan));
            QStringList paths, rewrittenPaths;
            for (const AudioPlugin& plugin : page)
                paths << plugin.currentPath;
            for (const AudioPlugin& plugin : rewrittenPage)
                rewrittenPaths << plugin.currentPath;
            EXPECT_EQ(paths, rewrittenPaths) << column;
        }
        // One transaction, and only the rows that changed written.
        const auto isRowWrite = [](const QString& sql) {
            return sql.startsWith(QStringLiteral("INSERT")) || sql.startsWith(QStringLiteral("UPDATE")) ||
                   sql.startsWith(QStringLiteral("DELETE FROM plugins WHERE"));
        };
        const auto isWrite = [&isRowWrite](const QString& sql) {
            return isRowWrite(sql) || sql == QLatin1String(CatalogueSchema::kDeleteAll);
        };
        ASSERT_EQ(statements.count(QStringLiteral("COMMIT")), 1);
        const qsizetype commit = statements.indexOf(QStringLiteral("COMMIT"));
        qsizetype begin = commit;
        while (begin > 0 && !statements[begin].startsWith(QStringLiteral("BEGIN")))
            --begin;
        for (qsizetype i = 0; i < statements.size(); ++i) {
            if (isWrite(statements[i])) {
                EXPECT_TRUE(i > begin && i < commit) << statements[i].toStdString();
            }
        }
        const auto rowWrites = std::count_if(statements.cbegin(), statements.cend(), isRowWrite);
        if (c.rowWrites >= 0)
            EXPECT_EQ(rowWrites, c.rowWrites);
        else
            EXPECT_TRUE(statements.contains(QString::fromLatin1(CatalogueSchema::kDeleteAll)));
        // A changed row sets only its changed columns, so only their indexes are rewritten.
        if (std::string_view(c.name) == "one changed") {
            EXPECT_EQ(std::count_if(statements.cbegin(), statements.cend(),
                                    [](const QString& sql) {
                                        return sql.startsWith(QStringLiteral("UPDATE plugins SET lastUsed = ")) &&
                                               sql.contains(QStringLiteral(" WHERE rowid = "));
                                    }),
                      1);
        }
        m_db.reset();
    }
}

// The scan's write is one transaction: a row that cannot be written leaves the old table whole.
TEST_F(PluginDatabaseTest, WriteScanThatFailsKeepsTheOldRows)
{
    open();
    const AudioPlugin kept = makePlugin(QStringLiteral("Kept"), QStringLiteral("A"), PluginFormat::vst3);
    const AudioPlugin gone = makePlugin(QStringLiteral("Gone"), QStringLiteral("A"), PluginFormat::vst3);
    ASSERT_EQ(m_db->replaceAllPlugins({gone, kept}), QString());
    RawDb raw(m_path);
    raw.exec("CREATE TRIGGER full BEFORE INSERT ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    AudioPlugin changed = kept;
    changed.id = QUuid::createUuid();
    changed.version = QStringLiteral("2.0");
    QList<AudioPlugin> scan{makePlugin(QStringLiteral("New"), QStringLiteral("A"), PluginFormat::vst3), changed};
    EXPECT_EQ(m_db->writeScan(scan), QStringLiteral("disk full"));
    EXPECT_EQ(names(all()), (QStringList{QStringLiteral("Gone"), QStringLiteral("Kept")}));
    EXPECT_EQ(all().last().version, std::nullopt);
}

// After its own write a connection plans the next scan's write from what it wrote instead of
// reading every row; any other write in between (another connection's, one of its own outside
// a scan, a failed one) sends it back to the table. Either way the table is what a rewrite gives.
TEST_F(PluginDatabaseTest, ScanWritesAfterTheirOwnSkipTheReadUntilAnyoneElseWrites)
{
    QList<AudioPlugin> base;
    for (int i = 0; i < 12; ++i)
        base << makePlugin(QStringLiteral("Plug %1").arg(i), QStringLiteral("M\u00e4ker"), PluginFormat::vst3,
                           i % 3 != 0, QStringLiteral("1.%1").arg(i),
                           QDateTime::fromSecsSinceEpoch(1700000000 + i, Qt::UTC));
    const auto withNewIds = [](QList<AudioPlugin> rows) {
        for (AudioPlugin& row : rows)
            row.id = QUuid::createUuid();
        return rows;
    };
    QList<AudioPlugin> changed = base;
    changed[2].lastUsed = std::nullopt;
    changed[5].name = QStringLiteral("Plug 5b");
    changed.removeAt(7);
    changed.insert(3, makePlugin(QStringLiteral("New"), QStringLiteral("N"), PluginFormat::clap));
    const QList<AudioPlugin> scans[] = {base, changed, changed, base};

    enum class Between { nothing, otherConnection, ownUpdate, failedWrite };
    struct Case {
        const char* name;
        Between between;
        bool reads; // whether the write after `between` reads the table
    };
    const Case cases[] = {
        {"nothing", Between::nothing, false},
        {"another connection's commit", Between::otherConnection, true},
        {"an update of its own", Between::ownUpdate, true},
        {"a failed write", Between::failedWrite, true},
    };
    const QString select = QString::fromLatin1(CatalogueSchema::kSelectInRowidOrder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& file : {m_path, m_path + QStringLiteral("-wal"), m_path + QStringLiteral("-shm")})
            QFile::remove(file);
        open();
        for (size_t step = 0; step < std::size(scans); ++step) {
            SCOPED_TRACE(step);
            if (step == 2) {
                RawDb raw(m_path);
                if (c.between == Between::otherConnection)
                    raw.exec("UPDATE plugins SET name = 'Renamed elsewhere' WHERE name = 'Plug 1'");
                if (c.between == Between::ownUpdate) {
                    AudioPlugin moved = all().first();
                    moved.isEnabled = !moved.isEnabled;
                    EXPECT_EQ(m_db->updatePlugins({moved}), QString());
                }
                if (c.between == Between::failedWrite) {
                    raw.exec(
                        "CREATE TRIGGER full BEFORE UPDATE ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END");
                    QList<AudioPlugin> failing = withNewIds(base);
                    EXPECT_EQ(m_db->writeScan(failing), QStringLiteral("disk full"));
                    raw.exec("DROP TRIGGER full");
                }
            }
            QList<AudioPlugin> scan = withNewIds(scans[step]);
            QStringList statements;
            m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
            ASSERT_EQ(m_db->writeScan(scan), QString());
            m_db->setStatementObserver({});
            if (step > 0) {
                // The first finds an empty table; later ones read only after someone else wrote.
                EXPECT_EQ(statements.contains(select), step == 2 && c.reads);
            }

            const QString rewrittenPath = Paths::dataFile(QStringLiteral("rewritten.db"));
            QFile::remove(rewrittenPath);
            {
                PluginDatabase rewritten(rewrittenPath);
                ASSERT_EQ(rewritten.replaceAllPlugins(scan), QString());
            }
            const char* const everything = "SELECT rowid, id, name, manufacturer, format, originalPath, currentPath, "
                                           "isEnabled, version, bundleIdentifier, lastUsed FROM plugins ORDER BY rowid";
            const char* const values = "SELECT id, name, manufacturer, format, originalPath, currentPath, isEnabled, "
                                       "version, bundleIdentifier, lastUsed FROM plugins ORDER BY rowid";
            RawDb written(m_path);
            EXPECT_EQ(written.rows(values), RawDb(rewrittenPath).rows(values));
            // The records carry the ids and the table holds the rowids a read of it would have planned.
            QStringList ids;
            for (const AudioPlugin& plugin : std::as_const(scan))
                ids << uuidString(plugin.id);
            EXPECT_EQ(written.rows("SELECT id FROM plugins ORDER BY rowid"), ids);
            if (step > 0) {
                PluginDatabase reader(m_path);
                QList<AudioPlugin> again = withNewIds(scans[step]);
                const QStringList before = written.rows(everything);
                ASSERT_EQ(reader.writeScan(again), QString());
                EXPECT_EQ(written.rows(everything), before);
            }
        }
        m_db.reset();
    }
}

TEST_F(PluginDatabaseTest, BatchUpdatesAndDeletesAreOneTransactionEach)
{
    open();
    QList<AudioPlugin> rows;
    for (const char* name : {"A", "B", "C"})
        rows << makePlugin(QString::fromLatin1(name), QStringLiteral("M"), PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins(rows), QString());
    QStringList statements;
    m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
    for (AudioPlugin& row : rows) {
        row.currentPath = QStringLiteral("/Disabled/") + row.name + QStringLiteral(".vst3");
        row.isEnabled = false;
    }
    EXPECT_EQ(m_db->updatePlugins(rows), QString());
    EXPECT_TRUE(statements.first().startsWith(QStringLiteral("BEGIN")));
    EXPECT_TRUE(statements.last().startsWith(QStringLiteral("COMMIT")));
    EXPECT_EQ(statements.size(), 5);
    EXPECT_EQ(m_db->totalDisabledCount(), 3);
    m_db->setStatementObserver({});

    // One row that cannot be written leaves every row as it was.
    RawDb raw(m_path);
    raw.exec("CREATE TRIGGER refuse_c BEFORE UPDATE ON plugins WHEN OLD.name = 'C' "
             "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    for (AudioPlugin& row : rows)
        row.isEnabled = true;
    EXPECT_TRUE(m_db->updatePlugins(rows).contains(QStringLiteral("disk full")));
    EXPECT_EQ(m_db->totalDisabledCount(), 3);
    raw.exec("CREATE TRIGGER refuse_delete_c BEFORE DELETE ON plugins WHEN OLD.name = 'C' "
             "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    EXPECT_FALSE(m_db->deletePlugins({rows[0].id, rows[2].id}).isEmpty());
    EXPECT_EQ(m_db->totalCount({}, {}, {}, {}), 3);
    EXPECT_EQ(m_db->deletePlugins({rows[0].id, rows[1].id}), QString());
    EXPECT_EQ(names(all()), QStringList{QStringLiteral("C")});

    // Rows that are no longer there (the catalogue was rewritten meanwhile) are not written
    // by anyone: that is said, and the rows still there are written.
    raw.exec("DROP TRIGGER refuse_c; DROP TRIGGER refuse_delete_c");
    rows[2].isEnabled = true;
    EXPECT_EQ(m_db->updatePlugins(rows),
              QStringLiteral("2 of 3 plug-ins were no longer listed in it (it was rewritten meanwhile)"));
    EXPECT_EQ(m_db->totalEnabledCount(), 1);
    EXPECT_EQ(m_db->deletePlugins({rows[0].id, rows[2].id}),
              QStringLiteral("1 of 2 plug-ins was no longer listed in it (it was rewritten meanwhile)"));
    EXPECT_TRUE(all().isEmpty());
}

TEST_F(PluginDatabaseTest, ReplaceSaysWhyTheRowsWereNotWritten)
{
    open();
    const AudioPlugin old = makePlugin(QStringLiteral("Old"), QStringLiteral("A"), PluginFormat::vst3);
    ASSERT_EQ(m_db->replaceAllPlugins({old}), QString());
    RawDb raw(m_path);
    // Like a full disk: the whole transaction is rolled back.
    raw.exec("CREATE TRIGGER full BEFORE INSERT ON plugins BEGIN SELECT RAISE(ROLLBACK, 'disk full'); END");
    EXPECT_EQ(m_db->replaceAllPlugins({makePlugin(QStringLiteral("New"), QStringLiteral("A"), PluginFormat::vst3)}),
              QStringLiteral("disk full"));
    EXPECT_EQ(names(all()), QStringList{QStringLiteral("Old")});
}

class PluginDatabaseFilterTest : public PluginDatabaseTest {
protected:
    void SetUp() override
    {
        PluginDatabaseTest::SetUp();
        open();
        const QString written = m_db->replaceAllPlugins({
            makePlugin(QStringLiteral("50 Hz Filter"), QStringLiteral("Acme"), PluginFormat::vst3),
            makePlugin(QStringLiteral("500 Tape"), QStringLiteral("Acme"), PluginFormat::au),
            makePlugin(QStringLiteral("EQ Eight"), QStringLiteral("Ableton"), PluginFormat::vst2, false),
            makePlugin(QStringLiteral("Pro-EQ"), QStringLiteral("Fabric"), PluginFormat::vst3),
            makePlugin(QString::fromUtf8("Äther Verb"), QStringLiteral("FABRIC"), PluginFormat::clap),
            makePlugin(QStringLiteral("C1 Comp"), QStringLiteral("Waves"), PluginFormat::wavesBundle),
            makePlugin(QStringLiteral("Tape_Delay"), QStringLiteral("waves"), PluginFormat::aax, false),
        });
        ASSERT_EQ(written, QString());
    }
};

TEST_F(PluginDatabaseFilterTest, FiltersAndTheirCombinations)
{
    struct Row {
        const char* name;
        QString search;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        QSet<QString> keys;
        QStringList expected;
    };
    const QStringList everything = sortedNames(all());
    const Row rows[] = {
        {"no filter", {}, {}, {}, {}, everything},
        {"percent is a wildcard", QStringLiteral("50%"), {}, {}, {}, list({"50 Hz Filter", "500 Tape"})},
        {"underscore is a wildcard", QStringLiteral("0_H"), {}, {}, {}, list({"50 Hz Filter"})},
        {"ASCII case ignored", QStringLiteral("eq"), {}, {}, {}, list({"EQ Eight", "Pro-EQ"})},
        {"non-ASCII case kept", QString::fromUtf8("äther"), {}, {}, {}, {}},
        {"non-ASCII own case", QString::fromUtf8("Äther"), {}, {}, {}, list({"Äther Verb"})},
        {"search reaches manufacturer", QStringLiteral("fabr"), {}, {}, {}, list({"Pro-EQ", "Äther Verb"})},
        {"blank is a search",
         QStringLiteral(" "),
         {},
         {},
         {},
         list({"50 Hz Filter", "500 Tape", "C1 Comp", "EQ Eight", "Äther Verb"})},
        {"quote is just text", QStringLiteral("O'Brien"), {}, {}, {}, {}},
        {"one format", {}, {PluginFormat::vst3}, {}, {}, list({"50 Hz Filter", "Pro-EQ"})},
        {"two formats",
         {},
         {PluginFormat::vst3, PluginFormat::au},
         {},
         {},
         list({"50 Hz Filter", "500 Tape", "Pro-EQ"})},
        {"manufacturer ignores case", {}, {}, set({"fabric"}), {}, list({"Pro-EQ", "Äther Verb"})},
        {"manufacturers Waves", {}, {}, set({"Waves", "Ableton"}), {}, list({"C1 Comp", "EQ Eight", "Tape_Delay"})},
        {"key exact", {}, {}, {}, set({"Pro-EQ|VST3", "C1 Comp|Waves"}), list({"C1 Comp", "Pro-EQ"})},
        {"key name case differs", {}, {}, {}, set({"pro-eq|VST3"}), {}},
        {"key format case differs", {}, {}, {}, set({"Pro-EQ|vst3"}), {}},
        {"search and format",
         QStringLiteral("e"),
         {PluginFormat::vst3, PluginFormat::vst2},
         {},
         {},
         list({"50 Hz Filter", "EQ Eight", "Pro-EQ"})},
        {"all four",
         QStringLiteral("e"),
         {PluginFormat::vst3, PluginFormat::vst2},
         set({"acme", "Fabric"}),
         set({"50 Hz Filter|VST3", "EQ Eight|VST", "500 Tape|Audio Units"}),
         list({"50 Hz Filter"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QList<AudioPlugin> page = m_db->queryPlugins(
            {row.search, row.formats, row.manufacturers, row.keys, QStringLiteral("name"), true, kAll, 0});
        EXPECT_EQ(sortedNames(page), row.expected);
        EXPECT_EQ(m_db->totalCount(row.search, row.formats, row.manufacturers, row.keys), row.expected.size());
        if (row.keys.isEmpty()) {
            EXPECT_EQ(m_db->getAllFilteredPluginIds(row.search, row.formats, row.manufacturers), idsOf(page));
        }
    }
    EXPECT_EQ(m_db->totalEnabledCount(), 5);
    EXPECT_EQ(m_db->totalDisabledCount(), 2);
}

TEST_F(PluginDatabaseFilterTest, WholeCatalogueCountsMatchEveryRowAndReadOnlyIndexes)
{
    {
        // Rows no scan writes: another state number, a format text of another case and none known.
        RawDb raw(m_path);
        raw.exec("INSERT INTO plugins (id, name, manufacturer, format, originalPath, currentPath, isEnabled) VALUES "
                 "('11111111-2222-3333-4444-555555555555', 'Two', 'M', 'VST3', '/p', '/p', 2),"
                 "('66666666-7777-8888-9999-AAAAAAAAAAAA', 'WrongCase', 'M', 'vst3', '/p', '/p', 0),"
                 "('77777777-7777-8888-9999-AAAAAAAAAAAA', 'Unknown', 'M', 'LV2', '/p', '/p', 1)");
    }
    PluginDatabase::Counts expected;
    RawDb raw(m_path);
    for (const QString& row : raw.rows("SELECT format, isEnabled, COUNT(*) FROM plugins GROUP BY format, isEnabled")) {
        const QStringList columns = row.split(u'|');
        ASSERT_EQ(columns.size(), 3);
        const qint64 rows = columns[2].toLongLong();
        if (columns[1] == QLatin1String("1"))
            expected.enabled += rows;
        else if (columns[1] == QLatin1String("0"))
            expected.disabled += rows;
        if (const std::optional<PluginFormat> format = PluginFormats::fromRawValue(columns[0]))
            expected.byFormat[*format] += rows;
    }
    const PluginDatabase::Counts counts = m_db->counts();
    EXPECT_EQ(counts.enabled, expected.enabled);
    EXPECT_EQ(counts.disabled, expected.disabled);
    EXPECT_EQ(counts.byFormat, expected.byFormat);
    EXPECT_EQ(counts.enabled, m_db->totalEnabledCount());
    EXPECT_EQ(counts.disabled, m_db->totalDisabledCount());
    EXPECT_EQ(counts.byFormat.value(PluginFormat::vst3), 3);

    // Over a large catalogue a read of the table itself holds the window for a noticeable time.
    const QStringList plan =
        raw.rows(("EXPLAIN QUERY PLAN " + QByteArray(CatalogueSchema::kCountByFormatAndStatus)).constData());
    const QString steps = plan.join(u'\n');
    EXPECT_EQ(steps.count(QLatin1String("USING COVERING INDEX")), 2) << qPrintable(steps);
    EXPECT_FALSE(steps.contains(QLatin1String("TEMP B-TREE"))) << qPrintable(steps);
}

TEST_F(PluginDatabaseFilterTest, StatementTextAndBindingOrder)
{
    QStringList statements;
    m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });

    m_db->queryPlugins(
        {.sortColumn = QStringLiteral("manufacturer"), .sortAscending = false, .limit = 10, .offset = 5});
    m_db->queryPlugins({QStringLiteral("e"),
                        {PluginFormat::vst3, PluginFormat::vst2},
                        set({"Fabric", "Acme"}),
                        set({"B|VST3", "A|VST"}),
                        QStringLiteral("lastUsed"),
                        true,
                        100,
                        0});
    m_db->totalCount(QStringLiteral("O'Brien"), {}, set({"Waves"}), {});
    m_db->getAllFilteredPluginIds({}, {PluginFormat::au}, {});

    const QString select = QString::fromLatin1(CatalogueSchema::kSelectColumns);
    const QStringList expected{
        select + QStringLiteral("\nFROM plugins\n\nORDER BY manufacturer COLLATE NOCASE DESC\nLIMIT 10 OFFSET 5"),
        select + QStringLiteral("\nFROM plugins\nWHERE (name LIKE '%e%' OR manufacturer LIKE '%e%') AND +format IN "
                                "('VST', 'VST3') AND manufacturer IN ('Acme', 'Fabric') AND (name || '|' || format) "
                                "IN ('A|VST', 'B|VST3')\nORDER BY lastUsed ASC\nLIMIT 100 OFFSET 0"),
        // A search without a key filter is answered from the texts read once into memory, in one
        // snapshot with where the change log stood.
        QStringLiteral("BEGIN"),
        QStringLiteral("PRAGMA data_version"),
        QStringLiteral("PRAGMA schema_version"),
        QString::fromLatin1(CatalogueSchema::kSelectChangeTriggers),
        QString::fromLatin1(CatalogueSchema::kSelectLastChange),
        QStringLiteral("SELECT rowid, name, manufacturer, format FROM plugins ORDER BY rowid"),
        QStringLiteral("COMMIT"),
        QStringLiteral("SELECT id FROM plugins WHERE format IN ('Audio Units')"),
    };
    EXPECT_EQ(statements, expected);
}

TEST_F(PluginDatabaseFilterTest, UnknownSortColumnFallsBackToNameAndIsNeverInjected)
{
    QStringList statements;
    m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
    const QStringList byName = names(all());
    for (const char* column : {"bogus", "Name", "name; DROP TABLE plugins", "name COLLATE BINARY --", ""}) {
        SCOPED_TRACE(column);
        statements.clear();
        EXPECT_EQ(names(m_db->queryPlugins({.sortColumn = QString::fromUtf8(column), .limit = kAll})), byName);
        ASSERT_EQ(statements.size(), 1);
        EXPECT_TRUE(statements.first().contains(QStringLiteral("\nORDER BY name COLLATE NOCASE ASC\n")));
        EXPECT_FALSE(statements.first().contains(QStringLiteral("DROP")));
    }
    EXPECT_EQ(m_db->totalCount({}, {}, {}, {}), 7);
}

TEST_F(PluginDatabaseFilterTest, DistinctManufacturersIgnoreCaseAndSkipEmpty)
{
    QList<AudioPlugin> plugins = all();
    plugins << makePlugin(QStringLiteral("Nameless"), QString(), PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins(plugins), QString());
    const QStringList manufacturers = m_db->getDistinctManufacturers();
    ASSERT_EQ(manufacturers.size(), 4) << manufacturers.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(manufacturers.mid(0, 2), list({"Ableton", "Acme"}));
    EXPECT_EQ(manufacturers.at(2).toLower(), QStringLiteral("fabric"));
    EXPECT_EQ(manufacturers.at(3).toLower(), QStringLiteral("waves"));
}

TEST_F(PluginDatabaseTest, SortsByEveryAllowedColumn)
{
    open();
    const QString written = m_db->replaceAllPlugins({
        makePlugin(QStringLiteral("alpha"), QStringLiteral("Zeta"), PluginFormat::vst3, true, QStringLiteral("2.0"),
                   QDateTime::fromSecsSinceEpoch(2000, Qt::UTC)),
        makePlugin(QStringLiteral("Bravo"), QStringLiteral("yankee"), PluginFormat::au, false, std::nullopt,
                   std::nullopt),
        makePlugin(QStringLiteral("charlie"), QStringLiteral("Xray"), PluginFormat::clap, true, QStringLiteral("10.1"),
                   QDateTime::fromSecsSinceEpoch(1000, Qt::UTC)),
    });
    ASSERT_EQ(written, QString());
    // Each column is checked by the values it sorts, so ties (isEnabled) need no tie-break.
    const auto project = [](const QString& column, const AudioPlugin& p) -> QString {
        if (column == QLatin1String("manufacturer"))
            return p.manufacturer;
        if (column == QLatin1String("format"))
            return PluginFormats::rawValue(p.format);
        if (column == QLatin1String("isEnabled"))
            return p.isEnabled ? QStringLiteral("1") : QStringLiteral("0");
        if (column == QLatin1String("version"))
            return p.version.value_or(QString());
        if (column == QLatin1String("lastUsed"))
            return p.lastUsed ? QString::number(p.lastUsed->toSecsSinceEpoch()) : QStringLiteral("NULL");
        return p.name;
    };
    struct Row {
        const char* column;
        bool ascending;
        QStringList expected;
    };
    const Row rows[] = {
        {"name", true, list({"alpha", "Bravo", "charlie"})},
        {"name", false, list({"charlie", "Bravo", "alpha"})},
        {"manufacturer", true, list({"Xray", "yankee", "Zeta"})},
        {"manufacturer", false, list({"Zeta", "yankee", "Xray"})},
        {"format", true, list({"Audio Units", "CLAP", "VST3"})},
        {"format", false, list({"VST3", "CLAP", "Audio Units"})},
        {"isEnabled", true, list({"0", "1", "1"})},
        {"isEnabled", false, list({"1", "1", "0"})},
        {"version", true, list({"", "10.1", "2.0"})},
        {"version", false, list({"2.0", "10.1", ""})},
        {"lastUsed", true, list({"NULL", "1000", "2000"})},
        {"lastUsed", false, list({"2000", "1000", "NULL"})},
    };
    for (const Row& row : rows) {
        const QString column = QString::fromLatin1(row.column);
        SCOPED_TRACE(std::string(row.column) + (row.ascending ? " ASC" : " DESC"));
        QStringList actual;
        for (const AudioPlugin& p : all(column, row.ascending))
            actual << project(column, p);
        EXPECT_EQ(actual, row.expected);
    }
}

TEST_F(PluginDatabaseTest, PagesAndClampsLimitAndOffset)
{
    open();
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 250; ++i)
        plugins << makePlugin(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("M"),
                              PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins(plugins), QString());
    const auto page = [this](qint64 limit, qint64 offset) {
        return names(m_db->queryPlugins({.limit = limit, .offset = offset}));
    };
    const QStringList everything = page(kAll, 0);
    ASSERT_EQ(everything.size(), 250);
    EXPECT_EQ(page(100, 0) + page(100, 100) + page(100, 200), everything);
    EXPECT_EQ(page(100, 200).size(), 50);
    EXPECT_TRUE(page(100, 250).isEmpty());

    constexpr qint64 kHuge = std::numeric_limits<qint64>::max();
    EXPECT_EQ(page(kHuge, 0), everything);        // clamped to INT32_MAX: everything
    EXPECT_TRUE(page(100, kHuge).isEmpty());      // clamped to INT32_MAX: past the end
    EXPECT_EQ(page(-1, 0), everything);           // SQLite: negative limit = no limit
    EXPECT_EQ(page(2, -5), everything.mid(0, 2)); // SQLite: negative offset = 0
    EXPECT_EQ(page(std::numeric_limits<qint64>::min(), 10), everything.mid(10));
}

TEST_F(PluginDatabaseTest, UpdateAndDeleteTouchOneRow)
{
    open();
    const AudioPlugin a = makePlugin(QStringLiteral("A"), QStringLiteral("M"), PluginFormat::vst3);
    const AudioPlugin b = makePlugin(QStringLiteral("B"), QStringLiteral("M"), PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins({a, b}), QString());

    AudioPlugin moved = a;
    moved.isEnabled = false;
    moved.currentPath = QStringLiteral("/Library/Audio/Plug-Ins/Disabled/VST3/A.vst3");
    moved.name = QStringLiteral("Renamed"); // only currentPath and isEnabled are written
    moved.version = QStringLiteral("9");
    m_db->updatePlugin(moved);
    m_db->updatePlugin(makePlugin(QStringLiteral("Ghost"), QStringLiteral("M"), PluginFormat::vst3, false));

    const QList<AudioPlugin> rows = all();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).name, QStringLiteral("A"));
    EXPECT_EQ(rows.at(0).currentPath, moved.currentPath);
    EXPECT_EQ(rows.at(0).originalPath, a.originalPath);
    EXPECT_FALSE(rows.at(0).isEnabled);
    EXPECT_FALSE(rows.at(0).version);
    EXPECT_TRUE(rows.at(1).isEnabled);
    EXPECT_EQ(m_db->totalEnabledCount(), 1);
    EXPECT_EQ(m_db->totalDisabledCount(), 1);

    m_db->deletePlugin(a.id);
    m_db->deletePlugin(QUuid::createUuid());
    EXPECT_EQ(names(all()), QStringList{QStringLiteral("B")});
    EXPECT_EQ(m_db->getAllPluginKeys(), QSet<QString>{QStringLiteral("B|VST3")});
}

TEST_F(PluginDatabaseTest, PluginsByIds)
{
    open();
    const AudioPlugin a = makePlugin(QStringLiteral("A"), QStringLiteral("M"), PluginFormat::vst3);
    const AudioPlugin b = makePlugin(QStringLiteral("B"), QStringLiteral("M"), PluginFormat::au);
    const AudioPlugin c = makePlugin(QStringLiteral("C"), QStringLiteral("M"), PluginFormat::clap);
    EXPECT_EQ(m_db->replaceAllPlugins({a, b, c}), QString());

    QStringList statements;
    m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
    EXPECT_TRUE(m_db->getPluginsByIds({}).isEmpty());
    EXPECT_TRUE(statements.isEmpty()) << "an empty set runs no statement";

    EXPECT_EQ(sortedNames(m_db->getPluginsByIds({a.id, c.id, QUuid::createUuid()})), list({"A", "C"}));
    ASSERT_EQ(statements.size(), 1);
    EXPECT_TRUE(statements.first().startsWith(QStringLiteral("SELECT * FROM plugins WHERE id IN ('")));

    // A large selection is looked up in chunks (1000 ids per statement), still complete.
    QSet<QUuid> many{a.id, b.id, c.id};
    while (many.size() < 2500)
        many.insert(QUuid::createUuid());
    statements.clear();
    EXPECT_EQ(sortedNames(m_db->getPluginsByIds(many)), list({"A", "B", "C"}));
    EXPECT_EQ(statements.size(), 3);
    m_db->setStatementObserver({});
}

TEST_F(PluginDatabaseTest, RowsThatDoNotConvertAreSkipped)
{
    open();
    const AudioPlugin good = makePlugin(QStringLiteral("Good"), QStringLiteral("M"), PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins({good}), QString());
    {
        RawDb raw(m_path);
        raw.exec("INSERT INTO plugins (id, name, manufacturer, format, originalPath, currentPath, isEnabled) VALUES "
                 "('11111111-2222-3333-4444-555555555555', 'Two', 'M', 'VST3', '/p', '/p', 2),"
                 "('66666666-7777-8888-9999-AAAAAAAAAAAA', 'WrongCase', 'M', 'vst3', '/p', '/p', 1),"
                 "('not-a-uuid', 'BadId', 'M', 'VST3', '/p', '/p', 1),"
                 "(X'0102', 'BlobId', 'M', 'VST3', '/p', '/p', 1)");
    }
    const QList<AudioPlugin> rows = all();
    EXPECT_EQ(names(rows), list({"Good", "Two"}));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_FALSE(rows.at(1).isEnabled) << "isEnabled 2 reads as disabled";

    EXPECT_EQ(m_db->getAllFilteredPluginIds({}, {}, {}).size(), 3) << "ids parse regardless of the format text";
    EXPECT_EQ(sortedNames(m_db->getPluginsByIds(
                  {good.id, uuidFromString(QStringLiteral("66666666-7777-8888-9999-AAAAAAAAAAAA"))})),
              list({"Good"}));
    EXPECT_TRUE(printedLines().isEmpty());
}

TEST_F(PluginDatabaseTest, FarOffAndInfiniteLastUsedValuesReadSafely)
{
    open();
    {
        RawDb raw(m_path);
        raw.exec("INSERT INTO plugins (id, name, manufacturer, format, originalPath, currentPath, isEnabled, lastUsed) "
                 "VALUES ('11111111-2222-3333-4444-555555555555', 'Future', 'M', 'VST3', '/p', '/p', 1, 1e300),"
                 "('22222222-2222-3333-4444-555555555555', 'Past', 'M', 'VST3', '/p', '/p', 1, -1e300),"
                 "('33333333-2222-3333-4444-555555555555', 'Infinite', 'M', 'VST3', '/p', '/p', 1, 9e999)");
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<AudioPlugin> rows = all();
    ASSERT_EQ(names(rows), list({"Future", "Infinite", "Past"}));
    ASSERT_TRUE(rows.at(0).lastUsed);
    EXPECT_TRUE(rows.at(0).lastUsed->isValid());
    EXPECT_GT(*rows.at(0).lastUsed, now.addYears(1000));
    EXPECT_FALSE(rows.at(1).lastUsed);
    ASSERT_TRUE(rows.at(2).lastUsed);
    EXPECT_LT(*rows.at(2).lastUsed, now.addYears(-1000));
    EXPECT_EQ(rows.at(2).lastUsedValue(now).right(10), QStringLiteral(" years ago"));
}

TEST_F(PluginDatabaseTest, TableOfAnotherLayoutIsReplacedWithOneLine)
{
    const struct {
        const char* name;
        const char* table;
    } layouts[] = {
        {"foreign", "CREATE TABLE plugins (pluginName TEXT, path TEXT)"},
        {"earlier, without the last columns",
         "CREATE TABLE plugins (id TEXT PRIMARY KEY, name TEXT, manufacturer TEXT, format TEXT, originalPath TEXT, "
         "currentPath TEXT, isEnabled INTEGER)"},
        {"with a column more",
         "CREATE TABLE plugins (id TEXT PRIMARY KEY, name TEXT, manufacturer TEXT, format TEXT, originalPath TEXT, "
         "currentPath TEXT, isEnabled INTEGER, version TEXT, bundleIdentifier TEXT, lastUsed REAL, extra TEXT)"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        m_db.reset();
        QFile::remove(m_path);
        {
            makeDir(dataDir());
            RawDb raw(m_path);
            raw.exec(layout.table);
            raw.exec("INSERT INTO plugins DEFAULT VALUES;"
                     "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('kept');");
        }
        clearPrintedLines();
        open();
        EXPECT_TRUE(m_db->isOpen());
        EXPECT_EQ(printedLines(),
                  QStringList{QStringLiteral("⚠️ Replaced the catalogue table of another layout in ") + m_path});
        EXPECT_EQ(m_db->totalCount({}, {}, {}, {}), 0);

        const AudioPlugin fresh = makePlugin(QStringLiteral("New"), QStringLiteral("M"), PluginFormat::vst3);
        EXPECT_EQ(m_db->replaceAllPlugins({fresh}), QString());
        ASSERT_EQ(all().size(), 1);
        EXPECT_EQ(all().first().id, fresh.id);
        EXPECT_EQ(m_db->getAllPluginKeys(), QSet<QString>{fresh.key()});
        RawDb raw(m_path);
        EXPECT_EQ(raw.rows("SELECT text FROM notes"), QStringList{QStringLiteral("kept")}) << "only our table goes";

        // A table of this layout is kept as it is.
        m_db.reset();
        clearPrintedLines();
        open();
        EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
        EXPECT_EQ(all().size(), 1);
    }
}

TEST_F(PluginDatabaseTest, UnreadableFileIsSetAsideAndANewCatalogueStarted)
{
    QByteArray garbage;
    for (int i = 0; i < 512; ++i)
        garbage += "not a database! ";
    const struct {
        const char* name;
        std::function<void(const QString&)> plant;
        const char* reason;
    } cases[] = {
        {"garbage", [&](const QString& path) { writeFile(path, garbage); }, "file is not a database"},
        {"damaged schema page",
         [](const QString& path) {
             {
                 RawDb raw(path);
                 raw.exec(
                     "CREATE TABLE plugins (id TEXT PRIMARY KEY, name TEXT); INSERT INTO plugins VALUES ('x','y')");
             }
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.seek(100); // past the header: the page that lists the tables
             file.write(QByteArray(400, '\x7f'));
         },
         "database disk image is malformed"},
        {"folder", [](const QString& path) { writeFile(path + QStringLiteral("/inside.txt"), "kept"); },
         "it is a folder"},
        {"fifo", [](const QString& path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
         "it is not a regular file"},
        {"view named plugins",
         [](const QString& path) {
             RawDb raw(path);
             raw.exec("CREATE TABLE mine (a TEXT); CREATE VIEW plugins AS SELECT a AS id FROM mine");
         },
         "“plugins” in it is a view, not a table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_db.reset();
        QDir(dataDir()).removeRecursively();
        makeDir(dataDir());
        c.plant(m_path);
        const QMap<QString, QByteArray> before = [&] {
            QMap<QString, QByteArray> files;
            QDirIterator it(dataDir(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                files.insert(file.mid(m_path.size()), QFileInfo(file).isFile() ? readFile(file) : QByteArray());
            }
            return files;
        }();
        clearPrintedLines();

        open();
        ASSERT_TRUE(m_db->isOpen());
        ASSERT_EQ(printedLines().size(), 1) << printedLines().join('\n').toStdString();
        const QString line = printedLines().first();
        EXPECT_TRUE(line.startsWith(QStringLiteral("⚠️ Could not read the catalogue at ") + m_path +
                                    QStringLiteral(" (") + QString::fromUtf8(c.reason) +
                                    QStringLiteral("); kept it as ")))
            << line.toStdString();
        const QStringList kept = QDir(dataDir()).entryList({QStringLiteral("plugins.db.unreadable-*")},
                                                           QDir::AllEntries | QDir::System, QDir::Name);
        ASSERT_FALSE(kept.isEmpty());
        const QString aside = dataDir() + u'/' + kept.first();
        EXPECT_TRUE(line.endsWith(aside + QStringLiteral(" and started a new one"))) << line.toStdString();
        // What was set aside is there byte for byte, under the new name.
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QString moved = aside + it.key();
            EXPECT_TRUE(QFileInfo::exists(moved)) << moved.toStdString();
            if (QFileInfo(moved).isFile()) {
                EXPECT_EQ(readFile(moved), it.value()) << moved.toStdString();
            }
        }
        const QString notice = m_db->takeSetAsideNotice();
        EXPECT_TRUE(notice.contains(QString::fromUtf8(c.reason))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(aside)) << notice.toStdString();
        EXPECT_TRUE(m_db->takeSetAsideNotice().isEmpty()) << "told once";

        const AudioPlugin fresh = makePlugin(QStringLiteral("New"), QStringLiteral("M"), PluginFormat::vst3);
        EXPECT_EQ(m_db->replaceAllPlugins({fresh}), QString());
        EXPECT_EQ(names(all()), QStringList{QStringLiteral("New")});

        // The new catalogue opens quietly next time.
        m_db.reset();
        clearPrintedLines();
        open();
        EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join('\n').toStdString();
        EXPECT_EQ(names(all()), QStringList{QStringLiteral("New")});
    }
}

TEST_F(PluginDatabaseTest, UnopenablePathIsReported)
{
    writeFile(dataDir() + QStringLiteral("/blocker"), "a file, not a folder");
    m_path = dataDir() + QStringLiteral("/blocker/plugins.db");
    open();
    EXPECT_FALSE(m_db->isOpen());
    EXPECT_EQ(printedLines(), QStringList{QStringLiteral("❌ Failed to open database at ") + m_path});
    EXPECT_EQ(m_db->replaceAllPlugins({makePlugin(QStringLiteral("New"), QStringLiteral("M"), PluginFormat::vst3)}),
              QStringLiteral("unable to open database file"));
    EXPECT_TRUE(all().isEmpty());
    EXPECT_EQ(m_db->totalEnabledCount(), 0);
}

// Searches are answered from texts held in memory; every answer must be the one SQLite's own
// LIKE, IN and ORDER BY give over the same rows, ties, wildcards and odd rows included.
namespace {

/// Every count and page (each sort column, both ways, two pages) of the in-memory search
/// against the same question asked of SQLite; the rows with ids in `unlisted` do not convert.
void expectSearchesAsSqlite(PluginDatabase& db, RawDb& raw, const QStringList& searches,
                            const QList<QSet<PluginFormat>>& formatSets, const QList<QSet<QString>>& manufacturerSets,
                            const QStringList& unlisted = {})
{
    for (const QString& search : searches) {
        for (const QSet<PluginFormat>& formats : formatSets) {
            for (const QSet<QString>& manufacturers : manufacturerSets) {
                SCOPED_TRACE(search.toStdString() + " formats " + std::to_string(formats.size()) + " manufacturers " +
                             std::to_string(manufacturers.size()));
                QByteArray where = "WHERE (name LIKE ?1 OR manufacturer LIKE ?1)";
                QStringList parameters{QLatin1Char('%') + search + QLatin1Char('%')};
                if (!formats.isEmpty()) {
                    QStringList raws;
                    for (PluginFormat format : formats)
                        raws << PluginFormats::rawValue(format);
                    where += " AND +format IN ('" + raws.join(QStringLiteral("', '")).toUtf8() + "')";
                }
                if (!manufacturers.isEmpty())
                    where += " AND +manufacturer IN ('" +
                             QStringList(manufacturers.cbegin(), manufacturers.cend())
                                 .join(QStringLiteral("', '"))
                                 .toUtf8() +
                             "')";
                EXPECT_EQ(db.totalCount(search, formats, manufacturers, {}),
                          raw.column("SELECT COUNT(*) FROM plugins " + where, parameters).value(0).toLongLong());
                for (const char* column : CatalogueSchema::kSortableColumns) {
                    for (bool ascending : {true, false}) {
                        for (const auto& [limit, offset] : {std::pair{100, 0}, std::pair{2, 3}}) {
                            SCOPED_TRACE(std::string(column) + (ascending ? " up " : " down ") +
                                         std::to_string(offset));
                            QStringList ids;
                            for (const AudioPlugin& p : db.queryPlugins({search,
                                                                         formats,
                                                                         manufacturers,
                                                                         {},
                                                                         QString::fromLatin1(column),
                                                                         ascending,
                                                                         limit,
                                                                         offset}))
                                ids << uuidString(p.id);
                            // Equal values come in the order of the sort's own index (a plan that sorts
                            // instead may yield them otherwise): that index is named and the filters kept
                            // off their own ("+" keeps the column's collation), the rest is SQLite's.
                            const QByteArray sql = QByteArray("SELECT id FROM plugins INDEXED BY ") +
                                                   CatalogueSchema::sortIndexOf(column) + ' ' + where + " ORDER BY " +
                                                   CatalogueSchema::sortTermOf(column) +
                                                   (ascending ? " ASC" : " DESC") + " LIMIT " +
                                                   QByteArray::number(limit) + " OFFSET " + QByteArray::number(offset);
                            QStringList expected = raw.column(sql, parameters);
                            for (const QString& id : unlisted)
                                expected.removeAll(id);
                            EXPECT_EQ(ids, expected);
                        }
                    }
                }
            }
        }
    }
}

} // namespace

TEST_F(PluginDatabaseTest, SearchesAnswerAsSqliteDoes)
{
    open();
    QList<AudioPlugin> rows;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    const char* const names[] = {
        "Echo", "echo", "ECHO 2", "Tape_Echo",    "50% Wet", "Delay", "\u00c4ther", "\u00e4ther", "Caf\u00e9 Comp",
        "C",    "cc",   "Zed",    "\u65e5\u672c", "Mix%Bus", "a_b",   "ab",         "Echo",       ""};
    int i = 0;
    for (const char* name : names) {
        const QString manufacturer = i % 4 == 0   ? QStringLiteral("Acme")
                                     : i % 4 == 1 ? QStringLiteral("acme")
                                     : i % 4 == 2 ? QStringLiteral("Caf\u00e9")
                                                  : QString();
        const std::optional<QString> version =
            i % 3 == 0 ? std::nullopt : std::optional<QString>(QStringLiteral("1.%1").arg(i % 2));
        const std::optional<QDateTime> lastUsed =
            i % 5 == 0 ? std::nullopt : std::optional<QDateTime>(base.addDays(i % 3));
        rows << makePlugin(QString::fromUtf8(name), manufacturer, PluginFormats::allCases[size_t(i % 6)], i % 2 == 0,
                           version, lastUsed);
        ++i;
    }
    EXPECT_EQ(m_db->replaceAllPlugins(rows), QString());
    // Rows another program left: counted, but never listed (their format or id does not convert).
    RawDb raw(m_path);
    raw.exec("INSERT INTO plugins VALUES ('not-a-uuid', 'Echo Odd', 'Acme', 'VST3', '/x', '/x', 1, '', '', NULL)");
    raw.exec("INSERT INTO plugins VALUES ('6F9619FF-8B86-D011-B42D-00C04FC964FF', 'echo lower format', 'Acme', "
             "'vst3', '/y', '/y', 1, '', '', NULL)");

    const QStringList searches{"e",   "ECHO", "echo", "%",   "_",  "50%", "a_b", "\u00e4", "\u00c4",
                               "caf", "c",    "zzz",  "%o%", "o_", "%_%", " ",   "\u65e5", "Mix%"};
    const QList<QSet<PluginFormat>> formatSets{{}, {PluginFormat::vst3}, {PluginFormat::au, PluginFormat::clap}};
    const QList<QSet<QString>> manufacturerSets{{}, set({"ACME"}), set({"caf\u00e9"})};
    expectSearchesAsSqlite(*m_db, raw, searches, formatSets, manufacturerSets,
                           {QStringLiteral("not-a-uuid"), QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")});
}

TEST_F(PluginDatabaseTest, SearchesFollowEveryChangeOfTheTable)
{
    open();
    AudioPlugin echo = makePlugin(QStringLiteral("Echo"), QStringLiteral("Acme"), PluginFormat::vst3);
    AudioPlugin delay = makePlugin(QStringLiteral("Delay"), QStringLiteral("Acme"), PluginFormat::vst3);
    EXPECT_EQ(m_db->replaceAllPlugins({echo, delay}), QString());
    const auto found = [this](const char* search, const char* sortColumn = "name") {
        return names(
            m_db->queryPlugins({QString::fromUtf8(search), {}, {}, {}, QString::fromLatin1(sortColumn), true, 100, 0}));
    };
    EXPECT_EQ(found("e"), list({"Delay", "Echo"}));

    // Another connection's commit (the scan writes through its own).
    RawDb raw(m_path);
    raw.exec("UPDATE plugins SET name = 'Reverb' WHERE name = 'Delay'");
    EXPECT_EQ(found("e"), list({"Echo", "Reverb"}));
    EXPECT_EQ(m_db->totalCount(QStringLiteral("verb"), {}, {}, {}), 1);

    // This connection's own writes: a move changes the order by state, a delete the rows.
    echo.isEnabled = false;
    m_db->updatePlugin(echo);
    EXPECT_EQ(found("e", "isEnabled"), list({"Echo", "Reverb"}));
    m_db->deletePlugin(echo.id);
    EXPECT_EQ(found("e"), list({"Reverb"}));
    EXPECT_EQ(
        m_db->replaceAllPlugins({makePlugin(QStringLiteral("Chorus"), QStringLiteral("Acme"), PluginFormat::vst3)}),
        QString());
    EXPECT_EQ(found("e"), list({"Chorus"}));
    EXPECT_EQ(m_db->totalCount(QStringLiteral("verb"), {}, {}, {}), 0);
}

TEST_F(PluginDatabaseTest, SearchesFollowWhatOtherConnectionsChange)
{
    open();
    QList<AudioPlugin> rows;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    const char* const names[] = {"Echo", "echo", "Tape_Echo", "Delay", "C", "cc", "a_b", "ab", "Echo", "Zed", ""};
    int i = 0;
    for (const char* name : names) {
        rows << makePlugin(QString::fromUtf8(name), i % 3 == 0 ? QStringLiteral("Acme") : QStringLiteral("acme"),
                           PluginFormats::allCases[size_t(i % 6)], i % 2 == 0,
                           i % 3 == 0 ? std::nullopt : std::optional<QString>(QStringLiteral("1.%1").arg(i % 2)),
                           i % 4 == 0 ? std::nullopt : std::optional<QDateTime>(base.addDays(i % 3)));
        ++i;
    }
    EXPECT_EQ(m_db->replaceAllPlugins(rows), QString());
    RawDb raw(m_path);
    const QStringList searches{"e", "c", "%", "a_b", "zzz"};
    const QList<QSet<PluginFormat>> formatSets{{}, {PluginFormat::vst3}};
    const QList<QSet<QString>> manufacturerSets{{}, set({"ACME"})};
    // From here every order is held: the changes below are applied to each of them.
    expectSearchesAsSqlite(*m_db, raw, searches, formatSets, manufacturerSets);

    // Whether the search read every row again, or an order whole, since `statements` was cleared.
    QStringList statements;
    m_db->setStatementObserver([&statements](const QString& sql) { statements << sql; });
    const auto readAll = [&statements] {
        return statements.contains(QString::fromLatin1(CatalogueSchema::kSelectSearched));
    };
    const auto readAnOrderWhole = [&statements] {
        return std::any_of(statements.cbegin(), statements.cend(), [](const QString& sql) {
            return sql.startsWith(QStringLiteral("SELECT rowid FROM plugins INDEXED BY")) &&
                   !sql.contains(QStringLiteral(" WHERE "));
        });
    };
    struct Change {
        const char* what;
        const char* sql;
        bool readsAll; // the log cannot tell what changed
    };
    const Change changes[] = {
        {"inserts between rows and after them",
         "INSERT INTO plugins (rowid, id, name, manufacturer, format, originalPath, currentPath, isEnabled, version, "
         "bundleIdentifier, lastUsed) VALUES "
         "(1500, '00000000-0000-4000-8000-000000000001', 'Echo New', 'Acme', 'VST3', '/n1', '/n1', 0, '1.0', NULL, "
         "NULL), (99999, '00000000-0000-4000-8000-000000000002', 'Cello', 'acme', 'CLAP', '/n2', '/n2', 1, NULL, "
         "NULL, 1700000000.0), (2049, '00000000-0000-4000-8000-000000000003', 'echo', 'Acme', 'VST3', '/n3', '/n3', "
         "1, '1.0', NULL, NULL)",
         false},
        {"deletes", "DELETE FROM plugins WHERE name IN ('Delay', 'cc') OR rowid = 1500", false},
        {"renames",
         "UPDATE plugins SET name = 'Zebra Echo' WHERE name = 'Echo'; "
         "UPDATE plugins SET manufacturer = 'Cafe' WHERE name = 'ab'",
         false},
        {"renames in case only", "UPDATE plugins SET name = upper(name) WHERE rowid % 2048 = 0", false},
        {"state changes", "UPDATE plugins SET isEnabled = 1 - isEnabled WHERE rowid % 3 = 0", false},
        {"versions, dates and formats",
         "UPDATE plugins SET version = CASE WHEN version IS NULL THEN '2.0' ELSE NULL END, "
         "lastUsed = lastUsed + 86400, format = 'CLAP' WHERE rowid % 2048 = 1024",
         false},
        {"values of other types",
         "UPDATE plugins SET isEnabled = 'yes', lastUsed = 'soon', version = x'00ff' WHERE rowid % 5 = 0", false},
        {"rows given other rowids", "UPDATE plugins SET rowid = rowid + 7 WHERE rowid % 3072 = 0", false},
        {"a change of a column nothing searches or sorts", "UPDATE plugins SET currentPath = '/moved'", false},
        {"a replace, which deletes the old row without a trigger",
         "INSERT OR REPLACE INTO plugins SELECT id, 'Replaced', manufacturer, format, originalPath, currentPath, "
         "isEnabled, version, bundleIdentifier, lastUsed FROM plugins WHERE name = 'C'",
         true},
        {"more changes than the log keeps",
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
         "INSERT INTO plugins (id, name, manufacturer, format, originalPath, currentPath, isEnabled) "
         "SELECT printf('00000000-0000-4000-8000-%012d', 100 + i), 'Bulk ' || i, 'Acme', 'VST3', '/b' || i, "
         "'/b' || i, i % 2 FROM n; DELETE FROM plugins WHERE name LIKE 'Bulk %' AND rowid % 2 = 0",
         true},
        {"a few changes after those", "UPDATE plugins SET name = 'Echo Bulk' WHERE name = 'Bulk 7'", false},
        {"the log's triggers dropped",
         "DROP TRIGGER plugins_changed_update; UPDATE plugins SET name = 'Unlogged' WHERE name = 'Zed'", true},
        {"changes with the triggers gone", "UPDATE plugins SET name = name || ' e' WHERE rowid % 2048 = 0", true},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        raw.exec(change.sql);
        statements.clear();
        expectSearchesAsSqlite(*m_db, raw, searches, formatSets, manufacturerSets);
        EXPECT_EQ(readAll(), change.readsAll);
        EXPECT_FALSE(!change.readsAll && readAnOrderWhole());
    }

    // A scan's write through a connection of its own, after a rewrite put the triggers back.
    QList<AudioPlugin> scanned = m_db->queryPlugins({.limit = 300});
    EXPECT_EQ(m_db->replaceAllPlugins(scanned), QString());
    expectSearchesAsSqlite(*m_db, raw, searches, formatSets, manufacturerSets);
    scanned.removeAt(3);
    scanned[5].name = QStringLiteral("Echo Renamed");
    scanned[8].isEnabled = !scanned[8].isEnabled;
    scanned.insert(10, makePlugin(QStringLiteral("cEcho"), QStringLiteral("Acme"), PluginFormat::au));
    {
        PluginDatabase writer(m_path, PluginDatabase::Unreadable::report);
        EXPECT_EQ(writer.writeScan(scanned), QString());
    }
    statements.clear();
    expectSearchesAsSqlite(*m_db, raw, searches, formatSets, manufacturerSets);
    EXPECT_FALSE(readAll());
    EXPECT_FALSE(readAnOrderWhole());
    m_db->setStatementObserver({});
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(PluginDatabaseTest, CatalogueOfTheLayoutBeforeTheChangeLogOpensAndGetsIt)
{
    {
        // A file as the previous version left it: the table and its indexes, no log.
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        RawDb old(m_path);
        old.exec(CatalogueSchema::kCreateScript);
        old.exec("INSERT INTO plugins VALUES ('00000000-0000-4000-8000-000000000001', 'Echo', 'Acme', 'VST3', '/a', "
                 "'/a', 1, '', '', NULL), ('00000000-0000-4000-8000-000000000002', 'Delay', 'Acme', 'VST3', '/b', "
                 "'/b', 0, '', '', NULL)");
        // And an object of the log's name that is not the log.
        old.exec("CREATE VIEW plugins_changes AS SELECT 1 AS seq");
    }
    open();
    const auto found = [this](const char* search) {
        return names(m_db->queryPlugins({QString::fromUtf8(search), {}, {}, {}, QStringLiteral("name"), true, 100, 0}));
    };
    EXPECT_EQ(found("e"), list({"Delay", "Echo"}));
    RawDb raw(m_path);
    EXPECT_EQ(raw.rows("SELECT type FROM sqlite_master WHERE name = 'plugins_changes'"),
              QStringList{QStringLiteral("table")});
    raw.exec("UPDATE plugins SET name = 'Reverb' WHERE name = 'Delay'");
    EXPECT_EQ(found("e"), list({"Echo", "Reverb"}));
    EXPECT_EQ(raw.rows("SELECT row, columns FROM plugins_changes"), QStringList{QStringLiteral("2|1")});

    // The menu-bar helper's count over a read-only connection.
    sqlite3* readOnly = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(m_path).constData(), &readOnly, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(readOnly, CatalogueSchema::kCountEnabled, -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int64(count, 0), 1);
    sqlite3_finalize(count);
    sqlite3_close_v2(readOnly);
    EXPECT_TRUE(printedLines().isEmpty()) << printedLines().join(QLatin1Char('\n')).toStdString();
}
