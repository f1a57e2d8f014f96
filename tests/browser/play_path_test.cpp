// What a browser row plays from, and where playback resumes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "browser/play_path.h"
#include "browser/resume.h"
#include "browser_test_support.h"

namespace {

constexpr const char* DIDL = "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\">";

TEST(PlayPath, EachListPlaysFromItsOwnPlace)
{
    const struct {
        int mode, kind;
        const char *name, *path, *extra;
        int result;
        const char *want, *title, *subtitle_url;
    } cases[] = {
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_LOCAL, "/m/a.mkv", "/m/a.mkv", "", 0, "/m/a.mkv",
         "a.mkv", ""},
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_REMOTE, "r/Films/b.avi", "", "", 0, "/Films/b.avi",
         "b.avi", ""},
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_REMOTE, "r", "", "", -1, "", "", ""},
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_UPNP_ITEM, "Song", "http://h/1.mp3",
         "http://h/1.srt", 0, "http://h/1.mp3", "1.mp3", "http://h/1.srt"},
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_UPNP_ITEM, "Song", "", "", -1, "", "", ""},
        {BROWSE_RECORDINGS, ENTRY_FILE, "rec1.vlm", "", "", 0, "data/recordings/rec1.vlm",
         "rec1.vlm", ""},
        {BROWSE_LOCAL, ENTRY_FILE, "c.mp4", "", "", 0, "/media/c.mp4", "c.mp4", ""},
        {BROWSE_REMOTE, ENTRY_FILE, "d.ts", "", "", 0, "/TV/d.ts", "d.ts", ""},
        {BROWSE_UPNP, ENTRY_FILE, "Clip", "http://h/2.mp4", DIDL, 0, "http://h/2.mp4", "2.mp4",
         ""},  // the metadata is no subtitle URL
        {BROWSE_UPNP, ENTRY_FILE, "Clip", "", "", 0, "/", "", ""},
        {BROWSE_PLAYLISTS, ENTRY_PLAYLIST, "Party", "", "", 0, "Party", "Party", ""},
        {BROWSE_CHANNELS, ENTRY_FILE, "BBC", "", "", -1, "", "", ""},
    };
    for (const auto& c : cases) {
        MediaEntry e{};
        e.kind = c.kind;
        copy_text(e.name, sizeof e.name, c.name);
        copy_text(e.path, sizeof e.path, c.path);
        copy_text(e.extra, sizeof e.extra, c.extra);
        PlayPath out;
        EXPECT_EQ(entry_play_path(&e, c.mode, "/media/", "/TV/", &out), c.result) << c.name;
        EXPECT_STREQ(out.path, c.want) << c.name;
        EXPECT_STREQ(out.title, c.title) << c.name;
        EXPECT_STREQ(out.subtitle_url, c.subtitle_url) << c.name;
    }
}

TEST(PlayPath, LocalFilesPickUpTheSubtitleFileBesideThem)
{
    ScratchFolder dir;
    ASSERT_TRUE(dir.make_file("film.mkv") && dir.make_file("film.srt") &&
                dir.make_file("bare.mp4") && dir.make_folder("a.b") && dir.make_file("a.srt") &&
                dir.make_file("a.b/clip"));
    const struct {
        int mode, kind;
        std::string name;
        std::string want;
    } cases[] = {
        {BROWSE_LOCAL, ENTRY_FILE, "film.mkv", dir.path() + "film.srt"},
        {BROWSE_PLAYLIST_ITEMS, ENTRY_PLAYLIST_LOCAL, dir.path() + "film.mkv",
         dir.path() + "film.srt"},
        {BROWSE_LOCAL, ENTRY_FILE, "bare.mp4", ""},
        {BROWSE_LOCAL, ENTRY_FILE, "a.b/clip", ""},  // a dot in a folder name is no extension
        {BROWSE_REMOTE, ENTRY_FILE, "film.mkv", ""},
    };
    for (const auto& c : cases) {
        MediaEntry e{};
        e.kind = c.kind;
        copy_text(e.name, sizeof e.name, c.name.c_str());
        PlayPath out;
        ASSERT_EQ(entry_play_path(&e, c.mode, dir.path().c_str(), dir.path().c_str(), &out), 0);
        EXPECT_EQ(out.subtitle_file, c.want) << c.name;
    }
}

