#include "MakeDemoTree/DemoTree.h"
#include "Platform/DataFolderLock.h"
#include "Support/ExecSql.h"
#include "Support/ScanAndWait.h"
#include "Support/Unprivileged.h"
#include "catalogue/PluginScanner.h"
#include "operations/BatchJournal.h"
#include "operations/DisabledOrigins.h"
#include "operations/OperationsFixture.h"
#include "operations/PluginMover.h"
#include "operations/StagingNames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace {

// The script path inside "/bin/sh 'Q'".
QString scriptPathOf(const QString& command)
{
    static const QRegularExpression pattern(QStringLiteral("^/bin/sh '([^']+)'$"));
    const auto match = pattern.match(command);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The command cut short: a batch script after its first `moves` moves, or the first
// `moves` parts of an "rm -rf … && rm -rf …" line.
QString truncatedCommand(const QString& command, int moves, const QString& scratch)
{
    const QString script = scriptPathOf(command);
    if (script.isEmpty())
        return command.split(QStringLiteral(" && ")).mid(0, moves).join(QStringLiteral(" && "));
    QFile file(script);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The three first lines, then a move line and a counting line per move (names hold no line feeds here).
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n').mid(0, 3 + 2 * moves);
    QFile out(scratch);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(lines.join(u'\n').toUtf8());
    return QStringLiteral("/bin/sh ") + DisabledLayout::shellQuote(scratch);
}

// Runs the first moves of a batch for real, then the program dies as a crash would:
// nothing after the run happens.
class DyingRunner final : public PrivilegedRunner {
public:
    DyingRunner(int moves, QString scratch) : m_moves(moves), m_scratch(std::move(scratch)) {}
    Result run(const QString& command) override
    {
        const QString cut = truncatedCommand(command, m_moves, m_scratch);
        const int status = std::system(cut.toLocal8Bit().constData());
        std::_Exit(status == 0 ? 0 : 3);
    }

private:
    int m_moves;
    QString m_scratch;
};

// Starts the batch script in the background as pkexec would (it outlives the program),
// with `mv` held after `moves` moves for as long as the gate file exists; once those
// moves are done, the program dies.
class OrphaningRunner final : public PrivilegedRunner {
public:
    OrphaningRunner(int moves, QString gate, QString bin)
        : m_moves(moves), m_gate(std::move(gate)), m_bin(std::move(bin))
    {
        using DisabledLayout::shellQuote;
        const QString count = m_bin + QStringLiteral("/count");
        QDir().mkpath(m_bin);
        QFile mv(m_bin + QStringLiteral("/mv"));
        if (!mv.open(QIODevice::WriteOnly))
            return;
        mv.write(QStringLiteral("#!/bin/sh\n"
                                "c=$(cat %1 2>/dev/null || echo 0); c=$((c+1)); printf '%d' $c > %1\n"
                                "if [ $c -gt %2 ]; then while [ -e %3 ]; do sleep 0.02; done; fi\n"
                                "exec /bin/mv \"$@\"\n")
                     .arg(shellQuote(count))
                     .arg(m_moves)
                     .arg(shellQuote(m_gate))
                     .toUtf8());
        mv.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    Result run(const QString& command) override
    {
        // The script must not hold this dying process's descriptors (the death test's pipe among them).
        for (const QString& fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
            if (fd.toInt() > 2)
                ::fcntl(fd.toInt(), F_SETFD, FD_CLOEXEC);
        }
        QProcess script;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), m_bin + u':' + env.value(QStringLiteral("PATH")));
        script.setProcessEnvironment(env);
        script.setProgram(QStringLiteral("/bin/sh"));
        script.setArguments({QStringLiteral("-c"), command});
        script.setStandardOutputFile(QProcess::nullDevice());
        script.setStandardErrorFile(QProcess::nullDevice());
        if (!script.startDetached())
            std::_Exit(4);
        QString progress = scriptPathOf(command);
        progress.replace(QStringLiteral("rackhand_batch_"), QStringLiteral("rackhand_progress_"))
            .replace(QStringLiteral(".sh"), QStringLiteral(".txt"));
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            QFile file(progress);
            if (file.open(QIODevice::ReadOnly) && file.readAll() == QByteArray::number(m_moves))
                std::_Exit(0);
            QThread::msleep(10);
        }
        std::_Exit(5);
    }

private:
    int m_moves;
    QString m_gate;
    QString m_bin;
};

