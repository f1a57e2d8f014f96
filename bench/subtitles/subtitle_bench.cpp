// subtitle_bench: times subtitle_file_load on SRT files of 8,192 cues in
// CP1251 and in GB18030 (each in a child process, so that its peak memory is
// its own), and subtitle_cue_pick as the video refresh calls it.
//
//   subtitle_bench [--runs N]
//
// Prints one line per measurement. The files are written under /tmp and
// removed at the end.
#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "subtitles/cue_table.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int CUE_SPACING_MS = 3000;  // a cue every 3 s, shown for 2 s
constexpr int CUE_LENGTH_MS = 2000;

std::string srt_time(int ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

// UTF-8 text in the given character set (through the C library).
std::string encode(const std::string& utf8, const char* charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size(), out_left = out.size();
    char* dst = out.data();
    iconv(cd, &in, &in_left, &dst, &out_left);
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

std::string srt_file(const std::string& line1, const std::string& line2)
{
    std::string file;
    for (int i = 0; i < MAX_SUBTITLE_CUES; i++) {
        const int start = i * CUE_SPACING_MS;
        file += std::to_string(i + 1) + "\r\n" + srt_time(start) + " --> " +
                srt_time(start + CUE_LENGTH_MS) + "\r\n<i>" + line1 + "</i>\r\n" + line2 +
                "\r\n\r\n";
    }
    return file;
}

long max_rss_kb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// In a child: loads path `runs` times and prints the time and memory.
void load_bench(const char* what, const std::string& path, const char* charset, int runs)
{
    std::fflush(stdout);
    if (fork() != 0) {
        int status = 0;
        wait(&status);
        return;
    }
    const long rss_before = max_rss_kb();
    std::vector<double> ms;
    int cues = 0;
    CueTable table;
    for (int r = 0; r < runs; r++) {
        auto t = Clock::now();
        cues = subtitle_file_load(&table, path.c_str(), charset);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    std::sort(ms.begin(), ms.end());
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    std::string first = cues > 0 ? table.cues[0].text : "";
    std::replace(first.begin(), first.end(), '\n', '/');
    std::printf("load %-8s file %.2f MB, %d cues, first cue \"%s\": median %.2f ms, "
                "best %.2f ms, worst %.2f ms; peak memory +%.2f MB (max RSS)\n",
                what, static_cast<double>(f.tellg()) / (1 << 20), cues, first.c_str(),
                ms[ms.size() / 2], ms.front(), ms.back(), (max_rss_kb() - rss_before) / 1024.0);
    std::fflush(stdout);
    std::_Exit(0);
}

// ns per pick over a playback from start to end at refresh steps of step_ms.
double pick_ns(CueTable* table, int64_t from, int64_t to, int step_ms, int* picks)
{
    table->shown = -1;
    table->shown_text[0] = '\0';
    auto t = Clock::now();
    int n = 0;
    for (int64_t ms = from; ms < to; ms += step_ms, n++) {
        subtitle_cue_pick(table, ms, CUE_PICK_LOCAL);
        table->changed = false;
    }
    *picks = n;
    return std::chrono::duration<double, std::nano>(Clock::now() - t).count() / n;
}

void pick_bench(const std::string& path)
{
    CueTable table;
    subtitle_file_load(&table, path.c_str(), "");
    const int64_t end = int64_t{MAX_SUBTITLE_CUES} * CUE_SPACING_MS;
    int picks = 0;
    const double whole = pick_ns(&table, 0, end, 40, &picks);
    std::printf("pick: whole film at 25 refreshes/s: %d picks, %.0f ns per pick\n", picks, whole);
    // Worst case: a gap early in the film, where every refresh searches all
    // later cues and finds none.
    const double gap = pick_ns(&table, 2500, 2999, 1, &picks);
    std::printf("pick: in the first gap (every later cue searched): %d picks, %.0f ns per pick\n",
                picks, gap);
    // Going back before the shown cue searches from the first cue.
    table.shown = MAX_SUBTITLE_CUES - 1;
    auto t = Clock::now();
    const int back = 10000;
    for (int i = 0; i < back; i++) {
        table.shown = MAX_SUBTITLE_CUES - 1;
        subtitle_cue_pick(&table, 2500, CUE_PICK_LOCAL);
    }
    std::printf("pick: after a seek back to the start: %.0f ns per pick\n",
                std::chrono::duration<double, std::nano>(Clock::now() - t).count() / back);
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 20;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));
    const std::string dir = "/tmp/velmora-subtitle-bench-" + std::to_string(getpid());
    const std::string cp1251 = dir + "-cp1251.srt", gb18030 = dir + "-gb18030.srt";
    std::ofstream(cp1251, std::ios::binary)
        << srt_file(encode("Съешь же ещё этих мягких французских булок,", "CP1251"),
                    encode("да выпей чаю. — Широкая электрификация!", "CP1251"));
    std::ofstream(gb18030, std::ios::binary)
        << srt_file(encode("我能吞下玻璃而不伤身体，这是一句测试字幕。", "GB18030"),
                    encode("天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。", "GB18030"));
    load_bench("CP1251", cp1251, "CP1251 (ANSI Cyrillic)", runs);
    load_bench("GB18030", gb18030, "GB18030 (Chinese, Universal)", runs);
    load_bench("ASCII", cp1251, "ASCII / UTF8", runs);
    pick_bench(cp1251);
    std::remove(cp1251.c_str());
    std::remove(gb18030.c_str());
    return 0;
}
