// The EGL context on the application window, the two GLES 2 programs and the
// fixed table of 32 texture slots through which everything reaches the screen.
//
// Contract:
// - All calls are made on the main thread, with the context current.
// - gl_context_create makes a GLES 2 context on the X11 window ctx->window of
//   the X11 display ctx->native_display (both taken from SDL_GetWMInfo by
//   start-up), whose width/height the caller has set to the screen size
//   (they are kept as given). Then
//   gl_programs_init is called once; at shutdown gl_programs_free, then
//   gl_context_destroy.
// - gl_context_create_pbuffer makes the same kind of context on an off-screen
//   8-8-8-8 pbuffer of the given size, without any X server: it asks Mesa for
//   its surfaceless platform (EGL_MESA_platform_surfaceless, llvmpipe when
//   there is no GPU), else EGL_DEFAULT_DISPLAY. No environment variable is
//   needed on Mesa 22.3 (Debian 12), and DISPLAY is not looked at; setting
//   EGL_PLATFORM=surfaceless is harmless. Tests and headless drivers use it;
//   gl_present on it swaps nothing visible, and glReadPixels reads what was
//   drawn.
// - The window context names the X11 platform explicitly, so an
//   EGL_PLATFORM set in the environment does not divert it.
// - Uploads take tightly packed rows: RGBA rows of width * 4 bytes, luminance
//   rows of width bytes (any width, odd included).
// - Interface surfaces are 32-bit ARGB (bytes B,G,R,A in memory) and are
//   uploaded as GL_RGBA; the quad program swizzles so that they appear in
//   their true colours. RGBA video frames must therefore be BGRA in memory.
// - Blending starts off: a draw replaces the pixels below it.
// - Every draw operation ignores a null slot.
#pragma once

#include <cstdint>

#include <EGL/egl.h>
#include <GLES2/gl2.h>

struct GlContext {
    int32_t width;  // screen size, set by the caller before creation
    int32_t height;
    unsigned long window;  // X11 Window; 0 for a pbuffer context
    void* native_display;  // X11 Display*
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
};

// Creates the EGL display, window surface and GLES 2 context on ctx->window
// and makes it current. display, surface and context are stored only on
// success; false on any EGL failure (no surface or context is left behind).
bool gl_context_create(GlContext* ctx);
// Same, on a width x height pbuffer with 8 bits per channel; no X needed.
bool gl_context_create_pbuffer(GlContext* ctx, int width, int height);
// Releases the EGL context and surface; the record is zeroed. Call it before
// the X window is destroyed. The EGL display stays initialised for the life
// of the process: terminating it would unload the driver under any other
// context, and the next create reuses it. Closing the X display afterwards
// is safe; a process opens its X display once.
void gl_context_destroy(GlContext* ctx);

// Sets the fixed GL state, builds both programs and zeroes the slot table.
// A program that fails to build stays 0; start-up carries on.
void gl_programs_init();
// Deletes both programs and every texture still held by a slot.
void gl_programs_free();
// Program names after gl_programs_init (0 when the build failed).
GLuint gl_quad_program();
GLuint gl_yuv_program();

// Compiles one shader; 0 on failure (the log goes to stderr in debug builds).
GLuint shader_compile(GLenum type, const char* source);
// Compiles and links a program from two sources; 0 on failure.
GLuint program_build(const char* vertex_source, const char* fragment_source);

constexpr int TEXTURE_SLOT_COUNT = 32;

// One GL texture and the quad it is drawn on.
struct TextureSlot {
    uint8_t in_use;
    uint8_t luminance;  // created for 8-bit single-channel data
    uint8_t linear;     // 1 linear filtering, 0 nearest
    int32_t width;
    int32_t height;
    GLuint texture;
    float positions[8];  // vertices 0..3, (x, y) in clip space
    float texcoords[8];  // vertices 0..3, (s, t)
};

// Takes the first free slot, creates its texture (RGBA for 32 bits per pixel,
// else LUMINANCE) of width x height, and sets the default full-screen quad.
// *out is null when all TEXTURE_SLOT_COUNT slots are in use (no texture is
// generated then).
void texture_slot_create(TextureSlot** out, int bits_per_pixel, int width, int height, bool linear);
// Deletes the slot's texture and frees the slot. Null is ignored.
void texture_slot_free(TextureSlot* slot);

// The one way interface layers and RGBA video frames reach the screen.
// clear: glClear first. upload: a nearest slot replaces rows row_offset ..
// row_offset + height - 1 with pixels (width x height; rows of the band
// outside the texture are dropped, the others still arrive); a linear slot gets a
// new texture of width x height (row_offset unused). A linear slot is drawn
// only in the call that uploads it. draw: draw the quad. present: swap.
void texture_slot_draw(TextureSlot* slot, const void* pixels, int row_offset, int width, int height,
                       bool upload, bool draw, bool present, bool clear);
// Draws a small widget image as a triangle strip with nearest filtering;
// with upload the whole image (width x height) is specified first. No clear,
// no present.
void texture_slot_draw_strip(TextureSlot* slot, const void* pixels, int width, int height,
                             bool upload);
// Clears and draws a planar YUV picture through the YUV program on the Y
// slot's quad: Y is width x height, U and V are width/2 x height/2 (rounded
// down), all tightly packed. No present: the caller draws overlays and swaps.
void yuv_planes_draw(TextureSlot* y, TextureSlot* u, TextureSlot* v, const void* y_pixels,
                     const void* u_pixels, const void* v_pixels, int width, int height);

// Places the slot's quad on the rectangle (x, y, w, h) in pixels from the
// top-left of a screen_w x screen_h screen, for orientation 0 (upright),
// 2 (half turn), 1 and 3 (quarter turns; x runs along the screen's vertical
// axis). Other orientations leave the quad unchanged.
void texture_slot_set_geometry(TextureSlot* slot, int orientation, int x, int y, int screen_w,
                               int screen_h, int w, int h);

// Swaps the current EGL surface.
void gl_present();
// Clears both buffers to transparent black (clear and swap, twice), so that
// no old picture survives in either; the clear colour is kept.
void gl_clear_both_buffers();
