#include "PluginMover.h"

#include "BatchScript.h"
#include "DisabledLayout.h"
#include "DisabledOrigins.h"
#include "ProgressWindowManager.h"

#include "ActivityLogManager.h"
#include "PluginDatabase.h"

#include "Platform/Paths.h"
#include "Platform/ProcessLauncher.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUuid>

#include <utility>

namespace {

constexpr int kProgressPollMs = 80;
constexpr qsizetype kPanelThreshold = 51;
constexpr qsizetype kMaxNamedFailures = 20;

using Failure = MoveOutcome::Failure;

/// One planned bundle move of a batch.
struct PlannedMove {
    AudioPlugin plugin;
    QString source;
    QString destination;
};

QString describePlugin(const AudioPlugin& plugin)
{
    return QStringLiteral("\"%1\" (%2)").arg(plugin.name, PluginFormats::rawValue(plugin.format));
}

// Absolute, without "." or ".." steps and not the root itself: the only kind of path
// that is ever handed to a root shell.
bool isCleanAbsolutePath(const QString& path)
{
    return path.startsWith(u'/') && path.size() > 1 && QDir::cleanPath(path) == path;
}

// A catalogued bundle path: clean, absolute and carrying its format's bundle extension.
bool isBundlePath(const AudioPlugin& plugin)
{
    if (!isCleanAbsolutePath(plugin.currentPath))
        return false;
    const QString extension = DisabledLayout::splitFileName(DisabledLayout::fileName(plugin.currentPath)).extension;
    return PluginFormats::fileExtensions(plugin.format).contains(extension);
}

QList<std::pair<QString, QString>> logPairs(const QList<AudioPlugin>& plugins)
{
    QList<std::pair<QString, QString>> pairs;
    pairs.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins)
        pairs.append({plugin.name, PluginFormats::rawValue(plugin.format)});
    return pairs;
}

// A moved bundle: something sits at the destination and nothing at the source any more.
bool verifyMoved(const QString& source, const QString& destination)
{
    return DisabledLayout::pathExists(destination) && !DisabledLayout::pathExists(source);
}

QString describeFailures(const QList<Failure>& failures, qsizetype total)
{
    if (failures.size() == 1 && total <= 1)
        return QStringLiteral("%1 was not changed: %2").arg(describePlugin(failures.first().plugin),
                                                             failures.first().reason);
    QStringList lines;
    lines.append(QStringLiteral("%1 of %2 plug-ins were not changed:").arg(failures.size()).arg(total));
    for (qsizetype i = 0; i < failures.size() && i < kMaxNamedFailures; ++i)
        lines.append(describePlugin(failures[i].plugin) + QStringLiteral(": ") + failures[i].reason);
    if (failures.size() > kMaxNamedFailures)
        lines.append(QStringLiteral("…and %1 more").arg(failures.size() - kMaxNamedFailures));
    return lines.join(u'\n');
}

// The run's own error, with the items named when the outcome was mixed or some were
// refused before the run; after a refused prompt alone nothing moved, as expected.
void publishFailures(MoveOutcome& outcome, std::optional<PluginError> runError, qsizetype refusedBeforeRun,
                     qsizetype total)
{
    if (runError) {
        if ((outcome.anyChanged() || refusedBeforeRun > 0) && !outcome.notChanged.isEmpty())
            runError->detail += QStringLiteral("\n\n") + describeFailures(outcome.notChanged, total);
        outcome.error = std::move(runError);
    } else if (!outcome.notChanged.isEmpty()) {
        outcome.error = PluginError::unknownError(describeFailures(outcome.notChanged, total));
    }
}

QString panelLabel(const QList<AudioPlugin>& plugins)
{
    const qsizetype total = plugins.size();
    qsizetype toEnable = 0;
    for (const AudioPlugin& plugin : plugins)
        toEnable += plugin.isEnabled ? 0 : 1;
    const qsizetype toDisable = total - toEnable;
    if (toEnable > 0 && toDisable > 0)
        return QStringLiteral("Applying changes to %1 plugins…").arg(total);
    if (toEnable > 0)
        return QStringLiteral("Enabling %1 plugins…").arg(toEnable);
    return QStringLiteral("Disabling %1 plugins…").arg(toDisable);
}

