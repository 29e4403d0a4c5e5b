#include "catalogue/CatalogueSearch.h"

#include "catalogue/CatalogueSchema.h"
#include "catalogue/Sql/Statement.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <sqlite3.h>
#include <string_view>

namespace {

// Longer searches are left to SQLite, which refuses patterns past its own limit.
constexpr qsizetype kMaxPatternBytes = 1000;

/// Bytes of one UTF-8 character from its lead byte (a stray continuation byte counts as one).
inline qsizetype characterLength(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    return lead < 0xF0 ? 3 : 4;
}

int sortColumnIndex(const char* column)
{
    for (int i = 0; i < int(std::size(CatalogueSchema::kSortableColumns)); ++i) {
        if (std::strcmp(CatalogueSchema::kSortableColumns[i], column) == 0)
            return i;
    }
    return 0;
}

/// One read transaction around what a question reads (the change log, the rows, an order), so
/// that all of it is of one state of the file. Inside a transaction of the caller's own, what is
/// read may yet be rolled back (and the log's numbers with it): it serves that one answer only.
class ReadSnapshot {
public:
    ReadSnapshot(sqlite3* db, bool& filled)
        : m_db(sqlite3_get_autocommit(db) && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK
                   ? db
                   : nullptr),
          m_filled(filled)
    {
    }
    ~ReadSnapshot()
    {
        if (m_db)
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        else
            m_filled = false;
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    sqlite3* m_db;
    bool& m_filled;
};

} // namespace

namespace {

void foldAsciiInPlace(char* begin, char* end)
{
    for (char* c = begin; c != end; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = char(*c - 'A' + 'a');
    }
}

} // namespace

QByteArray foldAscii(QByteArray text)
{
    foldAsciiInPlace(text.data(), text.data() + text.size());
    return text;
}

bool likeMatches(const char* text, qsizetype textLength, const char* pattern, qsizetype patternLength)
{
    // Greedy matching with one back-tracking point, the last "%" seen: linear in practice.
    qsizetype t = 0;
    qsizetype p = 0;
    qsizetype starPattern = -1;
    qsizetype starText = 0;
    while (t < textLength) {
        if (p < patternLength && pattern[p] == '%') {
            starPattern = p++;
            starText = t;
        } else if (p < patternLength && pattern[p] == '_') {
            t += characterLength(static_cast<unsigned char>(text[t]));
            ++p;
        } else if (p < patternLength && pattern[p] == text[t]) {
            ++t;
            ++p;
        } else if (starPattern >= 0) {
            // The last "%" takes one more character; the rest of the pattern starts after it.
            starText += characterLength(static_cast<unsigned char>(text[starText]));
            t = starText;
            p = starPattern + 1;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '%')
        ++p;
    return p == patternLength;
}

bool CatalogueSearch::handles(const QString& searchText, const QSet<QString>& pluginKeys)
{
    // SQLite reads a text only up to a NUL character; such searches keep its own semantics.
    return !searchText.isEmpty() && pluginKeys.isEmpty() && !searchText.contains(QChar(0)) &&
           searchText.size() * 3 < kMaxPatternBytes;
}

bool CatalogueSearch::refresh(sqlite3* db)
{
    const std::pair<qint64, qint64> now = Sql::writeVersion(db);
    if (m_filled && now == m_version && now.first >= 0)
        return true;
    if (m_filled && now.first >= 0 && applyChanges(db)) {
        m_version = now;
        return true;
    }
    if (!reload(db))
        return false;
    m_version = now;
    return true;
}

void CatalogueSearch::readRow(sqlite3_stmt* statement, Row& row)
{
    const auto append = [this](sqlite3_stmt* s, int column, quint32& at, quint32& length, bool& isNull) {
        isNull = sqlite3_column_type(s, column) == SQLITE_NULL;
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
        // LIKE reads up to a NUL, as a C string.
        const qsizetype size = text ? qsizetype(std::strlen(text)) : 0;
        at = quint32(m_texts.size());
        length = quint32(size);
        m_texts.append(text, size);
        m_textsInUse += size;
    };
    row.rowid = sqlite3_column_int64(statement, 0);
    append(statement, 1, row.nameAt, row.nameLength, row.nameNull);
    append(statement, 2, row.manufacturerAt, row.manufacturerLength, row.manufacturerNull);
    row.format = kNoFormat;
    const char* format = reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
    if (format) {
        const QString raw = QString::fromUtf8(format, sqlite3_column_bytes(statement, 3));
        for (size_t i = 0; i < PluginFormats::allCases.size(); ++i) {
            if (raw == PluginFormats::rawValue(PluginFormats::allCases[i]))
                row.format = quint8(i);
        }
    }
}

bool CatalogueSearch::reload(sqlite3* db)
{
    m_filled = false;
    m_rows.clear();
    m_texts.clear();
    m_textsInUse = 0;
    m_asked.reset();
    for (auto& order : m_orders)
        order.reset();
    // Where the log stands, read before the rows in the same snapshot: a change after it is
    // applied later. The log counts only while every trigger that fills it is in place.
    m_lastChange = -1;
    {
        Sql::Statement schema(db, "PRAGMA schema_version");
        m_schemaVersion = schema.next() ? schema.columnInt64(0) : -1;
        Sql::Statement triggers(db, CatalogueSchema::kSelectChangeTriggers);
        size_t found = 0;
        while (triggers.next()) {
            for (const auto& [name, sql] : CatalogueSchema::kChangeTriggers) {
                if (triggers.columnUtf8(0) == QByteArrayView(name) && triggers.columnUtf8(1) == QByteArrayView(sql))
                    ++found;
            }
        }
        Sql::Statement last(db, CatalogueSchema::kSelectLastChange);
        if (found == std::size(CatalogueSchema::kChangeTriggers) && last.next())
            m_lastChange = last.isNull(0) ? 0 : last.columnInt64(0);
    }
    // The raw statement: the texts are copied once and folded, never decoded.
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, CatalogueSchema::kSelectSearched, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        Row row;
        readRow(statement, row);
        m_rows.push_back(row);
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        m_rows.clear();
        m_texts.clear();
        return false;
    }
    // Folded once here: every search then compares bytes.
    m_texts = foldAscii(std::move(m_texts));
    m_filled = true;
    return true;
}

std::optional<std::vector<CatalogueSearch::Change>> CatalogueSearch::changesSince(sqlite3* db) const
{
    Sql::Statement log(db, CatalogueSchema::kSelectChangesAfter);
    if (!log.isValid())
        return std::nullopt;
    log.bindInt64(1, m_lastChange);
    std::vector<Change> changes;
    qint64 expected = m_lastChange + 1;
    while (log.next()) {
        // Entries trimmed before this reader got to them, or a whole rewrite: nothing to go by.
        if (log.columnInt64(0) != expected || log.columnType(1) != SQLITE_INTEGER)
            return std::nullopt;
        ++expected;
        changes.push_back({log.columnInt64(1), int(log.columnInt64(2))});
    }
    if (log.lastResult() != SQLITE_DONE)
        return std::nullopt;
    std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.rowid < b.rowid; });
    std::vector<Change> folded;
    for (const Change& change : changes) {
        if (!folded.empty() && folded.back().rowid == change.rowid)
            folded.back().columns |= change.columns;
        else
            folded.push_back(change);
    }
    return folded;
}

