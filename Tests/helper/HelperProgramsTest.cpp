// The programs themselves: the bus announcements, the notification service, the
// single-instance hand-over, the installation and the tray under a virtual X server.
#include "MenuBarHelper/MenuBarAppDelegate.h"
#include "MenuBarHelper/StatusItem.h"
#include "Platform/InstanceLock.h"
#include "Platform/MenuBarLoginItem.h"
#include "Platform/Paths.h"
#include "Platform/RackhandBus.h"
#include "Platform/linux/DBusNotificationCenter.h"
#include "Platform/linux/FreedesktopNotifier.h"
#include "Platform/linux/XdgAutostartLoginItem.h"
#include "Platform/testing/FakeFolderWatcher.h"
#include "Platform/testing/RecordingUserNotifier.h"
#include "Support/Eventually.h"
#include "Support/NotificationListener.h"
#include "Support/PrivateBus.h"
#include "Support/SandboxTest.h"
#include "Support/SessionBus.h"
#include "helper/HelperFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QUuid>
#include <QVariantMap>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <unistd.h>

#if RACKHAND_TESTS_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#endif

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

#if RACKHAND_TESTS_HAVE_XCB
/// Publishes (or, with no colour, withdraws) the colour the X11 tray asks its icons to take,
/// as a panel's tray does on its selection owner.
void publishTrayForeground(std::optional<QColor> colour)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto atom = [connection](const QByteArray& name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    };
    const xcb_atom_t colours = atom("_NET_SYSTEM_TRAY_COLORS");
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom("_NET_SYSTEM_TRAY_S0")), nullptr);
    ASSERT_NE(owner, nullptr);
    const xcb_window_t window = owner->owner;
    std::free(owner);
    ASSERT_NE(window, xcb_window_t(XCB_WINDOW_NONE));
    if (colour) {
        std::array<quint32, 12> values{};
        const QRgba64 rgb = colour->rgba64();
        for (std::size_t i = 0; i < values.size(); i += 3) {
            values[i] = rgb.red();
            values[i + 1] = rgb.green();
            values[i + 2] = rgb.blue();
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, colours, XCB_ATOM_CARDINAL, 32, values.size(),
                            values.data());
    } else {
        xcb_delete_property(connection, window, colours);
    }
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); // a round trip
}
#endif

/// `env` for a helper on the bus at `busAddress`, or on no bus at all when it is empty;
/// without a tray (offscreen).
QProcessEnvironment onBus(QProcessEnvironment env, const QString& busAddress)
{
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("DISPLAY"));
    if (busAddress.isEmpty())
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    else
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    return env;
}

/// The process that owns the helper's name on `bus`; 0 for none.
qint64 helperOn(const QDBusConnection& bus)
{
    const QDBusReply<uint> pid = bus.interface()->servicePid(QString::fromLatin1(RackhandBus::kHelperServiceName));
    return pid.isValid() ? qint64(pid.value()) : 0;
}

/// The announcements of the programs on `bus` reach `listener`.
bool listenForAnnouncements(QDBusConnection bus, NotificationListener& listener)
{
    return bus.connect(QString(), QString::fromLatin1(RackhandBus::kObjectPath),
                       QString::fromLatin1(RackhandBus::kNotificationInterface),
                       QString::fromLatin1(RackhandBus::kNotificationMember), &listener,
                       SIGNAL(notification(QString, QVariantMap)));
}

QPalette panelPalette(const char* window, const char* text)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, QColor(QLatin1String(window)));
    palette.setColor(QPalette::WindowText, QColor(QLatin1String(text)));
    return palette;
}

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
    RACKHAND_ASSERT_EVENTUALLY_EQ(heard.size(), 1, 5000);
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
        RACKHAND_ASSERT_EVENTUALLY_EQ(server.received.size(), 1, 5000);
        EXPECT_EQ(server.received.first().summary, QStringLiteral("Rackhand — New Plugins Detected"));
        EXPECT_EQ(server.received.first().body, QString::fromLatin1(row.shown));
        EXPECT_TRUE(server.received.first().actions.contains(QStringLiteral("default")));

        QTest::qWait(100);                        // the id arrives with the reply
        click(server.received.first().id + 1000); // another program's notice
        QTest::qWait(200);
        EXPECT_EQ(activations, 0);
        click(server.received.first().id);
        RACKHAND_ASSERT_EVENTUALLY_EQ(activations, 1, 5000);
    }
    serverBus.unregisterService(QString::fromLatin1(FreedesktopNotifier::kService));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notes"));
}

