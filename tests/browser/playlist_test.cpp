// Playlists and favorites: the file's bytes, damaged and hostile files,
// saves that fail part-way, start-up, the user's operations and the two
// browser lists made from them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "browser/listing.h"
#include "browser/playlist.h"
#include "browser/playlist_fill.h"
#include "browser/playlist_ops.h"
#include "platform/pack.h"
#include "tests/browser/browser_test_support.h"
#include "tests/full_disk.h"
#include "tests/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr size_t ITEMS_AT = 76;  // body offsets of the file format
constexpr size_t ITEM_SIZE = 3616;

template <class T>
void put(Bytes& b, size_t at, T v)
{
    std::memcpy(&b[at], &v, sizeof v);
}
void put_text(Bytes& b, size_t at, const std::string& s)
{
    std::memcpy(&b[at], s.data(), s.size());
}
uint32_t byte_sum(const Bytes& b)
{
    uint32_t sum = 0;
    for (uint8_t c : b)
        sum += c;
    return sum;
}

// A body built by offsets alone: "road trip" with a local file and a UPnP item.
Bytes hand_built_body()
{
    Bytes b(3616076);
    put<uint8_t>(b, 0, 1);
    put<int32_t>(b, 4, 2);
    put_text(b, 8, "road trip.vlpls");
    const size_t i0 = ITEMS_AT, i1 = ITEMS_AT + ITEM_SIZE;
    put<uint8_t>(b, i0, 1);
    put<int32_t>(b, i0 + 8, ITEM_LOCAL_FILE);
    put_text(b, i0 + 12, "/music/a.mp3");
    put<int64_t>(b, i0 + 2064, 123456789012);
    put<int64_t>(b, i0 + 2072, 1700000000);
    put<uint8_t>(b, i1, 1);
    put<int32_t>(b, i1 + 8, ITEM_UPNP_ITEM);
    put_text(b, i1 + 12, "Server/Music/b");
    put_text(b, i1 + 1036, "http://192.0.2.1/b.flac");
    put_text(b, i1 + 2080, "<DIDL-Lite/>");
    return b;
}

// The file of a body: header, body plain or compressed, trailing bytes.
Bytes file_of(const Bytes& body, bool compressed, size_t trailing = 0)
{
    Bytes payload = body;
    int32_t stored = 0;
    if (compressed) {
        payload.resize(pack_bound(body.size()));
        size_t n = payload.size();
        EXPECT_EQ(pack_buffer(payload.data(), &n, body.data(), body.size()), 0);
        payload.resize(n);
        stored = static_cast<int32_t>(n);
    }
    Bytes out(12 + payload.size() + trailing, 0xA5);
    put<uint32_t>(out, 0, byte_sum(body));
    put<int32_t>(out, 4, 2);
    put<int32_t>(out, 8, stored);
    std::copy(payload.begin(), payload.end(), out.begin() + 12);
    return out;
}

Bytes read_file(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void write_file(const fs::path& p, const Bytes& b)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

struct RecordFree {
    void operator()(PlaylistRecord* r) const { std::free(r); }
};
using Record = std::unique_ptr<PlaylistRecord, RecordFree>;
Record new_record()
{
    return Record(static_cast<PlaylistRecord*>(std::calloc(1, sizeof(PlaylistRecord))));
}
bool all_zero(const PlaylistRecord* r)
{
    const auto* p = reinterpret_cast<const uint8_t*>(r);
    for (size_t i = 0; i < sizeof *r; ++i)
        if (p[i])
            return false;
    return true;
}

class Playlists : public ::testing::Test {
protected:
    void TearDown() override { playlists_free(&store_); }
    void init() { ASSERT_EQ(playlists_init(&store_, folder_.c_str()), 0); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < store_.count; ++i)
            out.push_back(store_.records[i].name);
        return out;
    }
    std::vector<std::string> items(int p) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < store_.records[p].item_count; ++i)
            out.push_back(store_.records[p].items[i].name);
        return out;
    }
    // The playlist as its file holds it now.
    std::vector<std::string> saved_items(int p) const
    {
        Record r = new_record();
        EXPECT_EQ(playlist_load((folder_ + store_.records[p].name).c_str(), r.get()), 0);
        std::vector<std::string> out;
        for (int i = 0; i < r->item_count; ++i)
            out.push_back(r->items[i].name);
        return out;
    }
    ScratchDir scratch_;
    const fs::path dir_ = scratch_.path();
    const std::string folder_ = scratch_.path() + "/";
    PlaylistStore store_{};
};

