// Remote media in the whole program under Xvfb, against the streamer and
// directory simulators: the account found through the directory service,
// "Remote Media" lists the streamer's shared folder, a folder opens, a
// tapped file shows the information the streamer sends for it, and "Play"
// streams it: the picture and the bar's clock move, a skip back starts it
// again from the beginning, and stop returns to the list.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/player_bar.h"
#include "bar_layout.h"
#include "platform/settings.h"
#include "program_fixture.h"
#include "tests/streamer/sim_process.h"

namespace {

using namespace harness;

constexpr int REMOTE_MEDIA_X = 499, REMOTE_MEDIA_Y = 245;  // the home screen's second tile

constexpr int PLAY_X = 940, PLAY_Y = 565;             // the panel's "Play", bottom right
constexpr int PLAYLISTS_X = 831, PLAYLISTS_Y = 495;   // the home screen's last tile
constexpr int RECORDINGS_X = 694, RECORDINGS_Y = 35;  // the lists' third top button
constexpr int KNOB_HALF_W = 40;                       // the knob is 80 wide

class RemoteProgram : public ProgramTest {};

TEST_F(RemoteProgram, TheAccountFindsTheStreamerWhoseFilesShowTheirInformationAndStream)
{
    MediaFolder media;
    run("mkdir -p " + media.path() +
        "Films && ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "sine=duration=5 " +
        media.path() +
        "Films/song.mp3 && ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "testsrc2=size=640x480:rate=25:duration=40 -f lavfi -i sine=duration=40 -c:v libx264 "
        "-preset ultrafast -pix_fmt yuv420p -c:a aac -shortest " +
        media.path() + "Films/clip.mp4");
    SimProcess streamer;
    ASSERT_TRUE(streamer.start("streamer_sim.py",
                               {media.path(), "--port", "0", "--user", "me", "--password", "pw"}));
    SimProcess directory;
    ASSERT_TRUE(directory.start(
        "directory_sim.py",
        {"--port", "0", "--account", "me=127.0.0.1,127.0.0.1," + std::to_string(streamer.port())}));
    ASSERT_TRUE(write_settings(folder_, [](Settings& s) {
        s.remember_login = 1;
        s.auto_hide_controls = 0;  // the bar stays for the presses however slow reading is
        std::snprintf(s.username, sizeof s.username, "me");
        std::snprintf(s.password, sizeof s.password, "pw");
    }));
    start({"VELMORA_DIRECTORY=127.0.0.1,127.0.0.1," + std::to_string(directory.port())});
    click(REMOTE_MEDIA_X, REMOTE_MEDIA_Y);
    ASSERT_TRUE(list_shows("Films")) << seen_ << log();
    tap_row(0);
    ASSERT_TRUE(list_shows("song.mp3")) << seen_;
    tap_row(2);  // below ".." and clip.mp4
    EXPECT_TRUE(panel_shows("00:00:05")) << seen_;
    EXPECT_TRUE(panel_shows("Audio: mp3")) << seen_;

    tap_row(1);
    ASSERT_TRUE(panel_shows("Video: h264")) << seen_;
    click(PLAY_X, PLAY_Y);
    const auto bar = bar_layout(folder_, WINDOW_W, WINDOW_H);
    const PlayerControl& track = bar[CONTROL_TRACK];
    const std::string start = shot("start.png");
    EXPECT_TRUE(eventually(
        [&] { return differing(start, shot("moved.png"), 0, 0, WINDOW_W, track.y - 20) > 1000; },
        60))
        << "the streamed picture does not move\n"
        << log();
    int at = -1;
    ASSERT_TRUE(eventually([&] { return (at = bar_seconds(track)) >= 6; }, 60))
        << "the bar's clock did not reach 6 s (last read " << at << ")\n"
        << log();
    // The knob, taken where it stands, dragged to the middle of the clip
    // (20 s, which the progressive download may already hold).
    const int knob = track.x - KNOB_LEFT_REACH + at * knob_travel(track) / 40 + KNOB_HALF_W;
    const int to = track.x - KNOB_LEFT_REACH + 20 * knob_travel(track) / 40 + KNOB_HALF_W;
    const std::string move = " mousemove --window " + id_ + " ";
    const std::string y = " " + std::to_string(track.y + track.h / 2);
    display_.run("xdotool" + move + std::to_string(knob) + y + " mousedown 1 sleep 0.2" + move +
                 std::to_string((knob + to) / 2) + y + " sleep 0.2" + move + std::to_string(to) +
                 y + " sleep 0.2 mouseup 1");
    EXPECT_TRUE(eventually([&] {
        at = bar_seconds(track);
        return at >= 20 && at <= 28;
    })) << "the knob's drag went to "
        << at << " s";
    press(bar[CONTROL_JUMP_BACK]);  // 30 s back from 20-odd s in: the start
    EXPECT_TRUE(eventually([&] {
        at = bar_seconds(track);
        return at >= 0 && at <= 3;
    })) << "skip back went to "
        << at << " s";
    press(bar[CONTROL_STOP]);
    // The played row is highlighted, which reading takes badly: the row
    // under it shows the list is back.
    EXPECT_TRUE(shows("song.mp3", 0, LIST_Y + 2 * ROW_H, LIST_W, ROW_H))
        << "stop did not return to the list: " << seen_;
    EXPECT_EQ(player_->terminate(), 0);
}

// Recordings, written from the stream by a recorder of the tests' own (one
// finished, one cut short as a crash leaves it), play from the recordings
// list through the session and end back on the list.
TEST_F(RemoteProgram, RecordingsPlayFromTheRecordingsList)
{
    MediaFolder media;
    run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=4 "
        "-f lavfi -i sine=duration=4 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
        "-shortest " +
        media.path() + "clip.mp4");
    SimProcess streamer;
    ASSERT_TRUE(streamer.start("streamer_sim.py", {media.path(), "--port", "0"}));
    const std::string folder = folder_.file("data/recordings/");
    run("mkdir -p " + folder);
    const std::string record = "python3 " + std::string(VELMORA_SOURCE_DIR) +
                               "/tools/record_stream.py " + std::to_string(streamer.port()) +
                               " /clip.mp4 ";
    run(record + folder + "Finished.vlm && " + record + folder + "Crashed.vlm --crash");
    ASSERT_TRUE(write_settings(folder_, [](Settings& s) { s.auto_hide_controls = 0; }));
    start();
    click(PLAYLISTS_X, PLAYLISTS_Y);
    ::sleep(2);  // the lists' screen with its buttons
    click(RECORDINGS_X, RECORDINGS_Y);
    ASSERT_TRUE(list_shows("Finished")) << seen_;
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        tap_row(row);
        ::sleep(1);
        click(PLAY_X, PLAY_Y);
        const std::string start = shot("start.png");
        EXPECT_TRUE(eventually([&] {
            return differing(start, shot("moved.png"), 0, 0, WINDOW_W, 400) > 1000;
        })) << log();
        // Four seconds of film, then the list again (the row below the
        // highlighted one reads reliably).
        EXPECT_TRUE(shows(row == 0 ? "Finished" : "Crashed", 0, LIST_Y, LIST_W, 2 * ROW_H))
            << seen_;
    }
    EXPECT_EQ(player_->terminate(), 0);
}

}  // namespace
