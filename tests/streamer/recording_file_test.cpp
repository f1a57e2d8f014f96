// Recording files: the name rule, every header version opening at the
// right second, cut-short recordings rebuilt by walking their chunks, and
// damaged files refused.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/data_paths.h"
#include "platform/result_codes.h"
#include "streamer/recording_file.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/chunk_stream.h"

namespace {

constexpr uint32_t FIRST_MS = 5000;
constexpr int SECONDS = 6;
constexpr uint32_t SAMPLE_RATE = 48000;
constexpr uint32_t VERSION_HEADER_SIZE[] = {24, 24, 36, 40};

std::tm saturday_5_december_2026()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 5;
    t.tm_wday = 6;
    t.tm_hour = 11;
    t.tm_min = 49;
    t.tm_sec = 3;
    return t;
}

StreamDescription description()
{
    StreamDescription d{};
    d.video_codec = STREAM_VIDEO_H264;
    d.frame_rate = 25;
    d.audio_codec = STREAM_AUDIO_AAC;
    d.sample_rate = SAMPLE_RATE;
    d.audio_bitrate = 128000;
    return d;
}

// A recording laid out by hand from the byte table of its version: the
// description bytes it stores, the last time stamp, the index fields, the
// chunks and the index.
Bytes vlm_by_hand(uint8_t version, const Bytes& chunks, const std::vector<uint32_t>& index,
                  uint32_t last_ms)
{
    StreamDescription d = description();
    auto* desc = reinterpret_cast<uint8_t*>(&d);
    desc[0] = version;
    const uint32_t skipped = version <= 1 ? 4 : 0;
    if (version <= 1)
        desc[4] = version;  // byte 0 of these files is description byte 4
    d.duration_ms = last_ms;
    const uint32_t header = VERSION_HEADER_SIZE[version];
    Bytes out(desc + skipped, desc + skipped + header);
    out.resize(header + 8);
    const auto index_offset = static_cast<uint32_t>(out.size() + chunks.size());
    put_le32(&out, header, index_offset);
    put_le32(&out, header + 4, static_cast<uint32_t>(index.size()));
    out.insert(out.end(), chunks.begin(), chunks.end());
    for (uint32_t e : index) {
        out.resize(out.size() + 4);
        put_le32(&out, out.size() - 4, e);
    }
    return out;
}

uint32_t last_stamp(int seconds)
{
    return FIRST_MS + static_cast<uint32_t>((seconds - 1) * 1000 + 750);
}

TEST(RecordingName, ChannelNameAndLocalTimeBecomeTheFileName)
{
    EXPECT_EQ(recording_file_name(RECORDINGS_FOLDER, "News 24/7", saturday_5_december_2026(), true),
              "data/recordings/News_24_7_Sat_Dec__5_11_49_03_2026.vlm");
}

TEST(RecordingName, AudioOnlyLineBreaksAndLongTitles)
{
    const std::tm t = saturday_5_december_2026();
    EXPECT_EQ(recording_file_name("r/", "Radio", t, false), "r/Radio_Sat_Dec__5_11_49_03_2026.mp3");
    // A line break in a title must not cut the time off the name.
    EXPECT_EQ(recording_file_name("r/", "A\nB\r", t, true), "r/A_B__Sat_Dec__5_11_49_03_2026.vlm");
    const std::string name = recording_file_name("r/", std::string(2000, 'x').c_str(), t, true);
    EXPECT_EQ(name.size(), 2u + 255u);
    EXPECT_EQ(name.substr(name.size() - 29), "_Sat_Dec__5_11_49_03_2026.vlm");
}

