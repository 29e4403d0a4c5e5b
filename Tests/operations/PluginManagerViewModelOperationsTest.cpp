#include "Support/ScanAndWait.h"
#include "operations/BatchJournal.h"
#include "operations/BatchScript.h"
#include "operations/DisabledOrigins.h"
#include "operations/OperationsFixture.h"
#include "operations/ProgressWindowManager.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kHostileNames = {
    QStringLiteral("it's"),
    QStringLiteral("say \"hi\""),
    QStringLiteral("back\\slash"),
    QStringLiteral("$(touch pwned)"),
    QStringLiteral("`touch pwned`"),
    QStringLiteral("new\nline"),
    QStringLiteral("-rf"),
    QStringLiteral("a; touch pwned #"),
    QStringLiteral("x' && touch pwned && '"),
};

// The script path inside "/bin/sh 'Q'".
QString scriptPathOf(const QString& command)
{
    static const QRegularExpression pattern(QStringLiteral("^/bin/sh '([^']+)'$"));
    const auto match = pattern.match(command);
    return match.hasMatch() ? match.captured(1) : QString();
}

// A move as the runner gets it: never into or over anything, never a source that became a link.
QString guardedMove(const QString& source, const QString& destination)
{
    const QString s = DisabledLayout::shellQuote(source);
    const QString d = DisabledLayout::shellQuote(destination);
    return "[ ! -L " + s + " ] && [ ! -e " + d + " ] && [ ! -L " + d + " ] && mv -T " + s + " " + d;
}

QString progressPathOf(const QString& scriptPath)
{
    QString path = scriptPath;
    path.replace(QStringLiteral("rackhand_batch_"), QStringLiteral("rackhand_progress_"));
    path.replace(QStringLiteral(".sh"), QStringLiteral(".txt"));
    return path;
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class PluginManagerViewModelOperationsTest : public OperationsTest {
protected:
    QString central(const QString& sub) const { return sys(QStringLiteral("/Library/Audio/Plug-Ins/Disabled/")) + sub; }

    /// A disabled bundle on disk at `current`, returning to `original`.
    AudioPlugin disabledBundle(const QString& current, const QString& original, PluginFormat format,
                               const QByteArray& payload = "payload")
    {
        AudioPlugin plugin = enabledBundle(current, format, payload);
        plugin.originalPath = original;
        plugin.name = DisabledLayout::splitFileName(DisabledLayout::fileName(original)).base;
        plugin.isEnabled = false;
        return plugin;
    }

    QStringList actions() const
    {
        QStringList list;
        for (const ActivityLogEntry& entry : activityLog().entries())
            list.append(ActivityLogEntry::actionRawValue(entry.action) + u' ' + entry.pluginName);
        return list;
    }

    /// Nothing named like the injected commands' output appeared anywhere.
    void expectNothingInjected() const
    {
        for (const QString& folder : {root() + QStringLiteral("/.."), QDir::currentPath()}) {
            QDirIterator it(folder, {QStringLiteral("pwned*")}, QDir::AllEntries | QDir::Hidden,
                            folder == QDir::currentPath() ? QDirIterator::NoIteratorFlags
                                                          : QDirIterator::Subdirectories);
            EXPECT_FALSE(it.hasNext()) << it.next().toStdString();
        }
    }

    /// Acts the batch script out in-process for plain names (fast enough for thousands of moves).
    static void actOutScript(const QString& command)
    {
        QFile script(scriptPathOf(command));
        ASSERT_TRUE(script.open(QIODevice::ReadOnly));
        static const QRegularExpression move(
            QStringLiteral("^mkdir -p '([^']*)' && .* mv -T '([^']*)' '([^']*)' \\|\\|"));
        for (const QString& line : QString::fromUtf8(script.readAll()).split(u'\n')) {
            const auto match = move.match(line);
            if (!match.hasMatch())
                continue;
            QDir().mkpath(match.captured(1));
            if (!DisabledLayout::pathExists(match.captured(3)))
                QFile::rename(match.captured(2), match.captured(3));
        }
    }
};

// --- One plug-in ---

TEST_F(PluginManagerViewModelOperationsTest, SystemBundlesTakeThePrivilegedRoadWithExactCommands)
{
    const AudioPlugin vst3 = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/It's.vst3"), PluginFormat::vst3);
    const AudioPlugin au = enabledBundle(sys("/Library/Audio/Plug-Ins/Components/Comp.component"), PluginFormat::au);
    seed({vst3, au}, true);
    PluginManagerViewModel& model = sandboxVm();

    model.togglePlugin(vst3);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    const QString vst3Disabled = central("VST3/It's.vst3");
    EXPECT_EQ(m_sandboxRunner->commands().last(),
              "mkdir -p '" + central("VST3") + "' && " + guardedMove(vst3.currentPath, vst3Disabled));
    EXPECT_TRUE(QFileInfo(vst3Disabled + "/Contents/MacOS/binary").isFile());
    EXPECT_EQ(row(vst3.id).currentPath, vst3Disabled);
    EXPECT_FALSE(row(vst3.id).isEnabled);

    const QString purge = " && rm -rf ~/Library/Caches/AudioUnitCache/* " +
                          sys("/Library/Caches/com.apple.audiounits.cache") +
                          " 2>/dev/null && killall -9 AudioComponentRegistrar 2>/dev/null; true";
    writeFile(usr("/Library/Caches/AudioUnitCache/stale"), "x");
    model.togglePlugin(au);
    EXPECT_FALSE(model.error());
    EXPECT_EQ(m_sandboxRunner->commands().last(),
              "mkdir -p '" + central("Audio Units") + "' && " +
                  guardedMove(au.currentPath, central("Audio Units/Comp.component")) + purge);
    EXPECT_FALSE(QFileInfo::exists(usr("/Library/Caches/AudioUnitCache/stale")));

    model.togglePlugin(row(vst3.id));
    EXPECT_FALSE(model.error());
    EXPECT_EQ(m_sandboxRunner->commands().last(), guardedMove(vst3Disabled, vst3.originalPath));
    EXPECT_TRUE(row(vst3.id).isEnabled);
    EXPECT_EQ(row(vst3.id).currentPath, vst3.originalPath);
    EXPECT_EQ(readFile(vst3.originalPath + "/Contents/MacOS/binary"), QByteArray("payload"));
    EXPECT_EQ(actions(), (QStringList{"Enabled It's", "Disabled Comp", "Disabled It's"}));
    EXPECT_EQ(model.dbEnabledCount(), 1);
}

TEST_F(PluginManagerViewModelOperationsTest, HomeFolderBundlesMovePlainlyInBothDirections)
{
    const AudioPlugin au = enabledBundle(usr("/Library/Audio/Plug-Ins/Components/Mine.component"), PluginFormat::au);
    seed({au}, true);
    PluginManagerViewModel& model = sandboxVm();
    model.togglePlugin(au);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_TRUE(m_sandboxRunner->commands().isEmpty());
    EXPECT_EQ(row(au.id).currentPath, central("Audio Units/Mine.component"));
    model.togglePlugin(row(au.id));
    EXPECT_FALSE(model.error());
    EXPECT_TRUE(m_sandboxRunner->commands().isEmpty());
    EXPECT_EQ(readFile(au.originalPath + "/Contents/MacOS/binary"), QByteArray("payload"));
    EXPECT_TRUE(row(au.id).isEnabled);
}

TEST_F(PluginManagerViewModelOperationsTest, ASwitchReadsOnlyWhatItChangedAndEveryChangeAnnouncesOnce)
{
    // Enough rows for more than one page, so a whole-catalogue read would show.
    QList<AudioPlugin> rows;
    for (int i = 0; i < 150; ++i) {
        const QString path = usr("/Library/Audio/Plug-Ins/VST3/Plugin %1.vst3").arg(i, 3, 10, QLatin1Char('0'));
        rows.append(enabledBundle(path, PluginFormat::vst3));
    }
    seed(rows, true);
    PluginManagerViewModel& model = sandboxVm();
    ASSERT_EQ(model.plugins().size(), 150);

    struct Case {
        const char* name;
        QList<AudioPlugin> switched;
    };
    const Case cases[] = {
        {"one row", {rows[3]}},
        {"a batch of two", {rows[5], rows[140]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList statements;
        db().setStatementObserver([&statements](const QString& sql) { statements << sql; });
        const qsizetype posts = m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification());
        if (c.switched.size() == 1)
            model.togglePlugin(c.switched.first());
        else
            model.toggleMultiplePlugins(c.switched);
        db().setStatementObserver({});
        ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();

        const auto startingWith = [&statements](const QStringList& verbs) {
            QStringList found;
            for (const QString& sql : std::as_const(statements)) {
                const QString verb = sql.section(u' ', 0, 0).toUpper();
                if (verbs.contains(verb))
                    found << sql;
            }
            return found;
        };
        EXPECT_EQ(startingWith({"UPDATE", "INSERT", "DELETE"}).size(), c.switched.size())
            << statements.join('\n').toStdString();
        EXPECT_LE(startingWith({"SELECT", "WITH"}).size(), 3) << statements.join('\n').toStdString();
        EXPECT_EQ(m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification()), posts + 1);

        // What was read is the truth: the whole list, the page and the counts all show the switch.
        for (const AudioPlugin& switched : c.switched) {
            const auto inList = std::find_if(model.plugins().cbegin(), model.plugins().cend(),
                                             [&switched](const AudioPlugin& p) { return p.id == switched.id; });
            ASSERT_NE(inList, model.plugins().cend());
            EXPECT_FALSE(inList->isEnabled);
            EXPECT_EQ(inList->currentPath, row(switched.id).currentPath);
        }
        EXPECT_EQ(model.plugins().size(), 150);
        EXPECT_FALSE(model.displayedPlugins()[3].isEnabled);
        EXPECT_EQ(model.totalPluginCount(), 150);
        EXPECT_TRUE(model.canLoadMore());
    }
    EXPECT_EQ(model.dbEnabledCount(), 147);
    EXPECT_EQ(model.dbDisabledCount(), 3);

    // A delete and a rescan announce the new count once each too.
    const auto announcements = [this] {
        return m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification());
    };
    qsizetype posts = announcements();
    model.deletePlugins({row(rows[7].id)});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(announcements(), posts + 1);
    EXPECT_EQ(model.plugins().size(), 149);
    EXPECT_EQ(model.totalPluginCount(), 149);
    posts = announcements();
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_EQ(announcements(), posts + 1);
    EXPECT_EQ(model.dbTotalCount(), 149);
}

