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

QString scriptText(const QList<Move>& moves, const QString& progressFile)
{
    using DisabledLayout::shellQuote;
    const QString countLine = QStringLiteral("n=$((n+1)) && printf '%d' $n > ") + shellQuote(progressFile);
    QString text = QStringLiteral("#!/bin/sh\nn=0");
    text.reserve(text.size() + moves.size() * (countLine.size() + 200));
    for (const Move& move : moves) {
        text += u'\n';
        text += DisabledLayout::disableCommand(move.source, move.destination);
        text += u'\n';
        text += countLine;
    }
    return text;
}

QString runCommand(const QString& scriptFile)
{
    const QString quoted = DisabledLayout::shellQuote(scriptFile);
    return QStringLiteral("chmod +x ") + quoted + QStringLiteral(" && ") + quoted;
}

QString deleteCommand(const QStringList& paths)
{
    QStringList parts;
    parts.reserve(paths.size());
    for (const QString& path : paths)
        parts.append(QStringLiteral("rm -rf ") + DisabledLayout::shellQuote(path));
    return parts.join(QStringLiteral(" && "));
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