TEST(PlayPath, APathThatWouldNotFitIsRefusedWhole)
{
    MediaEntry e{};
    e.kind = ENTRY_FILE;
    std::memset(e.name, 'n', ENTRY_NAME_SIZE - 1);  // the longest name a row holds
    PlayPath out;
    EXPECT_EQ(entry_play_path(&e, BROWSE_PLAYLISTS, "", "", &out), 0);
    EXPECT_EQ(std::strlen(out.path), PATH_SIZE - 1);
    for (int mode : {BROWSE_LOCAL, BROWSE_REMOTE, BROWSE_RECORDINGS}) {
        EXPECT_EQ(entry_play_path(&e, mode, "/", "/", &out), -1) << mode;
        EXPECT_STREQ(out.path, "") << mode;
    }
}

TEST(PlayPath, ThePlayingRowIsFoundByItsPlayPath)
{
    TestList t;
    t.add(ENTRY_FOLDER, "..");
    t.add(ENTRY_FILE, "a.mp4");
    t.add(ENTRY_FILE, "b.mp4");
    t.add(ENTRY_FILE, "b.mp4");
    EXPECT_EQ(browser_row_of_play_path(&t.list, BROWSE_LOCAL, "/m/", "/", "/m/b.mp4"), 2);
    EXPECT_EQ(browser_row_of_play_path(&t.list, BROWSE_LOCAL, "/m/", "/", "/x/b.mp4"), -1);
    EXPECT_EQ(browser_row_of_play_path(&t.list, BROWSE_LOCAL, "/m/", "/", ""), -1);
}

TEST(Resume, PositionsAreKeptPerPathInRotatingSlots)
{
    auto table = std::make_unique<ResumeTable>();
    resume_store(table.get(), "/m/a.mp4", 1000);
    resume_store(table.get(), "/m/a.mp4", 2500);  // the same path keeps its slot
    EXPECT_EQ(resume_lookup(table.get(), "/m/a.mp4"), 2500);
    EXPECT_EQ(table->next_slot, 1);
    EXPECT_EQ(resume_lookup(table.get(), "/m/b.mp4"), -1);
    for (int i = 1; i <= RESUME_TABLE_SIZE; ++i)  // path 301 lands in slot 0
        resume_store(table.get(), ("/m/" + std::to_string(i)).c_str(), i);
    EXPECT_EQ(resume_lookup(table.get(), "/m/a.mp4"), -1);
    EXPECT_STREQ(table->entries[0].path, "/m/300");
    EXPECT_EQ(resume_lookup(table.get(), "/m/1"), 1);
    EXPECT_EQ(table->next_slot, 1);
    resume_store(table.get(), "", 5);  // an empty path would match every free slot
    EXPECT_EQ(resume_lookup(table.get(), ""), -1);
}

TEST(Resume, ADamagedTableFromTheSettingsFileIsReadSafely)
{
    for (int damaged_slot : {RESUME_TABLE_SIZE, -7, 1 << 30}) {
        auto table = std::make_unique<ResumeTable>();
        std::memset(table->entries[1].path, 'x', PATH_SIZE);  // no terminator
        table->next_slot = damaged_slot;
        resume_store(table.get(), "/m/a.mp4", 42);
        EXPECT_STREQ(table->entries[0].path, "/m/a.mp4") << damaged_slot;
        EXPECT_EQ(table->next_slot, 1);
        EXPECT_EQ(resume_lookup(table.get(), std::string(PATH_SIZE - 1, 'x').c_str()), -1);
    }
}

}  // namespace
