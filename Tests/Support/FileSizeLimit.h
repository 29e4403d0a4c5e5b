#pragma once

#include <QtGlobal>

#include <csignal>
#include <sys/resource.h>

/// Lowers the file-size limit so every write that grows a file fails with EFBIG, as a
/// full disk would; root ignores file modes, but not this limit. Restored on destruction.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};
