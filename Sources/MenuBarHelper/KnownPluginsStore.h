#pragma once

#include <QSet>
#include <QString>

#include <optional>

/// menubar_known_plugins.json in D: a JSON array of the helper's plug-in keys found in
/// the active folders at the last scan.
namespace KnownPluginsStore {

inline constexpr char kFileName[] = "menubar_known_plugins.json";
/// Larger files are not a list this helper wrote.
inline constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

QString filePath();
/// The stored keys; none when there is no file or it cannot be read or decoded. An
/// unreadable or undecodable file is moved aside, so the next save cannot destroy it.
std::optional<QSet<QString>> load();
/// Writes the keys (sorted, compact) atomically; returns an empty string or the reason.
[[nodiscard]] QString save(const QSet<QString>& keys);

} // namespace KnownPluginsStore
