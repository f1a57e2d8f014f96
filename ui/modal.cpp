// The modal loop, window resizes, the UI timer thread, the user events it
// posts (spinners, periodic widgets, thumbnails) and the deferred play
// request. The dispatch of single events is in events.cpp.
#include <EGL/egl.h>
#include <GLES2/gl2.h>

#include <atomic>

#include "ui/artwork.h"
#include "ui/input_internal.h"
#include "ui/layers.h"
#include "ui/widget.h"

namespace {

// ---- injectable time and events ------------------------------------------------

// Looks at the queue after fetching what the window system has pending, so
// that a fling (which keeps the modal loop from pumping) sees a new press.
int sdl_peep(SDL_Event* events, int n, Uint32 mask)
{
    SDL_PumpEvents();
    return SDL_PeepEvents(events, n, SDL_PEEKEVENT, mask);
}

const EventSource SDL_SOURCE = {SDL_PollEvent, sdl_peep, SDL_PushEvent};
const EventSource* g_source = &SDL_SOURCE;
Uint32 (*g_clock)() = SDL_GetTicks;
void (*g_delay)(Uint32) = SDL_Delay;

constexpr Uint32 IDLE_SLEEP_MS = 10;      // the modal loop's nap when the queue is empty
constexpr int LISTING_ROWS_ENOUGH = 256;  // a listing job with this many rows is shown at once

void (*g_play_handler)(AppState*) = play_request_keep_path;

SDL_Thread* g_timer_thread;
std::atomic<bool> g_timer_run{false};

}  // namespace

namespace ui_input {

const EventSource* event_source()
{
    return g_source;
}

}  // namespace ui_input

using namespace ui_input;

namespace {

// ---- user events --------------------------------------------------------------------------

void spinner_tick(const InputContext& cx)
{
    PendingAction pending;
    {
        LockGuard guard(ui_registry_lock());
        Uint32 now = ui_ticks();
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE && !pending.action; ++i) {
            Widget* w = slots[i].widget;
            if (!slots[i].active || !w || w->kind != WIDGET_SPINNER || !w->spinner.running)
                continue;
            SpinnerFields& s = w->spinner;
            const bool done = s.job && spinner_job_done(w);
            const bool ended = cx.ui->abort_requested || done ||
                               (s.listing_rows && s.listing_rows->load() >= LISTING_ROWS_ENOUGH);
            if (slots[i].action && ended) {
                s.running = 0;
                if (done)
                    spinner_detach_job(w);  // joined below, outside the lock
                pending.set(&slots[i]);
                break;
            }
            if (int32_t(now - s.next_frame_time) >= 0) {
                w->state = uint8_t(ring_next(w->state, SPINNER_FRAMES));
                s.next_frame_time = now + UI_TIMER_PERIOD_MS;
                widget_draw(cx.surface, w);
                present(cx.ui);
            }
        }
    }
    spinner_join_detached();
    pending.run(cx.ui);
}

void periodic_tick(const UiState* ui)
{
    PendingAction pending;
    {
        LockGuard guard(ui_registry_lock());
        Uint32 now = ui_ticks();
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            Widget* w = slots[i].widget;
            if (!slots[i].active || slots[i].code != SLOT_PERIODIC || !w ||
                w->kind != WIDGET_PERIODIC || w->periodic.done)
                continue;
            PeriodicFields& p = w->periodic;
            if (int32_t(now - p.next_time) < 0)
                continue;
            ++p.count;
            if (p.limit > 0 && p.count >= p.limit)
                p.done = 1;
            p.next_time += p.period;
            pending.set(&slots[i]);
            break;
        }
    }
    pending.run(ui);
}

void (*g_thumbnail_hook)(AppState*, Widget*) = nullptr;

void thumbnail_ready(const InputContext& cx)
{
    Widget* list = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        Widget* current = current_list_widget();
        if (current && current->in_use && registered(current))
            list = current;
    }
    if (g_thumbnail_hook)
        g_thumbnail_hook(cx.ui->owner, list);
    if (list) {
        widget_draw(cx.surface, list);
        present(cx.ui);
    }
}

}  // namespace

