// The programs themselves: the bus announcements, the notification service, the
// single-instance hand-over, the installation and the tray under a virtual X server.
#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "MenuBarHelper/StatusItem.h"
#include "Platform/RackhandBus.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Platform/linux/FreedesktopNotifier.h"
#include "Platform/testing/FakeFolderWatcher.h"
#include "Platform/testing/RecordingUserNotifier.h"
#include "Support/SandboxTest.h"
#include "Support/SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QUuid>
#include <QVariantMap>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

QString program(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(name);
}

/// A process in its own process group, so it and everything it starts end together.
class GroupProcess : public QProcess {
public:
    GroupProcess()
    {
        setChildProcessModifier([] { ::setpgid(0, 0); });
    }
    ~GroupProcess() override { end(); }
    void end()
    {
        if (state() == QProcess::NotRunning)
            return;
        ::kill(-static_cast<pid_t>(processId()), SIGTERM);
        if (!waitForFinished(5000)) {
            ::kill(-static_cast<pid_t>(processId()), SIGKILL);
            waitForFinished(5000);
        }
    }
};

} // namespace

/// A stand-in notification server on the private bus.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList capabilities;
    struct Received {
        QString summary;
        QString body;
        QStringList actions;
        uint id = 0;
    };
    QList<Received> received;
    uint nextId = 40;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        (void)appName;
        (void)replacesId;
        (void)icon;
        (void)hints;
        (void)timeout;
        // Other tests' helpers share the bus: keep only this test's notices.
        ++nextId;
        if (body.startsWith(QStringLiteral("Preamp")))
            received.append({summary, body, actions, nextId});
        return nextId;
    }
};

class HelperProgramsTest : public SandboxTest {
protected:
    QProcessEnvironment sandboxEnvironment() const { return programEnvironment(); }
};

TEST_F(HelperProgramsTest, AnnouncementsCrossTheBus)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    DBusNotificationCenter poster;
    DBusNotificationCenter listener;
    QObject context;
    // Other tests share the bus: only this test's own announcement counts.
    const QString probe = QUuid::createUuid().toString();
    QList<QVariantMap> heard;
    listener.observe(QString::fromLatin1(RackhandBus::kNewPluginsDetected), &context,
                     [&heard, &probe](const QVariantMap& info) {
                         if (info.value(QStringLiteral("probe")).toString() == probe)
                             heard.append(info);
                     });
    poster.post(QString::fromLatin1(RackhandBus::kPluginCountChanged), {{QStringLiteral("probe"), probe}});
    poster.post(QString::fromLatin1(RackhandBus::kNewPluginsDetected),
                {{QStringLiteral("count"), 2}, {QStringLiteral("probe"), probe}});
    QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 1, 5000);
    EXPECT_EQ(heard.first().value(QStringLiteral("count")).toInt(), 2);
}

TEST_F(HelperProgramsTest, NotificationsEscapeMarkupAndAnswerOnlyTheirOwnClicks)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    QDBusConnection serverBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notes"));
    FakeNotificationServer server;
    if (!serverBus.registerService(QString::fromLatin1(FreedesktopNotifier::kService)))
        GTEST_SKIP() << "a notification server already runs on this bus";
    ASSERT_TRUE(serverBus.registerObject(QString::fromLatin1(FreedesktopNotifier::kPath), &server,
                                         QDBusConnection::ExportAllSlots));
    const auto click = [&serverBus](uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(FreedesktopNotifier::kPath),
                                                         QString::fromLatin1(FreedesktopNotifier::kInterface),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        serverBus.send(signal);
    };

    const struct {
        QStringList capabilities;
        const char* shown;
    } rows[] = {{{QStringLiteral("body"), QStringLiteral("body-markup")}, "Preamp &amp; EQ &lt;x&gt; was installed."},
                {{QStringLiteral("body")}, "Preamp & EQ <x> was installed."}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        server.capabilities = row.capabilities;
        server.received.clear();
        FreedesktopNotifier notifier;
        int activations = 0;
        notifier.setActivationHandler([&activations] { ++activations; });
        notifier.send(QStringLiteral("Rackhand — New Plugins Detected"),
                      QStringLiteral("Preamp & EQ <x> was installed."));
        QTRY_COMPARE_WITH_TIMEOUT(server.received.size(), 1, 5000);
        EXPECT_EQ(server.received.first().summary, QStringLiteral("Rackhand — New Plugins Detected"));
        EXPECT_EQ(server.received.first().body, QString::fromLatin1(row.shown));
        EXPECT_TRUE(server.received.first().actions.contains(QStringLiteral("default")));

        QTest::qWait(100);                        // the id arrives with the reply
        click(server.received.first().id + 1000); // another program's notice
        QTest::qWait(200);
        EXPECT_EQ(activations, 0);
        click(server.received.first().id);
        QTRY_COMPARE_WITH_TIMEOUT(activations, 1, 5000);
    }
    serverBus.unregisterService(QString::fromLatin1(FreedesktopNotifier::kService));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notes"));
}

