// Numbers that are not finite (NaN or infinity: a damaged .kvl or .mqo can
// hold them, and a large scale can overflow a finite one) never reach an
// exported file. The writers' number output (TextFile, RecordWriter, the
// glTF buffer) writes 0 in their place and counts it on the current thread;
// RunExport reports the count once, naming what holds such numbers.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace kinovela {

class CKinovela;

// Counts the numbers replaced on this thread while it lives (nested counts
// each see their own).
class NonFiniteCount {
public:
    NonFiniteCount();
    ~NonFiniteCount();
    NonFiniteCount(const NonFiniteCount&) = delete;
    NonFiniteCount& operator=(const NonFiniteCount&) = delete;

    std::uint64_t Count() const { return m_count; }

    // Called by the number output for each number replaced.
    static void Add();

private:
    std::uint64_t m_count = 0;
    NonFiniteCount* m_outer;
};

// `v`, or 0 (counted) when it is not finite.
template <class T> T FiniteOrZero(T v)
{
    if (std::isfinite(v)) return v;
    NonFiniteCount::Add();
    return T(0);
}

// The one warning of an export that replaced `count` numbers: the models,
// materials and camera whose stored numbers (frames 0..last) are not
// finite, or, when none are, the scale that overflowed.
std::string NonFiniteWarning(const CKinovela& scene, int last, std::uint64_t count);

}  // namespace kinovela