TEST_F(HelperProgramsTest, SecondMainApplicationHandsOverAndEnds)
{
    // A bus of its own: a window of a test running beside this one would take the hand-over.
    PrivateBus privateBus;
    if (!privateBus.isConnected())
        GTEST_SKIP() << "dbus-daemon did not start";
    QDBusConnectionInterface* bus = privateBus.connection().interface();
    const QString service = QString::fromLatin1(RackhandBus::kServiceName);
    ASSERT_TRUE(QFileInfo(program("Rackhand")).isExecutable());
    QProcessEnvironment env = sandboxEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), privateBus.address());

    GroupProcess first;
    first.setProcessEnvironment(env);
    first.start(program("Rackhand"), {});
    ASSERT_TRUE(first.waitForStarted());
    RACKHAND_ASSERT_EVENTUALLY(bus->isServiceRegistered(service), 20000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program("Rackhand"), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().contains("already running"));
    QByteArray firstOutput;
    RACKHAND_ASSERT_EVENTUALLY((firstOutput += first.readAllStandardOutput()).contains("started again"), 5000);
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
    RACKHAND_ASSERT_EVENTUALLY(QFileInfo::exists(catalogue), 20000);

    // The session with a bus is a bus of this test's own, where no window of another test is.
    PrivateBus otherSession;
    QProcessEnvironment withBus = sandboxEnvironment();
    withBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), otherSession.address());
    const struct {
        const char* name;
        bool withBus;
    } rows[] = {{"from a session with a bus", true}, {"without a bus", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.withBus && !otherSession.isConnected())
            continue;
        QProcess second;
        second.setProcessEnvironment(row.withBus ? withBus : alone);
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
    RACKHAND_ASSERT_EVENTUALLY(QFileInfo::exists(dataDir() + QStringLiteral("/plugins.db")), 20000);
    EXPECT_EQ(alone.state(), QProcess::Running);
    EXPECT_FALSE(alone.readAllStandardOutput().contains("already running"));
}

TEST_F(HelperProgramsTest, ASecondHelperOfTheSessionEndsAtOnceAndAnInstallIsAnnouncedOnce)
{
    PrivateBus bus;
    if (!bus.isConnected())
        GTEST_SKIP() << "dbus-daemon did not start";
    QDBusConnection connection = bus.connection();
    FakeNotificationServer server;
    ASSERT_TRUE(connection.registerService(QString::fromLatin1(FreedesktopNotifier::kService)));
    ASSERT_TRUE(connection.registerObject(QString::fromLatin1(FreedesktopNotifier::kPath), &server,
                                          QDBusConnection::ExportAllSlots));
    NotificationListener listener;
    ASSERT_TRUE(listenForAnnouncements(connection, listener));
    QSignalSpy announcements(&listener, &NotificationListener::notification);

    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3")));
    GroupProcess first;
    first.setProcessEnvironment(onBus(sandboxEnvironment(), bus.address()));
    first.start(program("RackhandHelper"), {});
    ASSERT_TRUE(first.waitForStarted());
    RACKHAND_ASSERT_EVENTUALLY_EQ(helperOn(connection), qint64(first.processId()), 20000);

    GroupProcess second;
    second.setProcessEnvironment(onBus(sandboxEnvironment(), bus.address()));
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(program("RackhandHelper"), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().contains("🔌 [Rackhand] The helper already runs in this session"));
    EXPECT_EQ(first.state(), QProcess::Running);

    // The first one is watching once it has written what it knows.
    RACKHAND_ASSERT_EVENTUALLY(QFileInfo::exists(dataDir() + QStringLiteral("/menubar_known_plugins.json")), 10000);
    QTest::qWait(500);
    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Preamp One.vst3")));
    RACKHAND_ASSERT_EVENTUALLY_EQ(announcements.size(), 1, 20000);
    RACKHAND_ASSERT_EVENTUALLY_EQ(server.received.size(), 1, 5000);
    QTest::qWait(1500); // a second helper would announce at about the same time
    EXPECT_EQ(announcements.size(), 1);
    EXPECT_EQ(server.received.size(), 1);
    EXPECT_EQ(announcements.first().at(1).toMap().value(QStringLiteral("count")).toInt(), 1);
}

