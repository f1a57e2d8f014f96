// The local player in the whole program under Xvfb: URLs sent to the
// play-request port, served over HTTP with byte ranges, played with the
// control bar over the picture (hide and show, pause, jump back, full
// screen, stop), an audio item's screen with its tags, the end of the media,
// a missing URL, and closing the window while an item plays.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/player_bar.h"
#include "app/prefs.h"
#include "bar_layout.h"
#include "program_fixture.h"

namespace {

using namespace harness;

constexpr int MEDIA_SECONDS = 8;
constexpr double PLAYBACK_TIMEOUT_S = 60;  // media plays in real time even under the sanitizers

// Test media, made once: a video with sound (the test pattern shows its own
// time top left; a key frame every second, as streams have), an audio-only item with tags, and a still picture.
bool make_media(const std::string& dir)
{
    const std::string seconds = std::to_string(MEDIA_SECONDS);
    const std::string ffmpeg = "ffmpeg -v error -y -f lavfi -i ";
    run(ffmpeg + "testsrc2=size=640x360:rate=25:duration=" + seconds +
        " -f lavfi -i sine=frequency=440:duration=" + seconds +
        " -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac -shortest"
        " -movflags +faststart " +
        dir + "/clip.mp4");
    run(ffmpeg +
        "sine=frequency=330:duration=4 -c:a aac -metadata artist='Nora Vale'"
        " -metadata album='Quiet Rooms' -metadata genre=Ambient"
        " -movflags +faststart " +
        dir + "/song.m4a");
    run(ffmpeg + "testsrc2=size=640x360 -frames:v 1 " + dir + "/still.png");
    struct stat st;
    for (const char* name : {"/clip.mp4", "/song.m4a", "/still.png"})
        if (::stat((dir + name).c_str(), &st) != 0)
            return false;
    return true;
}

// Sends a play request to the port once `player` listens on it (the port is
// the machine's: another player holding it would take the request instead).
bool request_play(const Player& player, const std::string& url)
{
    const std::string owner = "pid=" + std::to_string(player.pid()) + ",";
    if (!eventually(
            [&] { return run("ss -ltnp 'sport = :6100'").find(owner) != std::string::npos; })) {
        ADD_FAILURE() << "port 6100 is not the player's: " << run("ss -ltnp 'sport = :6100'");
        return false;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, htons(6100), {htonl(INADDR_LOOPBACK)}, {}};
    const bool sent = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
                      send(fd, url.data(), url.size(), MSG_NOSIGNAL) == ssize_t(url.size());
    close(fd);
    return sent;
}

// Seconds of an "HH:MM:SS" read by OCR; -1 when there is none.
int clock_seconds(const std::string& text)
{
    int h = 0, m = 0, s = 0;
    return std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) == 3 ? h * 3600 + m * 60 + s : -1;
}

class LocalPlayer : public ProgramTest {
protected:
    static void SetUpTestSuite()
    {
        media_ = std::make_unique<MediaFolder>();
        if (make_media(media_->path()))
            server_ = std::make_unique<MediaServer>(media_->path());
    }
    static void TearDownTestSuite()
    {
        server_.reset();
        media_.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(server_ && server_->ok()) << "no test media or no media server";
        ProgramTest::SetUp();
        browse_settings(media_->path());
        ASSERT_NO_FATAL_FAILURE(start());
        home_ = shot("home.png");
        bar_ = bar_layout(folder_, WINDOW_W, WINDOW_H);
        ASSERT_GT(bar_[CONTROL_BAR].h, 0) << "artwork sizes not read";
    }