/// Every move of a batch, planned against the disk and against each other.
struct BatchPlan {
    QList<PlannedMove> moves;
    QList<Failure> refused;
};

// Destinations planned earlier in this batch count as taken, and anything that cannot
// move safely is left out of the script and reported.
BatchPlan planBatch(const QList<AudioPlugin>& plugins)
{
    BatchPlan plan;
    QSet<QString> reserved;
    QSet<QString> sources;
    plan.moves.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins) {
        const QString source = plugin.currentPath;
        QString problem;
        QString destination;
        if (!isCleanAbsolutePath(source))
            problem = QStringLiteral("its path is not usable: %1").arg(source);
        else if (sources.contains(source))
            problem = QStringLiteral("listed more than once");
        else if (!DisabledLayout::pathExists(source))
            problem = QStringLiteral("not found at %1").arg(source);
        else if (plugin.isEnabled)
            destination = DisabledLayout::disableDestination(plugin, &reserved);
        else if (DisabledLayout::pathExists(plugin.originalPath) || reserved.contains(plugin.originalPath))
            problem = QStringLiteral("an item already exists at %1").arg(plugin.originalPath);
        else
            reserved.insert(destination = plugin.originalPath);
        if (problem.isEmpty() && !isCleanAbsolutePath(destination))
            problem = QStringLiteral("its destination is not usable: %1").arg(destination);
        if (!problem.isEmpty()) {
            plan.refused.append({plugin, problem});
            continue;
        }
        sources.insert(source);
        plan.moves.append({plugin, source, destination});
    }
    return plan;
}

} // namespace

PluginMover::PluginMover(PluginDatabase& database, ActivityLogManager& activityLog, PlatformServices services)
    : m_database(database), m_activityLog(activityLog), m_services(std::move(services))
{
}

PluginError PluginMover::errorFromRunner(const PrivilegedRunner::Result& result, const QString& cannotStartText)
{
    if (!result.started)
        return PluginError::unknownError(cannotStartText);
    return PluginError::permissionDenied(result.errorMessage.isEmpty() ? QStringLiteral("AppleScript error")
                                                                       : result.errorMessage);
}

PrivilegedRunner::Result PluginMover::runPrivileged(const QString& command) const
{
    return m_services.privilegedRunner ? m_services.privilegedRunner->run(command) : PrivilegedRunner::Result{};
}

// --- One plug-in ---

MoveOutcome PluginMover::switchOne(const AudioPlugin& plugin) const
{
    MoveOutcome outcome;
    const bool disable = plugin.isEnabled;
    const QString source = plugin.currentPath;
    const QString destination = disable ? DisabledLayout::disableDestination(plugin) : plugin.originalPath;
    if (!isCleanAbsolutePath(source)) {
        outcome.error = PluginError::invalidPath(source);
    } else if (!DisabledLayout::pathExists(source)) {
        outcome.error = PluginError::fileNotFound(source);
    } else if (!isCleanAbsolutePath(destination)) {
        outcome.error = PluginError::invalidPath(destination);
    } else if (!disable && DisabledLayout::pathExists(destination)) {
        // Moving onto an occupant would nest the bundle inside it (or, plainly, replace it).
        outcome.error = PluginError::invalidPath(
            QStringLiteral("an item already exists at %1, so %2 was not enabled and nothing was changed")
                .arg(destination, describePlugin(plugin)));
    }
    if (outcome.error)
        return outcome;

    const DisabledLayout::Road road = DisabledLayout::roadFor(plugin);
    std::optional<PluginError> runError;
    if (road.privileged) {
        const PrivilegedRunner::Result result =
            runPrivileged(DisabledLayout::privilegedMoveCommand(source, destination, disable, road.clearAUCache));
        if (!result.succeeded)
            runError = errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
    } else {
        const QString reason = DisabledLayout::moveItem(source, destination);
        if (!reason.isEmpty())
            runError = PluginError::unknownError(reason);
    }

    // The command's exit status is not proof (the cache purge ends in "; true"): the disk is.
    if (!verifyMoved(source, destination)) {
        outcome.error = runError ? *runError
                                 : PluginError::unknownError(QStringLiteral("%1 was not moved: it is still at %2")
                                                                 .arg(describePlugin(plugin), source));
        return outcome;
    }

    AudioPlugin updated = plugin;
    updated.currentPath = destination;
    updated.isEnabled = !disable;
    m_database.updatePlugin(updated);
    DisabledOrigins origins;
    if (disable)
        origins.record(destination, plugin.originalPath);
    else
        origins.forget(source);
    origins.saveIfChanged();
    (disable ? outcome.disabled : outcome.enabled).append(plugin);
    outcome.reload = true;
    m_activityLog.log(plugin.name, PluginFormats::rawValue(plugin.format),
                      disable ? ActivityLogEntry::Action::disabled : ActivityLogEntry::Action::enabled);
    if (plugin.format == PluginFormat::wavesBundle && !disable)
        runWavesAURegUtilities();
    return outcome;
}

