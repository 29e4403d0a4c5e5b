#include "Platform/linux/InotifyFolderWatcher.h"

#include "Platform/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
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

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

InotifyFolderWatcher::InotifyFolderWatcher(AddWatch addWatch) : m_addWatch(std::move(addWatch))
{
    if (!m_addWatch)
        m_addWatch = [](int fd, const char* path, quint32 mask) { return ::inotify_add_watch(fd, path, mask); };
}

InotifyFolderWatcher::~InotifyFolderWatcher()
{
    stop();
}

QStringList InotifyFolderWatcher::start(const QStringList& folders, int latencyMs, std::function<void()> onChange)
{
    stop();
    m_onChange = std::move(onChange);
    m_batch = std::make_unique<QTimer>();
    m_batch->setSingleShot(true);
    m_batch->setInterval(latencyMs);
    QObject::connect(m_batch.get(), &QTimer::timeout, m_batch.get(), [this] {
        if (m_onChange)
            m_onChange();
    });
    m_listing = std::make_unique<QTimer>();
    m_listing->setInterval(std::max(latencyMs, kMinimumListingIntervalMs));
    QObject::connect(m_listing.get(), &QTimer::timeout, m_listing.get(), [this] { listUnwatched(); });

    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        // Listing every folder still notices every change, only later.
        Diagnostics::print(QStringLiteral("Folder watch unavailable (") + systemError(errno) +
                           QStringLiteral("): listing the folders every ") + QString::number(m_listing->interval()) +
                           QStringLiteral(" ms instead"));
    } else {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    }
    return setFolders(folders);
}

void InotifyFolderWatcher::stop()
{
    m_notifier.reset();
    m_batch.reset();
    m_listing.reset();
    m_folders.clear();
    m_watches.clear();
    m_listed.clear();
    m_onChange = {};
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QStringList InotifyFolderWatcher::setFolders(const QStringList& folders)
{
    if (!m_listing)
        return {};
    QStringList wanted;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        if (!seen.contains(folder)) {
            seen.insert(folder);
            wanted.append(folder);
        }
    }
    for (const QString& folder : watchedFolders()) {
        if (!seen.contains(folder))
            unwatch(folder);
    }
    for (auto it = m_listed.begin(); it != m_listed.end();) {
        it = seen.contains(it.key()) ? std::next(it) : m_listed.erase(it);
    }
    // In the given order, so under a low watch limit the first folders get the watches.
    for (const QString& folder : wanted) {
        if (!m_watches.contains(folder) && !m_listed.contains(folder) && !watch(folder))
            m_listed.insert(folder, list(folder));
    }
    m_folders = wanted;
    if (m_listed.isEmpty())
        m_listing->stop();
    else if (!m_listing->isActive())
        m_listing->start();
    return watchedFolders();
}

qsizetype InotifyFolderWatcher::watchedFolderCount() const
{
    // Two names of one folder share one watch.
    const QList<int> descriptors = m_watches.values();
    return QSet<int>(descriptors.begin(), descriptors.end()).size();
}

template <typename Map>
QStringList InotifyFolderWatcher::inGivenOrder(const Map& folders) const
{
    QStringList ordered;
    for (const QString& folder : m_folders) {
        if (folders.contains(folder))
            ordered.append(folder);
    }
    return ordered;
}

QStringList InotifyFolderWatcher::listedFolders() const
{
    return inGivenOrder(m_listed);
}

QStringList InotifyFolderWatcher::watchedFolders() const
{
    return inGivenOrder(m_watches);
}

InotifyFolderWatcher::Listing InotifyFolderWatcher::list(const QString& folder)
{
    Listing listing;
    const QDir dir(folder);
    listing.exists = QFileInfo(folder).isDir();
    if (!listing.exists)
        return listing;
    listing.names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(listing.names.begin(), listing.names.end());
    return listing;
}

bool InotifyFolderWatcher::watch(const QString& folder)
{
    if (m_fd < 0 || !QFileInfo(folder).isDir())
        return false;
    // A folder given as a link is followed: plug-in folders are often links to another disk.
    const int wd = m_addWatch(m_fd, QFile::encodeName(folder).constData(), kChangeMask | IN_ONLYDIR);
    if (wd < 0) {
        const int error = errno;
        if (error == ENOSPC && !m_warnedAboutLimit) {
            m_warnedAboutLimit = true;
            Diagnostics::print(QStringLiteral("Folder watch limit reached at ") + folder +
                               QStringLiteral(": folders without a watch are listed every ") +
                               QString::number(m_listing->interval()) + QStringLiteral(" ms instead"));
        }
        return false;
    }
    m_watches.insert(folder, wd);
    return true;
}

void InotifyFolderWatcher::unwatch(const QString& folder)
{
    const int wd = m_watches.take(folder);
    const QList<int> others = m_watches.values();
    if (!others.contains(wd))
        ::inotify_rm_watch(m_fd, wd);
}

void InotifyFolderWatcher::listUnwatched()
{
    bool qualifies = false;
    const QStringList folders = listedFolders();
    for (const QString& folder : folders) {
        const Listing before = m_listed.value(folder);
        // Watched first, then listed: nothing can slip in between the two.
        const bool watched = watch(folder);
        const Listing now = list(folder);
        if (now != before)
            qualifies = true;
        if (watched)
            m_listed.remove(folder);
        else
            m_listed.insert(folder, now);
    }
    if (m_listed.isEmpty())
        m_listing->stop();
    if (qualifies)
        changed();
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
            handleEvent(event.wd, event.mask, qualifies);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    if (qualifies)
        changed();
}

void InotifyFolderWatcher::handleEvent(int wd, quint32 mask, bool& qualifies)
{
    if (mask & IN_Q_OVERFLOW) {
        // Events were dropped: something may have changed.
        qualifies = true;
        return;
    }
    if (mask & (IN_IGNORED | IN_MOVE_SELF)) {
        // The folder went away or moved (the watch would follow it elsewhere): list its name
        // until a folder stands there again.
        const bool ours = std::find(m_watches.cbegin(), m_watches.cend(), wd) != m_watches.cend();
        if (ours) {
            if (mask & IN_MOVE_SELF)
                ::inotify_rm_watch(m_fd, wd);
            loseWatch(wd);
            qualifies = true;
        }
        return;
    }
    if (mask & kChangeMask)
        qualifies = true;
}

void InotifyFolderWatcher::loseWatch(int wd)
{
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (it.value() == wd) {
            m_listed.insert(it.key(), list(it.key()));
            it = m_watches.erase(it);
        } else {
            ++it;
        }
    }
    if (m_listing && !m_listing->isActive())
        m_listing->start();
}

void InotifyFolderWatcher::changed()
{
    if (m_batch && !m_batch->isActive())
        m_batch->start();
}
