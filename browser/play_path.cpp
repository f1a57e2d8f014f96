#include "browser/play_path.h"

#include <cctype>
#include <cstring>

#include "platform/data_paths.h"
#include "platform/dir.h"

namespace {

constexpr const char* NO_URL_PATH = "/";  // a UPnP row without URL plays from "/"
constexpr const char* SUBTITLE_EXTENSION = "srt";
// The "." of a name whose extension becomes "srt" must lie below this byte,
// so that the subtitle path (the "." and three letters) fits in PATH_SIZE.
constexpr size_t SUBTITLE_DOT_LIMIT = PATH_SIZE - 4;

// A piece of text of known length, read from a fixed array that may lack
// its terminator when the row was damaged.
struct Piece {
    const char* text;
    size_t length;
};

Piece piece(const char* text, size_t array_size)
{
    return text ? Piece{text, strnlen(text, array_size)} : Piece{"", 0};
}

// out = a + b when it fits in PATH_SIZE with its terminator; false otherwise
// (out is then empty).
bool join(char* out, Piece a, Piece b)
{
    out[0] = '\0';
    if (a.length + b.length >= PATH_SIZE)
        return false;
    std::memcpy(out, a.text, a.length);
    std::memcpy(out + a.length, b.text, b.length);
    out[a.length + b.length] = '\0';
    return true;
}

Piece name_of(const MediaEntry* e)
{
    return piece(e->name, ENTRY_NAME_SIZE);
}

// A playlist row's play path: a UPnP item's URL, a streamer file's name
// without the marker byte it is stored with, or a local file's name.
bool playlist_item_path(const MediaEntry* e, char* out)
{
    const Piece none{"", 0};
    if (e->kind == ENTRY_PLAYLIST_UPNP_ITEM)
        return join(out, piece(e->path, ENTRY_NAME_SIZE), none);
    Piece name = name_of(e);
    if (e->kind == ENTRY_PLAYLIST_REMOTE && name.length > 0)
        return join(out, Piece{name.text + 1, name.length - 1}, none);
    return join(out, name, none);
}

bool upnp_item_path(const MediaEntry* e, char* out)
{
    Piece url = piece(e->path, ENTRY_NAME_SIZE);
    return join(out, url.length ? url : Piece{NO_URL_PATH, std::strlen(NO_URL_PATH)}, Piece{"", 0});
}

// The play path without the subtitle look-ups; false when there is none.
bool build_path(const MediaEntry* e, int browse_mode, const char* local_path,
                const char* remote_path, char* out)
{
    bool ok = false;
    switch (browse_mode) {
    case BROWSE_PLAYLIST_ITEMS: ok = playlist_item_path(e, out); break;
    case BROWSE_RECORDINGS: ok = join(out, piece(RECORDINGS_FOLDER, PATH_SIZE), name_of(e)); break;
    case BROWSE_LOCAL: ok = join(out, piece(local_path, PATH_SIZE), name_of(e)); break;
    case BROWSE_REMOTE: ok = join(out, piece(remote_path, PATH_SIZE), name_of(e)); break;
    case BROWSE_UPNP: ok = upnp_item_path(e, out); break;
    case BROWSE_PLAYLISTS: ok = join(out, name_of(e), Piece{"", 0}); break;
    default: out[0] = '\0'; break;  // live channels play by channel, not by path
    }
    return ok && out[0] != '\0';
}

// "scheme://..." — what a subtitle URL looks like, as against the DIDL-Lite
// metadata that a UPnP row's extra data usually holds.
bool is_url(Piece text)
{
    if (text.length == 0 || !std::isalpha(static_cast<unsigned char>(text.text[0])))
        return false;
    size_t i = 1;
    while (i < text.length && (std::isalnum(static_cast<unsigned char>(text.text[i])) ||
                               text.text[i] == '+' || text.text[i] == '-' || text.text[i] == '.'))
        ++i;
    return text.length - i > 3 && std::strncmp(text.text + i, "://", 3) == 0;
}

// A local file's subtitles: the same path with "srt" after the last "." of
// its file name, when such a file exists. A "." in a folder name does not
// count: "a.b/film" must not pick up "a.srt".
void find_subtitle_file(const char* path, char* out)
{
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash : path, '.');
    if (!dot || static_cast<size_t>(dot - path) >= SUBTITLE_DOT_LIMIT)
        return;
    char candidate[PATH_SIZE];
    size_t stem = static_cast<size_t>(dot - path) + 1;
    std::memcpy(candidate, path, stem);
    std::memcpy(candidate + stem, SUBTITLE_EXTENSION, std::strlen(SUBTITLE_EXTENSION) + 1);
    if (file_status(candidate, nullptr, nullptr) == 0)
        std::memcpy(out, candidate, std::strlen(candidate) + 1);
}

bool is_local_file(const MediaEntry* e, int browse_mode)
{
    return (browse_mode == BROWSE_PLAYLIST_ITEMS && e->kind == ENTRY_PLAYLIST_LOCAL) ||
           (browse_mode == BROWSE_LOCAL && !entry_kind_is_folder(e->kind));
}

bool is_upnp_item(const MediaEntry* e, int browse_mode)
{
    return (browse_mode == BROWSE_PLAYLIST_ITEMS && e->kind == ENTRY_PLAYLIST_UPNP_ITEM) ||
           (browse_mode == BROWSE_UPNP && !entry_kind_is_folder(e->kind));
}

}  // namespace

int entry_play_path(const MediaEntry* e, int browse_mode, const char* local_path,
                    const char* remote_path, PlayPath* out)
{
    if (!out)
        return -1;
    std::memset(out, 0, sizeof *out);
    if (!e || !build_path(e, browse_mode, local_path, remote_path, out->path))
        return -1;
    const char* slash = std::strrchr(out->path, '/');
    std::strcpy(out->title, slash ? slash + 1 : out->path);  // a part of path: it fits
    if (is_local_file(e, browse_mode))
        find_subtitle_file(out->path, out->subtitle_file);
    Piece extra = piece(e->extra, ENTRY_EXTRA_SIZE);
    // A subtitle URL too long to hand on is left out; the item still plays.
    if (is_upnp_item(e, browse_mode) && is_url(extra) && extra.length < PATH_SIZE)
        join(out->subtitle_url, extra, Piece{"", 0});
    return 0;
}

int browser_row_of_play_path(const BrowserList* list, int browse_mode, const char* local_path,
                             const char* remote_path, const char* playing_path)
{
    if (!list || !list->rows || !playing_path || !playing_path[0])
        return -1;
    char path[PATH_SIZE];
    const int count = list->count < MAX_BROWSER_ENTRIES ? list->count : MAX_BROWSER_ENTRIES;
    for (int row = 0; row < count; ++row)
        if (build_path(&list->rows[row], browse_mode, local_path, remote_path, path) &&
            std::strcmp(path, playing_path) == 0)
            return row;
    return -1;
}
