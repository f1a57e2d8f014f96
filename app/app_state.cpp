#include "app/app_state.h"

#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define SLOT_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define SLOT_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define SLOT_POISON(p, n) ((void)(p), (void)(n))
#define SLOT_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

int32_t last_error = 0;

namespace {

// The single-slot pool: the record is large, so it lives in static storage
// and is built in place. A released slot is wiped and, under
// AddressSanitizer, poisoned, so any use of the record after app_destroy
// (a handle freed too late in shutdown) is caught instead of reading stale
// values.
alignas(AppState) unsigned char g_app_storage[sizeof(AppState)];
AppState* g_app = nullptr;

}  // namespace

AppState* app_create()
{
    if (g_app)
        return nullptr;
    SLOT_UNPOISON(g_app_storage, sizeof(g_app_storage));
    auto* app = new (g_app_storage) AppState{};
    app->frame.streamer_link_lock = SDL_CreateMutex();
    if (!app->frame.streamer_link_lock || !browser_list_create(&app->browser.list)) {
        if (app->frame.streamer_link_lock)
            SDL_DestroyMutex(app->frame.streamer_link_lock);
        app->~AppState();
        SLOT_POISON(g_app_storage, sizeof(g_app_storage));
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
    browser_list_free(&app->browser.list);
    browser_list_free(&app->browser.saved_list);
    app->~AppState();
    std::memset(g_app_storage, 0, sizeof(g_app_storage));
    SLOT_POISON(g_app_storage, sizeof(g_app_storage));
    g_app = nullptr;
}