TEST_F(HelperProgramsTest, WithoutASessionBusALockInTheDataFolderKeepsOneHelper)
{
    const QString lock = Paths::dataFile(QString::fromLatin1(RackhandBus::kHelperLockFile));
    GroupProcess first;
    first.setProcessEnvironment(onBus(sandboxEnvironment(), {}));
    first.start(program("RackhandHelper"), {});
    ASSERT_TRUE(first.waitForStarted());
    RACKHAND_ASSERT_EVENTUALLY_EQ(InstanceLock::holder(lock), qint64(first.processId()), 20000);

    GroupProcess second;
    second.setProcessEnvironment(onBus(sandboxEnvironment(), {}));
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(program("RackhandHelper"), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().contains("🔌 [Rackhand] The helper already runs for this data folder"));
    EXPECT_EQ(first.state(), QProcess::Running);

    // The login switch without a bus stops the helper that holds the lock, and only that one.
    const QString noBus = QStringLiteral("no-bus");
    ASSERT_FALSE(QDBusConnection::connectToBus(QStringLiteral("unix:path=") + root() + QStringLiteral("/no-bus"), noBus)
                     .isConnected());
    XdgAutostartLoginItem login(QString::fromLatin1(MenuBarLoginItem::kIdentifier), program("RackhandHelper"),
                                QString::fromLatin1(MenuBarLoginItem::kExecutableName), noBus);
    const QList<LoginItem::RunningHelper> running = login.runningHelpers();
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running.first().pid, first.processId());
    login.requestQuit(running.first());
    EXPECT_TRUE(first.waitForFinished(10000));
    EXPECT_TRUE(login.runningHelpers().isEmpty());
    QDBusConnection::disconnectFromBus(noBus);
}

// Two private buses stand for two login sessions of the same user.
TEST_F(HelperProgramsTest, TheLoginSwitchStopsAndStartsOnlyThisSessionsHelper)
{
    PrivateBus here;
    PrivateBus there;
    if (!here.isConnected() || !there.isConnected())
        GTEST_SKIP() << "dbus-daemon did not start";
    GroupProcess ours;
    GroupProcess theirs;
    for (auto [process, bus] : {std::pair{&ours, &here}, std::pair{&theirs, &there}}) {
        process->setProcessEnvironment(onBus(sandboxEnvironment(), bus->address()));
        process->start(program("RackhandHelper"), {});
        ASSERT_TRUE(process->waitForStarted());
        RACKHAND_ASSERT_EVENTUALLY_EQ(helperOn(bus->connection()), qint64(process->processId()), 20000);
    }
    auto login = std::make_shared<XdgAutostartLoginItem>(
        QString::fromLatin1(MenuBarLoginItem::kIdentifier), program("RackhandHelper"),
        QString::fromLatin1(MenuBarLoginItem::kExecutableName), here.connectionName());
    const QList<LoginItem::RunningHelper> running = login->runningHelpers();
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running.first().pid, ours.processId());
    EXPECT_EQ(QFileInfo(running.first().executablePath).canonicalFilePath(),
              QFileInfo(program("RackhandHelper")).canonicalFilePath());

    MenuBarLoginItem::setHelperPathOverride(program("RackhandHelper"));
    // The helper the switch starts is detached: whatever happens, it is asked to end with the test.
    const QByteArray savedBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const auto cleanUp = qScopeGuard([&] {
        qputenv("DBUS_SESSION_BUS_ADDRESS", savedBus);
        MenuBarLoginItem::setHelperPathOverride({});
        const qint64 started = helperOn(here.connection());
        if (started > 0 && started != ours.processId()) {
            login->requestQuit({started, {}});
            if (!QTest::qWaitFor([&] { return helperOn(here.connection()) == 0; }, 5000))
                ::kill(static_cast<pid_t>(started), SIGKILL);
        }
    });

    // Off: this session's helper ends; the other session's runs on.
    MenuBarLoginItem::setEnabled(login, false);
    ASSERT_TRUE(ours.waitForFinished(10000));
    EXPECT_EQ(ours.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ours.exitCode(), 0);
    EXPECT_EQ(theirs.state(), QProcess::Running);
    EXPECT_EQ(helperOn(there.connection()), theirs.processId());

    // On: the other session's helper does not keep one from starting here, and is left alone.
    qputenv("DBUS_SESSION_BUS_ADDRESS", here.address().toUtf8());
    MenuBarLoginItem::setEnabled(login, true);
    RACKHAND_ASSERT_EVENTUALLY(helperOn(here.connection()) > 0, 20000);
    EXPECT_EQ(theirs.state(), QProcess::Running);
    EXPECT_EQ(helperOn(there.connection()), theirs.processId());
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
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/") +
                          QString::fromLatin1(StatusItem::kSymbolicIconName) + QStringLiteral(".svg"))
                    .isFile());
#endif
}

