// Showing decoded video pictures: the video textures of a session, the
// conversion into them, the subtitle text chosen for the picture, and the
// present.
//
// Contract (main thread only; every call makes GL calls on the current
// context):
// - video_textures_prepare (re)creates the session's textures for
//   app->now.display_width x display_height — Y, U, V luminance slots (U and V at
//   half size) in the YUV path, one RGBA slot otherwise — fills app->out.video and
//   applies the current aspect mode. False when a slot cannot be had.
// - video_image_display draws one picture (the caller holds the picture lock
//   and then the subtitle-ring lock). In the YUV path without conversion the
//   decoder's planes are uploaded as they are: the textures are as wide as the
//   luma line size and the quad's texture coordinates crop the excess.
//   Then the subtitle text is chosen and handed to app->now.draw_subtitle_text,
//   and the frame is presented — by app->now.draw_player_overlay when the
//   controls are visible and a hook is installed, else by a plain swap.
// - video_output_free releases textures and scaler and clears app->out.video.
#pragma once

#include <cstddef>

struct PlayerSession;
struct VideoPicture;

// Whether pictures take the planar YUV path (zero-copy when the decoder
// gives plain 4:2:0): yes on a GPU; on a software rasterizer (llvmpipe,
// softpipe) the pictures are converted to BGRA by swscale instead. The
// override is for drivers and tests.
enum VideoPath { VIDEO_PATH_AUTO, VIDEO_PATH_YUV, VIDEO_PATH_RGB };
void video_path_override(VideoPath path);
bool video_yuv_path_preferred();

bool video_textures_prepare(PlayerSession* s);
void video_image_display(PlayerSession* s, VideoPicture* vp);
void video_output_free(PlayerSession* s);

// Subtitle selection for the current position; the caller holds the ring's
// lock. True when a new text became current.
bool subtitle_overlay_select(PlayerSession* s);
// Text of a plain-text rectangle: everything from "{" or "<" through the
// next "}" or ">" is dropped. out always ends with a NUL.
void subtitle_plain_text(const char* in, char* out, size_t out_size);
// Text of an SSA/ASS dialogue line (the field after the eighth comma, or the
// ninth after a "Dialogue:" prefix), with override blocks dropped and line
// breaks (\N, \n) turned into newlines.
void subtitle_dialogue_text(const char* line, char* out, size_t out_size);
