#include "browser/playlist_ops.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "browser/media_types.h"
#include "browser/navigation.h"
#include "platform/media_enums.h"
#include "platform/text_copy.h"

const char PLAYLISTS_FULL[] =
    "Maximum number of playlists has been reached. Please delete a playlist to add another.";
const char PLAYLIST_NAME_EMPTY[] = "Please enter a non-empty playlist name.\n\n\n\n\n";
const char PLAYLIST_NAME_TAKEN[] = "A playlist with the chosen name already exists. Please enter a "
                                   "different playlist name.\n\n\n";
const char PLAYLIST_NAME_UNSAFE[] = "A playlist name cannot contain \"/\" or begin with \".\". "
                                    "Please enter a different playlist name.\n\n\n";
const char FAVORITES_UNDELETABLE[] =
    "Favorites list itself cannot be deleted. To delete your favorite items, please use Delete "
    "or Delete All from within favorites list";
const char FAVORITES_FULL[] = "Maximum number of favorites has been reached!";
const char PLAYLIST_ITEMS_FULL[] = "Maximum number of playlist items has been reached!";
const char PLAYLIST_PATH_TOO_LONG[] = "The path is too long to be added to a playlist.";
const char PLAYLIST_SAVE_FAILED[] = "The playlist could not be saved.";
const char PLAYLIST_DELETE_FAILED[] = "The playlist file could not be deleted.";
const char PLAYLIST_NAME_PROMPT[] = "Enter a descriptive name for the new playlist below.";
const char PLAYLIST_NAME_LABEL[] = "Playlist name:";
const char CONFIRM_DELETE_ITEM[] = "Are you sure you would like to delete this item?";
const char CONFIRM_EMPTY_PLAYLIST[] = "Are you sure you would like to empty this playlist?";

