// The display rows of the browser's list: for each table row its texts and
// their places, its class and its icon (artwork by class and view, or a
// thumbnail in the icon view). Main thread only: the rows point into the
// table, which must not be refilled while a list shows them.
#pragma once

#include <SDL/SDL_ttf.h>

#include "browser/browser_list.h"
#include "ui/list_rows.h"

constexpr int LIST_COLUMN_WIDTH = 420;
constexpr int ICON_VIEW_ROW_HEIGHT = 120;

// Icon slots: which picture a row shows; a thumbnail uses row index + 6.
enum IconSlot : int {
    ICON_SLOT_IMAGE = 0,
    ICON_SLOT_FOLDER = 1,
    ICON_SLOT_AUDIO = 2,
    ICON_SLOT_VIDEO = 3,
    ICON_SLOT_FILE = 4,
    ICON_SLOT_RENDERER = 5,
    ICON_SLOT_THUMBNAIL = 6,
};

struct RowSetup {
    int view;              // BrowserView
    int browse_mode;       // BrowseMode
    bool picker;           // a picker is open
    bool thumbnails;       // look thumbnails up (icon view)
    TTF_Font* font;        // names
    TTF_Font* small_font;  // info texts
    uint32_t colour;       // text colour
    // The thumbnail file of a row, or null; null hook = none.
    const char* (*thumbnail_of)(const MediaEntry* entry);
};

// Builds rows[first, last) from the table's rows; returns the number of
// rows built (last, bounded by the table's count).
int row_classify(const BrowserList* list, ListRow* rows, int first, int last,
                 const RowSetup& setup);
// The left margin of the name: 140 in the icon view, 70 otherwise (and
// always in the list of playlists).
int row_text_margin(int view, int browse_mode);
