#include "app/thumb_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/event_codes.h"
#include "platform/sync.h"
#include "ui/events.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

namespace {

using namespace std::chrono_literals;

constexpr auto BETWEEN_ROWS = 100ms;  // at most ten thumbnails a second
constexpr auto WHILE_FLUNG = 100ms;   // looks again this soon when the list moves
constexpr auto IDLE = 500ms;
constexpr int WORKER_NICENESS = 19;

// Everything the main thread and the worker share, under `lock`.
struct Shared {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    std::vector<std::string> rows;  // the current request's paths
    uint64_t generation = 0;        // counts requests: a result of an older one is stale
    size_t next_row = 0;
    std::vector<ThumbReady> ready;
    std::string panel_path;  // asked for, not yet made
    std::string panel_done;  // tried (made or not) since it was asked for
};

Shared g_shared;
std::thread g_thread;
const UiState* g_ui = nullptr;
ThumbMaker g_maker{};

bool list_flung()
{
    LockGuard guard(ui_registry_lock());
    return g_ui && g_ui->fling_active;
}

void post_ready()
{
    ui_push_user_event(UI_EVENT_THUMBNAIL);
}

void serve_panel(std::unique_lock<std::mutex>& held)
{
    std::string path = g_shared.panel_path;
    held.unlock();
    char file[1024];
    if (!g_maker.lookup(path.c_str(), THUMB_SIZE_PANEL, file, sizeof file))
        g_maker.make(path.c_str(), THUMB_SIZE_PANEL);  // none made: the panel says so
    held.lock();
    if (g_shared.panel_path == path) {
        g_shared.panel_path.clear();
        g_shared.panel_done = path;
    }
    // Also when nothing was made: the panel stops waiting and says so.
    post_ready();
}

// Makes (or finds) the small thumbnail of the next row of the request.
void serve_row(std::unique_lock<std::mutex>& held)
{
    size_t row = g_shared.next_row++;
    std::string path = g_shared.rows[row];
    uint64_t generation = g_shared.generation;
    held.unlock();
    char file[1024] = "";
    bool found = g_maker.lookup(path.c_str(), THUMB_SIZE_SMALL, file, sizeof file);
    if (!found && g_maker.make(path.c_str(), THUMB_SIZE_SMALL) == 0)
        found = g_maker.lookup(path.c_str(), THUMB_SIZE_SMALL, file, sizeof file);
    held.lock();
    // The request may have been replaced meanwhile: then the result is stale.
    if (generation != g_shared.generation)
        return;
    if (found) {
        g_shared.ready.push_back({int(row), file});
        post_ready();
    }
}

// Rows without a path need nothing: they are passed over at once.
bool rows_pending()
{
    while (g_shared.next_row < g_shared.rows.size() && g_shared.rows[g_shared.next_row].empty())
        ++g_shared.next_row;
    return g_shared.next_row < g_shared.rows.size();
}

void worker()
{
    // Below everything else: decoding a thumbnail must never take time
    // from playback or from the list's frames.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), WORKER_NICENESS);
    std::unique_lock<std::mutex> held(g_shared.lock);
    while (!g_shared.stop) {
        if (!g_shared.panel_path.empty()) {
            serve_panel(held);
            continue;
        }
        if (!rows_pending()) {
            g_shared.wake.wait_for(held, IDLE);
            continue;
        }
        held.unlock();
        bool flung = list_flung();
        held.lock();
        if (flung) {
            g_shared.wake.wait_for(held, WHILE_FLUNG);
            continue;
        }
        serve_row(held);
        g_shared.wake.wait_for(held, BETWEEN_ROWS);
    }
}

}  // namespace

int thumb_worker_start(const UiState* ui, const ThumbMaker& maker)
{
    if (g_thread.joinable() || !maker.make || !maker.lookup)
        return -1;
    g_ui = ui;
    g_maker = maker;
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.stop = false;
    }
    try {
        g_thread = std::thread(worker);
    } catch (...) {
        return -1;
    }
    return 0;
}

void thumb_worker_stop()
{
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.stop = true;
        g_shared.rows.clear();
        g_shared.next_row = 0;
        g_shared.ready.clear();
        g_shared.panel_path.clear();
    }
    g_shared.wake.notify_all();
    if (g_thread.joinable())
        g_thread.join();
}

void thumb_request_rows(std::vector<std::string> paths)
{
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.rows = std::move(paths);
        ++g_shared.generation;
        g_shared.next_row = 0;
        g_shared.ready.clear();
    }
    g_shared.wake.notify_all();
}

void thumb_request_panel(const char* path)
{
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.panel_path = path ? path : "";
        g_shared.panel_done.clear();
    }
    g_shared.wake.notify_all();
}

std::vector<ThumbReady> thumb_take_ready()
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    std::vector<ThumbReady> out;
    out.swap(g_shared.ready);
    return out;
}

bool thumb_panel_done(const char* path)
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return path && !g_shared.panel_done.empty() && g_shared.panel_done == path;
}

bool thumb_find(const char* path, int size, char* out, size_t out_size)
{
    return g_maker.lookup && path && path[0] && g_maker.lookup(path, size, out, out_size);
}
