#include "platform/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>

#include <cstring>

#include "platform/text_copy.h"

namespace {

Display* dpy(const NativeWindow& w)
{
    return static_cast<Display*>(w.display);
}

// SDL 1.2 shares its X connection with other threads; take its lock around
// every request.
struct X11Lock {
    SDL_SysWMinfo info{};
    bool held = false;
    X11Lock()
    {
        SDL_VERSION(&info.version);
        held = SDL_GetWMInfo(&info) > 0 && info.info.x11.lock_func;
        if (held)
            info.info.x11.lock_func();
    }
    ~X11Lock()
    {
        if (held)
            info.info.x11.unlock_func();
    }
};

// The window-manager hints that turn decorations on or off.
struct MotifHints {
    unsigned long flags, functions, decorations;
    long input_mode;
    unsigned long status;
};

}  // namespace

bool native_window_get(NativeWindow* out)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11)
        return false;
    out->display = info.info.x11.display;
    out->window = info.info.x11.window;
    out->frame = info.info.x11.wmwindow;
    return out->display && out->window;
}

bool screen_metrics(int* width, int* height)
{
    NativeWindow nw;
    if (native_window_get(&nw)) {
        X11Lock lock;
        Display* d = dpy(nw);
        *width = DisplayWidth(d, DefaultScreen(d));
        *height = DisplayHeight(d, DefaultScreen(d));
        return true;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    *width = DisplayWidth(d, DefaultScreen(d));
    *height = DisplayHeight(d, DefaultScreen(d));
    XCloseDisplay(d);
    return true;
}

void window_set_decorated(const NativeWindow& w, bool decorated)
{
    X11Lock lock;
    MotifHints hints{2, 0, decorated ? 1ul : 0ul, 0, 0};
    Atom prop = XInternAtom(dpy(w), "_MOTIF_WM_HINTS", False);
    XChangeProperty(dpy(w), w.frame, prop, prop, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&hints), 5);
    XFlush(dpy(w));
}

void window_set_topmost(const NativeWindow& w, bool on)
{
    X11Lock lock;
    Display* d = dpy(w);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w.frame;
    ev.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = on ? 1 : 0;
    ev.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_ABOVE", False));
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &ev);
    if (on)
        XRaiseWindow(d, w.frame);
    XFlush(d);
}

void window_move_resize(const NativeWindow& w, int x, int y, int width, int height)
{
    X11Lock lock;
    XMoveResizeWindow(dpy(w), w.frame, x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    if (w.window != w.frame)
        XResizeWindow(dpy(w), w.window, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    XFlush(dpy(w));
}

bool window_rect(const NativeWindow& w, int* x, int* y, int* width, int* height)
{
    X11Lock lock;
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy(w), w.frame, &attrs))
        return false;
    Window child;
    XTranslateCoordinates(dpy(w), w.frame, DefaultRootWindow(dpy(w)), 0, 0, x, y, &child);
    *width = attrs.width;
    *height = attrs.height;
    return true;
}

bool window_title(const NativeWindow& w, char* buf, int size)
{
    X11Lock lock;
    char* name = nullptr;
    if (!XFetchName(dpy(w), w.frame, &name) || !name)
        return false;
    copy_text(buf, static_cast<size_t>(size), name);
    XFree(name);
    return true;
}
