#include "Platform/Paths.h"
#include "Platform/PlatformServices.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Platform/linux/LinuxProcessLauncher.h"
#include "Platform/linux/PkexecRunner.h"
#include "Platform/linux/SettingsDefaultsStore.h"
#include "Platform/linux/XdgWorkspace.h"
#include "Platform/testing/SandboxRunner.h"
#include "Support/NotificationListener.h"
#include "Support/SandboxTest.h"
#include "Support/SessionBus.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>

namespace {

class PlatformBackendsTest : public SandboxTest {};

TEST_F(PlatformBackendsTest, PkexecGetsTheCommandAsOneArgument)
{
    const QString command = QStringLiteral("mv 'a b' 'c'\"'\"'d' && echo $(x)");
    const auto [program, arguments] = PkexecRunner::invocation(command, false);
    EXPECT_EQ(program, QStringLiteral("pkexec"));
    EXPECT_EQ(arguments, (QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                      PkexecRunner::authorisedPrologue() + command}));

    const auto [direct, directArguments] = PkexecRunner::invocation(command, true);
    EXPECT_EQ(direct, QStringLiteral("/bin/sh"));
    EXPECT_EQ(directArguments, (QStringList{QStringLiteral("-c"), command}));
    // Inside a sandbox root no prompt may appear.
    EXPECT_TRUE(PkexecRunner::runsDirectly());
}

