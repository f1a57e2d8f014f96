// Choosing and stepping live channels: the chosen row's number and name
// become current, the step wraps around the table, and rows outside the
// table (or no table) change nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "app/app_state.h"
#include "app/channels_screen.h"
#include "platform/app_flags.h"
#include "platform/flag_word.h"
#include "platform/media_enums.h"

namespace {

struct ChannelsTest : ::testing::Test {
    AppState* app = app_create();

    void SetUp() override
    {
        ASSERT_NE(app, nullptr);
        const char* names[] = {"News 24/7", "Sports One", "Movie Max"};
        for (int i = 0; i < 3; ++i) {
            app->settings.channels[i].number = int16_t(101 + i);
            std::strcpy(app->settings.channels[i].name, names[i]);
        }
        app->settings.channel_count = 3;
        app->nav.current_channel = -1;
    }
    void TearDown() override { app_destroy(app); }
};

TEST_F(ChannelsTest, SelectTakesTheRowAndRequestsALiveStream)
{
    flags_set(&app->flags, APP_REMOTE_SESSION | APP_PLAYER_BUSY);
    channel_select(app, 1);
    EXPECT_EQ(app->nav.current_channel, 1);
    EXPECT_EQ(app->nav.channel_number, 102);
    EXPECT_STREQ(app->nav.current_media_path, "Sports One");
    EXPECT_EQ(app->nav.media_kind, MEDIA_KIND_LIVE);
    EXPECT_FALSE(flags_any(&app->flags, APP_REMOTE_SESSION | APP_PLAYER_BUSY));
    EXPECT_EQ(app->ui.play_requested, 1);
}

TEST_F(ChannelsTest, SelectIgnoresRowsOutsideTheTable)
{
    for (int row : {-1, 3, 999}) {
        channel_select(app, row);
        EXPECT_EQ(app->nav.current_channel, -1) << row;
        EXPECT_EQ(app->ui.play_requested, 0) << row;
    }
    // A damaged count from the preferences is not trusted past the table.
    app->settings.channel_count = 5000;
    channel_select(app, CHANNEL_TABLE_SIZE);
    EXPECT_EQ(app->ui.play_requested, 0);
}

TEST_F(ChannelsTest, StepWrapsAroundTheTable)
{
    const struct {
        int from, delta, to;
    } cases[] = {{0, 1, 1}, {2, 1, 0}, {0, -1, 2}, {1, -4, 0}, {-1, 1, 0}, {-1, -1, 2}, {7, 1, 0}};
    for (const auto& c : cases) {
        app->nav.current_channel = c.from;
        ASSERT_TRUE(channel_step(app, c.delta)) << c.from << " " << c.delta;
        EXPECT_EQ(app->nav.current_channel, c.to) << c.from << " " << c.delta;
        EXPECT_EQ(app->nav.channel_number, 101 + c.to);
        EXPECT_STREQ(app->nav.current_media_path, app->settings.channels[c.to].name);
    }
}

TEST_F(ChannelsTest, StepWithoutATableRefuses)
{
    for (int32_t count : {0, -2}) {
        app->settings.channel_count = count;
        EXPECT_FALSE(channel_step(app, 1));
        EXPECT_EQ(app->nav.current_channel, -1);
    }
}

TEST_F(ChannelsTest, AnUnterminatedNameIsCutAtItsField)
{
    std::memset(app->settings.channels[0].name, 'A', sizeof app->settings.channels[0].name);
    channel_select(app, 0);
    EXPECT_EQ(std::strlen(app->nav.current_media_path), sizeof app->settings.channels[0].name);
}

}  // namespace
