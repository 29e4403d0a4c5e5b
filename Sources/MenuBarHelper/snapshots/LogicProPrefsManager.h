#pragma once

#include "MenuBarHelper/snapshots/SnapshotStore.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class Clock;
class SnapshotFiles;

using LogicProSnapshot = PrefsSnapshot;

/// How a Logic Pro store operation failed. `fileManager` passes a file-system failure on as it is.
struct LogicProPrefsError {
    enum class Case { snapshotFailed, restoreFailed, resetFailed, prefsNotFound, fileManager };
    Case kind = Case::prefsNotFound;
    QString message;

    QString errorDescription() const;
};

/// Snapshots of Logic Pro's preference files in "LogicProSnapshots" of the data folder.
/// Keeps no state: every call reads the disk anew.
class LogicProPrefsManager final : public SnapshotStore<LogicProPrefsManager, LogicProSnapshot, LogicProPrefsError> {
public:
    using SnapshotStore::SnapshotStore;

    /// True when a live item or the snapshot root exists.
    bool isLogicProInstalled() const;
    std::vector<LogicProSnapshot> listSnapshots() const;
    [[nodiscard]] PrefsResult<LogicProSnapshot, LogicProPrefsError> createSnapshot(const QString& label) const;
    [[nodiscard]] std::optional<LogicProPrefsError> restoreSnapshot(const LogicProSnapshot& snapshot) const;
    [[nodiscard]] std::optional<LogicProPrefsError> resetPreferences() const;

    /// The live items in their fixed order: "com.apple.logic10.plist", "com.apple.logic10",
    /// "com.apple.logic.pro.cs" in the user's preferences folder.
    static std::vector<QString> prefItems();
    static QString preferencesFolder();
    static QString snapshotRoot();
    /// Where cut-off work may have left staging copies, restore records and backup folders.
    std::vector<SnapshotCore::LeftoverPlace> leftoverPlaces() const;

private:
    std::vector<QString> presentItems() const;
};
