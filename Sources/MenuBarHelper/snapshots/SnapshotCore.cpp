#include "MenuBarHelper/snapshots/SnapshotCore.h"

#include "Platform/Clock.h"

#include <QCalendar>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

namespace SnapshotCore {

namespace {

const QString kTimePattern = QStringLiteral("yyyy-MM-dd_HHmmss");

QCalendar gregorian()
{
    return QCalendar(QCalendar::System::Gregorian);
}

// Ends a staged build: renames the staging folder into place unless an earlier step failed,
// and removes it whenever it does not land.
QString renameStagedInto(SnapshotFiles& files, const QString& staging, const QString& destination, QString reason)
{
    if (reason.isEmpty())
        reason = files.moveItem(staging, destination);
    if (!reason.isEmpty() && SnapshotFiles::exists(staging))
        files.removeItem(staging);
    return reason;
}

// "“a”", "“a” and “b”", "“a”, “b” and “c”".
QString quotedNames(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted << u'“' + name + u'”';
    if (quoted.size() < 2)
        return quoted.join(QString());
    const QString last = quoted.takeLast();
    return quoted.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// A snapshot folder's name carries the user's label: one past the file system's limit for a
// name is said to be what it is before anything is copied.
bool nameTooLong(const QString& path)
{
    return QFile::encodeName(SnapshotFiles::fileName(path)).size() > NAME_MAX;
}

} // namespace

QString timeText(const QDateTime& when)
{
    return QLocale::c().toString(when.toLocalTime(), kTimePattern, gregorian());
}

std::optional<QDateTime> parseTimeText(const QString& text)
{
    const QDateTime parsed = QLocale::c().toDateTime(text, kTimePattern, gregorian());
    if (!parsed.isValid())
        return std::nullopt;
    return parsed;
}

QString cleanLabel(const QString& label)
{
    QString cleaned = label.trimmed();
    cleaned.replace(u'/', u'-');
    cleaned.replace(u':', u'-');
    return cleaned;
}

QString folderName(const QString& timeText, const QString& cleanedLabel)
{
    return cleanedLabel.isEmpty() ? timeText : timeText + u'_' + cleanedLabel;
}

QStringList splitPieces(const QString& text, QChar separator, int maxSplits)
{
    // Empty pieces are dropped and do not count as splits; the last piece is the whole rest.
    QStringList pieces;
    qsizetype start = 0;
    while (pieces.size() < maxSplits && start <= text.size()) {
        qsizetype end = text.indexOf(separator, start);
        if (end < 0)
            end = text.size();
        if (end > start)
            pieces.append(text.mid(start, end - start));
        start = end + 1;
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

std::optional<NameParts> splitFolderName(const QString& name)
{
    const QStringList pieces = splitPieces(name, u'_', 2);
    if (pieces.size() < 2)
        return std::nullopt;
    const QString time = pieces[0] + u'_' + pieces[1];
    if (!parseTimeText(time))
        return std::nullopt;
    return NameParts{time, pieces.size() > 2 ? pieces[2] : QString()};
}

qint64 directorySize(const QString& path)
{
    return SnapshotFiles::totalSize(path);
}

QString formattedSize(qint64 bytes)
{
    // As C's printf gives "%.0f KB" and "%.1f MB" in the "C" locale: exact halves go to the even
    // neighbour (QString::asprintf rounds them up), and the point never becomes a comma.
    const double megabytes = static_cast<double>(bytes) / 1048576.0;
    const bool small = megabytes < 1.0;
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, small ? static_cast<double>(bytes) / 1024.0 : megabytes,
                                   std::chars_format::fixed, small ? 0 : 1)
                         .ptr;
    return QString::fromLatin1(text, end - text) + (small ? QStringLiteral(" KB") : QStringLiteral(" MB"));
}

std::optional<std::vector<QString>> visibleEntries(const QString& folder)
{
    const auto raw = SnapshotFiles::rawEntries(folder);
    if (!raw)
        return std::nullopt;
    std::vector<QString> names;
    for (const QByteArray& name : *raw) {
        // A name that no text can spell is none of the stores' own, which all have plain names.
        const QString text = QFile::decodeName(name);
        if (!name.startsWith('.') && QFile::encodeName(text) == name)
            names.push_back(text);
    }
    return names;
}

PrefsSnapshot recordFor(const QString& folder, const QString& cleanedLabel, const QDateTime& date)
{
    return {SnapshotFiles::fileName(folder), cleanedLabel.isEmpty() ? kDefaultLabel : cleanedLabel, date,
            QUrl::fromLocalFile(folder), directorySize(folder)};
}

std::vector<PrefsSnapshot> listSnapshots(const QString& root)
{
    std::vector<PrefsSnapshot> snapshots;
    const auto names = visibleEntries(root);
    if (!names)
        return snapshots;
    for (const QString& name : *names) {
        const QString folder = root + u'/' + name;
        const auto parts = splitFolderName(name);
        if (!parts || !SnapshotFiles::isFolder(folder))
            continue;
        snapshots.push_back(recordFor(folder, parts->label, *parseTimeText(parts->timeText)));
    }
    std::stable_sort(snapshots.begin(), snapshots.end(),
                     [](const PrefsSnapshot& a, const PrefsSnapshot& b) { return a.date > b.date; });
    return snapshots;
}

std::vector<Move> moveBack(SnapshotFiles& files, const std::vector<Move>& done)
{
    std::vector<Move> stayed;
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (SnapshotFiles::exists(it->from) || !files.moveItem(it->to, it->from).isEmpty())
            stayed.push_back(*it);
    }
    return stayed;
}

QString stillInBackup(const std::vector<Move>& stayed, const QString& folder)
{
    if (stayed.empty())
        return {};
    QStringList names;
    for (auto it = stayed.rbegin(); it != stayed.rend(); ++it)
        names << SnapshotFiles::fileName(it->from);
    if (!folder.isEmpty())
        return quotedNames(names) + (names.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
               QStringLiteral(" still in “") + folder + QStringLiteral("”.");
    QStringList sentences;
    for (auto it = stayed.rbegin(); it != stayed.rend(); ++it)
        sentences << u'“' + SnapshotFiles::fileName(it->from) + QStringLiteral("” is still at “") + it->to +
                         QStringLiteral("”.");
    return sentences.join(u' ');
}

QString withLeftovers(const QString& reason, const std::vector<Move>& stayed, const QString& folder)
{
    const QString leftovers = stillInBackup(stayed, folder);
    return leftovers.isEmpty() ? reason : reason + QStringLiteral(". ") + leftovers;
}

QString moveIntoFolder(SnapshotFiles& files, const QString& folder, const std::vector<Move>& moves)
{
    if (moves.empty())
        return {};
    const bool made = !folder.isEmpty() && !SnapshotFiles::exists(folder);
    if (made) {
        if (QString reason = files.makePath(folder); !reason.isEmpty())
            return reason;
    }
    std::vector<Move> done;
    for (const Move& move : moves) {
        if (QString reason = files.moveItem(move.from, move.to); !reason.isEmpty()) {
            const std::vector<Move> stayed = moveBack(files, done);
            if (made && stayed.empty())
                files.removeEmptyFolder(folder);
            return withLeftovers(reason, stayed, folder);
        }
        done.push_back(move);
    }
    return {};
}

QString copyInto(SnapshotFiles& files, const QString& staging, const std::vector<StagedCopy>& copies)
{
    for (const StagedCopy& copy : copies) {
        const QString target = staging + u'/' + copy.relative;
        if (QString reason = files.makePath(SnapshotFiles::parentPath(target)); !reason.isEmpty())
            return reason;
        if (QString reason = files.copyItem(copy.source, target); !reason.isEmpty())
            return reason;
    }
    return {};
}

QString buildFolder(SnapshotFiles& files, const QString& destination, const std::vector<StagedCopy>& copies,
                    bool replaceExisting)
{
    if (nameTooLong(destination))
        return kLabelTooLongText;
    const bool replacing = replaceExisting && SnapshotFiles::exists(destination);
    if (SnapshotFiles::exists(destination) && !replacing) // say so before copying everything
        return QStringLiteral("Could not put “%1” in place: %2")
            .arg(SnapshotFiles::fileName(destination), QString::fromLocal8Bit(std::strerror(EEXIST)));
    const QString staging = SnapshotFiles::parentPath(destination) + u'/' + SnapshotFiles::stagingName();
    QString reason = files.makePath(staging);
    if (reason.isEmpty())
        reason = copyInto(files, staging, copies);
    if (!replacing || !reason.isEmpty())
        return renameStagedInto(files, staging, destination, reason);
    // The new snapshot takes the old one's place in one step; the old one, now under the hidden
    // name, goes after (a start-up sweep removes it should that be cut off).
    reason = files.exchangeItems(staging, destination);
    files.removeItem(staging);
    return reason;
}

QString buildCopy(SnapshotFiles& files, const QString& destination, const QString& source)
{
    if (nameTooLong(destination))
        return kLabelTooLongText;
    const QString staging = SnapshotFiles::parentPath(destination) + u'/' + SnapshotFiles::stagingName();
    return renameStagedInto(files, staging, destination, files.copyItem(source, staging));
}

std::shared_ptr<const Clock> defaultClock()
{
    return std::make_shared<SystemClock>();
}

QString errorDescription(int caseIndex, const QString& message)
{
    switch (caseIndex) {
    case 0:
        return QStringLiteral("Snapshot failed: ") + message;
    case 1:
        return QStringLiteral("Restore failed: ") + message;
    case 2:
        return QStringLiteral("Reset failed: ") + message;
    default:
        return message;
    }
}

} // namespace SnapshotCore
