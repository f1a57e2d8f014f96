// ListRow: one display row of the list widget. The list widget shows an
// array of these owned by the caller (the browser builds them from its
// table; other screens fill them directly). The widget reads the text blocks
// and the icon fields; the remaining fields travel with the row for the
// browser's own use. Rows are read and drawn on the main thread only; the
// caller keeps them alive while a list shows them.
#pragma once

#include <cstdint>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

// A piece of text placed inside the row, relative to the row's top-left.
struct RowText {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    const char* text;  // null = nothing drawn
    TTF_Font* font;    // null = the list font
    uint32_t colour;   // text colour encoding (0x00BBGGRR)
    int32_t align;     // draw_text alignment
};

struct ListRow {
    RowText name;
    RowText info;
    RowText marker;
    const char* upnp_path;
    const char* upnp_extra;
    int32_t kind;
    int32_t media_class;
    char icon_file[256];  // artwork or thumbnail file, "" = none
    int32_t icon_slot;    // >= 6: a thumbnail of this row
    uint8_t in_use;
    int64_t size;
    int64_t mtime;
    // Picture shown at the row's left; loaded from icon_file on first draw
    // when null, or shared with an earlier row of the same file.
    SDL_Surface* icon;
    uint8_t icon_loaded;  // ROW_ICON_*: who owns the picture
};

enum RowIconOwner : uint8_t {
    ROW_ICON_CALLER = 0,   // set by the caller (or none): never freed by the list
    ROW_ICON_LOADED = 1,   // loaded by the list, freed with it
    ROW_ICON_SHARED = 2,   // taken from an earlier row's loaded picture
    ROW_ICON_MISSING = 3,  // the file could not be loaded; not retried
};
