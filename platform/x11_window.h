// The application window as the X11 window system sees it: the native
// handles behind the SDL window, the screen's size, and the styles used for
// the borderless full-screen modes. No window manager is required: without
// one the decoration hints are simply ignored and the move still happens.
// Main thread only (the thread that owns the SDL window); results beside each.
#pragma once

struct NativeWindow {
    void* display = nullptr;   // X11 Display*
    unsigned long window = 0;  // the drawing window (EGL surface)
    unsigned long frame = 0;   // the top-level window managed by the WM
};

// Fills `out` from SDL_GetWMInfo; false when there is no X11 window.
bool native_window_get(NativeWindow* out);
// The size of the default screen; false without a display.
bool screen_metrics(int* width, int* height);
// Adds (true) or removes (false) the caption, frame and sizing decorations.
void window_set_decorated(const NativeWindow& w, bool decorated);
// Keeps the window above others (or not).
void window_set_topmost(const NativeWindow& w, bool on);
// Moves and resizes the top-level window.
void window_move_resize(const NativeWindow& w, int x, int y, int width, int height);
// The window's current position and size on the screen.
bool window_rect(const NativeWindow& w, int* x, int* y, int* width, int* height);
// The window's title as the X server holds it (tests and diagnostics).
bool window_title(const NativeWindow& w, char* buf, int size);