TEST_F(PluginManagerViewModelOperationsTest, RowsOfTheListsTheOperationReplacesAreSafeArguments)
{
    // The table hands in references to rows of displayedPlugins()/plugins(); the operation
    // reloads both lists before it logs, so it must not read the caller's row afterwards.
    const AudioPlugin au = enabledBundle(usr("/Library/Audio/Plug-Ins/Components/Mine.component"), PluginFormat::au);
    seed({au}, true);
    PluginManagerViewModel& model = sandboxVm();
    ASSERT_EQ(model.displayedPlugins().size(), 1);
    model.togglePlugin(model.displayedPlugins().first());
    ASSERT_FALSE(model.error());
    model.toggleMultiplePlugins(model.plugins());
    ASSERT_FALSE(model.error());
    const auto& entries = activityLog().entries();
    ASSERT_EQ(entries.size(), 2);
    for (const ActivityLogEntry& entry : entries)
        EXPECT_EQ(entry.pluginName, QStringLiteral("Mine"));
    EXPECT_TRUE(row(au.id).isEnabled);
}

TEST_F(PluginManagerViewModelOperationsTest, WavesBundleMovesBesideItselfAndReRegistersWhenEnabled)
{
    const QString folder = sys("/Applications/Waves/Plug-Ins V14");
    const AudioPlugin cla = enabledBundle(folder + "/CLA.bundle", PluginFormat::wavesBundle);
    makeDir(sys("/Applications/Waves/WaveShells V14/Waves AU Reg Utility 14.app"));
    makeDir(sys("/Applications/Waves/WaveShells V15"));
    writeFile(sys("/Applications/Waves/WaveShells V15/Waves AU Reg Utility 15.txt"), "not an app");
    seed({cla}, true);
    PluginManagerViewModel& model = sandboxVm();

    model.togglePlugin(cla);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(m_sandboxRunner->commands().last(),
              "mkdir -p '" + folder + "/Disabled' && " +
                  guardedMove(folder + "/CLA.bundle", folder + "/Disabled/CLA.bundle"));
    EXPECT_TRUE(m_launcher->launches().isEmpty());

    model.togglePlugin(row(cla.id));
    EXPECT_FALSE(model.error());
    EXPECT_TRUE(QFileInfo(folder + "/CLA.bundle").isDir());
    ASSERT_EQ(m_launcher->launches().size(), 1);
    EXPECT_EQ(m_launcher->launches().first().appPath,
              sys("/Applications/Waves/WaveShells V14/Waves AU Reg Utility 14.app"));
    EXPECT_EQ(m_launcher->launches().first().arguments, QStringList{"--silent"});
}