qsizetype CatalogueSearch::positionOf(qint64 rowid) const
{
    const auto it = std::lower_bound(m_rows.cbegin(), m_rows.cend(), rowid,
                                     [](const Row& row, qint64 id) { return row.rowid < id; });
    return it != m_rows.cend() && it->rowid == rowid ? qsizetype(it - m_rows.cbegin()) : -1;
}

std::optional<std::vector<CatalogueSearch::Change>> CatalogueSearch::pendingChanges(sqlite3* db,
                                                                                    qint64& lastChange) const
{
    if (m_lastChange < 0)
        return std::nullopt;
    {
        Sql::Statement schema(db, "PRAGMA schema_version");
        if (!schema.next() || schema.columnInt64(0) != m_schemaVersion)
            return std::nullopt;
    }
    Sql::Statement last(db, CatalogueSchema::kSelectLastChange);
    if (!last.next())
        return std::nullopt;
    // A log emptied behind this reader's back (its numbers then start again) says nothing.
    lastChange = last.isNull(0) ? 0 : last.columnInt64(0);
    if (lastChange < m_lastChange)
        return std::nullopt;
    return changesSince(db);
}

bool CatalogueSearch::readChangedRows(sqlite3* db, const std::vector<Change>& changes,
                                      std::vector<std::optional<Row>>& read, bool& reshaped)
{
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(db, CatalogueSchema::kSelectSearchedRow, -1, &select, nullptr) != SQLITE_OK) {
        sqlite3_finalize(select);
        return false;
    }
    read.assign(changes.size(), std::nullopt);
    reshaped = false;
    bool failed = false;
    const qsizetype textsBefore = m_texts.size();
    for (size_t i = 0; i < changes.size() && !failed; ++i) {
        const qsizetype at = positionOf(changes[i].rowid);
        if (!(changes[i].columns & kTextColumns)) {
            // Only a sorted value of a held row changed.
            failed = at < 0;
            continue;
        }
        sqlite3_bind_int64(select, 1, changes[i].rowid);
        const int rc = sqlite3_step(select);
        if (rc == SQLITE_ROW) {
            Row row;
            readRow(select, row);
            read[i] = row;
        }
        failed = rc != SQLITE_ROW && rc != SQLITE_DONE;
        reshaped = reshaped || (at < 0) != !read[i].has_value();
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    foldAsciiInPlace(m_texts.data() + textsBefore, m_texts.data() + m_texts.size());
    return !failed;
}

