// Placement of the video quad in the three aspect modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <random>

#include "app/app_state.h"
#include "render/gl_context.h"
#include "render/video_layout.h"
#include "tests/render/gl_test_support.h"

namespace {

VideoRect rect_for(int w, int h, int sar_num, int sar_den, int mode, int area_w, int area_h) {
    VideoGeometry video{};
    video.coded_width = w;
    video.coded_height = h;
    video.sar_num = sar_num;
    video.sar_den = sar_den;
    VideoRect rect{-7, -7, -7, -7};
    EXPECT_TRUE(video_rect_for_mode(video, mode, area_w, area_h, &rect));
    return rect;
}

void expect_rect(const VideoRect& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.w, w);
    EXPECT_EQ(r.h, h);
}

TEST(RenderVideoRect, ModesOnALandscapeWindow) {
    // Full HD, square pixels (and an unknown ratio, taken as square).
    for (const auto& [num, den] : {std::pair{1, 1}, std::pair{0, 1}, std::pair{0, 0}}) {
        SCOPED_TRACE(num);
        expect_rect(rect_for(1920, 1080, num, den, ASPECT_FILL, 1000, 600), 0, 0, 1000, 600);
        expect_rect(rect_for(1920, 1080, num, den, ASPECT_BOXED, 1000, 600), 0, 18, 1000, 563);
        expect_rect(rect_for(1920, 1080, num, den, ASPECT_CROP, 1000, 600), -33, 0, 1066, 600);
    }
    // Anamorphic PAL 720 x 576 with 16:15 samples: 768 x 576, 4:3.
    expect_rect(rect_for(720, 576, 16, 15, ASPECT_FILL, 1000, 600), 0, 0, 1000, 600);
    expect_rect(rect_for(720, 576, 16, 15, ASPECT_BOXED, 1000, 600), 100, 0, 800, 600);
    expect_rect(rect_for(720, 576, 16, 15, ASPECT_CROP, 1000, 600), 0, -75, 1000, 750);
    // The same frame read with square pixels would be 1.25, not 4:3.
    expect_rect(rect_for(720, 576, 1, 1, ASPECT_BOXED, 1000, 600), 125, 0, 750, 600);

    VideoGeometry video{};
    VideoRect r{};
    EXPECT_FALSE(video_rect_for_mode(video, ASPECT_FILL, 1000, 600, &r));
    video.coded_width = 640;
    video.coded_height = 480;
    EXPECT_FALSE(video_rect_for_mode(video, 3, 1000, 600, &r));
    EXPECT_FALSE(video_rect_for_mode(video, -1, 1000, 600, &r));
    EXPECT_FALSE(video_rect_for_mode(video, ASPECT_BOXED, 1000, 0, &r));
}

TEST(RenderVideoRect, HostileHeaderValuesStayBounded) {
    std::mt19937 random(12345);
    const int extremes[] = {INT_MIN, -1, 0, 1, 2, 3, 255, 65535, INT_MAX};
    std::uniform_int_distribution<int> pick(0, 8);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 20000; ++i) {
        auto value = [&] { return random() % 2 ? extremes[pick(random)] : any(random); };
        VideoGeometry video{};
        video.coded_width = value();
        video.coded_height = value();
        video.sar_num = value();
        video.sar_den = value();
        const int area_w = i % 3 ? std::abs(value() % 5000) : value();
        const int area_h = i % 3 ? std::abs(value() % 5000) : value();
        VideoRect r{};
        if (!video_rect_for_mode(video, i % 4, area_w, area_h, &r)) continue;
        // Fill hands back the area itself; computed values are held to 1e9.
        const int bound = std::max({1000000000, area_w, area_h});
        for (const int v : {r.x, r.y, r.w, r.h}) {
            ASSERT_LE(v, bound);
            ASSERT_GE(v, -bound);
        }
        ASSERT_GE(r.w, 0);
        ASSERT_GE(r.h, 0);
    }
}

class RenderAspect : public GlTest {
protected:
    RenderAspect() : GlTest(100, 60) {}

    void SetUp() override {
        GlTest::SetUp();
        app_ = std::make_unique<AppState>();
        app_->out.window_width = 1000;
        app_->out.window_height = 600;
        screen_width = 1000;
        screen_height = 600;
        texture_slot_create(&slot_, 8, 1920, 1080, true);
        ASSERT_NE(slot_, nullptr);
        app_->out.video = {slot_, true, 1920, 1080, 1, 1, 1920};
    }

