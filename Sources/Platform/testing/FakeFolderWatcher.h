#pragma once

#include "Platform/FolderWatcher.h"

#include <QFileInfo>

/// Watches nothing: fire() plays one batch of changes at once. folders() is the last set
/// given, existing or not; start() and setFolders() return those that exist.
class FakeFolderWatcher final : public FolderWatcher {
public:
    QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) override
    {
        m_latencyMs = latencyMs;
        m_onChange = std::move(onChange);
        if (onStart)
            onStart();
        return setFolders(folders);
    }
    QStringList setFolders(const QStringList& folders) override
    {
        m_folders = folders;
        QStringList existing;
        for (const QString& folder : folders) {
            if (QFileInfo(folder).isDir())
                existing.append(folder);
        }
        return existing;
    }
    void stop() override { m_onChange = {}; }
    void fire()
    {
        if (m_onChange)
            m_onChange();
    }
    bool isRunning() const { return bool(m_onChange); }
    const QStringList& folders() const { return m_folders; }
    int latencyMs() const { return m_latencyMs; }
    /// Runs as each watch is armed (tests look at what has been done before it).
    std::function<void()> onStart;

private:
    QStringList m_folders;
    int m_latencyMs = 0;
    std::function<void()> m_onChange;
};
