#include "catalogue/PluginDatabase.h"

#include "Platform/AtomicFile.h"
#include "Platform/Diagnostics.h"
#include "Platform/InstalledInstance.h"
#include "Platform/Paths.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/Sql/Statement.h"
#include "catalogue/Sql/Transaction.h"

#include <QAnyStringView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QStringEncoder>
#include <QUtf8StringView>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <sqlite3.h>
#include <utility>
#include <vector>

namespace {

// Long enough to ride out the helper's short read of the count or a WAL checkpoint.
constexpr int kBusyTimeoutMs = 5000;
// Ids looked up per statement by getPluginsByIds.
constexpr int kMaxIdsPerStatement = 1000;
// Page caches in KiB (negative): a full rewrite's, and every other statement's (SQLite's default).
// The rewrite's holds every page it writes (some 55 MB at 100,000 rows), so none is spilled to the
// log early and read back by the index builds; it is only taken as the pages are.
constexpr char kRewriteCacheSize[] = "PRAGMA cache_size=-131072";
constexpr char kReadCacheSize[] = "PRAGMA cache_size=-2000";
// While the indexes are built: with temporary files allowed, SQLite's sorter keeps its records in
// one growing buffer instead of one allocation each (it spills to a file only past the cache size).
constexpr char kIndexBuildTempStore[] = "PRAGMA temp_store=FILE";
constexpr char kTempStore[] = "PRAGMA temp_store=MEMORY";

std::unique_ptr<PluginDatabase>& sharedInstance()
{
    static std::unique_ptr<PluginDatabase> instance;
    return instance;
}

void printSqlError(const QString& message)
{
    Diagnostics::print(QStringLiteral("❌ SQL error: ") + message);
}

QByteArray placeholders(qsizetype count)
{
    QByteArray text;
    text.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += ", ";
        text += '?';
    }
    return text;
}

QStringList sortedTexts(const QSet<QString>& values)
{
    QStringList list(values.cbegin(), values.cend());
    std::sort(list.begin(), list.end());
    return list;
}

/// The ORDER BY column comes only from the fixed list; anything else sorts by name.
const char* sortColumnSql(const QString& requested)
{
    for (const char* column : CatalogueSchema::kSortableColumns) {
        if (requested == QLatin1String(column))
            return column;
    }
    return CatalogueSchema::kName;
}

