#include "app/stream_decode.h"

#include <algorithm>
#include <cstring>

#include <SDL/SDL.h>

#include "app/app_state.h"
#include "app/stream_player.h"
#include "engine/av_owners.h"
#include "platform/result_codes.h"
#include "platform/sync.h"
#include "render/video_layout.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

// A decoder fed from a ring through FFmpeg's parser, which finds the frames
// in a stream cut without regard to them.
struct ParsedDecoder {
    CodecContextPtr codec;
    ParserPtr parser;
    PacketPtr packet;
    FramePtr frame;  // the frame last decoded
    // Pictures still to be passed over before a key picture comes (video,
    // after joining or moving in a stream): what follows one is whole.
    int32_t key_wait;
};

struct StreamDecoders {
    ParsedDecoder video;
    SwsPtr sws;
    FramePtr converted;  // the picture as drawn when it needs converting
    VideoTextures textures;
    ParsedDecoder audio;
    SwrPtr swr;
    uint32_t pcm_since_stamp;  // PCM bytes made since the last audio stamp
};

// An MPEG-4 AudioSpecificConfig for AAC-LC; ADTS headers in the stream
// override it frame by frame.
constexpr uint8_t AAC_CONFIG[2] = {0x15, 0x88};
constexpr int AUDIO_CHANNELS = 2;
constexpr int AUDIO_BUFFER_SAMPLES = 2048;
constexpr int BYTES_PER_SAMPLE_FRAME = 4;  // 16-bit stereo
constexpr int FALLBACK_SAMPLE_RATE = 48000;
constexpr uint32_t PCM_AHEAD_LIMIT = 32768;  // decoded bytes kept ahead of the device
constexpr size_t PARSE_STEP = 65536;         // bytes handed to a parser at a time
// Pictures passed over at most while waiting for a key picture: a stream
// that refreshes without key pictures is shown as it comes after these.
constexpr int32_t KEY_WAIT_PICTURES = 300;
constexpr int DECODE_STEPS = 64;  // parser steps tried for one picture
constexpr int AUDIO_IDLE_MS = 10;

// The session's decoders: one session at a time, so they live here.
// Created and freed on the main thread while no session thread runs; the
// audio thread uses the audio half while the session runs.
std::unique_ptr<StreamDecoders> g_decoders;

// Finds the decoder for id and makes its context, parser, packet and frame:
// the codec to open, or null when any of them cannot be had.
const AVCodec* parsed_decoder_make(ParsedDecoder* d, AVCodecID id)
{
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return nullptr;
    d->codec.reset(avcodec_alloc_context3(codec));
    d->parser.reset(av_parser_init(id));
    d->packet.reset(av_packet_alloc());
    d->frame.reset(av_frame_alloc());
    return d->codec && d->parser && d->packet && d->frame ? codec : nullptr;
}

// Forgets what the decoder holds; a parser holds bytes of the old position,
// so a new one starts clean.
void parsed_decoder_flush(ParsedDecoder* d)
{
    if (!d->codec)
        return;
    avcodec_flush_buffers(d->codec.get());
    d->parser.reset(av_parser_init(d->codec->codec_id));
    if (d->codec->codec_type == AVMEDIA_TYPE_VIDEO)
        d->key_wait = KEY_WAIT_PICTURES;
}

// Whether the frame the parser delimited goes to the decoder: after a
// join or a move, pictures before the first key picture would show the
// decoder's guesses (grey or smeared blocks), so they are passed over.
bool wanted_frame(ParsedDecoder& d)
{
    if (d.key_wait <= 0)
        return true;
    const AVCodecParserContext* p = d.parser.get();
    if (p->key_frame == 1 || p->pict_type == AV_PICTURE_TYPE_I) {
        d.key_wait = 0;
        return true;
    }
    --d.key_wait;
    return false;
}

enum ParseOutcome { PARSE_EMPTY, PARSE_STALLED, PARSE_MOVED };

