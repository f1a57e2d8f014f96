#include "streamer/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/file_io.h"
#include "platform/result_codes.h"
#include "streamer/recording_file.h"

namespace {

constexpr mode_t FILE_MODE = 0644;
// A ".vlm" keeps its chunks and index below 4 GiB: both are found through
// 32-bit offsets. The margin leaves room for the index of a long recording.
constexpr uint64_t VLM_SIZE_LIMIT = std::numeric_limits<uint32_t>::max() - (64u << 20);

struct ChunkAt {
    uint64_t offset;
    uint8_t type;
    uint32_t value;
    uint64_t size;  // header and payload
};

uint8_t ring_byte(const RecordingRing& ring, uint64_t offset)
{
    return ring.bytes[offset % RECORDING_RING_SIZE];
}

ChunkAt chunk_at(const RecordingRing& ring, uint64_t offset)
{
    ChunkAt c{offset, ring_byte(ring, offset + 3), 0, CHUNK_HEADER_SIZE};
    for (int i = 2; i >= 0; --i)
        c.value = c.value << 8 | ring_byte(ring, offset + i);
    // Only headers the parser accepted are listed, so the size is known.
    c.size += static_cast<uint64_t>(chunk_payload_size(c.type, c.value));
    return c;
}

void on_header(void* context, uint8_t, uint32_t, uint64_t offset)
{
    static_cast<RecordingRing*>(context)->chunk_starts.push_back(offset);
}

void on_payload(void*, uint8_t, const uint8_t*, size_t) {}

void ring_copy_in(RecordingRing* ring, const uint8_t* bytes, size_t n)
{
    while (n > 0) {
        const size_t at = ring->tail % RECORDING_RING_SIZE;
        const size_t piece = std::min(n, RECORDING_RING_SIZE - at);
        std::copy_n(bytes, piece, ring->bytes.begin() + static_cast<long>(at));
        bytes += piece;
        n -= piece;
        ring->tail += piece;
    }
}

// The oldest bytes go when the writer has fallen a whole ring behind.
void ring_drop_oldest(RecordingRing* ring)
{
    if (ring->tail - ring->head <= RECORDING_RING_SIZE)
        return;
    const uint64_t keep_from = ring->tail - RECORDING_RING_SIZE;
    ring->dropped_bytes += keep_from - ring->head;
    ring->head = keep_from;
    while (!ring->chunk_starts.empty() && ring->chunk_starts.front() < keep_from)
        ring->chunk_starts.pop_front();
}

// Writes ring bytes [offset, offset + n) to fd (in two pieces when they wrap).
bool ring_write(int fd, const RecordingRing& ring, uint64_t offset, uint64_t n)
{
    while (n > 0) {
        const size_t at = offset % RECORDING_RING_SIZE;
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(n, RECORDING_RING_SIZE - at));
        if (!file_write_exact(fd, ring.bytes.data() + at, piece))
            return false;
        offset += piece;
        n -= piece;
    }
    return true;
}

// Ends the recording after a fault: the file is cut back to its last whole
// chunk and closed; what was written stays.
int recording_abandon(Recorder* r, int fault)
{
    const uint64_t whole = r->kind == RECORDING_VLM ? RECORDING_DATA_START + r->data_offset
                                                    : r->data_offset;
    (void)!ftruncate(r->file, static_cast<off_t>(whole));
    close(r->file);
    r->file = -1;
    r->open = 0;
    r->result = fault;
    r->wake.notify_all();
    return fault;
}

// Skips the chunks before the one being played. True once aligned.
bool recording_align_to(Recorder* r, uint32_t play_clock)
{
    RecordingRing& ring = r->ring;
    while (!ring.chunk_starts.empty()) {
        const ChunkAt c = chunk_at(ring, ring.chunk_starts.front());
        const bool timed = c.type == CHUNK_VIDEO || c.type == CHUNK_AUDIO;
        if (timed && !stamp_before(c.value, play_clock)) {
            r->align = 0;
            return true;
        }
        ring.chunk_starts.pop_front();
    }
    return false;
}

// What a chunk puts in the file: its bytes' offset and count (count 0: none).
void chunk_output(const Recorder& r, const ChunkAt& c, uint64_t* from, uint64_t* n)
{
    *from = c.offset;
    *n = c.size;
    if (r.kind == RECORDING_MP3) {
        *from = c.offset + CHUNK_HEADER_SIZE;
        *n = c.type == CHUNK_AUDIO ? AUDIO_UNIT_SIZE : 0;
    } else if (c.type == CHUNK_END) {
        *n = 0;
    }
}

void note_timed_chunk(Recorder* r, const ChunkAt& c)
{
    const uint32_t begun = second_clock_feed(&r->clock, c.value);
    r->index.insert(r->index.end(), begun, r->data_offset);
    r->last_ms = r->clock.now_ms;
}

// Writes one whole chunk that is due. 0, or the fault that ended the recording.
int recording_write_chunk(Recorder* r, const ChunkAt& c)
{
    uint64_t from = 0;
    uint64_t n = 0;
    chunk_output(*r, c, &from, &n);
    if (n > 0 && r->kind == RECORDING_VLM &&
        RECORDING_DATA_START + r->data_offset + n > VLM_SIZE_LIMIT) {
        r->full = 1;
        r->result = ERR_STORE_FULL;
        return RESULT_OK;
    }
    if (n > 0 && !ring_write(r->file, r->ring, from, n))
        return recording_abandon(r, ERR_STORE_FULL);
    if (r->kind == RECORDING_VLM && (c.type == CHUNK_VIDEO || c.type == CHUNK_AUDIO))
        note_timed_chunk(r, c);
    r->data_offset += static_cast<uint32_t>(n);
    return RESULT_OK;
}

