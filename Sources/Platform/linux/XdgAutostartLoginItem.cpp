#include "Platform/linux/XdgAutostartLoginItem.h"

#include "Platform/AtomicFile.h"
#include "Platform/InstanceLock.h"
#include "Platform/Paths.h"
#include "Platform/RackhandBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

XdgAutostartLoginItem::XdgAutostartLoginItem(QString identifier, QString executablePath, QString executableName,
                                             QString busConnection)
    : m_busConnection(std::move(busConnection)), m_identifier(std::move(identifier)),
      m_executablePath(std::move(executablePath)), m_executableName(std::move(executableName))
{
}

QString XdgAutostartLoginItem::entryPath() const
{
    return Paths::configHome() + QStringLiteral("/autostart/") + m_identifier + QStringLiteral(".desktop");
}

QString XdgAutostartLoginItem::quoteExecArgument(const QString& argument)
{
    // Quoting rule of the Exec key: inside double quotes, \ " ` $ take a backslash.
    QString quoted;
    quoted.reserve(argument.size() + 8);
    quoted += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    // A literal percent is a field code otherwise.
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // The general string escapes apply on top of the quoting.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quoted;
}

QByteArray XdgAutostartLoginItem::entryContents() const
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Rackhand Helper\n");
    text += QStringLiteral("Comment=Shows the number of enabled audio plug-ins\n");
    text += QStringLiteral("Exec=") + quoteExecArgument(m_executablePath) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("NoDisplay=true\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    text += QStringLiteral("X-Rackhand-Identifier=") + m_identifier + QLatin1Char('\n');
    return text.toUtf8();
}

namespace {

// Desktops switch an autostart entry off by marking it, not by removing it: `Hidden=true`
// (the freedesktop rule) or `X-GNOME-Autostart-enabled=false`, both in the main group.
bool entrySwitchedOff(const QString& path)
{
    QFile file(path);
    // The entry is a few hundred bytes; a cap keeps a stray huge file from being read whole.
    constexpr qint64 kMaximumEntrySize = 64 * 1024;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromUtf8(file.read(kMaximumEntrySize)).split(QLatin1Char('\n'));
    bool inMainGroup = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == QLatin1String("Hidden") && value == QLatin1String("true")) ||
            (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")))
            return true;
    }
    return false;
}

} // namespace

LoginItem::Status XdgAutostartLoginItem::status() const
{
    const QString path = entryPath();
    if (!QFileInfo(path).isFile() || entrySwitchedOff(path))
        return Status::notRegistered;
    return Status::enabled;
}

QString XdgAutostartLoginItem::registerItem()
{
    if (m_executablePath.contains(QLatin1Char('\n')) || m_executablePath.contains(QLatin1Char('\r')))
        return QStringLiteral("The helper path cannot be written to an autostart entry: ") + m_executablePath;
    const QString path = entryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Could not create the autostart folder ") + folder;
    const QString problem = writeFileAtomically(path, entryContents());
    if (!problem.isEmpty())
        return QStringLiteral("Could not write ") + path + QStringLiteral(": ") + problem;
    return {};
}

QString XdgAutostartLoginItem::unregisterItem()
{
    const QString path = entryPath();
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.remove())
        return QStringLiteral("Could not remove ") + path + QStringLiteral(": ") + file.errorString();
    return {};
}

namespace {

QDBusConnection connectionNamed(const QString& name)
{
    return name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(name);
}

qint64 nameOwnerPid(const QDBusConnection& bus)
{
    const QDBusReply<uint> pid = bus.interface()->servicePid(QString::fromLatin1(RackhandBus::kHelperServiceName));
    return pid.isValid() ? qint64(pid.value()) : 0;
}

} // namespace

QString XdgAutostartLoginItem::executableOf(qint64 pid) const
{
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (exe.endsWith(QStringLiteral(" (deleted)")))
        exe.chop(10);
    return exe;
}

qint64 XdgAutostartLoginItem::lockHolder() const
{
    const qint64 pid = InstanceLock::holder(Paths::dataFile(QString::fromLatin1(RackhandBus::kHelperLockFile)));
    if (pid <= 0)
        return 0;
    // A lock in a shared data folder must not lead to another user's process.
    const QFileInfo process(QStringLiteral("/proc/%1").arg(pid));
    if (!process.exists() || process.ownerId() != ::getuid())
        return 0;
    return QFileInfo(executableOf(pid)).fileName() == m_executableName ? pid : 0;
}

QList<LoginItem::RunningHelper> XdgAutostartLoginItem::runningHelpers() const
{
    // Only this session's helper: helpers of other sessions or users are not ours to stop.
    const QDBusConnection bus = connectionNamed(m_busConnection);
    const qint64 pid = bus.isConnected() ? nameOwnerPid(bus) : lockHolder();
    if (pid <= 0)
        return {};
    return {{pid, executableOf(pid)}};
}

void XdgAutostartLoginItem::requestQuit(const RunningHelper& helper)
{
    if (helper.pid <= 0)
        return;
    QDBusConnection bus = connectionNamed(m_busConnection);
    if (bus.isConnected()) {
        // Asked over the bus, not signalled: the request reaches this session's helper only.
        if (nameOwnerPid(bus) != helper.pid)
            return;
        bus.send(QDBusMessage::createMethodCall(
            QString::fromLatin1(RackhandBus::kHelperServiceName), QString::fromLatin1(RackhandBus::kHelperObjectPath),
            QString::fromLatin1(RackhandBus::kHelperInterface), QString::fromLatin1(RackhandBus::kQuitMethod)));
        return;
    }
    if (lockHolder() == helper.pid)
        ::kill(static_cast<pid_t>(helper.pid), SIGTERM);
}

bool XdgAutostartLoginItem::launch(const QString& executablePath)
{
    return QProcess::startDetached(executablePath, {});
}
