#pragma once

#include <QString>

/// An exclusive lock on the data folder D, held while this object lives: one process at a
/// time writes the catalogue and the side files there. A lock file in D with flock(), so
/// the lock ends with the process however it ends, and is not handed to child processes.
class DataFolderLock final {
public:
    enum class State {
        held,          ///< this process holds D
        heldElsewhere, ///< another process (or another lock object here) holds D
        unavailable    ///< no lock could be taken (the folder cannot be written, no locking there)
    };
    static constexpr auto kFileName = "rackhand.lock";

    /// Creates the folder when missing and tries the lock at once, without waiting.
    explicit DataFolderLock(const QString& folder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    State state() const { return m_state; }
    /// Why the lock is unavailable.
    const QString& reason() const { return m_reason; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    State m_state = State::unavailable;
    QString m_reason;
};
