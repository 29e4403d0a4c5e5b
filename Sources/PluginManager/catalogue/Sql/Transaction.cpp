#include "catalogue/Sql/Transaction.h"

#include <sqlite3.h>

namespace Sql {

Transaction::Transaction(sqlite3* db, Start start) : m_db(db)
{
    m_active = run(start == Start::immediate ? "BEGIN IMMEDIATE" : "BEGIN TRANSACTION");
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (run("COMMIT")) {
        m_active = false;
        return true;
    }
    // A failed COMMIT can leave the transaction open; undo it rather than leak it.
    rollback();
    return false;
}

void Transaction::rollback()
{
    if (!m_active)
        return;
    m_active = false;
    // SQLite may already have rolled back on its own (e.g. after SQLITE_FULL).
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Transaction::run(const char* sql)
{
    if (!m_db) {
        m_error = QStringLiteral("no database connection");
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_error = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

} // namespace Sql