// The words of one shell line as /bin/sh reads them, for the quoting our commands use:
// single-quoted runs, double-quoted runs and bare characters, split at blanks.
QStringList shellWords(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = line.indexOf(c, i + 1);
            word += line.mid(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == u' ') {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// Acts our batch scripts and delete lines out in-process (a few hundred moves through a
// real shell take many seconds), with one fault per call from a queue: a refused prompt,
// a run killed part-way, or a whole run whose exit status still says failure.
class FaultyRunner final : public PrivilegedRunner {
public:
    enum class Fault { none, refused, killedPartWay, failsAfterRunning };
    void enqueue(Fault fault) { m_faults.append(fault); }
    Result run(const QString& command) override
    {
        const Fault fault = m_faults.isEmpty() ? Fault::none : m_faults.takeFirst();
        if (fault == Fault::refused)
            return RecordingRunner::failure(QStringLiteral("Request dismissed"), 126);
        const QStringList steps = stepsOf(command);
        const qsizetype count = fault == Fault::killedPartWay ? steps.size() / 2 : steps.size();
        for (qsizetype i = 0; i < count; ++i)
            actOut(shellWords(steps[i]));
        if (fault == Fault::killedPartWay)
            return RecordingRunner::killed();
        if (fault == Fault::failsAfterRunning)
            return RecordingRunner::commandFailure(QStringLiteral("sh: write error"), 2);
        return RecordingRunner::success();
    }

private:
    // One move ("mkdir -p F && mv S D") or one removal ("rm -rf C") per step.
    static QStringList stepsOf(const QString& command)
    {
        const QString script = scriptPathOf(command);
        if (script.isEmpty())
            return command.split(QStringLiteral(" && "));
        QFile file(script);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList moves;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (line.startsWith(QLatin1String("mkdir -p ")))
                moves.append(line);
        }
        return moves;
    }
    static void actOut(const QStringList& words)
    {
        const qsizetype mv = words.indexOf(QStringLiteral("mv"));
        if (words.value(0) == QLatin1String("mkdir") && mv > 0 && words.value(mv + 1) == QLatin1String("-T")) {
            QDir().mkpath(words[2]);
            if (!DisabledLayout::pathExists(words.value(mv + 3)))
                QDir().rename(words.value(mv + 2), words.value(mv + 3));
        } else if (words.size() == 3 && words[0] == QLatin1String("rm")) {
            if (QFileInfo(words[2]).isDir())
                QDir(words[2]).removeRecursively();
        }
    }

    QList<Fault> m_faults;
};

// Runs something of its own once, before the next command reaches the runner it wraps:
// another window's scan, say, between planning and the moves.
class InterruptedRunner final : public PrivilegedRunner {
public:
    InterruptedRunner(std::shared_ptr<PrivilegedRunner> runner) : m_runner(std::move(runner)) {}
    void beforeNextRun(std::function<void()> interruption) { m_interruption = std::move(interruption); }
    Result run(const QString& command) override
    {
        if (const std::function<void()> interruption = std::exchange(m_interruption, {}))
            interruption();
        return m_runner->run(command);
    }

private:
    std::shared_ptr<PrivilegedRunner> m_runner;
    std::function<void()> m_interruption;
};

class OperationReliabilityTest : public OperationsTest {
protected:
    QString central(const QString& sub) const { return sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/")) + sub; }

    /// True when `other` is a folder on another file system than R's.
    bool onAnotherFileSystem(const QTemporaryDir& other) const
    {
        struct stat otherInfo {};
        struct stat rootInfo {};
        return other.isValid() && ::stat(QFile::encodeName(other.path()).constData(), &otherInfo) == 0 &&
               ::stat(QFile::encodeName(root()).constData(), &rootInfo) == 0 && otherInfo.st_dev != rootInfo.st_dev;
    }

    /// One hash for a whole bundle: its relative paths and their contents.
    static QByteArray bundleHash(const QString& path)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const QMap<QString, QByteArray> tree = treeHash(path);
        for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
            hash.addData(it.key().toUtf8());
            hash.addData(it.value());
        }
        return hash.result();
    }

    /// Every bundle a scan finds now, counted by content.
    QMap<QByteArray, int> scannedBundles(PluginManagerViewModel& model)
    {
        EXPECT_TRUE(scanAndWait(model));
        QMap<QByteArray, int> bundles;
        for (const AudioPlugin& plugin : model.plugins())
            ++bundles[bundleHash(plugin.currentPath)];
        return bundles;
    }

    static bool inDisabledFolder(const QString& path)
    {
        return path.startsWith(DisabledLayout::centralDisabledDirectory() + u'/') ||
               DisabledLayout::fileName(DisabledLayout::parentFolder(path)) == QLatin1String("Disabled") ||
               path.contains(QLatin1String("Plug-Ins (Unused)"));
    }

    /// Every catalogue row names a bundle that is there, in the folder its state says.
    void expectCatalogueFollowsDisk(const char* step)
    {
        SCOPED_TRACE(step);
        for (const AudioPlugin& row : db().queryPlugins({})) {
            EXPECT_TRUE(DisabledLayout::pathExists(row.currentPath)) << row.currentPath.toStdString();
            EXPECT_EQ(row.isEnabled, !inDisabledFolder(row.currentPath)) << row.currentPath.toStdString();
        }
    }

    static QList<AudioPlugin> withState(const QList<AudioPlugin>& plugins, bool enabled)
    {
        QList<AudioPlugin> result;
        for (const AudioPlugin& plugin : plugins) {
            if (plugin.isEnabled == enabled)
                result.append(plugin);
        }
        return result;
    }

    using Snapshot = QMap<QString, QMap<QString, QByteArray>>;
    Snapshot snapshot() const
    {
        return {{QStringLiteral("R"), treeHash(root())}, {QStringLiteral("H"), treeHash(home())}};
    }

    /// Every file as it was, and nothing new: nothing lost, duplicated, nested or misplaced.
    void expectUnchangedSince(const Snapshot& before) const
    {
        const Snapshot after = snapshot();
        for (const QString& side : {QStringLiteral("R"), QStringLiteral("H")}) {
            for (auto it = before[side].cbegin(); it != before[side].cend(); ++it)
                EXPECT_EQ(after[side].value(it.key()), it.value()) << side.toStdString() << it.key().toStdString();
            for (auto it = after[side].cbegin(); it != after[side].cend(); ++it)
                EXPECT_TRUE(before[side].contains(it.key())) << "new: " << side.toStdString() << it.key().toStdString();
        }
    }

    /// System bundles whose origins only their records tell (a free name, a vendor
    /// folder), an Audio Unit, one in the user's folder, and these plain VST3s.
    void plantBatchTree(const QStringList& moreSystemVst3)
    {
        makeBundle(central("VST3/X.vst3")); // unrelated: the system's X must get a free name
        enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/X.vst3"), PluginFormat::vst3, "x");
        enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Vendor/Deep.vst3"), PluginFormat::vst3, "deep");
        enabledBundle(sys("/Library/Audio/Plug-Ins/Components/Comp.component"), PluginFormat::au, "comp");
        enabledBundle(usr("/Library/Audio/Plug-Ins/Components/Mine.component"), PluginFormat::au, "mine");
        for (const QString& name : moreSystemVst3)
            enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/") + name + QStringLiteral(".vst3"), PluginFormat::vst3,
                          name.toUtf8());
    }

    /// The activity log, newest first, as "Disabled A (VST3)".
    QStringList logged() const
    {
        QStringList lines;
        for (const ActivityLogEntry& entry : activityLog().entries())
            lines.append(QStringLiteral("%1 %2 (%3)")
                             .arg(ActivityLogEntry::actionRawValue(entry.action), entry.pluginName, entry.format));
        return lines;
    }

    /// Every disabled bundle but the unrelated X.
    QList<AudioPlugin> disabledButTheUnrelated(const PluginManagerViewModel& model) const
    {
        QList<AudioPlugin> disabled;
        for (const AudioPlugin& plugin : withState(model.plugins(), false)) {
            if (plugin.currentPath != central("VST3/X.vst3"))
                disabled.append(plugin);
        }
        return disabled;
    }
};

// --- A crash while the script runs ---

using OperationReliabilityDeathTest = OperationReliabilityTest;

