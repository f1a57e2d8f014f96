#include "app/subtitle_band.h"

#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "platform/settings.h"
#include "platform/text_copy.h"
#include "render/gl_context.h"
#include "render/video_planes.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

namespace {

// Font size sets for subtitle_size 0 small, 1 medium, 2 large.
constexpr int SUBTITLE_FONT_SETS[] = {FONT_SET_LABEL, FONT_SET_LARGE, FONT_SET_HUGE};
constexpr int SUBTITLE_SIZE_FALLBACK = 1;  // a damaged stored size reads as medium

TTF_Font* subtitle_font(uint8_t size)
{
    const int index = size < std::size(SUBTITLE_FONT_SETS) ? size : SUBTITLE_SIZE_FALLBACK;
    return font_get(SUBTITLE_FONT_SETS[index], FONT_DEJAVU);
}

// The picker's ARGB colour in the text renderer's packing (red lowest).
uint32_t subtitle_colour(uint8_t index)
{
    const uint32_t argb = SUBTITLE_COLOURS[index < COLOUR_PICKER_CELLS ? index : 0];
    return (argb >> 16 & 0xFF) | (argb & 0xFF00) | (argb & 0xFF) << 16;
}

// The band's rows on the surface, [*top, *bottom); false when none are on it.
bool band_rows(const Surface* s, int band_bottom, int* top, int* bottom)
{
    *top = std::max(band_bottom - SUBTITLE_BAND_HEIGHT, 0);
    *bottom = std::min(band_bottom, s->h);
    return *bottom > *top;
}

// Replaces the band's rows with the text. The text is drawn into a band-sized
// surface first: a text too long for the band is cut at its edges instead of
// running into the bar below or the picture above.
bool redraw(Surface* s, const Settings& settings, int band_bottom, const char* text)
{
    SurfacePtr band(surface_create(s->w, SUBTITLE_BAND_HEIGHT));
    if (!band)
        return false;
    if (text[0]) {
        const int mode = settings.subtitle_transparent_bg ? TEXT_REPLACE : TEXT_BOXED;
        draw_text(band.get(), text, subtitle_font(settings.subtitle_size), 0, 0, s->w,
                  SUBTITLE_BAND_HEIGHT, ALIGN_CENTRE_MIDDLE, mode,
                  subtitle_colour(settings.subtitle_color));
    }
    copy_pixels(s, band.get(), 0, band_bottom - SUBTITLE_BAND_HEIGHT);
    return true;
}

// Draws the layer over the picture, only where the band lies on the window:
// a full-window blended quad per picture would cost as much as the picture.
void show_band(TextureSlot* slot, const Surface* s, int top, int bottom)
{
    if (!gl_scissor_layer_rows(slot, s->h, top, bottom))
        return;
    texture_slot_draw(slot, nullptr, 0, s->w, s->h, false, true, false, false);
    gl_scissor_off();
}

}  // namespace

void subtitle_band_draw(SubtitleBand* band, UiState* ui, const Settings& settings, int orientation,
                        bool bar_visible, int band_bottom, const char* text)
{
    Surface* s = ui ? ui->ui_surface : nullptr;
    if (!band || !s || !ui->ui_slot)
        return;
    char wanted[SUBTITLE_BAND_TEXT_SIZE];
    copy_text(wanted, sizeof wanted, text ? text : "");
    int top = 0, bottom = 0;
    if (!band_rows(s, band_bottom, &top, &bottom))
        return;
    const bool same = band->drawn && band->surface == s && band->orientation == orientation &&
                      band->bar_visible == bar_visible && band->band_bottom == band_bottom &&
                      std::strcmp(band->text, wanted) == 0;
    if (!same) {
        if (!redraw(s, settings, band_bottom, wanted))
            return;  // out of memory: the next call tries again
        // 32-bit surfaces have rows of exactly w * 4 bytes, as the upload wants.
        const uint8_t* rows = static_cast<const uint8_t*>(s->pixels) +
                              static_cast<size_t>(top) * s->pitch;
        texture_slot_draw(ui->ui_slot, rows, top, s->w, bottom - top, true, false, false, false);
        std::memcpy(band->text, wanted, sizeof wanted);
        band->orientation = orientation;
        band->bar_visible = bar_visible;
        band->band_bottom = band_bottom;
        band->surface = s;
        band->drawn = true;
    }
    if (wanted[0])
        show_band(ui->ui_slot, s, top, bottom);
}

void subtitle_band_reset(SubtitleBand* band)
{
    if (band)
        *band = SubtitleBand{};
}
