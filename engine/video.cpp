#include "engine/video.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "engine/now_playing.h"
#include "engine/picture.h"
#include "engine/player_session.h"
#include "platform/app_flags.h"
#include "platform/event_codes.h"
#include "platform/sync.h"
#include "render/video_output.h"
#include "render/video_planes.h"

namespace {

constexpr double AV_NOSYNC_THRESHOLD = 10.0;
constexpr double AV_SYNC_THRESHOLD_MIN = 0.05;
// Positions follow the clocks only after this many pictures (or clock reads)
// since the open or the last seek, so a stale picture cannot move them back.
constexpr int POSITION_GATE_PICTURES = 20;
// Sleep between polls of a paused thread.
constexpr int PAUSE_POLL_MS = 10;

int64_t elapsed_us(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

bool position_updates_open(PlayerSession* s)
{
    return !flags_any(s->ctx.flags, APP_REENTER_PLAYER) &&
           s->picture_counter.load() > POSITION_GATE_PICTURES;
}

// The flush packet after a seek: forget the decoder's state and the timing
// of the pictures before it; a picture still queued is skipped.
void video_flush(PlayerSession* s)
{
    avcodec_flush_buffers(s->video_dec.get());
    s->video_drained = false;
    {
        std::unique_lock lock(s->pictq.mutex);
        s->pictq.entry.skip = 1;
        s->pictq.cond.wait(lock, [s] { return s->pictq.size == 0 || s->videoq.abort_request; });
    }
    s->frame_last_pts = PTS_UNKNOWN;
    s->frame_last_duration = 0.0;
    s->frame_timer = wall_time();
}

// 1 with a picture in frame, 0 without one (more input needed), -1 on abort.
int get_video_frame(PlayerSession* s, AVFrame* frame, int64_t* pts)
{
    AVCodecContext* dec = s->video_dec.get();
    for (;;) {
        int r = avcodec_receive_frame(dec, frame);
        if (r == 0) {
            *pts = frame->best_effort_timestamp == AV_NOPTS_VALUE ? 0
                                                                  : frame->best_effort_timestamp;
            return 1;
        }
        if (r == AVERROR_EOF)
            s->video_drained = true;
        PacketPtr pkt;
        if (packet_queue_get(&s->videoq, &pkt) < 0)
            return -1;
        if (is_flush_packet(pkt.get())) {
            video_flush(s);
            return 0;
        }
        // An empty packet drains the decoder; once drained it is ignored.
        avcodec_send_packet(dec, is_empty_packet(pkt.get()) ? nullptr : pkt.get());
    }
}

// Size the picture entry and its textures are allocated for.
void display_size_for(const PlayerSession* s, const AVFrame* f, int* w, int* h)
{
    const NowPlaying* now = s->ctx.now;
    const int screen_w = s->ctx.out->screen_width;
    const int screen_h = s->ctx.out->screen_height;
    *w = f->width;
    *h = f->height;
    if (!now->still_image) {
        if (now->yuv_path && f->linesize[0] > 0)
            *w = f->linesize[0];
        if (now->picture_mode) {
            *w = std::min(*w, screen_w / 2);
            *h = std::min(*h, screen_h / 2);
        }
        return;
    }
    if (!now->picture_mode || screen_w <= 0 || screen_h <= 0)
        return;
    if (f->width >= f->height && f->width > screen_w) {
        *w = screen_w;
        *h = static_cast<int>(static_cast<int64_t>(f->height) * screen_w / f->width);
    } else if (f->height > screen_h) {
        *h = screen_h;
        *w = static_cast<int>(static_cast<int64_t>(f->width) * screen_h / f->height);
        *w = (*w & ~7) + 8;
    }
    *w = std::max(*w, 1);
    *h = std::max(*h, 1);
}

bool entry_fits(const VideoPicture& vp, const PictureRequest& req, const AVFrame* f)
{
    return vp.allocated && vp.width == f->width && vp.height == f->height &&
           vp.src_format == f->format && req.linesize[0] == f->linesize[0] &&
           req.linesize[1] == f->linesize[1] && req.linesize[2] == f->linesize[2];
}

bool video_aborted(PlayerSession* s)
{
    return s->videoq.abort_request.load();
}

// Asks the main thread for an entry of the frame's size; false on abort.
bool request_allocation(PlayerSession* s, const AVFrame* f)
{
    std::unique_lock lock(s->pictq.mutex);
    PictureRequest& req = s->pictq.request;
    if (entry_fits(s->pictq.entry, req, f))
        return true;
    req.width = f->width;
    req.height = f->height;
    req.format = static_cast<AVPixelFormat>(f->format);
    std::copy(f->linesize, f->linesize + 3, req.linesize);
    display_size_for(s, f, &req.display_width, &req.display_height);
    s->pictq.entry.allocated = 0;

    lock.unlock();
    post_session_event(EVENT_ALLOC_PICTURE, s, video_aborted);
    lock.lock();
    s->pictq.cond.wait(lock, [s] { return s->pictq.entry.allocated || s->videoq.abort_request; });
    if (s->pictq.entry.allocated)
        return true;
    // Aborted: the main thread is closing the session and will not answer.
    lock.unlock();
    SDL_Event pending[8];
    SDL_PeepEvents(pending, 8, SDL_GETEVENT, SDL_EVENTMASK(EVENT_ALLOC_PICTURE));
    return false;
}

int queue_picture(PlayerSession* s, AVFrame* frame, int64_t pts)
{
    NowPlaying* now = s->ctx.now;
    double pts_seconds = pts * av_q2d(s->video_st->time_base);
    if (pts_seconds != 0 && pts != AV_NOPTS_VALUE)
        s->video_clock = pts_seconds;
    else
        pts_seconds = s->video_clock;

    AVRational rate = av_guess_frame_rate(s->ic.get(), s->video_st, frame);
    double frame_delay = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.04;
    frame_delay += frame->repeat_pict * frame_delay * 0.5;
    s->video_clock += frame_delay;

    if (s->videoq.abort_request)
        return -1;
    if (!request_allocation(s, frame))
        return -1;

    std::lock_guard lock(s->pictq.mutex);
    VideoPicture& vp = s->pictq.entry;
    vp.duration = frame_delay;
    vp.pts = pts_seconds;
    vp.pos = -1;
    vp.skip = 0;
    av_frame_unref(vp.frame.get());
    av_frame_move_ref(vp.frame.get(), frame);
    if (position_updates_open(s) && pts != AV_NOPTS_VALUE && !now->still_image)
        now->position_ms.store(static_cast<int64_t>(pts_seconds * 1000));
    else
        s->picture_counter++;
    s->pictq.windex = ring_next(s->pictq.windex, VIDEO_PICTURE_QUEUE_SIZE);
    s->pictq.size++;
    return 0;
}

}  // namespace

void video_thread_main(PlayerSession* s)
{
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        session_consumer_failed(s, &s->videoq, ERR_OUT_OF_MEMORY);
        return;
    }
    for (;;) {
        while (s->paused && !s->videoq.abort_request)
            sleep_ms(PAUSE_POLL_MS);
        {
            std::unique_lock lock(s->pictq.mutex);
            s->pictq.cond.wait(lock, [s] {
                return s->pictq.size < VIDEO_PICTURE_QUEUE_SIZE || s->videoq.abort_request;
            });
        }
        if (s->videoq.abort_request)
            return;
        int64_t pts = 0;
        auto start = std::chrono::steady_clock::now();
        int got = get_video_frame(s, frame.get(), &pts);
        s->stats.decode_us += elapsed_us(start);
        if (got < 0)
            return;
        if (got == 0)
            continue;
        s->stats.frames_decoded++;
        s->picture_decoded = true;
        if (queue_picture(s, frame.get(), pts) < 0)
            return;
    }
}

