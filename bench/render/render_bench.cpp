// Times the GL paths the player uses every frame, on a 1000 x 600 pbuffer:
// a full interface-layer present, a 60-row band refresh of that layer, and a
// planar YUV video frame. glFinish ends each operation so that the driver's
// work is counted, not just queued. Run by hand: bench/render_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "render/gl_context.h"

namespace {

constexpr int WIDTH = 1000;
constexpr int HEIGHT = 600;
constexpr int BAND = 60;

// Median milliseconds per call over `rounds` timed calls after a warm-up.
double time_ms(int rounds, const std::function<void(int)>& operation) {
    for (int i = 0; i < 5; ++i) operation(i);
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        operation(i);
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// ARGB surface bytes that change with `frame`, so no upload is a repeat.
void paint(std::vector<uint8_t>& pixels, int frame) {
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<uint8_t>(i + frame);
        pixels[i + 1] = static_cast<uint8_t>(i >> 8);
        pixels[i + 2] = static_cast<uint8_t>(frame * 7);
        pixels[i + 3] = 0xFF;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    GlContext ctx{};
    if (!gl_context_create_pbuffer(&ctx, WIDTH, HEIGHT)) {
        std::fprintf(stderr, "no EGL pbuffer context\n");
        return 1;
    }
    gl_programs_init();

    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, WIDTH, HEIGHT, false);
    texture_slot_set_geometry(layer, 0, 0, 0, WIDTH, HEIGHT, WIDTH, HEIGHT);
    std::vector<uint8_t> full(WIDTH * HEIGHT * 4);
    std::vector<uint8_t> band(WIDTH * BAND * 4);
    paint(full, 0);
    paint(band, 0);

    const double present = time_ms(rounds, [&](int i) {
        full[0] = static_cast<uint8_t>(i);
        texture_slot_draw(layer, full.data(), 0, WIDTH, HEIGHT, true, true, true, true);
    });
    const double band_present = time_ms(rounds, [&](int i) {
        band[0] = static_cast<uint8_t>(i);
        const int row = (i * BAND) % (HEIGHT - BAND);
        texture_slot_draw(layer, band.data(), row, WIDTH, BAND, true, true, true, true);
    });
    const double draw_only = time_ms(rounds, [&](int) {
        texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, true, true);
    });
    const double full_upload = time_ms(rounds, [&](int i) {
        full[0] = static_cast<uint8_t>(i);
        texture_slot_draw(layer, full.data(), 0, WIDTH, HEIGHT, true, false, false, false);
    });
    const double band_upload = time_ms(rounds, [&](int i) {
        band[0] = static_cast<uint8_t>(i);
        const int row = (i * BAND) % (HEIGHT - BAND);
        texture_slot_draw(layer, band.data(), row, WIDTH, BAND, true, false, false, false);
    });

    // A 1280 x 720 4:2:0 frame drawn through the YUV program, then the layer
    // blended over it as during playback.
    constexpr int VW = 1280, VH = 720;
    TextureSlot *y = nullptr, *u = nullptr, *v = nullptr;
    texture_slot_create(&y, 8, VW, VH, true);
    texture_slot_create(&u, 8, VW / 2, VH / 2, true);
    texture_slot_create(&v, 8, VW / 2, VH / 2, true);
    std::vector<uint8_t> yp(VW * VH, 100), up(VW * VH / 4, 90), vp(VW * VH / 4, 160);
    const double yuv = time_ms(rounds, [&](int i) {
        yp[0] = static_cast<uint8_t>(i);
        yuv_planes_draw(y, u, v, yp.data(), up.data(), vp.data(), VW, VH);
        gl_present();
    });
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const double video_with_bar = time_ms(rounds, [&](int i) {
        yp[0] = static_cast<uint8_t>(i);
        yuv_planes_draw(y, u, v, yp.data(), up.data(), vp.data(), VW, VH);
        texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, true, false);
    });

    std::printf("render_bench: %d x %d pbuffer, median of %d rounds\n", WIDTH, HEIGHT, rounds);
    std::printf("%-44s %10s\n", "operation", "ms/op");
    std::printf("%-44s %10.3f\n", "layer present (upload + draw + swap)", present);
    std::printf("%-44s %10.3f\n", "60-row band present (upload + draw + swap)", band_present);
    std::printf("%-44s %10.3f\n", "layer draw only (clear + draw + swap)", draw_only);
    std::printf("%-44s %10.3f\n", "full layer upload only", full_upload);
    std::printf("%-44s %10.3f\n", "60-row band upload only", band_upload);
    std::printf("%-44s %10.3f\n", "YUV 1280x720 frame (upload + draw + swap)", yuv);
    std::printf("%-44s %10.3f\n", "YUV frame + blended layer (no upload)", video_with_bar);
    std::printf("band / full upload: %.2f\n", band_upload / full_upload);

    gl_programs_free();
    gl_context_destroy(&ctx);
    return 0;
}
