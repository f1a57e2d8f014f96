// Moving through the lists: paths, scroll memory, Back and failed fills.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "browser/navigation.h"
#include "platform/text_copy.h"

namespace {

TEST(Paths, ParentsOfLocalDisplayAndObjectPaths)
{
    const struct {
        const char* path;
        const char* parent;
    } local[] = {
        {"/home/ann/Videos/", "/home/ann/"},
        {"/home/", "/"},
        {"/", "/"},
        {"a", "a"},  // one character stays
        {"/home/ann/clip.mp4", "/home/ann/"},
        {"Films/", ""},
    };
    for (const auto& c : local) {
        char p[PATH_SIZE];
        copy_text(p, sizeof p, c.path);
        path_parent(p);
        EXPECT_STREQ(p, c.parent) << c.path;
    }
    const struct {
        const char* path;
        const char* parent;
    } objects[] = {
        {"udn:abc,id:0/}64/}64$3", "udn:abc,id:0/}64"},
        {"udn:abc,id:0/}64", "udn:abc,id:0"},
        {"udn:abc,id:0", "/"},
    };
    for (const auto& c : objects) {
        char p[PATH_SIZE];
        copy_text(p, sizeof p, c.path);
        upnp_object_parent(p);
        EXPECT_STREQ(p, c.parent) << c.path;
    }
}

struct Nav {
    std::unique_ptr<BrowserState> b = std::make_unique<BrowserState>();
    std::unique_ptr<Settings> s = std::make_unique<Settings>();
    int32_t offsets[BROWSE_MODE_COUNT] = {};
    Nav(int mode, int source)
    {
        b->browse_mode = mode;
        b->list_source = source;
    }
    int tap(const char* name, int kind = ENTRY_FOLDER, const char* path = "")
    {
        static MediaEntry e;
        std::memset(&e, 0, sizeof e);
        e.kind = kind;
        copy_text(e.name, sizeof e.name, name);
        copy_text(e.path, sizeof e.path, path);
        return browser_navigate(b.get(), s.get(), offsets, &e);
    }
};

TEST(Navigate, IntoFoldersAndBackUpWithTheScrollPositionKept)
{
    Nav n(BROWSE_LOCAL, SOURCE_LOCAL);
    copy_text(n.s->browse_path_1, PATH_SIZE, "/");
    n.offsets[BROWSE_LOCAL] = 180;
    EXPECT_EQ(n.tap("home"), NAVIGATE_OPEN);
    EXPECT_STREQ(n.s->browse_path_1, "/home/");
    EXPECT_STREQ(n.b->previous_path, "/");
    EXPECT_EQ(n.offsets[BROWSE_LOCAL], 0);
    n.offsets[BROWSE_LOCAL] = 60;
    EXPECT_EQ(n.tap("ann"), NAVIGATE_OPEN);
    EXPECT_STREQ(n.s->browse_path_1, "/home/ann/");
    EXPECT_EQ(n.tap(".."), NAVIGATE_OPEN);
    EXPECT_STREQ(n.s->browse_path_1, "/home/");
    EXPECT_STREQ(n.b->previous_path, "/home/ann/");
    EXPECT_EQ(n.offsets[BROWSE_LOCAL], 60);
    EXPECT_EQ(n.tap(".."), NAVIGATE_OPEN);
    EXPECT_STREQ(n.s->browse_path_1, "/");
    EXPECT_STREQ(n.b->previous_path, "");  // at the root there is nothing to go back to
    EXPECT_EQ(n.offsets[BROWSE_LOCAL], 180);
    EXPECT_EQ(n.tap("clip.mp4", ENTRY_FILE), NAVIGATE_ITEM);
    EXPECT_EQ(n.tap("."), NAVIGATE_OPEN);
    EXPECT_STREQ(n.s->browse_path_1, "/");
}

TEST(Navigate, NamesThatWouldOverflowThePathAreRefused)
{
    Nav n(BROWSE_LOCAL, SOURCE_LOCAL);
    copy_text(n.s->browse_path_1, PATH_SIZE, "/media/");
    const std::string name(1020, 'n');
    EXPECT_EQ(n.tap(name.c_str()), NAVIGATE_IGNORED);
    EXPECT_STREQ(n.s->browse_path_1, "/media/");
    EXPECT_EQ(n.b->scroll[BROWSE_LOCAL].depth, 0);
}

TEST(Navigate, ScrollMemoryKeepsAtMost255Levels)
{
    ScrollMemory m{};
    int32_t offset = 0;
    for (int i = 0; i < 300; ++i) {
        offset = i + 1;
        scroll_enter(&m, &offset);
        EXPECT_EQ(offset, 0);
    }
    EXPECT_EQ(m.depth, 255);
    scroll_leave(&m, &offset);
    EXPECT_EQ(offset, 255);  // the deepest level saved
    for (int i = 0; i < 300; ++i)
        scroll_leave(&m, &offset);
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(m.depth, 0);
}

TEST(Navigate, RemoteAndUpnpFolders)
{
    Nav r(BROWSE_REMOTE, SOURCE_STREAMER);
    copy_text(r.s->browse_path_2, PATH_SIZE, "/");
    r.tap("Films");
    EXPECT_STREQ(r.s->browse_path_2, "/Films/");
    r.tap("Other Disk", ENTRY_REMOTE_ABSOLUTE_DIR);
    EXPECT_STREQ(r.s->browse_path_2, "/Other Disk/");

    Nav u(BROWSE_UPNP, SOURCE_UPNP);
    copy_text(u.s->browse_path_3, PATH_SIZE, "/");
    copy_text(u.s->browse_path_4, PATH_SIZE, "/");
    u.tap("Server", ENTRY_FOLDER, "udn:abc,id:0");
    u.tap("Music", ENTRY_FOLDER, "udn:abc,id:0/}1");
    EXPECT_STREQ(u.s->browse_path_3, "udn:abc,id:0/}1");
    EXPECT_STREQ(u.s->browse_path_4, "/Server/Music/");
    u.tap("..");
    EXPECT_STREQ(u.s->browse_path_3, "udn:abc,id:0");
    EXPECT_STREQ(u.s->browse_path_4, "/Server/");
    u.tap("..");
    EXPECT_STREQ(u.s->browse_path_3, "/");
    EXPECT_STREQ(u.s->browse_path_4, "/");
}

TEST(Navigate, FolderItemsOfAPlaylistOpenInTheirOwnSource)
{
    Nav n(BROWSE_PLAYLIST_ITEMS, SOURCE_LOCAL);
    EXPECT_EQ(n.tap("/home/ann/Music/", ENTRY_FOLDER, "/home/ann/Music/"), NAVIGATE_OPEN);
    EXPECT_EQ(n.b->browse_mode, BROWSE_LOCAL);
    EXPECT_EQ(n.b->previous_browse_mode, BROWSE_PLAYLIST_ITEMS);
    EXPECT_STREQ(n.s->browse_path_1, "/home/ann/Music/");
    EXPECT_STREQ(n.b->previous_path, FAVORITES_FOLDER);
}

TEST(Back, LeadsWhereThePreviousPlaceSays)
{
    const struct {
        int mode, previous_mode;
        const char* previous_path;
        bool current;
        int want;
    } cases[] = {
        {BROWSE_LOCAL, BROWSE_LOCAL, "", true, BACK_HOME},
        {BROWSE_LOCAL, BROWSE_LOCAL, "/home/", true, BACK_PARENT_ROW},
        {BROWSE_LOCAL, BROWSE_LOCAL, "data/favorites/", true, BACK_FAVORITES},
        {BROWSE_LOCAL, BROWSE_LOCAL, "data/playlists/", true, BACK_PLAYLISTS},
        {BROWSE_PLAYLIST_ITEMS, BROWSE_PLAYLISTS, "", true, BACK_PLAYLISTS},
        {BROWSE_RECORDINGS, BROWSE_LOCAL, "", true, BACK_SOURCE_HOME},
        {BROWSE_RECORDINGS, BROWSE_LOCAL, "", false, BACK_HOME},
    };
    for (const auto& c : cases) {
        auto b = std::make_unique<BrowserState>();
        b->browse_mode = c.mode;
        b->previous_browse_mode = c.previous_mode;
        copy_text(b->previous_path, PATH_SIZE, c.previous_path);
        EXPECT_EQ(browser_back_target(b.get(), c.current), c.want) << c.mode << c.previous_path;
    }
}

TEST(FillFailure, PutsThePreviousPlaceBackOrSendsHome)
{
    Nav n(BROWSE_LOCAL, SOURCE_LOCAL);
    copy_text(n.s->browse_path_1, PATH_SIZE, "/locked/");
    copy_text(n.b->previous_path, PATH_SIZE, "/home/");
    EXPECT_FALSE(browser_fill_failed(n.b.get(), n.s.get()));
    EXPECT_STREQ(n.s->browse_path_1, "/home/");

    n.b->previous_path[0] = '\0';
    EXPECT_TRUE(browser_fill_failed(n.b.get(), n.s.get()));
    EXPECT_STREQ(n.s->browse_path_1, "/");

    // The subtitle picker closes: its mode, source and path come back.
    Nav p(BROWSE_LOCAL, SOURCE_LOCAL);
    p.b->subtitle_picker = 1;
    p.b->picker_save.browse_mode = BROWSE_REMOTE;
    p.b->picker_save.list_source = SOURCE_STREAMER;
    copy_text(p.b->picker_save.path, PATH_SIZE, "/Films/");
    copy_text(p.b->previous_path, PATH_SIZE, "data/recordings/");
    EXPECT_FALSE(browser_fill_failed(p.b.get(), p.s.get()));
    EXPECT_EQ(p.b->subtitle_picker, 0);
    EXPECT_EQ(p.b->browse_mode, BROWSE_RECORDINGS);
    EXPECT_STREQ(p.s->browse_path_2, "/Films/");
}

}  // namespace
