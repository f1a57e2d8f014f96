// The widget pool, the registry, the toolkit's locks and the constructors.
#include "ui/widget.h"

#include <cstring>
#include <vector>

#include "platform/sync.h"
#include "platform/text_copy.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/list_gl.h"
#include "ui/surface.h"
#include "ui/text.h"

const uint32_t SUBTITLE_COLOURS[COLOUR_PICKER_CELLS] = {
    0xFFFFFFFF, 0xFF00FFFF, 0xFFFF00FF, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000,
};

Widget* screen_widgets[SCREEN_WIDGET_COUNT];

namespace {

Widget g_pool[WIDGET_POOL_SIZE];
RegistrySlot g_registry[REGISTRY_SIZE];
SDL_mutex* g_registry_lock;
SDL_mutex* g_screen_lock;
SDL_sem* g_timer_sem;
int g_resize_redraw;

}  // namespace

// A spinner's job, shared by the spinner and the job's thread. It outlives
// the widget record: the thread only ever sees this block, and the block is
// deleted after the thread has been joined.
struct SpinnerJob {
    int (*fn)(void*);
    void* arg;
    SDL_Thread* thread;          // main thread only
    std::atomic<int> cancel{0};  // set by the main thread, read by the job
    std::atomic<int> done{0};    // set by the job's thread when fn returned
};

namespace {

// Jobs taken from their spinners, waiting to be joined once the registry
// lock is released (a job may take the lock while it ends). Guarded by the
// registry lock.
std::vector<SpinnerJob*> g_to_join;

bool spinner_job_running(const Widget* w)
{
    return w->kind == WIDGET_SPINNER && w->spinner.job && !w->spinner.job->done.load();
}

// A spinner that must survive the clears of a resize redraw.
bool survives_resize(const Widget* w)
{
    return g_resize_redraw && w && spinner_job_running(w);
}

void free_list_fields(Widget* w)
{
    ListFields& l = w->list;
    for (int i = 0; l.rows && i < l.row_count; ++i) {
        ListRow& row = l.rows[i];
        if (row.icon_loaded == ROW_ICON_LOADED && row.icon)
            SDL_FreeSurface(row.icon);
        if (row.icon_loaded != ROW_ICON_CALLER)
            row.icon = nullptr;
        row.icon_loaded = ROW_ICON_CALLER;
    }
    list_gl_free(w);
    std::memset(&l, 0, sizeof l);
}

// A loaded picture that row `index` gives up: the first later row sharing
// it becomes its owner, else it is freed.
void release_row_icon(ListFields& l, int index)
{
    ListRow& row = l.rows[index];
    if (row.icon_loaded == ROW_ICON_LOADED && row.icon) {
        int heir = -1;
        for (int i = index + 1; i < l.row_count && heir < 0; ++i)
            if (l.rows[i].icon == row.icon && l.rows[i].icon_loaded == ROW_ICON_SHARED)
                heir = i;
        if (heir >= 0)
            l.rows[heir].icon_loaded = ROW_ICON_LOADED;
        else
            SDL_FreeSurface(row.icon);
    }
    if (row.icon_loaded != ROW_ICON_CALLER)
        row.icon = nullptr;
    row.icon_loaded = ROW_ICON_CALLER;
}

// Asks the job to stop and hands it to the next join; registry lock held.
void stop_spinner_job(Widget* w)
{
    if (SpinnerJob* job = w->spinner.job) {
        job->cancel.store(1);
        g_to_join.push_back(job);
    }
    w->spinner.job = nullptr;
}

// Frees one record's resources and marks it free; registry lock held.
void free_record(Widget* w)
{
    if (w->saved_pixels)
        SDL_FreeSurface(w->saved_pixels);
    if (w->owns_images)
        for (SDL_Surface*& image : w->images)
            if (image)
                SDL_FreeSurface(image);
    if (w->kind == WIDGET_LIST)
        free_list_fields(w);
    if (w->kind == WIDGET_SPINNER)
        stop_spinner_job(w);
    events_forget_widget(w);
    // A slot left pointing at a freed record would act for its next owner.
    for (RegistrySlot& slot : g_registry)
        if (slot.widget == w)
            slot = RegistrySlot{};
    std::memset(w, 0, sizeof *w);
}

int image_width(SDL_Surface* s)
{
    return s ? s->w : 0;
}
int image_height(SDL_Surface* s)
{
    return s ? s->h : 0;
}

}  // namespace

