#include "engine/info_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/text_copy.h"

// The entry is a memory image of the file's bytes.
static_assert(std::endian::native == std::endian::little, "the cache file is little-endian");
static_assert(std::numeric_limits<double>::is_iec559, "frame rates are stored as IEEE doubles");

namespace {

constexpr const char* CACHE_FILE = "cache.dat";
constexpr const char* THUMB_FOLDER = "thumbnails/";
constexpr int FOLDER_SIZE = 512;  // leaves room in a path for the file names below it
constexpr int64_t US_PER_MS = 1000;
constexpr int64_t NS_PER_S = 1000000000;

constexpr const char* THUMB_SUFFIXES[THUMB_SIZE_COUNT] = {"_small", "", "_big"};

// Everything below is guarded by g_lock.
std::mutex g_lock;
CacheEntry g_table[MAX_CACHE_ENTRIES];
int g_next_slot = 0;
char g_folder[FOLDER_SIZE] = "data/";

// What a local file was when it was described; zeros for a URL or a name
// that is not there.
struct FileIdentity {
    int64_t size = 0;
    int64_t mtime_ns = 0;
};

FileIdentity identity_of(const char* path)
{
    struct stat st;
    if (std::strstr(path, "://") || stat(path, &st) != 0)
        return {};
    return {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * NS_PER_S + st.st_mtim.tv_nsec};
}

bool same_file(const CacheEntry& e, const FileIdentity& id)
{
    return e.description.file_size == id.size && e.description.file_mtime == id.mtime_ns;
}

void cache_path(char* out, size_t size)
{
    std::snprintf(out, size, "%s%s", g_folder, CACHE_FILE);
}

uint32_t checksum_of(const CacheEntry& e)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&e);
    uint32_t sum = 0;
    for (size_t i = offsetof(CacheEntry, start_us); i < sizeof e; i++)
        sum += bytes[i];
    return sum;
}

bool terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

bool thumb_name_sound(const char* name)
{
    if (!terminated(name, CACHE_NAME_SIZE))
        return false;
    size_t n = std::strlen(name);
    if (n != 0 && n != THUMB_NAME_LENGTH)
        return false;
    for (size_t i = 0; i < n; i++)
        if (name[i] < 'a' || name[i] > 'p')
            return false;
    return true;
}

bool stream_sound(const CachedStream& s)
{
    return s.kind >= 0 && s.kind < STREAM_KIND_COUNT && terminated(s.codec, sizeof s.codec) &&
           terminated(s.description, sizeof s.description) && s.width >= 0 && s.height >= 0 &&
           std::isfinite(s.frame_rate) && s.frame_rate >= 0;
}

// Whether a valid entry read from the file can be trusted: its checksum
// matches and nothing in it leads a reader out of bounds.
bool entry_sound(const CacheEntry& e)
{
    if (e.checksum != checksum_of(e) || e.valid != 1)
        return false;
    if (!terminated(e.key, sizeof e.key) || e.key[0] == '\0' ||
        !terminated(e.format, sizeof e.format) || !thumb_name_sound(e.thumb_name))
        return false;
    if (e.stream_count < 0 || e.stream_count > MEDIA_INFO_MAX_STREAMS)
        return false;
    for (int i = 0; i < e.stream_count; i++)
        if (!stream_sound(e.description.streams[i]))
            return false;
    return true;
}

