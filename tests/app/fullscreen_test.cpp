// The player's full-screen switch on a real X11 window (Xvfb, no window
// manager): the window covers the screen and comes back to its size; it
// stays put under always_fullscreen or without a native window.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdlib>

#include "app/app.h"
#include "app/app_state.h"
#include "platform/x11_window.h"
#include "tests/system/program_harness.h"

namespace {

std::pair<int, int> window_size()  // as the X server has it, after a moment to settle
{
    NativeWindow nw;
    native_window_get(&nw);
    int x, y, w = 0, h = 0;
    SDL_Delay(100);
    window_rect(nw, &x, &y, &w, &h);
    return {w, h};
}

TEST(PlayerFullscreen, CoversTheScreenComesBackAndKnowsWhenNotTo)
{
    harness::VirtualDisplay display(1280, 800);
    ASSERT_TRUE(display.ok());
    setenv("DISPLAY", display.name().c_str(), 1);
    int tries = 0;  // a fresh Xvfb now and then refuses the first connection
    while (SDL_Init(SDL_INIT_VIDEO) != 0 && ++tries < 5)
        SDL_Delay(200);
    ASSERT_LT(tries, 5) << SDL_GetError();
    ASSERT_NE(SDL_SetVideoMode(1000, 600, 32, SDL_RESIZABLE), nullptr);
    AppState* app = app_create();
    NativeWindow nw;
    ASSERT_TRUE(native_window_get(&nw));
    app->frame.native_window = nw.window;
    app->out.window_width = app->frame.saved_width = app->out.screen_width = 1000;
    app->out.window_height = app->frame.saved_height = app->out.screen_height = 600;

    for (int on : {1, 1, 0}) {  // switching on twice changes nothing more
        set_player_fullscreen(app, on);
        EXPECT_EQ(app->nav.player_fullscreen, on);
        EXPECT_EQ(window_size(), on ? std::make_pair(1280, 800) : std::make_pair(1000, 600));
    }
    app->settings.always_fullscreen = 1;
    set_player_fullscreen(app, 1);
    EXPECT_EQ(app->nav.player_fullscreen, 0);
    app->settings.always_fullscreen = 0;
    app->frame.native_window = 0;
    set_player_fullscreen(app, 1);
    EXPECT_EQ(app->nav.player_fullscreen, 0);
    app_destroy(app);
    SDL_Quit();
}

}  // namespace
