// The home screen drawn into a real interface surface: its widgets and where
// they sit, the account texts it keeps, and the pending error it shows.
#include "toolkit_fixture.h"

#include <map>
#include <string>

#include "app/app.h"
#include "app/home.h"
#include "platform/result_codes.h"

namespace {

using namespace toolkit_test;

std::string g_message;
void remember_message(const char* text, int, int) { g_message = text; }

class Home : public ToolkitTest {
protected:
    std::map<std::string, Widget*> registered_buttons()
    {
        std::map<std::string, Widget*> out;
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            const RegistrySlot& slot = registry_slots()[i];
            if (slot.active && slot.widget)
                out[slot.widget->label[0] ? slot.widget->label : (slot.widget->x < 500 ? "exit" : "help")] =
                    slot.widget;
        }
        return out;
    }
};

TEST_F(Home, SixTilesInTwoRowsAndTheTwoCornerButtons)
{
    last_error = 0;
    show_home(app());
    EXPECT_EQ(app()->ui.current_screen, show_home);
    auto buttons = registered_buttons();
    ASSERT_EQ(buttons.size(), 8u);
    // Three tiles a row, evenly spaced, icons centred 10 pixels from their top.
    const char* labels[6] = {"Local Media", "Remote Media", "DLNA/UPNP", "Settings", "Live Streaming", "Playlists"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(buttons.count(labels[i])) << labels[i];
        Widget* tile = buttons[labels[i]];
        EXPECT_EQ(tile->y, i < 3 ? 150 : 400) << labels[i];
        EXPECT_EQ(tile->x, buttons[labels[i % 3]]->x) << labels[i];
        if (i % 3) {
            EXPECT_EQ(tile->x - buttons[labels[i - 1]]->x, 1000 / 3) << labels[i];
        }
        ASSERT_NE(tile->icon, nullptr);
        EXPECT_EQ(tile->icon_x, (tile->width - tile->icon->w) / 2);
        EXPECT_EQ(tile->icon_y, 10);
    }
    EXPECT_EQ(buttons["Local Media"]->icon, artwork(ART_MOVIE));
    EXPECT_EQ(buttons["Playlists"]->icon, artwork(ART_FAVS));
    EXPECT_EQ(buttons["exit"]->x, 25);
    EXPECT_EQ(buttons["exit"]->y, 10);
    EXPECT_EQ(buttons["exit"]->images[0], artwork(ART_STANDBY));
    EXPECT_EQ(buttons["help"]->x, 1000 - artwork(ART_HELP)->w - 25);
    EXPECT_EQ(buttons["help"]->images[0], artwork(ART_HELP));
    char url[256];
    help_page_url(url, sizeof url);
    EXPECT_STREQ(url, "https://velmora.example/site/docs/vlmp_0_3_0/vlmph.html");
}

TEST_F(Home, ExitClearsThePlayRequestAndPostsQuit)
{
    show_home(app());
    Widget* exit = registered_buttons()["exit"];
    app()->ui.play_requested = 1;
    click(exit);
    EXPECT_EQ(app()->ui.play_requested, 0);
    ASSERT_FALSE(g_queue.empty());
    EXPECT_EQ(g_queue.back().type, SDL_QUIT);
}

TEST_F(Home, KeepsTheAccountTextsTypedOnTheSettingsScreen)
{
    std::string long_name = std::string(30, 'n') + "\xC3\xA9";   // the accent would be cut in half
    Widget* user = create_edit_box(0, 0, 200, 40, long_name.c_str(), nullptr, 0, 0);
    Widget* pass = create_edit_box(0, 50, 200, 40, "s3cret", nullptr, 0, 0);
    screen_widgets[SCREEN_ACCOUNT_USERNAME] = user;
    screen_widgets[SCREEN_ACCOUNT_PASSWORD] = pass;
    show_home(app());
    EXPECT_EQ(std::string(app()->settings.username), std::string(30, 'n'));
    EXPECT_STREQ(app()->settings.password, "s3cret");
    EXPECT_EQ(screen_widgets[SCREEN_ACCOUNT_USERNAME], nullptr);
    // Without the settings screen the stored texts stay.
    show_home(app());
    EXPECT_STREQ(app()->settings.password, "s3cret");
}

TEST_F(Home, APendingErrorIsShownOnceAndReset)
{
    ui_set_message_box_observer(remember_message);
    g_message.clear();
    last_error = ERR_NO_NETWORK;
    show_home(app());
    EXPECT_EQ(last_error, 0);
    char expected[1024];
    ASSERT_TRUE(error_message_text(ErrorContext{}, false, ERR_NO_NETWORK, expected, sizeof expected));
    EXPECT_EQ(g_message, expected);
    g_message.clear();
    show_home(app());
    EXPECT_TRUE(g_message.empty());
    // The error is worded for the application's navigation.
    app()->nav.media_kind = MEDIA_KIND_LIVE;
    show_error(app(), ERR_MEDIA_OPEN);
    ASSERT_TRUE(error_message_text(ErrorContext{0, 0, MEDIA_KIND_LIVE}, false, ERR_MEDIA_OPEN, expected,
                                   sizeof expected));
    EXPECT_EQ(g_message, expected);
}

}  // namespace
