// The window context on a real X server (Xvfb started by the test): an ARGB
// interface layer drawn through it appears on the window in its true colours.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "render/gl_context.h"
#include "render/video_layout.h"
#include "render/video_output.h"
#include "tests/render/gl_test_support.h"

namespace {

// Starts Xvfb on a display number it picks itself and reports when ready.
class XServer {
public:
    XServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            setenv("GLIBC_TUNABLES",
                   "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456", 1);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                   "320x240x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~XServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

unsigned long window_pixel(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xDEADBEEF;
    const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return value;
}

TEST(RenderWindow, LayerReachesTheX11WindowInTrueColours) {
    XServer server;
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    Display* display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    constexpr int W = 200, H = 100;
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, W, H, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);

    GlContext ctx{};
    ctx.width = W;
    ctx.height = H;
    ctx.native_display = display;
    ctx.window = window;
    ASSERT_TRUE(gl_context_create(&ctx));
    EXPECT_EQ(ctx.width, W);
    EXPECT_EQ(ctx.height, H);
    EXPECT_EQ(eglGetCurrentSurface(EGL_DRAW), ctx.surface);
    gl_programs_init();
    EXPECT_NE(gl_quad_program(), 0u);

    // Top half red, bottom half blue, as ARGB surface bytes.
    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, W, H, false);
    ASSERT_NE(layer, nullptr);
    texture_slot_set_geometry(layer, 0, 0, 0, W, H, W, H);
    std::vector<uint8_t> pixels(W * H * 4);
    for (int i = 0; i < W * H; ++i) {
        if (i < W * H / 2)
            put_argb(pixels, i, 255, 0, 0);
        else
            put_argb(pixels, i, 0, 0, 255);
    }
    texture_slot_draw(layer, pixels.data(), 0, W, H, true, true, true, true);
    glFinish();
    XSync(display, False);
    EXPECT_EQ(window_pixel(display, window, 10, 10), 0xFF0000ul);
    EXPECT_EQ(window_pixel(display, window, 150, 90), 0x0000FFul);

    // A new aspect mode wipes the window to black, and the next swap shows
    // no old picture either.
    auto out = std::make_unique<VideoOutput>();
    out->screen_width = out->window_width = W;
    out->screen_height = out->window_height = H;
    out->video = {layer, false, 1920, 1080, 1, 1, 1920};
    ASSERT_EQ(apply_aspect_mode(out.get(), ASPECT_BOXED, W, H), 0);
    XSync(display, False);
    EXPECT_EQ(window_pixel(display, window, 10, 10), 0x000000ul);
    gl_present();
    glFinish();
    XSync(display, False);
    EXPECT_EQ(window_pixel(display, window, 150, 90), 0x000000ul);

    gl_programs_free();
    gl_context_destroy(&ctx);
    EXPECT_EQ(ctx.display, nullptr);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

}  // namespace
