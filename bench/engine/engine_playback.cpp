// engine_playback: plays one file or URL through the playback engine without a
// window and prints one JSON line about it.
//
//   engine_playback [options] MEDIA
//     --seek-at S --seek-to T   at position S seconds, seek to T seconds
//     --jump-at S --jump-by N   at position S, jump N seconds (either sign) as
//                               the player's jump buttons do
//     --mute                    play with sound off (the device gets zeros)
//     --pause-at S --pause-for W  pause at position S for W wall seconds
//     --close-on-alloc          never answer the first picture allocation;
//                               close the session while the video waits
//     --video-path yuv|rgb      force the picture path (default: by renderer)
//     --timeout W               give up after W wall seconds (default 120)
//     --thumbs DIR              beside the playback, a thread at the thumbnail
//                               worker's niceness makes the small thumbnails of
//                               DIR's files over and over (a scratch cache)
//
// The main thread does what the player loop does for the engine: it hands
// every event to player_session_handle_event, calls player_session_tick every
// 5 ms and stops when the session ends. Pictures go through an EGL pbuffer;
// audio goes to the SDL driver the environment names (SDL_AUDIODRIVER=disk
// writes SDL_DISKAUDIOFILE); a driver that fails leaves the machine without
// sound, as start-up tolerates. Exit status 0 when the media played to its
// end; end_status is the session's ResultCode (-2: the driver's timeout).
#include <sys/resource.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <SDL/SDL.h>

#include "engine/audio.h"
#include "engine/demux.h"
#include "engine/info_cache.h"
#include "engine/media_open.h"
#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "engine/thumbnail.h"
#include "engine/video.h"
#include "platform/event_codes.h"
#include "platform/media_enums.h"
#include "platform/settings.h"
#include "platform/sync.h"
#include "render/gl_context.h"
#include "render/video_output.h"
#include "render/video_planes.h"

#if defined(__SANITIZE_THREAD__)
// FFmpeg's frame threads and SDL's audio thread synchronise with atomics the
// race detector cannot see in uninstrumented code; the engine's own races are
// still reported.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libavcodec.so\nrace:libavutil.so\nrace:libswresample.so\nrace:libSDL-1.2.so\n"
           "called_from_lib:libavcodec.so\ncalled_from_lib:swrast_dri.so\ndeadlock:libLLVM-15.so\n";
}
#endif

namespace {

constexpr int SCREEN_W = 1000;
constexpr int SCREEN_H = 600;

struct Options {
    const char* media = nullptr;
    double seek_at = -1;
    double seek_to = -1;
    double jump_at = -1;
    double jump_by = 0;
    double pause_at = -1;
    double pause_for = 0;
    bool mute = false;
    bool close_on_alloc = false;
    double timeout = 120;
    VideoPath video_path = VIDEO_PATH_AUTO;
    const char* thumbs = nullptr;
};

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--mute")
            o->mute = true;
        else if (a == "--close-on-alloc")
            o->close_on_alloc = true;
        else if (a == "--seek-at" && has_value)
            o->seek_at = std::atof(argv[++i]);
        else if (a == "--seek-to" && has_value)
            o->seek_to = std::atof(argv[++i]);
        else if (a == "--jump-at" && has_value)
            o->jump_at = std::atof(argv[++i]);
        else if (a == "--jump-by" && has_value)
            o->jump_by = std::atof(argv[++i]);
        else if (a == "--pause-at" && has_value)
            o->pause_at = std::atof(argv[++i]);
        else if (a == "--pause-for" && has_value)
            o->pause_for = std::atof(argv[++i]);
        else if (a == "--video-path" && has_value) {
            std::string v = argv[++i];
            if (v != "yuv" && v != "rgb")
                return false;
            o->video_path = v == "yuv" ? VIDEO_PATH_YUV : VIDEO_PATH_RGB;
        } else if (a == "--timeout" && has_value)
            o->timeout = std::atof(argv[++i]);
        else if (a == "--thumbs" && has_value)
            o->thumbs = argv[++i];
        else if (a.rfind("--", 0) == 0 || o->media)
            return false;
        else
            o->media = argv[i];
    }
    return o->media != nullptr;
}

double seconds_since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

double cpu_seconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Report {
    int end_status = 0;
    int64_t frames_shown = 0;
    int64_t frames_decoded = 0;
    double audio_seconds = 0;
    int duration_ms = 0;
    double wall_seconds = 0;
    double max_av_drift_ms = 0;
    int device_rate = 0;
    int device_channels = 0;
    double seek_landed_ms = -1;
    double seek_target_ms = -1;
    double pause_drift_ms = 0;
    bool closed_waiting_alloc = false;
    double decode_ms = 0, convert_ms = 0, upload_ms = 0, present_ms = 0, finish_ms = 0;
    int display_width = 0, display_height = 0;
    bool yuv_path = false;
    int thumbs_made = 0;
};

