// The window context on a real X server (the system tests' Xvfb helper): an
// ARGB interface layer appears on the window in its true colours, and a new
// aspect mode wipes both of the window's buffers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <vector>

#include "render/video_layout.h"
#include "render/video_output.h"
#include "tests/render/gl_test_support.h"
#include "tests/system/program_harness.h"

namespace {

TEST(RenderWindow, LayerReachesTheX11WindowInTrueColoursAndANewModeWipesIt)
{
    harness::VirtualDisplay server(320, 240);
    ASSERT_TRUE(server.ok()) << "Xvfb did not start";
    Display* display = XOpenDisplay(server.name().c_str());
    ASSERT_NE(display, nullptr);
    constexpr int W = 200, H = 100;
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, W, H, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    auto window_pixel = [&](int x, int y) {
        glFinish();
        XSync(display, False);
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long value = image ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0xDEADBEEF;
        if (image)
            XDestroyImage(image);
        return value;
    };
    GlContext ctx{};
    ctx.width = W;
    ctx.height = H;
    ctx.native_display = display;
    ctx.window = window;
    ASSERT_TRUE(gl_context_create(&ctx));
    gl_programs_init();
    // Top half red, bottom half blue, as ARGB surface bytes.
    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, W, H, false);
    ASSERT_NE(layer, nullptr);
    texture_slot_set_geometry(layer, 0, 0, 0, W, H, W, H);
    const auto pixels = argb_pixels(W * H, [](size_t i) {
        return i < W * H / 2 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
    });
    texture_slot_draw(layer, pixels.data(), 0, W, H, true, true, true, true);
    EXPECT_EQ(window_pixel(10, 10), 0xFF0000ul);
    EXPECT_EQ(window_pixel(150, 90), 0x0000FFul);
    // A new aspect mode wipes the window to black, and the next swap shows no
    // old picture either; the caller's clear colour survives.
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    auto out = std::make_unique<VideoOutput>();
    out->screen_width = out->window_width = W;
    out->screen_height = out->window_height = H;
    out->video = {layer, false, 1920, 1080, 1, 1, 1920};
    ASSERT_EQ(apply_aspect_mode(out.get(), ASPECT_BOXED, W, H), 0);
    EXPECT_EQ(window_pixel(10, 10), 0x000000ul);
    gl_present();
    EXPECT_EQ(window_pixel(150, 90), 0x000000ul);
    GLfloat colour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    EXPECT_EQ(colour[1], 1.0f);
    gl_programs_free();
    gl_context_destroy(&ctx);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

}  // namespace
