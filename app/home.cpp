#include "app/home.h"

#include <cstdio>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_screen.h"
#include "app/channels_screen.h"
#include "platform/shell.h"
#include "platform/text_copy.h"
#include "settings/settings_screens.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

namespace {

constexpr const char* TITLE_LINE = "Velmora Media Player 4.0.2";
constexpr const char* NOTICE_LINE =
    "Your films, music and photos - from this PC, your home network and beyond";
constexpr int TITLE_Y = 20;
constexpr int NOTICE_Y = 55;
constexpr int TITLE_BOX_HEIGHT = 80;
constexpr int ROW_Y[2] = {150, 400};
constexpr int ICON_TOP = 10;
constexpr int CORNER_MARGIN = 25;
constexpr int CORNER_Y = 10;

void local_media(AppState* app, RegistrySlot*);
void upnp_servers(AppState* app, RegistrySlot*)
{
    show_upnp_servers(app);
}
void remote_media(AppState* app, RegistrySlot*)
{
    show_remote_media(app);
}
void live_channels(AppState* app, RegistrySlot*)
{
    show_channels(app, false);
}

void playlists(AppState* app, RegistrySlot*);
void settings_menu(AppState* app, RegistrySlot*);
void upnp_servers(AppState* app, RegistrySlot*);

struct HomeTile {
    const char* label;
    ArtId icon;
    SlotAction action;  // null until the screen behind the tile exists
};

// Row by row, left to right.
const HomeTile TILES[6] = {
    {"Local Media", ART_MOVIE, local_media},   {"Remote Media", ART_REMOTE, remote_media},
    {"DLNA/UPNP", ART_UPNP, upnp_servers},     {"Settings", ART_SETTINGS, settings_menu},
    {"Live Streaming", ART_TV, live_channels}, {"Playlists", ART_FAVS, playlists},
};

void local_media(AppState* app, RegistrySlot*)
{
    show_local_media(app);
}

void playlists(AppState* app, RegistrySlot*)
{
    browser_show_playlists(app);
}

void settings_menu(AppState* app, RegistrySlot*)
{
    settings_menu_open(&app->settings, &app->ui, show_home);
}

void open_help(AppState* app, RegistrySlot*)
{
    char url[256];
    help_page_url(url, sizeof url);
    shell_open(url);
    // The screen stays: the released button, redrawn under the press, is shown.
    present(&app->ui);
}

void exit_program(AppState* app, RegistrySlot*)
{
    app->ui.play_requested = 0;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ui_push_event(&quit);
}

bool add_tile(SDL_Surface* surface, const HomeTile& tile, int x, int y, int tile_width)
{
    SDL_Surface* icon = artwork(tile.icon);
    int icon_x = icon ? (tile_width - icon->w) / 2 : 0;
    Widget* w = create_button(x, y, -1, -1, ART_SQUARE_BUTTON, icon, icon_x, ICON_TOP, tile.label,
                              font_get(FONT_SET_LABEL, FONT_PRELUDE), TEXT_WHITE, 1);
    if (!w)
        return false;
    widget_draw(surface, w);
    registry_add(w, SLOT_PRESS, tile.action);
    return true;
}

bool add_corner_button(SDL_Surface* surface, ArtId art, int x, SlotAction action)
{
    Widget* w = create_button(x, CORNER_Y, -1, -1, art, nullptr, 0, 0, nullptr, nullptr, 0, 1);
    if (!w)
        return false;
    widget_draw(surface, w);
    registry_add(w, SLOT_PRESS, action);
    return true;
}

}  // namespace

void help_page_url(char* out, size_t size)
{
    std::snprintf(out, size, "https://%s%s", HELP_PAGE_HOST, HELP_PAGE_PATH);
}

namespace {

// Keeps the account name and password typed on the settings screen when
// the user goes home from it.
void keep_account_texts(AppState* app)
{
    auto copy = [](const Widget* box, char(&dst)[32]) {
        if (box && box->in_use && box->kind == WIDGET_EDIT_BOX)
            copy_text(dst, sizeof dst, box->edit.text);
    };
    copy(screen_widgets[SCREEN_ACCOUNT_USERNAME], app->settings.username);
    copy(screen_widgets[SCREEN_ACCOUNT_PASSWORD], app->settings.password);
}

}  // namespace

void show_home(AppState* app)
{
    ui_set_home_screen(show_home);
    app->ui.current_screen = show_home;
    keep_account_texts(app);
    registry_clear(1);
    widgets_clear(1);
    SDL_Surface* surface = app->ui.ui_surface;
    if (!surface)
        return;
    copy_rect(surface, 0, 0, artwork(ART_BACKGROUND2), nullptr);
    TTF_Font* title_font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    draw_text(surface, TITLE_LINE, title_font, 0, TITLE_Y, surface->w, TITLE_BOX_HEIGHT,
              ALIGN_CENTRE, TEXT_BLEND, TEXT_WHITE);
    draw_text(surface, NOTICE_LINE, title_font, 0, NOTICE_Y, surface->w, TITLE_BOX_HEIGHT,
              ALIGN_CENTRE, TEXT_BLEND, TEXT_WHITE);

    SDL_Surface* square = artwork(ART_SQUARE_BUTTON);
    int w = square ? square->w : 0;
    int g = (surface->w - 3 * w) / 3;
    for (int i = 0; i < 6; ++i) {
        int x = (i % 3) * (w + g) + g / 2;
        if (!add_tile(surface, TILES[i], x, ROW_Y[i / 3], w))
            return;
    }
    SDL_Surface* help = artwork(ART_HELP);
    int help_x = surface->w - (help ? help->w : 0) - CORNER_MARGIN;
    if (!add_corner_button(surface, ART_HELP, help_x, open_help) ||
        !add_corner_button(surface, ART_STANDBY, CORNER_MARGIN, exit_program))
        return;

    if (last_error < 0) {
        int code = last_error;
        last_error = 0;
        show_error(app, code);
    } else {
        present(&app->ui);
    }
}
