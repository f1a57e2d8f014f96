#include "engine/media_info.h"

#include <chrono>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "engine/av_owners.h"
#include "engine/media_open.h"
#include "platform/text_copy.h"

namespace {

using Clock = std::chrono::steady_clock;

// The interrupt callback's state: the moment the read gives up.
struct Deadline {
    Clock::time_point at;
};

int deadline_passed(void* opaque)
{
    return Clock::now() >= static_cast<const Deadline*>(opaque)->at;
}

// The stream kinds the panel lists, by the library's media type.
struct KindOfType {
    AVMediaType type;
    StreamKind kind;
};
constexpr KindOfType KINDS[] = {
    {AVMEDIA_TYPE_VIDEO, STREAM_KIND_VIDEO},
    {AVMEDIA_TYPE_AUDIO, STREAM_KIND_AUDIO},
    {AVMEDIA_TYPE_SUBTITLE, STREAM_KIND_SUBTITLE},
};

int kind_of(AVMediaType type)
{
    for (const KindOfType& k : KINDS)
        if (k.type == type)
            return k.kind;
    return -1;
}

// An SSA (version 4, not 4+) script: the library decodes it with its "ass"
// decoder, so its description names the wrong format unless corrected.
bool is_ssa(const AVCodecParameters* par)
{
    if (par->codec_id == AV_CODEC_ID_SSA)
        return true;
    if (par->codec_id != AV_CODEC_ID_ASS || !par->extradata || par->extradata_size <= 0)
        return false;
    std::string_view header(reinterpret_cast<const char*>(par->extradata),
                            static_cast<size_t>(par->extradata_size));
    constexpr std::string_view TYPE = "ScriptType: v4.00";
    size_t at = header.find(TYPE);
    return at != std::string_view::npos &&
           (at + TYPE.size() >= header.size() || header[at + TYPE.size()] != '+');
}

// The decoder's one-line description of the stream, as the library's own
// stream dump prints it; the codec name when no context can be made.
void describe(const AVStream* st, StreamInfo* out)
{
    char line[256];
    CodecContextPtr ctx(avcodec_alloc_context3(nullptr));
    if (ctx && avcodec_parameters_to_context(ctx.get(), st->codecpar) >= 0)
        avcodec_string(line, sizeof line, ctx.get(), 0);
    else
        copy_text(line, sizeof line, out->codec);
    if (is_ssa(st->codecpar))
        if (char* ass = std::strstr(line, "ass"))
            std::memcpy(ass, "ssa", 3);
    copy_text(out->description, sizeof out->description, line);
}

double frame_rate_of(const AVStream* st)
{
    AVRational r = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 ? st->avg_frame_rate
                                                                            : st->r_frame_rate;
    return r.num > 0 && r.den > 0 ? av_q2d(r) : 0.0;
}

void fill_stream(const AVStream* st, int kind, StreamInfo* out)
{
    const AVCodecParameters* par = st->codecpar;
    out->index = st->index;
    out->kind = kind;
    copy_text(out->codec, sizeof out->codec, avcodec_get_name(par->codec_id));
    out->attached_picture = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
    if (kind == STREAM_KIND_VIDEO) {
        out->width = par->width;
        out->height = par->height;
        AVRational sar = st->sample_aspect_ratio.num > 0 ? st->sample_aspect_ratio
                                                         : par->sample_aspect_ratio;
        out->sar_num = sar.num > 0 && sar.den > 0 ? sar.num : 0;
        out->sar_den = sar.num > 0 && sar.den > 0 ? sar.den : 1;
        out->frame_rate = out->attached_picture ? 0.0 : frame_rate_of(st);
    }
    describe(st, out);
}

}  // namespace

void media_info_from_context(const AVFormatContext* ic, MediaInfo* out)
{
    *out = MediaInfo{};
    if (ic->iformat && ic->iformat->name)
        copy_text(out->format, sizeof out->format, ic->iformat->name);
    out->start_ms = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / 1000 : 0;
    out->duration_ms = duration_ms_from_us(ic->duration);
    out->bit_rate = ic->bit_rate > 0 ? ic->bit_rate : 0;
    for (unsigned i = 0; i < ic->nb_streams && out->stream_count < MEDIA_INFO_MAX_STREAMS; i++) {
        const AVStream* st = ic->streams[i];
        int kind = kind_of(st->codecpar->codec_type);
        if (kind >= 0)
            fill_stream(st, kind, &out->streams[out->stream_count++]);
    }
}

ResultCode media_info_read(const char* path, MediaInfo* out)
{
    if (!out)
        return ERR_MEDIA_OPEN;
    *out = MediaInfo{};
    if (!path || !*path)
        return ERR_MEDIA_OPEN;
    Deadline deadline{Clock::now() + std::chrono::milliseconds(MEDIA_INFO_DEADLINE_MS)};
    FormatContextPtr ic;
    ResultCode opened = media_input_open(path, AVIOInterruptCB{deadline_passed, &deadline}, &ic);
    if (opened != RESULT_OK)
        return opened;
    media_info_from_context(ic.get(), out);
    return RESULT_OK;
}

const StreamInfo* media_info_main_video(const MediaInfo* info)
{
    for (int i = 0; info && i < info->stream_count; i++)
        if (info->streams[i].kind == STREAM_KIND_VIDEO && !info->streams[i].attached_picture)
            return &info->streams[i];
    return nullptr;
}

int media_info_count(const MediaInfo* info, int kind)
{
    int n = 0;
    for (int i = 0; info && i < info->stream_count; i++)
        n += info->streams[i].kind == kind;
    return n;
}
