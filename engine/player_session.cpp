#include "engine/player_session.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "app/app_state.h"
#include "platform/event_codes.h"
#include "engine/audio.h"
#include "engine/demux.h"
#include "engine/video.h"
#include "render/picture.h"

std::atomic<PlayerSession*> g_current_session{nullptr};

namespace {

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

}  // namespace

PlayerSession* stream_open(AppState* app, const char* name, FormatContextPtr ic)
{
    if (!codec_lock_manager_register())
        return nullptr;
    avformat_network_init();
    auto* s = new (std::nothrow) PlayerSession;
    if (!s) {
        avformat_network_deinit();
        return nullptr;
    }
    std::snprintf(s->name, sizeof s->name, "%s", name);
    s->app = app;
    s->ic = std::move(ic);
    app->flags |= APP_PLAYER_BUSY;
    app->now.session = s;
    g_current_session = s;
    try {
        s->demux_thread = std::thread(demux_thread_main, s);
    } catch (const std::system_error&) {
        app->flags &= ~APP_PLAYER_BUSY;
        app->now.session = nullptr;
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
    AppState* app = s->app;
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

    {
        std::lock_guard lock(s->subpq.mutex);
        subtitle_ring_clear_locked(&s->subpq);
    }
    video_output_free(s);
    drop_session_events(s);
    codec_lock_manager_unregister();
    avformat_network_deinit();
    if (app && app->now.session == s)
        app->now.session = nullptr;
    delete s;
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
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void picture_queue_next(PlayerSession* s)
{
    std::lock_guard lock(s->pictq.mutex);
    if (s->pictq.size > 0) {
        s->pictq.rindex = (s->pictq.rindex + 1) % VIDEO_PICTURE_QUEUE_SIZE;
        s->pictq.size--;
    }
    s->pictq.cond.notify_all();
}

void subtitle_ring_clear_locked(SubtitleRing* ring)
{
    while (ring->size > 0) {
        avsubtitle_free(&ring->entries[ring->rindex].sub);
        ring->rindex = (ring->rindex + 1) % SUBPICTURE_QUEUE_SIZE;
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
        return ENGINE_ERR_DECODER;
    AVStream* st = ic->streams[stream_index];
    AVCodecParameters* par = st->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec && !(par->codec_type == AVMEDIA_TYPE_SUBTITLE && text_subtitle_codec(par->codec_id)))
        return ENGINE_ERR_DECODER;

    CodecContextPtr dec;
    if (codec) {
        dec = decoder_open_context(st, codec);
        if (!dec)
            return ENGINE_ERR_DECODER;
        if (avcodec_open2(dec.get(), codec, nullptr) < 0)
            return ENGINE_ERR_DECODER;
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
            return ENGINE_ERR_DECODER;
        }
        st->discard = AVDISCARD_DEFAULT;
        s->has_audio = true;
        audio_start(s);
        break;
    case AVMEDIA_TYPE_VIDEO: {
        AppState* app = s->app;
        s->video_stream = stream_index;
        s->video_st = st;
        s->video_dec = std::move(dec);
        st->discard = AVDISCARD_DEFAULT;
        int sar_num = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio.num : 1;
        int sar_den = par->sample_aspect_ratio.den > 0 ? par->sample_aspect_ratio.den : 1;
        int num = par->width * sar_num, den = par->height * sar_den;
        if (num == 0 || den == 0)
            num = den = 1;
        app->now.display_aspect_num.store(num);
        app->now.display_aspect_den.store(den);
        packet_queue_init(&s->videoq);
        s->has_video = true;
        if (!start_thread(&s->video_thread, video_thread_main, s))
            return ENGINE_ERR_DECODER;
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
            return ENGINE_ERR_DECODER;
        break;
    default:
        return ENGINE_ERR_DECODER;
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
    default:
        break;
    }
    st->discard = AVDISCARD_ALL;
}