// What SQLite says of a file that is not a database, or a damaged one.
bool isUnreadableCode(int code)
{
    return (code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT;
}

int clampToInt32(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

void bindAll(Sql::Statement& statement, const QStringList& parameters)
{
    for (qsizetype i = 0; i < parameters.size(); ++i)
        statement.bindText(int(i) + 1, parameters.at(i));
}

std::optional<QString> absentWhenEmpty(const Sql::Statement& row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    QString text = row.columnText(column);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

/// Appends the text as UTF-8, byte for byte as QString::toUtf8 gives it (a lone surrogate
/// becomes '?', which the stored rows hold). ASCII, nearly every path and name, is checked and
/// narrowed by Qt's vectorised code into the buffer, without an allocation per value.
void appendUtf8(QByteArray& out, QStringView text)
{
    if (!QtPrivate::isAscii(text)) {
        out += text.toUtf8();
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + text.size());
    QStringEncoder narrow(QStringConverter::Latin1, QStringConverter::Flag::Stateless);
    narrow.appendToBuffer(out.data() + start, text);
}

/// The id as uuidString writes it: upper-case hex digits in five dashed groups.
void appendUuid(QByteArray& out, const QUuid& id)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    // The sixteen bytes in the text's order (the first three fields most significant byte first).
    const std::array<uchar, 16> bytes{
        uchar(id.data1 >> 24), uchar(id.data1 >> 16), uchar(id.data1 >> 8), uchar(id.data1),
        uchar(id.data2 >> 8),  uchar(id.data2),       uchar(id.data3 >> 8), uchar(id.data3),
        id.data4[0],           id.data4[1],           id.data4[2],          id.data4[3],
        id.data4[4],           id.data4[5],           id.data4[6],          id.data4[7]};
    char text[36];
    int at = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[at++] = '-';
        text[at++] = kHex[bytes[size_t(i)] >> 4];
        text[at++] = kHex[bytes[size_t(i)] & 0xF];
    }
    out.append(text, sizeof text);
}

constexpr quint32 columnBit(int column)
{
    return quint32(1) << column;
}
/// Every column, the id included.
constexpr quint32 kAllColumns = columnBit(CatalogueSchema::ColumnCount) - 1;

/// The text a record stores in a text column ("" for an absent version or bundle identifier).
QStringView storedText(const AudioPlugin& plugin, int column, const QString& format)
{
    using namespace CatalogueSchema;
    switch (column) {
    case NameColumn:
        return plugin.name;
    case ManufacturerColumn:
        return plugin.manufacturer;
    case FormatColumn:
        return format;
    case OriginalPathColumn:
        return plugin.originalPath;
    case CurrentPathColumn:
        return plugin.currentPath;
    case VersionColumn:
        return plugin.version ? QStringView(*plugin.version) : QStringView(u"");
    case BundleIdentifierColumn:
        return plugin.bundleIdentifier ? QStringView(*plugin.bundleIdentifier) : QStringView(u"");
    default:
        return {};
    }
}

/// Binds the record's values of `columns` (bits of CatalogueSchema::Column), in table order, at
/// parameters `first`...; returns the next parameter. The texts go to `buffer` as UTF-8 and are
/// bound in place, so the buffer must stay untouched until the statement has been stepped.
int bindColumns(Sql::Statement& statement, QByteArray& buffer, const AudioPlugin& plugin, quint32 columns, int first)
{
    using namespace CatalogueSchema;
    buffer.resize(0); // keeps the capacity of the rows before
    const QString format = PluginFormats::rawValue(plugin.format);
    std::array<qsizetype, ColumnCount + 1> starts{};
    for (int column = 0; column < ColumnCount; ++column) {
        starts[size_t(column)] = buffer.size();
        if ((columns & columnBit(column)) == 0 || column == IsEnabledColumn || column == LastUsedColumn)
            continue;
        if (column == IdColumn)
            appendUuid(buffer, plugin.id);
        else
            appendUtf8(buffer, storedText(plugin, column, format));
    }
    starts[ColumnCount] = buffer.size();
    // Bound once the buffer has stopped growing: no pointer into it moves afterwards.
    int parameter = first;
    for (int column = 0; column < ColumnCount; ++column) {
        if ((columns & columnBit(column)) == 0)
            continue;
        if (column == IsEnabledColumn)
            statement.bindInt64(parameter, plugin.isEnabled ? 1 : 0);
        else if (column == LastUsedColumn && plugin.lastUsed && plugin.lastUsed->isValid())
            statement.bindDouble(parameter, double(plugin.lastUsed->toMSecsSinceEpoch()) / 1000.0);
        else if (column == LastUsedColumn)
            statement.bindNull(parameter);
        else
            statement.bindUtf8(parameter, QByteArrayView(buffer.constData() + starts[size_t(column)],
                                                         starts[size_t(column) + 1] - starts[size_t(column)]));
        ++parameter;
    }
    return parameter;
}

/// Whether a stored text is the value, compared as UTF-8 against UTF-16. ASCII, nearly every
/// text here, is compared as Latin-1 (Qt's vectorised comparison); anything else through Qt's
/// general one.
bool textEquals(const Sql::Statement& row, int column, QStringView value)
{
    if (row.columnType(column) != SQLITE_TEXT)
        return false;
    const QByteArrayView stored = row.columnUtf8(column);
    // UTF-8 never takes fewer bytes than UTF-16 takes units.
    if (stored.size() < value.size())
        return false;
    const QLatin1StringView bytes(stored.data(), stored.size());
    if (stored.size() == value.size() && QtPrivate::isAscii(bytes))
        return bytes == value;
    return QAnyStringView::compare(QUtf8StringView(stored.data(), stored.size()), value) == 0;
}

/// The columns (bits of CatalogueSchema::Column, the id aside) whose stored value differs from
/// what bindColumns would write of the record; 0 when the row holds the record exactly.
quint32 changedColumns(const Sql::Statement& row, const AudioPlugin& plugin)
{
    using namespace CatalogueSchema;
    const QString format = PluginFormats::rawValue(plugin.format);
    quint32 changed = 0;
    for (int column : {NameColumn, ManufacturerColumn, FormatColumn, OriginalPathColumn, CurrentPathColumn,
                       VersionColumn, BundleIdentifierColumn}) {
        if (!textEquals(row, column, storedText(plugin, column, format)))
            changed |= columnBit(column);
    }
    if (row.columnType(IsEnabledColumn) != SQLITE_INTEGER ||
        row.columnInt64(IsEnabledColumn) != (plugin.isEnabled ? 1 : 0))
        changed |= columnBit(IsEnabledColumn);
    const bool sameLastUsed =
        plugin.lastUsed && plugin.lastUsed->isValid()
            ? row.columnType(LastUsedColumn) == SQLITE_FLOAT &&
                  row.columnDouble(LastUsedColumn) == double(plugin.lastUsed->toMSecsSinceEpoch()) / 1000.0
            : row.columnType(LastUsedColumn) == SQLITE_NULL;
    if (!sameLastUsed)
        changed |= columnBit(LastUsedColumn);
    return changed;
}

/// The id of a row: text as uuidString writes it, parsed from its bytes (no UTF-16 copy).
QUuid idOfRow(const Sql::Statement& row)
{
    if (!row.isText(CatalogueSchema::IdColumn))
        return {};
    const QByteArrayView text = row.columnUtf8(CatalogueSchema::IdColumn);
    // As uuidFromString: 36 characters exactly, which a non-ASCII text of 36 bytes is not either.
    if (text.size() != 36)
        return {};
    return QUuid::fromString(QLatin1StringView(text.data(), text.size()));
}

/// "UPDATE plugins SET a = ?, b = ? WHERE rowid = ?" for the columns' bits, names from the schema.
QByteArray updateOf(quint32 columns)
{
    QByteArray sql = QByteArray("UPDATE ") + CatalogueSchema::kTable + " SET ";
    bool first = true;
    for (int column = 0; column < CatalogueSchema::ColumnCount; ++column) {
        if ((columns & columnBit(column)) == 0)
            continue;
        if (!first)
            sql += ", ";
        sql += CatalogueSchema::kColumns[column];
        sql += " = ?";
        first = false;
    }
    return sql + " WHERE rowid = ?";
}

/// A scan record's row of the catalogue, if any, and which of its values differ.
struct RowPair {
    qint64 rowid = 0;    // 0: none
    quint32 changed = 0; // bits of CatalogueSchema::Column
};

/// Finds the record a catalogue row stands for: the same format and current path, not paired
/// yet. A rescan mostly lists the rows in the order they were written, so each row is first
/// tried against the record after the last one found, and only otherwise looked up by path.
class RecordOfRow {
public:
    RecordOfRow(const QList<AudioPlugin>& plugins, const std::vector<RowPair>& pairs)
        : m_plugins(plugins), m_pairs(pairs)
    {
    }

    /// The record's index, or -1. `Row` is a StoredRow or a WrittenRow.
    template <typename Row>
    qsizetype find(const Row& row)
    {
        const qsizetype found = m_next < m_plugins.size() && isRecordOf(row, m_next) ? m_next : lookUp(row);
        if (found >= 0)
            m_next = found + 1;
        return found;
    }

private:
    template <typename Row>
    bool isRecordOf(const Row& row, qsizetype i) const
    {
        return m_pairs[size_t(i)].rowid == 0 && row.isOf(m_plugins[i]);
    }

    template <typename Row>
    qsizetype lookUp(const Row& row)
    {
        if (m_byPath.isEmpty()) {
            m_byPath.reserve(m_plugins.size());
            for (qsizetype i = m_plugins.size() - 1; i >= 0; --i)
                m_byPath.insert(m_plugins[i].currentPath, i);
        }
        const QString key = row.currentPath();
        for (auto it = m_byPath.constFind(key); it != m_byPath.cend() && it.key() == key; ++it) {
            if (isRecordOf(row, *it))
                return *it;
        }
        return -1;
    }

    const QList<AudioPlugin>& m_plugins;
    const std::vector<RowPair>& m_pairs;
    QMultiHash<QStringView, qsizetype> m_byPath; // filled on the first row out of order
    qsizetype m_next = 0;
};

/// A row as read from the table: the bundle it stands for is its format and current path.
struct StoredRow {
    const Sql::Statement& row;
    bool isOf(const AudioPlugin& plugin) const
    {
        return textEquals(row, CatalogueSchema::CurrentPathColumn, plugin.currentPath) &&
               textEquals(row, CatalogueSchema::FormatColumn, PluginFormats::rawValue(plugin.format));
    }
    QString currentPath() const { return QString::fromUtf8(row.columnUtf8(CatalogueSchema::CurrentPathColumn)); }
};

/// A row as this connection last wrote it: the record it was written from.
struct WrittenRow {
    const AudioPlugin& record;
    bool isOf(const AudioPlugin& plugin) const
    {
        return plugin.format == record.format && plugin.currentPath == record.currentPath;
    }
    QString currentPath() const { return record.currentPath; }
};

/// changedColumns for a row written from `stored`: what its columns hold against the record.
quint32 changedColumns(const AudioPlugin& stored, const AudioPlugin& plugin)
{
    using namespace CatalogueSchema;
    const QString storedFormat = PluginFormats::rawValue(stored.format);
    const QString format = PluginFormats::rawValue(plugin.format);
    quint32 changed = 0;
    for (int column : {NameColumn, ManufacturerColumn, FormatColumn, OriginalPathColumn, CurrentPathColumn,
                       VersionColumn, BundleIdentifierColumn}) {
        if (storedText(stored, column, storedFormat) != storedText(plugin, column, format))
            changed |= columnBit(column);
    }
    if (stored.isEnabled != plugin.isEnabled)
        changed |= columnBit(IsEnabledColumn);
    const bool storedDate = stored.lastUsed && stored.lastUsed->isValid();
    const bool date = plugin.lastUsed && plugin.lastUsed->isValid();
    if (storedDate != date || (date && stored.lastUsed->toMSecsSinceEpoch() != plugin.lastUsed->toMSecsSinceEpoch()))
        changed |= columnBit(LastUsedColumn);
    return changed;
}

using RowidOf = std::pair<qsizetype, qint64>; // record, rowid

/// A kept row that takes some of its record's values.
struct RowUpdate {
    qsizetype record = 0;
    qint64 rowid = 0;
    quint32 columns = 0; // bits of CatalogueSchema::Column
};

/// Gives the records that need one a rowid between their kept neighbours, and lists the rows
/// to update and delete. False when there is no room between two kept rows.
bool placeRows(const std::vector<RowPair>& pairs, std::vector<qint64>& deletes, std::vector<RowUpdate>& updates,
               std::vector<RowidOf>& inserts)
{
    bool fits = true;
    // Rowids must follow the records' order. Paired rows already in that order stay where
    // they are; every other record goes evenly between its kept neighbours.
    std::vector<qsizetype> waiting;
    qint64 lastKept = 0;
    const auto place = [&](qint64 below) {
        const qint64 step = (below - lastKept) / qint64(waiting.size() + 1);
        if (step < 1) {
            fits = false;
            return;
        }
        for (size_t k = 0; k < waiting.size(); ++k) {
            const qsizetype i = waiting[k];
            if (pairs[size_t(i)].rowid != 0)
                deletes.push_back(pairs[size_t(i)].rowid);
            inserts.emplace_back(i, lastKept + step * qint64(k + 1));
        }
        waiting.clear();
    };
    for (qsizetype i = 0; i < qsizetype(pairs.size()) && fits; ++i) {
        const RowPair& pair = pairs[size_t(i)];
        if (pair.rowid == 0 || pair.rowid <= lastKept) {
            waiting.push_back(i);
            continue;
        }
        place(pair.rowid);
        lastKept = pair.rowid;
        if (pair.changed != 0)
            updates.push_back({i, pair.rowid, pair.changed});
    }
    if (fits && !waiting.empty())
        place(lastKept + CatalogueSchema::kRowidStep * qint64(waiting.size() + 1));
    return fits;
}

} // namespace

