#include "app/subtitle_band.h"

void subtitle_band_draw(SubtitleBand*, UiState*, const Settings&, int, bool, int, const char*) {}
void subtitle_band_reset(SubtitleBand* band)
{
    *band = SubtitleBand{};
}
