// The browser's file information panel: the area right of the list column,
// between the top and bottom bars, that describes the selected item (name,
// size, picture size, length, bit rate) and lets the user choose its video,
// audio and subtitle tracks and software decoding before playing it.
//
// Contract:
// - info_panel_open reads the description of app->browser.selected (a local
//   file or a URL; a streamer item has none yet) into the panel's part of
//   AppState and draws the panel. The description comes from the information
//   cache when the item is there; otherwise it blocks while it reads (a URL
//   at most MEDIA_INFO_DEADLINE_MS) and stores what it read in the cache.
//   The scroll position (browser.info_scroll) is kept when the item is the
//   one shown before, else it starts at the top.
// - The picture (setting large_thumbnails): the item's panel thumbnail when
//   one was made before; else, for a local item with a video stream or a
//   cover, the thumbnail worker is asked for it and the panel says so until
//   the worker answers (info_panel_picture_arrived).
// - info_panel_draw draws from the kept description; it reads only when the
//   selected item is not the one described (the screen changed it without
//   opening the panel). A file that cannot be read shows the panel without
//   stream information. Neither function presents: the caller presents with
//   the rest of its screen. The panel's own actions (a tap on a check box, a
//   drag) redraw the panel and present.
// - Drawing touches only the panel's rectangle of ui.ui_surface.
// - Widgets: one check box per listed stream (at most MEDIA_INFO_MAX_STREAMS),
//   one "Software decoding" check box and, when the content is taller than
//   the panel, one invisible drag area over the panel: at most 10 widgets
//   and 10 registry slots (SLOT_PRESS for the boxes, SLOT_DRAG for the
//   area). They are made at the first draw for an item and kept while the
//   same item is redrawn; boxes scrolled out of view stay registered but
//   disabled. A screen that clears the registry and the widgets for its
//   own redraw gets them made again by its next info_panel_draw; the panel
//   never frees a widget it did not make. No widget of the screen may lie
//   over the panel: the drag area takes every press there that no box takes.
// - Threads: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/media_info.h"
#include "platform/settings.h"

struct AppState;
struct SDL_Surface;
struct Widget;

// The "Software decoding" box among the panel's boxes (after the stream kinds).
constexpr int INFO_BOX_SOFTWARE = STREAM_KIND_COUNT;
constexpr int INFO_PANEL_MAX_BOXES = MEDIA_INFO_MAX_STREAMS + 1;
constexpr int TRACK_LABEL_SIZE = 256;  // "Strm #n: " + description + charset or rate

// One check box of the panel: what it stands for and its widget (null when
// none could be made).
struct InfoPanelBox {
    int32_t kind;          // StreamKind, or INFO_BOX_SOFTWARE
    int32_t stream_index;  // the stream's index in the container
    Widget* widget;
};

// The panel's part of AppState (main thread only).
struct InfoPanelState {
    char path[PATH_SIZE];    // the item `media` was read for; "" = none yet
    uint8_t has_media;       // the item was read: `media` holds its streams
    uint8_t remote_pending;  // a streamer item whose description is being fetched
    MediaInfo media;
    InfoPanelBox boxes[INFO_PANEL_MAX_BOXES];
    int32_t box_count;
    Widget* drag_area;         // null while the content fits the panel
    int32_t content_height;    // of the last draw, pixels
    int32_t drag_base_scroll;  // scroll and pointer y at the start of a drag
    int32_t drag_base_y;
    // The panel picture of `path` (owned; null = none) and whether the
    // thumbnail worker was asked for it and has not answered yet.
    SDL_Surface* picture;
    uint8_t picture_waiting;
};

void info_panel_open(AppState* app);
void info_panel_draw(AppState* app);
// After the thumbnail worker's event: whether the panel was waiting for its
// picture and the worker has answered (the caller then redraws the panel).
bool info_panel_picture_arrived(const AppState* app);
// Frees the panel picture (shutdown; the panel makes it again when drawn).
void info_panel_release(AppState* app);

// ---- the pure rules and texts of the panel (any thread) ---------------------

// The stream choice of `kind` after the user tapped the box of stream_index,
// which now shows `checked`: video and audio boxes are radio buttons (the
// tapped stream becomes the choice); a subtitle box toggles between its
// stream and SUBTITLES_OFF.
int track_choice_after_tap(int kind, int stream_index, bool checked);
// Whether the box of stream_index shows checked, given the kind's choice and
// how many streams of that kind are listed: a video or audio kind with one
// stream shows it checked; otherwise only the chosen stream's box is.
bool track_box_checked(int kind, int choice, int stream_index, int streams_of_kind);
// "Strm #<index>: " and the description; a subtitle gets " - " and the
// character set, a video that is not a cover and has a frame rate gets
// ", %2.2f fps".
void track_label(const StreamInfo& stream, const char* charset, char* out, size_t out_size);
// "%02d:%02d:%02d" (hours, minutes, seconds) of a length, "N/A" when 0.
void length_text(int64_t duration_ms, char* out, size_t out_size);
