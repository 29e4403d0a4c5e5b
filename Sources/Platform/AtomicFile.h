#pragma once

#include <QByteArray>
#include <QString>

/// What reading a small side file found.
struct SmallFileRead {
    enum class State { missing, read, unreadable };
    State state = State::missing;
    QByteArray bytes;
    /// Why an existing file could not be read (not a regular file, too large, an open error).
    QString reason;
    /// Unreadable because it exceeds the size limit.
    bool tooLarge = false;
};

/// Reads a whole side file of at most `maxBytes` bytes. Only regular files are opened
/// (a FIFO or a folder at the path is unreadable, never a blocking open); a larger
/// file is unreadable, not truncated.
[[nodiscard]] SmallFileRead readSmallFile(const QString& path, qint64 maxBytes);

/// Writes a whole file through a temporary file and a rename (QSaveFile), so a
/// crash or a full disk leaves the old file whole. Missing parent folders are created.
/// Returns an empty string on success, else a readable reason.
[[nodiscard]] QString writeFileAtomically(const QString& path, const QByteArray& bytes);

/// Moves an existing file that could not be decoded aside, to
/// "<path>.unreadable-<yyyyMMdd-HHmmss>", so the next save cannot overwrite it.
/// Returns the new path, or an empty string when nothing was moved.
QString keepUnreadableFileAside(const QString& path);

/// What writeSideFile did.
struct SideFileWrite {
    /// Empty on success, else why the file was not written.
    QString failure;
    /// The file that could not be decoded could not be moved aside either: it is still at
    /// the path, nothing was written, and the next write must try to move it again.
    bool unreadableFileStays = false;
    bool succeeded() const { return failure.isEmpty(); }
};

/// Writes a side file atomically. When `keepAsideFirst` is set (the file could not be
/// decoded when it was loaded), the existing file is first moved aside so the write
/// cannot lose it; if it cannot be moved, nothing is written. Diagnostics name the file.
[[nodiscard]] SideFileWrite writeSideFile(const QString& path, const QByteArray& bytes, bool keepAsideFirst);