namespace {

constexpr const char* ADDED_FILE = "Added file %s to playlist %s.";
constexpr const char* ADDED_FOLDER = "Added folder %s to favorites list.";
constexpr const char* DEFAULT_NAME_PREFIX = "playlist_";
// The typed part of a name leaves room for ".vlpls" and the terminator, so
// that the file keeps the extension it is found by at the next start.
constexpr size_t TYPED_NAME_MAX = PLAYLIST_NAME_SIZE - 1 - (sizeof PLAYLIST_EXTENSION - 1);
constexpr const char* WEEKDAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Item type by source, for files and for folders.
constexpr PlaylistItemType FILE_TYPES[] = {ITEM_LOCAL_FILE, ITEM_REMOTE_FILE, ITEM_UPNP_ITEM};
constexpr PlaylistItemType FOLDER_TYPES[] = {ITEM_LOCAL_FOLDER, ITEM_REMOTE_FOLDER,
                                             ITEM_UPNP_CONTAINER};

int source_slot(int list_source)
{
    return list_source == SOURCE_STREAMER ? 1 : list_source == SOURCE_UPNP ? 2 : 0;
}

PlaylistRecord* record_at(PlaylistStore* s, int playlist)
{
    if (!s->records || playlist < 0 || playlist >= s->count)
        return nullptr;
    PlaylistRecord* r = &s->records[playlist];
    return r->in_use == 1 ? r : nullptr;
}

const PlaylistRecord* record_at(const PlaylistStore* s, int playlist)
{
    return record_at(const_cast<PlaylistStore*>(s), playlist);
}

const char* save(const PlaylistStore* s, const PlaylistRecord* r)
{
    return playlist_save(s->folder, r) == 0 ? nullptr : PLAYLIST_SAVE_FAILED;
}

bool is_full(const PlaylistRecord* r)
{
    return r->item_count + 1 >= PLAYLIST_ITEM_SLOTS;
}

// The name of a playlist without its ".vlpls".
std::string stem_of(const char* name)
{
    std::string stem(name);
    const size_t ext = sizeof PLAYLIST_EXTENSION - 1;
    if (stem.size() >= ext && stem.compare(stem.size() - ext, ext, PLAYLIST_EXTENSION) == 0)
        stem.resize(stem.size() - ext);
    return stem;
}

bool name_taken(const PlaylistStore* s, const std::string& name)
{
    for (int i = 0; i < s->count; ++i) {
        const std::string stem = stem_of(s->records[i].name);
        if (name.compare(0, stem.size(), stem) == 0)
            return true;
    }
    return false;
}

// out = a + b + c when it fits an item's name; false otherwise.
bool join_name(char* out, const char* a, const char* b, const char* c = "")
{
    const int n = std::snprintf(out, PATH_SIZE, "%s%s%s", a, b, c);
    return n >= 0 && static_cast<size_t>(n) < PATH_SIZE;
}

// The slot at index is opened up (the later items move up by one) and
// returned zeroed; the caller has checked that one more item fits.
PlaylistItem* open_slot(PlaylistRecord* r, int index)
{
    PlaylistItem* items = r->items;
    const int n = r->item_count;
    std::memmove(&items[index + 1], &items[index], sizeof(PlaylistItem) * (n - index));
    std::memset(&items[index], 0, sizeof(PlaylistItem));
    ++r->item_count;
    items[index].in_use = 1;
    return &items[index];
}

bool is_plain_folder(const PlaylistItem& item)
{
    return item.type == ITEM_LOCAL_FOLDER || item.type == ITEM_REMOTE_FOLDER;
}

// Where a folder goes: before the first local or remote folder item whose
// name is not smaller, else after the last of them; at the front when
// there is none, so that the folders stay ahead of the files.
int folder_position(const PlaylistRecord* r, const char* name)
{
    int after_last = 0;
    for (int i = 0; i < r->item_count; ++i) {
        const PlaylistItem& item = r->items[i];
        if (!is_plain_folder(item))
            continue;
        if (strncasecmp(item.name, name, PATH_SIZE) >= 0)
            return i;
        after_last = i + 1;
    }
    return after_last;
}

void remove_item(PlaylistRecord* r, int index)
{
    PlaylistItem* items = r->items;
    const int n = r->item_count;
    std::memmove(&items[index], &items[index + 1], sizeof(PlaylistItem) * (n - 1 - index));
    std::memset(&items[n - 1], 0, sizeof(PlaylistItem));
    --r->item_count;
}

int find_item(const PlaylistRecord* r, const char* name)
{
    for (int i = 0; i < r->item_count; ++i)
        if (std::strcmp(r->items[i].name, name) == 0)
            return i;
    return -1;
}

// What an item made from a row or a selection holds besides its place.
struct NewItem {
    PlaylistItemType type;
    const char* name;
    const char* url;
    const char* extra;  // PLAYLIST_EXTRA_SIZE bytes, or null
    int64_t size;
    int64_t mtime;
};

void fill_item(PlaylistItem* item, const NewItem& n)
{
    item->type = n.type;
    copy_text(item->name, sizeof item->name, n.name);
    copy_text(item->url, sizeof item->url, n.url);
    if (n.extra)
        std::memcpy(item->extra, n.extra, sizeof item->extra);
    item->size = n.size;
    item->mtime = n.mtime;
}

void add_folder_item(PlaylistRecord* r, const NewItem& n)
{
    fill_item(open_slot(r, folder_position(r, n.name)), n);
}

void add_file_item(PlaylistRecord* r, const NewItem& n)
{
    fill_item(open_slot(r, r->item_count), n);
}

// The item name a row of the source would have: source path + name, with a
// "/" after a folder's.
bool row_item_name(char* out, const char* source_path, const MediaEntry* row)
{
    const bool folder = entry_kind_is_folder(row->kind);
    return join_name(out, source_path, row->name, folder ? "/" : "");
}

bool is_dot_row(const MediaEntry* row)
{
    return std::strcmp(row->name, "..") == 0 || std::strcmp(row->name, ".") == 0;
}

NewItem item_from_row(int list_source, const char* name, const MediaEntry* row)
{
    const bool folder = entry_kind_is_folder(row->kind);
    const bool upnp = list_source == SOURCE_UPNP;
    const int slot = source_slot(list_source);
    NewItem n{folder ? FOLDER_TYPES[slot] : FILE_TYPES[slot],
              name,
              upnp ? row->path : "",
              upnp && !folder ? row->extra : nullptr,
              folder ? 0 : row->size,
              folder ? 0 : row->mtime};
    return n;
}

bool shows_media(const MediaEntry& row)
{
    if (entry_kind_is_folder(row.kind))
        return false;
    const int cls = media_class_of_name(row.name, row.media_class);
    return cls == MEDIA_CLASS_IMAGE || cls == MEDIA_CLASS_VIDEO || cls == MEDIA_CLASS_AUDIO;
}

}  // namespace

