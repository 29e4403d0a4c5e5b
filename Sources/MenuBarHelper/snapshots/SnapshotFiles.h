#pragma once

#include <QString>

/// The file work of the snapshot stores. Every operation returns an empty text on success
/// and a readable reason on failure. Nothing here ever overwrites or replaces an existing
/// entry, so a preference file can only be lost by an explicit removeItem().
/// Tests derive from it to make one step fail.
class SnapshotFiles {
public:
    SnapshotFiles() = default;
    virtual ~SnapshotFiles() = default;
    SnapshotFiles(const SnapshotFiles&) = delete;
    SnapshotFiles& operator=(const SnapshotFiles&) = delete;

    /// Copies a file, a symbolic link or a whole folder to `to`, which must not exist yet.
    /// A partly written copy is removed again. FIFOs, sockets and devices are refused.
    virtual QString copyItem(const QString& from, const QString& to);
    /// Renames within one file system; fails when `to` exists, even as an empty folder.
    virtual QString moveItem(const QString& from, const QString& to);
    /// Removes a file, a link or a folder with everything in it.
    virtual QString removeItem(const QString& path);
    /// Creates a folder with its missing parents; an existing folder is fine.
    virtual QString makePath(const QString& path);

    /// True when anything, a dangling link included, stands at `path`.
    static bool exists(const QString& path);
    /// The name after the last slash.
    static QString fileName(const QString& path);
    /// The path without its last component.
    static QString parentPath(const QString& path);
};