/// What a scan's write does to the rows, planned before anything is written.
/// The rows of the table as this connection's last scan's write left them: its records (the
/// stored values, ids included) in rowid order, their rowids, and Sql::writeVersion() after the
/// commit. While Sql::writeVersion() is the same, neither this connection nor another wrote since.
struct PluginDatabase::WrittenRows {
    QList<AudioPlugin> records;
    std::vector<qint64> rowids;
    std::pair<qint64, qint64> version;
};

struct PluginDatabase::ScanWrite {
    std::vector<qint64> rowids;     // every record's rowid once written
    bool fits = true;               // false: no room between kept rowids, write whole
    std::vector<qint64> deletes;    // rowids of rows not found again, or moved
    std::vector<RowUpdate> updates; // rowid kept: the same bundle, other values
    std::vector<RowidOf> inserts;   // new rowid: new bundles, or moved rows
    qsizetype writes() const
    {
        return qsizetype(deletes.size()) + qsizetype(updates.size()) + qsizetype(inserts.size());
    }
};

PluginDatabase::PluginDatabase(const QString& path, Unreadable unreadable)
    : m_search(std::make_unique<CatalogueSearch>()), m_dbPath(path), m_unreadable(unreadable)
{
    // A failure to create the folder shows up as the open failure below.
    QDir().mkpath(QFileInfo(m_dbPath).absolutePath());
    attachFile();
}

void PluginDatabase::attachFile()
{
    // The catalogue is a cache that every scan rebuilds: a file that cannot serve as one
    // (damaged, a folder or a FIFO in its place, a view named like our table) would leave
    // the window empty for good. It is set aside, never overwritten, and a new one started.
    const QFileInfo info(m_dbPath);
    QString problem;
    if (info.exists() && !info.isFile())
        problem = info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
    else
        problem = openDatabase();
    if (problem.isEmpty() && m_db) {
        dropTableOfAnotherLayout();
        problem = runSetUpScript(CatalogueSchema::kCreateScript);
        if (problem.isEmpty())
            problem = runSetUpScript(CatalogueSchema::kDropRetiredIndexes);
        if (problem.isEmpty())
            problem = createChangeLog();
    }
    if (problem.isEmpty())
        return;
    closeConnection();
    if (m_unreadable == Unreadable::report) {
        m_openError = problem;
        return;
    }
    if (!setFileAside(problem))
        return;
    openDatabase();
    if (m_db && exec(CatalogueSchema::kCreateScript))
        createChangeLog();
}

QString PluginDatabase::foreignPluginsObject() const
{
    Sql::Statement object(m_db, "SELECT type FROM sqlite_master WHERE name = 'plugins' COLLATE NOCASE");
    while (object.next()) {
        const QString type = object.columnText(0);
        if (type != QLatin1String("table"))
            return QStringLiteral("“plugins” in it is a %1, not a table").arg(type);
    }
    return isUnreadableCode(sqlite3_errcode(m_db)) ? object.errorMessage() : QString();
}

QString PluginDatabase::runSetUpScript(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    QString text = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_free(message);
    if (rc == SQLITE_OK)
        return {};
    if (isUnreadableCode(rc))
        return text;
    printSqlError(text);
    return {};
}

bool PluginDatabase::setFileAside(const QString& problem)
{
    const QString kept = keepUnreadableFileAside(m_dbPath);
    if (kept.isEmpty()) {
        Diagnostics::print(QStringLiteral("❌ Could not read the catalogue at %1 (%2) and could not move it aside")
                               .arg(m_dbPath, problem));
        m_openError = problem;
        return false;
    }
    // A log left beside the old file would be replayed into the new one.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_dbPath + suffix))
            QFile::rename(m_dbPath + suffix, kept + suffix);
    }
    Diagnostics::print(
        QStringLiteral("⚠️ Could not read the catalogue at %1 (%2); kept it as %3 and started a new one")
            .arg(m_dbPath, problem, kept));
    m_setAsideNotice = QStringLiteral("The plug-in list could not be read (%1). It was kept as %2, and a new list is "
                                      "built from the plug-in folders.")
                           .arg(problem, kept);
    return true;
}

