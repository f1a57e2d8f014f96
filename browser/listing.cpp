#include "browser/listing.h"

#include <cstdio>
#include <cstring>

#include "browser/media_types.h"
#include "browser/navigation.h"
#include "platform/dir.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"

namespace {

BrowserSources g_sources{};

constexpr const char* DIR_INFO = "<DIR>";
constexpr const char* NOT_AVAILABLE = "n/a";
constexpr const char* PARENT = "..";
constexpr const char* NAME_TOO_LONG = "Name too long!";
constexpr const char* READ_ERROR = "Error reading folder!";

bool is_root(const char* path)
{
    return std::strcmp(path, "/") == 0;
}

int run_source(SourceFill fill, BrowserList* list, const FillRequest* request, int missing)
{
    return fill ? fill(list, request) : missing;
}

// Size, time and info of a listed file or folder from its status.
void add_status(MediaEntry* e, const char* full_path)
{
    int64_t size = 0;
    int64_t mtime = 0;
    if (file_status(full_path, &size, &mtime) != 0) {
        copy_text(e->info, sizeof e->info, NOT_AVAILABLE);
        return;
    }
    e->mtime = mtime;
    if (e->kind == ENTRY_FOLDER) {
        copy_text(e->info, sizeof e->info, DIR_INFO);
        return;
    }
    e->size = size;
    size_text(static_cast<uint64_t>(size), e->info, sizeof e->info);
}

bool listed(const DirRecord& r, const char* filter)
{
    if (r.name[0] == '\0' || r.name[0] == '.')
        return false;
    if (r.type == DIR_ENTRY_FOLDER)
        return true;
    return r.type == DIR_ENTRY_FILE && extension_filter_match(r.name, filter);
}

}  // namespace

void browser_set_sources(const BrowserSources& sources)
{
    g_sources = sources;
}

const char* browser_filter_for(int list_source, bool subtitle_picker)
{
    if (subtitle_picker)
        return FILTER_SUBTITLES;
    return list_source == SOURCE_STREAMER ? FILTER_MEDIA_WITHOUT_IMAGES : FILTER_MEDIA_WITH_IMAGES;
}

int fill_local_folder(BrowserList* list, const char* path, const char* filter, bool with_parent)
{
    DirHandle* dir = dir_open(path);
    if (!dir)
        return ERR_GENERIC;
    if (with_parent)
        browser_list_add_row(list, ENTRY_FOLDER, PARENT, DIR_INFO);
    char full[PATH_SIZE * 2];
    while (const DirRecord* r = dir_read(dir)) {
        if (!listed(*r, filter))
            continue;
        MediaEntry* e = browser_list_add(list);
        if (!e)
            break;  // the table is full: the rest is not shown
        e->kind = r->type;
        copy_text(e->name, sizeof e->name, r->name);
        int n = std::snprintf(full, sizeof full, "%s%s", path, r->name);
        // A path that does not fit the row cannot be played or opened:
        // keep it shown, marked like an unreadable file.
        if (n < 0 || static_cast<size_t>(n) >= sizeof e->path) {
            copy_text(e->info, sizeof e->info, NOT_AVAILABLE);
            continue;
        }
        std::memcpy(e->path, full, static_cast<size_t>(n) + 1);
        add_status(e, full);
    }
    dir_close(dir);
    return 0;
}

int browser_fill_list(BrowserList* list, const FillRequest* request)
{
    browser_list_clear(list);
    if (request->charset_picker)
        return run_source(g_sources.charsets, list, request, 0);
    if (request->play_to_picker)
        return run_source(g_sources.renderers, list, request, 0);
    switch (request->browse_mode) {
    case BROWSE_PLAYLISTS: return run_source(g_sources.playlists, list, request, 0);
    case BROWSE_PLAYLIST_ITEMS: return run_source(g_sources.playlist_items, list, request, 0);
    case BROWSE_RECORDINGS:
        return fill_local_folder(list, RECORDINGS_FOLDER, request->filter, false);
    default: break;
    }
    switch (request->list_source) {
    case SOURCE_STREAMER: return run_source(g_sources.remote, list, request, ERR_GENERIC);
    case SOURCE_UPNP: return run_source(g_sources.upnp, list, request, ERR_NO_UPNP_SERVER);
    default:
        return fill_local_folder(list, request->path, request->filter, !is_root(request->path));
    }
}

namespace {

// Whether the listing itself brings a parent row (any ".." in it).
bool has_double_dot(const uint8_t* buffer, size_t length)
{
    for (size_t i = 1; i < length; ++i)
        if (buffer[i] == '.' && buffer[i - 1] == '.')
            return true;
    return false;
}

// One record's row. Type 'd' is a folder, 'l' a folder by absolute name,
// 'v' an item of its own kind; anything else a file, listed only when the
// filter takes its name.
void add_record(BrowserList* list, const char* name, uint8_t type, const char* filter)
{
    switch (type) {
    case 'd': browser_list_add_row(list, ENTRY_FOLDER, name, DIR_INFO); break;
    case 'l': browser_list_add_row(list, ENTRY_REMOTE_ABSOLUTE_DIR, name, DIR_INFO); break;
    case 'v': browser_list_add_row(list, ENTRY_REMOTE_V, name, ""); break;
    default:
        if (extension_filter_match(name, filter))
            browser_list_add_row(list, ENTRY_FILE, name, "");
        break;
    }
}

}  // namespace

// Records are: name bytes, a NUL, one type byte. An empty name ends the
// listing with an error row; a name of 1,024 bytes or more becomes the row
// "Name too long!" and the listing goes on. A record cut off by the end of
// the buffer (no NUL, or no type byte after it) ends the listing: nothing
// past length is ever read.
void remote_listing_parse(BrowserList* list, const char* path, const char* filter,
                          const uint8_t* buffer, size_t length)
{
    if (!is_root(path) && !has_double_dot(buffer, length))
        browser_list_add_row(list, ENTRY_FOLDER, PARENT, DIR_INFO);
    size_t at = 0;
    while (at < length && list->count < MAX_BROWSER_ENTRIES) {
        const auto* start = buffer + at;
        const auto* nul = static_cast<const uint8_t*>(std::memchr(start, 0, length - at));
        if (!nul || nul + 1 >= buffer + length)
            break;
        size_t name_length = static_cast<size_t>(nul - start);
        if (name_length == 0) {
            browser_list_add_row(list, ENTRY_MESSAGE, READ_ERROR, "");
            break;
        }
        if (name_length >= ENTRY_NAME_SIZE)
            browser_list_add_row(list, ENTRY_MESSAGE, NAME_TOO_LONG, "");
        else
            add_record(list, reinterpret_cast<const char*>(start), nul[1], filter);
        at += name_length + 2;
    }
}