TEST_F(PluginManagerViewModelOperationsTest, WavesFamilySwitchesAsOneBatch)
{
    const AudioPlugin v14 =
        enabledBundle(sys("/Applications/Waves/Plug-Ins V14/CLA.bundle"), PluginFormat::wavesBundle);
    const AudioPlugin v15 =
        enabledBundle(sys("/Applications/Waves/Plug-Ins V15/CLA.bundle"), PluginFormat::wavesBundle);
    const AudioPlugin other =
        enabledBundle(sys("/Applications/Waves/Plug-Ins V15/H-Delay.bundle"), PluginFormat::wavesBundle);
    seed({v14, v15, other}, true);
    PluginManagerViewModel& model = sandboxVm();
    EXPECT_EQ(model.allWavesPluginsMatchingName("CLA").size(), 2);

    model.togglePlugin(v14);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    ASSERT_EQ(m_sandboxRunner->commands().size(), 1);
    EXPECT_FALSE(scriptPathOf(m_sandboxRunner->commands().first()).isEmpty());
    EXPECT_FALSE(row(v14.id).isEnabled);
    EXPECT_FALSE(row(v15.id).isEnabled);
    EXPECT_TRUE(row(other.id).isEnabled);

    model.togglePlugin(row(other.id)); // alone in its name: the single road
    EXPECT_TRUE(scriptPathOf(m_sandboxRunner->commands().last()).isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, RefusedPromptAndMissingRunnerLeaveEverythingAsItWas)
{
    const AudioPlugin vst3 = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    seed({vst3});
    PluginManagerViewModel& model = vm();
    struct Row {
        const char* name;
        PrivilegedRunner::Result answer;
        PluginError error;
    };
    const Row rows[] = {
        {"cancelled prompt", RecordingRunner::failure("Request dismissed", 126),
         PluginError::permissionDenied("Request dismissed")},
        {"runner cannot start", RecordingRunner::cannotStart("no pkexec"),
         PluginError::unknownError("Failed to execute AppleScript")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        m_recorder->enqueue(r.answer);
        model.togglePlugin(vst3);
        ASSERT_TRUE(model.error());
        EXPECT_EQ(*model.error(), r.error);
        EXPECT_TRUE(row(vst3.id).isEnabled);
        EXPECT_EQ(row(vst3.id).currentPath, vst3.currentPath);
        EXPECT_TRUE(QFileInfo(vst3.currentPath).isDir());
        EXPECT_TRUE(actions().isEmpty());
    }
}

TEST_F(PluginManagerViewModelOperationsTest, MoveHiddenBehindThePurgesTrueIsStillCaught)
{
    const AudioPlugin au = enabledBundle(sys("/Library/Audio/Plug-Ins/Components/Comp.component"), PluginFormat::au);
    seed({au}, true);
    PluginManagerViewModel& model = sandboxVm();
    // A file where the folder should be: mkdir -p fails, and "; true" hides it from the exit status.
    QDir(central("Audio Units")).removeRecursively();
    writeFile(central("Audio Units"), "in the way");

    model.togglePlugin(au);
    ASSERT_TRUE(m_sandboxRunner->lastResult());
    EXPECT_TRUE(m_sandboxRunner->lastResult()->succeeded);
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.contains("\"Comp\" (Audio Units)"));
    EXPECT_TRUE(row(au.id).isEnabled);
    EXPECT_EQ(row(au.id).currentPath, au.currentPath);
    EXPECT_TRUE(QFileInfo(au.currentPath).isDir());
    EXPECT_TRUE(actions().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, EnablingOntoAnOccupiedOriginalPathTouchesNothing)
{
    // Both roads: a system bundle (privileged) and a home-folder bundle (plain).
    const QString sysOriginal = sys("/Library/Audio/Plug-Ins/VST3/Occupied.vst3");
    const QString usrOriginal = usr("/Library/Audio/Plug-Ins/VST3/Mine.vst3");
    const AudioPlugin privileged =
        disabledBundle(central("VST3/Occupied.vst3"), sysOriginal, PluginFormat::vst3, "disabled copy");
    const AudioPlugin plain = disabledBundle(central("VST3/Mine.vst3"), usrOriginal, PluginFormat::vst3, "mine");
    writeFile(sysOriginal + "/Contents/MacOS/binary", "occupant");
    writeFile(usrOriginal + "/Contents/MacOS/binary", "occupant 2");
    seed({privileged, plain}, true);
    PluginManagerViewModel& model = sandboxVm();

    for (const AudioPlugin& plugin : {privileged, plain}) {
        SCOPED_TRACE(plugin.name.toStdString());
        model.setError(std::nullopt);
        model.togglePlugin(plugin);
        ASSERT_TRUE(model.error());
        EXPECT_EQ(model.error()->kind, PluginError::Kind::invalidPath);
        EXPECT_TRUE(model.error()->detail.contains(plugin.originalPath));
        EXPECT_FALSE(row(plugin.id).isEnabled);
    }
    EXPECT_TRUE(m_sandboxRunner->commands().isEmpty());
    EXPECT_EQ(readFile(sysOriginal + "/Contents/MacOS/binary"), QByteArray("occupant"));
    EXPECT_EQ(readFile(usrOriginal + "/Contents/MacOS/binary"), QByteArray("occupant 2"));
    EXPECT_EQ(readFile(central("VST3/Occupied.vst3/Contents/MacOS/binary")), QByteArray("disabled copy"));
    EXPECT_FALSE(QFileInfo::exists(sysOriginal + "/Occupied.vst3"));

    // The same in a batch: the occupied item is left out, the others still move.
    const AudioPlugin free =
        disabledBundle(central("VST3/Free.vst3"), sys("/Library/Audio/Plug-Ins/VST3/Free.vst3"), PluginFormat::vst3);
    EXPECT_EQ(db().replaceAllPlugins({privileged, plain, free}), QString());
    model.refreshAllState();
    model.setError(std::nullopt);
    model.toggleMultiplePlugins({privileged, free, plain});
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.startsWith("2 of 3 plug-ins were not changed"));
    EXPECT_TRUE(row(free.id).isEnabled);
    EXPECT_FALSE(row(privileged.id).isEnabled);
    EXPECT_EQ(readFile(sysOriginal + "/Contents/MacOS/binary"), QByteArray("occupant"));
    EXPECT_FALSE(QFileInfo::exists(sysOriginal + "/Occupied.vst3"));
    EXPECT_EQ(actions(), QStringList{"Enabled Free"});

    // One left out of two reads as one.
    model.setError(std::nullopt);
    model.toggleMultiplePlugins({privileged, row(free.id)});
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.startsWith("1 of 2 plug-ins was not changed"))
        << model.error()->detail.toStdString();
    EXPECT_FALSE(row(free.id).isEnabled);
}

TEST_F(PluginManagerViewModelOperationsTest, WhatAppearsAtTheDestinationOrSourceBeforeTheRunIsNeverMovedInto)
{
    // Between planning and the privileged run, something else changes the disk.
    struct Case {
        const char* name;
        std::function<void(const QString& source, const QString& destination, const QString& aside)> race;
        std::function<void(const QString& source, const QString& destination, const QString& aside)> check;
    };
    const QList<Case> cases{
        {"an empty folder at the destination",
         [](const QString&, const QString& destination, const QString&) { makeDir(destination); },
         [](const QString& source, const QString& destination, const QString&) {
             EXPECT_TRUE(QDir(destination).isEmpty());
             EXPECT_EQ(readFile(source + "/Contents/MacOS/binary"), QByteArray("payload"));
         }},
        {"a folder with a file at the destination",
         [](const QString&, const QString& destination, const QString&) {
             writeFile(destination + "/keep", "occupant");
         },
         [](const QString& source, const QString& destination, const QString&) {
             EXPECT_EQ(QDir(destination).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"keep"});
             EXPECT_EQ(readFile(destination + "/keep"), QByteArray("occupant"));
             EXPECT_TRUE(QFileInfo(source + "/Contents/MacOS/binary").isFile());
         }},
        {"the bundle gone and another item at the destination",
         [](const QString& source, const QString& destination, const QString& aside) {
             QDir().rename(source, aside);
             makeDir(destination);
         },
         [](const QString& source, const QString& destination, const QString& aside) {
             EXPECT_FALSE(DisabledLayout::pathExists(source));
             EXPECT_TRUE(QDir(destination).isEmpty());
             EXPECT_EQ(readFile(aside + "/Contents/MacOS/binary"), QByteArray("payload"));
         }},
        {"the bundle swapped for a link to another folder",
         [](const QString& source, const QString&, const QString& aside) {
             QDir().rename(source, aside);
             QFile::link(aside, source);
         },
         [](const QString& source, const QString& destination, const QString& aside) {
             EXPECT_TRUE(QFileInfo(source).isSymLink());
             EXPECT_FALSE(DisabledLayout::pathExists(destination));
             EXPECT_EQ(readFile(aside + "/Contents/MacOS/binary"), QByteArray("payload"));
         }},
    };
    QList<AudioPlugin> plugins;
    for (qsizetype i = 0; i < cases.size() * 2; ++i)
        plugins.append(enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Race%1.vst3").arg(i), PluginFormat::vst3));
    seed(plugins, true);
    PluginManagerViewModel& model = sandboxVm();
    // Each scan gives new ids: rows are found by their path.
    auto rowAt = [this](const QString& path) {
        for (const AudioPlugin& plugin : db().queryPlugins({})) {
            if (plugin.currentPath == path)
                return plugin;
        }
        return AudioPlugin{};
    };
    qsizetype n = 0;
    for (const Case& c : cases) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (batch ? " (batch)" : " (one)"));
            const AudioPlugin plugin = rowAt(plugins[n++].currentPath);
            ASSERT_TRUE(plugin.isEnabled);
            const QString source = plugin.currentPath;
            const QString destination = central("VST3/") + DisabledLayout::fileName(source);
            const QString aside = root() + "/elsewhere/" + DisabledLayout::fileName(source);
            makeDir(root() + "/elsewhere");
            m_sandboxRunner->setBeforeRun([&](const QString&) { c.race(source, destination, aside); });
            if (batch)
                model.toggleMultiplePlugins({plugin});
            else
                model.togglePlugin(plugin);
            m_sandboxRunner->setBeforeRun({});
            ASSERT_TRUE(model.error());
            EXPECT_TRUE(model.error()->detail.contains(source)) << model.error()->detail.toStdString();
            EXPECT_FALSE(DisabledLayout::pathExists(destination + u'/' + DisabledLayout::fileName(source)));
            c.check(source, destination, aside);
            EXPECT_TRUE(row(plugin.id).isEnabled);
            EXPECT_EQ(row(plugin.id).currentPath, source);
            EXPECT_FALSE(DisabledOrigins().origins().contains(destination));
            // A bundle that left its row's path is found again by a scan.
            ASSERT_TRUE(settleQueuedScan(model));
            model.setError(std::nullopt);
        }
    }
    EXPECT_TRUE(actions().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, OneOperationAtATime)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    const AudioPlugin b = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/B.vst3"), PluginFormat::vst3);
    seed({a, b});
    PluginManagerViewModel& model = vm();
    QSignalSpy running(&model, &PluginManagerViewModel::operationRunningChanged);
    bool sawRunning = false;
    QList<std::optional<PluginError>> refusals;
    m_recorder->setOnRun([&](const QString&) {
        sawRunning = model.isOperationRunning();
        model.togglePlugin(b);
        refusals.append(model.error());
        model.toggleMultiplePlugins({b});
        refusals.append(model.error());
        model.deletePlugins({b});
        refusals.append(model.error());
        model.scanForPlugins();
        refusals.append(model.error());
        model.setError(std::nullopt);
        QDir().mkpath(central("VST3"));
        QFile::rename(a.currentPath, central("VST3/A.vst3"));
    });
    model.togglePlugin(a);
    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(refusals.size(), 4);
    for (const auto& refusal : refusals)
        EXPECT_EQ(refusal, PluginManagerViewModel::operationBusyError());
    EXPECT_EQ(m_recorder->commands().size(), 1);
    EXPECT_FALSE(model.error());
    EXPECT_FALSE(model.isOperationRunning());
    EXPECT_EQ(running.count(), 2);
    EXPECT_FALSE(row(a.id).isEnabled);
    EXPECT_TRUE(row(b.id).isEnabled);
    EXPECT_TRUE(QFileInfo(b.currentPath).isDir());
}