void PluginDatabase::closeConnection()
{
    m_written.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QString PluginDatabase::holdInMemory(const QList<AudioPlugin>& plugins)
{
    closeConnection();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return QString::fromUtf8(sqlite3_errstr(rc));
    }
    m_db = db;
    m_inMemory = true;
    setStatementObserver(std::move(m_statementObserver));
    if (exec(CatalogueSchema::kCreateScript))
        createChangeLog();
    return replaceAllPlugins(plugins);
}

void PluginDatabase::releaseMemory() const
{
    if (m_db)
        sqlite3_db_release_memory(m_db);
}

void PluginDatabase::reattachFile()
{
    if (!m_inMemory)
        return;
    closeConnection();
    m_inMemory = false;
    attachFile();
    setStatementObserver(std::move(m_statementObserver));
}

bool PluginDatabase::isDamageReason(const QString& reason)
{
    return reason == QLatin1String(sqlite3_errstr(SQLITE_CORRUPT)) ||
           reason == QLatin1String(sqlite3_errstr(SQLITE_NOTADB));
}

QString PluginDatabase::replaceDamagedFile(const QList<AudioPlugin>& plugins, const QString& damage)
{
    closeConnection();
    m_inMemory = false;
    if (!setFileAside(damage))
        return damage;
    openDatabase();
    if (m_db && exec(CatalogueSchema::kCreateScript))
        createChangeLog();
    setStatementObserver(std::move(m_statementObserver));
    return replaceAllPlugins(plugins);
}

QString PluginDatabase::takeSetAsideNotice()
{
    return std::exchange(m_setAsideNotice, QString());
}

QString PluginDatabase::openFailure() const
{
    return m_openError.isEmpty() ? QStringLiteral("the catalogue is not open") : m_openError;
}

QString PluginDatabase::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : openFailure();
}

void PluginDatabase::dropTableOfAnotherLayout()
{
    QStringList columns;
    {
        Sql::Statement info(m_db, CatalogueSchema::kTableInfo);
        while (info.next())
            columns << info.columnText(1);
    }
    QStringList expected;
    for (const char* column : CatalogueSchema::kColumns)
        expected << QString::fromLatin1(column);
    if (columns.isEmpty() || columns == expected)
        return;
    // An earlier layout would make every page query fail while counts read stale rows.
    // Its rows are only a cache of the disk, which the next scan reads again.
    Diagnostics::print(QStringLiteral("⚠️ Replaced the catalogue table of another layout in ") + m_dbPath);
    exec(CatalogueSchema::kDropTable);
}

QString PluginDatabase::createChangeLog()
{
    // Its triggers run inside every write of the table: an object of that name that is not the
    // log would make each write fail. It holds nothing that cannot be read again, so it goes.
    QByteArray type;
    {
        Sql::Statement object(m_db, CatalogueSchema::kChangeLogObject);
        if (object.next() && object.columnUtf8(1) != QByteArrayView(CatalogueSchema::kChangeLogColumns))
            type = object.columnUtf8(0).toByteArray();
    }
    for (const char* other : {"table", "view", "index"}) {
        if (type == other)
            exec(QByteArray("DROP ").append(other).append(" plugins_changes").constData());
    }
    return runSetUpScript(CatalogueSchema::kCreateChangeLog);
}

PluginDatabase::~PluginDatabase()
{
    closeConnection();
}

PluginDatabase& PluginDatabase::shared()
{
    if (PluginDatabase* installed = InstalledInstance<PluginDatabase>::get())
        return *installed;
    auto& instance = sharedInstance();
    if (!instance)
        instance = std::make_unique<PluginDatabase>(Paths::dataFile(QString::fromLatin1(CatalogueSchema::kFileName)));
    return *instance;
}

void PluginDatabase::resetShared()
{
    sharedInstance().reset();
}

QString PluginDatabase::openDatabase()
{
    // Nothing here reads SQLite's memory statistics, and their bookkeeping takes a global
    // lock on every allocation. Must precede SQLite's own start-up (a later call is refused).
    static const bool memoryStatisticsOff = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    Q_UNUSED(memoryStatisticsOff)
    sqlite3* db = nullptr;
    // Each connection stays on the thread that opened it (the scan writes through its own),
    // so SQLite's per-call connection lock only costs time.
    const int rc = sqlite3_open_v2(QFile::encodeName(m_dbPath).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Diagnostics::print(QStringLiteral("❌ Failed to open database at ") + m_dbPath);
        m_openError = QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(db); // SQLite hands out a handle even when the open fails
        return {};
    }
    m_db = db;
    m_openError.clear();

    // All connection set-up lives here. WAL lets the menu-bar helper count rows through
    // its own read-only connection while a scan rewrites the table; synchronous=NORMAL
    // is safe under WAL (a power cut may lose the last commit, never corrupt the file),
    // and the catalogue is a cache the next scan rebuilds anyway. The busy timeout
    // covers the moments the helper's reader or a checkpoint holds a lock.
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);

    // The first statement is where SQLite actually reads the file: a file that is not a
    // database (or is damaged) fails here, and its reason goes back to be set aside before
    // anything has been written to it.
    if (QString problem = foreignPluginsObject(); !problem.isEmpty())
        return problem;
    // Only a new file takes this: a whole rewrite (a first scan) writes every page, and larger pages
    // mean fewer, larger log writes. An existing file keeps the page size it has.
    exec("PRAGMA page_size=8192");
    {
        Sql::Statement journal(m_db, "PRAGMA journal_mode=WAL");
        if (journal.isValid() && journal.next()) {
            const QString mode = journal.columnText(0);
            if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                Diagnostics::print(QStringLiteral("⚠️ Database journal mode is ") + mode +
                                   QStringLiteral(", not WAL"));
        } else if (isUnreadableCode(sqlite3_errcode(m_db))) {
            return journal.errorMessage();
        } else {
            printSqlError(journal.errorMessage());
        }
    }
    exec("PRAGMA synchronous=NORMAL");
    // Debian's SQLite zeroes deleted content by default; the catalogue holds nothing secret
    // and a whole rewrite deletes every row, so that would only add writes.
    exec("PRAGMA secure_delete=OFF");
    // A scan rewrites the whole catalogue in one transaction: let the log grow past one
    // rewrite before it is folded back, so a scan is not followed by a synchronous
    // checkpoint every time (its large page cache is replaceAllPlugins' own).
    exec(kTempStore);
    exec("PRAGMA wal_autocheckpoint=8192");
    return {};
}

