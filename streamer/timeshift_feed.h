// The session's source when the time-shift buffer is on (a live channel
// with time-shift, a streamer file with progressive download): each pass of
// the receiver takes what the data connection has into the buffer and hands
// the player what is buffered ahead of its reading position. So the
// download runs ahead of playing (as far as the network allows), a paused
// live channel goes on being received, and a move within what is held
// needs no new request: only the reading position changes.
//
// Threads: timeshift_feed_open, timeshift_feed_move and
// timeshift_feed_close run on the main thread while no receiver runs;
// timeshift_feed_read is the receiver thread's StreamSource. The buffer
// changes under the stream lock (the receiver writes, blocks are received
// outside it); the main thread reads the window under the same lock
// (timeshift_feed_window).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <SDL/SDL_mutex.h>

#include "streamer/stream_data.h"
#include "streamer/stream_session.h"
#include "streamer/timeshift.h"

struct TimeShiftFeed {
    SDL_mutex* lock = nullptr;  // the stream lock
    StreamSource network{};     // the data connection
    uint8_t active = 0;         // the buffer is in use for this session
    uint8_t synced = 0;         // the marker has been found
    MarkerScan marker{};
    TimeShift store;
    uint8_t block[TSB_BLOCK_SIZE];
};

// What can be reached: [start_ms, end_ms] on the store's millisecond count.
struct TimeShiftWindow {
    int64_t start_ms;
    int64_t end_ms;
    uint8_t known;     // a chunk has been indexed
    uint8_t complete;  // the whole stream has been received
};

// Starts an empty buffer in folder for a stream that is about to begin
// (its marker still to come): 0, or ERR_STORE_FULL when the first file
// cannot be created (the feed stays off and the session plays from the
// connection).
int timeshift_feed_open(TimeShiftFeed* feed, const std::string& folder, bool live, SDL_mutex* lock,
                        StreamSource network);
// The receiver's source: receives one block into the buffer (unless the
// stream has been received whole, or a paused live channel's buffer is
// full), then reads up to `capacity` buffered bytes for the rings. The
// count read; ERR_STORE_FULL when the buffer is full for a streamer file or
// a file cannot be written or opened; ERR_STREAM_DATA for a malformed
// stream.
long timeshift_feed_read(void* feed, uint8_t* out, size_t capacity, int64_t buffered, bool ended);
// The window, under the stream lock.
TimeShiftWindow timeshift_feed_window(TimeShiftFeed* feed);
// Whether position_ms (a live channel's first held in its window) can be
// played from the buffer; under the stream lock.
bool timeshift_feed_holds(TimeShiftFeed* feed, int64_t position_ms);
// Moves the reading position to position_ms: 0, or -1 when it is not held.
int timeshift_feed_move(TimeShiftFeed* feed, int64_t position_ms);
// Deletes the buffer's files; the feed is off until opened again.
void timeshift_feed_close(TimeShiftFeed* feed);
