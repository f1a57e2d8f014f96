#include "engine/thumbnail.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "engine/av_owners.h"
#include "engine/media_open.h"
#include "engine/png_write.h"
#include "platform/png_check.h"
#include "platform/settings.h"
#include "platform/text_copy.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int RGBA_BYTES = 4;
// swscale's vector code may write a little past the last row.
constexpr size_t SCALER_SLACK = 256;
// Covers are compared as aspect x 1000 so that a near-square picture counts
// as square.
constexpr int ASPECT_SCALE = 1000;
constexpr int64_t US_PER_MS = 1000;

std::atomic<bool> g_abort{false};

// The interrupt callback's state: when reading gives up.
struct Deadline {
    Clock::time_point at;
    void restart() { at = Clock::now() + std::chrono::milliseconds(THUMB_DECODE_LIMIT_MS); }
};

int deadline_passed(void* opaque)
{
    return g_abort.load() || Clock::now() >= static_cast<const Deadline*>(opaque)->at;
}

// The streams a thumbnail is made from, by container index (-1 = none).
struct Choice {
    int video = -1;  // first video that is not a cover
    int cover = -1;  // first attached picture
    bool audio = false;
};

Choice choose(const MediaInfo& info)
{
    Choice c;
    for (int i = 0; i < info.stream_count; i++) {
        const StreamInfo& s = info.streams[i];
        if (s.kind == STREAM_KIND_VIDEO && s.attached_picture && c.cover < 0)
            c.cover = s.index;
        else if (s.kind == STREAM_KIND_VIDEO && !s.attached_picture && c.video < 0)
            c.video = s.index;
        else if (s.kind == STREAM_KIND_AUDIO)
            c.audio = true;
    }
    return c;
}

// Whether a headers-only open shows the chosen stream as the description
// says; otherwise (a container that finds its streams only by reading) the
// streams must be read after all.
bool stream_as_described(const AVFormatContext* ic, const MediaInfo& info, int index)
{
    if (index < 0)
        return true;
    if ((ic->ctx_flags & AVFMTCTX_NOHEADER) || unsigned(index) >= ic->nb_streams)
        return false;
    for (int i = 0; i < info.stream_count; i++)
        if (info.streams[i].index == index)
            return !std::strcmp(avcodec_get_name(ic->streams[index]->codecpar->codec_id),
                                info.streams[i].codec);
    return false;
}

CodecContextPtr open_decoder(const AVCodecParameters* par)
{
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    CodecContextPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!ctx || avcodec_parameters_to_context(ctx.get(), par) < 0)
        return nullptr;
    // One fast picture: no frame threads (each adds a picture of delay).
    ctx->thread_count = 1;
    ctx->flags2 |= AV_CODEC_FLAG2_FAST;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return nullptr;
    return ctx;
}

// Scales the picture to w x h RGBA and saves it.
int scale_and_save(const char* path, int slot, const AVFrame* frame, int w, int h, ThumbSize size)
{
    SwsPtr sws(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), w, h,
                              AV_PIX_FMT_RGBA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws)
        return -1;
    std::vector<uint8_t> rgba(size_t(w) * h * RGBA_BYTES + SCALER_SLACK);
    uint8_t* dst[4] = {rgba.data(), nullptr, nullptr, nullptr};
    int dst_stride[4] = {w * RGBA_BYTES, 0, 0, 0};
    if (sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dst_stride) != h)
        return -1;
    return thumb_save(path, slot, rgba.data(), w, h, size);
}

// The attached picture of stream index, decoded by the library's own
// image decoders. A PNG with damaged chunks is refused before decoding.
FramePtr decode_cover(const AVStream* st)
{
    const AVPacket& pic = st->attached_pic;
    if (!pic.data || pic.size <= 0 || !png_safe_to_decode(pic.data, size_t(pic.size)))
        return nullptr;
    CodecContextPtr ctx = open_decoder(st->codecpar);
    FramePtr frame(av_frame_alloc());
    if (!ctx || !frame || avcodec_send_packet(ctx.get(), &pic) < 0)
        return nullptr;
    avcodec_send_packet(ctx.get(), nullptr);
    if (avcodec_receive_frame(ctx.get(), frame.get()) < 0 || frame->width <= 0 ||
        frame->height <= 0)
        return nullptr;
    return frame;
}

