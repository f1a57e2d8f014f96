// AppState: the one application record. It is taken once at start from a
// single-slot pool (app_create) and made of parts, each declared by the
// module that owns it: the flag word, the persisted Settings block, the
// application frame and navigation (here), the interface (ui/ui_state.h), the
// video output (render/video_output.h) and what is playing
// (engine/now_playing.h), the external subtitle cues (subtitles/cue_table.h),
// the local player (app/player.h), the browser (browser/browser_list.h), the
// playlists (browser/playlist.h) and the browser's information panel
// (app/info_panel.h). Lower layers take their own part, never the whole
// record.
//
// Threads: app_create and app_destroy run on the main thread, at start-up
// and at the very end of shutdown (after everything that lives in the record,
// the GL context included, is gone). `flags` is a FlagWord (any thread,
// through its helpers only); the other parts say which of their fields other
// threads write. `nav` is main-thread only: the listener hands its URL over
// through its own mailbox (app/listener.h).
#pragma once

#include <cstdint>

#include <SDL/SDL.h>

#include "app/info_panel.h"
#include "app/player.h"
#include "app/stream_player.h"
#include "browser/browser_list.h"
#include "browser/playlist.h"
#include "engine/now_playing.h"
#include "platform/app_flags.h"
#include "platform/flag_word.h"
#include "platform/settings.h"
#include "render/video_output.h"
#include "streamer/stream_session.h"
#include "streamer/streamer_link.h"
#include "subtitles/cue_table.h"
#include "ui/ui_state.h"

// Locks, threads and the native window: written at start-up and shutdown.
struct FrameState {
    SDL_mutex* streamer_link_lock;
    SDL_mutex* player_stream_lock;
    SDL_mutex* player_audio_lock;
    SDL_mutex* player_recording_lock;
    Uint32 main_thread_id;
    int32_t saved_width;  // window size kept while the player is full screen
    int32_t saved_height;
    unsigned long native_window;  // X11 Window of the SDL window, 0 when none
    void* native_display;         // X11 Display*
    SDL_Rect window_rect;
};

struct UpnpDevice;

constexpr size_t PLAY_TO_METADATA_SIZE = 1536;

// Where the user is and what was chosen: main thread only.
struct Navigation {
    uint8_t first_pass;
    uint8_t list_play;
    int32_t media_kind;                            // MediaKind
    int32_t source_kind;                           // SourceKind
    uint8_t play_to_active;                        // items play on play_to_renderer
    const UpnpDevice* play_to_renderer;            // valid for the whole run (upnp/device_list.h)
    char play_to_metadata[PLAY_TO_METADATA_SIZE];  // the item's DIDL-Lite for the renderer
    uint8_t player_fullscreen;
    uint8_t audio_open;
    char current_media_path[PATH_SIZE];
    int32_t current_channel;  // live: the row of the channel table playing, -1 = none
    int32_t channel_number;   // live: that entry's number ("Ch %d"), sent with stream starts
    int32_t current_list_index;
    uint8_t stream_video_codec;  // streamed item's codecs, 255 = none
    uint8_t stream_audio_codec;
};

struct AppState {
    FlagWord flags;
    Settings settings;
    FrameState frame;
    Navigation nav;
    UiState ui;
    VideoOutput out;
    NowPlaying now;
    CueTable cues;
    PlayerState player;
    BrowserState browser;
    PlaylistStore playlists;  // made at start-up, freed at shutdown (browser/playlist.h)
    InfoPanelState info_panel;
    StreamerLink link;           // the streamer connection (streamer/streamer_link.h)
    StreamSession stream;        // the session's rings (streamer/stream_session.h)
    StreamPlayer stream_player;  // the session's player (app/stream_player.h)
};

// Process-wide: the result of the last dispatch, shown by the next screen.
extern int32_t last_error;

// Takes the single AppState slot: value-initialises it, marks it in use and
// creates the streamer-link mutex. Null when the slot is taken or the mutex
// fails.
AppState* app_create();
// Releases the slot taken by app_create (null or a stranger is ignored): the
// mutex goes and the slot is wiped, so the record must not be used after.
void app_destroy(AppState* app);
