#include "operations/PluginMover.h"

#include "Platform/Diagnostics.h"
#include "Platform/Paths.h"
#include "Platform/PluginFolderTable.h"
#include "Platform/ProcessLauncher.h"
#include "catalogue/ActivityLogManager.h"
#include "catalogue/DisabledLayout.h"
#include "catalogue/PluginDatabase.h"
#include "operations/BatchJournal.h"
#include "operations/BatchScript.h"
#include "operations/DisabledOrigins.h"
#include "operations/ProgressWindowManager.h"
#include "operations/StagingNames.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kProgressPollMs = 80;
constexpr qsizetype kPanelThreshold = 51;
constexpr qsizetype kMaxNamedFailures = 20;
// Quoted standard error: enough to see what went wrong, never a page per item.
constexpr qsizetype kMaxCauseLines = 4;
constexpr qsizetype kMaxCauseCharacters = 500;
constexpr qsizetype kMaxRunMessageLines = 12;
constexpr qsizetype kMaxRunMessageCharacters = 1500;

using Failure = MoveOutcome::Failure;

/// What stood at a path when a move was planned: which file it is, so that what stands
/// at the destination afterwards can be told to be that bundle.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0;
    struct timespec modified {};
};

std::optional<Identity> identityOf(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino, static_cast<mode_t>(info.st_mode & S_IFMT), info.st_mtim};
}

/// One planned bundle move.
struct PlannedMove {
    AudioPlugin plugin;
    DisabledLayout::MovePaths paths;
    Identity identity;
    bool crossDevice = false;
    DisabledLayout::MoveRoute route;

    QStringList stagingNames() const
    {
        return crossDevice ? QStringList{paths.copyName, paths.setAsideName} : QStringList{};
    }
};

QString describePlugin(const AudioPlugin& plugin)
{
    return QStringLiteral("\"%1\" (%2)").arg(plugin.name, PluginFormats::rawValue(plugin.format));
}

QList<std::pair<QString, QString>> logPairs(const QList<AudioPlugin>& plugins)
{
    QList<std::pair<QString, QString>> pairs;
    pairs.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins)
        pairs.append({plugin.name, PluginFormats::rawValue(plugin.format)});
    return pairs;
}

// The bundle stands at the destination: the very file that was planned (on another file
// system, where a copy has a new inode, the copy that kept its type and time).
bool hasArrived(const PlannedMove& move)
{
    const std::optional<Identity> there = identityOf(move.paths.destination);
    if (!there)
        return false;
    if (!move.crossDevice)
        return there->device == move.identity.device && there->inode == move.identity.inode;
    return there->type == move.identity.type && there->modified.tv_sec == move.identity.modified.tv_sec &&
           there->modified.tv_nsec == move.identity.modified.tv_nsec;
}

// The planned bundle no longer stands at the source.
bool hasLeft(const PlannedMove& move)
{
    const std::optional<Identity> there = identityOf(move.paths.source);
    return !there || there->device != move.identity.device || there->inode != move.identity.inode;
}

bool verifyMoved(const PlannedMove& move)
{
    return hasArrived(move) && hasLeft(move);
}

// What a batch's journal keeps of a planned move, and the move again from it.
BatchJournal::Entry journalEntry(const PlannedMove& move)
{
    return {move.plugin.name,
            PluginFormats::rawValue(move.plugin.format),
            !move.plugin.isEnabled,
            move.paths.source,
            move.paths.destination,
            static_cast<quint64>(move.identity.device),
            static_cast<quint64>(move.identity.inode),
            static_cast<quint32>(move.identity.type),
            static_cast<qint64>(move.identity.modified.tv_sec),
            static_cast<qint64>(move.identity.modified.tv_nsec),
            move.crossDevice};
}

PlannedMove plannedMove(const BatchJournal::Entry& entry)
{
    PlannedMove move;
    move.paths = {entry.source, entry.destination};
    move.identity.device = static_cast<dev_t>(entry.device);
    move.identity.inode = static_cast<ino_t>(entry.inode);
    move.identity.type = static_cast<mode_t>(entry.type);
    move.identity.modified.tv_sec = static_cast<time_t>(entry.modifiedSeconds);
    move.identity.modified.tv_nsec = static_cast<long>(entry.modifiedNanoseconds);
    move.crossDevice = entry.crossDevice;
    return move;
}

QString withCause(const QString& reason, const QString& cause)
{
    return cause.isEmpty() ? reason : reason + QStringLiteral(" (") + cause + u')';
}