    void press(int id)
    {
        const PlayerControl& c = bar_[id];
        display_.click(id_, c.x + c.w / 2, c.y + c.h / 2);
    }
    void tap_picture() { display_.click(id_, WINDOW_W / 2, bar_[CONTROL_BAR].y / 2); }
    int bar_top() const { return bar_[CONTROL_BAR].y; }
    // Whether the picture above the bar moves (two screenshots apart differ).
    bool picture_moves()
    {
        const std::string a = shot("a.png");
        return eventually(
            [&] { return differing(a, shot("b.png"), 0, 0, WINDOW_W, bar_top()) > 1000; }, 3);
    }
    // The position the bar shows in seconds, -1 when it cannot be read.
    int shown_seconds(const std::string& png)
    {
        const PlayerControl& track = bar_[CONTROL_TRACK];
        return clock_seconds(read_text(png, 0, track.y - 8, TRACK_X - KNOB_LEFT_REACH, 32));
    }
    // The time the test pattern shows in the top left of the picture, in
    // seconds; -1 when it cannot be read.
    int picture_seconds(const std::string& png)
    {
        return clock_seconds(read_text(png, 0, 0, 170, 35));
    }
    // Whether the audio-only screen comes to show the song's tags.
    bool shows_tags()
    {
        std::string text;
        const bool all = eventually([&] {
            text = read_text(shot("audio.png"), 0, 0, WINDOW_W, bar_top());
            for (const char* tag : {"Artist: Nora Vale", "Album: Quiet Rooms", "Genre: Ambient"})
                if (text.find(tag) == std::string::npos)
                    return false;
            return true;
        });
        if (!all)
            ADD_FAILURE() << "tags not read in:\n" << text;
        return all;
    }
    // A URL sent to the player plays from the local media list, which shows
    // again (at the local path: the media folder) once it ends.
    bool list_again()
    {
        return eventually(
            [&] {
                return read_text(shot("list.png"), 0, 120, 420, 360).find("clip.mp4") !=
                       std::string::npos;
            },
            PLAYBACK_TIMEOUT_S);
    }

    static inline std::unique_ptr<MediaFolder> media_;
    static inline std::unique_ptr<MediaServer> server_;
    std::string home_;
    std::array<PlayerControl, PLAYER_CONTROL_COUNT> bar_{};
};

TEST_F(LocalPlayer, PlaysAUrlWithTheBarThatHidesShowsPausesJumpsBackAndStops)
{
    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    ASSERT_TRUE(eventually([&] { return picture_moves(); })) << log();

    // Paused, the screen stands still.
    press(CONTROL_PLAY);
    const std::string paused = folder_.file("paused.png");
    ASSERT_TRUE(eventually([&] {
        shot("paused.png");
        return ::sleep(1) == 0 &&
               differing(paused, shot("later.png"), 0, 0, WINDOW_W, WINDOW_H) == 0;
    })) << "the paused screen keeps changing";

    // A tap on the picture hides the bar and shows the picture under it; a
    // second tap brings the screen back exactly as it was.
    tap_picture();
    EXPECT_TRUE(eventually([&] {
        return differing(paused, shot("hidden.png"), 0, bar_top(), WINDOW_W, WINDOW_H - bar_top()) >
               WINDOW_W * 20;
    })) << "the bar did not go";
    EXPECT_EQ(differing(paused, folder_.file("hidden.png"), 0, 0, WINDOW_W, bar_top()), 0)
        << "the picture changed while paused";
    tap_picture();
    EXPECT_TRUE(eventually([&] {
        return differing(paused, shot("shown.png"), 0, 0, WINDOW_W, WINDOW_H) == 0;
    })) << "the bar did not come back as it was";

    // Playing again from about four seconds, jump back returns to the start.
    press(CONTROL_PLAY);
    EXPECT_TRUE(picture_moves()) << "play did not resume";
    int before = -1;
    ASSERT_TRUE(eventually([&] { return (before = shown_seconds(shot("p.png"))) >= 4; }))
        << "the position never read 4 s or more";
    press(CONTROL_JUMP_BACK);
    // Each screenshot is taken at once and read afterwards, so the reading is
    // of the moment after the jump even when reading is slow.
    int bar_time = -1, picture_time = -1;
    EXPECT_TRUE(eventually([&] {
        const std::string png = shot("jumped.png");
        bar_time = shown_seconds(png);
        picture_time = picture_seconds(png);
        return bar_time >= 0 && bar_time <= 2 && picture_time >= 0 && picture_time <= 2;
    })) << "from "
        << before << " s jump back went to " << bar_time << " s, the picture to " << picture_time
        << " s";

    // "f" goes full screen on the whole display and back to the same window.
    auto geometry = [&] { return window_size(display_, id_); };
    const std::string key_f = "xdotool key --window " + id_ + " f 2>/dev/null";
    display_.run(key_f);
    EXPECT_TRUE(eventually([&] {
        return geometry() == std::array<int, 2>{1280, 800};
    })) << "not full screen: "
        << geometry()[0] << " x " << geometry()[1];
    display_.run(key_f);
    EXPECT_TRUE(eventually([&] {
        return geometry() == std::array<int, 2>{1000, 600};
    })) << "not back to the window: "
        << geometry()[0] << " x " << geometry()[1];

    press(CONTROL_STOP);
    EXPECT_TRUE(list_again()) << "stop did not return to the list";
    EXPECT_EQ(player_->terminate(), 0);
}

