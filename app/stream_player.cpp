#include "app/stream_player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include <unistd.h>

#include <SDL/SDL.h>

#include "app/app_state.h"
#include "app/item_open.h"
#include "app/player.h"
#include "app/stream_decode.h"
#include "app/streamer_source.h"
#include "browser/media_types.h"
#include "platform/data_paths.h"
#include "platform/media_enums.h"
#include "platform/result_codes.h"
#include "platform/sync.h"
#include "platform/text_copy.h"
#include "render/gl_context.h"
#include "streamer/recording_file.h"

namespace {

constexpr const char* PLACEHOLDER_COVER = "images/placeholder.png";
constexpr int MS_PER_SECOND = 1000;
constexpr int UNDERRUN_PERCENT = 5;         // below this the session rebuffers
constexpr int FULL_PERCENT = 80;            // above this rebuffering ends
constexpr int REENTRY_FULL_PERCENT = 5;     // ... when the open session was kept
constexpr int LOW_BANDWIDTH_UNDERRUNS = 5;  // under-runs that raise the notice
constexpr int CLEAR_NOTICE_MS = 10000;      // time above FULL_PERCENT that clears it
constexpr int DRIFT_FRAMES = 128;           // frames between drift corrections
constexpr int END_RUN_MS = 3000;            // the clock runs on alone this close to the end
constexpr uint32_t SUBTITLE_SHOW_MS = 4000;
constexpr uint32_t PCM_TAIL_BYTES = 4 * 2048;  // less than one device buffer: played out

bool has(const AppState* app, uint32_t bits)
{
    return flags_any(&app->flags, bits);
}

bool has_video(const AppState* app)
{
    return app->stream_player.info.video_codec != STREAM_CODEC_NONE;
}

bool has_audio(const AppState* app)
{
    return app->stream_player.info.audio_codec != STREAM_CODEC_NONE && app->nav.audio_open;
}

int64_t session_clock(const AppState* app)
{
    const StreamPlayer& sp = app->stream_player;
    return has_video(app) ? sp.video_clock_ms : sp.audio_clock_ms.load();
}

int fill_percent(AppState* app)
{
    LockGuard guard(app->frame.player_stream_lock);
    return stream_fill_percent(app->stream);
}

// ---- the exchanges -------------------------------------------------------------------------

long network_read(void* context, uint8_t* buffer, size_t capacity, int64_t buffered, bool ended)
{
    auto* app = static_cast<AppState*>(context);
    if (capacity == 0)
        return 0;  // the rings are full: the connection waits
    StreamerLink* link = &app->link;
    const long got = link_recv_poll(link, link->data_socket.fd(), buffer, capacity, buffered,
                                    ended);
    return std::max(got, 0L);  // a closed or failing connection stalls: "No link!"
}

int path_request(AppState* app, uint8_t command, const char* path)
{
    uint8_t payload[PATH_PAYLOAD_SIZE];
    link_path_payload(payload, path);
    return link_request(&app->link, command, payload, sizeof payload, nullptr, 0,
                        app->link.times.reply_ms);
}

// The tags of an audio item, for the player screen.
void fetch_tags(AppState* app)
{
    MediaInfoRecord record{};
    if (remote_media_info(&app->link, app->nav.current_media_path, &record) != RESULT_OK)
        return;
    NowPlaying& now = app->now;
    copy_text(now.artist, sizeof now.artist, record.artist);
    copy_text(now.album, sizeof now.album, record.album);
    copy_text(now.genre, sizeof now.genre, record.genre);
}

// A stream start (file or live) and its description.
int start_stream(AppState* app, uint8_t command, uint32_t start_seconds)
{
    const NowPlaying& now = app->now;
    const StreamChoices choices{app->nav.channel_number, start_seconds, now.audio_stream,
                                now.video_stream, now.subtitle_stream};
    const StreamRequest request = stream_request_make(app->settings, choices);
    uint8_t description[REPLY_PAYLOAD_SIZE] = {};
    const int r = link_request(&app->link, command, &request, sizeof request, description,
                               sizeof description, app->link.times.reply_ms);
    if (r != RESULT_OK)
        return r;
    app->stream_player.info = stream_description_parse(description);
    return RESULT_OK;
}

// What every opened stream shares: the flags and whether it can be moved in.
void stream_opened(AppState* app, bool seek_disabled)
{
    // A live channel is shown by its number and name; anything else by its path.
    char* title = app->player.remote_title;
    title[0] = '\0';
    if (app->nav.media_kind == MEDIA_KIND_LIVE)
        std::snprintf(title, PLAYER_LABEL_SIZE, "Ch %d  %.200s", app->nav.channel_number,
                      app->nav.current_media_path);
    app->stream_player.seek_disabled = seek_disabled ? 1 : 0;
    app->stream_player.live = app->nav.media_kind == MEDIA_KIND_LIVE ? 1 : 0;
    flags_set(&app->flags, APP_MEDIA_OPEN);
    app->nav.source_kind = SOURCE_KIND_STREAMER;
}

bool local_recording(const AppState* app)
{
    return app->stream_player.recording != nullptr;
}

// A started stream passes through the time-shift buffer when progressive
// download is on; when its first file cannot be made the stream plays
// straight from the connection. Whether the buffer is on.
bool timeshift_begin(AppState* app, bool live)
{
    TimeShiftFeed& feed = app->stream_player.timeshift;
    timeshift_feed_close(&feed);
    if (!app->settings.progressive_download)
        return false;
    const StreamSource network{app, network_read};
    return timeshift_feed_open(&feed, RECORDINGS_FOLDER, live, app->frame.player_stream_lock,
                               network) == RESULT_OK;
}

bool time_shifted_live(const AppState* app)
{
    return app->stream_player.live && app->stream_player.timeshift.active;
}

// A live channel's seek bar spans the hour that is kept: positions are
// shown from the window's start, which moves once an hour has come.
void follow_live_window(AppState* app)
{
    if (!time_shifted_live(app))
        return;
    LockGuard guard(app->frame.player_stream_lock);
    app->now.media_start_ms = timeshift_feed_window(&app->stream_player.timeshift).start_ms;
}

// ---- the player loop's hooks ---------------------------------------------------------------

void show_picture(AppState* app)
{
    StreamStats& stats = app->stream_player.stats;
    if (stream_video_draw(app)) {
        stats.pictures++;
        if (!stats.first_picture_tick)
            stats.first_picture_tick = SDL_GetTicks();
    } else {
        video_area_clear();
    }
    NowPlaying& now = app->now;
    now.redraw_request_count = 0;
    char notice[64];
    const bool noticed = stream_notice(app, notice, sizeof notice) != nullptr;
    if ((now.controls_visible || noticed) && !now.player_screen_hidden)
        player_screen_draw(app);
    else
        gl_present();
}

void show_subtitle(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    char text[STREAM_SUBTITLE_SIZE];
    bool fresh = false;
    {
        LockGuard guard(app->frame.player_stream_lock);
        if (app->stream.subtitle_serial != sp.subtitle_serial) {
            sp.subtitle_serial = app->stream.subtitle_serial;
            std::memcpy(text, app->stream.subtitle_text, sizeof text);
            fresh = true;
        }
    }
    NowPlaying& now = app->now;
    if (!now.draw_subtitle_text)
        return;
    if (fresh) {
        now.draw_subtitle_text(now.hook_context, text);
        sp.subtitle_tick = SDL_GetTicks();
    } else if (sp.subtitle_tick && SDL_GetTicks() - sp.subtitle_tick > SUBTITLE_SHOW_MS) {
        now.draw_subtitle_text(now.hook_context, "");
        sp.subtitle_tick = 0;
    }
}

void publish_position(AppState* app)
{
    const int64_t clock = session_clock(app);
    app->stream_player.recorder.play_clock_ms.store(static_cast<uint32_t>(clock) &
                                                    CHUNK_VALUE_MASK);
    app->now.position_ms = clock;
    app->now.audio_position_ms = clock;
}

// Not playing: rebuffering ends once the rings are full enough; the screen
// keeps showing the fill.
void waiting_pass(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    const int fill = fill_percent(app);
    const int enough = has(app, APP_REMOTE_SESSION) ? REENTRY_FULL_PERCENT : FULL_PERCENT;
    if (has(app, APP_REBUFFERING) && fill > enough) {
        flags_clear(&app->flags, APP_REBUFFERING);
        if (!has(app, APP_PAUSED)) {
            flags_set(&app->flags, APP_PLAYING);
            sp.next_frame_tick = SDL_GetTicks();
        }
    }
    const int shown = std::min(fill, 100);
    if (shown != sp.shown_fill && has(app, APP_REBUFFERING | APP_STREAM_BUFFERING)) {
        sp.shown_fill = shown;
        player_redraw(app);
    }
    if (app->now.redraw_request_count > 0 && has_video(app))
        show_picture(app);
}

// The buffer watch of a playing network stream: an under-run pauses the
// clocks until the rings fill again; repeated under-runs raise the
// low-bandwidth notice, a long full stretch clears it.
void buffer_watch(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    if (app->stream.ended.load() || local_recording(app))
        return;
    const int fill = fill_percent(app);
    if (fill < UNDERRUN_PERCENT) {
        flags_clear(&app->flags, APP_PLAYING);
        flags_set(&app->flags, APP_REBUFFERING);
        sp.full_passes = 0;
        sp.stats.rebuffers++;
        if (++sp.underruns >= LOW_BANDWIDTH_UNDERRUNS)
            flags_set(&app->flags, APP_LOW_BANDWIDTH);
        sp.shown_fill = -1;
        player_redraw(app);
    } else if (fill > FULL_PERCENT && ++sp.full_passes > CLEAR_NOTICE_MS / sp.frame_interval_ms) {
        flags_clear(&app->flags, APP_LOW_BANDWIDTH);
        sp.underruns = 0;
    }
}

// One frame time: the next picture (video), the clock, the pacing.
void frame_pass(AppState* app, uint32_t now_tick)
{
    StreamPlayer& sp = app->stream_player;
    const int64_t duration = sp.info.duration_ms;
    bool advance = false;
    if (!sp.blend_set) {
        // The screens shown while the session was opened or re-entered
        // (drawn without blending) may have left it off: the bar's band is
        // blended over the picture again, or drawn opaque without one.
        gl_blend_for_video(has_video(app));
        sp.blend_set = 1;
    }
    if (has_video(app)) {
        if (stream_video_decode(app)) {
            show_picture(app);
            advance = true;
        }
        const int64_t end = app->now.media_start_ms + duration;
        advance = advance || (duration > 0 && sp.video_clock_ms >= end - END_RUN_MS);
        if (advance)
            sp.video_clock_ms += sp.frame_interval_ms;
        if (++sp.frames_shown % DRIFT_FRAMES == 0 && has_audio(app))
            sp.drift_ms = static_cast<int32_t>((sp.audio_clock_ms.load() - sp.video_clock_ms) /
                                               DRIFT_FRAMES);
    } else {
        player_screen_draw(app);  // draws only when the shown second changed
    }
    // Late audio: the next frame comes a little sooner until it catches up.
    int wait = sp.frame_interval_ms - sp.drift_ms;
    if (has_audio(app) && sp.audio_clock_ms.load() >= sp.video_clock_ms)
        wait -= 1;
    sp.next_frame_tick += static_cast<uint32_t>(std::max(wait, 1));
    if (static_cast<int32_t>(now_tick - sp.next_frame_tick) > 4 * sp.frame_interval_ms)
        sp.next_frame_tick = now_tick;  // far behind (a stall): no burst of frames
    buffer_watch(app);
}

// The item is over: the clock reached the duration, or the stream ended
// and everything it held has been played.
bool item_ended(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    const int64_t duration = sp.info.duration_ms;
    if (duration > 0 && session_clock(app) >= app->now.media_start_ms + duration)
        return true;
    if (!app->stream.ended.load())
        return false;
    {
        LockGuard guard(app->frame.player_stream_lock);
        if (app->stream.video.count > 0 || app->stream.audio.count > 0)
            return false;
    }
    if (has_video(app) && !sp.video_drained)
        return false;
    LockGuard guard(app->frame.player_audio_lock);
    return !has_audio(app) || sp.pcm.count < PCM_TAIL_BYTES;
}

int session_tick(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    if (sp.stop_requested) {
        flags_clear(&app->flags, APP_PLAYER_BUSY | APP_REENTER_PLAYER | APP_REMOTE_SESSION);
        return 1;
    }
    if (const int failed = app->stream.result.load(); failed < 0)
        return failed;
    show_subtitle(app);
    follow_live_window(app);
    if (has(app, APP_RECORDING_OPEN) && !sp.recorder.open.load()) {
        stream_recording_stop(app);  // the writer ended it (a full disk)
        player_redraw(app);
    }
    if (!has(app, APP_PLAYING)) {
        waiting_pass(app);
        return -1;
    }
    const uint32_t now_tick = SDL_GetTicks();
    if (static_cast<int32_t>(now_tick - sp.next_frame_tick) >= 0)
        frame_pass(app, now_tick);
    publish_position(app);
    if (!item_ended(app))
        return -1;
    flags_clear(&app->flags, APP_PLAYER_BUSY | APP_REMOTE_SESSION);
    return RESULT_OK;
}

// The move rule: a position the time-shift buffer holds (a live channel's
// held within its hour) is played from it and the open session goes on;
// anywhere else the session is closed and opened again there (a fresh
// stream start). target_ms counts from the bar's start.
void session_seek(AppState* app, int64_t target_ms)
{
    StreamPlayer& sp = app->stream_player;
    if (sp.seek_disabled)
        return;
    NowPlaying& now = app->now;
    const int64_t span = now.duration_ms;
    int64_t target = std::clamp<int64_t>(target_ms, 0, span > 0 ? span : target_ms);
    bool kept = false;
    if (sp.timeshift.active) {
        LockGuard guard(app->frame.player_stream_lock);
        const int64_t at = tsb_clamp_to_window(sp.timeshift.store, now.media_start_ms + target);
        kept = timeshift_feed_holds(&sp.timeshift, at);
        if (kept)
            target = at - now.media_start_ms;
    }
    now.start_ms = target;
    sp.move_tick = SDL_GetTicks();  // a move's first picture is timed from here
    flags_set(&app->flags, APP_REENTER_PLAYER | (kept ? APP_REMOTE_SESSION : 0));
    flags_clear(&app->flags, APP_PLAYER_BUSY | (kept ? 0 : APP_REMOTE_SESSION));
}

void session_stop(AppState* app)
{
    app->ui.abort_requested = 1;
    app->stream_player.stop_requested = 1;
}

void session_toggle_pause(AppState* app)
{
    if (has(app, APP_STREAM_BUFFERING))
        return;  // nothing plays yet
    if (has(app, APP_PLAYING)) {
        flags_clear(&app->flags, APP_PLAYING | APP_REBUFFERING);
        flags_set(&app->flags, APP_PAUSED);
        SDL_PauseAudio(1);
    } else if (has(app, APP_MEDIA_OPEN)) {
        flags_clear(&app->flags, APP_PAUSED);
        flags_set(&app->flags, APP_PLAYING);
        app->stream_player.next_frame_tick = SDL_GetTicks();
        if (app->nav.audio_open)
            SDL_PauseAudio(0);
    }
}

// The record button: starts a recording of what plays, or ends it.
void session_record(AppState* app)
{
    if (has(app, APP_RECORDING_OPEN)) {
        stream_recording_stop(app);
        return;
    }
    // A channel's name is its title ("/" and all); a file's is its name.
    const char* path = app->nav.current_media_path;
    const char* slash = std::strrchr(path, '/');
    const bool named = app->nav.media_kind != MEDIA_KIND_LIVE && slash && slash[1];
    const std::time_t now = std::time(nullptr);
    RecordingRequest request{
        RECORDINGS_FOLDER, named ? slash + 1 : path, app->stream_player.info, {}};
    localtime_r(&now, &request.local_time);
    const int r = recording_start(&app->stream_player.recorder, request);
    if (r == RESULT_OK)
        flags_set(&app->flags, APP_RECORDING_OPEN);
    else if (r < 0)
        last_error = r;
}

constexpr PlayerRemote STREAM_SESSION{session_seek, session_stop, session_toggle_pause,
                                      session_tick, false,        session_record};
constexpr PlayerRemote RECORDING_SESSION{session_seek, session_stop, session_toggle_pause,
                                         session_tick, false,        nullptr};

// ---- the receiver's source -----------------------------------------------------------------

// A recording's chunks up to where they end, then an end chunk of our own
// (the file holds none), so that the session ends as a stream does.
long disk_read(void* context, uint8_t* buffer, size_t capacity, int64_t, bool)
{
    auto* app = static_cast<AppState*>(context);
    StreamPlayer& sp = app->stream_player;
    if (sp.recording_pos >= sp.recording_end) {
        if (sp.recording_ended || capacity < CHUNK_HEADER_SIZE)
            return 0;
        const uint8_t end[CHUNK_HEADER_SIZE] = {0, 0, 0, CHUNK_END};
        std::memcpy(buffer, end, sizeof end);
        sp.recording_ended = 1;
        return sizeof end;
    }
    const size_t n = static_cast<size_t>(
        std::min<uint64_t>(capacity, sp.recording_end - sp.recording_pos));
    const ssize_t got = ::pread(sp.recording->fd, buffer, n, static_cast<off_t>(sp.recording_pos));
    if (got <= 0)
        return 0;  // a read that fails now may not fail later: nothing this pass
    sp.recording_pos += static_cast<uint64_t>(got);
    return got;
}

void report_stats(const StreamStats& st)
{
    const char* on = std::getenv("VELMORA_PLAYBACK_STATS");
    if (!on || std::strcmp(on, "1") != 0)
        return;
    const long first = st.first_picture_tick ? long(st.first_picture_tick - st.open_tick) : -1;
    std::fprintf(stderr,
                 "velmora-stream-stats: start_ms=%lld pictures=%u rebuffers=%u "
                 "first_picture_ms=%ld\n",
                 static_cast<long long>(st.start_ms), st.pictures, st.rebuffers, first);
}

void recorder_tap(void* context, const uint8_t* bytes, size_t n)
{
    recorder_feed(static_cast<Recorder*>(context), bytes, n);
}

void session_start(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    StreamSession& ss = app->stream;
    ss.lock = app->frame.player_stream_lock;
    ss.flags = &app->flags;
    // A network stream fills before it plays, unless the kept session goes
    // on; a recording's bytes begin at a chunk and play at once, since they
    // keep no one waiting. The marker that begins a stream is found here,
    // or by the time-shift buffer when the stream passes through it.
    const bool kept = has(app, APP_REMOTE_SESSION);
    const bool fills = !kept && !local_recording(app);
    const bool resync = fills && !sp.timeshift.active;
    stream_session_reset(&ss, has_video(app), has_audio(app), app->settings.stream_quality, resync);
    // Network streams pass through the recorder, which keeps the last few
    // megabytes played so that a recording can begin at the picture on
    // screen; after a move they are no longer what comes next.
    ss.tap = local_recording(app) ? nullptr : recorder_tap;
    ss.tap_context = &sp.recorder;
    if (!local_recording(app) && !has(app, APP_RECORDING_OPEN))
        recorder_reset(&sp.recorder);
    NowPlaying& now = app->now;
    if (!local_recording(app))
        now.media_start_ms = 0;  // stream stamps count from the item's start
    follow_live_window(app);
    if (kept)
        timeshift_feed_move(&sp.timeshift, now.media_start_ms + now.start_ms);
    stream_decoders_flush(app);
    {
        LockGuard guard(app->frame.player_audio_lock);
        sp.pcm.count = sp.pcm.stamp_count = sp.pcm.stamp_head = 0;
        sp.pcm.played_since_stamp = 0;
    }
    sp.start_ms = now.media_start_ms + now.start_ms;
    sp.video_clock_ms = sp.start_ms;
    sp.audio_clock_ms = sp.start_ms;
    sp.frame_interval_ms = MS_PER_SECOND / stream_frame_rate(sp.info);
    sp.drift_ms = 0;
    sp.frames_shown = 0;
    const uint32_t asked = has(app, APP_REENTER_PLAYER) ? sp.move_tick : sp.stats.open_tick;
    sp.stats = StreamStats{asked, 0, 0, 0, sp.start_ms};
    sp.underruns = sp.full_passes = 0;
    sp.shown_fill = -1;
    sp.stop_requested = sp.video_drained = sp.blend_set = 0;
    sp.subtitle_serial = 0;
    sp.subtitle_tick = 0;
    sp.next_frame_tick = SDL_GetTicks();
    now.duration_ms = sp.seek_disabled ? 0 : static_cast<int32_t>(sp.info.duration_ms);
    if (time_shifted_live(app))
        now.duration_ms = static_cast<int32_t>(LIVE_WINDOW_MS);
    now.audio_only = has_video(app) ? 0 : 1;
    now.no_audio = has_audio(app) ? 0 : 1;
    publish_position(app);
    flags_clear(&app->flags, APP_PLAYING | APP_REENTER_PLAYER);
    flags_set(&app->flags, APP_PLAYER_BUSY | (fills ? APP_STREAM_BUFFERING : APP_PLAYING));
}

}  // namespace