// --- The privileged road ---

TEST_F(PluginManagerViewModelOperationsTest, OnlyWhatNeedsRightsGoesThroughTheRunner)
{
    const AudioPlugin mine = enabledBundle(usr("/Library/Audio/Plug-Ins/VST3/Mine.vst3"), PluginFormat::vst3, "mine");
    const AudioPlugin system = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Sys.vst3"), PluginFormat::vst3, "sys");
    seed({mine, system});
    PluginManagerViewModel& model = vm();
    QStringList scripts;
    m_recorder->setOnRun([&](const QString& command) {
        if (scriptPathOf(command).isEmpty()) {
            QDir(system.currentPath).removeRecursively(); // the delete line
            return;
        }
        scripts.append(QString::fromUtf8(readFile(scriptPathOf(command))));
        actOutScript(command);
    });
    model.toggleMultiplePlugins({mine, system});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(readFile(central("VST3/Mine.vst3/Contents/MacOS/binary")), QByteArray("mine"));
    model.toggleMultiplePlugins(model.plugins());
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(readFile(mine.currentPath + "/Contents/MacOS/binary"), QByteArray("mine"));
    EXPECT_EQ(readFile(system.currentPath + "/Contents/MacOS/binary"), QByteArray("sys"));
    model.deletePlugins(model.plugins());
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_FALSE(DisabledLayout::pathExists(mine.currentPath));
    EXPECT_EQ(model.dbTotalCount(), 0);

    // Root never works in the user's home folder.
    ASSERT_EQ(m_recorder->commands().size(), 3);
    for (const QString& text : scripts + QStringList{m_recorder->commands().last()}) {
        EXPECT_FALSE(text.contains(home())) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Sys.vst3"))) << text.toStdString();
    }
}