std::vector<quint32> CatalogueSearch::putRowsIn(const std::vector<Change>& changes,
                                                const std::vector<std::optional<Row>>& read, bool reshaped)
{
    const auto release = [this](const Row& row) { m_textsInUse -= qsizetype(row.nameLength + row.manufacturerLength); };
    if (!reshaped) {
        for (size_t i = 0; i < changes.size(); ++i) {
            if (!read[i])
                continue;
            Row& held = m_rows[size_t(positionOf(changes[i].rowid))];
            release(held);
            held = *read[i];
        }
        return {};
    }
    // Both in rowid order: one merge.
    std::vector<Row> rows;
    rows.reserve(m_rows.size() + changes.size());
    std::vector<quint32> newPosition(m_rows.size(), kGone);
    size_t next = 0;
    for (size_t old = 0;; ++old) {
        const qint64 bound = old < m_rows.size() ? m_rows[old].rowid : std::numeric_limits<qint64>::max();
        for (; next < changes.size() && changes[next].rowid < bound; ++next) {
            if (read[next])
                rows.push_back(*read[next]); // a new row
        }
        if (old == m_rows.size())
            break;
        const bool changed = next < changes.size() && changes[next].rowid == bound;
        if (changed && (changes[next].columns & kTextColumns)) {
            release(m_rows[old]);
            if (read[next]) {
                newPosition[old] = quint32(rows.size());
                rows.push_back(*read[next]);
            }
        } else {
            newPosition[old] = quint32(rows.size());
            rows.push_back(m_rows[old]);
        }
        if (changed)
            ++next;
    }
    m_rows = std::move(rows);
    return newPosition;
}

