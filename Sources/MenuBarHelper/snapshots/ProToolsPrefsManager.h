#pragma once

#include "MenuBarHelper/snapshots/SnapshotStore.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class Clock;
class SnapshotFiles;

using ProToolsSnapshot = PrefsSnapshot;

/// How a Pro Tools store operation failed. `fileManager` passes a file-system failure on as it is.
struct ProToolsPrefsError {
    enum class Case { snapshotFailed, restoreFailed, resetFailed, prefsNotFound, fileManager };
    Case kind = Case::prefsNotFound;
    QString message;

    QString errorDescription() const;
};

/// Snapshots of Pro Tools' preferences folder, always handled whole, in "ProToolsSnapshots"
/// of the data folder. Keeps no state: every call reads the disk anew.
class ProToolsPrefsManager final : public SnapshotStore<ProToolsPrefsManager, ProToolsSnapshot, ProToolsPrefsError> {
public:
    using SnapshotStore::SnapshotStore;

    /// True when the live folder or the snapshot root exists.
    bool isProToolsInstalled() const;
    std::vector<ProToolsSnapshot> listSnapshots() const;
    [[nodiscard]] PrefsResult<ProToolsSnapshot, ProToolsPrefsError> createSnapshot(const QString& label) const;
    [[nodiscard]] std::optional<ProToolsPrefsError> restoreSnapshot(const ProToolsSnapshot& snapshot) const;
    [[nodiscard]] std::optional<ProToolsPrefsError> resetPreferences() const;

    /// "Library/Preferences/Avid/Pro Tools" in the user's home folder.
    static QString preferencesFolder();
    static QString snapshotRoot();
    /// Where cut-off work may have left staging copies and restore records.
    std::vector<SnapshotCore::LeftoverPlace> leftoverPlaces() const;
};
