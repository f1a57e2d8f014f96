#include "ui/layers.h"

#include "app/app_state.h"
#include "render/gl_context.h"
#include "ui/artwork.h"

namespace {

UiLayer g_layers[UI_LAYER_COUNT];

void free_layer(UiLayer& layer)
{
    texture_slot_free(layer.slot);
    surface_free(layer.surface);
    layer = {};
}

// Makes a layer of width x height; the surface only when asked for.
bool make_layer(UiLayer& layer, int width, int height, bool with_surface)
{
    if (with_surface) {
        layer.surface = surface_create(width, height);
        if (!layer.surface)
            return false;
    }
    texture_slot_create(&layer.slot, 32, width, height, false);
    return layer.slot != nullptr;
}

// The slot a surface is shown through: its own layer's, or the third
// layer's while the player selected it for the landscape surface.
TextureSlot* slot_for(AppState* app, Surface* surface)
{
    if (app->ui.ui_fullscreen_layer && g_layers[UI_LAYER_FULLSCREEN].slot &&
        surface == g_layers[UI_LAYER_LANDSCAPE].surface)
        return g_layers[UI_LAYER_FULLSCREEN].slot;
    for (UiLayer& layer : g_layers)
        if (layer.surface && layer.surface == surface)
            return layer.slot;
    return app->ui.ui_slot;
}

// Turns the on-screen list layer: upright for orientation 0, half a turn
// for any other.
void turn_list_layer(AppState* app)
{
    TextureSlot* list = app->ui.list_layer_slot;
    if (!list)
        return;
    static constexpr float UPRIGHT[8] = {-1, 1, -1, -1, 1, 1, 1, -1};
    const float sign = app->out.orientation == 0 ? 1.0f : -1.0f;
    for (int i = 0; i < 8; ++i)
        list->positions[i] = UPRIGHT[i] * sign;
}

void set_layout(AppState* app, const Surface* surface)
{
    const int w = surface ? surface->w : screen_width;
    const int h = surface ? surface->h : screen_height;
    app->ui.title_bar_height = TITLE_BAR_HEIGHT;
    app->ui.bottom_bar_height = BOTTOM_BAR_HEIGHT;
    app->ui.bottom_bar_y = h - BOTTOM_BAR_HEIGHT;
    app->ui.list_pane_width = LIST_PANE_WIDTH;
    app->ui.dialog_top = DIALOG_TOP;
    app->ui.info_pane_height = INFO_PANE_HEIGHT;
    app->ui.info_pane_width = INFO_PANE_WIDTH;
    app->ui.info_pane_margin = INFO_PANE_MARGIN;
    app->ui.info_pane_x = w - INFO_PANE_RIGHT_OFFSET;
}

}  // namespace

UiLayer* ui_layer(int id)
{
    static UiLayer none;
    if (id < 0 || id >= UI_LAYER_COUNT) {
        none = {};
        return &none;
    }
    return &g_layers[id];
}

int create_ui_surfaces()
{
    if (screen_width < 1 || screen_height < 1)
        return -1;
    if (make_layer(g_layers[UI_LAYER_LANDSCAPE], screen_width, screen_height, true) &&
        make_layer(g_layers[UI_LAYER_PORTRAIT], screen_height, screen_width, true) &&
        make_layer(g_layers[UI_LAYER_FULLSCREEN], screen_width, screen_height, false))
        return 0;
    free_ui_surfaces();
    return -1;
}

void free_ui_surfaces()
{
    for (UiLayer& layer : g_layers)
        free_layer(layer);
}

void place_ui_layer(AppState* app, TextureSlot* slot, int width, int height)
{
    const int ww = app->out.window_width > 0 ? app->out.window_width : screen_width;
    const int wh = app->out.window_height > 0 ? app->out.window_height : screen_height;
    texture_slot_set_geometry(slot, app->out.orientation, 0, 0, ww, wh, width, height);
}

int apply_orientation(AppState* app, int orientation)
{
    if (!app)
        return 0;
    app->out.orientation = orientation;
    turn_list_layer(app);
    const UiLayer& overlay = g_layers[UI_LAYER_OVERLAY];
    const bool overlay_shown = overlay.surface && app->ui.ui_surface == overlay.surface;
    if (!overlay_shown) {
        const bool landscape = orientation == 0 || orientation == 2;
        const UiLayer& layer = g_layers[landscape ? UI_LAYER_LANDSCAPE : UI_LAYER_PORTRAIT];
        app->ui.ui_surface = layer.surface;
        app->ui.ui_slot = layer.slot;
    } else {
        app->ui.ui_slot = overlay.slot;
    }
    Surface* surface = app->ui.ui_surface;
    if (surface) {
        place_ui_layer(app, app->ui.ui_slot, surface->w, surface->h);
        if (app->ui.ui_fullscreen_layer)
            place_ui_layer(app, g_layers[UI_LAYER_FULLSCREEN].slot, surface->w, surface->h);
    }
    set_layout(app, surface);
    present_ui_surface(app);
    return 0;
}

int resize_layers(AppState* app, int width, int height)
{
    if (!app || width < 1 || height < 1)
        return -1;
    if (width != app->out.window_width || height != app->out.window_height)
        present_ui_layer(app, app->ui.ui_surface, 0xFF);
    UiLayer& overlay = g_layers[UI_LAYER_OVERLAY];
    const bool overlay_shown = overlay.surface && app->ui.ui_surface == overlay.surface;
    free_layer(overlay);
    const bool portrait = app->out.orientation == 1 || app->out.orientation == 3;
    if (overlay_shown) {
        const UiLayer& own = g_layers[portrait ? UI_LAYER_PORTRAIT : UI_LAYER_LANDSCAPE];
        app->ui.ui_surface = own.surface;
        app->ui.ui_slot = own.slot;
    }
    if (width != screen_width || height != screen_height) {
        if (!make_layer(overlay, width, height, true)) {
            free_layer(overlay);
            return -1;
        }
        if (overlay_shown) {
            app->ui.ui_surface = overlay.surface;
            app->ui.ui_slot = overlay.slot;
        }
    }
    return artwork_fit_window(width, height, portrait);
}

void present_ui_surface(AppState* app)
{
    Surface* s = app ? app->ui.ui_surface : nullptr;
    if (!s)
        return;
    texture_slot_draw(slot_for(app, s), s->pixels, 0, s->w, s->h, true, true, true, false);
}

void present_ui_layer(AppState* app, Surface* surface, int alpha)
{
    if (!app)
        return;
    if (!surface) {
        gl_clear_both_buffers();
        return;
    }
    SDL_FillRect(surface, nullptr, static_cast<uint32_t>(alpha & 0xFF) << 24);
    TextureSlot* slot = slot_for(app, surface);
    texture_slot_draw(slot, surface->pixels, 0, surface->w, surface->h, true, true, true, true);
    texture_slot_draw(slot, surface->pixels, 0, surface->w, surface->h, false, true, true, true);
}
