// The live channel screen in the whole program under Xvfb, against the
// streamer and directory simulators: with no table yet, "Live Streaming"
// fetches the streamer's channels, lists them and keeps them in the
// preferences; a tapped channel plays live and "next" moves to the next
// channel; a streamer without channels gives the no-channels message.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/player_bar.h"
#include "bar_layout.h"
#include "platform/settings.h"
#include "program_fixture.h"
#include "tests/streamer/sim_process.h"

namespace {

using namespace harness;

constexpr int LIVE_X = 500, LIVE_Y = 495;  // the home screen's fifth tile
constexpr int BARS_H = 70;                 // title and bottom bar

class ChannelsProgram : public ProgramTest {
protected:
    // Starts the simulators (the streamer with `channel_args`) and the
    // program logged in to that streamer, then taps "Live Streaming".
    void open_channels(const std::vector<std::string>& channel_args)
    {
        std::vector<std::string> args = {media_.path(), "--port",     "0", "--user",
                                         "me",          "--password", "pw"};
        args.insert(args.end(), channel_args.begin(), channel_args.end());
        ASSERT_TRUE(streamer_.start("streamer_sim.py", args));
        ASSERT_TRUE(directory_.start(
            "directory_sim.py", {"--port", "0", "--account",
                                 "me=127.0.0.1,127.0.0.1," + std::to_string(streamer_.port())}));
        ASSERT_TRUE(write_settings(folder_, [](Settings& s) {
            s.remember_login = 1;
            std::snprintf(s.username, sizeof s.username, "me");
            std::snprintf(s.password, sizeof s.password, "pw");
            s.auto_hide_controls = 0;
        }));
        ASSERT_NO_FATAL_FAILURE(
            start({"VELMORA_DIRECTORY=127.0.0.1,127.0.0.1," + std::to_string(directory_.port())}));
        click(LIVE_X, LIVE_Y);
    }
    // The space between the bars, where the rows and the message box are.
    bool screen_shows(const std::string& text)
    {
        return shows(text, 0, BARS_H, WINDOW_W, WINDOW_H - 2 * BARS_H);
    }

