// The time-shift buffer: four sparse files as one buffer, the per-second
// index built while chunks arrive in any pieces, its wrap, the one-hour
// window of live channels, moving in it, and the files gone at close.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>

#include "platform/result_codes.h"
#include "streamer/timeshift.h"
#include "tests/full_disk.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/chunk_stream.h"

namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Feeds bytes to the index in pieces of the given sizes, in turn.
void index_in_pieces(TimeShift* ts, const Bytes& bytes, const std::vector<size_t>& sizes)
{
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t n = std::min(sizes[i % sizes.size()], bytes.size() - at);
        ASSERT_EQ(tsb_index_chunks(ts, bytes.data() + at, n), RESULT_OK);
        at += n;
    }
}

std::vector<uint64_t> indexed(const TimeShift& ts)
{
    return std::vector<uint64_t>(ts.seek_index.begin(),
                                 ts.seek_index.begin() + static_cast<long>(ts.seconds_indexed));
}

TEST(TimeShift, OffsetsMapToFourFilesOfTwoGigabytes)
{
    ScratchDir dir;
    TimeShift ts;
    ASSERT_EQ(tsb_open(&ts, dir.path() + "/", false), RESULT_OK);
    struct Case {
        uint64_t offset;
        int file;  // -1: beyond the buffer
    };
    const Case cases[] = {{0, 0},
                          {TSB_FILE_SIZE - 1, 0},
                          {TSB_FILE_SIZE, 1},
                          {3 * TSB_FILE_SIZE + 5, 3},
                          {TSB_CAPACITY - 1, 3},
                          {TSB_CAPACITY, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        const int fd = tsb_file_for(&ts, c.offset);
        if (c.file < 0) {
            EXPECT_EQ(fd, -1);
            continue;
        }
        EXPECT_EQ(fd, ts.files[c.file]);
        EXPECT_TRUE(exists(dir.file("tsb0" + std::to_string(c.file))));
    }
}

TEST(TimeShift, WritesAcrossAFileBoundaryReadBackWithoutFillingTheDisk)
{
    ScratchDir dir;
    TimeShift ts;
    ASSERT_EQ(tsb_open(&ts, dir.path() + "/", false), RESULT_OK);
    struct statvfs before {};
    ASSERT_EQ(statvfs(dir.path().c_str(), &before), 0);
    // Start just before the first boundary, as if 2 GiB had been received.
    const uint64_t start = TSB_FILE_SIZE - 10000;
    ts.write_pos = ts.read_pos = ts.parser.offset = start;
    const Bytes stream = av_stream(0, 1);
    ASSERT_EQ(tsb_write(&ts, stream.data(), stream.size()), RESULT_OK);
    EXPECT_EQ(ts.write_pos, start + stream.size());
    EXPECT_EQ(ts.buffered_bytes, static_cast<int64_t>(stream.size()));
    EXPECT_EQ(indexed(ts), std::vector<uint64_t>{start});

    EXPECT_FALSE(tsb_ready_to_read(ts));  // less than a block, and the stream goes on
    const Bytes end = chunk(CHUNK_END, 0);
    ASSERT_EQ(tsb_write(&ts, end.data(), end.size()), RESULT_OK);
    EXPECT_TRUE(tsb_ready_to_read(ts));
    Bytes back(stream.size() + 100);
    ASSERT_EQ(tsb_read(&ts, back.data(), back.size()), static_cast<long>(stream.size() + 4));
    back.resize(stream.size());
    EXPECT_EQ(back, stream);
    EXPECT_EQ(ts.buffered_bytes, 0);
    EXPECT_FALSE(tsb_ready_to_read(ts));

    struct stat first {};
    struct stat second {};
    ASSERT_EQ(stat(dir.file("tsb00").c_str(), &first), 0);
    ASSERT_EQ(stat(dir.file("tsb01").c_str(), &second), 0);
    EXPECT_EQ(static_cast<uint64_t>(first.st_size), TSB_FILE_SIZE);
    EXPECT_EQ(static_cast<uint64_t>(second.st_size), stream.size() + 4 - 10000);
    EXPECT_LT(first.st_blocks * 512, 1 << 20);  // sparse: only the written end takes room
    struct statvfs after {};
    ASSERT_EQ(statvfs(dir.path().c_str(), &after), 0);
    const double used = (double(before.f_bavail) - double(after.f_bavail)) * double(after.f_frsize);
    EXPECT_LT(used, 64.0 * 1024 * 1024);
}

TEST(TimeShift, IndexIsTheSameWhateverPiecesTheChunksArriveIn)
{
    std::vector<uint32_t> seconds;
    const Bytes stream = av_stream(100, 5, &seconds);
    const Bytes sub = subtitle_chunk("hello");
    Bytes with_subtitle = sub;  // a subtitle first moves every offset along
    with_subtitle.insert(with_subtitle.end(), stream.begin(), stream.end());
    const Bytes end = chunk(CHUNK_END, 0);
    with_subtitle.insert(with_subtitle.end(), end.begin(), end.end());
    std::vector<uint64_t> expected;
    for (uint32_t s : seconds)
        expected.push_back(s + sub.size());
    const std::vector<std::vector<size_t>> piecings = {{TSB_BLOCK_SIZE}, {1},          {3, 5},
                                                       {2, 4095, 7},     {8387, 8389}, {4194}};
    for (const auto& sizes : piecings) {
        SCOPED_TRACE(sizes.front());
        TimeShift ts;
        ts.seek_index.assign(SEEK_INDEX_SIZE, 0);
        index_in_pieces(&ts, with_subtitle, sizes);
        EXPECT_EQ(indexed(ts), expected);
        EXPECT_EQ(ts.window_start_ms, 100);
        EXPECT_EQ(ts.window_end_ms, 100 + 4750);
        EXPECT_TRUE(ts.download_complete);
    }
    TimeShift bad;
    const Bytes junk = {0, 0, 0, 0x42};
    EXPECT_EQ(tsb_index_chunks(&bad, junk.data(), junk.size()), ERR_STREAM_DATA);
}

// One audio chunk a second for `seconds` seconds, time stamps wrapping at 2^24 ms.
void feed_seconds(TimeShift* ts, uint32_t first_ms, int seconds)
{
    Bytes one = chunk(CHUNK_AUDIO, 0);
    for (int s = 0; s < seconds; ++s) {
        put_le32(&one, 0,
                 ((first_ms + s * 1000u) & CHUNK_VALUE_MASK) | uint32_t{CHUNK_AUDIO} << 24);
        ASSERT_EQ(tsb_index_chunks(ts, one.data(), one.size()), RESULT_OK);
    }
}

TEST(TimeShift, SeekIndexWrapsPast65536Seconds)
{
    constexpr int SECONDS = 70000;  // the 24-bit time stamps wrap four times on the way
    TimeShift ts;
    ts.seek_index.assign(SEEK_INDEX_SIZE, 0);
    feed_seconds(&ts, 1000, SECONDS);
    EXPECT_EQ(ts.seconds_indexed, uint64_t{SECONDS});
    EXPECT_EQ(ts.seek_index_count, SECONDS - SEEK_INDEX_SIZE);
    EXPECT_EQ(ts.window_end_ms, 1000 + int64_t{SECONDS - 1} * 1000);
    struct Case {
        int64_t second;
        bool held;
    };
    const Case cases[] = {{0, false},
                          {SECONDS - SEEK_INDEX_SIZE - 1, false},
                          {SECONDS - SEEK_INDEX_SIZE, true},
                          {20000, true},
                          {SECONDS - 1, true},
                          {SECONDS, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        uint64_t offset = 0;
        const int rc = tsb_offset_for(ts, 1000 + c.second * 1000 + 999, &offset);
        EXPECT_EQ(rc == 0, c.held);
        const uint64_t expected = c.held ? c.second * (CHUNK_HEADER_SIZE + AUDIO_UNIT_SIZE) : 0;
        EXPECT_EQ(offset, expected);
    }
}

TEST(TimeShift, LiveWindowKeepsTheLastHourAndMovesAreHeldInIt)
{
    constexpr int SECONDS = 4000;
    const uint64_t chunk_size = CHUNK_HEADER_SIZE + AUDIO_UNIT_SIZE;
    for (bool live : {false, true}) {
        SCOPED_TRACE(live);
        TimeShift ts;
        ts.live = live;
        ts.seek_index.assign(SEEK_INDEX_SIZE, 0);
        feed_seconds(&ts, 0, 3600);
        EXPECT_EQ(ts.window_start_ms, 0);  // exactly an hour: nothing moves yet
        feed_seconds(&ts, 3600000, SECONDS - 3600);
        ts.write_pos = SECONDS * chunk_size;
        const int64_t end = (SECONDS - 1) * 1000;
        EXPECT_EQ(ts.window_end_ms, end);
        EXPECT_EQ(ts.window_start_ms, live ? end - LIVE_WINDOW_MS : 0);
        // Too far back: a live channel goes to its window's start.
        ASSERT_EQ(tsb_move_to(&ts, 10000), 0);
        const uint64_t second = live ? (end - LIVE_WINDOW_MS) / 1000 : 10;
        EXPECT_EQ(ts.read_pos, second * chunk_size);
        EXPECT_EQ(ts.buffered_bytes, static_cast<int64_t>(ts.write_pos - ts.read_pos));
        // Past the end: the last whole second.
        ASSERT_EQ(tsb_move_to(&ts, end + 60000), live ? 0 : -1);
        if (live) {
            EXPECT_EQ(ts.read_pos, (SECONDS - 2) * chunk_size);
        }
    }
}

TEST(TimeShift, LiveChannelReusesTheBufferFromItsStart)
{
    ScratchDir dir;
    TimeShift ts;
    ASSERT_EQ(tsb_open(&ts, dir.path() + "/", true), RESULT_OK);
    // Eight GiB have come and gone: the next block wraps into the first file.
    const uint64_t start = TSB_CAPACITY - 10000;
    ts.write_pos = ts.read_pos = ts.parser.offset = start;
    const Bytes stream = av_stream(0, 1);
    ASSERT_EQ(tsb_write(&ts, stream.data(), stream.size()), RESULT_OK);
    Bytes back(stream.size());
    ASSERT_EQ(tsb_read(&ts, back.data(), back.size()), static_cast<long>(stream.size()));
    EXPECT_EQ(back, stream);
    struct stat first {};
    ASSERT_EQ(stat(dir.file("tsb00").c_str(), &first), 0);
    EXPECT_EQ(static_cast<uint64_t>(first.st_size), stream.size() - 10000);
    // Its first second now lies where the buffer was written over.
    uint64_t offset = 0;
    ts.write_pos = start + TSB_CAPACITY + 1;
    EXPECT_EQ(tsb_offset_for(ts, 0, &offset), -1);
    // What has not been played is never written over: a paused channel waits.
    ts.read_pos = ts.write_pos - TSB_CAPACITY + 10;
    EXPECT_FALSE(tsb_has_room(ts, 11));
    EXPECT_TRUE(tsb_has_room(ts, 10));
}

TEST(TimeShift, CloseDeletesTheFilesAndStaleOnesAreRemoved)
{
    ScratchDir dir;
    const std::string folder = dir.path() + "/";
    {
        TimeShift ts;
        ASSERT_EQ(tsb_open(&ts, folder, true), RESULT_OK);
        ASSERT_GE(tsb_file_for(&ts, TSB_FILE_SIZE * 2), 0);
        EXPECT_TRUE(exists(folder + "tsb00") && exists(folder + "tsb02"));
        tsb_close(&ts);
        EXPECT_FALSE(exists(folder + "tsb00") || exists(folder + "tsb02"));
        EXPECT_EQ(ts.files[0], -1);
        ASSERT_EQ(tsb_open(&ts, folder, true), RESULT_OK);
    }  // an owner that goes deletes its files too
    EXPECT_FALSE(exists(folder + "tsb00"));
    for (const char* name : {"tsb01", "tsb03"})
        close(open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_EQ(tsb_remove_stale(folder), 2);
    EXPECT_FALSE(exists(folder + "tsb01") || exists(folder + "tsb03"));
}

TEST(TimeShift, FullBufferOrDiskIsStoreFull)
{
    ScratchDir dir;
    TimeShift ts;
    EXPECT_EQ(tsb_open(&ts, dir.file("missing") + "/", false), ERR_STORE_FULL);
    ASSERT_EQ(tsb_open(&ts, dir.path() + "/", false), RESULT_OK);
    const Bytes stream = av_stream(0, 2);
    ts.write_pos = TSB_CAPACITY - 100;
    EXPECT_FALSE(tsb_has_room(ts, stream.size()));
    EXPECT_EQ(tsb_write(&ts, stream.data(), stream.size()), ERR_STORE_FULL);
    EXPECT_EQ(ts.write_pos, TSB_CAPACITY - 100);

    // The disk fills part-way through a block: what reached it stays readable.
    const std::string folder = dir.path() + "/full/";
    mkdir(folder.c_str(), 0755);
    EXPECT_TRUE(fails_on_a_full_disk(
        [&] {
            TimeShift small;
            if (tsb_open(&small, folder, false) != RESULT_OK)
                return false;
            int rc = RESULT_OK;
            for (int i = 0; i < 10 && rc == RESULT_OK; ++i)
                rc = tsb_write(&small, stream.data(), stream.size());
            Bytes back(small.write_pos);
            return rc == ERR_STORE_FULL && small.write_pos == 64 * 1024 &&
                   tsb_read(&small, back.data(), back.size()) == 64 * 1024 &&
                   std::equal(back.begin(), back.end(), stream.begin());
        },
        64 * 1024));
}

}  // namespace
