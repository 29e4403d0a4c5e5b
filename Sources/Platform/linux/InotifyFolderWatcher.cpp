#include "Platform/linux/InotifyFolderWatcher.h"

#include "Platform/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// Additions, removals and renames; attribute and content changes are left out on purpose.
constexpr quint32 kChangeMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::size_t kReadBufferBytes = std::size_t{64} * 1024;
} // namespace

InotifyFolderWatcher::InotifyFolderWatcher() = default;

InotifyFolderWatcher::~InotifyFolderWatcher()
{
    stop();
}

QStringList InotifyFolderWatcher::start(const QStringList& folders, int latencyMs, std::function<void()> onChange)
{
    stop();
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        Diagnostics::print(QStringLiteral("Folder watch unavailable: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    m_onChange = std::move(onChange);
    m_batch = std::make_unique<QTimer>();
    m_batch->setSingleShot(true);
    m_batch->setInterval(latencyMs);
    QObject::connect(m_batch.get(), &QTimer::timeout, m_batch.get(), [this] {
        if (m_onChange)
            m_onChange();
    });
    QStringList watched;
    for (const QString& folder : folders) {
        if (QFileInfo(folder).isDir() && addTree(folder, true))
            watched.append(folder);
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    return watched;
}

void InotifyFolderWatcher::stop()
{
    m_notifier.reset();
    m_batch.reset();
    m_folders.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool InotifyFolderWatcher::addTree(const QString& folder, bool isRoot)
{
    // A root given as a link is followed; links met below it are not, so a loop cannot recur.
    const quint32 mask = kChangeMask | IN_ONLYDIR | (isRoot ? 0U : quint32(IN_DONT_FOLLOW));
    const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), mask);
    if (wd < 0) {
        if (errno == ENOSPC && !m_warnedAboutLimit) {
            m_warnedAboutLimit = true;
            Diagnostics::print(QStringLiteral("Folder watch limit reached at ") + folder +
                               QStringLiteral(": changes below it may go unnoticed"));
        }
        return false;
    }
    m_folders.insert(wd, folder);
    const QStringList children =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& child : children)
        addTree(folder + QLatin1Char('/') + child, false);
    return true;
}

void InotifyFolderWatcher::readEvents()
{
    alignas(inotify_event) std::array<char, kReadBufferBytes> buffer{};
    bool qualifies = false;
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + offset, sizeof(inotify_event));
            const char* nameStart = buffer.data() + offset + sizeof(inotify_event);
            const QString name = event.len > 0 ? QFile::decodeName(nameStart) : QString();
            handleEvent(event.wd, event.mask, name, qualifies);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    if (qualifies && m_batch && !m_batch->isActive())
        m_batch->start();
}

void InotifyFolderWatcher::handleEvent(int wd, quint32 mask, const QString& name, bool& qualifies)
{
    if (mask & IN_Q_OVERFLOW) {
        // Events were dropped: something may have changed.
        qualifies = true;
        return;
    }
    if (mask & IN_IGNORED) {
        m_folders.remove(wd);
        return;
    }
    if (!(mask & kChangeMask))
        return;
    qualifies = true;
    const auto folder = m_folders.constFind(wd);
    if (folder != m_folders.constEnd() && (mask & IN_ISDIR) && (mask & (IN_CREATE | IN_MOVED_TO)) && !name.isEmpty())
        addTree(*folder + QLatin1Char('/') + name, false);
}
