#pragma once

#include "Platform/FolderWatcher.h"

#include <QHash>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;

/// FolderWatcher over inotify: creations, deletions and both halves of a move, in each
/// watched folder and every sub-folder, including sub-folders that appear later.
class InotifyFolderWatcher final : public FolderWatcher {
public:
    InotifyFolderWatcher();
    ~InotifyFolderWatcher() override;
    InotifyFolderWatcher(const InotifyFolderWatcher&) = delete;
    InotifyFolderWatcher& operator=(const InotifyFolderWatcher&) = delete;

    QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) override;
    void stop() override;

    /// Folders watched now (the roots and their sub-folders).
    qsizetype watchedFolderCount() const { return m_folders.size(); }

private:
    bool addTree(const QString& folder, bool isRoot);
    void readEvents();
    void handleEvent(int wd, quint32 mask, const QString& name, bool& qualifies);

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_batch;
    QHash<int, QString> m_folders; // watch descriptor -> folder
    std::function<void()> m_onChange;
    bool m_warnedAboutLimit = false;
};