using V = std::vector<std::string>;

// Every field sits where the format puts it, in both directions: a file
// built by offsets loads into the fields, and saving it again gives back the
// same body bytes.
TEST_F(Playlists, HandBuiltFileLoadsFieldByFieldAndSavesBackTheSameBytes)
{
    const Bytes body = hand_built_body();
    Record r = new_record();
    for (bool compressed : {false, true}) {
        // Older files were rewritten in place and may run on past the body.
        write_file(dir_ / "trip.vlpls", file_of(body, compressed, 4096));
        ASSERT_EQ(playlist_load((folder_ + "trip.vlpls").c_str(), r.get()), 0) << compressed;
        EXPECT_EQ(r->in_use, 1);
        EXPECT_EQ(r->item_count, 2);
        EXPECT_STREQ(r->name, "road trip.vlpls");
        EXPECT_EQ(r->items[0].type, ITEM_LOCAL_FILE);
        EXPECT_STREQ(r->items[0].name, "/music/a.mp3");
        EXPECT_EQ(r->items[0].size, 123456789012);
        EXPECT_EQ(r->items[0].mtime, 1700000000);
        EXPECT_EQ(r->items[1].type, ITEM_UPNP_ITEM);
        EXPECT_STREQ(r->items[1].url, "http://192.0.2.1/b.flac");
        EXPECT_STREQ(r->items[1].extra, "<DIDL-Lite/>");
    }
    ASSERT_EQ(playlist_save(folder_.c_str(), r.get()), 0);
    const Bytes saved = read_file(dir_ / "road trip.vlpls");
    ASSERT_GT(saved.size(), 12u);
    int32_t stored = 0;
    std::memcpy(&stored, &saved[8], 4);
    ASSERT_EQ(static_cast<size_t>(stored), saved.size() - 12) << "compressed, nothing after it";
    Bytes inflated(body.size());
    size_t n = inflated.size();
    ASSERT_EQ(unpack_buffer(inflated.data(), &n, &saved[12], saved.size() - 12), 0);
    EXPECT_EQ(inflated, body);
    EXPECT_EQ(read_file(dir_ / "road trip.vlpls").size(), saved.size());
}

