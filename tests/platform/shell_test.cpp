// The desktop opener: started with the address as one argument, and a
// missing opener reported rather than hanging or crashing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/shell.h"

namespace {

class Opener : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/velmora-opener-XXXXXX";
        dir_ = mkdtemp(tmpl);
        old_path_ = std::getenv("PATH");
    }
    void TearDown() override
    {
        setenv("PATH", old_path_.c_str(), 1);
        std::system(("rm -rf " + dir_).c_str());
    }
    void install_stub()
    {
        std::ofstream stub(dir_ + "/xdg-open");
        stub << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > " << dir_ << "/args.tmp && mv " << dir_
             << "/args.tmp " << dir_ << "/args\n";
        stub.close();
        chmod((dir_ + "/xdg-open").c_str(), 0755);
        setenv("PATH", (dir_ + ":/usr/bin:/bin").c_str(), 1);
    }
    std::string recorded()
    {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(dir_ + "/args");
            if (in)
                return {std::istreambuf_iterator<char>(in), {}};
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }
    std::string dir_, old_path_;
};

TEST_F(Opener, PassesTheAddressAsOneArgument)
{
    install_stub();
    const char* url = "https://help.velmora.example/site/docs/a b;$(touch /tmp/x).html";
    ASSERT_EQ(shell_open(url), 0);
    EXPECT_EQ(recorded(), std::string("1\n") + url + "\n");
}

TEST_F(Opener, MissingOpenerIsAnError)
{
    setenv("PATH", dir_.c_str(), 1);
    EXPECT_EQ(shell_open("https://example.invalid/"), -1);
    EXPECT_EQ(shell_open(""), -1);
    EXPECT_EQ(shell_open(nullptr), -1);
}

}  // namespace
