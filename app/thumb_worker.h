// The thumbnail worker: one thread for the run that makes the small
// thumbnails of the rows the icon view shows, one at a time and never while
// the list is flung, and the larger picture of the information panel, which
// comes first. It never touches the display rows: each thumbnail that
// becomes ready is queued and a user event (UI_EVENT_THUMBNAIL) asks the
// main thread to take the queue and redraw the list.
//
// Threads: thumb_worker_start and thumb_worker_stop belong to start-up and
// shutdown; the requests and thumb_take_ready to the main thread. The
// worker reads UiState::fling_active under the widget-registry lock.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct UiState;

// What the worker makes thumbnails with (the engine's maker and look-up).
struct ThumbMaker {
    // Makes the thumbnail of a size (0 small, 1 panel); 0 or -1.
    int (*make)(const char* path, int size);
    // The existing thumbnail file of a path in a size into out; false when none.
    bool (*lookup)(const char* path, int size, char* out, size_t out_size);
};

constexpr int THUMB_SIZE_SMALL = 0;
constexpr int THUMB_SIZE_PANEL = 1;

// Starts the thread; 0, or -1 when it cannot be made.
int thumb_worker_start(const UiState* ui, const ThumbMaker& maker);
// Stops the thread and waits for it (a thumbnail being made finishes first,
// within the maker's own time limit).
void thumb_worker_stop();

// The icon view's rows: one media path per row ("" for rows without a
// picture: folders, playlists). Replaces any earlier request; an empty
// vector cancels it.
void thumb_request_rows(std::vector<std::string> paths);
// The panel's picture of one item, served before any row.
void thumb_request_panel(const char* path);

// A thumbnail that became ready for a row of the current request.
struct ThumbReady {
    int row;
    std::string file;
};
// The existing thumbnail file of path in a size (main thread); false when
// there is none yet.
bool thumb_find(const char* path, int size, char* out, size_t out_size);
// Takes the thumbnails made since the last call (main thread).
std::vector<ThumbReady> thumb_take_ready();
// Whether the worker has tried the panel picture of path since it was asked
// for, whether or not it could make one (the panel then shows the file, or
// says there is none).
bool thumb_panel_done(const char* path);
