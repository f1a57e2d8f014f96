// The browser list's rows in order and in play: sorting, the play order of
// continuous play, the path each row plays from, and the resume table.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "browser/play_order.h"
#include "browser/play_path.h"
#include "browser/resume.h"
#include "browser/sort.h"
#include "platform/text_copy.h"
#include "tests/browser/browser_test_support.h"
#include "tests/scratch_dir.h"

namespace {

// An empty file modified at mtime.
bool make_file(const std::string& path, time_t mtime)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    struct timeval times[2] = {{mtime, 0}, {mtime, 0}};
    return f && std::fclose(f) == 0 && utimes(path.c_str(), times) == 0;
}

TEST(BrowserSort, EveryKeyKeepsFoldersFirstDotDotOnTopAndTiesInListOrder)
{
    const std::pair<int, const char*> cases[] = {
        {SORT_NAME_UP, ".. alpha Zeta A.mp4 ab.mp4 b.mkv c.avi"},
        {SORT_NAME_DOWN, ".. Zeta alpha c.avi b.mkv ab.mp4 A.mp4"},
        {SORT_DATE_UP, ".. alpha Zeta c.avi A.mp4 ab.mp4 b.mkv"},
        {SORT_DATE_DOWN, ".. Zeta alpha b.mkv A.mp4 ab.mp4 c.avi"},
        {SORT_SIZE_UP, ".. Zeta alpha A.mp4 ab.mp4 c.avi b.mkv"},
        {SORT_SIZE_DOWN, ".. Zeta alpha b.mkv c.avi A.mp4 ab.mp4"},
    };
    for (const auto& [key, want] : cases) {
        TestList t;
        t.add(ENTRY_FOLDER, "..");
        t.add(ENTRY_FILE, "b.mkv", 30, 300);
        t.add(ENTRY_FOLDER, "Zeta", 0, 100);
        t.add(ENTRY_FILE, "A.mp4", 10, 200);
        t.add(ENTRY_PLAYLIST_REMOTE_DIR, "alpha", 0, 50);
        t.add(ENTRY_FILE, "c.avi", 20, 100);
        t.add(ENTRY_FILE, "ab.mp4", 10, 200);
        browser_sort(&t.list, BROWSE_LOCAL, key, "");
        EXPECT_EQ(t.joined(), want) << "key " << key;
        browser_sort(&t.list, BROWSE_PLAYLIST_ITEMS, key ^ 1, "");  // playlists keep their order
        browser_sort(&t.list, BROWSE_PLAYLISTS, key ^ 1, "");
        EXPECT_EQ(t.joined(), want) << "key " << key;
    }
}

// Names compare whole and without case; date texts compare as text, ahead
// of the rows dated by time ("timed" has mtime 5, the others a date text).
TEST(BrowserSort, NamesAndDateTextsFormOneConsistentOrder)
{
    const struct {
        int key;
        std::vector<const char*> rows;
        const char* want;
    } cases[] = {
        {SORT_NAME_UP, {"abd", "ab", "ABC", "Ab", "a"}, "a ab Ab ABC abd"},
        {SORT_DATE_UP, {"timed", "2021-05", "2019-01", "2020-12"}, "2019-01 2020-12 2021-05 timed"},
        {SORT_DATE_DOWN,
         {"timed", "2021-05", "2019-01", "2020-12"},
         "timed 2021-05 2020-12 2019-01"},
    };
    for (const auto& c : cases) {
        TestList t;
        for (const char* n : c.rows)
            copy_text(t.add(ENTRY_FILE, n, 0, 5)->date_text, ENTRY_DATE_SIZE, n[0] == '2' ? n : "");
        browser_sort(&t.list, BROWSE_UPNP, c.key, "udn:x,id:0");
        EXPECT_EQ(t.joined(), c.want);
    }
}

TEST(BrowserSort, RowsWithoutATimeAreDatedByTheirFilesStatus)
{
    ScratchDir scratch;
    const std::string dir = scratch.path() + "/";
    ASSERT_TRUE(make_file(dir + "old", 1000) && make_file(dir + "new", 3000) &&
                make_file(dir + "mid", 2000));
    for (const std::string& p : {std::string(), dir}) {  // "" path: the name alone
        TestList t;
        for (const char* n : {"new", "gone", "old", "mid"})
            t.add(ENTRY_FILE, (p + n).c_str());
        t.add(ENTRY_FILE, "own time", 0, 1500);
        browser_sort(&t.list, BROWSE_LOCAL, SORT_DATE_UP, p.empty() ? dir.c_str() : "");
        EXPECT_EQ(t.joined(), p + "gone " + p + "old own time " + p + "mid " + p + "new");
    }
}

int test_random()
{
    static unsigned state = 12345;
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7fff);
}

// Rows 0..count-1, files at the given rows and folders elsewhere.
void fill(TestList* t, int count, const std::vector<int>& files)
{
    for (int i = 0; i < count; ++i)
        t->add(std::count(files.begin(), files.end(), i) ? ENTRY_FILE : ENTRY_FOLDER, "row");
}

