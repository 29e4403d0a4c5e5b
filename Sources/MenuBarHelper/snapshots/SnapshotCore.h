#pragma once

#include "MenuBarHelper/snapshots/SnapshotFiles.h"
#include "Platform/Clock.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

/// One snapshot folder as the stores list it.
struct PrefsSnapshot {
    QString id;     // the folder's name, unique within its root
    QString label;  // the cleaned label, or "Snapshot" when the name carries none
    QDateTime date; // when it was taken
    QUrl url;       // the folder
    qint64 sizeBytes = 0;

    QString path() const { return url.toLocalFile(); }
};

/// A value or the error that took its place.
template <typename T, typename E>
class PrefsResult {
public:
    PrefsResult(T value) : m_state(std::move(value)) {}
    PrefsResult(E error) : m_state(std::move(error)) {}
    bool ok() const { return std::holds_alternative<T>(m_state); }
    const T& value() const { return std::get<T>(m_state); }
    const E& error() const { return std::get<E>(m_state); }

private:
    std::variant<T, E> m_state;
};

/// What the three preference stores share: names, listing, sizes and the staged file work
/// that keeps live preferences whole when something fails.
namespace SnapshotCore {

inline const QString kDefaultLabel = QStringLiteral("Snapshot");
inline const QString kBeforeResetLabel = QStringLiteral("Before Reset");
inline const QString kEmptySnapshotText = QStringLiteral("Snapshot folder is empty or unreadable.");
inline const QString kLabelTooLongText = QStringLiteral("The label is too long.");

/// "yyyy-MM-dd_HHmmss" in local time, written with the C locale and the Gregorian calendar so
/// that a change of the user's locale or calendar never changes how names read.
QString timeText(const QDateTime& when);
/// The reverse of timeText(); none when the text is not a valid time.
std::optional<QDateTime> parseTimeText(const QString& text);
/// Trims white space and line breaks, then writes "/" and ":" as "-".
QString cleanLabel(const QString& label);
/// The time text alone, or the time text, "_" and the cleaned label.
QString folderName(const QString& timeText, const QString& cleanedLabel);

/// Splits `text` at `separator` at most `maxSplits` times; empty pieces are dropped and do not
/// count as splits, and the last piece is the rest of the text, separators included.
QStringList splitPieces(const QString& text, QChar separator, int maxSplits);

struct NameParts {
    QString timeText;
    QString label; // empty when the name carries none
};
/// Splits a folder name at "_" into the time text and the label; none when it has fewer than
/// two pieces or its time does not parse.
std::optional<NameParts> splitFolderName(const QString& name);

/// The total size of the files below `path`, hidden entries skipped; 0 when unreadable.
/// Folders themselves count 0, so a size reads the same on every file system.
qint64 directorySize(const QString& path);
/// "%.0f KB" below one MiB, else "%.1f MB".
QString formattedSize(qint64 bytes);

/// The snapshot folders of `root`, newest first (stable for equal times).
std::vector<PrefsSnapshot> listSnapshots(const QString& root);
/// The record of one snapshot folder named by folderName().
PrefsSnapshot recordFor(const QString& folder, const QString& cleanedLabel, const QDateTime& date);

/// The names of the visible entries of `folder`; none when it cannot be read.
std::optional<std::vector<QString>> visibleEntries(const QString& folder);

struct Move {
    QString from;
    QString to;
};
/// Moves each entry in order; when one fails, moves the earlier ones back. Returns the reason.
QString moveAllOrNone(SnapshotFiles& files, const std::vector<Move>& moves);

/// Copies `source` whole to `destination` through a hidden staging copy beside it, renamed
/// into place only when complete; never replaces an existing entry.
QString buildCopy(SnapshotFiles& files, const QString& destination, const QString& source);

/// moveAllOrNone() into `folder`, which is created first when missing (and removed again when
/// the moves fail); an empty `folder` creates nothing.
QString moveIntoFolder(SnapshotFiles& files, const QString& folder, const std::vector<Move>& moves);

struct StagedCopy {
    QString source;   // the entry to copy
    QString relative; // where it goes inside the staging folder, e.g. "ARM64/Vstplugins.settings"
};
/// Builds a new folder at `destination` from `copies` inside a hidden staging folder beside
/// it and renames it into place only when complete; never replaces an existing folder.
QString buildFolder(SnapshotFiles& files, const QString& destination, const std::vector<StagedCopy>& copies);

/// Puts a snapshot in place of live items in steps that can all be undone: copy the snapshot
/// into a hidden staging folder beside the live items, move the live items to the backup,
/// rename the staged items in. Any failure after the first move puts everything back.
struct RestorePlan {
    QString stagingParent;          // the folder beside the live items that holds the staging folder
    std::vector<StagedCopy> copies; // snapshot entries into the staging folder
    QString backupFolder;           // created before the backups; empty when the moves need none
    std::vector<Move> backups;      // live item -> its place in the backup
    std::vector<Move> placements;   // from: a path relative to the staging folder; to: the live place
};
/// Adds to `plan` each entry of `names` that the snapshot folder's `subfolder` (empty: the folder
/// itself) holds, to be placed under the same relative path in `liveFolder`. Nothing else of the
/// snapshot ever lands.
void addKnownEntries(RestorePlan& plan, const QString& snapshotFolder, const QString& liveFolder,
                     const QStringList& names, const QString& subfolder = {});

struct RestoreFailure {
    enum class Step { staging, backup, placing };
    Step step;
    QString reason;

