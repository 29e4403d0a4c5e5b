#pragma once

#include <QString>
#include <QStringList>

#include <functional>

/// Tells when items are added to, removed from or renamed in a set of folders: the
/// folders' own entries, not what lies below them (give every folder that matters).
/// Changes of contents or attributes alone (a `touch`) are not reported. Events are
/// gathered into batches: the callback runs once per batch.
///
/// A folder that cannot be watched (missing, or over the system's watch limit) is listed
/// every `latencyMs` instead: a change of its listing, its appearance included, counts as
/// a change, so no folder goes unnoticed.
class FolderWatcher {
public:
    virtual ~FolderWatcher() = default;
    /// Starts watching (ending an earlier watch). `onChange` runs on the main thread
    /// `latencyMs` after the first qualifying event of a batch. Returns the folders that
    /// have a watch; the others are listed.
    virtual QStringList start(const QStringList& folders, int latencyMs, std::function<void()> onChange) = 0;
    /// Changes the set of folders of a running watch: folders no longer given are let go,
    /// new ones are watched (or listed). Returns the folders that have a watch.
    virtual QStringList setFolders(const QStringList& folders) = 0;
    virtual void stop() = 0;
};
