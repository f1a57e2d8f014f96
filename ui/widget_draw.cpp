// Drawing of every widget kind into the interface surface, and present.
#include <algorithm>
#include <cstring>

#include "platform/media_enums.h"
#include "platform/text_copy.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/list_gl.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

namespace {

constexpr int EDIT_TEXT_INSET = 6;
constexpr int STICKY_ROOM = 40;               // room kept for the "alt"/"shft" mark
constexpr int ICON_SHARE_SEARCH_ROWS = 5000;  // earlier rows searched for a shared picture

// Width available to the text of an edit box.
int edit_text_room(const Widget* w)
{
    bool mark = w->edit.focused && (sticky_alt_on() || sticky_shift_on());
    return w->width - 2 * EDIT_TEXT_INSET - (mark ? STICKY_ROOM : 0);
}
constexpr int ROW_TEXT_LEFT = 70;

int text_width(TTF_Font* font, const char* text)
{
    int w = 0;
    int h = 0;
    if (!text || !*text || text_size(font, text, &w, &h) < 0)
        return 0;
    return w;
}

// The colour picker's selection frame lies this far outside its cells.
constexpr int PICKER_FRAME_MARGIN = 4;

// What a widget covers when drawn: its rectangle, and around a colour
// picker the frame of the chosen cell.
SDL_Rect drawn_area(const Widget* w)
{
    const int m = w->kind == WIDGET_COLOUR_PICKER ? PICKER_FRAME_MARGIN : 0;
    return SDL_Rect{Sint16(w->x - m), Sint16(w->y - m), Uint16(std::max(0, w->width + 2 * m)),
                    Uint16(std::max(0, w->height + 2 * m))};
}

// Puts back what lies under a widget before it is redrawn, so that blending
// never accumulates and nothing of its previous look stays: the pixels
// found there at its first draw when it has save_under set (a widget on a
// dialog card), else the screen's background image.
void restore_under(SDL_Surface* surface, Widget* w)
{
    SDL_Rect r = drawn_area(w);
    if (!w->save_under) {
        if (SDL_Surface* bg = screen_background(surface))
            copy_rect(surface, r.x, r.y, bg, &r);
        return;
    }
    if (w->saved_pixels) {
        copy_rect(surface, r.x, r.y, w->saved_pixels, nullptr);
        return;
    }
    w->saved_pixels = surface_create(r.w, r.h);
    copy_rect(w->saved_pixels, 0, 0, surface, &r);
}

void draw_button(SDL_Surface* surface, Widget* w)
{
    if (w->save_under) {
        if (!w->saved_pixels) {
            w->saved_pixels = surface_create(w->width, w->height);
            SDL_Rect r{Sint16(w->x), Sint16(w->y), Uint16(w->width), Uint16(w->height)};
            copy_rect(w->saved_pixels, 0, 0, surface, &r);
        } else {
            copy_rect(surface, w->x, w->y, w->saved_pixels, nullptr);
        }
    }
    blit_alpha(surface, w->images[w->state & 7], w->x, w->y);
    int label_top = w->y;
    if (w->icon) {
        blit_alpha(surface, w->icon, w->x + w->icon_x, w->y + w->icon_y);
        label_top = w->y + w->icon->h;
    }
    if (w->label[0] && w->font)
        draw_text(surface, w->label, w->font, w->x, label_top, w->width,
                  w->y + w->height - label_top, ALIGN_CENTRE_MIDDLE, TEXT_BLEND, w->colour);
}

void draw_selector(SDL_Surface* surface, Widget* w)
{
    int count = std::max(1, int(w->choice_count));
    int chosen = std::min<int>(w->state, count - 1);
    blit_alpha(surface, w->images[chosen], w->x, w->y);
    if (!w->choice_font)
        return;
    int part = w->width / count;
    for (int i = 0; i < count; ++i) {
        if (!w->choices[i])
            continue;
        uint32_t colour = i == chosen ? w->choice_colour : w->other_colour;
        draw_text(surface, w->choices[i], w->choice_font, w->x + i * part, w->y, part, w->height,
                  ALIGN_CENTRE_MIDDLE, TEXT_BLEND, colour);
    }
}

void draw_colour_picker(SDL_Surface* surface, Widget* w)
{
    for (int i = 0; i < COLOUR_PICKER_CELLS; ++i) {
        int cx = w->x + i * (w->cell_size + w->cell_gap);
        fill_rect(surface, cx, w->y, w->cell_size, w->cell_height, SUBTITLE_COLOURS[i]);
    }
    if (w->state >= COLOUR_PICKER_CELLS)
        return;
    // Selection frame: two one-pixel rings just outside the chosen cell.
    int cx = w->x + w->state * (w->cell_size + w->cell_gap);
    for (int ring = 2; ring <= 4; ring += 2) {
        int x0 = cx - ring;
        int y0 = w->y - ring;
        int x1 = cx + w->cell_size - 1 + ring;
        int y1 = w->y + w->cell_height - 1 + ring;
        uint32_t c = ring == 2 ? 0xFF000000 : 0xFFFFFFFF;
        draw_line(surface, x0, y0, x1, y0, c);
        draw_line(surface, x0, y1, x1, y1, c);
        draw_line(surface, x0, y0, x0, y1, c);
        draw_line(surface, x1, y0, x1, y1, c);
    }
}

// The shown form of text[from, to) (both character starts) into out: the
// text itself, or one "*" per character in the password modes, where mode 2
// shows a just-typed last character as it is.
void shown_range(const EditFields& e, int from, int to, char* out, int out_size)
{
    const size_t len = std::strlen(e.text);
    int n = 0;
    if (e.password_mode == 0) {
        n = std::clamp(std::min(to, int(len)) - from, 0, out_size - 1);
        std::memcpy(out, e.text + from, size_t(n));
    } else {
        const size_t revealed = e.password_mode == 2 && e.reveal_last && len > 0
                                    ? utf8_previous(e.text, len)
                                    : len;
        for (size_t i = size_t(from); i < size_t(to) && i < len;) {
            const size_t next = utf8_next(e.text, len, i);
            const bool as_is = i == revealed;
            const int bytes = as_is ? int(next - i) : 1;
            if (n + bytes > out_size - 1)
                break;
            if (as_is)
                std::memcpy(out + n, e.text + i, size_t(bytes));
            else
                out[n] = '*';
            n += bytes;
            i = next;
        }
    }
    out[n] = 0;
}

void draw_edit_box(SDL_Surface* surface, Widget* w)
{
    const EditFields& e = w->edit;
    bool focused = e.focused && !w->disabled;
    blit_alpha(surface, w->images[focused ? 1 : 0], w->x, w->y);
    char shown[EDIT_TEXT_SIZE];
    shown_range(e, e.first_shown, int(std::strlen(e.text)), shown, sizeof shown);
    if (w->font) {
        int line = font_line_height(w->font);
        int ty = w->y + (w->height - line) / 2;
        draw_text_line(surface, shown, w->font, w->x + EDIT_TEXT_INSET, ty, edit_text_room(w),
                       w->colour);
    }
    if (focused && e.caret_visible)
        draw_line(surface, e.caret_x, w->y + 6, e.caret_x, w->y + w->height - 7, 0xFF000000);
    if (focused && (sticky_alt_on() || sticky_shift_on())) {
        TTF_Font* small = font_get(FONT_SET_SMALL, FONT_PRELUDE);
        // At the box's right end, in the room the text leaves for it.
        int h = font_line_height(small);
        draw_text(surface, sticky_alt_on() ? "alt" : "shft", small,
                  w->x + w->width - EDIT_TEXT_INSET - STICKY_ROOM + 4, w->y + (w->height - h) / 2,
                  STICKY_ROOM - 4, h + 4, ALIGN_CENTRE, TEXT_BOXED, 0x00C0FF);
    }
}

// The row's picture: set by the caller, shared with an earlier row of the
// same file, or loaded now.
void resolve_row_icon(Widget* w, int index)
{
    ListRow& row = w->list.rows[index];
    if (row.icon || !row.icon_file[0] || row.icon_loaded == ROW_ICON_MISSING)
        return;
    int limit = std::min(index, ICON_SHARE_SEARCH_ROWS);
    for (int i = 0; i < limit; ++i) {
        const ListRow& other = w->list.rows[i];
        if (other.icon && other.icon_loaded == ROW_ICON_LOADED &&
            std::strcmp(other.icon_file, row.icon_file) == 0) {
            row.icon = other.icon;
            row.icon_loaded = ROW_ICON_SHARED;
            return;
        }
    }
    row.icon = load_image(row.icon_file);
    row.icon_loaded = row.icon ? ROW_ICON_LOADED : ROW_ICON_MISSING;
}

void draw_row_text(SDL_Surface* dst, const RowText& t, TTF_Font* fallback, uint32_t colour,
                   const char* text)
{
    if (!text || !*text)
        return;
    TTF_Font* font = t.font ? t.font : fallback;
    if (t.width <= 0)
        return;
    int h = t.height > 0 ? t.height : LIST_ROW_HEIGHT;
    draw_text(dst, text, font, t.x, t.y, t.width, h, t.align, TEXT_BLEND,
              t.colour ? t.colour : colour);
}

// Paints row `index` into a row-sized surface at (0, 0).
void paint_row(SDL_Surface* dst, Widget* w, int index)
{
    ListFields& l = w->list;
    fill_rect(dst, 0, 0, dst->w, dst->h, l.background_colour);
    if (l.highlight && index == l.selected)
        fill_rect(dst, 0, 0, dst->w, dst->h - 1, LIST_HIGHLIGHT_COLOUR);
    draw_line(dst, 0, dst->h - 1, dst->w - 1, dst->h - 1, l.separator_colour);
    ListRow& row = l.rows[index];
    if (l.draw_row) {
        l.draw_row(dst, w, &row, index, 0);
        return;
    }
    resolve_row_icon(w, index);
    if (row.icon) {
        int left = row.name.x > 0 ? row.name.x : ROW_TEXT_LEFT;
        SDL_Rect part{0, 0, Uint16(std::min(row.icon->w, left - 5)),
                      Uint16(std::min(row.icon->h, dst->h - 1))};
        blit_alpha_part(dst, row.icon, &part, (left - part.w) / 2, (dst->h - 1 - part.h) / 2);
    }
    const char* name = row.name.text;
    char trimmed[1024];
    if (name && l.hide_extensions &&
        (row.media_class == MEDIA_CLASS_VIDEO || row.media_class == MEDIA_CLASS_AUDIO)) {
        copy_text(trimmed, sizeof trimmed, name);
        if (char* dot = std::strrchr(trimmed, '.'))
            *dot = 0;
        name = trimmed;
    }
    RowText name_box = row.name;
    if (name_box.width <= 0) {
        name_box.x = ROW_TEXT_LEFT;
        name_box.y = 5;
        name_box.width = dst->w - ROW_TEXT_LEFT - 10;
        name_box.height = dst->h - 10;
        name_box.align = ALIGN_LEFT_MIDDLE;
    }
    draw_row_text(dst, name_box, l.font, l.text_colour, name);
    draw_row_text(dst, row.info, l.font, l.text_colour, row.info.text);
    draw_row_text(dst, row.marker, l.font, l.text_colour, row.marker.text);
}

void draw_list(SDL_Surface* surface, Widget* w)
{
    ListFields& l = w->list;
    l.header_height = l.header[0] ? LIST_ROW_HEIGHT : 0;
    if (!l.overscroll)
        list_set_offset(w, l.offset);
    list_gl_invalidate(w);
    fill_rect(surface, w->x, w->y, w->width, w->height, l.background_colour);
    if (l.header_height) {
        draw_text_line(surface, l.header, l.font, w->x + 10, w->y + 18, w->width - 20,
                       l.text_colour);
        draw_line(surface, w->x, w->y + l.header_height - 1, w->x + w->width - 1,
                  w->y + l.header_height - 1, l.separator_colour);
    }
    int rh = std::max(1, int(l.row_height));
    SurfacePtr row_surface(surface_create(w->width, rh));
    if (!row_surface)
        return;
    int top = w->y + l.header_height;
    int bottom = w->y + w->height;
    for (int i = l.offset > 0 ? l.offset / rh : 0; i < l.row_count; ++i) {
        int ry = top + i * rh - l.offset;
        if (ry >= bottom)
            break;
        paint_row(row_surface.get(), w, i);
        int skip = std::max(0, top - ry);
        if (skip >= rh)
            continue;
        int take = std::min(rh - skip, bottom - (ry + skip));
        SDL_Rect part{0, Sint16(skip), Uint16(w->width), Uint16(std::max(0, take))};
        copy_rect(surface, w->x, ry + skip, row_surface.get(), &part);
    }
}

}  // namespace

