#include "catalogue/WorkPool.h"

#include <algorithm>

WorkPool::WorkPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        m_threads.emplace_back([this] { workerLoop(); });
}

WorkPool::~WorkPool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

int WorkPool::defaultThreadCount()
{
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores * 2, 2, 32);
}

void WorkPool::post(std::function<void()> task)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(task));
        ++m_unfinished;
    }
    m_wake.notify_one();
}

bool WorkPool::runOne(std::unique_lock<std::mutex>& lock)
{
    if (m_queue.empty())
        return false;
    std::function<void()> task = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    task();
    lock.lock();
    if (--m_unfinished == 0)
        m_idle.notify_all();
    return true;
}

void WorkPool::workerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        runOne(lock);
    }
}

void WorkPool::wait()
{
    std::unique_lock lock(m_mutex);
    while (m_unfinished > 0) {
        if (!runOne(lock))
            m_idle.wait(lock, [this] { return m_unfinished == 0 || !m_queue.empty(); });
    }
}
