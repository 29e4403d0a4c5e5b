#include "MenuBarHelper/KnownPluginsStore.h"

#include "MenuBarHelper/HelperLog.h"
#include "Platform/AtomicFile.h"
#include "Platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>

namespace KnownPluginsStore {

namespace {

std::optional<QSet<QString>> decode(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QSet<QString> keys;
    for (const QJsonValue value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        keys.insert(value.toString());
    }
    return keys;
}

void moveAside(const QString& path)
{
    const QString aside = keepUnreadableFileAside(path);
    if (!aside.isEmpty())
        HelperLog::print(QStringLiteral("⚠️ Could not read ") + path + QStringLiteral(", kept it as ") + aside);
}

} // namespace

QString filePath()
{
    return Paths::dataFile(QString::fromLatin1(kFileName));
}

std::optional<QSet<QString>> load()
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    // A folder, a FIFO or a huge file is not ours to read: keep it aside.
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
        moveAside(path);
        return std::nullopt;
    }
    std::optional<QSet<QString>> keys = decode(file.readAll());
    file.close();
    if (!keys)
        moveAside(path);
    return keys;
}

QString save(const QSet<QString>& keys)
{
    QStringList sorted(keys.begin(), keys.end());
    std::sort(sorted.begin(), sorted.end());
    const QByteArray bytes = QJsonDocument(QJsonArray::fromStringList(sorted)).toJson(QJsonDocument::Compact);
    return writeFileAtomically(filePath(), bytes);
}

} // namespace KnownPluginsStore
