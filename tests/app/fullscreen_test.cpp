// The player's full-screen switch on a real X11 window (Xvfb, no window
// manager): the window covers the screen and comes back to its size.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdlib>

#include "app/app.h"
#include "app/app_state.h"
#include "platform/x11_window.h"
#include "tests/system/program_harness.h"

namespace {

class PlayerFullscreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display_.ok());
        setenv("DISPLAY", display_.name().c_str(), 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(SDL_SetVideoMode(1000, 600, 32, SDL_RESIZABLE), nullptr);
        app_ = app_create();
        ASSERT_NE(app_, nullptr);
        NativeWindow nw;
        ASSERT_TRUE(native_window_get(&nw));
        app_->frame.native_window = nw.window;
        app_->out.window_width = app_->frame.saved_width = 1000;
        app_->out.window_height = app_->frame.saved_height = 600;
        screen_width = 1000;
        screen_height = 600;
    }
    void TearDown() override
    {
        app_destroy(app_);
        SDL_Quit();
    }
    void size(int* w, int* h)
    {
        NativeWindow nw;
        native_window_get(&nw);
        int x, y;
        SDL_Delay(100);
        window_rect(nw, &x, &y, w, h);
    }
    harness::VirtualDisplay display_{1280, 800};
    AppState* app_ = nullptr;
};

TEST_F(PlayerFullscreen, CoversTheScreenAndComesBack)
{
    set_player_fullscreen(app_, 1);
    EXPECT_EQ(app_->nav.player_fullscreen, 1);
    int w = 0, h = 0;
    size(&w, &h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 800);

    set_player_fullscreen(app_, 1);  // already on: nothing changes
    set_player_fullscreen(app_, 0);
    EXPECT_EQ(app_->nav.player_fullscreen, 0);
    size(&w, &h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 600);
}

TEST_F(PlayerFullscreen, DoesNothingUnderAlwaysFullscreenOrWithoutAWindow)
{
    app_->settings.always_fullscreen = 1;
    set_player_fullscreen(app_, 1);
    EXPECT_EQ(app_->nav.player_fullscreen, 0);
    app_->settings.always_fullscreen = 0;
    app_->frame.native_window = 0;
    set_player_fullscreen(app_, 1);
    EXPECT_EQ(app_->nav.player_fullscreen, 0);
}

}  // namespace