TEST_F(PluginManagerViewModelOperationsTest, HomeFolderMovesOfABatchLeaveTheWindowsThreadFree)
{
    // One bundle through the runner and fifty in the user's folder: the panel shows.
    QList<AudioPlugin> plugins{enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Sys.vst3"), PluginFormat::vst3)};
    for (int i = 0; i < 50; ++i)
        plugins.append(
            enabledBundle(usr("/Library/Audio/Plug-Ins/VST3/H%1.vst3").arg(i, 2, 10, QChar(u'0')), PluginFormat::vst3));
    seed(plugins, true);
    const double total = static_cast<double>(plugins.size());

    // The progress the window's thread has been shown, as it arrives there.
    ProgressWindowManager& panel = progressState();
    QList<double> seen;
    std::atomic<int> reportsSeen{0};
    QObject watcher;
    QObject::connect(&panel, &ProgressWindowManager::hudModelChanged, &watcher, [&](ProgressHUDModel* model) {
        QObject::connect(model, &ProgressHUDModel::progressChanged, &watcher, [&, model] {
            seen.append(model->progress());
            reportsSeen = static_cast<int>(seen.size());
        });
    });

    // Each home move waits until the window's thread has answered an event posted from the
    // move (a move on that thread would wait in vain) and has been shown every earlier item.
    PluginMover mover = this->mover(m_sandboxRunner);
    std::atomic<int> heldInVain{0};
    std::atomic<int> reportsLate{0};
    std::atomic<int> moved{0};
    mover.setPlainMove([&](const DisabledLayout::MovePaths& move) {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        QMetaObject::invokeMethod(
            &watcher, [answered] { *answered = true; }, Qt::QueuedConnection);
        // Once held in vain, the others need not wait as long to show it.
        const QDeadlineTimer deadline(heldInVain.load() == 0 ? 5000 : 0);
        while (!*answered && !deadline.hasExpired())
            QThread::msleep(2);
        heldInVain += *answered ? 0 : 1;
        reportsLate += reportsSeen.load() >= moved.load() ? 0 : 1;
        ++moved;
        return DisabledLayout::moveItem(move);
    });
    const MoveOutcome outcome = mover.switchMany(plugins);
    ASSERT_FALSE(outcome.error) << outcome.error->detail.toStdString();
    EXPECT_EQ(outcome.disabled.size(), plugins.size());
    EXPECT_EQ(heldInVain, 0);
    EXPECT_EQ(reportsLate, 0);

    // One report per home item, in order, after the runner's part; then the panel fills.
    QList<double> home;
    for (int done = 2; done <= plugins.size(); ++done)
        home.append(done / total);
    home.append(1.0);
    ASSERT_GE(seen.size(), home.size());
    EXPECT_EQ(seen.mid(seen.size() - home.size()), home);
    EXPECT_EQ(activityLog().entries().size(), plugins.size());
    EXPECT_FALSE(QFileInfo::exists(BatchJournal::defaultPath()));
    for (const AudioPlugin& plugin : std::as_const(plugins))
        EXPECT_FALSE(DisabledLayout::pathExists(plugin.currentPath)) << plugin.currentPath.toStdString();
}

TEST_F(PluginManagerViewModelOperationsTest, NothingOutsideThePluginFoldersIsMovedOrRemoved)
{
    struct Case {
        const char* name;
        AudioPlugin plugin;
        bool deleteRefused; // the delete looks only at where the bundle is now
    };
    auto bundleAt = [this](const QString& current, const QString& original, PluginFormat format) {
        AudioPlugin plugin = enabledBundle(current, format, "keep");
        plugin.originalPath = original;
        plugin.isEnabled = current == original;
        return plugin;
    };
    const QList<Case> cases{
        {"a bundle outside the folders",
         bundleAt(sys("/etc/Outside.vst3"), sys("/etc/Outside.vst3"), PluginFormat::vst3), true},
        {"a return path outside the folders",
         bundleAt(central("VST3/Away.vst3"), sys("/etc/Away.vst3"), PluginFormat::vst3), false},
        {"another format's extension",
         bundleAt(sys("/Library/Audio/Plug-Ins/VST3/Other.component"),
                  sys("/Library/Audio/Plug-Ins/VST3/Other.component"), PluginFormat::vst3),
         true},
        {"a return path into another format's folder",
         bundleAt(central("CLAP/Poly.clap"), sys("/Library/Audio/Plug-Ins/VST3/Poly.clap"), PluginFormat::clap), false},
    };
    QList<AudioPlugin> all;
    for (const Case& c : cases)
        all.append(c.plugin);
    seed(all);
    PluginManagerViewModel& model = vm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int road = 0; road < 3; ++road) {
            model.setError(std::nullopt);
            if (road == 0)
                model.togglePlugin(c.plugin);
            else if (road == 1)
                model.toggleMultiplePlugins({c.plugin});
            else if (c.deleteRefused)
                model.deletePlugins({c.plugin});
            else
                continue;
            ASSERT_TRUE(model.error());
            EXPECT_TRUE(model.error()->detail.contains("plug-in folders")) << model.error()->detail.toStdString();
            EXPECT_EQ(readFile(c.plugin.currentPath + "/Contents/MacOS/binary"), QByteArray("keep"));
            EXPECT_EQ(row(c.plugin.id).currentPath, c.plugin.currentPath);
        }
    }
    EXPECT_TRUE(m_recorder->commands().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sys("/etc/Away.vst3")));
    EXPECT_FALSE(QFileInfo::exists(sys("/Library/Audio/Plug-Ins/VST3/Poly.clap")));

    // The same through a hand-edited origins file and a scan.
    writeFile(DisabledOrigins::defaultPath(),
              QJsonDocument(QJsonObject{{central("VST3/Away.vst3"), sys("/etc/passwd.vst3")}}).toJson());
    ASSERT_TRUE(scanAndWait(model));
    const auto found = std::find_if(model.plugins().cbegin(), model.plugins().cend(), [this](const AudioPlugin& p) {
        return p.currentPath == central("VST3/Away.vst3");
    });
    ASSERT_NE(found, model.plugins().cend());
    EXPECT_EQ(found->originalPath, sys("/etc/passwd.vst3"));
    model.togglePlugin(*found);
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(m_recorder->commands().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sys("/etc/passwd.vst3")));
}

TEST_F(PluginManagerViewModelOperationsTest, TheScriptIsOnlyWrittenWhereNoOtherUserCanChangeIt)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    seed({a});
    PluginManagerViewModel& model = vm();
    struct Row {
        const char* name;
        QFile::Permissions mode;
        bool sticky;
        bool runs;
    };
    const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                   QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                   QFile::ExeOther;
    const Row rows[] = {
        {"writable by all", all, false, false},
        {"writable by all, sticky", all, true, true},
        {"the owner's alone", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const QString folder = root() + "/shared-tmp-" + QString::fromLatin1(r.name).replace(u' ', u'-');
        makeDir(folder);
        ASSERT_TRUE(QFile::setPermissions(folder, r.mode));
        if (r.sticky) {
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
        }
        qputenv("TMPDIR", folder.toUtf8());
        m_recorder->clear();
        model.setError(std::nullopt);
        model.toggleMultiplePlugins({a});
        EXPECT_EQ(m_recorder->commands().size(), r.runs ? 1 : 0);
        ASSERT_TRUE(model.error()); // the recorder moves nothing
        EXPECT_EQ(model.error()->detail.contains("other users can change"), !r.runs)
            << model.error()->detail.toStdString();
        EXPECT_TRUE(QDir(folder).isEmpty());
        EXPECT_TRUE(row(a.id).isEnabled);
    }
}

// --- Batches ---

TEST_F(PluginManagerViewModelOperationsTest, BatchScriptFilesAreExactPrivateAndRemoved)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/It's.vst3"), PluginFormat::vst3);
    const AudioPlugin b =
        disabledBundle(central("CLAP/B.clap"), sys("/Library/Audio/Plug-Ins/CLAP/B.clap"), PluginFormat::clap);
    seed({a, b});
    PluginManagerViewModel& model = vm();
    QString script;
    QString progress;
    QString scriptText;
    QByteArray progressText;
    mode_t scriptMode = 0;
    mode_t progressMode = 0;
    m_recorder->setOnRun([&](const QString& command) {
        script = scriptPathOf(command);
        progress = progressPathOf(script);
        scriptText = QString::fromUtf8(readFile(script));
        progressText = readFile(progress);
        scriptMode = modeOf(script);
        progressMode = modeOf(progress);
    });
    model.toggleMultiplePlugins({a, b});

    ASSERT_EQ(m_recorder->commands().size(), 1);
    static const QRegularExpression name(QStringLiteral("/rackhand_batch_([0-9A-F-]{36})\\.sh$"));
    const auto match = name.match(script);
    ASSERT_TRUE(match.hasMatch()) << script.toStdString();
    EXPECT_TRUE(script.startsWith(Paths::tempDir() + "/"));
    EXPECT_EQ(progress, Paths::tempDir() + "/rackhand_progress_" + match.captured(1) + ".txt");
    EXPECT_EQ(m_recorder->commands().first(), "/bin/sh '" + script + "'");
    const QString count = "n=$((n+1)) && printf '%d' $n 2>/dev/null > '" + progress + "'";
    EXPECT_EQ(scriptText, "#!/bin/sh\nn=0\ntrap '' PIPE; exec 9<\"$0\" && flock -s 9 2>/dev/null\nmkdir -p '" +
                              central("VST3") + "' && " + guardedMove(a.currentPath, central("VST3/It's.vst3")) +
                              " || echo 'rackhand: item 1 failed' >&2\n" + count + "\nmkdir -p '" +
                              sys("/Library/Audio/Plug-Ins/CLAP") + "' && " +
                              guardedMove(b.currentPath, b.originalPath) + " || echo 'rackhand: item 2 failed' >&2\n" +
                              count);
    EXPECT_EQ(progressText, QByteArray("0"));
    EXPECT_EQ(scriptMode, 0600u);
    EXPECT_EQ(progressMode, 0600u);
    EXPECT_TRUE(batchTempFiles().isEmpty());

    // The recorder moved nothing: both items are reported, both rows stay.
    ASSERT_TRUE(model.error());
    EXPECT_EQ(model.error()->kind, PluginError::Kind::unknownError);
    EXPECT_TRUE(model.error()->detail.contains("\"It's\" (VST3)"));
    EXPECT_TRUE(model.error()->detail.contains("\"B\" (CLAP)"));
    EXPECT_TRUE(row(a.id).isEnabled);
    EXPECT_FALSE(row(b.id).isEnabled);
    EXPECT_TRUE(actions().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, EmptyBatchOrDeleteAsksForNoPasswordAndLogsNothing)
{
    seed({});
    PluginManagerViewModel& model = vm();
    model.toggleMultiplePlugins({});
    model.deletePlugins({});
    EXPECT_TRUE(m_recorder->commands().isEmpty());
    EXPECT_FALSE(model.error());
    EXPECT_TRUE(actions().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Paths::dataFile("activity_log.json")));
    EXPECT_TRUE(batchTempFiles().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, ProgressFileIsPolledWhileTheScriptRuns)
{
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 14; ++i)
        plugins.append(enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(i), PluginFormat::vst3));
    seed(plugins);
    PluginManagerViewModel& model = vm();
    QList<double> seen;
    m_recorder->setOnRun([&](const QString& command) {
        const QString progress = progressPathOf(scriptPathOf(command));
        for (const QByteArray& text : {QByteArray("7"), QByteArray("abc"), QByteArray(""), QByteArray("99")}) {
            QFile file(progress);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text);
            file.close();
            QTest::qWait(250);
            seen.append(progressState().hudModel()->progress());
        }
    });
    model.toggleMultiplePlugins(plugins);
    EXPECT_EQ(seen, (QList<double>{0.5, 0.5, 0.5, 1.0}));
}