    /// The reason, after `backupPrefix` when the live items could not be moved aside.
    QString describe(const QString& backupPrefix) const
    {
        return step == Step::backup ? backupPrefix + reason : reason;
    }
};
std::optional<RestoreFailure> restore(SnapshotFiles& files, const RestorePlan& plan);

} // namespace SnapshotCore

namespace SnapshotCore {
/// The description of a store error whose case sits at `caseIndex` in the common order
/// (snapshotFailed, restoreFailed, resetFailed, not found, file manager); the not-found case
/// is described by its store.
QString errorDescription(int caseIndex, const QString& message);
} // namespace SnapshotCore

namespace SnapshotCore {
/// The clock of the platform services in force.
std::shared_ptr<const Clock> defaultClock();

template <typename Store>
std::shared_ptr<Store>& sharedSlot()
{
    static std::shared_ptr<Store> instance;
    return instance;
}

/// The process-wide store of a kind: an injected one, or one over the platform clock and the
/// real file work, made on first use.
template <typename Store>
Store& sharedStore()
{
    auto& slot = sharedSlot<Store>();
    if (!slot)
        slot = std::make_shared<Store>(defaultClock(), std::make_shared<SnapshotFiles>());
    return *slot;
}
} // namespace SnapshotCore

/// What every store shares: its clock and file work, and the process-wide `shared()` instance
/// that tests can replace.
template <typename Store, typename Snapshot, typename Error>
class SnapshotStore {
public:
    SnapshotStore(std::shared_ptr<const Clock> clock, std::shared_ptr<SnapshotFiles> fm)
        : m_clock(std::move(clock)), m_fm(std::move(fm))
    {
    }

    /// The process-wide store: an injected one, or one over the platform clock.
    static Store& shared() { return SnapshotCore::sharedStore<Store>(); }
    static void setShared(std::shared_ptr<Store> store) { SnapshotCore::sharedSlot<Store>() = std::move(store); }

    /// Removes the snapshot's folder; a failure is the file work's own, passed on.
    std::optional<Error> deleteSnapshot(const Snapshot& snapshot) const
    {
        if (QString reason = m_fm->removeItem(snapshot.path()); !reason.isEmpty())
            return Error{Error::Case::fileManager, reason};
        return std::nullopt;
    }

    static QString formattedSize(qint64 bytes) { return SnapshotCore::formattedSize(bytes); }

protected:
    /// Where a snapshot taken now goes: root/<time text>, with "_" and the cleaned label when it has one.
    QString newFolderPath(const QString& root, const QString& cleanedLabel) const
    {
        return root + u'/' + SnapshotCore::folderName(SnapshotCore::timeText(m_clock->now()), cleanedLabel);
    }

    std::shared_ptr<const Clock> m_clock;
    std::shared_ptr<SnapshotFiles> m_fm;
};
