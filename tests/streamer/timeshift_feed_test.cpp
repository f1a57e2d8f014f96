// A session fed through the time-shift buffer: the stream after its marker
// lands in the files and, from them, in the rings; reception goes on while
// the rings are full; a move replays from the second asked for without the
// network; a full buffer or disk ends a file's session with ERR_STORE_FULL
// while a paused live channel only waits.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/app_flags.h"
#include "platform/result_codes.h"
#include "streamer/timeshift_feed.h"
#include "tests/full_disk.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/chunk_stream.h"

namespace {

// The data connection: the bytes in pieces of `piece`, then nothing.
struct Network {
    Bytes bytes;
    size_t piece = 20000;
    size_t at = 0;
    int asked = 0;
    static long read(void* context, uint8_t* out, size_t capacity, int64_t, bool)
    {
        auto* n = static_cast<Network*>(context);
        n->asked++;
        const size_t k = std::min({capacity, n->piece, n->bytes.size() - n->at});
        std::copy_n(n->bytes.data() + n->at, k, out);
        n->at += k;
        return static_cast<long>(k);
    }
};

// Garbage, the marker, `seconds` of stream and its end.
Bytes network_stream(int seconds, Bytes* after_marker)
{
    Bytes b = {0x07, 0xAA, 0xBB, 0x00};
    b.insert(b.end(), std::begin(STREAM_MARKER), std::end(STREAM_MARKER));
    *after_marker = av_stream(0, seconds);
    const Bytes end = chunk(CHUNK_END, 0);
    after_marker->insert(after_marker->end(), end.begin(), end.end());
    b.insert(b.end(), after_marker->begin(), after_marker->end());
    return b;
}

struct Fed {
    ScratchDir dir;
    Network network;
    TimeShiftFeed feed;
    std::unique_ptr<StreamSession> s = std::make_unique<StreamSession>();
    FlagWord flags{};
    explicit Fed(bool live = false)
    {
        s->flags = &flags;
        timeshift_feed_open(&feed, dir.path() + "/", live, nullptr,
                            StreamSource{&network, Network::read});
    }
    // One session run from the buffer's reading position to the end chunk.
    int play()
    {
        stream_session_reset(s.get(), true, true, 0, false);
        flags_set(&flags, APP_PLAYER_BUSY | APP_STREAM_BUFFERING);
        return stream_receive(s.get(), StreamSource{&feed, timeshift_feed_read});
    }
};

long file_size(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

TEST(TimeShiftFeed, TheStreamPassesThroughTheFilesAndAMoveReplaysFromASecond)
{
    Fed t;
    Bytes stored;
    t.network.bytes = network_stream(20, &stored);
    ASSERT_TRUE(t.feed.active);
    // With the rings full the connection is still read into the files.
    uint8_t none[1];
    EXPECT_EQ(timeshift_feed_read(&t.feed, none, 0, 0, false), 0);
    EXPECT_EQ(t.network.asked, 1);
    EXPECT_GT(t.feed.store.write_pos, 0u);

    ASSERT_EQ(t.play(), RESULT_OK);
    EXPECT_TRUE(t.s->ended.load());
    EXPECT_EQ(t.s->video.count, 40 * VIDEO_UNIT_SIZE);
    EXPECT_EQ(t.s->audio.count, 80 * AUDIO_UNIT_SIZE);
    EXPECT_EQ(file_size(t.dir.file("tsb00")), static_cast<long>(stored.size()));
    const TimeShiftWindow w = timeshift_feed_window(&t.feed);
    EXPECT_EQ(w.start_ms, 0);
    EXPECT_EQ(w.end_ms, 19750);
    EXPECT_TRUE(w.known && w.complete);

    // Back to 12.5 s: the chunks from second 12 on, the network not asked.
    const int asked = t.network.asked;
    EXPECT_TRUE(timeshift_feed_holds(&t.feed, 12500));
    EXPECT_FALSE(timeshift_feed_holds(&t.feed, 20500));
    ASSERT_EQ(timeshift_feed_move(&t.feed, 12500), 0);
    ASSERT_EQ(t.play(), RESULT_OK);
    EXPECT_EQ(t.s->video.count, 16 * VIDEO_UNIT_SIZE);
    EXPECT_EQ(t.s->video_data[0], 12);
    EXPECT_EQ(t.s->audio_stamps.stamps[0], 12000u);
    EXPECT_EQ(t.network.asked, asked);

    timeshift_feed_close(&t.feed);
    EXPECT_EQ(file_size(t.dir.file("tsb00")), -1);
    EXPECT_FALSE(timeshift_feed_holds(&t.feed, 12500));
}

TEST(TimeShiftFeed, AFullBufferEndsAFileButAPausedChannelWaits)
{
    for (bool live : {false, true}) {
        SCOPED_TRACE(live);
        Fed t(live);
        Bytes stored;
        t.network.bytes = network_stream(2, &stored);
        t.feed.store.write_pos = TSB_CAPACITY - 100;  // 8 GiB received, none played
        uint8_t out[100];
        EXPECT_EQ(timeshift_feed_read(&t.feed, out, sizeof out, 0, false),
                  live ? 0 : ERR_STORE_FULL);
        EXPECT_EQ(t.network.asked, 0);
    }
    // The disk fills while a file is received: the session ends with the
    // store's failure.
    EXPECT_TRUE(fails_on_a_full_disk([] {
        Fed t;
        Bytes stored;
        t.network.bytes = network_stream(10, &stored);
        return t.play() == ERR_STORE_FULL && t.s->result.load() == ERR_STORE_FULL &&
               !flags_any(&t.flags, APP_PLAYER_BUSY) && file_size(t.dir.file("tsb00")) == 64 * 1024;
    }));
}

TEST(TimeShiftFeed, WithoutItsFirstFileTheFeedStaysOff)
{
    TimeShiftFeed feed;
    EXPECT_EQ(timeshift_feed_open(&feed, "/nonexistent/velmora/", true, nullptr, StreamSource{}),
              ERR_STORE_FULL);
    EXPECT_FALSE(feed.active);
    EXPECT_EQ(timeshift_feed_move(&feed, 0), -1);
}

}  // namespace
