// Whole playbacks through engine_playback: pictures shown, audio handed to the
// SDL disk driver (checked in the file it writes), device formats, mute,
// pause, seek, closing under a waiting video thread, and damaged media.
// Counts and bounds only: the machine may be loaded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "engine_test_util.h"

namespace {

class PlaybackTest : public ::testing::Test {
protected:
    std::string disk_env(const std::string& name = "audio.raw") const
    {
        return "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + dir.file(name);
    }
    // Runs the driver; the JSON line is in .output.
    CommandResult play(const std::string& options, const std::string& media)
    {
        return run_playback(disk_env(), options, media);
    }

    ScratchDir dir;
};

int64_t count_nonzero(const std::string& bytes)
{
    int64_t n = 0;
    for (char c : bytes)
        n += c != 0;
    return n;
}

TEST_F(PlaybackTest, ClipPlaysToItsEndWithEveryPictureAndAllItsSound)
{
    std::string clip = dir.file("clip.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi "
                           "-i sine=frequency=440:sample_rate=48000 -t 3 -c:v libx264 -c:a aac " + clip));
    CommandResult r = play("", clip);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(json_number(r.output, "end_status"), 0);
    EXPECT_GE(json_number(r.output, "frames_shown"), 72);
    EXPECT_LE(json_number(r.output, "frames_shown"), 75);
    EXPECT_NEAR(json_number(r.output, "audio_seconds"), 3.0, 0.2);
    EXPECT_NEAR(json_number(r.output, "duration_ms"), 3000, 100);
    EXPECT_EQ(json_number(r.output, "device_rate"), 48000);
    EXPECT_EQ(json_number(r.output, "device_channels"), 1);
    // The tone reached the device: most of the written samples are not zero.
    std::string pcm = read_file(dir.file("audio.raw"));
    EXPECT_GT(pcm.size(), 48000u * 2 * 2);
    EXPECT_GT(count_nonzero(pcm), static_cast<int64_t>(pcm.size() / 2));
}

// 16-bit samples of channel ch (of channels) in pcm that are clearly not silence.
int64_t loud_samples(const std::string& pcm, int ch, int channels)
{
    int64_t loud = 0;
    for (size_t i = 2 * ch; i + 1 < pcm.size(); i += 2 * channels) {
        int16_t v;
        std::memcpy(&v, pcm.data() + i, 2);
        loud += v > 1000 || v < -1000;
    }
    return loud;
}

TEST_F(PlaybackTest, DeviceFormatFollowsTheStreamAndMuteWritesZeros)
{
    const struct {
        const char* name;
        const char* make;
        const char* options;
        int rate, channels;
        double seconds;
        bool silent;
    } cases[] = {
        // Six planes of the same tone, down-mixed into both device channels.
        {"surround.mp4", "-f lavfi -i sine=frequency=300:sample_rate=48000 -t 1.5 "
                         "-af \"pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0\" -c:a aac", "", 48000, 2, 1.5, false},
        {"mono.wav", "-f lavfi -i sine=frequency=500:sample_rate=22050 -t 1.5 -c:a pcm_s16le", "", 22050, 1,
         1.5, false},
        // Muted: the clock runs at the normal pace, the device gets zeros.
        {"muted.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                      "-i sine=frequency=440:sample_rate=48000 -t 2 -c:v libx264 -c:a aac", "--mute", 48000, 1,
         2.0, true},
    };
    for (const auto& c : cases) {
        std::string path = dir.file(c.name);
        ASSERT_TRUE(make_media(std::string(c.make) + " " + path));
        CommandResult r = play(c.options, path);
        ASSERT_EQ(r.exit_code, 0) << r.output;
        EXPECT_EQ(json_number(r.output, "device_rate"), c.rate) << c.name;
        EXPECT_EQ(json_number(r.output, "device_channels"), c.channels) << c.name;
        EXPECT_NEAR(json_number(r.output, "audio_seconds"), c.seconds, 0.2) << c.name;
        std::string pcm = read_file(dir.file("audio.raw"));
        for (int ch = 0; ch < c.channels; ch++) {
            if (c.silent)
                EXPECT_EQ(count_nonzero(pcm), 0) << c.name;
            else
                EXPECT_GT(loud_samples(pcm, ch, c.channels), c.rate / 2) << c.name << " channel " << ch;
        }
    }
    // Without a resampler the device gets the decoder's samples unchanged
    // (after the silence it plays before it is started).
    CommandResult r = play("", dir.file("mono.wav"));
    std::string pcm = read_file(dir.file("audio.raw"));
    size_t first = pcm.find_first_not_of('\0') & ~size_t{1};
    ASSERT_GT(pcm.size(), first + 12000);
    EXPECT_NE(read_file(dir.file("mono.wav")).find(pcm.substr(first + 4000, 8000)), std::string::npos);
}

