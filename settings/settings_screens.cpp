// The settings menu and its five screens, their setters and the checks of
// the numeric boxes.
#include "settings/settings_screens.h"

#include <initializer_list>

#include "platform/settings.h"
#include "settings/settings_internal.h"
#include "settings/settings_rules.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/text.h"

using namespace settings_ui;

namespace {

// ---- texts ---------------------------------------------------------------------------------

constexpr const char* ACCOUNT_TEXT =
    "Enter the username and the password you set up with Velmora Media Streamer below. This "
    "information is used to locate Velmora Media Streamer and authenticate the player to it.";
constexpr const char* NETWORK_TEXT =
    "The player automatically detects the IP address and the base port of Velmora Media "
    "Streamer. You can also manually enter the IP address and port by enabling the checkbox "
    "below.";
constexpr const char* PLAYER_TEXT =
    "Swipe to seek option lets you quickly seek into media using horizontal swipe on the "
    "screen. Large thumbnail option enables a preview image on the right pane.";
constexpr const char* ADVANCED_TEXT =
    "Seek fwd/bwd durations determine how much to skip from current playback position when "
    "seek buttons are pressed in player controls. Slide show period determines the time "
    "between photo switches.";
constexpr const char* STREAMING_TEXT =
    "Choose a stream quality or bitrate that your network can handle. If you get stalls, "
    "reduce the quality or the bitrate. Progressive download stores the media temporarily on "
    "the device and reduces the possibility of stalls.";

// ---- layout (pixels) -----------------------------------------------------------------------

constexpr int MENU_FIRST_Y = TITLE_BAR_HEIGHT + 60;
constexpr int MENU_GAP = 30;             // between the menu's buttons
constexpr int MENU_BUTTON_MARGIN = 106;  // "Menu" sits this far left of the right edge
constexpr int MENU_BUTTON_WIDTH = 100;
constexpr int MENU_BUTTON_Y = 8;
constexpr int ADVANCED_X = 100 + 11;  // right of "Back"
constexpr int ADVANCED_WIDTH = 100;
constexpr int DIALOG_PAD = 14;  // first control below the dialog's top edge
constexpr int ROW = 44;         // a check box row
constexpr int BOX_ROW = 50;     // an edit box row
constexpr int LABEL_ROW = 26;   // a label above its control
constexpr int SELECTOR_ROW = 52;
constexpr int BOX_HEIGHT = 40;
constexpr int LABEL_WIDTH = CONTENT_WIDTH - 50;  // beside a check box
constexpr int ACCOUNT_LABEL_WIDTH = 110;
constexpr int NUMBER_BOX_WIDTH = 100;
constexpr int NUMBER_BOX_LIMIT = 5;  // digits
constexpr int HOST_LIMIT = 127;
constexpr int ACCOUNT_LIMIT = 31;
constexpr int COLOUR_CELL = 30;

// ---- screen functions as the toolkit calls them --------------------------------------------

void menu_screen(AppState* app)
{
    show_settings_menu(app);
}
void account_screen(AppState* app)
{
    show_account_settings(app);
}
void network_screen(AppState* app)
{
    show_network_settings(app);
}
void player_screen(AppState* app)
{
    show_player_options(app);
}
void advanced_screen(AppState* app)
{
    show_advanced_player_options(app);
}
void streaming_screen(AppState* app)
{
    show_streaming_options(app);
}

template <ScreenFn Screen>
void go(AppState* app, RegistrySlot*)
{
    Screen(app);
}

void go_home(AppState* app, RegistrySlot*)
{
    if (installed().home)
        installed().home(app);
}

Settings& settings()
{
    return *installed().settings;
}

// ---- the boxes of the screen being left ----------------------------------------------------

const char* box_text(int place)
{
    const Widget* w = screen_widgets[place];
    return w && w->in_use && w->kind == WIDGET_EDIT_BOX ? w->edit.text : nullptr;
}

BoxTexts boxes_on_screen()
{
    BoxTexts t;
    t.host = box_text(SCREEN_NETWORK_HOST);
    t.port = box_text(SCREEN_NETWORK_PORT);
    t.username = box_text(SCREEN_ACCOUNT_USERNAME);
    t.password = box_text(SCREEN_ACCOUNT_PASSWORD);
    t.bitrate = box_text(SCREEN_STREAMING_BITRATE);
    t.seek_forward = box_text(SCREEN_SEEK_FORWARD);
    t.seek_backward = box_text(SCREEN_SEEK_BACKWARD);
    t.slideshow = box_text(SCREEN_SLIDESHOW);
    return t;
}

bool ready()
{
    return installed().settings && installed().ui;
}

int finish(ScreenFn self)
{
    installed().ui->current_screen = self;
    present(installed().ui);
    return 0;
}

// ---- setters -------------------------------------------------------------------------------

template <uint8_t Settings::*Field>
void set_from_state(AppState*, RegistrySlot* slot)
{
    if (slot && slot->widget)
        settings().*Field = slot->widget->state;
    present(installed().ui);
}

// Enables or disables the boxes at the given places and redraws them.
void enable_boxes(std::initializer_list<int> places, bool on)
{
    Surface* s = installed().ui->ui_surface;
    for (int place : places)
        if (Widget* box = screen_widgets[place]) {
            if (!on && focused_edit_box() == box)
                edit_unfocus();
            box->disabled = uint8_t(!on);
            widget_draw(s, box);
        }
}

void set_connect_by_address(AppState*, RegistrySlot* slot)
{
    if (slot && slot->widget)
        settings().connect_by_address = slot->widget->state;
    enable_boxes({SCREEN_NETWORK_HOST, SCREEN_NETWORK_PORT}, settings().connect_by_address != 0);
    present(installed().ui);
}

void set_custom_bitrate(AppState*, RegistrySlot* slot)
{
    if (slot && slot->widget)
        settings().custom_bitrate_enabled = slot->widget->state;
    enable_boxes({SCREEN_STREAMING_BITRATE}, settings().custom_bitrate_enabled != 0);
    present(installed().ui);
}

// ---- checks --------------------------------------------------------------------------------

// Shows the message of a failed check; the typed values of the screen's
// boxes are kept first (the failed one as its reset value), since the
// message box clears the screen.
void refuse(const char* message, ScreenFn back)
{
    commit_box_texts(&settings(), boxes_on_screen());
    message_box(installed().ui, installed().ui->ui_surface, message, CHECK_MESSAGE_TOP, 0, back);
}

bool box_value_ok(const RegistrySlot* slot, const NumberRange& range)
{
    uint32_t value = 0;
    return !slot || !slot->widget || number_in_range(slot->widget->edit.text, range, &value);
}

// ---- rows of controls ----------------------------------------------------------------------

struct Rows {
    Surface* s;
    int y;
    bool ok = true;