QString cappedCause(const QString& text)
{
    return BatchScript::capped(text.trimmed(), kMaxCauseLines, kMaxCauseCharacters);
}

// Why a planned move did not happen, as far as the disk tells.
QString notMovedReason(const PlannedMove& move, const QString& cause)
{
    const QString& source = move.paths.source;
    const QString& destination = move.paths.destination;
    QString reason;
    if (hasLeft(move)) {
        reason =
            QStringLiteral("not moved; it is no longer at %1 and what is at %2 is not it").arg(source, destination);
    } else {
        reason = QStringLiteral("not moved; it is still at %1").arg(source);
        if (!hasArrived(move) && DisabledLayout::pathExists(destination))
            reason += QStringLiteral("; an item already exists at %1").arg(destination);
        const std::optional<Identity> now = identityOf(source);
        if (!move.paths.sourceWasLink && now && S_ISLNK(now->type))
            reason += QStringLiteral("; it became a symbolic link after the scan");
    }
    return withCause(reason, cause);
}

// The lines of a command's standard error that name this path (GNU tools quote names in
// their messages; a path is one when it ends there, at a quote, a slash or a colon).
QString linesNaming(const QString& standardError, const QString& path)
{
    QStringList found;
    for (const QString& line : standardError.split(u'\n', Qt::SkipEmptyParts)) {
        for (qsizetype at = line.indexOf(path); at >= 0; at = line.indexOf(path, at + 1)) {
            const qsizetype end = at + path.size();
            const QChar next = end < line.size() ? line[end] : QChar(u'\'');
            if (next == u'\'' || next == u'"' || next == u'/' || next == u':' || next.isSpace()) {
                found.append(line.trimmed());
                break;
            }
        }
    }
    return found.join(u'\n');
}

