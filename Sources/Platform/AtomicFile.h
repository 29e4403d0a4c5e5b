#pragma once

#include <QByteArray>
#include <QString>

/// Writes a whole file through a temporary file and a rename (QSaveFile), so a
/// crash or a full disk leaves the old file whole. Missing parent folders are created.
/// Returns an empty string on success, else a readable reason.
QString writeFileAtomically(const QString& path, const QByteArray& bytes);

/// Moves an existing file that could not be decoded aside, to
/// "<path>.unreadable-<yyyyMMdd-HHmmss>", so the next save cannot overwrite it.
/// Returns the new path, or an empty string when nothing was moved.
QString keepUnreadableFileAside(const QString& path);
