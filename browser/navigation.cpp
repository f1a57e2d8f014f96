#include "browser/navigation.h"

#include <cstdio>
#include <cstring>

#include "platform/text_copy.h"

const char PLAYLISTS_FOLDER[] = "data/playlists/";
const char FAVORITES_FOLDER[] = "data/favorites/";

namespace {

constexpr const char* ROOT = "/";

bool ends_with_slash(const char* s)
{
    size_t n = std::strlen(s);
    return n > 0 && s[n - 1] == '/';
}

bool is_root(const char* s)
{
    return std::strcmp(s, ROOT) == 0;
}

void set_root(char* path)
{
    copy_text(path, PATH_SIZE, ROOT);
}

// Appends parts to path only when all of them fit; false leaves it as it was.
bool append_all(char* path, const char* a, const char* b)
{
    size_t n = std::strlen(path);
    size_t la = std::strlen(a);
    size_t lb = std::strlen(b);
    if (n + la + lb >= PATH_SIZE)
        return false;
    std::memcpy(path + n, a, la);
    std::memcpy(path + n + la, b, lb + 1);
    return true;
}

void switch_mode(BrowserState* b, int mode, int source)
{
    b->previous_browse_mode = b->browse_mode;
    b->browse_mode = mode;
    b->list_source = source;
}

// A folder item of a playlist opens in the list of its own source.
int enter_playlist_folder(BrowserState* b, Settings* s, const MediaEntry* row)
{
    switch (row->kind) {
    case ENTRY_FOLDER:
        copy_text(s->browse_path_1, PATH_SIZE, row->path[0] ? row->path : row->name);
        copy_text(b->previous_path, PATH_SIZE, FAVORITES_FOLDER);
        switch_mode(b, BROWSE_LOCAL, SOURCE_LOCAL);
        break;
    case ENTRY_PLAYLIST_REMOTE_DIR:
    case ENTRY_REMOTE_ABSOLUTE_DIR:
        copy_text(s->browse_path_2, PATH_SIZE, row->path[0] ? row->path : row->name);
        switch_mode(b, BROWSE_REMOTE, SOURCE_STREAMER);
        break;
    case ENTRY_PLAYLIST_UPNP_DIR:
        copy_text(s->browse_path_4, PATH_SIZE, row->name);
        copy_text(s->browse_path_3, PATH_SIZE, row->path[0] ? row->path : ROOT);
        switch_mode(b, BROWSE_UPNP, SOURCE_UPNP);
        break;
    default: return NAVIGATE_IGNORED;
    }
    return NAVIGATE_OPEN;
}

int go_up(BrowserState* b, Settings* s, int32_t* offset)
{
    scroll_leave(&b->scroll[b->browse_mode], offset);
    if (b->browse_mode == BROWSE_PLAYLIST_ITEMS || b->browse_mode == BROWSE_RECORDINGS) {
        bool local = b->list_source == SOURCE_LOCAL;
        b->browse_mode = local ? BROWSE_LOCAL : BROWSE_REMOTE;
        return NAVIGATE_OPEN;
    }
    if (b->browse_mode == BROWSE_UPNP) {
        copy_text(b->previous_path, PATH_SIZE, s->browse_path_3);
        upnp_object_parent(s->browse_path_3);
        path_parent(s->browse_path_4);
        return NAVIGATE_OPEN;
    }
    char* path = browser_source_path(b, s);
    copy_text(b->previous_path, PATH_SIZE, path);
    path_parent(path);
    return NAVIGATE_OPEN;
}

// Into a folder below the current one. A path that would not fit is
// refused and nothing changes (names may be 1,023 bytes long).
int go_down(BrowserState* b, Settings* s, int32_t* offset, const MediaEntry* row)
{
    char next[PATH_SIZE];
    if (b->browse_mode == BROWSE_UPNP) {
        copy_text(next, sizeof next, s->browse_path_4);
        if (!append_all(next, row->name, ROOT))
            return NAVIGATE_IGNORED;
        scroll_enter(&b->scroll[b->browse_mode], offset);
        copy_text(b->previous_path, PATH_SIZE, s->browse_path_3);
        copy_text(s->browse_path_3, PATH_SIZE, row->path[0] ? row->path : ROOT);
        copy_text(s->browse_path_4, PATH_SIZE, next);
        return NAVIGATE_OPEN;
    }
    char* path = browser_source_path(b, s);
    if (row->kind == ENTRY_REMOTE_ABSOLUTE_DIR) {
        next[0] = '\0';
        if (!append_all(next, ROOT, row->name) || !append_all(next, ROOT, ""))
            return NAVIGATE_IGNORED;
    } else {
        copy_text(next, sizeof next, path);
        if ((next[0] && !ends_with_slash(next) && !append_all(next, ROOT, "")) ||
            !append_all(next, row->name, ROOT))
            return NAVIGATE_IGNORED;
    }
    scroll_enter(&b->scroll[b->browse_mode], offset);
    copy_text(b->previous_path, PATH_SIZE, path);
    copy_text(path, PATH_SIZE, next);
    return NAVIGATE_OPEN;
}

}  // namespace

