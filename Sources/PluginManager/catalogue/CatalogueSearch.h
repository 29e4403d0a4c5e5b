#pragma once

#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <limits>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

/// The catalogue's searched texts held in memory, so a search answers in a few milliseconds
/// where SQLite's LIKE over every row takes tens of them (a leading wildcard uses no index).
///
/// Answers exactly what the SQL does: `(name LIKE '%text%' OR manufacturer LIKE '%text%')`
/// with "%" and "_" as wildcards and ASCII letters folded, a format filter compared exactly,
/// a manufacturer filter compared without ASCII case; pages follow the sort column's index
/// (ties in row order). Filled from the connection on first use; when the table changed (any
/// connection, any program), the rows the change log names are read again and moved within the
/// held orders. Without a log it can trust, everything is read again.
class CatalogueSearch final {
public:
    /// Whether this answers the query; otherwise the caller runs the SQL.
    static bool handles(const QString& searchText, const QSet<QString>& pluginKeys);

    /// Rows that match. None when the texts could not be read.
    std::optional<qint64> count(sqlite3* db, const QString& searchText, const QSet<PluginFormat>& formats,
                                const QSet<QString>& manufacturers);
    /// The rowids of one page in `sortColumn` order (one of the sortable columns). None when
    /// the texts or the order could not be read.
    std::optional<QList<qint64>> page(sqlite3* db, const QString& searchText, const QSet<PluginFormat>& formats,
                                      const QSet<QString>& manufacturers, const char* sortColumn, bool ascending,
                                      qint64 limit, qint64 offset);

private:
    struct Row {
        qint64 rowid = 0;
        quint32 nameAt = 0, nameLength = 0, manufacturerAt = 0, manufacturerLength = 0;
        bool nameNull = false, manufacturerNull = false;
        quint8 format = kNoFormat;
    };
    static constexpr quint8 kNoFormat = 0xFF;
    static constexpr quint32 kGone = std::numeric_limits<quint32>::max();
    static constexpr quint32 kEnd = std::numeric_limits<quint32>::max();
    /// The bits of the columns whose texts are held: name, manufacturer, format.
    static constexpr int kTextColumns = 1 | 2 | 4;
    /// A change-log entry folded per row: which of the sortable columns changed (bit i for kSortableColumns[i]).
    struct Change {
        qint64 rowid = 0;
        int columns = 0;
    };

    bool refresh(sqlite3* db);
    /// Reads every row again, and where the change log stands.
    bool reload(sqlite3* db);
    /// Applies the change log since the last entry read; false when it cannot tell what changed
    /// (then everything is read again).
    bool applyChanges(sqlite3* db);
    /// The log's entries to apply, and the last one's number; none when the log is not to be trusted.
    std::optional<std::vector<Change>> pendingChanges(sqlite3* db, qint64& lastChange) const;
    /// The rows whose texts changed, as they are now (none: gone), in `changes` order; `reshaped`
    /// says whether rows came or went.
    bool readChangedRows(sqlite3* db, const std::vector<Change>& changes, std::vector<std::optional<Row>>& read,
                         bool& reshaped);
    /// Puts the rows read in; when rows came or went, each old position's new one (or kGone).
    std::vector<quint32> putRowsIn(const std::vector<Change>& changes, const std::vector<std::optional<Row>>& read,
                                   bool reshaped);
    /// The position of the row after each placed one in the column's index (kEnd: none).
    std::optional<std::vector<quint32>> followers(sqlite3* db, int column, const std::vector<quint32>& placed) const;
    /// The order without the changed rows, with the placed ones put in just before their followers.
    static bool splice(std::vector<quint32>& order, const std::vector<quint32>& placed,
                       const std::vector<quint32>& after, const std::vector<char>& changed);
    /// The log's entries since the last one read, one per row in rowid order; none when the log
    /// has a gap, a whole rewrite or could not be read.
    std::optional<std::vector<Change>> changesSince(sqlite3* db) const;
    /// Takes the row at the statement (rowid, name, manufacturer, format), its texts appended unfolded.
    void readRow(sqlite3_stmt* statement, Row& row);
    /// Puts the changed rows of one held order back where the column's index has them.
    bool reorder(sqlite3* db, int column, std::vector<quint32>& order, const std::vector<Change>& changes) const;
    /// The held row at a rowid, or -1.
    qsizetype positionOf(qint64 rowid) const;
    void dropTextsNoLongerUsed();
    /// Positions of the rows that match, in rowid order, as one flag per row.
    const std::vector<char>& matches(const QString& searchText, const QSet<PluginFormat>& formats,
                                     const QSet<QString>& manufacturers);
    const std::vector<quint32>* order(sqlite3* db, const char* sortColumn);

    bool m_filled = false;
    std::pair<qint64, qint64> m_version{-1, -1};
    qint64 m_schemaVersion = -1;
    qint64 m_lastChange = -1; // the last log entry applied; -1: the log cannot be trusted
    std::vector<Row> m_rows;  // in rowid order
    QByteArray m_texts;       // names and manufacturers, ASCII letters lower-cased, one after another
    qsizetype m_textsInUse = 0;
    // Per sortable column: row positions in the column's index order, read when first asked for.
    std::array<std::optional<std::vector<quint32>>, 6> m_orders;
    // The last answer: a page and its count ask the same question one after the other.
    struct Question {
        QString searchText;
        QSet<PluginFormat> formats;
        QSet<QString> manufacturers;
        bool operator==(const Question&) const = default;
    };
    std::optional<Question> m_asked;
    std::vector<char> m_matches;
};

/// SQLite's LIKE on UTF-8 without an escape character: "%" any run of characters, "_" one
/// character, ASCII letters equal in either case, everything else equal only to itself.
/// `text` and `pattern` must both be ASCII-folded already (see foldAscii).
bool likeMatches(const char* text, qsizetype textLength, const char* pattern, qsizetype patternLength);
/// The text with its ASCII letters lower-cased, as LIKE and COLLATE NOCASE compare it.
QByteArray foldAscii(QByteArray text);
