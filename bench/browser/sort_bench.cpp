// Times browser_sort on lists of 500 and 5,000 rows for each of the six sort
// keys. The rows stand for a real local folder: film, series, music and
// photo names in mixed case with folders among them, and a scratch folder
// of empty files with distinct modification times, so that the date keys
// read the file status of the rows that carry no time (every other row).
// Prints the median of several runs in milliseconds; each run sorts a fresh
// copy of the unsorted list.
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browser/sort.h"
#include "platform/text_copy.h"

namespace {

constexpr int RUNS = 7;
constexpr int FOLDER_EVERY = 9;  // about one row in nine is a folder

unsigned next_random(unsigned* state)
{
    *state = *state * 1103515245u + 12345u;
    return (*state >> 16) & 0x7fff;
}

// A name as a media folder holds them; the row index keeps it unique.
std::string row_name(int i, unsigned* state, bool folder)
{
    static const char* const words[] = {"Holiday",     "beach",  "Concert",  "family",
                                        "Road Trip",   "garden", "Birthday", "snow",
                                        "City Lights", "river"};
    const char* w = words[next_random(state) % 10];
    char name[160];
    if (folder)
        std::snprintf(name, sizeof name, "%s %d", w, i);
    else if (i % 4 == 0)
        std::snprintf(name, sizeof name, "Show.S%02uE%02u.%s.%d.720p.mkv",
                      next_random(state) % 9 + 1, next_random(state) % 24 + 1, w, i);
    else if (i % 4 == 1)
        std::snprintf(name, sizeof name, "%02u - %s - Track %d.mp3", next_random(state) % 20 + 1, w,
                      i);
    else if (i % 4 == 2)
        std::snprintf(name, sizeof name, "IMG_%05u_%d.JPG", next_random(state), i);
    else
        std::snprintf(name, sizeof name, "%s %u (%d).mp4", w, 1990 + next_random(state) % 35, i);
    return name;
}

// Fills the list and makes each row's file or folder in dir.
bool make_rows(BrowserList* list, int count, const std::string& dir)
{
    unsigned state = 2024;
    for (int i = 0; i < count; ++i) {
        const bool folder = i % FOLDER_EVERY == 0;
        const std::string name = row_name(i, &state, folder);
        const std::string path = dir + name;
        std::FILE* f = folder ? nullptr : std::fopen(path.c_str(), "wb");
        if (folder ? mkdir(path.c_str(), 0755) != 0 : !f)
            return false;
        if (f)
            std::fclose(f);
        const int64_t mtime = 1'500'000'000 + static_cast<int64_t>(next_random(&state)) * 3600 + i;
        struct timeval times[2] = {{static_cast<time_t>(mtime), 0},
                                   {static_cast<time_t>(mtime), 0}};
        utimes(path.c_str(), times);
        MediaEntry* e = browser_list_add_row(list, folder ? ENTRY_FOLDER : ENTRY_FILE, name.c_str(),
                                             folder ? "<DIR>" : "");
        e->size = folder ? 0 : static_cast<int64_t>(next_random(&state)) * 40961;
        e->mtime = i % 2 ? mtime : 0;  // the other rows are dated by their file's status
    }
    return true;
}

double median_ms(const BrowserList* unsorted, BrowserList* work, int key, const std::string& dir)
{
    std::vector<double> times;
    for (int run = 0; run < RUNS; ++run) {
        browser_list_copy(work, unsorted);
        auto start = std::chrono::steady_clock::now();
        browser_sort(work, BROWSE_LOCAL, key, dir.c_str());
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    const int keys[] = {SORT_NAME_UP,   SORT_NAME_DOWN, SORT_DATE_UP,
                        SORT_DATE_DOWN, SORT_SIZE_UP,   SORT_SIZE_DOWN};
    std::printf("browser_sort, median of %d runs (ms)\n%6s", RUNS, "rows");
    for (int key : keys) {
        std::string title = std::string(browser_sort_key_label(key)) + (key & 1 ? " down" : " up");
        std::printf(" %14s", title.c_str());
    }
    std::printf("\n");
    int status = 0;
    for (int count : {500, 5000}) {
        char tmpl[] = "/tmp/velmora-sort-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            return 1;
        const std::string dir = std::string(tmpl) + "/";
        BrowserList unsorted{}, work{};
        if (browser_list_create(&unsorted) && browser_list_create(&work) &&
            make_rows(&unsorted, count, dir)) {
            std::printf("%6d", count);
            for (int key : keys)
                std::printf(" %14.3f", median_ms(&unsorted, &work, key, dir));
            std::printf("\n");
        } else {
            std::fprintf(stderr, "could not make the %d-row list in %s\n", count, tmpl);
            status = 1;
        }
        browser_list_free(&unsorted);
        browser_list_free(&work);
        std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
    }
    return status;
}
