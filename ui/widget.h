// Widgets, the widget registry and their drawing.
//
// Contract:
// - Widgets come from a process-wide pool of 64 records (widget_alloc; null
//   when all are in use). A record is free while in_use is 0. Every screen
//   change clears the registry and the widgets (keeping persistent ones on a
//   partial clear) and then creates and registers its own.
// - The registry has 40 slots, each binding a widget (or none) to a code that
//   says how it reacts (SLOT_*) and an action run on the main thread with
//   UiState::owner. registry_add returns -1 when all slots are active; the
//   widget is then drawn but does not react. A pending play request
//   (SLOT_PLAY_REQUEST) survives every registry clear; taking it frees its
//   slot.
// - Threads: the pool and the registry are shared with the UI timer thread,
//   the play-request listener and spinner jobs. Every scan or change of the
//   registry and every widget free happens under the widget-registry lock
//   (ui_registry_lock, a recursive SDL mutex; the functions here take it
//   themselves). Freeing a spinner whose job runs asks the job to stop and
//   waits for it after the lock is released, so a job may take the lock.
//   Everything else (constructors, drawing, present) is main-thread only.
// - Constructors return the widget, or null when the pool is exhausted or an
//   image cannot be made; screens then abandon their drawing. Texts are
//   copied with a bound that never cuts a UTF-8 character.
#pragma once

#include <atomic>
#include <cstdint>

#include <SDL/SDL.h>
#include <SDL/SDL_thread.h>
#include <SDL/SDL_ttf.h>

#include "ui/list_rows.h"
#include "ui/ui_state.h"

struct AppState;
struct SpinnerJob;
struct Widget;
struct RegistrySlot;
struct UiLayer;

constexpr int WIDGET_POOL_SIZE = 64;
constexpr int REGISTRY_SIZE = 40;
constexpr int WIDGET_IMAGE_COUNT = 8;
constexpr int WIDGET_LABEL_SIZE = 32;
constexpr int EDIT_TEXT_SIZE = 256;
constexpr int EDIT_DEFAULT_LIMIT = 255;
constexpr int LIST_ROW_HEIGHT = 60;
constexpr int LIST_MAX_ROW_LAYERS = 32;
constexpr int LIST_SEARCH_SIZE = 32;
constexpr int HIT_TOLERANCE = 10;  // pixels added on every side of a widget
constexpr int COLOUR_PICKER_GAP = 20;
constexpr int COLOUR_PICKER_CELLS = 6;
constexpr int SPINNER_FRAMES = 8;

// Interface colours. Fill colours are 0xAARRGGBB; text colours are the text
// renderer's packed record (red in the lowest byte).
constexpr uint32_t TEXT_WHITE = 0xFFFFFF;
constexpr uint32_t TEXT_BLACK = 0x000000;
constexpr uint32_t LIST_SEPARATOR_COLOUR = 0xFF505050;
constexpr uint32_t LIST_BACKGROUND_COLOUR = 0xFF202020;
constexpr uint32_t LIST_HIGHLIGHT_COLOUR = 0x80E04F0F;

// The six subtitle colours of the colour picker, in cell order (ARGB).
extern const uint32_t SUBTITLE_COLOURS[COLOUR_PICKER_CELLS];

enum WidgetKind : int32_t {
    WIDGET_IMAGE = 0,
    WIDGET_BUTTON = 1,
    WIDGET_TOGGLE = 2,
    WIDGET_SELECTOR3 = 3,
    WIDGET_COLOUR_PICKER = 4,
    WIDGET_SELECTOR = 5,
    WIDGET_EDIT_BOX = 6,
    WIDGET_LIST = 7,
    WIDGET_SPINNER = 8,
    WIDGET_CHECKBOX = 9,
    WIDGET_PERIODIC = 11,
};

// Registry codes: how a slot reacts.
enum SlotCode : int32_t {
    SLOT_PRESS = 0,          // pointer press and release
    SLOT_DRAG = 2,           // list dragging with kinetic scrolling, or a vertical drag control
    SLOT_ROW_TAP = 4,        // tap on a list row
    SLOT_LONG_PRESS = 5,     // long press on a list row
    SLOT_KEYS = 6,           // keyboard input of an edit box
    SLOT_CARET = 7,          // caret blinking
    SLOT_PLAY_REQUEST = 10,  // a pending play request
    SLOT_PERIODIC = 11,      // a periodic action
};

// Actions receive UiState::owner, opaque to the toolkit.
using SlotAction = void (*)(AppState* app, RegistrySlot* slot);

struct RegistrySlot {
    uint8_t active;
    uint8_t persistent;
    int32_t code;
    Widget* widget;
    SlotAction action;
};