bool PluginDatabase::exec(const char* sql) const
{
    if (!m_db)
        return false;
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        printSqlError(message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_free(message);
        return false;
    }
    return true;
}

void PluginDatabase::setStatementObserver(std::function<void(const QString&)> observer)
{
    m_statementObserver = std::move(observer);
    if (!m_db)
        return;
    if (m_statementObserver)
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &PluginDatabase::traceCallback, this);
    else
        sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
}

int PluginDatabase::traceCallback(unsigned type, void* context, void* statement, void* text)
{
    auto* self = static_cast<PluginDatabase*>(context);
    if (type != SQLITE_TRACE_STMT || !self->m_statementObserver)
        return 0;
    // A trigger's run is announced as a comment ("-- TRIGGER name"); it is part of the statement that fired it.
    if (const char* sql = static_cast<const char*>(text); sql && sql[0] == '-' && sql[1] == '-')
        return 0;
    char* expanded = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
    if (expanded) {
        self->m_statementObserver(QString::fromUtf8(expanded));
        sqlite3_free(expanded);
    }
    return 0;
}

QString PluginDatabase::replaceAllPlugins(const QList<AudioPlugin>& plugins)
{
    return rewrite(plugins, /*remember=*/false);
}

QString PluginDatabase::rewrite(const QList<AudioPlugin>& plugins, bool remember)
{
    m_written.reset();
    if (!m_db)
        return openFailure();
    // The rewrite keeps its pages and the index sorts in memory; afterwards the connection
    // goes back to a small cache, since a window keeps it open for hours and pages reads.
    // Both settings change outside the transaction (SQLite refuses temp_store inside one).
    struct RewriteCache {
        explicit RewriteCache(const PluginDatabase& database) : db(database)
        {
            db.exec(kRewriteCacheSize);
            db.exec(kIndexBuildTempStore);
        }
        ~RewriteCache()
        {
            db.exec(kTempStore);
            db.exec(kReadCacheSize);
            sqlite3_db_release_memory(db.m_db);
        }
        RewriteCache(const RewriteCache&) = delete;
        RewriteCache& operator=(const RewriteCache&) = delete;
        const PluginDatabase& db;
    } cache(*this);
    Sql::Transaction transaction(m_db);
    if (!transaction.isActive()) {
        printSqlError(transaction.errorMessage());
        return transaction.errorMessage();
    }
    // The indexes are rebuilt once after the inserts (see kDropIndexes). Every early
    // return below leaves through the transaction's rollback, so the old rows stay.
    if (!exec(CatalogueSchema::kDropIndexes) || !exec(CatalogueSchema::kDropChangeTriggers) ||
        !exec(CatalogueSchema::kDeleteAll))
        return lastError();
    // Fails when the table is not ours (an older layout with other columns) or the
    // connection is broken: rather keep the old catalogue than commit an empty one.
    Sql::Statement insert(m_db, CatalogueSchema::kInsertAt);
    if (!insert.isValid()) {
        printSqlError(insert.errorMessage());
        return insert.errorMessage();
    }

    QByteArray texts;
    std::vector<qsizetype> missing; // records whose insert failed
    qint64 rowid = 0;
    for (const AudioPlugin& plugin : plugins) {
        rowid += CatalogueSchema::kRowidStep;
        insert.bindInt64(1, rowid);
        bindColumns(insert, texts, plugin, kAllColumns, 2);
        // A record whose insert fails (a duplicate id, say) is simply missing. But some
        // errors (disk full, I/O) make SQLite roll the whole transaction back; carrying
        // on would then commit the remaining rows one by one over the old catalogue.
        if (!insert.exec()) {
            if (sqlite3_get_autocommit(m_db)) {
                QString reason = insert.errorMessage();
                printSqlError(reason);
                insert.reset();
                return reason;
            }
            missing.push_back(qsizetype(rowid / CatalogueSchema::kRowidStep) - 1);
        }
        insert.reset();
    }
    if (!exec(CatalogueSchema::kCreateIndexes))
        return lastError();
    // Without the log a reader reads every row at each change, which is never wrong.
    if (createChangeLog().isEmpty())
        exec(CatalogueSchema::kEveryRowChanged);
    if (!transaction.commit()) {
        printSqlError(transaction.errorMessage());
        return transaction.errorMessage();
    }
    if (remember) {
        auto written = std::make_unique<WrittenRows>();
        written->rowids.reserve(size_t(plugins.size()));
        if (missing.empty())
            written->records = plugins;
        for (qsizetype i = 0, next = 0; i < plugins.size(); ++i) {
            if (next < qsizetype(missing.size()) && missing[size_t(next)] == i) {
                ++next;
                continue;
            }
            if (!missing.empty())
                written->records.append(plugins[i]);
            written->rowids.push_back(CatalogueSchema::kRowidStep * qint64(i + 1));
        }
        written->version = Sql::writeVersion(m_db);
        m_written = std::move(written);
    }
    return {};
}

QString PluginDatabase::writeScan(QList<AudioPlugin>& plugins)
{
    std::unique_ptr<WrittenRows> written = std::move(m_written);
    if (!m_db)
        return openFailure();
    {
        // It reads the rows before it writes: a writer that holds the lock meanwhile is waited for here.
        Sql::Transaction transaction(m_db, Sql::Transaction::Start::immediate);
        if (!transaction.isActive()) {
            printSqlError(transaction.errorMessage());
            return transaction.errorMessage();
        }
        // Read inside the transaction: no one can write between this test and the commit.
        if (written && written->version != Sql::writeVersion(m_db))
            written.reset();
        const ScanWrite plan = planScanWrite(plugins, written.get());
        // Row by row, each write also updates ten indexes; past a few thousand rows the whole
        // rewrite, which builds the indexes once, is the cheaper one.
        constexpr qsizetype kMostRowWrites = 4096;
        if (plan.fits && plan.writes() <= std::max(kMostRowWrites, plugins.size() / 8)) {
            if (QString failed = applyScanWrite(plan, plugins); !failed.isEmpty()) {
                printSqlError(failed);
                return failed; // rolled back by the transaction
            }
            if (!transaction.commit()) {
                printSqlError(transaction.errorMessage());
                return transaction.errorMessage();
            }
            // The table now holds the records, in their order, at the plan's rowids.
            if (!written)
                written = std::make_unique<WrittenRows>();
            written->records = plugins;
            written->rowids = plan.rowids;
            written->version = Sql::writeVersion(m_db);
            m_written = std::move(written);
            return {};
        }
    }
    // The records already carry their rows' ids: the rewrite keeps them too.
    return rewrite(plugins, /*remember=*/true);
}

