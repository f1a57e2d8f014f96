// The common frame of the settings screens and the builders of their
// controls.
#include <cstdio>

#include "settings/settings_internal.h"
#include "ui/artwork.h"
#include "ui/layers.h"
#include "ui/text.h"

namespace settings_ui {

namespace {

constexpr uint32_t RIGHT_TITLE_TOP = 0xFF000000;
constexpr uint32_t BOTTOM_BAR_TOP = 0xFF606060;
// Each bar grows this much darker or lighter from its top to its bottom.
constexpr uint32_t BAR_SHADE = 0x00181818;
constexpr uint32_t DIALOG_LINE = 0xFF000000;  // the dialog text colour
constexpr int BUTTON_HEIGHT = 54;
constexpr int BUTTON_TOP = 8;  // below a bar's top edge
constexpr int BAR_BUTTON_WIDTH = 100;
constexpr int BAR_BUTTON_MARGIN = 6;
constexpr int COLUMN_GAP = 10;  // between the bars, the panel and the dialog
constexpr int PANEL_PAD = 12;   // text inside the panel
constexpr int LABEL_GAP = 10;   // between a check box and its label
constexpr int EDIT_TEXT_ROOM = 255;
constexpr int TITLE_X = 10;  // the title from the left edge

TTF_Font* panel_font()
{
    return font_get(FONT_SET_MAIN, FONT_PRELUDE);
}
TTF_Font* label_font()
{
    return font_get(FONT_SET_LABEL, FONT_PRELUDE);
}

// A frame image stretched to width x height and blended in.
void draw_stretched(Surface* s, ArtId art, int x, int y, int width, int height)
{
    SurfacePtr image(stretch_frame(artwork(art), width, height));
    if (image)
        blit_alpha(s, image.get(), x, y);
}

}  // namespace

Installed& installed()
{
    static Installed value;
    return value;
}

int bottom_bar_y(const Surface* s)
{
    const UiState* ui = installed().ui;
    return ui && ui->bottom_bar_y > 0 ? ui->bottom_bar_y : s->h - BOTTOM_BAR_HEIGHT;
}

Surface* begin_screen(int all, uint32_t title_top, const char* title)
{
    registry_clear(all);
    widgets_clear(all);
    Surface* s = installed().ui ? installed().ui->ui_surface : nullptr;
    if (!s)
        return nullptr;
    const int bar = bottom_bar_y(s);
    SDL_Rect under{0, Sint16(TITLE_BAR_HEIGHT), Uint16(s->w), Uint16(s->h - TITLE_BAR_HEIGHT)};
    copy_rect(s, 0, TITLE_BAR_HEIGHT, screen_background(s), &under);
    fill_gradient(s, 0, 0, TITLE_BAR_HEIGHT, PANE_WIDTH, title_top, title_top + BAR_SHADE, 1);
    fill_gradient(s, PANE_WIDTH, 0, TITLE_BAR_HEIGHT, s->w - PANE_WIDTH, RIGHT_TITLE_TOP,
                  RIGHT_TITLE_TOP + BAR_SHADE, 1);
    draw_line(s, 0, TITLE_BAR_HEIGHT - 1, s->w - 1, TITLE_BAR_HEIGHT - 1, DIALOG_LINE);
    fill_gradient(s, 0, bar, s->h - bar, s->w, BOTTOM_BAR_TOP, BOTTOM_BAR_TOP - BAR_SHADE, 1);
    // Where the user is, as the browser names its folder in the same place.
    draw_text(s, title, font_get(FONT_SET_MAIN, FONT_PRELUDE), TITLE_X, 0, PANE_WIDTH - 2 * TITLE_X,
              TITLE_BAR_HEIGHT, ALIGN_LEFT_MIDDLE, TEXT_BLEND, TEXT_WHITE);
    return s;
}

int draw_panel(Surface* s, const char* text)
{
    const int top = TITLE_BAR_HEIGHT + COLUMN_GAP;
    const int text_width = COLUMN_WIDTH - 2 * PANEL_PAD;
    int bottom = draw_text(s, text, panel_font(), COLUMN_X + PANEL_PAD, top + PANEL_PAD, text_width,
                           s->h, ALIGN_LEFT, TEXT_MEASURE, TEXT_WHITE);
    int height = bottom - top + PANEL_PAD;
    draw_stretched(s, ART_PANEL, COLUMN_X, top, COLUMN_WIDTH, height);
    draw_text(s, text, panel_font(), COLUMN_X + PANEL_PAD, top + PANEL_PAD, text_width, height,
              ALIGN_LEFT, TEXT_BLEND, TEXT_WHITE);
    return top + height + COLUMN_GAP;
}

void draw_dialog(Surface* s, int top)
{
    draw_stretched(s, ART_DIALOG, COLUMN_X, top, COLUMN_WIDTH, bottom_bar_y(s) - COLUMN_GAP - top);
}

int draw_label(Surface* s, const char* text, int x, int y, int width, int height)
{
    return draw_text(s, text, label_font(), x, y, width, height, ALIGN_LEFT_MIDDLE, TEXT_BLEND,
                     TEXT_BLACK);
}

Widget* add_button(Surface* s, int x, int y, int width, const char* label, SlotAction action)
{
    Widget* w = create_button(x, y, width, BUTTON_HEIGHT, ART_BUTTON, nullptr, 0, 0, label,
                              panel_font(), TEXT_WHITE, 1);
    if (!w)
        return nullptr;
    widget_draw(s, w);
    registry_add(w, SLOT_PRESS, action);
    return w;
}

bool add_back_and_ok(Surface* s, SlotAction back, SlotAction ok)
{
    const int y = bottom_bar_y(s) + BUTTON_TOP;
    return add_button(s, BAR_BUTTON_MARGIN, y, BAR_BUTTON_WIDTH, "Back", back) &&
           add_button(s, s->w - BAR_BUTTON_WIDTH - BAR_BUTTON_MARGIN, y, BAR_BUTTON_WIDTH, "Ok",
                      ok);
}

Widget* add_checkbox(Surface* s, int x, int y, int state, const char* label, int label_width,
                     SlotAction setter)
{
    Widget* w = create_checkbox(x, y);
    if (!w)
        return nullptr;
    w->state = uint8_t(state != 0);
    w->save_under = 1;  // its rounded corners show the dialog, not the screen background
    widget_draw(s, w);
    registry_add(w, SLOT_PRESS, setter);
    draw_label(s, label, x + w->width + LABEL_GAP, y, label_width, w->height);
    return w;
}

Widget* add_edit_box(Surface* s, int x, int y, int width, int height, const char* text, int limit,
                     SlotAction check)
{
    Widget* w = create_edit_box(x, y, width, height, text, label_font(), TEXT_BLACK,
                                limit > 0 ? limit : EDIT_TEXT_ROOM);
    if (!w)
        return nullptr;
    w->save_under = 1;
    widget_draw(s, w);
    registry_add(w, SLOT_PRESS, nullptr);
    registry_add(w, SLOT_KEYS, check);
    registry_add(w, SLOT_CARET, nullptr);
    return w;
}

void number_text(uint32_t value, bool zero_empty, char* out, int size)
{
    if (zero_empty && value == 0)
        out[0] = '\0';
    else
        std::snprintf(out, size_t(size), "%u", value);
}

}  // namespace settings_ui