// A damaged or hostile file is refused and leaves the record all zero,
// whatever it held before.
TEST_F(Playlists, DamagedAndHostileFilesAreRefused)
{
    using Edit = std::function<void(Bytes&)>;
    const Edit none = [](Bytes&) {};
    const size_t i0 = ITEMS_AT;
    const struct {
        const char* what;
        Edit body;  // before the checksum is taken
        bool compressed;
        Edit file;  // after
    } cases[] = {
        {"short header", none, true, [](Bytes& f) { f.resize(7); }},
        {"version 1", none, true, [](Bytes& f) { put<int32_t>(f, 4, 1); }},
        {"wrong checksum", none, false, [](Bytes& f) { f[12 + 5000] ^= 1; }},
        {"plain body cut short", none, false, [](Bytes& f) { f.resize(f.size() - 1); }},
        {"stored length past the file", none, true,
         [](Bytes& f) { put<int32_t>(f, 8, static_cast<int32_t>(f.size())); }},
        {"stored length negative", none, true, [](Bytes& f) { put<int32_t>(f, 8, -5); }},
        {"stored length beyond any stream", none, true,
         [](Bytes& f) { put<int32_t>(f, 8, 0x7fffffff); }},
        {"stream cut short", none, true,
         [](Bytes& f) {
             const size_t half = (f.size() - 12) / 2;
             f.resize(12 + half);
             put<int32_t>(f, 8, static_cast<int32_t>(half));
         }},
        {"inflates past the body", [](Bytes& b) { b.resize(b.size() + 100); }, true, none},
        {"inflates short of the body", [](Bytes& b) { b.resize(b.size() - 100); }, true, none},
        {"item count above the slots", [](Bytes& b) { put<int32_t>(b, 4, 1001); }, true, none},
        {"item count negative", [](Bytes& b) { put<int32_t>(b, 4, -1); }, true, none},
        {"counted item not in use", [&](Bytes& b) { b[i0 + ITEM_SIZE] = 0; }, true, none},
        {"unknown item type", [&](Bytes& b) { put<int32_t>(b, i0 + 8, 6); }, true, none},
        {"item name unterminated", [&](Bytes& b) { std::memset(&b[i0 + 12], 'x', 1024); }, true,
         none},
        {"item url unterminated", [&](Bytes& b) { std::memset(&b[i0 + 1036], 'x', 1024); }, true,
         none},
        {"playlist name unterminated", [](Bytes& b) { std::memset(&b[8], 'x', 64); }, true, none},
        {"playlist name leads outside", [](Bytes& b) { put_text(b, 8, "../../x.vlpls"); }, true,
         none},
        {"playlist name hidden", [](Bytes& b) { put_text(b, 8, ".x.vlpls"); }, true, none},
        {"playlist name empty", [](Bytes& b) { b[8] = 0; }, true, none},
    };
    Record r = new_record();
    const std::string path = folder_ + "bad.vlpls";
    for (const auto& c : cases) {
        write_file(path, file_of(hand_built_body(), false));
        ASSERT_EQ(playlist_load(path.c_str(), r.get()), 0);  // the record holds a playlist
        Bytes body = hand_built_body();
        c.body(body);
        Bytes file = file_of(body, c.compressed);
        c.file(file);
        write_file(path, file);
        EXPECT_EQ(playlist_load(path.c_str(), r.get()), -1) << c.what;
        EXPECT_TRUE(all_zero(r.get())) << c.what;
    }
    EXPECT_EQ(playlist_load((folder_ + "missing.vlpls").c_str(), r.get()), -1);
}

