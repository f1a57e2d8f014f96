// Placement of the video quad for the aspect modes.
#include "render/video_layout.h"

#include "platform/media_enums.h"
#include "render/gl_context.h"
#include "render/video_output.h"

namespace {

// Truncates toward zero; absurd sizes from a damaged stream header are held
// to a range that keeps the conversion defined.
int32_t truncate_pixels(float value)
{
    constexpr float LIMIT = 1.0e9f;
    if (value > LIMIT)
        return static_cast<int32_t>(LIMIT);
    if (value < -LIMIT)
        return static_cast<int32_t>(-LIMIT);
    return static_cast<int32_t>(value);
}

}  // namespace

bool video_rect_for_mode(const VideoGeometry& video, int mode, int area_width, int area_height,
                         VideoRect* out)
{
    if (video.coded_width <= 0 || video.coded_height <= 0 || area_width <= 0 || area_height <= 0)
        return false;
    // An unknown sample aspect ratio (0:1, 0:0) means square pixels.
    const bool sar_known = video.sar_num > 0 && video.sar_den > 0;
    const double sar_num = sar_known ? video.sar_num : 1.0;
    const double sar_den = sar_known ? video.sar_den : 1.0;
    const float va = static_cast<float>((video.coded_width * sar_num) /
                                        (video.coded_height * sar_den));
    const float W = static_cast<float>(area_width);
    const float H = static_cast<float>(area_height);
    const float sa = W / H;

    const VideoRect whole = {0, 0, area_width, area_height};
    // Full width, bars (or overflow) above and below.
    const VideoRect by_width = {0, truncate_pixels((H - W / va) / 2), area_width,
                                truncate_pixels((W + 1) / va)};
    // Full height, bars (or overflow) left and right.
    const VideoRect by_height = {truncate_pixels((W - va * H) / 2), 0, truncate_pixels(va * H),
                                 area_height};
    const bool video_wider = sa <= va;
    switch (mode) {
    case ASPECT_FILL: *out = whole; return true;
    case ASPECT_BOXED: *out = video_wider ? by_width : by_height; return true;
    case ASPECT_CROP: *out = video_wider ? by_height : by_width; return true;
    default: return false;
    }
}

AspectMode aspect_mode_next(int32_t mode)
{
    // Modulo of a non-negative value: a damaged stored mode still lands on a name.
    const int64_t next = (static_cast<int64_t>(mode) % ASPECT_MODE_COUNT + ASPECT_MODE_COUNT + 1) %
                         ASPECT_MODE_COUNT;
    return static_cast<AspectMode>(next);
}

bool video_rect_in_area(const VideoOutput& out, const VideoGeometry& video, int mode,
                        int area_width, int area_height, VideoRect* rect)
{
    int height = area_height;
    if (!orientation_is_portrait(out.orientation) && out.screen_width < out.screen_height)
        height -= out.player_bar_height;
    return video_rect_for_mode(video, mode, area_width, height, rect);
}

int apply_aspect_mode(VideoOutput* out, int mode, int area_width, int area_height)
{
    if (!out || mode < 0 || mode >= ASPECT_MODE_COUNT)
        return -1;
    const VideoGeometry& video = out->video;
    if (!video.slot || video.coded_width <= 0 || video.coded_height <= 0)
        return -1;
    if (mode != out->aspect_mode) {
        gl_clear_both_buffers();  // no old picture stays in the new bars
        out->aspect_mode = mode;
    }
    const int orientation = out->orientation;
    const bool upright = !orientation_is_portrait(orientation);
    VideoRect rect;
    if (!video_rect_in_area(*out, video, mode, area_width, area_height, &rect))
        return 0;
    // The quad is placed against the whole window; without a window size the
    // area stands for it (turned for the quarter-turn orientations).
    int screen_w = out->window_width;
    int screen_h = out->window_height;
    if (screen_w <= 0 || screen_h <= 0) {
        screen_w = upright ? area_width : area_height;
        screen_h = upright ? area_height : area_width;
    }
    texture_slot_set_geometry(video.slot, orientation, rect.x, rect.y, screen_w, screen_h, rect.w,
                              rect.h);
    // Decoder lines can be wider than the picture: never show the padding.
    if (video.yuv && video.display_width > video.coded_width) {
        const float s = static_cast<float>(video.coded_width) /
                        static_cast<float>(video.display_width);
        video.slot->texcoords[4] = s;
        video.slot->texcoords[6] = s;
    }
    return 0;
}
