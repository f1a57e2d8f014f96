// The streaming session's buffers and its receiver: the data stream (from
// the data connection, or from a file) is cut into chunks and their payloads
// go into a video ring and an audio ring, each with the time stamps of its
// units, and subtitle entries into the current subtitle text. The rings are
// fixed parts of the record (nothing is allocated per chunk); the player
// drains them (app/stream_player.h).
//
// Contract:
// - stream_session_reset runs on the main thread while no session thread
//   exists; stream_receive is the receiver thread's body.
// - Ring positions, fill counters, stamps and the subtitle text change under
//   `lock` (the player's stream lock): the receiver writes, the consumers
//   (video on the main thread, audio on the audio thread) take. Ring bytes
//   are written only by the receiver and read only by their consumer, so a
//   consumer reads them outside the lock.
// - Session state bits (preroll, playing, rebuffering) are in the shared
//   flag word; every wait here wakes within 10 ms of APP_PLAYER_BUSY going.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include <SDL/SDL_mutex.h>

#include "platform/flag_word.h"
#include "streamer/stream_data.h"

constexpr uint32_t VIDEO_RING_SIZE = 3000000;
constexpr uint32_t AUDIO_RING_SIZE = 1000000;
constexpr uint32_t UNIT_STAMP_COUNT = 2048;  // per stream; a power of two
constexpr uint32_t RECEIVE_BUFFER_SIZE = 64000;
constexpr uint32_t STREAM_SUBTITLE_SIZE = 1024;  // longer entries are cut
constexpr int RECEIVER_SLEEP_MS = 10;

struct ByteRing {
    uint8_t* data;
    uint32_t capacity;
    uint32_t read;
    uint32_t write;
    uint32_t count;     // bytes held
    uint64_t consumed;  // bytes taken since the session started
};

// The time stamps of a stream's units, in arrival order; a unit's stamp
// becomes the clock once its last byte has been consumed.
struct UnitStamps {
    uint32_t stamps[UNIT_STAMP_COUNT];
    uint64_t written;  // units announced by the receiver
    uint64_t passed;   // units whose bytes the consumer has used up
};

// Preroll and rebuffering end once this much is held (by stream quality).
struct StreamThresholds {
    uint32_t video;
    uint32_t audio;
};

// Where the receiver's bytes come from: returns the count read (0: nothing
// this time, negative: a failure that ends the session with that code).
// Asked every pass, with a capacity of 0 while the rings are full.
struct StreamSource {
    void* context;
    long (*read)(void* context, uint8_t* buffer, size_t capacity, int64_t buffered, bool ended);
};

// Sees every block of the stream after the marker, as it arrives (the
// recorder's feed). Called on the receiver thread under the stream lock.
using StreamTap = void (*)(void* context, const uint8_t* bytes, size_t n);

struct StreamSession {
    SDL_mutex* lock;  // wired at start-up: the player's stream lock
    FlagWord* flags;
    StreamTap tap;  // null = none; set while no session thread runs
    void* tap_context;
    ByteRing video;
    ByteRing audio;
    UnitStamps video_stamps;
    UnitStamps audio_stamps;
    StreamThresholds thresholds;
    uint8_t has_video;
    uint8_t has_audio;
    uint8_t synced;               // the marker was found (or not needed: re-entry)
    std::atomic<uint8_t> ended;   // the end chunk arrived
    std::atomic<int32_t> result;  // the receiver's status: 0 or a negative code
    ChunkParser parser;
    MarkerScan marker;
    uint32_t subtitle_length;  // bytes of the entry being received
    uint32_t subtitle_kept;
    uint32_t subtitle_serial;  // bumped when a new entry becomes current
    char subtitle_pending[STREAM_SUBTITLE_SIZE];
    char subtitle_text[STREAM_SUBTITLE_SIZE];
    uint8_t video_data[VIDEO_RING_SIZE];
    uint8_t audio_data[AUDIO_RING_SIZE];
    uint8_t receive[RECEIVE_BUFFER_SIZE];
};

StreamThresholds stream_thresholds(int stream_quality);
// Empties the rings and stamps and forgets the stream (main thread, no
// session threads). `resync`: the next bytes must start with the marker.
void stream_session_reset(StreamSession* s, bool has_video, bool has_audio, int stream_quality,
                          bool resync);
// The fill in percent of the threshold: video against the video threshold,
// audio-only against the audio one, the larger of the two with both. Under
// the lock.
int stream_fill_percent(const StreamSession& s);

// The receiver thread's body: reads from `source` while APP_PLAYER_BUSY is
// set and parses into the rings; ends preroll and rebuffering when enough is
// held or the stream ended. 0, ERR_STREAM_DATA for a malformed stream, or
// the source's failure (both also clear APP_PLAYER_BUSY and
// APP_REMOTE_SESSION).
int stream_receive(StreamSession* s, const StreamSource& source);
// Parses received bytes into the rings (under the lock): the marker search
// first unless synced. 0 or ERR_STREAM_DATA. The receiver's step, and what
// tests and the fuzzer feed.
int stream_take_bytes(StreamSession* s, const uint8_t* bytes, size_t n);
// How many bytes the receiver may read now so that whatever they hold fits
// the rings (under the lock).
size_t stream_read_allowance(const StreamSession& s);

// Consumers (under the lock): `n` bytes of the ring were used; the stamp of
// the newest unit that this completed, or -1 when none did.
int64_t ring_take(ByteRing* ring, UnitStamps* stamps, uint32_t unit_size, size_t n);
// The bytes readable in one piece from the read position.
size_t ring_readable(const ByteRing& ring, const uint8_t** at);

// The time of a 24-bit stamp nearest to `reference` (stamps wrap every
// 2^24 ms, about 4.7 hours).
int64_t stamp_unwrap(int64_t reference, uint32_t stamp);
