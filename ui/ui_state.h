// UiState: the part of AppState that the interface toolkit owns — the
// interface surface and its layer, the layout metrics of the current
// orientation, the per-list scroll memory, the pointer tracking of the
// browser, and the two requests that end the modal loop.
//
// Main thread only, except play_requested and abort_requested, which worker
// jobs and screens may set from any thread (atomic).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/media_enums.h"
#include "ui/surface.h"

struct AppState;
struct TextureSlot;

// A screen: draws itself and registers its widgets. The toolkit hands the
// application record through without looking into it.
using ScreenFn = void (*)(AppState* app);

struct UiState {
    Surface* ui_surface;                // the surface every screen draws into
    TextureSlot* ui_slot;               // slot ui_surface is shown through
    uint8_t ui_fullscreen_layer;        // player shows ui_surface through the third layer
    TextureSlot* list_layer_slot;       // on-screen list widget's own layer, null when none
    ScreenFn current_screen;            // null = the home screen
    std::atomic<uint8_t> play_requested;   // a screen chose something to play
    std::atomic<uint8_t> abort_requested;  // the user cancelled the running wait
    // layout metrics of the current orientation
    int32_t title_bar_height;
    int32_t bottom_bar_height;
    int32_t bottom_bar_y;               // surface height - bottom bar height
    int32_t list_pane_width;            // the right pane starts here
    int32_t dialog_top;
    int32_t info_pane_height;
    int32_t info_pane_width;
    int32_t info_pane_margin;
    int32_t info_pane_x;                // surface width - 294
    // widgets and input
    int32_t list_offsets[BROWSE_MODE_COUNT];  // list scroll offset per browse mode
    uint8_t fling_active;               // a kinetic scroll is running
    uint8_t pointer_tracking;           // the browser tracks the pointer over its list
    uint8_t pointer_tracking_moved;     // ... and it has moved since the press
    uint8_t rotation_locked;            // set by the player: keep the orientation
    uint8_t player_overlay;             // set by the player: its overlay mode is on
};
