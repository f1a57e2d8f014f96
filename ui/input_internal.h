// Shared pieces of the input handling: events.cpp (modal loop, dispatch,
// timer), edit_input.cpp (edit boxes and the keyboard state) and
// list_input.cpp (list taps, long presses, drags, flings, wheel, search).
// Internal to ui/; everything runs on the main thread unless noted.
#pragma once

#include <SDL/SDL.h>

#include "ui/events.h"
#include "ui/widget.h"

struct AppState;

namespace ui_input {

struct LockGuard {
    SDL_mutex* m;
    explicit LockGuard(SDL_mutex* mutex) : m(mutex) { if (m) SDL_mutexP(m); }
    ~LockGuard() { if (m) SDL_mutexV(m); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
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
    void run(AppState* app) const
    {
        if (action)
            action(app, slot);
    }
};

// ---- registry look-ups (call with the registry lock held) -------------------

bool inside(const Widget* w, int x, int y, int tolerance);
RegistrySlot* find_slot(const Widget* w, int32_t code);
bool registered(const Widget* w);
// The event source in use (SDL's unless a test set its own).
const EventSource* event_source();

// ---- edit boxes (edit_input.cpp) --------------------------------------------

void sticky_clear();
void restore_key_repeat();
// Caret index of the character nearest to pointer x.
void caret_from_pointer(Widget* box, int px);
// A key for the focused edit box.
void edit_key_event(AppState* app, SDL_Surface* surface, const SDL_keysym& ks);
// User event 7: blink the focused box's caret when due.
void caret_tick(AppState* app, SDL_Surface* surface);

// ---- lists (list_input.cpp) -------------------------------------------------

void remember_offset(AppState* app, const Widget* list);
void redraw_list(AppState* app, SDL_Surface* surface, Widget* list);
// Asks an incremental list for more rows; true when some came.
bool more_rows(AppState* app, Widget* list);
// Pointer down on a list: row press, long-press timing, drag start (lock held).
void list_press(AppState* app, Widget* w, int x, int y);
// Pointer up after a drag: the kinetic rule, then the final redraw.
void end_drag(AppState* app, SDL_Surface* surface, Widget* list, int y);
// Mouse wheel over the current list: one row per notch.
void wheel(AppState* app, SDL_Surface* surface, int x, int y, int rows);
// A key typed on the current list: type-ahead search.
void list_key_event(AppState* app, SDL_Surface* surface, Widget* list, const SDL_keysym& ks);
// User event 5: fire a long press that is due.
void long_press_tick(AppState* app, SDL_Surface* surface);

}  // namespace ui_input
