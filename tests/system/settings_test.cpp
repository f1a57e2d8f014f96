// The settings screens in the whole program under Xvfb: an address typed on
// the network screen reaches "data/prefs.dat" at exit, and a user name kept
// for the run is gone after a restart while "Remember my login info" is off.
#include <gtest/gtest.h>

#include <string>

#include "platform/settings.h"
#include "program_fixture.h"

namespace {

using namespace harness;

// Where things are on a 1000 x 600 window.
constexpr int SETTINGS_TILE[2] = {170, 480};
constexpr int NETWORK_ENTRY[2] = {210, 240};
constexpr int ACCOUNT_ENTRY[2] = {210, 156};
constexpr int CONNECT_CHECK[2] = {44, 232};
constexpr int HOST_BOX[2] = {380, 311};  // near the right end: the caret goes after the text
constexpr int PORT_BOX[2] = {380, 391};
constexpr int USERNAME_BOX[2] = {380, 231};
constexpr int OK_BUTTON[2] = {944, 565};

class SettingsProgram : public ProgramTest {
protected:
    void quit()
    {
        ASSERT_TRUE(display_.close_window(id_));
        EXPECT_EQ(player_->wait_exit(), 0);
    }
    void click(const int (&at)[2]) { ProgramTest::click(at[0], at[1]); }
    void type(const std::string& text)
    {
        // The keys go to the window under the pointer, which the last click left there.
        display_.run("xdotool type --delay 40 '" + text + "' 2>/dev/null");
    }
    // The text OCR reads in the left pane now (dark on light, read as is).
    std::string pane_text() { return read_text(shot("pane.png"), 0, 70, LIST_W, 460, false); }
    // Whether the left pane comes to show `text` within 10 s.
    bool shows(const std::string& text)
    {
        return eventually([&] { return pane_text().find(text) != std::string::npos; }, 10);
    }
    void open_settings_entry(const int (&entry)[2], const char* shown)
    {
        click(SETTINGS_TILE);
        ASSERT_TRUE(shows("Streaming Options")) << "no settings menu";
        click(entry);
        ASSERT_TRUE(shows(shown)) << "no screen with " << shown;
    }
};

TEST_F(SettingsProgram, TypedAddressIsSavedAtExitAndAnUnrememberedLoginIsGoneAfterARestart)
{
    ASSERT_TRUE(write_settings(folder_, [](Settings& s) { s.remember_login = 0; }));
    start();
    open_settings_entry(NETWORK_ENTRY, "Connect with IP and port");
    click(CONNECT_CHECK);
    click(HOST_BOX);
    type("media-pc.lan");
    click(PORT_BOX);
    type("8100");
    click(OK_BUTTON);
    ASSERT_TRUE(shows("Account Settings")) << "Ok did not lead to the menu";

    click(ACCOUNT_ENTRY);
    ASSERT_TRUE(shows("Remember my login info"));
    click(USERNAME_BOX);
    type("alice");
    click(OK_BUTTON);
    ASSERT_TRUE(shows("Account Settings"));
    click(ACCOUNT_ENTRY);
    EXPECT_TRUE(shows("alice")) << "the user name was not kept for this run";
    quit();

    Settings saved;
    ASSERT_TRUE(read_settings(folder_, &saved));
    EXPECT_EQ(saved.connect_by_address, 1);
    EXPECT_STREQ(saved.streamer_host, "media-pc.lan");
    EXPECT_EQ(saved.streamer_port, 8100);

    start();
    open_settings_entry(ACCOUNT_ENTRY, "Remember my login info");
    // The screen is complete once its check box label reads, so one look suffices.
    EXPECT_EQ(pane_text().find("alice"), std::string::npos) << "the user name survived a restart";
    quit();
}

}  // namespace
