// The subtitle text band: the current subtitle text drawn into a band of the
// interface surface just above the player bar (or at the bottom of the
// surface while the bar is hidden) and shown over the picture.
//
// Contract (main thread only, GL context current, fonts open):
// - The player loop calls subtitle_band_draw from its subtitle hook with the
//   text to show ("" clears the band) and subtitle_band_reset when a new
//   session starts.
// - The band is SUBTITLE_BAND_HEIGHT rows of ui->ui_surface, as wide as the
//   surface, ending at band_bottom (rows outside the surface are dropped). It
//   is redrawn only when the text (first SUBTITLE_BAND_TEXT_SIZE bytes), the
//   orientation, bar_visible, band_bottom or the surface changed since the
//   last call; a redraw replaces the band's rows and nothing else (long texts
//   are cut at the band's edges) and uploads only those rows through
//   ui->ui_slot.
// - A band holding text is then drawn over the picture through ui->ui_slot,
//   limited to the band's pixels on the window by the scissor test (left off
//   afterwards), with the blending the player set for video: no clear, no
//   present. An empty band is not drawn.
// - Font: subtitle_size 0 small, 1 medium, 2 large (anything else medium).
//   Colour: subtitle_color indexes the colour picker's table (anything else
//   white). Background: boxed, or none with subtitle_transparent_bg.
#pragma once

#include <cstddef>
#include <cstdint>

#include <SDL/SDL.h>

struct Settings;
struct UiState;

// Rows of the band: room for three lines of the large font.
constexpr int SUBTITLE_BAND_HEIGHT = 250;
// Bytes of the text compared and remembered (a subtitle text's buffer).
constexpr size_t SUBTITLE_BAND_TEXT_SIZE = 256;

struct SubtitleBand {
    char text[SUBTITLE_BAND_TEXT_SIZE];  // text of the last redraw
    int32_t orientation;                 // orientation of the last redraw
    int32_t band_bottom;                 // band_bottom of the last redraw
    const SDL_Surface* surface;          // surface of the last redraw
    bool bar_visible;                    // bar visibility of the last redraw
    bool drawn;                          // the fields above describe a redraw
};

void subtitle_band_draw(SubtitleBand* band, UiState* ui, const Settings& settings, int orientation,
                        bool bar_visible, int band_bottom, const char* text);
// Forgets the last redraw, so the next call redraws.
void subtitle_band_reset(SubtitleBand* band);
