#include "engine/demux.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/app_state.h"
#include "platform/event_codes.h"
#include "engine/audio.h"
#include "engine/player_session.h"
#include "engine/video.h"

namespace {

constexpr int32_t QUEUES_MAX_BYTES = 15 * 1024 * 1024;
constexpr int32_t AUDIO_QUEUE_FULL_BYTES = 0x50000;
constexpr int32_t QUEUE_FULL_PACKETS = 5;

void sleep_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool session_aborted(PlayerSession* s)
{
    return s->abort_request.load();
}

// The end of the session is reported for up to a second, so that a closer
// that never reads events (or a queue that stays full) cannot keep the
// thread alive.
bool end_report_expired(PlayerSession* s)
{
    return ++s->end_report_tries > 100;
}

bool is_real_video(const AVStream* st)
{
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// Seeks to the requested start (resume) position, if any.
void seek_to_start(PlayerSession* s)
{
    AVFormatContext* ic = s->ic.get();
    int64_t start = s->app->now.start_ms * 1000;
    if (start == 0 || start == AV_NOPTS_VALUE)
        return;
    if (ic->start_time != AV_NOPTS_VALUE)
        start += ic->start_time;
    avformat_seek_file(ic, -1, INT64_MIN, start, INT64_MAX, 0);
}

// Picks and opens the streams. 0, or the error that ends the thread.
int open_streams(PlayerSession* s)
{
    AppState* app = s->app;
    AVFormatContext* ic = s->ic.get();
    int wanted_video = app->now.video_stream;
    int wanted_audio = app->now.audio_stream;
    int wanted_subtitle = app->now.subtitle_stream < -1 ? -1 : app->now.subtitle_stream;
    bool subtitles_off = app->now.subtitle_stream == -2;

    bool real_video = false, any_audio = false;
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        ic->streams[i]->discard = AVDISCARD_ALL;
        real_video = real_video || is_real_video(ic->streams[i]);
        any_audio = any_audio || ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    }

    int video = real_video ? av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, wanted_video, -1, nullptr, 0) : -1;
    int audio = any_audio ? av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, wanted_audio, video, nullptr, 0) : -1;
    int subtitle = -1;
    if (!subtitles_off)
        subtitle = av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, wanted_subtitle,
                                       audio >= 0 ? audio : video, nullptr, 0);

    if (audio >= 0) {
        int ret = stream_component_open(s, audio);
        if (ret < 0)
            return ret;
    }
    if (video >= 0 && is_real_video(ic->streams[video])) {
        int ret = stream_component_open(s, video);
        if (ret < 0)
            return ret;
    }
    if (subtitle >= 0)
        stream_component_open(s, subtitle);  // a subtitle that cannot open is ignored

    app->now.no_video_open.store(s->video_stream < 0);
    app->now.no_audio_open.store(s->audio_stream < 0);
    if (s->video_stream < 0 && s->audio_stream < 0 && s->subtitle_stream < 0)
        return -1;
    if (s->audio_stream >= 0 && s->video_stream < 0)
        post_session_event(EVENT_ALLOC_PICTURE, s, session_aborted);
    return 0;
}

// Flushes one queue and queues the flush packet behind the old data.
void restart_queue(PacketQueue* q)
{
    packet_queue_flush(q);
    packet_queue_put_flush(q);
}

void do_seek(PlayerSession* s)
{
    AppState* app = s->app;
    int64_t target = s->seek_pos + app->now.media_start_ms * 1000;
    int64_t min = INT64_MIN, max = INT64_MAX;
    // A forward jump must land after where it started, a backward one before.
    if (s->seek_rel > 0)
        min = target - s->seek_rel + 2;
    if (s->seek_rel < 0)
        max = target - s->seek_rel - 2;
    int ret = avformat_seek_file(s->ic.get(), -1, min, target, max, s->seek_flags);
    if (ret >= 0) {
        if (s->audio_stream >= 0)
            restart_queue(&s->audioq);
        if (s->subtitle_stream >= 0) {
            restart_queue(&s->subtitleq);
            std::lock_guard lock(s->subpq.mutex);
            subtitle_ring_clear_locked(&s->subpq);
            s->subtitle_shown_tick = SDL_GetTicks() - 3001;
            s->subpq.cond.notify_all();
        }
        if (s->video_stream >= 0) {
            s->video_drained = false;
            restart_queue(&s->videoq);
        }
    }
    app->now.pending_seek_ms.store(-1);
    s->seek_req = 0;
    s->eof = 0;
}

