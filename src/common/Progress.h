// Progress reports of long reads and writes: bytes done out of a total. The
// callback may be empty; readers call it a bounded number of times.
#pragma once

#include <cstdint>
#include <functional>

namespace kinovela {

using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Thrown by a progress callback to stop the work it is told about (the user
// pressed Cancel). Readers and writers let it pass and leave nothing half
// done: a file being written is discarded, a scene being read is never
// committed. Whoever started the work catches it. A callback throws it only
// before the work is complete (done < total); objects that write in their
// destructors catch it there, so a Cancel that comes with the last piece
// lets the work finish.
struct WorkCancelled {};

// Calls the callback only when the done count crosses the next 1/128 of the
// total, so hot loops can report at every step for the price of a compare.
class ProgressThrottle {
public:
    ProgressThrottle(const ProgressFn& fn, std::uint64_t total) : m_fn(fn), m_total(total)
    {
        m_step = total / 128 + 1;
        m_next = m_step;
    }
    void Report(std::uint64_t done)
    {
        if (done < m_next || !m_fn) return;
        m_next = done + m_step;
        m_fn(done, m_total);
    }
    void Finish()
    {
        if (m_fn) m_fn(m_total, m_total);
    }

private:
    ProgressFn m_fn;  // a copy: callers often pass a temporary
    std::uint64_t m_total;
    std::uint64_t m_step;
    std::uint64_t m_next;
};

}  // namespace kinovela
