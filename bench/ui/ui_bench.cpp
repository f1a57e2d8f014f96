// Times the software drawing the interface does most: scaling a full-HD
// picture to the window, one 60-character line of the main font, and
// full-surface fills and blends at the window size. Run by hand from any
// folder: bench/ui_bench [rounds]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <SDL/SDL_ttf.h>

#include "ui/surface.h"
#include "ui/text.h"

namespace {

constexpr int WIDTH = 1000;
constexpr int HEIGHT = 600;

// Median milliseconds per call over `rounds` timed calls after a warm-up.
double time_ms(int rounds, const std::function<void()>& operation)
{
    for (int i = 0; i < 3; ++i)
        operation();
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        operation();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

Surface* picture(int w, int h)
{
    Surface* s = surface_create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put_pixel(s, x, y,
                      0xFF000000u | (x * 255 / w) << 16 | (y * 255 / h) << 8 | ((x ^ y) & 0xFF));
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    if (chdir(VELMORA_RUN_DIR) != 0 || TTF_Init() != 0 || fonts_open() != 0) {
        std::fprintf(stderr, "fonts not found in %s\n", VELMORA_RUN_DIR);
        return 1;
    }
    SurfacePtr full_hd(picture(1920, 1080));
    SurfacePtr window(picture(WIDTH, HEIGHT));
    SurfacePtr translucent(surface_create(WIDTH, HEIGHT));
    fill_rect(translucent.get(), 0, 0, WIDTH, HEIGHT, 0x80E04F0Fu);

    const double scale = time_ms(rounds, [&] {
        // scale_surface frees its source: scale a fresh copy each time.
        Surface* copy = surface_create(1920, 1080);
        copy_pixels(copy, full_hd.get(), 0, 0);
        SurfacePtr out(scale_surface(copy, WIDTH, HEIGHT));
    });
    const double copy_only = time_ms(rounds, [&] {
        SurfacePtr copy(surface_create(1920, 1080));
        copy_pixels(copy.get(), full_hd.get(), 0, 0);
    });
    const char* line = "Velmora Media Player 4.0.2 - Local Media - Holidays 2024.mkv";
    const double text = time_ms(rounds * 10, [&] {
        draw_text(window.get(), line, font_get(FONT_SET_MAIN, FONT_PRELUDE), 10, 10, 980, 40,
                  ALIGN_LEFT, TEXT_BLEND, 0xFFFFFF);
    });
    const double fill_opaque = time_ms(
        rounds, [&] { fill_rect(window.get(), 0, 0, WIDTH, HEIGHT, 0xFF202020u); });
    const double fill_blend = time_ms(
        rounds, [&] { fill_rect(window.get(), 0, 0, WIDTH, HEIGHT, 0x80E04F0Fu); });
    const double blend = time_ms(rounds,
                                 [&] { blend_over(window.get(), translucent.get(), 0, 0); });
    const double blit = time_ms(rounds, [&] { blit_alpha(window.get(), translucent.get(), 0, 0); });

    std::printf("scale_surface 1920x1080 -> %dx%d: %.2f ms (of which the source copy %.2f ms)\n",
                WIDTH, HEIGHT, scale, copy_only);
    std::printf("draw_text, 60 characters, set 3: %.3f ms\n", text);
    std::printf("fill_rect %dx%d opaque: %.2f ms, translucent: %.2f ms\n", WIDTH, HEIGHT,
                fill_opaque, fill_blend);
    std::printf("blend_over %dx%d: %.2f ms, blit_alpha: %.2f ms\n", WIDTH, HEIGHT, blend, blit);
    fonts_close();
    TTF_Quit();
    return 0;
}
