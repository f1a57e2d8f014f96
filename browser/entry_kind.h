// Kinds of the rows of a browser list. The numbers are stored in playlist
// rows and compared by every module that reads a list, so they are fixed.
#pragma once

enum EntryKind : int {
    ENTRY_MESSAGE = 0,  // "Name too long!", "Error reading folder!", or neither file nor folder
    ENTRY_FOLDER = 4,   // folder, "..", the root, remote folder, UPnP container or server
    ENTRY_FILE = 8,     // local or remote file; also a character-set row
    ENTRY_PLAYLIST_LOCAL = 15,       // playlist item: local file
    ENTRY_PLAYLIST_REMOTE = 16,      // playlist item: remote (streamer) file
    ENTRY_PLAYLIST_REMOTE_DIR = 17,  // playlist item: remote folder
    ENTRY_REMOTE_ABSOLUTE_DIR = 18,  // remote folder given by absolute name (listing type 'l')
    ENTRY_REMOTE_V = 19,             // remote item of listing type 'v'
    ENTRY_PLAYLIST_UPNP_ITEM = 20,   // playlist item or listing row: UPnP item
    ENTRY_PLAYLIST_UPNP_DIR = 21,    // playlist item: UPnP container
    ENTRY_PLAYLIST = 22,             // a playlist in the list of playlists
    ENTRY_RENDERER = 23,             // a UPnP renderer (Play To target)
};

// Folder-like rows navigate when tapped; the others go to the item action.
constexpr bool entry_kind_is_folder(int kind)
{
    return kind == ENTRY_FOLDER || kind == ENTRY_PLAYLIST_REMOTE_DIR ||
           kind == ENTRY_REMOTE_ABSOLUTE_DIR || kind == ENTRY_PLAYLIST_UPNP_DIR;
}

// Rows the play order steps through.
constexpr bool entry_kind_is_playable(int kind)
{
    return kind == ENTRY_FILE || kind == ENTRY_PLAYLIST_LOCAL || kind == ENTRY_PLAYLIST_REMOTE ||
           kind == ENTRY_PLAYLIST_UPNP_ITEM;
}

// Only these stay ahead of files when a list is sorted.
constexpr bool entry_kind_sorts_first(int kind)
{
    return kind == ENTRY_FOLDER || kind == ENTRY_PLAYLIST_REMOTE_DIR;
}

// The sort keys (setting sort_key); the odd keys are the descending ones.
enum SortKey : int {
    SORT_NAME_UP = 0,
    SORT_NAME_DOWN = 1,
    SORT_DATE_UP = 2,
    SORT_DATE_DOWN = 3,
    SORT_SIZE_UP = 6,
    SORT_SIZE_DOWN = 7,
};
