// Lists: row taps and long presses, drag scrolling, kinetic scrolling with
// overscroll and bounce-back, the mouse wheel and type-ahead search.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/app_flags.h"
#include "platform/flag_word.h"
#include "ui/input_internal.h"
#include "ui/list_gl.h"

namespace ui_input {

namespace {

// The kinetic rule: a release within this time of the last motion, at more
// than this speed, flings.
constexpr Uint32 FLING_MAX_PAUSE_MS = 200;
constexpr float FLING_MIN_SPEED = 0.3f;  // pixels per millisecond
constexpr float FLING_MAX_SPEED = 4.0f;
constexpr Uint32 FLING_STEP_MS = 5;
constexpr int FLING_SPEED_FACTOR = 5;  // step speed = v x factor x step interval
constexpr int FLING_MAX_STEP = 100;    // pixels per step
constexpr int FLING_START_COUNTDOWN = 5;
constexpr int FLING_DECELERATION = 2;  // speed lost every second step
constexpr int FLING_STOP_SPEED = 3;
constexpr int OVERSCROLL_MAX_SPEED = 24;
constexpr int OVERSCROLL_DECELERATION = 12;
constexpr int BOUNCE_START_SPEED = 13;  // below this the overscroll turns back
constexpr int BOUNCE_SPEED = 16;
constexpr int BOUNCE_SNAP = 16;  // an end this near is snapped to

}  // namespace

void remember_offset(UiState* ui, const Widget* list)
{
    const int mode = list->list.browse_mode;
    if (mode >= 0 && mode < BROWSE_MODE_COUNT)
        ui->list_offsets[mode] = list->list.offset;
}

// Redraws only the list: through its GL layers when it has them, else into
// the surface and present.
void redraw_list(const InputContext& cx, Widget* list)
{
    if (list_gl_redraw(cx.ui, cx.out, list))
        return;
    widget_draw(cx.surface, list);
    present(cx.ui);
}

void list_press(Widget* w, int x, int y)
{
    ListFields& l = w->list;
    Uint32 now = ui_ticks();
    w->press_x = x;
    w->press_y = y;
    int row = list_row_at(w, y);
    l.long_fired = 0;
    if (row >= 0 && find_slot(w, SLOT_ROW_TAP))
        l.pressed_row = row;
    if (row >= 0 && find_slot(w, SLOT_LONG_PRESS)) {
        l.pressed_row = row;
        l.held = 1;
        l.long_fired = 0;
        l.long_press_at = now + LONG_PRESS_MS;
    }
    if (find_slot(w, SLOT_DRAG) && !l.drag_armed) {
        list_gl_screen_changed();
        l.drag_armed = 1;
        l.dragging = 0;
        l.drag_start_y = y;
        l.drag_start_offset = l.offset;
        l.last_y = y;
        l.prev_y = y;
        l.last_motion_time = now;
        l.prev_motion_time = now;
    }
}

namespace {

bool pointer_down_waiting()
{
    SDL_Event peek[4];
    return event_source()->peep(peek, 4, SDL_EVENTMASK(SDL_MOUSEBUTTONDOWN)) > 0;
}

}  // namespace

namespace {

int toward_zero(int speed, int by)
{
    if (speed > 0)
        return std::max(0, speed - by);
    return std::min(0, speed + by);
}

}  // namespace

bool more_rows(const UiState* ui, Widget* list)
{
    if (!list->list.load_more)
        return false;
    return list->list.load_more(ui->owner, list, 0) > 0;
}

namespace {

void fling(const InputContext& cx, Widget* list, float v)
{
    ListFields& l = list->list;
    {
        LockGuard guard(ui_registry_lock());
        cx.ui->fling_active = 1;
    }
    v = std::clamp(v, -FLING_MAX_SPEED, FLING_MAX_SPEED);
    int speed = int(v * float(FLING_SPEED_FACTOR * FLING_STEP_MS));
    speed = std::clamp(speed, -FLING_MAX_STEP, FLING_MAX_STEP);
    int countdown = FLING_START_COUNTDOWN;
    bool overscroll = false;
    bool first_overscroll_step = true;
    bool bouncing = false;
    int offset = l.offset;
    l.overscroll = 1;
    while (!pointer_down_waiting()) {
        bool ran_out = countdown <= 0;
        if (!ran_out)
            --countdown;
        if (ran_out && !overscroll) {
            countdown = 1;
            speed = toward_zero(speed, FLING_DECELERATION);
        } else if (ran_out && first_overscroll_step) {
            speed = std::clamp(speed, -OVERSCROLL_MAX_SPEED, OVERSCROLL_MAX_SPEED);
            first_overscroll_step = false;
        } else if (ran_out) {
            countdown = 0;
            speed = toward_zero(speed, OVERSCROLL_DECELERATION);
        }
        offset += speed;
        int last = list_last_offset(list);
        if (!overscroll) {
            if (offset >= last) {
                if (more_rows(cx.ui, list))
                    last = list_last_offset(list);
                else
                    overscroll = true;
            }
            if (offset < 0)
                overscroll = true;
        }
        if (bouncing) {
            if (std::abs(offset - last) <= BOUNCE_SNAP)
                offset = last;
            else if (std::abs(offset) <= BOUNCE_SNAP)
                offset = 0;
        }
        l.offset = offset;
        remember_offset(cx.ui, list);
        redraw_list(cx, list);
        if (overscroll && std::abs(speed) < BOUNCE_START_SPEED) {
            bouncing = true;
            speed = offset >= 0 ? -BOUNCE_SPEED : BOUNCE_SPEED;
        }
        if (!overscroll && std::abs(speed) < FLING_STOP_SPEED)
            break;
        if (bouncing && (offset == 0 || offset == last))
            break;
        ui_delay(FLING_STEP_MS);
    }
    l.overscroll = 0;
    list_set_offset(list, l.offset);
    remember_offset(cx.ui, list);
    LockGuard guard(ui_registry_lock());
    cx.ui->fling_active = 0;
}

}  // namespace

// Ends a drag: flings when the pointer was still moving fast at release.
void end_drag(const InputContext& cx, Widget* list, int y)
{
    ListFields& l = list->list;
    Uint32 now = ui_ticks();
    bool moving = l.dragging && now - l.last_motion_time < FLING_MAX_PAUSE_MS;
    float v = 0;
    if (moving) {
        // Velocity over the last motion step, up to the release point.
        int from_y = l.prev_y;
        Uint32 from_t = l.prev_motion_time;
        if (y == l.last_y && l.prev_motion_time == l.last_motion_time)
            moving = false;
        Uint32 ms = std::max<Uint32>(1, now - from_t);
        v = float(from_y - y) / float(ms);
    }
    l.drag_armed = 0;
    l.dragging = 0;
    if (moving && std::fabs(v) > FLING_MIN_SPEED) {
        fling(cx, list, v);
        redraw_list(cx, list);
    }
    widget_draw(cx.surface, list);
    present(cx.ui);
}

// A mouse wheel over a drag-scroll list moves it by one row.
void wheel(const InputContext& cx, int x, int y, int rows)
{
    Widget* list = nullptr;
    {
        LockGuard guard(ui_registry_lock());
        Widget* w = current_list_widget();
        if (!w || !w->in_use || !find_slot(w, SLOT_DRAG) || !inside(w, x, y, 0) ||
            w->list.drag_armed)
            return;
        int wanted = w->list.offset + rows * w->list.row_height;
        if (wanted >= list_last_offset(w))
            more_rows(cx.ui, w);
        wanted = std::clamp(wanted, 0, list_last_offset(w));
        if (wanted == w->list.offset)
            return;
        w->list.offset = wanted;
        remember_offset(cx.ui, w);
        list = w;
    }
    redraw_list(cx, list);
}

namespace {

bool row_matches(const ListRow& row, const char* search)
{
    const char* name = row.name.text;
    if (!name)
        return false;
    size_t n = std::strlen(search);
    for (const char* p = name; *p; ++p) {
        size_t i = 0;
        while (i < n && p[i] &&
               std::tolower((unsigned char)p[i]) == std::tolower((unsigned char)search[i]))
            ++i;
        if (i == n)
            return true;
    }
    return n == 0;
}

}  // namespace

void list_key_event(const InputContext& cx, Widget* list, const SDL_keysym& ks)
{
    ListFields& l = list->list;
    size_t len = std::strlen(l.search);
    if (ks.sym == SDLK_BACKSPACE) {
        if (len == 0)
            return;
        l.search[len - 1] = 0;
    } else {
        int ch = ks.unicode ? (ks.unicode & 0x7F) : int(ks.sym);
        if (ch < 0x20 || ch > 0x7E || len >= LIST_SEARCH_SIZE - 1)
            return;
        if (l.load_more)
            while (l.load_more(cx.ui->owner, list, 1) > 0) {
            }
        l.search[len] = char(ch);
        l.search[len + 1] = 0;
    }
    std::memcpy(l.header, l.search, sizeof l.header);
    l.header_height = l.header[0] ? LIST_ROW_HEIGHT : 0;
    if (l.search[0]) {
        for (int i = 0; i < l.row_count; ++i) {
            if (row_matches(l.rows[i], l.search)) {
                list_set_offset(list, i * l.row_height);
                remember_offset(cx.ui, list);
                break;
            }
        }
    }
    widget_draw(cx.surface, list);
    present(cx.ui);
}

void long_press_tick(const InputContext& cx)
{
    Widget* fired = nullptr;
    int row = -1;
    {
        LockGuard guard(ui_registry_lock());
        Uint32 now = ui_ticks();
        RegistrySlot* slots = registry_slots();
        for (int i = 0; i < REGISTRY_SIZE && !fired; ++i) {
            Widget* w = slots[i].widget;
            if (!slots[i].active || !w || w->kind != WIDGET_LIST || !w->list.held)
                continue;
            if (int32_t(now - w->list.long_press_at) < 0)
                continue;
            w->list.held = 0;
            w->list.long_fired = 1;
            fired = w;
            row = w->list.pressed_row;
        }
    }
    if (!fired)
        return;
    const bool player_shown = cx.ui->app_flags && flags_any(cx.ui->app_flags, APP_PLAYER_SCREEN);
    if (!player_shown && fired->list.on_long_press)
        fired->list.on_long_press(cx.ui->owner, fired, row);
    if (fired->in_use) {
        widget_draw(cx.surface, fired);
        present(cx.ui);
    }
}

}  // namespace ui_input
