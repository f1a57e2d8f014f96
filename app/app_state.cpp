#include "app/app_state.h"

#include <new>

int32_t last_error = 0;

namespace {

// The single-slot pool: the record is large, so it lives in static storage
// and is built in place.
alignas(AppState) unsigned char g_app_storage[sizeof(AppState)];
AppState* g_app = nullptr;

}  // namespace

AppState* app_create()
{
    if (g_app)
        return nullptr;
    auto* app = new (g_app_storage) AppState{};
    app->frame.streamer_link_lock = SDL_CreateMutex();
    if (!app->frame.streamer_link_lock) {
        app->~AppState();
        return nullptr;
    }
    flags_set(&app->flags, APP_IN_USE);
    g_app = app;
    return app;
}

void app_destroy(AppState* app)
{
    if (!app || app != g_app)
        return;
    flags_clear(&app->flags, APP_IN_USE);
    SDL_DestroyMutex(app->frame.streamer_link_lock);
    app->frame.streamer_link_lock = nullptr;
    app->~AppState();
    g_app = nullptr;
}
