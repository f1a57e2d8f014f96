// The cue table: SRT files cut into cues (line ends, damaged blocks, a full
// table, files that cannot be read or are far too large), the cue picked for
// a playback time (also after seeking back) and streamed cues filling up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "subtitles/cue_table.h"
#include "tests/scratch_dir.h"

namespace {

std::string srt_time(int ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

std::string srt_block(int number, int start, int end, const std::string& text)
{
    return std::to_string(number) + "\n" + srt_time(start) + " --> " + srt_time(end) + "\n" + text +
           "\n\n";
}

std::vector<std::string> texts(const CueTable& t)
{
    std::vector<std::string> out;
    for (int i = 0; i < t.count; i++)
        out.push_back(t.cues[i].text);
    return out;
}

TEST(SubtitleFile, BlocksBecomeCues)
{
    using V = std::vector<std::string>;
    const struct {
        const char* what;
        std::string file;
        V want;
    } cases[] = {
        {"plain", srt_block(1, 1000, 2000, "One") + srt_block(2, 3000, 4000, "Two\nlines"),
         V{"One", "Two\nlines"}},
        {"CR LF",
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n2\r\n00:00:03,000 --> "
         "00:00:04,000\r\nTwo\r\n",
         V{"One", "Two"}},
        {"no final line break keeps its last character", "1\n00:00:01,000 --> 00:00:02,000\nA",
         V{"A"}},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "00:00:01,000 --> 00:00:02,000\nA\n",
         V{"A"}},
        {"block without text",
         "1\n00:00:01,000 --> 00:00:02,000\n\n" + srt_block(2, 3000, 4000, "B"), V{"B"}},
        {"timing line at the very end",
         srt_block(1, 0, 1, "A") + "2\n00:00:01,000 --> 00:00:02,000", V{"A"}},
        {"text empty after cleaning",
         "1\n00:00:01,000 --> 00:00:02,000\n<i></i>\n\n" + srt_block(2, 3000, 4000, "B"), V{"B"}},
        {"damaged blocks",
         "garbage\n\n\n\n1\n00:00:0x,000 --> 00:00:02,000\nNo\n\n" +
             srt_block(3, 3000, 4000, "Yes"),
         V{"Yes"}},
        {"empty file", "", V{}},
    };
    CueTable table;
    for (const auto& c : cases) {
        EXPECT_EQ(subtitle_cues_parse(&table, c.file.data(), c.file.size(), "ASCII / UTF8"),
                  static_cast<int>(c.want.size()))
            << c.what;
        EXPECT_EQ(texts(table), c.want) << c.what;
    }
    std::string crlf = "1\r\n00:00:01,250 --> 00:00:02,500\r\nOne\r\n";
    ASSERT_EQ(subtitle_cues_parse(&table, crlf.data(), crlf.size(), ""), 1);
    EXPECT_EQ(table.cues[0].start_ms, 1250);
    EXPECT_EQ(table.cues[0].end_ms, 2500);
    EXPECT_EQ(table.shown, -1);
}

TEST(SubtitleFile, AFullFileKeepsTheFirst8192Cues)
{
    std::string file;
    for (int i = 0; i < MAX_SUBTITLE_CUES + 1; i++)
        file += srt_block(i + 1, i * 1000, i * 1000 + 500, "Cue " + std::to_string(i));
    CueTable table;
    EXPECT_EQ(subtitle_cues_parse(&table, file.data(), file.size(), ""), MAX_SUBTITLE_CUES);
    EXPECT_STREQ(table.cues[MAX_SUBTITLE_CUES - 1].text, "Cue 8191");
}

TEST(SubtitleFile, UnreadableFilesLeaveTheTableEmpty)
{
    ScratchDir dir;
    const std::string good = dir.file("film.srt");
    std::ofstream(good) << srt_block(1, 0, 1000, "\xCF\xF0\xE8\xE2\xE5\xF2");
    CueTable table;
    ASSERT_EQ(subtitle_file_load(&table, good.c_str(), "CP1251 (ANSI Cyrillic)"), 1);
    EXPECT_STREQ(table.cues[0].text, "Привет");
    ASSERT_EQ(mkfifo(dir.file("pipe.srt").c_str(), 0600), 0);
    for (const std::string& bad : {dir.file("missing.srt"), dir.path(), dir.file("pipe.srt")}) {
        ASSERT_EQ(subtitle_file_load(&table, good.c_str(), ""), 1);
        EXPECT_EQ(subtitle_file_load(&table, bad.c_str(), ""), -1) << bad;
        EXPECT_EQ(table.count, 0) << bad;
    }
}

// A file of hundreds of megabytes (sparse: no disk used) is read only up to
// the bound: the cue beyond it is never seen.
TEST(SubtitleFile, AHugeFileIsReadOnlyUpToTheBound)
{
    ScratchDir dir;
    const std::string path = dir.file("huge.srt");
    const std::string head = srt_block(1, 0, 1000, "Head");
    const std::string tail = "\n\n" + srt_block(2, 2000, 3000, "Tail");
    const off_t tail_at = off_t{300} << 20;
    {
        std::ofstream out(path, std::ios::binary);
        out << head;
        out.seekp(tail_at);
        out << tail;
    }
    CueTable table;
    EXPECT_EQ(subtitle_file_load(&table, path.c_str(), ""), 1);
    EXPECT_EQ(texts(table), std::vector<std::string>{"Head"});
}

CueTable table_of(const std::vector<std::pair<int, int>>& times)
{
    std::string file;
    for (size_t i = 0; i < times.size(); i++)
        file += srt_block(i + 1, times[i].first, times[i].second, "c" + std::to_string(i));
    CueTable table;
    subtitle_cues_parse(&table, file.data(), file.size(), "");
    return table;
}

TEST(SubtitlePick, TheCueForEachTime)
{
    // c0 1.0-2.0 s, c1 1.2-1.8 s (inside one second), c2 5-7 s, c3 9-10 s.
    CueTable table = table_of({{1000, 2000}, {1200, 1800}, {5000, 7000}, {9000, 10000}});
    const struct {
        int64_t time;
        bool changed;
        const char* text;
        int shown;
    } steps[] = {
        {500, false, "", -1},   {1000, true, "c0", 0},  {1500, true, "c1", 1},
        {1700, false, "c1", 1}, {1800, true, "", 1},  // c1 is over; c0 is not searched again
        {3000, false, "", 1},  // between cues the previous one stays the shown one
        {5000, true, "c2", 2},  {6999, false, "c2", 2}, {9500, true, "c3", 3},
        {1100, true, "c0", 0},  // seeking back shows an earlier cue again
        {5500, true, "c2", 2},  // and forward again
        {100, true, "", 2},     // before every cue: nothing
    };
    for (const auto& s : steps) {
        table.changed = false;
        EXPECT_EQ(subtitle_cue_pick(&table, s.time, CUE_PICK_LOCAL), s.changed) << s.time;
        EXPECT_EQ(table.changed, s.changed) << s.time;
        EXPECT_STREQ(table.shown_text, s.text) << s.time;
        EXPECT_EQ(table.shown, s.shown) << s.time;
    }
    CueTable empty;
    EXPECT_FALSE(subtitle_cue_pick(&empty, 1000, CUE_PICK_LOCAL));
}

TEST(SubtitlePick, StreamedCuesFromTheShownOne)
{
    CueTable table;
    EXPECT_EQ(subtitle_stream_cue_add(&table, "Time#:1000:A", 12, SUBTITLE_FORMAT_PACKET, ""), 0);
    EXPECT_EQ(subtitle_stream_cue_add(&table, "Time#:1000:", 11, SUBTITLE_FORMAT_PACKET, ""), -1);
    EXPECT_EQ(subtitle_stream_cue_add(&table, "Time#:1000:A", 12, SUBTITLE_FORMAT_SSA, ""), -1);
    const std::string srt = "00:00:02,000 --> 00:00:04,000\nB";
    EXPECT_EQ(subtitle_stream_cue_add(&table, srt.data(), srt.size(), SUBTITLE_FORMAT_SRT, ""), 0);
    ASSERT_EQ(table.count, 2);
    EXPECT_TRUE(subtitle_cue_pick(&table, 1500, CUE_PICK_STREAMED));
    EXPECT_STREQ(table.shown_text, "A");
    EXPECT_FALSE(subtitle_cue_pick(&table, 1600, CUE_PICK_STREAMED));  // still A, no redraw
    EXPECT_TRUE(subtitle_cue_pick(&table, 3100, CUE_PICK_STREAMED));   // A ends at 3000
    EXPECT_STREQ(table.shown_text, "B");
}

TEST(SubtitlePick, AFullTableOfStreamedCuesMakesRoom)
{
    const struct {
        int shown_at;  // cue shown before the table fills; -1 none
        int count_after, shown_after;
        const char* first_after;
    } cases[] = {
        {100, MAX_SUBTITLE_CUES - 100, 0, "t100"},
        {-1, MAX_SUBTITLE_CUES / 2, -1, "t4096"},
        {0, MAX_SUBTITLE_CUES / 2, -1, "t4096"},
    };
    for (const auto& c : cases) {
        CueTable table;
        for (int i = 0; i < MAX_SUBTITLE_CUES; i++) {
            const std::string packet = "Time#:" + std::to_string(i * 10000) + ":t" +
                                       std::to_string(i);
            if (i == MAX_SUBTITLE_CUES - 1 && c.shown_at >= 0)
                subtitle_cue_pick(&table, c.shown_at * 10000 + 1, CUE_PICK_STREAMED);
            ASSERT_EQ(subtitle_stream_cue_add(&table, packet.data(), packet.size(),
                                              SUBTITLE_FORMAT_PACKET, ""),
                      0);
        }
        EXPECT_EQ(table.count, c.count_after) << c.shown_at;
        EXPECT_EQ(table.shown, c.shown_after) << c.shown_at;
        EXPECT_STREQ(table.cues[0].text, c.first_after) << c.shown_at;
        const std::string more = "Time#:1:more";
        EXPECT_EQ(subtitle_stream_cue_add(&table, more.data(), more.size(), 2, ""), 0);
    }
}

}  // namespace