double compute_target_delay(PlayerSession* s, double delay)
{
    if (!s->has_audio)
        return delay;
    double diff = get_video_clock(s) - get_master_clock(s);
    double sync_threshold = std::max(AV_SYNC_THRESHOLD_MIN, delay);
    if (std::fabs(diff) < AV_NOSYNC_THRESHOLD) {
        if (diff <= -sync_threshold)
            delay = 0;
        else if (diff >= sync_threshold)
            delay = 2 * delay;
    }
    return delay;
}

double get_audio_clock(PlayerSession* s)
{
    double drift = s->audio.heard.drift;
    double clock = (s->paused || drift == 0) ? s->audio.heard.pts.load() : wall_time() + drift;
    if (position_updates_open(s))
        s->ctx.now->audio_position_ms.store(static_cast<int64_t>(clock * 1000));
    else
        s->picture_counter++;
    return clock;
}

double get_video_clock(PlayerSession* s)
{
    return s->video_current.read(s->paused);
}

double get_master_clock(PlayerSession* s)
{
    return s->has_audio ? get_audio_clock(s) : get_video_clock(s);
}

void toggle_pause(PlayerSession* s)
{
    double now = wall_time();
    if (s->paused) {
        s->frame_timer = s->frame_timer + now + s->video_current.drift - s->video_current.pts;
        if (s->read_pause_return != AVERROR(ENOSYS))
            s->video_current.pts = s->video_current.drift + now;
    }
    s->video_current.drift = s->video_current.pts - now;
    s->paused = !s->paused;
}

