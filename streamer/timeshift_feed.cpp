#include "streamer/timeshift_feed.h"

#include "platform/result_codes.h"
#include "platform/sync.h"

namespace {

// Stores a received block: the bytes before the marker are dropped, the
// rest goes into the buffer. Under the stream lock.
int store_block(TimeShiftFeed* feed, size_t n)
{
    const uint8_t* bytes = feed->block;
    if (!marker_skip(&feed->marker, &feed->synced, &bytes, &n))
        return RESULT_OK;
    return n > 0 ? tsb_write(&feed->store, bytes, n) : RESULT_OK;
}

}  // namespace

int timeshift_feed_open(TimeShiftFeed* feed, const std::string& folder, bool live, SDL_mutex* lock,
                        StreamSource network)
{
    feed->lock = lock;
    feed->network = network;
    feed->synced = 0;
    feed->marker = MarkerScan{};
    const int r = tsb_open(&feed->store, folder, live);
    feed->active = r == RESULT_OK ? 1 : 0;
    if (r != RESULT_OK)
        tsb_close(&feed->store);
    return r;
}

long timeshift_feed_read(void* context, uint8_t* out, size_t capacity, int64_t, bool)
{
    auto* feed = static_cast<TimeShiftFeed*>(context);
    TimeShift& ts = feed->store;
    // Only this thread changes the buffer while it runs, so it may look at
    // it outside the lock; the lock is for the main thread's reads.
    long got = 0;
    if (!ts.download_complete) {
        if (tsb_has_room(ts, sizeof feed->block))
            got = feed->network.read(feed->network.context, feed->block, sizeof feed->block,
                                     ts.buffered_bytes, false);
        else if (!ts.live)
            return ERR_STORE_FULL;
        if (got < 0)
            return got;
    }
    LockGuard guard(feed->lock);
    if (got > 0) {
        if (const int r = store_block(feed, static_cast<size_t>(got)); r != RESULT_OK)
            return r;
    }
    if (capacity == 0 || !tsb_ready_to_read(ts))
        return 0;
    return tsb_read(&ts, out, capacity);
}

TimeShiftWindow timeshift_feed_window(TimeShiftFeed* feed)
{
    const TimeShift& ts = feed->store;
    return {ts.window_start_ms, ts.window_end_ms, ts.window_known, ts.download_complete};
}

bool timeshift_feed_holds(TimeShiftFeed* feed, int64_t position_ms)
{
    const TimeShift& ts = feed->store;
    uint64_t offset = 0;
    return feed->active && tsb_offset_for(ts, tsb_clamp_to_window(ts, position_ms), &offset) == 0;
}

int timeshift_feed_move(TimeShiftFeed* feed, int64_t position_ms)
{
    return feed->active ? tsb_move_to(&feed->store, position_ms) : -1;
}

void timeshift_feed_close(TimeShiftFeed* feed)
{
    tsb_close(&feed->store);
    feed->active = 0;
}
