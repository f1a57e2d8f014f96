// Filling the browser's table for the current list: local folders, the
// local root, remote folder listings, and the sources that other modules
// plug in (playlists, the streamer, UPnP servers and renderers).
//
// Threads: browser_fill_list and the fill functions run on the browser's
// worker thread (or a test's); they touch only the table and the request
// they are given. The source hooks are set by start-up before any worker
// runs. remote_listing_parse is a pure function of its arguments.
#pragma once

#include <cstddef>
#include <cstdint>

#include "browser/browser_list.h"

// What to list: a copy of the navigation taken when the worker starts, so
// the worker never reads fields the main thread may change.
struct FillRequest {
    int32_t browse_mode;
    int32_t list_source;
    char path[PATH_SIZE];  // the current path of the mode
    const char* filter;    // listing filter (browser_filter_for)
    uint8_t charset_picker;
    uint8_t play_to_picker;
    int32_t current_playlist;
};

// A source that fills rows into the table; returns 0 or a negative
// ResultCode. Null hooks mean the source is not available.
using SourceFill = int (*)(BrowserList* list, const FillRequest* request);

struct BrowserSources {
    SourceFill playlists;       // the list of playlists (mode 6)
    SourceFill playlist_items;  // the items of the current playlist (mode 0)
    SourceFill charsets;        // the character-set picker's rows
    SourceFill renderers;       // the Play To picker's rows
    SourceFill remote;          // a streamer folder
    SourceFill upnp;            // UPnP servers ("/") and containers
};
// Installs the hooks (start-up, before any worker runs).
void browser_set_sources(const BrowserSources& sources);

// The listing filter: subtitles in the subtitle picker, media without
// pictures for the streamer, media with pictures otherwise.
const char* browser_filter_for(int list_source, bool subtitle_picker);

// Fills the table (cleared first) for the request: the pickers, then the
// mode, then the source. 0, ERR_FOLDER_OPEN (-1) for a folder that cannot
// be read, or the status of the source.
int browser_fill_list(BrowserList* list, const FillRequest* request);

// One row per folder of path (with ".." first when with_parent) and per regular file whose name the filter takes; hidden and empty
// names are skipped. -1 when the folder cannot be read.
int fill_local_folder(BrowserList* list, const char* path, const char* filter, bool with_parent);

// A remote folder listing (records of name, NUL, type byte) into rows; see
// the .cpp for the rules. Reads at most length bytes of buffer.
void remote_listing_parse(BrowserList* list, const char* path, const char* filter,
                          const uint8_t* buffer, size_t length);
