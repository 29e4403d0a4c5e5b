#include "Platform/AtomicFile.h"

#include "Platform/Diagnostics.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create folder %1").arg(info.absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    // QSaveFile::commit() renames even when its final flush failed (full disk):
    // flush first and give up on failure so the old file stays whole.
    if (!file.flush()) {
        QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString keepUnreadableFileAside(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

SmallFileRead readSmallFile(const QString& path, qint64 maxBytes)
{
    SmallFileRead result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    result.state = SmallFileRead::State::unreadable;
    if (!info.isFile()) {
        result.reason = info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file");
        return result;
    }
    if (info.size() > maxBytes) {
        result.tooLarge = true;
        result.reason = QStringLiteral("it is too large");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.reason = file.errorString();
        return result;
    }
    // The file may have grown since the size check.
    result.bytes = file.read(maxBytes + 1);
    if (result.bytes.size() > maxBytes) {
        result.bytes.clear();
        result.tooLarge = true;
        result.reason = QStringLiteral("it is too large");
        return result;
    }
    result.state = SmallFileRead::State::read;
    return result;
}

SideFileWrite writeSideFile(const QString& path, const QByteArray& bytes, bool keepAsideFirst)
{
    const QString name = QFileInfo(path).fileName();
    if (keepAsideFirst && QFileInfo::exists(path)) {
        const QString kept = keepUnreadableFileAside(path);
        if (kept.isEmpty()) {
            Diagnostics::print(
                QStringLiteral("⚠️ Could not read %1 and could not keep it aside; left it unchanged").arg(name));
            return {QStringLiteral("%1 could not be read and could not be kept aside").arg(name), true};
        }
        Diagnostics::print(QStringLiteral("⚠️ Could not read %1; kept it as %2").arg(name, kept));
    }
    SideFileWrite result{writeFileAtomically(path, bytes), false};
    if (!result.succeeded())
        Diagnostics::print(QStringLiteral("❌ Could not save %1: %2").arg(name, result.failure));
    return result;
}
