#include "bar_layout.h"

#include <cstdio>

namespace harness {

std::array<PlayerControl, PLAYER_CONTROL_COUNT> bar_layout(const RunFolder& folder, int window_w,
                                                           int window_h)
{
    auto size = [&](const char* image) {
        std::array<int, 2> wh{0, 0};
        std::sscanf(run("identify -format '%w %h' " + folder.file(image)).c_str(), "%d %d", &wh[0],
                    &wh[1]);
        return wh;
    };
    const auto bar = size("images/playerbar-wide.png"), play = size("images/playl.png"),
               stop = size("images/stop.png"), aspect = size("images/ar.png"),
               order = size("images/shuffle.png"), thumb = size("images/thumb.png");
    const BarLayoutInput in{window_w,
                            window_h,
                            window_w,
                            false,
                            {bar[1], play[0], play[1], stop[0], stop[1], aspect[0], aspect[1],
                             order[0], order[1], thumb[0], thumb[1]}};
    std::array<PlayerControl, PLAYER_CONTROL_COUNT> table{};
    player_bar_compute(in, table.data());
    return table;
}

}  // namespace harness
