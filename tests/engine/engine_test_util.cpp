#include "engine_test_util.h"
#include "tsan_suppressions.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <SDL/SDL.h>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/media_open.h"
#include "engine/video.h"
#include "platform/app_flags.h"
#include "platform/media_enums.h"
#include "render/gl_context.h"

ScratchDir::ScratchDir()
{
    char tmpl[] = "/tmp/velmora_engine_XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp/velmora_engine_none";
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool make_media(const std::string& args)
{
    return std::system(("ffmpeg -nostdin -y -v error " + args).c_str()) == 0;
}

bool make_clip(const std::string& path, const std::vector<std::string>& sources, const std::string& output)
{
    std::string inputs;
    for (const std::string& s : sources)
        inputs += "-f lavfi -i " + s + " ";
    return make_media(inputs + output + " '" + path + "'");
}

CommandResult run_playback(const std::string& env, const std::string& options, const std::string& media)
{
    // The outer bound only keeps a hang from blocking the suite; the driver's
    // own --timeout reports status -2 well before it.
    std::string command = "env SDL_VIDEODRIVER=dummy " + env + " timeout -s KILL 200 " VELMORA_BINARY_DIR
                          "/bench/engine_playback --timeout 90 " + options + " '" + media + "' 2>/dev/null";
    CommandResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        r.output.append(buf, n);
    int status = pclose(p);
    if (status != -1 && WIFEXITED(status))
        r.exit_code = WEXITSTATUS(status);
    return r;
}

double json_number(const std::string& json, const std::string& key)
{
    std::string needle = "\"" + key + "\": ";
    size_t at = json.find(needle);
    if (at == std::string::npos)
        return std::nan("");
    const char* value = json.c_str() + at + needle.size();
    return std::strncmp(value, "true", 4) == 0 ? 1 : std::strtod(value, nullptr);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void SessionTest::SetUpTestSuite()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO), 0);
    av_log_set_level(AV_LOG_QUIET);
}

void SessionTest::TearDownTestSuite() { SDL_Quit(); }

void SessionTest::SetUp()
{
    // As start-up sets them for a SCREEN_W x SCREEN_H screen with sound on.
    out.screen_width = out.window_width = SCREEN_W;
    out.screen_height = out.window_height = SCREEN_H;
    settings.sound_on = 1;
    settings.slideshow_secs = 4;
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(dir.file("").c_str()), 0);
}

void SessionTest::TearDown()
{
    close();
    video_path_override(VIDEO_PATH_AUTO);
    if (gl_) {
        gl_programs_free();
        gl_context_destroy(&out.gl);
    }
    EXPECT_EQ(chdir(old_cwd_), 0);
}

void SessionTest::use_gl()
{
    ASSERT_TRUE(gl_context_create_pbuffer(&out.gl, SCREEN_W, SCREEN_H));
    gl_programs_init();
    gl_ = true;
}

int SessionTest::open(const std::string& name)
{
    close();
    now.video_stream = now.audio_stream = now.subtitle_stream = STREAM_AUTO;
    return media_open(EngineContext{&now, &out, &flags, &settings}, name.c_str());
}

void SessionTest::close()
{
    if (now.session)
        stream_close(now.session);
    flags_clear(&flags, APP_PLAYER_BUSY);
}

bool SessionTest::play_until(const std::function<bool()>& done, ResultCode* ended)
{
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            SessionEventOutcome outcome = player_session_handle_event(now.session, &ev);
            if (outcome.ended) {
                if (ended)
                    *ended = outcome.result;
                return done();
            }
        }
        player_session_tick(now.session);
        if (done())
            return true;
        SDL_Delay(5);
    }
    return false;
}
