// Dispatch of one event: the key repeat filter, pointer rotation, the
// accelerometer, the player's hold on the screen, the pending play request
// and the registry walk for pointer and key events. The modal loop, the UI
// timer and user events are in modal.cpp; edit boxes and lists have their
// own files (edit_input.cpp, list_input.cpp).
#include "ui/events.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/app_flags.h"
#include "platform/flag_word.h"
#include "platform/settings.h"
#include "ui/input_internal.h"
#include "ui/layers.h"
#include "ui/widget.h"

namespace {

// ---- key repeat filter and the list on screen ----------------------------------------

int g_last_key = -1;
Uint32 g_last_key_time;
bool g_key_down;
Widget* g_current_list;

// ---- accelerometer -------------------------------------------------------------------

constexpr int AXIS_UNKNOWN = 0x7FFFFFFF;
// Axis 2 (z) outside this open range means the device lies flat.
constexpr int FLAT_Z_LOW = -16385;
constexpr int FLAT_Z_HIGH = 16384;
// Angles (radians) within +-1.5 turn the display half a turn.
constexpr double HALF_TURN_ANGLE = 1.5;
int g_axes[3] = {AXIS_UNKNOWN, AXIS_UNKNOWN, AXIS_UNKNOWN};
int g_orientation;
int g_candidate = -1;
Uint32 g_candidate_since;

}  // namespace

namespace ui_input {

// ---- registry look-ups ------------------------------------------------------

bool inside(const Widget* w, int x, int y, int tolerance)
{
    return x >= w->x - tolerance && x < w->x + w->width + tolerance && y >= w->y - tolerance &&
           y < w->y + w->height + tolerance;
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

}  // namespace ui_input

using namespace ui_input;

namespace {

// ---- pointer down --------------------------------------------------------------------------

void pointer_down(const InputContext& cx, int x, int y)
{
    PendingAction pending;
    bool show = false;
    {
        LockGuard guard(ui_registry_lock());
        Widget* focused = focused_edit_box();
        if (focused && !inside(focused, x, y, HIT_TOLERANCE)) {
            Widget* box = focused;
            edit_unfocus();
            widget_draw(cx.surface, box);
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
                widget_draw(cx.surface, w);
                show = true;
                break;
            case WIDGET_TOGGLE:
                w->state ^= 1;
                widget_draw(cx.surface, w);
                show = true;
                pending.set(&slot);
                break;
            case WIDGET_CHECKBOX:
                if (w->disabled)
                    continue;
                w->state ^= 1;
                widget_draw(cx.surface, w);
                show = true;
                pending.set(&slot);
                break;
            case WIDGET_SELECTOR3:
            case WIDGET_SELECTOR: {
                int count = std::max(1, int(w->choice_count));
                int rel = std::clamp(x - w->x, 0, std::max(0, w->width - 1));
                w->state = uint8_t(std::min(count - 1, rel * count / std::max(1, w->width)));
                widget_draw(cx.surface, w);
                show = true;
                pending.set(&slot);
                break;
            }
            case WIDGET_COLOUR_PICKER: {
                int step = w->vertical ? w->cell_height + w->cell_gap : w->cell_size + w->cell_gap;
                int rel = w->vertical ? y - w->y : x - w->x;
                w->state = uint8_t(std::clamp(rel / std::max(1, step), 0, COLOUR_PICKER_CELLS - 1));
                widget_draw(cx.surface, w);
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
                widget_draw(cx.surface, w);
                show = true;
                break;
            case WIDGET_LIST: list_press(w, x, y); break;
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
    pending.run(cx.ui);
    if (show)
        present(cx.ui);
}

// ---- pointer up and motion ------------------------------------------------------------------

void pointer_up(const InputContext& cx, int x, int y)
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
                widget_draw(cx.surface, w);
                show = true;
                if (slot.code == SLOT_PRESS && inside(w, x, y, HIT_TOLERANCE))
                    pending.set(&slot);
            } else if (w->kind == WIDGET_LIST) {
                ListFields& l = w->list;
                if (slot.code == SLOT_ROW_TAP && l.pressed_row >= 0 && !l.dragging && !l.long_fired)
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
        end_drag(cx, drag_list, y);
    if (show && !pending.action)
        present(cx.ui);
    pending.run(cx.ui);
}

void pointer_motion(const InputContext& cx, int y)
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
                more_rows(cx.ui, w);
            wanted = std::clamp(wanted, 0, list_last_offset(w));
            if (std::abs(wanted - l.offset) > DRAG_THRESHOLD) {
                l.offset = wanted;
                remember_offset(cx.ui, w);
                scrolled = w;
            }
        }
    }
    if (scrolled)
        redraw_list(cx, scrolled);
    pending.run(cx.ui);
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

void key_down(const InputContext& cx, const SDL_keysym& ks)
{
    if (focused_edit_box()) {
        edit_key_event(cx, ks);
        return;
    }
    Widget* list = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        if (g_current_list && g_current_list->in_use && registered(g_current_list))
            list = g_current_list;
    }
    if (list)
        list_key_event(cx, list, ks);
}

// ---- accelerometer ------------------------------------------------------------------------

void joystick_axis(const InputContext& cx, const SDL_JoyAxisEvent& axis)
{
    const bool auto_rotate = cx.ui->settings && cx.ui->settings->auto_rotate;
    if (cx.ui->rotation_locked || !auto_rotate || cx.ui->player_overlay)
        return;
    if (axis.which != 0 || axis.axis > 2)
        return;
    g_axes[axis.axis] = axis.value;
    if (g_axes[0] == AXIS_UNKNOWN || g_axes[1] == AXIS_UNKNOWN || g_axes[2] == AXIS_UNKNOWN)
        return;
    if (g_axes[2] <= FLAT_Z_LOW || g_axes[2] >= FLAT_Z_HIGH)
        return;
    g_orientation = cx.out->orientation;
    int o = orientation_from_axes(g_axes[0], g_axes[1]);
    if (o != cx.out->orientation)
        apply_orientation(cx.ui, cx.out, o);
}

bool player_owns_screen(const UiState* ui)
{
    return ui->app_flags && flags_any(ui->app_flags, APP_PLAYER_SCREEN) &&
           !ui->keep_player_widgets && !ui->library_shown;
}

}  // namespace

