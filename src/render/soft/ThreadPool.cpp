#include "render/soft/ThreadPool.h"

namespace kinovela::soft {

ThreadPool::ThreadPool(int threads)
{
    for (int i = 1; i < threads; ++i) m_workers.emplace_back([this] { WorkerLoop(); });
}

ThreadPool::~ThreadPool()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_workers) t.join();
}

void ThreadPool::Drain()
{
    for (int i = m_next.fetch_add(1, std::memory_order_relaxed); i < m_count;
         i = m_next.fetch_add(1, std::memory_order_relaxed))
        (*m_task)(i);
}

void ThreadPool::Run(int count, const std::function<void(int)>& task)
{
    if (count <= 0) return;
    if (m_workers.empty() || count == 1) {
        for (int i = 0; i < count; ++i) task(i);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_task = &task;
        m_count = count;
        m_next.store(0, std::memory_order_relaxed);
        m_busy = static_cast<int>(m_workers.size());
        ++m_generation;
    }
    m_wake.notify_all();
    Drain();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_busy == 0; });
    m_task = nullptr;
}

void ThreadPool::WorkerLoop()
{
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
        }
        Drain();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_busy == 0) m_done.notify_one();
        }
    }
}

}  // namespace kinovela::soft
