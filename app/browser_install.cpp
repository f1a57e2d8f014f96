// The browser's wiring at start-up: its list sources, the play-request and
// thumbnail hooks, and the library view's screen.
#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/browser_screen.h"
#include "app/home.h"
#include "app/listener.h"
#include "app/streamer_source.h"
#include "app/upnp_source.h"
#include "browser/listing.h"
#include "browser/playlist_fill.h"
#include "platform/result_codes.h"
#include "subtitles/charset.h"
#include "ui/events.h"

namespace {

// A URL sent to the player plays as an item of the local media list; the
// local list is shown when it ends.
void honour_play_request(AppState* app)
{
    listener_honour_request(app);
    if (!app->ui.play_requested)
        return;
    app->browser.list_source = SOURCE_LOCAL;
    app->browser.playing_from_list = 0;
    app->now.slideshow = 0;
    app->nav.play_to_active = 0;  // a URL sent here plays here
    app->ui.current_screen = show_local_media;
}

// The library view shows the screen the player was started from.
void library_screen(AppState* app)
{
    if (app->ui.current_screen == browser_screen_draw)
        browser_screen_draw(app);
    else
        show_home(app);
}

// The character-set picker's rows: the sets subtitles can be read in.
int charset_rows(BrowserList* list, const FillRequest*)
{
    for (const char* name : subtitle_charsets())
        if (!browser_list_add_row(list, ENTRY_FILE, name, ""))
            return ERR_OUT_OF_MEMORY;
    return 0;
}

}  // namespace

void browser_install(AppState* app)
{
    app->browser.highlighted_row = -1;
    app->player.library_screen = library_screen;
    ui_set_play_request_handler(honour_play_request);
    ui_set_thumbnail_hook(browser_thumbnails_ready);
    playlist_fill_bind(&app->playlists);
    BrowserSources sources{};
    sources.playlists = playlist_source_list;
    sources.playlist_items = playlist_source_items;
    sources.charsets = charset_rows;
    sources.upnp = upnp_source_fill;
    sources.remote = streamer_source_fill;
    sources.renderers = upnp_renderer_rows;
    browser_set_sources(sources);
    upnp_source_set_cancel(&app->ui.abort_requested);
}