// --- Many plug-ins ---

namespace {

// Runs the batch script with the progress file polled every 80 ms; the error of the run, if any.
std::optional<PluginError> runBatchScript(const QList<PlannedMove>& moves,
                                          const std::function<PrivilegedRunner::Result(const QString&)>& run)
{
    const QUuid runId = QUuid::createUuid();
    const QString scriptFile = BatchScript::scriptPath(runId);
    const QString progressFile = BatchScript::progressPath(runId);
    QList<BatchScript::Move> scriptMoves;
    scriptMoves.reserve(moves.size());
    for (const PlannedMove& move : moves)
        scriptMoves.append({move.source, move.destination});

    std::optional<PluginError> runError;
    QString writeError = BatchScript::writePrivateFile(progressFile, QByteArrayLiteral("0"));
    if (writeError.isEmpty())
        writeError =
            BatchScript::writePrivateFile(scriptFile, BatchScript::scriptText(scriptMoves, progressFile).toUtf8());
    if (!writeError.isEmpty()) {
        runError = PluginError::unknownError(writeError);
    } else {
        QTimer poll;
        poll.setInterval(kProgressPollMs);
        const qsizetype count = moves.size();
        QObject::connect(&poll, &QTimer::timeout, &poll, [progressFile, count] {
            QFile file(progressFile);
            if (!file.open(QIODevice::ReadOnly))
                return;
            if (const std::optional<double> fraction = BatchScript::parseProgress(file.read(64), count))
                ProgressWindowManager::shared().hudModel()->setProgress(*fraction);
        });
        poll.start();
        const PrivilegedRunner::Result result = run(BatchScript::runCommand(scriptFile));
        poll.stop();
        if (!result.succeeded)
            runError = PluginMover::errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
    }
    QFile::remove(scriptFile);
    QFile::remove(progressFile);
    return runError;
}

} // namespace