namespace {

void display_locked(PlayerSession* s, VideoPicture* vp)
{
    std::lock_guard sub_lock(s->subpq.mutex);
    video_image_display(s, vp);
}

// Drops subtitles whose time is over, after a picture was shown.
void expire_subtitles(PlayerSession* s)
{
    if (!s->has_subtitle)
        return;
    double clock = get_video_clock(s);
    std::lock_guard lock(s->subpq.mutex);
    SubtitleRing& ring = s->subpq;
    if (ring.stream_changed) {
        subtitle_ring_clear_locked(&ring);
        ring.stream_changed = false;
        ring.cond.notify_all();
        return;
    }
    if (ring.size == 0)
        return;
    SubtitlePicture& head = ring.entries[ring.rindex];
    bool over = clock > head.pts + head.sub.end_display_time / 1000.0;
    if (!over && ring.size > 1) {
        SubtitlePicture& next = ring.entries[ring_next(ring.rindex, SUBPICTURE_QUEUE_SIZE)];
        over = clock > next.pts + next.sub.start_display_time / 1000.0;
    }
    if (over) {
        avsubtitle_free(&head.sub);
        ring.rindex = ring_next(ring.rindex, SUBPICTURE_QUEUE_SIZE);
        ring.size--;
        ring.cond.notify_all();
    }
}

void note_shown(PlayerSession* s, double pts)
{
    if (s->stats.frames_shown++ == 0)
        s->stats.first_picture_us = std::chrono::duration_cast<std::chrono::microseconds>(
                                        std::chrono::steady_clock::now() - s->stats.opened_at)
                                        .count();
    if (s->has_audio && s->frame_last_pts != PTS_UNKNOWN) {
        double drift = std::fabs(pts - get_audio_clock(s));
        if (drift < AV_NOSYNC_THRESHOLD)
            s->stats.max_av_drift = std::max(s->stats.max_av_drift, drift);
    }
}

// Shows the queued picture if it is due; true when one was shown.
bool show_due_picture(PlayerSession* s)
{
    PictureQueue& q = s->pictq;
    while (q.size > 0) {
        VideoPicture& vp = q.entry;
        if (vp.skip) {
            q.rindex = ring_next(q.rindex, VIDEO_PICTURE_QUEUE_SIZE);
            q.size--;
            q.cond.notify_all();
            continue;
        }
        double gap = vp.pts - s->frame_last_pts;
        if (gap > 0 && gap < AV_NOSYNC_THRESHOLD)
            s->frame_last_duration = gap;
        double delay = compute_target_delay(s, s->frame_last_duration);
        double now = wall_time();
        double timer = s->frame_timer;
        if (now < timer + delay)
            return false;
        if (delay > 0)
            s->frame_timer = timer + delay * std::max(1.0, std::floor((now - timer) / delay));
        s->video_current.set(vp.pts, now);
        note_shown(s, vp.pts);
        s->frame_last_pts = vp.pts;
        display_locked(s, &vp);
        q.rindex = ring_next(q.rindex, VIDEO_PICTURE_QUEUE_SIZE);
        q.size--;
        q.cond.notify_all();
        return true;
    }
    return false;
}

// A slide's position runs with the ticks of the refresh passes while it is
// not paused; a paused span is never counted, neither during the pause nor
// at the first pass after it.
void slideshow_advance(PlayerSession* s)
{
    if (s->paused) {
        s->slideshow_last_tick = 0;
        return;
    }
    uint32_t now = SDL_GetTicks();
    if (s->slideshow_last_tick != 0)
        s->ctx.now->position_ms.fetch_add(now - s->slideshow_last_tick);
    s->slideshow_last_tick = now;
}

}  // namespace

