#include "app/remote_info.h"

#include <cstring>

#include "platform/result_codes.h"

#include "app/app_state.h"
#include "browser/rows.h"
#include "platform/text_copy.h"
#include "streamer/remote.h"
#include "ui/artwork.h"
#include "ui/widget.h"

namespace {

constexpr int64_t MS_PER_SECOND = 1000;
constexpr int64_t BITS_PER_KILOBIT = 1000;

// The one fetch: the worker fills record and status; the main thread reads
// them in the completion, after the job has returned.
struct InfoJob {
    StreamerLink* link = nullptr;
    char path[PATH_SIZE] = {};
    MediaInfoRecord record{};
    int status = 0;
    bool running = false;  // main thread only
    void (*done)(AppState*, int) = nullptr;
};
InfoJob g_job;

int info_job(void*)
{
    g_job.status = remote_media_info(g_job.link, g_job.path, &g_job.record);
    return 0;
}

void info_job_done(AppState* app, RegistrySlot*)
{
    g_job.running = false;
    InfoPanelState& p = app->info_panel;
    // The item may have changed while the record came: it belongs to its path.
    if (g_job.status == 0 && std::strcmp(g_job.path, app->browser.selected.play_path) == 0) {
        remote_info_to_media(g_job.record, &p.media);
        p.has_media = 1;
        app->browser.selected.size = g_job.record.file_size;
    }
    if (g_job.done)
        g_job.done(app, g_job.status);
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
    if (g_job.running)
        return 0;
    Surface* s = app->ui.ui_surface;
    SDL_Surface* frame = artwork(ART_SPINNER_1);
    const int w = frame ? frame->w : 0;
    const int h = frame ? frame->h : 0;
    // Over the panel, right of the list column.
    Widget* spinner = create_spinner(LIST_COLUMN_WIDTH + (s->w - LIST_COLUMN_WIDTH - w) / 2,
                                     (s->h - h) / 2);
    if (!spinner)
        return -1;
    g_job.link = &app->link;
    copy_text(g_job.path, sizeof g_job.path, app->browser.selected.play_path);
    g_job.done = done;
    g_job.status = ERR_GENERIC;
    widget_draw(s, spinner);
    registry_add(spinner, SLOT_PRESS, info_job_done);
    app->ui.abort_requested = 0;
    if (spinner_start_job(spinner, info_job, nullptr) != 0)
        return -1;
    g_job.running = true;
    return 0;
}
