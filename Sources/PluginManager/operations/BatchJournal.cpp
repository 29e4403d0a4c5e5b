#include "operations/BatchJournal.h"

#include "Platform/AtomicFile.h"
#include "Platform/Paths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// A few hundred bytes per move of one batch.
constexpr qint64 kMaxFileBytes = 32LL * 1024 * 1024;

// Device and inode numbers use all 64 bits: written as text, not as JSON numbers.
QString text(quint64 number)
{
    return QString::number(number);
}

quint64 number(const QJsonValue& value)
{
    return value.toString().toULongLong();
}
} // namespace

namespace BatchJournal {

QString defaultPath()
{
    return Paths::dataFile(QStringLiteral("batch_journal.json"));
}

QString write(const QString& path, const QList<Entry>& entries)
{
    QJsonArray items;
    for (const Entry& entry : entries) {
        items.append(QJsonObject{
            {QStringLiteral("name"), entry.name},
            {QStringLiteral("format"), entry.format},
            {QStringLiteral("enable"), entry.enable},
            {QStringLiteral("source"), entry.source},
            {QStringLiteral("destination"), entry.destination},
            {QStringLiteral("device"), text(entry.device)},
            {QStringLiteral("inode"), text(entry.inode)},
            {QStringLiteral("type"), text(entry.type)},
            {QStringLiteral("modified"), text(static_cast<quint64>(entry.modifiedSeconds))},
            {QStringLiteral("modifiedNanoseconds"), text(static_cast<quint64>(entry.modifiedNanoseconds))},
            {QStringLiteral("crossDevice"), entry.crossDevice},
        });
    }
    return writeFileAtomically(path, QJsonDocument(items).toJson(QJsonDocument::Compact));
}

std::optional<QList<Entry>> read(const QString& path)
{
    const SmallFileRead file = readSmallFile(path, kMaxFileBytes);
    if (file.state == SmallFileRead::State::missing)
        return std::nullopt;
    QList<Entry> entries;
    const QJsonArray items = QJsonDocument::fromJson(file.bytes).array();
    for (const QJsonValue item : items) {
        const QJsonObject object = item.toObject();
        Entry entry;
        entry.name = object.value(QStringLiteral("name")).toString();
        entry.format = object.value(QStringLiteral("format")).toString();
        entry.enable = object.value(QStringLiteral("enable")).toBool();
        entry.source = object.value(QStringLiteral("source")).toString();
        entry.destination = object.value(QStringLiteral("destination")).toString();
        entry.device = number(object.value(QStringLiteral("device")));
        entry.inode = number(object.value(QStringLiteral("inode")));
        entry.type = static_cast<quint32>(number(object.value(QStringLiteral("type"))));
        entry.modifiedSeconds = static_cast<qint64>(number(object.value(QStringLiteral("modified"))));
        entry.modifiedNanoseconds = static_cast<qint64>(number(object.value(QStringLiteral("modifiedNanoseconds"))));
        entry.crossDevice = object.value(QStringLiteral("crossDevice")).toBool();
        // An entry without both paths cannot be judged on disk.
        if (!entry.source.isEmpty() && !entry.destination.isEmpty())
            entries.append(entry);
    }
    return entries;
}

QString remove(const QString& path)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return {};
    return QStringLiteral("cannot remove %1: %2").arg(path, file.errorString());
}

} // namespace BatchJournal