// ---- list geometry -----------------------------------------------------------

int list_last_offset(const Widget* w)
{
    const ListFields& l = w->list;
    int visible = w->height - l.header_height;
    return std::max(0, int(l.row_count) * int(l.row_height) - visible);
}

int list_row_at(const Widget* w, int y)
{
    const ListFields& l = w->list;
    int rel = y - w->y - l.header_height;
    if (rel < 0 || l.row_height <= 0)
        return -1;
    int row = (l.offset + rel) / l.row_height;
    return row < l.row_count ? row : -1;
}

void list_set_offset(Widget* w, int offset)
{
    ListFields& l = w->list;
    int rh = std::max(1, int(l.row_height));
    if (offset < 0 || offset / rh >= l.row_count)
        offset = 0;
    offset = std::min(offset, list_last_offset(w));
    l.offset = offset;
}

void list_paint_row(SDL_Surface* dst, Widget* w, int index)
{
    if (dst && w && index >= 0 && index < w->list.row_count)
        paint_row(dst, w, index);
}

// ---- edit boxes ----------------------------------------------------------------

void edit_shown_text(const Widget* box, char* out, int out_size)
{
    if (out_size > 0)
        shown_range(box->edit, 0, int(std::strlen(box->edit.text)), out, out_size);
}

int edit_text_width(const Widget* box, int from, int to)
{
    char part[EDIT_TEXT_SIZE];
    shown_range(box->edit, from, to, part, sizeof part);
    return text_width(box->font, part);
}

