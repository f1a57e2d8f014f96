// Placement of the video quad in the three aspect modes, and the mode cycle.
#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <random>

#include "render/video_layout.h"
#include "render/video_output.h"
#include "tests/render/gl_test_support.h"

namespace {

TEST(RenderVideoRect, ModesOnALandscapeWindow)
{
    const struct {
        int w, h, sar_num, sar_den, mode;
        VideoRect want;
    } cases[] = {
        {1920, 1080, 1, 1, ASPECT_FILL, {0, 0, 1000, 600}},
        {1920, 1080, 0, 0, ASPECT_BOXED, {0, 18, 1000, 563}},  // an unknown ratio counts as square
        {1920, 1080, 0, 1, ASPECT_CROP, {-33, 0, 1066, 600}},
        // Anamorphic PAL 720 x 576 with 16:15 samples is 4:3, not 1.25.
        {720, 576, 16, 15, ASPECT_BOXED, {100, 0, 800, 600}},
        {720, 576, 16, 15, ASPECT_CROP, {0, -75, 1000, 750}},
    };
    for (const auto& c : cases) {
        VideoRect r{};
        ASSERT_TRUE(
            video_rect_for_mode(VideoGeometry{nullptr, false, c.w, c.h, c.sar_num, c.sar_den, c.w},
                                c.mode, 1000, 600, &r));
        EXPECT_TRUE(r.x == c.want.x && r.y == c.want.y && r.w == c.want.w && r.h == c.want.h)
            << c.w << "x" << c.h << " mode " << c.mode << ": " << r.x << "," << r.y << "," << r.w
            << "," << r.h;
    }
    VideoGeometry video{nullptr, false, 640, 480, 1, 1, 640};
    VideoRect r{};
    for (int mode : {int{ASPECT_MODE_COUNT}, -1})
        EXPECT_FALSE(video_rect_for_mode(video, mode, 1000, 600, &r)) << mode;
    EXPECT_FALSE(video_rect_for_mode(video, ASPECT_BOXED, 1000, 0, &r));
    EXPECT_FALSE(video_rect_for_mode(VideoGeometry{}, ASPECT_FILL, 1000, 600, &r));
}

TEST(RenderVideoRect, HostileHeaderValuesStayBounded)
{
    std::mt19937 random(12345);
    const int extremes[] = {INT_MIN, -1, 0, 1, 2, 3, 255, 65535, INT_MAX};
    auto value = [&] { return random() % 2 ? extremes[random() % 9] : static_cast<int>(random()); };
    for (int i = 0; i < 20000; ++i) {
        VideoGeometry video{nullptr, false, value(), value(), value(), value(), 0};
        const int area_w = i % 3 ? std::abs(value() % 5000) : value();
        const int area_h = i % 3 ? std::abs(value() % 5000) : value();
        VideoRect r{};
        if (!video_rect_for_mode(video, i % 4, area_w, area_h, &r))
            continue;
        // Fill hands back the area itself; computed values are held to 1e9.
        const int bound = std::max({1000000000, area_w, area_h});
        for (const int v : {r.x, r.y, r.w, r.h})
            ASSERT_TRUE(v <= bound && v >= -bound) << v;
        ASSERT_TRUE(r.w >= 0 && r.h >= 0);
    }
}

TEST(RenderAspectCycle, EveryStoredValueCyclesThroughTheThreeModes)
{
    const struct {
        int32_t mode;
        AspectMode next;
    } cases[] = {{ASPECT_FILL, ASPECT_BOXED}, {ASPECT_BOXED, ASPECT_CROP},
                 {ASPECT_CROP, ASPECT_FILL},  {3, ASPECT_BOXED},
                 {257, ASPECT_FILL},          {-1, ASPECT_FILL},
                 {INT32_MIN, ASPECT_CROP},    {INT32_MAX, ASPECT_CROP}};
    for (const auto& c : cases)
        EXPECT_EQ(aspect_mode_next(c.mode), c.next) << c.mode;
}

// A 1000 x 600 window showing 1920 x 1080 video on the YUV path.
class RenderAspect : public GlTestOf<100, 60> {
protected:
    void SetUp() override
    {
        GlTestOf::SetUp();
        out_->screen_width = out_->window_width = 1000;
        out_->screen_height = out_->window_height = 600;
        texture_slot_create(&slot_, 8, 1920, 1080, true);
        ASSERT_NE(slot_, nullptr);
        out_->video = {slot_, true, 1920, 1080, 1, 1, 1920};
    }
    std::unique_ptr<VideoOutput> out_ = std::make_unique<VideoOutput>();
    TextureSlot* slot_ = nullptr;
};

TEST_F(RenderAspect, StridePaddingIsCroppedOnlyInTheYuvPath)
{
    out_->video.display_width = 2048;  // decoder lines padded to 2048
    ASSERT_EQ(apply_aspect_mode(out_.get(), ASPECT_FILL, 1000, 600), 0);
    EXPECT_FLOAT_EQ(slot_->texcoords[4], 1920.0f / 2048.0f);
    EXPECT_FLOAT_EQ(slot_->texcoords[6], 1920.0f / 2048.0f);
    TextureSlot* rgba = nullptr;
    texture_slot_create(&rgba, 32, 1920, 1080, true);
    out_->video = {rgba, false, 1920, 1080, 1, 1, 2048};
    ASSERT_EQ(apply_aspect_mode(out_.get(), ASPECT_CROP, 1000, 600), 0);
    EXPECT_FLOAT_EQ(rgba->texcoords[4], 1.0f);
}

TEST_F(RenderAspect, PortraitScreenLeavesRoomForThePlayerBar)
{
    out_->screen_width = out_->window_width = 600;
    out_->screen_height = out_->window_height = 1000;
    out_->player_bar_height = 100;
    ASSERT_EQ(apply_aspect_mode(out_.get(), ASPECT_FILL, 600, 1000), 0);
    // Fill covers 600 x 900 from the top: the bottom edge is 100 px up.
    EXPECT_FLOAT_EQ(slot_->positions[1], 1.0f);
    EXPECT_FLOAT_EQ(slot_->positions[3], 1.0f - 1800.0f / 1000.0f);
}

TEST_F(RenderAspect, UnknownModesAndMissingVideoAreRefusedWithNothingStoredOrCleared)
{
    ASSERT_EQ(apply_aspect_mode(out_.get(), ASPECT_BOXED, 1000, 600), 0);
    const float boxed_top = slot_->positions[1];
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    for (int mode :
         {3, -1, 255, int{ASPECT_BOXED}}) {  // the same mode as stored leaves the screen alone too
        EXPECT_EQ(apply_aspect_mode(out_.get(), mode, 1000, 600), mode == ASPECT_BOXED ? 0 : -1)
            << mode;
        EXPECT_TRUE(out_->aspect_mode == ASPECT_BOXED && slot_->positions[1] == boxed_top) << mode;
    }
    EXPECT_EQ(pixel(read_screen(), 50, 30).r, 255);
    EXPECT_EQ(apply_aspect_mode(nullptr, ASPECT_CROP, 1000, 600), -1);
    out_->video.coded_height = 0;
    EXPECT_EQ(apply_aspect_mode(out_.get(), ASPECT_CROP, 1000, 600), -1);
    out_->video = VideoGeometry{};
    EXPECT_EQ(apply_aspect_mode(out_.get(), ASPECT_CROP, 1000, 600), -1);
    EXPECT_EQ(out_->aspect_mode, ASPECT_BOXED);
}

}  // namespace
