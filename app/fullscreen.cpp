#include "app/app.h"
#include "app/app_state.h"
#include "app/player.h"
#include "platform/x11_window.h"

namespace {

bool window_switchable(const AppState* app, NativeWindow* nw)
{
    return app->frame.native_window != 0 && !app->settings.always_fullscreen &&
           native_window_get(nw);
}

void remember_window_rect(AppState* app, const NativeWindow& nw)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (window_rect(nw, &x, &y, &w, &h))
        app->frame.window_rect = {static_cast<Sint16>(x), static_cast<Sint16>(y),
                                  static_cast<Uint16>(w), static_cast<Uint16>(h)};
}

}  // namespace

void set_player_fullscreen(AppState* app, int on)
{
    NativeWindow nw;
    if (app->nav.player_fullscreen == on || !window_switchable(app, &nw))
        return;
    app->nav.player_fullscreen = static_cast<uint8_t>(on);
    if (on) {
        app->frame.saved_width = app->out.window_width;
        app->frame.saved_height = app->out.window_height;
        int w = app->out.screen_width, h = app->out.screen_height;
        screen_metrics(&w, &h);
        remember_window_rect(app, nw);
        player_bar_layout(app, w, h);
        window_set_decorated(nw, false);
        window_move_resize(nw, 0, 0, w, h);
    } else {
        window_set_decorated(nw, true);
        window_move_resize(nw, app->frame.window_rect.x, app->frame.window_rect.y,
                           app->frame.saved_width, app->frame.saved_height);
    }
}
