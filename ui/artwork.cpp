#include "ui/artwork.h"

#include <utility>

#include "ui/text.h"

namespace {

constexpr const char* ART_FILES[ART_COUNT] = {"images/background-tall.png",
                                              "images/background2.png",
                                              "images/background3.png",
                                              "images/panel.png",
                                              "images/playerbar-wide.png",
                                              "images/thumb.png",
                                              "images/thumbp.png",
                                              "images/uparrow.png",
                                              "images/downarrow.png",
                                              "images/slider-left.png",
                                              "images/slider-middle.png",
                                              "images/slider-right.png",
                                              "images/playl.png",
                                              "images/playlp.png",
                                              "images/stop.png",
                                              "images/stopp.png",
                                              "images/shuffle.png",
                                              "images/shufflep.png",
                                              "images/repeatallp.png",
                                              "images/repeat.png",
                                              "images/repeatp.png",
                                              "images/lock.png",
                                              "images/lockp.png",
                                              "images/ar.png",
                                              "images/fullscreen.png",
                                              "images/libraryview.png",
                                              "images/record.png",
                                              "images/recordp.png",
                                              "images/volon.png",
                                              "images/volonp.png",
                                              "images/voloff.png",
                                              "images/voloffp.png",
                                              "images/pausel.png",
                                              "images/pauselp.png",
                                              "images/stoprec.png",
                                              "images/stoprecp.png",
                                              "images/skipback.png",
                                              "images/skipbackp.png",
                                              "images/skipfwd.png",
                                              "images/skipfwdp.png",
                                              "images/jumpfwd.png",
                                              "images/jumpfwdp.png",
                                              "images/jumpback.png",
                                              "images/jumpbackp.png",
                                              "images/button.png",
                                              "images/button-pressed.png",
                                              "images/square-button.png",
                                              "images/square-buttonp.png",
                                              "images/movie.png",
                                              "images/settings.png",
                                              "images/tv.png",
                                              "images/favs.png",
                                              "images/remote.png",
                                              "images/upnp.png",
                                              "images/help.png",
                                              "images/helpp.png",
                                              "images/standby.png",
                                              "images/standbyp.png",
                                              "images/sel-1-2.png",
                                              "images/sel-2-2.png",
                                              "images/sel-1-3.png",
                                              "images/sel-2-3.png",
                                              "images/sel-3-3.png",
                                              "images/editbox.png",
                                              "images/editbox-sel.png",
                                              "images/spinner-1.png",
                                              "images/spinner-2.png",
                                              "images/spinner-3.png",
                                              "images/spinner-4.png",
                                              "images/spinner-5.png",
                                              "images/spinner-6.png",
                                              "images/spinner-7.png",
                                              "images/spinner-8.png",
                                              "images/dialog.png",
                                              "images/checkbox.png",
                                              "images/checkbox-sel.png"};
static_assert(ART_FILES[ART_CHECKBOX_SEL] != nullptr, "one file per artwork entry");

Surface* g_art[ART_COUNT];

// Scales *image to width x height unless it already has that size.
bool fit(SurfacePtr& image, int width, int height)
{
    if (image->w == width && image->h == height)
        return true;
    Surface* scaled = scale_surface(image.get(), width, height);
    if (!scaled)
        return false;
    (void)image.release();  // freed by scale_surface
    image.reset(scaled);
    return true;
}

// Draws the seek track into the player bar: left cap at SEEK_TRACK_X,
// middle pieces every 8 pixels, right cap where they end; knob_height
// places it vertically.
void draw_seek_track(Surface* bar, Surface* left, Surface* middle, Surface* right, int knob_height)
{
    const int y = knob_height / 2 - 20;
    const int end = (bar->w - SEEK_TRACK_RIGHT_MARGIN) - 8;
    blit_alpha(bar, left, SEEK_TRACK_X, y);
    int x = SEEK_TRACK_X + 8;
    for (; x < end; x += 8)
        blit_alpha(bar, middle, x, y);
    blit_alpha(bar, right, x, y);
}

// The player bar for a window: loaded, fitted to `length` wide, with its
// seek track.
Surface* make_player_bar(int length, int knob_height)
{
    SurfacePtr bar(load_image(ART_FILES[ART_PLAYERBAR]));
    SurfacePtr left(load_image(ART_FILES[ART_SLIDER_LEFT]));
    SurfacePtr middle(load_image(ART_FILES[ART_SLIDER_MIDDLE]));
    SurfacePtr right(load_image(ART_FILES[ART_SLIDER_RIGHT]));
    if (!bar || !left || !middle || !right || !fit(bar, length, bar->h))
        return nullptr;
    draw_seek_track(bar.get(), left.get(), middle.get(), right.get(), knob_height);
    return bar.release();
}

}  // namespace

