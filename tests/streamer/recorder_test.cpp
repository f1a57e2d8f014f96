// Recording while a stream plays: a ".vlm" that begins at the chunk being
// played and opens as a recording, an ".mp3" of bare audio payloads, a
// second start doing nothing, a writer that falls a whole ring behind, a
// malformed stream and a full disk ending the recording cleanly.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/result_codes.h"
#include "streamer/recorder.h"
#include "streamer/recording_file.h"
#include "tests/full_disk.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/chunk_stream.h"

namespace {

constexpr uint32_t PAST_EVERYTHING = 0x7FFFFF;  // a play clock after every test stamp

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

RecordingRequest request(const ScratchDir& dir, bool video)
{
    RecordingRequest q{};
    q.folder = dir.path() + "/";
    q.title = "News 24/7";
    q.description.video_codec = video ? STREAM_VIDEO_H264 : STREAM_CODEC_NONE;
    q.description.audio_codec = STREAM_AUDIO_AAC;
    q.description.sample_rate = 44100;
    q.local_time.tm_mday = 5;
    q.local_time.tm_year = 126;
    return q;
}

void feed(Recorder* r, const Bytes& bytes, size_t piece = 5000)
{
    for (size_t at = 0; at < bytes.size(); at += piece)
        recorder_feed(r, bytes.data() + at, std::min(piece, bytes.size() - at));
}

TEST(Recorder, VideoRecordingBeginsAtThePlayedChunkAndOpensAsARecording)
{
    ScratchDir dir;
    Recorder r;
    std::vector<uint32_t> seconds;
    const Bytes stream = av_stream(0, 6, &seconds);
    feed(&r, stream);
    r.play_clock_ms = 2000;  // the user presses record two seconds in
    ASSERT_EQ(recording_start(&r, request(dir, true)), RESULT_OK);
    EXPECT_EQ(recording_start(&r, request(dir, false)), RECORDING_NOT_STARTED);
    const std::string path = r.path;
    EXPECT_EQ(path, dir.path() + "/News_24_7_Sun_Jan__5_00_00_00_2026.vlm");
    r.play_clock_ms = 5000;
    ASSERT_EQ(recording_finish(&r), RESULT_OK);
    EXPECT_EQ(r.open, 0);

    const Bytes file = read_file(path);
    const Bytes played(stream.begin() + seconds[2], stream.begin() + seconds[5]);
    ASSERT_EQ(file.size(), RECORDING_DATA_START + played.size() + 3 * 4);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), file.begin() + RECORDING_DATA_START));
    RecordingPlayback p;
    ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 1000, &p), RESULT_OK);
    EXPECT_FALSE(p.rebuilt);
    EXPECT_EQ(p.start_ms, 2000u);
    EXPECT_EQ(p.duration_ms, 4750u - 2000u);
    EXPECT_EQ(p.description.sample_rate, 44100u);
    EXPECT_EQ(p.seek_index,
              (std::vector<uint32_t>{0, seconds[3] - seconds[2], seconds[4] - seconds[2]}));
    EXPECT_EQ(p.start_offset, RECORDING_DATA_START + seconds[3] - seconds[2]);
}

TEST(Recorder, AudioOnlyRecordingIsExactlyTheAudioPayloads)
{
    ScratchDir dir;
    Recorder r;
    Bytes stream;
    Bytes payloads;
    for (uint32_t t = 0; t < 3000; t += 100) {
        const Bytes a = chunk(CHUNK_AUDIO, t, static_cast<uint8_t>(t / 100));
        stream.insert(stream.end(), a.begin(), a.end());
        payloads.insert(payloads.end(), a.begin() + CHUNK_HEADER_SIZE, a.end());
        if (t == 1000) {
            const Bytes s = subtitle_chunk("lyrics");
            stream.insert(stream.end(), s.begin(), s.end());
        }
    }
    feed(&r, Bytes(stream.begin(), stream.begin() + 20000), 777);
    ASSERT_EQ(recording_start(&r, request(dir, false)), RESULT_OK);  // clock 0: aligned now
    feed(&r, Bytes(stream.begin() + 20000, stream.end()), 777);
    r.play_clock_ms = PAST_EVERYTHING;
    ASSERT_EQ(recording_finish(&r), RESULT_OK);
    EXPECT_EQ(r.path.substr(r.path.size() - 4), ".mp3");
    EXPECT_EQ(read_file(r.path), payloads);
}

