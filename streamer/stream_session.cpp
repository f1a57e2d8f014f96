#include "streamer/stream_session.h"

#include <algorithm>
#include <cstring>

#include "platform/app_flags.h"
#include "platform/result_codes.h"
#include "platform/sync.h"

namespace {

constexpr uint32_t LOW_THRESHOLD_VIDEO = 375000;
constexpr uint32_t LOW_THRESHOLD_AUDIO = 125000;
constexpr int HIGH_QUALITY = 2;
constexpr int PERCENT = 100;

void ring_reset(ByteRing* ring, uint8_t* data, uint32_t capacity)
{
    *ring = ByteRing{data, capacity, 0, 0, 0, 0};
}

uint32_t ring_space(const ByteRing& ring)
{
    return ring.capacity - ring.count;
}

// Copies n bytes in (the caller made sure they fit), wrapping at the end.
void ring_put(ByteRing* ring, const uint8_t* bytes, size_t n)
{
    while (n > 0) {
        const size_t piece = std::min<size_t>(n, ring->capacity - ring->write);
        std::memcpy(ring->data + ring->write, bytes, piece);
        ring->write = static_cast<uint32_t>((ring->write + piece) % ring->capacity);
        ring->count += static_cast<uint32_t>(piece);
        bytes += piece;
        n -= piece;
    }
}

void stamp_add(UnitStamps* stamps, uint32_t stamp)
{
    stamps->stamps[stamps->written % UNIT_STAMP_COUNT] = stamp;
    stamps->written++;
}

void subtitle_payload(StreamSession* s, const uint8_t* bytes, size_t n)
{
    const size_t room = sizeof s->subtitle_pending - 1 - s->subtitle_kept;
    const size_t keep = std::min(room, n);
    std::memcpy(s->subtitle_pending + s->subtitle_kept, bytes, keep);
    s->subtitle_kept += static_cast<uint32_t>(keep);
    s->subtitle_length -= static_cast<uint32_t>(n);
    if (s->subtitle_length == 0) {
        s->subtitle_pending[s->subtitle_kept] = '\0';
        std::memcpy(s->subtitle_text, s->subtitle_pending, s->subtitle_kept + 1);
        s->subtitle_serial++;
    }
}

void on_header(void* context, uint8_t type, uint32_t value, uint64_t)
{
    auto* s = static_cast<StreamSession*>(context);
    switch (type) {
    case CHUNK_VIDEO: stamp_add(&s->video_stamps, value); break;
    case CHUNK_AUDIO: stamp_add(&s->audio_stamps, value); break;
    case CHUNK_SUBTITLE:
        s->subtitle_length = value;
        s->subtitle_kept = 0;
        if (value == 0)
            subtitle_payload(s, nullptr, 0);
        break;
    case CHUNK_END: s->ended.store(1); break;
    default: break;
    }
}

void on_payload(void* context, uint8_t type, const uint8_t* bytes, size_t n)
{
    auto* s = static_cast<StreamSession*>(context);
    switch (type) {
    case CHUNK_VIDEO: ring_put(&s->video, bytes, n); break;
    case CHUNK_AUDIO: ring_put(&s->audio, bytes, n); break;
    case CHUNK_SUBTITLE: subtitle_payload(s, bytes, n); break;
    default: break;
    }
}

// Preroll and rebuffering end once enough is held, or at the end of the
// stream, whatever is held then.
void end_waiting(StreamSession* s)
{
    FlagWord* flags = s->flags;
    const bool ended = s->ended.load() != 0;
    if (flags_any(flags, APP_STREAM_BUFFERING)) {
        const bool enough = s->has_video ? s->video.count > s->thresholds.video
                                         : s->audio.count > s->thresholds.audio;
        if (!enough && !ended)
            return;
        flags_clear(flags, APP_STREAM_BUFFERING);
        if (!flags_any(flags, APP_PAUSED))
            flags_set(flags, APP_PLAYING);
    } else if (ended && flags_any(flags, APP_REBUFFERING)) {
        flags_clear(flags, APP_REBUFFERING);
        if (!flags_any(flags, APP_PAUSED))
            flags_set(flags, APP_PLAYING);
    }
}

void session_failed(StreamSession* s, int code)
{
    s->result.store(code);
    flags_clear(s->flags, APP_PLAYER_BUSY | APP_REMOTE_SESSION);
}

}  // namespace

StreamThresholds stream_thresholds(int stream_quality)
{
    const uint32_t scale = stream_quality >= HIGH_QUALITY ? 2 : 1;
    return {LOW_THRESHOLD_VIDEO * scale, LOW_THRESHOLD_AUDIO * scale};
}

