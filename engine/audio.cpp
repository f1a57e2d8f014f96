#include "engine/audio.h"

#include <algorithm>
#include <cstring>

#include "engine/now_playing.h"
#include "engine/player_session.h"

namespace {

constexpr int AUDIO_DEVICE_SAMPLES = 2048;
constexpr int DEVICE_BYTES_PER_SAMPLE = 2;

// Layout of the stream, without the stereo-downmix channels, at most stereo.
bool device_layout_for(const AVCodecContext* dec, AVChannelLayout* out)
{
    int channels = dec->ch_layout.nb_channels;
    if (channels <= 0)
        return false;
    if (dec->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(out, &dec->ch_layout);
    else
        av_channel_layout_default(out, channels);
    if (out->order == AV_CHANNEL_ORDER_NATIVE) {
        uint64_t mask = out->u.mask & ~(AV_CH_STEREO_LEFT | AV_CH_STEREO_RIGHT);
        av_channel_layout_uninit(out);
        av_channel_layout_from_mask(out, mask);
    }
    if (out->nb_channels > 2 || out->nb_channels <= 0) {
        av_channel_layout_uninit(out);
        *out = AV_CHANNEL_LAYOUT_STEREO;
    }
    return true;
}

void params_set(AudioParams* p, AVSampleFormat fmt, const AVChannelLayout* layout, int freq)
{
    p->fmt = fmt;
    av_channel_layout_uninit(&p->layout);
    av_channel_layout_copy(&p->layout, layout);
    p->freq = freq;
}

// Converts the decoded frame to the device format; bytes, or -1 to drop it.
int convert_frame(PlayerSession* s, AVFrame* frame)
{
    AudioState& a = s->audio;
    auto fmt = static_cast<AVSampleFormat>(frame->format);
    int channels = frame->ch_layout.nb_channels;
    int data_size = av_samples_get_buffer_size(nullptr, channels, frame->nb_samples, fmt, 1);
    if (data_size < 0)
        return -1;
    AVChannelLayout layout{};
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(&layout, &frame->ch_layout);
    else
        av_channel_layout_default(&layout, channels);

    if (fmt != a.src.fmt || av_channel_layout_compare(&layout, &a.src.layout) != 0 ||
        frame->sample_rate != a.src.freq) {
        a.swr.reset();
        SwrContext* swr = nullptr;
        if (swr_alloc_set_opts2(&swr, &a.tgt.layout, a.tgt.fmt, a.tgt.freq, &layout, fmt,
                                frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(swr) < 0) {
            swr_free(&swr);
            av_channel_layout_uninit(&layout);
            return -1;
        }
        a.swr.reset(swr);
        params_set(&a.src, fmt, &layout, frame->sample_rate);
    }
    av_channel_layout_uninit(&layout);

    if (!a.swr) {
        a.buf = frame->data[0];
        return data_size;
    }
    int out_max = AUDIO_BUF2_SIZE / a.tgt.channels() / DEVICE_BYTES_PER_SAMPLE;
    uint8_t* out = a.buf2.get();
    int n = swr_convert(a.swr.get(), &out, out_max,
                        const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (n < 0)
        return -1;
    if (n == out_max)
        swr_init(a.swr.get());  // output was cut short: start the resampler afresh
    a.buf = a.buf2.get();
    return n * a.tgt.channels() * DEVICE_BYTES_PER_SAMPLE;
}

}  // namespace

int audio_open(PlayerSession* s)
{
    AVCodecContext* dec = s->audio_dec.get();
    AudioState& a = s->audio;
    AVChannelLayout layout{};
    if (dec->sample_rate <= 0 || !device_layout_for(dec, &layout))
        return ERR_MEDIA_OPEN;

    SDL_AudioSpec wanted{};
    SDL_AudioSpec obtained{};
    wanted.freq = dec->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(layout.nb_channels);
    wanted.silence = 0;
    wanted.samples = AUDIO_DEVICE_SAMPLES;
    wanted.callback = audio_callback;
    wanted.userdata = s;
    if (SDL_OpenAudio(&wanted, &obtained) < 0) {
        av_channel_layout_uninit(&layout);
        return ERR_MEDIA_OPEN;
    }
    if (obtained.format != AUDIO_S16SYS || obtained.channels == 0) {
        SDL_CloseAudio();
        av_channel_layout_uninit(&layout);
        return ERR_MEDIA_OPEN;
    }
    a.device_open = true;
    a.hw_buf_size = static_cast<int>(obtained.size);
    if (obtained.channels != layout.nb_channels) {
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, obtained.channels);
    }
    a.device_freq = obtained.freq;
    a.device_channels = obtained.channels;
    params_set(&a.tgt, AV_SAMPLE_FMT_S16, &layout, obtained.freq);
    params_set(&a.src, AV_SAMPLE_FMT_S16, &layout, obtained.freq);
    av_channel_layout_uninit(&layout);
    return 0;
}

void audio_start(PlayerSession* s)
{
    AudioState& a = s->audio;
    // The device thread exists already (paused): hand it the state under its lock.
    SDL_LockAudio();
    a.buf = nullptr;
    a.buf_size = a.buf_index = 0;
    a.decoder_drained = false;
    a.buf2.reset(static_cast<uint8_t*>(av_malloc(AUDIO_BUF2_SIZE)));
    a.frame.reset(av_frame_alloc());
    SDL_UnlockAudio();
    packet_queue_init(&s->audioq);
    SDL_PauseAudio(0);
}

void audio_close(PlayerSession* s)
{
    AudioState& a = s->audio;
    if (a.device_open)
        SDL_CloseAudio();
    a.device_open = false;
    a.swr.reset();
    a.frame.reset();
    a.buf2.reset();
    a.buf = nullptr;
    a.buf_size = a.buf_index = 0;
    av_channel_layout_uninit(&a.src.layout);
    av_channel_layout_uninit(&a.tgt.layout);
}

int audio_decode_frame(PlayerSession* s, double* pts)
{
    AudioState& a = s->audio;
    AVCodecContext* dec = s->audio_dec.get();
    if (!a.frame || !a.buf2)
        return -1;
    for (;;) {
        if (s->paused || s->audioq.abort_request)
            return -1;
        int r = avcodec_receive_frame(dec, a.frame.get());
        if (r == 0) {
            AVFrame* f = a.frame.get();
            if (f->pts != AV_NOPTS_VALUE)
                a.clock = f->pts * av_q2d(s->audio_st->time_base);
            int size = convert_frame(s, f);
            if (size < 0)
                continue;
            *pts = a.clock;
            if (f->sample_rate > 0)
                a.clock = a.clock + static_cast<double>(f->nb_samples) / f->sample_rate;
            return size;
        }
        if (r == AVERROR_EOF)
            a.decoder_drained = true;
        PacketPtr pkt;
        if (packet_queue_get(&s->audioq, &pkt) < 0)
            return -1;
        if (is_flush_packet(pkt.get())) {
            avcodec_flush_buffers(dec);
            a.decoder_drained = false;
            continue;
        }
        if (is_empty_packet(pkt.get())) {
            if (!a.decoder_drained)
                avcodec_send_packet(dec, nullptr);
            continue;
        }
        if (pkt->pts != AV_NOPTS_VALUE)
            a.clock = pkt->pts * av_q2d(s->audio_st->time_base);
        avcodec_send_packet(dec, pkt.get());
    }
}

void audio_callback(void* opaque, Uint8* stream, int len)
{
    auto* s = static_cast<PlayerSession*>(opaque);
    AudioState& a = s->audio;
    int64_t callback_time = av_gettime();
    a.callback_time = callback_time;
    bool sound_on = s->ctx.now->sound_on.load(std::memory_order_relaxed) != 0;
    while (len > 0) {
        if (a.buf_index >= a.buf_size) {
            double pts = 0;
            int size = audio_decode_frame(s, &pts);
            if (size < 0) {
                a.buf = a.silence;
                a.buf_size = SILENCE_CHUNK;
            } else {
                a.buf_size = static_cast<uint32_t>(size);
            }
            a.buf_index = 0;
        }
        int n = std::min(static_cast<int>(a.buf_size - a.buf_index), len);
        if (sound_on)
            std::memcpy(stream, a.buf + a.buf_index, n);
        else
            std::memset(stream, 0, n);
        len -= n;
        stream += n;
        a.buf_index += n;
        s->stats.audio_bytes_out += n;
    }
    int bytes_per_second = DEVICE_BYTES_PER_SAMPLE * a.tgt.freq * a.tgt.channels();
    a.write_buf_size = static_cast<int>(a.buf_size - a.buf_index);
    if (bytes_per_second > 0) {
        double heard = a.clock -
                       static_cast<double>(2 * a.hw_buf_size + a.write_buf_size) / bytes_per_second;
        a.heard.set(heard, callback_time / 1000000.0);
    }
}

AudioDeviceInfo audio_device_info(const PlayerSession* s)
{
    return AudioDeviceInfo{s->audio.device_freq, s->audio.device_channels};
}
