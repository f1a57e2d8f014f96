// The settings screens drawn into a real interface surface and driven with
// pointer and key events: the checks while typing, the address boxes that
// follow their check box, and what leaving a screen writes.
#include "tests/ui/ui_test_support.h"

#include <string>

#include "settings/settings_screens.h"

namespace {

using namespace toolkit_test;

std::string g_message;
int g_message_top;
void remember_message(const char* text, int top, int)
{
    g_message = text;
    g_message_top = top;
}

void no_home(AppState*) {}

class SettingsScreens : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        settings_set_defaults(&app()->settings);
        settings_screens_install(&app()->settings, ui(), no_home);
        ui_set_message_box_observer(remember_message);
        g_message.clear();
    }
    static Widget* box(int place) { return screen_widgets[place]; }
    // Puts the caret at the end of a box's text by clicking near its right edge.
    void click_end(const Widget* w) { click(w->x + w->width - 8, w->y + w->height / 2); }
    void type_digit(char d) { type(SDLKey(SDLK_0 + (d - '0')), Uint16(d)); }
    void type_text(const char* text)
    {
        for (const char* p = text; *p; ++p)
            type(SDLKey(*p), Uint16(*p));
    }
};

TEST_F(SettingsScreens, ZeroAsTheFirstDigitResetsThatBoxToTenKeepsTheOthersAndExplains)
{
    struct Case {
        int place;
        uint16_t Settings::*field;
        int other_place;  // typed into first: "5" after its value
        uint16_t Settings::*other;
    };
    const Case cases[] = {
        {SCREEN_SEEK_FORWARD, &Settings::seek_forward_secs, SCREEN_SEEK_BACKWARD,
         &Settings::seek_backward_secs},
        {SCREEN_SEEK_BACKWARD, &Settings::seek_backward_secs, SCREEN_SLIDESHOW,
         &Settings::slideshow_secs},
        {SCREEN_SLIDESHOW, &Settings::slideshow_secs, SCREEN_SEEK_FORWARD,
         &Settings::seek_forward_secs},
    };
    for (const Case& c : cases) {
        Settings& s = app()->settings;
        s.seek_forward_secs = 40;
        s.seek_backward_secs = 50;
        s.slideshow_secs = 60;
        const int other_before = s.*c.other;
        ASSERT_EQ(show_advanced_player_options(app()), 0);
        click_end(box(c.other_place));
        type_digit('5');
        Widget* target = box(c.place);
        target->edit.text[0] = '\0';  // as if cleared
        click_end(target);
        g_message.clear();
        type_digit('0');
        EXPECT_EQ(g_message, DURATION_MESSAGE);
        EXPECT_EQ(g_message_top, CHECK_MESSAGE_TOP);
        EXPECT_EQ(s.*c.field, 10);
        EXPECT_EQ(s.*c.other, other_before * 10 + 5) << "the other box's typing was lost";
        // OK shows the screen again from the settings.
        ASSERT_NE(registered("OK"), nullptr);
        click(registered("OK"));
        ASSERT_NE(box(c.place), nullptr);
        EXPECT_STREQ(box(c.place)->edit.text, "10");
    }
}

TEST_F(SettingsScreens, ABitrateAbove3000ResetsTo3000WithTheMessageAnd3000IsKept)
{
    const struct {
        char digit;
        bool refused;
    } cases[] = {{'1', true}, {'0', false}};
    for (const auto& c : cases) {
        app()->settings.custom_bitrate_kbps = 300;
        ASSERT_EQ(show_streaming_options(app()), 0);
        click_end(box(SCREEN_STREAMING_BITRATE));
        g_message.clear();
        type_digit(c.digit);
        EXPECT_EQ(g_message, c.refused ? BITRATE_MESSAGE : "");
        // OK after the message shows the screen again; Ok writes the box back.
        click(registered(c.refused ? "OK" : "Ok"));
        EXPECT_EQ(app()->settings.custom_bitrate_kbps, 3000u) << c.digit;
        if (c.refused) {
            EXPECT_STREQ(box(SCREEN_STREAMING_BITRATE)->edit.text, "3000");
        }
    }
}

TEST_F(SettingsScreens, ConnectWithIpAndPortTurnsBothAddressBoxesOnAndOffTogether)
{
    app()->settings.connect_by_address = 0;
    ASSERT_EQ(show_network_settings(app()), 0);
    Widget* host = box(SCREEN_NETWORK_HOST);
    Widget* port = box(SCREEN_NETWORK_PORT);
    ASSERT_TRUE(host && port);
    EXPECT_TRUE(host->disabled && port->disabled);
    click(host);
    EXPECT_EQ(focused_edit_box(), nullptr) << "a disabled box took the focus";

    Widget* check = nullptr;
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (registry_slots()[i].active && registry_slots()[i].widget->kind == WIDGET_CHECKBOX)
            check = registry_slots()[i].widget;
    ASSERT_NE(check, nullptr);
    click(check);
    EXPECT_EQ(app()->settings.connect_by_address, 1);
    EXPECT_FALSE(host->disabled || port->disabled);

    click_end(host);
    type_text("pc.lan");
    click_end(port);
    type_text("70000");
    click(check);  // off again: both at once, and the focus goes
    EXPECT_EQ(app()->settings.connect_by_address, 0);
    EXPECT_TRUE(host->disabled && port->disabled);
    EXPECT_EQ(focused_edit_box(), nullptr);

    app()->settings.streamer_port = 9000;
    click(registered("Ok"));
    EXPECT_STREQ(app()->settings.streamer_host, "pc.lan");
    EXPECT_EQ(app()->settings.streamer_port, 0) << "70000 names no port";
    EXPECT_EQ(box(SCREEN_NETWORK_HOST), nullptr);
}

}  // namespace
