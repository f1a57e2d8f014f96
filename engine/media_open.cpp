#include "engine/media_open.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <SDL/SDL_image.h>
#include <png.h>
#include <sys/stat.h>

extern "C" {
#include <libavutil/dict.h>
}

#include "engine/av_owners.h"
#include "engine/av_result.h"
#include "engine/demux.h"
#include "engine/now_playing.h"
#include "engine/packet_queue.h"
#include "engine/player_session.h"
#include "platform/event_codes.h"
#include "platform/png_check.h"
#include "platform/settings.h"
#include "platform/text_copy.h"
#include "render/video_planes.h"

namespace {

constexpr int COVER_SIZE = 480;
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

ResultCode media_input_open(const char* name, AVIOInterruptCB interrupt, FormatContextPtr* out)
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
        ret = avformat_find_stream_info(raw, nullptr);
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
                cover_found = cover_from_attached_picture(now, ic, static_cast<int>(i), name);
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

bool file_exists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

void make_thumbnail_dir()
{
    mkdir("data", 0755);
    mkdir("data/thumbnails", 0755);
}

// Writes width x height RGB rows (3 bytes a pixel) as an 8-bit PNG.
bool png_write_rgb24(const char* path, const uint8_t* rgb, int width, int height)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    bool ok = false;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        for (int y = 0; y < height; y++)
            rows[y] = const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3);
        png_set_rows(png, info, rows.data());
        png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::remove(path);
    return ok;
}

// Fits width x height to COVER_SIZE on the long side, truncating.
void fit_cover(int width, int height, int* out_w, int* out_h)
{
    float aspect = static_cast<float>(width) / static_cast<float>(height);
    if (static_cast<int>(aspect * 1000) > 1000) {
        *out_w = COVER_SIZE;
        *out_h = static_cast<int>(COVER_SIZE / aspect);
    } else {
        *out_h = COVER_SIZE;
        *out_w = static_cast<int>(aspect * COVER_SIZE);
    }
    if (*out_w == 0)
        *out_w = COVER_SIZE;
    if (*out_h == 0)
        *out_h = COVER_SIZE;
}

// Scales a 32-bit surface (bytes B,G,R,A) into tight RGB24 rows.
bool surface_to_rgb24(SDL_Surface* surf, int w, int h, std::vector<uint8_t>* out)
{
    SwsPtr sws(sws_getContext(surf->w, surf->h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_RGB24,
                              SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!sws)
        return false;
    // Room after the last row: swscale's vector code may write past it.
    out->resize(static_cast<size_t>(w) * h * 3 + 256);
    const uint8_t* src[1] = {static_cast<const uint8_t*>(surf->pixels)};
    int src_stride[1] = {surf->pitch};
    uint8_t* dst[1] = {out->data()};
    int dst_stride[1] = {w * 3};
    return sws_scale(sws.get(), src, src_stride, 0, surf->h, dst, dst_stride) == h;
}

}  // namespace

void thumb_name_of(const char* media_path, char out[17])
{
    size_t n = std::strlen(media_path);
    for (int i = 0; i < 16; i++) {
        size_t step = static_cast<size_t>(i) + 1;
        int sum = 0;
        for (size_t j = 0; j < n; j += step)
            sum += static_cast<signed char>(media_path[j]) * static_cast<int>(step);
        out[i] = static_cast<char>('a' + (sum & 15));
    }
    out[16] = '\0';
}

void cover_thumb_path(const char* media_path, char* out, size_t out_size)
{
    char name[17];
    thumb_name_of(media_path, name);
    std::snprintf(out, out_size, "data/thumbnails/%s_big", name);
}

bool cover_from_attached_picture(NowPlaying* now, AVFormatContext* ic, int stream_index,
                                 const char* media_name)
{
    char path[PATH_SIZE];
    cover_thumb_path(media_name, path, sizeof path);
    if (now->cover_path[0] != '\0')
        return false;
    if (file_exists(path)) {
        copy_text(now->cover_path, sizeof now->cover_path, path);
        return false;
    }
    const AVPacket& pic = ic->streams[stream_index]->attached_pic;
    if (!pic.data || pic.size <= 0)
        return false;
    // A damaged PNG would hang the image library: such a cover is skipped.
    if (!png_safe_to_decode(pic.data, static_cast<size_t>(pic.size)))
        return false;
    SDL_Surface* loaded = IMG_Load_RW(SDL_RWFromConstMem(pic.data, pic.size), 1);
    if (!loaded)
        return false;
    SDL_PixelFormat argb{};
    argb.BitsPerPixel = 32;
    argb.BytesPerPixel = 4;
    argb.Rmask = 0x00FF0000;
    argb.Gmask = 0x0000FF00;
    argb.Bmask = 0x000000FF;
    argb.Amask = 0xFF000000;
    argb.Rshift = 16;
    argb.Gshift = 8;
    argb.Ashift = 24;
    SDL_Surface* surf = SDL_ConvertSurface(loaded, &argb, SDL_SWSURFACE);
    SDL_FreeSurface(loaded);
    if (!surf)
        return false;
    bool ok = false;
    if (surf->w > 0 && surf->h > 0) {
        int w = 0, h = 0;
        fit_cover(surf->w, surf->h, &w, &h);
        std::vector<uint8_t> rgb;
        SDL_LockSurface(surf);
        ok = surface_to_rgb24(surf, w, h, &rgb);
        SDL_UnlockSurface(surf);
        make_thumbnail_dir();
        ok = ok && png_write_rgb24(path, rgb.data(), w, h);
    }
    SDL_FreeSurface(surf);
    if (ok)
        copy_text(now->cover_path, sizeof now->cover_path, path);
    return ok;
}

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

    FormatContextPtr ic;
    if (ResultCode opened = open_input(name, &ic); opened != RESULT_OK)
        return opened;
    now->media_start_ms = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / 1000 : 0;
    now->duration_ms = duration_ms_from_us(ic->duration);
    now->duration_unknown = now->duration_ms == 0;

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
