#pragma once

#include <string_view>

/// Names and fixed SQL of the catalogue file plugins.db. Every identifier that reaches
/// a statement comes from here; user input only ever travels as a bound value. The
/// menu-bar helper includes this header (rackhand_catalogue_schema) for its read-only count.
namespace CatalogueSchema {

inline constexpr char kFileName[] = "plugins.db";
inline constexpr char kTable[] = "plugins";

// Columns, in table order (also the order of every SELECT list below).
inline constexpr char kId[] = "id";
inline constexpr char kName[] = "name";
inline constexpr char kManufacturer[] = "manufacturer";
inline constexpr char kFormat[] = "format";
inline constexpr char kOriginalPath[] = "originalPath";
inline constexpr char kCurrentPath[] = "currentPath";
inline constexpr char kIsEnabled[] = "isEnabled";
inline constexpr char kVersion[] = "version";
inline constexpr char kBundleIdentifier[] = "bundleIdentifier";
inline constexpr char kLastUsed[] = "lastUsed";

/// Column positions in kSelectColumns and in "SELECT *".
enum Column : int {
    IdColumn,
    NameColumn,
    ManufacturerColumn,
    FormatColumn,
    OriginalPathColumn,
    CurrentPathColumn,
    IsEnabledColumn,
    VersionColumn,
    BundleIdentifierColumn,
    LastUsedColumn,
    ColumnCount
};

/// Every column name, in table order: a table with any other list is of another layout.
inline constexpr const char* kColumns[] = {kId,          kName,      kManufacturer, kFormat,           kOriginalPath,
                                           kCurrentPath, kIsEnabled, kVersion,      kBundleIdentifier, kLastUsed};
inline constexpr char kTableInfo[] = "PRAGMA table_info(plugins)";
inline constexpr char kDropTable[] = "DROP TABLE plugins";

// --- Indexes: one per sorted column, and those the filters and counts seek ---
// Five single-column indexes and the two sort indexes, in creation order, one statement per line.
#define RACKHAND_CATALOGUE_INDEXES                                                                                     \
    "CREATE INDEX IF NOT EXISTS idx_plugins_name ON plugins(name);\n"                                                  \
    "CREATE INDEX IF NOT EXISTS idx_plugins_manufacturer ON plugins(manufacturer);\n"                                  \
    "CREATE INDEX IF NOT EXISTS idx_plugins_format ON plugins(format);\n"                                              \
    "CREATE INDEX IF NOT EXISTS idx_plugins_isEnabled ON plugins(isEnabled);\n"                                        \
    "CREATE INDEX IF NOT EXISTS idx_plugins_lastUsed ON plugins(lastUsed);\n" RACKHAND_CATALOGUE_SORT_INDEXES

// Pages of text columns are sorted COLLATE NOCASE, which a binary index cannot serve: one index
// per such column in that collation (name and manufacturer have it from their column), so a page
// walks an index instead of sorting every row. isEnabled and lastUsed hold numbers, whose binary
// and NOCASE orders are the same: their pages walk the binary index (see kSortTerms).
#define RACKHAND_CATALOGUE_SORT_INDEXES                                                                                \
    "CREATE INDEX IF NOT EXISTS idx_plugins_format_nocase ON plugins(format COLLATE NOCASE);\n"                        \
    "CREATE INDEX IF NOT EXISTS idx_plugins_version_nocase ON plugins(version COLLATE NOCASE);\n"

/// The table and its indexes, one statement per line, run as one script. A table of
/// another layout is dropped first (the catalogue is rebuilt by every scan).
inline constexpr char kCreateScript[] = "CREATE TABLE IF NOT EXISTS plugins (\n"
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
                                        ");\n" RACKHAND_CATALOGUE_INDEXES;

/// Indexes that files of earlier versions hold and nothing reads any more (a binary version
/// index, NOCASE copies of the numeric columns' orders): dropped when such a file is opened,
/// since every write would keep them up to date for nothing.
inline constexpr char kDropRetiredIndexes[] = "DROP INDEX IF EXISTS idx_plugins_version;\n"
                                              "DROP INDEX IF EXISTS idx_plugins_isEnabled_nocase;\n"
                                              "DROP INDEX IF EXISTS idx_plugins_lastUsed_nocase;\n";

/// A full rewrite drops the indexes and builds them again after the inserts (inside
/// the same transaction): one sorted build per index is much cheaper than updating them
/// row by row, and the schema text ends up identical.
inline constexpr char kCreateIndexes[] = RACKHAND_CATALOGUE_INDEXES;
inline constexpr char kDropIndexes[] = "DROP INDEX IF EXISTS idx_plugins_name;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_manufacturer;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_format;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_isEnabled;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_lastUsed;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_format_nocase;\n"
                                       "DROP INDEX IF EXISTS idx_plugins_version_nocase;\n";

#undef RACKHAND_CATALOGUE_INDEXES
#undef RACKHAND_CATALOGUE_SORT_INDEXES

inline constexpr char kSelectColumns[] =
    "SELECT id, name, manufacturer, format, originalPath, currentPath, isEnabled, version, bundleIdentifier, lastUsed";
inline constexpr char kFromTable[] = "FROM plugins";
inline constexpr char kInsert[] = "INSERT INTO plugins (id, name, manufacturer, format, originalPath, currentPath, "
                                  "isEnabled, version, bundleIdentifier, lastUsed)\n"
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
/// kInsert at a given rowid (the first parameter). A full rewrite spaces the rowids kRowidStep
/// apart in the scan's order, so that a later scan's write can put a new row between two kept
/// ones: ties of every sort fall in rowid order, which must stay the scan's.
inline constexpr char kInsertAt[] = "INSERT INTO plugins (rowid, id, name, manufacturer, format, originalPath, "
                                    "currentPath, isEnabled, version, bundleIdentifier, lastUsed)\n"
                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr long long kRowidStep = 1024;
inline constexpr char kDeleteRow[] = "DELETE FROM plugins WHERE rowid = ?";
/// The columns of kSelectColumns and the rowid (at ColumnCount), every row in rowid order.
inline constexpr char kSelectInRowidOrder[] =
    "SELECT id, name, manufacturer, format, originalPath, currentPath, isEnabled, version, bundleIdentifier, lastUsed, "
    "rowid FROM plugins ORDER BY rowid";
inline constexpr char kDeleteAll[] = "DELETE FROM plugins";
inline constexpr char kUpdateLocation[] = "UPDATE plugins SET currentPath = ?, isEnabled = ? WHERE id = ?";
inline constexpr char kDeleteOne[] = "DELETE FROM plugins WHERE id = ?";
inline constexpr char kCountPrefix[] = "SELECT COUNT(*) FROM plugins ";
inline constexpr char kIdsPrefix[] = "SELECT id FROM plugins ";
/// The helper counts with exactly this statement over a read-only connection.
inline constexpr char kCountEnabled[] = "SELECT COUNT(*) FROM plugins WHERE isEnabled = 1";
inline constexpr char kCountDisabled[] = "SELECT COUNT(*) FROM plugins WHERE isEnabled = 0";
/// The whole catalogue's counts in one statement: rows (0, format, count) and (1, isEnabled,
/// count), each part read from its column's index alone. Grouping by both columns at once
/// would read every row of the table.
inline constexpr char kCountByFormatAndStatus[] =
    "SELECT 0, format, COUNT(*) FROM plugins GROUP BY format "
    "UNION ALL SELECT 1, isEnabled, COUNT(*) FROM plugins GROUP BY isEnabled";
inline constexpr char kSelectKeys[] = "SELECT name, format FROM plugins";
inline constexpr char kSelectManufacturers[] =
    "SELECT DISTINCT manufacturer FROM plugins ORDER BY manufacturer COLLATE NOCASE";
inline constexpr char kSelectByIdsPrefix[] = "SELECT * FROM plugins WHERE id IN (";
/// The columns of kSelectColumns, then the rowid (at ColumnCount).
inline constexpr char kSelectByRowidsPrefix[] =
    "SELECT id, name, manufacturer, format, originalPath, currentPath, isEnabled, version, bundleIdentifier, lastUsed, "
    "rowid FROM plugins WHERE rowid IN (";
inline constexpr char kCountAll[] = "SELECT COUNT(*) FROM plugins";

// Filter conditions; their placeholders are always bound, never spliced.
inline constexpr char kSearchCondition[] = "(name LIKE ? OR manufacturer LIKE ?)";
inline constexpr char kFormatInPrefix[] = "format IN (";
/// The same test kept off idx_plugins_format ("+" hides the column from the planner). Without
/// statistics SQLite takes any equality index as selective, but a format matches about a quarter
/// of the rows: where a search text makes every row be read anyway, a plain scan of the table
/// is several times cheaper than seeking each indexed row.
inline constexpr char kFormatInRowPrefix[] = "+format IN (";
inline constexpr char kManufacturerInPrefix[] = "manufacturer IN (";
/// Kept off idx_plugins_manufacturer the same way, when the page is better read along the sort's index.
inline constexpr char kManufacturerInRowPrefix[] = "+manufacturer IN (";
inline constexpr char kKeyInPrefix[] = "(name || '|' || format) IN (";

/// The columns a page may be sorted by; any other request sorts by kName.
inline constexpr const char* kSortableColumns[] = {kName, kManufacturer, kFormat, kIsEnabled, kVersion, kLastUsed};
/// The index that orders each of kSortableColumns, in the same order.
inline constexpr const char* kSortIndexes[] = {"idx_plugins_name",           "idx_plugins_manufacturer",
                                               "idx_plugins_format_nocase",  "idx_plugins_isEnabled",
                                               "idx_plugins_version_nocase", "idx_plugins_lastUsed"};
/// The ORDER BY term of each of kSortableColumns, in the same order: texts without ASCII case,
/// numbers as they are (the same order as NOCASE gives them), each as its index orders it.
inline constexpr const char* kSortTerms[] = {"name COLLATE NOCASE",    "manufacturer COLLATE NOCASE",
                                             "format COLLATE NOCASE",  "isEnabled",
                                             "version COLLATE NOCASE", "lastUsed"};
inline int sortableColumnIndex(const char* column)
{
    for (int i = 0; i < int(sizeof kSortableColumns / sizeof kSortableColumns[0]); ++i) {
        if (std::string_view(kSortableColumns[i]) == column)
            return i;
    }
    return 0;
}
inline const char* sortIndexOf(const char* column)
{
    return kSortIndexes[sortableColumnIndex(column)];
}
inline const char* sortTermOf(const char* column)
{
    return kSortTerms[sortableColumnIndex(column)];
}
/// What the in-memory search reads of every row.
inline constexpr char kSelectSearched[] = "SELECT rowid, name, manufacturer, format FROM plugins ORDER BY rowid";
/// The same of one row (at the parameter).
inline constexpr char kSelectSearchedRow[] = "SELECT rowid, name, manufacturer, format FROM plugins WHERE rowid = ?";

// The change log: the rowids whose searched or sorted values changed, written by triggers for
// every writer (this program, an older version of it, a user's sqlite3), so that the in-memory
// search reads only those again. `columns` has bit i set when kSortableColumns[i] changed; a
// NULL row stands for every row (a whole rewrite, which drops the triggers instead of paying one
// per row). Only the last kChangeLogRows entries are kept: a reader further behind reads all.
#define RACKHAND_CHANGE_LOG_ROWS 4096
#define RACKHAND_TEXT(value) RACKHAND_TEXT_OF(value)
#define RACKHAND_TEXT_OF(value) #value
inline constexpr long long kChangeLogRows = RACKHAND_CHANGE_LOG_ROWS;
inline constexpr int kAllColumnsChanged = 63;
#define RACKHAND_CHANGE_TRIM                                                                                           \
    "    DELETE FROM plugins_changes WHERE seq <= last_insert_rowid() - " RACKHAND_TEXT(RACKHAND_CHANGE_LOG_ROWS) ";\n"
#define RACKHAND_CHANGED(column) "(OLD." column " IS NOT NEW." column " COLLATE BINARY)"
#define RACKHAND_CHANGED_COLUMNS                                                                                       \
    RACKHAND_CHANGED("name")                                                                                           \
    " + 2 * " RACKHAND_CHANGED("manufacturer") " + 4 * " RACKHAND_CHANGED("format") " + 8 * " RACKHAND_CHANGED(        \
        "isEnabled") " + 16 * " RACKHAND_CHANGED("version") " + 32 * " RACKHAND_CHANGED("lastUsed")
// What follows each trigger's name, as sqlite_master keeps it after "CREATE TRIGGER <name>".
#define RACKHAND_INSERT_TRIGGER                                                                                        \
    " AFTER INSERT ON plugins BEGIN\n"                                                                                 \
    "    INSERT INTO plugins_changes (row, columns) VALUES (NEW.rowid, 63);\n" RACKHAND_CHANGE_TRIM "END"
#define RACKHAND_DELETE_TRIGGER                                                                                        \
    " AFTER DELETE ON plugins BEGIN\n"                                                                                 \
    "    INSERT INTO plugins_changes (row, columns) VALUES (OLD.rowid, 63);\n" RACKHAND_CHANGE_TRIM "END"
#define RACKHAND_UPDATE_TRIGGER                                                                                                \
    " AFTER UPDATE ON plugins WHEN OLD.rowid <> NEW.rowid OR " RACKHAND_CHANGED_COLUMNS " <> 0 BEGIN\n"                        \
    "    INSERT INTO plugins_changes (row, columns) VALUES (OLD.rowid, CASE WHEN OLD.rowid <> NEW.rowid THEN 63 "              \
    "ELSE " RACKHAND_CHANGED_COLUMNS " END);\n"                                                                                \
    "    INSERT INTO plugins_changes (row, columns) SELECT NEW.rowid, 63 WHERE NEW.rowid <> OLD.rowid;\n" RACKHAND_CHANGE_TRIM \
    "END"

inline constexpr char kChangeLog[] = "plugins_changes";
/// The type of the object named like the log, and its columns joined by ",".
inline constexpr char kChangeLogObject[] =
    "SELECT type, (SELECT group_concat(name, ',') FROM pragma_table_info('plugins_changes')) FROM sqlite_master "
    "WHERE name = 'plugins_changes' COLLATE NOCASE";
inline constexpr char kChangeLogColumns[] = "seq,row,columns";
/// The log and its triggers, created on every opening (files of earlier versions get them then).
inline constexpr char kCreateChangeLog[] =
    "CREATE TABLE IF NOT EXISTS plugins_changes (seq INTEGER PRIMARY KEY AUTOINCREMENT, row INTEGER, "
    "columns INTEGER NOT NULL);\n"
    "CREATE TRIGGER IF NOT EXISTS plugins_changed_insert" RACKHAND_INSERT_TRIGGER ";\n"
    "CREATE TRIGGER IF NOT EXISTS plugins_changed_delete" RACKHAND_DELETE_TRIGGER ";\n"
    "CREATE TRIGGER IF NOT EXISTS plugins_changed_update" RACKHAND_UPDATE_TRIGGER ";\n";
/// The triggers as sqlite_master holds them: a reader trusts the log only while all three are there.
inline constexpr const char* kChangeTriggers[][2] = {
    {"plugins_changed_insert", "CREATE TRIGGER plugins_changed_insert" RACKHAND_INSERT_TRIGGER},
    {"plugins_changed_delete", "CREATE TRIGGER plugins_changed_delete" RACKHAND_DELETE_TRIGGER},
    {"plugins_changed_update", "CREATE TRIGGER plugins_changed_update" RACKHAND_UPDATE_TRIGGER}};
inline constexpr char kSelectChangeTriggers[] =
    "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'plugins'";
/// A whole rewrite goes without the triggers (inside its transaction) and leaves one entry for every row.
inline constexpr char kDropChangeTriggers[] = "DROP TRIGGER IF EXISTS plugins_changed_insert;\n"
                                              "DROP TRIGGER IF EXISTS plugins_changed_delete;\n"
                                              "DROP TRIGGER IF EXISTS plugins_changed_update;\n";
inline constexpr char kEveryRowChanged[] = "DELETE FROM plugins_changes;\n"
                                           "INSERT INTO plugins_changes (row, columns) VALUES (NULL, 63);\n";
/// The entries after a sequence number, oldest first.
inline constexpr char kSelectChangesAfter[] =
    "SELECT seq, row, columns FROM plugins_changes WHERE seq > ? ORDER BY seq";
inline constexpr char kSelectLastChange[] = "SELECT max(seq) FROM plugins_changes";

#undef RACKHAND_CHANGE_TRIM
#undef RACKHAND_CHANGE_LOG_ROWS
#undef RACKHAND_TEXT
#undef RACKHAND_TEXT_OF
#undef RACKHAND_CHANGED
#undef RACKHAND_CHANGED_COLUMNS
#undef RACKHAND_INSERT_TRIGGER
#undef RACKHAND_DELETE_TRIGGER
#undef RACKHAND_UPDATE_TRIGGER

} // namespace CatalogueSchema
