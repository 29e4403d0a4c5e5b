#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

/// A small bounded pool for one burst of work whose tasks may post further tasks.
/// The thread that calls wait() works along, so a pool of one runs everything on
/// the caller. Tasks must not throw.
class WorkPool final {
public:
    /// `threads` counts the caller: n - 1 extra threads are started (at least none).
    explicit WorkPool(int threads);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    void post(std::function<void()> task);
    /// Runs tasks until every posted task (and every task they posted) has finished.
    void wait();

    /// Threads worth using for file-system reads: twice the cores (the disk, not the
    /// processor, is what a cold scan waits on), within sane bounds.
    static int defaultThreadCount();

private:
    void workerLoop();
    bool runOne(std::unique_lock<std::mutex>& lock);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_queue;
    int m_unfinished = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
