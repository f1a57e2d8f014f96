// Drawing decoded video pictures from plain planes: the textures a picture
// needs, the draw of one picture, the clear of the video area, the choice of
// the picture path for the GL driver, and the blending state video and
// interface are composited with. Nothing here knows about sessions, so the
// local engine and the streaming player draw through the same calls.
//
// Contract (main thread only; every call makes GL calls on the current
// context, after gl_programs_init):
// - VideoTextures is owned by its caller: zero-initialise it, prepare it for
//   each new picture size, free it when done. The slots come from the fixed
//   slot table.
// - video_textures_prepare keeps the textures when they already fit width x
//   height and the path, else (re)creates them: Y, U, V luminance slots with
//   linear filtering (U and V at width/2 x height/2, rounded down) for the
//   YUV path; one RGBA slot with nearest filtering otherwise, since RGBA
//   pictures are converted to the size they are shown at and drawn 1:1 (the
//   clear before an RGBA picture is left out when its quad covers the window). False (and nothing held) when a slot
//   cannot be had.
// - video_planes_draw clears and draws one picture on the Y (or RGBA) slot's
//   quad. YUV: planes[0..2] hold Y (width x height) and U, V (width/2 x
//   height/2), rows tightly packed. RGBA: planes[0] holds width x height BGRA
//   pixels. No present: the caller draws overlays and presents. Textures that
//   were never prepared draw nothing.
// - video_area_clear clears the colour buffer (a frame without a picture).
#pragma once

#include <cstdint>

#include <GLES2/gl2.h>

struct TextureSlot;

struct VideoTextures {
    TextureSlot* y;  // Y plane, or the one RGBA slot
    TextureSlot* u;  // null in the RGBA path
    TextureSlot* v;
    int32_t width;  // size the textures were prepared for
    int32_t height;
    bool yuv;
};

bool video_textures_prepare(VideoTextures* t, int width, int height, bool yuv);
void video_planes_draw(const VideoTextures* t, const uint8_t* const planes[3], int width,
                       int height);
void video_textures_free(VideoTextures* t);
void video_area_clear();

// Whether pictures take the planar YUV path (zero-copy when the decoder
// gives plain 4:2:0): yes on a GPU; on a software rasterizer (llvmpipe,
// softpipe, swrast) pictures are converted to BGRA instead, which is several
// times cheaper there. The override is for drivers and tests (any thread
// before playback starts).
enum VideoPath { VIDEO_PATH_AUTO, VIDEO_PATH_YUV, VIDEO_PATH_RGB };
void video_path_override(VideoPath path);
bool video_yuv_path_preferred();

// The window box (x, y, w, h; GL's bottom-up rows) that shows the rows top ..
// bottom of a layer layer_height high drawn on the quad `positions` (clip
// space, vertices 0 top-left, 1 bottom-left, 2 top-right, 3 bottom-right, as
// texture_slot_set_geometry sets them, so every orientation works) in the
// viewport (x, y, w, h); a pixel of margin on each side for rounding,
// clipped to the viewport. Zero size when nothing of it is on the window.
struct ScissorBox {
    int32_t x, y, w, h;
};
ScissorBox layer_rows_scissor_box(const float positions[8], int layer_height, int top, int bottom,
                                  const int32_t viewport[4]);
// Limits drawing to where rows top .. bottom of the layer shown through slot
// lie on the window (false, and nothing enabled, when that is nowhere);
// gl_scissor_off lifts it. Drawing only the rows that hold something is what
// keeps an interface layer over the picture cheap on a software rasterizer.
bool gl_scissor_layer_rows(const TextureSlot* slot, int layer_height, int top, int bottom);
void gl_scissor_off();

// The blending state: saved before a player changes it and put back after,
// so that the interface finds the state it left.
struct GlBlendState {
    GLboolean enabled;
    GLint src_rgb;
    GLint dst_rgb;
    GLint src_alpha;
    GLint dst_alpha;
};
GlBlendState gl_blend_state_save();
void gl_blend_state_restore(const GlBlendState& state);
// Video under the interface: on with (source alpha, one minus source alpha),
// so transparent interface pixels let the picture through; off with (one,
// zero) when there is no picture (audio-only media), so a draw replaces.
void gl_blend_for_video(bool video_below);
