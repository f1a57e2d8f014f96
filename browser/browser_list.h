// The browser's list model: one row record (MediaEntry) for every list the
// browser shows, the fixed 5,000-row table they are filled into, the row
// the user chose (SelectedItem), the play order, the per-mode scroll memory,
// and the browser's part of the application record (BrowserState).
//
// Threads: the table is filled by the browser's worker thread while the main
// thread waits in a modal wait box and does not touch it; everything else
// is main-thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "browser/entry_kind.h"
#include "platform/media_enums.h"
#include "platform/settings.h"

constexpr int MAX_BROWSER_ENTRIES = 5000;
constexpr int ENTRY_NAME_SIZE = 1024;
constexpr int ENTRY_DATE_SIZE = 40;
constexpr int ENTRY_INFO_SIZE = 16;
constexpr int ENTRY_EXTRA_SIZE = 1536;
constexpr int SCROLL_STACK_SIZE = 256;
constexpr int ROW_SPACING = 60;  // pixels between rows for scroll arithmetic

// One row of a list, copied whole.
struct MediaEntry {
    void* ref;                        // a renderer row's device record; otherwise null
    int32_t kind;                     // EntryKind
    int32_t source_index;             // a playlist row's item index; otherwise 0
    int32_t media_class;              // MediaClass given by the source (names without extension)
    int64_t size;                     // bytes; 0 for folders and where unknown
    int64_t mtime;                    // seconds since 1970 where known; else 0
    char name[ENTRY_NAME_SIZE];       // shown name, byte 1023 always NUL
    char date_text[ENTRY_DATE_SIZE];  // a UPnP source's date text
    char info[ENTRY_INFO_SIZE];       // right-hand text ("<DIR>", a size text, "n/a", ...)
    char path[ENTRY_NAME_SIZE];       // full path or URL where it differs from name
    char extra[ENTRY_EXTRA_SIZE];     // UPnP item data, opaque here
};
static_assert(offsetof(MediaEntry, kind) == 8);
static_assert(offsetof(MediaEntry, size) == 24);
static_assert(offsetof(MediaEntry, name) == 40);
static_assert(offsetof(MediaEntry, date_text) == 1064);
static_assert(offsetof(MediaEntry, info) == 1104);
static_assert(offsetof(MediaEntry, path) == 1120);
static_assert(offsetof(MediaEntry, extra) == 2144);
static_assert(sizeof(MediaEntry) == 3680);

// The table: rows [0, count) are in use; every byte past them is zero.
struct BrowserList {
    MediaEntry* rows;  // MAX_BROWSER_ENTRIES rows, made by browser_list_create
    int32_t count;
};

// Makes the table (all zero); false when memory runs out.
bool browser_list_create(BrowserList* list);
void browser_list_free(BrowserList* list);
// Zeroes the rows in use and the count: the rows past the count are zero
// already, so clearing the whole table costs only what was filled.
void browser_list_clear(BrowserList* list);
// The next free row, zeroed, with the count advanced; null when full.
MediaEntry* browser_list_add(BrowserList* list);
// Appends a row of the kind, name and info; null when full.
MediaEntry* browser_list_add_row(BrowserList* list, int kind, const char* name, const char* info);
// Copies rows and count of src into dst (both made by browser_list_create).
void browser_list_copy(BrowserList* dst, const BrowserList* src);

// The row the user chose: what the player and the playlists read.
struct SelectedItem {
    char play_path[PATH_SIZE];
    char display_name[PATH_SIZE];
    char subtitle_path[PATH_SIZE];
    char upnp_extra[ENTRY_EXTRA_SIZE];
    char info[ENTRY_INFO_SIZE];
    uint8_t is_remote;
    int32_t media_class;
    int64_t size;
    int64_t mtime;
};

// Continuous play through the list: built from the playable rows in list
// order and a shuffled copy; positions index both.
struct PlayOrder {
    int32_t sequential[MAX_BROWSER_ENTRIES];
    int32_t shuffled[MAX_BROWSER_ENTRIES];
    int32_t count;           // playable rows
    int32_t skipped;         // rows that are not playable
    int32_t built_for_rows;  // list row count the order was built for
    int32_t position;
    int32_t start;
    uint8_t reset;  // rebuild on the next step
};

// Per browse mode: the saved scroll offsets of the folders above.
struct ScrollMemory {
    int32_t saved[SCROLL_STACK_SIZE];
    int32_t depth;
};

// Which list view the browser shows.
enum BrowserView : int {
    VIEW_LIST = 0,
    VIEW_ICONS = 1,
};

// What a picker saved to restore when it closes.
struct PickerSave {
    int32_t browse_mode;
    int32_t list_source;
    char path[PATH_SIZE];           // the local or remote path shown before
    char previous_path[PATH_SIZE];  // and the previous path then
    int32_t highlighted_row;
};

// The browser's part of AppState (main thread only, except the table while
// the worker fills it, see above).
struct BrowserState {
    int32_t browse_mode;            // BrowseMode
    int32_t previous_browse_mode;   // restored by Back
    int32_t list_source;            // MediaSource
    char previous_path[PATH_SIZE];  // shown before the last navigation; "" none
    BrowserList list;
    BrowserList saved_list;      // the list shown before a picker opened
    uint8_t saved_list_pending;  // restore saved_list at the next draw
    ScrollMemory scroll[BROWSE_MODE_COUNT];
    uint8_t subtitle_picker;
    uint8_t charset_picker;
    uint8_t play_to_picker;
    uint8_t picked;  // a picker choice was just made
    PickerSave picker_save;
    SelectedItem selected;
    int32_t highlighted_row;  // -1 none
    int32_t current_playlist;
    int32_t selected_playlist_item;
    uint8_t software_decoding;  // per item; cleared when the highlighted row changes
    uint8_t resume;             // the next start keeps the resume position
    uint8_t playing_from_list;  // the item playing was chosen from the list (it may step on)
    int32_t view;               // BrowserView
    uint8_t list_refilled;
    uint8_t sort_requested;
    uint8_t view_changed;
    uint8_t loading;
    uint8_t details_pending;  // reopen the information panel when the list is filled
    int32_t fill_status;      // the worker's status: 1 success, else negative
    PlayOrder order;
    int32_t info_scroll;  // information panel's scroll position
};

// Is any picker open?
inline bool browser_picker_open(const BrowserState* b)
{
    return b->subtitle_picker || b->charset_picker || b->play_to_picker;
}
