#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

/// What a screen reader hears. The offscreen platform of the tests never turns assistive
/// technology on, so the events a view sends reach nobody; a screen-reader session is this same
/// test program run again inside a virtual display (xvfb-run) on its own session bus with the
/// AT-SPI bus of the desktop's accessibility stack, where Qt's bridge is on. There the tests
/// hear every event as the bridge would and resolve it as the bridge does.
namespace ScreenReaderSession {

inline constexpr auto kInsideVariable = "RACKHAND_SCREEN_READER_SESSION";

inline bool inside()
{
    return qEnvironmentVariableIsSet(kInsideVariable);
}

/// Inside a session: waits until Qt's accessibility bridge is on.
inline bool waitForBridge(int timeoutMs = 15000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!QAccessible::isActive() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return QAccessible::isActive();
}

struct Outcome {
    QString skipped; // why the session could not start; empty when it ran
    int exitCode = -1;
    QByteArray output;
};

/// Runs the tests of this program that match `filter` inside a session, with HOME in `home`
/// and the session's runtime folder in `runtime` (both the caller's sandbox). Everything the
/// session starts (bus, virtual display, accessibility bus) runs in one process group that
/// ends with it.
inline Outcome run(const QString& filter, const QString& home, const QString& runtime)
{
    Outcome outcome;
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    const QString dbusSession = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    if (xvfbRun.isEmpty() || dbusSession.isEmpty() ||
        !QFile::exists(QStringLiteral("/usr/share/dbus-1/services/org.a11y.Bus.service"))) {
        outcome.skipped = QStringLiteral("xvfb-run, dbus-run-session or the AT-SPI bus is not installed");
        return outcome;
    }
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kInsideVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Qt's bridge turns on without waiting for a screen reader to ask for it.
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    QProcess session;
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.setChildProcessModifier([] { ::setpgid(0, 0); });
    // The accessibility bus starts when first asked for; the bridge then finds it.
    const QString script = QStringLiteral(
        "dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null; "
        "exec \"$0\" -a -s '-screen 0 1400x900x24' \"$@\"");
    session.start(dbusSession, {QStringLiteral("--"), QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, xvfbRun,
                                QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_filter=") + filter});
    if (!session.waitForStarted(10000)) {
        outcome.skipped = QStringLiteral("the session did not start: ") + session.errorString();
        return outcome;
    }
    if (!session.waitForFinished(150000)) {
        ::kill(-static_cast<pid_t>(session.processId()), SIGTERM);
        session.waitForFinished(5000);
    }
    outcome.exitCode = session.exitStatus() == QProcess::NormalExit ? session.exitCode() : -1;
    outcome.output = session.readAll();
    return outcome;
}

} // namespace ScreenReaderSession

/// Skips a test outside a screen-reader session; inside, waits for the bridge.
#define RACKHAND_REQUIRE_SCREEN_READER()                                                                               \
    do {                                                                                                               \
        if (!ScreenReaderSession::inside())                                                                            \
            GTEST_SKIP() << "runs inside a screen-reader session";                                                     \
        ASSERT_TRUE(ScreenReaderSession::waitForBridge()) << "the accessibility bridge did not turn on";               \
    } while (false)

/// Runs `filter` inside a screen-reader session and expects every test there to pass.
#define RACKHAND_EXPECT_PASSES_WITH_A_SCREEN_READER(filter, home, runtime)                                             \
    do {                                                                                                               \
        if (ScreenReaderSession::inside())                                                                             \
            GTEST_SKIP() << "already inside";                                                                          \
        const ScreenReaderSession::Outcome outcome = ScreenReaderSession::run((filter), (home), (runtime));            \
        if (!outcome.skipped.isEmpty())                                                                                \
            GTEST_SKIP() << outcome.skipped.toStdString();                                                             \
        EXPECT_EQ(outcome.exitCode, 0) << outcome.output.toStdString();                                                \
        EXPECT_TRUE(outcome.output.contains("[  PASSED  ]") && !outcome.output.contains("[  SKIPPED ]"))               \
            << outcome.output.toStdString();                                                                           \
    } while (false)

/// Every accessibility event the program sends while it lives, each resolved to the object it
/// names as Qt's bridge resolves it (a child number read through the view's own interface).
class AccessibleEventLog {
public:
    struct Heard {
        QAccessible::Event type = QAccessible::InvalidEvent;
        QAccessible::Role role = QAccessible::NoRole;
        QString name;
        int row = -2;               // for table cells
        int column = -2;            // for table cells
        QAccessible::State changed; // for state changes
        QAccessible::State state;   // of the object, when heard
        QAccessibleInterface* object = nullptr;
    };

    AccessibleEventLog()
    {
        current() = this;
        QAccessible::installUpdateHandler(&AccessibleEventLog::hear);
        m_previous = qInstallMessageHandler(&AccessibleEventLog::warn);
    }
    ~AccessibleEventLog()
    {
        QAccessible::installUpdateHandler(nullptr);
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    AccessibleEventLog(const AccessibleEventLog&) = delete;
    AccessibleEventLog& operator=(const AccessibleEventLog&) = delete;

    void clear()
    {
        heard.clear();
        unresolved.clear();
    }
    QList<Heard> of(QAccessible::Event type) const
    {
        QList<Heard> found;
        for (const Heard& h : heard) {
            if (h.type == type)
                found.append(h);
        }
        return found;
    }

    QList<Heard> heard;
    /// Events whose object could not be made (what the bridge prints as a warning).
    QStringList unresolved;

private:
    static AccessibleEventLog*& current()
    {
        static AccessibleEventLog* log = nullptr;
        return log;
    }
    static void hear(QAccessibleEvent* event)
    {
        AccessibleEventLog* log = current();
        if (!log)
            return;
        Heard h;
        h.type = event->type();
        if (QAccessibleInterface* iface = event->accessibleInterface()) {
            h.object = iface;
            h.role = iface->role();
            h.name = iface->text(QAccessible::Name);
            h.state = iface->state();
            if (QAccessibleTableCellInterface* cell = iface->tableCellInterface()) {
                h.row = cell->rowIndex();
                h.column = cell->columnIndex();
            }
        }
        if (event->type() == QAccessible::StateChanged)
            h.changed = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
        log->heard.append(h);
    }
    static void warn(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (AccessibleEventLog* log = current(); log && message.contains(QLatin1String("accessible")))
            log->unresolved.append(message);
        if (current() && current()->m_previous)
            current()->m_previous(type, context, message);
    }

    QtMessageHandler m_previous = nullptr;
};
