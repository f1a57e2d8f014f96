#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_screen.h"
#include "app/info_panel.h"
#include "app/listener.h"
#include "app/prefs.h"
#include "app/streamer_source.h"
#include "app/thumb_worker.h"
#include "app/upnp_source.h"
#include "browser/navigation.h"
#include "browser/playlist.h"
#include "engine/info_cache.h"
#include "engine/thumbnail.h"
#include "platform/data_paths.h"
#include "platform/media_enums.h"
#include "platform/net.h"
#include "platform/x11_window.h"
#include "render/gl_context.h"
#include "streamer/timeshift.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/widget.h"

namespace {

AppState* g_app = nullptr;
SDL_Joystick* g_joystick = nullptr;
// The settings in the record were loaded from the file, or the file was
// missing or damaged and start-up replaced it with the defaults: only then
// does shutdown save them. A start-up that failed earlier must not write its
// defaults over the user's file.
bool g_settings_owned = false;

// --- signals ---------------------------------------------------------------
// SIGTERM and SIGINT are blocked in every thread and taken by one watcher
// thread, which turns them into the window-close event so that the program
// leaves through its normal shutdown.

std::atomic<bool> g_quit_signalled{false};
std::atomic<bool> g_watcher_stop{false};
pthread_t g_watcher;
bool g_watcher_running = false;

sigset_t quit_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR2);  // wakes the watcher at shutdown
    return set;
}

void* signal_watcher(void*)
{
    sigset_t set = quit_signals();
    while (!g_watcher_stop) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0 || sig == SIGUSR2)
            continue;
        g_quit_signalled = true;
        if (SDL_WasInit(SDL_INIT_VIDEO)) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
    }
    return nullptr;
}

void signals_install()
{
    signal(SIGXFSZ, SIG_IGN);  // an exhausted file-size limit is a failed write
    signal(SIGPIPE, SIG_IGN);  // a vanished peer is a failed send
    sigset_t set = quit_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    g_watcher_running = pthread_create(&g_watcher, nullptr, signal_watcher, nullptr) == 0;
}

void signals_remove()
{
    if (!g_watcher_running)
        return;
    g_watcher_stop = true;
    pthread_kill(g_watcher, SIGUSR2);
    pthread_join(g_watcher, nullptr);
    g_watcher_running = false;
}

// --- start-up steps ----------------------------------------------------------

// A display server that has just started, or is busy accepting other
// clients, can refuse connections for most of a second; three seconds of
// retries ride that out while a display that is really gone still ends
// start-up promptly.
constexpr int SDL_INIT_ATTEMPTS = 15;
constexpr Uint32 SDL_INIT_RETRY_MS = 200;
constexpr uint8_t CODEC_NONE = 255;  // the streamed item has no such stream yet
constexpr int32_t NO_INDEX = -1;     // no current channel or list item

constexpr int SOCKETS_VERSION_1_1 = 0x0101;  // the sockets version the program asks for

int start_sockets()
{
    return net_startup() == SOCKETS_VERSION_1_1 ? 0 : -1;
}

// Takes the record and writes the default settings into it.
int start_record()
{
    g_app = app_create();
    if (!g_app)
        return -1;
    settings_set_defaults(&g_app->settings);
    return 0;
}

// The streamer link lives in the record: it is closed before the record goes.
void stop_record()
{
    if (g_app)
        streamer_link_stop(g_app);
    app_destroy(g_app);
    g_app = nullptr;
}

void set_caption_and_icon()
{
    SDL_WM_SetCaption(APP_CAPTION, APP_CAPTION);
    SDL_Surface* icon = SDL_LoadBMP("images/icon.bmp");
    if (!icon)
        return;
    SDL_SetColorKey(icon, SDL_SRCCOLORKEY, SDL_MapRGB(icon->format, 255, 255, 255));
    SDL_WM_SetIcon(icon, nullptr);
    SDL_FreeSurface(icon);
}

int start_sdl()
{
    // Retried: see SDL_INIT_ATTEMPTS.
    int attempts = 0;
    while (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0) {
        if (++attempts == SDL_INIT_ATTEMPTS)
            return -1;
        SDL_Delay(SDL_INIT_RETRY_MS);
    }
    // A machine without a sound device still shows pictures; audio output
    // reports its own failure when a player opens it.
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    set_caption_and_icon();
    return 0;
}