const char* stream_notice(const AppState* app, char* buffer, size_t size)
{
    if (app->nav.source_kind != SOURCE_KIND_STREAMER || !has(app, APP_MEDIA_OPEN))
        return nullptr;
    if (has(app, APP_STREAM_STALLED))
        return "No link!";
    if (has(app, APP_LOW_BANDWIDTH))
        return "Low bandwidth! Drop quality or bitrate from options.";
    if (has(app, APP_REBUFFERING | APP_STREAM_BUFFERING)) {
        std::snprintf(buffer, size, "Buf:%d%%", std::max(app->stream_player.shown_fill, 0));
        return buffer;
    }
    return nullptr;
}

int stream_file_open(AppState* app)
{
    app->stream_player.stats.open_tick = SDL_GetTicks();
    std::lock_guard<std::mutex> exchange(streamer_command_lock());
    NowPlaying& now = app->now;
    copy_text(now.cover_path, sizeof now.cover_path, PLACEHOLDER_COVER);
    const char* path = app->nav.current_media_path;
    int r = link_ensure_connected(&app->link);
    if (r == RESULT_OK)
        r = path_request(app, CMD_SELECT_FILE, path);
    if (r == RESULT_OK && now.subtitle_stream >= 0 && now.subtitle_path[0])
        r = path_request(app, CMD_SELECT_SUBTITLES, now.subtitle_path);
    if (r != RESULT_OK)
        return r;
    if (media_class_of_name(path, MEDIA_CLASS_OTHER) == MEDIA_CLASS_AUDIO)
        fetch_tags(app);
    const auto start_s = static_cast<uint32_t>(std::max<int64_t>(now.start_ms, 0) / MS_PER_SECOND);
    r = start_stream(app, CMD_START_FILE_STREAM, start_s);
    if (r != RESULT_OK)
        return r;
    timeshift_begin(app, false);
    stream_opened(app, app->stream_player.info.duration_ms == 0);
    return RESULT_OK;
}