TEST_F(PlaybackTest, PauseHoldsThePictureAndPlaysSilence)
{
    std::string clip = dir.file("clip.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                           "-i sine=frequency=440:sample_rate=48000 -t 2 -c:v libx264 -c:a aac " + clip));
    CommandResult r = play("--pause-at 0.5 --pause-for 1", clip);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_GE(json_number(r.output, "frames_shown"), 48);
    EXPECT_GE(json_number(r.output, "wall_seconds"), 2.5);
    // The device kept running: more than the media's sound went out, the
    // rest as zeros (about a second of them).
    std::string pcm = read_file(dir.file("audio.raw"));
    int64_t samples = static_cast<int64_t>(pcm.size() / 2);
    EXPECT_GT(samples, 48000 * 2.5);
    int64_t zeros = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2)
        zeros += pcm[i] == 0 && pcm[i + 1] == 0;
    EXPECT_GE(zeros, 48000 * 0.8);
    EXPECT_LE(zeros, 48000 * 2.0);
}

TEST_F(PlaybackTest, SeeksAndJumpsLandAroundTheirTargetsInBothDirections)
{
    std::string clip = dir.file("long.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                           "-i sine=frequency=440:sample_rate=48000 -t 6 -c:v libx264 -g 25 "
                           "-c:a aac " + clip));
    const struct {
        const char* options;
        double from_ms;       // where the request was made
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
        ASSERT_EQ(r.exit_code, 0) << r.output;
        double target = json_number(r.output, "seek_target_ms");
        double landed = json_number(r.output, "seek_landed_ms");
        EXPECT_NEAR(landed, target, 1000) << c.options << ": " << r.output;
        // A backward request really goes back, a forward one forward.
        EXPECT_EQ(landed < c.from_ms, target < c.from_ms) << c.options << ": " << r.output;
        double frames = json_number(r.output, "frames_shown");
        EXPECT_TRUE(frames >= c.min_frames && frames <= c.max_frames) << c.options << ": " << frames;
    }
}

TEST_F(PlaybackTest, VideoWithoutUsableSoundPlaysSilentlyWhileSongsFail)
{
    std::string clip = dir.file("clip.mp4"), song = dir.file("song.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                           "-i sine=sample_rate=48000 -t 2 -c:v libx264 -c:a aac " + clip));
    ASSERT_TRUE(make_media("-f lavfi -i sine=sample_rate=44100 -t 1 -c:a libmp3lame " + song));
    // A sound driver that does not exist: the machine has no sound at all.
    const std::string no_sound = "SDL_AUDIODRIVER=none_such";
    CommandResult r = run_playback(no_sound, "", clip);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_GE(json_number(r.output, "frames_shown"), 48);
    EXPECT_GE(json_number(r.output, "wall_seconds"), 1.5);  // clocked by the video
    EXPECT_EQ(json_number(r.output, "audio_seconds"), 0);
    r = run_playback(no_sound, "", song);
    EXPECT_EQ(json_number(r.output, "end_status"), -11) << r.output;  // ERR_MEDIA_OPEN
}

TEST_F(PlaybackTest, ClosingWhileTheVideoWaitsForAllocationReturns)
{
    std::string clip = dir.file("clip.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                           "-i sine -t 3 -c:v libx264 -c:a aac " + clip));
    CommandResult r = play("--close-on-alloc", clip);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(json_text(r.output, "closed_waiting_alloc"), "true");
    EXPECT_EQ(json_number(r.output, "frames_shown"), 0);
}

TEST_F(PlaybackTest, AudioOnlyFileEndsCleanly)
{
    std::string mp3 = dir.file("song.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 1.5 "
                           "-c:a libmp3lame " + mp3));
    CommandResult r = play("", mp3);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(json_number(r.output, "frames_shown"), 0);
    EXPECT_EQ(json_number(r.output, "device_rate"), 44100);
    EXPECT_GE(json_number(r.output, "audio_seconds"), 1.3);
}

TEST_F(PlaybackTest, DamagedFilesEndWithACleanStatus)
{
    std::string clip = dir.file("src.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi "
                           "-i sine -t 1.5 -c:v libx264 -g 10 -c:a aac " + clip));
    std::string good = read_file(clip);
    std::mt19937 rng(7);
    struct Case {
        std::string name;
        std::string bytes;
    };
    std::string scrambled = good;
    for (int i = 0; i < 200; i++)
        scrambled[good.size() / 4 + rng() % (good.size() * 3 / 4)] = static_cast<char>(rng());
    std::string garbage(20000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    for (const Case& c : {Case{"half.mp4", good.substr(0, good.size() / 2)},
                          Case{"head.mp4", good.substr(0, 200)},
                          Case{"scrambled.mp4", scrambled}, Case{"garbage.mp4", garbage},
                          Case{"empty.mp4", ""}}) {
        std::string path = dir.file(c.name);
        { std::ofstream(path, std::ios::binary) << c.bytes; }
        CommandResult r = play("", path);
        // 0 or 1 from the driver: never a signal, never the hang guard.
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << c.name << ": " << r.output;
        double status = json_number(r.output, "end_status");
        EXPECT_FALSE(std::isnan(status)) << c.name;
        EXPECT_NE(status, -2) << c.name << " hung";
    }
}

}  // namespace
