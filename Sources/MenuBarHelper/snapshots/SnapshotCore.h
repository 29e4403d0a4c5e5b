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

/// Puts each done move back on its own, last first: one whose place is taken, or that fails,
/// stays where it went. Returns the moves that stayed.
std::vector<Move> moveBack(SnapshotFiles& files, const std::vector<Move>& done);
/// A sentence naming what stayed in the backup: "“a” and “b” are still in “<folder>”." when the
/// moves went into `folder`, else where each one went; empty when nothing stayed.
QString stillInBackup(const std::vector<Move>& stayed, const QString& folder);
/// `reason`, followed by stillInBackup() when something stayed.
QString withLeftovers(const QString& reason, const std::vector<Move>& stayed, const QString& folder);

/// Copies `source` whole to `destination` through a hidden staging copy beside it, renamed
/// into place only when complete; never replaces an existing entry.
QString buildCopy(SnapshotFiles& files, const QString& destination, const QString& source);

/// Moves each entry into `folder`, which is created first when missing; when one move fails,
/// the earlier ones go back (moveBack()) and the folder is removed again if it was made and is
/// empty. The reason names what stayed in the folder.
QString moveIntoFolder(SnapshotFiles& files, const QString& folder, const std::vector<Move>& moves);

struct StagedCopy {
    QString source;   // the entry to copy
    QString relative; // where it goes inside the staging folder, e.g. "ARM64/Vstplugins.settings"
};
/// Copies each entry into `staging`, making the folders the relative paths need.
QString copyInto(SnapshotFiles& files, const QString& staging, const std::vector<StagedCopy>& copies);

/// Builds a new folder at `destination` from `copies` inside a hidden staging folder beside it
/// and renames it into place only when complete. An existing folder at `destination` makes it
/// fail, or, with `replaceExisting`, is swapped out in one step for the new one and removed, so
/// that no half-built snapshot is ever in place.
QString buildFolder(SnapshotFiles& files, const QString& destination, const std::vector<StagedCopy>& copies,
                    bool replaceExisting = false);

} // namespace SnapshotCore

namespace SnapshotCore {
/// The description of a store error whose case sits at `caseIndex` in the common order
/// (snapshotFailed, restoreFailed, resetFailed, not found, file manager); the not-found case
/// is described by its store.
QString errorDescription(int caseIndex, const QString& message);
} // namespace SnapshotCore
