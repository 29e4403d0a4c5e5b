#include "MenuBarHelper/snapshots/SnapshotRestore.h"

#include "MenuBarHelper/snapshots/SnapshotFiles.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace SnapshotCore {

namespace {

// The record of a restore in progress: in its backup folder, or beside the live items when the
// backups have no folder of their own ("-" and the staging folder's unique part follow then).
const QString kRecordName = QStringLiteral(".rackhand-restore");
const QString kStagingPrefix = QStringLiteral(".rackhand-staging-");
constexpr qint64 kMaxRecordBytes = 1 << 20;

const QString kNothingChanged = QStringLiteral("; nothing was changed.");

QString quoted(const QString& text)
{
    return u'“' + text + u'”';
}

// --- Links ---

QString linkText(const QString& path)
{
    QByteArray target(4096, '\0');
    const ssize_t length =
        ::readlink(QFile::encodeName(path).constData(), target.data(), static_cast<size_t>(target.size()));
    return length < 0 ? QString() : QFile::decodeName(target.left(length));
}

bool sameDevice(const QString& a, const QString& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev;
}

// Where a live item's content is when the item is a link: its target, which must exist and lie
// on the disk of `stagingParent`, where the staged copy and the backup are; else `refusal` says why.
QString followLink(const QString& item, const QString& stagingParent, QString& refusal)
{
    const QString name = quoted(SnapshotFiles::fileName(item));
    char* resolved = ::realpath(QFile::encodeName(item).constData(), nullptr);
    if (!resolved) {
        refusal = name + QStringLiteral(" is a link to ") + quoted(linkText(item)) +
                  QStringLiteral(", which does not exist") + kNothingChanged;
        return {};
    }
    const QByteArray bytes(resolved);
    std::free(resolved); // realpath's own allocation
    QString target = QFile::decodeName(bytes);
    if (QFile::encodeName(target) != bytes)
        refusal = name + QStringLiteral(" is a link that Rackhand cannot follow") + kNothingChanged;
    else if (!sameDevice(SnapshotFiles::parentPath(target), stagingParent))
        refusal = name + QStringLiteral(" is a link to ") + quoted(target) + QStringLiteral(", on another disk") +
                  kNothingChanged;
    return target;
}

// Backs up and fills what the user's links lead to, so that each link stays where it is.
void followLiveLinks(RestorePlan& plan)
{
    QHash<QString, QString> followed;
    const auto follow = [&plan, &followed](QString& path) {
        if (!plan.refusal.isEmpty() || !SnapshotFiles::isLink(path))
            return;
        if (const auto known = followed.constFind(path); known != followed.cend()) {
            path = *known;
            return;
        }
        const QString target = followLink(path, plan.stagingParent, plan.refusal);
        followed.insert(path, target);
        path = target;
    };
    for (Move& backup : plan.backups)
        follow(backup.from);
    for (Move& placement : plan.placements)
        follow(placement.to);
}

// --- The record ---

bool hasBackupFolder(const RestorePlan& plan)
{
    return !plan.backupFolder.isEmpty() && !plan.backups.empty();
}

QString recordPath(const RestorePlan& plan, const QString& staging)
{
    if (hasBackupFolder(plan))
        return plan.backupFolder + u'/' + kRecordName;
    return plan.stagingParent + u'/' + kRecordName + u'-' + SnapshotFiles::fileName(staging).mid(kStagingPrefix.size());
}

QJsonArray toJson(const std::vector<Move>& moves)
{
    QJsonArray array;
    for (const Move& move : moves)
        array.append(QJsonArray{move.from, move.to});
    return array;
}

std::vector<Move> movesFrom(const QJsonValue& value)
{
    std::vector<Move> moves;
    const QJsonArray entries = value.toArray();
    for (const auto& entry : entries) {
        const QJsonArray pair = entry.toArray();
        if (pair.size() == 2 && pair[0].isString() && pair[1].isString())
            moves.push_back({pair[0].toString(), pair[1].toString()});
    }
    return moves;
}

QByteArray recordBytes(const RestorePlan& plan, const QString& staging)
{
    const QJsonObject record{{QStringLiteral("what"), plan.what},
                             {QStringLiteral("label"), plan.label},
                             {QStringLiteral("staging"), staging},
                             {QStringLiteral("backupFolder"), plan.backupFolder},
                             {QStringLiteral("backups"), toJson(plan.backups)},
                             {QStringLiteral("placements"), toJson(plan.placements)}};
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

struct Record {
    RestorePlan plan;
    QString staging;
};

std::optional<Record> readRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxRecordBytes)
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    Record record;
    record.staging = object.value(QStringLiteral("staging")).toString();
    // Only a staging folder of our own beside the record's place is ever touched.
    if (!SnapshotFiles::fileName(record.staging).startsWith(kStagingPrefix))
        return std::nullopt;
    record.plan.what = object.value(QStringLiteral("what")).toString();
    record.plan.label = object.value(QStringLiteral("label")).toString();
    record.plan.backupFolder = object.value(QStringLiteral("backupFolder")).toString();
    record.plan.backups = movesFrom(object.value(QStringLiteral("backups")));
    record.plan.placements = movesFrom(object.value(QStringLiteral("placements")));
    return record;
}

