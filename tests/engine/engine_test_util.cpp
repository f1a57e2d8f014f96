#include "engine_test_util.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

// Reports from inside FFmpeg's frame threading and SDL's audio thread
// are the libraries' own business (they synchronise with atomics the race
// detector cannot see in uninstrumented code); ours are still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libavcodec.so\n"
           "race:libavutil.so\n"
           "race:libswresample.so\n"
           "race:libSDL-1.2.so\n"
           "called_from_lib:libavcodec.so\n"
           "called_from_lib:swrast_dri.so\n"
           "deadlock:libLLVM-15.so\n";
}
#endif

bool make_media(const std::string& args)
{
    return std::system(("ffmpeg -nostdin -y -v error " + args).c_str()) == 0;
}

bool make_clip(const std::string& path, const std::vector<std::string>& sources,
               const std::string& output)
{
    std::string inputs;
    for (const std::string& s : sources)
        inputs += "-f lavfi -i " + s + " ";
    return make_media(inputs + output + " '" + path + "'");
}

CommandResult run_playback(const std::string& env, const std::string& options,
                           const std::string& media)
{
    // The outer bound only keeps a hang from blocking the suite; the driver's
    // own --timeout reports status -2 well before it.
    std::string command = "env SDL_VIDEODRIVER=dummy " + env +
                          " timeout -s KILL 200 " VELMORA_BINARY_DIR
                          "/bench/engine_playback --timeout 90 " +
                          options + " '" + media + "' 2>/dev/null";
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
