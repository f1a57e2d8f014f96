// Playlists and favorites: the fixed-size records, their ".vlpls" files and
// the store of all of them. Slot 0 is the favorites, which always exist;
// the slots in use are always the first ones.
//
// Record and file: a 12-byte header (byte sum of the body, version 2, stored
// length) and the body; in the file the body follows the header compressed
// (stored length = its length), or plain when the stored length is 0. Bytes
// after the stored length are ignored (older versions of the file were
// rewritten in place and may be longer).
//
// Ownership and threads: the store is one part of the application record,
// made by playlists_init and freed by playlists_free on the main thread. The
// main thread changes it (this header and browser/playlist_ops.h); the
// browser's fill worker reads one record of it (browser/playlist_fill.h). The
// main thread must not change the store while a fill runs: it waits in the
// modal wait box until the fill is done, as for the browser's table.
// playlist_load and playlist_save touch only what they are given and may run
// on any thread.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/settings.h"

static_assert(std::endian::native == std::endian::little,
              "playlist files are little-endian memory images");

constexpr int MAX_PLAYLISTS = 16;
constexpr int PLAYLIST_ITEM_SLOTS = 1000;
// Additions stop one short of the slots (item_count + 1 < 1000).
constexpr int PLAYLIST_ITEM_LIMIT = PLAYLIST_ITEM_SLOTS - 1;
constexpr int32_t PLAYLIST_VERSION = 2;
constexpr size_t PLAYLIST_NAME_SIZE = 64;  // file name with ".vlpls", byte 63 NUL
constexpr size_t PLAYLIST_EXTRA_SIZE = 1536;
constexpr const char PLAYLIST_EXTENSION[] = ".vlpls";
constexpr const char FAVORITES_FILE_NAME[] = "favorites.vlpls";

// What an item is; each becomes its own row kind when a playlist is listed.
enum PlaylistItemType : int32_t {
    ITEM_LOCAL_FILE = 0,       // name: local path + file name
    ITEM_REMOTE_FILE = 1,      // name: remote path + file name
    ITEM_LOCAL_FOLDER = 2,     // name: folder path ending with "/"
    ITEM_REMOTE_FOLDER = 3,    // name: folder path ending with "/"
    ITEM_UPNP_CONTAINER = 4,   // name: display path + name; url: container id
    ITEM_UPNP_ITEM = 5,        // name: display path + name; url: the item's URL
    PLAYLIST_ITEM_TYPE_COUNT,  // types at or above this are damage
};

struct PlaylistItem {
    uint8_t in_use;  // 1 for a used item; used items are the first ones
    uint8_t zero_a[7];
    int32_t type;  // PlaylistItemType
    char name[PATH_SIZE];
    char url[PATH_SIZE];  // UPnP types only
    uint8_t zero_b[4];
    int64_t size;
    int64_t mtime;                    // seconds since 1970
    char extra[PLAYLIST_EXTRA_SIZE];  // UPnP item data, opaque here
};
static_assert(offsetof(PlaylistItem, in_use) == 0);
static_assert(offsetof(PlaylistItem, zero_a) == 1);
static_assert(offsetof(PlaylistItem, type) == 8);
static_assert(offsetof(PlaylistItem, name) == 12);
static_assert(offsetof(PlaylistItem, url) == 1036);
static_assert(offsetof(PlaylistItem, zero_b) == 2060);
static_assert(offsetof(PlaylistItem, size) == 2064);
static_assert(offsetof(PlaylistItem, mtime) == 2072);
static_assert(offsetof(PlaylistItem, extra) == 2080);
static_assert(sizeof(PlaylistItem) == 3616);

// The file's header; the record begins with the same three fields.
struct PlaylistHeader {
    uint32_t checksum;      // wrapping sum of the body's bytes, uncompressed
    int32_t version;        // PLAYLIST_VERSION
    int32_t stored_length;  // in a file: bytes of compressed body; 0 = plain body
};
static_assert(offsetof(PlaylistHeader, checksum) == 0);
static_assert(offsetof(PlaylistHeader, version) == 4);
static_assert(offsetof(PlaylistHeader, stored_length) == 8);
static_assert(sizeof(PlaylistHeader) == 12);

