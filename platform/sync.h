// Small threading helpers shared by every module.
// - LockGuard holds an SDL mutex for its scope (a null mutex is not locked):
//   the locks that SDL 1.2 threads share (registry, screen, player locks).
//   Engine records use std::mutex with std::lock_guard.
// - sleep_ms sleeps the calling thread.
// - ring_next advances an index of a ring of size entries.
// Any thread may use them; none of them reports failure.
#pragma once

#include <SDL/SDL_mutex.h>

class LockGuard {
public:
    explicit LockGuard(SDL_mutex* mutex) : m_(mutex)
    {
        if (m_)
            SDL_mutexP(m_);
    }
    ~LockGuard()
    {
        if (m_)
            SDL_mutexV(m_);
    }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    SDL_mutex* m_;
};

void sleep_ms(int ms);

constexpr int ring_next(int index, int size)
{
    return (index + 1) % size;
}