bool queues_full(PlayerSession* s)
{
    int32_t audio_bytes = packet_queue_size(&s->audioq);
    int32_t total = audio_bytes + packet_queue_size(&s->videoq) + packet_queue_size(&s->subtitleq);
    if (total > QUEUES_MAX_BYTES)
        return true;
    return (audio_bytes > AUDIO_QUEUE_FULL_BYTES || s->audio_stream < 0) &&
           (packet_queue_count(&s->videoq) > QUEUE_FULL_PACKETS || s->video_stream < 0) &&
           (packet_queue_count(&s->subtitleq) > QUEUE_FULL_PACKETS || s->subtitle_stream < 0);
}

// True once the video decoder has handed out its last picture and that
// picture has been shown, so the end of the media loses no frame.
bool video_finished(PlayerSession* s)
{
    if (s->video_stream < 0 || packet_queue_aborted(&s->videoq))
        return true;
    std::lock_guard lock(s->pictq.mutex);
    return s->video_drained && s->pictq.size == 0;
}

// One pass at the end of the file; true when the media has ended.
bool handle_end_of_file(PlayerSession* s)
{
    AppState* app = s->app;
    AVPacket empty{};
    if (s->video_stream >= 0)
        packet_queue_put(&s->videoq, &empty);
    if (s->audio_stream >= 0 && (s->audio_dec->codec->capabilities & AV_CODEC_CAP_DELAY))
        packet_queue_put(&s->audioq, &empty);
    sleep_ms(10);
    if (!app->now.still_image && packet_queue_size(&s->audioq) == 0 &&
        packet_queue_size(&s->videoq) == 0 && video_finished(s))
        return true;
    if (app->now.still_image && app->now.slideshow &&
        app->now.position_ms.load() >= app->now.duration_ms)
        return true;
    s->eof = 0;
    return false;
}

void route_packet(PlayerSession* s, AVPacket* pkt)
{
    if (pkt->stream_index == s->audio_stream)
        packet_queue_put(&s->audioq, pkt);
    else if (pkt->stream_index == s->video_stream)
        packet_queue_put(&s->videoq, pkt);
    else if (pkt->stream_index == s->subtitle_stream)
        packet_queue_put(&s->subtitleq, pkt);
}

int read_loop(PlayerSession* s)
{
    AVFormatContext* ic = s->ic.get();
    PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        return AVERROR(ENOMEM);
    while (!s->abort_request) {
        int paused = s->paused;
        if (paused != s->last_paused) {
            s->last_paused = paused;
            if (paused)
                s->read_pause_return = av_read_pause(ic);
            else
                av_read_play(ic);
        }
        if (paused) {
            sleep_ms(10);
            continue;
        }
        if (s->seek_req) {
            do_seek(s);
            continue;
        }
        if (queues_full(s)) {
            sleep_ms(10);
            continue;
        }
        if (s->eof) {
            if (handle_end_of_file(s)) {
                s->abort_request = 1;
                return AVERROR_EOF;
            }
            continue;
        }
        int ret = av_read_frame(ic, pkt.get());
        if (ret < 0) {
            if (ret == AVERROR_EOF || (ic->pb && avio_feof(ic->pb)))
                s->eof = 1;
            sleep_ms(100);
            continue;
        }
        route_packet(s, pkt.get());
        av_packet_unref(pkt.get());
    }
    // Aborted from outside: the closer knows, nothing is reported.
    return 0;
}

}  // namespace

int decode_interrupt(void* opaque)
{
    auto* s = opaque ? static_cast<PlayerSession*>(opaque) : g_current_session.load();
    return s && s->abort_request.load();
}

void demux_thread_main(PlayerSession* s)
{
    AVFormatContext* ic = s->ic.get();
    ic->interrupt_callback.callback = decode_interrupt;
    ic->interrupt_callback.opaque = s;
    g_current_session = s;
    if (ic->pb)
        ic->pb->eof_reached = 0;

    // The duration was taken from the same context by media_open; it does
    // not change here, so the main thread's copy is left alone.
    seek_to_start(s);

    int ret = open_streams(s);
    if (ret == 0)
        ret = read_loop(s);
    if (ret != 0) {
        s->error = ret == AVERROR_EOF ? 0 : ret;
        post_session_event(EVENT_SESSION_END, s, end_report_expired);
    }
}

void stream_seek(PlayerSession* s, AppState* app, int64_t position_ms, int64_t relative)
{
    if (!s->seek_req) {
        int64_t step_us = (relative < 0 ? -relative : relative) * 1000;
        double current_ms = get_master_clock(s) * 1000.0 - app->now.media_start_ms;
        s->seek_pos = position_ms * 1000;
        s->seek_flags &= ~AVSEEK_FLAG_BYTE;
        s->seek_rel = position_ms < current_ms ? -step_us : step_us;
        app->now.pending_seek_ms.store(position_ms);
        s->seek_req = 1;
        app->flags.fetch_and(~APP_REENTER_PLAYER);
    }
    app->now.position_ms.store(app->now.media_start_ms + position_ms);
    app->now.shown_position_ms = app->now.media_start_ms + position_ms;
    g_picture_counter = 0;
}