    std::unique_ptr<AppState> app_;
    TextureSlot* slot_ = nullptr;
};

TEST_F(RenderAspect, PlacesTheQuadAndCropsTheStride) {
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_BOXED, 1000, 600), 0);
    EXPECT_EQ(app_->out.aspect_mode, ASPECT_BOXED);
    // (0, 18, 1000, 563) on a 1000 x 600 window.
    EXPECT_FLOAT_EQ(slot_->positions[0], -1.0f);
    EXPECT_FLOAT_EQ(slot_->positions[1], 1.0f - 36.0f / 600.0f);
    EXPECT_FLOAT_EQ(slot_->positions[6], 1.0f);
    EXPECT_NEAR(slot_->positions[7], 1.0f - 36.0f / 600.0f - 1126.0f / 600.0f, 1e-6);
    // Decoder lines as wide as the picture: texture coordinates untouched.
    EXPECT_FLOAT_EQ(slot_->texcoords[4], 1.0f);

    // Lines padded to 2048: the padding columns are never shown.
    app_->out.video.display_width = 2048;
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_FILL, 1000, 600), 0);
    EXPECT_FLOAT_EQ(slot_->texcoords[4], 1920.0f / 2048.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[6], 1920.0f / 2048.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[0], 0.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[2], 0.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[5], 0.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[7], 1.0f);

    // The RGBA path has no padding to crop.
    TextureSlot* rgba = nullptr;
    texture_slot_create(&rgba, 32, 1920, 1080, true);
    app_->out.video = {rgba, false, 1920, 1080, 1, 1, 2048};
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_CROP, 1000, 600), 0);
    EXPECT_FLOAT_EQ(rgba->texcoords[4], 1.0f);
    EXPECT_FLOAT_EQ(rgba->positions[0], 2.0f * -33 / 1000.0f - 1.0f);

    // Half turn: the same rectangle seen from the other side.
    app_->out.orientation = 2;
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_CROP, 1000, 600), 0);
    EXPECT_FLOAT_EQ(rgba->positions[0], 1.0f - 2.0f * -33 / 1000.0f);
}

TEST_F(RenderAspect, PortraitScreenLeavesRoomForThePlayerBar) {
    screen_width = 600;
    screen_height = 1000;
    app_->out.window_width = 600;
    app_->out.window_height = 1000;
    app_->out.player_bar_height = 100;
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_FILL, 600, 1000), 0);
    // Fill covers 600 x 900 from the top: the bottom edge is 100 px up.
    EXPECT_FLOAT_EQ(slot_->positions[1], 1.0f);
    EXPECT_FLOAT_EQ(slot_->positions[3], 1.0f - 1800.0f / 1000.0f);
}

TEST_F(RenderAspect, NoVideoIsRefused) {
    auto empty = std::make_unique<AppState>();
    EXPECT_EQ(apply_aspect_mode(empty.get(), ASPECT_BOXED, 1000, 600), -1);
    EXPECT_EQ(apply_aspect_mode(nullptr, ASPECT_BOXED, 1000, 600), -1);
    app_->out.video.coded_height = 0;
    EXPECT_EQ(apply_aspect_mode(app_.get(), ASPECT_BOXED, 1000, 600), -1);
    // Nothing changed, not even the stored mode.
    EXPECT_EQ(app_->out.aspect_mode, ASPECT_FILL);
}

TEST_F(RenderAspect, ChangingTheModeClearsToTransparentBlack) {
    auto fill_red = [] {
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    fill_red();
    // Same mode as stored: the screen is left alone.
    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_FILL, 1000, 600), 0);
    EXPECT_EQ(pixel(read_screen(), 50, 30).r, 255);

    ASSERT_EQ(apply_aspect_mode(app_.get(), ASPECT_CROP, 1000, 600), 0);
    const Rgba cleared = pixel(read_screen(), 50, 30);
    EXPECT_TRUE(cleared.r == 0 && cleared.g == 0 && cleared.b == 0 && cleared.a == 0);
    // The caller's clear colour survives.
    GLfloat colour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);
    EXPECT_EQ(app_->out.aspect_mode, ASPECT_CROP);
}

}  // namespace
