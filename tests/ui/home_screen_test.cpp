// The home screen drawn into a real interface surface: its tiles and corner
// buttons, exit, the account texts it keeps and the pending error it shows.
#include "tests/ui/ui_test_support.h"

#include <string>

#include "app/app.h"
#include "app/home.h"
#include "platform/result_codes.h"

namespace {

using namespace toolkit_test;

std::string g_message;
void remember_message(const char* text, int, int)
{
    g_message = text;
}

using Home = ToolkitTest;

TEST_F(Home, SixTilesAndCornerButtonsExitClearsThePlayRequestAndQuits)
{
    last_error = 0;
    show_home(app());
    EXPECT_EQ(app()->ui.current_screen, show_home);
    EXPECT_EQ(active_slots(), 8);
    for (const char* label :
         {"Local Media", "Remote Media", "DLNA/UPNP", "Settings", "Live Streaming", "Playlists"})
        EXPECT_TRUE(registered(label) && registered(label)->icon) << label;
    // The unlabelled corner buttons: help at the top right, exit at the top left.
    Widget* exit = nullptr;
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        if (Widget* w = registry_slots()[i].widget; registry_slots()[i].active && !w->label[0]) {
            EXPECT_EQ(w->images[0], artwork(w->x < 500 ? ART_STANDBY : ART_HELP));
            EXPECT_LT(w->y + w->height, 150);
            exit = w->x < 500 ? w : exit;
        }
    ASSERT_NE(exit, nullptr);
    app()->ui.play_requested = 1;
    click(exit);
    EXPECT_EQ(app()->ui.play_requested, 0);
    ASSERT_FALSE(g_queue.empty());
    EXPECT_EQ(g_queue.back().type, SDL_QUIT);
}

TEST_F(Home, KeepsTheAccountTextsTypedOnTheSettingsScreen)
{
    std::string long_name = std::string(30, 'n') + "\xC3\xA9";  // the accent would be cut in half
    screen_widgets[SCREEN_ACCOUNT_USERNAME] = create_edit_box(0, 0, 200, 40, long_name.c_str(),
                                                              nullptr, 0, 0);
    screen_widgets[SCREEN_ACCOUNT_PASSWORD] = create_edit_box(0, 50, 200, 40, "s3cret", nullptr, 0,
                                                              0);
    show_home(app());
    EXPECT_EQ(std::string(app()->settings.username), std::string(30, 'n'));
    EXPECT_STREQ(app()->settings.password, "s3cret");
    EXPECT_EQ(screen_widgets[SCREEN_ACCOUNT_USERNAME], nullptr);
    show_home(app());  // without the settings screen the stored texts stay
    EXPECT_STREQ(app()->settings.password, "s3cret");
}

TEST_F(Home, APendingErrorIsShownOnceAndWordedForTheNavigation)
{
    ui_set_message_box_observer(remember_message);
    g_message.clear();
    last_error = ERR_NO_NETWORK;
    show_home(app());
    EXPECT_EQ(last_error, 0);
    char expected[1024];
    ASSERT_TRUE(
        error_message_text(ErrorContext{}, false, ERR_NO_NETWORK, expected, sizeof expected));
    EXPECT_EQ(g_message, expected);
    g_message.clear();
    show_home(app());
    EXPECT_TRUE(g_message.empty());
    app()->nav.media_kind = MEDIA_KIND_LIVE;
    show_error(app(), ERR_MEDIA_OPEN);
    ASSERT_TRUE(error_message_text(ErrorContext{0, 0, MEDIA_KIND_LIVE}, false, ERR_MEDIA_OPEN,
                                   expected, sizeof expected));
    EXPECT_EQ(g_message, expected);
}

}  // namespace
