#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace Sql {

/// One prepared statement over a sqlite3 connection, finalized when it goes out of
/// scope. Prepare once, then bind / step / reset as often as needed. Parameter and
/// column indexes follow SQLite: parameters count from 1, columns from 0.
class Statement final {
public:
    /// Prepares `sql`; check isValid(). A null connection gives an invalid statement.
    Statement(sqlite3* db, const QByteArray& sql);
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    /// The library's message for the last failure on this connection (prepare or step).
    QString errorMessage() const;
    int parameterCount() const;

    /// Text is always bound as text, never NULL: an empty QString stores ''.
    bool bindText(int index, const QString& value);
    /// Binds UTF-8 bytes in place, without a copy: they must stay unchanged until the statement
    /// has been stepped and the parameter is bound again. Never NULL, as bindText.
    bool bindUtf8(int index, QByteArrayView utf8);
    bool bindInt64(int index, qint64 value);
    bool bindDouble(int index, double value);
    bool bindNull(int index);

    /// One step: true while a row is available. Check done() or lastResult() afterwards.
    bool next();
    /// Runs a statement that yields no rows to completion; true on SQLITE_DONE.
    bool exec();
    /// The result code of the last step.
    int lastResult() const { return m_lastResult; }
    /// Back to the start, keeping the bindings (every parameter is rebound in our uses).
    void reset();

    bool isNull(int column) const;
    bool isText(int column) const;
    /// SQLite's type of the column's value (SQLITE_TEXT, SQLITE_NULL...).
    int columnType(int column) const;
    /// A text column's UTF-8 bytes, valid until the next step; empty for no text.
    QByteArrayView columnUtf8(int column) const;
    QString columnText(int column) const;
    qint64 columnInt64(int column) const;
    double columnDouble(int column) const;
    /// The library's statement, for what this class does not wrap (a value passed on as it is).
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    void prepare(const char* sql, int length);
    void finalize();

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    int m_lastResult = 0;
    // UTF-8 copies of bound texts, kept alive until rebound so SQLite can read
    // them in place (SQLITE_STATIC) instead of copying every value again.
    std::vector<QByteArray> m_boundText;
};

/// (data version, total changes) of a connection: the same as long as neither it nor any
/// other connection wrote to the file. The data version is -1 when it could not be read.
std::pair<qint64, qint64> writeVersion(sqlite3* db);

} // namespace Sql