QString describeFailures(const QList<Failure>& failures, qsizetype total)
{
    if (failures.size() == 1 && total <= 1)
        return QStringLiteral("%1 was not changed: %2")
            .arg(describePlugin(failures.first().plugin), failures.first().reason);
    QStringList lines;
    lines.append((failures.size() == 1 ? QStringLiteral("%1 of %2 plug-ins was not changed:")
                                       : QStringLiteral("%1 of %2 plug-ins were not changed:"))
                     .arg(failures.size())
                     .arg(total));
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

/// One move planned, or why it must not run: an error for a single switch, a reason
/// for an item of a batch.
struct MovePlan {
    std::optional<PlannedMove> move;
    PluginError error;
    QString reason;
};

MovePlan refusedPlan(PluginError error, QString reason)
{
    return {std::nullopt, std::move(error), std::move(reason)};
}

// Plans one move against the disk. A disable's destination is a free name, also against
// `reserved` (destinations planned earlier in the same batch), to which it is added.
MovePlan planMove(const AudioPlugin& plugin, QSet<QString>* reserved)
{
    const QString& source = plugin.currentPath;
    if (!DisabledLayout::isManagedBundlePath(source, plugin.format)) {
        const QString reason =
            QStringLiteral("its path is not a bundle in the plug-in folders or the disabled layout: %1").arg(source);
        return refusedPlan(PluginError::invalidPath(reason), reason);
    }
    const std::optional<Identity> identity = identityOf(source);
    if (!identity)
        return refusedPlan(PluginError::fileNotFound(source), QStringLiteral("not found at %1").arg(source));
    const bool disable = plugin.isEnabled;
    const QString destination = disable ? DisabledLayout::disableDestination(plugin, reserved) : plugin.originalPath;
    if (!DisabledLayout::isManagedBundlePath(destination, plugin.format)) {
        const QString reason =
            QStringLiteral("its destination is not in the plug-in folders or the disabled layout: %1").arg(destination);
        return refusedPlan(PluginError::invalidPath(reason), reason);
    }
    if (!disable) {
        if (DisabledLayout::pathExists(destination) || (reserved && reserved->contains(destination))) {
            // Moving onto an occupant would nest the bundle inside it (or replace it).
            return refusedPlan(
                PluginError::invalidPath(
                    QStringLiteral("an item already exists at %1, so %2 was not enabled and nothing was changed")
                        .arg(destination, describePlugin(plugin))),
                QStringLiteral("an item already exists at %1").arg(destination));
        }
        if (reserved)
            reserved->insert(destination);
    }
    PlannedMove move{
        plugin, {source, destination, S_ISLNK(identity->type)}, *identity, false, DisabledLayout::routeFor(plugin)};
    move.crossDevice = DisabledLayout::crossesDevices(source, destination);
    if (move.crossDevice)
        DisabledLayout::addStagingNames(move.paths);
    return {std::move(move), {}, {}};
}

/// Every move of a batch, planned against the disk and against each other.
struct BatchPlan {
    QList<PlannedMove> moves;
    QList<Failure> refused;
};

BatchPlan planBatch(const QList<AudioPlugin>& plugins)
{
    BatchPlan plan;
    QSet<QString> reserved;
    QSet<QString> sources;
    plan.moves.reserve(plugins.size());
    for (const AudioPlugin& plugin : plugins) {
        if (sources.contains(plugin.currentPath)) {
            plan.refused.append({plugin, QStringLiteral("listed more than once")});
            continue;
        }
        MovePlan planned = planMove(plugin, &reserved);
        if (!planned.move) {
            plan.refused.append({plugin, planned.reason});
            continue;
        }
        sources.insert(plugin.currentPath);
        plan.moves.append(std::move(*planned.move));
    }
    return plan;
}

// Removes what a move that did not finish left under its staging names (names no one
// but this move uses), as the user. Says what happened, for the item's reason.
QString removeLeftoversOf(const PlannedMove& move)
{
    QString note;
    for (const QString& name : move.stagingNames()) {
        if (!DisabledLayout::pathExists(name))
            continue;
        note += DisabledLayout::removeTree(name)
                    ? QStringLiteral("; the partial copy at %1 was removed").arg(name)
                    : QStringLiteral("; a partial copy is left at %1, hidden, until it can be removed").arg(name);
    }
    return note;
}

// Written before a move starts: the hidden names its copy across file systems will use, then
// where each bundle came from. A move cut off without them could be neither cleaned up nor
// told apart afterwards, so a failure to write either stops the move before anything is
// touched. Returns why (of one bundle, or of `many`), or an empty string.
QString writeAhead(StagingNames& staging, DisabledOrigins& origins, bool many)
{
    if (const QString reason = staging.saveIfChanged(); !reason.isEmpty())
        return QStringLiteral("the hidden names %1 would use could not be saved (%2)")
            .arg(many ? QStringLiteral("the copies") : QStringLiteral("its copy"), reason);
    if (const QString reason = origins.saveIfChanged(); !reason.isEmpty()) {
        staging.forgetVanished(); // names of copies that will not be made
        return QStringLiteral("where %1 from could not be saved (%2)")
            .arg(many ? QStringLiteral("the bundles came") : QStringLiteral("it came"), reason);
    }
    return {};
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
    const QStringList& lines() const { return m_lines; }

    // Names what moved, so the user knows the disk is ahead of what the window shows.
    QString describe(const QList<AudioPlugin>& moved) const
    {
        QStringList lines;
        lines.append((moved.size() == 1
                          ? QStringLiteral("%1 plug-in was changed on disk, but not everything was recorded:")
                          : QStringLiteral("%1 plug-ins were changed on disk, but not everything was recorded:"))
                         .arg(moved.size()));
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
    // The cause is known: the program's own records could not be written.
    if (outcome.error)
        outcome.error->detail += QStringLiteral("\n\n") + text;
    else
        outcome.error = PluginError::databaseError(text);
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

// Holds an advisory lock on a batch file while its run lasts (the script itself holds
// one too, for as long as it runs, also when this program has died).
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

const QString kScriptPrefix = QStringLiteral("rackhand_batch_");
const QString kProgressPrefix = QStringLiteral("rackhand_progress_");

// The run id in a batch file's name.
QString runIdOf(const QString& name)
{
    const QString prefix = name.startsWith(kScriptPrefix) ? kScriptPrefix : kProgressPrefix;
    const qsizetype dot = name.lastIndexOf(u'.');
    return name.mid(prefix.size(), dot > prefix.size() ? dot - prefix.size() : -1);
}

// Run ids of batch scripts some process still holds: a script runs them.
QSet<QString> liveBatchRuns()
{
    QSet<QString> live;
    const QDir temp(Paths::tempDir());
    for (const QString& name : temp.entryList({kScriptPrefix + u'*'}, QDir::Files | QDir::System | QDir::Hidden)) {
        const int fd =
            ::open(QFile::encodeName(temp.filePath(name)).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            live.insert(runIdOf(name));
        ::close(fd);
    }
    return live;
}

} // namespace

PluginMover::PluginMover(PluginDatabase& database, ActivityLogManager& activityLog, ProgressWindowManager& progress,
                         PlatformServices services, QString originsPath)
    : m_database(database), m_activityLog(activityLog), m_progress(progress), m_services(std::move(services)),
      m_originsPath(std::move(originsPath)),
      m_plainMove([](const DisabledLayout::MovePaths& move) { return DisabledLayout::moveItem(move); })
{
    Q_ASSERT_X(!m_originsPath.isEmpty(), "PluginMover", "the owner names the origins file");
}

PluginError PluginMover::errorFromRunner(const PrivilegedRunner::Result& result, const QString& cannotStartText)
{
    if (!result.started)
        return PluginError::unknownError(cannotStartText);
    const QString message = BatchScript::capped(BatchScript::withoutMarkers(result.errorMessage.trimmed()),
                                                kMaxRunMessageLines, kMaxRunMessageCharacters);
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
    // Without a runner the run counts as one that could not start.
    Q_ASSERT_X(m_services.privilegedRunner, "PluginMover", "the composition root hands in a runner");
    return m_services.privilegedRunner ? m_services.privilegedRunner->run(command) : PrivilegedRunner::Result{};
}

bool PluginMover::earlierBatchRunning()
{
    return !liveBatchRuns().isEmpty();
}

bool PluginMover::removeStaleBatchFiles()
{
    const QSet<QString> live = liveBatchRuns();
    const QDir temp(Paths::tempDir());
    const QStringList names =
        temp.entryList({kScriptPrefix + u'*', kProgressPrefix + u'*'}, QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        // A running script's files stay: it reads the one and writes the other.
        if (live.contains(runIdOf(name)))
            continue;
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
    return !live.isEmpty();
}

void PluginMover::removeStagingLeftovers()
{
    StagingNames().removeLeftovers();
}

// --- A batch started by an earlier run of the program ---

namespace {

// The script and progress file of a batch that still runs, if any.
std::optional<std::pair<QString, QString>> liveBatchFiles()
{
    const QSet<QString> live = liveBatchRuns();
    if (live.isEmpty())
        return std::nullopt;
    const QString runId = *live.cbegin();
    const QDir temp(Paths::tempDir());
    return std::pair{temp.filePath(kScriptPrefix + runId + QStringLiteral(".sh")),
                     temp.filePath(kProgressPrefix + runId + QStringLiteral(".txt"))};
}

// The number of moves in a batch script: one counting line each.
int movesInScript(const QString& scriptFile)
{
    QFile file(scriptFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int moves = 0;
    while (!file.atEnd()) {
        if (file.readLine().startsWith("n=$((n+1))"))
            ++moves;
    }
    return moves;
}

} // namespace

QString PluginMover::earlierBatchLabel()
{
    return QStringLiteral("Finishing an earlier batch…");
}

void PluginMover::showEarlierBatch() const
{
    const auto files = liveBatchFiles();
    m_progress.show(earlierBatchLabel(), files ? movesInScript(files->first) : 0);
    showEarlierBatchProgress();
}

void PluginMover::showEarlierBatchProgress() const
{
    const auto files = liveBatchFiles();
    if (!files || m_progress.hudModel()->label() != earlierBatchLabel())
        return;
    QFile file(files->second);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (const std::optional<double> fraction =
            BatchScript::parseProgress(file.read(64), m_progress.hudModel()->count()))
        m_progress.hudModel()->setProgress(*fraction);
}

void PluginMover::hideEarlierBatch() const
{
    if (m_progress.isPanelVisible() && m_progress.hudModel()->label() == earlierBatchLabel())
        m_progress.hide();
}

std::optional<PluginError> PluginMover::recordEndedBatch() const
{
    const QString journalPath = BatchJournal::defaultPath();
    const std::optional<QList<BatchJournal::Entry>> entries = BatchJournal::read(journalPath);
    if (!entries)
        return std::nullopt;
    // Judged as the batch would have judged them, in its order: first what was enabled, then
    // what was disabled. An item not done keeps its origin record: its bundle is still at
    // the source, and the record is harmless there.
    DisabledOrigins origins(m_originsPath);
    QList<std::pair<QString, QString>> enabled;
    QList<std::pair<QString, QString>> disabled;
    bool wavesEnabled = false;
    for (const BatchJournal::Entry& entry : *entries) {
        if (!verifyMoved(plannedMove(entry)))
            continue;
        (entry.enable ? enabled : disabled).append({entry.name, entry.format});
        if (entry.enable) {
            origins.forget(entry.source);
            wavesEnabled = wavesEnabled || entry.format == PluginFormats::rawValue(PluginFormat::wavesBundle);
        }
    }
    RecordFailures failures;
    if (!enabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(enabled, ActivityLogEntry::Action::enabled));
    if (!disabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(disabled, ActivityLogEntry::Action::disabled));
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    if (const QString reason = BatchJournal::remove(journalPath); !reason.isEmpty())
        Diagnostics::print(QStringLiteral("❌ Could not remove batch_journal.json: ") + reason);
    if (wavesEnabled)
        runWavesAURegUtilities();
    if (failures.isEmpty())
        return std::nullopt;
    return PluginError::unknownError(QStringLiteral("The moves of an earlier batch were not all recorded:\n") +
                                     failures.lines().join(u'\n'));
}

// --- One plug-in ---

MoveOutcome PluginMover::switchOne(const AudioPlugin& plugin) const
{
    MoveOutcome outcome;
    MovePlan plan = planMove(plugin, nullptr);
    if (!plan.move) {
        outcome.error = plan.error;
        return outcome;
    }
    const PlannedMove& move = *plan.move;
    const bool disable = plugin.isEnabled;
    const QString& source = move.paths.source;
    const QString& destination = move.paths.destination;

    // Written ahead: if the program dies during the move, the next scan still knows the
    // origin, and start-up finds what a killed copy left.
    DisabledOrigins origins(m_originsPath);
    if (disable)
        origins.record(destination, plugin.originalPath);
    StagingNames staging;
    staging.add(move.stagingNames());
    if (const QString unsaved = writeAhead(staging, origins, false); !unsaved.isEmpty()) {
        outcome.error = PluginError::unknownError(
            QStringLiteral("%1 was not moved, because %2.").arg(describePlugin(plugin), unsaved));
        return outcome;
    }

    // A refused prompt, a runner that could not start or a killed run is said as such;
    // any other failure by what the disk shows, with the command's own words as the cause.
    std::optional<PluginError> runError;
    QString cause;
    if (move.route.privileged) {
        const PrivilegedRunner::Result result =
            runPrivileged(DisabledLayout::privilegedMoveCommand(move.paths, disable, move.route.clearAUCache));
        if (!result.started || result.refused || result.killed)
            runError = errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
        else if (!result.succeeded)
            cause = result.standardError.isEmpty() ? errorFromRunner(result, QString()).detail : result.standardError;
        else
            cause = result.standardError;
    } else {
        cause = DisabledLayout::moveItem(move.paths);
    }

    // The command's exit status is not proof (the cache purge ends in "; true"): the disk is.
    const bool moved = verifyMoved(move);
    const QString leftovers = removeLeftoversOf(move);
    staging.forgetVanished();
    if (!moved) {
        origins.forget(destination);
        const QString unsaved = origins.saveIfChanged();
        outcome.error = runError ? *runError
                                 : PluginError::unknownError(QStringLiteral("%1 was ").arg(describePlugin(plugin)) +
                                                             notMovedReason(move, cappedCause(cause)) + leftovers);
        if (!unsaved.isEmpty())
            outcome.error->detail += QStringLiteral("\n\nWhere the bundles came from could not be saved: ") + unsaved;
        // The bundle left its row's path: only a scan can tell where it is.
        outcome.rescan = hasLeft(move);
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
    /// Each failed move's own lines of standard error, by its index in the script.
    QHash<qsizetype, QString> causes;
    /// The script never ran (refused prompt, runner not started, files not written).
    bool didNothing = true;
};

void showProgress(ProgressWindowManager& progress, bool panel, qsizetype done, qsizetype total)
{
    if (panel && total > 0)
        progress.hudModel()->setProgress(static_cast<double>(done) / static_cast<double>(total));
}

// Makes the moves that need no rights one after another on a worker thread, while this
// thread's event loop keeps turning (repaints, the panel) as it does during a privileged
// run; `movedOne` runs here after each move with the number made so far. Returns each
// move's reason, empty when it went through.
QStringList runPlainMoves(const QList<DisabledLayout::MovePaths>& moves, const PluginMover::PlainMove& move,
                          const std::function<void(qsizetype)>& movedOne)
{
    QStringList reasons(moves.size());
    if (moves.isEmpty())
        return reasons;
    QEventLoop loop;
    QObject here; // receives the worker's reports on this thread
    std::thread worker([&moves, &move, &movedOne, &reasons, &loop, &here] {
        for (qsizetype i = 0; i < moves.size(); ++i) {
            reasons[i] = move(moves[i]);
            QMetaObject::invokeMethod(
                &here, [&movedOne, i] { movedOne(i + 1); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the program quits: the moves under way still finish first.
    worker.join();
    return reasons;
}

// The moves of a batch that need no rights, made as runPlainMoves() makes them; each one's
// reason by move.
QHash<const PlannedMove*, QString> movePlainly(const QList<PlannedMove>& moves, const PluginMover::PlainMove& move,
                                               const std::function<void(qsizetype)>& movedOne)
{
    QList<const PlannedMove*> plain;
    QList<DisabledLayout::MovePaths> paths;
    for (const PlannedMove& planned : moves) {
        if (!planned.route.privileged) {
            plain.append(&planned);
            paths.append(planned.paths);
        }
    }
    const QStringList reasons = runPlainMoves(paths, move, movedOne);
    QHash<const PlannedMove*, QString> byMove;
    for (qsizetype i = 0; i < plain.size(); ++i)
        byMove.insert(plain[i], reasons[i]);
    return byMove;
}

// Only the log of a batch cut short depends on its journal: the moves go on without it.
void writeJournal(const QString& path, const QList<PlannedMove>& moves)
{
    QList<BatchJournal::Entry> entries;
    entries.reserve(moves.size());
    for (const PlannedMove& move : moves)
        entries.append(journalEntry(move));
    if (const QString reason = BatchJournal::write(path, entries); !reason.isEmpty())
        Diagnostics::print(QStringLiteral("❌ Could not save batch_journal.json: ") + reason);
}

// Runs the batch script with the progress file polled every 80 ms; its count is shown
// against `total`, the whole batch.
ScriptRun runBatchScript(const QList<const PlannedMove*>& moves, qsizetype total, ProgressWindowManager& progress,
                         const std::function<PrivilegedRunner::Result(const QString&)>& run)
{
    ScriptRun outcome;
    // Root runs the script as it finds it when the prompt is answered.
    if (const QString unsafe = BatchScript::unsafeFolderReason(Paths::tempDir()); !unsafe.isEmpty()) {
        outcome.error = PluginError::unknownError(
            QStringLiteral("No batch script was written, because root would run it and %1. Set TMPDIR to a folder "
                           "of your own.")
                .arg(unsafe));
        return outcome;
    }
    const QUuid runId = QUuid::createUuid();
    const QString scriptFile = BatchScript::scriptPath(runId);
    const QString progressFile = BatchScript::progressPath(runId);
    QList<BatchScript::Move> scriptMoves;
    scriptMoves.reserve(moves.size());
    for (const PlannedMove* move : moves)
        scriptMoves.append(move->paths);

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
        QObject::connect(&poll, &QTimer::timeout, &poll, [progressFile, total, &progress] {
            QFile file(progressFile);
            if (!file.open(QIODevice::ReadOnly))
                return;
            if (const std::optional<double> fraction = BatchScript::parseProgress(file.read(64), total))
                progress.hudModel()->setProgress(*fraction);
        });
        poll.start();
        const PrivilegedRunner::Result result = run(BatchScript::runCommand(scriptFile));
        poll.stop();
        outcome.causes = BatchScript::errorsByMove(result.standardError);
        outcome.didNothing = !result.started || result.refused;
        if (!result.succeeded)
            outcome.error = PluginMover::errorFromRunner(result, QStringLiteral("Failed to execute AppleScript"));
    }
    QFile::remove(scriptFile);
    QFile::remove(progressFile);
    return outcome;
}

// What a batch's runs left to judge each move by.
struct BatchRun {
    ScriptRun script;
    /// Each privileged move's index in the script.
    QHash<const PlannedMove*, qsizetype> scriptIndex;
    /// Each plain move's reason, empty when it went through.
    QHash<const PlannedMove*, QString> plainReasons;
};

// Only what needs rights goes through the runner; the rest moves with the user's own.
BatchRun runBatch(const QList<PlannedMove>& moves, qsizetype total, bool showPanel, ProgressWindowManager& progress,
                  const std::function<PrivilegedRunner::Result(const QString&)>& runPrivileged,
                  const PluginMover::PlainMove& plainMove)
{
    BatchRun batch;
    QList<const PlannedMove*> privileged;
    for (const PlannedMove& move : moves) {
        if (move.route.privileged) {
            batch.scriptIndex.insert(&move, privileged.size());
            privileged.append(&move);
        }
    }
    batch.script.didNothing = false;
    if (!privileged.isEmpty())
        batch.script = runBatchScript(privileged, total, progress, runPrivileged);
    // A cancelled prompt cancels the whole batch.
    if (!(batch.script.didNothing && batch.script.error)) {
        const qsizetype before = privileged.size();
        batch.plainReasons = movePlainly(moves, plainMove, [&progress, showPanel, before, total](qsizetype done) {
            showProgress(progress, showPanel, before + done, total);
        });
    }
    return batch;
}

// A failing line inside the script does not fail the run: each item is judged on disk.
// Returns the records of the moved plug-ins as they are now.
QList<AudioPlugin> judgeBatch(const QList<PlannedMove>& moves, const BatchRun& batch, DisabledOrigins& origins,
                              MoveOutcome& outcome)
{
    QList<AudioPlugin> updated;
    for (const PlannedMove& move : moves) {
        if (!verifyMoved(move)) {
            if (move.plugin.isEnabled)
                origins.forget(move.paths.destination);
            const QString cause = move.route.privileged ? batch.script.causes.value(batch.scriptIndex.value(&move, -1))
                                                        : batch.plainReasons.value(&move);
            Q_ASSERT(!move.route.privileged || batch.scriptIndex.contains(&move));
            outcome.notChanged.append(
                {move.plugin, notMovedReason(move, cappedCause(cause)) + removeLeftoversOf(move)});
            outcome.rescan = outcome.rescan || hasLeft(move);
            continue;
        }
        removeLeftoversOf(move);
        AudioPlugin record = move.plugin;
        record.currentPath = move.paths.destination;
        record.isEnabled = !move.plugin.isEnabled;
        updated.append(record);
        if (move.plugin.isEnabled) {
            outcome.disabled.append(move.plugin);
        } else {
            origins.forget(move.paths.source);
            outcome.enabled.append(move.plugin);
        }
    }
    return updated;
}

// Writes what a batch changed to the catalogue, the origins file and the activity log.
RecordFailures recordBatch(PluginDatabase& database, ActivityLogManager& activityLog, const QList<AudioPlugin>& updated,
                           DisabledOrigins& origins, const MoveOutcome& outcome)
{
    RecordFailures failures;
    failures.add(QStringLiteral("The catalogue"), database.updatePlugins(updated));
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    // The log follows the input order: first every enabled plug-in, then every disabled one.
    if (!outcome.enabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     activityLog.logBatch(logPairs(outcome.enabled), ActivityLogEntry::Action::enabled));
    if (!outcome.disabled.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     activityLog.logBatch(logPairs(outcome.disabled), ActivityLogEntry::Action::disabled));
    return failures;
}

} // namespace

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
    // Written ahead: if the program dies while the script runs, the script still finishes
    // and the next scan must know where each bundle came from, and start-up must find
    // what a killed copy left.
    DisabledOrigins origins(m_originsPath);
    StagingNames staging;
    for (const PlannedMove& move : plan.moves) {
        if (move.plugin.isEnabled)
            origins.record(move.paths.destination, move.plugin.originalPath);
        staging.add(move.stagingNames());
    }
    if (const QString unsaved = writeAhead(staging, origins, true); !unsaved.isEmpty()) {
        // Like a refused prompt: nothing ran, and only the items refused earlier are named.
        for (const PlannedMove& move : plan.moves)
            outcome.notChanged.append({move.plugin, QStringLiteral("not moved")});
        publishFailures(outcome,
                        PluginError::unknownError(QStringLiteral("Nothing was moved, because %1.").arg(unsaved)),
                        plan.refused.size(), total);
        return outcome;
    }

    // Should this program die while the batch runs, the next start logs what it did from here.
    const QString journalPath = BatchJournal::defaultPath();
    writeJournal(journalPath, plan.moves);

    const bool showPanel = total >= kPanelThreshold;
    if (showPanel)
        m_progress.show(panelLabel(plugins), static_cast<int>(total));

    const BatchRun batch = runBatch(
        plan.moves, total, showPanel, m_progress, [this](const QString& command) { return runPrivileged(command); },
        m_plainMove);
    const QList<AudioPlugin> updated = judgeBatch(plan.moves, batch, origins, outcome);
    staging.forgetVanished();

    const RecordFailures failures = recordBatch(m_database, m_activityLog, updated, origins, outcome);
    // Recorded: a later start must not log these moves again.
    if (const QString reason = BatchJournal::remove(journalPath); !reason.isEmpty())
        Diagnostics::print(QStringLiteral("❌ Could not remove batch_journal.json: ") + reason);
    // Progress is cosmetic and the exit status follows the last line: a run that ran and
    // whose every item verified on disk is a success, whatever it said.
    const bool allMoved = outcome.notChanged.size() == plan.refused.size();
    outcome.reload = outcome.anyChanged() || allMoved;
    if (std::any_of(outcome.enabled.cbegin(), outcome.enabled.cend(),
                    [](const AudioPlugin& plugin) { return plugin.format == PluginFormat::wavesBundle; }))
        runWavesAURegUtilities();
    if (showPanel)
        m_progress.hide();
    publishFailures(outcome, allMoved && !batch.script.didNothing ? std::nullopt : batch.script.error,
                    plan.refused.size(), total, batch.script.didNothing);
    addRecordFailures(outcome, failures);
    return outcome;
}

// --- Delete ---

namespace {

struct DeleteTargets {
    QList<AudioPlugin> plugins;
    /// The bundles that need rights, for the one privileged run.
    QStringList privilegedPaths;
};

// The plug-ins that may be deleted; the others are refused into `outcome`.
DeleteTargets deleteTargets(const QList<AudioPlugin>& plugins, MoveOutcome& outcome)
{
    DeleteTargets targets;
    for (const AudioPlugin& plugin : plugins) {
        // rm -rf may run as root: only a bundle of the plug-in's own format, in its folders.
        if (!DisabledLayout::isManagedBundlePath(plugin.currentPath, plugin.format)) {
            outcome.notChanged.append(
                {plugin, QStringLiteral("its path is not a plug-in bundle in the plug-in folders or the disabled "
                                        "layout: %1")
                             .arg(plugin.currentPath)});
            continue;
        }
        targets.plugins.append(plugin);
        if (DisabledLayout::routeFor(plugin).privileged)
            targets.privilegedPaths.append(plugin.currentPath);
    }
    return targets;
}

// Judges each target on disk against its entry count before the run; the deleted ones are
// forgotten in `origins` and their ids returned.
QList<QUuid> judgeDeletes(const QList<AudioPlugin>& targets, const QList<qsizetype>& entriesBefore,
                          const QString& standardError, DisabledOrigins& origins, MoveOutcome& outcome)
{
    QList<QUuid> ids;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const AudioPlugin& plugin = targets[i];
        if (DisabledLayout::pathExists(plugin.currentPath)) {
            const QString cause = cappedCause(linesNaming(standardError, plugin.currentPath));
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
    return ids;
}

} // namespace

MoveOutcome PluginMover::remove(const QList<AudioPlugin>& plugins) const
{
    MoveOutcome outcome;
    const DeleteTargets deletable = deleteTargets(plugins, outcome);
    const QList<AudioPlugin>& targets = deletable.plugins;
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
    PrivilegedRunner::Result result;
    result.started = true;
    result.succeeded = true;
    if (!deletable.privilegedPaths.isEmpty())
        result = runPrivileged(BatchScript::deleteCommand(deletable.privilegedPaths));
    std::optional<PluginError> runError;
    if (!result.succeeded)
        runError = errorFromRunner(result, QStringLiteral("Failed to delete plugins"));
    const bool runDidNothing = !result.started || result.refused;
    // What needs no rights is removed with the user's own, unless the prompt was refused.
    if (!(runDidNothing && runError)) {
        for (const AudioPlugin& plugin : std::as_const(targets)) {
            if (!DisabledLayout::routeFor(plugin).privileged)
                DisabledLayout::removeTree(plugin.currentPath);
        }
    }

    DisabledOrigins origins(m_originsPath);
    const QList<QUuid> ids = judgeDeletes(targets, entriesBefore, result.standardError, origins, outcome);
    outcome.reload = !outcome.deleted.isEmpty();
    RecordFailures failures;
    failures.add(QStringLiteral("The catalogue"), m_database.deletePlugins(ids));
    failures.add(QStringLiteral("Where the bundles came from"), origins.saveIfChanged());
    if (!outcome.deleted.isEmpty())
        failures.add(QStringLiteral("The activity log"),
                     m_activityLog.logBatch(logPairs(outcome.deleted), ActivityLogEntry::Action::deleted));
    const bool allDeleted = outcome.notChanged.size() == refusedBeforeRun;
    publishFailures(outcome, allDeleted && !runDidNothing ? std::nullopt : std::move(runError), refusedBeforeRun,
                    plugins.size(), runDidNothing);
    addRecordFailures(outcome, failures);
    return outcome;
}

void PluginMover::runWavesAURegUtilities() const
{
    if (!m_services.processLauncher)
        return;
    const QDir wavesFolder(PluginFolderTable::wavesFolder());
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
