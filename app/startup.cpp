#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <cstring>
#include <thread>

#include "app/app.h"
#include "app/app_state.h"
#include "app/listener.h"
#include "app/pending.h"
#include "app/prefs.h"
#include "platform/net.h"
#include "platform/x11_window.h"
#include "render/gl_context.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/widget.h"

namespace {

// What start-up brought up, so that shutdown undoes exactly that.
struct Started {
    bool sockets = false;
    bool ttf = false;
    bool programs = false;
    bool gl = false;
    SDL_Joystick* joystick = nullptr;
};

Started g_started;
AppState* g_app = nullptr;

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

constexpr int SDL_INIT_ATTEMPTS = 5;
constexpr Uint32 SDL_INIT_RETRY_MS = 200;

int start_sockets()
{
    g_started.sockets = true;
    return net_startup() == 0x0101 ? 0 : -1;
}

int start_sdl()
{
    // A display server that is busy accepting other clients now and then
    // refuses a connection: try again briefly before giving up.
    int attempts = 0;
    while (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0) {
        if (++attempts == SDL_INIT_ATTEMPTS)
            return -1;
        SDL_Delay(SDL_INIT_RETRY_MS);
    }
    // A machine without a sound device still shows pictures; audio output
    // reports its own failure when a player opens it.
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    return 0;
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

void load_preferences(AppState* app)
{
    if (prefs_load(&app->settings) < 0) {
        settings_set_defaults(&app->settings);
        prefs_save(&app->settings);
    }
}

void choose_window_size(AppState* app)
{
    int w = DEFAULT_WINDOW_WIDTH, h = DEFAULT_WINDOW_HEIGHT;
    if (app->settings.always_fullscreen == 1 && !screen_metrics(&w, &h)) {
        w = DEFAULT_WINDOW_WIDTH;
        h = DEFAULT_WINDOW_HEIGHT;
    }
    screen_width = app->out.screen_width = app->out.window_width = app->frame.saved_width = w;
    screen_height = app->out.screen_height = app->out.window_height = app->frame.saved_height = h;
}

void open_joystick()
{
    if (SDL_NumJoysticks() > 0)
        g_started.joystick = SDL_JoystickOpen(0);
}

int open_window(AppState* app)
{
    if (TTF_Init() != 0)
        return -1;
    g_started.ttf = true;
    Uint32 mode = app->settings.always_fullscreen ? SDL_NOFRAME : SDL_RESIZABLE;
    return SDL_SetVideoMode(screen_width, screen_height, 32, mode) ? 0 : -1;
}

int create_gl_context(AppState* app)
{
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
    g_started.gl = true;
    return 0;
}

void place_fullscreen_window(AppState* app)
{
    if (!app->settings.always_fullscreen)
        return;
    NativeWindow nw;
    if (!native_window_get(&nw))
        return;
    window_set_topmost(nw, true);
    window_move_resize(nw, 0, 0, screen_width, screen_height);
}

void build_programs()
{
    SDL_EnableUNICODE(1);
    gl_programs_init();
    g_started.programs = true;
    av_log_set_level(AV_LOG_QUIET);
}

void set_runtime_defaults(AppState* app)
{
    app->frame.main_thread_id = SDL_ThreadID();
    app->out.aspect_mode = app->settings.aspect_mode;
    app->nav.stream_video_codec = 255;
    app->nav.stream_audio_codec = 255;
    app->now.audio_stream = app->now.video_stream = app->now.subtitle_stream = -1;
    app->nav.current_channel = -1;
    app->nav.current_list_index = -1;
}

void create_player_locks(AppState* app)
{
    if (app->flags & APP_RUNNING)
        return;
    app->frame.player_stream_lock = SDL_CreateMutex();
    app->frame.player_audio_lock = SDL_CreateMutex();
    app->frame.player_recording_lock = SDL_CreateMutex();
    app->flags |= APP_RUNNING;
}

void destroy_player_locks(AppState* app)
{
    SDL_DestroyMutex(app->frame.player_stream_lock);
    SDL_DestroyMutex(app->frame.player_audio_lock);
    SDL_DestroyMutex(app->frame.player_recording_lock);
    app->frame.player_stream_lock = app->frame.player_audio_lock = app->frame.player_recording_lock = nullptr;
    app->flags &= ~APP_RUNNING;
}

// Steps 2-18 of start-up; the first failure ends it.
int start_up()
{
    thumb_cache_load();
    if (start_sockets() != 0)
        return -1;
    g_app = app_create();
    if (!g_app)
        return -1;
    AppState* app = g_app;
    settings_set_defaults(&app->settings);
    if (start_sdl() != 0)
        return -1;
    set_caption_and_icon();
    load_preferences(app);
    favorites_init(app);
    app->settings.handshake_value = 1;
    choose_window_size(app);
    open_joystick();
    if (open_window(app) != 0 || create_gl_context(app) != 0)
        return -1;
    place_fullscreen_window(app);
    build_programs();
    set_runtime_defaults(app);
    if (load_resources(app) != 0)
        return -1;
    create_player_locks(app);
    return 0;
}

void shut_down()
{
    AppState* app = g_app;
    if (app)
        prefs_save(&app->settings);
    if (app) {
        destroy_player_locks(app);
        release_resources(app);
        link_disconnect(app);
        app_destroy(app);
    }
    if (g_started.ttf)
        TTF_Quit();
    if (g_started.programs)
        gl_programs_free();
    if (g_started.gl && app)
        gl_context_destroy(&app->out.gl);
    if (g_started.sockets)
        net_cleanup();
    if (g_started.joystick)
        SDL_JoystickClose(g_started.joystick);
    SDL_Quit();
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
    if (create_ui_surfaces(&app->out) != 0 || apply_orientation(&app->ui, &app->out, 0) != 0)
        return -1;
    // The threads below run while APP_RUNNING is set, so it is set before
    // they start (the runtime locks exist by now).
    create_player_locks(app);
    if (ui_timer_start() != 0 || listener_start(app, [](AppState*) { return post_play_request(); }) != 0)
        return -1;
    if (thumb_worker_start() != 0 || upnp_thread_start(app) != 0)
        return -1;
    return 0;
}

void release_resources(AppState*)
{
    upnp_thread_stop();
    thumb_worker_stop();
    ui_timer_stop();
    listener_stop();
    free_artwork_and_fonts();
    ui_toolkit_free();
    free_ui_surfaces();
}

int app_main()
{
    ::mkdir("data", 0755);  // the program's data folder, beside it
    signals_install();
    if (thumb_cache_lock_create() != 0)
        return -1;
    if (start_up() == 0 && !g_quit_signalled)
        main_loop(g_app);
    shut_down();
    thumb_cache_lock_destroy();
    signals_remove();
    return 0;
}