TEST_F(OperationReliabilityDeathTest, OriginsWrittenAheadSurviveACrashMidBatch)
{
    plantBatchTree({QStringLiteral("Sys")});
    PluginManagerViewModel& first = sandboxVm();
    ASSERT_TRUE(scanAndWait(first));
    const auto before = snapshot();
    const QList<AudioPlugin> enabled = withState(first.plugins(), true);
    ASSERT_EQ(enabled.size(), 5);
    // Three of the four system bundles move; the home one, moved with the user's rights
    // after the script, never does.
    const QString scratch = home() + QStringLiteral("/partial.sh");
    // The program dies inside the run: no outcome comes back.
    EXPECT_EXIT({ static_cast<void>(mover(std::make_shared<DyingRunner>(3, scratch)).switchMany(enabled)); },
                testing::ExitedWithCode(0), "");
    EXPECT_EQ(batchTempFiles().size(), 2);

    // The next start finds the leftovers and what the script did, and logs the moves it made.
    PluginManagerViewModel second(db(), activityLog(), progressState(), services(m_sandboxRunner));
    EXPECT_TRUE(batchTempFiles().isEmpty());
    EXPECT_EQ(logged(), (QStringList{QStringLiteral("Disabled Comp (Audio Units)"),
                                     QStringLiteral("Disabled Deep (VST3)"), QStringLiteral("Disabled Sys (VST3)")}));
    EXPECT_FALSE(QFileInfo::exists(BatchJournal::defaultPath()));
    ASSERT_TRUE(scanAndWait(second));
    const QList<AudioPlugin> disabled = disabledButTheUnrelated(second);
    ASSERT_EQ(disabled.size(), 3);
    second.toggleMultiplePlugins(disabled);
    ASSERT_FALSE(second.error()) << second.error()->detail.toStdString();
    QFile::remove(scratch);
    expectUnchangedSince(before);
    // What is left speaks only for bundles that never moved: nothing waits at those paths.
    const QHash<QString, QString> left = DisabledOrigins().origins();
    for (auto it = left.cbegin(); it != left.cend(); ++it)
        EXPECT_FALSE(DisabledLayout::pathExists(it.key())) << it.key().toStdString();
}

TEST_F(OperationReliabilityTest, BatchFilesOfALiveRunAreKept)
{
    makeDir(Paths::tempDir());
    const QString live = Paths::tempDir() + QStringLiteral("/rackhand_batch_LIVE.sh");
    const QString dead = Paths::tempDir() + QStringLiteral("/rackhand_progress_DEAD.txt");
    writeFile(live, "#!/bin/sh\nn=0");
    writeFile(dead, "3");
    QFile held(live);
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(held.handle(), LOCK_SH | LOCK_NB), 0);
    PluginMover::removeStaleBatchFiles();
    EXPECT_TRUE(QFileInfo::exists(live));
    EXPECT_FALSE(QFileInfo::exists(dead));
}

