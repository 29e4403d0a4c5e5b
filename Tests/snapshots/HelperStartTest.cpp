// The helper program itself at its start: it finishes a restore that an earlier run was cut off
// in, and a file-size limit makes its writes fail instead of ending it.
#include "MenuBarHelper/snapshots/LogicProPrefsManager.h"
#include "snapshots/SnapshotStoreTest.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

class HelperStartTest : public SnapshotStoreTest {};

TEST_F(HelperStartTest, TheHelperFinishesACutOffRestoreAndOutlivesAFileSizeLimit)
{
    const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/RackhandHelper");
    ASSERT_TRUE(QFileInfo(helper).isExecutable());
    const QString prefs = usr(QStringLiteral("/Library/Preferences"));
    writeFile(prefs + QStringLiteral("/com.apple.logic10.plist"), "plist live");
    writeFile(prefs + QStringLiteral("/com.apple.logic.pro.cs"), "cs live");
    writeFile(dataDir() + QStringLiteral("/LogicProSnapshots/2025-01-01_000000_Mix/com.apple.logic10.plist"),
              "plist old");
    files->stopOn = QStringLiteral("move");
    files->stopAt = 1; // after the first live item went into the backup
    const LogicProPrefsManager store(clock, files);
    EXPECT_THROW(store.restoreSnapshot(store.listSnapshots().at(0)), Stopped);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // the sandbox's home and data folders
    // On its own: no session bus to hand over to another helper, no display.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root());
    env.insert(QStringLiteral("RACKHAND_UPDATE_SERVER"), QStringLiteral("http://127.0.0.1:1"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([] {
        // Every write that grows a file goes past the limit (the first start writes its list of
        // known plug-ins); by default the signal that brings ends the program.
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(helper, {});
    ASSERT_TRUE(process.waitForStarted());
    const auto recovered = [&] {
        return readFile(prefs + QStringLiteral("/com.apple.logic10.plist")) == "plist old" &&
               hiddenNames(prefs).isEmpty();
    };
    // (QTRY_VERIFY would return from the test without failing it.)
    for (QDeadlineTimer deadline(20000);
         !recovered() && process.state() == QProcess::Running && !deadline.hasExpired();)
        QTest::qWait(20);
    EXPECT_EQ(process.state(), QProcess::Running) << process.readAll().toStdString();
    EXPECT_TRUE(recovered());
    EXPECT_EQ(readFile(prefs + QStringLiteral("/LogicPro_BeforeRestore_") + kNowText +
                       QStringLiteral("/com.apple.logic.pro.cs")),
              "cs live");
    process.kill();
    process.waitForFinished();
}

} // namespace