int stream_live_open(AppState* app)
{
    app->stream_player.stats.open_tick = SDL_GetTicks();
    std::lock_guard<std::mutex> exchange(streamer_command_lock());
    copy_text(app->now.cover_path, sizeof app->now.cover_path, PLACEHOLDER_COVER);
    int r = link_ensure_connected(&app->link);
    if (r == RESULT_OK)
        r = start_stream(app, CMD_START_LIVE_STREAM, 0);
    if (r != RESULT_OK)
        return r;
    app->stream_player.info.duration_ms = 0;  // live: endless
    app->now.start_ms = 0;
    // Without the time-shift buffer it plays straight from the connection
    // and cannot be moved in.
    stream_opened(app, !timeshift_begin(app, true));
    return RESULT_OK;
}

int stream_recording_open(AppState* app)
{
    StreamPlayer& sp = app->stream_player;
    RecordingPlayback playback;
    const int64_t resume = std::max<int64_t>(app->now.start_ms, 0);
    if (recording_open_for_play(app->nav.current_media_path, resume, &playback, &sp.recording) !=
        RESULT_OK)
        return ERR_MEDIA_OPEN;
    sp.info = playback.description;
    sp.info.duration_ms = playback.duration_ms;
    sp.recording_pos = playback.start_offset;
    sp.recording_end = playback.data_end;
    sp.recording_ended = 0;
    timeshift_feed_close(&sp.timeshift);
    app->now.media_start_ms = playback.start_ms;
    copy_text(app->now.cover_path, sizeof app->now.cover_path, PLACEHOLDER_COVER);
    stream_opened(app, playback.seek_disabled != 0);
    return RESULT_OK;
}