TEST_F(OperationReliabilityDeathTest, ARestartWhileTheScriptStillRunsWaitsForItAndLosesNothing)
{
    plantBatchTree({QStringLiteral("A"), QStringLiteral("B")});
    PluginManagerViewModel& first = sandboxVm();
    ASSERT_TRUE(scanAndWait(first));
    const auto before = snapshot();
    QList<AudioPlugin> enabled = withState(first.plugins(), true);
    ASSERT_EQ(enabled.size(), 6);
    std::sort(enabled.begin(), enabled.end(),
              [](const AudioPlugin& a, const AudioPlugin& b) { return a.name < b.name; });

    // The window dies once A and B have moved; its script goes on, held before Comp, Deep and X.
    const QString base = QFileInfo(root()).path();
    const QString gate = base + QStringLiteral("/gate");
    writeFile(gate, "closed");
    EXPECT_EXIT(
        {
            const auto runner = std::make_shared<OrphaningRunner>(2, gate, base + QStringLiteral("/bin"));
            static_cast<void>(mover(runner).switchMany(enabled)); // the program dies inside
        },
        testing::ExitedWithCode(0), "");
    // However this test ends, the script is let go and has ended before the sandbox goes.
    const auto release = qScopeGuard([&gate] {
        QFile::remove(gate);
        const QDeadlineTimer deadline(30000);
        while (PluginMover::earlierBatchRunning() && !deadline.hasExpired())
            QThread::msleep(20);
    });
    ASSERT_TRUE(PluginMover::earlierBatchRunning());

    // The restart keeps the live script's files and its origin records, and waits for it.
    PluginManagerViewModel second(db(), activityLog(), progressState(), services(m_sandboxRunner));
    EXPECT_EQ(batchTempFiles().size(), 2);
    EXPECT_TRUE(second.isOperationRunning());
    second.togglePlugin(second.plugins().value(0));
    EXPECT_EQ(second.error(), PluginManagerViewModel::earlierBatchRunningError());
    EXPECT_TRUE(m_sandboxRunner->commands().isEmpty());
    bool scanned = false;
    second.scanForPlugins([&scanned] { scanned = true; });
    QTest::qWait(600);
    EXPECT_FALSE(scanned);
    EXPECT_TRUE(second.isLoading());
    // The window says why it waits, and how far the earlier batch has come.
    ProgressWindowManager& panel = progressState();
    EXPECT_TRUE(panel.isPanelVisible());
    EXPECT_EQ(panel.hudModel()->label(), QStringLiteral("Finishing an earlier batch…"));
    EXPECT_EQ(panel.hudModel()->count(), 5);
    EXPECT_DOUBLE_EQ(panel.hudModel()->progress(), 0.4);
    EXPECT_TRUE(logged().isEmpty());
    const QHash<QString, QString> origins = DisabledOrigins().origins();
    EXPECT_EQ(origins.value(central("VST3/X 1.vst3")), sys("/Library/Audio/Plug-Ins/VST3/X.vst3"));
    EXPECT_EQ(origins.value(central("VST3/Deep.vst3")), sys("/Library/Audio/Plug-Ins/VST3/Vendor/Deep.vst3"));

    // When the script ends, the folders are read again.
    QFile::remove(gate);
    const QDeadlineTimer deadline(30000);
    while (!scanned && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    ASSERT_TRUE(scanned);
    EXPECT_FALSE(second.isOperationRunning());
    EXPECT_TRUE(batchTempFiles().isEmpty());
    EXPECT_TRUE(panel.isClosePending() || !panel.isPanelVisible());
    // Every move the script made is logged as the window would have logged it; the home
    // bundle, which the window would have moved after the script, stayed.
    EXPECT_EQ(logged(), (QStringList{QStringLiteral("Disabled A (VST3)"), QStringLiteral("Disabled B (VST3)"),
                                     QStringLiteral("Disabled Comp (Audio Units)"),
                                     QStringLiteral("Disabled Deep (VST3)"), QStringLiteral("Disabled X (VST3)")}));
    EXPECT_FALSE(QFileInfo::exists(BatchJournal::defaultPath()));
    expectCatalogueFollowsDisk("after the orphaned batch");
    EXPECT_EQ(second.dbDisabledCount(), 6); // five moved, and the unrelated X
    second.setError(std::nullopt);

    // Enable All: everything back where it was, nothing lost, duplicated, nested or misplaced.
    second.toggleMultiplePlugins(disabledButTheUnrelated(second));
    ASSERT_FALSE(second.error()) << second.error()->detail.toStdString();
    expectUnchangedSince(before);
}

// --- A copy across file systems killed part-way ---

TEST_F(OperationReliabilityDeathTest, ACopyAcrossFileSystemsKilledPartWayLeavesNoVisibleDuplicate)
{
    // The disabled layout on another file system: every move into it is a copy.
    QTemporaryDir other(QStringLiteral("/dev/shm/rackhand-test-XXXXXX"));
    if (!onAnotherFileSystem(other))
        GTEST_SKIP() << "no second file system at /dev/shm";
    makeDir(sys("/Library/Audio/Plug-Ins"));
    ASSERT_TRUE(QFile::link(other.path(), DisabledLayout::centralDisabledDirectory()));
    const QByteArray big(1024 * 1024, 'b');
    // One through the root script (its copy killed), one moved by the program itself (which is killed).
    const AudioPlugin system = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Root.vst3"), PluginFormat::vst3, big);
    const AudioPlugin mine = enabledBundle(usr("/Library/Audio/Plug-Ins/VST3/Home.vst3"), PluginFormat::vst3, big);
    writeFile(mine.currentPath + QStringLiteral("/Contents/Resources/small"), "small");
    PluginManagerViewModel& first = sandboxVm();
    ASSERT_TRUE(scanAndWait(first));
    ASSERT_EQ(first.plugins().size(), 2);
    const auto before = snapshot();
    EXPECT_EXIT(
        {
            // Writing past 256 KiB kills the writer, as a kill part-way through the copy would.
            rlimit noCore{};
            ::setrlimit(RLIMIT_CORE, &noCore);
            rlimit size{};
            ::getrlimit(RLIMIT_FSIZE, &size);
            size.rlim_cur = 256 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &size);
            std::signal(SIGXFSZ, SIG_DFL);
            static_cast<void>(mover(m_sandboxRunner).switchMany(first.plugins())); // killed inside
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGXFSZ), "");

    // Nothing under a name the scan reads: at most a hidden staging copy.
    const QDir disabledVst3(central("VST3"));
    EXPECT_TRUE(disabledVst3.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    for (const QString& name : disabledVst3.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        EXPECT_TRUE(name.startsWith(DisabledLayout::stagingPrefix())) << name.toStdString();
    EXPECT_EQ(PluginScanner::scan().size(), 2);

    // The next start removes what the killed copy left; a whole round then goes and comes back intact.
    PluginManagerViewModel second(db(), activityLog(), progressState(), services(m_sandboxRunner));
    EXPECT_TRUE(disabledVst3.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    ASSERT_TRUE(scanAndWait(second));
    ASSERT_EQ(withState(second.plugins(), true).size(), 2);
    second.toggleMultiplePlugins(second.plugins());
    ASSERT_FALSE(second.error()) << second.error()->detail.toStdString();
    EXPECT_EQ(readFile(central("VST3/Home.vst3/Contents/Resources/small")), QByteArray("small"));
    ASSERT_TRUE(scanAndWait(second));
    second.toggleMultiplePlugins(second.plugins());
    ASSERT_FALSE(second.error()) << second.error()->detail.toStdString();
    expectUnchangedSince(before);
    EXPECT_TRUE(disabledVst3.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(StagingNames::defaultPath()));
}

TEST_F(OperationReliabilityTest, OnlyStagingNamesAreRemovedOnTheJournalsWord)
{
    // The journal is a file the user can edit: nothing but a staging name may be removed on its word.
    const QString stale = central("VST3/") + DisabledLayout::stagingPrefix() + QStringLiteral("copy-1");
    const QString bundle = sys("/Library/Audio/Plug-Ins/VST3/Keep.vst3");
    for (const QString& path : {stale, bundle})
        writeFile(path + QStringLiteral("/Contents/file"), "x");
    StagingNames journal;
    journal.add({stale, bundle});
    ASSERT_EQ(journal.saveIfChanged(), QString());
    StagingNames().removeLeftovers();
    EXPECT_FALSE(DisabledLayout::pathExists(stale));
    EXPECT_EQ(readFile(bundle + QStringLiteral("/Contents/file")), QByteArray("x"));
    EXPECT_TRUE(StagingNames().paths().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(StagingNames::defaultPath()));
}

// --- Records written ahead of a move ---

/// A move writes where its bundle came from, and for a copy across file systems the hidden names
/// the copy will use, before anything moves: a move cut off without them could be neither cleaned
/// up nor told apart afterwards.
class WriteAheadTest : public OperationReliabilityTest {
protected:
    /// While `block` keeps a record from being written, one switch and a batch move nothing
    /// and say why; once `unblock` has run, the same switches go through.
    void expectNothingMovesWhileBlocked(const std::function<void()>& block, const std::function<void()>& unblock,
                                        const QString& saidOfOne, const QString& saidOfMany)
    {
        PluginManagerViewModel& model = sandboxVm();
        int n = 0;
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(batch ? "a batch" : "one switch");
            QList<AudioPlugin> plugins;
            for (int i = 0; i < (batch ? 2 : 1); ++i, ++n)
                plugins.append(enabledBundle(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/W%1.vst3").arg(n)),
                                             PluginFormat::vst3));
            seed(plugins, true);
            const auto before = snapshot();
            const auto toggle = [&] {
                model.setError(std::nullopt);
                if (batch)
                    model.toggleMultiplePlugins(plugins);
                else
                    model.togglePlugin(plugins.first());
            };
            block();
            toggle();
            unblock();
            ASSERT_TRUE(model.error());
            EXPECT_TRUE(model.error()->detail.contains(batch ? saidOfMany : saidOfOne))
                << model.error()->detail.toStdString();
            expectUnchangedSince(before);
            for (const AudioPlugin& plugin : std::as_const(plugins))
                EXPECT_TRUE(row(plugin.id).isEnabled);
            EXPECT_TRUE(activityLog().entries().isEmpty());

            toggle();
            EXPECT_FALSE(model.error()) << model.error()->detail.toStdString();
            for (const AudioPlugin& plugin : std::as_const(plugins))
                EXPECT_FALSE(row(plugin.id).isEnabled);
            ASSERT_TRUE(activityLog().clearLog().isEmpty());
        }
    }
};

TEST_F(WriteAheadTest, NothingMovesWhileWhereItCameFromCannotBeWritten)
{
    // A full disk, as far as this process writes files: the first write, the origins file's, fails.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG
    const auto restore = qScopeGuard([&] {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousSignal);
    });
    expectNothingMovesWhileBlocked(
        [&] {
            rlimit tiny = saved;
            tiny.rlim_cur = 8;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
        },
        [&] { ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0); },
        QStringLiteral("\"W0\" (VST3) was not moved, because where it came from could not be saved"),
        QStringLiteral("Nothing was moved, because where the bundles came from could not be saved"));
}

