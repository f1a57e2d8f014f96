// Pictures of a session on their way to the screen: the allocation of the
// picture entry and its textures, the conversion of decoded frames (swscale,
// the cached context, the converted frames, YUV 4:2:0 or BGRA), the subtitle
// text chosen for the picture, and the present. The plain-plane drawing
// itself is render/video_planes.h.
//
// Contract (main thread only; GL calls on the current context):
// - alloc_picture answers EVENT_ALLOC_PICTURE: it sizes the entry for the
//   request the video thread left in pictq.request, decides whether frames
//   are converted, prepares the textures (display_width x display_height),
//   fills ctx.out->video and places the quad for the current aspect mode.
//   When buffers or textures cannot be had, the video consumer is failed
//   with ERR_OUT_OF_MEMORY (session_consumer_failed), which ends the session.
// - video_image_display draws one picture; the caller holds the picture lock
//   and then the subtitle-ring lock. Planar 4:2:0 without conversion is
//   uploaded as the decoder gave it (textures as wide as the luma line size;
//   the quad crops the excess). A still image is converted once. Then the
//   subtitle is chosen: a bitmap one is drawn over the picture through the
//   session's own slot (engine/subtitle_bitmap.h), a text one is handed to
//   now->draw_subtitle_text; then the frame is presented by
//   now->draw_player_overlay when the controls are visible and the hook is
//   installed, else by a plain swap.
// - subtitle_overlay_select (caller holds the ring's lock): true when a new
//   text or bitmap became current. A bitmap shows while its subtitle is the
//   ring's head within its window (at most 3 s after it was last current);
//   a new bitmap clears a text that was showing. External cues (ctx.cues,
//   loaded by media_open) take the place of the embedded stream unless the
//   user chose an embedded stream (subtitle_stream >= 0) and it opened: the
//   cue for the time of the picture shown (else position_ms), less
//   media_start_ms, is picked at each display and shown
//   from its start to its end; a cue that ends clears the text ("" to
//   now->draw_subtitle_text).
// - session_video_output_free releases textures, the bitmap subtitle's slot
//   and pixels and the scaler, and clears ctx.out->video.
#pragma once

struct PlayerSession;
struct VideoPicture;

void alloc_picture(PlayerSession* s);
void video_image_display(PlayerSession* s, VideoPicture* vp);
bool subtitle_overlay_select(PlayerSession* s, const VideoPicture* shown = nullptr);
void session_video_output_free(PlayerSession* s);
