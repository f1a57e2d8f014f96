// Shared pieces of the input handling, internal to ui/: events.cpp (dispatch
// of one event), modal.cpp (modal loop, UI timer, play requests, window
// resize), edit_input.cpp (edit boxes and the keyboard state) and
// list_input.cpp (list taps, long presses, drags, flings, wheel, search).
// Everything runs on the main thread unless noted.
#pragma once

#include <SDL/SDL.h>

#include "platform/sync.h"
#include "render/video_output.h"
#include "ui/events.h"
#include "ui/widget.h"

namespace ui_input {

// What one event is handled against: the interface part, the video output
// (orientation, GL) and the surface the widgets are drawn into.
struct InputContext {
    UiState* ui;
    VideoOutput* out;
    SDL_Surface* surface;
};

// An action to run once the registry lock is released.
struct PendingAction {
    SlotAction action = nullptr;
    RegistrySlot* slot = nullptr;
    void set(RegistrySlot* s)
    {
        if (s && s->action && !action) {
            action = s->action;
            slot = s;
        }
    }
    void run(const UiState* ui) const
    {
        if (action)
            action(ui->owner, slot);
    }
};

// ---- registry look-ups (call with the registry lock held) -------------------

bool inside(const Widget* w, int x, int y, int tolerance);
RegistrySlot* find_slot(const Widget* w, int32_t code);
bool registered(const Widget* w);
// The event source in use (SDL's unless a test set its own).
const EventSource* event_source();

// ---- spinner jobs (widget.cpp) ----------------------------------------------

// Takes a finished job from its spinner for the next join (takes the lock).
void spinner_detach_job(Widget* spinner);
// Joins and frees the detached jobs; call without the registry lock held.
void spinner_join_detached();

// ---- user events and play requests (modal.cpp) ------------------------------

// Honours a pending play request (frees its slot); true when there was one.
bool take_play_request(const UiState* ui);
void user_event(const InputContext& cx, int code);

// ---- edit boxes (edit_input.cpp) --------------------------------------------

void sticky_clear();
void restore_key_repeat();
// Caret at the character boundary nearest to pointer x.
void caret_from_pointer(Widget* box, int px);
// A key for the focused edit box.
void edit_key_event(const InputContext& cx, const SDL_keysym& ks);
// User event 7: blink the focused box's caret when due.
void caret_tick(const InputContext& cx);

// ---- lists (list_input.cpp) -------------------------------------------------

void remember_offset(UiState* ui, const Widget* list);
void redraw_list(const InputContext& cx, Widget* list);
// Asks an incremental list for more rows; true when some came.
bool more_rows(const UiState* ui, Widget* list);
// Pointer down on a list: row press, long-press timing, drag start (lock held).
void list_press(Widget* w, int x, int y);
// Pointer up after a drag: the kinetic rule, then the final redraw.
void end_drag(const InputContext& cx, Widget* list, int y);
// Mouse wheel over the current list: one row per notch.
void wheel(const InputContext& cx, int x, int y, int rows);
// A key typed on the current list: type-ahead search.
void list_key_event(const InputContext& cx, Widget* list, const SDL_keysym& ks);
// User event 5: fire a long press that is due.
void long_press_tick(const InputContext& cx);

}  // namespace ui_input
