// How a browser list is sorted and in which order continuous play goes
// through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser/play_order.h"
#include "browser/sort.h"
#include "browser_test_support.h"

namespace {

std::string names(const BrowserList& list)
{
    std::string out;
    for (int i = 0; i < list.count; ++i)
        out += std::string(i ? " " : "") + list.rows[i].name;
    return out;
}

TEST(BrowserSort, EveryKeyKeepsFoldersFirstDotDotOnTopAndTiesInListOrder)
{
    const struct {
        int key;
        const char* want;
    } cases[] = {
        {SORT_NAME_UP, ".. alpha Zeta A.mp4 ab.mp4 b.mkv c.avi"},
        {SORT_NAME_DOWN, ".. Zeta alpha c.avi b.mkv ab.mp4 A.mp4"},
        {SORT_DATE_UP, ".. alpha Zeta c.avi A.mp4 ab.mp4 b.mkv"},
        {SORT_DATE_DOWN, ".. Zeta alpha b.mkv A.mp4 ab.mp4 c.avi"},
        {SORT_SIZE_UP, ".. Zeta alpha A.mp4 ab.mp4 c.avi b.mkv"},
        {SORT_SIZE_DOWN, ".. Zeta alpha b.mkv c.avi A.mp4 ab.mp4"},
    };
    for (const auto& c : cases) {
        TestList t;
        t.add(ENTRY_FOLDER, "..");
        t.add(ENTRY_FILE, "b.mkv", 30, 300);
        t.add(ENTRY_FOLDER, "Zeta", 0, 100);
        t.add(ENTRY_FILE, "A.mp4", 10, 200);
        t.add(ENTRY_PLAYLIST_REMOTE_DIR, "alpha", 0, 50);
        t.add(ENTRY_FILE, "c.avi", 20, 100);
        t.add(ENTRY_FILE, "ab.mp4", 10, 200);
        browser_sort(&t.list, BROWSE_LOCAL, c.key, "");
        EXPECT_EQ(names(t.list), c.want) << "key " << c.key;
        if (c.key == SORT_NAME_UP) {  // playlists keep the order the user gave them
            browser_sort(&t.list, BROWSE_PLAYLIST_ITEMS, SORT_NAME_DOWN, "");
            browser_sort(&t.list, BROWSE_PLAYLISTS, SORT_SIZE_DOWN, "");
            EXPECT_EQ(names(t.list), c.want);
        }
    }
}

TEST(BrowserSort, ANameThatBeginsAnotherSortsBeforeItWithoutCase)
{
    TestList t;
    for (const char* n : {"abd", "ab", "ABC", "Ab", "a"})
        t.add(ENTRY_FILE, n);
    browser_sort(&t.list, BROWSE_REMOTE, SORT_NAME_UP, "/");
    EXPECT_EQ(names(t.list), "a ab Ab ABC abd");
}

TEST(BrowserSort, RowsWithoutATimeAreDatedByTheirFilesStatus)
{
    ScratchFolder dir;
    ASSERT_TRUE(dir.make_file("old", 1000) && dir.make_file("new", 3000) &&
                dir.make_file("mid", 2000));
    for (bool whole_names : {false, true}) {  // an empty current path reads the name alone
        const std::string prefix = whole_names ? dir.path() : "";
        TestList t;
        for (const char* n : {"new", "gone", "old", "mid"})
            t.add(ENTRY_FILE, (prefix + n).c_str());
        t.add(ENTRY_FILE, "own time", 0, 1500);
        browser_sort(&t.list, BROWSE_LOCAL, SORT_DATE_UP, whole_names ? "" : dir.path().c_str());
        EXPECT_EQ(names(t.list),
                  prefix + "gone " + prefix + "old own time " + prefix + "mid " + prefix + "new");
    }
}

TEST(BrowserSort, DateTextsCompareAsTextAheadOfTimedRows)
{
    TestList t;
    t.add(ENTRY_FILE, "timed", 0, 5);
    for (const char* d : {"2021-05-01", "2019-01-01", "2020-12-31"})
        copy_text(t.add(ENTRY_FILE, d)->date_text, ENTRY_DATE_SIZE, d);
    browser_sort(&t.list, BROWSE_UPNP, SORT_DATE_UP, "udn:x,id:0");
    EXPECT_EQ(names(t.list), "2019-01-01 2020-12-31 2021-05-01 timed");
    browser_sort(&t.list, BROWSE_UPNP, SORT_DATE_DOWN, "udn:x,id:0");
    EXPECT_EQ(names(t.list), "timed 2021-05-01 2020-12-31 2019-01-01");
}

TEST(BrowserSort, ButtonsCycleTheKeyAndFlipItsDirection)
{
    const int next[][2] = {{0, 2}, {2, 6}, {6, 0}, {1, 3}, {3, 7}, {7, 1}, {5, 2}};
    for (const auto& n : next)
        EXPECT_EQ(browser_sort_key_next(n[0]), n[1]) << n[0];
    const int flip[][2] = {{0, 1}, {1, 0}, {2, 3}, {3, 2}, {6, 7}, {7, 6}};
    for (const auto& f : flip)
        EXPECT_EQ(browser_sort_key_flip(f[0]), f[1]) << f[0];
    EXPECT_STREQ(browser_sort_key_label(SORT_DATE_DOWN), "Date");
}

// A list of playable files at the given rows, folders elsewhere.
void fill(TestList* t, int rows, std::vector<int> files)
{
    for (int i = 0; i < rows; ++i) {
        bool file = std::find(files.begin(), files.end(), i) != files.end();
        t->add(file ? ENTRY_FILE : ENTRY_FOLDER, std::to_string(i).c_str());
    }
}

int counter_random()
{
    static unsigned state = 12345;
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7fff);
}