// Reads up to size bytes; the count read (short only at the end of the file).
size_t read_full(int fd, void* buffer, size_t size)
{
    size_t got = 0;
    while (got < size) {
        ssize_t n = read(fd, static_cast<char*>(buffer) + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    return got;
}

// Writes the entry at its place in the file and waits until it is on disk.
// Lock held.
int write_entry(int slot)
{
    CacheEntry& e = g_table[slot];
    e.version = CACHE_VERSION;
    e.checksum = checksum_of(e);
    char path[FOLDER_SIZE + 16];
    cache_path(path, sizeof path);
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    const auto* bytes = reinterpret_cast<const char*>(&e);
    off_t at = off_t(slot) * CACHE_ENTRY_SIZE;
    size_t done = 0;
    while (done < sizeof e) {
        ssize_t n = pwrite(fd, bytes + done, sizeof e - done, at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    bool ok = done == sizeof e && fdatasync(fd) == 0;
    return close(fd) == 0 && ok ? 0 : -1;
}

void delete_thumbnails(const char* path)
{
    for (int size = 0; size < THUMB_SIZE_COUNT; size++) {
        char file[FOLDER_SIZE + 64];
        if (thumb_file_name(path, ThumbSize(size), file, sizeof file))
            unlink(file);
    }
}

// The slot of path's valid entry, or -1. Lock held.
int find_key(const char* path)
{
    for (int i = 0; i < MAX_CACHE_ENTRIES; i++)
        if (g_table[i].valid && g_table[i].key[0] == path[0] && !std::strcmp(g_table[i].key, path))
            return i;
    return -1;
}

// One stream between the description and the entry's fixed layout, which
// name the same fields (the strings are cut to the smaller of the two).
template <typename From, typename To>
void copy_stream(const From& s, To* out)
{
    out->index = s.index;
    out->kind = s.kind;
    copy_text(out->codec, sizeof out->codec, s.codec);
    out->width = s.width;
    out->height = s.height;
    out->sar_num = s.sar_num;
    out->sar_den = s.sar_den;
    out->frame_rate = s.frame_rate;
    out->attached_picture = s.attached_picture;
    copy_text(out->description, sizeof out->description, s.description);
}

void fill_entry(const MediaInfo& info, const char* path, const FileIdentity& id, CacheEntry* e)
{
    *e = CacheEntry{};
    e->start_us = info.start_ms * US_PER_MS;
    e->duration_us = info.duration_ms * US_PER_MS;
    copy_text(e->key, sizeof e->key, path);
    e->description.bit_rate = info.bit_rate;
    e->description.file_size = id.size;
    e->description.file_mtime = id.mtime_ns;
    copy_text(e->format, sizeof e->format, info.format);
    int n = info.stream_count < 0 ? 0 : info.stream_count;
    e->stream_count = n > MEDIA_INFO_MAX_STREAMS ? MEDIA_INFO_MAX_STREAMS : n;
    for (int i = 0; i < e->stream_count; i++)
        copy_stream(info.streams[i], &e->description.streams[i]);
    e->valid = 1;
}

void info_from_entry(const CacheEntry& e, MediaInfo* out)
{
    *out = MediaInfo{};
    copy_text(out->format, sizeof out->format, e.format);
    out->start_ms = e.start_us / US_PER_MS;
    out->duration_ms = e.duration_us / US_PER_MS;
    out->bit_rate = e.description.bit_rate;
    out->stream_count = e.stream_count;
    for (int i = 0; i < e.stream_count; i++)
        copy_stream(e.description.streams[i], &out->streams[i]);
}

void clear_table()
{
    std::memset(g_table, 0, sizeof g_table);
    g_next_slot = 0;
}

}  // namespace

int cache_load(const char* folder)
{
    std::lock_guard<std::mutex> hold(g_lock);
    clear_table();
    if (folder && *folder && std::strlen(folder) + 2 < sizeof g_folder) {
        copy_text(g_folder, sizeof g_folder, folder);
        if (g_folder[std::strlen(g_folder) - 1] != '/')
            std::strcat(g_folder, "/");
    }
    char path[FOLDER_SIZE + 16];
    cache_path(path, sizeof path);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int count = 0;
    while (count < MAX_CACHE_ENTRIES) {
        CacheEntry& e = g_table[count];
        size_t got = read_full(fd, &e, sizeof e);
        if (got < sizeof e) {
            // The end, or an entry cut short by a crash while the file grew:
            // that entry is lost and its slot is the next one written.
            e = CacheEntry{};
            break;
        }
        if (e.version != CACHE_VERSION && e.version != 0) {
            close(fd);
            unlink(path);
            clear_table();
            return -1;
        }
        // A slot never written (version 0, a hole in the file) or one that
        // fails its checks is kept as a free slot.
        if (e.version == 0 || !entry_sound(e))
            e = CacheEntry{};
        count++;
    }
    close(fd);
    g_next_slot = count >= MAX_CACHE_ENTRIES ? 0 : count;
    return 0;
}

int cache_entry_save(int slot)
{
    if (slot < 0 || slot >= MAX_CACHE_ENTRIES)
        return -1;
    std::lock_guard<std::mutex> hold(g_lock);
    return write_entry(slot);
}

int cache_store(const MediaInfo& info, const char* path, int* out_slot)
{
    if (!path || !*path || std::strlen(path) >= CACHE_KEY_SIZE)
        return -1;
    FileIdentity id = identity_of(path);
    std::lock_guard<std::mutex> hold(g_lock);
    int slot = find_key(path);
    if (slot < 0) {
        slot = g_next_slot;
        g_next_slot = (g_next_slot + 1) % MAX_CACHE_ENTRIES;
    }
    CacheEntry& e = g_table[slot];
    bool same = e.valid && !std::strcmp(e.key, path) && same_file(e, id);
    char kept_name[CACHE_NAME_SIZE] = "";
    if (same)
        copy_text(kept_name, sizeof kept_name, e.thumb_name);
    else if (e.valid)
        delete_thumbnails(e.key);
    fill_entry(info, path, id, &e);
    copy_text(e.thumb_name, sizeof e.thumb_name, kept_name);
    write_entry(slot);  // a failed write leaves the entry usable for this run
    if (out_slot)
        *out_slot = slot;
    return 0;
}

bool cache_lookup(const char* path, MediaInfo* out, int* out_slot)
{
    if (!path || !*path)
        return false;
    FileIdentity id = identity_of(path);
    std::lock_guard<std::mutex> hold(g_lock);
    int slot = find_key(path);
    if (slot < 0 || !same_file(g_table[slot], id))
        return false;
    if (out)
        info_from_entry(g_table[slot], out);
    if (out_slot)
        *out_slot = slot;
    return true;
}

int cache_thumb_record(int slot, const char* path, const char* name)
{
    if (!path || !*path)
        return -1;
    std::lock_guard<std::mutex> hold(g_lock);
    bool hint_holds = slot >= 0 && slot < MAX_CACHE_ENTRIES && g_table[slot].valid &&
                      !std::strcmp(g_table[slot].key, path);
    if (!hint_holds)
        slot = find_key(path);
    if (slot < 0)
        return -1;
    copy_text(g_table[slot].thumb_name, sizeof g_table[slot].thumb_name, name ? name : "");
    return write_entry(slot);
}

bool cache_entry_get(int slot, CacheEntry* out)
{
    if (slot < 0 || slot >= MAX_CACHE_ENTRIES || !out)
        return false;
    std::lock_guard<std::mutex> hold(g_lock);
    *out = g_table[slot];
    return true;
}

int cache_next_slot()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_next_slot;
}

const char* cache_folder()
{
    // Written only by cache_load, which runs before other threads start.
    return g_folder;
}

void thumb_name(const char* path, char out[THUMB_NAME_LENGTH + 1])
{
    size_t n = path ? std::strlen(path) : 0;
    for (int i = 0; i < THUMB_NAME_LENGTH; i++) {
        size_t step = size_t(i) + 1;
        int sum = 0;  // only its low 4 bits matter, so overflow cannot arise in practice
        for (size_t j = 0; j < n; j += step)
            sum += static_cast<signed char>(path[j]) * int(step);
        out[i] = char('a' + (sum & 15));
    }
    out[THUMB_NAME_LENGTH] = '\0';
}

bool thumb_file_name(const char* path, ThumbSize size, char* out, size_t out_size)
{
    if (!out || out_size == 0)
        return false;
    out[0] = '\0';
    if (!path || size < 0 || size >= THUMB_SIZE_COUNT)
        return false;
    char name[THUMB_NAME_LENGTH + 1];
    thumb_name(path, name);
    int n = std::snprintf(out, out_size, "%s%s%s%s", cache_folder(), THUMB_FOLDER, name,
                          THUMB_SUFFIXES[size]);
    if (n < 0 || size_t(n) >= out_size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool thumb_lookup_file(const char* path, ThumbSize size, char* out, size_t out_size)
{
    struct stat st;
    if (thumb_file_name(path, size, out, out_size) && stat(out, &st) == 0 && S_ISREG(st.st_mode))
        return true;
    if (out && out_size)
        out[0] = '\0';
    return false;
}

ResultCode media_info_cached(const char* path, MediaInfo* out)
{
    if (!out)
        return ERR_MEDIA_OPEN;
    if (cache_lookup(path, out, nullptr))
        return RESULT_OK;
    ResultCode r = media_info_read(path, out);
    if (r == RESULT_OK)
        cache_store(*out, path, nullptr);
    return r;
}
