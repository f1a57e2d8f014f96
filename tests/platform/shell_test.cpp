// The desktop opener: a missing opener or address is reported rather than
// hanging or crashing, and the address reaches the opener as one argument.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/shell.h"
#include "tests/scratch_dir.h"

namespace {

TEST(Opener, ReportsWhatCannotBeOpenedAndPassesTheAddressWhole)
{
    ScratchDir scratch;
    const std::string& dir = scratch.path();
    const std::string old_path = std::getenv("PATH");
    setenv("PATH", dir.c_str(), 1);
    for (const char* target : {"https://example.invalid/", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(shell_open(target), -1) << (target ? target : "null");

    // A stub opener that records its argument count and first argument.
    std::ofstream(dir + "/xdg-open")
        << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > " << dir << "/args.tmp && mv " << dir
        << "/args.tmp " << dir << "/args\n";
    chmod((dir + "/xdg-open").c_str(), 0755);
    setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
    const char* url = "https://help.velmora.example/site/docs/a b;$(touch /tmp/x).html";
    ASSERT_EQ(shell_open(url), 0);
    std::string recorded;
    for (int i = 0; i < 200 && recorded.empty();
         ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        recorded.assign(std::istreambuf_iterator<char>(std::ifstream(dir + "/args").rdbuf()), {});
    EXPECT_EQ(recorded, std::string("1\n") + url + "\n");
    setenv("PATH", old_path.c_str(), 1);
}

}  // namespace
