// The interface layers: software surfaces shown on screen through a GL
// texture slot each, and the layout metrics that follow the orientation.
//
// create_ui_surfaces makes the landscape layer (out->screen_width x
// out->screen_height); the portrait layer (the sides swapped) and a third
// full-screen slot the player can select instead of the landscape slot are
// made when first needed.
// apply_orientation picks the layer for an orientation (upright and half
// turn landscape, the quarter turns portrait), places its quad, sets the
// layout metrics in UiState and shows it. The layers are process-wide and
// owned here (free_ui_surfaces). Everything here runs on the main thread
// with the GL context current.
#pragma once

#include <cstdint>

#include "ui/surface.h"

struct TextureSlot;
struct UiState;
struct VideoOutput;

// A software surface and the nearest-filtered RGBA slot it is shown
// through. Either may be null (the third layer has no surface).
struct UiLayer {
    Surface* surface;
    TextureSlot* slot;
};

// The process-wide layers.
enum UiLayerId : int {
    UI_LAYER_LANDSCAPE = 0,   // screen_width x screen_height
    UI_LAYER_PORTRAIT = 1,    // screen_height x screen_width
    UI_LAYER_FULLSCREEN = 2,  // slot only, screen_width x screen_height
    UI_LAYER_OVERLAY = 3,     // video overlay (window size), made on resize
    UI_LAYER_COUNT = 4,
};

// Layout metrics (pixels); UiState holds the values of the current
// orientation, including the ones that depend on the surface size.
constexpr int TITLE_BAR_HEIGHT = 70;
constexpr int BOTTOM_BAR_HEIGHT = 70;
constexpr int LIST_PANE_WIDTH = 420;
constexpr int DIALOG_TOP = 100;
constexpr int INFO_PANE_HEIGHT = 160;
constexpr int INFO_PANE_WIDTH = 284;
constexpr int INFO_PANE_MARGIN = 80;
constexpr int INFO_PANE_RIGHT_OFFSET = 294;  // info pane x = surface width - 294

// A layer by id; never null (its fields are null while not created).
UiLayer* ui_layer(int id);

// Creates the landscape layer for out's screen size; the portrait and third
// layers are made when first used. 0, or -1 when the surface or slot cannot
// be made (nothing is kept then).
int create_ui_surfaces(const VideoOutput* out);
// The layer of an orientation: landscape, or portrait (made on first use;
// landscape again when it cannot be made).
UiLayer* orientation_layer(int orientation);
// Frees every layer's surface and slot (the overlay layer's too).
void free_ui_surfaces();
// Frees one layer (the player frees its window-sized overlay when it leaves).
void free_ui_layer(int id);

// Stores the orientation, turns the on-screen list layer, selects
// ui_surface and ui_slot (unless the player shows the video overlay
// surface), places the quad, sets the layout metrics and presents the
// surface. Always 0.
int apply_orientation(UiState* ui, VideoOutput* out, int orientation);

// Places a layer slot's quad over the window in the current orientation
// (rectangle 0, 0, width, height).
void place_ui_layer(const VideoOutput* out, TextureSlot* slot, int width, int height);

// Fills surface with alpha << 24 (0: transparent, 0xFF: opaque black) and
// shows it in both buffers through the current layer slot; without a
// surface clears both buffers to transparent black.
void present_ui_layer(const UiState* ui, Surface* surface, int alpha);

// Rebuilds the window-sized parts for a new window size: shows the current
// layer as opaque black when the size changes, replaces the video overlay
// layer (made only when the size differs from the screen; ui_surface follows
// it when it showed the old one) and refits the window-sized artwork. The
// caller then stores the window size, sets the viewport and applies the
// orientation again. 0, or -1 when the overlay or the artwork fails.
int resize_layers(UiState* ui, const VideoOutput* out, int width, int height);

// Uploads the whole ui_surface through the current slot (the third layer's
// while the player selected it) and presents it.
void present_ui_surface(const UiState* ui);
