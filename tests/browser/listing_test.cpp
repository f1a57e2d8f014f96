// Filling the browser's table: streamer listings and local folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/listing.h"
#include "browser/media_types.h"
#include "platform/result_codes.h"
#include "tests/browser/browser_test_support.h"
#include "tests/scratch_dir.h"

namespace {

std::string rec(const std::string& name, char type)
{
    return name + std::string(1, '\0') + std::string(1, type);
}

TEST(RemoteListing, RecordsBecomeRowsByTheirTypeAndTheFilter)
{
    using V = std::vector<std::string>;
    const std::string long_name(1024, 'x');
    const struct {
        const char* path;
        std::string buffer;
        V want;
    } cases[] = {
        {"/Films/", rec("Kids", 'd') + rec("a.mkv", 'f') + rec("notes.txt", 'f'),
         V{"..", "Kids", "a.mkv"}},
        {"/", rec("Kids", 'd'), V{"Kids"}},                                 // no ".." at the root
        {"/Films/", rec("..", 'd') + rec("b.avi", 'f'), V{"..", "b.avi"}},  // no second ".."
        {"/Films/", rec(long_name, 'd') + rec("c.mp4", 'f'), V{"..", "Name too long!", "c.mp4"}},
        {"/Films/", rec(long_name.substr(5) + ".mp4", 'f'), V{"..", long_name.substr(5) + ".mp4"}},
        {"/Films/", rec("", 'd') + rec("d.mp4", 'f'), V{"..", "Error reading folder!"}},
        {"/Films/", rec("e.mp4", 'f') + "cut-off-name", V{"..", "e.mp4"}},
        {"/Films/", rec("f.mp4", 'f') + std::string("g.mp4\0", 6), V{"..", "f.mp4"}},
        {"/Films/", rec("pic.jpg", 'f'), V{".."}},  // the streamer's filter has no pictures
    };
    for (const auto& c : cases) {
        TestList t;
        remote_listing_parse(&t.list, c.path, FILTER_MEDIA_WITHOUT_IMAGES,
                             reinterpret_cast<const uint8_t*>(c.buffer.data()), c.buffer.size());
        EXPECT_EQ(t.names(), c.want) << c.path << " " << c.buffer.size();
    }
    TestList t;
    std::string b = rec("/abs", 'l') + rec("live", 'v');
    remote_listing_parse(&t.list, "/", FILTER_MEDIA_WITHOUT_IMAGES,
                         reinterpret_cast<const uint8_t*>(b.data()), b.size());
    ASSERT_EQ(t.list.count, 2);
    EXPECT_EQ(t.list.rows[0].kind, ENTRY_REMOTE_ABSOLUTE_DIR);
    EXPECT_STREQ(t.list.rows[0].info, "<DIR>");
    EXPECT_EQ(t.list.rows[1].kind, ENTRY_REMOTE_V);
}

TEST(RemoteListing, FillingStopsAtTheTableSize)
{
    std::string b;
    for (int i = 0; i < MAX_BROWSER_ENTRIES + 10; ++i)
        b += rec("f" + std::to_string(i) + ".mp4", 'f');
    TestList t;
    remote_listing_parse(&t.list, "/x/", FILTER_MEDIA_WITH_IMAGES,
                         reinterpret_cast<const uint8_t*>(b.data()), b.size());
    EXPECT_EQ(t.list.count, MAX_BROWSER_ENTRIES);
    EXPECT_EQ(browser_list_add(&t.list), nullptr);
}

class LocalFolder : public ::testing::Test {
protected:
    ScratchDir scratch;
    const std::string dir = scratch.path() + "/";
    void file(const std::string& name, size_t size)
    {
        std::FILE* f = std::fopen((dir + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string bytes(size, 'v');
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
};

TEST_F(LocalFolder, ListsFoldersAndMediaWithTheirStatusAndSkipsTheRest)
{
    mkdir((dir + "Season 1").c_str(), 0755);
    mkdir((dir + ".hidden").c_str(), 0755);
    file("clip.MP4", 2048);
    file("readme.txt", 10);
    file(".secret.mp4", 10);
    std::string bad_utf8 = "caf\xE9\xFF.mkv";
    file(bad_utf8, 5);
    ASSERT_EQ(symlink((dir + "gone.avi").c_str(), (dir + "dangling.avi").c_str()), 0);
    TestList t;
    ASSERT_EQ(fill_local_folder(&t.list, dir.c_str(), FILTER_MEDIA_WITH_IMAGES, true), 0);
    std::vector<std::string> names = t.names();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "..");
    for (int i = 1; i < t.list.count; ++i) {
        const MediaEntry& e = t.list.rows[i];
        EXPECT_EQ(std::string(e.path), dir + e.name);
        if (std::string(e.name) == "Season 1") {
            EXPECT_EQ(e.kind, ENTRY_FOLDER);
            EXPECT_STREQ(e.info, "<DIR>");
            EXPECT_EQ(e.size, 0);
        } else if (std::string(e.name) == "clip.MP4") {
            EXPECT_EQ(e.kind, ENTRY_FILE);
            EXPECT_STREQ(e.info, "2.00 KB");
            EXPECT_EQ(e.size, 2048);
            EXPECT_GT(e.mtime, 0);
        } else {
            EXPECT_EQ(std::string(e.name), bad_utf8);
            EXPECT_STREQ(e.info, "5 bytes");
        }
    }
}

TEST_F(LocalFolder, AFolderThatCannotBeReadIsAnErrorAndTheRootHasNoParentRow)
{
    TestList t;
    EXPECT_EQ(
        fill_local_folder(&t.list, (dir + "missing/").c_str(), FILTER_MEDIA_WITH_IMAGES, true),
        ERR_GENERIC);
    EXPECT_EQ(t.list.count, 0);
    FillRequest r{};
    r.browse_mode = BROWSE_LOCAL;
    r.list_source = SOURCE_LOCAL;
    r.filter = FILTER_MEDIA_WITH_IMAGES;
    std::snprintf(r.path, sizeof r.path, "/");
    ASSERT_EQ(browser_fill_list(&t.list, &r), 0);
    ASSERT_GT(t.list.count, 0);
    EXPECT_STRNE(t.list.rows[0].name, "..");
    r.list_source = SOURCE_UPNP;  // no servers known yet
    r.browse_mode = BROWSE_UPNP;
    EXPECT_EQ(browser_fill_list(&t.list, &r), ERR_NO_UPNP_SERVER);
}

}  // namespace
