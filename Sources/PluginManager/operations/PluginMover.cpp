#include "operations/PluginMover.h"

#include "Platform/Paths.h"
#include "Platform/ProcessLauncher.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginDatabase.h"
#include "operations/BatchScript.h"
#include "operations/DisabledOrigins.h"
#include "operations/ProgressWindowManager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
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
        return QStringLiteral("%1 was not changed: %2")
            .arg(describePlugin(failures.first().plugin), failures.first().reason);
    QStringList lines;
    lines.append(QStringLiteral("%1 of %2 plug-ins were not changed:").arg(failures.size()).arg(total));
    for (qsizetype i = 0; i < failures.size() && i < kMaxNamedFailures; ++i)
        lines.append(describePlugin(failures[i].plugin) + QStringLiteral(": ") + failures[i].reason);
    if (failures.size() > kMaxNamedFailures)
        lines.append(QStringLiteral("…and %1 more").arg(failures.size() - kMaxNamedFailures));
    return lines.join(u'\n');
}

// The run's own error, with the items named when the outcome was mixed, some were
// refused before the run, or the run itself failed part-way; after a refused prompt or a
// runner that could not start nothing happened, as expected.
void publishFailures(MoveOutcome& outcome, std::optional<PluginError> runError, qsizetype refusedBeforeRun,
                     qsizetype total, bool runDidNothing = true)
{
    if (runError) {
        const bool mixed = outcome.anyChanged() || refusedBeforeRun > 0 || !runDidNothing;
        if (mixed && !outcome.notChanged.isEmpty())
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

// The line of a script's standard error that speaks of this move (mv and mkdir name
// the paths they failed on), or an empty string.
QString errorLineFor(const QString& standardError, const QString& source, const QString& destination)
{
    if (standardError.isEmpty())
        return {};
    const QStringList lines = standardError.split(u'\n', Qt::SkipEmptyParts);
    // The destination's folder last: a failing mkdir names only that.
    for (const QString& needle :
         {source, destination, DisabledLayout::fileName(source), DisabledLayout::parentFolder(destination)}) {
        for (const QString& line : lines) {
            if (!needle.isEmpty() && line.contains(needle))
                return line.trimmed();
        }
    }
    return {};
}

QString withCause(const QString& reason, const QString& cause)
{
    return cause.isEmpty() ? reason : reason + QStringLiteral(" (") + cause + u')';
}

// What could not be written after bundles had moved, one line per file.
class RecordFailures {
public:
    void add(const QString& what, const QString& reason)
    {
        if (!reason.isEmpty())
            m_lines.append(QStringLiteral("%1 could not be saved: %2").arg(what, reason));
    }
    bool isEmpty() const { return m_lines.isEmpty(); }

    // Names what moved, so the user knows the disk is ahead of what the window shows.
    QString describe(const QList<AudioPlugin>& moved) const
    {
        QStringList lines;
        lines.append(
            QStringLiteral("%1 plug-ins were changed on disk, but not everything was recorded:").arg(moved.size()));
        lines.append(m_lines);
        QStringList names;
        for (qsizetype i = 0; i < moved.size() && i < kMaxNamedFailures; ++i)
            names.append(describePlugin(moved[i]));
        if (moved.size() > kMaxNamedFailures)
            names.append(QStringLiteral("…and %1 more").arg(moved.size() - kMaxNamedFailures));
        lines.append(QStringLiteral("Changed: ") + names.join(QStringLiteral(", ")));
        lines.append(QStringLiteral("The list is read again from disk."));
        return lines.join(u'\n');
    }

private:
    QStringList m_lines;
};

void addRecordFailures(MoveOutcome& outcome, const RecordFailures& failures)
{
    if (failures.isEmpty())
        return;
    QList<AudioPlugin> moved = outcome.enabled + outcome.disabled + outcome.deleted;
    const QString text = failures.describe(moved);
    if (outcome.error)
        outcome.error->detail += QStringLiteral("\n\n") + text;
    else
        outcome.error = PluginError::unknownError(text);
    outcome.rescan = true;
}

// Files and folders inside a bundle (capped): a count that changed tells a partial delete.
qsizetype countEntries(const QString& path)
{
    constexpr qsizetype kCap = 1000000;
    qsizetype count = 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext() && count < kCap) {
        it.next();
        ++count;
    }
    return count;
}

// Holds an advisory lock on a batch file while its run lasts, so a later start-up can
// tell a live run's files from those a dead run left behind.
class BatchFileLock {
public:
    explicit BatchFileLock(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK))
    {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_SH | LOCK_NB);
    }
    ~BatchFileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BatchFileLock(const BatchFileLock&) = delete;
    BatchFileLock& operator=(const BatchFileLock&) = delete;