TEST_F(WriteAheadTest, NothingMovesWhileTheNamesOfACopyCannotBeWritten)
{
    // The disabled layout on another file system: every move into it is a copy under hidden names.
    QTemporaryDir other(QStringLiteral("/dev/shm/rackhand-test-XXXXXX"));
    if (!onAnotherFileSystem(other))
        GTEST_SKIP() << "no second file system at /dev/shm";
    makeDir(sys("/Library/Audio/Plug-Ins"));
    ASSERT_TRUE(QFile::link(other.path(), DisabledLayout::centralDisabledDirectory()));
    const QString journal = StagingNames::defaultPath();
    expectNothingMovesWhileBlocked([&] { makeDir(journal); }, [&] { QDir(journal).removeRecursively(); },
                                   QStringLiteral("\"W0\" (VST3) was not moved, because the hidden names its copy "
                                                  "would use could not be saved"),
                                   QStringLiteral("Nothing was moved, because the hidden names the copies would use "
                                                  "could not be saved"));
    // Once the names could be written, the three bundles were copied over, and nothing hidden is left.
    EXPECT_EQ(
        QDir(other.path() + QStringLiteral("/VST3")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList{QStringLiteral("W0.vst3"), QStringLiteral("W1.vst3"), QStringLiteral("W2.vst3")}));
}

// A switch that did not happen drops its origin record again; when that cannot be saved, it says so.
TEST_F(OperationReliabilityTest, AFailedSwitchWhoseOriginCannotBeForgottenSaysSo)
{
    const AudioPlugin plugin = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Stuck.vst3"), PluginFormat::vst3);
    seed({plugin});
    const QString originsPath = DisabledOrigins::defaultPath();
    m_recorder->setOnRun([&](const QString&) {
        QFile::remove(originsPath);
        makeDir(originsPath);
    }); // and moves nothing
    vm().togglePlugin(plugin);
    ASSERT_TRUE(vm().error());
    EXPECT_TRUE(vm().error()->detail.contains(QStringLiteral("not moved")));
    EXPECT_TRUE(vm().error()->detail.contains(QStringLiteral("Where the bundles came from could not be saved")))
        << vm().error()->detail.toStdString();
    EXPECT_TRUE(row(plugin.id).isEnabled);
}

// Names of copies that are gone are dropped from their file; when it cannot be saved, that is printed.
TEST_F(OperationReliabilityTest, TheNamesOfCopiesThatAreGoneAreDroppedOrTheFailurePrinted)
{
    const QString gone = central("VST3/") + DisabledLayout::stagingPrefix() + QStringLiteral("copy-1");
    StagingNames journal;
    journal.add({gone});
    ASSERT_TRUE(journal.saveIfChanged().isEmpty());
    StagingNames loaded;
    ASSERT_EQ(loaded.paths(), QStringList{gone});
    QFile::remove(StagingNames::defaultPath());
    makeDir(StagingNames::defaultPath());
    loaded.forgetVanished();
    EXPECT_TRUE(loaded.paths().isEmpty());
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().startsWith(QStringLiteral("❌ Could not save staging_names.json: ")))
        << printedLines().first().toStdString();

    QDir(StagingNames::defaultPath()).removeRecursively();
    loaded.forgetVanished(); // saved now: nothing left to name
    EXPECT_FALSE(QFileInfo::exists(StagingNames::defaultPath()));
}

// --- Records that cannot be written after a move ---

TEST_F(OperationReliabilityTest, RecordsThatCannotBeSavedAfterAMoveAreReported)
{
    struct Case {
        const char* name;
        QString what;
        std::function<void()> inject;
        std::function<void()> mend;
        int bundles; // the count's grammar: one plug-in, or many
    };
    const QString dbPath = Paths::dataFile(QStringLiteral("plugins.db"));
    const QString logPath = Paths::dataFile(QStringLiteral("activity_log.json"));
    const QString originsPath = DisabledOrigins::defaultPath();
    const QList<Case> cases{
        {"catalogue", QStringLiteral("The catalogue could not be saved"),
         [&] {
             execSql(dbPath,
                     "CREATE TRIGGER full BEFORE UPDATE ON plugins BEGIN SELECT RAISE(ABORT, 'disk full'); END");
         },
         [&] { execSql(dbPath, "DROP TRIGGER full"); }, 1},
        {"activity log", QStringLiteral("The activity log could not be saved"),
         [&] {
             QFile::remove(logPath);
             makeDir(logPath);
         },
         [&] { QDir(logPath).removeRecursively(); }, 2},
        {"origins", QStringLiteral("Where the bundles came from could not be saved"),
         [&] {
             QFile::remove(originsPath);
             makeDir(originsPath);
         },
         [&] { QDir(originsPath).removeRecursively(); }, 1},
    };
    PluginManagerViewModel& model = vm();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Disabled system bundles with their recorded origins; the runner moves them back.
        QList<AudioPlugin> plugins;
        DisabledOrigins origins;
        for (int i = 0; i < c.bundles; ++i, ++n) {
            AudioPlugin plugin = enabledBundle(central(QStringLiteral("VST3/P%1.vst3").arg(n)), PluginFormat::vst3);
            plugin.originalPath = sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(n));
            plugin.isEnabled = false;
            makeDir(DisabledLayout::parentFolder(plugin.originalPath));
            origins.record(plugin.currentPath, plugin.originalPath);
            plugins.append(plugin);
        }
        ASSERT_TRUE(origins.saveIfChanged().isEmpty());
        seed(plugins);
        m_recorder->setOnRun([&](const QString&) {
            for (const AudioPlugin& plugin : std::as_const(plugins))
                QFile::rename(plugin.currentPath, plugin.originalPath);
            c.inject();
        });
        model.toggleMultiplePlugins(plugins);
        m_recorder->setOnRun({});
        ASSERT_TRUE(model.error());
        EXPECT_TRUE(model.error()->detail.contains(c.what)) << model.error()->detail.toStdString();
        // The cause is known, and the count reads as a count.
        EXPECT_EQ(model.error()->kind, PluginError::Kind::databaseError);
        EXPECT_TRUE(model.error()->detail.startsWith(
            c.bundles == 1 ? QStringLiteral("1 plug-in was changed on disk, but not everything was recorded:")
                           : QStringLiteral("2 plug-ins were changed on disk, but not everything was recorded:")))
            << model.error()->detail.toStdString();
        EXPECT_TRUE(model.error()->detail.contains(QStringLiteral("\"P%1\" (VST3)").arg(n - 1)));
        c.mend();

        // The rows follow the disk once the queued scan has run.
        ASSERT_TRUE(settleQueuedScan(model));
        expectCatalogueFollowsDisk(c.name);
        EXPECT_EQ(db().totalDisabledCount(), 0);
        model.setError(std::nullopt);
    }
}