PluginDatabase::ScanWrite PluginDatabase::planScanWrite(QList<AudioPlugin>& plugins, const WrittenRows* written) const
{
    using namespace CatalogueSchema;
    ScanWrite plan;
    plugins.detach(); // the ids are written below; the texts are looked up meanwhile
    std::vector<RowPair> pairs(size_t(plugins.size()));
    RecordOfRow records(plugins, pairs);
    bool readWhole = true;
    if (written) {
        // The rows this connection wrote, compared as the table's would be: its rows need not be read.
        for (qsizetype k = 0; k < written->records.size(); ++k) {
            const AudioPlugin& stored = written->records[k];
            const qint64 rowid = written->rowids[size_t(k)];
            const qsizetype found = !stored.id.isNull() ? records.find(WrittenRow{stored}) : -1;
            if (found < 0) {
                plan.deletes.push_back(rowid);
                continue;
            }
            pairs[size_t(found)] = {rowid, changedColumns(stored, plugins[found])};
            plugins[found].id = stored.id;
        }
    } else {
        Sql::Statement row(m_db, kSelectInRowidOrder);
        while (row.next()) {
            const qint64 rowid = row.columnInt64(ColumnCount);
            const QUuid id = idOfRow(row);
            const qsizetype found = rowid > 0 && !id.isNull() ? records.find(StoredRow{row}) : -1;
            if (found < 0) {
                plan.deletes.push_back(rowid);
                continue;
            }
            pairs[size_t(found)] = {rowid, changedColumns(row, plugins[found])};
            plugins[found].id = id;
        }
        // A table that could not be read to its end may hold rows in the way: it is written whole.
        readWhole = row.isValid() && row.lastResult() == SQLITE_DONE;
    }
    plan.fits = readWhole && placeRows(pairs, plan.deletes, plan.updates, plan.inserts);
    if (plan.fits) {
        plan.rowids.reserve(pairs.size());
        for (const RowPair& pair : pairs)
            plan.rowids.push_back(pair.rowid);
        for (const auto& [i, rowid] : plan.inserts)
            plan.rowids[size_t(i)] = rowid;
    }
    return plan;
}

QString PluginDatabase::applyScanWrite(const ScanWrite& plan, const QList<AudioPlugin>& plugins)
{
    using namespace CatalogueSchema;
    if (plan.writes() == 0)
        return {};
    // Deletes first: a moved row's new rowid may be where another one stood.
    Sql::Statement remove(m_db, kDeleteRow);
    Sql::Statement insert(m_db, kInsertAt);
    if (!remove.isValid() || !insert.isValid())
        return lastError();
    // An update sets only the columns that changed: SQLite then rewrites only the indexes of
    // those (a rescan mostly finds a new last-used date), not every index of the row.
    std::map<quint32, Sql::Statement> updates;
    QByteArray texts;
    for (qint64 rowid : plan.deletes) {
        remove.bindInt64(1, rowid);
        if (!remove.exec())
            return remove.errorMessage();
        remove.reset();
    }
    for (const RowUpdate& change : plan.updates) {
        auto it = updates.find(change.columns);
        if (it == updates.end())
            it = updates.emplace(change.columns, Sql::Statement(m_db, updateOf(change.columns))).first;
        Sql::Statement& update = it->second;
        if (!update.isValid())
            return lastError();
        update.bindInt64(bindColumns(update, texts, plugins[change.record], change.columns, 1), change.rowid);
        if (!update.exec())
            return update.errorMessage();
        update.reset();
    }
    for (const auto& [i, rowid] : plan.inserts) {
        insert.bindInt64(1, rowid);
        bindColumns(insert, texts, plugins[i], kAllColumns, 2);
        if (!insert.exec())
            return insert.errorMessage();
        insert.reset();
    }
    return {};
}

QList<AudioPlugin> PluginDatabase::firstPageByName(const QList<AudioPlugin>& plugins, qsizetype limit)
{
    // NOCASE compares the UTF-8 bytes with ASCII letters folded; the index keeps ties in rowid
    // order, which a write gives in record order.
    std::vector<QByteArray> keys;
    keys.reserve(size_t(plugins.size()));
    for (const AudioPlugin& plugin : plugins)
        keys.push_back(foldAscii(plugin.name.toUtf8()));
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    const auto count = std::clamp<qsizetype>(limit, 0, plugins.size());
    std::partial_sort(order.begin(), order.begin() + count, order.end(), [&keys](qsizetype a, qsizetype b) {
        const int compared = keys[size_t(a)].compare(keys[size_t(b)]);
        return compared != 0 ? compared < 0 : a < b;
    });
    QList<AudioPlugin> page;
    page.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        page.append(plugins[order[size_t(i)]]);
    return page;
}

void PluginDatabase::updatePlugin(const AudioPlugin& plugin)
{
    Sql::Statement update(m_db, CatalogueSchema::kUpdateLocation);
    if (!update.isValid())
        return;
    update.bindText(1, plugin.currentPath);
    update.bindInt64(2, plugin.isEnabled ? 1 : 0);
    update.bindText(3, uuidString(plugin.id));
    update.exec();
}

void PluginDatabase::deletePlugin(const QUuid& id)
{
    Sql::Statement remove(m_db, CatalogueSchema::kDeleteOne);
    if (!remove.isValid())
        return;
    remove.bindText(1, uuidString(id));
    remove.exec();
}

QString PluginDatabase::updatePlugins(const QList<AudioPlugin>& plugins)
{
    return writeBatch(CatalogueSchema::kUpdateLocation, plugins.size(),
                      [&plugins](Sql::Statement& update, qsizetype i) {
                          update.bindText(1, plugins[i].currentPath);
                          update.bindInt64(2, plugins[i].isEnabled ? 1 : 0);
                          update.bindText(3, uuidString(plugins[i].id));
                      });
}

QString PluginDatabase::deletePlugins(const QList<QUuid>& ids)
{
    return writeBatch(CatalogueSchema::kDeleteOne, ids.size(),
                      [&ids](Sql::Statement& remove, qsizetype i) { remove.bindText(1, uuidString(ids[i])); });
}

