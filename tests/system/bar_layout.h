// The player's control bar as the program lays it out for a window, from
// the sizes of the artwork in a run folder: where whole-program tests tap
// the bar's buttons.
#pragma once

#include <array>

#include "app/player_bar.h"
#include "program_harness.h"

namespace harness {

std::array<PlayerControl, PLAYER_CONTROL_COUNT> bar_layout(const RunFolder& folder, int window_w,
                                                           int window_h);

}  // namespace harness
