// The browser's two playlist lists: the list of playlists (mode 6) and the
// items of one playlist (mode 0), as rows of the browser's table.
//
// Threads: the fills run on the browser's fill worker. They read the store
// bound at start-up (the list of playlists: each slot's head; the items:
// only the record the request names) and never change it; the main thread
// does not change the store while a fill runs (browser/playlist.h).
// playlist_fill_bind is start-up's, before any worker runs.
#pragma once

#include "browser/listing.h"
#include "browser/playlist.h"

// One row per playlist in use (kind 22): its name up to its last ".", and
// "<empty>", "<1 item>" or "<%d items>". 0.
int playlist_fill_list(BrowserList* list, const PlaylistStore* store);
// One row per item of the playlist, with source_index = the item's index;
// kind, info, path, size, time and extra by the item's type. 0, or -1 when
// the slot is not a playlist in use.
int playlist_fill_items(BrowserList* list, const PlaylistStore* store, int playlist);

// The two fills as browser sources (BrowserSources::playlists and
// ::playlist_items), reading the bound store; with none bound they list
// nothing.
void playlist_fill_bind(const PlaylistStore* store);
int playlist_source_list(BrowserList* list, const FillRequest* request);
int playlist_source_items(BrowserList* list, const FillRequest* request);