namespace {

// The pending play request's slot, null when none; the caller holds the
// registry lock.
RegistrySlot* play_request_slot_locked()
{
    RegistrySlot* slots = registry_slots();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (slots[i].active && slots[i].code == SLOT_PLAY_REQUEST)
            return &slots[i];
    return nullptr;
}

}  // namespace

void ui_input::user_event(const InputContext& cx, int code)
{
    switch (code) {
    case UI_EVENT_LONG_PRESS: long_press_tick(cx); break;
    case UI_EVENT_CARET: caret_tick(cx); break;
    case UI_EVENT_SPINNER: spinner_tick(cx); break;
    case UI_EVENT_PERIODIC: periodic_tick(cx.ui); break;
    case UI_EVENT_THUMBNAIL: thumbnail_ready(cx); break;
    default: break;
    }
}

// Honours a pending play request; the slot is freed at once, so requests
// taken one after another never fill the registry.
bool ui_input::take_play_request(const UiState* ui)
{
    bool found = false;
    {
        LockGuard guard(ui_registry_lock());
        if (RegistrySlot* slot = play_request_slot_locked()) {
            *slot = RegistrySlot{};
            found = true;
        }
    }
    if (found && g_play_handler)
        g_play_handler(ui->owner);
    return found;
}

namespace {

void noop_action(AppState*, RegistrySlot*) {}

// ---- window -----------------------------------------------------------------------------------

// The size GL really draws into: the window surface keeps its own size on
// some EGL platforms when the X window is resized, and layout must follow
// the drawable, not the request, or the picture lands offset in the window.
void drawable_size(const VideoOutput* out, int* width, int* height)
{
    if (!out->gl.display || !out->gl.surface)
        return;
    EGLint w = 0;
    EGLint h = 0;
    if (eglQuerySurface(out->gl.display, out->gl.surface, EGL_WIDTH, &w) &&
        eglQuerySurface(out->gl.display, out->gl.surface, EGL_HEIGHT, &h) && w > 0 && h > 0) {
        *width = w;
        *height = h;
    }
}

void window_resized(UiState* ui, VideoOutput* out, int width, int height)
{
    window_size_sync(out, &width, &height);
    const bool portrait = orientation_is_portrait(out->orientation);
    if (width <= 0 || height <= 0 || artwork_fit_window(width, height, portrait) != 0)
        return;
    out->window_width = width;
    out->window_height = height;
    if (out->gl.context)
        glViewport(0, 0, width, height);
    apply_orientation(ui, out, out->orientation);
    ui_set_resize_redraw(1);
    registry_clear(0);
    widgets_clear(0);
    if (ui->current_screen)
        ui->current_screen(ui->owner);
    ui_set_resize_redraw(0);
    // Both buffers must hold the redrawn screen.
    present(ui);
}

}  // namespace

void window_size_sync(const VideoOutput* out, int* width, int* height)
{
    // SDL keeps its own idea of the window size and reports only changes from
    // it: tell it the new size (the X window and its GL surface are kept).
    if (SDL_Surface* video = SDL_GetVideoSurface())
        SDL_SetVideoMode(*width, *height, video->format->BitsPerPixel, video->flags);
    drawable_size(out, width, height);
}

namespace {

int timer_thread(void*)
{
    while (g_timer_run.load()) {
        if (SDL_sem* sem = ui_timer_semaphore())
            SDL_SemWaitTimeout(sem, UI_TIMER_PERIOD_MS);
        else
            SDL_Delay(UI_TIMER_PERIOD_MS);
        if (!g_timer_run.load())
            break;
        ui_timer_scan();
    }
    return 0;
}

}  // namespace

// ---- time and events ----------------------------------------------------------------------------

void ui_set_clock(Uint32 (*ticks)())
{
    g_clock = ticks ? ticks : SDL_GetTicks;
}
void ui_set_delay(void (*delay)(Uint32))
{
    g_delay = delay ? delay : SDL_Delay;
}
void ui_set_event_source(const EventSource* source)
{
    g_source = source ? source : &SDL_SOURCE;
}
Uint32 ui_ticks()
{
    return g_clock();
}
void ui_delay(Uint32 ms)
{
    g_delay(ms);
}

int ui_push_event(SDL_Event* event)
{
    return g_source->push(event);
}

