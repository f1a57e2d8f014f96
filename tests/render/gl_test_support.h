// A headless GLES 2 context on a pbuffer for tests, with read-back helpers.
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

// A 32-bit ARGB surface pixel as it lies in memory: B, G, R, A.
inline void put_argb(std::vector<uint8_t>& buffer, size_t index, uint8_t r, uint8_t g, uint8_t b,
                     uint8_t a = 255)
{
    uint8_t* p = &buffer[index * 4];
    p[0] = b, p[1] = g, p[2] = r, p[3] = a;
}

inline bool near(int a, int b, int tolerance)
{
    return a - b <= tolerance && b - a <= tolerance;
}
