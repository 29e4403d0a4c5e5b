#pragma once

#include <QList>
#include <QString>

#include <optional>

/// The moves of a batch, in D/batch_journal.json, written before any of them runs and removed
/// once the batch's outcome is recorded. A batch whose window died goes on without it (its
/// root script finishes); the next start reads this file, when that batch has ended, to log
/// the moves that were done, judged on disk as the window would have judged them.
namespace BatchJournal {

/// One planned move, and what stood at its source when it was planned.
struct Entry {
    QString name;
    QString format; // the format's raw value, as the activity log records it
    bool enable = false;
    QString source;
    QString destination;
    quint64 device = 0;
    quint64 inode = 0;
    quint32 type = 0; // the S_IFMT bits
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    bool crossDevice = false;

    bool operator==(const Entry&) const = default;
};

QString defaultPath();

/// Writes the entries in item order. Returns an empty string or the reason.
[[nodiscard]] QString write(const QString& path, const QList<Entry>& entries);
/// The entries of the file; none when there is no file. A damaged file gives an empty list:
/// it only serves the log, never a move.
std::optional<QList<Entry>> read(const QString& path);
/// Removes the file. Returns an empty string or the reason.
[[nodiscard]] QString remove(const QString& path);

} // namespace BatchJournal
