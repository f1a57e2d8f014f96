// The modal loop, event dispatch to the registry, the UI timer thread, the
// key repeat filter, pointer rotation and the accelerometer. Edit boxes and
// lists have their own files (edit_input.cpp, list_input.cpp).
#include "ui/events.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <EGL/egl.h>
#include <GLES2/gl2.h>

#include "app/app_state.h"
#include "ui/artwork.h"
#include "ui/layers.h"
#include "ui/input_internal.h"
#include "ui/list_gl.h"
#include "ui/text.h"
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

// ---- key repeat filter and the list on screen ----------------------------------------

int g_last_key = -1;
Uint32 g_last_key_time;
bool g_key_down;
Widget* g_current_list;

// ---- accelerometer -------------------------------------------------------------------

constexpr int AXIS_UNKNOWN = 0x7FFFFFFF;
int g_axes[3] = {AXIS_UNKNOWN, AXIS_UNKNOWN, AXIS_UNKNOWN};
int g_orientation;
int g_candidate = -1;
Uint32 g_candidate_since;

// ---- play requests ---------------------------------------------------------------------

void (*g_play_handler)(AppState*) = play_request_keep_path;

// ---- UI timer ------------------------------------------------------------------------------

SDL_Thread* g_timer_thread;
int g_timer_run;   // shared_flag_load/store

}  // namespace

namespace ui_input {

// ---- registry look-ups ------------------------------------------------------

bool inside(const Widget* w, int x, int y, int tolerance)
{
    return x >= w->x - tolerance && x < w->x + w->width + tolerance &&
           y >= w->y - tolerance && y < w->y + w->height + tolerance;
}

RegistrySlot* find_slot(const Widget* w, int32_t code)
{
    RegistrySlot* slots = registry_slots();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (slots[i].active && slots[i].widget == w && slots[i].code == code)
            return &slots[i];
    return nullptr;
}

bool registered(const Widget* w)
{
    RegistrySlot* slots = registry_slots();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (slots[i].active && slots[i].widget == w)
            return true;
    return false;
}

const EventSource* event_source() { return g_source; }

}  // namespace ui_input

using namespace ui_input;

namespace {

// ---- pointer down --------------------------------------------------------------------------

void pointer_down(AppState* app, SDL_Surface* surface, int x, int y)
{
    PendingAction pending;
    bool show = false;
    {
        LockGuard guard(ui_registry_lock());
        Widget* focused = focused_edit_box();
        if (focused && !inside(focused, x, y, HIT_TOLERANCE)) {
            Widget* box = focused;
            edit_unfocus();
            widget_draw(surface, box);
            show = true;
        }
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE && !pending.action; ++i) {
            RegistrySlot& slot = slots[i];
            Widget* w = slot.widget;
            if (!slot.active || !w || !w->in_use || !inside(w, x, y, HIT_TOLERANCE))
                continue;
            switch (w->kind) {
            case WIDGET_BUTTON:
                if (slot.code != SLOT_PRESS || w->pressed)
                    continue;
                w->pressed = 1;
                w->state = 1;
                w->press_x = x;
                w->press_y = y;
                widget_draw(surface, w);
                show = true;
                break;
            case WIDGET_TOGGLE:
                w->state ^= 1;
                widget_draw(surface, w);
                show = true;
                pending.set(&slot);
                break;
            case WIDGET_CHECKBOX:
                if (w->disabled)
                    continue;
                w->state ^= 1;
                widget_draw(surface, w);
                show = true;
                pending.set(&slot);
                break;
            case WIDGET_SELECTOR3:
            case WIDGET_SELECTOR: {
                int count = std::max(1, int(w->choice_count));
                int rel = std::clamp(x - w->x, 0, std::max(0, w->width - 1));
                w->state = uint8_t(std::min(count - 1, rel * count / std::max(1, w->width)));
                widget_draw(surface, w);
                show = true;
                pending.set(&slot);
                break;
            }
            case WIDGET_COLOUR_PICKER: {
                int step = w->vertical ? w->cell_height + w->cell_gap : w->cell_size + w->cell_gap;
                int rel = w->vertical ? y - w->y : x - w->x;
                w->state = uint8_t(std::clamp(rel / std::max(1, step), 0, COLOUR_PICKER_CELLS - 1));
                widget_draw(surface, w);
                show = true;
                pending.set(&slot);
                break;
            }
            case WIDGET_EDIT_BOX:
                if (w->disabled)
                    continue;
                sticky_clear();
                edit_focus(w);
                caret_from_pointer(w, x);
                edit_place_caret(w);
                widget_draw(surface, w);
                show = true;
                break;
            case WIDGET_LIST:
                list_press(app, w, x, y);
                break;
            case WIDGET_IMAGE:
                if (slot.code == SLOT_DRAG) {
                    w->drag.active = 1;
                    w->press_x = x;
                    w->press_y = y;
                    break;
                }
                [[fallthrough]];
            default:
                if (slot.code != SLOT_PRESS)
                    continue;
                restore_key_repeat();
                w->press_x = x;
                w->press_y = y;
                pending.set(&slot);
                show = true;
                break;
            }
            // One widget takes the press (all of a list's slots were handled above).
            break;
        }
    }
    pending.run(app);
    if (show)
        present(app);
}