int ui_push_user_event(int code)
{
    SDL_Event ev{};
    ev.type = SDL_USEREVENT;
    ev.user.code = code;
    return g_source->push(&ev);
}

// ---- modal loop ----------------------------------------------------------------------------------

int modal_loop(UiState* ui, VideoOutput* out, int* done)
{
    while (!ui->play_requested) {
        SDL_Event ev;
        while (g_source->poll(&ev)) {
            switch (ev.type) {
            case SDL_QUIT:
                if (done)
                    g_source->push(&ev);  // the outer loop ends too
                return 1;
            case SDL_VIDEORESIZE: window_resized(ui, out, ev.resize.w, ev.resize.h); break;
            case SDL_VIDEOEXPOSE: present(ui); break;
            default: handle_event(ui, out, ui->ui_surface, &ev); break;
            }
            if (ui->play_requested)
                return 0;
        }
        if (done && (*done || ui->abort_requested))
            return 0;
        ui_delay(IDLE_SLEEP_MS);
    }
    return 0;
}

// ---- UI timer ------------------------------------------------------------------

unsigned ui_timer_scan()
{
    unsigned want = 0;
    {
        LockGuard guard(ui_registry_lock());
        Uint32 now = ui_ticks();
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            const RegistrySlot& slot = slots[i];
            if (!slot.active)
                continue;
            if (slot.code == SLOT_PLAY_REQUEST)
                want |= 1u << UI_EVENT_PLAY_REQUEST;
            const Widget* w = slot.widget;
            if (!w || !w->in_use)
                continue;
            if (w->kind == WIDGET_LIST && w->list.held)
                want |= 1u << UI_EVENT_LONG_PRESS;
            if (w->kind == WIDGET_EDIT_BOX && w->edit.focused)
                want |= 1u << UI_EVENT_CARET;
            if (w->kind == WIDGET_SPINNER && w->spinner.running)
                want |= 1u << UI_EVENT_SPINNER;
            if (slot.code == SLOT_PERIODIC && w->kind == WIDGET_PERIODIC && !w->periodic.done &&
                int32_t(now - w->periodic.next_time) >= 0)
                want |= 1u << UI_EVENT_PERIODIC;
        }
    }
    unsigned pushed = 0;
    for (int code : {UI_EVENT_LONG_PRESS, UI_EVENT_CARET, UI_EVENT_SPINNER, UI_EVENT_PLAY_REQUEST,
                     UI_EVENT_PERIODIC}) {
        if ((want & (1u << code)) && ui_push_user_event(code) == 0)
            pushed |= 1u << code;
    }
    return pushed;
}

int ui_timer_start()
{
    if (g_timer_thread)
        return 0;
    g_timer_run.store(true);
    g_timer_thread = SDL_CreateThread(timer_thread, nullptr);
    if (!g_timer_thread) {
        g_timer_run.store(false);
        return -1;
    }
    return 0;
}

void ui_timer_stop()
{
    if (!g_timer_thread)
        return;
    g_timer_run.store(false);
    if (SDL_sem* sem = ui_timer_semaphore())
        SDL_SemPost(sem);
    SDL_WaitThread(g_timer_thread, nullptr);
    g_timer_thread = nullptr;
}

// ---- deferred requests ------------------------------------------------------------------------------

int post_deferred(Widget* w, int32_t code, SlotAction action)
{
    LockGuard guard(ui_registry_lock());
    return registry_add(w, code, action);
}

int post_play_request()
{
    LockGuard guard(ui_registry_lock());
    if (play_request_slot_locked())
        return 0;
    int r = registry_add(nullptr, SLOT_PLAY_REQUEST, noop_action);
    if (r == 0 && ui_timer_semaphore())
        SDL_SemPost(ui_timer_semaphore());
    return r;
}

void ui_set_play_request_handler(void (*handler)(AppState* app))
{
    g_play_handler = handler ? handler : play_request_keep_path;
}

void play_request_keep_path(AppState*) {}

bool play_request_pending()
{
    LockGuard guard(ui_registry_lock());
    return play_request_slot_locked() != nullptr;
}

bool play_request_take(UiState* ui)
{
    return take_play_request(ui);
}

void ui_set_thumbnail_hook(void (*hook)(AppState* app, Widget* list))
{
    g_thumbnail_hook = hook;
}
