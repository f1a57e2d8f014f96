#include "engine/media_open.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/dict.h>
}

#include "engine/av_owners.h"
#include "engine/av_result.h"
#include "engine/demux.h"
#include "engine/now_playing.h"
#include "engine/packet_queue.h"
#include "engine/player_session.h"
#include "engine/thumbnail.h"
#include "platform/event_codes.h"
#include "platform/media_enums.h"
#include "platform/settings.h"
#include "platform/text_copy.h"
#include "render/video_planes.h"
#include "subtitles/cue_table.h"

namespace {

constexpr int MS_PER_SECOND = 1000;
constexpr const char* PLACEHOLDER_COVER = "images/placeholder.png";
constexpr const char* NETWORK_PROTOCOLS = "http,https,tcp,tls,crypto,httpproxy";
constexpr const char* NETWORK_READ_TIMEOUT_US = "15000000";

std::atomic<bool> g_open_cancelled{false};

// Stays the interrupt callback of every I/O context opened here, for as long
// as it lives: first the open can be cancelled, later the session's abort
// (through the current-session pointer) ends a blocked read.
int open_interrupt(void*)
{
    return g_open_cancelled.load() || decode_interrupt(nullptr);
}

// "scheme://..." names are URLs; anything else is a local path.
bool is_url(const char* name, std::string* scheme)
{
    const char* sep = std::strstr(name, "://");
    if (!sep || sep == name)
        return false;
    for (const char* p = name; p < sep; p++)
        if (!(std::isalnum(static_cast<unsigned char>(*p)) || *p == '+' || *p == '-' || *p == '.'))
            return false;
    scheme->assign(name, sep);
    return true;
}

}  // namespace

ResultCode media_input_open(const char* name, AVIOInterruptCB interrupt, FormatContextPtr* out,
                            MediaProbe probe)
{
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return ERR_OUT_OF_MEMORY;
    raw->interrupt_callback = interrupt;
    std::string scheme, url;
    AVDictionary* opts = nullptr;
    if (is_url(name, &scheme) && scheme != "file") {
        url = name;
        av_dict_set(&opts, "protocol_whitelist", NETWORK_PROTOCOLS, 0);
        // A server that goes quiet fails the read instead of blocking forever.
        av_dict_set(&opts, "rw_timeout", NETWORK_READ_TIMEOUT_US, 0);
    } else {
        bool file_url = std::strncmp(name, "file:", 5) == 0;
        url = file_url ? std::string(name) : std::string("file:") + name;
        av_dict_set(&opts, "protocol_whitelist", "file", 0);
    }
    int ret = avformat_open_input(&raw, url.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (ret >= 0) {
        FormatContextPtr ic(raw);
        ret = probe == MEDIA_PROBE_STREAMS ? avformat_find_stream_info(raw, nullptr) : 0;
        if (ret >= 0) {
            *out = std::move(ic);
            return RESULT_OK;
        }
    }
    // avformat_open_input freed the context on failure. Whatever the library
    // says, an item that does not open is ERR_MEDIA_OPEN, unless memory ran out.
    return result_from_av_error(ret) == ERR_OUT_OF_MEMORY ? ERR_OUT_OF_MEMORY : ERR_MEDIA_OPEN;
}

namespace {

// Opens the item for playback: cancellable by media_open_cancel until the
// session takes over the interrupt callback's other half.
ResultCode open_input(const char* name, FormatContextPtr* out)
{
    g_open_cancelled = false;
    return media_input_open(name, AVIOInterruptCB{open_interrupt, nullptr}, out);
}

void drop_one_event(int type)
{
    SDL_Event ev;
    SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_EVENTMASK(type));
}

void reset_now_playing(NowPlaying* now, const Settings* settings)
{
    now->sound_on.store(settings->sound_on);
    now->display_width = now->display_height = 0;
    now->duration_ms = 0;
    now->yuv_path = video_yuv_path_preferred();
    now->picture_mode = 0;
    // The first picture reaches the entry (it is decoded before the entry is
    // allocated and kept), so nothing needs to be skipped.
    now->skip_first_picture = 0;
    now->video_width = now->video_height = 0;
    now->video_sar_num = now->video_sar_den = 0;
    now->video_codec_id = now->audio_codec_id = 0;
    std::fill(std::begin(now->audio_track_table), std::end(now->audio_track_table), 0);
    now->audio_track_count = 0;
    now->audio_only = 1;
    now->no_audio = 1;
    now->still_image = 0;
    now->artist[0] = now->album[0] = now->genre[0] = '\0';
    now->cover_path[0] = '\0';
    now->pending_seek_ms = -1;
}

bool picture_codec(AVCodecID id)
{
    return id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_PNG || id == AV_CODEC_ID_BMP ||
           id == AV_CODEC_ID_GIF;
}

void scan_streams(NowPlaying* now, AVFormatContext* ic, const char* name)
{
    bool cover_found = false;
    for (unsigned i = 0; i < ic->nb_streams; i++) {
        AVStream* st = ic->streams[i];
        AVCodecParameters* par = st->codecpar;
        bool attached = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && !attached) {
            if (now->video_width != 0)
                continue;
            now->audio_only = 0;
            if (now->video_stream == -1)
                now->video_stream = static_cast<int32_t>(i);
            now->video_codec_id = par->codec_id;
            now->video_width = par->width;
            now->video_height = par->height;
            now->video_sar_num = par->sample_aspect_ratio.num;
            now->video_sar_den = par->sample_aspect_ratio.den;
            now->still_image = picture_codec(par->codec_id);
        } else if (attached) {
            if (!cover_found && now->cover_path[0] == '\0')
                cover_found = cover_art_save(name, ic, static_cast<int>(i), now->cover_path,
                                             sizeof now->cover_path);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            now->no_audio = 0;
            if (now->audio_stream == -1)
                now->audio_stream = static_cast<int32_t>(i);
            now->audio_codec_id = par->codec_id;
            if (i < AUDIO_TRACK_MAX)
                now->audio_track_table[now->audio_track_count++] = static_cast<int32_t>(i);
        }
    }
}

