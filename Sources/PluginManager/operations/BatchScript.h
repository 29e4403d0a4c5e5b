#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

/// The generated shell script of a batch, its progress file and the delete command.
namespace BatchScript {

/// One planned move.
struct Move {
    QString source;
    QString destination;
};

/// "rackhand_batch_<U>.sh" and "rackhand_progress_<U>.txt" in the temporary folder.
QString scriptPath(const QUuid& id);
QString progressPath(const QUuid& id);

/// "#!/bin/sh", "n=0", then per move its mkdir/mv line and its counting line, joined
/// by line feeds with none after the last line.
QString scriptText(const QList<Move>& moves, const QString& progressFile);
/// "chmod +x 'Q' && 'Q'".
QString runCommand(const QString& scriptFile);
/// "rm -rf 'C'" per path, joined by " && ".
QString deleteCommand(const QStringList& paths);

/// The fraction done that a progress file's text stands for: the trimmed text must be
/// a decimal integer (optional sign); limited to 0..1. None for anything else or count 0.
std::optional<double> parseProgress(const QByteArray& content, qsizetype count);

/// Creates a new file readable and writable by the user alone (0600) holding `bytes`,
/// through a temporary name and a rename; an existing file at `path` is an error.
/// Returns an empty string on success, else the reason.
QString writePrivateFile(const QString& path, const QByteArray& bytes);

} // namespace BatchScript
