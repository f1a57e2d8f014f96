// Message boxes and the error messages every screen reports through. The
// texts are a table: one per result code, and small tables of variants for
// the two codes whose text depends on what the user was doing.
#include <cstdio>
#include <cstring>

#include "platform/media_enums.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
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
    ScreenFn next = g_ok_screen ? g_ok_screen : g_home_screen;
    if (next)
        next(app);
}

int pane_width()
{
    return LIST_PANE_WIDTH;
}
int title_bar(const UiState* ui)
{
    return ui->title_bar_height > 0 ? ui->title_bar_height : TITLE_BAR_HEIGHT;
}

struct Message {
    const char* text;
    bool with_address;  // followed by " " and the support address
};

struct ErrorEntry {
    int code;
    bool after_cancel;  // still shown while abort_requested is set
    Message message;    // null text: chosen from a variant table below
};

const ErrorEntry ERROR_TABLE[] = {
    {ERR_GENERIC, false, {nullptr, false}},
    {ERR_LOGIN_REFUSED,
     false,
     {"Velmora Media Streamer is not running on your PC or your login info does not match the "
      "login info set up in Velmora Media Streamer. Please tap 'Settings' and check your username "
      "and password in Account Settings.",
      false}},
    {ERR_NO_SHARED_MEDIA,
     false,
     {"No shared media files could be found on the current path. Make sure you add at least one "
      "media folder via Select Media Folders item in Velmora Media Streamer settings menu.",
      false}},
    {ERR_DIRECTORY_SERVICE,
     false,
     {"Could not communicate with the Velmora directory service. Please make sure you have "
      "internet connection. This may also mean directory service is down. Try connecting to the "
      "streaming server manually by disabling directory service from Velmora Media Streamer "
      "advanced network settings and by entering server IP address and port number to the "
      "player network settings.",
      false}},
    {ERR_NO_NETWORK,
     false,
     {"No network connection was detected. Please turn on network and try again.", false}},
    {ERR_MEDIA_OPEN, true, {nullptr, false}},
    {ERR_NO_ACCOUNT,
     true,
     {"This feature is to stream media from a remote PC. It requires a Velmora Media Streamer "
      "account. Please install our free streamer application to your PC. During installation, "
      "you will be asked to generate an account. When the account is set up, enter your account "
      "login information to 'Account Settings' under the Settings menu. For more information, "
      "please check out Help.",
      false}},
    {ERR_NO_CHANNELS,
     false,
     {"No live channels could be found on the streaming server or the channels are not enabled. "
      "Please add a channel from Channel Lineup menu item in Velmora Media Streamer and enable it "
      "by clicking the Enable box next to it.",
      false}},
    {ERR_OUT_OF_MEMORY,
     true,
     {"There is not enough memory for this operation. Please close other applications and try "
      "again.",
      false}},
    {ERR_DECODE,
     true,
     {"An unrecoverable error was encountered while decoding the stream. The content may be "
      "corrupt.",
      false}},
    {ERR_STORE_FULL,
     true,
     {"Out of buffer space for progressive download. Please free up space on your device or "
      "disable progressive download for streaming.",
      false}},
    {ERR_STREAM_DATA, true, {"An error was detected while playing the stream.", false}},
    {ERR_SERVER_REPLY,
     true,
     {"An error occurred while communicating with the streaming server.", false}},
    {ERR_NO_UPNP_SERVER,
     false,
     {"Could not find any DLNA/UPNP servers on the network. Please make sure your device has "
      "network connectivity and then restart the application. You NEED to RESTART the "
      "application after turning on network; otherwise, UPNP discovery will still fail.",
      false}},
    {ERR_RENDERER_LOST,
     false,
     {"The renderer stopped answering. Please make sure it is switched on and connected to the "
      "network, then choose it again with 'Play To'.",
      false}},
};

const Message UNEXPECTED = {"Unexpected error. Please contact us at", true};

// ERR_GENERIC by where the current list comes from.
enum GenericVariant { GENERIC_LOCAL, GENERIC_STREAMER, GENERIC_NETWORK };
const Message GENERIC_TEXTS[] = {
    {"The destination file/folder could not be opened successfully. Please make sure the "
     "file/folder is still accessible and has read permissions. Sometimes a device restart may "
     "fix this problem.",
     false},
    {"Could not connect to the streaming server. Please make sure your device has network "
     "connectivity. Also, make sure only one instance of Velmora Media Streamer is running on "
     "your PC and it is in Ready state.",
     false},
    {"The destination file/folder could not be opened successfully. Please make sure your device "
     "has network connectivity.",
     false},
};

