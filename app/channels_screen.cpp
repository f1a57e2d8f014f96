#include "app/channels_screen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/home.h"
#include "app/prefs.h"
#include "app/streamer_source.h"
#include "platform/app_flags.h"
#include "platform/media_enums.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "streamer/channels.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/text.h"
#include "ui/widget.h"

namespace {

constexpr const char* CONNECTING = "Please wait while connecting to the streamer...";
constexpr const char* MENU_LABEL = "Menu";
constexpr const char* UPDATE_LABEL = "Update channels";
constexpr int MENU_WIDTH = 100;
constexpr int UPDATE_WIDTH = 180;  // the longer label needs more than a bar button's 100
constexpr int BAR_EDGE = 6;        // bar buttons keep this far from the window's sides
constexpr int BAR_INSET = 8;       // and this far from the bar's top and bottom edges
constexpr int NUMBER_X = 20;
constexpr int NUMBER_WIDTH = 80;
constexpr int NAME_X = 110;
constexpr int NAME_RIGHT_GAP = 10;
constexpr int NUMBER_TEXT_SIZE = 8;  // "-32768" and its NUL
constexpr int NAME_TEXT_SIZE = sizeof(ChannelEntry::name) + 1;

// The one fetch: the worker writes the table and the status, the
// completion reads them once the worker has returned (the spinner joins
// its job before a new one can start).
struct FetchJob {
    StreamerLink* link;
    ChannelEntry table[CHANNEL_TABLE_SIZE];
    int32_t count;
    int32_t status;  // 1 success, else the fetch's negative code
};
FetchJob g_job;

// Display rows and their texts, made once.
struct ChannelRows {
    ListRow rows[CHANNEL_TABLE_SIZE];
    char numbers[CHANNEL_TABLE_SIZE][NUMBER_TEXT_SIZE];
    char names[CHANNEL_TABLE_SIZE][NAME_TEXT_SIZE];
};
ChannelRows* g_rows = nullptr;

TTF_Font* main_font()
{
    return font_get(FONT_SET_MAIN, FONT_PRELUDE);
}

// The table's size as far as it can be trusted: a damaged preferences file
// must not make the screen read past the table.
int channel_count(const AppState* app)
{
    const int32_t n = app->settings.channel_count;
    return n < 0 ? 0 : (n > CHANNEL_TABLE_SIZE ? CHANNEL_TABLE_SIZE : n);
}

// An entry's name, NUL-terminated even when the stored field is not.
void entry_name(const ChannelEntry& e, char* out, size_t size)
{
    char name[NAME_TEXT_SIZE];
    std::memcpy(name, e.name, sizeof e.name);
    name[sizeof e.name] = '\0';
    copy_text(out, size, name);
}

// Makes `row` the current channel: its number and its name as the title.
void take_entry(AppState* app, int row)
{
    const ChannelEntry& e = app->settings.channels[row];
    app->nav.current_channel = row;
    app->nav.channel_number = e.number;
    entry_name(e, app->nav.current_media_path, sizeof app->nav.current_media_path);
}

int fetch_job(void* arg)
{
    auto* job = static_cast<FetchJob*>(arg);
    std::lock_guard<std::mutex> exchange(streamer_command_lock());
    const int rc = channel_list_fetch(job->link, job->table, &job->count);
    job->status = rc == 0 ? 1 : (rc < 0 ? rc : ERR_GENERIC);
    return 0;
}

void redraw(AppState* app)
{
    show_channels(app, false);
}

bool bar_button(AppState* app, int x, int y, int width, const char* label, SlotAction action)
{
    const int height = TITLE_BAR_HEIGHT - 2 * BAR_INSET;
    Widget* w = create_button(x, y, width, height, ART_BUTTON, nullptr, 0, 0, label, main_font(),
                              TEXT_WHITE, 1);
    if (!w)
        return false;
    widget_draw(app->ui.ui_surface, w);
    registry_add(w, SLOT_PRESS, action);
    return true;
}

void go_home(AppState* app, RegistrySlot*)
{
    show_home(app);
}

void update_channels(AppState* app, RegistrySlot*)
{
    show_channels(app, true);
}

void row_tapped(AppState* app, RegistrySlot* slot)
{
    Widget* list = slot ? slot->widget : nullptr;
    // The row under the press (the list forgets its pressed row before the
    // action runs).
    if (list && list->kind == WIDGET_LIST)
        channel_select(app, list_row_at(list, list->press_y));
}

ChannelRows* make_rows(const AppState* app, int count)
{
    if (!g_rows)
        g_rows = static_cast<ChannelRows*>(std::calloc(1, sizeof(ChannelRows)));
    if (!g_rows)
        return nullptr;
    const int width = app->ui.ui_surface->w;
    for (int i = 0; i < count; ++i) {
        const ChannelEntry& e = app->settings.channels[i];
        std::snprintf(g_rows->numbers[i], NUMBER_TEXT_SIZE, "%d", int(e.number));
        entry_name(e, g_rows->names[i], NAME_TEXT_SIZE);
        ListRow& row = g_rows->rows[i];
        std::memset(&row, 0, sizeof row);
        row.marker = RowText{NUMBER_X,           0,           NUMBER_WIDTH, LIST_ROW_HEIGHT,
                             g_rows->numbers[i], main_font(), TEXT_WHITE,   ALIGN_LEFT_MIDDLE};
        row.name = RowText{NAME_X,
                           0,
                           width - NAME_X - NAME_RIGHT_GAP,
                           LIST_ROW_HEIGHT,
                           g_rows->names[i],
                           main_font(),
                           TEXT_WHITE,
                           ALIGN_LEFT_MIDDLE};
        row.in_use = 1;
    }
    return g_rows;
}

bool draw_list(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    const int count = channel_count(app);
    ChannelRows* rows = make_rows(app, count);
    if (!rows)
        return false;
    ListSetup setup;
    setup.highlight = 1;
    setup.selected = app->nav.current_channel < count ? app->nav.current_channel : -1;
    setup.browse_mode = BROWSE_CHANNELS;
    const int height = s->h - TITLE_BAR_HEIGHT - BOTTOM_BAR_HEIGHT;
    Widget* list = create_list(&app->ui, 0, TITLE_BAR_HEIGHT, s->w, height, rows->rows, count,
                               setup);
    if (!list)
        return false;
    widget_draw(s, list);
    registry_add(list, SLOT_DRAG, nullptr);
    registry_add(list, SLOT_ROW_TAP, row_tapped);
    return true;
}

// The list screen; the current-screen callback from now on.
int draw_channel_list(AppState* app)
{
    app->ui.current_screen = redraw;
    Surface* s = app->ui.ui_surface;
    if (!s)
        return -1;
    draw_screen_frame(app);
    const int bottom_y = s->h - BOTTOM_BAR_HEIGHT + BAR_INSET;
    if (!draw_list(app) ||
        !bar_button(app, s->w - MENU_WIDTH - BAR_EDGE, BAR_INSET, MENU_WIDTH, MENU_LABEL,
                    go_home) ||
        !bar_button(app, BAR_EDGE, bottom_y, UPDATE_WIDTH, UPDATE_LABEL, update_channels))
        return -1;
    if (last_error < 0) {
        const int code = last_error;
        last_error = 0;
        show_error(app, code);
    } else {
        present(&app->ui);
    }
    return 0;
}

// The spinner's completion, once the worker has returned.
void fetch_done(AppState* app, RegistrySlot*)
{
    if (app->ui.abort_requested)
        link_disconnect(&app->link);
    if (g_job.status != 1) {
        // The message's "OK" leads home: the screen behind it is gone.
        show_home(app);
        show_error(app, g_job.status);
        return;
    }
    registry_clear(0);
    widgets_clear(0);
    Settings& s = app->settings;
    s.channel_count = g_job.count;
    std::memcpy(s.channels, g_job.table, sizeof s.channels);
    // The table is part of the preferences: it is there at the next start.
    if (prefs_save(&s) != 0)
        std::fprintf(stderr, "channels: the preferences could not be saved\n");
    draw_channel_list(app);
}

int start_fetch(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    if (!s)
        return -1;
    draw_screen_frame(app);
    if (!flags_any(&app->flags, APP_STREAMER_CONNECTED))
        draw_text(s, CONNECTING, main_font(), 0, TITLE_BAR_HEIGHT, s->w,
                  s->h / 2 - TITLE_BAR_HEIGHT, ALIGN_CENTRE_MIDDLE, TEXT_BLEND, TEXT_WHITE);
    Widget* spinner = browser_spinner(app, 0, s->w, fetch_done);
    if (!spinner)
        return -1;
    present(&app->ui);
    app->ui.abort_requested = 0;  // a new wait: an earlier cancel must not end this one
    g_job.link = &app->link;
    g_job.count = 0;
    g_job.status = 0;
    if (spinner_start_job(spinner, fetch_job, &g_job) != 0) {
        registry_clear(0);
        widgets_clear(0);
        return -1;
    }
    return 0;
}

}  // namespace