// One parser step over `ring`: the bytes the parser used leave the ring (the
// stamp of the newest unit they complete goes to *stamp, else -1) and the
// frame it delimited goes to the decoder (a damaged one is skipped).
ParseOutcome parse_step(AppState* app, ParsedDecoder& d, ByteRing& ring, UnitStamps& stamps,
                        uint32_t unit_size, int64_t* stamp)
{
    *stamp = -1;
    const uint8_t* at = nullptr;
    size_t n = 0;
    {
        LockGuard guard(app->frame.player_stream_lock);
        n = std::min(ring_readable(ring, &at), PARSE_STEP);
    }
    if (n == 0)
        return PARSE_EMPTY;
    uint8_t* data = nullptr;
    int size = 0;
    const int used = av_parser_parse2(d.parser.get(), d.codec.get(), &data, &size, at,
                                      static_cast<int>(n), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    // The frame may lie in the ring itself: the decoder copies it before
    // the bytes are given back, since the receiver refills them at once.
    if (size > 0 && wanted_frame(d)) {
        d.packet->data = data;
        d.packet->size = size;
        avcodec_send_packet(d.codec.get(), d.packet.get());
    }
    {
        LockGuard guard(app->frame.player_stream_lock);
        *stamp = ring_take(&ring, &stamps, unit_size, static_cast<size_t>(std::max(used, 0)));
    }
    return used > 0 || size > 0 ? PARSE_MOVED : PARSE_STALLED;
}

int open_video(AppState* app, StreamDecoders& d)
{
    const AVCodecID id = app->stream_player.info.video_codec == STREAM_VIDEO_H264
                             ? AV_CODEC_ID_H264
                             : AV_CODEC_ID_MPEG4;
    const AVCodec* codec = parsed_decoder_make(&d.video, id);
    d.video.key_wait = KEY_WAIT_PICTURES;
    d.converted.reset(av_frame_alloc());
    if (!codec || !d.converted)
        return ERR_MEDIA_OPEN;
    return avcodec_open2(d.video.codec.get(), codec, nullptr) < 0 ? ERR_MEDIA_OPEN : RESULT_OK;
}

void audio_callback(void* userdata, Uint8* out, int length);

int open_audio_device(AppState* app)
{
    const uint32_t rate = app->stream_player.info.sample_rate;
    SDL_AudioSpec wanted{};
    wanted.freq = rate > 0 ? static_cast<int>(rate) : FALLBACK_SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = AUDIO_CHANNELS;
    wanted.samples = AUDIO_BUFFER_SAMPLES;
    wanted.callback = audio_callback;
    wanted.userdata = app;
    if (SDL_OpenAudio(&wanted, nullptr) < 0)
        return ERR_MEDIA_OPEN;
    app->nav.audio_open = 1;
    return RESULT_OK;
}

int open_audio(AppState* app, StreamDecoders& d)
{
    const bool aac = app->stream_player.info.audio_codec == STREAM_AUDIO_AAC;
    const AVCodecID id = aac ? AV_CODEC_ID_AAC : AV_CODEC_ID_MP3;
    const AVCodec* codec = parsed_decoder_make(&d.audio, id);
    if (!codec)
        return ERR_MEDIA_OPEN;
    if (aac) {
        auto* extra = static_cast<uint8_t*>(
            av_mallocz(sizeof AAC_CONFIG + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!extra)
            return ERR_MEDIA_OPEN;
        std::memcpy(extra, AAC_CONFIG, sizeof AAC_CONFIG);
        d.audio.codec->extradata = extra;  // freed with the context
        d.audio.codec->extradata_size = sizeof AAC_CONFIG;
    }
    if (avcodec_open2(d.audio.codec.get(), codec, nullptr) < 0)
        return ERR_MEDIA_OPEN;
    return open_audio_device(app);
}

// ---- audio ---------------------------------------------------------------------------------

// The device's fill callback: plays decoded PCM while the session plays,
// and moves the audio clock as the bytes of each stamped unit go out.
void audio_callback(void* userdata, Uint8* out, int length)
{
    auto* app = static_cast<AppState*>(userdata);
    std::memset(out, 0, static_cast<size_t>(length));
    if (!flags_any(&app->flags, APP_PLAYING))
        return;
    StreamPlayer& sp = app->stream_player;
    LockGuard guard(app->frame.player_audio_lock);
    PcmQueue& q = sp.pcm;
    const auto n = static_cast<uint32_t>(length);
    if (q.count < n)
        return;  // under-run: silence, nothing consumed
    if (app->now.sound_on.load())
        std::memcpy(out, q.bytes, n);
    std::memmove(q.bytes, q.bytes + n, q.count - n);
    q.count -= n;
    q.played_since_stamp += n;
    while (q.stamp_count > 0 && q.played_since_stamp >= q.stamps[q.stamp_head].bytes) {
        const PcmStamp& s = q.stamps[q.stamp_head];
        q.played_since_stamp -= s.bytes;
        sp.audio_clock_ms.store(stamp_unwrap(sp.audio_clock_ms.load(), s.stamp));
        q.stamp_head = (q.stamp_head + 1) % PCM_STAMP_COUNT;
        q.stamp_count--;
    }
}

bool ensure_resampler(AppState* app, StreamDecoders& d, AVFrame* f)
{
    if (d.swr)
        return true;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* swr = nullptr;
    const int rate = app->stream_player.info.sample_rate > 0
                         ? static_cast<int>(app->stream_player.info.sample_rate)
                         : FALLBACK_SAMPLE_RATE;
    if (swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, rate, &f->ch_layout,
                            static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0)
        return false;
    d.swr.reset(swr);
    return swr_init(swr) >= 0;
}

// Converts a decoded frame into the PCM queue (under the audio lock).
void queue_pcm(AppState* app, StreamDecoders& d, AVFrame* f)
{
    if (!ensure_resampler(app, d, f))
        return;
    PcmQueue& q = app->stream_player.pcm;
    LockGuard guard(app->frame.player_audio_lock);
    uint8_t* at = q.bytes + q.count;
    const int room = static_cast<int>((PCM_BUFFER_SIZE - q.count) / BYTES_PER_SAMPLE_FRAME);
    const int made = swr_convert(d.swr.get(), &at, room,
                                 const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    if (made <= 0)
        return;
    const auto bytes = static_cast<uint32_t>(made * BYTES_PER_SAMPLE_FRAME);
    q.count += bytes;
    d.pcm_since_stamp += bytes;
}

void stamp_pcm(AppState* app, StreamDecoders& d, int64_t stamp)
{
    PcmQueue& q = app->stream_player.pcm;
    LockGuard guard(app->frame.player_audio_lock);
    if (q.stamp_count == PCM_STAMP_COUNT)
        return;  // far more stamps than the PCM they stand for: drop this one
    q.stamps[(q.stamp_head + q.stamp_count) % PCM_STAMP_COUNT] = {static_cast<uint32_t>(stamp),
                                                                  d.pcm_since_stamp};
    q.stamp_count++;
    d.pcm_since_stamp = 0;
}

uint32_t pcm_waiting(AppState* app)
{
    LockGuard guard(app->frame.player_audio_lock);
    return app->stream_player.pcm.count;
}

// One parser step over the audio ring, then the PCM of what it decoded;
// false when there was nothing to do.
bool audio_step(AppState* app, StreamDecoders& d)
{
    StreamSession& ss = app->stream;
    int64_t stamp = -1;
    const ParseOutcome step = parse_step(app, d.audio, ss.audio, ss.audio_stamps, AUDIO_UNIT_SIZE,
                                         &stamp);
    if (step == PARSE_EMPTY)
        return false;
    AVFrame* frame = d.audio.frame.get();
    while (avcodec_receive_frame(d.audio.codec.get(), frame) == 0) {
        queue_pcm(app, d, frame);
        av_frame_unref(frame);
    }
    if (stamp >= 0)
        stamp_pcm(app, d, stamp);
    return step == PARSE_MOVED;
}

// ---- video ---------------------------------------------------------------------------------

// The end of the stream: what the parser still holds, then the decoder's
// delayed pictures.
void drain_video(ParsedDecoder& d)
{
    uint8_t* data = nullptr;
    int size = 0;
    av_parser_parse2(d.parser.get(), d.codec.get(), &data, &size, nullptr, 0, AV_NOPTS_VALUE,
                     AV_NOPTS_VALUE, 0);
    if (size > 0 && wanted_frame(d)) {
        d.packet->data = data;
        d.packet->size = size;
        avcodec_send_packet(d.codec.get(), d.packet.get());  // a damaged frame is skipped
    }
    avcodec_send_packet(d.codec.get(), nullptr);
}

bool planar_420(const AVFrame* f)
{
    const bool format = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P;
    return format && f->linesize[1] == f->linesize[2] && f->linesize[0] == 2 * f->linesize[1];
}

// Converts the picture for the path that cannot take its planes as they are.
bool convert_picture(StreamDecoders& d, const AVFrame* f, bool yuv)
{
    AVFrame* c = d.converted.get();
    const AVPixelFormat format = yuv ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA;
    const int width = yuv ? (f->width + 1) & ~1 : f->width;
    if (c->width != width || c->height != f->height || c->format != format) {
        av_frame_unref(c);
        c->width = width;
        c->height = f->height;
        c->format = format;
        if (av_frame_get_buffer(c, 1) < 0)  // rows tightly packed, as the textures take them
            return false;
    }
    SwsContext* ctx = sws_getCachedContext(d.sws.release(), f->width, f->height,
                                           static_cast<AVPixelFormat>(f->format), width, f->height,
                                           format, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    d.sws.reset(ctx);
    if (!ctx)
        return false;
    sws_scale(ctx, f->data, f->linesize, 0, f->height, c->data, c->linesize);
    return true;
}

void place_video(AppState* app, StreamDecoders& d, const AVFrame* f, int line_width, bool yuv)
{
    VideoOutput& out = app->out;
    const VideoGeometry g{d.textures.y,
                          yuv,
                          f->width,
                          f->height,
                          f->sample_aspect_ratio.num,
                          f->sample_aspect_ratio.den,
                          line_width};
    if (out.video.slot == g.slot && out.video.coded_width == g.coded_width &&
        out.video.coded_height == g.coded_height && out.video.display_width == g.display_width)
        return;
    out.video = g;
    app->now.video_width = f->width;
    app->now.video_height = f->height;
    apply_aspect_mode(&out, out.aspect_mode, out.window_width, out.window_height);
    gl_blend_for_video(true);
}

}  // namespace

int stream_decoders_open(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    g_decoders = std::make_unique<StreamDecoders>();
    StreamDecoders& d = *g_decoders;
    int r = RESULT_OK;
    if (sp.info.video_codec != STREAM_CODEC_NONE)
        r = open_video(app, d);
    if (r == RESULT_OK && sp.info.audio_codec != STREAM_CODEC_NONE)
        r = open_audio(app, d);
    if (r != RESULT_OK) {
        if (app->nav.audio_open) {
            SDL_CloseAudio();
            app->nav.audio_open = 0;
        }
        stream_decoders_stop(app);
        stream_audio_codec_free(app);
        g_decoders.reset();
    }
    return r;
}

void stream_decoders_stop(AppState* app)
{
    StreamDecoders* d = g_decoders.get();
    if (!d)
        return;
    video_textures_free(&d->textures);
    app->out.video = VideoGeometry{};
    d->video.codec.reset();
    d->video.parser.reset();
    d->sws.reset();
}

void stream_audio_codec_free(AppState*)
{
    if (StreamDecoders* d = g_decoders.get()) {
        d->audio.codec.reset();
        d->audio.parser.reset();
        d->swr.reset();
        if (!d->video.codec)
            g_decoders.reset();
    }
}

void stream_decoders_flush(AppState*)
{
    StreamDecoders* d = g_decoders.get();
    if (!d)
        return;
    parsed_decoder_flush(&d->video);
    parsed_decoder_flush(&d->audio);
    d->pcm_since_stamp = 0;
}

bool stream_video_decode(AppState* app)
{
    StreamDecoders* d = g_decoders.get();
    if (!d || !d->video.codec || !d->video.parser)
        return false;
    StreamSession& ss = app->stream;
    StreamPlayer& sp = app->stream_player;
    for (int step = 0; step < DECODE_STEPS; step++) {
        if (avcodec_receive_frame(d->video.codec.get(), d->video.frame.get()) == 0)
            return true;
        int64_t stamp = -1;
        if (parse_step(app, d->video, ss.video, ss.video_stamps, VIDEO_UNIT_SIZE, &stamp) ==
            PARSE_EMPTY) {
            bool ended = false;  // and nothing more comes: the end chunk followed the last unit
            {
                LockGuard guard(app->frame.player_stream_lock);
                ended = ss.ended.load() != 0 && ss.video.count == 0;
            }
            if (!ended || sp.video_drained)
                return false;
            sp.video_drained = 1;
            drain_video(d->video);
            continue;
        }
        if (stamp >= 0)
            sp.video_clock_ms = stamp_unwrap(sp.video_clock_ms, static_cast<uint32_t>(stamp));
    }
    return false;
}

bool stream_video_draw(AppState* app)
{
    StreamDecoders* d = g_decoders.get();
    if (!d || !d->video.frame || !d->video.frame->data[0])
        return false;
    const AVFrame* f = d->video.frame.get();
    const bool yuv = video_yuv_path_preferred();
    const AVFrame* src = f;
    if (!yuv || !planar_420(f)) {
        if (!convert_picture(*d, f, yuv))
            return false;
        src = d->converted.get();
    }
    const int width = yuv ? src->linesize[0] : src->width;
    if (!video_textures_prepare(&d->textures, width, src->height, yuv))
        return false;
    place_video(app, *d, f, width, yuv);
    const uint8_t* const planes[3] = {src->data[0], src->data[1], src->data[2]};
    video_planes_draw(&d->textures, planes, width, src->height);
    return true;
}

void stream_audio_thread(AppState* app, std::stop_token stop)
{
    StreamDecoders* d = g_decoders.get();
    if (!d || !d->audio.codec)
        return;
    while (!stop.stop_requested() && flags_any(&app->flags, APP_PLAYER_BUSY)) {
        if (flags_any(&app->flags, APP_STREAM_BUFFERING) || pcm_waiting(app) > PCM_AHEAD_LIMIT ||
            !audio_step(app, *d))
            sleep_ms(AUDIO_IDLE_MS);
    }
}
