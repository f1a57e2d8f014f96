// Play To: the chosen UPnP item plays on a renderer, and the player screen
// (in its audio layout) is the renderer's remote control. The renderer is
// driven by a controller thread (upnp/play_to.h), so no button press and no
// poll ever waits on the network here: the loop posts commands and shows
// what the renderer last reported.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/app_state.h"
#include "app/player.h"
#include "app/thumb_worker.h"
#include "engine/info_cache.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "upnp/device_list.h"
#include "upnp/didl.h"
#include "upnp/play_to.h"

namespace {

// Leaving while the renderer plays sends Stop; the screen waits this long
// for it at most (a renderer that stopped answering must not hold it).
constexpr int CLOSE_STOP_WAIT_MS = 1000;
constexpr const char* PLAYING_ON = "Playing on %s";
constexpr const char* PLACEHOLDER_COVER = "images/placeholder.png";  // until a cover is made

// The running session (main thread only).
struct PlayToRun {
    PlayToSession* session = nullptr;
    uint32_t polls_seen = 0;
    uint32_t stops_seen = 0;
    uint32_t stop_failures_seen = 0;
    bool stop_requested = false;
    bool cover_wanted = false;  // the thumbnail worker was asked for a cover
};
PlayToRun g_run;

bool has(const AppState* app, uint32_t bits)
{
    return flags_any(&app->flags, bits);
}

// Ends the loop with a result; the bits cleared follow the way it ended.
int end_with(AppState* app, uint32_t clear, int result)
{
    flags_clear(&app->flags, APP_PLAYER_BUSY | APP_PLAYING | APP_PAUSED | APP_OPENING | clear);
    return result;
}

void show_position(AppState* app, int64_t ms)
{
    app->now.position_ms = ms;
    app->now.audio_position_ms = ms;
}

// ---- the bar's actions -------------------------------------------------------------------

void remote_seek(AppState* app, int64_t target_ms)
{
    play_to_session_command(g_run.session, PLAY_TO_SEEK, target_ms);
    // The bar shows the target at once; the next poll says where it went.
    show_position(app, target_ms);
    flags_clear(&app->flags, APP_REENTER_PLAYER);
}

void remote_stop(AppState*)
{
    play_to_session_command(g_run.session, PLAY_TO_STOP, 0);
    g_run.stop_requested = true;
}

void remote_toggle_pause(AppState* app)
{
    if (has(app, APP_PLAYING)) {
        play_to_session_command(g_run.session, PLAY_TO_PAUSE, 0);
        flags_clear(&app->flags, APP_PLAYING);
        flags_set(&app->flags, APP_PAUSED);
    } else if (has(app, APP_PAUSED)) {
        play_to_session_command(g_run.session, PLAY_TO_RESUME, 0);
        flags_clear(&app->flags, APP_PAUSED);
        flags_set(&app->flags, APP_PLAYING);
    }
}

// ---- what the renderer reports -----------------------------------------------------------

// One poll's transport state; the loop's result when the item is over, else -1.
int follow_state(AppState* app, TransportState state)
{
    const bool started = has(app, APP_PLAYING | APP_PAUSED);
    switch (state) {
    case TRANSPORT_PLAYING:
        flags_set(&app->flags, APP_PLAYING);
        flags_clear(&app->flags, APP_PAUSED | APP_REENTER_PLAYER | APP_OPENING);
        return -1;
    case TRANSPORT_PAUSED:
        // Paused from here or with the renderer's own remote: it waits to
        // go on, it has not finished.
        if (started) {
            flags_clear(&app->flags, APP_PLAYING);
            flags_set(&app->flags, APP_PAUSED);
        }
        return -1;
    case TRANSPORT_STOPPED:
    case TRANSPORT_OTHER:
        // Stopped (or out of media) after it played: the item is over.
        return started ? end_with(app, APP_REENTER_PLAYER, 0) : -1;
    default: return -1;  // unknown or transitioning: no change
    }
}

void take_cover(AppState* app)
{
    char file[PATH_SIZE];
    if (thumb_find(app->nav.current_media_path, THUMB_SIZE_PANEL, file, sizeof file)) {
        copy_text(app->now.cover_path, sizeof app->now.cover_path, file);
        g_run.cover_wanted = false;
        player_redraw(app);
    } else if (thumb_panel_done(app->nav.current_media_path)) {
        g_run.cover_wanted = false;  // the worker could not make one
    }
}

int remote_tick(AppState* app)
{
    const PlayToStatus st = play_to_session_status(g_run.session);
    if (g_run.cover_wanted)
        take_cover(app);
    if (st.duration_ms > 0 && app->now.duration_ms <= 0) {
        app->now.duration_ms = static_cast<int32_t>(st.duration_ms);
        player_redraw(app);
    }
    if (st.gone)
        return end_with(app, APP_REENTER_PLAYER, ERR_RENDERER_LOST);
    if (st.start == PLAY_TO_START_FAILED)
        return end_with(app, APP_REENTER_PLAYER, ERR_GENERIC);
    if (st.start == PLAY_TO_STARTING && g_run.stop_requested)
        return end_with(app, APP_REENTER_PLAYER, 1);  // nothing plays yet: nothing to stop
    if (st.start == PLAY_TO_STARTED && has(app, APP_OPENING)) {
        flags_clear(&app->flags, APP_OPENING);
        player_redraw(app);
    }
    if (st.stops_done != g_run.stops_seen)
        return end_with(app, APP_REENTER_PLAYER, 1);
    if (st.stops_failed != g_run.stop_failures_seen) {
        // A renderer that would not stop keeps the screen; the user may try again.
        g_run.stop_failures_seen = st.stops_failed;
        g_run.stop_requested = false;
    }
    if (st.polls != g_run.polls_seen) {
        g_run.polls_seen = st.polls;
        if (st.position_ms >= 0 && !app->player.knob_drag)
            show_position(app, st.position_ms);
        const int ended = follow_state(app, st.state);
        if (ended >= 0)
            return ended;
    }
    player_screen_draw(app);
    return -1;
}

constexpr PlayerRemote PLAY_TO_REMOTE = {remote_seek, remote_stop, remote_toggle_pause,
                                         remote_tick, true,        nullptr};

// ---- the item ----------------------------------------------------------------------------

// The player screen's texts, length and cover for the item.
void describe_item(AppState* app, const UpnpDevice* renderer)
{
    NowPlaying& now = app->now;
    now.session = nullptr;
    now.audio_only = 1;
    now.no_audio = 0;
    now.still_image = 0;
    now.media_start_ms = 0;
    now.duration_ms = 0;
    show_position(app, 0);
    now.artist[0] = now.album[0] = now.genre[0] = now.cover_path[0] = '\0';
    app->player.remote_title[0] = '\0';
    DidlTags tags;
    if (didl_item_tags(app->nav.play_to_metadata, &tags)) {
        copy_text(now.artist, sizeof now.artist, tags.artist);
        copy_text(now.album, sizeof now.album, tags.album);
        copy_text(now.genre, sizeof now.genre, tags.genre);
        copy_text(app->player.remote_title, sizeof app->player.remote_title, tags.title);
        now.duration_ms = static_cast<int32_t>(tags.duration_ms);
    }
    MediaInfo info;
    if (cache_lookup(app->nav.current_media_path, &info, nullptr) && info.duration_ms > 0)
        now.duration_ms = static_cast<int32_t>(info.duration_ms);
    std::snprintf(app->player.remote_label, sizeof app->player.remote_label, PLAYING_ON,
                  renderer ? renderer->friendly_name : "");
    g_run.cover_wanted = true;
    take_cover(app);
    if (g_run.cover_wanted) {
        copy_text(now.cover_path, sizeof now.cover_path, PLACEHOLDER_COVER);
        thumb_request_panel(app->nav.current_media_path);
    }
}

}  // namespace