void print_report(const Report& r)
{
    std::printf("{\"frames_shown\": %lld, \"frames_decoded\": %lld, \"audio_seconds\": %.3f, "
                "\"duration_ms\": %d, \"wall_seconds\": %.3f, \"max_av_drift_ms\": %.1f, "
                "\"end_status\": %d, \"device_rate\": %d, \"device_channels\": %d, "
                "\"seek_target_ms\": %.0f, \"seek_landed_ms\": %.0f, \"closed_waiting_alloc\": %s, "
                "\"video_path\": \"%s\", \"display_width\": %d, \"display_height\": %d, "
                "\"decode_ms_total\": %.1f, \"convert_ms_total\": %.1f, "
                "\"upload_ms_total\": %.1f, \"present_ms_total\": %.1f, \"finish_ms_total\": %.1f, "
                "\"cpu_seconds\": %.3f, \"thumbs_made\": %d}\n",
                static_cast<long long>(r.frames_shown), static_cast<long long>(r.frames_decoded),
                r.audio_seconds, r.duration_ms, r.wall_seconds, r.max_av_drift_ms, r.end_status,
                r.device_rate, r.device_channels, r.seek_target_ms, r.seek_landed_ms,
                r.closed_waiting_alloc ? "true" : "false", r.yuv_path ? "yuv" : "rgb",
                r.display_width, r.display_height, r.decode_ms, r.convert_ms, r.upload_ms,
                r.present_ms, r.finish_ms, cpu_seconds(), r.thumbs_made);
    std::fflush(stdout);
}

// What the application record would hold: the engine's parts.
struct Parts {
    FlagWord flags{0};
    Settings settings{};
    VideoOutput out{};
    NowPlaying now{};
    EngineContext context() { return EngineContext{&now, &out, &flags, &settings, nullptr}; }
};

void collect(PlayerSession* s, const NowPlaying& now, Report* r)
{
    r->frames_shown = s->stats.frames_shown;
    r->frames_decoded = s->stats.frames_decoded;
    AudioDeviceInfo dev = audio_device_info(s);
    r->device_rate = dev.freq;
    r->device_channels = dev.channels;
    if (dev.freq > 0 && dev.channels > 0)
        r->audio_seconds = s->stats.audio_bytes_out / (2.0 * dev.freq * dev.channels);
    r->max_av_drift_ms = s->stats.max_av_drift * 1000;
    r->decode_ms = s->stats.decode_us / 1000.0;
    r->convert_ms = s->stats.convert_us / 1000.0;
    r->upload_ms = s->stats.upload_us / 1000.0;
    r->present_ms = s->stats.present_us / 1000.0;
    r->display_width = now.display_width;
    r->display_height = now.display_height;
    r->yuv_path = now.yuv_path;
}

// Runs the session until it ends, times out or is closed by an option.
void run(const Options& o, NowPlaying& now, Report* r, std::chrono::steady_clock::time_point start)
{
    PlayerSession* s = now.session;
    bool seek_done = false, paused_once = false, landed = false;
    std::chrono::steady_clock::time_point pause_start;
    for (;;) {
        SDL_Event ev;
        bool ended = false, alloc_refused = false;
        while (!ended && !alloc_refused && SDL_PollEvent(&ev)) {
            if (o.close_on_alloc && ev.type == EVENT_ALLOC_PICTURE && ev.user.data1 == s &&
                s->has_video) {
                alloc_refused = true;
                break;
            }
            SessionEventOutcome outcome = player_session_handle_event(s, &ev);
            if (outcome.ended) {
                r->end_status = outcome.result;
                ended = true;
            }
        }
        if (ended)
            break;
        if (alloc_refused) {
            // Let the video thread settle into its wait, then close under it.
            sleep_ms(300);
            r->closed_waiting_alloc = true;
            break;
        }
        // The clocks mean something once a picture was shown or sound went out.
        bool clock_running = s->stats.frames_shown > 0 || s->stats.audio_bytes_out > 0;
        double position = clock_running ? get_master_clock(s) - now.media_start_ms / 1000.0 : 0;
        if (o.seek_at >= 0 && !seek_done && clock_running && position >= o.seek_at) {
            stream_seek(s, static_cast<int64_t>(o.seek_to * 1000), 0);
            r->seek_target_ms = o.seek_to * 1000;
            seek_done = true;
        }
        if (o.jump_at >= 0 && !seek_done && clock_running && position >= o.jump_at) {
            // As the jump buttons: the target, and the step as a positive size.
            int64_t step_ms = static_cast<int64_t>(std::fabs(o.jump_by) * 1000);
            int64_t target_ms = static_cast<int64_t>(position * 1000) +
                                (o.jump_by < 0 ? -step_ms : step_ms);
            stream_seek(s, std::max<int64_t>(target_ms, 0), step_ms);
            r->seek_target_ms = static_cast<double>(std::max<int64_t>(target_ms, 0));
            seek_done = true;
        }
        if (o.pause_at >= 0 && !paused_once && clock_running && position >= o.pause_at) {
            toggle_pause(s);
            paused_once = true;
            pause_start = std::chrono::steady_clock::now();
        }
        if (s->paused && seconds_since(pause_start) >= o.pause_for)
            toggle_pause(s);
        double last_pts = s->frame_last_pts;
        int64_t shown = s->stats.frames_shown;
        player_session_tick(s);
        // A pbuffer's swap flushes nothing; a window's would. Flush so that
        // every shown picture is really drawn (and its cost counted).
        if (s->stats.frames_shown > shown) {
            auto t = std::chrono::steady_clock::now();
            glFinish();
            r->finish_ms += seconds_since(t) * 1000;
        }
        if (seek_done && !landed && last_pts == PTS_UNKNOWN && s->stats.frames_shown > shown) {
            r->seek_landed_ms = s->frame_last_pts * 1000 - now.media_start_ms;
            landed = true;
        }
        if (seconds_since(start) > o.timeout) {
            r->end_status = -2;
            break;
        }
        SDL_Delay(5);
    }
    collect(s, now, r);
}