TEST_F(LocalPlayer, AnAudioItemShowsItsTagsAndEveryItemEndsOnTheList)
{
    ASSERT_TRUE(request_play(*player_, server_->url("song.m4a")));
    EXPECT_TRUE(shows_tags());
    EXPECT_TRUE(list_again()) << "the song's end did not return to the list";

    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    ASSERT_TRUE(eventually([&] { return picture_moves(); })) << log();
    EXPECT_TRUE(list_again()) << "the video's end did not return to the list";
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
}

TEST_F(LocalPlayer, AMissingUrlShowsTheOpenErrorAndTheNextUrlPlays)
{
    ASSERT_TRUE(request_play(*player_, server_->url("no-such-clip.mp4")));
    std::string text;
    EXPECT_TRUE(eventually([&] {
        text = read_text(shot("error.png"), 0, 0, WINDOW_W, WINDOW_H, false);
        return text.find("Media could not be opened") != std::string::npos;
    })) << text;
    // A URL sent while the message shows plays.
    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    EXPECT_TRUE(eventually([&] { return picture_moves(); })) << log();
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
}

// A jump forward past the end ends the item; the next item then starts at
// its beginning, not at the position the jump asked of the previous one.
TEST_F(LocalPlayer, AJumpPastTheEndEndsTheItemAndTheNextStartsAtItsBeginning)
{
    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    ASSERT_TRUE(eventually([&] { return picture_moves(); })) << log();
    press(CONTROL_JUMP_FORWARD);  // 30 s by default, past the end
    ASSERT_TRUE(list_again()) << "the item did not end";

    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    int first = -1;
    EXPECT_TRUE(eventually([&] {
        const std::string png = shot("next.png");
        first = picture_seconds(png);
        return first >= 0 ||
               differing(folder_.file("list.png"), png, 0, 0, WINDOW_W, WINDOW_H, 2) == 0;
    }));
    EXPECT_TRUE(first >= 0 && first <= 2)
        << "the next item started at " << first << " s (-1: it ended before it was seen)";
    EXPECT_EQ(player_->terminate(), 0);
}

// A still picture stays until a quick swipe across it moves on (to the
// list: there is no next item); a slow drag is no swipe.
TEST_F(LocalPlayer, APictureStaysUntilAQuickSwipeMovesOn)
{
    ASSERT_TRUE(request_play(*player_, server_->url("still.png")));
    const std::string picture = folder_.file("picture.png");
    ASSERT_TRUE(eventually([&] { return settles(picture) && picture_seconds(picture) == 0; }))
        << log();

    auto drag = [&](const char* pause) {
        std::string moves = "xdotool mousemove --window " + id_ + " 800 200 mousedown 1";
        for (int x = 780; x >= 500; x -= 20)
            moves += std::string(pause) + " mousemove --window " + id_ + " " + std::to_string(x) +
                     " 200";
        display_.run(moves + " mouseup 1");
    };
    drag(" sleep 0.05");
    EXPECT_TRUE(settles(picture));
    EXPECT_GT(differing(home_, picture, 0, 0, WINDOW_W, WINDOW_H), 100000)
        << "a slow drag left the picture";
    drag("");
    EXPECT_TRUE(list_again()) << "a swipe did not move on";
}

// A URL sent while an item plays replaces it; closing the window then ends
// the program as the exit button would, saving the settings as they stand.
TEST_F(LocalPlayer, ANewUrlReplacesThePlayingItemAndClosingTheWindowExitsCleanly)
{
    ASSERT_TRUE(request_play(*player_, server_->url("clip.mp4")));
    ASSERT_TRUE(eventually([&] { return picture_moves(); })) << log();
    press(CONTROL_LOOP);  // a setting changed while playing must reach the file
    ASSERT_TRUE(request_play(*player_, server_->url("song.m4a")));
    EXPECT_TRUE(shows_tags()) << "the song did not replace the video";
    const std::string prefs = folder_.file("data/prefs.dat");
    ::unlink(prefs.c_str());
    ASSERT_TRUE(display_.close_window(id_));
    EXPECT_EQ(player_->wait_exit(), 0) << log();
    Settings s{};
    ASSERT_EQ(prefs_load_from(&s, prefs.c_str()), 0) << "no settings file after closing";
    EXPECT_EQ(s.repeat, 1);
}

}  // namespace