// ---- pointer up and motion ------------------------------------------------------------------

void pointer_up(AppState* app, SDL_Surface* surface, int x, int y)
{
    PendingAction pending;
    Widget* drag_list = nullptr;
    bool show = false;
    {
        LockGuard guard(ui_registry_lock());
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            RegistrySlot& slot = slots[i];
            Widget* w = slot.widget;
            if (!slot.active || !w || !w->in_use)
                continue;
            if (w->kind == WIDGET_BUTTON && w->pressed) {
                w->pressed = 0;
                w->state = 0;
                widget_draw(surface, w);
                show = true;
                if (slot.code == SLOT_PRESS && inside(w, x, y, HIT_TOLERANCE))
                    pending.set(&slot);
            } else if (w->kind == WIDGET_LIST) {
                ListFields& l = w->list;
                if (slot.code == SLOT_ROW_TAP && l.pressed_row >= 0 && !l.dragging &&
                    !l.long_fired)
                    pending.set(&slot);
                if (slot.code == SLOT_LONG_PRESS && l.pressed_row >= 0 && l.long_fired &&
                    !l.dragging)
                    pending.set(&slot);
                if (slot.code == SLOT_DRAG && l.drag_armed)
                    drag_list = w;
            } else if (w->kind == WIDGET_IMAGE && slot.code == SLOT_DRAG) {
                w->drag.active = 0;
            }
        }
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            Widget* w = slots[i].widget;
            if (slots[i].active && w && w->kind == WIDGET_LIST) {
                w->list.held = 0;
                w->list.pressed_row = -1;
            }
        }
    }
    if (drag_list)
        end_drag(app, surface, drag_list, y);
    if (show && !pending.action)
        present(app);
    pending.run(app);
}

void pointer_motion(AppState* app, SDL_Surface* surface, int y)
{
    PendingAction pending;
    Widget* scrolled = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        RegistrySlot* slots = registry_slots();
        Uint32 now = ui_ticks();
        for (int i = 0; i < REGISTRY_SIZE && !scrolled && !pending.action; ++i) {
            RegistrySlot& slot = slots[i];
            Widget* w = slot.widget;
            if (!slot.active || !w || !w->in_use || slot.code != SLOT_DRAG)
                continue;
            if (w->kind == WIDGET_IMAGE && w->drag.active) {
                w->drag.value = std::clamp(y - w->y, 0, w->height);
                if (std::abs(w->drag.value - w->drag.reported) > DRAG_THRESHOLD ||
                    (w->drag.value == 0 && w->drag.reported != 0)) {
                    w->drag.reported = w->drag.value;
                    pending.set(&slot);
                }
                continue;
            }
            if (w->kind != WIDGET_LIST || !w->list.drag_armed)
                continue;
            ListFields& l = w->list;
            if (!l.dragging && std::abs(y - l.drag_start_y) <= DRAG_THRESHOLD)
                continue;
            if (!l.dragging) {
                l.dragging = 1;
                l.pressed_row = -1;
                l.held = 0;
            }
            l.prev_y = l.last_y;
            l.prev_motion_time = l.last_motion_time;
            l.last_y = y;
            l.last_motion_time = now;
            int wanted = l.drag_start_offset + (l.drag_start_y - y);
            if (wanted >= list_last_offset(w))
                more_rows(app, w);
            wanted = std::clamp(wanted, 0, list_last_offset(w));
            if (std::abs(wanted - l.offset) > DRAG_THRESHOLD) {
                l.offset = wanted;
                remember_offset(app, w);
                scrolled = w;
            }
        }
    }
    if (scrolled)
        redraw_list(app, surface, scrolled);
    pending.run(app);
}

