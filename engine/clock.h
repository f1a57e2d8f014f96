// PlaybackClock: a presentation time (seconds) and its drift against the
// wall clock. One writer thread sets it; any thread reads it, so both values
// are atomics. Wall time is av_gettime() in seconds.
#pragma once

#include <atomic>
#include <cstdint>

extern "C" {
#include <libavutil/time.h>
}

inline double wall_time()
{
    return av_gettime() / 1000000.0;
}

struct PlaybackClock {
    std::atomic<double> pts{0.0};    // time as last set (the shown picture, the heard sample)
    std::atomic<double> drift{0.0};  // pts minus the wall time at which it was set

    void set(double new_pts, double now)
    {
        pts.store(new_pts);
        drift.store(new_pts - now);
    }
    // Running clock: wall time plus drift; the frozen pts while paused.
    double read(bool paused) const { return paused ? pts.load() : wall_time() + drift.load(); }
};