QString PluginDatabase::writeBatch(const char* sql, qsizetype count,
                                   const std::function<void(Sql::Statement&, qsizetype)>& bind)
{
    if (count == 0)
        return {};
    if (!m_db)
        return openFailure();
    Sql::Transaction transaction(m_db);
    if (!transaction.isActive())
        return transaction.errorMessage();
    Sql::Statement statement(m_db, sql);
    if (!statement.isValid())
        return statement.errorMessage();
    // A row that matched nothing was written by no one: the catalogue was rewritten since
    // the caller read it (a scan in between, another process), and no longer tells the truth.
    qsizetype unmatched = 0;
    for (qsizetype i = 0; i < count; ++i) {
        bind(statement, i);
        if (!statement.exec())
            return statement.errorMessage(); // rolled back by the transaction
        if (sqlite3_changes(m_db) == 0)
            ++unmatched;
        statement.reset();
    }
    if (!transaction.commit())
        return transaction.errorMessage();
    if (unmatched > 0)
        return (unmatched == 1
                    ? QStringLiteral("%1 of %2 plug-ins was no longer listed in it (it was rewritten meanwhile)")
                    : QStringLiteral("%1 of %2 plug-ins were no longer listed in it (it was rewritten meanwhile)"))
            .arg(unmatched)
            .arg(count);
    return {};
}

PluginDatabase::FilterClause PluginDatabase::filterClause(const QString& searchText, const QSet<PluginFormat>& formats,
                                                          const QSet<QString>& manufacturers,
                                                          const QSet<QString>& pluginKeys, bool formatOnRow,
                                                          bool manufacturerOnRow)
{
    QList<QByteArray> conditions;
    FilterClause clause;
    if (!searchText.isEmpty()) {
        // Deliberately unescaped: "%" and "_" typed by the user are wildcards.
        const QString pattern = QLatin1Char('%') + searchText + QLatin1Char('%');
        conditions << QByteArray(CatalogueSchema::kSearchCondition);
        clause.parameters << pattern << pattern;
    }
    if (!formats.isEmpty()) {
        QStringList raw;
        for (PluginFormat format : formats)
            raw << PluginFormats::rawValue(format);
        std::sort(raw.begin(), raw.end());
        conditions << QByteArray(formatOnRow ? CatalogueSchema::kFormatInRowPrefix : CatalogueSchema::kFormatInPrefix) +
                          placeholders(raw.size()) + ')';
        clause.parameters << raw;
    }
    if (!manufacturers.isEmpty()) {
        conditions << QByteArray(manufacturerOnRow ? CatalogueSchema::kManufacturerInRowPrefix
                                                   : CatalogueSchema::kManufacturerInPrefix) +
                          placeholders(manufacturers.size()) + ')';
        clause.parameters << sortedTexts(manufacturers);
    }
    if (!pluginKeys.isEmpty()) {
        conditions << QByteArray(CatalogueSchema::kKeyInPrefix) + placeholders(pluginKeys.size()) + ')';
        clause.parameters << sortedTexts(pluginKeys);
    }
    if (!conditions.isEmpty())
        clause.sql = "WHERE " + conditions.join(" AND ");
    return clause;
}

std::optional<AudioPlugin> PluginDatabase::pluginFromRow(const Sql::Statement& row)
{
    using namespace CatalogueSchema;
    if (!row.isText(IdColumn))
        return std::nullopt;
    const QUuid id = uuidFromString(row.columnText(IdColumn));
    if (id.isNull())
        return std::nullopt;
    if (row.isNull(NameColumn) || row.isNull(ManufacturerColumn) || row.isNull(OriginalPathColumn) ||
        row.isNull(CurrentPathColumn) || row.isNull(FormatColumn))
        return std::nullopt;
    const std::optional<PluginFormat> format = PluginFormats::fromRawValue(row.columnText(FormatColumn));
    if (!format)
        return std::nullopt;

    AudioPlugin plugin;
    plugin.id = id;
    plugin.name = row.columnText(NameColumn);
    plugin.manufacturer = row.columnText(ManufacturerColumn);
    plugin.format = *format;
    plugin.originalPath = row.columnText(OriginalPathColumn);
    plugin.currentPath = row.columnText(CurrentPathColumn);
    plugin.isEnabled = !row.isNull(IsEnabledColumn) && row.columnInt64(IsEnabledColumn) == 1;
    plugin.version = absentWhenEmpty(row, VersionColumn);
    plugin.bundleIdentifier = absentWhenEmpty(row, BundleIdentifierColumn);
    if (!row.isNull(LastUsedColumn)) {
        // Another program may have stored anything here, infinity included; whole
        // milliseconds of such a value would overflow. Far-off dates are clamped to
        // some three million years either side, infinities read as no date.
        constexpr double kLimit = 1e14;
        const double seconds = row.columnDouble(LastUsedColumn);
        if (std::isfinite(seconds))
            plugin.lastUsed = QDateTime::fromMSecsSinceEpoch(
                static_cast<qint64>(std::round(std::clamp(seconds, -kLimit, kLimit) * 1000.0)), Qt::UTC);
    }
    return plugin;
}

QList<AudioPlugin> PluginDatabase::queryPlugins(const PluginQuery& q) const
{
    QList<AudioPlugin> result;
    if (!m_db)
        return result;
    const char* column = sortColumnSql(q.sortColumn);
    if (CatalogueSearch::handles(q.searchText, q.pluginKeys)) {
        if (const std::optional<QList<qint64>> rowids =
                m_search->page(m_db, q.searchText, q.formats, q.manufacturers, column, q.sortAscending,
                               clampToInt32(q.limit), clampToInt32(q.offset)))
            return pluginsByRowids(*rowids);
    }
    // A format is about a quarter of the rows: with a search text, reading the whole table beats the index.
    FilterClause filter = filterClause(q.searchText, q.formats, q.manufacturers, q.pluginKeys,
                                       /*formatOnRow=*/!q.searchText.isEmpty());
    if (q.searchText.isEmpty() && q.pluginKeys.isEmpty() && (!q.formats.isEmpty() || !q.manufacturers.isEmpty()) &&
        !filterBeatsSortIndex(filter, q.limit, q.offset))
        filter = filterClause({}, q.formats, q.manufacturers, {}, /*formatOnRow=*/true, /*manufacturerOnRow=*/true);
    QByteArray sql = CatalogueSchema::kSelectColumns;
    sql += '\n';
    sql += CatalogueSchema::kFromTable;
    sql += '\n';
    sql += filter.sql;
    sql += '\n';
    sql += "ORDER BY ";
    sql += CatalogueSchema::sortTermOf(column);
    sql += q.sortAscending ? " ASC" : " DESC";
    sql += "\nLIMIT ? OFFSET ?";

    Sql::Statement query(m_db, sql);
    if (!query.isValid())
        return result;
    bindAll(query, filter.parameters);
    const int next = int(filter.parameters.size()) + 1;
    query.bindInt64(next, clampToInt32(q.limit));
    query.bindInt64(next + 1, clampToInt32(q.offset));
    while (query.next()) {
        if (std::optional<AudioPlugin> plugin = pluginFromRow(query))
            result.append(std::move(*plugin));
    }
    return result;
}

