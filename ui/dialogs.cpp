// Message boxes and the error messages every screen reports through.
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/layers.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

const char SUPPORT_ADDRESS[] = "https://velmora.example/support";
const char HELP_PAGE_HOST[] = "velmora.example";
const char HELP_PAGE_PATH[] = "/site/docs/vlmp_0_3_0/vlmph.html";

namespace {

constexpr int DEFAULT_BOX_WIDTH = 400;
constexpr int MENU_BUTTON_WIDTH = 100;
constexpr uint32_t DIALOG_TEXT_COLOUR = TEXT_BLACK;
constexpr uint32_t BUTTON_TEXT_COLOUR = TEXT_WHITE;

ScreenFn g_home_screen;
ScreenFn g_ok_screen;
MessageBoxObserver g_observer;

void go_home(AppState* app, RegistrySlot*)
{
    if (g_home_screen)
        g_home_screen(app);
}

void ok_pressed(AppState* app, RegistrySlot*)
{
    ScreenFn next = g_ok_screen ? g_ok_screen : app->ui.current_screen;
    if (!next)
        next = g_home_screen;
    if (next)
        next(app);
}

int pane_width() { return LIST_PANE_WIDTH; }

}  // namespace

void ui_set_home_screen(ScreenFn home) { g_home_screen = home; }
void ui_set_message_box_observer(MessageBoxObserver observer) { g_observer = observer; }

void message_box(AppState* app, SDL_Surface* surface, const char* text, int top, int width,
                 void (*on_ok)(AppState* app))
{
    registry_clear(app, 0);
    widgets_clear(app, 0);
    if (!surface || !text)
        return;
    if (width <= 0)
        width = DEFAULT_BOX_WIDTH;
    if (g_observer)
        g_observer(text, top, width);
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    int left = (pane_width() - width) / 2;
    int text_x = left + 15;
    int text_y = top + 20;
    int text_w = width - 30;
    int text_h = surface->h - top - 20;
    int text_bottom = draw_text(surface, text, font, text_x, text_y, text_w, text_h, ALIGN_LEFT,
                                TEXT_MEASURE, DIALOG_TEXT_COLOUR);
    SDL_Surface* button_art = artwork(ART_BUTTON);
    int button_h = button_art ? button_art->h : 0;
    int box_h = (text_bottom + 40) + (button_h - top);

    int bar = app->ui.title_bar_height > 0 ? app->ui.title_bar_height : TITLE_BAR_HEIGHT;
    if (Widget* menu = create_button(surface->w - 106, 8, MENU_BUTTON_WIDTH, bar - 16, ART_BUTTON,
                                     nullptr, 0, 0, "Menu", font, BUTTON_TEXT_COLOUR, 1)) {
        widget_draw(surface, menu);
        registry_add(menu, SLOT_PRESS, go_home);
    }
    if (SurfacePtr frame{stretch_frame(artwork(ART_DIALOG), width, box_h)})
        blend_over(surface, frame.get(), left, top);
    draw_text(surface, text, font, text_x, text_y, text_w, text_h, ALIGN_LEFT, TEXT_BLEND,
              DIALOG_TEXT_COLOUR);
    g_ok_screen = on_ok;
    int button_w = button_art ? button_art->w : 0;
    if (Widget* ok = create_button((pane_width() - button_w) / 2, text_bottom + 25, -1, -1,
                                   ART_BUTTON, nullptr, 0, 0, "OK", font, BUTTON_TEXT_COLOUR, 1)) {
        widget_draw(surface, ok);
        registry_add(ok, SLOT_PRESS, ok_pressed);
    }
    present(app);
}