namespace ui_input {

void spinner_detach_job(Widget* spinner)
{
    LockGuard guard(g_registry_lock);
    if (SpinnerJob* job = spinner->spinner.job)
        g_to_join.push_back(job);
    spinner->spinner.job = nullptr;
}

void spinner_join_detached()
{
    std::vector<SpinnerJob*> jobs;
    {
        LockGuard guard(g_registry_lock);
        jobs.swap(g_to_join);
    }
    for (SpinnerJob* job : jobs) {
        if (job->thread)
            SDL_WaitThread(job->thread, nullptr);
        delete job;
    }
}

}  // namespace ui_input

using ui_input::spinner_join_detached;

// ---- locks -----------------------------------------------------------------

int ui_toolkit_init()
{
    if (!g_registry_lock)
        g_registry_lock = SDL_CreateMutex();
    if (!g_screen_lock)
        g_screen_lock = SDL_CreateMutex();
    if (!g_timer_sem)
        g_timer_sem = SDL_CreateSemaphore(0);
    return g_registry_lock && g_screen_lock && g_timer_sem ? 0 : -1;
}

void ui_toolkit_free()
{
    if (g_timer_sem)
        SDL_DestroySemaphore(g_timer_sem);
    if (g_registry_lock)
        SDL_DestroyMutex(g_registry_lock);
    if (g_screen_lock)
        SDL_DestroyMutex(g_screen_lock);
    g_timer_sem = nullptr;
    g_registry_lock = nullptr;
    g_screen_lock = nullptr;
}

SDL_mutex* ui_registry_lock()
{
    return g_registry_lock;
}
SDL_mutex* ui_screen_lock()
{
    return g_screen_lock;
}
SDL_sem* ui_timer_semaphore()
{
    return g_timer_sem;
}

// ---- pool and registry -------------------------------------------------------

Widget* widget_pool()
{
    return g_pool;
}
RegistrySlot* registry_slots()
{
    return g_registry;
}
void ui_set_resize_redraw(int on)
{
    g_resize_redraw = on;
}

Widget* widget_alloc()
{
    LockGuard guard(g_registry_lock);
    for (Widget& w : g_pool) {
        if (!w.in_use) {
            std::memset(&w, 0, sizeof w);
            w.in_use = 1;
            return &w;
        }
    }
    return nullptr;
}

void widget_free(Widget* w)
{
    {
        LockGuard guard(g_registry_lock);
        if (!w || !w->in_use || survives_resize(w))
            return;
        free_record(w);
    }
    spinner_join_detached();
}

void widgets_clear(int all)
{
    {
        LockGuard guard(g_registry_lock);
        for (Widget& w : g_pool) {
            if (!w.in_use || (!all && w.persistent) || survives_resize(&w))
                continue;
            free_record(&w);
        }
        std::memset(screen_widgets, 0, sizeof screen_widgets);
    }
    spinner_join_detached();
}

int registry_add(Widget* w, int32_t code, SlotAction action)
{
    LockGuard guard(g_registry_lock);
    for (RegistrySlot& slot : g_registry) {
        if (slot.active)
            continue;
        slot.active = 1;
        slot.persistent = w ? w->persistent : 0;
        slot.code = code;
        slot.widget = w;
        slot.action = action;
        if (w)
            w->slot = &slot;
        return 0;
    }
    return -1;
}

void registry_clear(int all)
{
    LockGuard guard(g_registry_lock);
    for (RegistrySlot& slot : g_registry) {
        if (!slot.active || slot.code == SLOT_PLAY_REQUEST)
            continue;
        if (!all && slot.persistent)
            continue;
        if (survives_resize(slot.widget))
            continue;
        if (slot.widget && slot.widget->slot == &slot)
            slot.widget->slot = nullptr;
        slot = RegistrySlot{};
    }
}

// ---- constructors ------------------------------------------------------------

Widget* create_image(int x, int y, SDL_Surface* image, int blend)
{
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_IMAGE;
    w->x = x;
    w->y = y;
    w->images[0] = image;
    w->width = image_width(image);
    w->height = image_height(image);
    w->blend = uint8_t(blend != 0);
    return w;
}