private:
    int m_fd;
};

} // namespace

PluginMover::PluginMover(PluginDatabase& database, ActivityLogManager& activityLog, PlatformServices services)
    : m_database(database), m_activityLog(activityLog), m_services(std::move(services))
{
}

PluginError PluginMover::errorFromRunner(const PrivilegedRunner::Result& result, const QString& cannotStartText)
{
    if (!result.started)
        return PluginError::unknownError(cannotStartText);
    const QString message = result.errorMessage.trimmed();
    if (result.refused)
        return PluginError::permissionDenied(message.isEmpty() ? QStringLiteral("AppleScript error") : message);
    if (result.killed)
        return PluginError::unknownError(QStringLiteral("The operation was stopped before it finished") +
                                         (message.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + message));
    return PluginError::unknownError(
        message.isEmpty() ? QStringLiteral("The command failed with exit status %1.").arg(result.exitCode) : message);
}

PrivilegedRunner::Result PluginMover::runPrivileged(const QString& command) const
{
    return m_services.privilegedRunner ? m_services.privilegedRunner->run(command) : PrivilegedRunner::Result{};
}

void PluginMover::removeStaleBatchFiles()
{
    const QDir temp(Paths::tempDir());
    const QStringList names =
        temp.entryList({QStringLiteral("rackhand_batch_*"), QStringLiteral("rackhand_progress_*")},
                       QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(temp.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat info {};
        // Only our own regular files, and only when no running batch holds them.
        const bool ours = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
        if (ours && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

// --- One plug-in ---

namespace {

std::optional<PluginError> checkSingleMove(const AudioPlugin& plugin, const QString& destination)
{
    const QString& source = plugin.currentPath;
    if (!isCleanAbsolutePath(source))
        return PluginError::invalidPath(source);
    if (!DisabledLayout::pathExists(source))
        return PluginError::fileNotFound(source);
    if (!isCleanAbsolutePath(destination))
        return PluginError::invalidPath(destination);
    if (!plugin.isEnabled && DisabledLayout::pathExists(destination)) {
        // Moving onto an occupant would nest the bundle inside it (or, plainly, replace it).
        return PluginError::invalidPath(
            QStringLiteral("an item already exists at %1, so %2 was not enabled and nothing was changed")
                .arg(destination, describePlugin(plugin)));
    }
    return std::nullopt;
}

} // namespace

MoveOutcome PluginMover::switchOne(const AudioPlugin& plugin) const
{
    MoveOutcome outcome;
    const bool disable = plugin.isEnabled;
    const QString source = plugin.currentPath;
    const QString destination = disable ? DisabledLayout::disableDestination(plugin) : plugin.originalPath;
    outcome.error = checkSingleMove(plugin, destination);
    if (outcome.error)
        return outcome;

    // Written ahead: if the program dies during the move, the next scan still knows the origin.
    DisabledOrigins origins;
    if (disable) {
        origins.record(destination, plugin.originalPath);
        origins.saveIfChanged();
    }
    const DisabledLayout::Road road = DisabledLayout::roadFor(plugin);
    std::optional<PluginError> runError;
    QString cause;
    if (road.privileged) {
        const PrivilegedRunner::Result result =
            runPrivileged(DisabledLayout::privilegedMoveCommand(source, destination, disable, road.clearAUCache));
        if (!result.succeeded)
            runError = errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
        cause = errorLineFor(result.standardError, source, destination);
    } else {
        const QString reason = DisabledLayout::moveItem(source, destination);
        if (!reason.isEmpty())
            runError = PluginError::unknownError(reason);
    }

    // The command's exit status is not proof (the cache purge ends in "; true"): the disk is.
    if (!verifyMoved(source, destination)) {
        origins.forget(destination);
        origins.saveIfChanged();
        outcome.error =
            runError ? *runError
                     : PluginError::unknownError(withCause(
                           QStringLiteral("%1 was not moved: it is still at %2").arg(describePlugin(plugin), source),
                           cause));
        return outcome;
    }

    AudioPlugin updated = plugin;
    updated.currentPath = destination;
    updated.isEnabled = !disable;
    (disable ? outcome.disabled : outcome.enabled).append(plugin);
    outcome.reload = true;
    RecordFailures failures;
    failures.add(QStringLiteral("The catalogue"), m_database.updatePlugins({updated}));
    if (!disable)
        origins.forget(source);
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    failures.add(QStringLiteral("The activity log"),
                 m_activityLog.log(plugin.name, PluginFormats::rawValue(plugin.format),
                                   disable ? ActivityLogEntry::Action::disabled : ActivityLogEntry::Action::enabled));
    addRecordFailures(outcome, failures);
    if (plugin.format == PluginFormat::wavesBundle && !disable)
        runWavesAURegUtilities();
    return outcome;
}

// --- Many plug-ins ---

namespace {

struct ScriptRun {
    std::optional<PluginError> error;
    QString standardError;
    /// The script never ran (refused prompt, runner not started, files not written).
    bool didNothing = true;
};

// Runs the batch script with the progress file polled every 80 ms.
ScriptRun runBatchScript(const QList<PlannedMove>& moves,
                         const std::function<PrivilegedRunner::Result(const QString&)>& run)
{
    const QUuid runId = QUuid::createUuid();
    const QString scriptFile = BatchScript::scriptPath(runId);
    const QString progressFile = BatchScript::progressPath(runId);
    QList<BatchScript::Move> scriptMoves;
    scriptMoves.reserve(moves.size());
    for (const PlannedMove& move : moves)
        scriptMoves.append({move.source, move.destination});

    ScriptRun outcome;
    QString writeError = BatchScript::writePrivateFile(progressFile, QByteArrayLiteral("0"));
    if (writeError.isEmpty())
        writeError =
            BatchScript::writePrivateFile(scriptFile, BatchScript::scriptText(scriptMoves, progressFile).toUtf8());
    if (!writeError.isEmpty()) {
        outcome.error = PluginError::unknownError(writeError);
    } else {
        const BatchFileLock scriptLock(scriptFile);
        const BatchFileLock progressLock(progressFile);
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
        outcome.standardError = result.standardError;
        outcome.didNothing = !result.started || result.refused;
        if (!result.succeeded)
            outcome.error = PluginMover::errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
    }
    QFile::remove(scriptFile);
    QFile::remove(progressFile);
    return outcome;
}

} // namespace

QStringList PluginMover::removePartialCopies(const QStringList& paths) const
{
    // A partial copy sits where this batch reserved a free name: nothing else was there.
    QStringList left;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const bool removed = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
        if (!removed || DisabledLayout::pathExists(path))
            left.append(path);
    }
    if (!left.isEmpty())
        runPrivileged(BatchScript::deleteCommand(left));
    QStringList stillThere;
    for (const QString& path : std::as_const(left)) {
        if (DisabledLayout::pathExists(path))
            stillThere.append(path);
    }
    return stillThere;
}

MoveOutcome PluginMover::switchMany(const QList<AudioPlugin>& plugins) const
{
    const qsizetype total = plugins.size();
    const BatchPlan plan = planBatch(plugins);
    MoveOutcome outcome;
    outcome.notChanged = plan.refused;
    // Nothing to move asks for no password at all.
    if (plan.moves.isEmpty()) {
        publishFailures(outcome, std::nullopt, plan.refused.size(), total);
        return outcome;
    }
    const bool showPanel = total >= kPanelThreshold;
    if (showPanel)
        ProgressWindowManager::shared().show(panelLabel(plugins), static_cast<int>(total));

    // Written ahead: if the program dies while the script runs, the script still finishes
    // and the next scan must know where each bundle came from.
    DisabledOrigins origins;
    for (const PlannedMove& move : plan.moves) {
        if (move.plugin.isEnabled)
            origins.record(move.destination, move.plugin.originalPath);
    }
    origins.saveIfChanged();

    const ScriptRun run = runBatchScript(plan.moves, [this](const QString& command) { return runPrivileged(command); });

    // A failing mv inside the script does not fail the run: each item is judged on disk.
    QList<AudioPlugin> updated;
    QStringList partialCopies;
    QHash<QString, qsizetype> failureOfCopy;
    for (const PlannedMove& move : plan.moves) {
        if (!verifyMoved(move.source, move.destination)) {
            if (move.plugin.isEnabled)
                origins.forget(move.destination);
            QString reason = withCause(QStringLiteral("not moved; it is still at %1").arg(move.source),
                                       errorLineFor(run.standardError, move.source, move.destination));
            if (DisabledLayout::pathExists(move.source) && DisabledLayout::pathExists(move.destination)) {
                failureOfCopy.insert(move.destination, outcome.notChanged.size());
                partialCopies.append(move.destination);
            }
            outcome.notChanged.append({move.plugin, reason});
            continue;
        }
        AudioPlugin record = move.plugin;
        record.currentPath = move.destination;
        record.isEnabled = !move.plugin.isEnabled;
        updated.append(record);
        if (move.plugin.isEnabled) {
            outcome.disabled.append(move.plugin);
        } else {
            origins.forget(move.source);
            outcome.enabled.append(move.plugin);
        }
    }
    if (!partialCopies.isEmpty()) {
        const QStringList left = removePartialCopies(partialCopies);
        for (const QString& copy : std::as_const(partialCopies)) {
            outcome.notChanged[failureOfCopy.value(copy)].reason +=
                left.contains(copy) ? QStringLiteral("; a partial copy could not be removed from %1").arg(copy)
                                    : QStringLiteral("; the partial copy at %1 was removed").arg(copy);
        }
    }

    RecordFailures failures;
    failures.add(QStringLiteral("The catalogue"), m_database.updatePlugins(updated));
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    // The log follows the input order: first every enabled plug-in, then every disabled one.
    if (!outcome.enabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(logPairs(outcome.enabled), ActivityLogEntry::Action::enabled));
    if (!outcome.disabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(logPairs(outcome.disabled), ActivityLogEntry::Action::disabled));
    outcome.reload = outcome.anyChanged() || (!run.error && outcome.notChanged.isEmpty());
    if (std::any_of(outcome.enabled.cbegin(), outcome.enabled.cend(),
                    [](const AudioPlugin& plugin) { return plugin.format == PluginFormat::wavesBundle; }))
        runWavesAURegUtilities();
    if (showPanel)
        ProgressWindowManager::shared().hide();
    publishFailures(outcome, run.error, plan.refused.size(), total, run.didNothing);
    addRecordFailures(outcome, failures);
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
    // Nothing to delete asks for no password and logs nothing.
    if (targets.isEmpty()) {
        publishFailures(outcome, std::nullopt, refusedBeforeRun, plugins.size());
        return outcome;
    }

    QList<qsizetype> entriesBefore;
    entriesBefore.reserve(targets.size());
    for (const AudioPlugin& plugin : std::as_const(targets))
        entriesBefore.append(countEntries(plugin.currentPath));
    const PrivilegedRunner::Result result = runPrivileged(BatchScript::deleteCommand(paths));
    std::optional<PluginError> runError;
    if (!result.succeeded)
        runError = errorFromRunner(result, QStringLiteral("Failed to delete plugins"));

    DisabledOrigins origins;
    QList<QUuid> ids;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const AudioPlugin& plugin = targets[i];
        if (DisabledLayout::pathExists(plugin.currentPath)) {
            const QString cause = errorLineFor(result.standardError, plugin.currentPath, plugin.currentPath);
            if (countEntries(plugin.currentPath) != entriesBefore[i]) {
                // rm -rf stopped part-way: the bundle is damaged, and its row must say what is left.
                outcome.notChanged.append(
                    {plugin,
                     withCause(
                         QStringLiteral("it was partly deleted; what is left is still at %1").arg(plugin.currentPath),
                         cause)});
                outcome.rescan = true;
            } else {
                outcome.notChanged.append(
                    {plugin, withCause(QStringLiteral("still present at %1").arg(plugin.currentPath), cause)});
            }
            continue;
        }
        origins.forget(plugin.currentPath);
        outcome.deleted.append(plugin);
        ids.append(plugin.id);
    }
    outcome.reload = !outcome.deleted.isEmpty();
    RecordFailures failures;
    failures.add(QStringLiteral("The catalogue"), m_database.deletePlugins(ids));
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    if (!outcome.deleted.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(logPairs(outcome.deleted), ActivityLogEntry::Action::deleted));
    publishFailures(outcome, std::move(runError), refusedBeforeRun, plugins.size(), !result.started || result.refused);
    addRecordFailures(outcome, failures);
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