// ---- keys -----------------------------------------------------------------------------------

bool key_filtered(const SDL_KeyboardEvent& key)
{
    if (key.type == SDL_KEYUP) {
        g_key_down = false;
        return false;
    }
    Uint32 now = ui_ticks();
    if (g_key_down && key.keysym.sym == g_last_key && now - g_last_key_time < KEY_REPEAT_FILTER_MS)
        return true;
    g_last_key = key.keysym.sym;
    g_last_key_time = now;
    g_key_down = true;
    return false;
}

void key_down(AppState* app, SDL_Surface* surface, const SDL_keysym& ks)
{
    if (focused_edit_box()) {
        edit_key_event(app, surface, ks);
        return;
    }
    Widget* list = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        if (g_current_list && g_current_list->in_use && registered(g_current_list))
            list = g_current_list;
    }
    if (list)
        list_key_event(app, surface, list, ks);
}

// ---- user events --------------------------------------------------------------------------

void spinner_tick(AppState* app, SDL_Surface* surface)
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
            bool done = shared_flag_load(&s.job_done) != 0;
            bool ended = app->ui.abort_requested || done ||
                         (s.listing_rows && shared_flag_load(s.listing_rows) >= 256);
            if (slots[i].action && ended) {
                s.running = 0;
                if (done && s.job_thread) {
                    SDL_WaitThread(s.job_thread, nullptr);
                    s.job_thread = nullptr;
                    s.job_running = 0;
                }
                pending.set(&slots[i]);
                break;
            }
            if (int32_t(now - s.next_frame_time) >= 0) {
                w->state = uint8_t((w->state + 1) % SPINNER_FRAMES);
                s.next_frame_time = now + UI_TIMER_PERIOD_MS;
                widget_draw(surface, w);
                present(app);
            }
        }
    }
    pending.run(app);
}

void periodic_tick(AppState* app)
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
    pending.run(app);
}

void thumbnail_ready(AppState* app, SDL_Surface* surface)
{
    Widget* list = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        if (g_current_list && g_current_list->in_use && registered(g_current_list))
            list = g_current_list;
    }
    if (list) {
        widget_draw(surface, list);
        present(app);
    }
}

void user_event(AppState* app, SDL_Surface* surface, int code)
{
    switch (code) {
    case UI_EVENT_LONG_PRESS:
        long_press_tick(app, surface);
        break;
    case UI_EVENT_CARET:
        caret_tick(app, surface);
        break;
    case UI_EVENT_SPINNER:
        spinner_tick(app, surface);
        break;
    case UI_EVENT_PERIODIC:
        periodic_tick(app);
        break;
    case UI_EVENT_THUMBNAIL:
        thumbnail_ready(app, surface);
        break;
    default:
        break;
    }
}

// ---- accelerometer and play requests ------------------------------------------------------

void joystick_axis(AppState* app, const SDL_JoyAxisEvent& axis)
{
    if (app->ui.rotation_locked || !app->settings.auto_rotate || app->ui.player_overlay)
        return;
    if (axis.which != 0 || axis.axis > 2)
        return;
    g_axes[axis.axis] = axis.value;
    if (g_axes[0] == AXIS_UNKNOWN || g_axes[1] == AXIS_UNKNOWN || g_axes[2] == AXIS_UNKNOWN)
        return;
    if (g_axes[2] <= -16385 || g_axes[2] >= 16384)
        return;
    g_orientation = app->out.orientation;
    int o = orientation_from_axes(g_axes[0], g_axes[1]);
    if (o != app->out.orientation)
        apply_orientation(app, o);
}

// Honours a pending play request; true when there was one.
bool take_play_request(AppState* app)
{
    bool found = false;
    {
        LockGuard guard(ui_registry_lock());
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            if (slots[i].active && slots[i].code == SLOT_PLAY_REQUEST) {
                slots[i].code = SLOT_PLAY_TAKEN;
                found = true;
                break;
            }
        }
    }
    if (found && g_play_handler)
        g_play_handler(app);
    return found;
}