bool error_message_text(const AppState* app, int code, char* out, int out_size)
{
    if (!out || out_size <= 0)
        return false;
    out[0] = 0;
    if (app->ui.abort_requested) {
        switch (code) {
        case -11: case -12: case -15: case -16: case -19: case -20: case -21:
            break;
        default:
            return false;
        }
    }
    const char* text = nullptr;
    bool with_address = false;
    switch (code) {
    case -1:
        if (app->nav.list_source == 0 || app->nav.browse_mode == 0 || app->nav.browse_mode == 1)
            text = "The destination file/folder could not be opened successfully. Please make sure "
                   "the file/folder is still accessible and has read permissions. Sometimes a "
                   "device restart may fix this problem.";
        else if (app->nav.list_source == 1)
            text = "Could not connect to the streaming server. Please make sure your device has "
                   "network connectivity. Also, make sure only one instance of Velmora Media "
                   "Streamer is running on your PC and it is in Ready state.";
        else
            text = "The destination file/folder could not be opened successfully. Please make sure "
                   "your device has network connectivity.";
        break;
    case -2:
        text = "Velmora Media Streamer is not running on your PC or your login info does not "
               "match the login info set up in Velmora Media Streamer. Please tap 'Settings' and "
               "check your username and password in Account Settings.";
        break;
    case -8:
        text = "No shared media files could be found on the current path. Make sure you add at "
               "least one media folder via Select Media Folders item in Velmora Media Streamer "
               "settings menu.";
        break;
    case -9:
        text = "Could not communicate with the Velmora directory service. Please make sure you "
               "have internet connection. This may also mean directory service is down. Try "
               "connecting to the streaming server manually by disabling directory service from "
               "Velmora Media Streamer advanced network settings and by entering server IP "
               "address and port number to the player network settings.";
        break;
    case -10:
        text = "No network connection was detected. Please turn on network and try again.";
        break;
    case -11:
        if (app->nav.media_kind == 0) {
            text = "Streaming could not start. Please make sure the channel is set up correctly "
                   "and the enable checkbox for this channel is marked in the channel lineup on "
                   "the server.";
        } else if (app->nav.media_kind == 1) {
            text = "Streaming could not start. Please make sure the file is still accessible on "
                   "the server.";
        } else {
            text = "Media could not be opened. It might be corrupt, copy-protected or might have "
                   "an unsupported format. If you are sure none of these are valid, please "
                   "contact us at";
            with_address = true;
        }
        break;
    case -12:
        text = "This feature is to stream media from a remote PC. It requires a Velmora Media "
               "Streamer account. Please install our free streamer application to your PC. "
               "During installation, you will be asked to generate an account. When the account "
               "is set up, enter your account login information to 'Account Settings' under the "
               "Settings menu. For more information, please check out Help.";
        break;
    case -13:
        text = "No live channels could be found on the streaming server or the channels are not "
               "enabled. Please add a channel from Channel Lineup menu item in Velmora Media "
               "Streamer and enable it by clicking the Enable box next to it.";
        break;
    case -15:
        text = "There is not enough memory for this operation. Please close other applications "
               "and try again.";
        break;
    case -16:
        text = "An unrecoverable error was encountered while decoding the stream. The content "
               "may be corrupt.";
        break;
    case -19:
        text = "Out of buffer space for progressive download. Please free up space on your "
               "device or disable progressive download for streaming.";
        break;
    case -20:
        text = "An error was detected while playing the stream.";
        break;
    case -21:
        text = "An error occurred while communicating with the streaming server.";
        break;
    case -23:
        text = "Could not find any DLNA/UPNP servers on the network. Please make sure your "
               "device has network connectivity and then restart the application. You NEED to "
               "RESTART the application after turning on network; otherwise, UPNP discovery will "
               "still fail.";
        break;
    default:
        text = "Unexpected error. Please contact us at";
        with_address = true;
        break;
    }
    if (with_address)
        std::snprintf(out, size_t(out_size), "%s %s", text, SUPPORT_ADDRESS);
    else
        std::snprintf(out, size_t(out_size), "%s", text);
    return true;
}

void show_error(AppState* app, int code)
{
    if (!app)
        return;
    if (!app->ui.abort_requested) {
        registry_clear(app, 0);
        widgets_clear(app, 0);
    }
    char text[1024];
    if (!error_message_text(app, code, text, sizeof text))
        return;
    int bar = app->ui.title_bar_height > 0 ? app->ui.title_bar_height : TITLE_BAR_HEIGHT;
    int top = 2 * bar + 20;
    if (code == -11 && app->nav.media_kind == 0)
        top = DIALOG_TOP;
    ScreenFn on_ok = app->ui.current_screen;
    if (code == -12 || code == -13)
        on_ok = g_home_screen;
    message_box(app, app->ui.ui_surface, text, top, 0, on_ok);
}