// ERR_MEDIA_OPEN by media kind (MediaKind order).
const Message MEDIA_OPEN_TEXTS[] = {
    {"Streaming could not start. Please make sure the channel is set up correctly and the enable "
     "checkbox for this channel is marked in the channel lineup on the server.",
     false},
    {"Streaming could not start. Please make sure the file is still accessible on the server.",
     false},
    {"Media could not be opened. It might be corrupt, copy-protected or might have an unsupported "
     "format. If you are sure none of these are valid, please contact us at",
     true},
};

const ErrorEntry* find_error(int code)
{
    for (const ErrorEntry& e : ERROR_TABLE)
        if (e.code == code)
            return &e;
    return nullptr;
}

Message variant(const ErrorContext& c, int code)
{
    if (code == ERR_GENERIC) {
        if (c.list_source == SOURCE_LOCAL || c.browse_mode == BROWSE_PLAYLIST_ITEMS ||
            c.browse_mode == BROWSE_RECORDINGS)
            return GENERIC_TEXTS[GENERIC_LOCAL];
        return GENERIC_TEXTS[c.list_source == SOURCE_STREAMER ? GENERIC_STREAMER : GENERIC_NETWORK];
    }
    // Any kind but a live channel or a streamed file was opened directly.
    const bool streamed = c.media_kind == MEDIA_KIND_LIVE || c.media_kind == MEDIA_KIND_STREAMED;
    return MEDIA_OPEN_TEXTS[streamed ? c.media_kind : MEDIA_KIND_DIRECT];
}

}  // namespace

void ui_set_home_screen(ScreenFn home)
{
    g_home_screen = home;
}
void ui_set_message_box_observer(MessageBoxObserver observer)
{
    g_observer = observer;
}

void message_box(UiState* ui, SDL_Surface* surface, const char* text, int top, int width,
                 ScreenFn on_ok)
{
    registry_clear(0);
    widgets_clear(0);
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

    if (Widget* menu = create_button(surface->w - 106, 8, MENU_BUTTON_WIDTH, title_bar(ui) - 16,
                                     ART_BUTTON, nullptr, 0, 0, "Menu", font, BUTTON_TEXT_COLOUR,
                                     1)) {
        widget_draw(surface, menu);
        registry_add(menu, SLOT_PRESS, go_home);
    }
    if (SurfacePtr frame{stretch_frame(artwork(ART_DIALOG), width, box_h)})
        blend_over(surface, frame.get(), left, top);
    draw_text(surface, text, font, text_x, text_y, text_w, text_h, ALIGN_LEFT, TEXT_BLEND,
              DIALOG_TEXT_COLOUR);
    g_ok_screen = on_ok ? on_ok : ui->current_screen;
    int button_w = button_art ? button_art->w : 0;
    if (Widget* ok = create_button((pane_width() - button_w) / 2, text_bottom + 25, -1, -1,
                                   ART_BUTTON, nullptr, 0, 0, "OK", font, BUTTON_TEXT_COLOUR, 1)) {
        widget_draw(surface, ok);
        registry_add(ok, SLOT_PRESS, ok_pressed);
    }
    present(ui);
}

bool error_message_text(const ErrorContext& context, bool cancelled, int code, char* out,
                        int out_size)
{
    if (!out || out_size <= 0)
        return false;
    out[0] = 0;
    const ErrorEntry* entry = find_error(code);
    if (cancelled && !(entry && entry->after_cancel))
        return false;
    Message m = !entry ? UNEXPECTED : entry->message.text ? entry->message : variant(context, code);
    if (m.with_address)
        std::snprintf(out, size_t(out_size), "%s %s", m.text, SUPPORT_ADDRESS);
    else
        copy_text(out, size_t(out_size), m.text);
    return true;
}

void show_error(UiState* ui, const ErrorContext& context, int code)
{
    if (!ui)
        return;
    const bool cancelled = ui->abort_requested != 0;
    if (!cancelled) {
        registry_clear(0);
        widgets_clear(0);
    }
    char text[1024];
    if (!error_message_text(context, cancelled, code, text, sizeof text))
        return;
    int top = 2 * title_bar(ui) + 20;
    if (code == ERR_MEDIA_OPEN && context.media_kind == MEDIA_KIND_LIVE)
        top = DIALOG_TOP;
    ScreenFn on_ok = ui->current_screen;
    if (code == ERR_NO_ACCOUNT || code == ERR_NO_CHANNELS)
        on_ok = g_home_screen;
    message_box(ui, ui->ui_surface, text, top, 0, on_ok);
}