int stream_session_run(AppState* app)
{
    session_start(app);
    StreamPlayer& sp = app->stream_player;
    if (app->nav.audio_open)
        SDL_PauseAudio(0);  // the callback plays silence until the session plays
    StreamSource source{app, network_read};
    if (local_recording(app))
        source = {app, disk_read};
    else if (sp.timeshift.active)
        source = {&sp.timeshift, timeshift_feed_read};
    sp.receiver = std::jthread([app, source] { stream_receive(&app->stream, source); });
    if (has_audio(app))
        sp.audio_thread = std::jthread(
            [app](std::stop_token stop) { stream_audio_thread(app, std::move(stop)); });
    // What plays from the disk is a recording already.
    app->player.remote = local_recording(app) ? &RECORDING_SESSION : &STREAM_SESSION;
    int r = player_run_shown(app);
    app->player.remote = nullptr;
    flags_clear(&app->flags, APP_PLAYER_BUSY | APP_PLAYING | APP_STREAM_BUFFERING);
    if (sp.receiver.joinable())
        sp.receiver.join();
    if (sp.audio_thread.joinable()) {
        sp.audio_thread.request_stop();
        sp.audio_thread.join();
    }
    if (app->nav.audio_open)
        SDL_PauseAudio(1);
    report_stats(sp.stats);
    const int received = app->stream.result.load();
    if (received < 0 && r == RESULT_OK)
        r = received;
    player_screen_end(app);
    return r;
}

void stream_recording_stop(AppState* app)
{
    const int r = recording_finish(&app->stream_player.recorder);
    flags_clear(&app->flags, APP_RECORDING_OPEN);
    if (r < 0)
        last_error = r;
}

void stream_session_close(AppState* app)
{
    timeshift_feed_close(&app->stream_player.timeshift);
    if (local_recording(app)) {
        app->stream_player.recording.reset();
        return;
    }
    StreamerLink* link = &app->link;
    if (has(app, APP_STREAM_STALLED)) {
        link_disconnect(link);
        return;
    }
    if (!link->command_socket.valid())
        return;
    std::lock_guard<std::mutex> exchange(streamer_command_lock());
    // A failed stop takes the link down (link_request), which also drops
    // whatever the data connection still held.
    link_request(link, CMD_STOP_STREAM, nullptr, 0, nullptr, 0, link->times.stop_reply_ms);
}
