#pragma once

#include <QFile>
#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

/// Runs `sql` on the catalogue file at `databasePath` through a connection of its own, as
/// another program would (a test's way to break the file: a trigger that refuses writes).
inline void execSql(const QString& databasePath, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(databasePath).constData(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}
