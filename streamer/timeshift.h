// The time-shift buffer: the received data stream kept on disk so that the
// player can pause and move back in it. Four files "tsb00".."tsb03" in the
// recordings folder, 2^31 bytes each, make one logical buffer of 2^33
// bytes: logical offset p lies in file p / 2^31 at p mod 2^31. A live
// channel reuses the buffer from its start once 8 GiB have come (offsets go
// on growing, p mod 2^33 is where they lie), so that watching for hours
// never fills it; a streamer file fills it at most once. The files are
// sparse (written at their offsets, never filled in), created on first use
// and deleted when the session closes.
//
// While bytes are written, their chunks are walked (the shared parser of
// streamer/stream_data.h, headers split across writes included) to keep a
// per-second index of logical offsets (65,536 entries, reused from the start
// when a stream runs longer) and the window of time held: for a live channel
// only the last hour, so its start moves once an hour has been received.
//
// Times: chunk time stamps unwrapped into one millisecond count (see
// streamer/second_index.h); window_start_ms and window_end_ms and the
// positions given to tsb_move_to are on that count.
//
// Threads: the session's receiver thread owns the buffer (under the stream
// lock); the main thread may read buffered_bytes and the window under the
// same lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "streamer/second_index.h"
#include "streamer/stream_data.h"

constexpr int TSB_FILE_COUNT = 4;
constexpr uint64_t TSB_FILE_SIZE = 1ull << 31;
constexpr uint64_t TSB_CAPACITY = TSB_FILE_SIZE * TSB_FILE_COUNT;  // 8 GiB
constexpr uint32_t SEEK_INDEX_SIZE = 65536;                        // seconds, then reused
constexpr int64_t LIVE_WINDOW_MS = 3600000;  // a live channel keeps one hour reachable
constexpr size_t TSB_BLOCK_SIZE = 64000;     // the receiver's block and reading threshold
constexpr char TSB_FILE_PREFIX[] = "tsb";

// Owns its files: they are closed and deleted when it goes.
struct TimeShift {
    TimeShift() = default;
    ~TimeShift();
    TimeShift(const TimeShift&) = delete;
    TimeShift& operator=(const TimeShift&) = delete;

    std::string folder;  // ends in "/"; "data/recordings/" in the program
    bool live = false;   // a live channel: the window keeps the last hour
    int files[TSB_FILE_COUNT] = {-1, -1, -1, -1};
    uint64_t write_pos = 0;            // logical offset of the next received byte
    uint64_t read_pos = 0;             // logical offset of the next byte for the player
    int64_t buffered_bytes = 0;        // write_pos - read_pos
    uint8_t download_complete = 0;     // the end chunk has been written
    std::vector<uint64_t> seek_index;  // SEEK_INDEX_SIZE entries once open
    uint16_t seek_index_count = 0;     // entries written, wrapping
    uint64_t seconds_indexed = 0;      // entries written, not wrapping
    int64_t window_start_ms = 0;
    int64_t window_end_ms = 0;
    uint8_t window_known = 0;  // a video or audio chunk has been indexed
    SecondClock clock;
    ChunkParser parser{};  // its offset is the next chunk's logical offset
};

// The name of file n: folder + "tsb%02d".
std::string tsb_file_name(const std::string& folder, int n);
// Starts an empty buffer in folder and creates its first file: 0, or
// ERR_STORE_FULL when the file cannot be created (the session then plays
// without the buffer).
int tsb_open(TimeShift* ts, const std::string& folder, bool live);
// The descriptor of the file that holds logical offset, opening (creating)
// it when needed; -1 past the fourth file or when it cannot be created.
int tsb_file_for(TimeShift* ts, uint64_t offset);
// Whether n more bytes fit the buffer: for a streamer file 8 GiB in all,
// for a live channel 8 GiB not yet played. The receiver asks before each
// block: a streamer file that does not fit ends with ERR_STORE_FULL, a live
// channel (paused that long) receives nothing that pass.
bool tsb_has_room(const TimeShift& ts, size_t n);
// Writes a received block at write_pos (split at file boundaries) and
// indexes its chunks. 0; ERR_STORE_FULL when a file cannot be opened,
// positioned or written, or the buffer is full (what was written before
// stays readable); ERR_STREAM_DATA for a malformed chunk.
int tsb_write(TimeShift* ts, const uint8_t* bytes, size_t n);
// Walks n newly written bytes: extends the seek index and the window, and
// notes the end chunk. 0 or ERR_STREAM_DATA.
int tsb_index_chunks(TimeShift* ts, const uint8_t* bytes, size_t n);
// Whether the player should read this pass: a whole block is buffered, or
// the stream has ended and what is left must be played out.
bool tsb_ready_to_read(const TimeShift& ts);
// Reads up to max buffered bytes at read_pos for the player: the count read
// (0 when nothing is buffered or a read failed this pass), or ERR_STORE_FULL
// when the file cannot be opened.
long tsb_read(TimeShift* ts, uint8_t* out, size_t max);
// The logical offset of the chunk at which the stream second holding
// position_ms begins: 0, or -1 when that second is not indexed (not yet
// received, or its entry or its bytes have been reused).
int tsb_offset_for(const TimeShift& ts, int64_t position_ms, uint64_t* offset);
// A live channel's position_ms held within [window start, window end -
// 1 s]; a file's as it is.
int64_t tsb_clamp_to_window(const TimeShift& ts, int64_t position_ms);
// Moves the player's reading to position_ms (for a live channel first held
// within [window start, window end - 1 s]): 0, or -1 when nothing is
// indexed there (the reading position stays).
int tsb_move_to(TimeShift* ts, int64_t position_ms);
// Closes the files and deletes them.
void tsb_close(TimeShift* ts);
// Deletes time-shift files an earlier run left behind (it ended without
// closing its session): the number of files deleted.
int tsb_remove_stale(const std::string& folder);
