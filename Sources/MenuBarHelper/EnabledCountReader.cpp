#include "MenuBarHelper/EnabledCountReader.h"

#include "Platform/Paths.h"
#include "catalogue/CatalogueSchema.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace EnabledCountReader {

QString databasePath()
{
    return Paths::dataFile(QString::fromLatin1(CatalogueSchema::kFileName));
}

std::optional<qint64> read(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return std::nullopt;
    }
    // The main application may be writing: wait briefly for its lock instead of failing.
    sqlite3_busy_timeout(db, 250);
    std::optional<qint64> count;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, CatalogueSchema::kCountEnabled, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
}

} // namespace EnabledCountReader
