// The receiver's side of a session: the data stream, read in pieces of any
// size, lands in the rings with its stamps; preroll and rebuffering end as
// they should; a malformed stream ends the session.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/app_flags.h"
#include "platform/result_codes.h"
#include "streamer/stream_session.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put_header(Bytes* b, uint8_t type, uint32_t value)
{
    b->insert(b->end(), {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), type});
}

void put_unit(Bytes* b, uint8_t type, uint32_t stamp, uint8_t fill)
{
    put_header(b, type, stamp);
    b->insert(b->end(), type == CHUNK_VIDEO ? VIDEO_UNIT_SIZE : AUDIO_UNIT_SIZE, fill);
}

void put_subtitle(Bytes* b, const std::string& text)
{
    put_header(b, CHUNK_SUBTITLE, static_cast<uint32_t>(text.size()));
    b->insert(b->end(), text.begin(), text.end());
}

// Garbage (with a false start of the marker), the marker, then two video
// units, three audio units and a subtitle, and the end.
Bytes sample_stream()
{
    Bytes b = {0x01, 0xAA, 0xBB, 0xCC, 0x00, 0xAA};
    b.insert(b.end(), std::begin(STREAM_MARKER), std::end(STREAM_MARKER));
    put_unit(&b, CHUNK_VIDEO, 40, 0x11);
    put_unit(&b, CHUNK_AUDIO, 23, 0x21);
    put_subtitle(&b, "Hello");
    put_unit(&b, CHUNK_AUDIO, 46, 0x22);
    put_unit(&b, CHUNK_VIDEO, 80, 0x12);
    put_unit(&b, CHUNK_AUDIO, 69, 0x23);
    put_header(&b, CHUNK_END, 0);
    b.insert(b.end(), {0xDE, 0xAD});  // after the end: not stream
    return b;
}

struct Session {
    std::unique_ptr<StreamSession> s = std::make_unique<StreamSession>();
    FlagWord flags{};
    Session(bool video = true, bool audio = true)
    {
        s->flags = &flags;
        stream_session_reset(s.get(), video, audio, 0, true);
    }
};

TEST(StreamSession, StreamReadInPiecesOfAnySizeFillsTheRings)
{
    const Bytes stream = sample_stream();
    for (size_t piece : {size_t{1}, size_t{3}, size_t{4}, size_t{7}, size_t{4191}, size_t{64000}}) {
        SCOPED_TRACE(piece);
        Session t;
        for (size_t at = 0; at < stream.size(); at += piece) {
            const size_t n = std::min(piece, stream.size() - at);
            ASSERT_EQ(stream_take_bytes(t.s.get(), stream.data() + at, n), RESULT_OK);
        }
        const StreamSession& s = *t.s;
        EXPECT_EQ(s.video.count, 2 * VIDEO_UNIT_SIZE);
        EXPECT_EQ(s.audio.count, 3 * AUDIO_UNIT_SIZE);
        EXPECT_EQ(s.video_data[0], 0x11);
        EXPECT_EQ(s.video_data[VIDEO_UNIT_SIZE], 0x12);
        EXPECT_EQ(s.audio_data[2 * AUDIO_UNIT_SIZE + 5], 0x23);
        EXPECT_EQ(s.video_stamps.written, 2u);
        EXPECT_EQ(s.audio_stamps.stamps[2], 69u);
        EXPECT_STREQ(s.subtitle_text, "Hello");
        EXPECT_TRUE(s.ended.load());
    }
}

TEST(StreamSession, ConsumingUnitsHandsOutTheirStampsAcrossTheRingEnd)
{
    Session t;
    StreamSession& s = *t.s;
    s.synced = 1;
    // Start near the ring's end so that the second unit wraps.
    s.video.read = s.video.write = VIDEO_RING_SIZE - 100;
    Bytes b;
    put_unit(&b, CHUNK_VIDEO, 1000, 1);
    put_unit(&b, CHUNK_VIDEO, 1040, 2);
    ASSERT_EQ(stream_take_bytes(&s, b.data(), b.size()), RESULT_OK);
    const uint8_t* at = nullptr;
    EXPECT_EQ(ring_readable(s.video, &at), 100u);
    EXPECT_EQ(ring_take(&s.video, &s.video_stamps, VIDEO_UNIT_SIZE, VIDEO_UNIT_SIZE - 1), -1);
    EXPECT_EQ(ring_take(&s.video, &s.video_stamps, VIDEO_UNIT_SIZE, 1), 1000);
    EXPECT_EQ(ring_readable(s.video, &at), VIDEO_UNIT_SIZE);
    EXPECT_EQ(*at, 2);
    EXPECT_EQ(ring_take(&s.video, &s.video_stamps, VIDEO_UNIT_SIZE, VIDEO_UNIT_SIZE), 1040);
    EXPECT_EQ(s.video.count, 0u);
}

