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

/// Writes a side file atomically. When `keepAsideFirst` is set (the file could not be
/// decoded when it was loaded), the existing file is first moved aside so the write
/// cannot lose it; if it cannot be moved, nothing is written. The flag is cleared once
/// the old file is out of the way. Diagnostics name the file; returns the reason of a
/// failure or an empty string.
QString writeSideFile(const QString& path, const QByteArray& bytes, bool& keepAsideFirst);
