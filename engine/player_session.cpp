#include "engine/player_session.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

extern "C" {
#include <libavutil/rational.h>
}

#include "engine/audio.h"
#include "engine/demux.h"
#include "engine/now_playing.h"
#include "engine/picture.h"
#include "engine/video.h"
#include "platform/app_flags.h"
#include "platform/event_codes.h"
#include "platform/sync.h"
#include "platform/text_copy.h"

std::atomic<PlayerSession*> g_current_session{nullptr};

namespace {

// SDL's event queue is full only for a moment; the post is tried again this often.
constexpr int SESSION_EVENT_RETRY_MS = 10;

// Older FFmpeg needed a lock manager registered before any codec was opened
// from several threads. FFmpeg 5 locks internally and has no such hook, so the
// step in the start and end sequence is kept, and does nothing.
bool codec_lock_manager_register()
{
    return true;
}

void codec_lock_manager_unregister() {}

// Removes queued engine events that name this session, so that no event
// outlives the session it points to; other events go back in the queue.
void drop_session_events(PlayerSession* s)
{
    SDL_Event events[64];
    const Uint32 mask = SDL_EVENTMASK(EVENT_ALLOC_PICTURE) | SDL_EVENTMASK(EVENT_SESSION_END);
    int n = SDL_PeepEvents(events, 64, SDL_GETEVENT, mask);
    for (int i = 0; i < n; i++)
        if (events[i].user.data1 != s)
            SDL_PushEvent(&events[i]);
}

// With VELMORA_PLAYBACK_STATS=1, one line on stderr per item for the player
// benchmark. Pictures are never dropped for lateness, so "dropped" is what was
// decoded and never shown (a picture waiting when the item ended included).
// Presenting counts the bar drawn over the picture.
void report_stats(const PlayerSession* s)
{
    const char* on = std::getenv("VELMORA_PLAYBACK_STATS");
    if (!on || std::strcmp(on, "1") != 0)
        return;
    const SessionStats& st = s->stats;
    const int64_t decoded = st.frames_decoded, shown = st.frames_shown;
    auto per = [](int64_t us, int64_t n) { return n > 0 ? us / 1000.0 / n : 0.0; };
    std::fprintf(stderr,
                 "velmora-stats: frames_decoded=%lld frames_shown=%lld frames_dropped=%lld "
                 "max_av_drift_ms=%.1f decode_ms_per_frame=%.2f convert_ms_per_frame=%.2f "
                 "upload_draw_ms_per_frame=%.2f present_ms_per_frame=%.2f "
                 "first_picture_ms_after_open=%.1f\n",
                 static_cast<long long>(decoded), static_cast<long long>(shown),
                 static_cast<long long>(decoded - shown), st.max_av_drift * 1000,
                 per(st.decode_us, decoded), per(st.convert_us, shown), per(st.upload_us, shown),
                 per(st.present_us, shown), st.first_picture_us / 1000.0);
}

}  // namespace

PlayerSession* stream_open(const EngineContext& ctx, const char* name, FormatContextPtr ic)
{
    if (!codec_lock_manager_register())
        return nullptr;
    avformat_network_init();
    auto* s = new (std::nothrow) PlayerSession;
    if (!s) {
        avformat_network_deinit();
        return nullptr;
    }
    copy_text(s->name, sizeof s->name, name);
    s->stats.opened_at = std::chrono::steady_clock::now();
    s->ctx = ctx;
    s->ic = std::move(ic);
    flags_set(ctx.flags, APP_PLAYER_BUSY);
    ctx.now->session = s;
    g_current_session = s;
    try {
        s->demux_thread = std::thread(demux_thread_main, s);
    } catch (const std::system_error&) {
        flags_clear(ctx.flags, APP_PLAYER_BUSY);
        ctx.now->session = nullptr;
        g_current_session = nullptr;
        delete s;
        avformat_network_deinit();
        return nullptr;
    }
    return s;
}