// The names of `folder` that a text can spell (the stores' own all can).
std::vector<QString> namesIn(const QString& folder)
{
    std::vector<QString> names;
    if (const auto raw = SnapshotFiles::rawEntries(folder)) {
        for (const QByteArray& name : *raw) {
            const QString text = QFile::decodeName(name);
            if (QFile::encodeName(text) == name)
                names.push_back(text);
        }
    }
    return names;
}

bool isBackupFolder(const LeftoverPlace& place, const QString& name)
{
    const QString path = place.folder + u'/' + name;
    return std::any_of(place.backupPrefixes.cbegin(), place.backupPrefixes.cend(),
                       [&name](const QString& prefix) { return name.startsWith(prefix); }) &&
           SnapshotFiles::isFolder(path) && !SnapshotFiles::isLink(path);
}

std::vector<QString> recordsIn(const LeftoverPlace& place)
{
    std::vector<QString> records;
    for (const QString& name : namesIn(place.folder)) {
        const QString path = place.folder + u'/' + name;
        if (name.startsWith(kRecordName + u'-') && !SnapshotFiles::isFolder(path))
            records.push_back(path);
        else if (isBackupFolder(place, name) && SnapshotFiles::exists(path + u'/' + kRecordName))
            records.push_back(path + u'/' + kRecordName);
    }
    return records;
}

// --- Restoring ---

struct Progress {
    std::vector<Move> backedUp;
    std::vector<QString> placed;
    std::vector<QString> madeFolders;
};

QString place(SnapshotFiles& files, const QString& staging, const Move& placement, Progress& progress)
{
    const QString parent = SnapshotFiles::parentPath(placement.to);
    if (!SnapshotFiles::isFolder(parent)) {
        if (QString reason = files.makePath(parent); !reason.isEmpty())
            return reason;
        progress.madeFolders.push_back(parent);
    }
    if (QString reason = files.moveItem(staging + u'/' + placement.from, placement.to); !reason.isEmpty())
        return reason;
    progress.placed.push_back(placement.to);
    return {};
}

// Undoes a restore that failed in this process: the copies just placed go, then each backed-up
// item goes back on its own. Returns the backups that stayed.
std::vector<Move> undo(SnapshotFiles& files, const Progress& progress)
{
    for (auto it = progress.placed.rbegin(); it != progress.placed.rend(); ++it)
        files.removeItem(*it);
    for (auto it = progress.madeFolders.rbegin(); it != progress.madeFolders.rend(); ++it)
        files.removeEmptyFolder(*it); // only when still empty
    return moveBack(files, progress.backedUp);
}

// --- Recovering ---

