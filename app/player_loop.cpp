// The local player loop: events, the engine's tick, auto-hide, and the
// control bar's press, drag and release rules.
#include <cmath>
#include <cstdlib>

#include <GLES2/gl2.h>

#include "app/app.h"
#include "app/app_state.h"
#include "app/player.h"
#include "engine/demux.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "platform/event_codes.h"
#include "platform/sync.h"
#include "render/video_layout.h"
#include "render/video_planes.h"
#include "ui/events.h"
#include "ui/layers.h"

namespace {

constexpr uint32_t AUTO_HIDE_MS = 5000;
constexpr int LOOP_SLEEP_MS = 5;
constexpr int SWIPE_SEEK_START_PX = 10;   // a drag this wide above the bar becomes a seek
constexpr uint32_t QUICK_MOTION_MS = 10;  // motion events closer than this make a swipe
constexpr int SWIPE_MIN_QUICK_MOTIONS = 5;
constexpr uint8_t LOCK_HINT_STEPS = 5;
constexpr int MS_PER_SECOND = 1000;

// Buttons tried on a press and on a release, in order; the first hit wins.
constexpr int PRESS_ORDER[] = {
    CONTROL_RECORD, CONTROL_SOUND, CONTROL_PREVIOUS,     CONTROL_JUMP_BACK, CONTROL_PLAY,
    CONTROL_STOP,   CONTROL_NEXT,  CONTROL_JUMP_FORWARD, CONTROL_ORDER,     CONTROL_LOOP,
    CONTROL_LOCK,   CONTROL_KNOB,  CONTROL_ASPECT,       CONTROL_LIBRARY,   CONTROL_WINDOW};
constexpr int RELEASE_ORDER[] = {CONTROL_RECORD,       CONTROL_PREVIOUS, CONTROL_JUMP_BACK,
                                 CONTROL_SOUND,        CONTROL_PLAY,     CONTROL_NEXT,
                                 CONTROL_JUMP_FORWARD, CONTROL_STOP};

struct LoopResult {
    int value = 0;
};

bool has(const AppState* app, uint32_t bits)
{
    return flags_any(&app->flags, bits);
}

PlayerControl& control(AppState* app, int id)
{
    return app->player.controls[id];
}

void show_lock_hint(AppState* app)
{
    app->player.lock_hint_count = LOCK_HINT_STEPS;
    app->player.lock_hint_tick = SDL_GetTicks();
    player_redraw(app);
}

void note_activity(AppState* app)
{
    if (app->settings.auto_hide_controls)
        app->player.last_activity_tick = SDL_GetTicks();
}

void set_controls_visible(AppState* app, bool on)
{
    app->now.controls_visible = on ? 1 : 0;
    player_redraw(app);
}

// Ends the loop: the bits to set and clear, and the result.
void end_loop(AppState* app, LoopResult* r, uint32_t set, uint32_t clear, int result)
{
    flags_set(&app->flags, set);
    flags_clear(&app->flags, clear | APP_PLAYER_BUSY | APP_PLAYING);
    r->value = result;
}

// ---- auto-hide -----------------------------------------------------------------------------

void auto_hide(AppState* app)
{
    const PlayerState& p = app->player;
    if (!app->settings.auto_hide_controls || !app->now.controls_visible || p.touch_in_progress ||
        !has(app, APP_PLAYING) || app->now.player_screen_hidden ||
        SDL_GetTicks() - p.last_activity_tick <= AUTO_HIDE_MS)
        return;
    set_controls_visible(app, false);
}

// A picture that is not replaced by the next one (paused, a still picture)
// is drawn again when the time on the bar moves on.
void refresh_bar_time(AppState* app)
{
    // A playing film brings its next picture (and the bar with it) anyway.
    const bool pictures_come = has(app, APP_PLAYING) && !app->now.still_image;
    if (pictures_come || !player_shows_video(app) || !app->now.controls_visible ||
        app->now.player_screen_hidden)
        return;
    if (player_shown_position_ms(app) / MS_PER_SECOND != app->player.drawn_second)
        app->now.redraw_request_count = 1;
}

// ---- seeking -------------------------------------------------------------------------------

void jump(AppState* app, bool forward)
{
    const int64_t step_s = forward ? app->settings.seek_forward_secs
                                   : app->settings.seek_backward_secs;
    if (const PlayerRemote* remote = app->player.remote) {
        const int64_t step_ms = step_s * MS_PER_SECOND;
        if (app->now.duration_ms > 0)
            remote->seek(app, jump_target_ms(player_shown_position_ms(app), step_ms, forward));
        return;
    }
    PlayerSession* s = app->now.session;
    if (!s)
        return;
    const double clock = get_master_clock(s);
    if (std::isnan(clock))
        return;
    NowPlaying& now = app->now;
    const int64_t step_ms = step_s * MS_PER_SECOND;
    const int64_t current = static_cast<int64_t>(clock * MS_PER_SECOND) - now.media_start_ms;
    const int64_t target = jump_target_ms(current, step_ms, forward);
    now.start_ms = target;
    now.position_ms = now.media_start_ms + target;
    now.audio_position_ms = now.media_start_ms + target;
    flags_set(&app->flags, APP_REENTER_PLAYER);
    stream_seek(s, target, step_ms);
}

void toggle_play(AppState* app)
{
    if (const PlayerRemote* remote = app->player.remote) {
        remote->toggle_pause(app);
        player_redraw(app);
        return;
    }
    PlayerSession* s = app->now.session;
    if (!s || has(app, APP_CANNOT_PAUSE))
        return;
    if (has(app, APP_PLAYING)) {
        toggle_pause(s);
        flags_clear(&app->flags, APP_PLAYING | APP_REBUFFERING);
        flags_set(&app->flags, APP_PAUSED);
    } else if (has(app, APP_MEDIA_OPEN)) {
        toggle_pause(s);
        flags_clear(&app->flags, APP_PAUSED);
        flags_set(&app->flags, APP_PLAYING);
    }
    player_redraw(app);
}

void toggle_sound(AppState* app)
{
    const uint8_t on = app->now.sound_on ? 0 : 1;
    app->now.sound_on = on;
    app->settings.sound_on = on;  // the next item starts the same way
}

// The knob as it stands for the shown position.
int knob_x_now(AppState* app)
{
    return knob_x_for_position(control(app, CONTROL_TRACK), player_shown_position_ms(app),
                               app->now.duration_ms);
}

void start_knob_drag(AppState* app, int x)
{
    PlayerState& p = app->player;
    p.knob_drag = 1;
    p.knob_moved = 0;
    p.press_x = x;
    p.knob_x_at_press = p.knob_x = knob_x_now(app);
    control(app, CONTROL_KNOB).pressed = 1;
    flags_set(&app->flags, APP_REENTER_PLAYER);
    // Until the knob moves the target is where the knob stands.
    app->now.start_ms = knob_target_ms(control(app, CONTROL_TRACK), p.knob_x, app->now.duration_ms);
}

// ---- press ---------------------------------------------------------------------------------

void press_control(AppState* app, int id, int x)
{
    PlayerState& p = app->player;
    if (p.locked && id != CONTROL_LOCK) {
        show_lock_hint(app);
        return;
    }
    Settings& settings = app->settings;
    switch (id) {
    case CONTROL_ORDER: settings.shuffle = static_cast<uint8_t>((settings.shuffle + 1) % 3); break;
    case CONTROL_LOOP: settings.repeat = settings.repeat ? 0 : 1; break;
    case CONTROL_LOCK: p.locked = p.locked ? 0 : 1; break;
    case CONTROL_KNOB:
        if (app->now.duration_ms <= 0)
            return;
        start_knob_drag(app, x);
        break;
    case CONTROL_ASPECT:
        if (player_shows_video(app)) {
            const AspectMode next = aspect_mode_next(app->out.aspect_mode);
            apply_aspect_mode(&app->out, next, app->out.window_width, app->out.window_height);
        }
        break;
    case CONTROL_LIBRARY:
        if (!player_shows_video(app))
            set_library_view(app, true);
        break;
    case CONTROL_WINDOW: set_player_fullscreen(app, app->nav.player_fullscreen ? 0 : 1); break;
    default: break;
    }
    control(app, id).pressed = 1;
    p.touch_in_progress = 1;
    if (app->now.controls_visible)
        player_redraw(app);
}

void on_press(AppState* app, int x, int y)
{
    PlayerState& p = app->player;
    p.pressing = 1;
    p.press_x = x;
    p.press_y = y;
    p.press_tick = p.last_motion_tick = SDL_GetTicks();
    p.quick_motions = 0;
    if (!app->now.controls_visible || app->now.player_screen_hidden || !bar_hit(p.controls, x, y))
        return;
    // The knob is taken where it is drawn, at the shown position, not where
    // the layout first put it.
    control(app, CONTROL_KNOB).x = knob_x_now(app);
    for (int id : PRESS_ORDER) {
        if (player_control_shown(app, id) && control_hit(p.controls[id], x, y)) {
            press_control(app, id, x);
            return;
        }
    }
}

// ---- motion --------------------------------------------------------------------------------

void on_motion(AppState* app, int x, int y)
{
    PlayerState& p = app->player;
    NowPlaying& now = app->now;
    if (p.knob_drag) {
        const PlayerControl& track = control(app, CONTROL_TRACK);
        p.knob_x = knob_x_dragged(track, p.knob_x_at_press, p.press_x, x);
        now.start_ms = knob_target_ms(track, p.knob_x, now.duration_ms);
        p.knob_moved = 1;
        flags_set(&app->flags, APP_REENTER_PLAYER);
        player_redraw(app);
        return;
    }
    if (!p.pressing)
        return;
    if (now.still_image) {
        const uint32_t t = SDL_GetTicks();
        if (t - p.last_motion_tick < QUICK_MOTION_MS)
            p.quick_motions++;
        p.last_motion_tick = t;
        return;
    }
    if (!app->settings.swipe_to_seek || y >= control(app, CONTROL_BAR).y ||
        std::abs(x - p.press_x) <= SWIPE_SEEK_START_PX || now.player_screen_hidden ||
        now.duration_ms <= 0)
        return;
    if (p.locked) {
        show_lock_hint(app);
        return;
    }
    start_knob_drag(app, x);
    app->now.controls_visible = 1;
    note_activity(app);
    player_redraw(app);
}

// ---- release -------------------------------------------------------------------------------

// Carries out a released button.
void release_control(AppState* app, int id, LoopResult* r)
{
    switch (id) {
    case CONTROL_PREVIOUS: end_loop(app, r, APP_WANT_PREVIOUS, 0, 0); break;
    case CONTROL_NEXT: end_loop(app, r, APP_WANT_NEXT, 0, 0); break;
    case CONTROL_STOP:
        // A renderer is stopped first; the loop ends once it has obeyed.
        if (app->player.remote)
            app->player.remote->stop(app);
        else
            end_loop(app, r, 0, APP_REENTER_PLAYER, 1);
        break;
    case CONTROL_JUMP_BACK: jump(app, false); break;
    case CONTROL_JUMP_FORWARD: jump(app, true); break;
    case CONTROL_PLAY: toggle_play(app); break;
    case CONTROL_SOUND: toggle_sound(app); break;
    case CONTROL_RECORD:
        if (app->player.remote && app->player.remote->record)
            app->player.remote->record(app);
        break;
    default: break;
    }
}

// The knob's drag ends: seek to where it was let go; true when a seek went out.
bool finish_knob_drag(AppState* app)
{
    PlayerState& p = app->player;
    p.knob_drag = 0;
    if (p.knob_moved && app->player.remote && app->now.duration_ms > 0) {
        app->player.remote->seek(app, app->now.start_ms);
        return true;
    }
    PlayerSession* s = app->now.session;
    if (p.knob_moved && s && app->now.duration_ms > 0) {
        stream_seek(s, app->now.start_ms, 0);
        return true;
    }
    // A knob touched but not moved leaves the position where it is.
    flags_clear(&app->flags, APP_REENTER_PLAYER);
    return false;
}

void on_release(AppState* app, int x, int y, LoopResult* r)
{
    PlayerState& p = app->player;
    const bool seeked = p.knob_drag && finish_knob_drag(app);
    const bool in_bar = bar_hit(p.controls, x, y) && !app->now.player_screen_hidden;
    if (in_bar) {
        for (int id : RELEASE_ORDER) {
            PlayerControl& c = p.controls[id];
            if (c.pressed && control_hit(c, x, y) && player_control_shown(app, id)) {
                c.pressed = 0;
                release_control(app, id, r);
                break;
            }
        }
    } else if (p.pressing && app->now.still_image && p.quick_motions > SWIPE_MIN_QUICK_MOTIONS) {
        end_loop(app, r, x < p.press_x ? APP_WANT_NEXT : APP_WANT_PREVIOUS, 0, 0);
    }
    for (PlayerControl& c : p.controls)
        c.pressed = 0;
    const bool tapped = p.pressing && !seeked && has(app, APP_PLAYER_BUSY);
    p.pressing = 0;
    p.touch_in_progress = 0;
    if (tapped && !app->now.player_screen_hidden) {
        if (!app->now.controls_visible)
            set_controls_visible(app, true);
        else if (!in_bar)
            set_controls_visible(app, false);
    }
    if (in_bar || app->now.controls_visible)
        note_activity(app);
    player_redraw(app);
}

// ---- window --------------------------------------------------------------------------------

void on_resize(AppState* app, int w, int h)
{
    window_size_sync(&app->out, &w, &h);
    if (w <= 0 || h <= 0 || resize_layers(&app->ui, &app->out, w, h) != 0)
        return;
    VideoOutput& out = app->out;
    out.window_width = w;
    out.window_height = h;
    glViewport(0, 0, w, h);
    apply_orientation(&app->ui, &out, out.orientation);
    player_surface_select(app);
    if (Surface* s = app->ui.ui_surface)
        player_bar_layout(app, s->w, s->h);
    if (player_shows_video(app))
        apply_aspect_mode(&out, out.aspect_mode, w, h);
    present_ui_layer(&app->ui, app->ui.ui_surface, 0);
    subtitle_band_reset(&app->player.subtitle_band);
    player_redraw(app);
}

void on_key(AppState* app, SDLKey key)
{
    PlayerState& p = app->player;
    switch (key) {
    case SDLK_a:
        p.aspect_key_count = (p.aspect_key_count + 1) % ASPECT_MODE_COUNT;
        if (player_shows_video(app) &&
            apply_aspect_mode(&app->out, p.aspect_key_count, app->out.window_width,
                              app->out.window_height) == 0)
            player_redraw(app);
        break;
    case SDLK_f: set_player_fullscreen(app, app->nav.player_fullscreen ? 0 : 1); break;
    // What every player answers besides the bar: space pauses, the arrows jump.
    case SDLK_SPACE:
        if (!p.locked)
            toggle_play(app);
        break;
    case SDLK_LEFT:
    case SDLK_RIGHT:
        if (!p.locked)
            jump(app, key == SDLK_RIGHT);
        break;
    default: break;
    }
}

void on_alloc_picture(AppState* app)
{
    if (player_shows_video(app)) {
        glClearColor(0, 0, 0, 0);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl_blend_for_video(true);
    } else {
        gl_blend_for_video(false);
        app->player.full_redraw = 1;
    }
}

// Events the loop answers whatever screen is up: quit, the session's own,
// and window changes. True when the event was taken.
bool handle_frame_event(AppState* app, SDL_Event* ev, LoopResult* r)
{
    switch (ev->type) {
    case SDL_QUIT: end_loop(app, r, 0, 0, DISPATCH_LEAVE); return true;
    case SDL_VIDEORESIZE: on_resize(app, ev->resize.w, ev->resize.h); return true;
    case SDL_VIDEOEXPOSE: player_redraw(app); return true;
    default: break;
    }
    if (ev->type != EVENT_ALLOC_PICTURE && ev->type != EVENT_SESSION_END)
        return false;
    const SessionEventOutcome o = player_session_handle_event(app->now.session, ev);
    if (o.ended)
        end_loop(app, r, 0, 0, o.result);
    else if (o.consumed && ev->type == EVENT_ALLOC_PICTURE)
        on_alloc_picture(app);
    return true;
}

void handle_player_event(AppState* app, SDL_Event* ev, LoopResult* r)
{
    int x = 0, y = 0;
    switch (ev->type) {
    case SDL_KEYDOWN: on_key(app, ev->key.keysym.sym); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (ev->button.button != SDL_BUTTON_LEFT)
            break;
        x = ev->button.x;
        y = ev->button.y;
        map_pointer(&app->out, &x, &y);
        if (ev->type == SDL_MOUSEBUTTONDOWN)
            on_press(app, x, y);
        else
            on_release(app, x, y, r);
        break;
    case SDL_MOUSEMOTION:
        x = ev->motion.x;
        y = ev->motion.y;
        map_pointer(&app->out, &x, &y);
        on_motion(app, x, y);
        break;
    default: break;
    }
}

// While the library is shown every event goes to the interface first;
// otherwise only the accelerometer does.
bool interface_takes(AppState* app, SDL_Event* ev)
{
    if (!app->now.player_screen_hidden && ev->type != SDL_JOYAXISMOTION)
        return false;
    handle_event(&app->ui, &app->out, app->ui.ui_surface, ev);
    return app->now.player_screen_hidden;
}

void poll_events(AppState* app, LoopResult* r)
{
    SDL_Event ev;
    while (has(app, APP_PLAYER_BUSY) && SDL_PollEvent(&ev)) {
        if (handle_frame_event(app, &ev, r))
            continue;
        if (interface_takes(app, &ev)) {
            app->player.pressing = 0;
            app->player.quick_motions = 0;
            continue;
        }
        handle_player_event(app, &ev, r);
    }
}

}  // namespace