struct EditFields {
    uint8_t password_mode;  // 0 plain, 1 all "*", 2 all "*" but a just-typed last character
    uint8_t digits_only;
    uint8_t focused;
    uint8_t caret_visible;
    uint8_t reveal_last;  // password mode 2: the last character was just typed
    char text[EDIT_TEXT_SIZE];
    Uint32 blink_time;
    int32_t caret_x;
    int32_t caret_index;  // byte index into text, always at a character start
    int32_t first_shown;  // byte index of the first character shown
    int32_t limit;        // bytes of text at most
};

struct ListFields {
    ListRow* rows;
    int32_t row_count;
    int32_t row_height;
    int32_t offset;         // scroll offset in pixels, 0 = top
    int32_t header_height;  // 60 while a header text is shown
    int32_t selected;       // highlighted row, -1 = none
    int32_t browse_mode;    // whose remembered offset (UiState::list_offsets) it keeps, -1 none
    uint8_t highlight;
    uint32_t separator_colour;
    uint32_t background_colour;
    TTF_Font* font;
    uint32_t text_colour;
    uint8_t hide_extensions;        // video and audio names drawn without extension
    char header[LIST_SEARCH_SIZE];  // shown above the rows while not empty
    // Pointer state.
    int32_t pressed_row;  // -1 = none
    uint8_t held;         // a long-press row is held down
    uint8_t long_fired;
    Uint32 long_press_at;
    uint8_t drag_armed;  // pressed on a drag-scroll list
    uint8_t dragging;    // moved more than 5 pixels since the press
    int32_t drag_start_y;
    int32_t drag_start_offset;
    int32_t last_y;
    Uint32 last_motion_time;
    int32_t prev_y;  // the motion sample before last_y
    Uint32 prev_motion_time;
    uint8_t overscroll;  // a fling shows the list past its ends
    char search[LIST_SEARCH_SIZE];
    // Incremental loading: load_more adds rows (all of them when all is 1)
    // and returns how many it added; null for a fully loaded list.
    int (*load_more)(AppState* app, Widget* list, int all);
    // Called when a row has been held long enough (its context menu).
    void (*on_long_press)(AppState* app, Widget* list, int row);
    // Optional row painter replacing the built-in one.
    void (*draw_row)(SDL_Surface* dst, Widget* list, ListRow* row, int index, int y);
    // GL fast path: the list's own full-width layer and its ring of row layers.
    UiLayer* layer;
    UiLayer* row_layers[LIST_MAX_ROW_LAYERS];
    int32_t row_layer_rows[LIST_MAX_ROW_LAYERS];  // row shown by each layer, -1 none
    int32_t row_layer_count;                      // layers made, all usable; 0 = none yet
    uint8_t row_layers_failed;  // the ring could not be made: the surface path draws
};

struct SpinnerFields {
    uint8_t running;
    Uint32 next_frame_time;
    SpinnerJob* job;  // the running job, null when none (see spinner_start_job)
    // Rows of a listing job (complete at 256), written by the job's thread.
    const std::atomic<int>* listing_rows;
};

struct PeriodicFields {
    Uint32 next_time;
    Uint32 period;
    int32_t count;
    int32_t limit;  // 0 = unlimited
    uint8_t done;
};

struct DragControlFields {
    uint8_t active;
    int32_t value;     // pointer y within the widget, 0..height
    int32_t reported;  // value when the action last ran
};

struct Widget {
    uint8_t in_use;
    uint8_t state;
    uint8_t persistent;
    uint8_t save_under;
    int32_t press_x;
    int32_t press_y;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t kind;
    uint8_t owns_images;
    uint8_t blend;     // plain image: blend with alpha instead of copying
    uint8_t pressed;   // button held down
    uint8_t disabled;  // edit box or check box: drawn, takes no input
    SDL_Surface* saved_pixels;
    SDL_Surface* images[WIDGET_IMAGE_COUNT];
    char label[WIDGET_LABEL_SIZE];
    TTF_Font* font;
    uint32_t colour;
    SDL_Surface* icon;
    int32_t icon_x;
    int32_t icon_y;
    // Selectors (kinds 3 and 5).
    const char* choices[3];
    int32_t choice_count;
    TTF_Font* choice_font;
    uint32_t choice_colour;  // label of the chosen entry
    uint32_t other_colour;   // labels of the others
    // Colour picker (kind 4).
    int32_t cell_size;
    int32_t cell_height;
    int32_t cell_gap;
    uint8_t vertical;
    EditFields edit;
    ListFields list;
    SpinnerFields spinner;
    PeriodicFields periodic;
    DragControlFields drag;
    RegistrySlot* slot;
};

// ---- locks and life cycle -------------------------------------------------

// Creates the widget-registry lock, the screen lock and the UI timer
// semaphore; 0 or -1.
int ui_toolkit_init();
// Destroys what ui_toolkit_init created (the UI timer must be stopped).
void ui_toolkit_free();
SDL_mutex* ui_registry_lock();
SDL_mutex* ui_screen_lock();
SDL_sem* ui_timer_semaphore();