TEST_F(PlatformBackendsTest, OverlongCommandsReachTheShellOnStandardInput)
{
    // Over the kernel's 128 KiB limit for one argument: the shell would not even start.
    QString padding = QString(200 * 1024, u'x') + QStringLiteral("'\n$(touch pwned)");
    const QString command = QStringLiteral(": '") + padding.replace(u'\'', QStringLiteral("'\"'\"'")) +
                            QStringLiteral("' && printf '%s' ok > '") + root() + QStringLiteral("/it'\"'\"'s'");
    ASSERT_TRUE(PkexecRunner::usesStandardInput(command));
    EXPECT_FALSE(PkexecRunner::usesStandardInput(QStringLiteral("true")));
    const auto [program, arguments] = PkexecRunner::invocation(command, false);
    EXPECT_EQ(program, QStringLiteral("pkexec"));
    EXPECT_EQ(arguments, (QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-s")}));

    PkexecRunner runner;
    const auto result = runner.run(command);
    EXPECT_TRUE(result.succeeded) << result.errorMessage.toStdString();
    EXPECT_EQ(readFile(root() + QStringLiteral("/it's")), QByteArray("ok"));
    EXPECT_FALSE(QFileInfo::exists(root() + QStringLiteral("/pwned")));
    EXPECT_FALSE(QFileInfo::exists(QDir::currentPath() + QStringLiteral("/pwned")));

    SandboxRunner sandbox;
    EXPECT_TRUE(sandbox.run(command).succeeded);
}

TEST_F(PlatformBackendsTest, RunnerReportsTheShellsOwnMessageOnFailure)
{
    PkexecRunner runner;
    const auto ok = runner.run(QStringLiteral("printf x > ") + root() + QStringLiteral("/made"));
    EXPECT_TRUE(ok.started);
    EXPECT_TRUE(ok.succeeded);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(readFile(root() + QStringLiteral("/made")), QByteArray("x"));

    const auto failed = runner.run(QStringLiteral("echo 'mv: cannot move' >&2; exit 3"));
    EXPECT_TRUE(failed.started);
    EXPECT_FALSE(failed.succeeded);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.errorMessage, QStringLiteral("mv: cannot move"));

    const auto silent = runner.run(QStringLiteral("exit 4"));
    EXPECT_FALSE(silent.succeeded);
    EXPECT_FALSE(silent.errorMessage.isEmpty());
}

TEST_F(PlatformBackendsTest, RunnerKeepsStandardErrorAndTellsAKillFromARefusal)
{
    PkexecRunner runner;
    struct Case {
        const char* command;
        bool succeeded;
        bool killed;
        const char* standardError;
    };
    const Case cases[] = {
        // A script goes on after a failing line: its message must survive the success.
        {"echo 'mv: No space left on device' >&2; true", true, false, "mv: No space left on device"},
        {"kill -9 $$", false, true, ""},
        {"sh -c 'kill -9 $$'", false, true, "Killed"}, // the outer shell's word for it
        {"echo nope >&2; exit 1", false, false, "nope"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const auto result = runner.run(QString::fromLatin1(c.command));
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.succeeded, c.succeeded);
        EXPECT_EQ(result.killed, c.killed);
        EXPECT_FALSE(result.refused); // only the prompt refuses, and no prompt runs here
        EXPECT_EQ(result.standardError, QString::fromLatin1(c.standardError));
    }
}

TEST_F(PlatformBackendsTest, PkexecsOwnRefusalsAreToldApartFromTheCommandsExitStatus)
{
    // A stand-in for pkexec: refuses as polkit does (126 dismissed, 127 not authorised), or runs the command.
    const QString pkexec = root() + QStringLiteral("/bin/pkexec");
    writeFile(pkexec, "#!/bin/sh\n"
                      "case \"$RACKHAND_TEST_POLKIT\" in\n"
                      "dismiss) echo 'Error executing command as another user: Request dismissed' >&2; exit 126;;\n"
                      "refuse) echo 'Error executing command as another user: Not authorized' >&2; exit 127;;\n"
                      "esac\n"
                      "exec \"$@\"\n");
    ASSERT_TRUE(QFile::setPermissions(pkexec, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    PkexecRunner runner(pkexec, false);
    struct Row {
        const char* name;
        const char* polkit;
        const char* command;
        bool refused;
        int exitCode;
        const char* message;
    };
    const Row rows[] = {
        {"dismissed", "dismiss", "true", true, 126, "The administrator password prompt was cancelled."},
        {"not authorised", "refuse", "true", true, 127, "Administrator rights were refused."},
        {"command not found", "", "no-such-command-here", false, 127, "not found"},
        {"command exits 126", "", "echo 'cannot execute' >&2; exit 126", false, 126, "cannot execute"},
        {"command succeeds", "", "true", false, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        qputenv("RACKHAND_TEST_POLKIT", row.polkit);
        const PrivilegedRunner::Result result = runner.run(QString::fromLatin1(row.command));
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.refused, row.refused);
        EXPECT_EQ(result.exitCode, row.exitCode);
        EXPECT_EQ(result.succeeded, row.exitCode == 0);
        EXPECT_TRUE(result.errorMessage.contains(QString::fromLatin1(row.message)))
            << result.errorMessage.toStdString();
    }
    qunsetenv("RACKHAND_TEST_POLKIT");
}

TEST_F(PlatformBackendsTest, MissingProgramCannotStart)
{
    const auto result = runProcessAndWait(root() + QStringLiteral("/no-such-pkexec"), {});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(result.errorMessage.isEmpty());
}

TEST_F(PlatformBackendsTest, WaitingKeepsTheEventLoopTurning)
{
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
    timer.start();
    PkexecRunner runner;
    EXPECT_TRUE(runner.run(QStringLiteral("sleep 0.3")).succeeded);
    EXPECT_GE(ticks, 5);
}

TEST_F(PlatformBackendsTest, SandboxRunnerRefusesOutsideASandbox)
{
    SandboxRunner runner;
    qunsetenv("RACKHAND_SYSTEM_ROOT");
    const auto result = runner.run(QStringLiteral("true"));
    EXPECT_FALSE(result.started);
    EXPECT_EQ(runner.commands(), QStringList{QStringLiteral("true")});
}

TEST_F(PlatformBackendsTest, SettingsSuitesAreIniFilesUnderTheConfigFolder)
{
    SettingsDefaultsStore store;
    EXPECT_TRUE(store.setValue(DefaultsStore::sharedSuite(), QStringLiteral("enabledPluginCount"), 42));
    const QString path = Paths::configHome() + QStringLiteral("/Rackhand/com.yourcompany.Rackhand.conf");
    EXPECT_EQ(SettingsDefaultsStore::suitePath(DefaultsStore::sharedSuite()), path);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("enabledPluginCount")).toInt(), 42);
    EXPECT_EQ(store.value(DefaultsStore::sharedSuite(), QStringLiteral("enabledPluginCount")).toInt(), 42);
    EXPECT_EQ(store.value(DefaultsStore::standardSuite(), QStringLiteral("missing"), 7).toInt(), 7);
}

TEST_F(PlatformBackendsTest, MacApplicationsAreRecordedAndSkipped)
{
    LinuxProcessLauncher launcher;
    const QString app = sys(QStringLiteral("/Applications/Waves/WaveShells V14/Waves AU Reg Utility 14.app"));
    makeDir(app);
    EXPECT_FALSE(launcher.openApplication(app, {QStringLiteral("--silent")}));
    EXPECT_EQ(launcher.skippedApplications(), QStringList{app});
    ASSERT_EQ(printedLines().size(), 1);
    EXPECT_TRUE(printedLines().first().contains(app));
}

// An address of a scheme no application handles is refused instead of reaching xdg-open,
// which would hand it to the web browser.
TEST_F(PlatformBackendsTest, WorkspaceOpensOnlySchemesTheDesktopHandles)
{
    const QString bin = home() + QStringLiteral("/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile stub(bin + QStringLiteral("/xdg-mime"));
    ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write("#!/bin/sh\n[ \"$3\" = x-scheme-handler/handled ] && echo handler.desktop\nexit 0\n");
    stub.close();
    stub.setPermissions(stub.permissions() | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin));
    const struct {
        const char* scheme;
        bool handled;
    } cases[] = {{"file", true}, {"https", true}, {"handled", true}, {"x-apple.systempreferences", false}};
    for (const auto& c : cases)
        EXPECT_EQ(XdgWorkspace::hasHandler(QString::fromLatin1(c.scheme)), c.handled) << c.scheme;
    EXPECT_FALSE(XdgWorkspace().openUrl(
        QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"))));
    qputenv("PATH", QFile::encodeName(QString()));
    EXPECT_FALSE(XdgWorkspace::hasHandler(QStringLiteral("handled"))); // no xdg-mime at all
    qputenv("PATH", path);
}

TEST_F(PlatformBackendsTest, DefaultServicesAreComplete)
{
    const PlatformServices services = Platform::createDefaultServices();
    EXPECT_TRUE(services.privilegedRunner);
    EXPECT_TRUE(services.notificationCenter);
    EXPECT_TRUE(services.defaults);
    EXPECT_TRUE(services.processLauncher);
    EXPECT_TRUE(services.workspace);
    EXPECT_TRUE(services.clock);
}

TEST_F(PlatformBackendsTest, NotificationsTravelAsSessionBusSignals)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    QDBusConnection bus = QDBusConnection::sessionBus();
    NotificationListener listener;
    ASSERT_TRUE(bus.connect(QString(), QString::fromLatin1(DBusNotificationCenter::kObjectPath),
                            QString::fromLatin1(DBusNotificationCenter::kInterface),
                            QString::fromLatin1(DBusNotificationCenter::kMember), &listener,
                            SIGNAL(notification(QString, QVariantMap))));
    QSignalSpy spy(&listener, &NotificationListener::notification);
    DBusNotificationCenter center;
    center.post(QStringLiteral("com.yourcompany.Rackhand.appDidLaunch"), {{QStringLiteral("version"), "2.4.0"}});
    ASSERT_TRUE(spy.wait(3000));
    EXPECT_EQ(spy.first().at(0).toString(), QStringLiteral("com.yourcompany.Rackhand.appDidLaunch"));
    EXPECT_EQ(spy.first().at(1).toMap().value(QStringLiteral("version")).toString(), QStringLiteral("2.4.0"));
}

} // namespace
