// Placement of the video quad for the three aspect modes.
//
// Contract:
// - The playback engine fills out->video (VideoGeometry) when it creates the
//   video textures and zeroes it when the session ends; then it calls
//   apply_aspect_mode with the current mode and the window size. The player
//   loop and the resize path call it again when the mode or window changes.
// - apply_aspect_mode places the quad of out->video.slot (the Y slot in the
//   YUV path, the RGBA slot otherwise) with texture_slot_set_geometry in
//   out->orientation against the window (out->window_width/height). U and V
//   are drawn on the Y slot's quad, so they follow it. On a portrait screen
//   (out->screen_width < out->screen_height) upright, the player bar's height
//   is taken from the area.
// - When the mode changes, both buffers are cleared to transparent black first
//   so that no old picture stays in the bars.
// - apply_aspect_mode runs on the main thread only (it calls GL);
//   video_rect_for_mode and aspect_mode_next are pure.
#pragma once

#include <cstdint>

struct TextureSlot;
struct VideoOutput;

enum AspectMode : int32_t {
    ASPECT_FILL = 0,   // "Fill": stretch over the whole area
    ASPECT_BOXED = 1,  // "Boxed": fit inside, centred, black bars
    ASPECT_CROP = 2,   // "Crop": cover the area, centred, overflow cut off
};
constexpr int32_t ASPECT_MODE_COUNT = 3;

// The mode after mode in the player's cycle Fill, Boxed, Crop, Fill...; any
// stored value (even a damaged one) gives one of the three.
AspectMode aspect_mode_next(int32_t mode);

struct VideoGeometry {
    TextureSlot* slot;    // Y slot (YUV path) or RGBA slot; null = no video
    bool yuv;             // planar YUV path (stride crop applies)
    int32_t coded_width;  // picture size from the decoder
    int32_t coded_height;
    int32_t sar_num;  // sample aspect ratio; 0/x or x/0 = unknown, taken as 1:1
    int32_t sar_den;
    int32_t display_width;  // the decoder's luma line size (>= coded_width)
};

// Rectangle of the video in pixels, as handed to texture_slot_set_geometry.
struct VideoRect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

// Pure placement for mode in an area_width x area_height area; false for an
// unknown mode or a video without size.
bool video_rect_for_mode(const VideoGeometry& video, int mode, int area_width, int area_height,
                         VideoRect* out);

// The rectangle video_rect_for_mode gives in an area of out's screen: on a
// portrait screen upright the player bar's height is taken from the area.
bool video_rect_in_area(const VideoOutput& out, const VideoGeometry& video, int mode,
                        int area_width, int area_height, VideoRect* rect);

// Places the video quad for mode and stores the mode in out->aspect_mode.
// -1 with nothing stored or drawn when there is no video (no slot or no size)
// or mode is not an AspectMode; else 0.
int apply_aspect_mode(VideoOutput* out, int mode, int area_width, int area_height);