// One flat record: the body starts at byte 12, which a struct of its own
// could not (its 8-byte integers would align it to 16).
struct PlaylistRecord {
    uint32_t checksum;  // header
    int32_t version;
    int32_t stored_length;
    uint8_t in_use;  // body: 1 for a playlist that exists
    uint8_t zero_a[3];
    int32_t item_count;
    char name[PLAYLIST_NAME_SIZE];  // file name including ".vlpls"
    uint8_t zero_b[4];
    PlaylistItem items[PLAYLIST_ITEM_SLOTS];
};
constexpr size_t PLAYLIST_HEADER_SIZE = sizeof(PlaylistHeader);
static_assert(offsetof(PlaylistRecord, checksum) == 0);
static_assert(offsetof(PlaylistRecord, version) == 4);
static_assert(offsetof(PlaylistRecord, stored_length) == 8);
// Body offsets: the record's offset less the header's 12 bytes.
static_assert(offsetof(PlaylistRecord, in_use) - PLAYLIST_HEADER_SIZE == 0);
static_assert(offsetof(PlaylistRecord, zero_a) - PLAYLIST_HEADER_SIZE == 1);
static_assert(offsetof(PlaylistRecord, item_count) - PLAYLIST_HEADER_SIZE == 4);
static_assert(offsetof(PlaylistRecord, name) - PLAYLIST_HEADER_SIZE == 8);
static_assert(offsetof(PlaylistRecord, zero_b) - PLAYLIST_HEADER_SIZE == 72);
static_assert(offsetof(PlaylistRecord, items) - PLAYLIST_HEADER_SIZE == 76);
static_assert(sizeof(PlaylistRecord) == 3616088);

constexpr size_t PLAYLIST_BODY_SIZE = sizeof(PlaylistRecord) - PLAYLIST_HEADER_SIZE;
static_assert(PLAYLIST_BODY_SIZE == 3616076);

// The body's bytes, as the checksum and the file see them.
inline uint8_t* playlist_body(PlaylistRecord* r)
{
    return reinterpret_cast<uint8_t*>(r) + PLAYLIST_HEADER_SIZE;
}
inline const uint8_t* playlist_body(const PlaylistRecord* r)
{
    return reinterpret_cast<const uint8_t*>(r) + PLAYLIST_HEADER_SIZE;
}

// The records of all playlists and the state of the add-files mode.
struct PlaylistStore {
    // MAX_PLAYLISTS records from calloc: 58 MB whose pages stay untouched
    // until a playlist is loaded into them or made there.
    PlaylistRecord* records;
    int32_t count;                  // slots in use: [0, count)
    char folder[PATH_SIZE];         // where the files are, ending with "/"
    PlaylistRecord* add_backup;     // the record as the add-files mode found it
    int32_t add_index;              // the playlist being added to; -1 when the mode is off
    char message[PATH_SIZE + 128];  // text of the last formatted message
};

// Byte sum of a body (the header's checksum).
uint32_t playlist_checksum(const PlaylistRecord* record);

// Reads one file into record. 0, or -1 when the file is missing or
// unusable: short, version below 2, a stored length the file or compression
// cannot hold, a body that does not inflate to exactly its size, a wrong
// checksum, an item count outside [0, 1000], a listed item that is not in
// use, of an unknown type or with a name or URL without its terminator, or a
// playlist name that is empty, unterminated, hidden or holds a "/". On
// failure the record is all zero. On success in_use is 1 and the items past
// item_count are zero.
int playlist_load(const char* path, PlaylistRecord* record);
// Writes record (in_use must be 1, its name a valid file name) to
// folder + name, replacing the file atomically; the record is not changed.
// 0 or -1 (the old file then stays as it was).
int playlist_save(const char* folder, const PlaylistRecord* record);

// Makes the store and loads it from folder (ending with "/"): the
// favorites from "favorites.vlpls" (made empty in memory when missing or
// unusable; the file is then left alone until the favorites change), then
// every other regular, non-empty, not hidden file whose name contains
// ".vlpls", into the next free slot, until the 16 slots are full. A file
// whose playlist name is already taken by a loaded one is skipped (two
// slots must never share a file). -1 when memory runs out, else 0.
int playlists_init(PlaylistStore* store, const char* folder);
void playlists_free(PlaylistStore* store);

// Zeroes the used part of a record (header, body head, used items): the
// rest of a record is zero already.
void playlist_record_clear(PlaylistRecord* record);
// Copies src over dst, touching only their used parts.
void playlist_record_copy(PlaylistRecord* dst, const PlaylistRecord* src);
// Whether text may be a playlist's file name: not empty, no "/", not
// beginning with "." (so it never leads outside the folder or hides).
bool playlist_name_is_safe(const char* text);