Widget* create_button(int x, int y, int width, int height, int art, SDL_Surface* icon, int icon_x,
                      int icon_y, const char* label, TTF_Font* font, uint32_t colour,
                      int save_under)
{
    if (art < 0 || art + 1 >= ART_COUNT)
        return nullptr;
    SDL_Surface* normal = artwork(ArtId(art));
    SDL_Surface* pressed = artwork(ArtId(art + 1));
    if (!normal || !pressed)
        return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_BUTTON;
    w->x = x;
    w->y = y;
    bool own_size = width == -1 || height == -1 || (width == normal->w && height == normal->h);
    if (own_size) {
        w->images[0] = normal;
        w->images[1] = pressed;
        w->width = normal->w;
        w->height = normal->h;
    } else {
        w->owns_images = 1;
        w->images[0] = stretch_frame(normal, width, height);
        w->images[1] = stretch_frame(pressed, width, height);
        w->width = width;
        w->height = height;
        if (!w->images[0] || !w->images[1]) {
            widget_free(w);
            return nullptr;
        }
    }
    w->icon = icon;
    w->icon_x = icon_x;
    w->icon_y = icon_y;
    copy_text(w->label, sizeof w->label, label);
    w->font = font;
    w->colour = colour;
    w->save_under = uint8_t(save_under != 0);
    return w;
}

Widget* create_toggle(int x, int y, SDL_Surface* off, SDL_Surface* on, int state)
{
    if (!off || !on)
        return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_TOGGLE;
    w->x = x;
    w->y = y;
    w->images[0] = off;
    w->images[1] = on;
    w->width = off->w;
    w->height = off->h;
    w->state = uint8_t(state != 0);
    return w;
}

Widget* create_checkbox(int x, int y)
{
    SDL_Surface* clear = artwork(ART_CHECKBOX);
    SDL_Surface* ticked = artwork(ART_CHECKBOX_SEL);
    if (!clear || !ticked)
        return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_CHECKBOX;
    w->x = x;
    w->y = y;
    w->images[0] = clear;
    w->images[1] = ticked;
    w->width = clear->w;
    w->height = clear->h;
    return w;
}

Widget* create_selector3(int x, int y, const char* left_label, const char* right_label,
                         TTF_Font* font, uint32_t colour, uint32_t other_colour)
{
    const char* labels[3] = {left_label, "Medium", right_label};
    Widget* w = create_selector(x, y, labels, 3, font, colour, other_colour);
    if (w)
        w->kind = WIDGET_SELECTOR3;
    return w;
}

Widget* create_selector(int x, int y, const char* const* labels, int count, TTF_Font* font,
                        uint32_t colour, uint32_t other_colour)
{
    if (count != 2 && count != 3)
        return nullptr;
    ArtId first = count == 2 ? ART_SEL_1_2 : ART_SEL_1_3;
    for (int i = 0; i < count; ++i)
        if (!artwork(ArtId(first + i)))
            return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_SELECTOR;
    w->x = x;
    w->y = y;
    for (int i = 0; i < count; ++i) {
        w->images[i] = artwork(ArtId(first + i));
        w->choices[i] = labels ? labels[i] : nullptr;
    }
    w->choice_count = count;
    w->width = w->images[0]->w;
    w->height = w->images[0]->h;
    w->choice_font = font;
    w->choice_colour = colour;
    w->other_colour = other_colour;
    return w;
}

Widget* create_colour_picker(int x, int y, int cell_size, int cell_height)
{
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_COLOUR_PICKER;
    w->x = x;
    w->y = y;
    w->cell_size = cell_size;
    w->cell_height = cell_height;
    w->cell_gap = COLOUR_PICKER_GAP;
    w->width = COLOUR_PICKER_CELLS * cell_size + (COLOUR_PICKER_CELLS - 1) * COLOUR_PICKER_GAP;
    w->height = cell_height;
    return w;
}

Widget* create_edit_box(int x, int y, int width, int height, const char* text, TTF_Font* font,
                        uint32_t colour, int limit)
{
    SDL_Surface* normal = artwork(ART_EDITBOX);
    SDL_Surface* focused = artwork(ART_EDITBOX_SEL);
    if (!normal || !focused)
        return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_EDIT_BOX;
    w->x = x;
    w->y = y;
    if (width <= 0 || height <= 0 || (width == normal->w && height == normal->h)) {
        w->images[0] = normal;
        w->images[1] = focused;
        w->width = normal->w;
        w->height = normal->h;
    } else {
        w->owns_images = 1;
        w->images[0] = stretch_frame(normal, width, height);
        w->images[1] = stretch_frame(focused, width, height);
        w->width = width;
        w->height = height;
        if (!w->images[0] || !w->images[1]) {
            widget_free(w);
            return nullptr;
        }
    }
    w->font = font;
    w->colour = colour;
    w->edit.limit = limit > 0 && limit <= EDIT_DEFAULT_LIMIT ? limit : EDIT_DEFAULT_LIMIT;
    copy_text(w->edit.text, size_t(w->edit.limit) + 1, text);
    w->edit.caret_index = int32_t(std::strlen(w->edit.text));
    edit_place_caret(w);
    return w;
}

