// Reading a real folder: entries with their type bytes, links followed,
// status of files and folders, and the refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>

#include "platform/dir.h"
#include "tests/scratch_dir.h"

namespace {

TEST(LocalFolders, EntriesCarryTheirTypeAndStatusReadsSizeAndTime)
{
    ScratchDir scratch;
    const std::string& dir = scratch.path();
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    std::FILE* f = std::fopen((dir + "/clip.mp4").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("twelve bytes", f);
    std::fclose(f);
    ASSERT_EQ(symlink("sub", (dir + "/to-sub").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);

    std::map<std::string, int> seen;
    DirHandle* h = dir_open((dir + "/").c_str());  // a trailing "/" is fine too
    ASSERT_NE(h, nullptr);
    while (const DirRecord* r = dir_read(h))
        seen[r->name] = r->type;
    EXPECT_EQ(dir_close(h), 0);
    const std::map<std::string, int> want = {
        {".", DIR_ENTRY_FOLDER},      {"..", DIR_ENTRY_FOLDER},     {"sub", DIR_ENTRY_FOLDER},
        {"clip.mp4", DIR_ENTRY_FILE}, {"to-sub", DIR_ENTRY_FOLDER}, {"dangling", DIR_ENTRY_OTHER},
        {"pipe", DIR_ENTRY_OTHER}};
    EXPECT_EQ(seen, want);

    int64_t size = -1, mtime = -1;
    EXPECT_EQ(file_status((dir + "/clip.mp4").c_str(), &size, &mtime), 0);
    EXPECT_EQ(size, 12);
    EXPECT_GT(mtime, 1700000000);
    EXPECT_EQ(file_status((dir + "/sub").c_str(), &size, &mtime), 0);
    EXPECT_EQ(file_status((dir + "/missing").c_str(), &size, &mtime), -1);

    errno = 0;
    EXPECT_EQ(dir_open(""), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(dir_open((dir + "/clip.mp4").c_str()), nullptr);
    EXPECT_EQ(dir_open((dir + "/missing").c_str()), nullptr);
    EXPECT_EQ(dir_read(nullptr), nullptr);
    EXPECT_EQ(dir_close(nullptr), -1);
}

}  // namespace