TEST(StreamSession, MalformedOrOversizedInputIsHandledSafely)
{
    {
        Session t;
        Bytes b(std::begin(STREAM_MARKER), std::end(STREAM_MARKER));
        put_header(&b, 0x42, 0);
        EXPECT_EQ(stream_take_bytes(t.s.get(), b.data(), b.size()), ERR_STREAM_DATA);
        EXPECT_EQ(stream_take_bytes(t.s.get(), b.data(), 1), ERR_STREAM_DATA);  // stays broken
    }
    {
        // A subtitle longer than the text buffer is cut, and what follows
        // it is still parsed.
        Session t;
        t.s->synced = 1;
        Bytes b;
        put_subtitle(&b, std::string(3 * STREAM_SUBTITLE_SIZE, 'x'));
        put_unit(&b, CHUNK_AUDIO, 5, 9);
        ASSERT_EQ(stream_take_bytes(t.s.get(), b.data(), b.size()), RESULT_OK);
        EXPECT_EQ(std::string(t.s->subtitle_text).size(), STREAM_SUBTITLE_SIZE - 1);
        EXPECT_EQ(t.s->audio.count, AUDIO_UNIT_SIZE);
    }
}

// A source that plays back a byte string in pieces, then nothing.
struct MemorySource {
    Bytes bytes;
    size_t at = 0;
    FlagWord* flags;
    static long read(void* context, uint8_t* buffer, size_t capacity, int64_t, bool)
    {
        auto* m = static_cast<MemorySource*>(context);
        const size_t n = std::min(capacity, m->bytes.size() - m->at);
        std::copy_n(m->bytes.data() + m->at, n, buffer);
        m->at += n;
        if (n == 0)
            flags_clear(m->flags, APP_PLAYER_BUSY);  // played out: end the test's session
        return static_cast<long>(n);
    }
};

struct PrerollCase {
    const char* name;
    bool video;
    int audio_units;
    int video_units;
    bool end_chunk;
    bool playing;
};

TEST(StreamSession, PrerollEndsOnTheThresholdOrAtTheEndOfTheStream)
{
    const uint32_t audio_needed = stream_thresholds(0).audio / AUDIO_UNIT_SIZE + 1;
    const PrerollCase cases[] = {
        {"audio only, enough audio", false, int(audio_needed), 0, false, true},
        {"audio only, too little", false, int(audio_needed) - 2, 0, false, false},
        {"video waits for video", true, int(audio_needed), 3, false, false},
        {"end before the threshold", true, 1, 1, true, true},
    };
    for (const PrerollCase& c : cases) {
        SCOPED_TRACE(c.name);
        Session t(c.video, true);
        MemorySource m{Bytes(std::begin(STREAM_MARKER), std::end(STREAM_MARKER)), 0, &t.flags};
        for (int i = 0; i < c.audio_units; i++)
            put_unit(&m.bytes, CHUNK_AUDIO, uint32_t(i * 23), 0);
        for (int i = 0; i < c.video_units; i++)
            put_unit(&m.bytes, CHUNK_VIDEO, uint32_t(i * 40), 0);
        if (c.end_chunk)
            put_header(&m.bytes, CHUNK_END, 0);
        flags_set(&t.flags, APP_PLAYER_BUSY | APP_STREAM_BUFFERING);
        EXPECT_EQ(stream_receive(t.s.get(), StreamSource{&m, MemorySource::read}), RESULT_OK);
        EXPECT_EQ(flags_any(&t.flags, APP_PLAYING), c.playing);
        EXPECT_EQ(flags_any(&t.flags, APP_STREAM_BUFFERING), !c.playing);
    }
}

TEST(StreamSession, ABadChunkEndsTheSession)
{
    Session t;
    MemorySource m{Bytes(std::begin(STREAM_MARKER), std::end(STREAM_MARKER)), 0, &t.flags};
    put_unit(&m.bytes, CHUNK_AUDIO, 0, 0);
    put_header(&m.bytes, 0x42, 0);
    flags_set(&t.flags, APP_PLAYER_BUSY | APP_REMOTE_SESSION | APP_STREAM_BUFFERING);
    EXPECT_EQ(stream_receive(t.s.get(), StreamSource{&m, MemorySource::read}), ERR_STREAM_DATA);
    EXPECT_FALSE(flags_any(&t.flags, APP_PLAYER_BUSY | APP_REMOTE_SESSION));
    EXPECT_EQ(t.s->result.load(), ERR_STREAM_DATA);
}

TEST(StreamSession, FillAndStampTime)
{
    Session t(true, true);
    StreamSession& s = *t.s;
    s.video.count = s.thresholds.video / 2;
    s.audio.count = s.thresholds.audio;
    EXPECT_EQ(stream_fill_percent(s), 99);  // the larger of the two
    s.has_video = 0;
    EXPECT_EQ(stream_fill_percent(s), 99);
    s.has_audio = 0;
    s.has_video = 1;
    EXPECT_EQ(stream_fill_percent(s), 49);
    EXPECT_EQ(stream_thresholds(2).video, 750000u);

    const int64_t wrap = int64_t{CHUNK_VALUE_MASK} + 1;
    const struct {
        int64_t reference;
        uint32_t stamp;
        int64_t expect;
    } stamps[] = {
        {0, 40, 40},
        {wrap - 10, 5, wrap + 5},                // past the wrap
        {wrap + 5, CHUNK_VALUE_MASK, wrap - 1},  // a late stamp from before it
        {3 * wrap + 100, 200, 3 * wrap + 200},
    };
    for (const auto& c : stamps)
        EXPECT_EQ(stamp_unwrap(c.reference, c.stamp), c.expect) << c.reference;
}

}  // namespace
