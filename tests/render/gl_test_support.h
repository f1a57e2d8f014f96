// A headless GLES 2 context on a pbuffer for tests, with read-back helpers,
// ARGB pixel buffers as the interface surfaces hold them, and a hog of the
// texture slots.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/gl_context.h"

struct Rgba {
    uint8_t r, g, b, a;
};

// Each test gets a fresh pbuffer context with both programs built.
class GlTest : public ::testing::Test {
protected:
    GlTest(int width, int height) : width_(width), height_(height) {}
    void SetUp() override
    {
        ASSERT_TRUE(gl_context_create_pbuffer(&ctx_, width_, height_));
        gl_programs_init();
    }
    void TearDown() override
    {
        if (ctx_.display)
            gl_programs_free();
        gl_context_destroy(&ctx_);
    }
    // The whole framebuffer, top row first.
    std::vector<Rgba> read_screen() const
    {
        std::vector<Rgba> bottom_up(static_cast<size_t>(width_ * height_)),
            top_down(bottom_up.size());
        glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottom_up.data());
        for (int row = 0; row < height_; ++row)
            std::copy_n(&bottom_up[(height_ - 1 - row) * width_], width_, &top_down[row * width_]);
        return top_down;
    }
    Rgba pixel(const std::vector<Rgba>& screen, int x, int y_from_top) const
    {
        return screen[static_cast<size_t>(y_from_top * width_ + x)];
    }

    GlContext ctx_{};
    int width_, height_;
};

// A GlTest whose pbuffer is W x H.
template <int W, int H>
class GlTestOf : public GlTest {
protected:
    GlTestOf() : GlTest(W, H) {}
};

// 'R', 'G' or 'B' for a pixel of that pure primary (within 15 of it), else '?'.
inline char primary_of(Rgba p)
{
    const bool r = p.r > 240, g = p.g > 240, b = p.b > 240;
    const bool r0 = p.r < 15, g0 = p.g < 15, b0 = p.b < 15;
    return r && g0 && b0 ? 'R' : g && r0 && b0 ? 'G' : b && r0 && g0 ? 'B' : '?';
}

// n 32-bit ARGB surface pixels as they lie in memory (B, G, R, A), pixel i
// taking colour(i).
template <typename ColourFn>
std::vector<uint8_t> argb_pixels(size_t n, ColourFn colour)
{
    std::vector<uint8_t> bytes(n * 4);
    for (size_t i = 0; i < n; ++i) {
        const Rgba c = colour(i);
        bytes[i * 4] = c.b, bytes[i * 4 + 1] = c.g, bytes[i * 4 + 2] = c.r, bytes[i * 4 + 3] = c.a;
    }
    return bytes;
}

inline bool near(int a, int b, int tolerance)
{
    return a - b <= tolerance && b - a <= tolerance;
}

// Takes every free texture slot but `leave` (the GL context must be current)
// and gives them back when it goes; take() reports how many it got.
struct SlotHog {
    std::vector<TextureSlot*> taken;
    size_t take(size_t leave = 0)
    {
        const size_t before = taken.size();
        for (TextureSlot* slot = nullptr; texture_slot_create(&slot, 32, 4, 4, false), slot;
             slot = nullptr)
            taken.push_back(slot);
        for (; leave > 0 && taken.size() > before; --leave) {
            texture_slot_free(taken.back());
            taken.pop_back();
        }
        return taken.size() - before;
    }
    ~SlotHog()
    {
        for (TextureSlot* slot : taken)
            texture_slot_free(slot);
    }
};