    MediaFolder media_;
    SimProcess streamer_;
    SimProcess directory_;
};

TEST_F(ChannelsProgram, AnEmptyTableIsFetchedListedAndKept)
{
    ASSERT_NO_FATAL_FAILURE(open_channels({}));
    ASSERT_TRUE(screen_shows("News 24/7")) << seen_ << log();
    EXPECT_TRUE(screen_shows("Movie Max")) << seen_;
    EXPECT_TRUE(shows("Update channels", 0, WINDOW_H - BARS_H, WINDOW_W / 2, BARS_H)) << seen_;
    // Saved as soon as it came, not only at the program's end.
    Settings saved{};
    ASSERT_TRUE(read_settings(folder_, &saved));
    ASSERT_EQ(saved.channel_count, 3);
    EXPECT_STREQ(saved.channels[0].name, "News 24/7");
    EXPECT_EQ(saved.channels[2].number, 3);

    // The first row plays live; "next" goes to the second channel.
    click(WINDOW_W / 2, BARS_H + 30);
    const auto bar = bar_layout(folder_, WINDOW_W, WINDOW_H);
    const PlayerControl& track = bar[CONTROL_TRACK];
    const std::string start = shot("start.png");
    EXPECT_TRUE(eventually([&] {
        return differing(start, shot("moved.png"), 0, 0, WINDOW_W, track.y - 20) > 1000;
    })) << "the live picture does not move\n"
        << log();
    const auto title_shows = [&](const std::string& text) {
        return shows(text, WINDOW_W / 4, track.y + 4, WINDOW_W / 2, 40);
    };
    EXPECT_TRUE(title_shows("News 24/7")) << seen_;
    const PlayerControl& next = bar[CONTROL_NEXT];
    click(next.x + next.w / 2, next.y + next.h / 2);
    EXPECT_TRUE(title_shows("Sports One")) << seen_;
    const PlayerControl& stop = bar[CONTROL_STOP];
    click(stop.x + stop.w / 2, stop.y + stop.h / 2);
    EXPECT_TRUE(screen_shows("News 24/7")) << "stop did not return to the channels: " << seen_;
    EXPECT_EQ(player_->terminate(), 0);
}

// Live TV through the time-shift files: paused, the channel goes on being
// received into them; resumed, it plays on from where it stood; a skip back
// moves within what they hold without a new request (the files are not
// started again); stop deletes them.
TEST_F(ChannelsProgram, APausedChannelIsKeptInTheTimeShiftFilesAndMovedBackIn)
{
    ASSERT_NO_FATAL_FAILURE(open_channels({}));
    ASSERT_TRUE(screen_shows("News 24/7")) << seen_ << log();
    click(WINDOW_W / 2, BARS_H + 30);
    const auto bar = bar_layout(folder_, WINDOW_W, WINDOW_H);
    const PlayerControl& track = bar[CONTROL_TRACK];
    const int picture_h = track.y - 20;
    const std::string start = shot("start.png");
    ASSERT_TRUE(eventually([&] {
        return differing(start, shot("moved.png"), 0, 0, WINDOW_W, picture_h) > 1000;
    })) << "the live picture does not move\n"
        << log();
    const std::string store = folder_.file("data/recordings/tsb00");
    const auto stored = [&] {
        struct stat st {};
        return stat(store.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1L;
    };
    ASSERT_GT(stored(), 0) << "no time-shift file";

    press(bar[CONTROL_PLAY]);  // pause
    const std::string paused = folder_.file("paused.png");
    ASSERT_TRUE(settles(paused)) << "the paused picture still moves";
    const long before = stored();
    EXPECT_TRUE(eventually([&] { return stored() > before + 100000; }))
        << "nothing was received while paused";
    EXPECT_EQ(differing(paused, shot("still.png"), 0, 0, WINDOW_W, picture_h), 0);

    press(bar[CONTROL_PLAY]);  // resume
    EXPECT_TRUE(eventually([&] {
        return differing(paused, shot("resumed.png"), 0, 0, WINDOW_W, picture_h) > 1000;
    })) << "the picture did not move on after the pause";
    int at = -1;
    ASSERT_TRUE(eventually([&] { return (at = bar_seconds(track)) >= 5; }))
        << "the bar's clock did not reach 5 s (last read " << at << ")";
    const long held = stored();
    press(bar[CONTROL_JUMP_BACK]);  // back to where the files begin
    EXPECT_TRUE(eventually([&] {
        at = bar_seconds(track);
        return at >= 0 && at < 4;
    })) << "skip back went to "
        << at << " s";
    EXPECT_GE(stored(), held) << "the skip back started the time-shift files again";
    EXPECT_TRUE(eventually(
        [&] { return differing(start, shot("again.png"), 0, 0, WINDOW_W, picture_h) > 1000; }));

    press(bar[CONTROL_STOP]);
    // The played row is highlighted, which reading takes badly: the next one.
    EXPECT_TRUE(screen_shows("Sports One")) << "stop did not return to the channels: " << seen_;
    EXPECT_TRUE(eventually([&] { return stored() < 0; })) << "the time-shift file outlived it";
    EXPECT_EQ(player_->terminate(), 0);
}

TEST_F(ChannelsProgram, AStreamerWithoutChannelsGivesTheNoChannelsMessage)
{
    ASSERT_NO_FATAL_FAILURE(open_channels({"--channels", "0"}));
    EXPECT_TRUE(screen_shows("No live channels could be found")) << seen_ << log();
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
}

TEST_F(ChannelsProgram, WithoutAnAccountTheAccountMessageShows)
{
    ASSERT_NO_FATAL_FAILURE(start());
    click(LIVE_X, LIVE_Y);
    EXPECT_TRUE(screen_shows("Account Settings")) << seen_ << log();
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
}

}  // namespace
