// The control bar's layout and its seek arithmetic, with the artwork sizes
// the program ships (bar 150 high, play 88, round buttons 48, knob 80 x 64).
#include <gtest/gtest.h>

#include "app/player_bar.h"

namespace {

constexpr BarArtSizes SHIPPED{150, 88, 88, 48, 48, 48, 48, 48, 48, 80, 64};

struct Placed {
    int id;
    int x, y;
};

TEST(PlayerBar, ButtonsSitWhereTheLayoutRulesPutThemInBothStartUpModes)
{
    const struct {
        BarLayoutInput in;
        int gap;
        Placed placed[8];
    } cases[] = {
        // Windowed 1000 x 600: g = (1000 - 4 * 78 - 3 * 184) / 13 = 10.
        {{1000, 600, 1000, false, SHIPPED},
         10,
         {{CONTROL_PLAY, 456, 512},
          {CONTROL_JUMP_BACK, 398, 532},
          {CONTROL_STOP, 340, 532},
          {CONTROL_RECORD, 262, 532},
          {CONTROL_WINDOW, 28, 522},
          {CONTROL_SOUND, 844, 532},
          {CONTROL_LOCK, 934, 474},
          {CONTROL_KNOB, 82, 437}}},
        // Full screen on 1920 x 1080: the gap is held to 30.
        {{1920, 1080, 1920, true, SHIPPED},
         30,
         {{CONTROL_PLAY, 916, 992},
          {CONTROL_JUMP_BACK, 838, 1012},
          {CONTROL_STOP, 760, 1012},
          {CONTROL_RECORD, 662, 1012},
          {CONTROL_WINDOW, 368, 1002},
          {CONTROL_SOUND, 1424, 1012},
          {CONTROL_LOCK, 1854, 954},
          {CONTROL_KNOB, 82, 917}}},
        // A full-screen start on a narrow window crowds the buttons: g < 0.
        {{600, 600, 600, true, SHIPPED},
         -16,
         {{CONTROL_PLAY, 256, 512},
          {CONTROL_JUMP_FORWARD, 328, 532},
          {CONTROL_ASPECT, 36, 522}}},
    };
    for (const auto& c : cases) {
        PlayerControl t[PLAYER_CONTROL_COUNT] = {};
        EXPECT_EQ(bar_gap(c.in), c.gap) << c.in.layer_w;
        player_bar_compute(c.in, t);
        for (const Placed& p : c.placed) {
            if (p.id == 0 && p.x == 0)
                break;
            EXPECT_EQ(t[p.id].x, p.x) << c.in.layer_w << " control " << p.id;
            EXPECT_EQ(t[p.id].y, p.y) << c.in.layer_w << " control " << p.id;
        }
        const PlayerControl& track = t[CONTROL_TRACK];
        EXPECT_EQ(track.w, c.in.layer_w - TRACK_RIGHT_ROOM);
        EXPECT_TRUE(bar_hit(t, 10, c.in.layer_h - 1));
        EXPECT_FALSE(bar_hit(t, 10, c.in.layer_h - 151));
    }
}

TEST(PlayerBar, KnobStopsSelectZeroAndExactlyTheDuration)
{
    PlayerControl t[PLAYER_CONTROL_COUNT] = {};
    player_bar_compute({1000, 600, 1000, false, SHIPPED}, t);
    const PlayerControl& track = t[CONTROL_TRACK];
    const int64_t duration = 7'654'321;
    const int left = track.x - KNOB_LEFT_REACH;
    // Dragged far past either end, the knob stops at its reach.
    EXPECT_EQ(knob_x_dragged(track, left, 500, -4000), left);
    const int right = knob_x_dragged(track, left, 0, 100000);
    EXPECT_EQ(right, track.x + track.w - KNOB_RIGHT_STOP);
    EXPECT_EQ(knob_target_ms(track, left, duration), 0);
    EXPECT_EQ(knob_target_ms(track, right, duration), duration);
    // Positions map back onto the same stops, and a position past the end stays there.
    EXPECT_EQ(knob_x_for_position(track, 0, duration), left);
    EXPECT_EQ(knob_x_for_position(track, duration * 3, duration), right);
    EXPECT_EQ(knob_x_for_position(track, -5, duration), left);
}

TEST(PlayerBar, NothingDividesByAZeroDurationOrTrack)
{
    PlayerControl narrow{100, 0, 10, 14, 0, 0};  // narrower than the knob's losses
    PlayerControl track{112, 0, 716, 14, 0, 0};
    EXPECT_EQ(knob_target_ms(narrow, 500, 60000), 0);
    EXPECT_EQ(knob_x_for_position(narrow, 30000, 60000), 100 - KNOB_LEFT_REACH);
    EXPECT_EQ(knob_target_ms(track, 400, 0), 0);
    EXPECT_EQ(knob_x_for_position(track, 400, 0), track.x - KNOB_LEFT_REACH);
    EXPECT_EQ(knob_window_target_ms(narrow, 500, 1000, 2000), 1000);
    // On a live window the target never passes the window's end.
    EXPECT_EQ(knob_window_target_ms(track, 10000, 0, 1800000), 1800000);
}

TEST(PlayerBar, JumpsBackStopAtTheStartAndForwardHasNoCeiling)
{
    const struct {
        int64_t current, step;
        bool forward;
        int64_t want;
    } cases[] = {
        {4000, 10000, false, 0},
        {25000, 10000, false, 15000},
        {25000, 30000, true, 55000},
        {-300, 10000, true, 9700},  // a clock a little before the start
    };
    for (const auto& c : cases)
        EXPECT_EQ(jump_target_ms(c.current, c.step, c.forward), c.want) << c.current;
    char text[16];
    format_clock(3'723'999, text, sizeof text);
    EXPECT_STREQ(text, "01:02:03");
    format_clock(-1, text, sizeof text);
    EXPECT_STREQ(text, "00:00:00");
}

}  // namespace