bool CatalogueSearch::applyChanges(sqlite3* db)
{
    qint64 lastChange = 0;
    const std::optional<std::vector<Change>> changes = pendingChanges(db, lastChange);
    // Past a quarter of the rows, reading them all is no dearer.
    if (!changes || qsizetype(changes->size()) > std::max<qsizetype>(qsizetype(m_rows.size()) / 4, 64))
        return false;
    // The rows whose texts or format may have changed are read again; a row not found is gone.
    std::vector<std::optional<Row>> read;
    bool reshaped = false;
    if (!readChangedRows(db, *changes, read, reshaped))
        return false;
    const std::vector<quint32> newPosition = putRowsIn(*changes, read, reshaped);
    // A REPLACE deletes rows without a trigger; the rows then are fewer than held.
    {
        Sql::Statement count(db, CatalogueSchema::kCountAll);
        if (!count.next() || count.columnInt64(0) != qint64(m_rows.size()))
            return false;
    }
    for (int column = 0; column < int(m_orders.size()); ++column) {
        std::optional<std::vector<quint32>>& order = m_orders[size_t(column)];
        if (!order)
            continue;
        if (reshaped) {
            std::vector<quint32> kept;
            kept.reserve(m_rows.size());
            for (quint32 old : *order) {
                if (newPosition[old] != kGone)
                    kept.push_back(newPosition[old]);
            }
            *order = std::move(kept);
        }
        if (!reorder(db, column, *order, *changes))
            order.reset(); // read again when asked for
    }
    dropTextsNoLongerUsed();
    m_lastChange = lastChange;
    m_asked.reset();
    return true;
}

std::optional<std::vector<quint32>> CatalogueSearch::followers(sqlite3* db, int column,
                                                               const std::vector<quint32>& placed) const
{
    const char* name = CatalogueSchema::kSortableColumns[column];
    const char* index = CatalogueSchema::kSortIndexes[column];
    // The column as its index orders it: text without ASCII case, numbers as they are.
    const char* term = CatalogueSchema::kSortTerms[column];
    const QByteArray walk = QByteArray("SELECT rowid FROM plugins INDEXED BY ") + index + " WHERE " + term + ' ';
    const QByteArray sorted = QByteArray(" ORDER BY ") + term + ", rowid LIMIT 1";
    Sql::Statement value(db, QByteArray("SELECT ") + name + " FROM plugins WHERE rowid = ?");
    Sql::Statement equal(db, walk + "IS ?1 AND rowid > ?2" + sorted);
    Sql::Statement greater(db, walk + "> ?1" + sorted);
    // Past the NULLs, which come first: SQLite's min() seeks over them.
    Sql::Statement first(db, QByteArray("SELECT rowid, min(") + term + ") FROM plugins INDEXED BY " + index);
    if (!value.isValid() || !equal.isValid() || !greater.isValid() || !first.isValid())
        return std::nullopt;
    std::vector<quint32> after(placed.size(), kEnd);
    for (size_t i = 0; i < placed.size(); ++i) {
        const qint64 rowid = m_rows[placed[i]].rowid;
        value.bindInt64(1, rowid);
        if (!value.next())
            return std::nullopt;
        // The same value with a greater rowid, else the next greater value.
        sqlite3_value* key = sqlite3_column_value(value.handle(), 0);
        sqlite3_bind_value(equal.handle(), 1, key);
        equal.bindInt64(2, rowid);
        const bool isNull = sqlite3_value_type(key) == SQLITE_NULL;
        Sql::Statement& beyond = isNull ? first : greater;
        if (!isNull)
            sqlite3_bind_value(greater.handle(), 1, key);
        Sql::Statement* answer = &equal;
        bool found = equal.next();
        if (!found && equal.lastResult() == SQLITE_DONE) {
            answer = &beyond;
            found = beyond.next();
        }
        if (!found && answer->lastResult() != SQLITE_DONE)
            return std::nullopt;
        const qsizetype at = found && answer->columnType(0) != SQLITE_NULL ? positionOf(answer->columnInt64(0)) : -2;
        if (at == -1)
            return std::nullopt; // a row this does not hold
        if (at >= 0)
            after[i] = quint32(at);
        for (Sql::Statement* statement : {&value, &equal, &beyond})
            statement->reset();
    }
    return after;
}

bool CatalogueSearch::reorder(sqlite3* db, int column, std::vector<quint32>& order,
                              const std::vector<Change>& changes) const
{
    // Rows whose value in this column changed, and rows new to this order.
    const int bit = 1 << column;
    std::vector<char> changed(m_rows.size(), 0);
    std::vector<quint32> placed;
    {
        std::vector<char> inOrder(m_rows.size(), 0);
        for (quint32 at : order)
            inOrder[at] = 1;
        for (const Change& change : changes) {
            const qsizetype at = positionOf(change.rowid);
            if (at >= 0 && ((change.columns & bit) || !inOrder[size_t(at)])) {
                changed[size_t(at)] = 1;
                placed.push_back(quint32(at));
            }
        }
    }
    if (placed.empty())
        return order.size() == m_rows.size();
    // Each costs a few index seeks; many of them are read faster whole.
    if (placed.size() > 1024)
        return false;
    const std::optional<std::vector<quint32>> after = followers(db, column, placed);
    return after && splice(order, placed, *after, changed);
}

