// Video pictures drawn from plain planes on a pbuffer: the textures each path
// needs, the colours that reach the screen, and the blending state kept for
// the interface.
#include <gtest/gtest.h>

#include <vector>

#include "render/gl_context.h"
#include "render/video_planes.h"
#include "tests/render/gl_test_support.h"

namespace {

class RenderVideoPlanes : public GlTest {
protected:
    RenderVideoPlanes() : GlTest(64, 48) {}
    void TearDown() override {
        video_textures_free(&t_);
        GlTest::TearDown();
    }
    VideoTextures t_{};
};

TEST_F(RenderVideoPlanes, TexturesFitEachPathAndAreKeptWhileTheyFit) {
    ASSERT_TRUE(video_textures_prepare(&t_, 35, 19, true));
    ASSERT_TRUE(t_.y && t_.u && t_.v);
    EXPECT_TRUE(t_.y->luminance && t_.y->width == 35 && t_.y->height == 19);
    EXPECT_TRUE(t_.u->width == 17 && t_.v->height == 9);
    TextureSlot* kept = t_.y;
    const GLuint kept_texture = kept->texture;
    ASSERT_TRUE(video_textures_prepare(&t_, 35, 19, true));
    EXPECT_TRUE(t_.y == kept && t_.y->texture == kept_texture);
    ASSERT_TRUE(video_textures_prepare(&t_, 40, 20, false));
    EXPECT_TRUE(t_.y && !t_.y->luminance && !t_.u && !t_.v);
    EXPECT_EQ(t_.y->width, 40);
}

TEST_F(RenderVideoPlanes, AFullSlotTableIsRefusedWithNothingHeld) {
    std::vector<TextureSlot*> taken;
    for (int i = 0; i < TEXTURE_SLOT_COUNT - 2; ++i) {
        TextureSlot* s = nullptr;
        texture_slot_create(&s, 8, 4, 4, false);
        taken.push_back(s);
    }
    EXPECT_FALSE(video_textures_prepare(&t_, 32, 32, true));  // Y and U fit, V does not
    EXPECT_TRUE(!t_.y && !t_.u && !t_.v);
    EXPECT_TRUE(video_textures_prepare(&t_, 32, 32, false));  // both slots were given back
    for (TextureSlot* s : taken) texture_slot_free(s);
}

TEST_F(RenderVideoPlanes, BothPathsDrawTheirPlanesOverTheWholeQuad) {
    // YUV: full-range grey 128 with neutral chroma.
    ASSERT_TRUE(video_textures_prepare(&t_, 8, 4, true));
    std::vector<uint8_t> y(32, 128), uv(8, 128);
    const uint8_t* yuv[3] = {y.data(), uv.data(), uv.data()};
    video_planes_draw(&t_, yuv, 8, 4);
    Rgba p = pixel(read_screen(), 40, 20);
    EXPECT_TRUE(near(p.r, 128, 2) && near(p.g, 128, 2) && near(p.b, 128, 2));
    // RGBA: BGRA bytes of orange.
    ASSERT_TRUE(video_textures_prepare(&t_, 2, 2, false));
    std::vector<uint8_t> bgra(16);
    for (size_t i = 0; i < 4; ++i) put_argb(bgra, i, 255, 128, 0);
    const uint8_t* rgba[3] = {bgra.data(), nullptr, nullptr};
    video_planes_draw(&t_, rgba, 2, 2);
    p = pixel(read_screen(), 5, 40);
    EXPECT_TRUE(p.r == 255 && p.g == 128 && p.b == 0);
    // No textures or no planes: nothing drawn; the clear helper clears.
    VideoTextures none{};
    video_planes_draw(&none, rgba, 2, 2);
    const uint8_t* missing[3] = {nullptr, nullptr, nullptr};
    video_planes_draw(&t_, missing, 2, 2);
    EXPECT_EQ(pixel(read_screen(), 5, 40).g, 128);
    video_area_clear();
    EXPECT_EQ(pixel(read_screen(), 5, 40).r, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderVideoPlanes, BlendingStateComesBackAsItWasSaved) {
    glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_BLEND);
    const GlBlendState saved = gl_blend_state_save();
    gl_blend_for_video(true);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_DST_RGB, &dst);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    gl_blend_state_restore(saved);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint dst_alpha = 0;
    glGetIntegerv(GL_BLEND_DST_ALPHA, &dst_alpha);
    EXPECT_EQ(dst_alpha, GL_ONE);
}

}  // namespace
