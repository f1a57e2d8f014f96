// Moving through the browser's lists: which path belongs to the current
// mode, what tapping a folder row does to the paths, the mode and the
// scroll memory, what Back leads to, and how a failed fill puts the view
// back. Pure state changes on the browser's part and the persisted paths
// (Settings browse_path_1 local, _2 remote, _3 UPnP container, _4 UPnP
// display); the screen opens the lists. Main thread only.
#pragma once

#include <cstdint>

#include "browser/browser_list.h"
#include "platform/data_paths.h"
#include "platform/settings.h"

extern const char PLAYLISTS_FOLDER[];  // "data/playlists/"
extern const char FAVORITES_FOLDER[];  // "data/favorites/"

// The path of the current mode: the playlists folder for modes 0 and 6, the
// recordings folder for mode 1, else the local, remote or UPnP display
// path. Never null.
const char* browser_current_path(const BrowserState* b, const Settings* s);
// The writable path of the current source (local, remote or UPnP display).
char* browser_source_path(BrowserState* b, Settings* s);

// Scroll memory: entering a folder saves the offset (while fewer than 255
// are saved) and starts at the top; leaving it takes the saved one back
// (or the top when none is saved).
void scroll_enter(ScrollMemory* m, int32_t* offset);
void scroll_leave(ScrollMemory* m, int32_t* offset);

// The parent of a local or display path: "/a/b/" gives "/a/", "/a/" gives
// "/", and "/" stays; a path without a final "/" loses its last part.
void path_parent(char* path);
// The parent of a UPnP object path: cut at its last "/}" (the server list
// "/" when there is none).
void upnp_object_parent(char* path);

enum NavigateResult : int {
    NAVIGATE_IGNORED = 0,  // nothing to do (or the new path would not fit)
    NAVIGATE_OPEN = 1,     // the list must be opened for the new place
    NAVIGATE_ITEM = 2,     // not a folder: the item action takes the row
};

// What a tap on row does to the navigation. For a folder: the new mode,
// source and paths, the previous path and the scroll memory (offsets are
// the per-mode scroll offsets). Does not clear the selection (the screen
// does, outside pickers).
int browser_navigate(BrowserState* b, Settings* s, int32_t* offsets, const MediaEntry* row);

enum BackResult : int {
    BACK_HOME = 0,         // the home screen
    BACK_SOURCE_HOME = 1,  // the home screen's entry for the current source
    BACK_PLAYLISTS = 2,    // the list of playlists
    BACK_FAVORITES = 3,    // the favorites
    BACK_RECORDINGS = 4,   // the recordings list
    BACK_PARENT_ROW = 5,   // as a tap on the first row (the ".." row)
};
// Where Back leads, with browser_screen_current telling whether the
// browser's screen is the current one.
int browser_back_target(const BrowserState* b, bool browser_screen_current);

// After a fill of the current list failed: closes the pickers (the
// subtitle picker's mode, source and path come back), then puts the
// previous place back. Returns true when there is no place to go back to
// (the caller shows the home screen); the source's path is then "/".
bool browser_fill_failed(BrowserState* b, Settings* s);