void choose_window_size(AppState* app)
{
    int w = DEFAULT_WINDOW_WIDTH, h = DEFAULT_WINDOW_HEIGHT;
    if (app->settings.always_fullscreen == 1 && !screen_metrics(&w, &h)) {
        w = DEFAULT_WINDOW_WIDTH;
        h = DEFAULT_WINDOW_HEIGHT;
    }
    app->out.screen_width = app->out.window_width = app->frame.saved_width = w;
    app->out.screen_height = app->out.window_height = app->frame.saved_height = h;
}

// Loads the settings file; a missing or damaged one is replaced by the
// defaults at once. Then the playlists and the window size.
int load_preferences()
{
    AppState* app = g_app;
    if (prefs_load(&app->settings) < 0) {
        settings_set_defaults(&app->settings);
        prefs_save(&app->settings);
    }
    g_settings_owned = true;
    if (playlists_init(&app->playlists, PLAYLISTS_FOLDER) != 0)
        return -1;
    app->settings.handshake_value = 1;
    choose_window_size(app);
    return 0;
}

int open_joystick()
{
    if (SDL_NumJoysticks() > 0)
        g_joystick = SDL_JoystickOpen(0);
    return 0;
}

void close_joystick()
{
    if (g_joystick)
        SDL_JoystickClose(g_joystick);
    g_joystick = nullptr;
}

int start_truetype()
{
    return TTF_Init();
}

int open_window()
{
    Uint32 mode = g_app->settings.always_fullscreen ? SDL_NOFRAME : SDL_RESIZABLE;
    return SDL_SetVideoMode(g_app->out.screen_width, g_app->out.screen_height, 32, mode) ? 0 : -1;
}

void place_fullscreen_window(AppState* app)
{
    if (!app->settings.always_fullscreen)
        return;
    NativeWindow nw;
    if (!native_window_get(&nw))
        return;
    window_set_topmost(nw, true);
    window_move_resize(nw, 0, 0, app->out.screen_width, app->out.screen_height);
}

int create_gl_context()
{
    AppState* app = g_app;
    NativeWindow nw;
    if (!native_window_get(&nw))
        return -1;
    app->frame.native_window = nw.window;
    app->frame.native_display = nw.display;
    int x = 0, y = 0, w = 0, h = 0;
    if (window_rect(nw, &x, &y, &w, &h))
        app->frame.window_rect = {static_cast<Sint16>(x), static_cast<Sint16>(y),
                                  static_cast<Uint16>(w), static_cast<Uint16>(h)};
    app->out.gl.width = app->out.screen_width;
    app->out.gl.height = app->out.screen_height;
    app->out.gl.window = nw.window;
    app->out.gl.native_display = nw.display;
    if (!gl_context_create(&app->out.gl))
        return -1;
    place_fullscreen_window(app);
    return 0;
}

void destroy_gl_context()
{
    gl_context_destroy(&g_app->out.gl);
}

void set_runtime_defaults(AppState* app)
{
    app->frame.main_thread_id = SDL_ThreadID();
    app->out.aspect_mode = app->settings.aspect_mode;
    app->nav.stream_video_codec = CODEC_NONE;
    app->nav.stream_audio_codec = CODEC_NONE;
    app->now.audio_stream = app->now.video_stream = app->now.subtitle_stream = STREAM_AUTO;
    app->nav.current_channel = NO_INDEX;
    app->nav.current_list_index = NO_INDEX;
}

int build_programs()
{
    SDL_EnableUNICODE(1);
    gl_programs_init();
    av_log_set_level(AV_LOG_QUIET);
    set_runtime_defaults(g_app);
    return 0;
}

int start_resources()
{
    return load_resources(g_app);
}
void stop_resources()
{
    release_resources(g_app);
}

void nothing_to_undo() {}

void free_playlists()
{
    playlists_free(&g_app->playlists);
}

// Start-up in its fixed order, each step beside what undoes it. Shutdown
// undoes the steps that were begun in exactly the reverse order, so nothing
// is released while something started after it still uses it: the record
// outlives the GL context that lives in it, SDL outlives the joystick.
// Every undo copes with a step that failed part-way.
struct StartStep {
    int (*start)();
    void (*undo)();
};

const StartStep START_STEPS[] = {
    {start_sockets, net_cleanup},
    {start_record, stop_record},
    {start_sdl, SDL_Quit},
    {load_preferences, free_playlists},
    {open_joystick, close_joystick},
    {start_truetype, TTF_Quit},
    {open_window, nothing_to_undo},  // SDL_Quit closes the video mode
    {create_gl_context, destroy_gl_context},
    {build_programs, gl_programs_free},
    {start_resources, stop_resources},
};