TEST(RecordingRead, EveryVersionOpensAtTheResumeSecond)
{
    std::vector<uint32_t> index;
    const Bytes chunks = av_stream(FIRST_MS, SECONDS, &index);
    struct Case {
        int64_t resume_ms;
        int second;  // -1: the first chunk
    };
    const Case cases[] = {{0, -1}, {-5, -1}, {2500, 2}, {5999, 5}, {6000, 5}, {999999, 5}};
    for (uint8_t version = 0; version <= RECORDING_VERSION_MAX; ++version) {
        const Bytes file = vlm_by_hand(version, chunks, index, last_stamp(SECONDS));
        const uint32_t data_start = VERSION_HEADER_SIZE[version] + 8;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "version " << int(version) << " resume " << c.resume_ms);
            RecordingPlayback p;
            ASSERT_EQ(recording_read_bytes(file.data(), file.size(), c.resume_ms, &p), RESULT_OK);
            EXPECT_EQ(p.version, version);
            EXPECT_EQ(p.data_start, data_start);
            EXPECT_EQ(p.data_end, data_start + chunks.size());
            EXPECT_EQ(p.description.sample_rate, SAMPLE_RATE);
            EXPECT_EQ(p.description.video_codec, STREAM_VIDEO_H264);
            EXPECT_EQ(p.description.unused0[0], version);
            EXPECT_EQ(p.start_ms, FIRST_MS);
            EXPECT_EQ(p.duration_ms, last_stamp(SECONDS) - FIRST_MS);
            EXPECT_EQ(p.description.duration_ms, p.duration_ms);
            EXPECT_FALSE(p.rebuilt);
            const uint64_t expected = data_start + (c.second < 0 ? 0 : index[c.second]);
            EXPECT_EQ(p.start_offset, expected);
        }
    }
}

TEST(RecordingRead, TheWritersFilesReadAsTheCurrentVersion)
{
    ScratchDir dir;
    const std::string path = dir.file("w.vlm");
    std::vector<uint32_t> index;
    const Bytes chunks = av_stream(FIRST_MS, SECONDS, &index);
    {
        FileHandle f(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
        StreamDescription d = description();
        d.duration_ms = 123456;  // the streamer's duration is replaced by the last time stamp
        ASSERT_EQ(recording_header_write(f.fd, recording_header_make(d)), RESULT_OK);
        ASSERT_EQ(pwrite(f.fd, chunks.data(), chunks.size(), RECORDING_DATA_START),
                  static_cast<ssize_t>(chunks.size()));
        ASSERT_EQ(recording_file_complete(f.fd, RECORDING_DATA_START + chunks.size(), index,
                                          last_stamp(SECONDS)),
                  RESULT_OK);
    }
    RecordingPlayback p;
    std::unique_ptr<FileHandle> file;
    ASSERT_EQ(recording_open_for_play(path.c_str(), 3000, &p, &file), RESULT_OK);
    EXPECT_EQ(p.version, RECORDING_VERSION_CURRENT);
    EXPECT_EQ(p.seek_index, index);
    EXPECT_EQ(p.duration_ms, last_stamp(SECONDS) - FIRST_MS);
    EXPECT_EQ(lseek(file->fd, 0, SEEK_CUR), static_cast<off_t>(RECORDING_DATA_START + index[3]));
    EXPECT_EQ(recording_file_complete(-1, 0, index, 0), ERR_STORE_FULL);
}

// A recording cut short keeps zero index fields and may end inside a chunk.
Bytes cut_short(const Bytes& chunks, size_t tail_bytes)
{
    Bytes file = vlm_by_hand(3, chunks, {}, 0);
    file.resize(RECORDING_DATA_START + chunks.size());
    put_le32(&file, 40, 0);
    file.insert(file.end(), tail_bytes, 0x11);
    return file;
}

TEST(RecordingRead, ACutShortRecordingPlaysFromTheStartWithItsIndexRebuilt)
{
    std::vector<uint32_t> index;
    const Bytes chunks = av_stream(FIRST_MS, SECONDS, &index);  // > 64 KiB: walked in blocks
    const Bytes partial_video = chunk(CHUNK_VIDEO, last_stamp(SECONDS) + 250);
    Bytes with_partial = chunks;
    with_partial.insert(with_partial.end(), partial_video.begin(), partial_video.begin() + 3000);
    Bytes overrunning = chunks;  // a subtitle chunk that claims more than the file holds
    const Bytes sub = chunk(CHUNK_SUBTITLE, 1000000);
    overrunning.insert(overrunning.end(), sub.begin(), sub.begin() + 100);
    for (const Bytes& body : {chunks, with_partial, overrunning}) {
        const Bytes file = cut_short(body, 0);
        RecordingPlayback p;
        ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 0, &p), RESULT_OK);
        EXPECT_TRUE(p.rebuilt);
        EXPECT_EQ(p.start_offset, RECORDING_DATA_START);
        EXPECT_EQ(p.data_end, RECORDING_DATA_START + chunks.size());
        EXPECT_EQ(p.start_ms, FIRST_MS);
        EXPECT_EQ(p.duration_ms, last_stamp(SECONDS) - FIRST_MS);
        EXPECT_EQ(p.seek_index, index);
        EXPECT_FALSE(p.seek_disabled);
        ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 4200, &p), RESULT_OK);
        EXPECT_EQ(p.start_offset, RECORDING_DATA_START + index[4]);
    }
}

