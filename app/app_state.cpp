#include "app/app_state.h"

#include <cstring>

int32_t screen_width = 0;
int32_t screen_height = 0;
int32_t last_error = 0;

namespace {

// The single-slot pool: the record is large, so it lives in static storage.
AppState g_app_slot;

}  // namespace

AppState* app_create()
{
    if (g_app_slot.flags & APP_IN_USE)
        return nullptr;
    std::memset(&g_app_slot, 0, sizeof(g_app_slot));
    g_app_slot.streamer_link_lock = SDL_CreateMutex();
    if (!g_app_slot.streamer_link_lock)
        return nullptr;
    g_app_slot.flags = APP_IN_USE;
    return &g_app_slot;
}

void app_destroy(AppState* app)
{
    if (!app || !(app->flags & APP_IN_USE))
        return;
    app->flags &= ~APP_IN_USE;
    SDL_DestroyMutex(app->streamer_link_lock);
    app->streamer_link_lock = nullptr;
}
