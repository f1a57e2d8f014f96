#include "browser/rows.h"

#include <cstring>

#include "browser/media_types.h"
#include "platform/text_copy.h"
#include "ui/text.h"

namespace {

constexpr int LIST_MARGIN = 70;
constexpr int ICON_MARGIN = 140;
constexpr int NAME_Y = 5;
constexpr int NAME_HEIGHT = 50;
constexpr int INFO_COLUMN = 105;  // info text from the list column's right edge
constexpr int INFO_WIDTH = 100;

struct ClassIcon {
    const char* list_icon;
    const char* icon_view_icon;
    int slot;
};

// Artwork per class of a file row: other, image, video, audio.
const ClassIcon FILE_ICONS[4] = {
    {"images/file.png", "images/filel.png", ICON_SLOT_FILE},
    {"images/ifile.png", "images/ifilel.png", ICON_SLOT_IMAGE},
    {"images/vfile.png", "images/vfilel.png", ICON_SLOT_VIDEO},
    {"images/afile.png", "images/afilel.png", ICON_SLOT_AUDIO},
};

void set_icon(ListRow* row, const char* file, int slot, int media_class)
{
    copy_text(row->icon_file, sizeof row->icon_file, file);
    row->icon_slot = slot;
    row->media_class = media_class;
}

// The name a file row is classed by: a UPnP item's URL, unless a picker
// shows local files.
const char* classified_text(const MediaEntry& e, const RowSetup& setup)
{
    bool upnp = e.kind == ENTRY_PLAYLIST_UPNP_ITEM || setup.browse_mode == BROWSE_UPNP;
    return upnp && !setup.picker && e.path[0] ? e.path : e.name;
}

void classify(const MediaEntry& e, ListRow* row, int index, const RowSetup& setup)
{
    bool icons = setup.view == VIEW_ICONS;
    if (entry_kind_is_folder(e.kind)) {
        set_icon(row, icons ? "images/folderl.png" : "images/folder.png", ICON_SLOT_FOLDER,
                 MEDIA_CLASS_FOLDER);
        return;
    }
    if (e.kind == ENTRY_PLAYLIST) {
        set_icon(row, "images/file.png", ICON_SLOT_FILE, MEDIA_CLASS_PLAYLIST);
        return;
    }
    if (e.kind == ENTRY_RENDERER) {
        set_icon(row, "images/tv.png", ICON_SLOT_RENDERER, MEDIA_CLASS_RENDERER);
        return;
    }
    const char* text = classified_text(e, setup);
    row->media_class = e.media_class;
    if (std::strlen(text) <= 2)
        return;  // too short to carry an extension: no icon
    int cls = media_class_of_name(text, e.media_class);
    if (cls < MEDIA_CLASS_OTHER || cls > MEDIA_CLASS_AUDIO)
        cls = MEDIA_CLASS_OTHER;
    const ClassIcon& icon = FILE_ICONS[cls];
    if (icons && setup.thumbnails && setup.thumbnail_of) {
        if (const char* thumb = setup.thumbnail_of(&e)) {
            set_icon(row, thumb, ICON_SLOT_THUMBNAIL + index, cls);
            return;
        }
    }
    set_icon(row, icons ? icon.icon_view_icon : icon.list_icon, icon.slot, cls);
}

// Texts sit in the middle of the row: a 60-pixel list row, or the taller
// row of the icon view beside its large icon.
void place_texts(const MediaEntry& e, ListRow* row, const RowSetup& setup)
{
    int margin = row_text_margin(setup.view, setup.browse_mode);
    bool tall = margin == ICON_MARGIN;
    int row_h = tall ? ICON_VIEW_ROW_HEIGHT : ROW_SPACING;
    int shift = (row_h - ROW_SPACING) / 2;
    bool has_info = e.info[0] != '\0';
    row->name = RowText{
        margin,       NAME_Y + shift,   LIST_COLUMN_WIDTH - margin - (has_info ? 115 : 10),
        NAME_HEIGHT,  e.name,           setup.font,
        setup.colour, ALIGN_LEFT_MIDDLE};
    int info_h = setup.small_font ? TTF_FontHeight(setup.small_font) : 0;
    row->info = RowText{LIST_COLUMN_WIDTH - INFO_COLUMN,
                        (row_h - info_h) / 2,
                        INFO_WIDTH,
                        info_h,
                        e.info,
                        setup.small_font,
                        setup.colour,
                        ALIGN_LEFT};
}

}  // namespace

int row_text_margin(int view, int browse_mode)
{
    return view == VIEW_ICONS && browse_mode != BROWSE_PLAYLISTS ? ICON_MARGIN : LIST_MARGIN;
}

int row_classify(const BrowserList* list, ListRow* rows, int first, int last, const RowSetup& setup)
{
    if (last > list->count)
        last = list->count;
    for (int i = first; i < last; ++i) {
        const MediaEntry& e = list->rows[i];
        ListRow* row = &rows[i];
        std::memset(row, 0, sizeof *row);
        place_texts(e, row, setup);
        bool upnp_row = e.kind == ENTRY_PLAYLIST_UPNP_ITEM || e.kind == ENTRY_PLAYLIST_UPNP_DIR ||
                        setup.browse_mode == BROWSE_UPNP;
        if (upnp_row) {
            row->upnp_path = e.path;
            row->upnp_extra = e.extra;
        }
        row->kind = e.kind;
        row->size = e.size;
        row->mtime = e.mtime;
        row->in_use = 1;
        classify(e, row, i, setup);
    }
    return last;
}