TEST_F(HelperProgramsTest, WithoutATrayTheHelperKeepsWatching)
{
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    // A bus of its own: a login switch tested beside it must not find this helper.
    PrivateBus bus;
    if (!bus.isConnected())
        GTEST_SKIP() << "dbus-daemon did not start";
    NotificationListener listener;
    ASSERT_TRUE(listenForAnnouncements(bus.connection(), listener));
    QSignalSpy announcements(&listener, &NotificationListener::notification);

    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3")));
    QProcessEnvironment env = sandboxEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
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
    RACKHAND_ASSERT_EVENTUALLY(saw("No system tray is available"), 20000);
    // The first scan has been written: the helper is watching now.
    RACKHAND_ASSERT_EVENTUALLY(QFileInfo::exists(dataDir() + QStringLiteral("/menubar_known_plugins.json")), 10000);
    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Fresh.vst3")));
    RACKHAND_ASSERT_EVENTUALLY(saw("FSEvent fired"), 20000);
    RACKHAND_ASSERT_EVENTUALLY_EQ(announcements.size(), 1, 5000);
    EXPECT_EQ(announcements.first().at(0).toString(), QString::fromLatin1(RackhandBus::kNewPluginsDetected));
    EXPECT_EQ(announcements.first().at(1).toMap().value(QStringLiteral("count")).toInt(), 1);
    EXPECT_EQ(output.count("No system tray is available"), 1) << output.toStdString();
    EXPECT_EQ(helper.state(), QProcess::Running);
}

// Runs inside a virtual X server (see TrayIconAppearsUnderATrayHost): starts a dark tray
// host, shows the helper's icon, follows the tray's colours and the palette, opens the menu
// and keeps a picture of the screen.
TEST_F(HelperProgramsTest, TrayInsideVirtualDisplay)
{
    if (qEnvironmentVariableIsEmpty("RACKHAND_TRAY_INSIDE"))
        GTEST_SKIP() << "runs only inside the virtual display";
    GroupProcess trayer;
    trayer.start(QStandardPaths::findExecutable(QStringLiteral("trayer")),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                  QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
                  QStringLiteral("28"), QStringLiteral("--SetDockType"), QStringLiteral("true"),
                  QStringLiteral("--transparent"), QStringLiteral("true"), QStringLiteral("--alpha"),
                  QStringLiteral("0"), QStringLiteral("--tint"), QStringLiteral("0x202124")});
    ASSERT_TRUE(trayer.waitForStarted());
    RACKHAND_ASSERT_EVENTUALLY(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
#if RACKHAND_TESTS_HAVE_XCB
    // The dark panel's tray asks for light icons.
    publishTrayForeground(QColor(0xe8, 0xea, 0xed));
#endif

    PlatformServices services;
    services.userNotifier = std::make_shared<RecordingUserNotifier>();
    services.folderWatcher = std::make_shared<FakeFolderWatcher>();
    makeDir(sys(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Existing.vst3")));
    MenuBarAppDelegate delegate(services);
    StatusItem item(delegate);
    delegate.applicationDidFinishLaunching();
    ASSERT_NE(item.trayIcon(), nullptr);
    EXPECT_TRUE(item.trayIcon()->isVisible());
    RACKHAND_ASSERT_EVENTUALLY(!item.trayIcon()->geometry().isEmpty(), 10000);
#if RACKHAND_TESTS_HAVE_XCB
    EXPECT_EQ(drawnColour(item.trayIcon()->icon()), QColor(0xe8, 0xea, 0xed)) << "the tray's colour";
    publishTrayForeground(std::nullopt);
#endif
    // Without a word from the tray the icon follows the desktop palette, and each change of it.
    const QPalette before = QGuiApplication::palette();
    for (const bool dark : {false, true, false, true}) {
        SCOPED_TRACE(dark ? "dark palette" : "light palette");
        QGuiApplication::setPalette(dark ? panelPalette("#202124", "#e8eaed") : panelPalette("#f4f4f4", "#1f1f1f"));
        const QColor drawn = drawnColour(item.trayIcon()->icon());
        EXPECT_EQ(drawn.lightnessF() > 0.5, dark) << drawn.name().toStdString();
    }
#if RACKHAND_TESTS_HAVE_XCB
    // The tray's word wins over a light palette: the panel is dark whatever the windows are.
    publishTrayForeground(QColor(0xe8, 0xea, 0xed));
#endif
    QGuiApplication::setPalette(before);
#if RACKHAND_TESTS_HAVE_XCB
    EXPECT_EQ(drawnColour(item.trayIcon()->icon()), QColor(0xe8, 0xea, 0xed));
#endif
    // A new install, so the picture shows the whole menu.
    delegate.buildMenu({QStringLiteral("Preamp & EQ"), QStringLiteral("Space Echo")});
    // The tray host sits in the top right corner; the menu opens below it.
    const QRect screenArea = QGuiApplication::primaryScreen()->geometry();
    const QPoint at(screenArea.right() - item.menu()->sizeHint().width() - 8, 32);
    item.menu()->popup(at);
    RACKHAND_ASSERT_EVENTUALLY(item.menu()->isVisible(), 5000);
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
