#include "streamer/timeshift.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/result_codes.h"

namespace {

constexpr int64_t MS_PER_SECOND = 1000;
constexpr mode_t FILE_MODE = 0644;

// A piece of a logical range that lies in one file.
struct Piece {
    int fd;
    off_t at;  // position in that file
    size_t n;  // bytes up to the end of the range or of the file
};

// Where a logical offset lies in the files: a live channel's buffer is
// reused from its start (only its last hour is ever reached), a streamer
// file's is not.
uint64_t place_of(const TimeShift& ts, uint64_t offset)
{
    return ts.live ? offset % TSB_CAPACITY : offset;
}

int piece_for(TimeShift* ts, uint64_t offset, size_t want, Piece* out)
{
    out->fd = tsb_file_for(ts, offset);
    if (out->fd < 0)
        return ERR_STORE_FULL;
    const uint64_t in_file = place_of(*ts, offset) % TSB_FILE_SIZE;
    out->at = static_cast<off_t>(in_file);
    out->n = static_cast<size_t>(std::min<uint64_t>(want, TSB_FILE_SIZE - in_file));
    return RESULT_OK;
}

// The bytes that reached the file (all n unless a write failed).
size_t pwrite_all(int fd, const uint8_t* bytes, size_t n, off_t at)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t put = pwrite(fd, bytes + done, n - done, at + static_cast<off_t>(done));
        if (put <= 0)
            break;
        done += static_cast<size_t>(put);
    }
    return done;
}

// A video or audio chunk: the window follows it and seconds may begin.
void index_timed_chunk(TimeShift* ts, uint32_t stamp, uint64_t offset)
{
    const uint32_t begun = second_clock_feed(&ts->clock, stamp);
    for (uint32_t i = 0; i < begun; ++i) {
        ts->seek_index[ts->seek_index_count] = offset;
        ++ts->seek_index_count;  // wraps at SEEK_INDEX_SIZE
        ++ts->seconds_indexed;
    }
    ts->window_end_ms = ts->clock.now_ms;
    if (!ts->window_known) {
        ts->window_known = 1;
        ts->window_start_ms = ts->clock.now_ms;
    }
    if (ts->live && ts->window_end_ms - ts->window_start_ms > LIVE_WINDOW_MS)
        ts->window_start_ms = ts->window_end_ms - LIVE_WINDOW_MS;
}

void on_header(void* context, uint8_t type, uint32_t value, uint64_t offset)
{
    auto* ts = static_cast<TimeShift*>(context);
    if (type == CHUNK_VIDEO || type == CHUNK_AUDIO)
        index_timed_chunk(ts, value, offset);
    else if (type == CHUNK_END)
        ts->download_complete = 1;
}

void on_payload(void*, uint8_t, const uint8_t*, size_t) {}

}  // namespace

std::string tsb_file_name(const std::string& folder, int n)
{
    char name[16];
    std::snprintf(name, sizeof name, "%s%02d", TSB_FILE_PREFIX, n);
    return folder + name;
}

TimeShift::~TimeShift()
{
    tsb_close(this);
}

int tsb_open(TimeShift* ts, const std::string& folder, bool live)
{
    tsb_close(ts);
    ts->folder = folder;
    ts->live = live;
    ts->write_pos = ts->read_pos = 0;
    ts->buffered_bytes = 0;
    ts->download_complete = 0;
    ts->seek_index.assign(SEEK_INDEX_SIZE, 0);
    ts->seek_index_count = 0;
    ts->seconds_indexed = 0;
    ts->window_start_ms = ts->window_end_ms = 0;
    ts->window_known = 0;
    ts->clock = SecondClock{};
    ts->parser = ChunkParser{};
    return tsb_file_for(ts, 0) < 0 ? ERR_STORE_FULL : RESULT_OK;
}

int tsb_file_for(TimeShift* ts, uint64_t offset)
{
    const uint64_t n = place_of(*ts, offset) / TSB_FILE_SIZE;
    if (n >= TSB_FILE_COUNT)
        return -1;
    int& fd = ts->files[n];
    if (fd < 0)
        fd = open(tsb_file_name(ts->folder, static_cast<int>(n)).c_str(),
                  O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, FILE_MODE);
    return fd;
}

bool tsb_has_room(const TimeShift& ts, size_t n)
{
    // A live channel may overwrite what has been played, never what waits.
    const uint64_t held = ts.live ? ts.write_pos - std::min(ts.read_pos, ts.write_pos)
                                  : ts.write_pos;
    return held + n <= TSB_CAPACITY;
}