    void checkbox(uint8_t state, const char* label, SlotAction setter)
    {
        ok = ok && add_checkbox(s, CONTENT_X, y, state, label, LABEL_WIDTH, setter);
        y += ROW;
    }
    void label(const char* text)
    {
        if (ok)
            draw_label(s, text, CONTENT_X, y, CONTENT_WIDTH, LABEL_ROW);
        y += LABEL_ROW;
    }
    // A label with an edit box beside it, or below it when label_width is 0.
    Widget* box(const char* text, int label_width, int width, const char* value, int limit,
                SlotAction check, int place)
    {
        int x = CONTENT_X;
        if (label_width > 0) {
            if (ok)
                draw_label(s, text, CONTENT_X, y, label_width, BOX_HEIGHT);
            x += label_width;
        } else {
            label(text);
        }
        Widget* w = ok ? add_edit_box(s, x, y, width, BOX_HEIGHT, value, limit, check) : nullptr;
        ok = ok && w;
        if (w)
            screen_widgets[place] = w;
        y += BOX_ROW;
        return w;
    }
    Widget* digits_box(const char* text, uint32_t value, SlotAction check, int place)
    {
        char digits[16];
        number_text(value, false, digits, sizeof digits);
        Widget* w = box(text, CONTENT_WIDTH - NUMBER_BOX_WIDTH, NUMBER_BOX_WIDTH, digits,
                        NUMBER_BOX_LIMIT, check, place);
        if (w)
            w->edit.digits_only = 1;
        return w;
    }
    void selector(const char* text, const char* low, const char* high, uint8_t state,
                  SlotAction setter)
    {
        label(text);
        Widget* w = ok ? create_selector3(CONTENT_X, y, low, high,
                                          font_get(FONT_SET_MAIN, FONT_PRELUDE), TEXT_WHITE,
                                          TEXT_BLACK)
                       : nullptr;
        ok = ok && w;
        if (w) {
            w->state = state < 3 ? state : 2;
            w->save_under = 1;
            widget_draw(s, w);
            registry_add(w, SLOT_PRESS, setter);
        }
        y += SELECTOR_ROW;
    }
};

// A screen with the panel text and the dialog below it; rows start in it.
Rows dialog_screen(uint32_t title_top, const char* title, const char* text)
{
    Surface* s = begin_screen(0, title_top, title);
    if (!s)
        return Rows{nullptr, 0, false};
    int top = draw_panel(s, text);
    draw_dialog(s, top);
    return Rows{s, top + DIALOG_PAD};
}

}  // namespace