bool CatalogueSearch::splice(std::vector<quint32>& order, const std::vector<quint32>& placed,
                             const std::vector<quint32>& after, const std::vector<char>& changed)
{
    // The placed rows form chains, each ending just before a row that kept its place (or at
    // the end); a chain starts at a row no other placed row leads to.
    QHash<quint32, size_t> placedAt;
    placedAt.reserve(qsizetype(placed.size()));
    for (size_t i = 0; i < placed.size(); ++i)
        placedAt.insert(placed[i], i);
    std::vector<char> led(placed.size(), 0);
    for (quint32 next : after) {
        if (next != kEnd && changed[next])
            led[placedAt.value(next)] = 1;
    }
    QHash<quint32, std::vector<quint32>> before; // a kept row (or kEnd) -> the chain just before it
    size_t chained = 0;
    for (size_t i = 0; i < placed.size(); ++i) {
        if (led[i])
            continue;
        std::vector<quint32> chain;
        size_t at = i;
        for (; chained <= placed.size(); at = placedAt.value(after[at])) {
            chain.push_back(placed[at]);
            ++chained;
            if (after[at] == kEnd || !changed[after[at]])
                break;
        }
        if (before.contains(after[at]))
            return false;
        before.emplace(after[at], std::move(chain));
    }
    if (chained != placed.size())
        return false; // a cycle: the index changed under the seeks
    std::vector<quint32> result;
    result.reserve(order.size() + placed.size());
    const auto emitBefore = [&](quint32 row) {
        const auto it = before.constFind(row);
        if (it != before.cend())
            result.insert(result.end(), it->cbegin(), it->cend());
    };
    for (quint32 at : order) {
        if (changed[at])
            continue;
        emitBefore(at);
        result.push_back(at);
    }
    emitBefore(kEnd);
    if (result.size() != changed.size())
        return false;
    order = std::move(result);
    return true;
}

void CatalogueSearch::dropTextsNoLongerUsed()
{
    // Replaced texts stay behind until they are half of what is held.
    if (m_texts.size() < 2 * m_textsInUse + 4096)
        return;
    QByteArray texts;
    texts.reserve(m_textsInUse);
    for (Row& row : m_rows) {
        const quint32 name = quint32(texts.size());
        texts.append(m_texts.constData() + row.nameAt, row.nameLength);
        row.nameAt = name;
        const quint32 manufacturer = quint32(texts.size());
        texts.append(m_texts.constData() + row.manufacturerAt, row.manufacturerLength);
        row.manufacturerAt = manufacturer;
    }
    m_texts = std::move(texts);
    m_textsInUse = m_texts.size();
}

const std::vector<char>& CatalogueSearch::matches(const QString& searchText, const QSet<PluginFormat>& formats,
                                                  const QSet<QString>& manufacturers)
{
    Question question{searchText, formats, manufacturers};
    if (m_asked == question)
        return m_matches;
    const QByteArray pattern = foldAscii(QByteArray(1, '%') + searchText.toUtf8() + '%');
    const QByteArray inner = pattern.mid(1, pattern.size() - 2);
    const bool plain = !inner.contains('%') && !inner.contains('_');
    const std::string_view needle(inner.constData(), size_t(inner.size()));

    std::array<bool, 6> formatWanted{};
    for (PluginFormat format : formats) {
        for (size_t i = 0; i < PluginFormats::allCases.size(); ++i) {
            if (PluginFormats::allCases[i] == format)
                formatWanted[i] = true;
        }
    }
    QSet<QByteArray> manufacturerWanted;
    for (const QString& manufacturer : manufacturers)
        manufacturerWanted.insert(foldAscii(manufacturer.toUtf8()));

    const char* texts = m_texts.constData();
    const auto like = [&](quint32 at, quint32 length) {
        if (plain)
            return std::string_view(texts + at, length).find(needle) != std::string_view::npos;
        return likeMatches(texts + at, length, pattern.constData(), pattern.size());
    };
    std::vector<char>& result = m_matches;
    result.assign(m_rows.size(), 0);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        if (!formats.isEmpty() && (row.format == kNoFormat || !formatWanted[row.format]))
            continue;
        if (!manufacturers.isEmpty() &&
            (row.manufacturerNull ||
             !manufacturerWanted.contains(QByteArray::fromRawData(texts + row.manufacturerAt, row.manufacturerLength))))
            continue;
        const bool found = (!row.nameNull && like(row.nameAt, row.nameLength)) ||
                           (!row.manufacturerNull && like(row.manufacturerAt, row.manufacturerLength));
        result[i] = found ? 1 : 0;
    }
    m_asked = std::move(question);
    return result;
}

