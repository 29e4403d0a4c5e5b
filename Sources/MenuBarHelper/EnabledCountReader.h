#pragma once

#include <QString>

#include <optional>

/// Counts the enabled rows of the main application's catalogue. Each read opens the
/// file read-only and closes it again, so the helper never holds it while the main
/// application writes.
namespace EnabledCountReader {

/// plugins.db in D.
QString databasePath();
/// The count; none when the file is missing or cannot be opened or queried
/// (0 is a real answer: every plug-in is disabled).
std::optional<qint64> read(const QString& path = databasePath());

} // namespace EnabledCountReader