// ---- pool and registry ----------------------------------------------------

Widget* widget_alloc();
void widget_free(Widget* w);
void widgets_clear(int all);
int registry_add(Widget* w, int32_t code, SlotAction action);
void registry_clear(int all);
// Direct access for the event handler, the UI timer and tests.
Widget* widget_pool();
RegistrySlot* registry_slots();
// Marks a redraw after a window resize: while set, spinners whose job is
// still running keep their widget and slots through the clears.
void ui_set_resize_redraw(int on);

// Per-screen table through which screens find their widgets again; cleared
// with the widgets. The account screen keeps its two edit boxes at the
// fixed places below so that leaving for the home screen keeps what was
// typed.
constexpr int SCREEN_WIDGET_COUNT = 16;
constexpr int SCREEN_ACCOUNT_USERNAME = 0;
constexpr int SCREEN_ACCOUNT_PASSWORD = 1;
extern Widget* screen_widgets[SCREEN_WIDGET_COUNT];

// ---- constructors ---------------------------------------------------------

Widget* create_image(int x, int y, SDL_Surface* image, int blend);
Widget* create_button(int x, int y, int width, int height, int art, SDL_Surface* icon, int icon_x,
                      int icon_y, const char* label, TTF_Font* font, uint32_t colour,
                      int save_under);
Widget* create_toggle(int x, int y, SDL_Surface* off, SDL_Surface* on, int state);
Widget* create_checkbox(int x, int y);
Widget* create_selector3(int x, int y, const char* left_label, const char* right_label,
                         TTF_Font* font, uint32_t colour, uint32_t other_colour);
Widget* create_selector(int x, int y, const char* const* labels, int count, TTF_Font* font,
                        uint32_t colour, uint32_t other_colour);
Widget* create_colour_picker(int x, int y, int cell_size, int cell_height);
Widget* create_edit_box(int x, int y, int width, int height, const char* text, TTF_Font* font,
                        uint32_t colour, int limit);
// What a new list shows and where it starts; the browser fills it from its
// navigation and the settings.
struct ListSetup {
    int highlight = 0;        // the selected row is highlighted
    int selected = -1;        // the browser's current row, -1 none
    int browse_mode = -1;     // starts at and keeps ui->list_offsets[browse_mode]; -1 none
    int hide_extensions = 0;  // video and audio names drawn without extension
};
// Becomes the current list widget (type-ahead search, thumbnails).
Widget* create_list(const UiState* ui, int x, int y, int width, int height, ListRow* rows,
                    int row_count, const ListSetup& setup);
Widget* create_spinner(int x, int y);
Widget* create_periodic(Uint32 period_ms, int limit);

// Starts job(arg) on a thread owned by the spinner; the spinner's completion
// action runs on the main thread once the job has returned. 0 or -1 (a job
// already runs, or no thread). Freeing the spinner asks the job to stop and
// waits for it outside the registry lock.
int spinner_start_job(Widget* spinner, int (*job)(void*), void* arg);
// True once the spinner's widget has been freed or cleared while its job
// ran: the job should stop early. Any thread (takes the registry lock).
bool spinner_cancel_requested(const Widget* spinner);
// True once the spinner's job has returned. Any thread.
bool spinner_job_done(const Widget* spinner);

// ---- drawing --------------------------------------------------------------

// Draws a widget. Before a redraw the pixels under it are put back: those
// found at its first draw when save_under is set (widgets on a dialog card),
// else the screen background image.
void widget_draw(SDL_Surface* surface, Widget* w);
// The image a screen of this surface's shape is drawn on (landscape or
// portrait background).
SDL_Surface* screen_background(SDL_Surface* surface);
// Shows ui_surface through the current interface layer (ui/layers.h).
void present(UiState* ui);

// List geometry helpers shared with the event handler.
int list_last_offset(const Widget* list);
int list_row_at(const Widget* list, int y);
void list_set_offset(Widget* list, int offset);
// Paints one row into a row-sized surface (used by the GL row layers).
void list_paint_row(SDL_Surface* dst, Widget* list, int index);
// Gives a row another picture file (a thumbnail that became ready): the
// picture it showed is released, or handed to a later row that shares it,
// and the new one is loaded when the row is drawn next. Main thread.
void list_row_set_icon(Widget* list, int index, const char* file, int slot);

// Edit boxes: the text as shown (one "*" per character in password modes),
// the shown width of text[from, to) (byte indices at character starts), and
// the caret x and first shown character for the current caret index.
void edit_shown_text(const Widget* box, char* out, int out_size);
int edit_text_width(const Widget* box, int from, int to);
void edit_place_caret(Widget* box);
