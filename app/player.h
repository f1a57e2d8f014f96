// The local player: the loop that runs while one item plays through the
// engine, its control bar and the player screen drawn over the picture (or
// instead of it for audio-only media), and the library view.
//
// Results of play_local and player_loop: 0 when the item ended by
// previous/next, a swipe or the end of the media (APP_WANT_PREVIOUS or
// APP_WANT_NEXT say which way to step); 1 when the user stopped it; 2
// (DISPATCH_LEAVE) when the window was closed; else the session's negative
// ResultCode.
//
// Threads: everything here runs on the main thread. The engine calls
// player_screen_draw through NowPlaying::draw_player_overlay, also on the
// main thread, with the AppState as hook context.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/player_bar.h"
#include "app/subtitle_band.h"

struct AppState;

// A renderer the player screen drives instead of the engine (Play To): the
// bar's buttons and knob go to these, and tick runs once per loop pass.
struct PlayerRemote {
    void (*seek)(AppState* app, int64_t target_ms);
    void (*stop)(AppState* app);  // the loop ends when tick sees the stop done
    void (*toggle_pause)(AppState* app);
    // -1 to go on; else the loop's result (tick has cleared APP_PLAYER_BUSY).
    int (*tick)(AppState* app);
    bool renderer;                  // a Play To renderer: it has its own volume control
    void (*record)(AppState* app);  // starts or ends a recording; null = none offered
};

constexpr size_t PLAYER_LABEL_SIZE = 288;  // "Playing on " and a device name

// The player's part of AppState (main thread only).
struct PlayerState {
    PlayerControl controls[PLAYER_CONTROL_COUNT];
    BarLayoutInput layout;  // what the last layout pass was given
    uint8_t locked;
    uint8_t lock_hint_count;  // > 0: the lock hint shows (counts down per redraw step)
    uint32_t lock_hint_tick;
    uint32_t last_activity_tick;
    uint8_t touch_in_progress;
    uint8_t full_redraw;   // the next player screen draw redraws the bar
    int64_t drawn_second;  // second shown by the last bar redraw, -1 = none
    uint32_t drawn_flags;  // state bits at the last bar redraw
    // The press being tracked.
    uint8_t pressing;
    uint8_t knob_drag;
    uint8_t knob_moved;  // the dragged knob left the place it was pressed at
    int32_t press_x;
    int32_t press_y;
    uint32_t press_tick;
    int32_t knob_x;  // current knob x while dragging
    int32_t knob_x_at_press;
    int32_t quick_motions;  // motion events less than 10 ms apart (swipes on pictures)
    uint32_t last_motion_tick;
    int32_t aspect_key_count;  // the "a" key's own cycle, restarted by every loop
    // The browser's screen shown by the library view; null = none.
    void (*library_screen)(AppState* app);
    SubtitleBand subtitle_band;
    // Play To: the renderer being driven (null: the engine plays) and the
    // line the audio screen shows about it.
    const PlayerRemote* remote;
    char remote_label[PLAYER_LABEL_SIZE];
    char remote_title[PLAYER_LABEL_SIZE];  // the item's own title ("" = from its path)
};

// Plays the opened item (media_open has succeeded) until it ends.
int play_local(AppState* app);
// Shows the player screen with its controls and runs the loop (play_local
// without starting anything: Play To sets APP_PLAYING when the renderer
// plays).
int player_run_shown(AppState* app);
// The loop itself; see the results above.
int player_loop(AppState* app);
// Shows (on) or leaves (off) the library while the item keeps playing.
void set_library_view(AppState* app, bool on);

// Lays the bar out for a layer of width x height; 0, or -1 without artwork.
int player_bar_layout(AppState* app, int width, int height);
// Draws the player screen (the bar over the picture, or the audio-only
// screen) and presents. The engine's draw_player_overlay hook.
void player_screen_draw(AppState* app);
// Installs and removes the engine hooks and selects the surface the player
// draws into for the current window.
void player_screen_begin(AppState* app);
void player_screen_end(AppState* app);
// Selects the surface the player draws into: the window-sized overlay layer
// while the window differs from the screen, else the orientation's layer.
void player_surface_select(AppState* app);
// Shows the status text ("Opening media, please wait..." while APP_OPENING,
// "Closing media, please wait..." while APP_CLOSING) over the background.
void player_status_show(AppState* app);
// The player's background in ui_surface (not presented), drawn before an
// item opens so that no screen of the browser shows through.
void player_background_draw(AppState* app);
// Whether the item shows pictures (a film or a still picture) rather than
// the audio-only player screen.
bool player_shows_video(const AppState* app);
// Whether a control is on the bar for the item playing (the record button
// belongs to streamed sessions, the library to audio, aspect to video).
bool player_control_shown(const AppState* app, int id);
// The time the bar shows: the seek target while one is being chosen, else
// the position from the media start, within 0 .. duration.
int64_t player_shown_position_ms(const AppState* app);
// Makes the next player screen draw redraw the bar, and shows the current
// picture again (video) or the player screen (audio only).
void player_redraw(AppState* app);
