#include "browser/sort.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/dir.h"

namespace {

// What the comparison of two rows needs, gathered once per row so that the
// sort reads neither a file status nor a 3.7 KB row more than once.
struct SortRow {
    const MediaEntry* entry;
    int64_t time;     // mtime, or the file's time when the row has none
    bool folder;      // sorts ahead of every other row
    bool dated_text;  // carries a date text from its source
};

enum class Field { NAME, DATE, SIZE };

struct KeyInfo {
    int key;
    Field field;
    const char* label;
    int next;  // the sort button's cycle
    int flip;  // the direction button
};

constexpr KeyInfo KEYS[] = {
    {SORT_NAME_UP, Field::NAME, "Name", SORT_DATE_UP, SORT_NAME_DOWN},
    {SORT_NAME_DOWN, Field::NAME, "Name", SORT_DATE_DOWN, SORT_NAME_UP},
    {SORT_DATE_UP, Field::DATE, "Date", SORT_SIZE_UP, SORT_DATE_DOWN},
    {SORT_DATE_DOWN, Field::DATE, "Date", SORT_SIZE_DOWN, SORT_DATE_UP},
    {SORT_SIZE_UP, Field::SIZE, "Size", SORT_NAME_UP, SORT_SIZE_DOWN},
    {SORT_SIZE_DOWN, Field::SIZE, "Size", SORT_NAME_DOWN, SORT_SIZE_UP},
};

// A damaged setting behaves as the first key rather than leaving the list
// unsorted with a button that shows nothing.
const KeyInfo& key_info(int key)
{
    for (const KeyInfo& k : KEYS)
        if (k.key == key)
            return k;
    return KEYS[0];
}

bool descending(int key)
{
    return (key_info(key).key & 1) != 0;
}

int compare_sign(int64_t a, int64_t b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

// Full case-insensitive comparison: a name that begins with the other sorts
// after it. (Comparing only over the shorter length would make "ab" equal to
// both "abc" and "abd" while those differ, which is no order at all.)
int compare_names(const MediaEntry* a, const MediaEntry* b)
{
    return strncasecmp(a->name, b->name, ENTRY_NAME_SIZE);
}

// Rows with a date text from their source are compared by that text; the
// others by time. To stay one consistent order when both kinds share a list,
// the rows with a text come first (they have no modification time, which
// is where the time comparison would put them too).
int compare_dates(const SortRow& a, const SortRow& b)
{
    if (a.dated_text && b.dated_text)
        return strncasecmp(a.entry->date_text, b.entry->date_text, ENTRY_DATE_SIZE);
    if (a.dated_text != b.dated_text)
        return a.dated_text ? -1 : 1;
    return compare_sign(a.time, b.time);
}

int compare_sizes(const MediaEntry* a, const MediaEntry* b)
{
    uint64_t x = static_cast<uint64_t>(a->size), y = static_cast<uint64_t>(b->size);
    return x < y ? -1 : x > y ? 1 : 0;
}

int compare_by_key(Field field, const SortRow& a, const SortRow& b)
{
    switch (field) {
    case Field::NAME: return compare_names(a.entry, b.entry);
    case Field::DATE: return compare_dates(a, b);
    case Field::SIZE: return compare_sizes(a.entry, b.entry);
    }
    return 0;
}

// The time a row sorts by: its own, else its file's, else 0.
int64_t row_time(const MediaEntry* e, const char* current_path)
{
    if (e->mtime != 0)
        return e->mtime;
    char path[2 * PATH_SIZE];  // a 1023-byte path and a 1023-byte name always fit
    const bool has_path = current_path && current_path[0];
    std::snprintf(path, sizeof path, "%s%.*s", has_path ? current_path : "", ENTRY_NAME_SIZE - 1,
                  e->name);
    int64_t mtime = 0;
    return file_status(path, nullptr, &mtime) == 0 ? mtime : 0;
}

// Moves every row to its place once, following the permutation's cycles
// with one spare row: order[i] is the old index of the row that ends at i.
void apply_order(MediaEntry* rows, const std::vector<int>& order)
{
    std::vector<bool> placed(order.size(), false);
    MediaEntry spare;
    for (size_t i = 0; i < order.size(); ++i) {
        if (placed[i] || order[i] == static_cast<int>(i))
            continue;
        std::memcpy(&spare, &rows[i], sizeof spare);
        size_t at = i;
        for (;;) {
            placed[at] = true;
            size_t from = static_cast<size_t>(order[at]);
            if (from == i) {
                std::memcpy(&rows[at], &spare, sizeof spare);
                break;
            }
            std::memcpy(&rows[at], &rows[from], sizeof spare);
            at = from;
        }
    }
}

}  // namespace

void browser_sort(BrowserList* list, int browse_mode, int sort_key, const char* current_path)
{
    if (!list || !list->rows || browse_mode == BROWSE_PLAYLIST_ITEMS ||
        browse_mode == BROWSE_PLAYLISTS)
        return;
    const int count = std::min<int>(list->count, MAX_BROWSER_ENTRIES);
    const int first = count > 0 && std::strcmp(list->rows[0].name, "..") == 0 ? 1 : 0;
    if (count - first < 2)
        return;

    const Field field = key_info(sort_key).field;
    std::vector<SortRow> rows(static_cast<size_t>(count - first));
    for (size_t i = 0; i < rows.size(); ++i) {
        const MediaEntry* e = &list->rows[first + static_cast<int>(i)];
        SortRow& r = rows[i];
        r.entry = e;
        r.folder = entry_kind_sorts_first(e->kind);
        r.dated_text = field == Field::DATE && e->date_text[0] != '\0';
        r.time = field == Field::DATE && !r.dated_text ? row_time(e, current_path) : 0;
    }

    std::vector<int> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    const bool reverse = descending(sort_key);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const SortRow& a = rows[static_cast<size_t>(x)];
        const SortRow& b = rows[static_cast<size_t>(y)];
        if (a.folder != b.folder)
            return a.folder;
        int c = compare_by_key(field, a, b);
        return reverse ? c > 0 : c < 0;
    });
    apply_order(list->rows + first, order);
}

int browser_sort_key_next(int key)
{
    return key_info(key).next;
}

int browser_sort_key_flip(int key)
{
    return key_info(key).flip;
}

const char* browser_sort_key_label(int key)
{
    return key_info(key).label;
}