void stream_close(PlayerSession* s)
{
    if (!s)
        return;
    NowPlaying* now = s->ctx.now;
    s->abort_request = 1;
    if (s->demux_thread.joinable())
        s->demux_thread.join();
    PlayerSession* self = s;
    g_current_session.compare_exchange_strong(self, nullptr);

    if (s->audio_stream >= 0)
        stream_component_close(s, s->audio_stream);
    if (s->video_stream >= 0)
        stream_component_close(s, s->video_stream);
    if (s->subtitle_stream >= 0)
        stream_component_close(s, s->subtitle_stream);
    report_stats(s);

    {
        std::lock_guard lock(s->subpq.mutex);
        subtitle_ring_clear_locked(&s->subpq);
    }
    session_video_output_free(s);
    if (s->gl_state_saved)
        gl_blend_state_restore(s->gl_state_before);
    drop_session_events(s);
    codec_lock_manager_unregister();
    avformat_network_deinit();
    if (now && now->session == s)
        now->session = nullptr;
    delete s;
}

void session_gl_state_note(PlayerSession* s)
{
    if (s->gl_state_saved)
        return;
    s->gl_state_before = gl_blend_state_save();
    s->gl_state_saved = true;
}

SessionEventOutcome player_session_handle_event(PlayerSession* s, const SDL_Event* ev)
{
    SessionEventOutcome outcome{false, false, RESULT_OK};
    if (!s || !ev || ev->user.data1 != s)
        return outcome;
    if (ev->type == EVENT_ALLOC_PICTURE) {
        session_gl_state_note(s);
        alloc_picture(s);
        outcome.consumed = true;
    } else if (ev->type == EVENT_SESSION_END) {
        outcome.consumed = true;
        outcome.ended = true;
        outcome.result = static_cast<ResultCode>(s->error.load());
    }
    return outcome;
}

void player_session_tick(PlayerSession* s)
{
    if (!s)
        return;
    session_gl_state_note(s);
    video_refresh(s);
}

void session_consumer_failed(PlayerSession* s, PacketQueue* q, ResultCode result)
{
    int expected = RESULT_OK;
    s->consumer_error.compare_exchange_strong(expected, result);
    packet_queue_abort(q);
}

void display_aspect_for(int width, int height, AVRational sar, int32_t* num, int32_t* den)
{
    const int64_t sar_num = sar.num > 0 && sar.den > 0 ? sar.num : 1;
    const int64_t sar_den = sar.num > 0 && sar.den > 0 ? sar.den : 1;
    const int64_t n = static_cast<int64_t>(width) * sar_num;
    const int64_t d = static_cast<int64_t>(height) * sar_den;
    if (n <= 0 || d <= 0) {
        *num = *den = 1;
        return;
    }
    int reduced_num = 1, reduced_den = 1;
    av_reduce(&reduced_num, &reduced_den, n, d, INT32_MAX);
    *num = reduced_num > 0 ? reduced_num : 1;
    *den = reduced_den > 0 ? reduced_den : 1;
}

bool post_session_event(int type, PlayerSession* s, bool (*give_up)(PlayerSession*))
{
    SDL_Event ev{};
    ev.type = static_cast<Uint8>(type);
    ev.user.type = static_cast<Uint8>(type);
    ev.user.data1 = s;
    while (SDL_PushEvent(&ev) < 0) {
        if (give_up(s))
            return false;
        sleep_ms(SESSION_EVENT_RETRY_MS);
    }
    return true;
}

void picture_queue_next(PlayerSession* s)
{
    std::lock_guard lock(s->pictq.mutex);
    if (s->pictq.size > 0) {
        s->pictq.rindex = ring_next(s->pictq.rindex, VIDEO_PICTURE_QUEUE_SIZE);
        s->pictq.size--;
    }
    s->pictq.cond.notify_all();
}

void subtitle_ring_clear_locked(SubtitleRing* ring)
{
    while (ring->size > 0) {
        avsubtitle_free(&ring->entries[ring->rindex].sub);
        ring->rindex = ring_next(ring->rindex, SUBPICTURE_QUEUE_SIZE);
        ring->size--;
    }
}

namespace {

// Decoder options shared by every kind of stream.
CodecContextPtr decoder_open_context(AVStream* st, const AVCodec* codec)
{
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0)
        return nullptr;
    dec->pkt_timebase = st->time_base;
    dec->workaround_bugs = 1;
    dec->error_concealment = 0;
    dec->thread_count = 2;
    dec->lowres = 0;
    return dec;
}

