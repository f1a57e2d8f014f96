// The EGL context on the application window, the two GLES 2 programs and the
// fixed table of 32 texture slots through which everything reaches the screen.
// All calls are made on the main thread.
#pragma once

#include <cstdint>

#include <EGL/egl.h>

struct GlContext {
    int32_t width;
    int32_t height;
    unsigned long window;     // X11 Window
    void* native_display;     // X11 Display*
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
};

// Creates the EGL display, window surface and GLES 2 context on ctx->window.
bool gl_context_create(GlContext* ctx);
// Sets the fixed GL state and builds both programs; zeroes the slot table.
void gl_programs_init();
// Deletes both programs.
void gl_programs_free();
// Releases the EGL context, surface and display.
void gl_context_destroy(GlContext* ctx);
void gl_present();
