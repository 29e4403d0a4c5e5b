#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

/// The file work of the snapshot stores. Every operation returns an empty text on success
/// and a readable reason on failure. Nothing here ever overwrites or replaces an existing
/// entry, so a preference file can only be lost by an explicit removeItem().
/// Names are handled as the raw bytes the file system holds, so a name in any encoding is
/// listed, copied and removed like any other. Every change to the disk goes through one of the
/// virtual members, so tests can make any step fail or stop there.
class SnapshotFiles {
public:
    SnapshotFiles() = default;
    virtual ~SnapshotFiles() = default;
    SnapshotFiles(const SnapshotFiles&) = delete;
    SnapshotFiles& operator=(const SnapshotFiles&) = delete;

    /// Copies a file or a whole folder to `to`, which must not exist yet; a link at `from` is
    /// followed, links met inside a folder are copied as links. Modes and times are kept, each
    /// folder's after it has been filled. A partly written copy is removed again. FIFOs, sockets
    /// and devices are refused.
    virtual QString copyItem(const QString& from, const QString& to);
    /// Renames within one file system; fails when `to` exists, even as an empty folder.
    virtual QString moveItem(const QString& from, const QString& to);
    /// Swaps two existing entries in one step.
    virtual QString exchangeItems(const QString& first, const QString& second);
    /// Removes a file, a link or a folder with everything in it (read-only folders included).
    virtual QString removeItem(const QString& path);
    /// Removes a folder only when it is empty.
    virtual QString removeEmptyFolder(const QString& path);
    /// Creates a folder with its missing parents; an existing folder is fine.
    virtual QString makePath(const QString& path);
    /// Writes a new file whole or not at all: through a hidden file beside it that is renamed
    /// into place. Fails when `path` exists.
    virtual QString writeFile(const QString& path, const QByteArray& bytes);

    /// True when anything, a dangling link included, stands at `path`.
    static bool exists(const QString& path);
    static bool isLink(const QString& path);
    static bool isFolder(const QString& path); // a link to a folder counts
    /// The names in `folder` as the file system holds them, hidden ones included; none when it
    /// cannot be read.
    static std::optional<std::vector<QByteArray>> rawEntries(const QString& folder);
    /// The total size of the files below `folder` (hidden entries and their contents skipped,
    /// links counted as themselves, folders as 0); 0 when it cannot be read.
    static qint64 totalSize(const QString& folder);
    /// The name after the last slash.
    static QString fileName(const QString& path);
    /// The path without its last component.
    static QString parentPath(const QString& path);

    /// A new hidden, unique name for something being built.
    static QString stagingName();
    /// Whether a name is one of the stores' own hidden ones (staging copies, restore records).
    static bool isInternalName(const QString& name);
    /// "Could not <what> “<name>”: <reason of error>", the name being the user's own: a
    /// staging entry is described by the folder it is in.
    static QString failureText(const QString& what, const QString& path, int error);
};
