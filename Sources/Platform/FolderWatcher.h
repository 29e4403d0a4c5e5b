#pragma once

#include <QString>
#include <QStringList>

#include <functional>

/// Tells when items are added to, removed from or renamed in a set of folders or
/// anything below them. Changes of contents or attributes alone (a `touch`) are not
/// reported. Events are gathered into batches: the callback runs once per batch.
class FolderWatcher {
public:
    virtual ~FolderWatcher() = default;
    /// Starts watching (ending an earlier watch). `onChange` runs on the main thread
    /// `latencyMs` after the first qualifying event of a batch. Folders that do not
    /// exist are skipped; returns those that are watched.
    virtual QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) = 0;
    virtual void stop() = 0;
};