// --- Something appears at a destination before the run ---

TEST_F(OperationReliabilityTest, AnItemThatAppearedAtADestinationIsNeverRemoved)
{
    const AudioPlugin blocked = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/B.vst3"), PluginFormat::vst3, "mine");
    const AudioPlugin other = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/S.vst3"), PluginFormat::vst3, "sys");
    seed({blocked, other});
    const QString occupied = central("VST3/B.vst3");
    m_recorder->setOnRun([&](const QString&) {
        // Someone else's item appears where B was planned to go; the script leaves B alone.
        writeFile(occupied + QStringLiteral("/Contents/MacOS/binary"), "someone else's");
        QFile::rename(other.currentPath, central("VST3/S.vst3"));
    });
    PluginManagerViewModel& model = vm();
    model.toggleMultiplePlugins({blocked, other});
    // Only names the batch made itself are ever cleaned up.
    EXPECT_EQ(readFile(occupied + QStringLiteral("/Contents/MacOS/binary")), QByteArray("someone else's"));
    EXPECT_EQ(readFile(blocked.currentPath + QStringLiteral("/Contents/MacOS/binary")), QByteArray("mine"));
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.contains(QStringLiteral("an item already exists at %1").arg(occupied)))
        << model.error()->detail.toStdString();
    EXPECT_FALSE(model.error()->detail.contains(QStringLiteral("removed")));
    EXPECT_TRUE(row(blocked.id).isEnabled);
    EXPECT_FALSE(row(other.id).isEnabled);
    EXPECT_FALSE(DisabledOrigins().origins().contains(occupied));
    EXPECT_TRUE(DisabledOrigins().origins().contains(central("VST3/S.vst3")));
}

// --- What a failed run says ---

TEST_F(OperationReliabilityTest, RunnerFailuresAreNamedForWhatTheyAre)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    const AudioPlugin b = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/B.vst3"), PluginFormat::vst3);
    seed({a, b});
    PluginManagerViewModel& model = vm();
    struct Row {
        const char* name;
        PrivilegedRunner::Result answer;
        PluginError::Kind kind;
        QString detailContains;
    };
    const Row rows[] = {
        {"cancelled prompt", RecordingRunner::failure("Request dismissed", 126), PluginError::Kind::permissionDenied,
         QStringLiteral("Request dismissed")},
        {"killed script", RecordingRunner::killed(), PluginError::Kind::unknownError,
         QStringLiteral("stopped before it finished: Killed")},
        {"failing shell", RecordingRunner::commandFailure("sh: 1: cannot open script: No such file", 2),
         PluginError::Kind::unknownError, QStringLiteral("sh: 1: cannot open script: No such file")},
    };
    for (const Row& r : rows) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (batch ? " (batch)" : " (one)"));
            m_recorder->enqueue(r.answer);
            if (batch)
                model.toggleMultiplePlugins({a, b});
            else
                model.togglePlugin(a);
            ASSERT_TRUE(model.error());
            EXPECT_EQ(model.error()->kind, r.kind);
            EXPECT_TRUE(model.error()->detail.contains(r.detailContains)) << model.error()->detail.toStdString();
            EXPECT_TRUE(row(a.id).isEnabled);
            model.setError(std::nullopt);
        }
    }
}

TEST_F(OperationReliabilityTest, EachFailedBatchItemShowsItsOwnErrorLine)
{
    const AudioPlugin au = enabledBundle(sys("/Library/Audio/Plug-Ins/Components/Comp.component"), PluginFormat::au);
    const AudioPlugin vst3 = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/V.vst3"), PluginFormat::vst3);
    seed({au, vst3}, true);
    // A file where the Audio Units folder should be: its mkdir fails, the VST3 moves.
    QDir(central("Audio Units")).removeRecursively();
    writeFile(central("Audio Units"), "in the way");
    PluginManagerViewModel& model = sandboxVm();
    model.toggleMultiplePlugins({au, vst3});
    ASSERT_TRUE(model.error());
    const QString detail = model.error()->detail;
    EXPECT_TRUE(detail.contains(
        QStringLiteral("\"Comp\" (Audio Units): not moved; it is still at %1 (mkdir: ").arg(au.currentPath)))
        << detail.toStdString();
    EXPECT_TRUE(detail.contains(central("Audio Units"))) << detail.toStdString();
    EXPECT_FALSE(row(vst3.id).isEnabled);
    EXPECT_TRUE(row(au.id).isEnabled);
}

