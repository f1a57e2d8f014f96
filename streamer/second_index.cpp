#include "streamer/second_index.h"

#include "streamer/stream_data.h"

namespace {

constexpr int64_t MS_PER_SECOND = 1000;
constexpr uint32_t STAMP_RANGE = CHUNK_VALUE_MASK + 1;
constexpr uint32_t STAMP_HALF = STAMP_RANGE / 2;

// The signed distance from a to b, the shorter way round the 24-bit circle.
int32_t stamp_distance(uint32_t a, uint32_t b)
{
    const uint32_t forward = (b - a) & CHUNK_VALUE_MASK;
    return forward < STAMP_HALF ? static_cast<int32_t>(forward)
                                : static_cast<int32_t>(forward) - static_cast<int32_t>(STAMP_RANGE);
}

}  // namespace

bool stamp_before(uint32_t a, uint32_t b)
{
    return stamp_distance(a & CHUNK_VALUE_MASK, b & CHUNK_VALUE_MASK) > 0;
}

uint32_t second_clock_feed(SecondClock* c, uint32_t stamp)
{
    stamp &= CHUNK_VALUE_MASK;
    if (!c->started) {
        c->started = 1;
        c->first_ms = c->now_ms = c->next_ms = stamp;
    } else {
        c->now_ms += stamp_distance(c->last_stamp, stamp);
    }
    c->last_stamp = stamp;
    uint32_t begun = 0;
    while (c->now_ms >= c->next_ms) {
        ++begun;
        c->next_ms += MS_PER_SECOND;
    }
    return begun;
}
