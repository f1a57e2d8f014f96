#include "browser/play_order.h"

#include <algorithm>

namespace {

constexpr int SHUFFLE_ON = 1;  // setting shuffle: 0 single, 1 shuffle, 2 ordered
constexpr int NO_START = -1;   // the first step anchors the start on the row it plays

// Rows above these stay in view without scrolling.
constexpr int LIST_VIEW_ROWS_ABOVE = 3;
constexpr int ICON_VIEW_ROWS_ABOVE = 1;

// Is the order still about this list? A list refilled with another row
// count, or with rows that are no longer playable where the order points,
// must not hand out stale rows.
bool order_fits(const PlayOrder* order, const BrowserList* list)
{
    if (order->built_for_rows != list->count || order->count < 0 ||
        order->count > MAX_BROWSER_ENTRIES || order->count + order->skipped != list->count)
        return false;
    for (int i = 0; i < order->count; ++i) {
        int row = order->sequential[i];
        if (row < 0 || row >= list->count || !entry_kind_is_playable(list->rows[row].kind))
            return false;
    }
    return true;
}

// Fisher-Yates from the last element down: element k-1 trades places with
// element random() mod k, for k from the count down to 2.
void shuffle_rows(int32_t* rows, int count, int (*random)(void))
{
    if (!random)
        return;
    for (int k = count; k >= 2; --k) {
        unsigned pick = static_cast<unsigned>(random()) % static_cast<unsigned>(k);
        std::swap(rows[k - 1], rows[pick]);
    }
}

// Both orders start at the row that was chosen, at the same position: the
// steps then go through every other row once, in either order, before they
// come back to it. (Left where the shuffle put it, the chosen row would play
// twice and the row shuffled into its position never.)
void place_start_row(PlayOrder* order, int start)
{
    int32_t* begin = order->shuffled;
    int32_t* end = order->shuffled + order->count;
    int32_t* at = std::find(begin, end, order->sequential[start]);
    if (at != end)
        std::swap(*at, order->shuffled[start]);
}

void rebuild(PlayOrder* order, const BrowserList* list, int selected_row, bool previous,
             int (*random)(void))
{
    order->count = 0;
    order->skipped = 0;
    int start = NO_START;
    for (int row = 0; row < list->count; ++row) {
        if (!entry_kind_is_playable(list->rows[row].kind)) {
            ++order->skipped;
            continue;
        }
        if (row == selected_row)
            start = order->count;
        order->sequential[order->count++] = row;
    }
    std::copy(order->sequential, order->sequential + order->count, order->shuffled);
    shuffle_rows(order->shuffled, order->count, random);
    if (start != NO_START)
        place_start_row(order, start);
    order->start = start;
    // With no chosen row the first step lands on the first (or, backward,
    // the last) row of the order instead of passing over it.
    order->position = start != NO_START ? start : previous ? order->count : -1;
    order->built_for_rows = list->count;
    order->reset = 0;
}

}  // namespace

int play_order_step(PlayOrder* order, const BrowserList* list, int selected_row, bool previous,
                    bool explicit_step, int shuffle, int repeat, int (*random)(void))
{
    if (!order || !list || !list->rows || list->count < 0 || list->count > MAX_BROWSER_ENTRIES)
        return -1;
    if (order->reset || !order_fits(order, list))
        rebuild(order, list, selected_row, previous, random);
    if (order->count == 0)
        return -1;

    int position = order->position + (previous ? -1 : 1);
    if (position < 0)
        position = order->count - 1;
    else if (position >= order->count)
        position = 0;
    order->position = position;
    if (order->start < 0 || order->start >= order->count)
        order->start = position;
    else if (position == order->start && !repeat && !explicit_step)
        return -1;
    return shuffle == SHUFFLE_ON ? order->shuffled[position] : order->sequential[position];
}

int play_order_scroll_offset(int row, int view)
{
    const int above = view == VIEW_ICONS ? ICON_VIEW_ROWS_ABOVE : LIST_VIEW_ROWS_ABOVE;
    return row > above ? (row - above) * ROW_SPACING : 0;
}