TEST_F(HelperProgramsTest, SecondMainApplicationHandsOverAndEnds)
{
    RACKHAND_REQUIRE_SESSION_BUS();
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    const QString service = QString::fromLatin1(RackhandBus::kServiceName);
    if (bus->isServiceRegistered(service))
        GTEST_SKIP() << "a Rackhand already runs on this bus";
    ASSERT_TRUE(QFileInfo(program("Rackhand")).isExecutable());

    GroupProcess first;
    first.setProcessEnvironment(sandboxEnvironment());
    first.start(program("Rackhand"), {});
    ASSERT_TRUE(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(service), 20000);

    QProcess second;
    second.setProcessEnvironment(sandboxEnvironment());
    second.start(program("Rackhand"), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().contains("already running"));
    QByteArray firstOutput;
    QTRY_VERIFY_WITH_TIMEOUT((firstOutput += first.readAllStandardOutput()).contains("started again"), 5000);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.end();
}

TEST_F(HelperProgramsTest, SecondMainApplicationOnTheSameDataFolderElsewhereIsRefused)
{
    ASSERT_TRUE(QFileInfo(program("Rackhand")).isExecutable());
    // The first one on no bus: a second session (or one without a bus) cannot reach it.
    QProcessEnvironment alone = sandboxEnvironment();
    alone.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    GroupProcess first;
    first.setProcessEnvironment(alone);
    first.start(program("Rackhand"), {});
    ASSERT_TRUE(first.waitForStarted());
    const QString catalogue = dataDir() + QStringLiteral("/plugins.db");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(catalogue), 20000);

    const struct {
        const char* name;
        bool withBus;
    } rows[] = {{"from a session with a bus", true}, {"without a bus", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.withBus && !QDBusConnection::sessionBus().isConnected())
            continue;
        if (row.withBus && QDBusConnection::sessionBus().interface()->isServiceRegistered(
                               QString::fromLatin1(RackhandBus::kServiceName)))
            continue; // another test's Rackhand would take the hand-over
        QProcess second;
        second.setProcessEnvironment(row.withBus ? sandboxEnvironment() : alone);
        second.start(program("Rackhand"), {});
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 1);
        const QByteArray said = second.readAllStandardError();
        EXPECT_TRUE(said.contains("Rackhand is already running on this data folder (" + dataDir().toUtf8() + ")"))
            << said.toStdString();
        EXPECT_EQ(first.state(), QProcess::Running);
    }
    first.end();
}

TEST_F(HelperProgramsTest, WithoutASessionBusTheMainApplicationStartsNormally)
{
    ASSERT_TRUE(QFileInfo(program("Rackhand")).isExecutable());
    QProcessEnvironment env = sandboxEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    GroupProcess alone;
    alone.setProcessEnvironment(env);
    alone.start(program("Rackhand"), {});
    ASSERT_TRUE(alone.waitForStarted());
    // The window's first scan writes the catalogue: the program did not end early.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dataDir() + QStringLiteral("/plugins.db")), 20000);
    EXPECT_EQ(alone.state(), QProcess::Running);
    EXPECT_FALSE(alone.readAllStandardOutput().contains("already running"));
}