void noop_action(AppState*, RegistrySlot*) {}

// ---- window -----------------------------------------------------------------------------------

// The size GL really draws into: the window surface keeps its own size on
// some EGL platforms when the X window is resized, and layout must follow
// the drawable, not the request, or the picture lands offset in the window.
void drawable_size(const AppState* app, int* width, int* height)
{
    if (!app->out.gl.display || !app->out.gl.surface)
        return;
    EGLint w = 0;
    EGLint h = 0;
    if (eglQuerySurface(app->out.gl.display, app->out.gl.surface, EGL_WIDTH, &w) &&
        eglQuerySurface(app->out.gl.display, app->out.gl.surface, EGL_HEIGHT, &h) && w > 0 && h > 0) {
        *width = w;
        *height = h;
    }
}

void window_resized(AppState* app, int width, int height)
{
    // SDL keeps its own idea of the window size and reports only changes from
    // it: tell it the new size (the X window and its GL surface are kept).
    if (SDL_Surface* video = SDL_GetVideoSurface())
        SDL_SetVideoMode(width, height, video->format->BitsPerPixel, video->flags);
    drawable_size(app, &width, &height);
    bool portrait = app->out.orientation == 1 || app->out.orientation == 3;
    if (width <= 0 || height <= 0 || artwork_fit_window(width, height, portrait) != 0)
        return;
    app->out.window_width = width;
    app->out.window_height = height;
    if (app->out.gl.context)
        glViewport(0, 0, width, height);
    apply_orientation(app, app->out.orientation);
    ui_set_resize_redraw(1);
    registry_clear(app, 0);
    widgets_clear(app, 0);
    if (app->ui.current_screen)
        app->ui.current_screen(app);
    ui_set_resize_redraw(0);
    // Both buffers must hold the redrawn screen.
    present(app);
}

int timer_thread(void*)
{
    while (shared_flag_load(&g_timer_run)) {
        if (SDL_sem* sem = ui_timer_semaphore())
            SDL_SemWaitTimeout(sem, UI_TIMER_PERIOD_MS);
        else
            SDL_Delay(UI_TIMER_PERIOD_MS);
        if (!shared_flag_load(&g_timer_run))
            break;
        ui_timer_scan();
    }
    return 0;
}

}  // namespace

// ---- time and events ----------------------------------------------------------------------------

void ui_set_clock(Uint32 (*ticks)()) { g_clock = ticks ? ticks : SDL_GetTicks; }
void ui_set_delay(void (*delay)(Uint32)) { g_delay = delay ? delay : SDL_Delay; }
void ui_set_event_source(const EventSource* source) { g_source = source ? source : &SDL_SOURCE; }
Uint32 ui_ticks() { return g_clock(); }
void ui_delay(Uint32 ms) { g_delay(ms); }

int ui_push_event(SDL_Event* event) { return g_source->push(event); }

int ui_push_user_event(int code)
{
    SDL_Event ev{};
    ev.type = SDL_USEREVENT;
    ev.user.code = code;
    return g_source->push(&ev);
}

// ---- modal loop ----------------------------------------------------------------------------------

int modal_loop(AppState* app, int* done)
{
    while (!app->ui.play_requested) {
        SDL_Event ev;
        while (g_source->poll(&ev)) {
            switch (ev.type) {
            case SDL_QUIT:
                if (done)
                    g_source->push(&ev);   // the outer loop ends too
                return 1;
            case SDL_VIDEORESIZE:
                window_resized(app, ev.resize.w, ev.resize.h);
                break;
            case SDL_VIDEOEXPOSE:
                present(app);
                break;
            default:
                handle_event(app, app->ui.ui_surface, &ev);
                break;
            }
            if (app->ui.play_requested)
                return 0;
        }
        if (done && (*done || app->ui.abort_requested))
            return 0;
        ui_delay(10);
    }
    return 0;
}