void playlist_default_name(time_t now, char* out, size_t size)
{
    tm t{};
    localtime_r(&now, &t);
    // The C library's fixed 24-character form, in English whatever the
    // locale, as asctime gives it.
    char when[64];
    std::snprintf(when, sizeof when, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", WEEKDAYS[t.tm_wday % 7],
                  MONTHS[t.tm_mon % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  1900 + t.tm_year);
    for (char* c = when; *c; ++c) {
        const bool alnum = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                           (*c >= '0' && *c <= '9');
        if (!alnum)
            *c = '_';
    }
    const std::string name = std::string(DEFAULT_NAME_PREFIX) + when;
    copy_text(out, size < PLAYLIST_NAME_SIZE ? size : PLAYLIST_NAME_SIZE, name.c_str());
}

const char* playlist_create_check(const PlaylistStore* store)
{
    return store->count >= MAX_PLAYLISTS ? PLAYLISTS_FULL : nullptr;
}

const char* playlist_create(PlaylistStore* store, const char* typed_name)
{
    if (const char* full = playlist_create_check(store))
        return full;
    if (!store->records)
        return PLAYLIST_SAVE_FAILED;
    if (typed_name[0] == '\0')
        return PLAYLIST_NAME_EMPTY;
    if (!playlist_name_is_safe(typed_name))
        return PLAYLIST_NAME_UNSAFE;
    const size_t typed = utf8_prefix_length(typed_name, std::strlen(typed_name), TYPED_NAME_MAX);
    const std::string name(typed_name, typed);
    if (name_taken(store, name))
        return PLAYLIST_NAME_TAKEN;
    PlaylistRecord* r = &store->records[store->count];
    playlist_record_clear(r);
    std::snprintf(r->name, sizeof r->name, "%s%s", name.c_str(), PLAYLIST_EXTENSION);
    r->in_use = 1;
    r->version = PLAYLIST_VERSION;
    if (const char* failed = save(store, r)) {
        playlist_record_clear(r);  // a playlist that cannot be kept is not made
        return failed;
    }
    ++store->count;
    return nullptr;
}

const char* playlist_delete(PlaylistStore* store, int playlist)
{
    if (playlist == 0)
        return FAVORITES_UNDELETABLE;
    if (!record_at(store, playlist))
        return nullptr;
    const std::string file = std::string(store->folder) + store->records[playlist].name;
    if (::unlink(file.c_str()) != 0 && errno != ENOENT)
        return PLAYLIST_DELETE_FAILED;  // it would come back at the next start
    for (int i = playlist; i + 1 < store->count; ++i)
        playlist_record_copy(&store->records[i], &store->records[i + 1]);
    playlist_record_clear(&store->records[store->count - 1]);
    --store->count;
    if (store->add_index == playlist)
        store->add_index = -1;
    else if (store->add_index > playlist)
        --store->add_index;
    return nullptr;
}

const char* playlist_item_remove(PlaylistStore* store, int playlist, int item)
{
    PlaylistRecord* r = record_at(store, playlist);
    if (!r || item < 0 || item >= r->item_count)
        return nullptr;
    remove_item(r, item);
    return save(store, r);
}

const char* playlist_clear(PlaylistStore* store, int playlist)
{
    PlaylistRecord* r = record_at(store, playlist);
    if (!r)
        return nullptr;
    std::memset(r->items, 0, sizeof(PlaylistItem) * r->item_count);
    r->item_count = 0;
    return save(store, r);
}

const char* playlist_item_move(PlaylistStore* store, int playlist, int item, bool up, int* moved_to)
{
    *moved_to = item;
    PlaylistRecord* r = record_at(store, playlist);
    if (!r || item < 0 || item >= r->item_count)
        return nullptr;
    const int other = up ? item - 1 : item + 1;
    if (other < 0 || other >= r->item_count)
        return nullptr;
    PlaylistItem* items = r->items;
    // Through the heap: an item is 3.6 KB, and the whole record is far from
    // the stack anyway.
    auto* held = static_cast<PlaylistItem*>(std::malloc(sizeof(PlaylistItem)));
    if (!held)
        return nullptr;
    std::memcpy(held, &items[item], sizeof *held);
    std::memcpy(&items[item], &items[other], sizeof *held);
    std::memcpy(&items[other], held, sizeof *held);
    std::free(held);
    *moved_to = other;
    return save(store, r);
}

const char* favorites_add_file(PlaylistStore* store, int list_source, const char* source_path,
                               const SelectedItem* selected)
{
    PlaylistRecord* r = record_at(store, 0);
    if (!r)
        return nullptr;
    if (is_full(r))
        return FAVORITES_FULL;
    char name[PATH_SIZE];
    if (!join_name(name, source_path, selected->display_name))
        return PLAYLIST_PATH_TOO_LONG;
    const bool upnp = list_source == SOURCE_UPNP;
    add_file_item(r, NewItem{FILE_TYPES[source_slot(list_source)], name,
                             upnp ? selected->play_path : "", upnp ? selected->upnp_extra : nullptr,
                             selected->size, selected->mtime});
    if (const char* failed = save(store, r))
        return failed;
    std::snprintf(store->message, sizeof store->message, ADDED_FILE, selected->display_name,
                  stem_of(r->name).c_str());
    return store->message;
}

const char* favorites_add_folder(PlaylistStore* store, int list_source, const char* source_path,
                                 const char* container_id)
{
    PlaylistRecord* r = record_at(store, 0);
    if (!r)
        return nullptr;
    if (is_full(r))
        return FAVORITES_FULL;
    char name[PATH_SIZE];
    if (!join_name(name, source_path, ""))
        return PLAYLIST_PATH_TOO_LONG;
    const bool upnp = list_source == SOURCE_UPNP;
    add_folder_item(r, NewItem{FOLDER_TYPES[source_slot(list_source)], name,
                               upnp ? container_id : "", nullptr, 0, 0});
    if (const char* failed = save(store, r))
        return failed;
    std::snprintf(store->message, sizeof store->message, ADDED_FOLDER, name);
    return store->message;
}

int playlist_add_begin(PlaylistStore* store, int playlist)
{
    if (playlist_add_active(store))
        playlist_add_done(store);
    const PlaylistRecord* r = record_at(store, playlist);
    if (!r)
        return -1;
    if (!store->add_backup)
        store->add_backup = static_cast<PlaylistRecord*>(std::calloc(1, sizeof(PlaylistRecord)));
    if (!store->add_backup)
        return -1;
    playlist_record_copy(store->add_backup, r);
    store->add_index = playlist;
    return 0;
}

bool playlist_add_active(const PlaylistStore* store)
{
    return store->add_index >= 0 && record_at(store, store->add_index) != nullptr;
}

const char* playlist_add_row(PlaylistStore* store, int list_source, const char* source_path,
                             const MediaEntry* row, bool* marked)
{
    *marked = false;
    PlaylistRecord* r = playlist_add_active(store) ? record_at(store, store->add_index) : nullptr;
    if (!r || is_dot_row(row))
        return nullptr;
    char name[PATH_SIZE];
    if (!row_item_name(name, source_path, row))
        return PLAYLIST_PATH_TOO_LONG;
    const int existing = find_item(r, name);
    if (existing >= 0) {
        remove_item(r, existing);
        return nullptr;
    }
    if (is_full(r))
        return PLAYLIST_ITEMS_FULL;
    const NewItem n = item_from_row(list_source, name, row);
    if (entry_kind_is_folder(row->kind))
        add_folder_item(r, n);
    else
        add_file_item(r, n);
    *marked = true;
    return nullptr;
}

const char* playlist_add_all(PlaylistStore* store, int list_source, const char* source_path,
                             const BrowserList* list)
{
    PlaylistRecord* r = playlist_add_active(store) ? record_at(store, store->add_index) : nullptr;
    if (!r)
        return nullptr;
    char name[PATH_SIZE];
    for (int i = 0; i < list->count; ++i) {
        const MediaEntry* row = &list->rows[i];
        if (!shows_media(*row))
            continue;
        if (is_full(r))
            return PLAYLIST_ITEMS_FULL;
        if (row_item_name(name, source_path, row))
            add_file_item(r, item_from_row(list_source, name, row));
    }
    return nullptr;
}

bool playlist_add_row_marked(const PlaylistStore* store, const char* source_path,
                             const MediaEntry* row)
{
    const PlaylistRecord* r = playlist_add_active(store) ? record_at(store, store->add_index)
                                                         : nullptr;
    char name[PATH_SIZE];
    return r && !is_dot_row(row) && row_item_name(name, source_path, row) &&
           find_item(r, name) >= 0;
}

const char* playlist_add_done(PlaylistStore* store)
{
    const PlaylistRecord* r = playlist_add_active(store) ? record_at(store, store->add_index)
                                                         : nullptr;
    store->add_index = -1;
    return r ? save(store, r) : nullptr;
}

void playlist_add_cancel(PlaylistStore* store)
{
    if (playlist_add_active(store))
        playlist_record_copy(&store->records[store->add_index], store->add_backup);
    store->add_index = -1;
}

void playlist_view(BrowserState* browser, int playlist)
{
    browser->selected = SelectedItem{};
    browser->highlighted_row = -1;
    copy_text(browser->previous_path, sizeof browser->previous_path, PLAYLISTS_FOLDER);
    browser->current_playlist = playlist;
    browser->previous_browse_mode = BROWSE_PLAYLISTS;
    browser->browse_mode = BROWSE_PLAYLIST_ITEMS;
}