// Steps written as flags and the row expected: "p" previous, "x" an explicit
// request, "s" shuffle, "r" repeat; "x5" is an explicit next that plays row 5.
TEST(PlayOrder, StepsSkipFoldersWrapAndStopAfterOneRoundUnlessAsked)
{
    const struct {
        const char* story;
        std::vector<int> files;
        int selected;
        const char* steps;
    } cases[] = {
        {"one round, then stop", {1, 3, 5}, 3, "5 1 -1"},
        {"repeat goes on", {1, 3, 5}, 3, "5 1 r3"},
        {"an explicit next goes on", {1, 3, 5}, 5, "1 3 x5 1"},
        {"previous at the first wraps to the last", {1, 3, 5}, 1, "p5 p3"},
        {"no chosen row starts at the first", {1, 3, 5}, -1, "1 3 5 -1"},
        {"no chosen row, backward from the last", {1, 3, 5}, -1, "p5"},
        {"one row shuffled plays again on next", {1}, 1, "sx1 s-1"},
        {"no playable row", {}, 0, "xr-1"},
        {"a refilled list is built again", {1, 3, 5}, 3, "5 + 5 7"},  // "+": a file row added
    };
    for (const auto& c : cases) {
        TestList t;
        fill(&t, 7, c.files);
        PlayOrder order{};
        order.reset = 1;
        std::istringstream steps(c.steps);
        for (std::string s; steps >> s;) {
            if (s == "+") {
                t.add(ENTRY_FILE, "new");
                continue;
            }
            auto has = [&](char flag) { return s.find(flag) != std::string::npos; };
            int want = std::stoi(s.substr(s.find_first_of("-0123456789")));
            EXPECT_EQ(play_order_step(&order, &t.list, c.selected, has('p'), has('x'),
                                      has('s') ? 1 : 0, has('r'), test_random),
                      want)
                << c.story << ", step " << s;
        }
    }
}

TEST(PlayOrder, ShufflePlaysEveryRowOnceThenStops)
{
    TestList t;
    fill(&t, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    for (int selected : {0, 4, 9}) {
        PlayOrder order{};
        order.reset = 1;
        std::vector<int> played(1, selected);
        for (int row;
             played.size() <= 20 && (row = play_order_step(&order, &t.list, selected, false, false,
                                                           1, 0, test_random)) >= 0;)
            played.push_back(row);
        std::sort(played.begin(), played.end());
        EXPECT_EQ(played, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9})) << selected;
    }
}

MediaEntry row(int kind, const std::string& name, const char* path = "", const char* extra = "")
{
    MediaEntry e{};
    e.kind = kind;
    copy_text(e.name, sizeof e.name, name.c_str());
    copy_text(e.path, sizeof e.path, path);
    copy_text(e.extra, sizeof e.extra, extra);
    return e;
}

TEST(PlayPath, EachListPlaysFromItsOwnPlace)
{
    const struct {
        int mode;
        MediaEntry e;
        const char *want, *subtitle_url;  // want "": refused
    } cases[] = {
        {BROWSE_PLAYLIST_ITEMS, row(ENTRY_PLAYLIST_LOCAL, "/m/a.mkv", "/m/a.mkv"), "/m/a.mkv", ""},
        {BROWSE_PLAYLIST_ITEMS, row(ENTRY_PLAYLIST_REMOTE, "r/TV/b.ts"), "/TV/b.ts", ""},
        {BROWSE_PLAYLIST_ITEMS, row(ENTRY_PLAYLIST_REMOTE, "r"), "", ""},
        {BROWSE_PLAYLIST_ITEMS,
         row(ENTRY_PLAYLIST_UPNP_ITEM, "Song", "http://h/1", "http://h/1.srt"), "http://h/1",
         "http://h/1.srt"},
        {BROWSE_PLAYLIST_ITEMS, row(ENTRY_PLAYLIST_UPNP_ITEM, "Song"), "", ""},
        {BROWSE_RECORDINGS, row(ENTRY_FILE, "r.vlm"), "data/recordings/r.vlm", ""},
        {BROWSE_LOCAL, row(ENTRY_FILE, "c.mp4"), "/media/c.mp4", ""},
        {BROWSE_REMOTE, row(ENTRY_FILE, "d.ts"), "/TV/d.ts", ""},
        {BROWSE_UPNP, row(ENTRY_FILE, "Clip", "http://h/2", "<DIDL-Lite xmlns=\"urn:x\">"),
         "http://h/2", ""},  // the metadata is no subtitle URL
        {BROWSE_UPNP, row(ENTRY_FILE, "Clip"), "/", ""},
        {BROWSE_PLAYLISTS, row(ENTRY_PLAYLIST, "Party"), "Party", ""},
        {BROWSE_CHANNELS, row(ENTRY_FILE, "BBC"), "", ""},
    };
    for (const auto& c : cases) {
        PlayPath out;
        EXPECT_EQ(entry_play_path(&c.e, c.mode, "/media/", "/TV/", &out), c.want[0] ? 0 : -1);
        EXPECT_STREQ(out.path, c.want) << c.e.name;
        EXPECT_STREQ(out.subtitle_url, c.subtitle_url) << c.e.name;
    }
}