// Aligns when needed, then writes the whole chunks played before play_clock.
int write_due_chunks(Recorder* r, uint32_t play_clock);

}  // namespace

Recorder::Recorder()
{
    recorder_reset(this);
}

Recorder::~Recorder()
{
    recording_finish(this);
}

void recorder_reset(Recorder* r)
{
    std::lock_guard<std::mutex> hold(r->lock);
    RecordingRing& ring = r->ring;
    ring.bytes.assign(RECORDING_RING_SIZE, 0);
    ring.head = ring.tail = 0;
    ring.chunk_starts.clear();
    ring.parser = ChunkParser{};
    ring.broken = 0;
    ring.broken_at = 0;
    ring.dropped_bytes = 0;
}

void recorder_feed(Recorder* r, const uint8_t* bytes, size_t n)
{
    std::lock_guard<std::mutex> hold(r->lock);
    RecordingRing& ring = r->ring;
    if (ring.broken)
        return;
    const ChunkEvents events{&ring, on_header, on_payload};
    if (chunk_parse(&ring.parser, bytes, n, events) < 0) {
        ring.broken = 1;
        ring.broken_at = ring.parser.chunk_start;
    }
    ring_copy_in(&ring, bytes, n);
    ring_drop_oldest(&ring);
}

int recording_start(Recorder* r, const RecordingRequest& request)
{
    if (r->open || request.title.empty())
        return RECORDING_NOT_STARTED;
    // A recording that ended by itself left its thread to be joined.
    r->thread = std::jthread();
    std::lock_guard<std::mutex> hold(r->lock);
    const bool video = request.description.video_codec != STREAM_CODEC_NONE;
    r->path = recording_file_name(request.folder.c_str(), request.title.c_str(), request.local_time,
                                  video);
    r->file = open(r->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, FILE_MODE);
    if (r->file < 0)
        return ERR_GENERIC;
    r->kind = video ? RECORDING_VLM : RECORDING_MP3;
    if (video && recording_header_write(r->file, recording_header_make(request.description)) != 0) {
        close(r->file);
        r->file = -1;
        unlink(r->path.c_str());
        return ERR_STORE_FULL;
    }
    r->align = 1;
    r->full = 0;
    r->index.clear();
    r->clock = SecondClock{};
    r->data_offset = 0;
    r->last_ms = 0;
    r->result = RESULT_OK;
    r->open = 1;
    // Aligned now, where the data allows, so the recording begins at the
    // picture shown when the control was pressed.
    recording_align_to(r, r->play_clock_ms.load());
    r->thread = std::jthread([r](std::stop_token stop) { recording_thread(r, stop); });
    return RESULT_OK;
}

int recording_write_step(Recorder* r, uint32_t play_clock)
{
    if (!r->open || r->file < 0)
        return r->result;
    return write_due_chunks(r, play_clock);
}

namespace {

int write_due_chunks(Recorder* r, uint32_t play_clock)
{
    RecordingRing& ring = r->ring;
    if (r->align && !recording_align_to(r, play_clock))
        return RESULT_OK;
    while (!ring.chunk_starts.empty() && !r->full) {
        const ChunkAt c = chunk_at(ring, ring.chunk_starts.front());
        if (c.offset + c.size > ring.tail)
            break;  // not all of it has arrived
        const bool timed = c.type == CHUNK_VIDEO || c.type == CHUNK_AUDIO;
        if (timed && !stamp_before(c.value, play_clock))
            break;  // not played yet
        const int rc = recording_write_chunk(r, c);
        if (rc != RESULT_OK)
            return rc;
        ring.chunk_starts.pop_front();
        ring.head = std::max(ring.head, c.offset + c.size);
    }
    if (ring.broken && ring.chunk_starts.empty() && ring.head >= ring.broken_at)
        return recording_abandon(r, ERR_STREAM_DATA);
    return RESULT_OK;
}

}  // namespace

void recording_thread(Recorder* r, std::stop_token stop)
{
    std::unique_lock<std::mutex> hold(r->lock);
    while (r->open && !stop.stop_requested()) {
        recording_write_step(r, r->play_clock_ms.load());
        r->wake.wait_for(hold, stop, std::chrono::milliseconds(RECORDING_STEP_MS),
                         [r] { return !r->open; });
    }
}

int recording_finish(Recorder* r)
{
    {
        std::lock_guard<std::mutex> hold(r->lock);
        r->open = 0;
    }
    r->wake.notify_all();
    r->thread = std::jthread();  // asks it to stop and joins it, the lock free
    std::lock_guard<std::mutex> hold(r->lock);
    if (r->file < 0)
        return r->result;
    // The chunks played since the thread's last step belong in the file too.
    if (r->result == RESULT_OK)
        write_due_chunks(r, r->play_clock_ms.load());
    if (r->file < 0)
        return r->result;
    int rc = r->result;
    if (r->kind == RECORDING_VLM) {
        const int done = recording_file_complete(r->file, RECORDING_DATA_START + r->data_offset,
                                                 r->index, r->last_ms);
        rc = rc != RESULT_OK ? rc : done;
    }
    if (close(r->file) != 0 && rc == RESULT_OK)
        rc = ERR_STORE_FULL;
    r->file = -1;
    r->result = rc;
    return rc;
}