int cover_thumb(const char* path, int slot, const AVStream* st, int width, int height,
                bool keep_aspect, ThumbSize size)
{
    FramePtr frame = decode_cover(st);
    if (!frame)
        return -1;
    if (keep_aspect)
        thumb_fit(frame->width, frame->height, 0, 0, &width, &height);
    return scale_and_save(path, slot, frame.get(), width, height, size);
}

// Reads from the current position until the video stream gives a picture.
// At the end of the file the decoder gives up what it still holds.
bool first_picture(AVFormatContext* ic, int video, AVCodecContext* dec, AVFrame* frame,
                   Deadline* deadline)
{
    PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        return false;
    deadline->restart();
    while (!deadline_passed(deadline)) {
        if (av_read_frame(ic, pkt.get()) < 0) {
            avcodec_send_packet(dec, nullptr);
            return avcodec_receive_frame(dec, frame) == 0;
        }
        bool ours = pkt->stream_index == video;
        int sent = ours ? avcodec_send_packet(dec, pkt.get()) : -1;
        av_packet_unref(pkt.get());
        // A damaged packet is skipped; the next may decode.
        if (sent >= 0 && avcodec_receive_frame(dec, frame) == 0)
            return true;
    }
    return false;
}

int video_thumb(const char* path, int slot, AVFormatContext* ic, const MediaInfo& info, int video,
                int width, int height, bool keep_aspect, ThumbSize size, Deadline* deadline)
{
    AVStream* st = ic->streams[video];
    if (info.duration_ms > 0) {
        int64_t target = (info.duration_ms / 2 + info.start_ms) * US_PER_MS;
        // A failed seek leaves the file where it was: near its start.
        avformat_seek_file(ic, -1, INT64_MIN, target, INT64_MAX, 0);
    }
    CodecContextPtr dec = open_decoder(st->codecpar);
    FramePtr frame(av_frame_alloc());
    if (!dec || !frame || !first_picture(ic, video, dec.get(), frame.get(), deadline))
        return -1;
    if (frame->width <= 0 || frame->height <= 0)
        return -1;
    if (keep_aspect) {
        AVRational sar = av_guess_sample_aspect_ratio(ic, st, frame.get());
        thumb_fit(frame->width, frame->height, sar.num, sar.den, &width, &height);
    }
    return scale_and_save(path, slot, frame.get(), width, height, size);
}

void make_folders()
{
    char folder[PATH_SIZE];
    copy_text(folder, sizeof folder, cache_folder());
    mkdir(folder, 0755);
    if (std::strlen(folder) + sizeof "thumbnails" < sizeof folder) {
        std::strcat(folder, "thumbnails");
        mkdir(folder, 0755);
    }
}

}  // namespace

void thumb_make_abort(bool on)
{
    g_abort = on;
}

void thumb_fit(int pic_w, int pic_h, int sar_num, int sar_den, int* box_w, int* box_h)
{
    if (pic_w <= 0 || pic_h <= 0 || *box_w <= 0 || *box_h <= 0)
        return;
    double aspect = double(pic_w) / pic_h;
    if (sar_num > 0 && sar_den > 0)
        aspect = aspect * sar_num / sar_den;
    if (double(*box_w) / *box_h < aspect)
        *box_h = int(*box_w / aspect);
    else
        *box_w = int(*box_h * aspect);
    *box_w = *box_w < 1 ? 1 : *box_w;
    *box_h = *box_h < 1 ? 1 : *box_h;
}