void read_tags(NowPlaying* now, AVFormatContext* ic)
{
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(ic->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        if (!std::strcmp(tag->key, "TPE1") || !std::strcmp(tag->key, "artist"))
            copy_text(now->artist, sizeof now->artist, tag->value);
        else if (!std::strcmp(tag->key, "TALB") || !std::strcmp(tag->key, "album"))
            copy_text(now->album, sizeof now->album, tag->value);
        else if (!std::strcmp(tag->key, "TCON") || !std::strcmp(tag->key, "genre"))
            copy_text(now->genre, sizeof now->genre, tag->value);
    }
}

// The external subtitle file of a local item (the previous item's cues went
// as the open began). It is read unless subtitles are off: a film without
// subtitle streams keeps the automatic choice (there is nothing to tick), so
// its ".srt" must load for that choice too.
void external_subtitles_load(const EngineContext& ctx)
{
    if (!ctx.cues)
        return;
    const NowPlaying* now = ctx.now;
    if (now->subtitle_path[0] && now->subtitle_stream >= STREAM_AUTO)
        subtitle_file_load(ctx.cues, now->subtitle_path, ctx.settings->subtitle_charset);
}

}  // namespace

void media_open_cancel()
{
    g_open_cancelled = true;
}

int32_t duration_ms_from_us(int64_t duration_us)
{
    if (duration_us <= 0)
        return 0;
    return static_cast<int32_t>(std::min<int64_t>(duration_us / 1000, INT32_MAX));
}

ResultCode media_open(const EngineContext& ctx, const char* name)
{
    NowPlaying* now = ctx.now;
    drop_one_event(EVENT_ALLOC_PICTURE);
    drop_one_event(EVENT_SESSION_END);
    flush_packet_reset();
    reset_now_playing(now, ctx.settings);
    if (ctx.cues)
        subtitle_cues_clear(ctx.cues);

    FormatContextPtr ic;
    if (ResultCode opened = open_input(name, &ic); opened != RESULT_OK)
        return opened;
    now->media_start_ms = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / 1000 : 0;
    now->duration_ms = duration_ms_from_us(ic->duration);
    now->duration_unknown = now->duration_ms == 0;

    external_subtitles_load(ctx);
    scan_streams(now, ic.get(), name);
    if (now->audio_only && !now->no_audio && now->cover_path[0] == '\0')
        copy_text(now->cover_path, sizeof now->cover_path, PLACEHOLDER_COVER);
    if (now->still_image && now->no_audio) {
        now->picture_mode = 1;
        now->yuv_path = 0;
        now->skip_first_picture = 0;
    } else if (now->still_image) {
        now->still_image = 0;
    }
    read_tags(now, ic.get());
    if (now->still_image && now->slideshow)
        now->duration_ms = ctx.settings->slideshow_secs * MS_PER_SECOND;

    return stream_open(ctx, name, std::move(ic)) ? RESULT_OK : ERR_OUT_OF_MEMORY;
}
