// Input events, the modal loop and the UI timer.
//
// Contract:
// - Events are handled on the main thread only. modal_loop takes every
//   pending event and dispatches it (quit, resize and expose itself, the
//   rest through handle_event) until a screen sets play_requested, the quit
//   event arrives, or *done (when given) or abort_requested becomes set. It
//   returns 1 on quit (a nested loop passes the quit on), else 0.
// - handle_event hit-tests pointer events against the registry with a
//   10-pixel tolerance, drives buttons, toggles, selectors, check boxes,
//   colour pickers, edit boxes (sticky Alt/Shift, alt_map, digits-only,
//   limit, password display), lists (row taps, long presses, drag and
//   kinetic scrolling, type-ahead search) and turns UI timer events into
//   caret blinks, spinner frames, spinner completions, periodic actions and
//   the deferred play request. Actions and screens receive ui->owner. While
//   the player owns the screen (APP_PLAYER_SCREEN in *ui->app_flags) and
//   ui->keep_player_widgets and ui->library_shown are clear, widgets do not
//   react.
// - The UI timer thread wakes every 200 ms (or when its semaphore is posted)
//   and, under the widget-registry lock, looks for user events of the codes
//   UI_EVENT_LONG_PRESS, _CARET, _SPINNER, _PLAY_REQUEST and _PERIODIC; it
//   pushes at most one of each, after releasing the lock. It only pushes
//   events.
// - post_play_request may be called from any thread (the play-request
//   listener); everything else here is main-thread only.
// - Time and the event queue are injectable so that long presses, caret
//   blinking, spinners and flings can be driven without sleeping:
//   ui_set_clock, ui_set_delay and ui_set_event_source (null restores SDL).
//   Set them before the UI timer starts.
#pragma once

#include <cstdint>

#include <SDL/SDL.h>

#include "platform/event_codes.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

struct AppState;
struct VideoOutput;

constexpr Uint32 UI_TIMER_PERIOD_MS = 200;
constexpr Uint32 KEY_REPEAT_FILTER_MS = 500;
constexpr Uint32 LONG_PRESS_MS = 500;
constexpr Uint32 CARET_BLINK_MS = 500;
constexpr Uint32 ORIENTATION_DEBOUNCE_MS = 500;
constexpr int DRAG_THRESHOLD = 5;

// ---- injectable time and event source -------------------------------------

struct EventSource {
    int (*poll)(SDL_Event* event);
    // Looks at (without removing) up to n events of the mask; count or -1.
    int (*peep)(SDL_Event* events, int n, Uint32 mask);
    int (*push)(SDL_Event* event);
};

void ui_set_clock(Uint32 (*ticks)());
void ui_set_delay(void (*delay)(Uint32 ms));
void ui_set_event_source(const EventSource* source);
Uint32 ui_ticks();
void ui_delay(Uint32 ms);
int ui_push_event(SDL_Event* event);
int ui_push_user_event(int code);

// ---- modal loop and dispatch ----------------------------------------------

int modal_loop(UiState* ui, VideoOutput* out, int* done);
// Dispatches one event to the widgets drawn on surface.
void handle_event(UiState* ui, VideoOutput* out, SDL_Surface* surface, SDL_Event* event);

// ---- UI timer --------------------------------------------------------------

int ui_timer_start();
void ui_timer_stop();
// One scan of the registry as the timer does it every period (tests call it
// directly). Returns a bit mask of the codes pushed (1 << code).
unsigned ui_timer_scan();

// ---- deferred requests -----------------------------------------------------

// Registers a deferred request or a periodic widget (same as registry_add,
// under the registry lock).
int post_deferred(Widget* w, int32_t code, SlotAction action);
// The play-request listener calls this after writing current_media_path: a
// deferred request (SLOT_PLAY_REQUEST) that the main thread honours on its
// next event, freeing the slot. Only one request is kept pending at a time.
// 0, or -1 when the registry is full. Any thread.
int post_play_request();
// Main thread: whether a play request waits, and honouring it now (its
// handler runs with ui->owner); true when one was taken. The player uses
// them so that a request that arrives while an item plays replaces it at
// once.
bool play_request_pending();
bool play_request_take(UiState* ui);
// What honouring a play request does (called with ui->owner); replaced by
// the media browser.
void ui_set_play_request_handler(void (*handler)(AppState* app));
// Called with ui->owner and the list on screen (or null) when a thumbnail
// became ready, before the list is redrawn: the browser gives the rows
// their pictures there. Null removes it.
void ui_set_thumbnail_hook(void (*hook)(AppState* app, Widget* list));
// The handler used until then: keeps the requested path in
// current_media_path for the browser to pick up.
void play_request_keep_path(AppState* app);

// ---- pointer, keyboard and accelerometer ------------------------------------

// After the window was resized to width x height: tells SDL the new size and
// replaces the size with what GL really draws into (the window surface keeps
// its own size on some EGL platforms). Main thread.
void window_size_sync(const VideoOutput* out, int* width, int* height);
// Rotates raw pointer coordinates for out->orientation (out->screen_width
// and out->screen_height are the unturned sides).
void map_pointer(const VideoOutput* out, int* x, int* y);
// The accelerometer rule with a 500 ms debounce; returns the orientation to
// use (the current one until a new candidate has held long enough).
int orientation_from_axes(int x_axis, int y_axis);
// Resets the accelerometer state (axes unknown, no candidate).
void orientation_reset(int current);
// The sticky-Alt character of a key (unchanged when it has none).
int alt_map(int key);

// Keyboard state shown by edit boxes.
bool sticky_alt_on();
bool sticky_shift_on();
// Focus handling for edit boxes (restores the saved key repeat on loss).
void edit_focus(Widget* box);
void edit_unfocus();
Widget* focused_edit_box();
// The list widget currently on screen (null when none).
Widget* current_list_widget();
void set_current_list_widget(Widget* list);
// Forgets freed widgets that the input state still points at.
void events_forget_widget(Widget* w);
