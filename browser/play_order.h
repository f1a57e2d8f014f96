// The play order of continuous play: which row of the browser list plays
// next when an item ends or the user asks for the next or previous one.
// The order holds the playable rows in list order and a shuffled copy; one
// position indexes both, so the user may switch shuffle on or off between
// steps.
//
// Contract (main thread only; the list must not change during a call):
// - play_order_step: rebuilds the order when order->reset is set, when the
//   list's row count changed, or when the order no longer fits the list;
//   then steps forward (backward when `previous`), wrapping at both ends.
//   Returns the row to play (taken from the shuffled order when shuffle is
//   1, else from the list order), or -1 to stop: when the list holds no
//   playable row, or when the step comes back to the row it started from
//   while repeat is off and the step was not an explicit next/previous
//   request. `random` gives the shuffle its numbers (the program passes
//   std::rand; null keeps the list order).
// - play_order_scroll_offset: the list scroll offset (pixels) that keeps a
//   row visible in the given BrowserView.
#pragma once

#include "browser/browser_list.h"

int play_order_step(PlayOrder* order, const BrowserList* list, int selected_row, bool previous,
                    bool explicit_step, int shuffle, int repeat, int (*random)(void));

int play_order_scroll_offset(int row, int view);
