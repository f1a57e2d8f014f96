#include "engine_test_util.h"
#include "tsan_suppressions.h"

#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <SDL/SDL.h>

#include "platform/media_enums.h"

ScratchDir::ScratchDir()
{
    char tmpl[] = "/tmp/velmora_engine_XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
}

ScratchDir::~ScratchDir()
{
    if (path_ != "/tmp") {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
}

bool make_media(const std::string& args)
{
    std::string cmd = "ffmpeg -nostdin -y -v error " + args;
    return std::system(cmd.c_str()) == 0;
}

CommandResult run_command(const std::string& command)
{
    CommandResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = pclose(p);
    if (status != -1 && WIFEXITED(status))
        r.exit_code = WEXITSTATUS(status);
    return r;
}

CommandResult run_playback(const std::string& env, const std::string& options,
                           const std::string& media)
{
    // The generous outer bound only keeps a hang from blocking the suite; the
    // driver's own --timeout reports status -2 well before it.
    std::string cmd = "env SDL_VIDEODRIVER=dummy " + env + " timeout -s KILL 200 " +
                      VELMORA_BINARY_DIR "/bench/engine_playback --timeout 90 " + options + " '" +
                      media + "' 2>/dev/null";
    return run_command(cmd);
}

double json_number(const std::string& json, const std::string& key)
{
    std::string needle = "\"" + key + "\": ";
    size_t at = json.find(needle);
    if (at == std::string::npos)
        return std::nan("");
    return std::strtod(json.c_str() + at + needle.size(), nullptr);
}

std::string json_text(const std::string& json, const std::string& key)
{
    std::string needle = "\"" + key + "\": ";
    size_t at = json.find(needle);
    if (at == std::string::npos)
        return "";
    size_t start = at + needle.size();
    if (json[start] == '"') {
        size_t end = json.find('"', start + 1);
        return json.substr(start + 1, end - start - 1);
    }
    size_t end = json.find_first_of(",}", start);
    return json.substr(start, end - start);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

EngineParts::EngineParts(int screen_w, int screen_h)
{
    out.screen_width = out.window_width = screen_w;
    out.screen_height = out.window_height = screen_h;
    settings.sound_on = 1;
    settings.slideshow_secs = 4;
    now.video_stream = now.audio_stream = now.subtitle_stream = STREAM_AUTO;
}

bool play_until(PlayerSession* s, const std::function<bool()>& done, ResultCode* ended)
{
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            SessionEventOutcome outcome = player_session_handle_event(s, &ev);
            if (outcome.ended) {
                if (ended)
                    *ended = outcome.result;
                return done();
            }
        }
        player_session_tick(s);
        if (done())
            return true;
        SDL_Delay(5);
    }
    return false;
}