TEST_F(HelperProgramsTest, InstallationPutsBothProgramsAndTheirEntriesInPlace)
{
#ifndef RACKHAND_BINARY_DIR
    GTEST_SKIP() << "the build folder is unknown";
#else
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (cmake.isEmpty())
        GTEST_SKIP() << "cmake is not installed";
    const QString prefix = root() + QStringLiteral("/prefix with space");
    QProcess install;
    install.start(
        cmake, {QStringLiteral("--install"), QStringLiteral(RACKHAND_BINARY_DIR), QStringLiteral("--prefix"), prefix});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    for (const char* name : {"Rackhand", "RackhandHelper"})
        EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/bin/") + QString::fromLatin1(name)).isExecutable()) << name;
    const struct {
        const char* id;
        const char* exec;
    } entries[] = {{"com.yourcompany.Rackhand", "Rackhand"},
                   {"com.yourcompany.Rackhand.helper-agent", "RackhandHelper"}};
    for (const auto& entry : entries) {
        const QString id = QString::fromLatin1(entry.id);
        const QByteArray desktop =
            readFile(prefix + QStringLiteral("/share/applications/") + id + QStringLiteral(".desktop"));
        EXPECT_TRUE(desktop.contains("\nExec=\"" + (prefix + QStringLiteral("/bin/")).toUtf8() + entry.exec + "\"\n"))
            << desktop.toStdString();
        EXPECT_TRUE(desktop.contains("\nIcon=" + id.toUtf8() + "\n"));
        EXPECT_TRUE(
            QFileInfo(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/") + id + QStringLiteral(".svg"))
                .isFile());
    }
#endif
}

TEST_F(HelperProgramsTest, WithoutATrayTheHelperKeepsWatching)
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    RACKHAND_REQUIRE_SESSION_BUS();
    DBusNotificationCenter listener;
    QObject context;
    QList<QVariantMap> heard;
    listener.observe(QString::fromLatin1(RackhandBus::kNewPluginsDetected), &context,
                     [&heard](const QVariantMap& info) { heard.append(info); });

    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3")));
    QProcessEnvironment env = sandboxEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    GroupProcess helper;
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::MergedChannels);
    // Separate first display numbers: two "xvfb-run -a" started at once can pick the same one.
    helper.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-n"), QStringLiteral("140"), QStringLiteral("-s"),
                           QStringLiteral("-screen 0 1280x800x24"), program("RackhandHelper")});
    ASSERT_TRUE(helper.waitForStarted());
    QByteArray output;
    const auto saw = [&helper, &output](const char* text) {
        output += helper.readAll();
        return output.contains(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(saw("No system tray is available"), 20000);
    // The first scan has been written: the helper is watching now.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dataDir() + QStringLiteral("/menubar_known_plugins.json")), 10000);
    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Fresh.vst3")));
    QTRY_VERIFY_WITH_TIMEOUT(saw("FSEvent fired"), 20000);
    // Other tests share the bus and may announce too: the helper's one has the count 1.
    const auto fromHelper = [&heard] {
        return std::count_if(heard.begin(), heard.end(), [](const QVariantMap& info) {
            return !info.contains(QStringLiteral("probe")) && info.value(QStringLiteral("count")).toInt() == 1;
        });
    };
    QTRY_COMPARE_WITH_TIMEOUT(fromHelper(), 1, 5000);
    EXPECT_EQ(output.count("No system tray is available"), 1) << output.toStdString();
    EXPECT_EQ(helper.state(), QProcess::Running);
}

// Runs inside a virtual X server (see TrayIconAppearsUnderATrayHost): starts a tray host,
// shows the helper's icon, opens its menu and keeps a picture of the screen.
TEST_F(HelperProgramsTest, TrayInsideVirtualDisplay)
{
    if (qEnvironmentVariableIsEmpty("RACKHAND_TRAY_INSIDE"))
        GTEST_SKIP() << "runs only inside the virtual display";
    GroupProcess trayer;
    trayer.start(QStandardPaths::findExecutable(QStringLiteral("trayer")),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                  QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                  QStringLiteral("28"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
    ASSERT_TRUE(trayer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

    PlatformServices services;
    services.userNotifier = std::make_shared<RecordingUserNotifier>();
    services.folderWatcher = std::make_shared<FakeFolderWatcher>();
    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Existing.vst3")));
    MenuBarAppDelegate delegate(services);
    StatusItem item(delegate);
    delegate.applicationDidFinishLaunching();
    ASSERT_NE(item.trayIcon(), nullptr);
    EXPECT_TRUE(item.trayIcon()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!item.trayIcon()->geometry().isEmpty(), 10000);
    // A new install, so the picture shows the whole menu.
    delegate.buildMenu({QStringLiteral("Preamp & EQ"), QStringLiteral("Space Echo")});
    // The tray host sits in the top right corner; the menu opens below it.
    const QRect screenArea = QGuiApplication::primaryScreen()->geometry();
    const QPoint at(screenArea.right() - item.menu()->sizeHint().width() - 8, 32);
    item.menu()->popup(at);
    QTRY_VERIFY_WITH_TIMEOUT(item.menu()->isVisible(), 5000);
    QTest::qWait(500);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString picture = qEnvironmentVariable("RACKHAND_TRAY_SCREENSHOT");
    if (!picture.isEmpty()) {
        const QRect menu = item.menu()->geometry();
        const QRect corner(menu.left() - 24, 0, screen.width() - menu.left() + 24, menu.bottom() + 16);
        EXPECT_TRUE(screen.copy(corner.intersected(screen.rect())).save(picture));
    }
    item.menu()->hide();
}

TEST_F(HelperProgramsTest, TrayIconAppearsUnderATrayHost)
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        GTEST_SKIP() << "xvfb-run or trayer is not installed";
    if (!qEnvironmentVariableIsEmpty("RACKHAND_TRAY_INSIDE"))
        GTEST_SKIP() << "already inside";
    QProcessEnvironment env = sandboxEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("RACKHAND_TRAY_INSIDE"), QStringLiteral("1"));
    GroupProcess inside;
    inside.setProcessEnvironment(env);
    inside.setProcessChannelMode(QProcess::MergedChannels);
    inside.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-n"), QStringLiteral("160"), QStringLiteral("-s"),
                           QStringLiteral("-screen 0 1280x800x24"), QCoreApplication::applicationFilePath(),
                           QStringLiteral("--gtest_filter=HelperProgramsTest.TrayInsideVirtualDisplay")});
    ASSERT_TRUE(inside.waitForFinished(90000));
    const QByteArray output = inside.readAll();
    EXPECT_EQ(inside.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[       OK ] HelperProgramsTest.TrayInsideVirtualDisplay")) << output.toStdString();
}

#include "HelperProgramsTest.moc"
