#include "app/streamer_source.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "app/app_state.h"
#include "browser/media_types.h"
#include "platform/result_codes.h"
#include "streamer/remote.h"

namespace {

// Set by start-up before any list worker runs; read by the workers.
StreamerLink* g_link = nullptr;
std::mutex g_command_lock;

}  // namespace

void streamer_link_start(AppState* app)
{
    link_attach(&app->link, &app->flags, &app->settings, &app->ui.abort_requested,
                app->frame.streamer_link_lock);
    g_link = &app->link;
}

std::mutex& streamer_command_lock()
{
    return g_command_lock;
}

void streamer_link_stop(AppState* app)
{
    if (app->link.lock)
        link_disconnect(&app->link);
    g_link = nullptr;
}

int streamer_source_fill(BrowserList* list, const FillRequest* request)
{
    if (!g_link)
        return ERR_GENERIC;
    const bool subtitles = request->filter && std::strcmp(request->filter, FILTER_SUBTITLES) == 0;
    std::vector<uint8_t> listing;
    std::unique_lock<std::mutex> exchange(g_command_lock);
    const int rc = remote_folder_list(g_link, request->path, subtitles, &listing);
    exchange.unlock();
    if (rc != 0)
        return rc;
    remote_listing_parse(list, request->path, request->filter, listing.data(), listing.size());
    return 0;
}
