// thumb_bench: the thumbnail maker over a folder of media, as the icon view
// and the information panel use it, with a fresh cache in a scratch folder.
//
//   thumb_bench DIR [--panel]
//
// For each file of DIR (name order), the small thumbnail (48 x 40) is made,
// and with --panel also the panel picture (fitted in 284 x 160). One JSON
// line per file gives its wall and CPU milliseconds (the CPU time of the
// calling thread, which is where the decoding runs: FFmpeg's frame threads
// are asked for one thread here) and whether a thumbnail came out; the last
// line gives the totals and the CPU time of the whole process.
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/info_cache.h"
#include "engine/thumbnail.h"

namespace {

double thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double process_cpu_ms()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

std::vector<std::string> media_files(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Timed {
    int status;
    double wall_ms, cpu_ms;
};

template <typename F>
Timed timed(F f)
{
    auto start = std::chrono::steady_clock::now();
    double cpu = thread_cpu_ms();
    int status = f();
    return Timed{
        status,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
        thread_cpu_ms() - cpu};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: thumb_bench DIR [--panel]\n");
        return 2;
    }
    bool panel = argc > 2 && std::string(argv[2]) == "--panel";
    av_log_set_level(AV_LOG_QUIET);
    char scratch[] = "/tmp/velmora-thumb-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 3;
    std::string folder = std::string(scratch) + "/";
    cache_load(folder.c_str());

    int made = 0, files = 0;
    double wall = 0, cpu = 0, cpu_max = 0;
    double process_start = process_cpu_ms();
    for (const std::string& path : media_files(argv[1])) {
        Timed small = timed([&] {
            return thumb_make(path.c_str(), THUMB_SMALL_WIDTH, THUMB_SMALL_HEIGHT, false,
                              THUMB_SMALL);
        });
        Timed big{-1, 0, 0};
        if (panel)
            big = timed([&] {
                return thumb_make(path.c_str(), THUMB_PANEL_WIDTH, THUMB_PANEL_HEIGHT, true,
                                  THUMB_PANEL);
            });
        std::printf("{\"file\": \"%s\", \"small\": %d, \"small_wall_ms\": %.1f, "
                    "\"small_cpu_ms\": %.1f, \"panel\": %d, \"panel_wall_ms\": %.1f, "
                    "\"panel_cpu_ms\": %.1f}\n",
                    path.c_str(), small.status, small.wall_ms, small.cpu_ms, big.status,
                    big.wall_ms, big.cpu_ms);
        files++;
        made += small.status == 0;
        wall += small.wall_ms + big.wall_ms;
        cpu += small.cpu_ms + big.cpu_ms;
        cpu_max = std::max(cpu_max, small.cpu_ms);
    }
    std::printf("{\"files\": %d, \"thumbnails\": %d, \"wall_ms_total\": %.0f, "
                "\"thread_cpu_ms_total\": %.0f, \"process_cpu_ms_total\": %.0f, "
                "\"small_cpu_ms_max\": %.1f}\n",
                files, made, wall, cpu, process_cpu_ms() - process_start, cpu_max);
    std::string clean = std::string("rm -rf '") + scratch + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
