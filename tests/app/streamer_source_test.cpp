// The browser's remote source against the streamer simulator: a streamer
// folder becomes browser rows, its subtitle files become the picker's rows,
// and a missing account is the account message, not a connection attempt.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/streamer_source.h"
#include "browser/media_types.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/sim_process.h"

namespace {

struct StreamerSourceTest : ::testing::Test {
    AppState* app = app_create();
    ScratchDir media;
    SimProcess streamer;

    void SetUp() override
    {
        ASSERT_NE(app, nullptr);
        if (sim_python().empty())
            GTEST_SKIP() << "python3 is not installed: the simulator cannot run";
        std::filesystem::create_directories(media.file("Films"));
        for (const char* name : {"Films/clip.mp4", "Films/clip.srt", "Films/cover.jpg"})
            std::ofstream(media.file(name)) << "x";
        ASSERT_TRUE(streamer.start("streamer_sim.py", {media.path()}));
        Settings& s = app->settings;
        copy_text(s.username, sizeof s.username, "viewer");
        copy_text(s.password, sizeof s.password, "secret");
        s.connect_by_address = 1;
        copy_text(s.streamer_host, sizeof s.streamer_host, "127.0.0.1");
        s.streamer_port = streamer.port();
        streamer_link_start(app);
    }
    void TearDown() override
    {
        if (app)
            streamer_link_stop(app);
        app_destroy(app);
    }
    std::vector<std::string> rows(const char* path, const char* filter, int* status)
    {
        FillRequest request{};
        copy_text(request.path, sizeof request.path, path);
        request.filter = filter;
        browser_list_clear(&app->browser.list);
        *status = streamer_source_fill(&app->browser.list, &request);
        std::vector<std::string> out;
        for (int i = 0; i < app->browser.list.count; ++i)
            out.push_back(app->browser.list.rows[i].name);
        return out;
    }
};

TEST_F(StreamerSourceTest, AStreamerFolderBecomesRowsThroughTheFilterOfItsList)
{
    const struct {
        const char* path;
        const char* filter;
        std::vector<std::string> expected;
    } cases[] = {
        {"/", FILTER_MEDIA_WITHOUT_IMAGES, {"Films"}},
        {"/Films/", FILTER_MEDIA_WITHOUT_IMAGES, {"..", "clip.mp4"}},
        {"/Films/", FILTER_SUBTITLES, {"..", "clip.srt"}},
    };
    for (const auto& c : cases) {
        int status = 1;
        EXPECT_EQ(rows(c.path, c.filter, &status), c.expected) << c.path << " " << c.filter;
        EXPECT_EQ(status, 0);
    }
}

TEST_F(StreamerSourceTest, WithoutAnAccountTheSourceAsksForOne)
{
    app->settings.password[0] = '\0';
    int status = 0;
    EXPECT_TRUE(rows("/", FILTER_MEDIA_WITHOUT_IMAGES, &status).empty());
    EXPECT_EQ(status, ERR_NO_ACCOUNT);
}

}  // namespace