void edit_place_caret(Widget* box)
{
    EditFields& e = box->edit;
    const size_t len = std::strlen(e.text);
    e.caret_index = std::clamp<int>(e.caret_index, 0, int(len));
    e.first_shown = std::clamp<int>(e.first_shown, 0, e.caret_index);
    const int room = edit_text_room(box) - 2;
    while (e.first_shown < e.caret_index &&
           edit_text_width(box, e.first_shown, e.caret_index) > room)
        e.first_shown = int(utf8_next(e.text, len, size_t(e.first_shown)));
    e.caret_x = box->x + EDIT_TEXT_INSET + edit_text_width(box, e.first_shown, e.caret_index);
}

// ---- widget_draw and present ---------------------------------------------------

SDL_Surface* screen_background(SDL_Surface* surface)
{
    return artwork(surface->w >= surface->h ? ART_BACKGROUND2 : ART_BACKGROUND_TALL);
}

void widget_draw(SDL_Surface* surface, Widget* w)
{
    if (!surface || !w || !w->in_use)
        return;
    switch (w->kind) {
    case WIDGET_TOGGLE:
        // A toggle keeps its saved pixels as a button does (draw_button).
        if (!w->save_under)
            restore_under(surface, w);
        break;
    case WIDGET_SELECTOR3:
    case WIDGET_COLOUR_PICKER:
    case WIDGET_EDIT_BOX:
    case WIDGET_SPINNER:
    case WIDGET_CHECKBOX: restore_under(surface, w); break;
    default: break;
    }
    switch (w->kind) {
    case WIDGET_IMAGE:
        if (w->blend)
            blend_over(surface, w->images[0], w->x, w->y);
        else
            copy_rect(surface, w->x, w->y, w->images[0], nullptr);
        break;
    case WIDGET_BUTTON:
    case WIDGET_TOGGLE: draw_button(surface, w); break;
    case WIDGET_SELECTOR3:
    case WIDGET_SELECTOR: draw_selector(surface, w); break;
    case WIDGET_COLOUR_PICKER: draw_colour_picker(surface, w); break;
    case WIDGET_EDIT_BOX: draw_edit_box(surface, w); break;
    case WIDGET_LIST: draw_list(surface, w); break;
    case WIDGET_SPINNER:
        blend_over(surface, w->images[w->state % SPINNER_FRAMES], w->x, w->y);
        break;
    case WIDGET_CHECKBOX: blit_alpha(surface, w->images[w->state ? 1 : 0], w->x, w->y); break;
    default: break;
    }
}

void present(UiState* ui)
{
    if (!ui)
        return;
    present_ui_surface(ui);
    list_gl_screen_changed();
}
