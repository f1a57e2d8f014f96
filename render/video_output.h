// VideoOutput: the part of AppState that the video output owns — the EGL
// context, the screen and window sizes, the display orientation, the aspect
// mode and the geometry of the playing video's quad.
//
// Main thread only: start-up fills the context and sizes, the resize path
// updates the window size, the engine fills `video` when it creates the video
// textures and zeroes it when the session ends.
#pragma once

#include <cstdint>

#include "render/gl_context.h"
#include "render/video_layout.h"

struct VideoOutput {
    GlContext gl;
    int32_t screen_width;  // window size chosen at start (the layers' size)
    int32_t screen_height;
    int32_t window_width;  // current window size, updated on every resize
    int32_t window_height;
    int32_t orientation;        // Orientation, quarter turns
    int32_t aspect_mode;        // AspectMode of the video quad
    VideoGeometry video;        // the playing video's size and slot; zero = none
    int32_t player_bar_height;  // taken from the area on a portrait screen
};