const std::vector<quint32>* CatalogueSearch::order(sqlite3* db, const char* sortColumn)
{
    std::optional<std::vector<quint32>>& order = m_orders[sortColumnIndex(sortColumn)];
    if (order)
        return &*order;
    // The column's own index, walked as the page query walks it: equal values in rowid order.
    const QByteArray sql = QByteArray("SELECT rowid FROM plugins INDEXED BY ") +
                           CatalogueSchema::sortIndexOf(sortColumn) + " ORDER BY " +
                           CatalogueSchema::sortTermOf(sortColumn);
    Sql::Statement rows(db, sql);
    if (!rows.isValid())
        return nullptr;
    QHash<qint64, quint32> position;
    position.reserve(qsizetype(m_rows.size()));
    for (size_t i = 0; i < m_rows.size(); ++i)
        position.insert(m_rows[i].rowid, quint32(i));
    std::vector<quint32> positions;
    positions.reserve(m_rows.size());
    while (rows.next()) {
        const auto it = position.constFind(rows.columnInt64(0));
        if (it != position.cend())
            positions.push_back(*it);
    }
    if (rows.lastResult() != SQLITE_DONE || positions.size() != m_rows.size())
        return nullptr;
    order = std::move(positions);
    return &*order;
}

std::optional<qint64> CatalogueSearch::count(sqlite3* db, const QString& searchText, const QSet<PluginFormat>& formats,
                                             const QSet<QString>& manufacturers)
{
    const ReadSnapshot snapshot(db, m_filled);
    if (!refresh(db))
        return std::nullopt;
    const std::vector<char>& found = matches(searchText, formats, manufacturers);
    return qint64(std::count(found.cbegin(), found.cend(), 1));
}

std::optional<QList<qint64>> CatalogueSearch::page(sqlite3* db, const QString& searchText,
                                                   const QSet<PluginFormat>& formats,
                                                   const QSet<QString>& manufacturers, const char* sortColumn,
                                                   bool ascending, qint64 limit, qint64 offset)
{
    const ReadSnapshot snapshot(db, m_filled);
    if (!refresh(db))
        return std::nullopt;
    const std::vector<quint32>* sorted = order(db, sortColumn);
    if (!sorted)
        return std::nullopt;
    const std::vector<char>& found = matches(searchText, formats, manufacturers);
    QList<qint64> rowids;
    // As SQLite reads LIMIT and OFFSET: a negative limit is none, a negative offset is 0.
    qint64 skip = std::max<qint64>(offset, 0);
    const qint64 wanted = limit < 0 ? qint64(m_rows.size()) : limit;
    const auto take = [&](quint32 position) {
        if (!found[position])
            return true;
        if (skip > 0) {
            --skip;
            return true;
        }
        rowids.append(m_rows[position].rowid);
        return rowids.size() < wanted;
    };
    if (wanted <= 0)
        return rowids;
    if (ascending) {
        for (auto it = sorted->cbegin(); it != sorted->cend() && take(*it); ++it) {}
    } else {
        for (auto it = sorted->crbegin(); it != sorted->crend() && take(*it); ++it) {}
    }
    return rowids;
}
