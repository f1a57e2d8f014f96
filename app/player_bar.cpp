#include "app/player_bar.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int GAP_LIMIT = 30;            // buttons never spread or crowd more than this
constexpr int WINDOWED_EDGE = 30;        // room counted per stop-sized button, windowed start
constexpr int FULLSCREEN_EDGE = 50;      // room counted beside the aspect button, full screen
constexpr int OUTER_GROUP_SPACING = 20;  // extra room between the left groups
constexpr int RAISED = 10;               // window, aspect and library sit this much higher
constexpr int LOCK_FROM_RIGHT = 66;
constexpr int LOCK_ABOVE_LOOP = 10;
constexpr int TRACK_FROM_KNOB_CENTRE = 20;
constexpr int64_t HOUR_MS = 3600000;

void place(PlayerControl& c, int x, int y, int w, int h)
{
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
}

// Places one row of buttons outwards from an anchor; step is -1 leftwards.
struct RowCursor {
    int edge;  // next free x: the left edge of the last button (leftwards) or its right edge
    int gap;
    int step;
    void put(PlayerControl& c, int w, int h, int y, int extra = 0)
    {
        int x = step < 0 ? edge - gap - extra - w : edge + gap + extra;
        place(c, x, y, w, h);
        edge = step < 0 ? x : x + w;
    }
};

}  // namespace

int bar_gap(const BarLayoutInput& in)
{
    const BarArtSizes& a = in.art;
    int g;
    if (in.fullscreen_start)
        g = (in.window_w - 3 * (a.order_w + a.play_w) -
             2 * (a.aspect_w + FULLSCREEN_EDGE + 2 * a.stop_w)) /
            12;
    else
        g = (in.window_w - 4 * (WINDOWED_EDGE + a.stop_w) -
             3 * (a.aspect_w + a.order_w + a.play_w)) /
            13;
    return std::clamp(g, -GAP_LIMIT, GAP_LIMIT);
}

void player_bar_compute(const BarLayoutInput& in, PlayerControl t[PLAYER_CONTROL_COUNT])
{
    const BarArtSizes& a = in.art;
    const int g = bar_gap(in);
    place(t[CONTROL_BAR], 0, in.layer_h - a.bar_h, in.layer_w, a.bar_h);
    place(t[CONTROL_BAR_UPPER], 0, in.layer_h - a.bar_h, in.layer_w, a.bar_h);

    const int play_x = (in.layer_w - a.play_w) / 2;
    const int play_y = in.layer_h - a.play_h;
    place(t[CONTROL_PLAY], play_x, play_y, a.play_w, a.play_h);
    const int y = play_y + (a.play_h - a.stop_h) / 2;
    const int aspect_y = play_y + (a.play_h - a.aspect_h) / 2 - RAISED;

    RowCursor left{play_x, g, -1};
    left.put(t[CONTROL_JUMP_BACK], a.stop_w, a.stop_h, y);
    left.put(t[CONTROL_STOP], a.stop_w, a.stop_h, y);
    left.put(t[CONTROL_RECORD], a.stop_w, a.stop_h, y, OUTER_GROUP_SPACING);
    left.put(t[CONTROL_LIBRARY], a.aspect_w, a.aspect_h, aspect_y, OUTER_GROUP_SPACING);
    left.put(t[CONTROL_ASPECT], a.aspect_w, a.aspect_h, aspect_y, OUTER_GROUP_SPACING);
    left.put(t[CONTROL_WINDOW], a.aspect_w, a.aspect_h, aspect_y, OUTER_GROUP_SPACING);

    RowCursor right{play_x + a.play_w, g, 1};
    right.put(t[CONTROL_JUMP_FORWARD], a.stop_w, a.stop_h, y);
    right.put(t[CONTROL_PREVIOUS], a.stop_w, a.stop_h, y);
    right.put(t[CONTROL_NEXT], a.stop_w, a.stop_h, y);
    right.put(t[CONTROL_ORDER], a.order_w, a.order_h, play_y + (a.play_h - a.order_h) / 2);
    right.put(t[CONTROL_LOOP], a.order_w, a.order_h, play_y + (a.play_h - a.order_h) / 2);
    right.put(t[CONTROL_SOUND], a.stop_w, a.stop_h, y);

    place(t[CONTROL_LOCK], in.layer_w - LOCK_FROM_RIGHT,
          t[CONTROL_LOOP].y - a.order_h - LOCK_ABOVE_LOOP, a.stop_w, a.stop_h);

    const int track_y = in.layer_h - a.bar_h + a.thumb_h / 2 - TRACK_FROM_KNOB_CENTRE;
    place(t[CONTROL_TRACK], TRACK_X, track_y, std::max(in.layer_w - TRACK_RIGHT_ROOM, 0),
          TRACK_HEIGHT);
    place(t[CONTROL_KNOB], TRACK_X - KNOB_LEFT_REACH, track_y - (a.thumb_h - TRACK_HEIGHT) / 2,
          a.thumb_w, a.thumb_h);
}

bool control_hit(const PlayerControl& c, int x, int y)
{
    return c.w > 0 && c.h > 0 && x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
}

bool bar_hit(const PlayerControl t[PLAYER_CONTROL_COUNT], int x, int y)
{
    return control_hit(t[CONTROL_BAR_UPPER], x, y) || control_hit(t[CONTROL_BAR], x, y);
}

int knob_travel(const PlayerControl& track)
{
    return std::max(track.w - KNOB_SPAN_LOSS, 0);
}

int knob_x_for_position(const PlayerControl& track, int64_t position_ms, int64_t duration_ms)
{
    const int left = track.x - KNOB_LEFT_REACH;
    const int travel = knob_travel(track);
    if (duration_ms <= 0 || travel == 0)
        return left;
    const int64_t p = std::clamp<int64_t>(position_ms, 0, duration_ms);
    return left + static_cast<int>(p * travel / duration_ms);
}

int knob_x_dragged(const PlayerControl& track, int knob_x_at_press, int press_x, int x)
{
    const int lo = track.x - KNOB_LEFT_REACH;
    const int hi = std::max(track.x + track.w - KNOB_RIGHT_STOP, lo);
    return std::clamp(knob_x_at_press + (x - press_x), lo, hi);
}

namespace {

// Share of the travel the knob has covered, as a numerator over the travel.
int64_t knob_share(const PlayerControl& track, int knob_x)
{
    return std::clamp<int64_t>(knob_x - track.x + KNOB_LEFT_REACH, 0, knob_travel(track));
}

}  // namespace

int64_t knob_target_ms(const PlayerControl& track, int knob_x, int64_t duration_ms)
{
    const int travel = knob_travel(track);
    if (travel == 0 || duration_ms <= 0)
        return 0;
    return knob_share(track, knob_x) * duration_ms / travel;
}

int64_t knob_window_target_ms(const PlayerControl& track, int knob_x, int64_t window_start_ms,
                              int64_t window_end_ms)
{
    const int travel = knob_travel(track);
    if (travel == 0)
        return window_start_ms;
    const int64_t t = window_start_ms + knob_share(track, knob_x) * HOUR_MS / travel;
    return std::min(t, window_end_ms);
}

int64_t jump_target_ms(int64_t current_ms, int64_t step_ms, bool forward)
{
    if (forward)
        return current_ms + step_ms;
    return std::max<int64_t>(current_ms - step_ms, 0);
}

void format_clock(int64_t ms, char* out, size_t out_size)
{
    const int64_t s = std::max<int64_t>(ms, 0) / 1000;
    std::snprintf(out, out_size, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
}
