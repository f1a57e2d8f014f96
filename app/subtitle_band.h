// Interim: the subtitle text band (replaced by its implementation).
#pragma once

#include <cstdint>

struct UiState;
struct Settings;

struct SubtitleBand {
    char last[256];
    int32_t orientation;
    bool bar_visible;
    bool drawn;
};

void subtitle_band_draw(SubtitleBand* band, UiState* ui, const Settings& settings, int orientation,
                        bool bar_visible, int band_bottom, const char* text);
void subtitle_band_reset(SubtitleBand* band);
