#pragma once

#include "Platform/PlatformServices.h"
#include "Platform/PrivilegedRunner.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginModels.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ActivityLogManager;
class PluginDatabase;
class ProgressWindowManager;

/// What one switch, batch or delete did. The plug-ins are the records as they were
/// before the operation.
struct MoveOutcome {
    /// A plug-in that was not changed, and why.
    struct Failure {
        AudioPlugin plugin;
        QString reason;
    };

    QList<AudioPlugin> enabled;
    QList<AudioPlugin> disabled;
    QList<AudioPlugin> deleted;
    QList<Failure> notChanged;
    /// What the user is told; none when everything asked for was done.
    std::optional<PluginError> error;
    /// The catalogue may have changed: the view reloads it.
    bool reload = false;
    /// The catalogue no longer matches the disk (a record that could not be written, a
    /// bundle deleted part-way): only a scan shows the disk's truth.
    bool rescan = false;

    bool anyChanged() const { return !enabled.isEmpty() || !disabled.isEmpty() || !deleted.isEmpty(); }
};

/// Moves and deletes plug-in bundles: plans each move in the disabled-folder layout,
/// runs it (plainly or through the privileged runner, many moves as one script), checks
/// every item on disk, and then records what happened in the catalogue, the origins file
/// and the activity log, and shows large batches on the progress panel. Everything it works
/// on is handed in; it keeps no state between calls (each reads the origins file anew).
class PluginMover final {
public:
    PluginMover(PluginDatabase& database, ActivityLogManager& activityLog, ProgressWindowManager& progress,
                PlatformServices services, QString originsPath);

    /// One plug-in to the opposite state.
    [[nodiscard]] MoveOutcome switchOne(const AudioPlugin& plugin) const;
    /// Every plug-in to the opposite of its recorded state, with one privileged run.
    [[nodiscard]] MoveOutcome switchMany(const QList<AudioPlugin>& plugins) const;
    /// Removes the bundles with one privileged run.
    [[nodiscard]] MoveOutcome remove(const QList<AudioPlugin>& plugins) const;
    /// Starts each Waves AU Reg Utility found in the Waves folder (PluginFolderTable).
    void runWavesAURegUtilities() const;

    /// The user's error for a privileged run that failed: a runner that could not start
    /// gives `cannotStartText`; only a refused or cancelled prompt is a permission problem.
    static PluginError errorFromRunner(const PrivilegedRunner::Result& result, const QString& cannotStartText);
    /// Removes batch scripts and progress files that no running batch holds (left by a
    /// run whose program died). A script that still runs (after the program that started it
    /// died, say) holds a lock on itself: its files stay, and true is returned.
    static bool removeStaleBatchFiles();
    /// True while a batch script runs that holds its lock.
    static bool earlierBatchRunning();
    /// Removes what moves killed part-way left under their hidden staging names.
    static void removeStagingLeftovers();

    /// The progress panel's title while an earlier batch still runs.
    static QString earlierBatchLabel();
    /// Shows an earlier batch that still runs on the progress panel, with its moves and how
    /// many of them are done; showEarlierBatchProgress() updates the count, hideEarlierBatch()
    /// closes the panel.
    void showEarlierBatch() const;
    void showEarlierBatchProgress() const;
    void hideEarlierBatch() const;
    /// Records a batch whose window died before it did (its journal is left): the moves that
    /// the disk shows done are written to the activity log as the batch would have written
    /// them, their origin records are settled, and the journal is removed. Call only when no
    /// batch runs. The error says what could not be saved.
    [[nodiscard]] std::optional<PluginError> recordEndedBatch() const;

    /// How a move with the user's own rights is made; by default DisabledLayout::moveItem. A
    /// batch runs it on a worker thread. Tests replace it (to hold a move, say).
    using PlainMove = std::function<QString(const DisabledLayout::MovePaths&)>;
    void setPlainMove(PlainMove move) { m_plainMove = std::move(move); }

private:
    PrivilegedRunner::Result runPrivileged(const QString& command) const;

    PluginDatabase& m_database;
    ActivityLogManager& m_activityLog;
    ProgressWindowManager& m_progress;
    PlatformServices m_services;
    QString m_originsPath;
    PlainMove m_plainMove;
};
