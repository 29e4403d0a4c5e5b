#pragma once

#include <QString>

/// One running process per lock file: a POSIX record lock, which the kernel lets go when
/// its holder ends, so a crashed holder never leaves a stale lock behind. Another process
/// can ask which process holds it. The holder must not open the file anywhere else: closing
/// any descriptor of it would let the lock go.
class InstanceLock {
public:
    enum class Result {
        acquired,      ///< this process holds the lock now
        heldByAnother, ///< another live process holds it
        failed         ///< the file could not be created or locked (see errorString())
    };

    explicit InstanceLock(QString path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    /// Creates the file (and its folder) when needed and tries to lock it without waiting.
    Result tryLock();
    QString errorString() const { return m_error; }
    const QString& path() const { return m_path; }

    /// The process that holds the lock on `path` now; 0 when none does or it cannot be told.
    /// Never ask from the holding process itself: the probe's close would let its lock go.
    static qint64 holder(const QString& path);

private:
    QString m_path;
    QString m_error;
    int m_fd = -1;
};