const char* artwork_path(ArtId id)
{
    return id >= 0 && id < ART_COUNT ? ART_FILES[id] : nullptr;
}

Surface* artwork(ArtId id)
{
    return id >= 0 && id < ART_COUNT ? g_art[id] : nullptr;
}

void artwork_set(ArtId id, Surface* image)
{
    if (id < 0 || id >= ART_COUNT) {
        surface_free(image);
        return;
    }
    if (g_art[id] != image)
        surface_free(g_art[id]);
    g_art[id] = image;
}

int load_artwork_and_fonts(int screen_width, int screen_height)
{
    for (int i = 0; i < ART_COUNT; ++i) {
        g_art[i] = load_image(ART_FILES[i]);
        if (!g_art[i]) {
            free_artwork_and_fonts();
            return -1;
        }
    }
    SurfacePtr background(std::exchange(g_art[ART_BACKGROUND2], nullptr));
    SurfacePtr bar(std::exchange(g_art[ART_PLAYERBAR], nullptr));
    const bool scaled = screen_width < 1 || screen_height < 1 ||
                        (fit(background, screen_width, screen_height) &&
                         fit(bar, screen_width, bar->h));
    g_art[ART_BACKGROUND2] = background.release();
    g_art[ART_PLAYERBAR] = bar.release();
    if (!scaled) {
        free_artwork_and_fonts();
        return -1;
    }
    draw_seek_track(g_art[ART_PLAYERBAR], g_art[ART_SLIDER_LEFT], g_art[ART_SLIDER_MIDDLE],
                    g_art[ART_SLIDER_RIGHT], g_art[ART_THUMB]->h);
    for (ArtId piece : {ART_SLIDER_LEFT, ART_SLIDER_MIDDLE, ART_SLIDER_RIGHT})
        artwork_set(piece, nullptr);
    if (fonts_open() != 0) {
        free_artwork_and_fonts();
        return -1;
    }
    return 0;
}

void free_artwork_and_fonts()
{
    for (Surface*& image : g_art) {
        surface_free(image);
        image = nullptr;
    }
    fonts_close();
}

int artwork_fit_window(int width, int height, bool portrait)
{
    if (width < 1 || height < 1 || !g_art[ART_THUMB])
        return -1;
    SurfacePtr bar(make_player_bar(portrait ? height : width, g_art[ART_THUMB]->h));
    SurfacePtr wide(load_image(ART_FILES[ART_BACKGROUND2]));
    SurfacePtr tall(load_image(ART_FILES[ART_BACKGROUND_TALL]));
    SurfacePtr dialog(load_image(ART_FILES[ART_BACKGROUND3]));
    const int tall_w = width < height ? width : height;
    const int tall_h = width < height ? height : width;
    if (!bar || !wide || !tall || !dialog || !fit(wide, width, height) ||
        !fit(tall, tall_w, tall_h) || !fit(dialog, width, height))
        return -1;
    artwork_set(ART_PLAYERBAR, bar.release());
    artwork_set(ART_BACKGROUND2, wide.release());
    artwork_set(ART_BACKGROUND_TALL, tall.release());
    artwork_set(ART_BACKGROUND3, dialog.release());
    return 0;
}