MoveOutcome PluginMover::switchMany(const QList<AudioPlugin>& plugins) const
{
    const qsizetype total = plugins.size();
    const bool showPanel = total >= kPanelThreshold;
    if (showPanel)
        ProgressWindowManager::shared().show(panelLabel(plugins), static_cast<int>(total));

    const BatchPlan plan = planBatch(plugins);
    MoveOutcome outcome;
    outcome.notChanged = plan.refused;
    std::optional<PluginError> runError;
    // An empty request still runs its (two-line) script; a request whose every item was
    // refused asks for no password at all.
    if (!plan.moves.isEmpty() || total == 0)
        runError = runBatchScript(plan.moves, [this](const QString& command) { return runPrivileged(command); });

    // A failing mv inside the script does not fail the run: each item is judged on disk.
    DisabledOrigins origins;
    for (const PlannedMove& move : plan.moves) {
        if (!verifyMoved(move.source, move.destination)) {
            outcome.notChanged.append({move.plugin, QStringLiteral("not moved; it is still at %1").arg(move.source)});
            continue;
        }
        AudioPlugin updated = move.plugin;
        updated.currentPath = move.destination;
        updated.isEnabled = !move.plugin.isEnabled;
        m_database.updatePlugin(updated);
        if (move.plugin.isEnabled) {
            origins.record(move.destination, move.plugin.originalPath);
            outcome.disabled.append(move.plugin);
        } else {
            origins.forget(move.source);
            outcome.enabled.append(move.plugin);
        }
    }
    origins.saveIfChanged();

    outcome.reload = outcome.anyChanged() || (!runError && outcome.notChanged.isEmpty());
    // The log follows the input order: first every enabled plug-in, then every disabled one.
    if (!outcome.enabled.isEmpty())
        m_activityLog.logBatch(logPairs(outcome.enabled), ActivityLogEntry::Action::enabled);
    if (!outcome.disabled.isEmpty())
        m_activityLog.logBatch(logPairs(outcome.disabled), ActivityLogEntry::Action::disabled);
    if (std::any_of(outcome.enabled.cbegin(), outcome.enabled.cend(),
                    [](const AudioPlugin& plugin) { return plugin.format == PluginFormat::wavesBundle; }))
        runWavesAURegUtilities();
    if (showPanel)
        ProgressWindowManager::shared().hide();
    publishFailures(outcome, std::move(runError), plan.refused.size(), total);
    return outcome;
}

// --- Delete ---

MoveOutcome PluginMover::remove(const QList<AudioPlugin>& plugins) const
{
    MoveOutcome outcome;
    QList<AudioPlugin> targets;
    QStringList paths;
    for (const AudioPlugin& plugin : plugins) {
        // rm -rf runs as root: only a clean path of a bundle of the plug-in's own format.
        if (!isBundlePath(plugin)) {
            outcome.notChanged.append(
                {plugin, QStringLiteral("its path is not a plug-in bundle: %1").arg(plugin.currentPath)});
            continue;
        }
        targets.append(plugin);
        paths.append(plugin.currentPath);
    }

    const qsizetype refusedBeforeRun = outcome.notChanged.size();
    std::optional<PluginError> runError;
    if (!targets.isEmpty() || plugins.isEmpty()) {
        const PrivilegedRunner::Result result = runPrivileged(BatchScript::deleteCommand(paths));
        if (!result.succeeded)
            runError = errorFromRunner(result, QStringLiteral("Failed to delete plugins"));
    }

    DisabledOrigins origins;
    for (const AudioPlugin& plugin : std::as_const(targets)) {
        if (DisabledLayout::pathExists(plugin.currentPath)) {
            outcome.notChanged.append({plugin, QStringLiteral("still present at %1").arg(plugin.currentPath)});
            continue;
        }
        m_database.deletePlugin(plugin.id);
        origins.forget(plugin.currentPath);
        outcome.deleted.append(plugin);
    }
    origins.saveIfChanged();

    // An empty request refreshes and logs (an empty batch) only when its run succeeded.
    outcome.reload = !outcome.deleted.isEmpty() || (plugins.isEmpty() && !runError);
    if (outcome.reload)
        m_activityLog.logBatch(logPairs(outcome.deleted), ActivityLogEntry::Action::deleted);
    publishFailures(outcome, std::move(runError), refusedBeforeRun, plugins.size());
    return outcome;
}

void PluginMover::runWavesAURegUtilities() const
{
    if (!m_services.processLauncher)
        return;
    const QDir wavesFolder(Paths::system(QStringLiteral("/Applications/Waves")));
    if (!wavesFolder.exists())
        return;
    const QStringList shells = wavesFolder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& shell : shells) {
        if (!shell.startsWith(QLatin1String("WaveShells V")))
            continue;
        const QStringList entries =
            QDir(wavesFolder.filePath(shell)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& entry : entries) {
            if (entry.startsWith(QLatin1String("Waves AU Reg Utility")) &&
                DisabledLayout::splitFileName(entry).extension == QLatin1String("app")) {
                m_services.processLauncher->openApplication(wavesFolder.filePath(shell) + u'/' + entry,
                                                            {QStringLiteral("--silent")});
                break;
            }
        }
    }
}
