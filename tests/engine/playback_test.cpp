// Whole playbacks through engine_playback: pictures shown, audio handed to the
// SDL disk driver (checked in the file it writes), device formats, mute,
// pause, seeks, no sound device, closing under a waiting video thread, and
// damaged media. Counts and bounds only: the machine may be loaded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "engine_test_util.h"
#include "platform/result_codes.h"

namespace {

class PlaybackTest : public ::testing::Test {
protected:
    // Runs the driver with the disk audio driver writing dir/raw.
    CommandResult play(const std::string& options, const std::string& media,
                       const std::string& raw = "audio.raw")
    {
        return run_playback("SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + dir.file(raw), options,
                            media);
    }
    // The usual clip, seconds long, made once per name.
    std::string av_clip(const std::string& name, double seconds, const std::string& extra = "")
    {
        std::string path = dir.file(name);
        std::ifstream exists(path);
        EXPECT_TRUE(exists || make_clip(path, AV_SOURCES,
                                        "-t " + std::to_string(seconds) + " " + H264_AAC + extra));
        return path;
    }
    ScratchDir dir;
};

// 16-bit samples of channel ch (of channels): {clearly loud, exactly zero}.
std::pair<int64_t, int64_t> loud_and_zero(const std::string& pcm, int ch, int channels)
{
    int64_t loud = 0, zero = 0;
    for (size_t i = 2 * ch; i + 1 < pcm.size(); i += 2 * channels) {
        int16_t v;
        std::memcpy(&v, pcm.data() + i, 2);
        loud += v > 1000 || v < -1000;
        zero += v == 0;
    }
    return {loud, zero};
}

TEST_F(PlaybackTest, SoundAndPicturesReachTheDeviceInItsFormat)
{
    enum Sound { LOUD, ZEROS, PAUSED };  // PAUSED: about a second of zeros among the tone
    const struct {
        const char* name;
        const char* source;  // empty: the usual clip, 3 s
        const char* output;
        const char* options;
        int min_frames, max_frames, rate, channels;
        double seconds;
        Sound sound;
    } cases[] = {
        // To the end with every picture and all the sound.
        {"clip.mp4", "", "", "", 72, 75, 48000, 1, 3.0, LOUD},
        // Six planes of the same tone, down-mixed into both device channels.
        {"surround.mp4", "sine=f=300:r=48000",
         "-t 1.5 -af 'pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0' -c:a aac", "", 0, 0, 48000, 2,
         1.5, LOUD},
        {"mono.wav", "sine=f=500:r=22050", "-t 1.5 -c:a pcm_s16le", "", 0, 0, 22050, 1, 1.5, LOUD},
        // Muted: the clock runs at the normal pace, the device gets zeros.
        {"muted.mp4", "", "", "--mute", 72, 75, 48000, 1, 3.0, ZEROS},
        // Paused for a second: the picture is held and the device plays silence.
        {"paused.mp4", "", "", "--pause-at 0.5 --pause-for 1", 72, 75, 48000, 1, 4.0, PAUSED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string media = c.source[0] ? dir.file(c.name) : av_clip("clip.mp4", 3);
        if (c.source[0]) {
            ASSERT_TRUE(make_clip(media, {c.source}, c.output));
        }
        std::string raw = std::string(c.name) + ".raw";
        CommandResult r = play(c.options, media, raw);
        ASSERT_EQ(r.exit_code, 0) << r.output;
        EXPECT_EQ(json_number(r.output, "end_status"), 0);
        double frames = json_number(r.output, "frames_shown");
        EXPECT_TRUE(frames >= c.min_frames && frames <= c.max_frames) << frames;
        EXPECT_EQ(json_number(r.output, "device_rate"), c.rate);
        EXPECT_EQ(json_number(r.output, "device_channels"), c.channels);
        EXPECT_NEAR(json_number(r.output, "audio_seconds"), c.seconds, 0.2);
        std::string pcm = read_file(dir.file(raw));
        // The device ran the whole time (and on through a pause).
        EXPECT_GT(pcm.size() / 2 / c.channels, c.rate * c.seconds * 0.9);
        for (int ch = 0; ch < c.channels; ch++) {
            auto [loud, zero] = loud_and_zero(pcm, ch, c.channels);
            if (c.sound == ZEROS) {
                EXPECT_EQ(zero, static_cast<int64_t>(pcm.size() / 2)) << "only zeros";
            } else {
                EXPECT_GT(loud, c.rate * c.seconds / 2) << "channel " << ch;
            }
            if (c.sound == PAUSED) {
                EXPECT_TRUE(zero >= c.rate * 0.8 && zero <= c.rate * 2.0) << zero;
            }
        }
    }
    // Without a resampler the device gets the decoder's samples unchanged
    // (after the silence it plays before it is started).
    std::string pcm = read_file(dir.file("mono.wav.raw"));
    size_t first = pcm.find_first_not_of('\0') & ~size_t{1};
    ASSERT_GT(pcm.size(), first + 12000);
    EXPECT_NE(read_file(dir.file("mono.wav")).find(pcm.substr(first + 4000, 8000)),
              std::string::npos);
}

TEST_F(PlaybackTest, SeeksAndJumpsLandAroundTheirTargetsInBothDirections)
{
    std::string clip = av_clip("long.mp4", 6, " -g 25");
    const struct {
        const char* options;
        double from_ms;  // where the request was made
        int min_frames, max_frames;
    } cases[] = {
        // The skipped stretch is not shown: about 0.5 s before and 2 s after.
        {"--seek-at 0.5 --seek-to 4", 500, 50, 100},
        {"--seek-at 3 --seek-to 1", 3000, 150, 1000},
        {"--jump-at 0.5 --jump-by 2", 500, 0, 1000},
        {"--jump-at 3.2 --jump-by -2", 3200, 0, 1000},
    };
    for (const auto& c : cases) {
        CommandResult r = play(c.options, clip);
        SCOPED_TRACE(std::string(c.options) + ": " + r.output);
        ASSERT_EQ(r.exit_code, 0);
        double target = json_number(r.output, "seek_target_ms"),
               landed = json_number(r.output, "seek_landed_ms");
        EXPECT_NEAR(landed, target, 1000);
        // A backward request really goes back, a forward one forward.
        EXPECT_EQ(landed < c.from_ms, target < c.from_ms);
        double frames = json_number(r.output, "frames_shown");
        EXPECT_TRUE(frames >= c.min_frames && frames <= c.max_frames) << frames;
    }
}

TEST_F(PlaybackTest, VideoWithoutUsableSoundPlaysSilentlyWhileSongsFail)
{
    std::string clip = av_clip("clip.mp4", 2), song = dir.file("song.mp3");
    ASSERT_TRUE(make_clip(song, {"sine=r=44100"}, "-t 1 -c:a libmp3lame"));
    // A sound driver that does not exist: the machine has no sound at all.
    CommandResult r = run_playback("SDL_AUDIODRIVER=none_such", "", clip);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_GE(json_number(r.output, "frames_shown"), 48);
    EXPECT_GE(json_number(r.output, "wall_seconds"), 1.5);  // clocked by the video
    EXPECT_EQ(json_number(r.output, "audio_seconds"), 0);
    r = run_playback("SDL_AUDIODRIVER=none_such", "", song);
    EXPECT_EQ(json_number(r.output, "end_status"), ERR_MEDIA_OPEN) << r.output;
}

TEST_F(PlaybackTest, ClosingWhileTheVideoWaitsForAllocationReturns)
{
    CommandResult r = play("--close-on-alloc", av_clip("clip.mp4", 3));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(json_number(r.output, "closed_waiting_alloc"), 1);
    EXPECT_EQ(json_number(r.output, "frames_shown"), 0);
}

TEST_F(PlaybackTest, DamagedFilesEndWithACleanStatus)
{
    const std::string good = read_file(av_clip("src.mp4", 1.5, " -g 10"));
    ASSERT_GT(good.size(), 1000u);
    std::mt19937 rng(7);
    auto scrambled = [&](size_t from, int bytes) {
        std::string s = good;
        for (int i = 0; i < bytes; i++)
            s[from + rng() % (good.size() - from)] = static_cast<char>(rng());
        return s;
    };
    std::string garbage(20000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {{"half", good.substr(0, good.size() / 2)},
                 {"head", good.substr(0, 200)},
                 {"cut", good.substr(0, rng() % good.size())},
                 {"body scrambled", scrambled(good.size() / 4, 200)},
                 {"anywhere scrambled", scrambled(0, 20)},
                 {"garbage", garbage},
                 {"empty", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file(std::string(c.name) + ".mp4");
        {
            std::ofstream(path, std::ios::binary) << c.bytes;
        }
        CommandResult r = play("", path);
        // 0 or 1 from the driver: never a signal, never the hang guard (-2).
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.output;
        double status = json_number(r.output, "end_status");
        EXPECT_TRUE(!std::isnan(status) && status != -2) << r.output;
    }
}

}  // namespace