int show_channels(AppState* app, bool refresh)
{
    browser_clear_selection(app);
    app->nav.current_list_index = -1;
    registry_clear(0);
    widgets_clear(0);
    BrowserState& b = app->browser;
    b.previous_browse_mode = b.browse_mode;
    b.browse_mode = BROWSE_CHANNELS;
    b.list_source = SOURCE_STREAMER;
    if (channel_count(app) > 0 && !refresh)
        return draw_channel_list(app);
    return start_fetch(app);
}

void channel_select(AppState* app, int row)
{
    if (row < 0 || row >= channel_count(app))
        return;
    take_entry(app, row);
    flags_clear(&app->flags, APP_REMOTE_SESSION | APP_PLAYER_BUSY);
    app->nav.media_kind = MEDIA_KIND_LIVE;
    // A live channel is neither a list item nor sent to a renderer.
    app->nav.play_to_active = 0;
    app->nav.list_play = 0;
    app->browser.playing_from_list = 0;
    app->ui.play_requested = 1;
}

bool channel_step(AppState* app, int delta)
{
    const int count = channel_count(app);
    if (count == 0)
        return false;
    int row = app->nav.current_channel;
    // No current channel: forward starts at the first, backward at the last.
    if (row < 0 || row >= count)
        row = delta >= 0 ? count - 1 : 0;
    row = ((row + delta % count) % count + count) % count;
    take_entry(app, row);
    return true;
}
