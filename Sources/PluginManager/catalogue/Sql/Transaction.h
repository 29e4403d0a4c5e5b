#pragma once

#include <QString>

struct sqlite3;

namespace Sql {

/// `Transaction tx(db); ...; tx.commit();` Anything not committed is rolled back
/// when the object goes out of scope, so an early return never leaves a half-done write.
class Transaction final {
public:
    enum class Start {
        deferred, ///< the locks are taken by the first read and the first write
        immediate ///< the write lock at once: a transaction that reads before it writes
                  ///< cannot wait for another writer once it has read
    };
    /// Runs "BEGIN TRANSACTION" (or "BEGIN IMMEDIATE"); check isActive().
    explicit Transaction(sqlite3* db, Start start = Start::deferred);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_active; }
    /// Runs "COMMIT"; on failure the transaction is rolled back and false returned.
    bool commit();
    void rollback();
    /// The library's message of the last failed begin or commit.
    QString errorMessage() const { return m_error; }

private:
    bool run(const char* sql);

    sqlite3* m_db = nullptr;
    bool m_active = false;
    QString m_error;
};

} // namespace Sql