int play_to_run(AppState* app)
{
    const UpnpDevice* renderer = app->nav.play_to_renderer;
    flags_set(&app->flags, APP_PLAYER_BUSY | APP_OPENING);
    flags_clear(&app->flags, APP_PLAYING | APP_PAUSED);
    player_screen_begin(app);
    g_run = PlayToRun{};
    // The item's DIDL-Lite as the browser chose it (also when the play
    // order stepped on to it).
    copy_text(app->nav.play_to_metadata, sizeof app->nav.play_to_metadata,
              app->browser.selected.upnp_extra);
    describe_item(app, renderer);
    if (renderer)
        g_run.session = play_to_session_open(renderer->udn, app->nav.current_media_path,
                                             app->nav.play_to_metadata, app->now.duration_ms);
    if (!g_run.session) {
        player_screen_end(app);
        return end_with(app, 0, ERR_GENERIC);
    }
    app->player.remote = &PLAY_TO_REMOTE;
    const int r = player_run_shown(app);
    app->player.remote = nullptr;
    app->player.remote_label[0] = app->player.remote_title[0] = '\0';
    // Leaving while the renderer still plays (window closed, previous or
    // next): it is stopped, the next item's start would replace it anyway.
    const PlayToStatus st = play_to_session_status(g_run.session);
    const bool stop = st.start != PLAY_TO_START_FAILED && !st.gone && r != 1 &&
                      (st.state == TRANSPORT_PLAYING || st.state == TRANSPORT_PAUSED ||
                       st.state == TRANSPORT_TRANSITIONING);
    play_to_session_close(g_run.session, stop, CLOSE_STOP_WAIT_MS);
    g_run.session = nullptr;
    flags_clear(&app->flags, APP_CLOSING | APP_OPENING);
    player_screen_end(app);
    return r;
}
