#pragma once

#include "MenuBarHelper/snapshots/SnapshotCore.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class SnapshotFiles;

/// Restoring a snapshot so that no preference file is ever lost, even when the helper is
/// stopped half-way: the snapshot is copied into a hidden staging folder beside the live items,
/// a record of the moves to come is written (into the backup folder), the live items are moved
/// into the backup and the staged items renamed into their places. A failure undoes the moves
/// one by one; a restore cut off by the end of the process is finished, or undone, at the next
/// start from its record.
namespace SnapshotCore {

struct RestorePlan {
    QString what;                   // the preferences as the user knows them: "Logic Pro", "Studio One 6"
    QString label;                  // the snapshot's label
    QString stagingParent;          // the folder beside the live items that holds the staging folder
    std::vector<StagedCopy> copies; // snapshot entries into the staging folder
    QString backupFolder;           // holds the backups and the record; empty when each backup is its own
    std::vector<Move> backups;      // live item -> its place in the backup
    std::vector<Move> placements;   // from: a path relative to the staging folder; to: the live place
    QString refusal;                // why this snapshot cannot be restored at all; empty when it can
};

/// Adds to `plan` each entry of `names` that the snapshot folder's `subfolder` (empty: the folder
/// itself) holds, to be placed under the same relative path in `liveFolder`. Nothing else of the
/// snapshot ever lands. A link where a saved copy should be makes the plan a refusal.
void addKnownEntries(RestorePlan& plan, const QString& snapshotFolder, const QString& liveFolder,
                     const QStringList& names, const QString& subfolder = {});

struct RestoreFailure {
    enum class Step { refused, staging, backup, placing };
    Step step;
    QString reason;

    /// The reason, after `backupPrefix` when the live items could not be moved aside.
    QString describe(const QString& backupPrefix) const
    {
        return step == Step::backup ? backupPrefix + reason : reason;
    }
};
/// Runs the plan. A live item that is a link keeps its link: what it leads to is backed up and
/// receives the snapshot's copy.
std::optional<RestoreFailure> restore(SnapshotFiles& files, RestorePlan plan);

/// A folder where a store's work may leave something behind when it is cut off, and the name
/// prefixes of the backup folders it holds.
struct LeftoverPlace {
    QString folder;
    QStringList backupPrefixes;
};

/// What became of a restore that had been cut off.
struct RecoveredRestore {
    QString what;
    QString label;
    bool finished = false;   // the snapshot is in place; else the previous preferences are back
    QString backupFolder;    // where the previous preferences are, when they are not in place
    QStringList notes;       // sentences about the items that could not go where they belong
    bool unreadable = false; // the record could not be read; nothing was moved
};
/// Finishes each restore whose record lies in `places`, or undoes it when it cannot be
/// finished, and removes its record and staging folder.
std::vector<RecoveredRestore> recoverRestores(SnapshotFiles& files, const std::vector<LeftoverPlace>& places);
/// Removes what cut-off work left in `places`: staging folders and files no pending record
/// needs, and empty backup folders.
void sweepLeftovers(SnapshotFiles& files, const std::vector<LeftoverPlace>& places);

} // namespace SnapshotCore
