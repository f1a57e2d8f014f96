#include "app/item_open.h"

#include <strings.h>

#include <cstdint>
#include <cstring>

#include "app/app_state.h"
#include "app/player.h"
#include "app/stream_player.h"
#include "browser/resume.h"
#include "engine/media_open.h"
#include "platform/media_enums.h"
#include "platform/result_codes.h"
#include "ui/layers.h"

namespace {

constexpr size_t SHORTEST_PATH = 5;  // nothing shorter names a file or URL
constexpr const char* RECORDING_SUFFIX = ".vlm";
constexpr int64_t END_MARGIN_MS = 1000;  // this close to the end counts as played through

bool is_recording(const char* path)
{
    const size_t n = std::strlen(path);
    const size_t k = std::strlen(RECORDING_SUFFIX);
    return n >= k && strcasecmp(path + n - k, RECORDING_SUFFIX) == 0;
}

// A local file or URL through the local engine.
int open_direct(AppState* app)
{
    const char* path = app->nav.current_media_path;
    // A name this short cannot be opened; saying so beats playing nothing
    // in silence.
    if (std::strlen(path) < SHORTEST_PATH)
        return ERR_MEDIA_OPEN;
    // Recordings are played by the streaming session's file reader.
    if (is_recording(path))
        return stream_recording_open(app);
    const EngineContext ctx{&app->now, &app->out, &app->flags, &app->settings, &app->cues};
    const int r = media_open(ctx, path);
    if (r != RESULT_OK)
        return r;
    flags_set(&app->flags, APP_MEDIA_OPEN);
    app->nav.source_kind = SOURCE_KIND_LOCAL;
    return RESULT_OK;
}

}  // namespace

int remote_media_open(AppState* app)
{
    app->ui.abort_requested = 0;
    if (!flags_any(&app->flags, APP_REENTER_PLAYER))
        flags_set(&app->flags, APP_OPENING);
    flags_clear(&app->flags, APP_PAUSED | APP_LOW_BANDWIDTH | APP_REBUFFERING);
    player_screen_begin(app);
    player_status_show(app);
    int r = ERR_MEDIA_OPEN;
    switch (app->nav.media_kind) {
    case MEDIA_KIND_DIRECT: r = open_direct(app); break;
    case MEDIA_KIND_STREAMED: r = stream_file_open(app); break;
    case MEDIA_KIND_LIVE: r = stream_live_open(app); break;
    default: break;
    }
    flags_clear(&app->flags, APP_OPENING);
    if (r != RESULT_OK)
        player_screen_end(app);
    return r;
}

namespace {

// Where the item stood when it stopped, for "Resume"; an item played to
// its end starts from the beginning next time.
void remember_position(AppState* app)
{
    const NowPlaying& now = app->now;
    int64_t at = player_shown_position_ms(app);
    bool ended = now.duration_ms > 0 && at >= int64_t(now.duration_ms) - END_MARGIN_MS;
    if (at < 0 || ended || at > INT32_MAX)
        at = 0;
    resume_store(&app->settings.resume_table, app->nav.current_media_path, int32_t(at));
}

}  // namespace

int local_player_run(AppState* app)
{
    const int r = play_local(app);
    remember_position(app);
    player_screen_end(app);
    return r;
}

void remote_session_close(AppState* app)
{
    const bool streamed = app->nav.source_kind == SOURCE_KIND_STREAMER &&
                          flags_any(&app->flags, APP_MEDIA_OPEN);
    if (streamed) {
        if (!flags_any(&app->flags, APP_REENTER_PLAYER) && app->nav.media_kind != MEDIA_KIND_LIVE)
            remember_position(app);
        stream_session_close(app);
    }
    // start_ms is the next open's start position as well as the target of a
    // seek; a seek's target must not become where the next item starts.
    if (!flags_any(&app->flags, APP_REENTER_PLAYER)) {
        NowPlaying& now = app->now;
        now.start_ms = 0;
        now.duration_ms = 0;
        now.position_ms = 0;
        now.audio_position_ms = 0;
    }
    flags_clear(&app->flags, APP_MEDIA_OPEN | APP_CLOSING);
}

void player_overlays_free(AppState*)
{
    free_ui_layer(UI_LAYER_OVERLAY);
}
