// The device's small pool: the calling thread and a few workers run the
// numbered tasks of one step together and the call returns when every task
// is done. Tasks are taken in order from a shared counter, so a slow task
// never holds up the others.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kinovela::soft {

class ThreadPool {
public:
    // `threads` counts the calling thread: 1 runs everything on it.
    explicit ThreadPool(int threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    int Size() const { return static_cast<int>(m_workers.size()) + 1; }
    // Runs task(i) for every i in 0..count-1. Not reentrant.
    void Run(int count, const std::function<void(int)>& task);

private:
    void WorkerLoop();
    void Drain();

    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_task = nullptr;
    int m_count = 0;
    std::atomic<int> m_next{0};
    int m_busy = 0;               // workers still inside the current step
    std::uint64_t m_generation = 0;
    bool m_stop = false;
};

}  // namespace kinovela::soft
