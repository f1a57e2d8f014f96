// The information cache and the thumbnail names: "<folder>cache.dat" keeps
// the description of up to MAX_CACHE_ENTRIES media files, so that the
// information panel and the thumbnail maker need not read a file's streams
// again; "<folder>thumbnails/" holds the thumbnail PNGs, named by a 16-letter
// hash of the media path and a suffix per ThumbSize.
//
// The file is an array of CacheEntry records, entry i at i x CACHE_ENTRY_SIZE.
// Each entry is written in place (pwrite, then fdatasync), so saving one never
// touches another; a crash while writing damages at most that entry, whose
// checksum then rejects it at the next load. A loaded entry is trusted only
// when its checksum matches and every count and string in it is in bounds.
//
// Contract:
// - cache_load(folder) (start-up, before any other thread uses the cache;
//   tests may call it again to start over) clears the table, remembers the
//   folder (ends with '/', e.g. "data/") and reads its cache.dat: 0 when read,
//   -1 when there is none or it was of another version (that file is
//   deleted). Until it runs, the folder is "data/".
// - cache_store, cache_lookup, cache_entry_save, cache_thumb_record,
//   cache_entry_get, cache_next_slot: any thread; each holds the cache mutex
//   for its whole run (including the file write), so every one of them is
//   atomic with respect to the others. Nothing is held between calls: a slot
//   found by one call may be reused by another thread before the next.
// - cache_store keeps one entry per path: a path already cached has its
//   entry rewritten in its slot; another goes to the next slot, which moves
//   on round the table. Replacing a valid entry deletes the thumbnail files
//   of its old path (all three sizes), unless it describes the same file.
// - cache_lookup finds a path's valid entry; a local file whose size or
//   modification time changed since it was stored is not found (its
//   description is out of date).
// - thumb_name, thumb_file_name, thumb_lookup_file: any thread; pure apart
//   from the file check.
// - media_info_cached (any thread, blocks while it reads): the cached
//   description of path, or media_info_read's, which is then stored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/media_info.h"
#include "platform/result_codes.h"

constexpr int MAX_CACHE_ENTRIES = 1000;
constexpr uint32_t CACHE_VERSION = 3;
constexpr int CACHE_KEY_SIZE = 1024;  // a media path, as the rest of the program holds one
constexpr int CACHE_NAME_SIZE = 32;   // format and thumbnail name fields
constexpr int THUMB_NAME_LENGTH = 16;
constexpr const char* DEFAULT_DATA_FOLDER = "data/";

enum ThumbSize : int32_t {
    THUMB_SMALL = 0,  // "_small": a video frame for the icon view, 48 x 40 stretched
    THUMB_PANEL = 1,  // no suffix: a video frame for the panel, fitted in 284 x 160
    THUMB_COVER = 2,  // "_big": an audio file's cover for the player, long side 480
    THUMB_SIZE_COUNT = 3,
};

// One stream of a cached description. Our own fixed layout, little-endian.
struct CachedStream {
    int32_t index;
    int32_t kind;  // StreamKind
    char codec[MEDIA_CODEC_NAME_SIZE];
    int32_t width;
    int32_t height;
    int32_t sar_num;
    int32_t sar_den;
    double frame_rate;
    uint8_t attached_picture;
    uint8_t pad[7];
    char description[MEDIA_DESCRIPTION_SIZE];
};
static_assert(sizeof(CachedStream) == 200);
static_assert(offsetof(CachedStream, codec) == 8);
static_assert(offsetof(CachedStream, width) == 40);
static_assert(offsetof(CachedStream, frame_rate) == 56);
static_assert(offsetof(CachedStream, attached_picture) == 64);
static_assert(offsetof(CachedStream, description) == 72);

// The description area of an entry: the container's bit rate, what the
// local file was when described (size and modification time; 0 for a URL),
// and the streams.
struct CachedDescription {
    int64_t bit_rate;
    int64_t file_size;
    int64_t file_mtime;
    CachedStream streams[MEDIA_INFO_MAX_STREAMS];
};
static_assert(sizeof(CachedDescription) == 1624);
static_assert(offsetof(CachedDescription, streams) == 24);

constexpr int CACHE_ENTRY_SIZE = 13464;
constexpr int CACHE_DESCRIPTION_OFFSET = 1048;
constexpr int CACHE_FORMAT_OFFSET = 13392;

struct CacheEntry {
    uint32_t checksum;  // byte sum of everything from `start_us` on
    uint32_t version;   // CACHE_VERSION
    int64_t start_us;   // the demuxer's time base (microseconds)
    int64_t duration_us;
    char key[CACHE_KEY_SIZE];  // the media path
    CachedDescription description;
    uint8_t reserved[CACHE_FORMAT_OFFSET - CACHE_DESCRIPTION_OFFSET - sizeof(CachedDescription)];
    char format[CACHE_NAME_SIZE];      // the demuxer's short name
    int32_t stream_count;              // 0 .. MEDIA_INFO_MAX_STREAMS
    char thumb_name[CACHE_NAME_SIZE];  // the 16-letter name once a thumbnail was made, else ""
    uint8_t valid;
    uint8_t zero[3];
};
static_assert(sizeof(CacheEntry) == CACHE_ENTRY_SIZE);
static_assert(offsetof(CacheEntry, version) == 4);
static_assert(offsetof(CacheEntry, start_us) == 8);
static_assert(offsetof(CacheEntry, duration_us) == 16);
static_assert(offsetof(CacheEntry, key) == 24);
static_assert(offsetof(CacheEntry, description) == CACHE_DESCRIPTION_OFFSET);
static_assert(offsetof(CacheEntry, format) == CACHE_FORMAT_OFFSET);
static_assert(offsetof(CacheEntry, stream_count) == 13424);
static_assert(offsetof(CacheEntry, thumb_name) == 13428);
static_assert(offsetof(CacheEntry, valid) == 13460);
static_assert(offsetof(CacheEntry, zero) == 13461);

int cache_load(const char* folder);
// Writes the entry of slot to the file in place. 0, or -1 (bad slot, write failed).
int cache_entry_save(int slot);
// Stores the description of path; *out_slot (may be null) gets its slot.
// 0, or -1 for an empty or over-long path (nothing stored). A failed file
// write still keeps the entry in memory and returns 0.
int cache_store(const MediaInfo& info, const char* path, int* out_slot);
// True when path has a current entry; *out (may be null) gets its
// description and *out_slot (may be null) its slot.
bool cache_lookup(const char* path, MediaInfo* out, int* out_slot);
// Records the thumbnail name of path in its entry (slot is a hint; the
// entry is found by its key when the slot was reused meanwhile) and saves
// the entry; an empty name clears it. 0, or -1 when path is not cached.
int cache_thumb_record(int slot, const char* path, const char* name);
// A copy of the entry of slot, for tests and tools; false for a bad slot.
bool cache_entry_get(int slot, CacheEntry* out);
int cache_next_slot();
// The folder given to cache_load.
const char* cache_folder();

// The 16-letter thumbnail name of path (letters 'a' to 'p'), NUL-terminated.
void thumb_name(const char* path, char out[THUMB_NAME_LENGTH + 1]);
// "<folder>thumbnails/" + name + the size's suffix. False when it does not fit.
bool thumb_file_name(const char* path, ThumbSize size, char* out, size_t out_size);
// The thumbnail file of path in that size when it exists (true), else out
// gets "" (false).
bool thumb_lookup_file(const char* path, ThumbSize size, char* out, size_t out_size);

ResultCode media_info_cached(const char* path, MediaInfo* out);
