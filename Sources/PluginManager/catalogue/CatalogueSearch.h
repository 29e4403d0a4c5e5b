#pragma once

#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <optional>
#include <vector>

struct sqlite3;

/// The catalogue's searched texts held in memory, so a search answers in a few milliseconds
/// where SQLite's LIKE over every row takes tens of them (a leading wildcard uses no index).
///
/// Answers exactly what the SQL does: `(name LIKE '%text%' OR manufacturer LIKE '%text%')`
/// with "%" and "_" as wildcards and ASCII letters folded, a format filter compared exactly,
/// a manufacturer filter compared without ASCII case; pages follow the sort column's index
/// (ties in row order). Filled from the connection on first use and again whenever the
/// table may have changed: another connection committed, or this one wrote rows.
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

    /// Whether the held texts are those of the table as this connection sees it now.
    bool isCurrent(sqlite3* db) const;
    /// This connection changed only locations and states (currentPath, isEnabled) since
    /// `wasCurrent` was taken: the texts stay, the order by state is read again.
    void locationsWritten(sqlite3* db, bool wasCurrent);

private:
    struct Row {
        qint64 rowid = 0;
        quint32 nameAt = 0, nameLength = 0, manufacturerAt = 0, manufacturerLength = 0;
        bool nameNull = false, manufacturerNull = false;
        quint8 format = kNoFormat;
    };
    static constexpr quint8 kNoFormat = 0xFF;

    /// (data version, total changes) of the connection: what the held texts were read at.
    static std::pair<qint64, qint64> versionOf(sqlite3* db);
    bool refresh(sqlite3* db);
    /// Positions of the rows that match, in rowid order, as one flag per row.
    const std::vector<char>& matches(const QString& searchText, const QSet<PluginFormat>& formats,
                                     const QSet<QString>& manufacturers);
    const std::vector<quint32>* order(sqlite3* db, const char* sortColumn);

    bool m_filled = false;
    std::pair<qint64, qint64> m_version{-1, -1};
    std::vector<Row> m_rows;
    QByteArray m_texts; // names and manufacturers, ASCII letters lower-cased, one after another
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
