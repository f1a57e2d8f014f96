#include "app/remote_info.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "platform/result_codes.h"

#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/streamer_source.h"
#include "browser/rows.h"
#include "platform/text_copy.h"
#include "streamer/remote.h"
#include "ui/widget.h"

namespace {

constexpr int64_t MS_PER_SECOND = 1000;
constexpr int64_t BITS_PER_KILOBIT = 1000;

// Fetches run one at a time and leave their answer here, so that a fetch
// whose spinner went with a redraw of the screen still serves the next
// spinner's job, which finds the answer instead of asking again.
std::mutex g_fetch_lock;  // "info fetch lock": guards g_answer; held for a whole fetch
struct Answer {
    char path[PATH_SIZE];
    MediaInfoRecord record;
    int status;
    bool valid;
};
Answer g_answer{};

struct FetchJob {
    StreamerLink* link;
    char path[PATH_SIZE];
};

int info_job(void* arg)
{
    std::unique_ptr<FetchJob> job(static_cast<FetchJob*>(arg));
    std::lock_guard<std::mutex> guard(g_fetch_lock);
    if (g_answer.valid && std::strcmp(g_answer.path, job->path) == 0)
        return 0;
    g_answer.valid = false;
    copy_text(g_answer.path, sizeof g_answer.path, job->path);
    std::lock_guard<std::mutex> exchange(streamer_command_lock());
    g_answer.status = remote_media_info(job->link, job->path, &g_answer.record);
    g_answer.valid = true;
    return 0;
}

void (*g_done)(AppState*, int) = nullptr;

void info_job_done(AppState* app, RegistrySlot*)
{
    std::unique_lock<std::mutex> guard(g_fetch_lock, std::try_to_lock);
    // Another item's fetch holds the answer: its own spinner finishes the work.
    if (!guard.owns_lock() || !g_answer.valid)
        return;
    InfoPanelState& p = app->info_panel;
    // The item may have changed while the record came: it belongs to its path.
    if (std::strcmp(g_answer.path, app->browser.selected.play_path) != 0)
        return;
    p.remote_pending = 0;
    if (g_answer.status == 0) {
        remote_info_to_media(g_answer.record, &p.media);
        p.has_media = 1;
        app->browser.selected.size = g_answer.record.file_size;
    } else {
        g_answer.valid = false;  // asked again when the item is chosen again
    }
    const int status = g_answer.status;
    guard.unlock();
    if (g_done)
        g_done(app, status);
}

int stream_kind_of(const char* description)
{
    static constexpr struct {
        const char* prefix;
        int kind;
    } KINDS[] = {{"Video:", STREAM_KIND_VIDEO},
                 {"Audio:", STREAM_KIND_AUDIO},
                 {"Subtitle:", STREAM_KIND_SUBTITLE}};
    for (const auto& k : KINDS)
        if (std::strncmp(description, k.prefix, std::strlen(k.prefix)) == 0)
            return k.kind;
    return -1;
}

}  // namespace

void remote_info_to_media(const MediaInfoRecord& r, MediaInfo* out)
{
    *out = MediaInfo{};
    if (!media_info_length_unknown(r) && r.hours >= 0 && r.minutes >= 0 && r.seconds >= 0)
        out->duration_ms = ((int64_t(r.hours) * 60 + r.minutes) * 60 + r.seconds) * MS_PER_SECOND;
    out->bit_rate = int64_t(r.bitrate_kbps) * BITS_PER_KILOBIT;
    for (int i = 0; i < r.stream_count && out->stream_count < MEDIA_INFO_MAX_STREAMS; ++i) {
        const MediaInfoStream& e = r.streams[i];
        const int kind = stream_kind_of(e.description);
        if (kind < 0)
            continue;
        StreamInfo& s = out->streams[out->stream_count++];
        s.index = i;
        s.kind = kind;
        s.sar_num = 0;
        s.sar_den = 1;
        s.frame_rate = e.frame_rate > 0 && e.frame_rate < 1000 ? e.frame_rate : 0;
        copy_text(s.description, sizeof s.description, e.description);
    }
}

int remote_info_fetch(AppState* app, void (*done)(AppState* app, int status))
{
    // Over the panel, right of the list column.
    const int panel_w = app->ui.ui_surface->w - LIST_COLUMN_WIDTH;
    Widget* spinner = browser_spinner(app, LIST_COLUMN_WIDTH, panel_w, info_job_done);
    if (!spinner)
        return -1;
    g_done = done;
    auto* job = new FetchJob{&app->link, {}};
    copy_text(job->path, sizeof job->path, app->browser.selected.play_path);
    if (spinner_start_job(spinner, info_job, job) != 0) {
        delete job;
        return -1;
    }
    return 0;
}