struct Step {
    bool previous, explicit_step;
    int shuffle, repeat;
    int want;
};

TEST(PlayOrder, StepsSkipFoldersWrapAndStopAfterOneRoundUnlessAsked)
{
    const struct {
        const char* story;
        int selected;
        std::vector<Step> steps;
    } cases[] = {
        {"one round, then stop", 3, {{0, 0, 0, 0, 5}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, -1}}},
        {"repeat goes on", 3, {{0, 0, 0, 0, 5}, {0, 0, 0, 0, 1}, {0, 0, 2, 1, 3}}},
        {"explicit next goes on",
         5,
         {{0, 0, 0, 0, 1}, {0, 0, 0, 0, 3}, {0, 1, 0, 0, 5}, {0, 0, 0, 0, 1}}},
        {"previous at the first wraps to the last", 1, {{1, 0, 0, 0, 5}, {1, 0, 0, 0, 3}}},
        {"no chosen row starts at the first",
         -1,
         {{0, 0, 0, 0, 1}, {0, 0, 0, 0, 3}, {0, 0, 0, 0, 5}, {0, 0, 0, 0, -1}}},
        {"no chosen row, backward from the last", -1, {{1, 0, 0, 0, 5}}},
    };
    for (const auto& c : cases) {
        TestList t;
        fill(&t, 7, {1, 3, 5});
        PlayOrder order{};
        order.reset = 1;
        for (const Step& s : c.steps)
            EXPECT_EQ(play_order_step(&order, &t.list, c.selected, s.previous, s.explicit_step,
                                      s.shuffle, s.repeat, counter_random),
                      s.want)
                << c.story;
    }
}

TEST(PlayOrder, ShufflePlaysEveryOtherRowOnceThenStops)
{
    for (int selected : {0, 4, 9}) {
        TestList t;
        fill(&t, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        PlayOrder order{};
        order.reset = 1;
        std::vector<int> played;
        for (int row; (row = play_order_step(&order, &t.list, selected, false, false, 1, 0,
                                             counter_random)) >= 0 &&
                      played.size() < 20;)
            played.push_back(row);
        std::sort(played.begin(), played.end());
        std::vector<int> others;
        for (int i = 0; i < 10; ++i)
            if (i != selected)
                others.push_back(i);
        EXPECT_EQ(played, others) << "chosen row " << selected;
    }
}

TEST(PlayOrder, OnePlayableRowShuffledPlaysItAgainOnNext)
{
    TestList t;
    fill(&t, 3, {1});
    PlayOrder order{};
    order.reset = 1;
    EXPECT_EQ(play_order_step(&order, &t.list, 1, false, true, 1, 0, counter_random), 1);
    EXPECT_EQ(play_order_step(&order, &t.list, 1, false, false, 1, 0, counter_random), -1);
    EXPECT_EQ(order.count, 1);
    TestList none;
    fill(&none, 2, {});
    EXPECT_EQ(play_order_step(&order, &none.list, 0, false, true, 1, 1, counter_random), -1);
}

TEST(PlayOrder, ARefilledListRebuildsTheOrder)
{
    TestList t;
    fill(&t, 4, {0, 1});
    PlayOrder order{};
    order.reset = 1;
    EXPECT_EQ(play_order_step(&order, &t.list, 0, false, false, 0, 0, nullptr), 1);
    t.add(ENTRY_FILE, "new");  // row 4; the order is built again around row 1
    EXPECT_EQ(play_order_step(&order, &t.list, 1, false, false, 0, 0, nullptr), 4);
    EXPECT_EQ(order.count, 3);
    EXPECT_EQ(order.skipped, 2);
}

TEST(PlayOrder, ScrollKeepsThePlayingRowInView)
{
    const int cases[][3] = {{3, VIEW_LIST, 0},  {4, VIEW_LIST, 60},  {10, VIEW_LIST, 420},
                            {1, VIEW_ICONS, 0}, {2, VIEW_ICONS, 60}, {10, VIEW_ICONS, 540}};
    for (const auto& c : cases)
        EXPECT_EQ(play_order_scroll_offset(c[0], c[1]), c[2]) << c[0] << " view " << c[1];
}

}  // namespace
