#include "catalogue/CatalogueSearch.h"

#include "catalogue/CatalogueSchema.h"
#include "catalogue/Sql/Statement.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <functional>
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

} // namespace

QByteArray foldAscii(QByteArray text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
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

std::pair<qint64, qint64> CatalogueSearch::versionOf(sqlite3* db)
{
    qint64 dataVersion = -1;
    Sql::Statement version(db, "PRAGMA data_version");
    if (version.next())
        dataVersion = version.columnInt64(0);
    return {dataVersion, sqlite3_total_changes64(db)};
}

bool CatalogueSearch::refresh(sqlite3* db)
{
    const std::pair<qint64, qint64> now = versionOf(db);
    if (m_filled && now == m_version && now.first >= 0)
        return true;
    m_filled = false;
    m_rows.clear();
    m_texts.clear();
    m_asked.reset();
    for (auto& order : m_orders)
        order.reset();
    // The raw statement: the texts are copied once and folded, never decoded.
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, CatalogueSchema::kSelectSearched, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    const auto append = [this](sqlite3_stmt* s, int column, quint32& at, quint32& length, bool& isNull) {
        isNull = sqlite3_column_type(s, column) == SQLITE_NULL;
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
        // LIKE reads up to a NUL, as a C string.
        const qsizetype size = text ? qsizetype(std::strlen(text)) : 0;
        at = quint32(m_texts.size());
        length = quint32(size);
        m_texts.append(text, size);
    };
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        Row row;
        row.rowid = sqlite3_column_int64(statement, 0);
        append(statement, 1, row.nameAt, row.nameLength, row.nameNull);
        append(statement, 2, row.manufacturerAt, row.manufacturerLength, row.manufacturerNull);
        const char* format = reinterpret_cast<const char*>(sqlite3_column_text(statement, 3));
        if (format) {
            const QString raw = QString::fromUtf8(format, sqlite3_column_bytes(statement, 3));
            for (size_t i = 0; i < PluginFormats::allCases.size(); ++i) {
                if (raw == PluginFormats::rawValue(PluginFormats::allCases[i]))
                    row.format = quint8(i);
            }
        }
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
    m_version = now;
    m_filled = true;
    return true;
}

bool CatalogueSearch::isCurrent(sqlite3* db) const
{
    return m_filled && versionOf(db) == m_version;
}

void CatalogueSearch::locationsWritten(sqlite3* db, bool wasCurrent)
{
    if (!wasCurrent) {
        m_filled = false;
        return;
    }
    const std::pair<qint64, qint64> now = versionOf(db);
    // Another connection's commit in between (a new data version) means the texts may be stale.
    if (now.first != m_version.first) {
        m_filled = false;
        return;
    }
    m_version = now;
    m_orders[sortColumnIndex(CatalogueSchema::kIsEnabled)].reset();
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
