#include "browser/playlist.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/dir.h"
#include "platform/file_io.h"
#include "platform/pack.h"
#include "platform/text_copy.h"

namespace {

constexpr mode_t FOLDER_MODE = 0755;

// item_count as a number of items that may be touched: a damaged count
// never reaches outside the item table.
size_t used_items(const PlaylistRecord* r)
{
    const int32_t n = r->item_count;
    return n <= 0 ? 0 : static_cast<size_t>(n < PLAYLIST_ITEM_SLOTS ? n : PLAYLIST_ITEM_SLOTS);
}

// Header and body up to the first item, then n items.
size_t used_bytes(size_t n)
{
    return offsetof(PlaylistRecord, items) + n * sizeof(PlaylistItem);
}

bool terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

bool item_is_sound(const PlaylistItem& item)
{
    return item.in_use == 1 && item.type >= 0 && item.type < PLAYLIST_ITEM_TYPE_COUNT &&
           terminated(item.name, sizeof item.name) && terminated(item.url, sizeof item.url);
}

// What a file's body must hold before any of it is trusted: the name is
// later joined to the folder to save or delete the file, and the count and
// texts are read without further checks.
bool body_is_sound(const PlaylistRecord& body)
{
    if (!terminated(body.name, sizeof body.name) || !playlist_name_is_safe(body.name))
        return false;
    if (body.item_count < 0 || body.item_count > PLAYLIST_ITEM_SLOTS)
        return false;
    for (int32_t i = 0; i < body.item_count; ++i)
        if (!item_is_sound(body.items[i]))
            return false;
    return true;
}

// Reads the body, plain or compressed, into the record. The stored
// length is checked against the file and against the longest stream the
// body can compress to before anything is allocated for it.
bool read_body(int fd, const PlaylistHeader& h, int64_t file_size, PlaylistRecord* record)
{
    const int64_t after_header = file_size - static_cast<int64_t>(sizeof h);
    if (h.stored_length < 0)
        return false;
    if (h.stored_length == 0)
        return after_header >= static_cast<int64_t>(PLAYLIST_BODY_SIZE) &&
               file_read_exact(fd, playlist_body(record), PLAYLIST_BODY_SIZE);
    const auto stored = static_cast<size_t>(h.stored_length);
    if (stored > pack_bound(PLAYLIST_BODY_SIZE) || h.stored_length > after_header)
        return false;
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[stored]);
    if (!packed || !file_read_exact(fd, packed.get(), stored))
        return false;
    size_t out = PLAYLIST_BODY_SIZE;
    bool complete = false;
    return unpack_buffer(playlist_body(record), &out, packed.get(), stored, &complete) == 0 &&
           complete && out == PLAYLIST_BODY_SIZE;
}

std::string join(const char* folder, const char* name)
{
    return std::string(folder) + name;
}

void make_empty_favorites(PlaylistRecord* r)
{
    playlist_record_clear(r);
    r->in_use = 1;
    copy_text(r->name, sizeof r->name, FAVORITES_FILE_NAME);
    r->version = PLAYLIST_VERSION;
    r->checksum = playlist_checksum(r);
}

bool name_taken(const PlaylistStore* s, const char* name)
{
    for (int i = 0; i < s->count; ++i)
        if (std::strcmp(s->records[i].name, name) == 0)
            return true;
    return false;
}

bool is_playlist_file(const DirRecord& r, const char* folder)
{
    if (r.type != DIR_ENTRY_FILE || r.name[0] == '.' || !std::strstr(r.name, PLAYLIST_EXTENSION) ||
        std::strcmp(r.name, FAVORITES_FILE_NAME) == 0)
        return false;
    int64_t size = 0, mtime = 0;
    return file_status(join(folder, r.name).c_str(), &size, &mtime) == 0 && size > 0;
}

// Every other playlist file of the folder, each into the next free slot.
void load_others(PlaylistStore* s)
{
    DirHandle* dir = dir_open(s->folder);
    if (!dir)
        return;
    while (const DirRecord* r = dir_read(dir)) {
        if (s->count >= MAX_PLAYLISTS)
            break;
        if (!is_playlist_file(*r, s->folder))
            continue;
        PlaylistRecord* slot = &s->records[s->count];
        if (playlist_load(join(s->folder, r->name).c_str(), slot) != 0)
            continue;
        if (name_taken(s, slot->name)) {
            playlist_record_clear(slot);
            continue;
        }
        ++s->count;
    }
    dir_close(dir);
}

}  // namespace