TEST_F(OperationReliabilityTest, AnItemsErrorCarriesOnlyItsOwnLines)
{
    RUN_UNPRIVILEGED();
    // A name GNU tools write escaped, beside a plain one: both moves fail.
    const AudioPlugin plain = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Plain.vst3"), PluginFormat::vst3);
    const AudioPlugin odd = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/new\nline.vst3"), PluginFormat::vst3);
    // The first delete stops at a locked folder, so the second is never tried.
    const AudioPlugin locked = enabledBundle(sys("/Library/Audio/Plug-Ins/CLAP/Locked.clap"), PluginFormat::clap);
    const AudioPlugin untried = enabledBundle(sys("/Library/Audio/Plug-Ins/CLAP/Untried.clap"), PluginFormat::clap);
    writeFile(locked.currentPath + QStringLiteral("/Contents/Resources/file"), "x");
    seed({plain, odd, locked, untried});
    makeDir(central("VST3"));
    const QByteArray disabledVst3 = QFile::encodeName(central("VST3"));
    const QByteArray resources = QFile::encodeName(locked.currentPath + QStringLiteral("/Contents/Resources"));
    ASSERT_EQ(::chmod(disabledVst3.constData(), 0555), 0);
    ASSERT_EQ(::chmod(resources.constData(), 0555), 0);
    const PluginMover sandboxMover = mover(m_sandboxRunner);
    const MoveOutcome moves = sandboxMover.switchMany({plain, odd});
    const MoveOutcome deletes = sandboxMover.remove({locked, untried});
    ::chmod(disabledVst3.constData(), 0755);
    ::chmod(resources.constData(), 0755);

    auto reasonOf = [](const MoveOutcome& outcome, const AudioPlugin& plugin) {
        for (const MoveOutcome::Failure& failure : outcome.notChanged) {
            if (failure.plugin.id == plugin.id)
                return failure.reason;
        }
        return QStringLiteral("<changed>");
    };
    const QString plainReason = reasonOf(moves, plain);
    const QString oddReason = reasonOf(moves, odd);
    EXPECT_TRUE(plainReason.contains(QStringLiteral("Permission denied"))) << plainReason.toStdString();
    EXPECT_FALSE(plainReason.contains(QStringLiteral("line.vst3"))) << plainReason.toStdString();
    EXPECT_TRUE(oddReason.contains(QStringLiteral("Permission denied"))) << oddReason.toStdString();
    EXPECT_FALSE(oddReason.contains(QStringLiteral("Plain"))) << oddReason.toStdString();
    const QString lockedReason = reasonOf(deletes, locked);
    const QString untriedReason = reasonOf(deletes, untried);
    EXPECT_TRUE(lockedReason.contains(QStringLiteral("Permission denied"))) << lockedReason.toStdString();
    EXPECT_EQ(untriedReason, QStringLiteral("still present at %1").arg(untried.currentPath));
}

// --- A delete that stops part-way ---

