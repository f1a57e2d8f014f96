#include "ui/layers.h"

#include "platform/media_enums.h"
#include "render/gl_context.h"
#include "render/video_output.h"
#include "ui/artwork.h"
#include "ui/ui_state.h"

namespace {

UiLayer g_layers[UI_LAYER_COUNT];
int g_screen_w = 0;  // the screen size the layers are made for
int g_screen_h = 0;

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
TextureSlot* slot_for(const UiState* ui, Surface* surface)
{
    if (ui->ui_fullscreen_layer && g_layers[UI_LAYER_FULLSCREEN].slot &&
        surface == g_layers[UI_LAYER_LANDSCAPE].surface)
        return g_layers[UI_LAYER_FULLSCREEN].slot;
    for (UiLayer& layer : g_layers)
        if (layer.surface && layer.surface == surface)
            return layer.slot;
    return ui->ui_slot;
}

// Turns the on-screen list layer: upright for orientation 0, half a turn
// for any other.
void turn_list_layer(const UiState* ui, int orientation)
{
    TextureSlot* list = ui->list_layer_slot;
    if (!list)
        return;
    static constexpr float UPRIGHT[8] = {-1, 1, -1, -1, 1, 1, 1, -1};
    const float sign = orientation == ORIENTATION_UPRIGHT ? 1.0f : -1.0f;
    for (int i = 0; i < 8; ++i)
        list->positions[i] = UPRIGHT[i] * sign;
}

void set_layout(UiState* ui, const VideoOutput* out, const Surface* surface)
{
    const int w = surface ? surface->w : out->screen_width;
    const int h = surface ? surface->h : out->screen_height;
    ui->title_bar_height = TITLE_BAR_HEIGHT;
    ui->bottom_bar_height = BOTTOM_BAR_HEIGHT;
    ui->bottom_bar_y = h - BOTTOM_BAR_HEIGHT;
    ui->list_pane_width = LIST_PANE_WIDTH;
    ui->dialog_top = DIALOG_TOP;
    ui->info_pane_height = INFO_PANE_HEIGHT;
    ui->info_pane_width = INFO_PANE_WIDTH;
    ui->info_pane_margin = INFO_PANE_MARGIN;
    ui->info_pane_x = w - INFO_PANE_RIGHT_OFFSET;
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

int create_ui_surfaces(const VideoOutput* out)
{
    const int w = out ? out->screen_width : 0;
    const int h = out ? out->screen_height : 0;
    if (w < 1 || h < 1)
        return -1;
    // The portrait and third layers are made when first used: the
    // orientation only takes the landscape values on this platform, and at
    // full HD each layer costs 8 MB of surface and as much of texture.
    g_screen_w = w;
    g_screen_h = h;
    if (make_layer(g_layers[UI_LAYER_LANDSCAPE], w, h, true))
        return 0;
    free_ui_surfaces();
    return -1;
}

void free_ui_surfaces()
{
    for (UiLayer& layer : g_layers)
        free_layer(layer);
}

UiLayer* orientation_layer(int orientation)
{
    UiLayer& landscape = g_layers[UI_LAYER_LANDSCAPE];
    if (!orientation_is_portrait(orientation))
        return &landscape;
    UiLayer& portrait = g_layers[UI_LAYER_PORTRAIT];
    if (!portrait.surface && landscape.surface &&
        !make_layer(portrait, g_screen_h, g_screen_w, true))
        free_layer(portrait);
    return portrait.surface ? &portrait : &landscape;
}

void free_ui_layer(int id)
{
    if (id >= 0 && id < UI_LAYER_COUNT)
        free_layer(g_layers[id]);
}

void place_ui_layer(const VideoOutput* out, TextureSlot* slot, int width, int height)
{
    const int ww = out->window_width > 0 ? out->window_width : out->screen_width;
    const int wh = out->window_height > 0 ? out->window_height : out->screen_height;
    texture_slot_set_geometry(slot, out->orientation, 0, 0, ww, wh, width, height);
}

int apply_orientation(UiState* ui, VideoOutput* out, int orientation)
{
    if (!ui || !out)
        return 0;
    out->orientation = orientation;
    turn_list_layer(ui, orientation);
    const UiLayer& overlay = g_layers[UI_LAYER_OVERLAY];
    const bool overlay_shown = overlay.surface && ui->ui_surface == overlay.surface;
    if (!overlay_shown) {
        const UiLayer* layer = orientation_layer(orientation);
        ui->ui_surface = layer->surface;
        ui->ui_slot = layer->slot;
    } else {
        ui->ui_slot = overlay.slot;
    }
    Surface* surface = ui->ui_surface;
    if (surface) {
        place_ui_layer(out, ui->ui_slot, surface->w, surface->h);
        UiLayer& third = g_layers[UI_LAYER_FULLSCREEN];
        if (ui->ui_fullscreen_layer && !third.slot &&
            !make_layer(third, g_screen_w, g_screen_h, false))
            free_layer(third);
        if (ui->ui_fullscreen_layer)
            place_ui_layer(out, g_layers[UI_LAYER_FULLSCREEN].slot, surface->w, surface->h);
    }
    set_layout(ui, out, surface);
    present_ui_surface(ui);
    return 0;
}

int resize_layers(UiState* ui, const VideoOutput* out, int width, int height)
{
    if (!ui || !out || width < 1 || height < 1)
        return -1;
    if (width != out->window_width || height != out->window_height)
        present_ui_layer(ui, ui->ui_surface, 0xFF);
    UiLayer& overlay = g_layers[UI_LAYER_OVERLAY];
    const bool overlay_shown = overlay.surface && ui->ui_surface == overlay.surface;
    free_layer(overlay);
    const bool portrait = orientation_is_portrait(out->orientation);
    if (overlay_shown) {
        const UiLayer* own = orientation_layer(out->orientation);
        ui->ui_surface = own->surface;
        ui->ui_slot = own->slot;
    }
    if (width != out->screen_width || height != out->screen_height) {
        if (!make_layer(overlay, width, height, true)) {
            free_layer(overlay);
            return -1;
        }
        if (overlay_shown) {
            ui->ui_surface = overlay.surface;
            ui->ui_slot = overlay.slot;
        }
    }
    return artwork_fit_window(width, height, portrait);
}

void present_ui_surface(const UiState* ui)
{
    Surface* s = ui ? ui->ui_surface : nullptr;
    if (!s)
        return;
    texture_slot_draw(slot_for(ui, s), s->pixels, 0, s->w, s->h, true, true, true, false);
}

void present_ui_layer(const UiState* ui, Surface* surface, int alpha)
{
    if (!ui)
        return;
    if (!surface) {
        gl_clear_both_buffers();
        return;
    }
    SDL_FillRect(surface, nullptr, static_cast<uint32_t>(alpha & 0xFF) << 24);
    TextureSlot* slot = slot_for(ui, surface);
    texture_slot_draw(slot, surface->pixels, 0, surface->w, surface->h, true, true, true, true);
    texture_slot_draw(slot, surface->pixels, 0, surface->w, surface->h, false, true, true, true);
}
