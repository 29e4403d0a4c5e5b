#include "catalogue/Sql/Statement.h"

#include <sqlite3.h>
#include <utility>

namespace Sql {

Statement::Statement(sqlite3* db, const QByteArray& sql) : m_db(db)
{
    prepare(sql.constData(), int(sql.size()));
}

Statement::Statement(sqlite3* db, const char* sql) : m_db(db)
{
    prepare(sql, -1);
}

Statement::~Statement()
{
    finalize();
}

Statement::Statement(Statement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_lastResult(other.m_lastResult), m_boundText(std::move(other.m_boundText))
{
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        finalize();
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_lastResult = other.m_lastResult;
        m_boundText = std::move(other.m_boundText);
    }
    return *this;
}

void Statement::prepare(const char* sql, int length)
{
    if (!m_db || !sql)
        return;
    m_lastResult = sqlite3_prepare_v2(m_db, sql, length, &m_stmt, nullptr);
    if (m_lastResult != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return;
    }
    m_boundText.resize(size_t(sqlite3_bind_parameter_count(m_stmt)) + 1);
}

void Statement::finalize()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_boundText.clear();
}

QString Statement::errorMessage() const
{
    if (!m_db)
        return QStringLiteral("no database connection");
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

int Statement::parameterCount() const
{
    return m_stmt ? sqlite3_bind_parameter_count(m_stmt) : 0;
}

bool Statement::bindText(int index, const QString& value)
{
    if (!m_stmt || index < 1 || size_t(index) >= m_boundText.size())
        return false;
    QByteArray utf8 = value.toUtf8();
    // A null pointer would bind NULL; an empty text must stay ''.
    const char* data = utf8.isNull() ? "" : utf8.constData();
    const bool ok = sqlite3_bind_text(m_stmt, index, data, int(utf8.size()), SQLITE_STATIC) == SQLITE_OK;
    // Replace the previous buffer only after SQLite points at the new one.
    m_boundText[size_t(index)] = std::move(utf8);
    return ok;
}

bool Statement::bindUtf8(int index, QByteArrayView utf8)
{
    if (!m_stmt)
        return false;
    const char* data = utf8.isNull() ? "" : utf8.data();
    return sqlite3_bind_text(m_stmt, index, data, int(utf8.size()), SQLITE_STATIC) == SQLITE_OK;
}

bool Statement::bindInt64(int index, qint64 value)
{
    return m_stmt && sqlite3_bind_int64(m_stmt, index, value) == SQLITE_OK;
}

bool Statement::bindDouble(int index, double value)
{
    return m_stmt && sqlite3_bind_double(m_stmt, index, value) == SQLITE_OK;
}

bool Statement::bindNull(int index)
{
    return m_stmt && sqlite3_bind_null(m_stmt, index) == SQLITE_OK;
}

bool Statement::next()
{
    if (!m_stmt) {
        m_lastResult = SQLITE_MISUSE;
        return false;
    }
    m_lastResult = sqlite3_step(m_stmt);
    return m_lastResult == SQLITE_ROW;
}

bool Statement::exec()
{
    while (next()) {}
    return m_lastResult == SQLITE_DONE;
}

void Statement::reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt);
}

bool Statement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool Statement::isText(int column) const
{
    return m_stmt && sqlite3_column_type(m_stmt, column) == SQLITE_TEXT;
}

int Statement::columnType(int column) const
{
    return m_stmt ? sqlite3_column_type(m_stmt, column) : SQLITE_NULL;
}

QByteArrayView Statement::columnUtf8(int column) const
{
    if (!m_stmt)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

QString Statement::columnText(int column) const
{
    if (!m_stmt)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!text)
        return {};
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

qint64 Statement::columnInt64(int column) const
{
    return m_stmt ? sqlite3_column_int64(m_stmt, column) : 0;
}

double Statement::columnDouble(int column) const
{
    return m_stmt ? sqlite3_column_double(m_stmt, column) : 0.0;
}

std::pair<qint64, qint64> writeVersion(sqlite3* db)
{
    Statement version(db, "PRAGMA data_version");
    return {version.next() ? version.columnInt64(0) : -1, sqlite3_total_changes64(db)};
}

} // namespace Sql
