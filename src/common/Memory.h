// Large mesh arrays are filled once, front to back, right after they are
// reserved. Asking the kernel for transparent huge pages on them turns a
// page fault every 4 KiB into one every 2 MiB, which is most of the cost of
// loading a big scene. Only an advice: without it nothing changes.
#pragma once

#include <cstddef>
#include <vector>

namespace kinovela {

void AdviseHugePages(void* data, std::size_t bytes);

template <class T> void ReserveLarge(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace kinovela