TEST(PlayPath, LocalFilesPickUpTheSubtitleFileBesideThem)
{
    ScratchDir scratch;
    const std::string dir = scratch.path() + "/";
    ASSERT_EQ(mkdir((dir + "a.b").c_str(), 0755), 0);
    for (const char* name : {"film.mkv", "film.srt", "bare.mp4", "a.srt", "a.b/clip"})
        ASSERT_TRUE(make_file(dir + name, 1000)) << name;
    const std::string srt = dir + "film.srt";
    const struct {
        int mode;
        MediaEntry e;
        std::string want;
    } cases[] = {
        {BROWSE_LOCAL, row(ENTRY_FILE, "film.mkv"), srt},
        {BROWSE_PLAYLIST_ITEMS, row(ENTRY_PLAYLIST_LOCAL, dir + "film.mkv"), srt},
        {BROWSE_LOCAL, row(ENTRY_FILE, "bare.mp4"), ""},
        {BROWSE_LOCAL, row(ENTRY_FILE, "a.b/clip"), ""},  // a folder's dot is no extension
        {BROWSE_REMOTE, row(ENTRY_FILE, "film.mkv"), ""},
    };
    for (const auto& c : cases) {
        PlayPath out;
        ASSERT_EQ(entry_play_path(&c.e, c.mode, dir.c_str(), dir.c_str(), &out), 0);
        EXPECT_EQ(out.subtitle_file, c.want) << c.e.name;
    }
}

TEST(PlayPath, APathThatWouldNotFitIsRefusedWhole)
{
    MediaEntry e = row(ENTRY_FILE, std::string(ENTRY_NAME_SIZE - 1, 'n'));  // the longest name
    PlayPath out;
    EXPECT_EQ(entry_play_path(&e, BROWSE_PLAYLISTS, "", "", &out), 0);
    for (int mode : {BROWSE_LOCAL, BROWSE_REMOTE, BROWSE_RECORDINGS}) {
        EXPECT_EQ(entry_play_path(&e, mode, "/", "/", &out), -1) << mode;
        EXPECT_STREQ(out.path, "") << mode;
    }
}

TEST(PlayPath, ThePlayingRowIsFoundByItsPlayPath)
{
    TestList t;
    for (const char* n : {"..", "a.mp4", "b.mp4", "b.mp4"})
        t.add(ENTRY_FILE, n);
    EXPECT_EQ(browser_row_of_play_path(&t.list, BROWSE_LOCAL, "/m/", "/", "/m/b.mp4"), 2);
    EXPECT_EQ(browser_row_of_play_path(&t.list, BROWSE_LOCAL, "/m/", "/", "/x/b.mp4"), -1);
}

TEST(Resume, PositionsAreKeptPerPathInRotatingSlots)
{
    auto table = std::make_unique<ResumeTable>();
    resume_store(table.get(), "/m/a.mp4", 1000);
    resume_store(table.get(), "/m/a.mp4", 2500);  // the same path keeps its slot
    resume_store(table.get(), "", 5);             // an empty path would match every free slot
    EXPECT_EQ(resume_lookup(table.get(), "/m/a.mp4"), 2500);
    EXPECT_EQ(resume_lookup(table.get(), ""), -1);
    for (int i = 1; i < RESUME_TABLE_SIZE; ++i)
        resume_store(table.get(), ("/m/" + std::to_string(i)).c_str(), i);
    resume_store(table.get(), "/m/b.mp4", 7);  // the 301st path lands in slot 0
    EXPECT_EQ(resume_lookup(table.get(), "/m/a.mp4"), -1);
    EXPECT_EQ(resume_lookup(table.get(), "/m/b.mp4"), 7);
    EXPECT_EQ(resume_lookup(table.get(), "/m/1"), 1);
    EXPECT_EQ(table->next_slot, 1);
}

TEST(Resume, ADamagedTableFromTheSettingsFileIsReadSafely)
{
    for (int damaged_slot : {RESUME_TABLE_SIZE, -7, 1 << 30}) {
        auto table = std::make_unique<ResumeTable>();
        std::memset(table->entries[1].path, 'x', PATH_SIZE);  // no terminator
        table->next_slot = damaged_slot;
        resume_store(table.get(), "/m/a.mp4", 42);
        EXPECT_STREQ(table->entries[0].path, "/m/a.mp4") << damaged_slot;
        EXPECT_EQ(resume_lookup(table.get(), std::string(PATH_SIZE - 1, 'x').c_str()), -1);
    }
}

}  // namespace
