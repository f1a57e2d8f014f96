// The per-second rule shared by the time-shift buffer, the recorder and the
// recording reader: chunk time stamps (24-bit, wrapping every 2^24 ms, about
// 4.7 hours) are unwrapped into one growing millisecond count, and each
// chunk says how many seconds of the stream begin at it.
//
// The first time stamp is second 0. A chunk whose time reaches the next due
// second begins that second; when the time jumps over several seconds (a gap
// in the stream) the chunk begins all of them, so that entry i of an index
// is always the chunk at which second i begins. Chunks may step back a
// little (audio and video interleave); that never begins a second.
//
// Threads: pure; a clock belongs to whoever owns the index it feeds.
#pragma once

#include <cstdint>

struct SecondClock {
    uint8_t started = 0;
    uint32_t last_stamp = 0;  // the raw 24-bit value of the last time stamp
    int64_t now_ms = 0;       // unwrapped time of the last time stamp
    int64_t first_ms = 0;     // unwrapped time of the first (its raw value)
    int64_t next_ms = 0;      // when the next second is due
};

// Feeds the time stamp of a video or audio chunk; the number of seconds that
// begin at this chunk (0 for most chunks).
uint32_t second_clock_feed(SecondClock* clock, uint32_t stamp);

// Whether time stamp `a` lies before `b`, taking the 24-bit wrap into
// account (the nearer way round decides).
bool stamp_before(uint32_t a, uint32_t b);
