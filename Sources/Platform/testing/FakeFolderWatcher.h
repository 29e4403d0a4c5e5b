#pragma once

#include "Platform/FolderWatcher.h"

#include <QFileInfo>

/// Watches nothing: fire() plays one batch of changes at once.
class FakeFolderWatcher final : public FolderWatcher {
public:
    QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) override
    {
        m_folders.clear();
        for (const QString& folder : folders) {
            if (QFileInfo(folder).isDir())
                m_folders.append(folder);
        }
        m_latencyMs = latencyMs;
        m_onChange = std::move(onChange);
        return m_folders;
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

private:
    QStringList m_folders;
    int m_latencyMs = 0;
    std::function<void()> m_onChange;
};