void video_refresh(PlayerSession* s)
{
    if (!s)
        return;
    NowPlaying* now = s->ctx.now;
    if (!s->has_video) {
        // Audio only: the player screen (cover, tags, position) is the
        // picture; it draws and presents only when something on it changed.
        if (s->has_audio) {
            get_audio_clock(s);
            if (!now->player_screen_hidden && now->draw_player_overlay)
                now->draw_player_overlay(now->hook_context);
        }
        return;
    }
    bool shown = false;
    {
        std::unique_lock lock(s->pictq.mutex);
        // While paused the picture on screen stays; only redraws are made.
        if (!s->paused)
            shown = show_due_picture(s);
        if (!shown && (s->pictq.size == 0 || s->paused)) {
            if (now->still_image && now->slideshow && s->picture_decoded)
                slideshow_advance(s);
            const bool redraw = now->redraw_request_count > 0;
            // A still picture stays on screen by itself: it is drawn again
            // only when asked (a change of the bar, a resize).
            if (redraw && s->pictq.entry.allocated && s->picture_decoded)
                display_locked(s, &s->pictq.entry);
            if (redraw)
                now->redraw_request_count--;
        }
    }
    if (shown)
        expire_subtitles(s);
}

namespace {

// A subtitle for the plain-text and MOV-text codecs when no decoder exists:
// one text rectangle shown from 0 for the packet's duration.
bool text_subtitle_from_packet(PlayerSession* s, const AVPacket* pkt, AVSubtitle* sub)
{
    const uint8_t* text = pkt->data;
    int size = pkt->size;
    if (s->subtitle_st->codecpar->codec_id == AV_CODEC_ID_MOV_TEXT) {
        if (size < 2)
            return false;
        int len = (pkt->data[0] << 8) | pkt->data[1];
        text = pkt->data + 2;
        size = std::min(len, size - 2);
    }
    sub->rects = static_cast<AVSubtitleRect**>(av_mallocz(sizeof(AVSubtitleRect*)));
    if (!sub->rects)
        return false;
    sub->rects[0] = static_cast<AVSubtitleRect*>(av_mallocz(sizeof(AVSubtitleRect)));
    if (!sub->rects[0])
        return false;
    sub->num_rects = 1;
    sub->rects[0]->type = SUBTITLE_TEXT;
    sub->rects[0]->text = av_strndup(reinterpret_cast<const char*>(text), size);
    sub->start_display_time = 0;
    sub->end_display_time = static_cast<uint32_t>(
        av_rescale_q(pkt->duration, s->subtitle_st->time_base, AVRational{1, 1000}));
    return sub->rects[0]->text != nullptr;
}

}  // namespace

void subtitle_thread_main(PlayerSession* s)
{
    SubtitleRing& ring = s->subpq;
    for (;;) {
        while (s->paused && !s->subtitleq.abort_request)
            sleep_ms(PAUSE_POLL_MS);
        PacketPtr pkt;
        if (packet_queue_get(&s->subtitleq, &pkt) < 0)
            return;
        if (is_flush_packet(pkt.get())) {
            if (s->subtitle_dec)
                avcodec_flush_buffers(s->subtitle_dec.get());
            continue;
        }
        {
            std::unique_lock lock(ring.mutex);
            ring.cond.wait(lock, [&] {
                return ring.size < SUBPICTURE_QUEUE_SIZE || s->subtitleq.abort_request;
            });
        }
        if (s->subtitleq.abort_request)
            return;
        double pts = pkt->pts == AV_NOPTS_VALUE ? 0 : pkt->pts * av_q2d(s->subtitle_st->time_base);
        AVSubtitle sub{};
        int got = 0;
        if (s->subtitle_dec) {
            if (avcodec_decode_subtitle2(s->subtitle_dec.get(), &sub, &got, pkt.get()) < 0)
                got = 0;
        } else {
            got = text_subtitle_from_packet(s, pkt.get(), &sub);
        }
        // Bitmap (0) and text (1) subtitles are kept; anything else is dropped.
        if (!got || sub.format > 1) {
            avsubtitle_free(&sub);
            continue;
        }
        std::lock_guard lock(ring.mutex);
        ring.entries[ring.windex].sub = sub;
        ring.entries[ring.windex].pts = pts;
        ring.windex = ring_next(ring.windex, SUBPICTURE_QUEUE_SIZE);
        ring.size++;
    }
}