Widget* create_list(const UiState* ui, int x, int y, int width, int height, ListRow* rows,
                    int row_count, const ListSetup& setup)
{
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_LIST;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    ListFields& l = w->list;
    l.rows = rows;
    l.row_count = rows ? row_count : 0;
    l.row_height = LIST_ROW_HEIGHT;
    l.selected = setup.selected;
    l.highlight = uint8_t(setup.highlight != 0);
    l.hide_extensions = uint8_t(setup.hide_extensions != 0);
    l.browse_mode = setup.browse_mode >= 0 && setup.browse_mode < BROWSE_MODE_COUNT
                        ? setup.browse_mode
                        : -1;
    if (ui && l.browse_mode >= 0)
        l.offset = ui->list_offsets[l.browse_mode];
    l.separator_colour = LIST_SEPARATOR_COLOUR;
    l.background_colour = LIST_BACKGROUND_COLOUR;
    l.font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    l.text_colour = TEXT_WHITE;
    l.pressed_row = -1;
    for (int32_t& row : l.row_layer_rows)
        row = -1;
    set_current_list_widget(w);
    return w;
}

Widget* create_spinner(int x, int y)
{
    SDL_Surface* first = artwork(ART_SPINNER_1);
    if (!first)
        return nullptr;
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_SPINNER;
    w->x = x;
    w->y = y;
    for (int i = 0; i < SPINNER_FRAMES; ++i)
        w->images[i] = artwork(ArtId(ART_SPINNER_1 + i));
    w->width = first->w;
    w->height = first->h;
    w->spinner.running = 1;
    w->spinner.next_frame_time = ui_ticks() + UI_TIMER_PERIOD_MS;
    return w;
}

Widget* create_periodic(Uint32 period_ms, int limit)
{
    Widget* w = widget_alloc();
    if (!w)
        return nullptr;
    w->kind = WIDGET_PERIODIC;
    w->periodic.period = period_ms;
    w->periodic.limit = limit;
    w->periodic.next_time = ui_ticks() + period_ms;
    return w;
}

namespace {

int spinner_thread(void* arg)
{
    auto* job = static_cast<SpinnerJob*>(arg);
    job->fn(job->arg);
    job->done.store(1);
    if (SDL_sem* sem = ui_timer_semaphore())
        SDL_SemPost(sem);  // let the timer notice the end without waiting a period
    return 0;
}

// The job of a spinner record; registry lock held.
const SpinnerJob* job_of(const Widget* w)
{
    return w && w->in_use && w->kind == WIDGET_SPINNER ? w->spinner.job : nullptr;
}

}  // namespace

bool spinner_cancel_requested(const Widget* spinner)
{
    LockGuard guard(g_registry_lock);
    const SpinnerJob* job = job_of(spinner);
    return !job || job->cancel.load();
}

bool spinner_job_done(const Widget* spinner)
{
    LockGuard guard(g_registry_lock);
    const SpinnerJob* job = job_of(spinner);
    return !job || job->done.load();
}

int spinner_start_job(Widget* spinner, int (*fn)(void*), void* arg)
{
    if (!spinner || spinner->kind != WIDGET_SPINNER || !fn || spinner->spinner.job)
        return -1;
    auto* job = new SpinnerJob{fn, arg, nullptr};
    {
        LockGuard guard(g_registry_lock);
        spinner->spinner.job = job;
    }
    job->thread = SDL_CreateThread(spinner_thread, job);
    if (!job->thread) {
        LockGuard guard(g_registry_lock);
        spinner->spinner.job = nullptr;
        delete job;
        return -1;
    }
    return 0;
}

void list_row_set_icon(Widget* list, int index, const char* file, int slot)
{
    if (!list || list->kind != WIDGET_LIST || !list->list.rows || index < 0 ||
        index >= list->list.row_count || !file)
        return;
    ListFields& l = list->list;
    release_row_icon(l, index);
    ListRow& row = l.rows[index];
    copy_text(row.icon_file, sizeof row.icon_file, file);
    row.icon_slot = slot;
    list_gl_invalidate(list);
}