// The thumbnail worker's load: at its niceness, one small thumbnail and a
// pause of its 100 ms between rows, over and over, until told to stop.
class ThumbLoad {
public:
    explicit ThumbLoad(const char* dir)
    {
        if (DIR* d = opendir(dir)) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    files_.push_back(std::string(dir) + "/" + e->d_name);
            closedir(d);
        }
        if (!files_.empty())
            thread_ = std::thread([this] { run(); });
    }
    ~ThumbLoad()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int made() const { return made_; }

private:
    static constexpr int NICENESS = 19;  // as the thumbnail worker
    void run()
    {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), NICENESS);
        for (size_t i = 0; !stop_; i = (i + 1) % files_.size()) {
            if (thumb_make(files_[i].c_str(), THUMB_SMALL_WIDTH, THUMB_SMALL_HEIGHT, false,
                           THUMB_SMALL) == 0)
                made_++;
            sleep_ms(100);
        }
    }
    std::vector<std::string> files_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> made_{0};
};

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, &o)) {
        std::fprintf(
            stderr,
            "usage: engine_playback [--seek-at S --seek-to T] [--jump-at S --jump-by N] [--mute] "
            "[--pause-at S --pause-for W] [--close-on-alloc] [--video-path yuv|rgb] "
            "[--timeout W] [--thumbs DIR] MEDIA\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    // The disk driver waits 150 ms between buffers unless told otherwise;
    // 42 ms keeps it close to real time for 2,048-sample buffers at 48 kHz.
    setenv("SDL_DISKAUDIODELAY", "42", 0);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 3;
    }
    // As start-up: a machine without sound still plays pictures.
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    av_log_set_level(AV_LOG_QUIET);
    auto parts = std::make_unique<Parts>();
    parts->out.screen_width = parts->out.window_width = SCREEN_W;
    parts->out.screen_height = parts->out.window_height = SCREEN_H;
    parts->settings.sound_on = o.mute ? 0 : 1;
    parts->now.video_stream = parts->now.audio_stream = parts->now.subtitle_stream = STREAM_AUTO;
    if (!gl_context_create_pbuffer(&parts->out.gl, SCREEN_W, SCREEN_H)) {
        std::fprintf(stderr, "no EGL pbuffer context\n");
        return 3;
    }
    gl_programs_init();
    video_path_override(o.video_path);

    char scratch[] = "/tmp/velmora-playback-cache-XXXXXX";
    if (mkdtemp(scratch))
        cache_load((std::string(scratch) + "/").c_str());
    Report r;
    auto start = std::chrono::steady_clock::now();
    int status = media_open(parts->context(), o.media);
    if (status != RESULT_OK) {
        r.end_status = status;
    } else {
        r.duration_ms = parts->now.duration_ms;
        std::unique_ptr<ThumbLoad> load(o.thumbs ? new ThumbLoad(o.thumbs) : nullptr);
        run(o, parts->now, &r, start);
        r.thumbs_made = load ? load->made() : 0;
        load.reset();
        stream_close(parts->now.session);
    }
    std::system((std::string("rm -rf '") + scratch + "'").c_str());
    r.wall_seconds = seconds_since(start);
    print_report(r);

    gl_programs_free();
    gl_context_destroy(&parts->out.gl);
    SDL_Quit();
    return r.end_status == 0 ? 0 : 1;
}