// ---- installation --------------------------------------------------------------------------

void settings_screens_install(Settings* s, UiState* ui, ScreenFn home)
{
    installed() = Installed{s, ui, home};
}

int settings_menu_open(Settings* s, UiState* ui, ScreenFn home)
{
    settings_screens_install(s, ui, home);
    return show_settings_menu(ui ? ui->owner : nullptr);
}

// ---- screens -------------------------------------------------------------------------------

int show_settings_menu(AppState*)
{
    if (!ready())
        return -1;
    commit_box_texts(&settings(), boxes_on_screen());
    Surface* s = begin_screen(1, TITLE_TOP, "Settings");
    if (!s)
        return -1;
    if (!add_button(s, s->w - MENU_BUTTON_MARGIN, MENU_BUTTON_Y, MENU_BUTTON_WIDTH, "Menu",
                    go_home))
        return -1;
    struct Entry {
        const char* label;
        SlotAction action;
    };
    const Entry entries[] = {
        {"Account Settings", go<account_screen>},
        {"Network Settings", go<network_screen>},
        {"Player Options", go<player_screen>},
        {"Streaming Options", go<streaming_screen>},
    };
    Surface* art = artwork(ART_BUTTON);
    const int bw = art ? art->w : MENU_BUTTON_WIDTH;
    const int bh = art ? art->h : 0;
    for (int i = 0; i < 4; ++i)
        if (!add_button(s, (PANE_WIDTH - bw) / 2, MENU_FIRST_Y + i * (bh + MENU_GAP), bw,
                        entries[i].label, entries[i].action))
            return -1;
    return finish(menu_screen);
}

int show_account_settings(AppState*)
{
    if (!ready())
        return -1;
    Rows r = dialog_screen(TITLE_TOP, "Account Settings", ACCOUNT_TEXT);
    const Settings& st = settings();
    r.box("Username:", ACCOUNT_LABEL_WIDTH, CONTENT_WIDTH - ACCOUNT_LABEL_WIDTH, st.username,
          ACCOUNT_LIMIT, nullptr, SCREEN_ACCOUNT_USERNAME);
    Widget* password = r.box("Password:", ACCOUNT_LABEL_WIDTH, CONTENT_WIDTH - ACCOUNT_LABEL_WIDTH,
                             st.password, ACCOUNT_LIMIT, nullptr, SCREEN_ACCOUNT_PASSWORD);
    if (password) {
        password->edit.password_mode = 2;
        widget_draw(r.s, password);
    }
    r.checkbox(st.remember_login, "Remember my login info",
               set_from_state<&Settings::remember_login>);
    if (!r.ok || !add_back_and_ok(r.s, go<menu_screen>, go<menu_screen>))
        return -1;
    return finish(account_screen);
}

int show_network_settings(AppState*)
{
    if (!ready())
        return -1;
    Rows r = dialog_screen(TITLE_TOP, "Network Settings", NETWORK_TEXT);
    const Settings& st = settings();
    r.checkbox(st.connect_by_address, "Connect with IP and port", set_connect_by_address);
    Widget* host = r.box("Streamer IP/Hostname:", 0, CONTENT_WIDTH, st.streamer_host, HOST_LIMIT,
                         nullptr, SCREEN_NETWORK_HOST);
    char port_text[16];
    number_text(st.streamer_port > 0 ? uint32_t(st.streamer_port) : 0, true, port_text,
                sizeof port_text);
    Widget* port = r.box("Streamer Base Port:", 0, CONTENT_WIDTH, port_text, NUMBER_BOX_LIMIT,
                         nullptr, SCREEN_NETWORK_PORT);
    if (!r.ok || !add_back_and_ok(r.s, go<menu_screen>, go<menu_screen>))
        return -1;
    for (Widget* box : {host, port}) {
        box->disabled = uint8_t(!st.connect_by_address);
        widget_draw(r.s, box);
    }
    return finish(network_screen);
}