bool text_subtitle_codec(AVCodecID id)
{
    return id == AV_CODEC_ID_TEXT || id == AV_CODEC_ID_MOV_TEXT;
}

bool start_thread(std::thread* t, void (*fn)(PlayerSession*), PlayerSession* s)
{
    try {
        *t = std::thread(fn, s);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace

int stream_component_open(PlayerSession* s, int stream_index)
{
    AVFormatContext* ic = s->ic.get();
    if (stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams))
        return ERR_MEDIA_OPEN;
    AVStream* st = ic->streams[stream_index];
    AVCodecParameters* par = st->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec && !(par->codec_type == AVMEDIA_TYPE_SUBTITLE && text_subtitle_codec(par->codec_id)))
        return ERR_MEDIA_OPEN;

    CodecContextPtr dec;
    if (codec) {
        dec = decoder_open_context(st, codec);
        if (!dec)
            return ERR_MEDIA_OPEN;
        if (avcodec_open2(dec.get(), codec, nullptr) < 0)
            return ERR_MEDIA_OPEN;
    }

    switch (par->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        s->audio_stream = stream_index;
        s->audio_st = st;
        s->audio_dec = std::move(dec);
        if (audio_open(s) < 0) {
            s->audio_dec.reset();
            s->audio_stream = -1;
            s->audio_st = nullptr;
            return ERR_MEDIA_OPEN;
        }
        st->discard = AVDISCARD_DEFAULT;
        s->has_audio = true;
        audio_start(s);
        break;
    case AVMEDIA_TYPE_VIDEO: {
        s->video_stream = stream_index;
        s->video_st = st;
        s->video_dec = std::move(dec);
        st->discard = AVDISCARD_DEFAULT;
        int32_t num = 1, den = 1;
        display_aspect_for(par->width, par->height, par->sample_aspect_ratio, &num, &den);
        s->ctx.now->display_aspect_num.store(num);
        s->ctx.now->display_aspect_den.store(den);
        packet_queue_init(&s->videoq);
        s->has_video = true;
        if (!start_thread(&s->video_thread, video_thread_main, s))
            return ERR_MEDIA_OPEN;
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        s->subtitle_stream = stream_index;
        s->subtitle_st = st;
        s->subtitle_dec = std::move(dec);
        st->discard = AVDISCARD_DEFAULT;
        packet_queue_init(&s->subtitleq);
        s->has_subtitle = true;
        if (!start_thread(&s->subtitle_thread, subtitle_thread_main, s))
            return ERR_MEDIA_OPEN;
        break;
    default: return ERR_MEDIA_OPEN;
    }
    return 0;
}

void stream_component_close(PlayerSession* s, int stream_index)
{
    AVFormatContext* ic = s->ic.get();
    if (!ic || stream_index < 0 || stream_index >= static_cast<int>(ic->nb_streams))
        return;
    AVStream* st = ic->streams[stream_index];
    switch (st->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        packet_queue_abort(&s->audioq);
        audio_close(s);
        packet_queue_end(&s->audioq);
        s->audio_dec.reset();
        s->audio_st = nullptr;
        s->audio_stream = -1;
        s->has_audio = false;
        break;
    case AVMEDIA_TYPE_VIDEO:
        packet_queue_abort(&s->videoq);
        {
            std::lock_guard lock(s->pictq.mutex);
            s->pictq.cond.notify_all();
        }
        if (s->video_thread.joinable())
            s->video_thread.join();
        packet_queue_end(&s->videoq);
        s->video_dec.reset();
        s->video_st = nullptr;
        s->video_stream = -1;
        s->has_video = false;
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        packet_queue_abort(&s->subtitleq);
        {
            std::lock_guard lock(s->subpq.mutex);
            s->subpq.stream_changed = true;
            s->subpq.cond.notify_all();
        }
        if (s->subtitle_thread.joinable())
            s->subtitle_thread.join();
        packet_queue_end(&s->subtitleq);
        s->subtitle_dec.reset();
        s->subtitle_st = nullptr;
        s->subtitle_stream = -1;
        s->has_subtitle = false;
        break;
    default: break;
    }
    st->discard = AVDISCARD_ALL;
}