size_t g_steps_begun = 0;

// Runs the steps in order; the first failure ends start-up. 0 or -1.
int start_up()
{
    cache_load(DEFAULT_DATA_FOLDER);  // absent or of another version: an empty cache
    for (const StartStep& step : START_STEPS) {
        ++g_steps_begun;
        if (step.start() != 0)
            return -1;
    }
    return 0;
}

void shut_down()
{
    if (g_settings_owned && g_app)
        prefs_save(&g_app->settings);
    while (g_steps_begun > 0)
        START_STEPS[--g_steps_begun].undo();
}

void create_player_locks(AppState* app)
{
    if (flags_any(&app->flags, APP_RUNNING))
        return;
    app->frame.player_stream_lock = SDL_CreateMutex();
    app->frame.player_audio_lock = SDL_CreateMutex();
    app->frame.player_recording_lock = SDL_CreateMutex();
    flags_set(&app->flags, APP_RUNNING);
}

void destroy_player_locks(AppState* app)
{
    SDL_DestroyMutex(app->frame.player_stream_lock);
    SDL_DestroyMutex(app->frame.player_audio_lock);
    SDL_DestroyMutex(app->frame.player_recording_lock);
    app->frame.player_stream_lock = app->frame.player_audio_lock =
        app->frame.player_recording_lock = nullptr;
}

// The worker's thumbnails: the icon view's small ones stretched to the row
// icon, the panel's fitted with the picture's aspect.
ThumbMaker engine_thumb_maker()
{
    auto make = [](const char* path, int size) {
        return size == THUMB_SIZE_PANEL
                   ? thumb_make(path, THUMB_PANEL_WIDTH, THUMB_PANEL_HEIGHT, true, THUMB_PANEL)
                   : thumb_make(path, THUMB_SMALL_WIDTH, THUMB_SMALL_HEIGHT, false, THUMB_SMALL);
    };
    auto lookup = [](const char* path, int size, char* out, size_t out_size) {
        return thumb_lookup_file(path, size == THUMB_SIZE_PANEL ? THUMB_PANEL : THUMB_SMALL, out,
                                 out_size);
    };
    return ThumbMaker{make, lookup};
}

}  // namespace

int load_resources(AppState* app)
{
    app->ui.owner = app;
    app->ui.settings = &app->settings;
    app->ui.app_flags = &app->flags;
    if (load_artwork_and_fonts(app->out.screen_width, app->out.screen_height) != 0 ||
        ui_toolkit_init() != 0)
        return -1;
    if (create_ui_surfaces(&app->out) != 0 ||
        apply_orientation(&app->ui, &app->out, ORIENTATION_UPRIGHT) != 0)
        return -1;
    // The threads below run while APP_RUNNING is set, so it is set before
    // they start (the player locks exist by then).
    create_player_locks(app);
    streamer_link_start(app);
    browser_install(app);
    if (ui_timer_start() != 0 ||
        listener_start(app, [](AppState*) { return post_play_request(); }) != 0)
        return -1;
    if (thumb_worker_start(&app->ui, engine_thumb_maker()) != 0 || upnp_thread_start(app) != 0)
        return -1;
    return 0;
}

void release_resources(AppState* app)
{
    // Clearing APP_RUNNING tells every long-lived thread to end; they are
    // joined in the reverse order of their start, then what they used goes.
    flags_clear(&app->flags, APP_RUNNING);
    upnp_thread_stop();
    thumb_make_abort(true);  // a thumbnail being made gives up rather than delay the exit
    thumb_worker_stop();
    info_panel_release(app);
    listener_stop();
    ui_timer_stop();
    ui_set_play_request_handler(nullptr);
    ui_set_thumbnail_hook(nullptr);
    destroy_player_locks(app);
    free_ui_surfaces();
    ui_toolkit_free();
    free_artwork_and_fonts();
    streamer_link_stop(app);
}

int app_main()
{
    ::mkdir("data", 0755);  // the program's data folder, beside it
    ::mkdir(RECORDINGS_FOLDER, 0755);
    // Time-shift files belong to one session: any found now were left by a
    // run that ended without closing them (a crash or a power loss).
    tsb_remove_stale(RECORDINGS_FOLDER);
    signals_install();
    const int started = start_up();
    if (started == 0 && !g_quit_signalled)
        main_loop(g_app);
    shut_down();
    signals_remove();
    return started == 0 ? 0 : -1;
}
