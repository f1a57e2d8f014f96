// The thumbnail worker with a maker that records what it is asked: the
// panel's picture comes before rows, rows come one by one in order, an
// answer for a request that was replaced is dropped, a flung list waits,
// and stopping does not wait for idle time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/thumb_worker.h"
#include "platform/event_codes.h"
#include "platform/sync.h"
#include "ui/events.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

namespace {

std::mutex g_lock;
std::vector<std::string> g_made;  // "size:path" in the order asked
std::atomic<int> g_pushed{0};
std::atomic<int> g_delay_ms{0};

std::atomic<int> g_started{0};  // makes begun

int fake_make(const char* path, int size)
{
    g_started++;
    std::this_thread::sleep_for(std::chrono::milliseconds(g_delay_ms.load()));
    std::lock_guard<std::mutex> guard(g_lock);
    g_made.push_back(std::to_string(size) + ":" + path);
    return std::strstr(path, "broken") ? -1 : 0;
}

bool fake_lookup(const char* path, int size, char* out, size_t n)
{
    std::lock_guard<std::mutex> guard(g_lock);
    for (const std::string& m : g_made)
        if (m == std::to_string(size) + ":" + path) {
            std::snprintf(out, n, "thumbs/%s.png", path);
            return true;
        }
    return false;
}

int count_push(SDL_Event* e)
{
    if (e->type == SDL_USEREVENT && e->user.code == UI_EVENT_THUMBNAIL)
        ++g_pushed;
    return 0;
}
int no_poll(SDL_Event*)
{
    return 0;
}
int no_peep(SDL_Event*, int, Uint32)
{
    return 0;
}
const EventSource FAKE_EVENTS{no_poll, no_peep, count_push};

class ThumbWorker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ui_toolkit_init(), 0);
        ui_set_event_source(&FAKE_EVENTS);
        g_made.clear();
        g_pushed = 0;
        g_delay_ms = 0;
        g_started = 0;
        ASSERT_EQ(thumb_worker_start(&ui_, ThumbMaker{fake_make, fake_lookup}), 0);
    }
    void TearDown() override
    {
        thumb_worker_stop();
        ui_set_event_source(nullptr);
        ui_toolkit_free();
    }
    // The worker runs at the lowest priority: on a busy machine it may wait
    // its turn for a while.
    static bool eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 1000; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    std::vector<std::string> made()
    {
        std::lock_guard<std::mutex> guard(g_lock);
        return g_made;
    }
    UiState ui_{};
};

TEST_F(ThumbWorker, MakesThePanelPictureWhileRowsWaitThenTheRowsInOrder)
{
    // The rows wait while the list is flung; the panel's picture does not.
    {
        LockGuard guard(ui_registry_lock());
        ui_.fling_active = 1;
    }
    thumb_request_rows({"a.mp4", "", "broken.mp4", "b.mp4"});
    thumb_request_panel("film.mkv");
    ASSERT_TRUE(eventually([] { return thumb_panel_done("film.mkv"); }));
    {
        LockGuard guard(ui_registry_lock());
        ui_.fling_active = 0;
    }
    std::vector<ThumbReady> ready;
    ASSERT_TRUE(eventually([&] {
        for (ThumbReady& r : thumb_take_ready())
            ready.push_back(r);
        return ready.size() == 2;
    }));
    std::vector<std::string> m = made();
    ASSERT_GE(m.size(), 4u);
    EXPECT_EQ(m[0], "1:film.mkv");
    EXPECT_EQ(std::vector<std::string>(m.begin() + 1, m.begin() + 4),
              (std::vector<std::string>{"0:a.mp4", "0:broken.mp4", "0:b.mp4"}));
    EXPECT_EQ(ready[0].row, 0);
    EXPECT_EQ(ready[0].file, "thumbs/a.mp4.png");
    EXPECT_EQ(ready[1].row, 3);  // the folder row and the broken file give none
    EXPECT_GE(g_pushed.load(), 3);
    // A picture that cannot be made still ends the panel's wait.
    thumb_request_panel("broken.mp4");
    EXPECT_TRUE(eventually([] { return thumb_panel_done("broken.mp4"); }));
}

TEST_F(ThumbWorker, AnswersForAReplacedRequestAreDroppedAndAFlungListWaits)
{
    g_delay_ms = 150;
    thumb_request_rows({"old.mp4"});
    ASSERT_TRUE(eventually([] { return g_started > 0; }));  // old.mp4 is being made
    thumb_request_rows({"new.mp4"});
    ASSERT_TRUE(eventually([&] { return made().size() >= 2; }));
    std::vector<ThumbReady> ready;
    ASSERT_TRUE(eventually([&] {
        for (ThumbReady& r : thumb_take_ready())
            ready.push_back(r);
        return !ready.empty();
    }));
    for (const ThumbReady& r : ready)
        EXPECT_EQ(r.file, "thumbs/new.mp4.png");

    g_delay_ms = 0;
    {
        LockGuard guard(ui_registry_lock());
        ui_.fling_active = 1;
    }
    size_t before = made().size();
    thumb_request_rows({"c.mp4"});
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(made().size(), before) << "made while the list was flung";
    {
        LockGuard guard(ui_registry_lock());
        ui_.fling_active = 0;
    }
    EXPECT_TRUE(eventually([&] { return made().size() == before + 1; }));

    auto started = std::chrono::steady_clock::now();
    thumb_worker_stop();
    // Well under the queue's worth of work: the stop does not wait for it.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
}

}  // namespace