int show_player_options(AppState*)
{
    if (!ready())
        return -1;
    commit_box_texts(&settings(), boxes_on_screen());
    Rows r = dialog_screen(TITLE_TOP_PLAYER, "Player Options", PLAYER_TEXT);
    const Settings& st = settings();
    r.checkbox(st.auto_hide_controls, "Auto hide player controls",
               set_from_state<&Settings::auto_hide_controls>);
    r.checkbox(st.large_thumbnails, "Show large thumbnails",
               set_from_state<&Settings::large_thumbnails>);
    r.checkbox(st.swipe_to_seek, "Enable swipe to seek", set_from_state<&Settings::swipe_to_seek>);
    r.selector("Subtitle size:", "Small", "Large", st.subtitle_size,
               set_from_state<&Settings::subtitle_size>);
    r.checkbox(st.subtitle_transparent_bg, "Transparent subtitle background",
               set_from_state<&Settings::subtitle_transparent_bg>);
    r.label("Subtitle color:");
    Widget* colours = r.ok ? create_colour_picker(CONTENT_X + 4, r.y + 4, COLOUR_CELL, COLOUR_CELL)
                           : nullptr;
    if (!colours)
        return -1;
    colours->state = st.subtitle_color < COLOUR_PICKER_CELLS ? st.subtitle_color : 0;
    colours->save_under = 1;
    widget_draw(r.s, colours);
    registry_add(colours, SLOT_PRESS, set_from_state<&Settings::subtitle_color>);
    if (!add_back_and_ok(r.s, go<menu_screen>, go<menu_screen>) ||
        !add_button(r.s, ADVANCED_X, bottom_bar_y(r.s) + 8, ADVANCED_WIDTH, "Advanced",
                    go<advanced_screen>))
        return -1;
    return finish(player_screen);
}

int show_advanced_player_options(AppState*)
{
    if (!ready())
        return -1;
    Rows r = dialog_screen(TITLE_TOP, "Advanced Player Options", ADVANCED_TEXT);
    const Settings& st = settings();
    r.digits_box("Seek fwd duration (secs):", st.seek_forward_secs, check_seek_duration,
                 SCREEN_SEEK_FORWARD);
    r.digits_box("Seek bwd duration (secs):", st.seek_backward_secs, check_seek_duration,
                 SCREEN_SEEK_BACKWARD);
    r.digits_box("Slide show period (secs):", st.slideshow_secs, check_slideshow_period,
                 SCREEN_SLIDESHOW);
    r.checkbox(st.hide_extensions, "Hide file extensions in file list",
               set_from_state<&Settings::hide_extensions>);
    r.checkbox(st.always_fullscreen, "Always run fullscreen (requires restart of app)",
               set_from_state<&Settings::always_fullscreen>);
    if (!r.ok || !add_back_and_ok(r.s, go<player_screen>, go<player_screen>))
        return -1;
    return finish(advanced_screen);
}

int show_streaming_options(AppState*)
{
    if (!ready())
        return -1;
    Rows r = dialog_screen(TITLE_TOP, "Streaming Options", STREAMING_TEXT);
    const Settings& st = settings();
    r.checkbox(st.progressive_download, "Enable progressive download",
               set_from_state<&Settings::progressive_download>);
    const int row_y = r.y;
    r.checkbox(st.custom_bitrate_enabled, "Custom bitrate (kbps):", set_custom_bitrate);
    r.y = row_y;
    Widget* bitrate = r.digits_box("", st.custom_bitrate_kbps, check_bitrate,
                                   SCREEN_STREAMING_BITRATE);
    r.selector("Stream quality:", "Low", "High", st.stream_quality,
               set_from_state<&Settings::stream_quality>);
    if (!r.ok || !add_back_and_ok(r.s, go<menu_screen>, go<menu_screen>))
        return -1;
    bitrate->disabled = uint8_t(!st.custom_bitrate_enabled);
    widget_draw(r.s, bitrate);
    return finish(streaming_screen);
}

// ---- checks --------------------------------------------------------------------------------

void check_bitrate(AppState*, RegistrySlot* slot)
{
    if (ready() && !box_value_ok(slot, BITRATE_RANGE))
        refuse(BITRATE_MESSAGE, streaming_screen);
}

void check_seek_duration(AppState*, RegistrySlot* slot)
{
    if (ready() && !box_value_ok(slot, SEEK_RANGE))
        refuse(DURATION_MESSAGE, advanced_screen);
}

void check_slideshow_period(AppState*, RegistrySlot* slot)
{
    if (ready() && !box_value_ok(slot, SLIDESHOW_RANGE))
        refuse(DURATION_MESSAGE, advanced_screen);
}