TEST(Recorder, AWriterAWholeRingBehindLosesChunksButNotTheFormat)
{
    ScratchDir dir;
    Recorder r;
    const Bytes stream = av_stream(0, 400);  // about 13 MB, three rings
    feed(&r, Bytes(stream.begin(), stream.begin() + 100000));
    ASSERT_EQ(recording_start(&r, request(dir, true)), RESULT_OK);
    r.play_clock_ms = 1;  // the chunks of time 0 have been played, nothing after
    {
        std::lock_guard<std::mutex> hold(r.lock);
        ASSERT_EQ(recording_write_step(&r, 1), RESULT_OK);
    }
    feed(&r, Bytes(stream.begin() + 100000, stream.end()), 64000);
    EXPECT_GT(r.ring.dropped_bytes, 0u);
    r.play_clock_ms = PAST_EVERYTHING;
    ASSERT_EQ(recording_finish(&r), RESULT_OK);
    const Bytes file = read_file(r.path);
    RecordingPlayback p;
    ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 0, &p), RESULT_OK);
    EXPECT_GT(p.data_end - p.data_start, RECORDING_RING_SIZE - 2 * RECORDING_VIDEO_CHUNK);
    EXPECT_LT(p.data_end - p.data_start, stream.size());
    EXPECT_EQ(p.duration_ms, 399750u);
}

TEST(Recorder, AMalformedChunkEndsTheRecordingAfterWhatCameBefore)
{
    ScratchDir dir;
    Recorder r;
    Bytes stream = av_stream(0, 2);
    const size_t good = stream.size();
    stream.insert(stream.end(), {0, 0, 0, 0x42, 1, 2, 3});
    feed(&r, stream);
    ASSERT_EQ(recording_start(&r, request(dir, true)), RESULT_OK);
    r.play_clock_ms = PAST_EVERYTHING;
    EXPECT_EQ(recording_finish(&r), ERR_STREAM_DATA);
    const Bytes file = read_file(r.path);
    EXPECT_EQ(file.size(), RECORDING_DATA_START + good);
    RecordingPlayback p;
    ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 0, &p), RESULT_OK);
    EXPECT_TRUE(p.rebuilt);  // ended without its index, yet it plays
    EXPECT_EQ(p.duration_ms, 1750u);
}

TEST(Recorder, AFullDiskEndsTheRecordingKeepingEveryWholeChunk)
{
    ScratchDir dir;
    constexpr rlim_t LIMIT = 200 * 1024;
    const Bytes stream = av_stream(0, 20);
    EXPECT_TRUE(fails_on_a_full_disk(
        [&] {
            Recorder r;
            feed(&r, stream);
            if (recording_start(&r, request(dir, true)) != RESULT_OK)
                return false;
            r.play_clock_ms = PAST_EVERYTHING;
            const int rc = recording_finish(&r);
            const Bytes file = read_file(r.path);
            RecordingPlayback p;
            const bool whole = recording_read_bytes(file.data(), file.size(), 0, &p) == 0 &&
                               p.rebuilt && p.data_end == file.size() &&
                               std::equal(file.begin() + RECORDING_DATA_START, file.end(),
                                          stream.begin());
            return rc == ERR_STORE_FULL && r.open == 0 && file.size() <= LIMIT &&
                   file.size() > LIMIT - RECORDING_VIDEO_CHUNK - RECORDING_AUDIO_CHUNK && whole;
        },
        LIMIT));
}

TEST(Recorder, NothingStartsWithoutATitleOrAFolder)
{
    ScratchDir dir;
    Recorder r;
    RecordingRequest q = request(dir, true);
    q.title.clear();
    EXPECT_EQ(recording_start(&r, q), RECORDING_NOT_STARTED);
    q = request(dir, true);
    q.folder = dir.file("missing/");
    EXPECT_EQ(recording_start(&r, q), ERR_GENERIC);
    EXPECT_EQ(r.open, 0);
    EXPECT_EQ(recording_finish(&r), RESULT_OK);
}

}  // namespace