TEST_F(OperationReliabilityTest, PartialDeleteIsSaidAndTheRowFollowsTheDisk)
{
    const QString path = sys("/Library/Audio/Plug-Ins/VST3/Half.vst3");
    makeBundle(path, {{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0")}});
    writeFile(path + QStringLiteral("/Contents/MacOS/binary"), "payload");
    PluginManagerViewModel& model = vm();
    ASSERT_TRUE(scanAndWait(model));
    ASSERT_EQ(model.plugins().size(), 1);
    const AudioPlugin half = model.plugins().first();
    ASSERT_EQ(half.version, QStringLiteral("1.0"));

    const QString refusal =
        QStringLiteral("rm: cannot remove '%1/Contents/MacOS/binary': Operation not permitted").arg(path);
    m_recorder->setOnRun([&](const QString&) { QFile::remove(path + QStringLiteral("/Contents/Info.plist")); });
    m_recorder->enqueue(RecordingRunner::commandFailure(refusal));
    model.deletePlugins({half});
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.contains(QStringLiteral("was not changed: it was partly deleted")))
        << model.error()->detail.toStdString();
    EXPECT_TRUE(model.error()->detail.contains(refusal));
    EXPECT_TRUE(activityLog().entries().isEmpty());

    ASSERT_TRUE(settleQueuedScan(model)); // the queued rescan of what is left
    ASSERT_EQ(model.plugins().size(), 1);
    EXPECT_EQ(model.plugins().first().currentPath, path);
    EXPECT_FALSE(model.plugins().first().version);
}

// --- Many bundles through rounds of faults ---

TEST_F(OperationReliabilityTest, HundredsOfBundlesSurviveRoundsOfFaults)
{
    const DemoTree::Summary summary = DemoTree::write({root(), home(), 200, 11});
    ASSERT_TRUE(summary.error.isEmpty()) << summary.error.toStdString();
    for (const QString& name :
         {QStringLiteral("it's \"odd\" $(touch pwned)"), QStringLiteral("-rf"), QStringLiteral("back\\slash; `x`")}) {
        enabledBundle(usr("/Library/Audio/Plug-Ins/VST3/Vendor/") + name + QStringLiteral(".vst3"), PluginFormat::vst3,
                      name.toUtf8());
        enabledBundle(usr("/Library/Audio/Plug-Ins/Components/") + name + QStringLiteral(".component"),
                      PluginFormat::au, name.toUtf8() + "au");
    }
    const auto runner = std::make_shared<FaultyRunner>();
    PluginManagerViewModel model(db(), activityLog(), progressState(), services(runner));
    QMap<QByteArray, int> expected = scannedBundles(model);
    ASSERT_GT(model.plugins().size(), 200);

    using Fault = FaultyRunner::Fault;
    for (const Fault fault : {Fault::killedPartWay, Fault::refused, Fault::failsAfterRunning}) {
        SCOPED_TRACE(static_cast<int>(fault));
        for (const bool enable : {false, true}) {
            runner->enqueue(fault);
            model.toggleMultiplePlugins(withState(model.plugins(), !enable));
            expectCatalogueFollowsDisk(enable ? "enable all, with a fault" : "disable all, with a fault");
            model.setError(std::nullopt);
            model.toggleMultiplePlugins(withState(model.plugins(), !enable));
            expectCatalogueFollowsDisk(enable ? "enable all" : "disable all");
            if (!enable) {
                EXPECT_EQ(db().totalEnabledCount(), 0)
                    << (model.error() ? model.error()->detail.left(600).toStdString() : "");
            }
            model.setError(std::nullopt);
        }
        // Delete a few with the same fault: only those may go.
        const QList<AudioPlugin> doomed = model.plugins().mid(10 + static_cast<int>(fault) * 7, 6);
        QMap<QByteArray, int> wanted = expected;
        for (const AudioPlugin& plugin : doomed) {
            if (--wanted[bundleHash(plugin.currentPath)] == 0)
                wanted.remove(bundleHash(plugin.currentPath));
        }
        runner->enqueue(fault);
        model.deletePlugins(doomed);
        ASSERT_TRUE(settleQueuedScan(model)); // a rescan after a partial delete
        expectCatalogueFollowsDisk("delete, with a fault");
        model.setError(std::nullopt);
        for (const AudioPlugin& plugin : doomed) {
            if (DisabledLayout::pathExists(plugin.currentPath))
                ++wanted[bundleHash(plugin.currentPath)];
        }
        // Nothing lost but what was deleted, nothing duplicated, nothing nested in another bundle.
        expected = scannedBundles(model);
        EXPECT_EQ(expected, wanted);
    }
    EXPECT_TRUE(batchTempFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root() + QStringLiteral("/pwned")));
}

// --- A second window on the same data folder ---

TEST_F(OperationReliabilityTest, ASecondWindowRewritingTheCatalogueMidBatchMisplacesNothing)
{
    // Top-level system bundles: the folder alone tells where each one came from.
    const QStringList folders{QStringLiteral("VST3"), QStringLiteral("Components"), QStringLiteral("VST"),
                              QStringLiteral("CLAP")};
    const QList<PluginFormat> formats{PluginFormat::vst3, PluginFormat::au, PluginFormat::vst2, PluginFormat::clap};
    for (int i = 0; i < 40; ++i) {
        const PluginFormat format = formats[i % 4];
        enabledBundle(sys(QStringLiteral("/Library/Audio/Plug-Ins/%1/Bundle %2.%3")
                              .arg(folders[i % 4])
                              .arg(i)
                              .arg(PluginFormats::fileExtensions(format).first())),
                      format, QByteArray::number(i));
    }
    const auto runner = std::make_shared<InterruptedRunner>(std::make_shared<FaultyRunner>());
    PluginManagerViewModel first(db(), activityLog(), progressState(), services(runner));
    const QMap<QByteArray, int> expected = scannedBundles(first);
    ASSERT_EQ(first.plugins().size(), 40);
    QMap<QString, QByteArray> placed;
    for (const AudioPlugin& plugin : first.plugins())
        placed.insert(plugin.currentPath, bundleHash(plugin.currentPath));

    // Its own connection and view model, as a second process would have: its scan, then a
    // rewrite of the catalogue with every id anew (as a scan keeps the ids of the bundles it
    // finds again, a whole rewrite stands in for one that found them changed), after the first
    // one planned its batch.
    PluginDatabase otherConnection(db().path());
    PluginManagerViewModel second(otherConnection, activityLog(), progressState(), services(runner));
    for (const bool enable : {false, true}) {
        SCOPED_TRACE(enable ? "enable all" : "disable all");
        runner->beforeNextRun([&second, &otherConnection] {
            ASSERT_TRUE(scanAndWait(second));
            QList<AudioPlugin> renewed = second.plugins();
            for (AudioPlugin& plugin : renewed)
                plugin.id = QUuid::createUuid();
            ASSERT_EQ(otherConnection.replaceAllPlugins(renewed), QString());
        });
        first.toggleMultiplePlugins(withState(first.plugins(), !enable));
        ASSERT_TRUE(first.error());
        EXPECT_TRUE(first.error()->detail.contains(
            QStringLiteral("40 of 40 plug-ins were no longer listed in it (it was rewritten meanwhile)")))
            << first.error()->detail.left(600).toStdString();
        ASSERT_TRUE(settleQueuedScan(first));
        expectCatalogueFollowsDisk(enable ? "enable all" : "disable all");
        EXPECT_EQ(enable ? db().totalDisabledCount() : db().totalEnabledCount(), 0);
        first.setError(std::nullopt);
    }
    // Nothing lost, duplicated or nested, and every bundle back where it was found.
    EXPECT_EQ(scannedBundles(first), expected);
    for (auto it = placed.cbegin(); it != placed.cend(); ++it)
        EXPECT_EQ(bundleHash(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(OperationReliabilityTest, ASecondProgramStartedMidBatchIsKeptOutAndNothingIsLost)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/Rackhand");
    ASSERT_TRUE(QFileInfo(program).isExecutable());
    const DemoTree::Summary summary = DemoTree::write({root(), home(), 120, 5});
    ASSERT_TRUE(summary.error.isEmpty()) << summary.error.toStdString();
    // This process is the window: it holds the data folder as the program does.
    const DataFolderLock window(Paths::dataDir());
    ASSERT_EQ(window.state(), DataFolderLock::State::held);
    const auto runner = std::make_shared<InterruptedRunner>(std::make_shared<FaultyRunner>());
    PluginManagerViewModel model(db(), activityLog(), progressState(), services(runner));
    const QMap<QByteArray, int> expected = scannedBundles(model);
    QMap<QString, QByteArray> placed;
    for (const AudioPlugin& plugin : withState(model.plugins(), true))
        placed.insert(plugin.currentPath, bundleHash(plugin.currentPath));

    QProcessEnvironment env = programEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // another session: nothing to hand over to
    for (const bool enable : {false, true}) {
        SCOPED_TRACE(enable ? "enable all" : "disable all");
        int exitCode = -1;
        QByteArray said;
        runner->beforeNextRun([&] {
            QProcess second;
            second.setProcessEnvironment(env);
            second.start(program, {});
            if (!second.waitForFinished(20000)) {
                second.kill(); // it ran its window (and its scan) beside this one
                second.waitForFinished(5000);
            }
            exitCode = second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
            said = second.readAllStandardError();
        });
        model.toggleMultiplePlugins(withState(model.plugins(), !enable));
        EXPECT_EQ(exitCode, 1);
        EXPECT_TRUE(said.contains("Rackhand is already running on this data folder")) << said.toStdString();
        EXPECT_FALSE(model.error()) << model.error()->detail.left(600).toStdString();
        expectCatalogueFollowsDisk(enable ? "enable all" : "disable all");
        EXPECT_EQ(enable ? db().totalDisabledCount() : db().totalEnabledCount(), 0);
    }
    EXPECT_EQ(scannedBundles(model), expected);
    for (auto it = placed.cbegin(); it != placed.cend(); ++it)
        EXPECT_EQ(bundleHash(it.key()), it.value()) << it.key().toStdString();
}

} // namespace
