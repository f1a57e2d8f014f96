// UiState: the part of AppState that the interface toolkit owns — the
// interface surface and its layer, the layout metrics of the current
// orientation, the per-list scroll memory, the pointer tracking of the
// browser, the two requests that end the modal loop, and what the toolkit
// reads from the other parts (wired once by start-up).
//
// Threads: main thread only, except
// - play_requested and abort_requested: any thread (atomic);
// - fling_active: written under the widget-registry lock (the thumbnail
//   worker reads it there);
// - pointer_tracking, pointer_tracking_moved: written under the screen lock.
// The pointers below are set by start-up before any thread starts and never
// change afterwards.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/flag_word.h"
#include "platform/media_enums.h"
#include "ui/surface.h"

// The application record, opaque to the toolkit: it is handed to screens,
// actions and hooks, never looked into.
struct AppState;
struct Settings;
struct TextureSlot;

// A screen: draws itself and registers its widgets.
using ScreenFn = void (*)(AppState* app);

struct UiState {
    // Wired by start-up.
    AppState* owner;            // handed to screens, actions and hooks
    const Settings* settings;   // read: auto_rotate; null = defaults (off)
    const FlagWord* app_flags;  // read: APP_PLAYER_SCREEN; null = never set
    // The interface surface and the screen on it.
    Surface* ui_surface;                   // the surface every screen draws into
    TextureSlot* ui_slot;                  // slot ui_surface is shown through
    uint8_t ui_fullscreen_layer;           // player shows ui_surface through the third layer
    TextureSlot* list_layer_slot;          // on-screen list widget's own layer, null when none
    ScreenFn current_screen;               // null = the home screen
    std::atomic<uint8_t> play_requested;   // a screen chose something to play
    std::atomic<uint8_t> abort_requested;  // the user cancelled the running wait
    // layout metrics of the current orientation
    int32_t title_bar_height;
    int32_t bottom_bar_height;
    int32_t bottom_bar_y;     // surface height - bottom bar height
    int32_t list_pane_width;  // the right pane starts here
    int32_t dialog_top;
    int32_t info_pane_height;
    int32_t info_pane_width;
    int32_t info_pane_margin;
    int32_t info_pane_x;  // surface width - 294
    // widgets and input
    int32_t list_offsets[BROWSE_MODE_COUNT];  // list scroll offset per browse mode
    uint8_t fling_active;                     // a kinetic scroll is running
    uint8_t pointer_tracking;                 // the browser tracks the pointer over its list
    uint8_t pointer_tracking_moved;           // ... and it has moved since the press
    uint8_t rotation_locked;                  // set by the player: keep the orientation
    uint8_t player_overlay;                   // set by the player: its overlay mode is on
    uint8_t keep_player_widgets;  // set by the player: its widgets react while it owns the screen
    uint8_t library_shown;        // set by the player: the library hides its screen and reacts
};
