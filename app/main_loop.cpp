#include <cstring>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_screen.h"
#include "app/channels_screen.h"
#include "app/home.h"
#include "app/item_open.h"
#include "app/listener.h"
#include "app/stream_decode.h"
#include "app/stream_player.h"
#include "platform/media_enums.h"
#include "platform/result_codes.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/surface.h"
#include "ui/widget.h"

namespace {

constexpr uint32_t CLEARED_AFTER_DISPATCH = APP_PLAYER_BUSY | APP_STREAM_ACTIVE |
                                            APP_STREAM_BUFFERING;
constexpr uint32_t STEP_REQUEST = APP_WANT_PREVIOUS | APP_WANT_NEXT;

bool has(const AppState* app, uint32_t bits)
{
    return flags_any(&app->flags, bits);
}

// Chooses what the screen that asked for playback wants played.
void take_play_request(AppState* app)
{
    app->ui.play_requested = 0;
    switch (app->browser.browse_mode) {
    case BROWSE_REMOTE: app->nav.media_kind = MEDIA_KIND_STREAMED; break;
    case BROWSE_CHANNELS: app->nav.media_kind = MEDIA_KIND_LIVE; break;  // channel_select chose
    case BROWSE_RECORDINGS:
    case BROWSE_LOCAL:
    case BROWSE_UPNP: app->nav.media_kind = MEDIA_KIND_DIRECT; break;
    case BROWSE_PLAYLIST_ITEMS:
        app->nav.media_kind = app->browser.list_source == SOURCE_STREAMER ? MEDIA_KIND_STREAMED
                                                                          : MEDIA_KIND_DIRECT;
        break;
    default: break;
    }
    if (app->nav.media_kind != MEDIA_KIND_LIVE)
        app->nav.current_channel = -1;
    app->nav.current_list_index = -1;
    // A new choice is shown in the player, even when it was made in the
    // library view (items that follow it stay hidden the same way).
    app->now.player_screen_hidden = 0;
    app->ui.library_shown = 0;
    for (PlayerControl& c : app->player.controls)
        c.pressed = c.was_pressed = 0;
}

constexpr uint32_t TITLE_BAR_FILL = 0xFF151515;
constexpr uint32_t BOTTOM_BAR_FILL = 0xFF606060;

void draw_current_screen(AppState* app)
{
    if (!app->ui.current_screen) {
        show_home(app);
    } else {
        draw_screen_frame(app);
        app->ui.current_screen(app);
    }
    if (last_error < 0) {
        show_error(app, last_error);
        last_error = 0;
    }
}

}  // namespace

void draw_screen_frame(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    if (!s)
        return;
    copy_pixels(s, artwork(s->w < s->h ? ART_BACKGROUND_TALL : ART_BACKGROUND2), 0, 0);
    fill_rect(s, 0, 0, s->w, TITLE_BAR_HEIGHT, TITLE_BAR_FILL);
    fill_rect(s, 0, s->h - BOTTOM_BAR_HEIGHT, s->w, BOTTOM_BAR_HEIGHT, BOTTOM_BAR_FILL);
}

void show_error(AppState* app, int code)
{
    const ErrorContext context{app->browser.list_source, app->browser.browse_mode,
                               app->nav.media_kind};
    show_error(&app->ui, context, code);
}

namespace {

// Whether the inner loop steps to another item before the next dispatch.
bool wants_next_item(const AppState* app)
{
    const Settings& s = app->settings;
    if (has(app, STEP_REQUEST))
        return true;
    bool list_order = s.shuffle != 0 || app->nav.list_play;
    bool repeat_single = s.repeat && s.shuffle == 0;
    return list_order && !app->ui.play_requested && !repeat_single;
}

bool plays_on(const AppState* app)
{
    const Settings& s = app->settings;
    // A play request that came in meanwhile replaces whatever would follow.
    if (listener_pending() || play_request_pending())
        return false;
    return has(app, APP_REENTER_PLAYER | STEP_REQUEST) || s.shuffle != 0 || s.repeat ||
           app->nav.list_play;
}

// Tears down what one dispatch left behind, unless the player re-enters.
void after_dispatch(AppState* app)
{
    flags_clear(&app->flags, CLEARED_AFTER_DISPATCH);
    if (!has(app, APP_REMOTE_SESSION))
        remote_session_close(app);
    if (!has(app, APP_REENTER_PLAYER)) {
        if (app->nav.source_kind != SOURCE_KIND_LOCAL)
            stream_decoders_stop(app);
        if (app->nav.audio_open) {
            SDL_CloseAudio();
            app->nav.audio_open = 0;
        }
        stream_audio_codec_free(app);
        if (!app->settings.repeat || app->settings.shuffle != 0)
            app->now.audio_stream = app->now.video_stream = app->now.subtitle_stream = STREAM_AUTO;
    }
    if (has(app, APP_RECORDING_OPEN))
        stream_recording_stop(app);
    app->nav.first_pass = 0;
}

// One play cycle: the chosen item, then further items of the list. Returns
// the last dispatch result.
int play_cycle(AppState* app)
{
    int r = 0;
    app->nav.first_pass = 1;
    for (;;) {
        bool step = !has(app, APP_REENTER_PLAYER) && !app->nav.first_pass && wants_next_item(app);
        if (step && app->nav.media_kind == MEDIA_KIND_LIVE) {
            // Previous/next move through the channels; a live stream that
            // ended on its own is not followed by anything.
            const bool asked = has(app, STEP_REQUEST);
            if (!asked || !channel_step(app, has(app, APP_WANT_PREVIOUS) ? -1 : 1))
                return r;
        } else if (step && play_order_advance(app) == -1) {
            return r;
        }
        app->ui.play_requested = 0;
        r = play_dispatch(app);
        after_dispatch(app);
        if (r != 0 || !plays_on(app))
            return r;
    }
}

}  // namespace

int home_loop(AppState* app, int last_result)
{
    last_error = last_result;
    set_player_fullscreen(app, 0);
    if (!app->ui.keep_player_widgets) {
        registry_clear(0);
        widgets_clear(0);
        player_background_draw(app);
        player_overlays_free(app);
    }
    if (apply_orientation(&app->ui, &app->out, app->out.orientation) != 0)
        return -1;
    if (!app->ui.play_requested)
        play_request_take(&app->ui);
    if (!app->ui.play_requested)
        draw_current_screen(app);
    modal_loop(&app->ui, &app->out, nullptr);
    if (!app->ui.keep_player_widgets) {
        registry_clear(1);
        widgets_clear(1);
    }
    if (!app->ui.play_requested)
        return -1;
    take_play_request(app);
    return 0;
}

int play_dispatch(AppState* app)
{
    flags_clear(&app->flags, STEP_REQUEST);
    if (has(app, APP_PLAYER_BUSY))
        return 0;
    if (!app->ui.keep_player_widgets)
        player_background_draw(app);
    if (app->nav.play_to_active)
        return play_to_run(app);
    if (!has(app, APP_REMOTE_SESSION)) {
        int rc = remote_media_open(app);
        if (rc < 0) {
            flags_clear(&app->flags, APP_REENTER_PLAYER);
            return rc;
        }
    }
    if (app->nav.source_kind == SOURCE_KIND_LOCAL)
        return local_player_run(app);
    if (!has(app, APP_REENTER_PLAYER) && stream_decoders_open(app) < 0)
        return ERR_MEDIA_OPEN;
    return stream_session_run(app);
}

void main_loop(AppState* app)
{
    int r = 0;
    while (home_loop(app, r) == 0) {
        r = play_cycle(app);
        if (r == DISPATCH_LEAVE)
            return;
    }
}
