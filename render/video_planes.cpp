#include "render/video_planes.h"

#include <cstring>

#include "platform/media_enums.h"
#include "render/gl_context.h"
#include "render/video_output.h"

namespace {

VideoPath g_video_path = VIDEO_PATH_AUTO;

// Texture formats by bits per pixel, as texture_slot_create takes them.
constexpr int LUMINANCE_BITS = 8;
constexpr int RGBA_BITS = 32;

bool textures_fit(const VideoTextures* t, int width, int height, bool yuv)
{
    return t->y && t->width == width && t->height == height && t->yuv == yuv &&
           (!yuv || (t->u && t->v));
}

}  // namespace

bool video_textures_prepare(VideoTextures* t, int width, int height, bool yuv)
{
    if (!t)
        return false;
    if (textures_fit(t, width, height, yuv))
        return true;
    video_textures_free(t);
    if (width <= 0 || height <= 0)
        return false;
    if (yuv) {
        texture_slot_create(&t->y, LUMINANCE_BITS, width, height, true);
        texture_slot_create(&t->u, LUMINANCE_BITS, width / 2, height / 2, true);
        texture_slot_create(&t->v, LUMINANCE_BITS, width / 2, height / 2, true);
    } else {
        texture_slot_create(&t->y, RGBA_BITS, width, height, true);
    }
    t->width = width;
    t->height = height;
    t->yuv = yuv;
    if (!textures_fit(t, width, height, yuv)) {
        video_textures_free(t);
        return false;
    }
    return true;
}

void video_planes_draw(const VideoTextures* t, const uint8_t* const planes[3], int width,
                       int height)
{
    if (!t || !t->y || !planes || !planes[0])
        return;
    if (t->yuv)
        yuv_planes_draw(t->y, t->u, t->v, planes[0], planes[1], planes[2], width, height);
    else
        texture_slot_draw(t->y, planes[0], 0, width, height, true, true, false, true);
}

void video_textures_free(VideoTextures* t)
{
    if (!t)
        return;
    texture_slot_free(t->y);
    texture_slot_free(t->u);
    texture_slot_free(t->v);
    *t = VideoTextures{};
}

void video_area_clear()
{
    glClear(GL_COLOR_BUFFER_BIT);
}

void video_path_override(VideoPath path)
{
    g_video_path = path;
}

bool video_yuv_path_preferred()
{
    if (g_video_path != VIDEO_PATH_AUTO)
        return g_video_path == VIDEO_PATH_YUV;
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer)
        return true;
    return !(std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
             std::strstr(renderer, "swrast"));
}

GlBlendState gl_blend_state_save()
{
    GlBlendState s{};
    s.enabled = glIsEnabled(GL_BLEND);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.src_rgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.dst_rgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &s.src_alpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &s.dst_alpha);
    return s;
}

void gl_blend_state_restore(const GlBlendState& state)
{
    glBlendFuncSeparate(static_cast<GLenum>(state.src_rgb), static_cast<GLenum>(state.dst_rgb),
                        static_cast<GLenum>(state.src_alpha), static_cast<GLenum>(state.dst_alpha));
    if (state.enabled)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
}

void gl_blend_for_video(bool video_below)
{
    if (video_below) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
    } else {
        glBlendFunc(GL_ONE, GL_ZERO);
        glDisable(GL_BLEND);
    }
}

void gl_scissor_layer_rows(const VideoOutput* out, int layer_height, int row, int rows)
{
    const int wh = out->window_height > 0 ? out->window_height : out->screen_height;
    const int ww = out->window_width > 0 ? out->window_width : out->screen_width;
    if (layer_height <= 0 || orientation_is_portrait(out->orientation)) {
        gl_scissor_off();
        return;
    }
    // Window rows covered, rounded outwards so that no layer row is cut.
    const int64_t top = static_cast<int64_t>(row) * wh / layer_height;
    const int64_t bottom = (static_cast<int64_t>(row + rows) * wh + layer_height - 1) /
                           layer_height;
    // GL counts rows from the bottom; the half turn shows the layer upside down.
    const int64_t gl_y = out->orientation == ORIENTATION_HALF ? top : wh - bottom;
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, static_cast<GLint>(gl_y), ww, static_cast<GLsizei>(bottom - top));
}

void gl_scissor_off()
{
    glDisable(GL_SCISSOR_TEST);
}
