#include "MenuBarHelper/snapshots/SnapshotCore.h"

#include "Platform/PlatformServices.h"

#include <QCalendar>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <climits>

namespace SnapshotCore {

namespace {

const QString kTimePattern = QStringLiteral("yyyy-MM-dd_HHmmss");

QCalendar gregorian()
{
    return QCalendar(QCalendar::System::Gregorian);
}

QString stagingName()
{
    return SnapshotFiles::stagingName();
}

QString copyAll(SnapshotFiles& files, const QString& staging, const std::vector<StagedCopy>& copies)
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

// Undoes the placed items of a failed restore: removes them and any folder made for them.
void removePlaced(SnapshotFiles& files, const std::vector<QString>& placed, const std::vector<QString>& madeFolders)
{
    for (auto it = placed.rbegin(); it != placed.rend(); ++it)
        files.removeItem(*it);
    for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it)
        files.removeEmptyFolder(*it); // only when still empty
}

struct Placing {
    std::vector<QString> placed;
    std::vector<QString> madeFolders;
    QString reason;
};

Placing placeAll(SnapshotFiles& files, const QString& staging, const std::vector<Move>& placements)
{
    Placing result;
    for (const Move& placement : placements) {
        const QString parent = SnapshotFiles::parentPath(placement.to);
        if (!SnapshotFiles::isFolder(parent)) {
            result.reason = files.makePath(parent);
            if (!result.reason.isEmpty())
                return result;
            result.madeFolders.push_back(parent);
        }
        result.reason = files.moveItem(staging + u'/' + placement.from, placement.to);
        if (!result.reason.isEmpty())
            return result;
        result.placed.push_back(placement.to);
    }
    return result;
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

std::vector<Move> reversed(const std::vector<Move>& moves)
{
    std::vector<Move> back;
    back.reserve(moves.size());
    for (auto it = moves.rbegin(); it != moves.rend(); ++it)
        back.push_back({it->to, it->from});
    return back;
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

QString moveAllOrNone(SnapshotFiles& files, const std::vector<Move>& moves)
{
    std::vector<Move> done;
    for (const Move& move : moves) {
        if (QString reason = files.moveItem(move.from, move.to); !reason.isEmpty()) {
            for (const Move& back : reversed(done))
                files.moveItem(back.from, back.to);
            return reason;
        }
        done.push_back(move);
    }
    return {};
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
    QString reason = moveAllOrNone(files, moves);
    if (!reason.isEmpty() && made)
        files.removeEmptyFolder(folder);
    return reason;
}

// A snapshot folder's name carries the user's label: one past the file system's limit for a
// name is said to be what it is before anything is copied.
bool nameTooLong(const QString& path)
{
    return QFile::encodeName(SnapshotFiles::fileName(path)).size() > NAME_MAX;
}

QString buildFolder(SnapshotFiles& files, const QString& destination, const std::vector<StagedCopy>& copies)
{
    if (nameTooLong(destination))
        return kLabelTooLongText;
    const QString staging = SnapshotFiles::parentPath(destination) + u'/' + stagingName();
    QString reason = files.makePath(staging);
    if (reason.isEmpty())
        reason = copyAll(files, staging, copies);
    return renameStagedInto(files, staging, destination, reason);
}

QString buildCopy(SnapshotFiles& files, const QString& destination, const QString& source)
{
    if (nameTooLong(destination))
        return kLabelTooLongText;
    const QString staging = SnapshotFiles::parentPath(destination) + u'/' + stagingName();
    return renameStagedInto(files, staging, destination, files.copyItem(source, staging));
}

std::shared_ptr<const Clock> defaultClock()
{
    return Platform::services().clock;
}

void addKnownEntries(RestorePlan& plan, const QString& snapshotFolder, const QString& liveFolder,
                     const QStringList& names, const QString& subfolder)
{
    const QString prefix = subfolder.isEmpty() ? QString() : subfolder + u'/';
    const auto entries = visibleEntries(snapshotFolder + u'/' + prefix);
    if (!entries)
        return;
    for (const QString& name : names) {
        if (std::find(entries->cbegin(), entries->cend(), name) == entries->cend())
            continue;
        plan.copies.push_back({snapshotFolder + u'/' + prefix + name, prefix + name});
        plan.placements.push_back({prefix + name, liveFolder + u'/' + prefix + name});
    }
}

std::optional<RestoreFailure> restore(SnapshotFiles& files, const RestorePlan& plan)
{
    const QString staging = plan.stagingParent + u'/' + stagingName();
    const auto fail = [&](RestoreFailure::Step step, const QString& reason) {
        if (SnapshotFiles::exists(staging))
            files.removeItem(staging);
        return std::optional<RestoreFailure>(RestoreFailure{step, reason});
    };
    QString reason = files.makePath(staging);
    if (reason.isEmpty())
        reason = copyAll(files, staging, plan.copies);
    if (!reason.isEmpty())
        return fail(RestoreFailure::Step::staging, reason);

    const bool madeBackup =
        !plan.backupFolder.isEmpty() && !plan.backups.empty() && !SnapshotFiles::exists(plan.backupFolder);
    if (reason = moveIntoFolder(files, plan.backupFolder, plan.backups); !reason.isEmpty())
        return fail(RestoreFailure::Step::backup, reason);

    const Placing placing = placeAll(files, staging, plan.placements);
    if (!placing.reason.isEmpty()) {
        removePlaced(files, placing.placed, placing.madeFolders);
        moveAllOrNone(files, reversed(plan.backups));
        if (madeBackup)
            files.removeEmptyFolder(plan.backupFolder);
        return fail(RestoreFailure::Step::placing, placing.reason);
    }
    files.removeItem(staging);
    return std::nullopt;
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
