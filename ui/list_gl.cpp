#include "ui/list_gl.h"

#include <algorithm>

#include <GLES2/gl2.h>

#include "platform/media_enums.h"
#include "render/gl_context.h"
#include "render/video_output.h"
#include "ui/layers.h"
#include "ui/surface.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

namespace {

// Frames that must still repaint the whole interface layer: after a full
// present only one buffer holds the current interface, so the first two
// fast frames draw it; later ones redraw only the list's rectangle.
int g_full_frames = 2;

// Rows a ring needs beyond those fully visible: the two cut by the edges
// and one coming into view.
constexpr int RING_EXTRA_ROWS = 3;

bool fast_path_applies(const UiState* ui, const VideoOutput* out)
{
    const bool landscape = out->orientation == ORIENTATION_UPRIGHT ||
                           out->orientation == ORIENTATION_HALF;
    return out->gl.context && ui->ui_slot && !ui->ui_fullscreen_layer && landscape &&
           out->window_width == out->screen_width && out->window_height == out->screen_height;
}

void free_row_layer(UiLayer*& layer)
{
    if (!layer)
        return;
    texture_slot_free(layer->slot);
    surface_free(layer->surface);
    delete layer;
    layer = nullptr;
}

// Makes the ring of row layers; false when surfaces or slots run out. Only
// a whole ring is kept: a ring with fewer layers than visible rows would
// show some rows through another row's layer.
bool ensure_row_layers(Widget* w)
{
    ListFields& l = w->list;
    if (l.row_layer_count > 0)
        return true;
    if (l.row_layers_failed)
        return false;
    const int rh = std::max(1, int(l.row_height));
    const int count = std::min(LIST_MAX_ROW_LAYERS, w->height / rh + RING_EXTRA_ROWS);
    for (int i = 0; i < count; ++i) {
        auto* layer = new UiLayer{surface_create(w->width, rh), nullptr};
        if (layer->surface)
            texture_slot_create(&layer->slot, 32, w->width, rh, false);
        l.row_layers[i] = layer;
        l.row_layer_rows[i] = -1;
        if (!layer->surface || !layer->slot) {
            for (int k = 0; k <= i; ++k)
                free_row_layer(l.row_layers[k]);
            l.row_layers_failed = 1;
            return false;
        }
    }
    l.row_layer_count = count;
    return true;
}

// Keeps the caller's clear colour across the list's own clear.
class ClearColourKeeper {
public:
    ClearColourKeeper() { glGetFloatv(GL_COLOR_CLEAR_VALUE, saved_); }
    ~ClearColourKeeper() { glClearColor(saved_[0], saved_[1], saved_[2], saved_[3]); }
    ClearColourKeeper(const ClearColourKeeper&) = delete;
    ClearColourKeeper& operator=(const ClearColourKeeper&) = delete;

private:
    GLfloat saved_[4];
};

}  // namespace

void list_gl_screen_changed()
{
    g_full_frames = 2;
}

void list_gl_free(Widget* list)
{
    ListFields& l = list->list;
    free_row_layer(l.layer);
    for (UiLayer*& layer : l.row_layers)
        free_row_layer(layer);
    l.row_layer_count = 0;
}

void list_gl_invalidate(Widget* list)
{
    for (int i = 0; i < LIST_MAX_ROW_LAYERS; ++i)
        list->list.row_layer_rows[i] = -1;
}

bool list_gl_redraw(const UiState* ui, const VideoOutput* out, Widget* w)
{
    if (!ui || !out || !w || !fast_path_applies(ui, out) || !ensure_row_layers(w))
        return false;
    ListFields& l = w->list;
    const int W = out->screen_width;
    const int H = out->screen_height;
    int rh = std::max(1, int(l.row_height));
    int top = w->y + l.header_height;
    int bottom = w->y + w->height;
    if (bottom <= top)
        return false;

    if (g_full_frames > 0) {
        glClear(GL_COLOR_BUFFER_BIT);
        texture_slot_draw(ui->ui_slot, nullptr, 0, W, H, false, true, false, false);
        --g_full_frames;
    }

    // Clip to the rows' area (window coordinates, origin bottom-left).
    const bool upright = out->orientation == ORIENTATION_UPRIGHT;
    int sx = upright ? w->x : W - w->x - w->width;
    int sy = upright ? H - bottom : top;
    glEnable(GL_SCISSOR_TEST);
    glScissor(sx, sy, w->width, bottom - top);
    {
        ClearColourKeeper keep;
        uint32_t bg = l.background_colour;
        glClearColor(((bg >> 16) & 0xFF) / 255.0f, ((bg >> 8) & 0xFF) / 255.0f,
                     (bg & 0xFF) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    for (int i = l.offset > 0 ? l.offset / rh : 0; i < l.row_count; ++i) {
        int ry = top + i * rh - l.offset;
        if (ry >= bottom)
            break;
        if (ry + rh <= top)
            continue;
        int k = i % l.row_layer_count;
        UiLayer* layer = l.row_layers[k];
        if (l.row_layer_rows[k] != i) {
            list_paint_row(layer->surface, w, i);
            texture_slot_draw(layer->slot, layer->surface->pixels, 0, w->width, rh, true, false,
                              false, false);
            l.row_layer_rows[k] = i;
        }
        texture_slot_set_geometry(layer->slot, out->orientation, w->x, ry, W, H, w->width, rh);
        texture_slot_draw(layer->slot, nullptr, 0, w->width, rh, false, true, false, false);
    }
    glDisable(GL_SCISSOR_TEST);
    gl_present();
    return true;
}