int tsb_write(TimeShift* ts, const uint8_t* bytes, size_t n)
{
    if (!tsb_has_room(*ts, n))
        return ERR_STORE_FULL;
    size_t done = 0;
    while (done < n) {
        Piece p;
        if (piece_for(ts, ts->write_pos, n - done, &p) != RESULT_OK)
            break;
        const size_t put = pwrite_all(p.fd, bytes + done, p.n, p.at);
        done += put;
        ts->write_pos += put;
        ts->buffered_bytes += static_cast<int64_t>(put);
        if (put < p.n)
            break;
    }
    // Index what reached the disk, so that every indexed second is readable.
    const int indexed = tsb_index_chunks(ts, bytes, done);
    if (done < n)
        return ERR_STORE_FULL;
    return indexed;
}

int tsb_index_chunks(TimeShift* ts, const uint8_t* bytes, size_t n)
{
    if (ts->seek_index.size() != SEEK_INDEX_SIZE)
        ts->seek_index.assign(SEEK_INDEX_SIZE, 0);
    const ChunkEvents events{ts, on_header, on_payload};
    return chunk_parse(&ts->parser, bytes, n, events) < 0 ? ERR_STREAM_DATA : RESULT_OK;
}

bool tsb_ready_to_read(const TimeShift& ts)
{
    return ts.buffered_bytes > 0 &&
           (ts.buffered_bytes >= static_cast<int64_t>(TSB_BLOCK_SIZE) || ts.download_complete);
}

long tsb_read(TimeShift* ts, uint8_t* out, size_t max)
{
    const auto want = static_cast<size_t>(
        std::min<uint64_t>(max, ts->write_pos > ts->read_pos ? ts->write_pos - ts->read_pos : 0));
    size_t done = 0;
    while (done < want) {
        Piece p;
        if (piece_for(ts, ts->read_pos, want - done, &p) != RESULT_OK)
            return ERR_STORE_FULL;
        const ssize_t got = pread(p.fd, out + done, p.n, p.at);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
        ts->read_pos += static_cast<uint64_t>(got);
        ts->buffered_bytes -= got;
    }
    return static_cast<long>(done);
}

int tsb_offset_for(const TimeShift& ts, int64_t position_ms, uint64_t* offset)
{
    if (!ts.clock.started || position_ms < ts.clock.first_ms ||
        ts.seek_index.size() != SEEK_INDEX_SIZE)
        return -1;
    const auto second = static_cast<uint64_t>((position_ms - ts.clock.first_ms) / MS_PER_SECOND);
    const uint64_t oldest = ts.seconds_indexed > SEEK_INDEX_SIZE
                                ? ts.seconds_indexed - SEEK_INDEX_SIZE
                                : 0;
    if (second >= ts.seconds_indexed || second < oldest)
        return -1;
    const uint64_t at = ts.seek_index[second % SEEK_INDEX_SIZE];
    if (ts.write_pos > TSB_CAPACITY && at < ts.write_pos - TSB_CAPACITY)
        return -1;  // a live channel's buffer has been written over there since
    *offset = at;
    return 0;
}

int64_t tsb_clamp_to_window(const TimeShift& ts, int64_t position_ms)
{
    if (!ts.live)
        return position_ms;
    return std::max(ts.window_start_ms, std::min(position_ms, ts.window_end_ms - MS_PER_SECOND));
}

int tsb_move_to(TimeShift* ts, int64_t position_ms)
{
    uint64_t offset = 0;
    if (tsb_offset_for(*ts, tsb_clamp_to_window(*ts, position_ms), &offset) != 0)
        return -1;
    ts->read_pos = offset;
    ts->buffered_bytes = static_cast<int64_t>(ts->write_pos - offset);
    return 0;
}

void tsb_close(TimeShift* ts)
{
    for (int n = 0; n < TSB_FILE_COUNT; ++n) {
        if (ts->files[n] < 0)
            continue;
        close(ts->files[n]);
        ts->files[n] = -1;
        unlink(tsb_file_name(ts->folder, n).c_str());
    }
}

int tsb_remove_stale(const std::string& folder)
{
    int removed = 0;
    for (int n = 0; n < TSB_FILE_COUNT; ++n)
        if (unlink(tsb_file_name(folder, n).c_str()) == 0)
            ++removed;
    return removed;
}