RecoveredRestore recoverOne(SnapshotFiles& files, const QString& recordFile, const Record& record)
{
    const RestorePlan& plan = record.plan;
    RecoveredRestore result;
    result.what = plan.what;
    result.label = plan.label;
    result.backupFolder =
        plan.backupFolder.isEmpty() && !plan.backups.empty() ? plan.backups.front().to : plan.backupFolder;
    // A rename is all or nothing: each item is either still live or already in the backup.
    std::vector<Move> done;
    std::vector<Move> pending;
    for (const Move& backup : plan.backups) {
        if (SnapshotFiles::exists(backup.to))
            done.push_back(backup);
        else if (SnapshotFiles::exists(backup.from))
            pending.push_back(backup);
    }
    const auto staged = [&record](const Move& placement) { return record.staging + u'/' + placement.from; };
    // Items are placed only once all are backed up: before that, every staged copy must be there.
    const bool complete = std::all_of(plan.placements.cbegin(), plan.placements.cend(), [&](const Move& placement) {
        return SnapshotFiles::exists(staged(placement)) || (pending.empty() && SnapshotFiles::exists(placement.to));
    });
    bool finishing = complete;
    for (const Move& backup : pending) {
        if (!finishing || !files.moveItem(backup.from, backup.to).isEmpty()) {
            finishing = false;
            break;
        }
        done.push_back(backup);
    }
    if (finishing) {
        for (const Move& placement : plan.placements) {
            if (!SnapshotFiles::exists(staged(placement)))
                continue; // placed before the cut
            const QString name = quoted(SnapshotFiles::fileName(placement.to));
            if (SnapshotFiles::exists(placement.to)) {
                result.notes << name + QStringLiteral(" was not restored: a new one had been made in its place.");
                continue;
            }
            files.makePath(SnapshotFiles::parentPath(placement.to));
            if (QString reason = files.moveItem(staged(placement), placement.to); !reason.isEmpty())
                result.notes << name + QStringLiteral(" was not restored: ") + reason + u'.';
        }
        result.finished = true;
    } else {
        const std::vector<Move> stayed = moveBack(files, done);
        if (stayed.empty())
            result.backupFolder.clear();
        else
            result.notes << stillInBackup(stayed, plan.backupFolder);
    }
    if (SnapshotFiles::exists(record.staging))
        files.removeItem(record.staging);
    files.removeItem(recordFile);
    if (!plan.backupFolder.isEmpty() && SnapshotFiles::isFolder(plan.backupFolder))
        files.removeEmptyFolder(plan.backupFolder); // only when nothing stayed in it
    return result;
}

} // namespace

void addKnownEntries(RestorePlan& plan, const QString& snapshotFolder, const QString& liveFolder,
                     const QStringList& names, const QString& subfolder)
{
    const QString prefix = subfolder.isEmpty() ? QString() : subfolder + u'/';
    const auto refuse = [&plan](const QString& name) {
        if (plan.refusal.isEmpty())
            plan.refusal =
                quoted(name) + QStringLiteral(" in the snapshot is a link, not a saved copy") + kNothingChanged;
    };
    if (!subfolder.isEmpty() && SnapshotFiles::isLink(snapshotFolder + u'/' + subfolder))
        refuse(subfolder);
    const auto entries = visibleEntries(snapshotFolder + u'/' + prefix);
    if (!entries)
        return;
    for (const QString& name : names) {
        if (std::find(entries->cbegin(), entries->cend(), name) == entries->cend())
            continue;
        if (SnapshotFiles::isLink(snapshotFolder + u'/' + prefix + name))
            refuse(name);
        plan.copies.push_back({snapshotFolder + u'/' + prefix + name, prefix + name});
        plan.placements.push_back({prefix + name, liveFolder + u'/' + prefix + name});
    }
}