uint32_t playlist_checksum(const PlaylistRecord* record)
{
    const uint8_t* p = playlist_body(record);
    uint32_t sum = 0;
    for (size_t i = 0; i < PLAYLIST_BODY_SIZE; ++i)
        sum += p[i];
    return sum;
}

bool playlist_name_is_safe(const char* text)
{
    return text[0] != '\0' && text[0] != '.' && std::strchr(text, '/') == nullptr;
}

void playlist_record_clear(PlaylistRecord* record)
{
    std::memset(record, 0, used_bytes(used_items(record)));
}

void playlist_record_copy(PlaylistRecord* dst, const PlaylistRecord* src)
{
    if (dst == src)
        return;
    const size_t n_dst = used_items(dst), n_src = used_items(src);
    std::memcpy(dst, src, used_bytes(n_src));
    if (n_dst > n_src)
        std::memset(&dst->items[n_src], 0, (n_dst - n_src) * sizeof(PlaylistItem));
}

int playlist_load(const char* path, PlaylistRecord* record)
{
    playlist_record_clear(record);
    FileHandle f(::open(path, O_RDONLY | O_CLOEXEC));
    struct stat st {};
    PlaylistHeader h{};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !file_read_exact(f.fd, &h, sizeof h) ||
        h.version < PLAYLIST_VERSION)
        return -1;
    // From here the body may hold anything the file gave it.
    if (!read_body(f.fd, h, st.st_size, record) || playlist_checksum(record) != h.checksum ||
        !body_is_sound(*record)) {
        std::memset(record, 0, sizeof *record);
        return -1;
    }
    // Items past the count are unreachable; zero them so that every record
    // keeps its unused items zero.
    const size_t n = used_items(record);
    std::memset(&record->items[n], 0, (PLAYLIST_ITEM_SLOTS - n) * sizeof(PlaylistItem));
    record->checksum = h.checksum;
    record->version = PLAYLIST_VERSION;
    record->stored_length = 0;
    record->in_use = 1;
    return 0;
}

int playlist_save(const char* folder, const PlaylistRecord* record)
{
    const PlaylistRecord& body = *record;
    if (body.in_use != 1 || !terminated(body.name, sizeof body.name) ||
        !playlist_name_is_safe(body.name))
        return -1;
    PlaylistHeader h{playlist_checksum(record), PLAYLIST_VERSION, 0};
    // Compressed when that is shorter; a body that will not compress is
    // written plain rather than not at all.
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[sizeof(PlaylistRecord)]);
    size_t packed_len = sizeof(PlaylistRecord);
    const void* data = playlist_body(record);
    size_t data_len = PLAYLIST_BODY_SIZE;
    if (packed &&
        pack_buffer(packed.get(), &packed_len, playlist_body(record), PLAYLIST_BODY_SIZE) == 0 &&
        packed_len < PLAYLIST_BODY_SIZE) {
        h.stored_length = static_cast<int32_t>(packed_len);
        data = packed.get();
        data_len = packed_len;
    }
    ::mkdir(folder, FOLDER_MODE);  // the first save makes the folder
    const FilePiece pieces[] = {{&h, sizeof h}, {data, data_len}};
    return file_replace(join(folder, body.name).c_str(), pieces, 2);
}

int playlists_init(PlaylistStore* store, const char* folder)
{
    *store = PlaylistStore{};
    store->add_index = -1;
    copy_text(store->folder, sizeof store->folder, folder);
    store->records = static_cast<PlaylistRecord*>(
        std::calloc(MAX_PLAYLISTS, sizeof(PlaylistRecord)));
    if (!store->records)
        return -1;
    PlaylistRecord* favorites = &store->records[0];
    if (playlist_load(join(folder, FAVORITES_FILE_NAME).c_str(), favorites) != 0)
        make_empty_favorites(favorites);
    // Whatever the file called it, slot 0 is saved to the favorites file.
    std::memset(favorites->name, 0, sizeof favorites->name);
    copy_text(favorites->name, sizeof favorites->name, FAVORITES_FILE_NAME);
    store->count = 1;
    load_others(store);
    return 0;
}

void playlists_free(PlaylistStore* store)
{
    std::free(store->records);
    std::free(store->add_backup);
    store->records = nullptr;
    store->add_backup = nullptr;
    store->count = 0;
    store->add_index = -1;
}