bool PluginDatabase::filterBeatsSortIndex(const FilterClause& filter, qint64 limit, qint64 offset) const
{
    // Walking the sort's index reads about (offset + limit) * rows / matches rows before the
    // page is full; reading the matches through the filter's index and sorting them reads
    // the matches. The two counts come from the indexes and cost little.
    const qint64 matches = countOf(CatalogueSchema::kCountPrefix + filter.sql, filter.parameters);
    const qint64 rows = countOf(CatalogueSchema::kCountAll, {});
    const qint64 wanted = std::clamp<qint64>(limit < 0 ? rows : limit, 0, rows) + std::max<qint64>(offset, 0);
    return double(matches) * double(matches) < double(wanted) * double(rows);
}

QList<AudioPlugin> PluginDatabase::pluginsByRowids(const QList<qint64>& rowids) const
{
    QHash<qint64, AudioPlugin> found;
    found.reserve(rowids.size());
    for (qsizetype start = 0; start < rowids.size(); start += kMaxIdsPerStatement) {
        const qsizetype count = std::min<qsizetype>(kMaxIdsPerStatement, rowids.size() - start);
        Sql::Statement query(m_db, CatalogueSchema::kSelectByRowidsPrefix + placeholders(count) + ')');
        if (!query.isValid())
            return {};
        for (qsizetype i = 0; i < count; ++i)
            query.bindInt64(int(i) + 1, rowids[start + i]);
        while (query.next()) {
            if (std::optional<AudioPlugin> plugin = pluginFromRow(query))
                found.emplace(query.columnInt64(CatalogueSchema::ColumnCount), std::move(*plugin));
        }
    }
    QList<AudioPlugin> result;
    result.reserve(found.size());
    for (qint64 rowid : rowids) {
        auto it = found.find(rowid);
        if (it != found.end())
            result.append(std::move(*it));
    }
    return result;
}

qint64 PluginDatabase::countOf(const QByteArray& sql, const QStringList& parameters) const
{
    if (!m_db)
        return 0;
    Sql::Statement count(m_db, sql);
    if (!count.isValid())
        return 0;
    bindAll(count, parameters);
    return count.next() ? count.columnInt64(0) : 0;
}

qint64 PluginDatabase::totalCount(const QString& searchText, const QSet<PluginFormat>& formats,
                                  const QSet<QString>& manufacturers, const QSet<QString>& pluginKeys) const
{
    if (m_db && CatalogueSearch::handles(searchText, pluginKeys)) {
        if (const std::optional<qint64> count = m_search->count(m_db, searchText, formats, manufacturers))
            return *count;
    }
    const FilterClause filter =
        filterClause(searchText, formats, manufacturers, pluginKeys, /*formatOnRow=*/!searchText.isEmpty());
    return countOf(CatalogueSchema::kCountPrefix + filter.sql, filter.parameters);
}

qint64 PluginDatabase::totalEnabledCount() const
{
    return countOf(CatalogueSchema::kCountEnabled, {});
}

qint64 PluginDatabase::totalDisabledCount() const
{
    return countOf(CatalogueSchema::kCountDisabled, {});
}

PluginDatabase::Counts PluginDatabase::counts() const
{
    Counts counts;
    if (!m_db)
        return counts;
    Sql::Statement query(m_db, CatalogueSchema::kCountByFormatAndStatus);
    while (query.next()) {
        const qint64 rows = query.columnInt64(2);
        if (query.columnInt64(0) == 0) {
            if (const std::optional<PluginFormat> format = PluginFormats::fromRawValue(query.columnText(1)))
                counts.byFormat[*format] += rows;
            continue;
        }
        const qint64 enabled = query.columnInt64(1);
        if (enabled == 1)
            counts.enabled += rows;
        else if (enabled == 0)
            counts.disabled += rows;
    }
    return counts;
}

QSet<QUuid> PluginDatabase::getAllFilteredPluginIds(const QString& searchText, const QSet<PluginFormat>& formats,
                                                    const QSet<QString>& manufacturers) const
{
    QSet<QUuid> ids;
    if (!m_db)
        return ids;
    const FilterClause filter =
        filterClause(searchText, formats, manufacturers, {}, /*formatOnRow=*/!searchText.isEmpty());
    Sql::Statement query(m_db, CatalogueSchema::kIdsPrefix + filter.sql);
    if (!query.isValid())
        return ids;
    bindAll(query, filter.parameters);
    while (query.next()) {
        const QUuid id = query.isText(0) ? uuidFromString(query.columnText(0)) : QUuid();
        if (!id.isNull())
            ids.insert(id);
    }
    return ids;
}

QSet<QString> PluginDatabase::getAllPluginKeys() const
{
    QSet<QString> keys;
    if (!m_db)
        return keys;
    Sql::Statement query(m_db, CatalogueSchema::kSelectKeys);
    while (query.next()) {
        if (!query.isNull(0) && !query.isNull(1))
            keys.insert(query.columnText(0) + QLatin1Char('|') + query.columnText(1));
    }
    return keys;
}

QStringList PluginDatabase::getDistinctManufacturers() const
{
    QStringList manufacturers;
    if (!m_db)
        return manufacturers;
    Sql::Statement query(m_db, CatalogueSchema::kSelectManufacturers);
    while (query.next()) {
        if (query.isNull(0))
            continue;
        QString manufacturer = query.columnText(0);
        if (!manufacturer.isEmpty())
            manufacturers.append(std::move(manufacturer));
    }
    return manufacturers;
}

QList<AudioPlugin> PluginDatabase::getPluginsByIds(const QSet<QUuid>& ids) const
{
    QList<AudioPlugin> result;
    if (ids.isEmpty() || !m_db)
        return result;
    QStringList texts;
    texts.reserve(ids.size());
    for (const QUuid& id : ids)
        texts << uuidString(id);
    std::sort(texts.begin(), texts.end());

    // One statement may bind only so many host parameters (32766 in a stock build, less
    // in some); a large selection is looked up chunk by chunk instead of failing outright.
    const qsizetype chunkSize =
        std::clamp(sqlite3_limit(m_db, SQLITE_LIMIT_VARIABLE_NUMBER, -1), 1, kMaxIdsPerStatement);
    for (qsizetype start = 0; start < texts.size(); start += chunkSize) {
        const QStringList chunk = texts.mid(start, chunkSize);
        Sql::Statement query(m_db, CatalogueSchema::kSelectByIdsPrefix + placeholders(chunk.size()) + ')');
        if (!query.isValid())
            return {};
        bindAll(query, chunk);
        while (query.next()) {
            if (std::optional<AudioPlugin> plugin = pluginFromRow(query))
                result.append(std::move(*plugin));
        }
    }
    return result;
}
