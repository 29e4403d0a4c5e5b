#pragma once

#include "MenuBarHelper/snapshots/SnapshotStore.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

class Clock;
class SnapshotFiles;

/// One installed Studio One or Studio Pro version: its preference folder.
struct StudioOneVersion {
    QString id;   // the preference folder's name, e.g. "Studio One 6"
    QString name; // the same name, shown to the user
    QUrl prefsURL;

    QString prefsPath() const { return prefsURL.toLocalFile(); }
};

struct StudioOneSnapshot : PrefsSnapshot {
    QString versionName; // the `id` of the version it belongs to
};

/// How a Studio One store operation failed. `fileManager` passes a file-system failure on as it is.
struct StudioOnePrefsError {
    enum class Case { snapshotFailed, restoreFailed, resetFailed, notFound, fileManager };
    Case kind = Case::notFound;
    QString message;

    QString errorDescription() const;
};

/// Snapshots of the settings files of every installed Studio One and Studio Pro version, in one
/// sub-folder per version of "StudioOneSnapshots" in the data folder. Keeps no state.
class StudioOnePrefsManager final
    : public SnapshotStore<StudioOnePrefsManager, StudioOneSnapshot, StudioOnePrefsError> {
public:
    using SnapshotStore::SnapshotStore;

    /// The settings items of a version's preference folder, in this order.
    static const QStringList& targetNames();
    /// The items of its architecture sub-folder.
    static const QStringList& arm64TargetNames();
    /// The architecture sub-folder's possible names; the first that exists is used.
    static const QStringList& arm64SubfolderNames();

    /// True when a version is installed or the snapshot root exists.
    bool isInstalled() const;
    /// The versions of the PreSonus and Fender folders, sorted by name.
    std::vector<StudioOneVersion> installedVersions() const;
    std::vector<StudioOneSnapshot> listSnapshots(const StudioOneVersion& version) const;
    [[nodiscard]] PrefsResult<StudioOneSnapshot, StudioOnePrefsError>
    createSnapshot(const QString& label, const StudioOneVersion& version) const;
    [[nodiscard]] std::optional<StudioOnePrefsError> restoreSnapshot(const StudioOneSnapshot& snapshot,
                                                                     const StudioOneVersion& version) const;
    [[nodiscard]] std::optional<StudioOnePrefsError> resetPreferences(const StudioOneVersion& version) const;

    static QString snapshotRoot();
    /// The folder that holds the snapshots of the version with this `id`.
    static QString snapshotFolder(const QString& versionId);
    /// Where cut-off work may have left staging copies, restore records and backup folders: every
    /// installed version's folder and every version's snapshot folder.
    std::vector<SnapshotCore::LeftoverPlace> leftoverPlaces() const;

private:
    struct Item {
        QString path;
        QString subfolder; // the architecture sub-folder it came from; empty for the top level
    };
    /// The present items of a version, top-level ones first.
    std::vector<Item> targetURLs(const StudioOneVersion& version) const;
    SnapshotCore::RestorePlan restorePlan(const QString& snapshotPath, const StudioOneVersion& version) const;
};