int player_loop(AppState* app)
{
    LoopResult r;
    app->player.aspect_key_count = 0;
    while (has(app, APP_PLAYER_BUSY)) {
        auto_hide(app);
        poll_events(app, &r);
        if (PlayerSession* s = app->now.session) {
            refresh_bar_time(app);
            player_session_tick(s);
        } else if (const PlayerRemote* remote = app->player.remote) {
            const int ended = remote->tick(app);
            if (ended >= 0)
                r.value = ended;
        }
        sleep_ms(LOOP_SLEEP_MS);
    }
    app->player.touch_in_progress = 0;
    app->player.knob_drag = 0;
    flags_set(&app->flags, APP_CLOSING);
    if (!app->now.player_screen_hidden)
        player_status_show(app);
    stream_close(app->now.session);
    return r.value;
}

int play_local(AppState* app)
{
    flags_set(&app->flags, APP_PLAYING);
    flags_clear(&app->flags, APP_PAUSED);
    return player_run_shown(app);
}

int player_run_shown(AppState* app)
{
    // Stamped whether or not auto-hide is on, so that switching it on later
    // counts from the start of the item.
    app->player.last_activity_tick = SDL_GetTicks();
    app->now.controls_visible = 1;
    app->player.full_redraw = 1;
    if (!app->now.player_screen_hidden)
        present_ui_layer(&app->ui, app->ui.ui_surface, 0);
    return player_loop(app);
}

void set_library_view(AppState* app, bool on)
{
    app->now.player_screen_hidden = on ? 1 : 0;
    app->ui.library_shown = on ? 1 : 0;
    present_ui_layer(&app->ui, app->ui.ui_surface, player_shows_video(app) ? 0 : 0xFF);
    if (!on) {
        if (player_shows_video(app))
            app->now.controls_visible = 0;
        player_redraw(app);
        return;
    }
    apply_orientation(&app->ui, &app->out, ORIENTATION_UPRIGHT);
    if (app->player.library_screen)
        app->player.library_screen(app);
}

void player_redraw(AppState* app)
{
    app->player.full_redraw = 1;
    if (!player_shows_video(app)) {
        player_screen_draw(app);
        return;
    }
    // The engine shows its last picture again on its next pass (with the bar
    // when it is visible).
    app->now.redraw_request_count = 1;
}
