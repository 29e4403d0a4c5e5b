#include "operations/BatchScript.h"

#include "Platform/Paths.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginModels.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BatchScript {

QString scriptPath(const QUuid& id)
{
    return Paths::tempDir() + QStringLiteral("/rackhand_batch_") + uuidString(id) + QStringLiteral(".sh");
}

QString progressPath(const QUuid& id)
{
    return Paths::tempDir() + QStringLiteral("/rackhand_progress_") + uuidString(id) + QStringLiteral(".txt");
}

namespace {
// flock(1) keeps the lock on descriptor 9 for the life of the shell and what it runs. A
// script whose window died writes its errors into a pipe no one reads: without the trap the
// first failing item would end it there, with the rest of the batch never moved.
const QString kLockLine = QStringLiteral("trap '' PIPE; exec 9<\"$0\" && flock -s 9 2>/dev/null");

// What the script writes to standard error after the lines of move `index` (from 0) when it fails.
QString failureMarker(qsizetype index)
{
    return QStringLiteral("rackhand: item %1 failed").arg(index + 1);
}
} // namespace

QString scriptText(const QList<Move>& moves, const QString& progressFile)
{
    using DisabledLayout::shellQuote;
    const QString countLine = QStringLiteral("n=$((n+1)) && printf '%d' $n 2>/dev/null > ") + shellQuote(progressFile);
    QString text = QStringLiteral("#!/bin/sh\nn=0\n") + kLockLine;
    text.reserve(text.size() + moves.size() * (countLine.size() + 300));
    for (qsizetype i = 0; i < moves.size(); ++i) {
        text += u'\n';
        text += DisabledLayout::disableCommand(moves[i]);
        text += QStringLiteral(" || echo ") + shellQuote(failureMarker(i)) + QStringLiteral(" >&2");
        text += u'\n';
        text += countLine;
    }
    return text;
}

QString runCommand(const QString& scriptFile)
{
    return QStringLiteral("/bin/sh ") + DisabledLayout::shellQuote(scriptFile);
}

namespace {
// The move index of a marker line, or -1.
qsizetype markerIndex(const QString& line)
{
    static const QString head = QStringLiteral("rackhand: item ");
    static const QString tail = QStringLiteral(" failed");
    if (!line.startsWith(head) || !line.endsWith(tail))
        return -1;
    bool ok = false;
    const qsizetype number = line.mid(head.size(), line.size() - head.size() - tail.size()).toLongLong(&ok);
    return ok && number > 0 ? number - 1 : -1;
}
} // namespace

QHash<qsizetype, QString> errorsByMove(const QString& standardError)
{
    QHash<qsizetype, QString> errors;
    QStringList pending;
    for (const QString& line : standardError.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype index = markerIndex(line.trimmed());
        if (index < 0) {
            pending.append(line.trimmed());
            continue;
        }
        errors.insert(index, pending.join(u'\n'));
        pending.clear();
    }
    return errors;
}

QString withoutMarkers(const QString& standardError)
{
    QStringList kept;
    for (const QString& line : standardError.split(u'\n')) {
        if (markerIndex(line.trimmed()) < 0)
            kept.append(line);
    }
    return kept.join(u'\n').trimmed();
}

QString unsafeFolderReason(const QString& folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return QStringLiteral("%1 cannot be read: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (info.st_uid != ::geteuid() && info.st_uid != 0)
        return QStringLiteral("%1 belongs to another user").arg(folder);
    // Others may write there only when the sticky bit keeps them from replacing our files.
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
        return QStringLiteral("other users can change what is in %1").arg(folder);
    return {};
}

QString deleteCommand(const QStringList& paths)
{
    QStringList parts;
    parts.reserve(paths.size());
    for (const QString& path : paths)
        parts.append(QStringLiteral("rm -rf ") + DisabledLayout::shellQuote(path));
    return parts.join(QStringLiteral(" && "));
}

QString capped(const QString& text, qsizetype maxLines, qsizetype maxCharacters)
{
    QStringList lines = text.split(u'\n');
    bool cut = false;
    if (lines.size() > maxLines) {
        lines = lines.mid(0, maxLines);
        cut = true;
    }
    QString result = lines.join(u'\n');
    if (result.size() > maxCharacters) {
        result.truncate(maxCharacters);
        cut = true;
    }
    return cut ? result + QStringLiteral(" […]") : result;
}

std::optional<double> parseProgress(const QByteArray& content, qsizetype count)
{
    const QByteArray text = content.trimmed();
    if (text.isEmpty() || count <= 0)
        return std::nullopt;
    qsizetype i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (qsizetype j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9')
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong done = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const double fraction = static_cast<double>(done) / static_cast<double>(count);
    return fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction);
}

QString writePrivateFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".part";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            ::unlink(temporary.constData());
            return QStringLiteral("cannot write %1: %2").arg(path, reason);
        }
        data += written;
        left -= written;
    }
    ::fchmod(fd, 0600); // whatever the umask did at creation
    if (::close(fd) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temporary.constData());
        return QStringLiteral("cannot write %1: %2").arg(path, reason);
    }
    // link() refuses an existing target, unlike rename(): a planted file is never replaced.
    if (::link(temporary.constData(), target.constData()) != 0) {
        // File systems without hard links: a rename after checking the name is still free.
        const int linkError = errno;
        struct stat existing {};
        const bool unsupported = linkError == EPERM || linkError == EOPNOTSUPP || linkError == ENOSYS;
        if (unsupported && ::lstat(target.constData(), &existing) != 0 &&
            ::rename(temporary.constData(), target.constData()) == 0)
            return {};
        errno = linkError;
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(temporary.constData());
        return QStringLiteral("cannot create %1: %2").arg(path, reason);
    }
    ::unlink(temporary.constData());
    return {};
}

} // namespace BatchScript