TEST_F(PluginManagerViewModelOperationsTest, ProgressIsCosmeticAndQuotedErrorsAreShort)
{
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 30; ++i)
        plugins.append(enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(i), PluginFormat::vst3));
    seed(plugins, true);
    PluginManagerViewModel& model = sandboxVm();
    // A progress file the script cannot write: every counting line fails.
    QString progress;
    m_sandboxRunner->setBeforeRun([&](const QString& command) {
        progress = progressPathOf(scriptPathOf(command));
        QFile::remove(progress);
        makeDir(progress);
    });
    model.toggleMultiplePlugins(plugins);
    m_sandboxRunner->setBeforeRun({});
    QDir(progress).removeRecursively();
    EXPECT_FALSE(model.error()) << model.error()->detail.left(400).toStdString();
    EXPECT_EQ(model.dbDisabledCount(), 30);

    // A run that fails with pages of standard error is told in a few lines.
    QString pages;
    for (int i = 0; i < 2000; ++i)
        pages += QStringLiteral("sh: 1: cannot create /somewhere/%1: Permission denied\n").arg(i);
    m_sandboxRunner->enqueueInsteadOfRunning(RecordingRunner::commandFailure(pages, 2));
    model.toggleMultiplePlugins(model.plugins());
    ASSERT_TRUE(model.error());
    EXPECT_LT(model.error()->detail.size(), 6000);
    EXPECT_TRUE(model.error()->detail.contains(QStringLiteral("[…]")));
    EXPECT_TRUE(model.error()->detail.contains(QStringLiteral("/somewhere/0:")));
}

TEST_F(PluginManagerViewModelOperationsTest, PanelFromFiftyOnePluginsWithItsLabel)
{
    auto batch = [this](int count, int disabledCount) {
        QList<AudioPlugin> list;
        for (int i = 0; i < count; ++i) {
            const QString original = sys("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(i);
            const bool enabled = i >= disabledCount;
            list.append(record(QStringLiteral("P%1").arg(i), PluginFormat::vst3, original,
                               enabled ? original : central("VST3/P%1.vst3").arg(i), enabled));
        }
        return list;
    };
    struct Row {
        const char* name;
        QList<AudioPlugin> plugins;
        QString label; // empty: no panel
        bool runnerFails;
    };
    const Row rows[] = {
        {"50: no panel", batch(50, 0), QString(), false},
        {"51 enabled", batch(51, 0), QStringLiteral("Disabling 51 plugins…"), false},
        {"51 disabled", batch(51, 51), QStringLiteral("Enabling 51 plugins…"), false},
        {"mixed", batch(51, 3), QStringLiteral("Applying changes to 51 plugins…"), false},
        {"failure hides too", batch(60, 60), QStringLiteral("Enabling 60 plugins…"), true},
    };
    seed({});
    PluginManagerViewModel& model = vm();
    ProgressWindowManager& panel = progressState();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The sources exist, so the batch really runs its script.
        const QList<AudioPlugin>& plugins = row.plugins;
        for (const AudioPlugin& p : plugins)
            makeDir(p.currentPath);
        if (row.runnerFails)
            m_recorder->enqueue(RecordingRunner::failure("dismissed"));
        QSignalSpy shown(&panel, &ProgressWindowManager::panelShown);
        model.toggleMultiplePlugins(plugins);
        if (row.label.isEmpty()) {
            EXPECT_EQ(shown.count(), 0);
        } else {
            ASSERT_EQ(shown.count(), 1);
            EXPECT_EQ(panel.hudModel()->label(), row.label);
            EXPECT_EQ(panel.hudModel()->count(), plugins.size());
            EXPECT_EQ(panel.hudModel()->progress(), 1.0);
            EXPECT_TRUE(panel.isClosePending());
        }
        QDir(sys("/Library/Audio/Plug-Ins")).removeRecursively();
    }
}

TEST_F(PluginManagerViewModelOperationsTest, BatchLogsEnabledThenDisabledAndRegistersWavesOnce)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    const AudioPlugin b =
        disabledBundle(central("VST3/B.vst3"), sys("/Library/Audio/Plug-Ins/VST3/B.vst3"), PluginFormat::vst3);
    const QString waves = sys("/Applications/Waves/Plug-Ins V14");
    const AudioPlugin c = disabledBundle(waves + "/Disabled/C.bundle", waves + "/C.bundle", PluginFormat::wavesBundle);
    const AudioPlugin d = disabledBundle(waves + "/Disabled/D.bundle", waves + "/D.bundle", PluginFormat::wavesBundle);
    const AudioPlugin e = enabledBundle(sys("/Library/Audio/Plug-Ins/CLAP/E.clap"), PluginFormat::clap);
    makeDir(sys("/Applications/Waves/WaveShells V14/Waves AU Reg Utility 14.app"));
    seed({a, b, c, d, e}, true);
    PluginManagerViewModel& model = sandboxVm();
    model.toggleMultiplePlugins({a, b, c, d, e});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    // Newest first: the disabled block was written last.
    EXPECT_EQ(actions(), (QStringList{"Disabled A", "Disabled E", "Enabled B", "Enabled C", "Enabled D"}));
    EXPECT_EQ(m_launcher->launches().size(), 1);
    EXPECT_EQ(model.dbEnabledCount(), 3);
    EXPECT_TRUE(QFileInfo(waves + "/C.bundle").isDir());
    EXPECT_TRUE(batchTempFiles().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, SameFileNamesInOneBatchGetSeparateDestinations)
{
    const AudioPlugin system = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/X.vst3"), PluginFormat::vst3, "sys");
    const AudioPlugin mine = enabledBundle(usr("/Library/Audio/Plug-Ins/VST3/X.vst3"), PluginFormat::vst3, "usr");
    seed({system, mine}, true);
    PluginManagerViewModel& model = sandboxVm();
    model.toggleMultiplePlugins({system, mine});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(row(system.id).currentPath, central("VST3/X.vst3"));
    EXPECT_EQ(row(mine.id).currentPath, central("VST3/X 1.vst3"));
    EXPECT_EQ(readFile(central("VST3/X.vst3/Contents/MacOS/binary")), QByteArray("sys"));
    EXPECT_EQ(readFile(central("VST3/X 1.vst3/Contents/MacOS/binary")), QByteArray("usr"));
    EXPECT_FALSE(QFileInfo::exists(central("VST3/X.vst3/X.vst3")));
}