TEST(RecordingRead, AGapInTheStreamStillIndexesEverySecond)
{
    Bytes chunks = chunk(CHUNK_AUDIO, 0);
    const Bytes late = chunk(CHUNK_AUDIO, 3500);
    chunks.insert(chunks.end(), late.begin(), late.end());
    const Bytes file = cut_short(chunks, 0);
    RecordingPlayback p;
    ASSERT_EQ(recording_read_bytes(file.data(), file.size(), 0, &p), RESULT_OK);
    const uint32_t second_chunk = RECORDING_AUDIO_CHUNK;
    EXPECT_EQ(p.seek_index, (std::vector<uint32_t>{0, second_chunk, second_chunk, second_chunk}));
}

TEST(RecordingRead, DamagedFilesAreRefused)
{
    std::vector<uint32_t> index;
    const Bytes chunks = av_stream(FIRST_MS, 2, &index);
    const Bytes good = vlm_by_hand(3, chunks, index, last_stamp(2));
    const size_t index_at = RECORDING_DATA_START + chunks.size();
    struct Case {
        const char* what;
        Bytes file;
    };
    auto with = [&](size_t at, uint32_t v) {
        Bytes b = good;
        put_le32(&b, at, v);
        return b;
    };
    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
    Bytes empty_finished = cut(RECORDING_DATA_START);
    put_le32(&empty_finished, 40, RECORDING_DATA_START);
    put_le32(&empty_finished, 44, 0);
    Bytes version4 = good;
    version4[0] = 4;
    const Case cases[] = {
        {"empty", {}},
        {"three bytes", cut(3)},
        {"header cut short", cut(30)},
        {"index fields cut short", cut(46)},
        {"no chunks", empty_finished},
        {"version 4", version4},
        {"index offset past the end", with(40, static_cast<uint32_t>(good.size() + 1))},
        {"index offset inside the header", with(40, 20)},
        {"index count beyond the file", with(44, 1000)},
        {"index count huge", with(44, 0xFFFFFFFF)},
        {"index lost at the end", cut(good.size() - 2)},
        {"entry past the chunks", with(index_at + 4, static_cast<uint32_t>(chunks.size()))},
        {"entries out of order", with(index_at, index[1] + 4)},
        {"entry inside a payload", with(index_at + 4, index[1] + 100)},
        {"index offset moved into the chunks", with(40, static_cast<uint32_t>(index_at - 10))},
        {"first chunk of no known type", with(RECORDING_DATA_START, 0x42000000)},
        {"cut short with no whole chunk",
         cut_short(Bytes(chunks.begin(), chunks.begin() + 5000), 0)},
        {"cut short with garbage", cut_short(Bytes(9000, 0x33), 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPlayback p;
        EXPECT_EQ(recording_read_bytes(c.file.data(), c.file.size(), 1500, &p), ERR_MEDIA_OPEN);
    }
}

TEST(RecordingRead, MissingFileIsAnOpenFailureAndDurationZeroCannotBeMovedIn)
{
    RecordingPlayback p;
    std::unique_ptr<FileHandle> file;
    EXPECT_EQ(recording_open_for_play("/nonexistent/x.vlm", 0, &p, &file), ERR_GENERIC);
    const Bytes one = chunk(CHUNK_VIDEO, FIRST_MS);
    const Bytes file_bytes = vlm_by_hand(3, one, {0}, FIRST_MS);
    ASSERT_EQ(recording_read_bytes(file_bytes.data(), file_bytes.size(), 0, &p), RESULT_OK);
    EXPECT_EQ(p.duration_ms, 0u);
    EXPECT_TRUE(p.seek_disabled);
}

}  // namespace
