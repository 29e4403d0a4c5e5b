#pragma once

#include "catalogue/DisabledLayout.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

/// The generated shell script of a batch, its progress file and the delete command.
namespace BatchScript {

/// One planned move.
using Move = DisabledLayout::MovePaths;

/// "rackhand_batch_<U>.sh" and "rackhand_progress_<U>.txt" in the temporary folder.
QString scriptPath(const QUuid& id);
QString progressPath(const QUuid& id);

/// "#!/bin/sh", "n=0", the line that makes the running script hold a shared lock on
/// its own file (so a later start-up sees a live batch even after this program died) and
/// go on when no one reads its standard error any more,
/// then per move its mkdir/mv line, ending in a marker on standard error when it fails
/// ("rackhand: item <n> failed"), and its counting line (whose errors are silenced:
/// progress is cosmetic), joined by line feeds with none after the last line.
QString scriptText(const QList<Move>& moves, const QString& progressFile);
/// "/bin/sh 'Q'": read by the shell, so a temporary folder mounted noexec does not matter.
QString runCommand(const QString& scriptFile);
/// Each failed move's own lines of a script's standard error, by move index (from 0):
/// the lines written since the previous marker.
QHash<qsizetype, QString> errorsByMove(const QString& standardError);
/// Standard error without the markers.
QString withoutMarkers(const QString& standardError);
/// Why a folder is no place for a script that root will run: empty when only its owner
/// (this user or root) can replace what is in it, else the reason.
QString unsafeFolderReason(const QString& folder);
/// "rm -rf 'C'" per path, joined by " && ".
QString deleteCommand(const QStringList& paths);

/// At most `maxLines` lines and `maxCharacters` characters of a message, marked when cut.
QString capped(const QString& text, qsizetype maxLines, qsizetype maxCharacters);

/// The fraction done that a progress file's text stands for: the trimmed text must be
/// a decimal integer (optional sign); limited to 0..1. None for anything else or count 0.
std::optional<double> parseProgress(const QByteArray& content, qsizetype count);

/// Creates a new file readable and writable by the user alone (0600) holding `bytes`,
/// through a temporary name and a rename; an existing file at `path` is an error.
/// Returns an empty string on success, else the reason.
[[nodiscard]] QString writePrivateFile(const QString& path, const QByteArray& bytes);

} // namespace BatchScript