const char* browser_current_path(const BrowserState* b, const Settings* s)
{
    switch (b->browse_mode) {
    case BROWSE_PLAYLIST_ITEMS:
    case BROWSE_PLAYLISTS: return PLAYLISTS_FOLDER;
    case BROWSE_RECORDINGS: return RECORDINGS_FOLDER;
    case BROWSE_REMOTE: return s->browse_path_2;
    case BROWSE_UPNP: return s->browse_path_4;
    default: return b->list_source == SOURCE_STREAMER ? s->browse_path_2 : s->browse_path_1;
    }
}

char* browser_source_path(BrowserState* b, Settings* s)
{
    switch (b->list_source) {
    case SOURCE_STREAMER: return s->browse_path_2;
    case SOURCE_UPNP: return s->browse_path_4;
    default: return s->browse_path_1;
    }
}

void scroll_enter(ScrollMemory* m, int32_t* offset)
{
    if (m->depth < SCROLL_STACK_SIZE - 1)
        m->saved[m->depth++] = *offset;
    *offset = 0;
}

void scroll_leave(ScrollMemory* m, int32_t* offset)
{
    *offset = m->depth > 0 ? m->saved[--m->depth] : 0;
}

void path_parent(char* path)
{
    size_t n = strnlen(path, PATH_SIZE - 1);
    path[n] = '\0';
    if (n <= 1)
        return;  // "/" and one-character paths stay
    if (path[n - 1] == '/')
        path[--n] = '\0';
    char* last = std::strrchr(path, '/');
    if (last)
        last[1] = '\0';
    else
        path[0] = '\0';
}

void upnp_object_parent(char* path)
{
    char* cut = nullptr;
    for (char* p = std::strstr(path, "/}"); p; p = std::strstr(p + 1, "/}"))
        cut = p;
    if (cut)
        *cut = '\0';
    else
        set_root(path);
}

int browser_navigate(BrowserState* b, Settings* s, int32_t* offsets, const MediaEntry* row)
{
    if (!entry_kind_is_folder(row->kind))
        return NAVIGATE_ITEM;
    int32_t* offset = &offsets[b->browse_mode];
    int r;
    if (b->browse_mode == BROWSE_PLAYLIST_ITEMS && std::strcmp(row->name, "..") != 0)
        r = enter_playlist_folder(b, s, row);
    else if (std::strcmp(row->name, "..") == 0)
        r = go_up(b, s, offset);
    else if (std::strcmp(row->name, ".") == 0)
        r = NAVIGATE_OPEN;
    else
        r = go_down(b, s, offset, row);
    if (r == NAVIGATE_OPEN && is_root(browser_source_path(b, s)) &&
        b->browse_mode != BROWSE_PLAYLIST_ITEMS && b->browse_mode != BROWSE_RECORDINGS)
        b->previous_path[0] = '\0';
    return r;
}

int browser_back_target(const BrowserState* b, bool browser_screen_current)
{
    int mode = b->browse_mode;
    bool list_mode = mode == BROWSE_PLAYLIST_ITEMS || mode == BROWSE_RECORDINGS ||
                     mode == BROWSE_PLAYLISTS;
    if (list_mode) {
        if (!browser_screen_current)
            return BACK_HOME;
        bool from_playlists = mode == BROWSE_PLAYLIST_ITEMS &&
                              b->previous_browse_mode == BROWSE_PLAYLISTS;
        return from_playlists ? BACK_PLAYLISTS : BACK_SOURCE_HOME;
    }
    if (b->previous_path[0] == '\0')
        return BACK_HOME;
    if (std::strcmp(b->previous_path, PLAYLISTS_FOLDER) == 0)
        return BACK_PLAYLISTS;
    if (std::strcmp(b->previous_path, FAVORITES_FOLDER) == 0)
        return BACK_FAVORITES;
    if (std::strcmp(b->previous_path, RECORDINGS_FOLDER) == 0)
        return BACK_RECORDINGS;
    return BACK_PARENT_ROW;
}

namespace {

void close_pickers(BrowserState* b, Settings* s)
{
    if (b->subtitle_picker) {
        b->subtitle_picker = 0;
        b->browse_mode = b->picker_save.browse_mode;
        b->list_source = b->picker_save.list_source;
        copy_text(browser_source_path(b, s), PATH_SIZE, b->picker_save.path);
    }
    b->charset_picker = 0;
}

}  // namespace

bool browser_fill_failed(BrowserState* b, Settings* s)
{
    close_pickers(b, s);
    const char* prev = b->previous_path;
    if (prev[0] == '\0') {
        set_root(browser_source_path(b, s));
        return true;
    }
    if (std::strcmp(prev, PLAYLISTS_FOLDER) == 0) {
        b->browse_mode = BROWSE_PLAYLISTS;
    } else if (std::strcmp(prev, FAVORITES_FOLDER) == 0) {
        b->browse_mode = BROWSE_PLAYLIST_ITEMS;
    } else if (std::strcmp(prev, RECORDINGS_FOLDER) == 0) {
        b->browse_mode = BROWSE_RECORDINGS;
    } else if (b->list_source == SOURCE_UPNP) {
        set_root(s->browse_path_3);
        set_root(s->browse_path_4);
    } else {
        copy_text(browser_source_path(b, s), PATH_SIZE, prev);
    }
    return false;
}