void handle_event(UiState* ui, VideoOutput* out, SDL_Surface* surface, SDL_Event* event)
{
    if (!ui || !out || !event)
        return;
    const InputContext cx{ui, out, surface};
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
        map_pointer(out, &px, &py);
    // 3. Accelerometer.
    if (event->type == SDL_JOYAXISMOTION)
        joystick_axis(cx, event->jaxis);
    // 4. The browser's own pointer tracking over its list.
    if (pointer && ui->pointer_tracking && g_current_list && g_current_list->in_use &&
        inside(g_current_list, px, py, 0)) {
        LockGuard guard(ui_screen_lock());
        ui->pointer_tracking = 0;
        ui->pointer_tracking_moved = 0;
        return;
    }
    // 5. The player owns the screen.
    if (player_owns_screen(ui))
        return;
    // 6. A pending play request goes first.
    if (take_play_request(ui))
        return;
    // 7. Widgets.
    switch (event->type) {
    case SDL_MOUSEBUTTONDOWN:
        if (event->button.button == SDL_BUTTON_LEFT)
            pointer_down(cx, px, py);
        else if (event->button.button == SDL_BUTTON_WHEELUP)
            wheel(cx, px, py, -1);
        else if (event->button.button == SDL_BUTTON_WHEELDOWN)
            wheel(cx, px, py, 1);
        break;
    case SDL_MOUSEBUTTONUP:
        if (event->button.button == SDL_BUTTON_LEFT)
            pointer_up(cx, px, py);
        break;
    case SDL_MOUSEMOTION:
        if (event->motion.state & SDL_BUTTON(SDL_BUTTON_LEFT))
            pointer_motion(cx, py);
        break;
    case SDL_KEYDOWN: key_down(cx, event->key.keysym); break;
    case SDL_USEREVENT: user_event(cx, event->user.code); break;
    default: break;
    }
}

// ---- pointer, keyboard, accelerometer -------------------------------------------------------------

void map_pointer(const VideoOutput* out, int* x, int* y)
{
    const int ox = *x;
    const int oy = *y;
    switch (out->orientation) {
    case ORIENTATION_QUARTER:
        *x = oy;
        *y = out->screen_width - ox;
        break;
    case ORIENTATION_HALF:
        *x = out->screen_width - ox;
        *y = out->screen_height - oy;
        break;
    case ORIENTATION_THREE_QUARTERS:
        *x = out->screen_height - oy;
        *y = ox;
        break;
    default: break;
    }
}

int orientation_from_axes(int x_axis, int y_axis)
{
    double angle = std::atan2(double(y_axis), double(x_axis));
    int candidate = angle >= -HALF_TURN_ANGLE && angle <= HALF_TURN_ANGLE ? ORIENTATION_HALF
                                                                          : ORIENTATION_UPRIGHT;
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

Widget* current_list_widget()
{
    return g_current_list;
}
void set_current_list_widget(Widget* list)
{
    g_current_list = list;
}

void events_forget_widget(Widget* w)
{
    if (w == focused_edit_box())
        edit_unfocus();
    if (w == g_current_list)
        g_current_list = nullptr;
}