void cover_fit(int pic_w, int pic_h, int* out_w, int* out_h)
{
    float aspect = float(pic_w) / float(pic_h);
    if (int(aspect * ASPECT_SCALE) > ASPECT_SCALE) {
        *out_w = THUMB_COVER_SIDE;
        *out_h = int(THUMB_COVER_SIDE / aspect);
    } else {
        *out_w = int(THUMB_COVER_SIDE * aspect);
        *out_h = THUMB_COVER_SIDE;
    }
    if (*out_w <= 0)
        *out_w = THUMB_COVER_SIDE;
    if (*out_h <= 0)
        *out_h = THUMB_COVER_SIDE;
}

int thumb_save(const char* path, int slot, const uint8_t* rgba, int width, int height,
               ThumbSize size)
{
    char file[PATH_SIZE], name[THUMB_NAME_LENGTH + 1];
    if (!thumb_file_name(path, size, file, sizeof file))
        return -1;
    make_folders();
    // The pixels are R, G, B, A in memory: no swap.
    if (png_write_rgb(file, rgba, width, height, RGBA_BYTES, false) != 0) {
        cache_thumb_record(slot, path, "");
        return -1;
    }
    thumb_name(path, name);
    cache_thumb_record(slot, path, name);
    return 0;
}

int thumb_make(const char* path, int width, int height, bool keep_aspect, ThumbSize size)
{
    if (!path || !*path || width <= 0 || height <= 0 || width > PNG_WRITE_MAX_SIDE ||
        height > PNG_WRITE_MAX_SIDE || size < 0 || size >= THUMB_SIZE_COUNT || g_abort)
        return -1;
    MediaInfo info;
    int slot = -1;
    bool cached = cache_lookup(path, &info, &slot);
    Deadline deadline;
    deadline.restart();
    FormatContextPtr ic;
    if (media_input_open(path, AVIOInterruptCB{deadline_passed, &deadline}, &ic,
                         cached ? MEDIA_PROBE_HEADERS : MEDIA_PROBE_STREAMS) != RESULT_OK)
        return -1;
    if (!cached) {
        media_info_from_context(ic.get(), &info);
        cache_store(info, path, &slot);
    }
    Choice c = choose(info);
    if (cached && !(stream_as_described(ic.get(), info, c.video) &&
                    stream_as_described(ic.get(), info, c.cover))) {
        if (avformat_find_stream_info(ic.get(), nullptr) < 0)
            return -1;
        if (c.video >= int(ic->nb_streams) || c.cover >= int(ic->nb_streams))
            return -1;
    }
    if (c.video >= 0)
        return video_thumb(path, slot, ic.get(), info, c.video, width, height, keep_aspect, size,
                           &deadline);
    if (c.audio && c.cover >= 0)
        return cover_thumb(path, slot, ic->streams[c.cover], width, height, keep_aspect, size);
    return -1;
}

bool cover_art_save(const char* path, AVFormatContext* ic, int stream_index, char* out,
                    size_t out_size)
{
    char file[PATH_SIZE];
    if (!path || !ic || stream_index < 0 || unsigned(stream_index) >= ic->nb_streams)
        return false;
    if (thumb_lookup_file(path, THUMB_COVER, file, sizeof file)) {
        copy_text(out, out_size, file);
        return true;
    }
    int slot = -1;
    if (!cache_lookup(path, nullptr, &slot)) {
        MediaInfo info;
        media_info_from_context(ic, &info);
        cache_store(info, path, &slot);
    }
    FramePtr frame = decode_cover(ic->streams[stream_index]);
    if (!frame)
        return false;
    int w = 0, h = 0;
    cover_fit(frame->width, frame->height, &w, &h);
    if (scale_and_save(path, slot, frame.get(), w, h, THUMB_COVER) != 0 ||
        !thumb_file_name(path, THUMB_COVER, file, sizeof file))
        return false;
    copy_text(out, out_size, file);
    return true;
}
