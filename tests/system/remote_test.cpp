// Remote media in the whole program under Xvfb, against the streamer and
// directory simulators: the account found through the directory service,
// "Remote Media" lists the streamer's shared folder, a folder opens, and a
// tapped file shows the information the streamer sends for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/settings.h"
#include "program_fixture.h"
#include "tests/streamer/sim_process.h"

namespace {

using namespace harness;

constexpr int REMOTE_MEDIA_X = 499, REMOTE_MEDIA_Y = 245;  // the home screen's second tile

class RemoteProgram : public ProgramTest {};

TEST_F(RemoteProgram, TheAccountFindsTheStreamerWhoseFoldersAndFileInformationShow)
{
    MediaFolder media;
    run("mkdir -p " + media.path() +
        "Films && ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "sine=duration=5 " +
        media.path() + "Films/song.mp3");
    SimProcess streamer;
    ASSERT_TRUE(streamer.start("streamer_sim.py",
                               {media.path(), "--port", "0", "--user", "me", "--password", "pw"}));
    SimProcess directory;
    ASSERT_TRUE(directory.start(
        "directory_sim.py",
        {"--port", "0", "--account", "me=127.0.0.1,127.0.0.1," + std::to_string(streamer.port())}));
    ASSERT_TRUE(write_settings(folder_, [](Settings& s) {
        s.remember_login = 1;
        std::snprintf(s.username, sizeof s.username, "me");
        std::snprintf(s.password, sizeof s.password, "pw");
    }));
    start({"VELMORA_DIRECTORY=127.0.0.1,127.0.0.1," + std::to_string(directory.port())});
    click(REMOTE_MEDIA_X, REMOTE_MEDIA_Y);
    ASSERT_TRUE(list_shows("Films")) << seen_ << log();
    tap_row(0);
    ASSERT_TRUE(list_shows("song.mp3")) << seen_;
    tap_row(1);  // below ".."
    EXPECT_TRUE(panel_shows("00:00:05")) << seen_;
    EXPECT_TRUE(panel_shows("Audio: mp3")) << seen_;
}

}  // namespace