void handle_event(AppState* app, SDL_Surface* surface, SDL_Event* event)
{
    if (!app || !event)
        return;
    // 1. Key repeat filter.
    if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
        if (key_filtered(event->key))
            return;
    }
    // 2. Pointer coordinates follow the display orientation.
    int px = 0;
    int py = 0;
    bool pointer = false;
    if (event->type == SDL_MOUSEMOTION) {
        px = event->motion.x;
        py = event->motion.y;
        pointer = true;
    } else if (event->type == SDL_MOUSEBUTTONDOWN || event->type == SDL_MOUSEBUTTONUP) {
        px = event->button.x;
        py = event->button.y;
        pointer = true;
    }
    if (pointer)
        map_pointer(app->out.orientation, &px, &py);
    // 3. Accelerometer.
    if (event->type == SDL_JOYAXISMOTION)
        joystick_axis(app, event->jaxis);
    // 4. The browser's own pointer tracking over its list.
    if (pointer && app->ui.pointer_tracking && g_current_list && g_current_list->in_use &&
        inside(g_current_list, px, py, 0)) {
        LockGuard guard(ui_screen_lock());
        app->ui.pointer_tracking = 0;
        app->ui.pointer_tracking_moved = 0;
        return;
    }
    // 5. The player owns the screen.
    if ((app->flags & APP_PLAYER_SCREEN) && !app->nav.keep_player_widgets)
        return;
    // 6. A pending play request goes first.
    if (take_play_request(app))
        return;
    // 7. Widgets.
    switch (event->type) {
    case SDL_MOUSEBUTTONDOWN:
        if (event->button.button == SDL_BUTTON_LEFT)
            pointer_down(app, surface, px, py);
        else if (event->button.button == SDL_BUTTON_WHEELUP)
            wheel(app, surface, px, py, -1);
        else if (event->button.button == SDL_BUTTON_WHEELDOWN)
            wheel(app, surface, px, py, 1);
        break;
    case SDL_MOUSEBUTTONUP:
        if (event->button.button == SDL_BUTTON_LEFT)
            pointer_up(app, surface, px, py);
        break;
    case SDL_MOUSEMOTION:
        if (event->motion.state & SDL_BUTTON(SDL_BUTTON_LEFT))
            pointer_motion(app, surface, py);
        break;
    case SDL_KEYDOWN:
        key_down(app, surface, event->key.keysym);
        break;
    case SDL_USEREVENT:
        user_event(app, surface, event->user.code);
        break;
    default:
        break;
    }
}

// ---- UI timer -------------------------------------------------------------------------------------

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
    shared_flag_store(&g_timer_run, 1);
    g_timer_thread = SDL_CreateThread(timer_thread, nullptr);
    if (!g_timer_thread) {
        shared_flag_store(&g_timer_run, 0);
        return -1;
    }
    return 0;
}

void ui_timer_stop()
{
    if (!g_timer_thread)
        return;
    shared_flag_store(&g_timer_run, 0);
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

int post_play_request(AppState*)
{
    LockGuard guard(ui_registry_lock());
    RegistrySlot* slots = registry_slots();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (slots[i].active && slots[i].code == SLOT_PLAY_REQUEST)
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

// ---- pointer, keyboard, accelerometer -------------------------------------------------------------

void map_pointer(int orientation, int* x, int* y)
{
    int ox = *x;
    int oy = *y;
    switch (orientation) {
    case 1:
        *x = oy;
        *y = screen_width - ox;
        break;
    case 2:
        *x = screen_width - ox;
        *y = screen_height - oy;
        break;
    case 3:
        *x = screen_height - oy;
        *y = ox;
        break;
    default:
        break;
    }
}

int orientation_from_axes(int x_axis, int y_axis)
{
    double angle = std::atan2(double(y_axis), double(x_axis));
    int candidate = angle >= -1.5 && angle <= 1.5 ? 2 : 0;
    Uint32 now = ui_ticks();
    if (candidate == g_orientation) {
        g_candidate = -1;
        return g_orientation;
    }
    if (candidate != g_candidate) {
        g_candidate = candidate;
        g_candidate_since = now;
        return g_orientation;
    }
    if (now - g_candidate_since > ORIENTATION_DEBOUNCE_MS) {
        g_orientation = candidate;
        g_candidate = -1;
    }
    return g_orientation;
}

void orientation_reset(int current)
{
    g_axes[0] = g_axes[1] = g_axes[2] = AXIS_UNKNOWN;
    g_orientation = current;
    g_candidate = -1;
}

Widget* current_list_widget() { return g_current_list; }
void set_current_list_widget(Widget* list) { g_current_list = list; }

void events_forget_widget(Widget* w)
{
    if (w == focused_edit_box())
        edit_unfocus();
    if (w == g_current_list)
        g_current_list = nullptr;
}
