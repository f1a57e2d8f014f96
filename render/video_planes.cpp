#include "render/video_planes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/gl_context.h"

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

// Whether the quad covers the whole viewport (Fill, Crop): the clear before
// the picture is then wasted work on every frame.
bool quad_covers_viewport(const TextureSlot* slot)
{
    float x0 = 1, x1 = -1, y0 = 1, y1 = -1;
    for (int i = 0; i < 8; i += 2) {
        x0 = std::min(x0, slot->positions[i]);
        x1 = std::max(x1, slot->positions[i]);
        y0 = std::min(y0, slot->positions[i + 1]);
        y1 = std::max(y1, slot->positions[i + 1]);
    }
    return x0 <= -1 && x1 >= 1 && y0 <= -1 && y1 >= 1;
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
        // RGBA pictures are converted to the size they are shown at: drawn
        // 1:1, nearest sampling is exact and cheapest.
        texture_slot_create(&t->y, RGBA_BITS, width, height, false);
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
    // The picture is opaque: blending it (on for the interface drawn over
    // it) would only add a read of every pixel it covers.
    const GLboolean blend = glIsEnabled(GL_BLEND);
    if (blend)
        glDisable(GL_BLEND);
    if (t->yuv)
        yuv_planes_draw(t->y, t->u, t->v, planes[0], planes[1], planes[2], width, height);
    else
        texture_slot_draw(t->y, planes[0], 0, width, height, true, true, false,
                          !quad_covers_viewport(t->y));
    if (blend)
        glEnable(GL_BLEND);
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

ScissorBox layer_rows_scissor_box(const float positions[8], int layer_height, int top, int bottom,
                                  const int32_t viewport[4])
{
    if (layer_height <= 0 || viewport[2] <= 0 || viewport[3] <= 0)
        return ScissorBox{};
    const float t[2] = {static_cast<float>(top) / layer_height,
                        static_cast<float>(bottom) / layer_height};
    float x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (float tv : t)
        for (float sv : {0.0f, 1.0f}) {
            // Point (s, t) of the texture on the quad, in clip space.
            const float cx = positions[0] + sv * (positions[4] - positions[0]) +
                             tv * (positions[2] - positions[0]);
            const float cy = positions[1] + sv * (positions[5] - positions[1]) +
                             tv * (positions[3] - positions[1]);
            x0 = std::min(x0, cx), x1 = std::max(x1, cx);
            y0 = std::min(y0, cy), y1 = std::max(y1, cy);
        }
    // To window pixels, a pixel of margin for rounding, within the viewport.
    auto px = [&](float c) { return viewport[0] + (c + 1.0f) / 2.0f * viewport[2]; };
    auto py = [&](float c) { return viewport[1] + (c + 1.0f) / 2.0f * viewport[3]; };
    const int32_t left = std::max(viewport[0], static_cast<int32_t>(std::floor(px(x0))) - 1);
    const int32_t right = std::min(viewport[0] + viewport[2],
                                   static_cast<int32_t>(std::ceil(px(x1))) + 1);
    const int32_t low = std::max(viewport[1], static_cast<int32_t>(std::floor(py(y0))) - 1);
    const int32_t high = std::min(viewport[1] + viewport[3],
                                  static_cast<int32_t>(std::ceil(py(y1))) + 1);
    if (right <= left || high <= low)
        return ScissorBox{};
    return ScissorBox{left, low, right - left, high - low};
}

bool gl_scissor_layer_rows(const TextureSlot* slot, int layer_height, int top, int bottom)
{
    if (!slot)
        return false;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int32_t vp[4] = {viewport[0], viewport[1], viewport[2], viewport[3]};
    const ScissorBox box = layer_rows_scissor_box(slot->positions, layer_height, top, bottom, vp);
    if (box.w <= 0 || box.h <= 0)
        return false;
    glEnable(GL_SCISSOR_TEST);
    glScissor(box.x, box.y, box.w, box.h);
    return true;
}

void gl_scissor_off()
{
    glDisable(GL_SCISSOR_TEST);
}
