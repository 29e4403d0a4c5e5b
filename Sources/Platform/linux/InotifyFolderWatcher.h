#pragma once

#include "Platform/FolderWatcher.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSocketNotifier;
class QTimer;

/// FolderWatcher over inotify: one watch per given folder (creations, deletions and both
/// halves of a move among its own entries), nothing below it. A folder that gets no watch
/// (it does not exist, or the per-user watch limit is spent) is listed every latency
/// instead, and gets its watch as soon as it can.
class InotifyFolderWatcher final : public FolderWatcher {
public:
    /// Adds one watch, as inotify_add_watch does (-1 and errno on failure).
    using AddWatch = std::function<int(int fd, const char* path, quint32 mask)>;

    /// `addWatch` stands in for inotify_add_watch (tests spend the watch limit early).
    explicit InotifyFolderWatcher(AddWatch addWatch = {});
    ~InotifyFolderWatcher() override;
    InotifyFolderWatcher(const InotifyFolderWatcher&) = delete;
    InotifyFolderWatcher& operator=(const InotifyFolderWatcher&) = delete;

    QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) override;
    QStringList setFolders(const QStringList& folders) override;
    void stop() override;

    /// Watches in use now: one per watched folder.
    qsizetype watchedFolderCount() const;
    /// The folders listed every latency instead of watched.
    QStringList listedFolders() const;

    /// How often unwatched folders are listed at the least, whatever the latency.
    static constexpr int kMinimumListingIntervalMs = 100;

private:
    /// What a folder without a watch held when it was last listed.
    struct Listing {
        bool exists = false;
        QStringList names; // sorted
        bool operator==(const Listing&) const = default;
    };
    static Listing list(const QString& folder);

    bool watch(const QString& folder);
    void unwatch(const QString& folder);
    void listUnwatched();
    void readEvents();
    void handleEvent(int wd, quint32 mask, bool& qualifies);
    void loseWatch(int wd);
    void changed();
    QStringList watchedFolders() const;
    /// The keys of `folders` in the order the folders were given.
    template <typename Map>
    QStringList inGivenOrder(const Map& folders) const;

    AddWatch m_addWatch;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_batch;
    std::unique_ptr<QTimer> m_listing;
    QStringList m_folders;            // as given, in order
    QHash<QString, int> m_watches;    // watched folder -> watch descriptor
    QHash<QString, Listing> m_listed; // folder without a watch -> its last listing
    std::function<void()> m_onChange;
    bool m_warnedAboutLimit = false;
};
