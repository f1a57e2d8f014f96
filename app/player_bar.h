// The player's control bar as geometry and arithmetic: the 27-entry control
// table, its layout for a layer size and the artwork sizes, hit tests, and
// the conversions between knob positions, times and the texts the bar shows.
// Nothing here draws or touches GL, so the layout and the seek arithmetic are
// tested as plain functions.
//
// Threads: main thread only (the table lives in the player's part of
// AppState); every function is pure apart from writing its outputs.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int PLAYER_CONTROL_COUNT = 27;

// Indices into the control table; the gaps are entries the local player
// does not use.
enum PlayerControlId : int {
    CONTROL_SOUND = 0,
    CONTROL_RECORD = 3,
    CONTROL_PREVIOUS = 4,
    CONTROL_STOP = 5,
    CONTROL_PLAY = 6,
    CONTROL_NEXT = 7,
    CONTROL_JUMP_BACK = 8,
    CONTROL_JUMP_FORWARD = 9,
    CONTROL_ORDER = 10,
    CONTROL_LOOP = 11,
    CONTROL_LOCK = 12,
    CONTROL_ASPECT = 13,
    CONTROL_WINDOW = 14,
    CONTROL_LIBRARY = 15,
    CONTROL_KNOB = 16,
    CONTROL_TRACK = 17,
    CONTROL_BAR = 18,        // the bar image across the bottom
    CONTROL_BAR_UPPER = 19,  // the strip above it that still belongs to the bar
};

struct PlayerControl {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
    uint8_t pressed;
    uint8_t was_pressed;  // pressed flag at the last bar redraw
};

// Sizes of the loaded artwork the layout depends on (pixels).
struct BarArtSizes {
    int bar_h;
    int play_w, play_h;
    int stop_w, stop_h;  // also the size of every other round button
    int aspect_w, aspect_h;
    int order_w, order_h;
    int thumb_w, thumb_h;
};

// What the layout pass is given: the layer the bar is drawn into, the
// window, and whether the program started full screen.
struct BarLayoutInput {
    int layer_w;
    int layer_h;
    int window_w;
    bool fullscreen_start;  // always_fullscreen
    BarArtSizes art;
};

// Seek track geometry inside the bar.
constexpr int TRACK_X = 112;
constexpr int TRACK_HEIGHT = 14;
constexpr int TRACK_RIGHT_ROOM = 284;  // the track leaves this much of the width to the texts
constexpr int KNOB_LEFT_REACH = 30;    // the knob may sit this far left of the track
constexpr int KNOB_RIGHT_STOP = 50;    // ... and stops this far before its end
constexpr int KNOB_SPAN_LOSS = 20;     // track width - this = the knob's travel

// The gap between neighbouring buttons for the start-up mode, held to +-30.
int bar_gap(const BarLayoutInput& in);
// Places every control for the layer (orientations 0 and 2); pressed flags
// are kept. The knob starts at the track's left reach.
void player_bar_compute(const BarLayoutInput& in, PlayerControl table[PLAYER_CONTROL_COUNT]);

bool control_hit(const PlayerControl& c, int x, int y);
// Whether (x, y) is on the bar (controls 18 or 19).
bool bar_hit(const PlayerControl table[PLAYER_CONTROL_COUNT], int x, int y);

// The knob's travel in pixels (track width - 20); 0 for a track too short
// to seek with.
int knob_travel(const PlayerControl& track);
// Knob x for a position (clamped to 0 .. duration); the left reach when the
// duration or the travel is unknown.
int knob_x_for_position(const PlayerControl& track, int64_t position_ms, int64_t duration_ms);
// Knob x after a drag, clamped to [track.x - 30, track.x + track.w - 50].
int knob_x_dragged(const PlayerControl& track, int knob_x_at_press, int press_x, int x);
// The position a knob x selects: 0 at the left stop, exactly duration_ms at
// the right stop; 0 when the travel or the duration is zero.
int64_t knob_target_ms(const PlayerControl& track, int knob_x, int64_t duration_ms);
// The same on the one-hour window of a time-shifted or live stream: window
// start + share of an hour, at most window_end_ms.
int64_t knob_window_target_ms(const PlayerControl& track, int knob_x, int64_t window_start_ms,
                              int64_t window_end_ms);

// The jump target from the current position: back by step (not below 0) or
// forward by step (no upper clamp; the demuxer stops at the end).
int64_t jump_target_ms(int64_t current_ms, int64_t step_ms, bool forward);

// "%02d:%02d:%02d" of a time in ms (negative shown as 0).
void format_clock(int64_t ms, char* out, size_t out_size);
