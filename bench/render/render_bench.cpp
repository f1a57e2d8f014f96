// Times the GL paths the player uses every frame, on a 1000 x 600 pbuffer:
// a full interface-layer present, a 60-row band refresh of that layer, and a
// planar YUV video frame. glFinish ends each operation so that the driver's
// work is counted, not just queued. Run by hand: bench/render_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "render/gl_context.h"

namespace {

constexpr int WIDTH = 1000;
constexpr int HEIGHT = 600;
constexpr int BAND = 60;

struct Timing {
    double wall_ms;  // median wall-clock time per call
    double cpu_ms;   // median process CPU time per call, all driver threads
};

double cpu_now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double>& samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Times `rounds` calls after a warm-up.
Timing time_ms(int rounds, const std::function<void(int)>& operation)
{
    for (int i = 0; i < 5; ++i)
        operation(i);
    glFinish();
    std::vector<double> wall, cpu;
    for (int i = 0; i < rounds; ++i) {
        const double cpu_start = cpu_now_ms();
        const auto start = std::chrono::steady_clock::now();
        operation(i);
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(cpu_now_ms() - cpu_start);
        wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    return {median(wall), median(cpu)};
}

// ARGB surface bytes that change with `frame`, so no upload is a repeat.
void paint(std::vector<uint8_t>& pixels, int frame)
{
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<uint8_t>(i + frame);
        pixels[i + 1] = static_cast<uint8_t>(i >> 8);
        pixels[i + 2] = static_cast<uint8_t>(frame * 7);
        pixels[i + 3] = 0xFF;
    }
}

}  // namespace

int main(int argc, char** argv)
{
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

    const Timing present = time_ms(rounds, [&](int i) {
        full[0] = static_cast<uint8_t>(i);
        texture_slot_draw(layer, full.data(), 0, WIDTH, HEIGHT, true, true, true, true);
    });
    const Timing band_present = time_ms(rounds, [&](int i) {
        band[0] = static_cast<uint8_t>(i);
        const int row = (i * BAND) % (HEIGHT - BAND);
        texture_slot_draw(layer, band.data(), row, WIDTH, BAND, true, true, true, true);
    });
    const Timing draw_only = time_ms(
        rounds, [&](int) { texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, true, true); });
    const Timing full_upload = time_ms(rounds, [&](int i) {
        full[0] = static_cast<uint8_t>(i);
        texture_slot_draw(layer, full.data(), 0, WIDTH, HEIGHT, true, false, false, false);
    });
    const Timing band_upload = time_ms(rounds, [&](int i) {
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
    const Timing yuv = time_ms(rounds, [&](int i) {
        yp[0] = static_cast<uint8_t>(i);
        yuv_planes_draw(y, u, v, yp.data(), up.data(), vp.data(), VW, VH);
        gl_present();
    });
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const Timing video_with_bar = time_ms(rounds, [&](int i) {
        yp[0] = static_cast<uint8_t>(i);
        yuv_planes_draw(y, u, v, yp.data(), up.data(), vp.data(), VW, VH);
        texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, true, false);
    });

    std::printf("render_bench: %d x %d pbuffer, median of %d rounds\n", WIDTH, HEIGHT, rounds);
    std::printf("%-44s %9s %9s\n", "operation", "wall ms", "cpu ms");
    const struct {
        const char* name;
        Timing timing;
    } rows[] = {
        {"layer present (upload + draw + swap)", present},
        {"60-row band present (upload + draw + swap)", band_present},
        {"layer draw only (clear + draw + swap)", draw_only},
        {"full layer upload only", full_upload},
        {"60-row band upload only", band_upload},
        {"YUV 1280x720 frame (upload + draw + swap)", yuv},
        {"YUV frame + blended layer (no upload)", video_with_bar},
    };
    for (const auto& row : rows)
        std::printf("%-44s %9.3f %9.3f\n", row.name, row.timing.wall_ms, row.timing.cpu_ms);
    std::printf("band / full upload (wall): %.2f\n", band_upload.wall_ms / full_upload.wall_ms);

    gl_programs_free();
    gl_context_destroy(&ctx);
    return 0;
}