void stream_session_reset(StreamSession* s, bool has_video, bool has_audio, int stream_quality,
                          bool resync)
{
    ring_reset(&s->video, s->video_data, VIDEO_RING_SIZE);
    ring_reset(&s->audio, s->audio_data, AUDIO_RING_SIZE);
    s->video_stamps.written = s->video_stamps.passed = 0;
    s->audio_stamps.written = s->audio_stamps.passed = 0;
    s->thresholds = stream_thresholds(stream_quality);
    s->has_video = has_video ? 1 : 0;
    s->has_audio = has_audio ? 1 : 0;
    s->synced = resync ? 0 : 1;
    s->ended.store(0);
    s->result.store(0);
    s->parser = ChunkParser{};
    s->marker = MarkerScan{};
    s->subtitle_length = s->subtitle_kept = 0;
    s->subtitle_text[0] = '\0';
}

int stream_fill_percent(const StreamSession& s)
{
    const auto percent = [](uint32_t held, uint32_t threshold) {
        return static_cast<int>(uint64_t{held} * PERCENT / (uint64_t{threshold} + 1));
    };
    const int video = percent(s.video.count, s.thresholds.video);
    const int audio = percent(s.audio.count, s.thresholds.audio);
    if (!s.has_video)
        return audio;
    return s.has_audio ? std::max(video, audio) : video;
}

size_t stream_read_allowance(const StreamSession& s)
{
    // A read of n bytes puts at most n payload bytes into either ring.
    size_t n = RECEIVE_BUFFER_SIZE;
    n = std::min<size_t>(n, ring_space(s.video));
    n = std::min<size_t>(n, ring_space(s.audio));
    return n;
}

int stream_take_bytes(StreamSession* s, const uint8_t* bytes, size_t n)
{
    if (!marker_skip(&s->marker, &s->synced, &bytes, &n))
        return RESULT_OK;
    if (s->tap && n > 0)
        s->tap(s->tap_context, bytes, n);
    const ChunkEvents events{s, on_header, on_payload};
    return chunk_parse(&s->parser, bytes, n, events) < 0 ? ERR_STREAM_DATA : RESULT_OK;
}

int stream_receive(StreamSession* s, const StreamSource& source)
{
    while (flags_any(s->flags, APP_PLAYER_BUSY)) {
        size_t allowance = 0;
        int64_t buffered = 0;
        {
            LockGuard guard(s->lock);
            allowance = stream_read_allowance(*s);
            buffered = int64_t{s->video.count} + s->audio.count;
        }
        // Asked even when the rings are full: a source with a store of its
        // own (the time-shift buffer) goes on receiving meanwhile.
        const long got = source.read(source.context, s->receive, allowance, buffered, false);
        if (got < 0) {
            session_failed(s, static_cast<int>(got));
            return static_cast<int>(got);
        }
        {
            LockGuard guard(s->lock);
            if (got > 0 && stream_take_bytes(s, s->receive, static_cast<size_t>(got)) != 0) {
                session_failed(s, ERR_STREAM_DATA);
                return ERR_STREAM_DATA;
            }
            end_waiting(s);
        }
        if (s->ended.load())
            return RESULT_OK;  // nothing follows the end chunk
        sleep_ms(RECEIVER_SLEEP_MS);
    }
    return RESULT_OK;
}

int64_t ring_take(ByteRing* ring, UnitStamps* stamps, uint32_t unit_size, size_t n)
{
    n = std::min<size_t>(n, ring->count);
    ring->read = static_cast<uint32_t>((ring->read + n) % ring->capacity);
    ring->count -= static_cast<uint32_t>(n);
    ring->consumed += n;
    int64_t stamp = -1;
    // Units whose stamp was overwritten (more than the list holds behind)
    // cannot be told: the rings are far smaller than the list covers.
    while (stamps->passed < stamps->written && (stamps->passed + 1) * unit_size <= ring->consumed) {
        stamp = stamps->stamps[stamps->passed % UNIT_STAMP_COUNT];
        stamps->passed++;
    }
    return stamp;
}

size_t ring_readable(const ByteRing& ring, const uint8_t** at)
{
    *at = ring.data + ring.read;
    return std::min<size_t>(ring.count, ring.capacity - ring.read);
}

int64_t stamp_unwrap(int64_t reference, uint32_t stamp)
{
    constexpr int64_t span = int64_t{CHUNK_VALUE_MASK} + 1;
    const int64_t base = reference - (reference % span + span) % span;
    int64_t value = base + (stamp & CHUNK_VALUE_MASK);
    if (value - reference > span / 2)
        value -= span;
    else if (reference - value > span / 2)
        value += span;
    return value;
}
