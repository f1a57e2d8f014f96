// FlagWord: a word of flag bits that several threads read and change.
//
// Contract: every change is one atomic read-modify-write, so a bit set by one
// thread is never lost to another thread clearing a different bit. Any
// thread may call these; none of them blocks. flags_any returns whether any
// of the given bits is set; flags_clear_if returns whether it cleared.
#pragma once

#include <atomic>
#include <cstdint>

using FlagWord = std::atomic<uint32_t>;

inline void flags_set(FlagWord* word, uint32_t bits)
{
    word->fetch_or(bits, std::memory_order_acq_rel);
}
inline void flags_clear(FlagWord* word, uint32_t bits)
{
    word->fetch_and(~bits, std::memory_order_acq_rel);
}
// True when any of bits is set.
inline bool flags_any(const FlagWord* word, uint32_t bits)
{
    return (word->load(std::memory_order_acquire) & bits) != 0;
}
inline void flags_assign(FlagWord* word, uint32_t bits, bool on)
{
    if (on)
        flags_set(word, bits);
    else
        flags_clear(word, bits);
}
// When any bit of `when` is set, clears `bits` in the same atomic step (no
// other thread can set `when` between the test and the clear). True when it
// cleared.
inline bool flags_clear_if(FlagWord* word, uint32_t when, uint32_t bits)
{
    uint32_t old = word->load(std::memory_order_acquire);
    while (old & when) {
        if (word->compare_exchange_weak(old, old & ~bits, std::memory_order_acq_rel,
                                        std::memory_order_acquire))
            return true;
    }
    return false;
}