TEST_F(PluginManagerViewModelOperationsTest, RecordedOriginsSurviveARescan)
{
    makeBundle(central("VST3/X.vst3")); // an unrelated bundle already there
    const AudioPlugin x = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/X.vst3"), PluginFormat::vst3, "x");
    const AudioPlugin mine = enabledBundle(usr("/Library/Audio/Plug-Ins/Components/Mine.component"), PluginFormat::au);
    PluginManagerViewModel& model = sandboxVm();
    ASSERT_TRUE(scanAndWait(model));
    QList<AudioPlugin> found;
    for (const AudioPlugin& p : model.plugins()) {
        if (p.isEnabled)
            found.append(p);
    }
    ASSERT_EQ(found.size(), 2);
    model.toggleMultiplePlugins(found);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_TRUE(QFileInfo(central("VST3/X 1.vst3")).isDir());

    ASSERT_TRUE(scanAndWait(model));
    QHash<QString, AudioPlugin> byPath;
    for (const AudioPlugin& p : model.plugins())
        byPath.insert(p.currentPath, p);
    ASSERT_TRUE(byPath.contains(central("VST3/X 1.vst3")));
    EXPECT_EQ(byPath[central("VST3/X 1.vst3")].name, QStringLiteral("X"));
    EXPECT_EQ(byPath[central("VST3/X 1.vst3")].originalPath, x.originalPath);
    EXPECT_EQ(byPath[central("Audio Units/Mine.component")].originalPath, mine.originalPath);
    // The unrelated bundle keeps the folder rule.
    EXPECT_EQ(byPath[central("VST3/X.vst3")].originalPath, sys("/Library/Audio/Plug-Ins/VST3/X.vst3"));
    EXPECT_EQ(DisabledOrigins().origins().size(), 2);

    model.toggleMultiplePlugins({byPath[central("VST3/X 1.vst3")], byPath[central("Audio Units/Mine.component")]});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(readFile(x.originalPath + "/Contents/MacOS/binary"), QByteArray("x"));
    EXPECT_TRUE(QFileInfo(mine.originalPath).isDir());
    EXPECT_FALSE(QFileInfo::exists(sys("/Library/Audio/Plug-Ins/Components/Mine.component")));
    EXPECT_TRUE(DisabledOrigins().origins().isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, VanishedSourceAndBlockedDestinationKeepDiskAndCatalogueInStep)
{
    const AudioPlugin gone = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Gone.vst3"), PluginFormat::vst3);
    const AudioPlugin fine = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Fine.vst3"), PluginFormat::vst3);
    const AudioPlugin blocked = enabledBundle(sys("/Library/Audio/Plug-Ins/CLAP/Blocked.clap"), PluginFormat::clap);
    seed({gone, fine, blocked}, true);
    PluginManagerViewModel& model = sandboxVm();
    QDir(gone.currentPath).removeRecursively();
    QDir(central("CLAP")).removeRecursively();
    writeFile(central("CLAP"), "not a folder");

    model.toggleMultiplePlugins({gone, fine, blocked});
    ASSERT_TRUE(model.error());
    const QString detail = model.error()->detail;
    EXPECT_TRUE(detail.startsWith("2 of 3 plug-ins were not changed")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("\"Gone\" (VST3): not found"));
    EXPECT_TRUE(detail.contains("\"Blocked\" (CLAP): not moved"));
    EXPECT_FALSE(detail.contains("Fine"));
    EXPECT_FALSE(row(fine.id).isEnabled);
    EXPECT_TRUE(row(blocked.id).isEnabled);
    EXPECT_TRUE(QFileInfo(blocked.currentPath).isDir());
    EXPECT_EQ(actions(), QStringList{"Disabled Fine"});

    if (::geteuid() != 0) {
        // A folder without write permission (root would ignore it).
        QFile::remove(central("CLAP"));
        makeDir(central("CLAP"));
        ASSERT_EQ(::chmod(QFile::encodeName(central("CLAP")).constData(), 0555), 0);
        model.setError(std::nullopt);
        model.toggleMultiplePlugins({row(blocked.id)});
        ::chmod(QFile::encodeName(central("CLAP")).constData(), 0755);
        ASSERT_TRUE(model.error());
        EXPECT_TRUE(row(blocked.id).isEnabled);
    }
}

TEST_F(PluginManagerViewModelOperationsTest, HostileNamesMoveIntactAndRunNothing)
{
    QList<AudioPlugin> plugins;
    QHash<QUuid, QByteArray> payloads;
    auto add = [&](const QString& path, PluginFormat format, const QByteArray& payload) {
        plugins.append(enabledBundle(path, format, payload));
        payloads.insert(plugins.last().id, payload);
    };
    for (const QString& name : kHostileNames)
        add(sys("/Library/Audio/Plug-Ins/VST3/") + name + ".vst3", PluginFormat::vst3, name.toUtf8());
    // One in the user's folder for the plain road, one AU for the purge suffix.
    add(usr("/Library/Audio/Plug-Ins/VST3/$(touch pwned) it's.vst3"), PluginFormat::vst3, "u");
    add(sys("/Library/Audio/Plug-Ins/Components/`touch pwned`'.component"), PluginFormat::au, "au");
    seed(plugins, true);
    PluginManagerViewModel& model = sandboxVm();

    model.toggleMultiplePlugins(plugins);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    for (const AudioPlugin& p : plugins) {
        SCOPED_TRACE(p.name.toStdString());
        const AudioPlugin now = row(p.id);
        EXPECT_FALSE(now.isEnabled);
        EXPECT_EQ(DisabledLayout::fileName(now.currentPath), DisabledLayout::fileName(p.currentPath));
        EXPECT_EQ(readFile(now.currentPath + "/Contents/MacOS/binary"), payloads.value(p.id));
        EXPECT_FALSE(DisabledLayout::pathExists(p.currentPath));
    }
    // Back one by one (single roads: privileged, purge, plain).
    for (const AudioPlugin& p : plugins) {
        SCOPED_TRACE(p.name.toStdString());
        model.togglePlugin(row(p.id));
        ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
        EXPECT_EQ(readFile(p.originalPath + "/Contents/MacOS/binary"), payloads.value(p.id));
    }
    EXPECT_EQ(readFile(sys("/Library/Audio/Plug-Ins/VST3/new\nline.vst3/Contents/MacOS/binary")),
              QByteArray("new\nline"));
    expectNothingInjected();

    model.deletePlugins(model.plugins());
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(model.dbTotalCount(), 0);
    for (const AudioPlugin& p : plugins)
        EXPECT_FALSE(DisabledLayout::pathExists(p.originalPath));
    expectNothingInjected();
}

TEST_F(PluginManagerViewModelOperationsTest, FiveThousandItemsInOneBatch)
{
    QList<AudioPlugin> plugins;
    plugins.reserve(5000);
    for (int i = 0; i < 5000; ++i) {
        const QString path = sys("/Library/Audio/Plug-Ins/VST3/P%1.vst3").arg(i);
        makeDir(path);
        plugins.append(record(QStringLiteral("P%1").arg(i), PluginFormat::vst3, path, path, true));
    }
    seed(plugins);
    PluginManagerViewModel& model = vm();
    m_recorder->setOnRun([](const QString& command) { actOutScript(command); });
    model.toggleMultiplePlugins(plugins);
    ASSERT_FALSE(model.error()) << model.error()->detail.left(300).toStdString();
    EXPECT_EQ(model.dbDisabledCount(), 5000);
    EXPECT_EQ(QDir(central("VST3")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 5000);
    EXPECT_EQ(activityLog().entries().size(), ActivityLogManager::maxEntries);
    EXPECT_TRUE(batchTempFiles().isEmpty());
}

// --- Delete ---

TEST_F(PluginManagerViewModelOperationsTest, DeleteRemovesBundlesRowsAndSelection)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    const AudioPlugin b =
        disabledBundle(central("CLAP/B's.clap"), sys("/Library/Audio/Plug-Ins/CLAP/B's.clap"), PluginFormat::clap);
    const AudioPlugin keep = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/Keep.vst3"), PluginFormat::vst3);
    seed({a, b, keep}, true);
    PluginManagerViewModel& model = sandboxVm();
    model.setSelectedPlugins({a.id, keep.id});
    model.syncSelectionDelta({a.id, b.id, keep.id}, {});

    model.deletePlugins({a, b});
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(m_sandboxRunner->commands().last(),
              "rm -rf '" + a.currentPath + "' && rm -rf '" + central("CLAP/B'\"'\"'s.clap") + "'");
    EXPECT_FALSE(DisabledLayout::pathExists(a.currentPath));
    EXPECT_FALSE(DisabledLayout::pathExists(b.currentPath));
    EXPECT_EQ(model.selectedPlugins(), QSet<QUuid>{keep.id});
    EXPECT_EQ(model.persistedSelections(), QSet<QUuid>{keep.id});
    EXPECT_EQ(model.dbTotalCount(), 1);
    EXPECT_EQ(actions(), (QStringList{"Deleted A", "Deleted B's"}));
}

TEST_F(PluginManagerViewModelOperationsTest, DeletingThousandsOfBundlesIsStillOneRun)
{
    // The joined command is far longer than one program argument may be.
    QList<AudioPlugin> plugins;
    for (int i = 0; i < 1400; ++i) {
        const QString path =
            sys("/Library/Audio/Plug-Ins/VST3/A plug-in with a fairly long product name %1.vst3").arg(i);
        makeDir(path);
        plugins.append(record(QStringLiteral("P%1").arg(i), PluginFormat::vst3, path, path, true));
    }
    seed(plugins, true);
    PluginManagerViewModel& model = sandboxVm();
    model.deletePlugins(plugins);
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(m_sandboxRunner->commands().size(), 1);
    EXPECT_GT(m_sandboxRunner->commands().first().toUtf8().size(), 128 * 1024);
    EXPECT_EQ(model.dbTotalCount(), 0);
    EXPECT_TRUE(QDir(sys("/Library/Audio/Plug-Ins/VST3")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(PluginManagerViewModelOperationsTest, DeleteEdgeCases)
{
    const AudioPlugin a = enabledBundle(sys("/Library/Audio/Plug-Ins/VST3/A.vst3"), PluginFormat::vst3);
    AudioPlugin root = a;
    root.id = QUuid::createUuid();
    root.currentPath = QStringLiteral("/");
    AudioPlugin sneaky = a;
    sneaky.id = QUuid::createUuid();
    sneaky.currentPath = sys("/Library/Audio/Plug-Ins/VST3/../../../..");
    seed({a, root, sneaky});
    PluginManagerViewModel& model = vm();

    // An empty request asks for no password: no refresh, no (empty) log batch.
    const qsizetype posts = m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification());
    model.deletePlugins({});
    EXPECT_FALSE(model.error());
    EXPECT_EQ(m_notifications->count(PluginManagerViewModel::pluginCountChangedNotification()), posts);
    EXPECT_FALSE(QFileInfo::exists(Paths::dataFile("activity_log.json")));

    model.deletePlugins({root, sneaky});
    EXPECT_TRUE(m_recorder->commands().isEmpty()); // nothing worth a root shell
    ASSERT_TRUE(model.error());
    EXPECT_TRUE(model.error()->detail.contains("not a plug-in bundle"));

    m_recorder->enqueue(RecordingRunner::failure("dismissed"));
    model.deletePlugins({a});
    ASSERT_TRUE(model.error());
    EXPECT_EQ(*model.error(), PluginError::permissionDenied("dismissed"));
    m_recorder->enqueue(RecordingRunner::cannotStart("gone"));
    model.deletePlugins({a});
    EXPECT_EQ(*model.error(), PluginError::unknownError("Failed to delete plugins"));
    EXPECT_EQ(model.dbTotalCount(), 3);
    EXPECT_TRUE(QFileInfo(a.currentPath).isDir());
    EXPECT_TRUE(actions().isEmpty());
}

// --- End to end ---

TEST_F(PluginManagerViewModelOperationsTest, TwoHundredBundlesGoAndComeBackByteIdentical)
{
    struct Place {
        QString folder;
        PluginFormat format;
        QString extension;
        int count;
    };
    const QList<Place> places = {
        {sys("/Library/Audio/Plug-Ins/Components"), PluginFormat::au, "component", 35},
        {sys("/Library/Audio/Plug-Ins/VST3"), PluginFormat::vst3, "vst3", 25},
        {sys("/Library/Audio/Plug-Ins/VST3/Vendor Folder"), PluginFormat::vst3, "vst3", 10},
        {usr("/Library/Audio/Plug-Ins/VST"), PluginFormat::vst2, "vst", 30},
        {usr("/Library/Audio/Plug-Ins/VST3"), PluginFormat::vst3, "vst3", 10},
        {sys("/Library/Audio/Plug-Ins/CLAP"), PluginFormat::clap, "clap", 30},
        {sys("/Library/Application Support/Avid/Audio/Plug-Ins"), PluginFormat::aax, "aaxplugin", 30},
        {sys("/Applications/Waves/Plug-Ins V14"), PluginFormat::wavesBundle, "bundle", 30},
    };
    QMap<QString, QMap<QString, QByteArray>> before;
    int n = 0;
    for (const Place& place : places) {
        for (int i = 0; i < place.count; ++i, ++n) {
            // The user's VST3 folder repeats names of the system one: equal file names in one batch.
            const int id = place.folder == usr("/Library/Audio/Plug-Ins/VST3") ? 35 + i : n;
            const QString path = place.folder + QStringLiteral("/Plug %1.").arg(id) + place.extension;
            makeBundle(path, {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.acme.%1").arg(n)}});
            writeFile(path + "/Contents/MacOS/binary", QByteArray::number(n).repeated(97 + n));
            writeFile(path + "/Contents/Resources/it's \"odd\".txt", QByteArray(n % 7, 'x'));
            before.insert(path, treeHash(path));
        }
    }
    ASSERT_EQ(before.size(), 200);
    makeDir(sys("/Applications/Waves/WaveShells V14/Waves AU Reg Utility 14.app"));

    PluginManagerViewModel& model = sandboxVm();
    ASSERT_TRUE(scanAndWait(model));
    ASSERT_EQ(model.plugins().size(), 200);
    model.toggleMultiplePlugins(model.plugins());
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(model.dbDisabledCount(), 200);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_FALSE(DisabledLayout::pathExists(it.key())) << it.key().toStdString();

    ASSERT_TRUE(scanAndWait(model)); // origins must come from the records, not the folder rule
    ASSERT_EQ(model.plugins().size(), 200);
    model.toggleMultiplePlugins(model.plugins());
    ASSERT_FALSE(model.error()) << model.error()->detail.toStdString();
    EXPECT_EQ(model.dbEnabledCount(), 200);

    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(treeHash(it.key()), it.value()) << it.key().toStdString();
    ASSERT_TRUE(scanAndWait(model));
    EXPECT_EQ(model.plugins().size(), 200);
    EXPECT_EQ(model.dbEnabledCount(), 200);
    EXPECT_TRUE(QDir(central("VST3")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(batchTempFiles().isEmpty());
    EXPECT_EQ(m_launcher->launches().size(), 1);
    expectNothingInjected();
}

} // namespace
