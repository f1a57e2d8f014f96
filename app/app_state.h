// AppState: the one application record. It is taken once at start from a
// single-slot pool (app_create), holds the persisted Settings block and all
// runtime state, and is reached by every subsystem. Each subsystem keeps its
// fields in its own section below; flag bits are named constants.
#pragma once

#include <cstdint>

#include <SDL/SDL.h>

#include "app/settings.h"
#include "render/gl_context.h"
#include "render/video_layout.h"

// Flag bits of AppState::flags.
constexpr uint32_t APP_IN_USE = 0x1;
constexpr uint32_t APP_RUNNING = 0x2;
constexpr uint32_t APP_STREAMER_CONNECTED = 0x4;
constexpr uint32_t APP_PLAYER_BUSY = 0x8;
constexpr uint32_t APP_PLAYER_SCREEN = 0x10;
constexpr uint32_t APP_STREAM_ACTIVE = 0x20;
constexpr uint32_t APP_RECORDING_OPEN = 0x40;
constexpr uint32_t APP_STREAM_BUFFERING = 0x80;
constexpr uint32_t APP_REENTER_PLAYER = 0x100;
constexpr uint32_t APP_REMOTE_SESSION = 0x4000;
constexpr uint32_t APP_WANT_PREVIOUS = 0x8000;
constexpr uint32_t APP_WANT_NEXT = 0x10000;

constexpr int PLAYER_BUTTON_COUNT = 27;

// SDL 1.2 event numbers the program exchanges between threads.
constexpr int EVENT_USER = SDL_USEREVENT;             // 24: UI timer codes 5..12
constexpr int EVENT_ALLOC_PICTURE = SDL_USEREVENT + 2; // 26
constexpr int EVENT_SESSION_END = SDL_USEREVENT + 4;   // 28

struct AppState;
using ScreenFn = void (*)(AppState* app);

struct PlayerButtonState {
    uint8_t pressed;
    uint8_t hover;
};

struct AppState {
    uint32_t flags;
    Settings settings;

    // --- application frame ---
    SDL_mutex* streamer_link_lock;
    SDL_mutex* player_stream_lock;
    SDL_mutex* player_audio_lock;
    SDL_mutex* player_recording_lock;
    ScreenFn current_screen;
    Uint32 main_thread_id;

    // --- screen and window ---
    int32_t window_width;
    int32_t window_height;
    int32_t saved_width;
    int32_t saved_height;
    unsigned long native_window;     // X11 Window of the SDL window, 0 when none
    void* native_display;            // X11 Display*
    SDL_Rect window_rect;
    SDL_Surface* ui_surface;

    // --- navigation ---
    uint8_t play_requested;
    uint8_t abort_requested;
    uint8_t first_pass;
    uint8_t list_play;
    int32_t browse_mode;
    int32_t previous_browse_mode;
    int32_t media_kind;
    int32_t list_source;
    int32_t source_kind;
    uint8_t play_to_active;
    uint8_t keep_player_widgets;
    uint8_t player_fullscreen;
    uint8_t audio_open;
    char current_media_path[PATH_SIZE];
    int32_t audio_stream;
    int32_t video_stream;
    int32_t subtitle_stream;
    PlayerButtonState player_buttons[PLAYER_BUTTON_COUNT];
    int32_t current_channel;
    int32_t current_list_index;

    // --- video output (render/) ---
    GlContext gl;
    int32_t orientation;             // 0..3, quarter turns
    int32_t aspect_mode;             // AspectMode of the video quad
    VideoGeometry video;             // the playing video's size and slot; zero = none
    int32_t player_bar_height;       // taken from the area on a portrait screen

    // --- UI toolkit (ui/) ---
    // surfaces, layers and layout
    struct TextureSlot* ui_slot;        // slot ui_surface is shown through
    uint8_t ui_fullscreen_layer;        // player shows ui_surface through the third layer
    struct TextureSlot* list_layer_slot; // on-screen list widget's own layer, null when none
    int32_t title_bar_height;
    int32_t bottom_bar_height;
    int32_t bottom_bar_y;               // surface height - bottom bar height
    int32_t list_pane_width;            // the right pane starts here
    int32_t dialog_top;
    int32_t info_pane_height;
    int32_t info_pane_width;
    int32_t info_pane_margin;
    int32_t info_pane_x;                // surface width - 294
    // widgets, registry and input
    int32_t list_offsets[8];            // list scroll offset per browse_mode
    uint8_t fling_active;               // a kinetic scroll is running
    uint8_t pointer_tracking;           // the browser tracks the pointer over its list
    uint8_t pointer_tracking_moved;     // ... and it has moved since the press
    uint8_t rotation_locked;            // set by the player: keep the orientation
    uint8_t player_overlay;             // set by the player: its overlay mode is on

    // --- playback engine (engine/) ---
    struct PlayerSession* session;      // the locally playing item, null when none
    // "now playing", written by media_open and kept up to date by the engine
    int64_t start_ms;                   // requested start (resume) position; input
    int64_t media_start_ms;             // container start time
    int32_t duration_ms;                // 0 = not given
    uint8_t duration_unknown;
    int64_t position_ms;                // position shown by the player screen
    int64_t shown_position_ms;
    int64_t audio_position_ms;          // the same, from the audio clock
    int32_t video_width;                // coded size of the video (0 = none)
    int32_t video_height;
    int32_t video_sar_num;
    int32_t video_sar_den;
    int32_t video_codec_id;
    int32_t audio_codec_id;
    int32_t audio_track_table[32];      // audio stream indices, stream order
    int32_t audio_track_count;
    uint8_t audio_only;                 // no video stream (covers do not count)
    uint8_t no_audio;
    uint8_t still_image;                // the video is a single picture codec
    uint8_t picture_mode;               // a still image without audio
    uint8_t yuv_path;                   // planes uploaded as Y, U, V
    uint8_t skip_first_picture;
    uint8_t slideshow;                  // started by the browser's "Slide Show"
    uint8_t no_video_open;              // the demux thread opened no video
    uint8_t no_audio_open;              // ... no audio
    char artist[64];
    char album[64];
    char genre[32];
    char cover_path[PATH_SIZE];
    char subtitle_path[PATH_SIZE];
    int32_t display_width;              // size the picture entry is allocated for
    int32_t display_height;
    int32_t display_aspect_num;         // width x SAR num, height x SAR den
    int32_t display_aspect_den;
    int64_t pending_seek_ms;            // -1 once the demux thread carried a seek out
    int32_t redraw_request_count;       // > 0: the refresh redraws the last picture
    uint8_t controls_visible;           // set by the player loop
    uint8_t player_screen_hidden;       // set by the player loop (library view)
    // Player-loop hooks, null = not installed: drawing the controls over the
    // picture (must present), and drawing the current subtitle text.
    void (*draw_player_overlay)(AppState* app);
    void (*draw_subtitle_text)(AppState* app, const char* text);

    // --- streamer client (streamer/) ---
    uint8_t stream_video_codec;      // 255 = none
    uint8_t stream_audio_codec;      // 255 = none
};

// Process-wide values that are not part of the record.
extern int32_t screen_width;
extern int32_t screen_height;
extern int32_t last_error;

// Takes the single AppState slot: zeroes it, marks it in use and creates the
// streamer-link mutex. Null when the slot is taken or the mutex fails.
AppState* app_create();
// Releases the slot taken by app_create.
void app_destroy(AppState* app);
