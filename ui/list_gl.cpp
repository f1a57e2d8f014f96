#include "ui/list_gl.h"

#include <algorithm>

#include <GLES2/gl2.h>

#include "app/app_state.h"
#include "render/gl_context.h"
#include "ui/layers.h"
#include "ui/surface.h"
#include "ui/widget.h"

namespace {

// Frames that must still repaint the whole interface layer: after a full
// present only one buffer holds the current interface, so the first two
// fast frames draw it; later ones redraw only the list's rectangle.
int g_full_frames = 2;

bool fast_path_applies(const AppState* app)
{
    return app->out.gl.context && app->ui.ui_slot && !app->ui.ui_fullscreen_layer &&
           (app->out.orientation == 0 || app->out.orientation == 2) &&
           app->out.window_width == screen_width && app->out.window_height == screen_height;
}

// Makes the ring of row layers; false when surfaces or slots run out.
bool ensure_row_layers(Widget* w)
{
    ListFields& l = w->list;
    if (l.row_layer_count > 0)
        return true;
    int rh = std::max(1, int(l.row_height));
    int count = std::min(LIST_MAX_ROW_LAYERS, w->height / rh + 3);
    for (int i = 0; i < count; ++i) {
        auto* layer = new UiLayer{surface_create(w->width, rh), nullptr};
        texture_slot_create(&layer->slot, 32, w->width, rh, false);
        l.row_layers[i] = layer;
        l.row_layer_rows[i] = -1;
        if (!layer->surface || !layer->slot) {
            l.row_layer_count = i + 1;
            return false;
        }
    }
    l.row_layer_count = count;
    return true;
}

}  // namespace

void list_gl_screen_changed() { g_full_frames = 2; }

void list_gl_invalidate(Widget* list)
{
    for (int i = 0; i < LIST_MAX_ROW_LAYERS; ++i)
        list->list.row_layer_rows[i] = -1;
}

bool list_gl_redraw(AppState* app, Widget* w)
{
    if (!app || !w || !fast_path_applies(app) || !ensure_row_layers(w))
        return false;
    ListFields& l = w->list;
    const int W = screen_width;
    const int H = screen_height;
    int rh = std::max(1, int(l.row_height));
    int top = w->y + l.header_height;
    int bottom = w->y + w->height;
    if (bottom <= top)
        return false;

    if (g_full_frames > 0) {
        glClear(GL_COLOR_BUFFER_BIT);
        texture_slot_draw(app->ui.ui_slot, nullptr, 0, W, H, false, true, false, false);
        --g_full_frames;
    }

    // Clip to the rows' area (window coordinates, origin bottom-left).
    int sx = app->out.orientation == 0 ? w->x : W - w->x - w->width;
    int sy = app->out.orientation == 0 ? H - bottom : top;
    glEnable(GL_SCISSOR_TEST);
    glScissor(sx, sy, w->width, bottom - top);
    uint32_t bg = l.background_colour;
    glClearColor(((bg >> 16) & 0xFF) / 255.0f, ((bg >> 8) & 0xFF) / 255.0f, (bg & 0xFF) / 255.0f,
                 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);

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
        texture_slot_set_geometry(layer->slot, app->out.orientation, w->x, ry, W, H, w->width, rh);
        texture_slot_draw(layer->slot, nullptr, 0, w->width, rh, false, true, false, false);
    }
    glDisable(GL_SCISSOR_TEST);
    gl_present();
    return true;
}
