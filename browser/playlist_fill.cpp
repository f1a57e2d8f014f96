#include "browser/playlist_fill.h"

#include <cstdio>
#include <cstring>

#include "browser/entry_kind.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"

namespace {

const PlaylistStore* g_store = nullptr;

// How an item of each type is listed: its row kind, its info text, and
// which of its fields the row carries.
struct ItemRow {
    int kind;
    const char* info;
    bool path_is_name;  // the row's path is the item's name (local files)
    bool path_is_url;   // the row's path is the item's URL, extra copied (UPnP)
    bool size;          // the size is copied
    bool mtime;         // the modification time is copied
};

constexpr ItemRow ITEM_ROWS[PLAYLIST_ITEM_TYPE_COUNT] = {
    {ENTRY_PLAYLIST_LOCAL, "<local>", true, false, true, true},       // local file
    {ENTRY_PLAYLIST_REMOTE, "<remote>", false, false, false, false},  // remote file
    {ENTRY_FOLDER, "<DIR>", false, false, false, true},               // local folder
    {ENTRY_PLAYLIST_REMOTE_DIR, "<DIR>", false, false, false, true},  // remote folder
    {ENTRY_PLAYLIST_UPNP_DIR, "<upnp>", false, true, true, true},     // UPnP container
    {ENTRY_PLAYLIST_UPNP_ITEM, "<upnp>", false, true, true, true},    // UPnP item
};

void count_text(int32_t count, char* out, size_t size)
{
    if (count == 0)
        copy_text(out, size, "<empty>");
    else if (count == 1)
        copy_text(out, size, "<1 item>");
    else
        std::snprintf(out, size, "<%d items>", count);
}

void add_item_row(BrowserList* list, const PlaylistItem& item, int index)
{
    if (item.type < 0 || item.type >= PLAYLIST_ITEM_TYPE_COUNT)
        return;  // never in a loaded record; kept out of the table all the same
    const ItemRow& how = ITEM_ROWS[item.type];
    MediaEntry* e = browser_list_add_row(list, how.kind, item.name, how.info);
    if (!e)
        return;
    e->source_index = index;
    if (how.path_is_name)
        copy_text(e->path, sizeof e->path, item.name);
    if (how.path_is_url) {
        copy_text(e->path, sizeof e->path, item.url);
        std::memcpy(e->extra, item.extra, sizeof e->extra);
    }
    e->size = how.size ? item.size : 0;
    e->mtime = how.mtime ? item.mtime : 0;
}

}  // namespace

int playlist_fill_list(BrowserList* list, const PlaylistStore* store)
{
    for (int i = 0; store->records && i < MAX_PLAYLISTS; ++i) {
        const PlaylistRecord& body = store->records[i];
        if (body.in_use != 1)
            break;
        char name[PLAYLIST_NAME_SIZE];
        copy_text(name, sizeof name, body.name);
        if (char* dot = std::strrchr(name, '.'))
            *dot = '\0';
        char info[ENTRY_INFO_SIZE];
        count_text(body.item_count, info, sizeof info);
        if (!browser_list_add_row(list, ENTRY_PLAYLIST, name, info))
            break;
    }
    return 0;
}

int playlist_fill_items(BrowserList* list, const PlaylistStore* store, int playlist)
{
    if (!store->records || playlist < 0 || playlist >= MAX_PLAYLISTS)
        return ERR_GENERIC;
    const PlaylistRecord& body = store->records[playlist];
    if (body.in_use != 1)
        return ERR_GENERIC;
    for (int i = 0; i < body.item_count && i < PLAYLIST_ITEM_SLOTS; ++i)
        add_item_row(list, body.items[i], i);
    return 0;
}

void playlist_fill_bind(const PlaylistStore* store)
{
    g_store = store;
}

int playlist_source_list(BrowserList* list, const FillRequest*)
{
    return g_store ? playlist_fill_list(list, g_store) : 0;
}

int playlist_source_items(BrowserList* list, const FillRequest* request)
{
    return g_store ? playlist_fill_items(list, g_store, request->current_playlist) : 0;
}
