#include "engine/demux.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/audio.h"
#include "engine/av_result.h"
#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "platform/app_flags.h"
#include "platform/event_codes.h"
#include "platform/media_enums.h"
#include "platform/sync.h"

namespace {

constexpr int32_t QUEUES_MAX_BYTES = 15 * 1024 * 1024;
constexpr int32_t AUDIO_QUEUE_FULL_BYTES = 0x50000;
constexpr int32_t QUEUE_FULL_PACKETS = 5;
// Poll period while paused, throttled or waiting at the end of the file.
constexpr int DEMUX_POLL_MS = 10;
// Pause after a failed read before the next try.
constexpr int READ_RETRY_MS = 100;
// After a seek the old subtitle text is taken as expired at once: its shown
// tick is put this far back (the text shows 3,000 ms).
constexpr uint32_t SUBTITLE_EXPIRED_MS = 3001;

// How the read loop ended: report says whether EVENT_SESSION_END is posted
// (not for an abort from outside), result is the session's ResultCode.
struct ReadEnd {
    bool report;
    ResultCode result;
};

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
    int64_t start = s->ctx.now->start_ms * 1000;
    if (start == 0 || start == AV_NOPTS_VALUE)
        return;
    if (ic->start_time != AV_NOPTS_VALUE)
        start += ic->start_time;
    avformat_seek_file(ic, -1, INT64_MIN, start, INT64_MAX, 0);
}

// Picks and opens the streams. RESULT_OK, or the error that ends the thread.
// Video plays without its sound when the audio decoder or device cannot be
// opened (a machine may have no sound at all); media that is only sound fails.
ResultCode open_streams(PlayerSession* s)
{
    NowPlaying* now = s->ctx.now;
    AVFormatContext* ic = s->ic.get();
    int wanted_video = now->video_stream;
    int wanted_audio = now->audio_stream;
    bool subtitles_off = now->subtitle_stream == SUBTITLES_OFF;
    int wanted_subtitle = now->subtitle_stream < STREAM_AUTO ? STREAM_AUTO : now->subtitle_stream;

    bool real_video = false, any_audio = false;
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        ic->streams[i]->discard = AVDISCARD_ALL;
        real_video = real_video || is_real_video(ic->streams[i]);
        any_audio = any_audio || ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    }

    int video = real_video
                    ? av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, wanted_video, -1, nullptr, 0)
                    : -1;
    int audio = any_audio
                    ? av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, wanted_audio, video, nullptr, 0)
                    : -1;
    int subtitle = -1;
    if (!subtitles_off)
        subtitle = av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, wanted_subtitle,
                                       audio >= 0 ? audio : video, nullptr, 0);
    bool playable_video = video >= 0 && is_real_video(ic->streams[video]);

    if (audio >= 0 && stream_component_open(s, audio) < 0 && !playable_video)
        return ERR_MEDIA_OPEN;
    if (playable_video && stream_component_open(s, video) < 0)
        return ERR_MEDIA_OPEN;
    if (subtitle >= 0)
        stream_component_open(s, subtitle);  // a subtitle that cannot open is ignored

    now->no_video_open.store(s->video_stream < 0);
    now->no_audio_open.store(s->audio_stream < 0);
    if (s->video_stream < 0 && s->audio_stream < 0 && s->subtitle_stream < 0)
        return ERR_MEDIA_OPEN;
    if (s->audio_stream >= 0 && s->video_stream < 0)
        post_session_event(EVENT_ALLOC_PICTURE, s, session_aborted);
    return RESULT_OK;
}

// Flushes one queue and queues the flush packet behind the old data.
void restart_queue(PacketQueue* q)
{
    packet_queue_flush(q);
    packet_queue_put_flush(q);
}

void do_seek(PlayerSession* s)
{
    NowPlaying* now = s->ctx.now;
    int64_t target = s->seek_pos + now->media_start_ms * 1000;
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
            s->subtitle_shown_tick = SDL_GetTicks() - SUBTITLE_EXPIRED_MS;
            s->subpq.cond.notify_all();
        }
        if (s->video_stream >= 0) {
            s->video_drained = false;
            restart_queue(&s->videoq);
        }
    }
    now->pending_seek_ms.store(-1);
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
    const NowPlaying* now = s->ctx.now;
    AVPacket empty{};
    if (s->video_stream >= 0)
        packet_queue_put(&s->videoq, &empty);
    if (s->audio_stream >= 0 && (s->audio_dec->codec->capabilities & AV_CODEC_CAP_DELAY))
        packet_queue_put(&s->audioq, &empty);
    sleep_ms(DEMUX_POLL_MS);
    if (!now->still_image && packet_queue_size(&s->audioq) == 0 &&
        packet_queue_size(&s->videoq) == 0 && video_finished(s))
        return true;
    if (now->still_image && now->slideshow && now->position_ms.load() >= now->duration_ms)
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

ReadEnd read_loop(PlayerSession* s)
{
    AVFormatContext* ic = s->ic.get();
    PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        return ReadEnd{true, ERR_OUT_OF_MEMORY};
    while (!s->abort_request) {
        // A consumer that died drains its queue no more: end with its reason.
        if (int failed = s->consumer_error.load(); failed != RESULT_OK)
            return ReadEnd{true, static_cast<ResultCode>(failed)};
        int paused = s->paused;
        if (paused != s->last_paused) {
            s->last_paused = paused;
            if (paused)
                s->read_pause_return = av_read_pause(ic);
            else
                av_read_play(ic);
        }
        if (paused) {
            sleep_ms(DEMUX_POLL_MS);
            continue;
        }
        if (s->seek_req) {
            do_seek(s);
            continue;
        }
        if (queues_full(s)) {
            sleep_ms(DEMUX_POLL_MS);
            continue;
        }
        if (s->eof) {
            if (handle_end_of_file(s)) {
                s->abort_request = 1;
                return ReadEnd{true, RESULT_OK};
            }
            continue;
        }
        int ret = av_read_frame(ic, pkt.get());
        if (ret < 0) {
            if (ret == AVERROR_EOF || (ic->pb && avio_feof(ic->pb)))
                s->eof = 1;
            sleep_ms(READ_RETRY_MS);
            continue;
        }
        route_packet(s, pkt.get());
        av_packet_unref(pkt.get());
    }
    // Aborted from outside: the closer knows, nothing is reported.
    return ReadEnd{false, RESULT_OK};
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

    ResultCode opened = open_streams(s);
    ReadEnd end = opened == RESULT_OK ? read_loop(s) : ReadEnd{true, opened};
    if (end.report) {
        s->error = end.result;
        post_session_event(EVENT_SESSION_END, s, end_report_expired);
    }
}

void stream_seek(PlayerSession* s, int64_t position_ms, int64_t relative)
{
    NowPlaying* now = s->ctx.now;
    if (!s->seek_req) {
        int64_t step_us = (relative < 0 ? -relative : relative) * 1000;
        double current_ms = get_master_clock(s) * 1000.0 - now->media_start_ms;
        s->seek_pos = position_ms * 1000;
        s->seek_flags &= ~AVSEEK_FLAG_BYTE;
        s->seek_rel = position_ms < current_ms ? -step_us : step_us;
        now->pending_seek_ms.store(position_ms);
        s->seek_req = 1;
        flags_clear(s->ctx.flags, APP_REENTER_PLAYER);
    }
    now->position_ms.store(now->media_start_ms + position_ms);
    now->shown_position_ms = now->media_start_ms + position_ms;
    s->picture_counter = 0;
}