std::optional<RestoreFailure> restore(SnapshotFiles& files, RestorePlan plan)
{
    if (plan.refusal.isEmpty())
        followLiveLinks(plan);
    if (!plan.refusal.isEmpty())
        return RestoreFailure{RestoreFailure::Step::refused, plan.refusal};

    const QString staging = plan.stagingParent + u'/' + SnapshotFiles::stagingName();
    const QString record = recordPath(plan, staging);
    const bool madeBackupFolder = hasBackupFolder(plan) && !SnapshotFiles::exists(plan.backupFolder);
    const auto fail = [&](RestoreFailure::Step step, const QString& reason) {
        if (SnapshotFiles::exists(staging))
            files.removeItem(staging);
        if (SnapshotFiles::exists(record))
            files.removeItem(record);
        if (madeBackupFolder && SnapshotFiles::exists(plan.backupFolder))
            files.removeEmptyFolder(plan.backupFolder); // stays when something could not go back
        return std::optional<RestoreFailure>(RestoreFailure{step, reason});
    };

    QString reason = files.makePath(staging);
    if (reason.isEmpty())
        reason = copyInto(files, staging, plan.copies);
    if (!reason.isEmpty())
        return fail(RestoreFailure::Step::staging, reason);
    if (hasBackupFolder(plan)) {
        if (reason = files.makePath(plan.backupFolder); !reason.isEmpty())
            return fail(RestoreFailure::Step::backup, reason);
    }
    // Before the first move: from here on, a restore cut off is finished or undone at the next start.
    if (reason = files.writeFile(record, recordBytes(plan, staging)); !reason.isEmpty())
        return fail(RestoreFailure::Step::backup, reason);

    Progress progress;
    for (const Move& backup : plan.backups) {
        if (reason = files.moveItem(backup.from, backup.to); !reason.isEmpty())
            return fail(RestoreFailure::Step::backup, withLeftovers(reason, undo(files, progress), plan.backupFolder));
        progress.backedUp.push_back(backup);
    }
    for (const Move& placement : plan.placements) {
        if (reason = place(files, staging, placement, progress); !reason.isEmpty())
            return fail(RestoreFailure::Step::placing, withLeftovers(reason, undo(files, progress), plan.backupFolder));
    }
    files.removeItem(staging);
    files.removeItem(record);
    return std::nullopt;
}

std::vector<RecoveredRestore> recoverRestores(SnapshotFiles& files, const std::vector<LeftoverPlace>& places)
{
    std::vector<RecoveredRestore> recovered;
    for (const LeftoverPlace& place : places) {
        for (const QString& recordFile : recordsIn(place)) {
            if (const auto record = readRecord(recordFile)) {
                recovered.push_back(recoverOne(files, recordFile, *record));
                continue;
            }
            // Nothing is moved on a guess; the user hears once where the previous preferences may
            // be, and the record is kept under a name that is not looked for again.
            RecoveredRestore unreadable;
            unreadable.unreadable = true;
            unreadable.backupFolder = SnapshotFiles::parentPath(recordFile);
            files.moveItem(recordFile, unreadable.backupFolder + QStringLiteral("/.rackhand-unreadable") +
                                           SnapshotFiles::fileName(recordFile).mid(kRecordName.size()) +
                                           QStringLiteral("-restore"));
            recovered.push_back(unreadable);
        }
    }
    return recovered;
}

void sweepLeftovers(SnapshotFiles& files, const std::vector<LeftoverPlace>& places)
{
    QSet<QString> needed; // staging folders that a pending record still needs
    for (const LeftoverPlace& place : places) {
        for (const QString& recordFile : recordsIn(place)) {
            if (const auto record = readRecord(recordFile))
                needed.insert(record->staging);
        }
    }
    for (const LeftoverPlace& place : places) {
        for (const QString& name : namesIn(place.folder)) {
            const QString path = place.folder + u'/' + name;
            if (name.startsWith(kStagingPrefix)) {
                if (!needed.contains(path))
                    files.removeItem(path);
                continue;
            }
            if (!isBackupFolder(place, name))
                continue;
            // A backup folder cut off before its first item: empty, or holding a half-written record.
            for (const QString& inner : namesIn(path)) {
                if (inner.startsWith(kStagingPrefix))
                    files.removeItem(path + u'/' + inner);
            }
            if (namesIn(path).empty())
                files.removeEmptyFolder(path);
        }
    }
}

} // namespace SnapshotCore