// A save that fails part-way (the file size limit stops the write) leaves
// the previous file whole and no temporary file; so does a folder that is a
// file. A record with a name that leads outside the folder is not saved.
TEST_F(Playlists, FailedSaveKeepsThePreviousFile)
{
    write_file(dir_ / "road trip.vlpls", file_of(hand_built_body(), true));
    Record r = new_record();
    ASSERT_EQ(playlist_load((folder_ + "road trip.vlpls").c_str(), r.get()), 0);
    const Bytes before = read_file(dir_ / "road trip.vlpls");
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {  // incompressible: far past the limit below
        PlaylistItem& it = r->items[i];
        it.in_use = 1;
        for (char& c : it.extra)
            c = static_cast<char>(random());
    }
    r->item_count = 200;
    EXPECT_TRUE(fails_on_a_full_disk([&] { return playlist_save(folder_.c_str(), r.get()) == -1; }))
        << "failure not reported";
    EXPECT_EQ(read_file(dir_ / "road trip.vlpls"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "temporary file left";
    EXPECT_EQ(playlist_save((folder_ + "road trip.vlpls/").c_str(), r.get()), -1);
    fs::create_directory(dir_ / "inner");
    std::strcpy(r->name, "../escape.vlpls");
    EXPECT_EQ(playlist_save((folder_ + "inner/").c_str(), r.get()), -1);
    EXPECT_FALSE(fs::exists(dir_ / "escape.vlpls"));
}

// Start-up: favorites first (made in memory when missing or damaged, the
// damaged file left alone until the favorites change), then the other
// playlist files; hidden, empty, damaged and same-named ones are skipped,
// and no more than 16 slots fill.
TEST_F(Playlists, StartUpLoadsFavoritesThenTheOtherFiles)
{
    write_file(dir_ / "favorites.vlpls", Bytes(100, 7));
    Bytes body = hand_built_body();
    write_file(dir_ / "trip.vlpls", file_of(body, true));
    write_file(dir_ / "trip copy.vlpls", file_of(body, true));  // same playlist name
    write_file(dir_ / "notes.vlpls.bak", Bytes(64, 1));
    write_file(dir_ / ".hidden.vlpls", file_of(body, true));
    write_file(dir_ / "empty.vlpls", Bytes());
    init();
    EXPECT_EQ(names(), (V{"favorites.vlpls", "road trip.vlpls"}));
    EXPECT_EQ(store_.records[0].item_count, 0);
    EXPECT_TRUE(all_zero(&store_.records[2]));
    EXPECT_EQ(read_file(dir_ / "favorites.vlpls"), Bytes(100, 7));

    SelectedItem sel{};
    std::strcpy(sel.display_name, "song.mp3");
    EXPECT_STREQ(favorites_add_file(&store_, SOURCE_LOCAL, "/music/", &sel),
                 "Added file song.mp3 to playlist favorites.");
    EXPECT_EQ(saved_items(0), V{"/music/song.mp3"});

    for (int i = 0; i < 20; ++i) {
        put_text(body, 8, "list" + std::to_string(100 + i) + ".vlpls");
        write_file(dir_ / ("list" + std::to_string(100 + i) + ".vlpls"), file_of(body, true));
    }
    playlists_free(&store_);
    init();
    EXPECT_EQ(store_.count, MAX_PLAYLISTS);
    EXPECT_EQ(saved_items(0), V{"/music/song.mp3"});
}

TEST_F(Playlists, CreateChecksNamesDuplicatesAndTheLimit)
{
    init();
    ASSERT_EQ(playlist_create(&store_, "mixtape"), nullptr);
    const std::string long_name(70, 'n');
    const struct {
        std::string typed;
        const char* message;
        std::string made;  // the new playlist's file name; empty when refused
    } cases[] = {
        {"mix", nullptr, "mix.vlpls"},  // shorter than an existing name
        {"mixtape2", PLAYLIST_NAME_TAKEN, ""},
        {"favorites old", PLAYLIST_NAME_TAKEN, ""},
        {"", PLAYLIST_NAME_EMPTY, ""},
        {"../../etc", PLAYLIST_NAME_UNSAFE, ""},
        {"a/b", PLAYLIST_NAME_UNSAFE, ""},
        {".hidden", PLAYLIST_NAME_UNSAFE, ""},
        // Cut so that the extension it is found by still fits.
        {long_name, nullptr, std::string(57, 'n') + ".vlpls"},
    };
    for (const auto& c : cases) {
        const int before = store_.count;
        EXPECT_EQ(playlist_create(&store_, c.typed.c_str()), c.message) << c.typed;
        EXPECT_EQ(store_.count, before + (c.made.empty() ? 0 : 1)) << c.typed;
        if (!c.made.empty()) {
            EXPECT_EQ(std::string(store_.records[before].name), c.made);
            EXPECT_TRUE(fs::exists(dir_ / c.made));
        }
    }
    for (int i = store_.count; i < MAX_PLAYLISTS; ++i)
        ASSERT_EQ(playlist_create(&store_, std::string(1, char('A' + i)).c_str()), nullptr);
    EXPECT_EQ(playlist_create_check(&store_), PLAYLISTS_FULL);
    EXPECT_EQ(playlist_create(&store_, "one more"), PLAYLISTS_FULL);
    playlists_free(&store_);
    init();
    EXPECT_EQ(store_.count, MAX_PLAYLISTS) << "every playlist made comes back";
}

TEST(PlaylistDefaultName, LocalTimeInTheFixedFormWithUnderscores)
{
    setenv("TZ", "UTC", 1);
    tzset();
    char name[64];
    playlist_default_name(739309748, name, sizeof name);  // 1993-06-05 19:49:08 UTC
    EXPECT_STREQ(name, "playlist_Sat_Jun__5_19_49_08_1993");
}

TEST_F(Playlists, DeleteClosesTheGapAndSparesTheFavorites)
{
    init();
    for (const char* n : {"a", "b", "c"})
        ASSERT_EQ(playlist_create(&store_, n), nullptr);
    EXPECT_EQ(playlist_delete(&store_, 0), FAVORITES_UNDELETABLE);
    EXPECT_EQ(playlist_delete(&store_, 1), nullptr);
    EXPECT_EQ(names(), (V{"favorites.vlpls", "b.vlpls", "c.vlpls"}));
    EXPECT_FALSE(fs::exists(dir_ / "a.vlpls"));
    EXPECT_EQ(store_.records[3].in_use, 0);
    EXPECT_EQ(playlist_delete(&store_, 2), nullptr);  // the last one
    EXPECT_EQ(names(), (V{"favorites.vlpls", "b.vlpls"}));
}

TEST_F(Playlists, ItemsMoveRemoveAndEmptyAndEachChangeIsSaved)
{
    init();
    ASSERT_EQ(playlist_create(&store_, "p"), nullptr);
    PlaylistRecord* r = &store_.records[1];
    for (const char* n : {"/a", "/b", "/c"}) {
        r->items[r->item_count].in_use = 1;
        std::strcpy(r->items[r->item_count++].name, n);
    }
    const struct {
        int item;
        bool up;
        int want_at;
        V want;
    } moves[] = {
        {1, true, 0, {"/b", "/a", "/c"}},
        {0, true, 0, {"/b", "/a", "/c"}},   // the first cannot go up
        {2, false, 2, {"/b", "/a", "/c"}},  // nor the last down
        {0, false, 1, {"/a", "/b", "/c"}},
    };
    for (const auto& m : moves) {
        int at = -1;
        EXPECT_EQ(playlist_item_move(&store_, 1, m.item, m.up, &at), nullptr);
        EXPECT_EQ(at, m.want_at);
        EXPECT_EQ(items(1), m.want);
    }
    EXPECT_EQ(saved_items(1), (V{"/a", "/b", "/c"}));
    EXPECT_EQ(playlist_item_remove(&store_, 1, 1), nullptr);
    EXPECT_EQ(saved_items(1), (V{"/a", "/c"}));
    EXPECT_EQ(r->items[2].in_use, 0);
    EXPECT_EQ(playlist_clear(&store_, 1), nullptr);
    EXPECT_EQ(saved_items(1), V{});
}

// Folders go in among the local and remote folder items in name order,
// case-insensitively; files go at the end; 999 items is the limit.
TEST_F(Playlists, BookmarksKeepFoldersInNameOrderUpToTheLimit)
{
    init();
    SelectedItem sel{};
    std::strcpy(sel.display_name, "clip.mp4");
    std::strcpy(sel.play_path, "http://192.0.2.1/clip.mp4");
    std::strcpy(sel.upnp_extra, "<item/>");
    ASSERT_NE(favorites_add_file(&store_, SOURCE_UPNP, "Server/Videos/", &sel), nullptr);
    ASSERT_NE(favorites_add_folder(&store_, SOURCE_UPNP, "Server/Videos/", "udn:x,id:0/}7"),
              nullptr);
    for (const char* f : {"/m/", "/Z/", "/b/", "/M/"})
        favorites_add_folder(&store_, SOURCE_LOCAL, f, "");
    EXPECT_STREQ(favorites_add_folder(&store_, SOURCE_STREAMER, "/share/", ""),
                 "Added folder /share/ to favorites list.");
    EXPECT_EQ(items(0), (V{"/b/", "/M/", "/m/", "/share/", "/Z/", "Server/Videos/",
                           "Server/Videos/clip.mp4"}));
    const PlaylistRecord& fav = store_.records[0];
    EXPECT_EQ(fav.items[5].type, ITEM_UPNP_CONTAINER);
    EXPECT_STREQ(fav.items[5].url, "udn:x,id:0/}7");
    EXPECT_EQ(fav.items[3].type, ITEM_REMOTE_FOLDER);
    EXPECT_EQ(fav.items[6].type, ITEM_UPNP_ITEM);
    EXPECT_STREQ(fav.items[6].url, "http://192.0.2.1/clip.mp4");
    EXPECT_STREQ(fav.items[6].extra, "<item/>");
    EXPECT_EQ(saved_items(0), items(0));

    PlaylistRecord& full = store_.records[0];
    for (; full.item_count < PLAYLIST_ITEM_LIMIT; ++full.item_count)
        full.items[full.item_count].in_use = 1;
    EXPECT_EQ(favorites_add_file(&store_, SOURCE_LOCAL, "/x/", &sel), FAVORITES_FULL);
    EXPECT_EQ(favorites_add_folder(&store_, SOURCE_LOCAL, "/x/", ""), FAVORITES_FULL);
    EXPECT_EQ(store_.records[0].item_count, PLAYLIST_ITEM_LIMIT);
}

MediaEntry row(int kind, const char* name, int64_t size = 0)
{
    MediaEntry e{};
    e.kind = kind;
    std::strcpy(e.name, name);
    e.size = size;
    return e;
}

// Tapping a row adds it (and marks it) or takes it out again; "Select All"
// adds the media files; "Cancel" puts the playlist back as it was, in
// memory and on disk; "Done" saves.
TEST_F(Playlists, AddFilesModeTogglesRowsAndCancelDropsTheChanges)
{
    init();
    ASSERT_EQ(playlist_create(&store_, "p"), nullptr);
    const MediaEntry film = row(ENTRY_FILE, "film.mkv", 99), folder = row(ENTRY_FOLDER, "Kids");
    bool marked = false;
    for (bool done : {false, true}) {
        ASSERT_EQ(playlist_add_begin(&store_, 1), 0);
        EXPECT_EQ(playlist_add_row(&store_, SOURCE_LOCAL, "/v/", &film, &marked), nullptr);
        EXPECT_TRUE(marked);
        EXPECT_EQ(playlist_add_row(&store_, SOURCE_LOCAL, "/v/", &folder, &marked), nullptr);
        EXPECT_TRUE(playlist_add_row_marked(&store_, "/v/", &film));
        EXPECT_EQ(items(1), (V{"/v/Kids/", "/v/film.mkv"}));
        EXPECT_EQ(store_.records[1].items[0].type, ITEM_LOCAL_FOLDER);
        EXPECT_EQ(store_.records[1].items[1].size, 99);
        EXPECT_EQ(playlist_add_row(&store_, SOURCE_LOCAL, "/v/", &film, &marked), nullptr);
        EXPECT_FALSE(marked);
        EXPECT_FALSE(playlist_add_row_marked(&store_, "/v/", &film));
        EXPECT_EQ(saved_items(1), V{}) << "nothing is saved inside the mode";
        if (done) {
            EXPECT_EQ(playlist_add_done(&store_), nullptr);
            EXPECT_EQ(saved_items(1), V{"/v/Kids/"});
        } else {
            playlist_add_cancel(&store_);
            EXPECT_EQ(items(1), V{});
            EXPECT_EQ(saved_items(1), V{});
        }
        EXPECT_FALSE(playlist_add_active(&store_));
    }

    TestList rows;
    BrowserList& list = rows.list;
    for (const MediaEntry& e : {row(ENTRY_FOLDER, ".."), row(ENTRY_FILE, "a.mp3"),
                                row(ENTRY_FILE, "notes.txt"), row(ENTRY_FILE, "b.jpg")})
        *browser_list_add(&list) = e;
    ASSERT_EQ(playlist_add_begin(&store_, 1), 0);
    EXPECT_EQ(playlist_add_all(&store_, SOURCE_STREAMER, "/s/", &list), nullptr);
    EXPECT_EQ(items(1), (V{"/v/Kids/", "/s/a.mp3", "/s/b.jpg"}));
    EXPECT_EQ(store_.records[1].items[1].type, ITEM_REMOTE_FILE);
    while (store_.records[1].item_count + 2 <= PLAYLIST_ITEM_LIMIT)
        playlist_add_all(&store_, SOURCE_LOCAL, "/s/", &list);
    EXPECT_EQ(playlist_add_all(&store_, SOURCE_LOCAL, "/s/", &list), PLAYLIST_ITEMS_FULL);
    EXPECT_EQ(store_.records[1].item_count, PLAYLIST_ITEM_LIMIT);
    const MediaEntry more = row(ENTRY_FILE, "c.mp3");
    EXPECT_EQ(playlist_add_row(&store_, SOURCE_LOCAL, "/s/", &more, &marked), PLAYLIST_ITEMS_FULL);
    playlist_add_cancel(&store_);
    EXPECT_EQ(items(1), V{"/v/Kids/"});
}

// The two lists through the browser's fill: the list of playlists (mode 6)
// and the rows of every item type (mode 0).
TEST_F(Playlists, FillsListPlaylistsAndTheRowsOfEachItemType)
{
    init();
    ASSERT_EQ(playlist_create(&store_, "v1.2 mix"), nullptr);
    PlaylistRecord* r = &store_.records[1];
    for (int type = 0; type < PLAYLIST_ITEM_TYPE_COUNT; ++type) {
        PlaylistItem& it = r->items[type];
        it.in_use = 1;
        it.type = type;
        std::snprintf(it.name, sizeof it.name, "/item%d", type);
        std::strcpy(it.url, "u");
        std::strcpy(it.extra, "x");
        it.size = 10;
        it.mtime = 20;
    }
    r->item_count = PLAYLIST_ITEM_TYPE_COUNT;
    playlist_fill_bind(&store_);
    browser_set_sources(BrowserSources{playlist_source_list, playlist_source_items, nullptr,
                                       nullptr, nullptr, nullptr});
    TestList rows;
    BrowserList& list = rows.list;
    FillRequest req{};
    req.browse_mode = BROWSE_PLAYLISTS;
    ASSERT_EQ(browser_fill_list(&list, &req), 0);
    ASSERT_EQ(list.count, 2);
    EXPECT_STREQ(list.rows[0].name, "favorites");
    EXPECT_STREQ(list.rows[0].info, "<empty>");
    EXPECT_STREQ(list.rows[1].name, "v1.2 mix");
    EXPECT_STREQ(list.rows[1].info, "<6 items>");
    EXPECT_EQ(list.rows[1].kind, ENTRY_PLAYLIST);

    req.browse_mode = BROWSE_PLAYLIST_ITEMS;
    req.current_playlist = 1;
    ASSERT_EQ(browser_fill_list(&list, &req), 0);
    const struct {
        int kind;
        const char* info;
        const char* path;
        int64_t size, mtime;
        bool extra;
    } want[] = {
        {ENTRY_PLAYLIST_LOCAL, "<local>", "/item0", 10, 20, false},
        {ENTRY_PLAYLIST_REMOTE, "<remote>", "", 0, 0, false},
        {ENTRY_FOLDER, "<DIR>", "", 0, 20, false},
        {ENTRY_PLAYLIST_REMOTE_DIR, "<DIR>", "", 0, 20, false},
        {ENTRY_PLAYLIST_UPNP_DIR, "<upnp>", "u", 10, 20, true},
        {ENTRY_PLAYLIST_UPNP_ITEM, "<upnp>", "u", 10, 20, true},
    };
    ASSERT_EQ(list.count, PLAYLIST_ITEM_TYPE_COUNT);
    for (int i = 0; i < list.count; ++i) {
        const MediaEntry& e = list.rows[i];
        EXPECT_EQ(e.kind, want[i].kind) << i;
        EXPECT_EQ(e.source_index, i);
        EXPECT_EQ(std::string(e.name), "/item" + std::to_string(i));
        EXPECT_STREQ(e.info, want[i].info) << i;
        EXPECT_STREQ(e.path, want[i].path) << i;
        EXPECT_EQ(e.size, want[i].size) << i;
        EXPECT_EQ(e.mtime, want[i].mtime) << i;
        EXPECT_EQ(e.extra[0] == 'x', want[i].extra) << i;
    }
    req.current_playlist = 5;  // no such playlist
    EXPECT_EQ(browser_fill_list(&list, &req), -1);
    browser_set_sources(BrowserSources{});
    playlist_fill_bind(nullptr);
}

}  // namespace
